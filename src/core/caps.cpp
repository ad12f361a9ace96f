// SPDX-License-Identifier: BSD-2-Clause
// Caps and structures: reference-counted containers with no real content.
// Caps counts are atomic: static caps are process-wide, so threads of the
// host reference the same caps at once.
#include <atomic>
#include <cstdlib>

#include "quillar/gstcaps.h"

namespace {

using Count = std::atomic_ref<guint32>;
using ArraySlot = std::atomic_ref<GPtrArray *>;
static_assert(Count::is_always_lock_free && ArraySlot::is_always_lock_free);
static_assert(alignof(GstCaps) >= ArraySlot::required_alignment);

}  // namespace

extern "C" {

GstCaps *gst_caps_new_empty(void) {
  auto *caps = static_cast<GstCaps *>(calloc(1, sizeof(GstCaps)));
  if (!caps) return nullptr;
  caps->structures = g_ptr_array_new();
  if (!caps->structures) {
    free(caps);
    return nullptr;
  }
  caps->refcount = 1;
  return caps;
}

GstCaps *gst_caps_ref(GstCaps *caps) {
  if (caps) Count(caps->refcount).fetch_add(1, std::memory_order_relaxed);
  return caps;
}

void gst_caps_unref(GstCaps *caps) {
  // A count of 0 means caps that were never set up (unused static caps) or
  // were already released: dropping it further would free static storage.
  if (!caps) return;
  Count count(caps->refcount);
  guint32 seen = count.load(std::memory_order_relaxed);
  do {
    if (seen == 0) return;
  } while (!count.compare_exchange_weak(seen, seen - 1, std::memory_order_acq_rel));
  if (seen == 1) _gst_caps_free(caps);
}

void _gst_caps_free(GstCaps *caps) {
  if (!caps) return;
  if (GPtrArray *structures = caps->structures) {
    for (guint32 i = 0; i < structures->len; i++) {
      auto *s = static_cast<GstStructure *>(structures->items[i]);
      gst_structure_set_parent_refcount(s, nullptr);
      gst_structure_free(s);
    }
    g_ptr_array_free(structures, 1);
  }
  free(caps);
}

void gst_caps_replace(GstCaps **slot, GstCaps *new_caps) {
  if (!slot || *slot == new_caps) return;
  GstCaps *old = *slot;
  *slot = gst_caps_ref(new_caps);
  gst_caps_unref(old);
}

GstCaps *gst_caps_new_simple(const gchar *media_type, const gchar *first_field, ...) {
  (void)media_type;
  (void)first_field;
  return nullptr;
}

gboolean gst_caps_is_fixed(const GstCaps *caps) {
  return caps && caps->structures && caps->structures->len == 1;
}

GstCaps *gst_static_caps_get(GstStaticCaps *static_caps) {
  if (!static_caps) return nullptr;
  GstCaps *caps = &static_caps->caps;
  Count count(caps->refcount);
  if (count.load(std::memory_order_acquire) == 0) {
    // First use, possibly in several threads at once: one array is
    // installed (the others are dropped), and the count goes from 0 to 1
    // exactly once, so every call adds exactly one reference.
    if (!static_caps->string) return nullptr;
    ArraySlot structures(caps->structures);
    if (!structures.load(std::memory_order_acquire)) {
      GPtrArray *fresh = g_ptr_array_new();
      if (!fresh) return nullptr;
      GPtrArray *none = nullptr;
      if (!structures.compare_exchange_strong(none, fresh, std::memory_order_acq_rel))
        g_ptr_array_free(fresh, 1);
    }
    guint32 unset = 0;
    count.compare_exchange_strong(unset, 1, std::memory_order_acq_rel);  // the static caps' own reference, never dropped
  }
  return gst_caps_ref(caps);
}

void gst_structure_set_parent_refcount(GstStructure *structure, gint *refcount) {
  if (!structure) return;
  if ((structure->parent_refcount == nullptr) != (refcount == nullptr))
    structure->parent_refcount = refcount;
}

void gst_structure_free(GstStructure *structure) {
  if (!structure || structure->parent_refcount) return;
  g_array_free(structure->fields, 1);
  free(structure);
}

GstStructure *gst_structure_copy(const GstStructure *structure) {
  if (!structure) return nullptr;
  const guint32 n = structure->fields ? structure->fields->len : 0;
  auto *copy = static_cast<GstStructure *>(calloc(1, sizeof(GstStructure)));
  if (!copy) return nullptr;
  copy->name = structure->name;
  copy->fields = g_array_sized_new(0, 0, sizeof(GstStructureField), n);
  if (!copy->fields) {
    free(copy);
    return nullptr;
  }
  for (guint32 i = 0; i < n; i++) {
    GstStructureField field = {};
    field.name = g_array_index(structure->fields, GstStructureField, i).name;
    g_array_append_vals(copy->fields, &field, 1);  // reserved above: cannot fail
  }
  return copy;
}

void gst_value_init_and_copy(GValue *destination, const GValue *source) {
  (void)destination;
  (void)source;
}

}  // extern "C"
