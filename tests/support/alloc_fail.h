// SPDX-License-Identifier: BSD-2-Clause
// Making the C allocator fail on purpose. The test executable is linked with
// malloc, calloc and realloc wrapped (see tests/CMakeLists.txt), so every
// allocation the library's objects make passes through a countdown here.
#pragma once

#include <cstddef>

namespace qtest {

// While alive, the n-th allocation from now (0: the next one) fails, once.
class FailAllocation {
 public:
  explicit FailAllocation(long n);
  ~FailAllocation();
  bool triggered() const;  // whether the failure has happened
};

// Allocations made by code compiled into the test executable so far.
size_t allocation_count();

// The same countdown without a scope: the n-th allocation from now on (1: the
// next one) fails; 0 disarms. allocation_failed() tells whether it happened.
void fail_allocation(long n);
bool allocation_failed();

}  // namespace qtest
