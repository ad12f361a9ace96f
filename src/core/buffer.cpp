// SPDX-License-Identifier: BSD-2-Clause
// Reference-counted buffers and sub-buffers.
#include <cstdlib>

#include "core/internal.h"
#include "quillar/gstbuffer.h"
#include "quillar/gstcaps.h"

namespace {

constexpr guint64 kNone = GST_CLOCK_TIME_NONE;

// A buffer record and its one-word block of attached structures come from one
// allocation: every buffer has the block, and a frame's buffer is made once
// per frame, so this halves the allocator calls on the hot path. `attached`
// still points at a word of its own that lives exactly as long as the record.
struct BufferAllocation {
  GstBuffer buffer;
  GList *attached;
};

// Copies the structures attached to `from` onto `to`, in order, each bound to
// the new buffer's reference count. Nothing in the library attaches any, so
// this normally copies an empty list.
void copy_attached(const GstBuffer *from, GstBuffer *to) {
  if (!from->attached || !to->attached) return;
  GList *copied = nullptr;
  GList *last = nullptr;
  for (GList *l = *from->attached; l; l = l->next) {
    GstStructure *s = gst_structure_copy(static_cast<GstStructure *>(l->data));
    if (!s) continue;
    auto *node = static_cast<GList *>(calloc(1, sizeof(GList)));
    if (!node) {
      gst_structure_free(s);
      break;
    }
    gst_structure_set_parent_refcount(s, &to->refcount);
    node->data = s;
    node->prev = last;
    if (last)
      last->next = node;
    else
      copied = node;
    last = node;
  }
  *to->attached = copied;
}

void free_attached(GstBuffer *buffer) {
  GList *l = *buffer->attached;
  while (l) {
    GList *next = l->next;
    auto *s = static_cast<GstStructure *>(l->data);
    gst_structure_set_parent_refcount(s, nullptr);
    gst_structure_free(s);
    free(l);
    l = next;
  }
}

}  // namespace

namespace quillar {

GstBuffer *buffer_owning(guint8 *data, guint32 size) {
  if (!data) return nullptr;
  GstBuffer *buffer = gst_buffer_new();
  if (!buffer) {
    free(data);
    return nullptr;
  }
  buffer->data = data;
  buffer->owned_data = data;
  buffer->size = size;
  return buffer;
}

}  // namespace quillar

extern "C" {

GstBuffer *gst_buffer_new(void) {
  // Every field is set here, so plain malloc serves (one per frame).
  auto *block = static_cast<BufferAllocation *>(malloc(sizeof(BufferAllocation)));
  if (!block) return nullptr;
  block->buffer = GstBuffer{1, nullptr, 0, 0, 0, nullptr, 0, 0, nullptr, nullptr, &block->attached};
  block->attached = nullptr;
  return &block->buffer;
}

GstBuffer *gst_buffer_new_and_alloc(guint32 size) {
  // malloc(0) may return NULL; one byte keeps "no memory" distinguishable.
  return quillar::buffer_owning(static_cast<guint8 *>(malloc(size ? size : 1)), size);
}

GstMiniObject *gst_mini_object_ref(GstMiniObject *object) {
  if (object) object->refcount++;
  return object;
}

void gst_mini_object_unref(GstMiniObject *object) {
  if (!object || object->refcount <= 0) return;
  if (object->refcount == 1)
    free(object);
  else
    object->refcount--;
}

GstBuffer *gst_buffer_ref(GstBuffer *buffer) {
  if (buffer) buffer->refcount++;
  return buffer;
}

void gst_buffer_unref(GstBuffer *buffer) {
  // A loop rather than recursion: a parent is always a root, so this runs at
  // most twice, but it keeps the release path flat.
  while (buffer) {
    if (buffer->refcount <= 0) return;
    if (--buffer->refcount > 0) return;
    GstBuffer *parent = buffer->parent;
    free(buffer->owned_data);
    gst_caps_unref(buffer->caps);
    free_attached(buffer);
    free(buffer);
    buffer = parent;
  }
}

void gst_buffer_replace(GstBuffer **slot, GstBuffer *new_buffer) {
  if (!slot || *slot == new_buffer) return;
  GstBuffer *old = *slot;
  gst_buffer_ref(new_buffer);
  *slot = new_buffer;
  gst_buffer_unref(old);
}

GstBuffer *gst_buffer_create_sub(GstBuffer *buffer, guint32 offset, guint32 size) {
  if (!buffer || buffer->refcount <= 0) return nullptr;
  if (static_cast<guint64>(offset) + size > buffer->size) return nullptr;
  GstBuffer *sub = gst_buffer_new();
  if (!sub) return nullptr;
  GstBuffer *root = buffer->parent ? buffer->parent : buffer;
  gst_buffer_ref(root);
  sub->parent = root;
  sub->data = buffer->data + offset;
  sub->size = size;
  if (offset != 0) {
    sub->timestamp = kNone;
    sub->offset = kNone;
  } else {
    sub->timestamp = buffer->timestamp;
    sub->offset = buffer->offset;
  }
  if (offset == 0 && size == buffer->size) {
    sub->duration = buffer->duration;
    sub->offset_end = buffer->offset_end;
    sub->caps = buffer->caps;
    gst_caps_ref(sub->caps);
    copy_attached(buffer, sub);
  } else {
    sub->duration = kNone;
    sub->offset_end = kNone;
    sub->caps = nullptr;
  }
  return sub;
}

}  // extern "C"
