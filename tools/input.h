/* SPDX-License-Identifier: BSD-2-Clause */
/* Opening a file (or standard input) for the library without losing a byte:
 * the first bytes are read for detection, and a stream that cannot seek is
 * handed over as a FILE that replays them before the rest. */
#ifndef QUILLAR_TOOLS_INPUT_H
#define QUILLAR_TOOLS_INPUT_H

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <sys/stat.h>

/* Bytes kept from the start of a stream that cannot seek: the library's own
 * probing and the header checks read within them. */
#define INPUT_REPLAY_BYTES 65536u

typedef struct Input {
  const char *path;    /* as given; "-" is standard input */
  const char *label;   /* for messages */
  int fd, owns_fd;
  struct stat st;
  int seekable;        /* a regular file: read in place */
  uint64_t size;       /* a regular file's size */
  uint8_t *head;       /* the first bytes (all of them up to the replay size
                          for a stream, DETECT_HEAD_BYTES for a file) */
  size_t head_size;
  FILE *file;          /* what the library reads */
  uint64_t position;   /* bytes handed to the library (streams) */
  int read_errno;      /* the stream's first read error */
} Input;

/* Opens `path`. On failure returns -1 with a reason in `why` ("is a
 * directory", "is empty", "cannot open: ..."). */
int input_open(Input *in, const char *path, char *why, size_t why_size);
/* Reads at an offset from the start: in place for a file, from the kept
 * first bytes for a stream. Matches the ReadAt of detect.h. */
size_t input_read_at(void *input, uint64_t offset, uint8_t *out, size_t size);
/* Bytes of the input the library has read so far. */
uint64_t input_consumed(Input *in);
/* The total size when known (a file), else 0. */
uint64_t input_total(const Input *in);
/* A read error met by the library's reads, or 0. */
int input_error(Input *in);
void input_close(Input *in);

#endif
