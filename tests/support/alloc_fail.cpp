#include "support/alloc_fail.h"

#include <cstddef>

extern "C" {
void *__real_malloc(size_t size);
void *__real_calloc(size_t count, size_t size);
void *__real_realloc(void *memory, size_t size);
}

namespace {

long g_countdown = 0;
bool g_failed = false;

bool fail_now() {
  if (g_countdown <= 0) return false;
  if (--g_countdown > 0) return false;
  g_failed = true;
  return true;
}

}  // namespace

namespace qtest {

void fail_allocation(long n) {
  g_countdown = n;
  g_failed = false;
}

bool allocation_failed() { return g_failed; }

}  // namespace qtest

extern "C" {
void *__wrap_malloc(size_t size) { return fail_now() ? nullptr : __real_malloc(size); }
void *__wrap_calloc(size_t count, size_t size) {
  return fail_now() ? nullptr : __real_calloc(count, size);
}
void *__wrap_realloc(void *memory, size_t size) {
  return fail_now() ? nullptr : __real_realloc(memory, size);
}
}
