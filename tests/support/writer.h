// SPDX-License-Identifier: BSD-2-Clause
// Small writers for building test files in memory.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qtest {

using Bytes = std::vector<uint8_t>;

class Writer {
 public:
  Writer &u8(uint32_t v) { bytes_.push_back(static_cast<uint8_t>(v)); return *this; }
  Writer &le16(uint32_t v) { return le(v, 2); }
  Writer &le24(uint32_t v) { return le(v, 3); }
  Writer &le32(uint32_t v) { return le(v, 4); }
  Writer &le64(uint64_t v) { return le(v, 8); }
  Writer &be16(uint32_t v) { return be(v, 2); }
  Writer &be24(uint32_t v) { return be(v, 3); }
  Writer &be32(uint32_t v) { return be(v, 4); }
  Writer &tag(const char *four) { return raw(four, 4); }
  Writer &raw(const void *p, size_t n) {
    auto *b = static_cast<const uint8_t *>(p);
    bytes_.insert(bytes_.end(), b, b + n);
    return *this;
  }
  Writer &bytes(const Bytes &b) { bytes_.insert(bytes_.end(), b.begin(), b.end()); return *this; }
  Writer &fill(size_t n, uint8_t v) { bytes_.insert(bytes_.end(), n, v); return *this; }
  // Patches a little-endian 32-bit value at `at` (for sizes known later).
  Writer &patch_le32(size_t at, uint32_t v) {
    for (int i = 0; i < 4; i++) bytes_[at + i] = static_cast<uint8_t>(v >> (8 * i));
    return *this;
  }
  size_t size() const { return bytes_.size(); }
  const Bytes &data() const { return bytes_; }
  Bytes take() { return std::move(bytes_); }

 private:
  Writer &le(uint64_t v, int n) {
    for (int i = 0; i < n; i++) bytes_.push_back(static_cast<uint8_t>(v >> (8 * i)));
    return *this;
  }
  Writer &be(uint64_t v, int n) {
    for (int i = n - 1; i >= 0; i--) bytes_.push_back(static_cast<uint8_t>(v >> (8 * i)));
    return *this;
  }
  Bytes bytes_;
};

// Deterministic payload bytes: `size` bytes from `seed`. The bundled samples
// and fuzz seeds are made with it too (a test checks that the samples equal
// what the tests build), so it must not change.
inline Bytes pattern(size_t size, uint32_t seed) {
  Bytes b(size);
  uint32_t x = seed * 2654435761u + 12345u;
  for (size_t i = 0; i < size; i++) {
    x = x * 1103515245u + 12345u;
    b[i] = static_cast<uint8_t>(x >> 16);
  }
  return b;
}

}  // namespace qtest
