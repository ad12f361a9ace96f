// SPDX-License-Identifier: BSD-2-Clause
// Private state of the size-prefixed VP6 framer.
#pragma once

#include "format/format.h"
#include "quillar/gstadapter.h"
#include "quillar/parser.h"

namespace quillar {

enum class Vp6Phase : uint32_t {
  kRecords = 0,  // size fields and frames
  // A record declared a size that can never be buffered: the stream ends
  // there, and everything pushed from then on is released at once.
  kDiscard = 1,
};

struct Vp6ParseState {
  GstAdapter *adapter;  // created by the first chain call
  uint32_t frame_size;  // size field of the record being examined
  ParserOutput *output;
  FrameTail frame_tail;  // where output->frames ends
  BlockSource *blocks;   // the front end's read blocks; null without one
  Vp6Phase phase;
};

inline constexpr FormatDescriptor kVp6Format =
    describe<Vp6ParseState>("vp6", standard_bit(9), nullptr, gst_vp6_parse_chain, gst_vp6_parse_reset);

}  // namespace quillar
