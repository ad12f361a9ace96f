// SPDX-License-Identifier: BSD-2-Clause
// Type registration: it only hands out numbers. The slots are shared by
// every thread of the host, so they are lock-free atomics (constant-
// initialised: no guard, nothing beyond the C library).
#include <atomic>

#include "quillar/gstadapter.h"
#include "quillar/gsttype.h"

namespace {

using TypeSlot = std::atomic<GType>;
static_assert(TypeSlot::is_always_lock_free);

// The process-wide slots, all 0 at load.
constinit TypeSlot next_pointer_type{0};
constinit TypeSlot static_caps_type{0};
constinit TypeSlot static_pad_template_type{0};

constexpr GType kAdapterParentType = 80;

// The class record an adapter type registers; only its size is used.
struct AdapterClass {
  gpointer parent_class;
};

// Named in the adapter's registration but never run: registration calls
// nothing, and gst_adapter_new sets every adapter up itself.
void adapter_class_init(gpointer, gpointer) {}
void adapter_init(gpointer, gpointer) {}

// Threads that find the cache empty at the same time each register a number;
// the first to store its number wins and every thread returns that one. A 0
// (the very first number of the process) is returned but not cached.
GType cached_pointer_type(TypeSlot *cache, const gchar *name) {
  GType cached = cache->load(std::memory_order_acquire);
  if (cached != 0) return cached;
  const GType fresh = g_pointer_type_register_static(name);
  if (fresh == 0) return 0;
  return cache->compare_exchange_strong(cached, fresh, std::memory_order_acq_rel) ? fresh : cached;
}

}  // namespace

extern "C" {

GType gst_type_register_static_full(GType parent_type, const gchar *type_name, guint class_size,
                                    GBaseInitFunc base_init, GBaseFinalizeFunc base_finalize,
                                    GClassInitFunc class_init, GClassFinalizeFunc class_finalize,
                                    gconstpointer class_data, guint instance_size,
                                    guint16 n_preallocs, GInstanceInitFunc instance_init,
                                    const GTypeValueTable *value_table, GTypeFlags flags) {
  (void)type_name, (void)base_init, (void)base_finalize, (void)class_init, (void)class_finalize;
  (void)class_data, (void)n_preallocs, (void)instance_init, (void)value_table, (void)flags;
  return (class_size | instance_size) <= 0xFFFFu ? parent_type + 1 : 0;
}

gpointer g_type_class_peek_parent(gpointer g_class) {
  (void)g_class;
  return nullptr;
}

GType g_pointer_type_register_static(const gchar *name) {
  (void)name;
  return next_pointer_type.fetch_add(1, std::memory_order_relaxed);
}

GType gst_static_caps_get_type(void) {
  return cached_pointer_type(&static_caps_type, "GstStaticCaps");
}

GType gst_static_pad_template_get_type(void) {
  return cached_pointer_type(&static_pad_template_type, "GstStaticPadTemplate");
}

GType gst_adapter_get_type(void) {
  return gst_type_register_static_full(
      kAdapterParentType, "GstAdapter", sizeof(AdapterClass), nullptr, nullptr,
      adapter_class_init, nullptr, nullptr, sizeof(GstAdapter), 0, adapter_init, nullptr, 0);
}

}  // extern "C"
