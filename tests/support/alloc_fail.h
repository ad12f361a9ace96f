// Making one allocation of the code under test fail. The test binary is
// linked with --wrap for malloc, calloc and realloc, so every call from a
// statically linked object goes through a counter first.
#pragma once

namespace qtest {

// Makes the n-th allocation from now on (1: the next one) return NULL, and
// every other one succeed. 0 disarms.
void fail_allocation(long n);
// Whether the armed failure has happened since fail_allocation.
bool allocation_failed();

}  // namespace qtest
