/* SPDX-License-Identifier: BSD-2-Clause */
/* Quillar host API: turn a compressed video file into the items a hardware
 * decoder consumes.
 *
 * Calling sequence
 *   1. The host opens the file and calls GSTPARSER_Initialise with the FILE
 *      and a video standard code. A NULL context means no parser was chosen
 *      (the reason is printed on standard output).
 *   2. It calls GSTPARSER_BitStrBufFill again and again. Each call copies the
 *      next piece of bitstream into the host's buffer: a whole item, or as
 *      much of it as fits, the rest following in the next calls. Items are a
 *      codec-configuration item (kind 2, at most one, always first where the
 *      format has one) and frames (kind 1), in stream order.
 *   3. After the codec-configuration item has been handed out,
 *      GSTPARSER_GetCodecConfig answers the coded frame size.
 *   4. Once BitStrBufFill returns PARSER_END_OF_STREAM (or whenever the host
 *      wants to stop) it calls GSTPARSER_Deinitialise, then closes the file.
 *
 * Ownership: the host owns the FILE (the library reads and seeks it, never
 * closes it), its destination buffer and the records it passes in. The
 * context belongs to the library from Initialise to Deinitialise.
 *
 * Streams: the file may be a pipe, a socket, a terminal or standard input as
 * well as a regular file; every format gives the same items from either.
 * Reads interrupted by a signal (EINTR) are resumed. Only a read that meets
 * the end of the file ends the stream; a read error is reported as
 * PARSER_ERROR_CHAIN (below) and the FILE's error indicator is left set.
 *
 * Diagnostics: the library prints fixed English texts on standard output
 * (puts/printf). Hosts that need a clean standard output redirect it.
 *
 * Threads: none are started. A context must be used from one thread at a
 * time; separate contexts are independent. */
#ifndef QUILLAR_GSTPARSER_H
#define QUILLAR_GSTPARSER_H

#include <stdint.h>
#include <stdio.h>

#include "export.h"

QUILLAR_BEGIN_DECLS

/* Video standard codes (every other value is refused). */
enum {
  VIDEO_STANDARD_VC1 = 5,        /* RCV (byte 3 = 0xC5) or ASF */
  VIDEO_STANDARD_REALVIDEO = 7,  /* RealMedia */
  VIDEO_STANDARD_AVI = 8,        /* AVI: every stream's chunks as frames */
  VIDEO_STANDARD_VP6 = 9,        /* size-prefixed VP6 frames */
  VIDEO_STANDARD_VP8 = 10        /* IVF ("DKIF") or lossy WebP ("RIFF") */
};

/* Front-end results. */
enum {
  PARSER_OK = 0,
  PARSER_ERROR_CHAIN = 3,      /* the format parser rejected the data or
                                  ran out of memory, or reading the file
                                  failed; calling again continues with what
                                  it already holds */
  PARSER_ERROR_PARAMETER = 11, /* a required pointer is NULL */
  PARSER_END_OF_STREAM = 12,   /* file exhausted, nothing left to hand out */
  PARSER_ERROR_NOT_READY = 15  /* codec configuration not known yet */
};

/* Kinds of item, reported in BitStrBufInfo.buffer_kind. */
enum {
  BUFFER_KIND_FRAME = 1,
  BUFFER_KIND_CODEC_DATA = 2
};

/* Filled by GSTPARSER_BitStrBufFill in a record the host owns. */
typedef struct BitStrBufInfo {
  uint64_t copied_bytes;   /* bytes written to the destination by this call */
  uint32_t frame_complete; /* 1: the item ended with this piece; 0: more of
                              it follows in the next calls */
  uint32_t buffer_kind;    /* BUFFER_KIND_*: written only by the call that
                              starts an item, left as it was by the calls
                              that continue it */
  uint32_t skipped_frames; /* skipped (zero-length) frame records met during
                              this call */
} BitStrBufInfo;

/* Filled by GSTPARSER_GetCodecConfig: height first, then width. */
typedef struct CodecConfig {
  uint32_t height;
  uint32_t width;
} CodecConfig;

/* The host's handle; opaque. */
typedef struct ParserContext ParserContext;

/* Chooses a parser for `video_standard` (looking at the file's first bytes
 * for codes 5 and 10) and stores a new context at *context_out, or NULL when
 * the code is not supported, the file is too short, the signature is not
 * recognised, or memory runs out. On a seekable file code 5 leaves the file
 * position where it was and code 10 leaves it at offset 0; on a stream that
 * cannot seek the 4 bytes read to choose are kept and parsed as the start of
 * the stream. A NULL context_out or
 * file does nothing (and stores nothing, or NULL). */
QUILLAR_API void GSTPARSER_Initialise(ParserContext **context_out, uint32_t video_standard,
                                      FILE *file);

/* Copies the next piece of bitstream into `destination`, whose size is
 * *capacity (read, never written). Returns PARSER_OK with *info filled,
 * PARSER_END_OF_STREAM (only info->skipped_frames written),
 * PARSER_ERROR_CHAIN (info not written; the host may call again), or
 * PARSER_ERROR_PARAMETER when context, destination, capacity or info is
 * NULL. A capacity of 0 is allowed: nothing is copied.
 * When reading the file fails (other than EINTR), the items made from the
 * bytes read before the failure are handed out first; then one call returns
 * PARSER_ERROR_CHAIN and prints "Reading the file failed". The next call
 * reads again, so a host that clears the error (clearerr) and calls again
 * goes on where the stream stopped, losing nothing. */
QUILLAR_API int32_t GSTPARSER_BitStrBufFill(ParserContext *context, uint8_t *destination,
                                            uint32_t *capacity, BitStrBufInfo *info);

/* Writes height then width (a CodecConfig) to `config` once the
 * codec-configuration item has been handed out; PARSER_ERROR_NOT_READY
 * before that (and always for formats without one: IVF, VP6, WebP, AVI);
 * PARSER_ERROR_PARAMETER for NULL arguments. */
QUILLAR_API int32_t GSTPARSER_GetCodecConfig(ParserContext *context, uint32_t *config);

/* Releases the context and everything it holds. The file stays open. NULL
 * does nothing. */
QUILLAR_API void GSTPARSER_Deinitialise(ParserContext *context);

QUILLAR_END_DECLS

#endif
