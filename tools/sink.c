/* SPDX-License-Identifier: BSD-2-Clause */
#define _GNU_SOURCE
#include "sink.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <libgen.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "report.h"

static const char *const *g_files;
static int g_nfiles;

/* Whether `st` is the file of one of the inputs. */
static const char *input_named_by(const struct stat *st) {
  for (int i = 0; i < g_nfiles; i++) {
    struct stat in;
    const int ok = strcmp(g_files[i], "-") == 0 ? fstat(STDIN_FILENO, &in) : stat(g_files[i], &in);
    if (ok == 0 && in.st_dev == st->st_dev && in.st_ino == st->st_ino) return g_files[i];
  }
  return NULL;
}

static int is_item_name(const char *name) {
  size_t digits = strspn(name, "0123456789");
  return digits >= 6 && (strcmp(name + digits, ".frame") == 0 || strcmp(name + digits, ".codec") == 0);
}

/* Counts a directory's entries; with `clear`, removes the item files first
 * (never an input). Returns -1 when the directory cannot be read or an item
 * file in it is an input. */
static int directory_entries(const char *dir, int clear, int *count) {
  DIR *d = opendir(dir);
  if (!d) return -1;
  int status = 0;
  *count = 0;
  for (struct dirent *e; (e = readdir(d));) {
    if (!strcmp(e->d_name, ".") || !strcmp(e->d_name, "..")) continue;
    if (clear && is_item_name(e->d_name)) {
      struct stat st;
      if (fstatat(dirfd(d), e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && input_named_by(&st)) {
        tool_message(NULL, "%s/%s is one of the inputs; it is not removed", dir, e->d_name);
        status = -1;
        continue;
      }
      if (unlinkat(dirfd(d), e->d_name, 0) == 0) continue;
    }
    (*count)++;
  }
  closedir(d);
  return status;
}

static void subdirectory(char *out, size_t size, const char *root, int index) {
  char copy[4096];
  snprintf(copy, sizeof copy, "%s", g_files[index]);
  const char *base = strcmp(g_files[index], "-") == 0 ? "stdin" : basename(copy);
  int same = 0;
  for (int i = 0; i < index; i++) {
    char other[4096];
    snprintf(other, sizeof other, "%s", g_files[i]);
    const char *b = strcmp(g_files[i], "-") == 0 ? "stdin" : basename(other);
    same += strcmp(b, base) == 0;
  }
  if (same)
    snprintf(out, size, "%s/%s.%d", root, base, same + 1);
  else
    snprintf(out, size, "%s/%s", root, base);
}

/* An --extract directory: made if missing, refused when not empty unless
 * forced (and then cleared of item files). */
static int prepare_directory(const char *dir, int force) {
  struct stat st;
  if (stat(dir, &st) != 0) {
    if (errno == ENOENT && mkdir(dir, 0777) == 0) return 0;
    tool_message(NULL, "cannot create %s: %s", dir, strerror(errno));
    return 1;
  }
  if (!S_ISDIR(st.st_mode)) {
    tool_message(NULL, "--extract %s: not a directory", dir);
    return 2;
  }
  int count = 0;
  if (directory_entries(dir, force, &count) != 0) return 2;
  if (count && !force) {
    tool_message(NULL, "--extract %s: the directory is not empty (--force replaces the item files "
                       "in it)", dir);
    return 2;
  }
  return 0;
}

static int open_output(Sinks *s, const char *path, int force) {
  if (strcmp(path, "-") == 0) {
    const int fd = fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
    s->output = fd < 0 ? NULL : fdopen(fd, "wb");
    if (!s->output) tool_message(NULL, "cannot write to standard output: %s", strerror(errno));
    return s->output ? 0 : 1;
  }
  struct stat st;
  if (stat(path, &st) == 0) {
    const char *input = input_named_by(&st);
    if (input) {
      tool_message(NULL, "--output %s is the input %s; refusing to overwrite it", path, input);
      return 2;
    }
    if (S_ISDIR(st.st_mode)) {
      tool_message(NULL, "--output %s is a directory", path);
      return 2;
    }
    if (S_ISREG(st.st_mode) && st.st_size > 0 && !force) {
      tool_message(NULL, "--output %s exists and is not empty (--force overwrites it)", path);
      return 2;
    }
  }
  const int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  s->output = fd < 0 ? NULL : fdopen(fd, "wb");
  if (!s->output) {
    tool_message(NULL, "cannot create %s: %s", path, strerror(errno));
    if (fd >= 0) close(fd);
    return 1;
  }
  return 0;
}

int sinks_open(Sinks *s, const char *output_path, const char *extract_dir, int force,
               const char *const *files, int nfiles) {
  memset(s, 0, sizeof *s);
  s->item_fd = -1;
  s->force = force;
  s->output_path = output_path && strcmp(output_path, "-") == 0 ? "standard output" : output_path;
  s->extract_root = extract_dir;
  g_files = files;
  g_nfiles = nfiles;
  if (extract_dir) {
    struct stat st;
    if (stat(extract_dir, &st) == 0 && input_named_by(&st)) {
      tool_message(NULL, "--extract %s is one of the inputs", extract_dir);
      return 2;
    }
    int status = prepare_directory(extract_dir, force);
    for (int i = 0; !status && nfiles > 1 && i < nfiles; i++) {
      char dir[4096];
      subdirectory(dir, sizeof dir, extract_dir, i);
      status = prepare_directory(dir, force);
    }
    if (status) return status;
  }
  return output_path ? open_output(s, output_path, force) : 0;
}

int sinks_begin_file(Sinks *s, const char *path, int index, int nfiles) {
  (void)path;
  if (!s->extract_root) return 0;
  if (nfiles > 1)
    subdirectory(s->extract_dir, sizeof s->extract_dir, s->extract_root, index);
  else
    snprintf(s->extract_dir, sizeof s->extract_dir, "%s", s->extract_root);
  return 0;
}

static int write_all(int fd, const uint8_t *data, size_t size) {
  while (size) {
    const ssize_t n = write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return -1;
    data += n, size -= (size_t)n;
  }
  return 0;
}

static int extract_piece(Sinks *s, uint64_t index, int codec, int first, int last,
                         const uint8_t *data, size_t size) {
  char path[4200];
  snprintf(path, sizeof path, "%s/%06llu.%s", s->extract_dir, (unsigned long long)index,
           codec ? "codec" : "frame");
  if (first) {
    s->item_fd = open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (s->item_fd < 0) goto failed;
  }
  if (s->item_fd < 0) return -1;
  if (write_all(s->item_fd, data, size) != 0) goto failed;
  if (last) {
    const int closed = close(s->item_fd);
    s->item_fd = -1;
    if (closed != 0) goto failed;
  }
  return 0;
failed:
  tool_message(NULL, "cannot write %s: %s", path, strerror(errno));
  if (s->item_fd >= 0) close(s->item_fd);
  s->item_fd = -1;
  s->extract_failed = 1;
  return -1;
}

int sinks_write(Sinks *s, uint64_t index, int codec, int first, int last, const uint8_t *data,
                size_t size) {
  int status = 0;
  if (s->output && !s->output_failed && fwrite(data, 1, size, s->output) != size) {
    tool_message(NULL, "cannot write %s: %s", s->output_path, strerror(errno));
    s->output_failed = 1;
    status = -1;
  }
  if (s->extract_root && !s->extract_failed &&
      extract_piece(s, index, codec, first, last, data, size) != 0)
    status = -1;
  return status;
}

int sinks_close(Sinks *s) {
  if (s->item_fd >= 0) close(s->item_fd);
  s->item_fd = -1;
  if (s->output) {
    const int flushed = fflush(s->output) == 0 && !ferror(s->output);
    if (!flushed && !s->output_failed) {
      tool_message(NULL, "cannot write %s: %s", s->output_path, strerror(errno));
      s->output_failed = 1;
    }
    fclose(s->output);
    s->output = NULL;
  }
  return s->output_failed || s->extract_failed;
}
