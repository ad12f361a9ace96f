/* SPDX-License-Identifier: BSD-2-Clause */
/* Quillar: RIFF chunk and AVI stream-record parsers.
 *
 * Pure functions over buffers, used by the AVI demultiplexer: they keep no
 * state, print nothing and report failure by returning 0 (success is 1).
 * All RIFF integers are little-endian; a four-character code (fourcc) is the
 * four ASCII bytes of a tag read as one little-endian 32-bit value, so
 * "RIFF" is 0x46464952.
 *
 * The first argument of every parser is the calling element; only
 * gst_riff_parse_chunk looks at it, and only to refuse NULL.
 *
 * Ownership: gst_riff_parse_chunk never takes `buf`. The other five take
 * over the caller's reference to `buf` once their pointer arguments have
 * passed the NULL checks, and release it whether they succeed or fail; the
 * caller must not touch `buf` after such a call. The stream records they
 * return are malloc'ed copies of the whole chunk payload (so a copy may be
 * longer than its record), owned by the caller and released with free().
 * Extra-data buffers are sub-buffers of `buf` with one reference for the
 * caller. Running out of memory is an ordinary failure (0). */
#ifndef QUILLAR_RIFF_H
#define QUILLAR_RIFF_H

#include "gstbuffer.h"

QUILLAR_BEGIN_DECLS

/* "strh" payload: the AVI stream header (AVISTREAMHEADER), at least 48
 * bytes; the frame rectangle and anything further follow in the copy. */
typedef struct RiffStreamHeader {
  guint32 type;           /* 0: "vids", "auds", "txts" or "iavs" */
  guint32 handler;        /* 4: codec fourcc */
  guint32 flags;          /* 8 */
  guint32 priority;       /* 12: priority and language, 16 bits each */
  guint32 initial_frames; /* 16 */
  guint32 scale;          /* 20: 0 in the file is returned as 1 */
  guint32 rate;           /* 24: 0 in the file is returned as 1 */
  guint32 start;          /* 28 */
  guint32 length;         /* 32 */
  guint32 buffer_size;    /* 36: suggested buffer size */
  guint32 quality;        /* 40 */
  guint32 sample_size;    /* 44 */
} RiffStreamHeader;

/* "strf" payload of a "vids" stream: BITMAPINFOHEADER, at least 40 bytes;
 * codec extra data follows in the copy (and is returned as a sub-buffer). */
typedef struct RiffVideoFormat {
  guint32 size;             /* 0: header size, clamped to the payload size */
  guint32 width;            /* 4 */
  guint32 height;           /* 8 */
  uint16_t planes;           /* 12 */
  uint16_t bit_count;        /* 14 */
  guint32 compression;      /* 16: codec fourcc */
  guint32 image_size;       /* 20 */
  guint32 x_pels_per_meter; /* 24 */
  guint32 y_pels_per_meter; /* 28 */
  guint32 colors_used;      /* 32 */
  guint32 colors_important; /* 36 */
} RiffVideoFormat;

/* "strf" payload of an "auds" stream: WAVEFORMATEX, at least 16 bytes. When
 * the payload is longer than 18 bytes, the 16-bit value at offset 16 gives
 * the length of the codec extra data that starts at offset 18. */
typedef struct RiffAudioFormat {
  uint16_t format;            /* 0: format tag */
  uint16_t channels;          /* 2 */
  guint32 sample_rate;       /* 4 */
  guint32 avg_bytes_per_sec; /* 8 */
  uint16_t block_align;       /* 12 */
  uint16_t bits_per_sample;   /* 14 */
} RiffAudioFormat;

/* "strf" payload of an "iavs" (DV) stream: DVINFO, 32 bytes. */
typedef struct RiffDvFormat {
  guint32 audio_source_a;  /* 0 */
  guint32 audio_control_a; /* 4 */
  guint32 audio_source_b;  /* 8 */
  guint32 audio_control_b; /* 12 */
  guint32 video_source;    /* 16 */
  guint32 video_control;   /* 20 */
  guint32 reserved[2];     /* 24 */
} RiffDvFormat;

/* Reads the chunk at byte *offset of `buf`: stores its tag in *fourcc, a
 * new sub-buffer of its payload in *chunk_data (NULL for an empty payload)
 * and moves *offset past the payload and its pad byte. A payload running
 * past the end of `buf` is cut to what is there; a size of 2^31 or more is
 * refused. Returns 0 at the end of the buffer, when no chunk header fits, on
 * a refused size and when the sub-buffer cannot be made; then *fourcc is 0,
 * *chunk_data NULL and *offset unchanged (nothing is written when an
 * argument is NULL). Iterate over a list by calling it until it returns 0. */
QUILLAR_API int gst_riff_parse_chunk(void *element, GstBuffer *buf, guint32 *offset,
                                     guint32 *fourcc, GstBuffer **chunk_data);
/* Checks a 12-byte file header ("RIFF" or "AVF0") and stores its form type
 * (e.g. "AVI ") in *doctype. Takes `buf` (see above). */
QUILLAR_API int gst_riff_parse_file_header(void *element, GstBuffer *buf, guint32 *doctype);
/* A "strh" payload of at least 48 bytes: *strh gets a copy. Takes `buf`. */
QUILLAR_API int gst_riff_parse_strh(void *element, GstBuffer *buf, RiffStreamHeader **strh);
/* A video "strf" payload of at least 40 bytes: *strf gets a copy, *data the
 * bytes from offset 40 on as a sub-buffer (NULL when there are none). Takes
 * `buf`. */
QUILLAR_API int gst_riff_parse_strf_vids(void *element, GstBuffer *buf, RiffVideoFormat **strf,
                                         GstBuffer **data);
/* An audio "strf" payload of at least 16 bytes: *strf gets a copy, *data the
 * codec extra data as a sub-buffer (NULL when there is none). Takes `buf`. */
QUILLAR_API int gst_riff_parse_strf_auds(void *element, GstBuffer *buf, RiffAudioFormat **strf,
                                         GstBuffer **data);
/* A DV "strf" payload of at least 32 bytes: *strf gets a copy, *data is set
 * to NULL. Takes `buf`. */
QUILLAR_API int gst_riff_parse_strf_iavs(void *element, GstBuffer *buf, RiffDvFormat **strf,
                                         GstBuffer **data);

QUILLAR_END_DECLS

#endif
