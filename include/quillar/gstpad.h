/* SPDX-License-Identifier: BSD-2-Clause */
/* Quillar: minimal GStreamer-named objects, pad templates and pads.
 *
 * Pads and templates are bare records: nothing links pads, and the only
 * state that matters is the object's reference count and the pad's caps.
 * Every object starts with the GstObject header and is released with
 * gst_object_unref. */
#ifndef QUILLAR_GSTPAD_H
#define QUILLAR_GSTPAD_H

#include "gstcaps.h"

QUILLAR_BEGIN_DECLS

/* The common start of every object. */
typedef struct GstObject {
  gpointer klass;    /* set by the library: how the record is released. NULL
                        for an object made elsewhere (it is just freed). */
  guint32 refcount;  /* 1 on creation */
} GstObject;

typedef struct GstPadTemplate {
  GstObject object;
} GstPadTemplate;

typedef struct GstPad {
  GstObject object;
  GstCaps *caps;  /* a reference, or NULL; released with the pad */
} GstPad;

/* A statically defined pad template. The library never reads it. */
typedef struct GstStaticPadTemplate {
  const gchar *name_template;
  gint direction;
  gint presence;
  GstStaticCaps static_caps;
} GstStaticPadTemplate;

/* Drops one reference of an object; the last one frees the record (a pad
 * also drops its caps). NULL, or a count of 0, is ignored. */
QUILLAR_API void gst_object_unref(gpointer object);
/* A new template record with one reference for the caller; the argument is
 * ignored. NULL if out of memory. */
QUILLAR_API GstPadTemplate *gst_static_pad_template_get(GstStaticPadTemplate *pad_template);
/* A new pad with one reference for the caller and no caps; the arguments are
 * ignored (the template is not referenced). NULL if out of memory. */
QUILLAR_API GstPad *gst_pad_new_from_template(GstPadTemplate *templ, const gchar *name);
/* Makes a template from the static one, a pad from the template, releases
 * the template and returns the pad (NULL if out of memory). */
QUILLAR_API GstPad *gst_pad_new_from_static_template(GstStaticPadTemplate *templ,
                                                     const gchar *name);
/* Gives the pad `caps` (a new reference; the old caps are released) and
 * returns 1. NULL caps clear the pad's caps. Caps that are not fixed (not
 * exactly one structure) are refused: 0, nothing changes. A NULL pad gives
 * 0. */
QUILLAR_API gboolean gst_pad_set_caps(GstPad *pad, GstCaps *caps);

QUILLAR_END_DECLS

#endif
