// Private state of the RCV (VC-1) framer.
#pragma once

#include "quillar/gstadapter.h"
#include "quillar/parser.h"

namespace quillar {

struct RcvParseState {
  GstAdapter *adapter;  // created by the first chain call
  ParserOutput *output;
  uint32_t phase;       // 0: expecting the file header, 1: frame headers
};

}  // namespace quillar
