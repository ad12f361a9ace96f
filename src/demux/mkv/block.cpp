// SPDX-License-Identifier: BSD-2-Clause
// A block of the played track: the header (track number, relative time,
// flags), the lacing that packs several frames into one block, and the
// header bytes a track may have stripped from every frame.
#include <cstring>

#include "core/internal.h"
#include "demux/mkv/mkv_internal.h"

namespace quillar::mkv {

namespace {

constexpr uint32_t kMaxLacedFrames = 256;

enum Lacing : uint8_t { kNoLacing = 0, kXiph = 1, kFixed = 2, kEbml = 3 };

// The sizes of every frame but the last, from the lace header.
Status lace_sizes(ByteReader &r, Lacing lacing, uint32_t count, uint64_t *sizes) {
  uint64_t total = 0;
  for (uint32_t i = 0; i + 1 < count; i++) {
    uint64_t size = 0;
    if (lacing == kXiph) {
      uint8_t b = 0xFF;
      while (b == 0xFF) {
        if (!r.read_u8(&b)) return Status::kInvalid;
        size += b;
      }
    } else {
      uint64_t v = 0;
      uint32_t n = 0;
      if (read_vint(r, &v, &n) != Status::kOk) return Status::kInvalid;
      if (i == 0) {
        size = v;
      } else {
        // A signed difference to the previous size, biased by 2^(7n-1) - 1.
        const int64_t bias = (int64_t{1} << (7 * n - 1)) - 1;
        const int64_t next = static_cast<int64_t>(sizes[i - 1]) + (static_cast<int64_t>(v) - bias);
        if (next < 0) return Status::kInvalid;
        size = static_cast<uint64_t>(next);
      }
    }
    // Every size must fit in what the block holds (this also bounds the sums).
    if (size > r.size()) return Status::kInvalid;
    sizes[i] = size;
    total += size;
  }
  if (total > r.remaining()) return Status::kInvalid;
  sizes[count - 1] = r.remaining() - total;
  return Status::kOk;
}

// Queues one frame: a sub-buffer of the block, or a copy behind the
// stripped header bytes. An empty frame is counted as skipped.
Status queue(MkvState *s, GstBuffer *block, size_t at, size_t size) {
  ParserOutput *out = s->output;
  const size_t whole = size + s->strip_size;
  if (whole == 0) {
    out->skipped_frames++;
    return Status::kOk;
  }
  GstBuffer *frame = nullptr;
  if (s->strip_size == 0) {
    frame = gst_buffer_create_sub(block, static_cast<uint32_t>(at), static_cast<uint32_t>(size));
  } else {
    frame = gst_buffer_new_and_alloc(static_cast<uint32_t>(whole));
    if (frame) {
      memcpy(frame->data, s->strip, s->strip_size);
      if (size) memcpy(frame->data + s->strip_size, block->data + at, size);
    }
  }
  return queue_frame(out, &s->frame_tail, frame) ? Status::kOk : Status::kNoMemory;
}

Status unpack(MkvState *s, GstBuffer *block) {
  ByteReader r(block->data, block->size);
  uint64_t track = 0;
  uint32_t n = 0;
  uint8_t flags = 0;
  if (read_vint(r, &track, &n) != Status::kOk || !r.skip(2) || !r.read_u8(&flags)) {
    report("a block is shorter than its header");
    return Status::kInvalid;
  }
  const auto lacing = static_cast<Lacing>((flags >> 1) & 3);
  uint64_t sizes[kMaxLacedFrames];
  uint32_t count = 1;
  if (lacing == kNoLacing) {
    sizes[0] = r.remaining();
  } else {
    uint8_t frames_minus_one = 0;
    if (!r.read_u8(&frames_minus_one)) {
      report("a laced block has no frame count");
      return Status::kInvalid;
    }
    count = frames_minus_one + 1u;
    if (lacing == kFixed) {
      if (r.remaining() % count != 0) {
        report("a fixed-size lace does not divide its block");
        return Status::kInvalid;
      }
      for (uint32_t i = 0; i < count; i++) sizes[i] = r.remaining() / count;
    } else if (lace_sizes(r, lacing, count, sizes) != Status::kOk) {
      report("the lace sizes do not fit their block");
      return Status::kInvalid;
    }
  }
  size_t at = r.pos();
  for (uint32_t i = 0; i < count; i++) {
    const Status st = queue(s, block, at, static_cast<size_t>(sizes[i]));
    if (st != Status::kOk) return st;
    at += static_cast<size_t>(sizes[i]);
  }
  return Status::kOk;
}

}  // namespace

Status unpack_block(MkvState *s, GstBuffer *block) {
  const Status st = unpack(s, block);
  gst_buffer_unref(block);
  return st;
}

}  // namespace quillar::mkv
