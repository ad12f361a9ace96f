/* SPDX-License-Identifier: BSD-2-Clause */
#define _GNU_SOURCE
#include "libmsg.h"

#include <fcntl.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

enum { kTrimAbove = 1 << 20, kTail = 4096 };

static int g_memfd = -1;
static int g_verbose;
static off_t g_forwarded; /* verbose: bytes passed on to standard error */
static off_t g_mark;

int libmsg_start(int verbose) {
  g_verbose = verbose;
  fflush(stdout);
  g_memfd = memfd_create("quillar-library-messages", MFD_CLOEXEC);
  if (g_memfd < 0 || dup2(g_memfd, STDOUT_FILENO) < 0) return -1;
  /* Appending, so that dropping old texts (a truncation) needs no seek. */
  fcntl(STDOUT_FILENO, F_SETFL, O_WRONLY | O_APPEND);
  static char stdout_buffer[1 << 16];
  setvbuf(stdout, stdout_buffer, _IOFBF, sizeof stdout_buffer);
  return 0;
}

static off_t captured_size(void) {
  struct stat st;
  return fstat(g_memfd, &st) == 0 ? st.st_size : 0;
}

static void forward(off_t size) {
  char block[8192];
  while (g_forwarded < size) {
    const size_t want = size - g_forwarded < (off_t)sizeof block ? (size_t)(size - g_forwarded)
                                                                 : sizeof block;
    const ssize_t n = pread(g_memfd, block, want, g_forwarded);
    if (n <= 0) return;
    /* Whole lines only: a line still being written waits for the next pump. */
    ssize_t whole = n;
    while (whole > 0 && block[whole - 1] != '\n') whole--;
    if (whole == 0) {
      if ((size_t)n < sizeof block) return;
      whole = n; /* a line longer than the block */
    }
    fwrite(block, 1, (size_t)whole, stderr);
    g_forwarded += whole;
  }
  fflush(stderr);
}

static off_t flush_and_forward(void) {
  fflush(stdout);
  const off_t size = captured_size();
  if (g_verbose) forward(size);
  return size;
}

void libmsg_pump(void) {
  if (g_memfd < 0) return;
  const off_t size = flush_and_forward();
  /* Between library calls nothing older is needed any more. */
  if (size > kTrimAbove && (!g_verbose || g_forwarded == size) && ftruncate(g_memfd, 0) == 0)
    g_forwarded = g_mark = 0;
}

void libmsg_mark(void) {
  libmsg_pump();
  g_mark = captured_size();
}

/* Texts the parsers print while waiting for data or reporting progress. */
static int is_note(const char *line) {
  static const char *const notes[] = {
      "In IVF", "In VP6", "IVF Stream has", "Header Data Not yet", "Frame Data Not yet",
      "Not enough data available", "Found a", "Parsing with", "Frame size", "Number of frames",
  };
  if (!*line) return 1;
  for (size_t i = 0; i < sizeof notes / sizeof notes[0]; i++)
    if (strncmp(line, notes[i], strlen(notes[i])) == 0) return 1;
  return 0;
}

const char *libmsg_reason(char *out, size_t size) {
  out[0] = '\0';
  if (g_memfd < 0 || size == 0) return out;
  const off_t end = flush_and_forward();
  off_t from = end - kTail > g_mark ? end - kTail : g_mark;
  char tail[kTail + 1];
  const ssize_t n = pread(g_memfd, tail, (size_t)(end - from), from);
  if (n <= 0) return out;
  tail[n] = '\0';
  /* The last line that says more than a note; else the last line. */
  const char *chosen = NULL, *last = NULL;
  for (char *line = tail; line && *line;) {
    char *next = strchr(line, '\n');
    if (next) *next++ = '\0';
    if (*line) last = line;
    if (!is_note(line)) chosen = line;
    line = next;
  }
  if (!chosen) chosen = last;
  if (chosen) snprintf(out, size, "%s", chosen);
  return out;
}

void libmsg_stop(void) {
  libmsg_pump();
  if (g_memfd >= 0) close(g_memfd);
  g_memfd = -1;
}
