// SPDX-License-Identifier: BSD-2-Clause
// Media-object reassembly. Each registered stream keeps a queue (a GArray of
// AsfMediaObject by value, oldest first) of the objects its payloads carry.
// An object that fits in one payload shares the packet's bytes; a fragmented
// one is assembled in a buffer of its declared size, fragments arriving in
// any order. Bytes no fragment writes read as zero: the bytes below an
// object's bytes_filled are always written or zeroed, so a complete object
// (bytes_filled == size) holds no old heap contents. Only the newest record of a queue can be
// incomplete: a new object discards a half-assembled one before it.
#include <cstdlib>
#include <cstring>

#include "format/format.h"
#include "core/internal.h"
#include "demux/asf/asf_internal.h"

namespace quillar::asf {

namespace {

// The largest media object assembled. The size comes from the file and is
// allocated before the fragments arrive; no compressed frame comes near it
// (an uncompressed 4096x2160 RGB picture is 26.5 MB), while 4 GiB of it per
// packet would only fill address space.
constexpr uint32_t kMaxMediaObjectSize = 64u << 20;

AsfMediaObject *object_at(GArray *objects, uint32_t index) {
  return reinterpret_cast<AsfMediaObject *>(objects->data) + index;
}

bool complete(const AsfMediaObject &o) { return o.bytes_filled >= o.object_size; }

void drop_newest(GArray *objects) {
  const uint32_t last = objects->len - 1;
  gst_buffer_replace(&object_at(objects, last)->buffer, nullptr);
  g_array_remove_index(objects, last);
}

// Appends `record`, whose buffer reference moves into the queue. False when
// the queue cannot grow (the record's buffer is released).
bool queue_object(AsfStreamRecord *stream, const AsfMediaObject &record) {
  GArray *objects = stream->objects;
  while (objects->len != 0 && !complete(*object_at(objects, objects->len - 1)))
    drop_newest(objects);
  const uint32_t before = objects->len;
  g_array_append_vals(objects, &record, 1);
  if (objects->len != before) return true;
  gst_buffer_unref(record.buffer);
  return false;
}

// Objects up to this size are assembled in uninitialised memory and only the
// gaps between fragments are zeroed (most objects arrive in order and have
// none). Larger ones, whose size comes from the file, are calloc'd: their
// pages stay untouched until fragments are written, so a stray fragment near
// the end of a huge declared object cannot make us clear gigabytes.
constexpr uint32_t kZeroGapsUpTo = 1u << 20;

// A buffer for an object of `size` bytes.
GstBuffer *new_object_buffer(uint32_t size) {
  const size_t n = size ? size : 1;
  return buffer_owning(static_cast<guint8 *>(size <= kZeroGapsUpTo ? malloc(n) : calloc(n, 1)), size);
}

// The fragment's bytes as a sub-buffer of the packet.
GstBuffer *share_bytes(GstBuffer *packet, const ByteReader &bytes) {
  return gst_buffer_create_sub(packet, static_cast<uint32_t>(bytes.offset()),
                               static_cast<uint32_t>(bytes.size()));
}

// Copies the fragment's bytes to `at` (which has room for them).
void copy_bytes(const Fragment &f, uint8_t *at) {
  ByteReader bytes = f.data;
  (void)bytes.read_bytes(at, bytes.size());  // the whole reader: cannot fall short
}

bool take_first_fragment(AsfStreamRecord *stream, GstBuffer *packet, const Fragment &f) {
  const auto length = static_cast<uint32_t>(f.data.size());
  // A fragment longer than its object (every payload without an object size
  // is one) cannot be placed in it, and an object declared larger than any
  // frame is not assembled: either is dropped like a continuation that does
  // not fit, and leaves the queue as it was.
  if (f.header.object_size < length || f.header.object_size > kMaxMediaObjectSize) return true;
  AsfMediaObject record = f.header;
  record.bytes_filled = length;
  if (f.header.object_size == length) {
    record.buffer = share_bytes(packet, f.data);
  } else {
    record.buffer = new_object_buffer(f.header.object_size);
    if (record.buffer) copy_bytes(f, record.buffer->data);
  }
  return record.buffer && queue_object(stream, record);
}

void take_continuation(AsfStreamRecord *stream, const Fragment &f) {
  const auto length = static_cast<uint32_t>(f.data.size());
  GArray *objects = stream->objects;
  if (objects->len == 0) return;
  AsfMediaObject *newest = object_at(objects, objects->len - 1);
  const AsfMediaObject &r = f.header;
  if (!newest->buffer || newest->object_size != r.object_size) return;
  if (r.object_size != 0 && (newest->object_number != r.object_number || newest->object_offset != 0))
    return;
  const uint64_t end = static_cast<uint64_t>(r.object_offset) + length;
  if (r.object_offset >= newest->buffer->size || end > newest->buffer->size) return;
  // Keep everything below bytes_filled written or zeroed (calloc'd buffers
  // are zero already).
  if (r.object_offset > newest->bytes_filled && newest->buffer->size <= kZeroGapsUpTo)
    memset(newest->buffer->data + newest->bytes_filled, 0, r.object_offset - newest->bytes_filled);
  copy_bytes(f, newest->buffer->data + r.object_offset);
  if (end > newest->bytes_filled) newest->bytes_filled = static_cast<uint32_t>(end);
}

}  // namespace

bool take_fragment(AsfStreamRecord *stream, GstBuffer *packet, const Fragment &f) {
  if (f.header.object_offset == 0) return take_first_fragment(stream, packet, f);
  take_continuation(stream, f);
  return true;
}

bool queue_piece(AsfStreamRecord *stream, GstBuffer *packet, const AsfMediaObject &header,
                 const ByteReader &piece) {
  AsfMediaObject record = header;
  record.object_size = 0;
  record.bytes_filled = static_cast<uint32_t>(piece.size());
  record.buffer = share_bytes(packet, piece);
  return record.buffer && queue_object(stream, record);
}

bool hand_out(AsfDemuxState *state) {
  FrameTail tail{};  // the state record's layout is public: the tail lives here
  for (;;) {
    GArray *from = nullptr;
    for (uint32_t i = 0; i < state->stream_count && i < ASF_MAX_STREAMS && !from; i++) {
      GArray *objects = state->streams[i].objects;
      if (objects && objects->len != 0 && complete(*object_at(objects, 0))) from = objects;
    }
    if (!from) return true;
    GstBuffer *frame = object_at(from, 0)->buffer;
    object_at(from, 0)->buffer = nullptr;
    g_array_remove_index(from, 0);
    if (!frame) continue;
    frame->timestamp = 0;
    frame->duration = GST_CLOCK_TIME_NONE;
    if (!queue_frame(state->output, &tail, frame)) return false;
  }
}

void release_stream(AsfStreamRecord *stream) {
  GArray *objects = stream->objects;
  if (!objects) return;
  while (objects->len != 0) drop_newest(objects);
  g_array_free(objects, 1);
  stream->objects = nullptr;
}

}  // namespace quillar::asf
