// SPDX-License-Identifier: BSD-2-Clause
// Private state of the WebP (lossy VP8) framer.
#pragma once

#include "format/format.h"
#include "quillar/gstadapter.h"
#include "quillar/parser.h"

namespace quillar {

enum class WebpPhase : uint32_t {
  kHeader = 0,     // expecting the 20-byte file header
  kFrameData = 1,  // the "VP8 " chunk payload
};

struct WebpParseState {
  GstAdapter *adapter;  // created by the first chain call
  ParserOutput *output;
  FrameTail frame_tail;  // where output->frames ends
  WebpPhase phase;
  uint32_t frame_size;  // the "VP8 " chunk size from the file header
};

// Whether the file starts with "RIFF" (the form is checked by the chain).
bool webp_probe(const uint8_t *head);

inline constexpr FormatDescriptor kWebpFormat =
    describe<WebpParseState>("webp", standard_bit(10), webp_probe, WEBPPARSE_Chain, WEBPPARSE_Reset);

}  // namespace quillar
