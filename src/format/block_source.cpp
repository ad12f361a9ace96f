// SPDX-License-Identifier: BSD-2-Clause
// Gathering an awaited record in one allocation while it is read.
#include <cstring>

#include "format/format.h"

namespace quillar {

namespace {

constexpr uint32_t kBigParentStep = 1u << 20;

// Whether the `queued` bytes at the adapter's front are the last ones cut
// from `parent`, so that the next block cut from it continues them.
// Blocks never overlap, so a first buffer in `parent` whose bytes run
// exactly to the cut point means every queued byte lies in it, in order.
bool ends_at_cut(const GstAdapter *adapter, const BlockSource *source) {
  const GstBuffer *parent = source->parent;
  const auto *first = static_cast<const GstBuffer *>(adapter->buffers->data);
  const auto *last = static_cast<const GstBuffer *>(adapter->buffers_tail->data);
  return first->parent == parent && last->parent == parent &&
         first->data + adapter->head_skip + adapter->total_size == parent->data + source->used;
}

// Copies the adapter's `queued` bytes into `into` (a new buffer of that
// size, or a span of one) and queues it in their place.
void requeue_copy(GstAdapter *adapter, GstBuffer *into, uint32_t queued) {
  gst_adapter_copy(adapter, into->data, 0, queued);
  into->timestamp = into->duration = into->offset = into->offset_end = 0;
  adapter_requeue(adapter, into);
}

}  // namespace

void await_record(GstAdapter *adapter, uint32_t size, BlockSource *source) {
  if (!source || !adapter || size < kMinAwaitedRecord || size > kMaxAwaitedRecord) return;
  const uint32_t queued = adapter->total_size;
  if (queued >= size) return;
  const uint32_t blocks = (size - queued + kReadBlockSize - 1) / kReadBlockSize;
  // Room for the record, and for at least a usual parent's worth of blocks
  // after what has arrived (the records behind a short one), so that records
  // of a block or two do not move a parent at every block.
  const uint32_t wanted = blocks * kReadBlockSize;
  uint32_t room = queued + (wanted > kReadParentSize ? wanted : kReadParentSize);
  // Parents of a MiB or more come in whole MiB, so that the next record's
  // parent fits where the last one was: the allocator serves them from the
  // heap once one has been freed, and a slightly larger one each time would
  // leave the old places resident (16 MiB FLV frames: 58 MiB peak, 42 MiB
  // with whole MiB).
  if (room >= kBigParentStep) room = (room + kBigParentStep - 1) / kBigParentStep * kBigParentStep;
  GstBuffer *parent = source->parent;
  const bool fits = parent && source->used + wanted <= parent->size;
  if (fits && (queued == 0 || ends_at_cut(adapter, source))) return;

  // The parent in use is let go before the new one is allocated, so that
  // the allocator can give the new one the old one's place: each record's
  // parent (often 64 KiB or more) freed only after the next is allocated
  // makes glibc trim and regrow the heap top at every record (about 10 600
  // page faults per 512 MiB of 45-75 KB frames, against about 400 this way,
  // which also measured 7 % faster in spite of its second small copy). What
  // has arrived waits meanwhile in a small buffer of its own.
  if (queued > 0) {
    GstBuffer *waiting = gst_buffer_new_and_alloc(queued);
    if (!waiting) return;
    requeue_copy(adapter, waiting, queued);
  }
  gst_buffer_unref(source->parent);
  source->parent = nullptr;
  GstBuffer *moved = gst_buffer_new_and_alloc(room);
  if (!moved) return;  // the next block comes from a usual parent
  if (queued > 0) {
    GstBuffer *head = gst_buffer_create_sub(moved, 0, queued);
    if (!head) {
      gst_buffer_unref(moved);
      return;
    }
    requeue_copy(adapter, head, queued);
  }
  source->parent = moved;
  source->used = queued;
}

}  // namespace quillar
