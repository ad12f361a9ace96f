/* SPDX-License-Identifier: BSD-2-Clause */
/* What the tool prints: messages on standard error, the progress line (a
 * terminal only), and the table or JSON on the table stream. */
#ifndef QUILLAR_TOOLS_REPORT_H
#define QUILLAR_TOOLS_REPORT_H

#include <stdint.h>
#include <stdio.h>

#include "options.h"

struct FileRun;

void report_setup(FILE *table, const Options *opt);
/* "quillar: LABEL: TEXT" on standard error (LABEL may be NULL), after any
 * library texts printed before it and with the progress line cleared. */
void tool_message(const char *label, const char *format, ...)
    __attribute__((format(printf, 2, 3)));
/* Records a warning with the file's results and prints it. */
void run_warning(struct FileRun *run, const char *format, ...)
    __attribute__((format(printf, 2, 3)));
/* Records the file's error (the first one counts) and prints it. */
void run_error(struct FileRun *run, const char *format, ...)
    __attribute__((format(printf, 2, 3)));

void progress_update(const struct FileRun *run, uint64_t position, double now);
void progress_clear(void);

void report_start(void);
void report_file_begin(const struct FileRun *run);
void report_item(const struct FileRun *run, uint64_t index, int codec, uint64_t size,
                 uint32_t skipped, const char *md5);
void report_end_skipped(uint32_t skipped);
void report_codec_config(const uint32_t config[2]);
void report_file_end(const struct FileRun *run);
void report_finish(void);
/* Whether every table write so far went through; reports a failure once. */
int report_ok(void);

/* "1 item", "2 items". */
const char *plural(uint64_t n, const char *one, const char *many);

#endif
