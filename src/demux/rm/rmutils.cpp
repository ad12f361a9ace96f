// SPDX-License-Identifier: BSD-2-Clause
// RealMedia length-prefixed strings.
#include "quillar/rmutils.h"

#include "core/byte_reader.h"
#include "quillar/garray.h"

namespace {

// `length_size` is 1 or 2: the width of the big-endian length in front.
gchar *read_string(const guint8 *data, guint32 available, guint32 *consumed, int length_size) {
  if (consumed) *consumed = 0;
  quillar::ByteReader r(data, available);
  uint32_t n = 0;
  bool ok;
  if (length_size == 1) {
    uint8_t n8 = 0;
    ok = r.read_u8(&n8);
    n = n8;
  } else {
    uint16_t n16 = 0;
    ok = r.read_be16(&n16);
    n = n16;
  }
  if (!ok || !r.has(n)) return nullptr;
  gchar *copy = g_strndup(reinterpret_cast<const gchar *>(r.current()), n);
  if (copy && consumed) *consumed = static_cast<guint32>(length_size) + n;
  return copy;
}

}  // namespace

extern "C" {

gchar *gst_rm_utils_read_string8(const guint8 *data, guint32 available, guint32 *consumed) {
  return read_string(data, available, consumed, 1);
}

gchar *gst_rm_utils_read_string16(const guint8 *data, guint32 available, guint32 *consumed) {
  return read_string(data, available, consumed, 2);
}

void gst_rm_utils_run_tests(void) {}

}  // extern "C"
