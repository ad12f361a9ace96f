// Private state of the RCV (VC-1) framer.
#pragma once

#include "format/format.h"
#include "quillar/gstadapter.h"
#include "quillar/parser.h"

namespace quillar {

struct RcvParseState {
  GstAdapter *adapter;  // created by the first chain call
  ParserOutput *output;
  uint32_t phase;       // 0: expecting the file header, 1: frame headers
};

// Whether the file's fourth byte is 0xC5, the RCV marker.
bool rcv_probe(const uint8_t *head);

inline constexpr FormatDescriptor kRcvFormat =
    describe<RcvParseState>("rcv", standard_bit(5), rcv_probe, RCVPARSE_Chain, RCVPARSE_Reset);

}  // namespace quillar
