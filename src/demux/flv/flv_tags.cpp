// SPDX-License-Identifier: BSD-2-Clause
// The FLV file header, tag headers and what a video tag carries.
#include <cstring>

#include "core/byte_reader.h"
#include "demux/flv/flv_internal.h"
#include "demux/flv/flvdemux.h"
#include "quillar/gstbuffer.h"

namespace quillar::flv {

namespace {

constexpr uint8_t kSignature[3] = {'F', 'L', 'V'};
constexpr uint8_t kVersion = 1;
constexpr uint8_t kTagTypeMask = 0x1F;
constexpr uint8_t kFilterBit = 0x20;
constexpr size_t kVp6PrefixSize = 2;       // VIDEODATA byte, size adjustment
constexpr size_t kVp6AlphaPrefixSize = 5;  // ... then OffsetToAlpha (UI24)

}  // namespace

bool probe(const uint8_t *head) { return probe_starts_with(head, fourcc("FLV\x01")); }

Status parse_file_header(const uint8_t *bytes, size_t size, uint32_t *data_offset) {
  ByteReader r(bytes, size);
  uint8_t signature[3], version = 0, flags = 0;
  if (!(r.read_bytes(signature, 3) && r.read_u8(&version) && r.read_u8(&flags) && r.read_be32(data_offset)))
    return Status::kNeedMoreData;
  // The audio/video flags are often wrong; the tags decide.
  if (memcmp(signature, kSignature, 3) != 0 || version != kVersion) return Status::kInvalid;
  return *data_offset < kFileHeaderSize ? Status::kInvalid : Status::kOk;
}

TagHeader parse_tag_header(const uint8_t *bytes) {
  ByteReader r(bytes, kTagHeaderSize);
  uint8_t first = 0, extended = 0;
  uint32_t low = 0;
  TagHeader h = {};
  // Eleven bytes are always there: the reads cannot fail.
  if (r.read_u8(&first) && r.read_be24(&h.data_size) && r.read_be24(&low) && r.read_u8(&extended)) {
    h.type = first & kTagTypeMask;
    h.filtered = (first & kFilterBit) != 0;
    h.time_ms = static_cast<int32_t>(static_cast<uint32_t>(extended) << 24 | low);
  }
  return h;
}

VideoPlan plan_video_tag(const uint8_t *head, size_t head_size, uint32_t data_size, bool filtered,
                         uint8_t last_codec) {
  VideoPlan plan = {VideoAction::kDrop, 0, 0, 0};
  ByteReader r(head, head_size);
  uint8_t info = 0;
  if (!r.read_u8(&info)) {
    // A video tag without even its VIDEODATA byte: a lost frame of the
    // stream it belongs to, as far as anyone can tell.
    const bool vp6 = last_codec == 0 || last_codec == kCodecVp6 || last_codec == kCodecVp6Alpha;
    plan.action = vp6 ? VideoAction::kSkipped : VideoAction::kDrop;
    plan.codec = last_codec;
    return plan;
  }
  plan.codec = info & 0x0F;
  if (plan.codec != kCodecVp6 && plan.codec != kCodecVp6Alpha) return plan;
  if (info >> 4 == kFrameTypeCommand) return plan;
  // From here on the tag stands for one VP6 frame; whatever keeps it from the
  // decoder makes it a skipped frame.
  plan.action = VideoAction::kSkipped;
  if (filtered) return plan;
  if (plan.codec == kCodecVp6) {
    if (data_size <= kVp6PrefixSize) return plan;
    plan.frame_offset = kVp6PrefixSize;
    plan.frame_size = data_size - static_cast<uint32_t>(kVp6PrefixSize);
    plan.action = VideoAction::kFrame;
    return plan;
  }
  // With alpha: the colour frame is OffsetToAlpha bytes, then the alpha
  // frame runs to the end of the tag. Only the colour frame goes out.
  uint32_t colour = 0;
  if (!(r.skip(1) && r.read_be24(&colour))) return plan;
  if (colour == 0 || colour > data_size - kVp6AlphaPrefixSize) return plan;
  plan.frame_offset = kVp6AlphaPrefixSize;
  plan.frame_size = colour;
  plan.action = VideoAction::kFrame;
  return plan;
}

uint64_t timestamp_ns(int32_t time_ms) {
  return time_ms < 0 ? GST_CLOCK_TIME_NONE : static_cast<uint64_t>(time_ms) * 1000000u;
}

}  // namespace quillar::flv
