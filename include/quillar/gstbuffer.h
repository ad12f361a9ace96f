/* SPDX-License-Identifier: BSD-2-Clause */
/* Quillar: GStreamer-named reference-counted buffers.
 *
 * A buffer is a heap record over a byte block. Its creator holds the first
 * reference; whoever drops the last reference frees it. A sub-buffer shares a
 * range of a root buffer's memory and holds one reference to that root, so
 * the root's memory lives until the root's own holders and all of its
 * sub-buffers are gone. Reference counts are plain integers: a buffer must
 * not be shared between threads. */
#ifndef QUILLAR_GSTBUFFER_H
#define QUILLAR_GSTBUFFER_H

#include "glist.h"

QUILLAR_BEGIN_DECLS

/* "None" for timestamp, duration, offset and offset_end. */
#define GST_CLOCK_TIME_NONE ((guint64)-1)
#define GST_BUFFER_OFFSET_NONE ((guint64)-1)

typedef struct GstCaps GstCaps;

/* The leading part of every reference-counted media object. */
typedef struct GstMiniObject {
  gint32 refcount;
} GstMiniObject;

typedef struct GstBuffer GstBuffer;
struct GstBuffer {
  gint32 refcount;      /* 1 on creation (the mini-object header) */
  guint8 *data;         /* first byte of the contents */
  guint32 size;         /* bytes at data */
  guint64 timestamp;    /* GST_CLOCK_TIME_NONE for none */
  guint64 duration;     /* GST_CLOCK_TIME_NONE for none */
  GstCaps *caps;        /* normally NULL; a reference when set */
  guint64 offset;       /* GST_BUFFER_OFFSET_NONE for none */
  guint64 offset_end;   /* GST_BUFFER_OFFSET_NONE for none */
  guint8 *owned_data;   /* memory freed with the buffer, or NULL */
  GstBuffer *parent;    /* root buffer a sub-buffer shares memory with */
  GList **attached;     /* one-word block: list of attached GstStructure* */
};

/* A new empty buffer: metadata fields 0, refcount 1. NULL if out of memory. */
QUILLAR_API GstBuffer *gst_buffer_new(void);
/* A new buffer owning `size` uninitialised bytes. NULL if out of memory. */
QUILLAR_API GstBuffer *gst_buffer_new_and_alloc(guint32 size);
/* Adds one reference unless `buffer` is NULL; returns `buffer`. */
QUILLAR_API GstBuffer *gst_buffer_ref(GstBuffer *buffer);
/* Drops one reference; the last one frees the owned memory, the attached
 * block and the record, then drops the reference held on the parent. */
QUILLAR_API void gst_buffer_unref(GstBuffer *buffer);
/* Stores `new_buffer` (with a new reference) in *slot and drops the old
 * value's reference. Nothing happens when slot is NULL or already holds it. */
QUILLAR_API void gst_buffer_replace(GstBuffer **slot, GstBuffer *new_buffer);
/* A buffer sharing bytes [offset, offset+size) of `buffer`, holding a
 * reference to its root. NULL when the range does not fit, `buffer` is NULL
 * or dead, or memory runs out. The caller owns the returned reference. */
QUILLAR_API GstBuffer *gst_buffer_create_sub(GstBuffer *buffer, guint32 offset, guint32 size);

/* Adds one reference to any mini object (NULL is ignored); returns it. */
QUILLAR_API GstMiniObject *gst_mini_object_ref(GstMiniObject *object);
/* Drops one reference of a bare mini object: at 1 the record is freed (and
 * nothing else); at 0 or below nothing happens. Use gst_buffer_unref for
 * buffers. */
QUILLAR_API void gst_mini_object_unref(GstMiniObject *object);

QUILLAR_END_DECLS

#endif
