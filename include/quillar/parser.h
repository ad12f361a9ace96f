/* SPDX-License-Identifier: BSD-2-Clause */
/* Quillar: the format parsers' chain/reset pairs and the block they share
 * with the front end.
 *
 * Each format parser is a push-mode state machine: chain(output, buffer)
 * takes over the caller's reference to `buffer` (NULL means "no new data,
 * produce what you can from what you hold"), consumes whole headers and
 * frames, and appends finished frames to output->frames, each with one
 * reference for the consumer. reset(output) releases everything the parser
 * holds and prepares it for a new stream.
 *
 * The parser's private state lives in storage owned by the caller and
 * reached through output->parser_state; it is zero-filled before the first
 * reset, and its `output` field holds the address of the ParserOutput.
 * GSTPARSER_Initialise sets all of this up, and the record layouts are
 * private, so outside the library these pairs are for diagnostics and
 * testing rather than for driving a parser directly. */
#ifndef QUILLAR_PARSER_H
#define QUILLAR_PARSER_H

#include "gstbuffer.h"

QUILLAR_BEGIN_DECLS

/* Chain results. */
enum {
  CHAIN_OK = 0,             /* data consumed; zero or more frames queued */
  CHAIN_BAD_DATA = -3,      /* contents rejected, or (AVI) the data ended at
                               an unrecognised chunk */
  CHAIN_ERROR = -5,         /* bad file header or structure, or out of memory */
  CHAIN_NOT_SUPPORTED = -6  /* stream variant not supported */
};

typedef struct ParserOutput {
  uint16_t width;             /* frame width, where the format carries one */
  uint16_t height;            /* frame height */
  GstBuffer *codec_data;      /* codec configuration waiting to be handed out
                                 before the next frame (one reference), or NULL */
  GSList *frames;             /* finished frames (GstBuffer*), oldest first */
  uint32_t skipped_frames;    /* zero-length frame records met in this call */
  void *parser_state;         /* the parser's private state record */
} ParserOutput;

typedef int32_t (*ParserChainFunc)(ParserOutput *output, GstBuffer *buffer);
typedef void (*ParserResetFunc)(ParserOutput *output);

/* IVF (VP8/VP9): code 10 with "DKIF". */
QUILLAR_API int32_t gst_ivf_parse_chain(ParserOutput *output, GstBuffer *buffer);
QUILLAR_API void gst_ivf_parse_reset(ParserOutput *output);
/* Size-prefixed VP6: code 9. */
QUILLAR_API int32_t gst_vp6_parse_chain(ParserOutput *output, GstBuffer *buffer);
QUILLAR_API void gst_vp6_parse_reset(ParserOutput *output);
/* RCV (VC-1): code 5 with 0xC5 in byte 3. */
QUILLAR_API int32_t RCVPARSE_Chain(ParserOutput *output, GstBuffer *buffer);
QUILLAR_API void RCVPARSE_Reset(ParserOutput *output);
/* Lossy WebP (VP8): code 10 with "RIFF". */
QUILLAR_API int32_t WEBPPARSE_Chain(ParserOutput *output, GstBuffer *buffer);
QUILLAR_API void WEBPPARSE_Reset(ParserOutput *output);
/* AVI: code 8. */
QUILLAR_API int32_t gst_avi_demux_chain(ParserOutput *output, GstBuffer *buffer);
QUILLAR_API void gst_avi_demux_reset_wrapper(ParserOutput *output);
/* ASF (VC-1, WMV): code 5 otherwise. */
QUILLAR_API int32_t gst_asf_demux_chain(ParserOutput *output, GstBuffer *buffer);
QUILLAR_API void gst_asf_demux_reset_wrapper(ParserOutput *output);
/* RealMedia: code 7. */
QUILLAR_API int32_t gst_rmdemux_chain(ParserOutput *output, GstBuffer *buffer);
/* Unlike the other resets it returns a result: always 1. */
QUILLAR_API int gst_rmdemux_reset(ParserOutput *output);

QUILLAR_END_DECLS

#endif
