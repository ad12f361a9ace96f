/* SPDX-License-Identifier: BSD-2-Clause */
/* The tool's command line. */
#ifndef QUILLAR_TOOLS_OPTIONS_H
#define QUILLAR_TOOLS_OPTIONS_H

#include <stdint.h>

typedef enum JsonMode { JSON_OFF, JSON_DOCUMENT, JSON_LINES } JsonMode;
typedef enum HashMode { HASH_DEFAULT, HASH_MD5, HASH_NONE } HashMode;

typedef struct Options {
  uint32_t standard; /* 0: detect */
  uint32_t capacity;
  JsonMode json;
  HashMode hash;
  int quiet, verbose, force, progress;
  const char *output_path;  /* "-": standard output */
  const char *extract_dir;
} Options;

/* Parses argv into `opt` and the list of files (argv order). Returns -1 to
 * run, or the exit status (0 after --help/--version, 2 on bad usage). */
int parse_options(int argc, char **argv, Options *opt, const char **files, int *nfiles);

#endif
