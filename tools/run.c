/* SPDX-License-Identifier: BSD-2-Clause */
#define _POSIX_C_SOURCE 200809L
#include "run.h"

#include <errno.h>
#include <inttypes.h>
#include <string.h>
#include <time.h>

#include "libmsg.h"
#include "md5.h"
#include "mkv_track.h"
#include "report.h"

static double now_seconds(void) {
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return (double)ts.tv_sec + (double)ts.tv_nsec / 1e9;
}

/* The name shown for the file: the container, and for IVF the codec its
 * header names. */
static void name_format(FileRun *run) {
  const Container *c = run->container;
  if (!c || c->standard != run->standard) {
    snprintf(run->format, sizeof run->format, "%s", standard_name(run->standard));
    return;
  }
  uint8_t fourcc[4];
  if (strcmp(c->name, "IVF") == 0 && input_read_at(&run->in, 8, fourcc, 4) == 4) {
    const char *codec = memcmp(fourcc, "VP80", 4) == 0   ? "VP8"
                        : memcmp(fourcc, "VP90", 4) == 0 ? "VP9"
                                                         : NULL;
    if (codec) {
      snprintf(run->format, sizeof run->format, "IVF, %s", codec);
      return;
    }
    snprintf(run->format, sizeof run->format, "IVF, fourcc %.4s", (const char *)fourcc);
    return;
  }
  snprintf(run->format, sizeof run->format, "%s", c->name);
}

/* Opens the file and settles the video standard code. Returns 0 to go on. */
static int identify(FileRun *run, const Options *opt) {
  char why[RUN_TEXT];
  if (input_open(&run->in, run->path, why, sizeof why) != 0) {
    run_error(run, "%s", why);
    return -1;
  }
  const Container *signed_as =
      matroska_container(detect_container(run->in.head, run->in.head_size), input_read_at, &run->in);
  const Container *named_as = signed_as ? NULL : container_from_name(run->path);
  run->container = signed_as ? signed_as : named_as;
  if (opt->standard) {
    run->standard = opt->standard;
    if (signed_as && signed_as->standard != opt->standard) {
      if (signed_as->standard)
        run_warning(run, "the file looks like %s (video standard %" PRIu32 "), not video standard %" PRIu32,
                    signed_as->name, signed_as->standard, opt->standard);
      else
        run_warning(run, "the file looks like %s, which the library does not read", signed_as->name);
    }
    if (!run->container || run->container->standard != run->standard)
      run->container = container_without_signature(run->standard);
  } else if (run->container && run->container->standard) {
    run->standard = run->container->standard;
  } else {
    if (run->container)
      run_error(run, "this is %s, which the library does not read", run->container->name);
    else
      run_error(run, "cannot tell the format from the first bytes; give --standard (VP6 streams "
                     "have no signature: -s vp6)");
    return -1;
  }
  name_format(run);
  if (run->container && run->container->declare)
    run->container->declare(input_read_at, &run->in, &run->declared);
  return 0;
}

typedef struct Item {
  int started, codec, pieces;
  uint64_t size;
  uint32_t skipped;
  Md5 md5;
} Item;

/* Pulls items until end of stream or a failure. */
static void item_loop(FileRun *run, ParserContext *ctx, const Options *opt, uint8_t *buffer,
                      Sinks *sinks) {
  uint32_t capacity = opt->capacity;
  int errors_in_row = 0, pending_note = 0;
  uint64_t calls = 0;
  Item item = {0};
  for (;;) {
    BitStrBufInfo info;
    memset(&info, 0, sizeof info);
    const double before = now_seconds();
    const int32_t result = GSTPARSER_BitStrBufFill(ctx, buffer, &capacity, &info);
    const double after = now_seconds();
    run->library_seconds += after - before;
    if (opt->verbose || (++calls & 1023) == 0) libmsg_pump();
    if (result == PARSER_END_OF_STREAM) {
      run->end_skipped = info.skipped_frames;
      run->t.skipped += info.skipped_frames;
      if (info.skipped_frames) report_end_skipped(info.skipped_frames);
      return;
    }
    if (result != PARSER_OK) {
      /* A host may call again after a chain error: items the parser had
       * already finished still come out. Stop once a call in a row fails
       * with nothing handed out in between. */
      if (errors_in_row++ == 0 && !pending_note) {
        char reason[RUN_TEXT];
        libmsg_reason(reason, sizeof reason);
        run_error(run, "the %s parser rejected the data at item %" PRIu64 " (%" PRIu64
                       " bytes of the file read)%s%s",
                  run->format, run->t.items, input_consumed(&run->in), reason[0] ? ": " : "",
                  reason);
        run->ending = "parse error";
        pending_note = 1;
        libmsg_mark();
      }
      if (errors_in_row >= 2) return;
      continue;
    }
    errors_in_row = 0;
    if (!item.started) {
      memset(&item, 0, sizeof item);
      item.started = 1;
      item.codec = info.buffer_kind == BUFFER_KIND_CODEC_DATA;
      if (opt->hash == HASH_MD5) md5_init(&item.md5);
    }
    item.skipped += info.skipped_frames;
    if (opt->hash == HASH_MD5) {
      md5_update(&item.md5, buffer, (size_t)info.copied_bytes);
      run->hash_seconds += now_seconds() - after;
    }
    sinks_write(sinks, run->t.items, item.codec, item.pieces++ == 0, info.frame_complete != 0,
                buffer, (size_t)info.copied_bytes);
    item.size += info.copied_bytes;
    if (!info.frame_complete) continue;
    char hex[33];
    if (opt->hash == HASH_MD5) md5_final_hex(&item.md5, hex);
    report_item(run, run->t.items, item.codec, item.size, item.skipped,
                opt->hash == HASH_MD5 ? hex : NULL);
    if (item.codec && !run->has_config && GSTPARSER_GetCodecConfig(ctx, run->config) == PARSER_OK) {
      run->has_config = 1;
      report_codec_config(run->config);
    }
    Totals *t = &run->t;
    t->items++;
    t->bytes += item.size;
    t->skipped += item.skipped;
    if (item.codec) t->codec_items++, t->codec_bytes += item.size;
    else t->frames++;
    if (item.size > t->largest) t->largest = item.size;
    item.started = 0;
    progress_update(run, input_consumed(&run->in), after);
  }
}

/* What came out against what the headers declare. */
static void check_declared(FileRun *run) {
  const Declared *d = &run->declared;
  const uint64_t read = run->file_bytes;
  /* Skipped frames (zero-size records) are frames of the count too. */
  const uint64_t frames = run->t.frames + run->t.skipped;
  if (d->frames && frames < d->frames)
    run_error(run, "the file ends early: %s declares %" PRIu64 " %s, %" PRIu64 " came out",
              d->frames_from, d->frames, plural(d->frames, "frame", "frames"), frames);
  if (d->end && read < d->end && !run->status)
    run_error(run, "the file ends early: %s declares %" PRIu64 " bytes, the file has %" PRIu64,
              d->end_from, d->end, read);
  else if (d->end && read > d->end && !d->more_may_follow && !run->status)
    run_warning(run, "%" PRIu64 " %s after the end that %s declares were left unread",
                read - d->end, plural(read - d->end, "byte", "bytes"), d->end_from);
  if (!run->status && run->t.items == 0)
    run_error(run, "no item came out: the file holds no %s data", standard_name(run->standard));
  if (d->framed && !run->status) {
    /* The header, then one record per frame and per skipped frame; an RCV
     * codec item comes from the header. */
    const uint64_t used = d->start + (run->t.frames + run->t.skipped) * d->record_header +
                          (run->t.bytes - run->t.codec_bytes);
    if (read > used)
      run_error(run, "the file ends early: its last %" PRIu64 " %s are no whole frame record and "
                     "were left unread",
                read - used, plural(read - used, "byte", "bytes"));
  }
}

void run_file(FileRun *run, const Options *opt, uint8_t *buffer, Sinks *sinks) {
  run->ending = "not read";
  libmsg_mark();
  if (identify(run, opt) != 0) {
    report_file_begin(run);
    report_file_end(run);
    input_close(&run->in);
    return;
  }
  ParserContext *ctx = NULL;
  GSTPARSER_Initialise(&ctx, run->standard, run->in.file);
  if (!ctx) {
    char reason[RUN_TEXT];
    libmsg_reason(reason, sizeof reason);
    run_error(run, "the library refused video standard %" PRIu32 " (%s) for this file%s%s",
              run->standard, standard_name(run->standard), reason[0] ? ": " : "", reason);
    report_file_begin(run);
    report_file_end(run);
    input_close(&run->in);
    return;
  }
  report_file_begin(run);
  run->ending = "end of stream";
  const double start = now_seconds();
  run->seconds = start; /* the progress line's clock until the end */
  item_loop(run, ctx, opt, buffer, sinks);
  run->seconds = now_seconds() - start;
  run->file_bytes = input_consumed(&run->in);
  GSTPARSER_Deinitialise(ctx);
  const int error = input_error(&run->in);
  if (error) {
    run_error(run, "read error: %s", strerror(error));
    run->ending = "read error";
  }
  if (!run->status) check_declared(run);
  report_file_end(run);
  input_close(&run->in);
}
