/* SPDX-License-Identifier: BSD-2-Clause */
/* One file through the library: identify it, pull every item, check what
 * came out against what its headers declare. */
#ifndef QUILLAR_TOOLS_RUN_H
#define QUILLAR_TOOLS_RUN_H

#include <stdint.h>
#include <stdio.h>

#include "detect.h"
#include "input.h"
#include "options.h"
#include "sink.h"

#define RUN_TEXT 512
#define RUN_WARNINGS 4

typedef struct Totals {
  uint64_t items, frames, codec_items, bytes, codec_bytes, skipped, largest;
} Totals;

typedef struct FileRun {
  const char *path;
  Input in;
  const Container *container; /* what the signature (or name) says */
  uint32_t standard;
  char format[64];            /* "IVF, VP9" ... */
  Declared declared;
  Totals t;
  uint32_t end_skipped;
  uint32_t config[2];         /* height, width */
  int has_config;
  const char *ending;         /* "end of stream", "parse error", ... */
  uint64_t file_bytes;        /* bytes of the file the library read */
  double seconds, library_seconds, hash_seconds;
  char error[RUN_TEXT];       /* set when the file failed */
  char warnings[RUN_WARNINGS][RUN_TEXT];
  int nwarnings;
  int status;                 /* 0 or 1 */
} FileRun;

/* Runs `run->path`; `buffer` holds opt->capacity bytes. */
void run_file(FileRun *run, const Options *opt, uint8_t *buffer, Sinks *sinks);

#endif
