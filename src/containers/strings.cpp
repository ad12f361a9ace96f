// SPDX-License-Identifier: BSD-2-Clause
// String and memory helpers.
#include <cstdlib>
#include <cstring>

#include "quillar/garray.h"

extern "C" {

gchar *g_strndup(const gchar *text, gsize n) {
  if (!text) return nullptr;
  const size_t k = strnlen(text, n);
  if (k == SIZE_MAX) return nullptr;
  auto *copy = static_cast<gchar *>(malloc(k + 1));
  if (!copy) return nullptr;
  memcpy(copy, text, k);
  copy[k] = '\0';
  return copy;
}

gchar *g_strdup(const gchar *text) { return text ? g_strndup(text, strlen(text)) : nullptr; }

gpointer g_memdup(gconstpointer source, guint size) {
  if (!source) return nullptr;
  void *copy = malloc(size);
  if (copy && size) memcpy(copy, source, size);
  return copy;
}

gpointer _g_new0(gsize element_size, gsize count) {
  if (element_size == 0 || count == 0) return nullptr;
  gsize bytes = 0;
  if (__builtin_mul_overflow(element_size, count, &bytes)) return nullptr;
  return calloc(1, bytes);
}

gpointer _g_try_renew(gpointer memory, gsize a, gsize b) {
  gsize bytes = 0;
  if (__builtin_mul_overflow(a, b, &bytes)) return nullptr;  // memory left as it was
  return realloc(memory, bytes);
}

gboolean g_str_has_prefix(const gchar *text, const gchar *prefix) {
  if (!text || !prefix) return 0;
  return strncmp(text, prefix, strlen(prefix)) == 0 ? 1 : 0;
}

}  // extern "C"
