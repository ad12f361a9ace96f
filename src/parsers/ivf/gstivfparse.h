// Private state of the IVF framer.
#pragma once

#include "format/format.h"
#include "quillar/gstadapter.h"
#include "quillar/parser.h"

namespace quillar {

struct IvfParseState {
  ParserOutput *output;
  GstAdapter *adapter;  // created by the first chain call
  uint32_t phase;       // 0: expecting the file header, 1: frame headers
};

// Whether the file starts with the IVF signature "DKIF".
bool ivf_probe(const uint8_t *head);

inline constexpr FormatDescriptor kIvfFormat =
    describe<IvfParseState>("ivf", standard_bit(10), ivf_probe, gst_ivf_parse_chain, gst_ivf_parse_reset);

}  // namespace quillar
