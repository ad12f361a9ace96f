/* SPDX-License-Identifier: BSD-2-Clause */
/* Benchmark reader: the copy limit of the design. The file is read in
 * 8192-byte blocks and each block copied once into a host buffer.
 * Usage: copy_reader FILE
 * Prints: items=N bytes=B sum=S seconds=T */
#define _POSIX_C_SOURCE 200809L
#include <inttypes.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include "touch.h"

static double now(void) { return clock_seconds(CLOCK_MONOTONIC); }

int main(int argc, char **argv) {
  if (argc < 2) return 2;
  enum { kBlock = 8192 };
  uint8_t *block = malloc(kBlock), *host = malloc(1u << 20);
  FILE *f = fopen(argv[1], "rb");
  if (!block || !host || !f) return 1;
  const double start = now(), cpu_start = clock_seconds(CLOCK_PROCESS_CPUTIME_ID);
  uint64_t items = 0, bytes = 0, sum = 0;
  size_t got;
  while ((got = fread(block, 1, kBlock, f)) > 0) {
    memcpy(host, block, got);
    sum = touch_bytes(sum, host, got);
    bytes += got;
    items++;
  }
  const double seconds = now() - start, cpu = clock_seconds(CLOCK_PROCESS_CPUTIME_ID) - cpu_start;
  fclose(f);
  printf("items=%" PRIu64 " bytes=%" PRIu64 " sum=%" PRIu64 " seconds=%.6f cpu_seconds=%.6f end=0 rss_kib=%ld\n", items, bytes, sum,
         seconds, cpu, peak_rss_kib());
  free(block);
  free(host);
  return 0;
}
