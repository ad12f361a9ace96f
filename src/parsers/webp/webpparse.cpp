// SPDX-License-Identifier: BSD-2-Clause
// WebP framer: hands out the VP8 bitstream of a lossy WebP image, a RIFF
// file of form "WEBP" whose one chunk is "VP8 ". The 20-byte file header
// (RIFF size, form, chunk code, chunk size; sizes little-endian) is checked
// once; the chunk payload is the frame.
#include "parsers/webp/webpparse.h"

#include <cstdio>

#include "format/format.h"
#include "core/byte_reader.h"
#include "core/internal.h"

namespace {

using namespace quillar;

constexpr uint32_t kHeaderSize = 20;
// The RIFF size counts the form type and the chunk header before the payload.
constexpr uint64_t kRiffOverhead = 12;

// Checks the file header; kOk goes on to the frame step in this call. A RIFF file of another form is not
// rejected: its bytes 16 to 19 are taken as a frame size and the header
// stays in place as the start of that frame.
Status take_header(WebpParseState *s) {
  GstAdapter *adapter = s->adapter;
  if (gst_adapter_available(adapter) < kHeaderSize) {
    puts("Not enough data available yet.");
    return Status::kNeedMoreData;
  }
  ByteReader r(gst_adapter_peek(adapter, kHeaderSize), kHeaderSize);
  uint32_t riff = 0, riff_size = 0, form = 0, chunk = 0, chunk_size = 0;
  if (!(r.read_le32(&riff) && r.read_le32(&riff_size) && r.read_le32(&form) &&
        r.read_le32(&chunk) && r.read_le32(&chunk_size))) {
    puts("Failed getting header data.");  // the peek could not assemble the header
    return Status::kNoMemory;
  }
  s->frame_size = chunk_size;
  if (riff != fourcc("RIFF") || form != fourcc("WEBP")) return Status::kOk;
  // Sizes first, then the chunk code. Compared in 64 bits: a RIFF size
  // below 12 must not wrap into a chunk of nearly 4 GiB.
  if (riff_size == 0 || chunk_size == 0 || chunk_size + kRiffOverhead != riff_size) {
    puts("Invalid frame size.");
    return Status::kInvalid;
  }
  if (chunk != fourcc("VP8 ")) {
    puts("Only lossy coding is supported.");
    return Status::kUnsupported;
  }
  gst_adapter_flush(adapter, kHeaderSize);
  s->phase = WebpPhase::kFrameData;
  return Status::kOk;
}

Status take_frame(WebpParseState *s) {
  if (gst_adapter_available(s->adapter) < s->frame_size) return Status::kNeedMoreData;
  GstBuffer *frame = gst_adapter_take_buffer(s->adapter, s->frame_size);
  if (!frame) {
    puts("Frame buffer creation failed.");
    return Status::kNoMemory;
  }
  return quillar::queue_frame(s->output, &s->frame_tail, frame) ? Status::kOk : Status::kNoMemory;
}

Status step(WebpParseState *s) {
  if (s->phase == WebpPhase::kHeader) {
    const Status header = take_header(s);
    if (header != Status::kOk) return header;
  }
  return take_frame(s);
}

}  // namespace

bool quillar::webp_probe(const uint8_t *head) { return probe_starts_with(head, fourcc("RIFF")); }

extern "C" {

int32_t WEBPPARSE_Chain(ParserOutput *output, GstBuffer *buffer) {
  auto *s = quillar::state_of<WebpParseState>(output);
  if (!quillar::ensure_adapter(&s->adapter, buffer)) {
    puts("Adapter creation failed.");
    return CHAIN_ERROR;
  }
  if (!quillar::adapter_push(s->adapter, buffer)) return CHAIN_ERROR;
  return quillar::chain_result(step(s));
}

void WEBPPARSE_Reset(ParserOutput *output) {
  auto *s = quillar::state_of<WebpParseState>(output);
  quillar::release_adapter(&s->adapter);
  s->phase = WebpPhase::kHeader;
  s->frame_size = 0;
}

}  // extern "C"
