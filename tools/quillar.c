/* quillar: runs video files through libQuillar the way a decoder host does and
 * shows every item that comes out. */
#define _POSIX_C_SOURCE 200809L
#include <errno.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include "detect.h"
#include "md5.h"
#include "quillar/gstparser.h"

#define DEFAULT_CAPACITY (8u << 20)

static const char k_usage[] =
    "Usage: quillar [OPTIONS] FILE...\n"
    "Runs each FILE through libQuillar as a hardware-decoder host would and\n"
    "prints one line per item handed out, then a summary.\n"
    "\n"
    "Options:\n"
    "  -s, --standard CODE  video standard: 5 (vc1, rcv, asf, wmv), 7 (rm),\n"
    "                       8 (avi), 9 (vp6), 10 (vp8, ivf, webp). Without it\n"
    "                       the code is detected from the first bytes (VP6 has\n"
    "                       no signature: a .vp6 file name is taken as code 9).\n"
    "  -c, --capacity N     host buffer size in bytes (default 8388608); small\n"
    "                       values hand items out in several pieces\n"
    "  -j, --json           machine-readable output (one JSON object per file)\n"
    "  -o, --output FILE    write all items, concatenated, to FILE\n"
    "  -x, --extract DIR    write each item to DIR/NNNNNN.frame or .codec\n"
    "  -q, --quiet          no per-item lines, only the summary\n"
    "  -v, --verbose        show the library's own diagnostics (on stderr)\n"
    "  -h, --help           this text\n"
    "\n"
    "Per item: index, kind (frame or codec), size in bytes, skipped-frame count\n"
    "reported with it, and the MD5 of its bytes (as ffprobe -show_data_hash MD5);\n"
    "skipped frames reported with the end of stream get a line of their own.\n"
    "Exit status: 0 when every file reached its end of stream, 1 when a file\n"
    "could not be read or parsed, 2 for bad usage.\n";

typedef struct Options {
  uint32_t standard;
  uint32_t capacity;
  int json, quiet, verbose;
  const char *output_path;
  const char *extract_dir;
} Options;

typedef struct Totals {
  uint64_t items, frames, codec_items, bytes, skipped, largest;
} Totals;

static FILE *g_out; /* the table's stream: the real standard output */
static const char *g_program = "quillar";

static void fail(const char *format, ...) {
  va_list args;
  va_start(args, format);
  fprintf(stderr, "%s: ", g_program);
  vfprintf(stderr, format, args);
  fputc('\n', stderr);
  va_end(args);
}

static double now_seconds(void) {
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return (double)ts.tv_sec + (double)ts.tv_nsec / 1e9;
}

/* The library prints its diagnostics on standard output. Keep the table on
 * a duplicate of the real standard output and point descriptor 1 at stderr
 * (verbose) or /dev/null. */
static int separate_diagnostics(int verbose) {
  fflush(stdout);
  int table_fd = dup(STDOUT_FILENO);
  if (table_fd < 0) return -1;
  g_out = fdopen(table_fd, "w");
  if (!g_out) return -1;
  int sink = verbose ? dup(STDERR_FILENO) : open("/dev/null", O_WRONLY);
  if (sink < 0 || dup2(sink, STDOUT_FILENO) < 0) return -1;
  close(sink);
  return 0;
}

static void json_string(FILE *out, const char *text) {
  fputc('"', out);
  for (const unsigned char *p = (const unsigned char *)text; *p; p++) {
    if (*p == '"' || *p == '\\')
      fprintf(out, "\\%c", *p);
    else if (*p < 0x20)
      fprintf(out, "\\u%04x", *p);
    else
      fputc(*p, out);
  }
  fputc('"', out);
}

static uint32_t choose_standard(const char *path, FILE *file, const Options *opt,
                                const char **format) {
  *format = "as given";
  if (opt->standard) return opt->standard;
  static uint8_t head[64 << 10];  /* a Matroska track list is in the first KiB */
  const size_t got = fread(head, 1, sizeof head, file);
  rewind(file);
  uint32_t code = detect_standard(head, got, format);
  if (!code) {
    const char *dot = strrchr(path, '.');
    if (dot && strcmp(dot, ".vp6") == 0) {
      *format = "VP6 (from the file name)";
      code = 9;
    }
  }
  return code;
}

static int write_item_file(const char *dir, uint64_t index, int codec, const uint8_t *data,
                           size_t size, int append) {
  char path[4096];
  snprintf(path, sizeof path, "%s/%06llu.%s", dir, (unsigned long long)index,
           codec ? "codec" : "frame");
  FILE *f = fopen(path, append ? "ab" : "wb");
  if (!f) return -1;
  const int ok = fwrite(data, 1, size, f) == size;
  return fclose(f) == 0 && ok ? 0 : -1;
}

static void progress(const char *path, uint64_t items, FILE *file, long file_size) {
  const long at = ftell(file);
  const double percent = file_size > 0 && at >= 0 ? 100.0 * (double)at / (double)file_size : 0.0;
  fprintf(stderr, "\r%s: %llu items, %.0f%% read", path, (unsigned long long)items, percent);
}

/* Runs one file through the library. Returns 0 when it reached end of stream. */
static int run_file(const char *path, const Options *opt, uint8_t *buffer, FILE *concat) {
  FILE *file = fopen(path, "rb");
  if (!file) {
    fail("%s: cannot open: %s", path, strerror(errno));
    return 1;
  }
  struct stat st;
  const long file_size = fstat(fileno(file), &st) == 0 ? (long)st.st_size : -1;
  const char *format = NULL;
  const uint32_t standard = choose_standard(path, file, opt, &format);
  if (!standard) {
    fail("%s: cannot tell the format from the first bytes; give --standard", path);
    fclose(file);
    return 1;
  }
  ParserContext *ctx = NULL;
  GSTPARSER_Initialise(&ctx, standard, file);
  if (!ctx) {
    fail("%s: the library refused video standard %u (%s) for this file%s", path, standard,
         standard_name(standard), opt->verbose ? "" : "; -v shows its message");
    fclose(file);
    return 1;
  }
  if (opt->json) {
    fprintf(g_out, "{\"file\":");
    json_string(g_out, path);
    fprintf(g_out, ",\"standard\":%u,\"format\":", standard);
    json_string(g_out, format);
    fprintf(g_out, ",\"capacity\":%u,\"items\":[", opt->capacity);
  } else {
    fprintf(g_out, "%s: %s, video standard %u (%s)\n", path, format, standard,
                   standard_name(standard));
    if (!opt->quiet) fprintf(g_out, "%8s  %-5s  %10s  %7s  %s\n", "item", "kind", "bytes", "skipped", "md5");
  }

  Totals t = {0, 0, 0, 0, 0, 0};
  uint32_t capacity = opt->capacity;
  int status = 0, shown_config = 0, errors_in_row = 0;
  uint32_t end_skipped = 0;
  uint32_t config[2] = {0, 0};
  const int show_progress = isatty(STDERR_FILENO) && !opt->verbose;
  double last_progress = now_seconds();
  const double start = last_progress;
  const char *ending = "end of stream";

  for (;;) {
    BitStrBufInfo info;
    memset(&info, 0, sizeof info);
    Md5 md5;
    md5_init(&md5);
    uint64_t size = 0;
    uint32_t kind = 0, skipped = 0;
    int32_t result;
    /* One item: the first call starts it, later calls continue it. */
    do {
      result = GSTPARSER_BitStrBufFill(ctx, buffer, &capacity, &info);
      if (result != PARSER_OK) break;
      if (size == 0 && kind == 0) kind = info.buffer_kind;
      skipped += info.skipped_frames;
      md5_update(&md5, buffer, (size_t)info.copied_bytes);
      if (concat && fwrite(buffer, 1, (size_t)info.copied_bytes, concat) != info.copied_bytes) {
        fail("cannot write --output file: %s", strerror(errno));
        status = 1;
      }
      if (opt->extract_dir &&
          write_item_file(opt->extract_dir, t.items, kind == BUFFER_KIND_CODEC_DATA, buffer,
                          (size_t)info.copied_bytes, size > 0) != 0) {
        fail("cannot write into %s: %s", opt->extract_dir, strerror(errno));
        status = 1;
      }
      size += info.copied_bytes;
    } while (!info.frame_complete);
    if (result == PARSER_END_OF_STREAM) {
      /* Skipped-frame records met after the last frame come with the end. */
      end_skipped = info.skipped_frames;
      t.skipped += end_skipped;
      if (end_skipped && !opt->json && !opt->quiet)
        fprintf(g_out, "          end of stream: %u skipped frames\n", end_skipped);
      break;
    }
    if (result != PARSER_OK) {
      /* A host may call again after a chain error: items the parser had
       * already finished still come out. Stop once a call in a row fails
       * with nothing handed out in between. */
      if (errors_in_row++ == 0 && status == 0) {
        const long at = ftell(file);
        fail("%s: the %s parser rejected the data at item %llu (%llu bytes of the file read)%s",
             path, format, (unsigned long long)t.items, (unsigned long long)(at < 0 ? 0 : at),
             opt->verbose ? "" : "; -v shows the library's messages");
        ending = "parse error";
        status = 1;
      }
      if (errors_in_row >= 2) break;
      continue;
    }
    errors_in_row = 0;
    char hex[33];
    md5_final_hex(&md5, hex);
    const int codec = kind == BUFFER_KIND_CODEC_DATA;
    if (opt->json) {
      fprintf(g_out, "%s{\"index\":%llu,\"kind\":\"%s\",\"size\":%llu,\"skipped\":%u,\"md5\":\"%s\"}",
              t.items ? "," : "", (unsigned long long)t.items, codec ? "codec" : "frame",
              (unsigned long long)size, skipped, hex);
    } else if (!opt->quiet) {
      fprintf(g_out, "%8llu  %-5s  %10llu  %7u  %s\n", (unsigned long long)t.items,
              codec ? "codec" : "frame", (unsigned long long)size, skipped, hex);
    }
    if (codec && !shown_config && GSTPARSER_GetCodecConfig(ctx, config) == PARSER_OK) {
      shown_config = 1;
      if (!opt->json && !opt->quiet)
        fprintf(g_out, "          codec configuration: %ux%u (width x height)\n", config[1], config[0]);
    }
    t.items++;
    t.bytes += size;
    t.skipped += skipped;
    if (codec) t.codec_items++; else t.frames++;
    if (size > t.largest) t.largest = size;
    if (show_progress && (t.items & 63) == 0 && now_seconds() - last_progress > 0.5) {
      last_progress = now_seconds();
      progress(path, t.items, file, file_size);
    }
  }
  const double seconds = now_seconds() - start;
  if (show_progress && seconds > 0.5) fprintf(stderr, "\r\033[K");
  const double mib = (double)(file_size > 0 ? file_size : 0) / (1024.0 * 1024.0);
  const double rate = seconds > 0 ? mib / seconds : 0.0;
  if (opt->json) {
    fprintf(g_out, "],\"summary\":{\"items\":%llu,\"frames\":%llu,\"codec_items\":%llu,"
                   "\"bytes\":%llu,\"skipped\":%llu,\"end_skipped\":%u,\"largest\":%llu,\"end\":\"%s\"",
            (unsigned long long)t.items, (unsigned long long)t.frames,
            (unsigned long long)t.codec_items, (unsigned long long)t.bytes,
            (unsigned long long)t.skipped, end_skipped, (unsigned long long)t.largest, ending);
    if (shown_config) fprintf(g_out, ",\"width\":%u,\"height\":%u", config[1], config[0]);
    fprintf(g_out, ",\"file_bytes\":%ld,\"seconds\":%.6f}}\n", file_size, seconds);
  } else {
    fprintf(g_out, "%s: %llu items (%llu frames, %llu codec), %llu bytes, %llu skipped frames, %s",
            path, (unsigned long long)t.items, (unsigned long long)t.frames,
            (unsigned long long)t.codec_items, (unsigned long long)t.bytes,
            (unsigned long long)t.skipped, ending);
    if (shown_config) fprintf(g_out, ", coded size %ux%u", config[1], config[0]);
    fprintf(g_out, ", %.1f MiB/s\n", rate);
  }
  fflush(g_out);
  GSTPARSER_Deinitialise(ctx);
  fclose(file);
  return status;
}

static int parse_size(const char *text, uint32_t *out) {
  char *end = NULL;
  errno = 0;
  const unsigned long long v = strtoull(text, &end, 10);
  if (errno || end == text || *end || v == 0 || v > 0xFFFFFFFFull) return -1;
  *out = (uint32_t)v;
  return 0;
}

/* Everything after the allocation of `files`, which main releases on every
 * path (usage errors included). */
static int run(int argc, char **argv, const char **files) {
  Options opt = {0, DEFAULT_CAPACITY, 0, 0, 0, NULL, NULL};
  int nfiles = 0;
  for (int i = 1; i < argc; i++) {
    const char *a = argv[i];
    const char *value = i + 1 < argc ? argv[i + 1] : NULL;
#define WANTS(short_name, long_name) (strcmp(a, short_name) == 0 || strcmp(a, long_name) == 0)
    if (WANTS("-h", "--help")) {
      fputs(k_usage, stdout);
      return 0;
    } else if (WANTS("-j", "--json")) {
      opt.json = 1;
    } else if (WANTS("-q", "--quiet")) {
      opt.quiet = 1;
    } else if (WANTS("-v", "--verbose")) {
      opt.verbose = 1;
    } else if (WANTS("-s", "--standard") || WANTS("-c", "--capacity") || WANTS("-o", "--output") ||
               WANTS("-x", "--extract")) {
      if (!value) {
        fail("%s needs a value (see --help)", a);
        return 2;
      }
      i++;
      if (WANTS("-s", "--standard")) {
        opt.standard = parse_standard(value);
        if (!opt.standard) {
          fail("unknown video standard '%s' (see --help)", value);
          return 2;
        }
      } else if (WANTS("-c", "--capacity")) {
        if (parse_size(value, &opt.capacity) != 0) {
          fail("--capacity wants a size from 1 to 4294967295, not '%s'", value);
          return 2;
        }
      } else if (WANTS("-o", "--output")) {
        opt.output_path = value;
      } else {
        opt.extract_dir = value;
      }
    } else if (a[0] == '-' && a[1] != '\0') {
      fail("unknown option '%s' (see --help)", a);
      return 2;
    } else {
      files[nfiles++] = a;
    }
#undef WANTS
  }
  if (nfiles == 0) {
    fputs(k_usage, stderr);
    return 2;
  }
  if (opt.extract_dir && mkdir(opt.extract_dir, 0777) != 0 && errno != EEXIST) {
    fail("cannot create %s: %s", opt.extract_dir, strerror(errno));
    return 1;
  }
  if (separate_diagnostics(opt.verbose) != 0) {
    fail("cannot set up standard output: %s", strerror(errno));
    return 1;
  }
  FILE *concat = NULL;
  if (opt.output_path && !(concat = fopen(opt.output_path, "wb"))) {
    fail("cannot create %s: %s", opt.output_path, strerror(errno));
    return 1;
  }
  uint8_t *buffer = malloc(opt.capacity);
  if (!buffer) {
    fail("cannot allocate a host buffer of %u bytes", opt.capacity);
    if (concat) fclose(concat);
    return 1;
  }
  int status = 0;
  for (int i = 0; i < nfiles; i++) status |= run_file(files[i], &opt, buffer, concat);
  if (concat && fclose(concat) != 0) {
    fail("cannot write %s: %s", opt.output_path, strerror(errno));
    status = 1;
  }
  free(buffer);
  if (fclose(g_out) != 0) status = 1;
  return status;
}

int main(int argc, char **argv) {
  const char **files = calloc((size_t)argc, sizeof *files);
  if (!files) return 1;
  const int status = run(argc, argv, files);
  free(files);
  return status;
}
