// SPDX-License-Identifier: BSD-2-Clause
// Library-internal parts of the media core that are not exported.
#pragma once

#include "quillar/gstadapter.h"
#include "quillar/parser.h"

namespace quillar {

// Queues `buffer` (taking over the caller's reference). Returns false and
// releases the buffer when the adapter refuses it: a NULL adapter, out of
// memory, or a total that would pass 4 GiB - 1 bytes. A NULL buffer is
// accepted and ignored.
bool adapter_push(GstAdapter *adapter, GstBuffer *buffer);

// Replaces the queued buffers by `buffer` (taking over the caller's
// reference), which holds the same bytes as the adapter has available, in
// order: the bytes, counts and scratch area stay valid. The adapter must
// hold at least one byte.
void adapter_requeue(GstAdapter *adapter, GstBuffer *buffer);

// A new buffer that owns `data` (`size` bytes from malloc/calloc). On
// failure returns NULL and frees `data`; a NULL `data` gives NULL.
GstBuffer *buffer_owning(guint8 *data, guint32 size);

}  // namespace quillar

extern "C" {
// Drops one reference; at zero clears the adapter and frees it with its
// scratch area. Every parser disposes of its adapter with this in its reset.
void gst_adapter_unref(GstAdapter *adapter);
}
