// SPDX-License-Identifier: BSD-2-Clause
// A size-prefixed VP6 stream writer for tests and the bundled sample.
#pragma once

#include "support/writer.h"

namespace qtest {

struct Vp6Writer {
  Writer w;
  Vp6Writer &frame(const Bytes &data) {
    w.le32(static_cast<uint32_t>(data.size())).bytes(data);
    return *this;
  }
  Vp6Writer &skipped(int count = 1) {
    for (int i = 0; i < count; i++) w.le32(0);
    return *this;
  }
  // A size field with no data after it.
  Vp6Writer &size_field(uint32_t size) {
    w.le32(size);
    return *this;
  }
  Vp6Writer &bytes(const Bytes &data) {
    w.bytes(data);
    return *this;
  }
  Bytes take() { return w.take(); }
};

}  // namespace qtest
