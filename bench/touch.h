/* SPDX-License-Identifier: BSD-2-Clause */
/* The cheap checksum every benchmark reader runs over every byte it gets, so
 * that no reader can skip work the others do. It is the plain sum of the
 * bytes, so it does not depend on how a stream is cut into pieces. */
#ifndef QUILLAR_BENCH_TOUCH_H
#define QUILLAR_BENCH_TOUCH_H

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>
#include <time.h>

static inline uint64_t touch_bytes(uint64_t sum, const uint8_t *p, size_t n) {
  const uint64_t mask = 0x00FF00FF00FF00FFull;
  while (n >= 32) {
    /* Sixteen-bit lanes hold at most 128 x 510 before they are folded. */
    size_t block = n < 4096 ? n & ~(size_t)31 : 4096;
    uint64_t lanes = 0;
    for (size_t i = 0; i < block; i += 8) {
      uint64_t w;
      memcpy(&w, p + i, 8);
      lanes += (w & mask) + ((w >> 8) & mask);
    }
    sum += (lanes & 0xFFFF) + ((lanes >> 16) & 0xFFFF) + ((lanes >> 32) & 0xFFFF) + (lanes >> 48);
    p += block;
    n -= block;
  }
  for (size_t i = 0; i < n; i++) sum += p[i];
  return sum;
}

/* Seconds on a clock: CLOCK_MONOTONIC for the elapsed time,
 * CLOCK_PROCESS_CPUTIME_ID for the time this process ran (user and system),
 * which another busy process on the machine disturbs far less. */
static inline double clock_seconds(clockid_t clock) {
  struct timespec ts;
  clock_gettime(clock, &ts);
  return (double)ts.tv_sec + (double)ts.tv_nsec / 1e9;
}

/* This process's peak resident set in KiB (VmHWM: it starts afresh at exec,
 * unlike getrusage's ru_maxrss, which Linux carries over from the parent's
 * image). 0 when unknown. */
static inline long peak_rss_kib(void) {
  FILE *f = fopen("/proc/self/status", "r");
  char line[256];
  long kib = 0;
  if (!f) return 0;
  while (fgets(line, sizeof line, f))
    if (sscanf(line, "VmHWM: %ld", &kib) == 1) break;
  fclose(f);
  return kib;
}

#endif
