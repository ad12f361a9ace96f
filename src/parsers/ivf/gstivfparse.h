// Private state of the IVF framer.
#pragma once

#include "quillar/gstadapter.h"
#include "quillar/parser.h"

namespace quillar {

struct IvfParseState {
  ParserOutput *output;
  GstAdapter *adapter;  // created by the first chain call
  uint32_t phase;       // 0: expecting the file header, 1: frame headers
};

}  // namespace quillar
