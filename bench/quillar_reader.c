/* SPDX-License-Identifier: BSD-2-Clause */
/* Benchmark reader: a file through libQuillar's four host calls.
 * Usage: quillar_reader FILE STANDARD [CAPACITY]
 * Prints: items=N bytes=B sum=S frame_sum=F seconds=T ...
 * sum covers every item; frame_sum only the frames (codec-data items left
 * out), which is what libavformat hands out as packets. */
#define _POSIX_C_SOURCE 200809L
#include <fcntl.h>
#include <inttypes.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

#include "quillar/gstparser.h"
#include "touch.h"

static double now(void) { return clock_seconds(CLOCK_MONOTONIC); }

int main(int argc, char **argv) {
  if (argc < 3) {
    fprintf(stderr, "usage: %s FILE STANDARD [CAPACITY]\n", argv[0]);
    return 2;
  }
  uint32_t capacity = argc > 3 ? (uint32_t)strtoul(argv[3], NULL, 10) : 1u << 20;
  /* The library's diagnostics go to standard output: send them to
   * /dev/null and report on a duplicate of the real one. */
  fflush(stdout);
  FILE *report = fdopen(dup(1), "w");
  int devnull = open("/dev/null", O_WRONLY);
  dup2(devnull, 1);
  close(devnull);

  uint8_t *buffer = malloc(capacity);
  FILE *f = fopen(argv[1], "rb");
  if (!buffer || !f || !report) return 1;
  const double start = now(), cpu_start = clock_seconds(CLOCK_PROCESS_CPUTIME_ID);
  ParserContext *ctx = NULL;
  GSTPARSER_Initialise(&ctx, (uint32_t)strtoul(argv[2], NULL, 10), f);
  if (!ctx) return 1;
  uint64_t items = 0, bytes = 0, sum = 0, frame_sum = 0;
  BitStrBufInfo info;
  int32_t r;
  while ((r = GSTPARSER_BitStrBufFill(ctx, buffer, &capacity, &info)) == PARSER_OK) {
    const uint64_t piece = touch_bytes(0, buffer, (size_t)info.copied_bytes);
    sum += piece;
    if (info.buffer_kind == BUFFER_KIND_FRAME) frame_sum += piece;
    bytes += info.copied_bytes;
    items += info.frame_complete;
  }
  GSTPARSER_Deinitialise(ctx);
  const double seconds = now() - start, cpu = clock_seconds(CLOCK_PROCESS_CPUTIME_ID) - cpu_start;
  fclose(f);
  free(buffer);
  fprintf(report, "items=%" PRIu64 " bytes=%" PRIu64 " sum=%" PRIu64 " frame_sum=%" PRIu64
          " seconds=%.6f cpu_seconds=%.6f end=%d rss_kib=%ld\n",
          items, bytes, sum, frame_sum, seconds, cpu, (int)r, peak_rss_kib());
  return r == PARSER_END_OF_STREAM ? 0 : 1;
}
