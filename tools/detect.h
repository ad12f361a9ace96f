/* SPDX-License-Identifier: BSD-2-Clause */
/* Telling a file's container from its first bytes, and the names users give
 * the video standard codes. */
#ifndef QUILLAR_TOOLS_DETECT_H
#define QUILLAR_TOOLS_DETECT_H

#include <stddef.h>
#include <stdint.h>

#include "quillar/gstparser.h"

#ifdef __cplusplus
extern "C" {
#endif

/* What a container's headers declare about the file, so that a file that
 * ends early can be told from a complete one. Zero means "not stated". */
typedef struct Declared {
  uint64_t frames;          /* frames the header says the file holds */
  const char *frames_from;  /* the header that says so */
  uint64_t end;             /* offset just past the container's last byte */
  const char *end_from;     /* the header that says so */
  int more_may_follow;      /* objects after `end` (indexes) are normal */
  /* Files that are nothing but records (file = start + records, each
   * record_header bytes then the frame): the bytes the records that came
   * out account for. */
  int framed;
  uint64_t start, record_header;
} Declared;

/* Reads up to `size` bytes at `offset` of an input; returns the count read. */
typedef size_t (*ReadAt)(void *input, uint64_t offset, uint8_t *out, size_t size);

/* One known container: a new format is one row of the table in detect.c. */
typedef struct Container {
  const char *name;     /* "IVF", "WebP", ... */
  uint32_t standard;    /* VIDEO_STANDARD_*, or 0 for a format the library
                           does not read (named so the message can say so) */
  size_t offset;        /* where the signature starts */
  const char *magic;    /* signature bytes; NULL for a format without one */
  size_t magic_size;
  size_t offset2;       /* a second signature (a RIFF form type), if any */
  const char *magic2;
  size_t magic2_size;
  const char *extension; /* taken instead when there is no signature */
  /* Fills what the headers declare; may be NULL. */
  void (*declare)(ReadAt read_at, void *input, Declared *out);
} Container;

/* Bytes detection looks at, from the start of a file. */
#define DETECT_HEAD_BYTES 64

/* The container whose signature `head` carries, or NULL. */
const Container *detect_container(const uint8_t *head, size_t size);
/* The signature-less container a file name's extension names
 * (case-insensitive), or NULL. */
const Container *container_from_name(const char *path);
/* The signature-less container read with `standard`, or NULL. */
const Container *container_without_signature(uint32_t standard);

/* The code for a name, case-insensitive ("vp8", "vp9", "webp", "ivf" -> 10;
 * "vc1", "vc-1", "wmv", "asf", "rcv" -> 5; "rv", "rm", "realvideo",
 * "realmedia" -> 7; "avi" -> 8; "vp6", "flv" -> 9) or a decimal number; 0 when
 * neither. */
uint32_t parse_standard(const char *text);
/* A short description of a code, for messages. */
const char *standard_name(uint32_t code);
/* Whether the library serves the code. */
int standard_supported(uint32_t code);

#ifdef __cplusplus
}
#endif

#endif
