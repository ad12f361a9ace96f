// SPDX-License-Identifier: BSD-2-Clause
// An RCV (VC-1) file writer for tests and the bundled sample.
#pragma once

#include <array>

#include "support/writer.h"

namespace qtest {

struct RcvHeader {
  uint32_t frames = 0;  // 24-bit frame count
  uint8_t marker = 0xC5;
  uint32_t config_length = 4;
  std::array<uint8_t, 4> config = {0x4E, 0x29, 0x1A, 0x01};
  Bytes config_bytes() const { return Bytes(config.begin(), config.end()); }
  uint32_t height = 144;
  uint32_t width = 176;
  uint32_t remaining_length = 12;
};

struct RcvWriter {
  Writer w;
  explicit RcvWriter(const RcvHeader &h = RcvHeader()) {
    w.le24(h.frames).u8(h.marker).le32(h.config_length).raw(h.config.data(), h.config.size()).le32(h.height)
        .le32(h.width).le32(h.remaining_length);
    // The remaining header: HRD buffer size and level, HRD rate, frame rate.
    w.le32(0x00800000).le32(0x0001F400).le32(25);
  }
  RcvWriter &frame(const Bytes &data, bool key = false, uint32_t timestamp = 0) {
    return frame_header(static_cast<uint32_t>(data.size()), key ? 0x80 : 0x00, timestamp).bytes(data);
  }
  // A frame header that declares `size` bytes, with no data after it.
  RcvWriter &frame_header(uint32_t size, uint8_t flags = 0x80, uint32_t timestamp = 0) {
    w.le24(size).u8(flags).le32(timestamp);
    return *this;
  }
  RcvWriter &bytes(const Bytes &data) {
    w.bytes(data);
    return *this;
  }
  Bytes take() { return w.take(); }
};

}  // namespace qtest
