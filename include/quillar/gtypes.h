/* SPDX-License-Identifier: BSD-2-Clause */
/* Quillar: the GLib-style basic types used by the container and media-object
 * headers. They are plain C typedefs; nothing here links against GLib. */
#ifndef QUILLAR_GTYPES_H
#define QUILLAR_GTYPES_H

#include <stddef.h>
#include <stdint.h>

#include "export.h"

QUILLAR_BEGIN_DECLS

typedef void *gpointer;
typedef const void *gconstpointer;
typedef int gint;
typedef unsigned int guint;
typedef int gboolean;
typedef char gchar;
typedef uint8_t guint8;
typedef uint16_t guint16;
typedef uint32_t guint32;
typedef int32_t gint32;
typedef int64_t gint64;
typedef uint64_t guint64;
typedef size_t gsize;

/* Called with an element's data and the caller's user data. */
typedef void (*GFunc)(gpointer data, gpointer user_data);
/* Returns <0, 0 or >0 as a sorts before, with or after b. */
typedef gint (*GCompareFunc)(gconstpointer a, gconstpointer b);
typedef gint (*GCompareDataFunc)(gconstpointer a, gconstpointer b, gpointer user_data);
/* Releases one element. */
typedef void (*GDestroyNotify)(gpointer data);

QUILLAR_END_DECLS

#endif
