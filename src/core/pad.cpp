// SPDX-License-Identifier: BSD-2-Clause
// Objects, pad templates and pads: bare reference-counted records.
#include <cstdlib>

#include "quillar/gstpad.h"

namespace {

// What an object's type word points at: how its record is released.
struct ObjectClass {
  void (*finalize)(GstObject *object);
};

void finalize_pad(GstObject *object) {
  auto *pad = reinterpret_cast<GstPad *>(object);
  gst_caps_replace(&pad->caps, nullptr);
}

constexpr ObjectClass kTemplateClass = {nullptr};
constexpr ObjectClass kPadClass = {finalize_pad};

// A zero-filled record of `size` bytes starting with an object header
// holding one reference.
void *new_object(size_t size, const ObjectClass *klass) {
  auto *object = static_cast<GstObject *>(calloc(1, size));
  if (!object) return nullptr;
  object->klass = const_cast<ObjectClass *>(klass);
  object->refcount = 1;
  return object;
}

}  // namespace

extern "C" {

void gst_object_unref(gpointer object) {
  auto *o = static_cast<GstObject *>(object);
  if (!o || o->refcount == 0) return;
  if (--o->refcount > 0) return;
  if (const auto *klass = static_cast<const ObjectClass *>(o->klass); klass && klass->finalize)
    klass->finalize(o);
  free(o);
}

GstPadTemplate *gst_static_pad_template_get(GstStaticPadTemplate *pad_template) {
  (void)pad_template;
  return static_cast<GstPadTemplate *>(new_object(sizeof(GstPadTemplate), &kTemplateClass));
}

GstPad *gst_pad_new_from_template(GstPadTemplate *templ, const gchar *name) {
  (void)templ;
  (void)name;
  return static_cast<GstPad *>(new_object(sizeof(GstPad), &kPadClass));
}

GstPad *gst_pad_new_from_static_template(GstStaticPadTemplate *templ, const gchar *name) {
  GstPadTemplate *pad_template = gst_static_pad_template_get(templ);
  GstPad *pad = gst_pad_new_from_template(pad_template, name);
  gst_object_unref(pad_template);
  return pad;
}

gboolean gst_pad_set_caps(GstPad *pad, GstCaps *caps) {
  if (!pad) return 0;
  if (caps && !gst_caps_is_fixed(caps)) return 0;
  if (caps != pad->caps) gst_caps_replace(&pad->caps, caps);
  return 1;
}

}  // extern "C"
