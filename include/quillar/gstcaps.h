/* SPDX-License-Identifier: BSD-2-Clause */
/* Quillar: minimal GStreamer-named caps and structures.
 *
 * Caps are reference-counted containers of structures with no real content;
 * structures carry a name and field names but never values. Nothing in
 * parsing depends on them. Records come from malloc and go back with free;
 * reference counts are plain integers (no threads). */
#ifndef QUILLAR_GSTCAPS_H
#define QUILLAR_GSTCAPS_H

#include "garray.h"
#include "gstbuffer.h"
#include "gsttype.h"

QUILLAR_BEGIN_DECLS

typedef guint32 GQuark;

/* A value record: a type word and two 8-byte data words (24 bytes). */
typedef struct GValue {
  GType g_type;
  union {
    gint v_int;
    guint v_uint;
    gint64 v_int64;
    guint64 v_uint64;
    double v_double;
    gpointer v_pointer;
  } data[2];
} GValue;

/* One field of a structure (32 bytes): its name and its value. */
typedef struct GstStructureField {
  GQuark name;
  GValue value;
} GstStructureField;

typedef struct GstStructure {
  GType type;              /* always 0 */
  GQuark name;             /* identifier */
  gint *parent_refcount;   /* reference count of the owner (a buffer or
                              caps), NULL while free-standing */
  GArray *fields;          /* GArray of GstStructureField; may be NULL */
} GstStructure;

struct GstCaps {
  guint32 refcount;       /* 1 on creation */
  GPtrArray *structures;  /* GstStructure pointers, owned by the caps */
};

/* Caps defined statically: all zero until first use, see
 * gst_static_caps_get. Only whether `string` is NULL matters; the text is
 * never parsed. */
typedef struct GstStaticCaps {
  GstCaps caps;
  const gchar *string;
} GstStaticCaps;

#define GST_STATIC_CAPS(text) {{0, NULL}, (text)}

/* --- Caps -------------------------------------------------------------- */

/* New caps with one reference (the caller's) and no structures; NULL if out
 * of memory. */
QUILLAR_API GstCaps *gst_caps_new_empty(void);
/* Adds one reference; returns caps. NULL is ignored. */
QUILLAR_API GstCaps *gst_caps_ref(GstCaps *caps);
/* Drops one reference; the last one frees the caps with _gst_caps_free.
 * NULL, or caps whose count is already 0 (such as unused static caps), are
 * ignored. */
QUILLAR_API void gst_caps_unref(GstCaps *caps);
/* Frees the caps at once whatever the count: each structure is detached and
 * freed, then the structure array and the record. NULL is ignored. Never use
 * it on static caps. */
QUILLAR_API void _gst_caps_free(GstCaps *caps);
/* Stores new_caps in *slot, taking a reference to it (if not NULL), then
 * drops the reference held by the old value (if not NULL). Nothing happens
 * when slot is NULL or already holds new_caps. */
QUILLAR_API void gst_caps_replace(GstCaps **slot, GstCaps *new_caps);
/* Caps descriptions are not built: always NULL; the arguments are ignored. */
QUILLAR_API GstCaps *gst_caps_new_simple(const gchar *media_type, const gchar *first_field,
                                         ...);
/* 1 when the caps hold exactly one structure, else 0 (also for NULL). */
QUILLAR_API gboolean gst_caps_is_fixed(const GstCaps *caps);
/* The embedded caps with a new reference for the caller (release it with
 * gst_caps_unref). On first use (count 0) the caps are set up with an empty
 * structure array and one reference that the static caps keep for
 * themselves, so the first result has count 2. NULL when static_caps is NULL,
 * when its string is NULL (it then stays unused) or out of memory. */
QUILLAR_API GstCaps *gst_static_caps_get(GstStaticCaps *static_caps);

/* --- Structures -------------------------------------------------------- */

/* Binds a free-standing structure to an owner's reference count, or frees an
 * owned one from its owner (NULL). Moving an owned structure straight to
 * another owner is ignored, as is a NULL structure. */
QUILLAR_API void gst_structure_set_parent_refcount(GstStructure *structure, gint *refcount);
/* Frees a free-standing structure with its field array. NULL, or a
 * structure that has an owner, is ignored. */
QUILLAR_API void gst_structure_free(GstStructure *structure);
/* A new free-standing structure with the same name and one field per
 * source field, with the same field name and an all-zero value: values are
 * not copied. The caller owns it. NULL for NULL or out of memory. */
QUILLAR_API GstStructure *gst_structure_copy(const GstStructure *structure);
/* Does nothing: values are never copied. */
QUILLAR_API void gst_value_init_and_copy(GValue *destination, const GValue *source);

QUILLAR_END_DECLS

#endif
