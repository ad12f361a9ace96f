// SPDX-License-Identifier: BSD-2-Clause
// EBML reading: variable-size integers, element IDs and sizes, and the
// children of a master element held whole.
#include "demux/mkv/mkv_internal.h"

namespace quillar::mkv {

namespace {

// Length of the VINT whose first byte is `first`: 1 + its leading zero bits;
// 0 for a first byte of 0 (longer than 8 bytes, never valid in Matroska).
uint32_t vint_length(uint8_t first) {
  uint32_t length = 1;
  for (uint8_t mask = 0x80; mask && !(first & mask); mask = static_cast<uint8_t>(mask >> 1)) length++;
  return length > 8 ? 0 : length;
}

// Reads a VINT of at most `max_length` bytes; keeps the marker bit if asked.
Status read_raw(ByteReader &r, uint32_t max_length, bool keep_marker, uint64_t *value,
                uint32_t *length) {
  uint8_t first = 0;
  if (!r.has(1)) return Status::kNeedMoreData;
  ByteReader probe = r;
  if (!probe.read_u8(&first)) return Status::kNeedMoreData;
  const uint32_t n = vint_length(first);
  if (n == 0 || n > max_length) return Status::kInvalid;
  if (!r.has(n)) return Status::kNeedMoreData;
  uint64_t v = keep_marker ? first : static_cast<uint64_t>(first & (0xFFu >> n));
  for (uint32_t i = 1; i < n; i++) {
    uint8_t b = 0;
    if (!probe.read_u8(&b)) return Status::kNeedMoreData;
    v = v << 8 | b;
  }
  if (!r.skip(n)) return Status::kNeedMoreData;
  *value = v;
  *length = n;
  return Status::kOk;
}

}  // namespace

Status read_vint(ByteReader &r, uint64_t *value, uint32_t *length) {
  return read_raw(r, 8, false, value, length);
}

Status read_element_id(ByteReader &r, uint32_t *id) {
  uint64_t v = 0;
  uint32_t n = 0;
  const Status st = read_raw(r, 4, true, &v, &n);
  if (st != Status::kOk) return st;
  // All data bits set is reserved; all clear is legal (0x80).
  const uint64_t data_mask = (uint64_t{1} << (7 * n)) - 1;
  if ((v & data_mask) == data_mask) return Status::kInvalid;
  *id = static_cast<uint32_t>(v);
  return Status::kOk;
}

Status read_element_size(ByteReader &r, uint64_t *size) {
  uint64_t v = 0;
  uint32_t n = 0;
  const Status st = read_vint(r, &v, &n);
  if (st != Status::kOk) return st;
  *size = v == (uint64_t{1} << (7 * n)) - 1 ? kUnknownSize : v;
  return Status::kOk;
}

Status next_child(ByteReader &parent, uint32_t *id, ByteReader *body) {
  if (parent.remaining() == 0) return Status::kNeedMoreData;
  uint64_t size = 0;
  Status st = read_element_id(parent, id);
  if (st == Status::kOk) st = read_element_size(parent, &size);
  if (st != Status::kOk) return Status::kInvalid;  // a header cut by the parent's end
  if (size == kUnknownSize || size > parent.remaining()) return Status::kInvalid;
  return parent.sub(static_cast<size_t>(size), body) ? Status::kOk : Status::kInvalid;
}

bool read_uint(ByteReader body, uint64_t *value) {
  if (body.remaining() > 8) return false;
  uint64_t v = 0;
  uint8_t b = 0;
  while (body.read_u8(&b)) v = v << 8 | b;
  *value = v;
  return true;
}

}  // namespace quillar::mkv
