/* SPDX-License-Identifier: BSD-2-Clause */
/* The type registration's numbers as a fresh process sees them: the counter
 * starts at 0, a cached 0 registers again, the adapter type is always 81, and
 * a registration whose class or instance size passes 16 bits gets 0. A
 * program of its own, since the counter is process-wide. */
#include <stdio.h>

#include "quillar/gsttype.h"

static GType register_sizes(GType parent, guint class_size, guint instance_size) {
  return gst_type_register_static_full(parent, "X", class_size, NULL, NULL, NULL, NULL, NULL,
                                       instance_size, 0, NULL, NULL, 0);
}

int main(void) {
  int some_class = 0;
  const unsigned got[13] = {
      gst_static_caps_get_type(),          /* registers 0 */
      gst_static_caps_get_type(),          /* 0 was cached: registers again */
      gst_static_caps_get_type(),          /* now cached */
      gst_static_pad_template_get_type(),  /* its own cache */
      g_pointer_type_register_static("X"),
      gst_static_pad_template_get_type(),
      gst_adapter_get_type(),
      g_pointer_type_register_static("Y"),
      gst_adapter_get_type(),              /* the same number every time */
      register_sizes(80, 100, 65535),      /* parent + 1 */
      register_sizes(5, 70000, 10),        /* class too large */
      register_sizes(5, 10, 65536),        /* instance too large */
      g_type_class_peek_parent(&some_class) == NULL,
  };
  const unsigned want[13] = {0, 1, 1, 2, 3, 2, 81, 4, 81, 81, 0, 0, 1};
  int failures = 0;
  for (int i = 0; i < 13; i++) {
    if (got[i] != want[i]) {
      printf("call %d gave %u, expected %u\n", i, got[i], want[i]);
      failures++;
    }
  }
  printf("%d passed, %d failed\n", 13 - failures, failures);
  return failures ? 1 : 0;
}
