// SPDX-License-Identifier: BSD-2-Clause
// Private state of the IVF framer.
#pragma once

#include "format/format.h"
#include "quillar/gstadapter.h"
#include "quillar/parser.h"

namespace quillar {

enum class IvfPhase : uint32_t {
  kFileHeader = 0,  // expecting the 32-byte file header
  kFrames = 1,      // frame headers and frames
  // A frame header declared a size that can never be buffered: the stream
  // ends there, and everything pushed from then on is released at once.
  kDiscard = 2,
};

struct IvfParseState {
  ParserOutput *output;
  FrameTail frame_tail;  // where output->frames ends
  BlockSource *blocks;   // the front end's read blocks; null without one
  GstAdapter *adapter;  // created by the first chain call
  IvfPhase phase;
};

// Whether the file starts with the IVF signature "DKIF".
bool ivf_probe(const uint8_t *head);

inline constexpr FormatDescriptor kIvfFormat =
    describe<IvfParseState>("ivf", standard_bit(10), ivf_probe, gst_ivf_parse_chain, gst_ivf_parse_reset);

}  // namespace quillar
