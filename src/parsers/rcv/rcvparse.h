// SPDX-License-Identifier: BSD-2-Clause
// Private state of the RCV (VC-1) framer.
#pragma once

#include "format/format.h"
#include "quillar/gstadapter.h"
#include "quillar/parser.h"

namespace quillar {

enum class RcvPhase : uint32_t {
  kFileHeader = 0,  // expecting the 36-byte file header
  kFrames = 1,      // frame headers and frames
};

struct RcvParseState {
  GstAdapter *adapter;  // created by the first chain call
  ParserOutput *output;
  FrameTail frame_tail;  // where output->frames ends
  BlockSource *blocks;   // the front end's read blocks; null without one
  RcvPhase phase;
};

// Whether the file's fourth byte is 0xC5, the RCV marker.
bool rcv_probe(const uint8_t *head);

inline constexpr FormatDescriptor kRcvFormat =
    describe<RcvParseState>("rcv", standard_bit(5), rcv_probe, RCVPARSE_Chain, RCVPARSE_Reset);

}  // namespace quillar
