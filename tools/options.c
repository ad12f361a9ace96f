/* SPDX-License-Identifier: BSD-2-Clause */
#define _GNU_SOURCE
#include "options.h"

#include <errno.h>
#include <getopt.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include "detect.h"
#include "report.h"

#ifndef QUILLAR_VERSION
#error "QUILLAR_VERSION comes from the project version (CMakeLists.txt)"
#endif

#define DEFAULT_CAPACITY (8u << 20)

static const char k_usage[] =
    "Usage: quillar [OPTION]... FILE...\n"
    "Runs each FILE through libQuillar as a hardware-decoder host would and\n"
    "prints one line per item handed out, then a summary. FILE may be - (or\n"
    "/dev/stdin) for standard input, a pipe included.\n"
    "\n"
    "  -s, --standard=CODE  video standard: 5 (vc1, rcv, asf, wmv), 7 (rm, rv,\n"
    "                       realvideo), 8 (avi), 9 (vp6, flv), 10 (vp8, vp9, ivf,\n"
    "                       webp, webm); names in any case. Without it the code\n"
    "                       comes from the first bytes (Matroska: from its\n"
    "                       first video track's codec); VP6 has no signature,\n"
    "                       so a file named *.vp6 is taken as code 9\n"
    "  -c, --capacity=N     host buffer size in bytes (default 8388608); small\n"
    "                       values hand items out in several pieces\n"
    "  -j, --json           one JSON document: {\"files\": [one object per file]}\n"
    "      --json-lines     the same objects, one per line (JSON Lines)\n"
    "      --hash=md5|none  checksum each item (default: md5 when items are\n"
    "                       listed, none with --quiet)\n"
    "  -o, --output=FILE    write all items, concatenated, to FILE (- for\n"
    "                       standard output; the table then goes to standard\n"
    "                       error)\n"
    "  -x, --extract=DIR    write each item to DIR/NNNNNN.frame or .codec (one\n"
    "                       subdirectory per FILE when there are several)\n"
    "  -f, --force          write into a non-empty --output or --extract target\n"
    "                       (old item files in it are removed first)\n"
    "  -q, --quiet          no per-item lines, only the summary\n"
    "  -v, --verbose        pass the library's own messages on to standard error\n"
    "      --no-progress    no progress line (shown only on a terminal)\n"
    "  -h, --help           this text\n"
    "      --version        the version\n"
    "\n"
    "Per item: index, kind (frame or codec), size in bytes, the skipped-frame\n"
    "count reported with it, and the MD5 of its bytes (as ffprobe\n"
    "-show_data_hash MD5). Warnings say when the file holds fewer frames or\n"
    "bytes than its headers declare, or bytes the parser left unread.\n"
    "\n"
    "Exit status: 0 when every file was read to its end of stream, 1 when a\n"
    "file could not be read, was refused or rejected, gave no item, or ends\n"
    "before its headers say it does, or when an output could not be written,\n"
    "2 for bad usage (including an output target that is an input or not\n"
    "empty without --force).\n";

enum { OPT_VERSION = 256, OPT_JSON_LINES, OPT_HASH, OPT_NO_PROGRESS };

static const struct option k_long[] = {
    {"standard", required_argument, NULL, 's'}, {"capacity", required_argument, NULL, 'c'},
    {"json", no_argument, NULL, 'j'},           {"json-lines", no_argument, NULL, OPT_JSON_LINES},
    {"hash", required_argument, NULL, OPT_HASH}, {"output", required_argument, NULL, 'o'},
    {"extract", required_argument, NULL, 'x'},  {"force", no_argument, NULL, 'f'},
    {"quiet", no_argument, NULL, 'q'},          {"verbose", no_argument, NULL, 'v'},
    {"no-progress", no_argument, NULL, OPT_NO_PROGRESS},
    {"help", no_argument, NULL, 'h'},           {"version", no_argument, NULL, OPT_VERSION},
    {NULL, 0, NULL, 0},
};

static int parse_size(const char *text, uint32_t *out) {
  char *end = NULL;
  errno = 0;
  const unsigned long long v = strtoull(text, &end, 10);
  if (errno || end == text || *end || text[0] == '-' || v == 0 || v > 0xFFFFFFFFull) return -1;
  *out = (uint32_t)v;
  return 0;
}

static int usage_error(const char *format, const char *value) {
  tool_message(NULL, format, value);
  fprintf(stderr, "Try 'quillar --help' for more information.\n");
  return 2;
}

int parse_options(int argc, char **argv, Options *opt, const char **files, int *nfiles) {
  memset(opt, 0, sizeof *opt);
  opt->capacity = DEFAULT_CAPACITY;
  opt->progress = 1;
  opterr = 0;
  int c, index = 0;
  while ((c = getopt_long(argc, argv, ":s:c:jo:x:fqvh", k_long, &index)) != -1) {
    switch (c) {
      case 's':
        opt->standard = parse_standard(optarg);
        if (!opt->standard) return usage_error("unknown video standard '%s'", optarg);
        break;
      case 'c':
        if (parse_size(optarg, &opt->capacity) != 0)
          return usage_error("--capacity wants a size from 1 to 4294967295, not '%s'", optarg);
        break;
      case 'j': opt->json = JSON_DOCUMENT; break;
      case OPT_JSON_LINES: opt->json = JSON_LINES; break;
      case OPT_HASH:
        if (strcasecmp(optarg, "md5") == 0) opt->hash = HASH_MD5;
        else if (strcasecmp(optarg, "none") == 0) opt->hash = HASH_NONE;
        else return usage_error("--hash wants md5 or none, not '%s'", optarg);
        break;
      case 'o': opt->output_path = optarg; break;
      case 'x': opt->extract_dir = optarg; break;
      case 'f': opt->force = 1; break;
      case 'q': opt->quiet = 1; break;
      case 'v': opt->verbose = 1; break;
      case OPT_NO_PROGRESS: opt->progress = 0; break;
      case 'h': fputs(k_usage, stdout); return fflush(stdout) == 0 && !ferror(stdout) ? 0 : 1;
      case OPT_VERSION:
        printf("quillar %s\n", QUILLAR_VERSION);
        return fflush(stdout) == 0 && !ferror(stdout) ? 0 : 1;
      case ':': return usage_error("%s needs a value", argv[optind - 1]);
      default:
        if (optopt && optopt < 256) {
          const char text[2] = {(char)optopt, '\0'};
          return usage_error("unknown option '-%s'", text);
        }
        return usage_error("unknown or ambiguous option '%s'", argv[optind - 1]);
    }
  }
  *nfiles = 0;
  for (int i = optind; i < argc; i++) files[(*nfiles)++] = argv[i];
  if (*nfiles == 0) return usage_error("%s", "no FILE given");
  if (opt->hash == HASH_DEFAULT) opt->hash = opt->quiet ? HASH_NONE : HASH_MD5;
  return -1;
}
