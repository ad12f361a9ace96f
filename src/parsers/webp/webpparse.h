// Private state of the WebP (lossy VP8) framer.
#pragma once

#include "format/format.h"
#include "quillar/gstadapter.h"
#include "quillar/parser.h"

namespace quillar {

struct WebpParseState {
  GstAdapter *adapter;  // created by the first chain call
  ParserOutput *output;
  uint32_t phase;       // 0: expecting the file header, 1: frame data
  uint32_t frame_size;  // the "VP8 " chunk size from the file header
};

// Whether the file starts with "RIFF" (the form is checked by the chain).
bool webp_probe(const uint8_t *head);

inline constexpr FormatDescriptor kWebpFormat =
    describe<WebpParseState>("webp", standard_bit(10), webp_probe, WEBPPARSE_Chain, WEBPPARSE_Reset);

}  // namespace quillar
