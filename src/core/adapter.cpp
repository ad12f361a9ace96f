// SPDX-License-Identifier: BSD-2-Clause
// The byte adapter: a queue of pushed buffers read from the front.
//
// Positions in the internal helpers count from the first byte of the first
// queued buffer (so callers add head_skip to an available-data offset). The
// push limit keeps the sum of all queued buffer sizes within 32 bits, so
// every such position fits in a guint32 and every sum below is computed in
// 64 bits only where a caller's argument takes part.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "core/internal.h"

namespace {

constexpr guint32 kScratchStep = 4096;
constexpr guint64 kNone = GST_CLOCK_TIME_NONE;

GstBuffer *node_buffer(const GSList *node) { return static_cast<GstBuffer *>(node->data); }

void clear_scan(GstAdapter *a) {
  a->extra->scan_offset = 0;
  a->extra->scan_node = nullptr;
}

// Releases the queued nodes from `node` up to (not including) `stop`, and
// their buffers.
void release_nodes(GSList *node, const GSList *stop) {
  while (node != stop) {
    GSList *next = node->next;
    gst_buffer_unref(node_buffer(node));
    free(node);
    node = next;
  }
}

// Whether `a` and `b` are adjacent spans of one parent's memory.
bool is_span(const GstBuffer *a, const GstBuffer *b) {
  return a && b && a->refcount > 0 && b->refcount > 0 && a->parent && a->parent == b->parent &&
         a->data + a->size == b->data;
}

// Copies n bytes starting at position p (from the first queued buffer's start).
// The caller guarantees the bytes exist.
void copy_into(GstAdapter *a, guint8 *dest, guint32 p, guint32 n) {
  GSList *node = a->buffers;
  if (a->extra->scan_node && a->extra->scan_offset <= p) {
    node = a->extra->scan_node;
    p -= a->extra->scan_offset;
  }
  while (node_buffer(node)->size <= p) {
    p -= node_buffer(node)->size;
    node = node->next;
  }
  while (n > 0) {
    GstBuffer *b = node_buffer(node);
    guint32 chunk = b->size - p;
    if (chunk > n) chunk = n;
    memcpy(dest, b->data + p, chunk);
    dest += chunk;
    n -= chunk;
    p = 0;
    node = node->next;
  }
}

// Joins the leading buffers into one sub-buffer of their common parent when
// they are a run of adjacent spans of it that holds `size` wanted bytes.
// Returns whether they were joined; a run too short is left alone (its
// bytes are copied by the caller).
bool merge(GstAdapter *a, guint32 size) {
  const guint64 need = static_cast<guint64>(size) + a->head_skip;
  GSList *first = a->buffers;
  GstBuffer *head = node_buffer(first);
  guint64 run = head->size;
  GSList *last = first;
  while (run < need && last->next && is_span(node_buffer(last), node_buffer(last->next))) {
    last = last->next;
    run += node_buffer(last)->size;
  }
  if (run < need || last == first) return false;
  guint64 duration = 0;
  for (GSList *node = first; node != last->next && duration != kNone; node = node->next) {
    const guint64 d = node_buffer(node)->duration;
    duration = d == kNone ? kNone : duration + d;
  }
  const guint64 offset_end = node_buffer(last)->offset_end;
  // A head only the adapter holds, with nothing attached, simply grows over
  // the run (a join per read block on streams of small packets); otherwise
  // the run becomes a new sub-buffer.
  const bool grow = head->refcount == 1 && !head->caps && !(head->attached && *head->attached);
  GstBuffer *joined;
  if (grow) {
    joined = gst_buffer_ref(head);
    joined->size = static_cast<guint32>(run);
    joined->duration = kNone;  // as for a new sub-buffer of part of a parent
    joined->offset_end = kNone;
  } else {
    GstBuffer *parent = head->parent;
    joined = gst_buffer_create_sub(parent, static_cast<guint32>(head->data - parent->data),
                                   static_cast<guint32>(run));
    if (!joined) return false;
    joined->timestamp = head->timestamp;
    joined->offset = head->offset;
  }
  if (duration != kNone) joined->duration = duration;
  if (offset_end != kNone) joined->offset_end = offset_end;
  // The run's first node carries the joined buffer; the others go.
  GSList *rest = first->next;
  first->next = last->next;
  if (a->buffers_tail == last) a->buffers_tail = first;
  release_nodes(rest, first->next);
  gst_buffer_unref(head);
  first->data = joined;
  clear_scan(a);
  return true;
}

// Discards `size` available bytes; the caller checked size <= total_size.
void flush_bytes(GstAdapter *a, guint32 size) {
  a->scratch_valid = 0;
  a->total_size -= size;
  a->extra->distance -= a->head_skip;
  guint32 left = size + a->head_skip;
  while (a->buffers && node_buffer(a->buffers)->size <= left) {
    GSList *node = a->buffers;
    GstBuffer *b = node_buffer(node);
    a->extra->distance += b->size;
    left -= b->size;
    a->buffers = node->next;
    free(node);
    gst_buffer_unref(b);
  }
  if (!a->buffers) a->buffers_tail = nullptr;
  a->head_skip = left;
  a->extra->distance += left;
  clear_scan(a);
}

// Memory holding the first `size` available bytes for a caller to own, or
// NULL (adapter unchanged) when out of memory.
guint8 *take_bytes(GstAdapter *a, guint32 size) {
  const guint32 keep = a->scratch_valid < size ? a->scratch_valid : size;
  guint8 *out;
  if (a->scratch_capacity < size) {
    out = static_cast<guint8 *>(malloc(size));
    if (!out) return nullptr;
    if (keep) memcpy(out, a->scratch, keep);
  } else if (keep > 0) {
    // The scratch area already holds the leading bytes: hand it over and
    // give the adapter a fresh one rather than copying.
    auto *fresh = static_cast<guint8 *>(malloc(a->scratch_capacity));
    if (!fresh) {
      out = static_cast<guint8 *>(malloc(size));
      if (!out) return nullptr;
      memcpy(out, a->scratch, keep);
    } else {
      out = a->scratch;
      a->scratch = fresh;
      a->scratch_valid = 0;
    }
  } else {
    out = static_cast<guint8 *>(malloc(size));
    if (!out) return nullptr;
  }
  if (size > keep) copy_into(a, out + keep, a->head_skip + keep, size - keep);
  return out;
}

bool in_range(const GstAdapter *a, guint32 offset, guint32 size) {
  return static_cast<guint64>(offset) + size <= a->total_size;
}

}  // namespace

namespace quillar {

bool adapter_push(GstAdapter *adapter, GstBuffer *buffer) {
  if (!buffer) return true;
  if (!adapter) {
    gst_buffer_unref(buffer);
    return false;
  }
  const guint64 queued = static_cast<guint64>(adapter->total_size) + adapter->head_skip;
  if (queued + buffer->size > UINT32_MAX) {
    gst_buffer_unref(buffer);
    return false;
  }
  auto *node = static_cast<GSList *>(malloc(sizeof(GSList)));
  if (!node) {
    gst_buffer_unref(buffer);
    return false;
  }
  node->data = buffer;
  node->next = nullptr;
  if (adapter->buffers_tail)
    adapter->buffers_tail->next = node;
  else
    adapter->buffers = node;
  adapter->buffers_tail = node;
  adapter->total_size += buffer->size;
  return true;
}

void adapter_requeue(GstAdapter *adapter, GstBuffer *buffer) {
  GSList *first = adapter->buffers;
  release_nodes(first->next, nullptr);
  gst_buffer_unref(node_buffer(first));
  first->data = buffer;
  first->next = nullptr;
  adapter->buffers_tail = first;
  adapter->head_skip = 0;
  clear_scan(adapter);
}

}  // namespace quillar

extern "C" {

GstAdapter *gst_adapter_new(void) {
  auto *a = static_cast<GstAdapter *>(calloc(1, sizeof(GstAdapter)));
  if (!a) return nullptr;
  a->extra = static_cast<AdapterPrivate *>(calloc(1, sizeof(AdapterPrivate)));
  if (!a->extra) {
    free(a);
    return nullptr;
  }
  a->refcount = 1;
  return a;
}

void gst_adapter_clear(GstAdapter *adapter) {
  if (!adapter) return;
  release_nodes(adapter->buffers, nullptr);
  adapter->buffers = nullptr;
  adapter->buffers_tail = nullptr;
  adapter->total_size = 0;
  adapter->head_skip = 0;
  adapter->scratch_valid = 0;
  adapter->extra->timestamp = kNone;
  adapter->extra->distance = 0;
  clear_scan(adapter);
}

void gst_adapter_unref(GstAdapter *adapter) {
  if (!adapter || adapter->refcount == 0) return;
  if (--adapter->refcount > 0) return;
  gst_adapter_clear(adapter);
  free(adapter->scratch);
  free(adapter->extra);
  free(adapter);
}

void gst_adapter_push(GstAdapter *adapter, GstBuffer *buffer) {
  if (!adapter || !buffer) return;
  quillar::adapter_push(adapter, buffer);
}

guint32 gst_adapter_available(GstAdapter *adapter) { return adapter ? adapter->total_size : 0; }

guint32 gst_adapter_available_fast(GstAdapter *adapter) {
  if (!adapter || adapter->total_size == 0) return 0;
  if (adapter->scratch_valid) return adapter->scratch_valid;
  for (GSList *node = adapter->buffers; node; node = node->next) {
    if (node_buffer(node)->size) return node_buffer(node)->size - adapter->head_skip;
  }
  return 0;
}

const guint8 *gst_adapter_peek(GstAdapter *adapter, guint32 size) {
  if (!adapter || size == 0 || size > adapter->total_size) return nullptr;
  if (adapter->scratch_valid >= size) return adapter->scratch;
  const guint64 need = static_cast<guint64>(size) + adapter->head_skip;
  GstBuffer *first = node_buffer(adapter->buffers);
  if (first->size >= need) return first->data + adapter->head_skip;
  if (merge(adapter, size)) {
    first = node_buffer(adapter->buffers);
    if (first->size >= need) return first->data + adapter->head_skip;
  }
  const guint32 keep = adapter->scratch_valid;
  if (adapter->scratch_capacity < size) {
    const guint64 capacity = static_cast<guint64>(size / kScratchStep) * kScratchStep + kScratchStep;
    if (capacity > UINT32_MAX) return nullptr;
    guint8 *area;
    if (keep == 0) {
      area = static_cast<guint8 *>(malloc(capacity));
      if (!area) return nullptr;
      free(adapter->scratch);
    } else {
      area = static_cast<guint8 *>(realloc(adapter->scratch, capacity));
      if (!area) return nullptr;
    }
    adapter->scratch = area;
    adapter->scratch_capacity = static_cast<guint32>(capacity);
  }
  copy_into(adapter, adapter->scratch + keep, adapter->head_skip + keep, size - keep);
  adapter->scratch_valid = size;
  return adapter->scratch;
}

void gst_adapter_copy(GstAdapter *adapter, guint8 *destination, guint32 offset, guint32 size) {
  if (!adapter || !destination || size == 0 || !in_range(adapter, offset, size)) return;
  copy_into(adapter, destination, adapter->head_skip + offset, size);
}

void gst_adapter_flush(GstAdapter *adapter, guint32 size) {
  if (!adapter || size == 0 || size > adapter->total_size) return;
  flush_bytes(adapter, size);
}

guint8 *gst_adapter_take(GstAdapter *adapter, guint32 size) {
  if (!adapter || size == 0 || size > adapter->total_size) return nullptr;
  guint8 *out = take_bytes(adapter, size);
  if (out) flush_bytes(adapter, size);
  return out;
}

GstBuffer *gst_adapter_take_buffer(GstAdapter *adapter, guint32 size) {
  if (!adapter || size == 0 || size > adapter->total_size) return nullptr;
  const guint64 need = static_cast<guint64>(size) + adapter->head_skip;
  GstBuffer *first = node_buffer(adapter->buffers);
  GstBuffer *result = nullptr;
  if (adapter->head_skip == 0 && first->size == size) {
    result = gst_buffer_ref(first);
  } else if (first->size >= need) {
    result = gst_buffer_create_sub(first, adapter->head_skip, size);
    if (!result) return nullptr;
  } else if (merge(adapter, size) && node_buffer(adapter->buffers)->size >= need) {
    result = gst_buffer_create_sub(node_buffer(adapter->buffers), adapter->head_skip, size);
    if (!result) return nullptr;
  } else {
    result = gst_buffer_new();
    if (!result) return nullptr;
    guint8 *bytes = take_bytes(adapter, size);
    if (!bytes) {
      gst_buffer_unref(result);
      return nullptr;
    }
    result->data = bytes;
    result->owned_data = bytes;
    result->size = size;
  }
  flush_bytes(adapter, size);
  return result;
}

GList *gst_adapter_take_list(GstAdapter *adapter, guint32 size) {
  if (!adapter || size == 0 || size > adapter->total_size) return nullptr;
  // Build the whole list before flushing, so that running out of memory
  // half-way leaves the adapter as it was.
  GQueue queue = {nullptr, nullptr, 0};
  guint32 wanted = size;
  guint32 skip = adapter->head_skip;
  bool ok = true;
  for (GSList *node = adapter->buffers; node && wanted > 0; node = node->next, skip = 0) {
    GstBuffer *b = node_buffer(node);
    guint32 n = b->size - skip;
    if (n == 0) continue;
    if (n > wanted) n = wanted;
    GstBuffer *piece = (skip == 0 && n == b->size) ? gst_buffer_ref(b)
                                                   : gst_buffer_create_sub(b, skip, n);
    const guint32 before = queue.length;
    if (piece) g_queue_push_tail(&queue, piece);
    if (!piece || queue.length == before) {
      gst_buffer_unref(piece);
      ok = false;
      break;
    }
    wanted -= n;
  }
  if (!ok) {
    for (GList *l = queue.head; l;) {
      GList *next = l->next;
      gst_buffer_unref(static_cast<GstBuffer *>(l->data));
      free(l);
      l = next;
    }
    return nullptr;
  }
  flush_bytes(adapter, size);
  return queue.head;
}

guint64 gst_adapter_prev_timestamp(GstAdapter *adapter, guint64 *distance_out) {
  if (!adapter) return kNone;
  if (distance_out) *distance_out = adapter->extra->distance;
  return adapter->extra->timestamp;
}

guint32 gst_adapter_masked_scan_uint32_peek(GstAdapter *adapter, guint32 mask, guint32 pattern,
                                            guint32 offset, guint32 size, guint32 *value_out) {
  constexpr guint32 kNotFound = 0xFFFFFFFFu;
  if (!adapter || size < 4 || !in_range(adapter, offset, size) || (pattern & ~mask))
    return kNotFound;
  AdapterPrivate *priv = adapter->extra;
  guint32 p = offset + adapter->head_skip;
  GSList *node;
  if (priv->scan_node && priv->scan_offset <= p) {
    node = priv->scan_node;
    p -= priv->scan_offset;
  } else {
    node = adapter->buffers;
    priv->scan_offset = 0;
    priv->scan_node = nullptr;
  }
  while (node_buffer(node)->size <= p) {
    p -= node_buffer(node)->size;
    priv->scan_offset += node_buffer(node)->size;
    node = node->next;
    priv->scan_node = node;
  }
  guint32 value = ~pattern;
  guint32 i = 0;
  for (;;) {
    const GstBuffer *b = node_buffer(node);
    for (; p < b->size; p++, i++) {
      if (i == size) return kNotFound;
      value = (value << 8) | b->data[p];
      if (i >= 3 && (value & mask) == pattern) {
        if (value_out) *value_out = value;
        return offset + i - 3;
      }
    }
    if (i == size) return kNotFound;
    priv->scan_offset += b->size;
    node = node->next;
    priv->scan_node = node;
    p = 0;
  }
}

guint32 gst_adapter_masked_scan_uint32(GstAdapter *adapter, guint32 mask, guint32 pattern,
                                       guint32 offset, guint32 size) {
  return gst_adapter_masked_scan_uint32_peek(adapter, mask, pattern, offset, size, nullptr);
}

}  // extern "C"
