// Private state of the size-prefixed VP6 framer.
#pragma once

#include "format/format.h"
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

inline constexpr FormatDescriptor kVp6Format =
    describe<Vp6ParseState>("vp6", standard_bit(9), nullptr, gst_vp6_parse_chain, gst_vp6_parse_reset);

}  // namespace quillar
