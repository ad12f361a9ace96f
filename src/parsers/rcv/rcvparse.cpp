// SPDX-License-Identifier: BSD-2-Clause
// RCV framer for VC-1: a 36-byte file header carrying the coded size and 4
// bytes of codec configuration, then frames each preceded by an 8-byte
// header (24-bit size, flags byte, 32-bit timestamp), all little-endian.
// Failures are silent result codes.
#include "parsers/rcv/rcvparse.h"

#include <cstring>

#include "format/format.h"
#include "core/byte_reader.h"
#include "core/internal.h"

namespace {

using namespace quillar;

constexpr uint32_t kFileHeaderSize = 36;
constexpr uint32_t kFrameHeaderSize = 8;
constexpr uint8_t kMarker = 0xC5;
constexpr uint32_t kCodecConfigSize = 4;
constexpr uint32_t kRemainingHeaderSize = 12;
constexpr uint8_t kReservedFlags = 0x7F;  // all but bit 7, the key-frame flag

// Each step returns kOk to go on with the next header in the same call.
// Publishes the codec configuration and coded size, then checks the rest of
// the header. The configuration is published even when the remaining-header
// length is wrong; the header then stays in the adapter.
Status take_file_header(RcvParseState *s) {
  GstAdapter *adapter = s->adapter;
  if (gst_adapter_available(adapter) < kFileHeaderSize) return Status::kNeedMoreData;
  ByteReader r(gst_adapter_peek(adapter, kFileHeaderSize), kFileHeaderSize);
  uint32_t frame_count = 0, config_length = 0, height = 0, width = 0, remaining_length = 0;
  uint8_t marker = 0;
  uint8_t config[kCodecConfigSize];
  // The peek fails only when the header spans blocks and cannot be assembled
  // (out of memory).
  if (!(r.read_le24(&frame_count) && r.read_u8(&marker) && r.read_le32(&config_length)))
    return Status::kNoMemory;
  if (marker != kMarker || config_length != kCodecConfigSize) return Status::kInvalid;
  if (!(r.read_bytes(config, kCodecConfigSize) && r.read_le32(&height) && r.read_le32(&width) &&
        r.read_le32(&remaining_length)))
    return Status::kNoMemory;

  GstBuffer *codec_data = gst_buffer_new_and_alloc(kCodecConfigSize);
  if (!codec_data) return Status::kNoMemory;
  memcpy(codec_data->data, config, kCodecConfigSize);
  ParserOutput *output = s->output;
  // The front end takes the codec data before it calls again, so nothing is
  // normally waiting here; never leak it if something is.
  gst_buffer_unref(output->codec_data);
  output->codec_data = codec_data;
  output->height = static_cast<uint16_t>(height);
  output->width = static_cast<uint16_t>(width);

  if (remaining_length != kRemainingHeaderSize) return Status::kInvalid;
  gst_adapter_flush(adapter, kFileHeaderSize);
  s->phase = RcvPhase::kFrames;
  return Status::kOk;
}

// Cuts the next frame once all of it is present. A zero-size record carries
// nothing to hand out: it is counted as a skipped frame and passed over.
Status take_frame(RcvParseState *s) {
  GstAdapter *adapter = s->adapter;
  const uint32_t available = gst_adapter_available(adapter);
  if (available < kFrameHeaderSize) return Status::kNeedMoreData;
  ByteReader r(gst_adapter_peek(adapter, kFrameHeaderSize), kFrameHeaderSize);
  uint32_t size = 0;
  uint8_t flags = 0;
  if (!(r.read_le24(&size) && r.read_u8(&flags))) return Status::kNoMemory;  // the peek failed
  if (available < size + kFrameHeaderSize) {  // a 24-bit size: no overflow
    quillar::await_record(adapter, size + kFrameHeaderSize, s->blocks);
    return Status::kNeedMoreData;
  }
  if (flags & kReservedFlags) return Status::kInvalid;
  gst_adapter_flush(adapter, kFrameHeaderSize);
  if (size == 0) {
    s->output->skipped_frames++;
    return Status::kOk;
  }
  if (!quillar::queue_frame(s->output, &s->frame_tail, gst_adapter_take_buffer(adapter, size)))
    return Status::kNoMemory;
  return Status::kOk;
}

}  // namespace

bool quillar::rcv_probe(const uint8_t *head) {
  ByteReader r(head, kProbeSize);
  uint8_t marker = 0;
  return r.skip(3) && r.read_u8(&marker) && marker == kMarker;
}

extern "C" {

int32_t RCVPARSE_Chain(ParserOutput *output, GstBuffer *buffer) {
  auto *s = quillar::state_of<RcvParseState>(output);
  if (!quillar::push_input(&s->adapter, buffer)) return CHAIN_ERROR;
  Status status = Status::kOk;
  while (status == Status::kOk && !output->frames)
    status = s->phase == RcvPhase::kFileHeader ? take_file_header(s) : take_frame(s);
  return quillar::chain_result(status, CHAIN_BAD_DATA);
}

void RCVPARSE_Reset(ParserOutput *output) {
  auto *s = quillar::state_of<RcvParseState>(output);
  quillar::release_adapter(&s->adapter);
  s->phase = RcvPhase::kFileHeader;
}

}  // extern "C"
