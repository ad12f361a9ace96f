// SPDX-License-Identifier: BSD-2-Clause
// Bounds-checked reading of file bytes. Every field of every format is read
// through ByteReader: a view of (data, size) with a position, whose reads
// fail instead of running past the end. Multi-byte values are assembled
// byte by byte, so no unaligned pointer is ever cast to a wider type.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace quillar {

class ByteReader {
 public:
  ByteReader() = default;
  ByteReader(const uint8_t *data, size_t size) : data_(data), size_(data ? size : 0) {}

  size_t size() const { return size_; }
  size_t pos() const { return pos_; }
  // The position counted from the start of the reader this one was cut from
  // with sub() (and so on up to the first): where a field lies in the buffer
  // the whole input came in.
  size_t offset() const { return base_ + pos_; }
  size_t remaining() const { return size_ - pos_; }
  bool has(size_t n) const { return n <= size_ - pos_; }
  const uint8_t *current() const { return data_ + pos_; }

  [[nodiscard]] bool skip(size_t n) {
    if (!has(n)) return false;
    pos_ += n;
    return true;
  }
  [[nodiscard]] bool seek(size_t pos) {
    if (pos > size_) return false;
    pos_ = pos;
    return true;
  }
  // Limits the reader to its first n bytes; fails, changing nothing, when n
  // lies before the position or past the end.
  [[nodiscard]] bool truncate(size_t n) {
    if (n < pos_ || n > size_) return false;
    size_ = n;
    return true;
  }
  [[nodiscard]] bool peek_u8(uint8_t *v) const {
    if (!has(1)) return false;
    *v = data_[pos_];
    return true;
  }
  [[nodiscard]] bool read_u8(uint8_t *v) { return read_le(v, 1); }
  [[nodiscard]] bool read_le16(uint16_t *v) { return read_le(v, 2); }
  [[nodiscard]] bool read_le24(uint32_t *v) { return read_le(v, 3); }
  [[nodiscard]] bool read_le32(uint32_t *v) { return read_le(v, 4); }
  [[nodiscard]] bool read_le64(uint64_t *v) { return read_le(v, 8); }
  [[nodiscard]] bool read_be16(uint16_t *v) { return read_be(v, 2); }
  [[nodiscard]] bool read_be24(uint32_t *v) { return read_be(v, 3); }
  [[nodiscard]] bool read_be32(uint32_t *v) { return read_be(v, 4); }
  [[nodiscard]] bool read_bytes(void *out, size_t n) {
    if (!has(n)) return false;
    if (n) memcpy(out, data_ + pos_, n);
    pos_ += n;
    return true;
  }
  // A reader over the next n bytes, which this reader then skips: the inside
  // of a chunk or object is parsed with a reader narrowed to its length.
  [[nodiscard]] bool sub(size_t n, ByteReader *out) {
    if (!has(n)) return false;
    *out = ByteReader(data_ + pos_, n);
    out->base_ = base_ + pos_;
    pos_ += n;
    return true;
  }

 private:
  template <typename T>
  bool read_le(T *v, size_t n) {
    if (!has(n)) return false;
    T x = 0;
    for (size_t i = 0; i < n; i++) x = static_cast<T>(x | static_cast<T>(static_cast<T>(data_[pos_ + i]) << (8 * i)));
    pos_ += n;
    *v = x;
    return true;
  }
  template <typename T>
  bool read_be(T *v, size_t n) {
    if (!has(n)) return false;
    T x = 0;
    for (size_t i = 0; i < n; i++) x = static_cast<T>((x << 8) | data_[pos_ + i]);
    pos_ += n;
    *v = x;
    return true;
  }

  const uint8_t *data_ = nullptr;
  size_t size_ = 0;
  size_t pos_ = 0;
  size_t base_ = 0;  // offset of data_ in the first reader
};

// Four-character codes as they appear in the file, compared as integers.
constexpr uint32_t fourcc(const char (&s)[5]) {
  return static_cast<uint32_t>(static_cast<uint8_t>(s[0])) |
         static_cast<uint32_t>(static_cast<uint8_t>(s[1])) << 8 |
         static_cast<uint32_t>(static_cast<uint8_t>(s[2])) << 16 |
         static_cast<uint32_t>(static_cast<uint8_t>(s[3])) << 24;
}

}  // namespace quillar
