// SPDX-License-Identifier: BSD-2-Clause
// An FLV file writer for tests, fuzz seeds, the bundled sample and the
// benchmark: the file header, then tags, each followed by its back-pointer.
#pragma once

#include <cstring>
#include <string>

#include "support/writer.h"

namespace qtest {

struct FlvTag {
  uint32_t type = 9;          // 8 audio, 9 video, 18 script data (or anything)
  Bytes data;                 // everything after the 11-byte header
  uint32_t time_ms = 0;       // low 24 bits in Timestamp, high 8 in TimestampExtended
  uint32_t stream_id = 0;
  uint32_t data_size = ~0u;   // DataSize as written; ~0: data.size()
  uint64_t back_pointer = ~0ull;  // PreviousTagSize after the tag; ~0: 11 + data.size()
};

// VIDEODATA of a VP6 frame (codec 4): frame type and codec, the size
// adjustment byte, the frame.
inline Bytes flv_vp6(const Bytes &frame, uint8_t frame_type = 2, uint8_t adjustment = 0) {
  return Writer().u8(frame_type << 4 | 4).u8(adjustment).bytes(frame).take();
}

// VIDEODATA of a VP6 frame with alpha (codec 5): OffsetToAlpha, the colour
// frame, the alpha frame. `offset` overrides OffsetToAlpha.
inline Bytes flv_vp6_alpha(const Bytes &colour, const Bytes &alpha, uint8_t frame_type = 2,
                           uint32_t offset = ~0u) {
  return Writer()
      .u8(frame_type << 4 | 5)
      .u8(0)
      .be24(offset == ~0u ? static_cast<uint32_t>(colour.size()) : offset)
      .bytes(colour)
      .bytes(alpha)
      .take();
}

// AUDIODATA: linear PCM, little-endian, 44 kHz, 16-bit, stereo.
inline Bytes flv_audio(const Bytes &samples) { return Writer().u8(0x3F).bytes(samples).take(); }

// SCRIPTDATA: "onMetaData" with an ECMA array of numbers.
inline Bytes flv_metadata(double duration, double width, double height, double codec) {
  Writer w;
  w.u8(2).be16(10).raw("onMetaData", 10).u8(8).be32(4);
  auto number = [&w](const char *name, double v) {
    uint64_t bits;
    memcpy(&bits, &v, 8);
    w.be16(static_cast<uint32_t>(strlen(name))).raw(name, strlen(name)).u8(0);
    w.be32(static_cast<uint32_t>(bits >> 32)).be32(static_cast<uint32_t>(bits));
  };
  number("duration", duration);
  number("width", width);
  number("height", height);
  number("videocodecid", codec);
  return w.be24(9).take();
}

struct FlvWriter {
  Writer w;
  // flags: 0x04 audio, 0x01 video; data_offset > 9 adds zero bytes.
  explicit FlvWriter(uint8_t flags = 0x05, uint32_t data_offset = 9, uint32_t first_back_pointer = 0) {
    w.raw("FLV", 3).u8(1).u8(flags).be32(data_offset);
    if (data_offset > 9) w.fill(data_offset - 9, 0);
    w.be32(first_back_pointer);
  }
  FlvWriter &tag(const FlvTag &t) {
    w.u8(t.type).be24(t.data_size == ~0u ? static_cast<uint32_t>(t.data.size()) : t.data_size);
    w.be24(t.time_ms & 0xFFFFFF).u8(t.time_ms >> 24).be24(t.stream_id).bytes(t.data);
    const uint64_t back = t.back_pointer == ~0ull ? 11 + t.data.size() : t.back_pointer;
    w.be32(static_cast<uint32_t>(back));
    return *this;
  }
  FlvWriter &video(const Bytes &data, uint32_t time_ms = 0) { return tag({9, data, time_ms}); }
  FlvWriter &audio(const Bytes &data, uint32_t time_ms = 0) { return tag({8, data, time_ms}); }
  FlvWriter &script(const Bytes &data) { return tag({18, data}); }
  size_t size() const { return w.size(); }
  Bytes take() { return w.take(); }
};

}  // namespace qtest
