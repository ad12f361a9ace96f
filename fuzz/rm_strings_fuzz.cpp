// SPDX-License-Identifier: BSD-2-Clause
// The RealMedia string readers, walked over the input as a run of strings:
// a selector byte picks the one- or two-byte length form, then the reader
// gets everything that is left (in an exact-size copy) and its answer is
// checked against the bytes.
#include <cstdlib>
#include <cstring>

#include "quillar/rmutils.h"

#define CHECK(cond) \
  do {              \
    if (!(cond)) abort(); \
  } while (0)

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  size_t pos = 0;
  while (pos < size) {
    const bool wide = data[pos++] & 1;
    const size_t left = size - pos;
    auto *copy = static_cast<guint8 *>(malloc(left ? left : 1));
    if (left) memcpy(copy, data + pos, left);
    guint32 consumed = 12345;
    gchar *s = wide ? gst_rm_utils_read_string16(copy, static_cast<guint32>(left), &consumed)
                    : gst_rm_utils_read_string8(copy, static_cast<guint32>(left), &consumed);
    const size_t head = wide ? 2 : 1;
    const size_t n = left < head ? 0 : wide ? (copy[0] << 8 | copy[1]) : copy[0];
    if (left < head || n > left - head) {
      CHECK(s == nullptr && consumed == 0);
      free(copy);
      break;
    }
    CHECK(s != nullptr && consumed == head + n);
    const size_t length = strlen(s);
    CHECK(length <= n && memcmp(s, copy + head, length) == 0);
    CHECK(length == n || copy[head + length] == 0);
    free(s);
    free(copy);
    pos += consumed;
  }
  return 0;
}
