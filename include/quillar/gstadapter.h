/* SPDX-License-Identifier: BSD-2-Clause */
/* Quillar: the GStreamer-named byte adapter.
 *
 * An adapter accumulates pushed buffers and hands out byte ranges from the
 * front without its user caring where one pushed buffer ends and the next
 * begins. Ranges inside one buffer are handed out without copying; ranges
 * that span buffers are assembled in a scratch area (peek) or in memory
 * handed to the caller (take). Sizes are 32-bit: an adapter never holds more
 * than 4 GiB - 1 bytes, and a push that would go past that is refused (the
 * buffer is released). */
#ifndef QUILLAR_GSTADAPTER_H
#define QUILLAR_GSTADAPTER_H

#include "gstbuffer.h"

QUILLAR_BEGIN_DECLS

typedef struct AdapterPrivate {
  guint64 timestamp;    /* reported by gst_adapter_prev_timestamp */
  guint64 distance;     /* bytes flushed since creation or the last clear */
  guint32 scan_offset;  /* where scan_node begins, from the first buffer */
  GSList *scan_node;    /* node where the last masked scan stopped, or NULL */
} AdapterPrivate;

typedef struct GstAdapter {
  guint32 refcount;
  GSList *buffers;          /* pushed buffers, oldest first; one ref each */
  guint32 total_size;       /* bytes available */
  guint32 head_skip;        /* bytes of the first buffer already flushed */
  guint8 *scratch;          /* assembly area for peeks across buffers */
  guint32 scratch_capacity; /* allocated size of scratch */
  guint32 scratch_valid;    /* leading available bytes that scratch holds */
  GSList *buffers_tail;     /* last node of buffers, NULL when empty */
  AdapterPrivate *extra;
} GstAdapter;

/* A new empty adapter with one reference, or NULL if out of memory. */
QUILLAR_API GstAdapter *gst_adapter_new(void);
/* Drops every queued buffer; the scratch area stays for reuse. NULL is
 * ignored. */
QUILLAR_API void gst_adapter_clear(GstAdapter *adapter);
/* Takes over the caller's reference to `buffer` and queues it. NULL for
 * either argument does nothing. A push that would take the available bytes
 * past 4 GiB - 1 is refused and the buffer released. */
QUILLAR_API void gst_adapter_push(GstAdapter *adapter, GstBuffer *buffer);
/* Bytes available (0 for NULL). */
QUILLAR_API guint32 gst_adapter_available(GstAdapter *adapter);
/* Bytes gst_adapter_peek can give without copying. */
QUILLAR_API guint32 gst_adapter_available_fast(GstAdapter *adapter);
/* Pointer to the first `size` available bytes, valid until the next flush,
 * take, clear or larger peek; NULL for 0, more than available, or when the
 * scratch area cannot be allocated. */
QUILLAR_API const guint8 *gst_adapter_peek(GstAdapter *adapter, guint32 size);
/* Copies `size` bytes starting `offset` bytes into the available data.
 * Nothing happens when the range is not all available. */
QUILLAR_API void gst_adapter_copy(GstAdapter *adapter, guint8 *destination, guint32 offset,
                                  guint32 size);
/* Discards the first `size` bytes; nothing for 0 or more than available. */
QUILLAR_API void gst_adapter_flush(GstAdapter *adapter, guint32 size);
/* The first `size` bytes in malloc'ed memory that the caller frees; they are
 * flushed. NULL (and no change) for NULL, 0, more than available or out of
 * memory. */
QUILLAR_API guint8 *gst_adapter_take(GstAdapter *adapter, guint32 size);
/* The first `size` bytes as a buffer carrying one reference for the caller;
 * they are flushed. Same NULL cases as gst_adapter_take. */
QUILLAR_API GstBuffer *gst_adapter_take_buffer(GstAdapter *adapter, guint32 size);
/* The first `size` bytes as a list of buffers (one per queued buffer
 * touched), each with one reference for the caller; they are flushed. The
 * caller frees the list nodes. */
QUILLAR_API GList *gst_adapter_take_list(GstAdapter *adapter, guint32 size);
/* The adapter's timestamp; stores the flushed-byte distance when
 * distance_out is not NULL. GST_CLOCK_TIME_NONE for a NULL adapter. */
QUILLAR_API guint64 gst_adapter_prev_timestamp(GstAdapter *adapter, guint64 *distance_out);
/* Position of the first big-endian 32-bit window within [offset,
 * offset+size) of the available data with (window & mask) == pattern, or
 * 0xFFFFFFFF. The _peek form also stores the window's value. */
QUILLAR_API guint32 gst_adapter_masked_scan_uint32(GstAdapter *adapter, guint32 mask,
                                                   guint32 pattern, guint32 offset,
                                                   guint32 size);
QUILLAR_API guint32 gst_adapter_masked_scan_uint32_peek(GstAdapter *adapter, guint32 mask,
                                                        guint32 pattern, guint32 offset,
                                                        guint32 size, guint32 *value_out);

QUILLAR_END_DECLS

#endif
