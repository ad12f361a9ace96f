// SPDX-License-Identifier: BSD-2-Clause
// Growable arrays and pointer arrays.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "quillar/garray.h"

namespace {

// Grows the storage for n more elements (plus the terminator). Sizes are
// computed in 64 bits; a size past the limit, or a failed realloc, leaves the
// array as it was and returns false.
bool grow(GArray *a, guint n) {
  const uint64_t want =
      static_cast<uint64_t>(a->element_size) * (static_cast<uint64_t>(a->len) + n + (a->terminator ? 1 : 0));
  if (a->allocated_bytes >= want) return true;
  if (want > QUILLAR_GARRAY_MAX_BYTES) return false;
  uint64_t size = 16;
  while (size < want) size <<= 1;
  auto *data = static_cast<gchar *>(realloc(a->data, size));
  if (!data) return false;
  memset(data + a->allocated_bytes, 0, size - a->allocated_bytes);
  a->data = data;
  a->allocated_bytes = static_cast<guint32>(size);
  return true;
}

void zero_terminator(GArray *a) {
  if (a->terminator) memset(a->data + static_cast<size_t>(a->len) * a->element_size, 0, a->element_size);
}

}  // namespace

extern "C" {

GArray *g_array_sized_new(gboolean zero_terminated, gboolean clear, guint element_size,
                          guint reserve_count) {
  if (element_size == 0) return nullptr;
  auto *a = static_cast<GArray *>(calloc(1, sizeof(GArray)));
  if (!a) return nullptr;
  a->element_size = element_size;
  a->terminator = zero_terminated ? 1 : 0;
  a->clear_new = clear ? 1 : 0;
  if (reserve_count != 0 || a->terminator) {
    if (!grow(a, reserve_count)) {
      free(a);
      return nullptr;
    }
    zero_terminator(a);
  }
  return a;
}

GArray *g_array_new(gboolean zero_terminated, gboolean clear, guint element_size) {
  return g_array_sized_new(zero_terminated, clear, element_size, 0);
}

GArray *g_array_append_vals(GArray *array, gconstpointer values, guint n) {
  if (!array || (n != 0 && !values) || !grow(array, n)) return array;
  const size_t bytes = static_cast<size_t>(n) * array->element_size;
  if (bytes) memcpy(array->data + static_cast<size_t>(array->len) * array->element_size, values, bytes);
  array->len += n;
  zero_terminator(array);
  return array;
}

GArray *g_array_remove_index(GArray *array, guint index) {
  if (!array || index >= array->len) return nullptr;
  const size_t es = array->element_size;
  if (index != array->len - 1)
    memmove(array->data + index * es, array->data + (index + 1) * es, (array->len - index - 1) * es);
  array->len--;
  zero_terminator(array);
  return array;
}

gchar *g_array_free(GArray *array, gboolean free_data) {
  if (!array) return nullptr;
  gchar *data = array->data;
  free(array);
  if (free_data) {
    free(data);
    return nullptr;
  }
  return data;
}

GPtrArray *g_ptr_array_sized_new(guint reserve_count) {
  (void)reserve_count;
  return static_cast<GPtrArray *>(calloc(1, sizeof(GPtrArray)));
}

GPtrArray *g_ptr_array_new(void) { return g_ptr_array_sized_new(0); }

void g_ptr_array_foreach(GPtrArray *array, GFunc func, gpointer user_data) {
  if (!array || !func) return;
  for (guint32 i = 0; i < array->len; i++) func(array->items[i], user_data);
}

gpointer *g_ptr_array_free(GPtrArray *array, gboolean free_items) {
  if (!array) return nullptr;
  gpointer *items = array->items;
  if (free_items) {
    if (array->element_free) {
      g_ptr_array_foreach(array, [](gpointer data, gpointer self) {
        static_cast<GPtrArray *>(self)->element_free(data);
      }, array);
    }
    free(items);
    items = nullptr;
  }
  free(array);
  return items;
}

}  // extern "C"
