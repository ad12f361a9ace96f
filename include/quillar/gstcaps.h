/* Quillar: minimal GStreamer-named caps, structures, pads and type
 * registration. These objects have no effect on parsing. */
#ifndef QUILLAR_GSTCAPS_H
#define QUILLAR_GSTCAPS_H

#include "garray.h"
#include "gstbuffer.h"

QUILLAR_BEGIN_DECLS

struct GstCaps {
  guint32 refcount;       /* 1 on creation */
  GPtrArray *structures;  /* GstStructure pointers */
};

typedef struct GstStructure {
  guint32 type;              /* always 0 */
  guint32 name;              /* identifier */
  gint32 *parent_refcount;   /* owner's reference count, NULL if free-standing */
  GArray *fields;            /* field records */
} GstStructure;

/* Adds one reference; NULL is ignored. */
QUILLAR_API void gst_caps_ref(GstCaps *caps);
/* Drops one reference, freeing the caps at none; NULL is ignored. */
QUILLAR_API void gst_caps_unref(GstCaps *caps);
/* A free-standing copy of the structure's name and field names (values are
 * not copied); NULL gives NULL. */
QUILLAR_API GstStructure *gst_structure_copy(const GstStructure *structure);
/* Frees a free-standing structure; NULL or an owned structure is ignored. */
QUILLAR_API void gst_structure_free(GstStructure *structure);
/* Binds the structure to an owner's reference count, or frees it from one
 * (NULL). Moving an owned structure to another owner is ignored. */
QUILLAR_API void gst_structure_set_parent_refcount(GstStructure *structure, gint32 *refcount);

QUILLAR_END_DECLS

#endif
