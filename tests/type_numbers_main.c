/* The type registration's numbers as a fresh process sees them: the counter
 * starts at 0, a cached 0 registers again, and the adapter type is always 81.
 * A program of its own, since the counter is process-wide. */
#include <stdio.h>

#include "quillar/gsttype.h"

int main(void) {
  const unsigned got[8] = {
      gst_static_caps_get_type(),          /* registers 0 */
      gst_static_caps_get_type(),          /* 0 was cached: registers again */
      gst_static_caps_get_type(),          /* now cached */
      gst_static_pad_template_get_type(),  /* its own cache */
      g_pointer_type_register_static("X"),
      gst_static_pad_template_get_type(),
      gst_adapter_get_type(),
      g_pointer_type_register_static("Y"),
  };
  const unsigned want[8] = {0, 1, 1, 2, 3, 2, 81, 4};
  int failures = 0;
  for (int i = 0; i < 8; i++) {
    if (got[i] != want[i]) {
      printf("call %d gave %u, expected %u\n", i, got[i], want[i]);
      failures++;
    }
  }
  printf("%d passed, %d failed\n", 8 - failures, failures);
  return failures ? 1 : 0;
}
