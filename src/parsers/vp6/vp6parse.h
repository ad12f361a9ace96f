// Private state of the size-prefixed VP6 framer.
#pragma once

#include "quillar/gstadapter.h"
#include "quillar/parser.h"

namespace quillar {

struct Vp6ParseState {
  GstAdapter *adapter;  // created by the first chain call
  uint32_t frame_size;  // size field of the record being examined; a size
                        // that can never be buffered stays here and makes
                        // the framer release everything pushed afterwards
  ParserOutput *output;
};

}  // namespace quillar
