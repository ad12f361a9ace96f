// SPDX-License-Identifier: BSD-2-Clause
#include "support/alloc_fail.h"

#include <atomic>
#include <cstdlib>

extern "C" {
void *__real_malloc(size_t size);
void *__real_calloc(size_t count, size_t size);
void *__real_realloc(void *p, size_t size);
}

namespace {

// Atomic because the threaded tests allocate from many threads at once (a
// countdown is only ever set by single-threaded tests).
std::atomic<long> g_countdown{-1};  // negative: no failure pending
std::atomic<bool> g_triggered{false};
std::atomic<size_t> g_count{0};

bool should_fail() {
  g_count.fetch_add(1, std::memory_order_relaxed);
  if (g_countdown.load(std::memory_order_relaxed) < 0) return false;
  if (g_countdown.fetch_sub(1, std::memory_order_relaxed) > 0) return false;
  g_triggered = true;
  return true;
}

}  // namespace

extern "C" {
void *__wrap_malloc(size_t size) { return should_fail() ? nullptr : __real_malloc(size); }
void *__wrap_calloc(size_t count, size_t size) {
  return should_fail() ? nullptr : __real_calloc(count, size);
}
void *__wrap_realloc(void *p, size_t size) {
  return should_fail() ? nullptr : __real_realloc(p, size);
}
}

namespace qtest {

FailAllocation::FailAllocation(long n) {
  g_countdown = n;
  g_triggered = false;
}
FailAllocation::~FailAllocation() { g_countdown = -1; }
bool FailAllocation::triggered() const { return g_triggered; }
size_t allocation_count() { return g_count; }

void fail_allocation(long n) {
  g_countdown = n > 0 ? n - 1 : -1;
  g_triggered = false;
}
bool allocation_failed() { return g_triggered; }

}  // namespace qtest
