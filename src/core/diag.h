// SPDX-License-Identifier: BSD-2-Clause
// The parsers' diagnostics: fixed English texts on standard output.
//
// They are printed once or more per frame, so they are assembled here with a
// few appends instead of going through printf's format parsing; the text and
// its destination are the same as printf("...%u...\n") would give.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>

namespace quillar {

class Diag {
 public:
  // A text known at compile time: its length is too.
  template <size_t N>
  Diag &text(const char (&s)[N]) {
    append(s, N - 1);
    return *this;
  }
  Diag &u64(uint64_t v) {
    // Two digits per division, from a table of the pairs "00" to "99".
    static constexpr char kPairs[] =
        "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
        "4041424344454647484950515253545556575859606162636465666768697071727374757677787980"
        "81828384858687888990919293949596979899";
    char digits[20];
    char *const end = digits + sizeof digits;
    char *p = end;
    while (v >= 100) {
      const auto pair = static_cast<size_t>(v % 100) * 2;
      v /= 100;
      p -= 2;
      memcpy(p, kPairs + pair, 2);
    }
    if (v >= 10) {
      p -= 2;
      memcpy(p, kPairs + v * 2, 2);
    } else {
      *--p = static_cast<char>('0' + v);
    }
    append(p, static_cast<size_t>(end - p));
    return *this;
  }
  Diag &u32(uint32_t v) { return u64(v); }
  // "%d" of a 32-bit value.
  Diag &i32(int32_t v) {
    if (v < 0) {
      append("-", 1);
      return u64(static_cast<uint64_t>(-static_cast<int64_t>(v)));
    }
    return u64(static_cast<uint64_t>(v));
  }
  // Writes the line (the caller's text carries its own "\n").
  void print() { fwrite(buf_, 1, len_, stdout); }

 private:
  size_t room() const { return sizeof buf_ - len_; }
  void append(const char *s, size_t n) {
    if (n > room()) n = room();
    memcpy(buf_ + len_, s, n);
    len_ += n;
  }
  char buf_[160];
  size_t len_ = 0;
};

}  // namespace quillar
