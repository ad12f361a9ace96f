/* SPDX-License-Identifier: BSD-2-Clause */
#define _GNU_SOURCE
#include "input.h"

#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "detect.h"

static ssize_t read_retrying(int fd, void *out, size_t size) {
  ssize_t n;
  do n = read(fd, out, size);
  while (n < 0 && errno == EINTR);
  return n;
}

/* Fills `out` as far as the stream goes: pipes hand out what is there. */
static ssize_t read_full(int fd, uint8_t *out, size_t size) {
  size_t got = 0;
  while (got < size) {
    const ssize_t n = read_retrying(fd, out + got, size - got);
    if (n < 0) return -1;
    if (n == 0) break;
    got += (size_t)n;
  }
  return (ssize_t)got;
}

/* The replaying stream: the kept head first, then the descriptor. Seeks
 * succeed while they stay within the head (the library's probe of the first
 * bytes seeks back to the start) or do not move. */
static ssize_t replay_read(void *cookie, char *out, size_t size) {
  Input *in = cookie;
  if (in->position < in->head_size) {
    size_t n = in->head_size - (size_t)in->position;
    if (n > size) n = size;
    memcpy(out, in->head + in->position, n);
    in->position += n;
    return (ssize_t)n;
  }
  const ssize_t n = read_retrying(in->fd, out, size);
  if (n < 0) {
    if (!in->read_errno) in->read_errno = errno;
    return -1;
  }
  in->position += (uint64_t)n;
  return n;
}

static int replay_seek(void *cookie, off64_t *offset, int whence) {
  Input *in = cookie;
  int64_t target;
  if (whence == SEEK_SET) target = *offset;
  else if (whence == SEEK_CUR) target = (int64_t)in->position + *offset;
  else target = -1;
  if (target < 0 || ((uint64_t)target != in->position &&
                     ((uint64_t)target > in->head_size || in->position > in->head_size))) {
    errno = ESPIPE;
    return -1;
  }
  in->position = (uint64_t)target;
  *offset = target;
  return 0;
}

static int replay_close(void *cookie) {
  (void)cookie;
  return 0;
}

static int refuse(char *why, size_t why_size, const char *text, int error) {
  if (error)
    snprintf(why, why_size, "%s: %s", text, strerror(error));
  else
    snprintf(why, why_size, "%s", text);
  return -1;
}

int input_open(Input *in, const char *path, char *why, size_t why_size) {
  memset(in, 0, sizeof *in);
  in->path = path;
  in->fd = -1;
  const int is_stdin = strcmp(path, "-") == 0;
  in->label = is_stdin ? "standard input" : path;
  if (is_stdin) {
    in->fd = STDIN_FILENO;
  } else {
    do in->fd = open(path, O_RDONLY | O_CLOEXEC);
    while (in->fd < 0 && errno == EINTR);
    if (in->fd < 0) return refuse(why, why_size, "cannot open", errno);
    in->owns_fd = 1;
  }
  if (fstat(in->fd, &in->st) != 0) return refuse(why, why_size, "cannot read", errno);
  if (S_ISDIR(in->st.st_mode)) return refuse(why, why_size, "is a directory, not a file", 0);
  in->seekable = S_ISREG(in->st.st_mode) && lseek(in->fd, 0, SEEK_SET) == 0;
  if (in->seekable) {
    in->size = (uint64_t)in->st.st_size;
    if (in->size == 0) return refuse(why, why_size, "is empty", 0);
    in->head = malloc(DETECT_HEAD_BYTES);
    if (!in->head) return refuse(why, why_size, "out of memory", ENOMEM);
    const ssize_t n = pread(in->fd, in->head, DETECT_HEAD_BYTES, 0);
    if (n < 0) return refuse(why, why_size, "cannot read", errno);
    in->head_size = (size_t)n;
    in->file = fdopen(in->fd, "rb");
    if (!in->file) return refuse(why, why_size, "cannot read", errno);
    in->owns_fd = 0; /* fclose closes it */
    return 0;
  }
  in->head = malloc(INPUT_REPLAY_BYTES);
  if (!in->head) return refuse(why, why_size, "out of memory", ENOMEM);
  const ssize_t n = read_full(in->fd, in->head, INPUT_REPLAY_BYTES);
  if (n < 0) return refuse(why, why_size, "cannot read", errno);
  in->head_size = (size_t)n;
  if (n == 0) return refuse(why, why_size, "is empty (no bytes to read)", 0);
  const cookie_io_functions_t replay = {replay_read, NULL, replay_seek, replay_close};
  in->file = fopencookie(in, "rb", replay);
  if (!in->file) return refuse(why, why_size, "cannot read", errno);
  return 0;
}

size_t input_read_at(void *input, uint64_t offset, uint8_t *out, size_t size) {
  Input *in = input;
  if (in->seekable) {
    size_t got = 0;
    while (got < size) {
      const ssize_t n = pread(in->fd, out + got, size - got, (off_t)(offset + got));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      got += (size_t)n;
    }
    return got;
  }
  if (offset >= in->head_size) return 0;
  const size_t n = in->head_size - offset < size ? in->head_size - (size_t)offset : size;
  memcpy(out, in->head + offset, n);
  return n;
}

uint64_t input_consumed(Input *in) {
  if (!in->seekable) return in->position;
  const long at = ftell(in->file);
  return at < 0 ? 0 : (uint64_t)at;
}

uint64_t input_total(const Input *in) { return in->seekable ? in->size : 0; }

int input_error(Input *in) {
  if (in->read_errno) return in->read_errno;
  return in->file && ferror(in->file) ? EIO : 0;
}

void input_close(Input *in) {
  if (in->file) fclose(in->file);
  if (in->owns_fd) close(in->fd);
  free(in->head);
  memset(in, 0, sizeof *in);
  in->fd = -1;
}
