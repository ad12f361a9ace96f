/* SPDX-License-Identifier: BSD-2-Clause */
#include "report.h"

#include <errno.h>
#include <inttypes.h>
#include <stdarg.h>
#include <string.h>
#include <unistd.h>

#include "libmsg.h"
#include "run.h"

static FILE *g_table;
static const Options *g_opt;
static int g_progress_shown, g_progress_wanted, g_json_count, g_table_failed;
static double g_progress_at;

void report_setup(FILE *table, const Options *opt) {
  g_table = table;
  g_opt = opt;
  g_progress_wanted = opt->progress && !opt->verbose && isatty(STDERR_FILENO);
  /* With the library's texts on standard error, a table line goes out at
   * once, so the two keep their order when both reach one terminal or file. */
  if (opt->verbose) setvbuf(table, NULL, _IOLBF, 0);
}

const char *plural(uint64_t n, const char *one, const char *many) { return n == 1 ? one : many; }

static void vmessage(const char *label, const char *kind, const char *format, va_list args) {
  progress_clear();
  libmsg_pump();
  if (g_table) fflush(g_table); /* the table on a terminal comes first */
  fprintf(stderr, "quillar: ");
  if (label) fprintf(stderr, "%s: ", label);
  if (kind) fprintf(stderr, "%s: ", kind);
  vfprintf(stderr, format, args);
  fputc('\n', stderr);
  fflush(stderr);
}

void tool_message(const char *label, const char *format, ...) {
  va_list args;
  va_start(args, format);
  vmessage(label, NULL, format, args);
  va_end(args);
}

void run_warning(FileRun *run, const char *format, ...) {
  va_list args;
  va_start(args, format);
  if (run->nwarnings < RUN_WARNINGS) {
    va_list copy;
    va_copy(copy, args);
    vsnprintf(run->warnings[run->nwarnings++], RUN_TEXT, format, copy);
    va_end(copy);
  }
  vmessage(run->in.label ? run->in.label : run->path, "warning", format, args);
  va_end(args);
}

void run_error(FileRun *run, const char *format, ...) {
  va_list args;
  va_start(args, format);
  if (!run->error[0]) {
    va_list copy;
    va_copy(copy, args);
    vsnprintf(run->error, RUN_TEXT, format, copy);
    va_end(copy);
  }
  run->status = 1;
  vmessage(run->in.label ? run->in.label : run->path, NULL, format, args);
  va_end(args);
}

void progress_update(const FileRun *run, uint64_t position, double now) {
  if (!g_progress_wanted || now - g_progress_at < 0.25) return;
  if (!g_progress_shown && now - run->seconds < 0.5) return; /* short runs show none */
  g_progress_at = now;
  const double elapsed = now - run->seconds;
  const double mib = (double)position / 1048576.0;
  const double rate = elapsed > 0 ? mib / elapsed : 0;
  const uint64_t total = input_total(&run->in);
  fprintf(stderr, "\r\033[K%s: %.1f", run->in.label, mib);
  if (total) {
    const double left = rate > 0 ? ((double)total / 1048576.0 - mib) / rate : 0;
    fprintf(stderr, " of %.1f MiB (%.0f%%), %.0f MiB/s, %d:%02d left", (double)total / 1048576.0,
            100.0 * (double)position / (double)total, rate, (int)left / 60, (int)left % 60);
  } else {
    fprintf(stderr, " MiB, %.0f MiB/s", rate);
  }
  fflush(stderr);
  g_progress_shown = 1;
}

void progress_clear(void) {
  if (!g_progress_shown) return;
  fputs("\r\033[K", stderr);
  fflush(stderr);
  g_progress_shown = 0;
}

static void json_string(const char *text) {
  fputc('"', g_table);
  for (const unsigned char *p = (const unsigned char *)text; *p; p++) {
    if (*p == '"' || *p == '\\')
      fprintf(g_table, "\\%c", *p);
    else if (*p < 0x20)
      fprintf(g_table, "\\u%04x", *p);
    else
      fputc(*p, g_table);
  }
  fputc('"', g_table);
}

void report_start(void) {
  if (g_opt->json == JSON_DOCUMENT) fputs("{\"files\":[", g_table);
}

void report_finish(void) {
  if (g_opt->json == JSON_DOCUMENT) fputs("]}\n", g_table);
  fflush(g_table);
}

void report_file_begin(const FileRun *run) {
  progress_clear();
  if (g_opt->json) {
    if (g_opt->json == JSON_DOCUMENT && g_json_count++) fputc(',', g_table);
    fputs("{\"file\":", g_table);
    json_string(run->path);
    fprintf(g_table, ",\"standard\":%" PRIu32 ",\"format\":", run->standard);
    json_string(run->format);
    fprintf(g_table, ",\"capacity\":%" PRIu32 ",\"items\":[", g_opt->capacity);
    return;
  }
  if (!run->format[0]) return; /* never identified: the message says why */
  fprintf(g_table, "%s: %s, video standard %" PRIu32 " (%s)\n", run->in.label, run->format,
          run->standard, standard_name(run->standard));
  if (!g_opt->quiet)
    fprintf(g_table, "%8s  %-5s  %10s  %7s  %s\n", "item", "kind", "bytes", "skipped",
            g_opt->hash == HASH_MD5 ? "md5" : "");
}

void report_item(const FileRun *run, uint64_t index, int codec, uint64_t size, uint32_t skipped,
                 const char *md5) {
  (void)run;
  if (g_opt->quiet) return;
  progress_clear();
  const char *kind = codec ? "codec" : "frame";
  if (g_opt->json) {
    fprintf(g_table, "%s{\"index\":%" PRIu64 ",\"kind\":\"%s\",\"size\":%" PRIu64
                     ",\"skipped\":%" PRIu32,
            index ? "," : "", index, kind, size, skipped);
    if (md5) fprintf(g_table, ",\"md5\":\"%s\"", md5);
    fputc('}', g_table);
  } else {
    fprintf(g_table, "%8" PRIu64 "  %-5s  %10" PRIu64 "  %7" PRIu32 "  %s\n", index, kind, size,
            skipped, md5 ? md5 : "-");
  }
}

void report_end_skipped(uint32_t skipped) {
  if (g_opt->json || g_opt->quiet) return;
  progress_clear();
  fprintf(g_table, "          end of stream: %" PRIu32 " %s\n", skipped,
          plural(skipped, "skipped frame", "skipped frames"));
}

void report_codec_config(const uint32_t config[2]) {
  if (g_opt->json || g_opt->quiet) return;
  progress_clear();
  fprintf(g_table, "          codec configuration: %" PRIu32 "x%" PRIu32 " (width x height)\n",
          config[1], config[0]);
}

static double mib_per_s(uint64_t bytes, double seconds) {
  return seconds > 0 ? (double)bytes / 1048576.0 / seconds : 0.0;
}

static void json_summary(const FileRun *run) {
  const Totals *t = &run->t;
  fprintf(g_table, "],\"summary\":{\"items\":%" PRIu64 ",\"frames\":%" PRIu64
                   ",\"codec_items\":%" PRIu64 ",\"bytes\":%" PRIu64 ",\"skipped\":%" PRIu64
                   ",\"end_skipped\":%" PRIu32 ",\"largest\":%" PRIu64 ",\"end\":\"%s\"",
          t->items, t->frames, t->codec_items, t->bytes, t->skipped, run->end_skipped, t->largest,
          run->ending);
  if (run->has_config)
    fprintf(g_table, ",\"width\":%" PRIu32 ",\"height\":%" PRIu32, run->config[1], run->config[0]);
  if (run->declared.frames) fprintf(g_table, ",\"declared_frames\":%" PRIu64, run->declared.frames);
  fprintf(g_table, ",\"file_bytes\":%" PRIu64 ",\"seconds\":%.6f,\"library_seconds\":%.6f"
                   ",\"hash_seconds\":%.6f}",
          run->file_bytes, run->seconds, run->library_seconds, run->hash_seconds);
  if (run->nwarnings) {
    fputs(",\"warnings\":[", g_table);
    for (int i = 0; i < run->nwarnings; i++) {
      if (i) fputc(',', g_table);
      json_string(run->warnings[i]);
    }
    fputc(']', g_table);
  }
  if (run->error[0]) {
    fputs(",\"error\":", g_table);
    json_string(run->error);
  }
  fputc('}', g_table);
  if (g_opt->json == JSON_LINES) fputc('\n', g_table);
}

void report_file_end(const FileRun *run) {
  progress_clear();
  if (g_opt->json) {
    json_summary(run);
    fflush(g_table);
    return;
  }
  const Totals *t = &run->t;
  if (!run->format[0]) return; /* never identified: the message said why */
  fprintf(g_table,
          "%s: %" PRIu64 " %s (%" PRIu64 " %s, %" PRIu64 " codec), %" PRIu64 " %s, %" PRIu64
          " %s, %s",
          run->in.label, t->items, plural(t->items, "item", "items"), t->frames,
          plural(t->frames, "frame", "frames"), t->codec_items, t->bytes,
          plural(t->bytes, "byte", "bytes"), t->skipped,
          plural(t->skipped, "skipped frame", "skipped frames"), run->ending);
  if (run->has_config) fprintf(g_table, ", coded size %" PRIu32 "x%" PRIu32, run->config[1], run->config[0]);
  fputc('\n', g_table);
  fprintf(g_table, "%s: read %.1f MiB in %.3f s: library %.0f MiB/s", run->in.label,
          (double)run->file_bytes / 1048576.0, run->seconds,
          mib_per_s(run->file_bytes, run->library_seconds));
  if (g_opt->hash == HASH_MD5) fprintf(g_table, ", md5 %.0f MiB/s", mib_per_s(t->bytes, run->hash_seconds));
  fprintf(g_table, ", overall %.0f MiB/s\n", mib_per_s(run->file_bytes, run->seconds));
  fflush(g_table);
}

int report_ok(void) {
  if (g_table_failed) return 0;
  if (fflush(g_table) == 0 && !ferror(g_table)) return 1;
  g_table_failed = 1;
  const int error = errno;
  tool_message(NULL, "cannot write the %s: %s", g_opt->json ? "JSON" : "table", strerror(error));
  return 0;
}
