/* SPDX-License-Identifier: BSD-2-Clause */
/* quillar: runs video files through libQuillar the way a decoder host does
 * and shows every item that comes out. */
#define _GNU_SOURCE
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "libmsg.h"
#include "options.h"
#include "report.h"
#include "run.h"
#include "sink.h"

/* Everything after the argument parsing; `files` is released by main. */
static int run_all(const Options *opt, const char **files, int nfiles) {
  Sinks sinks;
  int status = sinks_open(&sinks, opt->output_path, opt->extract_dir, opt->force, files, nfiles);
  if (status) {
    sinks_close(&sinks);
    return status;
  }
  /* The table keeps the real standard output, unless the items go there. */
  const int items_to_stdout = opt->output_path && strcmp(opt->output_path, "-") == 0;
  const int table_fd = items_to_stdout ? -1 : fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
  FILE *table = items_to_stdout ? stderr : table_fd < 0 ? NULL : fdopen(table_fd, "w");
  if (!table || libmsg_start(opt->verbose) != 0) {
    tool_message(NULL, "cannot set up standard output: %s", strerror(errno));
    sinks_close(&sinks);
    return 1;
  }
  report_setup(table, opt);
  uint8_t *buffer = malloc(opt->capacity);
  FileRun *run = malloc(sizeof *run);
  if (!buffer || !run) {
    tool_message(NULL, "cannot allocate a host buffer of %u bytes", opt->capacity);
    status = 1;
  } else {
    report_start();
    for (int i = 0; i < nfiles; i++) {
      memset(run, 0, sizeof *run);
      run->path = files[i];
      sinks_begin_file(&sinks, files[i], i, nfiles);
      run_file(run, opt, buffer, &sinks);
      status |= run->status;
      if (!report_ok()) break;
    }
    report_finish();
  }
  if (!report_ok()) status = 1;
  if (sinks_close(&sinks)) status = 1;
  free(run);
  free(buffer);
  libmsg_stop();
  if (table != stderr && fclose(table) != 0) status = 1;
  return status;
}

int main(int argc, char **argv) {
  const char **files = calloc((size_t)argc, sizeof *files);
  if (!files) return 1;
  Options opt;
  int nfiles = 0;
  int status = parse_options(argc, argv, &opt, files, &nfiles);
  if (status < 0) status = run_all(&opt, files, nfiles);
  free(files);
  return status;
}
