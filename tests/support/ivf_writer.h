// SPDX-License-Identifier: BSD-2-Clause
// An IVF file writer for tests, seeds and benchmark inputs.
#pragma once

#include "support/writer.h"

namespace qtest {

struct IvfWriter {
  Writer w;
  explicit IvfWriter(const char *codec = "VP80", uint32_t frames = 0, uint16_t version = 0,
                     uint16_t header_length = 32) {
    w.tag("DKIF").le16(version).le16(header_length).tag(codec).le16(176).le16(144).le32(30).le32(1)
        .le32(frames).le32(0);
  }
  IvfWriter &frame(const Bytes &data, uint64_t pts = 0) {
    w.le32(static_cast<uint32_t>(data.size())).le64(pts).bytes(data);
    return *this;
  }
  // A frame header that declares `size` bytes, with no data after it.
  IvfWriter &frame_header(uint32_t size, uint64_t pts = 0) {
    w.le32(size).le64(pts);
    return *this;
  }
  Bytes take() { return w.take(); }
};

}  // namespace qtest
