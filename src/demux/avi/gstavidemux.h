// SPDX-License-Identifier: BSD-2-Clause
// Private state of the AVI demultiplexer.
#pragma once

#include "format/format.h"
#include "quillar/gstadapter.h"
#include "quillar/parser.h"
#include "quillar/riff.h"

namespace quillar {

constexpr uint32_t AVI_MAX_STREAMS = 16;

enum AviState : uint32_t {
  AVI_STATE_START = 0,   // expecting the 12-byte RIFF header
  AVI_STATE_HEADER = 1,  // the header list, then whatever precedes the movie list
  AVI_STATE_MOVI = 2,    // data chunks
};

enum AviHeaderState : uint32_t {
  AVI_HEADER_HDRL = 0,     // the "LIST" "hdrl" must arrive whole
  AVI_HEADER_TO_MOVI = 3,  // skipping to the "LIST" "movi" header
};

// The "avih" payload (the published AVI main header); kept, not interpreted.
struct AviMainHeader {
  uint32_t micro_sec_per_frame;
  uint32_t max_bytes_per_sec;
  uint32_t padding_granularity;
  uint32_t flags;
  uint32_t total_frames;
  uint32_t initial_frames;
  uint32_t streams;
  uint32_t suggested_buffer_size;
  uint32_t width;
  uint32_t height;
  uint32_t reserved[4];
};

// One record per stream list, indexed by stream number. An all-zero record
// is a stream number without a usable stream (a rejected stream list).
struct AviStream {
  uint32_t num;               // its index in `streams`
  RiffStreamHeader *strh;     // owned copy; `type` labels the stream's data
  void *strf;                 // owned format copy by type; null for "txts"
  GstBuffer *extra_data;      // never kept: it would pin the header list
  GstBuffer *init_data;       // never kept: it would pin the header list
  char *stream_name;          // owned copy of "strn", or null
  uint32_t frame_count;       // data chunks met in the movie list
};

struct AviDemuxState {
  ParserOutput *output;
  FrameTail frame_tail;  // where output->frames ends
  BlockSource *blocks;   // the front end's read blocks; null without one
  AviState state;
  AviHeaderState header_state;
  uint32_t abort_buffering;  // a chunk size of 0 or >= 2^30 was met
  AviStream streams[AVI_MAX_STREAMS];
  uint32_t num_streams;      // stream lists consumed, accepted or rejected
  uint32_t end_of_data;      // the movie list ended at an unrecognised tag
  GstAdapter *adapter;       // created by the first chain call
  AviMainHeader *main_header;
  uint32_t skip_remaining;   // bytes of a skipped chunk still to come
};

inline constexpr FormatDescriptor kAviFormat =
    describe<AviDemuxState>("avi", standard_bit(8), nullptr, gst_avi_demux_chain, gst_avi_demux_reset_wrapper);

}  // namespace quillar
