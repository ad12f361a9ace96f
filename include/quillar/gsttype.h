/* SPDX-License-Identifier: BSD-2-Clause */
/* Quillar: the number-issuing type registration of the media-object
 * interface.
 *
 * Types are only numbers here: registration records nothing, calls none of
 * the functions it is given, and no type system stands behind the numbers.
 * The counter and the cached numbers are plain process-wide variables; call
 * these functions from one thread only. */
#ifndef QUILLAR_GSTTYPE_H
#define QUILLAR_GSTTYPE_H

#include "gtypes.h"

QUILLAR_BEGIN_DECLS

/* A type identifier (32 bits here). */
typedef guint32 GType;
typedef gint GTypeFlags;
typedef struct GTypeValueTable GTypeValueTable;

typedef void (*GBaseInitFunc)(gpointer g_class);
typedef void (*GBaseFinalizeFunc)(gpointer g_class);
typedef void (*GClassInitFunc)(gpointer g_class, gpointer class_data);
typedef void (*GClassFinalizeFunc)(gpointer g_class, gpointer class_data);
typedef void (*GInstanceInitFunc)(gpointer instance, gpointer g_class);

/* parent_type + 1 when class_size and instance_size both fit in 16 bits,
 * else 0. Every other argument is ignored: nothing is recorded and none of
 * the functions is called. */
QUILLAR_API GType gst_type_register_static_full(
    GType parent_type, const gchar *type_name, guint class_size, GBaseInitFunc base_init,
    GBaseFinalizeFunc base_finalize, GClassInitFunc class_init,
    GClassFinalizeFunc class_finalize, gconstpointer class_data, guint instance_size,
    guint16 n_preallocs, GInstanceInitFunc instance_init, const GTypeValueTable *value_table,
    GTypeFlags flags);
/* Always NULL: there are no class records. */
QUILLAR_API gpointer g_type_class_peek_parent(gpointer g_class);
/* Returns the process-wide counter, then increments it: the first call in a
 * process returns 0, the next 1, and so on. The name is ignored. */
QUILLAR_API GType g_pointer_type_register_static(const gchar *name);
/* The number registered for "GstStaticCaps" / "GstStaticPadTemplate"
 * (with g_pointer_type_register_static) on the first call, cached from then
 * on. A cached 0 counts as "not registered yet": the next call registers
 * again. */
QUILLAR_API GType gst_static_caps_get_type(void);
QUILLAR_API GType gst_static_pad_template_get_type(void);
/* Registers "GstAdapter" as a child of type 80 on every call and returns
 * the result, which is always 81. */
QUILLAR_API GType gst_adapter_get_type(void);

QUILLAR_END_DECLS

#endif
