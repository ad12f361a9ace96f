// SPDX-License-Identifier: BSD-2-Clause
// Reading a fuzzer's input as a stream of small decisions.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qfuzz {

class Input {
 public:
  Input(const uint8_t *data, size_t size) : data_(data), size_(size) {}
  bool empty() const { return pos_ >= size_; }
  size_t remaining() const { return size_ - pos_; }
  uint8_t u8() { return pos_ < size_ ? data_[pos_++] : 0; }
  uint16_t u16() { return static_cast<uint16_t>(u8() | u8() << 8); }
  uint32_t u32() { return u16() | static_cast<uint32_t>(u16()) << 16; }
  // Up to n bytes; *got says how many there were.
  const uint8_t *bytes(size_t n, size_t *got) {
    if (n > remaining()) n = remaining();
    const uint8_t *p = data_ + pos_;
    pos_ += n;
    *got = n;
    return p;
  }

 private:
  const uint8_t *data_;
  size_t size_;
  size_t pos_ = 0;
};

}  // namespace qfuzz
