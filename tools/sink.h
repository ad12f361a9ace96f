/* SPDX-License-Identifier: BSD-2-Clause */
/* Where items are written (--output, --extract), refusing targets that
 * would destroy or mix data. */
#ifndef QUILLAR_TOOLS_SINK_H
#define QUILLAR_TOOLS_SINK_H

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

typedef struct Sinks {
  const char *output_path;
  FILE *output;        /* the concatenation, or NULL */
  int output_failed;
  const char *extract_root;
  char extract_dir[4096]; /* the current file's directory */
  int extract_failed;
  int item_fd;         /* the item file being written, or -1 */
  int force;
} Sinks;

/* Checks the targets against the inputs and opens them. Returns 0, or the
 * exit status (2: a target that is an input or not empty without --force;
 * 1: it cannot be created). */
int sinks_open(Sinks *s, const char *output_path, const char *extract_dir, int force,
               const char *const *files, int nfiles);
/* Chooses the --extract directory for file number `index` of `nfiles`. */
int sinks_begin_file(Sinks *s, const char *path, int index, int nfiles);
/* One piece of an item (`first`: it starts a new item). Returns -1 on the
 * first write failure of a target (already reported), else 0. */
int sinks_write(Sinks *s, uint64_t index, int codec, int first, int last, const uint8_t *data,
                size_t size);
/* Closes the targets; returns 1 when a write failed, else 0. */
int sinks_close(Sinks *s);

#endif
