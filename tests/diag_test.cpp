// SPDX-License-Identifier: BSD-2-Clause
// The diagnostics formatter gives the text printf would.
#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdarg>
#include <climits>
#include <cstdio>
#include <string>

#include "core/diag.h"
#include "support/host.h"

using quillar::Diag;

namespace {

std::string printed(Diag d) {
  qtest::StdoutCapture capture;
  d.print();
  return capture.text();
}

std::string with_printf(const char *format, ...) __attribute__((format(printf, 1, 2)));
std::string with_printf(const char *format, ...) {
  char out[256];
  va_list args;
  va_start(args, format);
  vsnprintf(out, sizeof out, format, args);
  va_end(args);
  return out;
}

TEST(Diag, NumbersMatchPrintfAtEveryDigitCountAndAtTheLimits) {
  const uint64_t values[] = {0, 1, 9, 10, 11, 99, 100, 101, 999, 1000, 12345, 99999, 100000, 4294967295u,
                             4294967296ull, UINT64_MAX};
  for (uint64_t v : values) {
    EXPECT_EQ(printed(Diag().text("size ").u64(v).text("\n")), with_printf("size %" PRIu64 "\n", v)) << v;
    const auto v32 = static_cast<uint32_t>(v);
    EXPECT_EQ(printed(Diag().u32(v32).text(" to adapter\n")), with_printf("%u to adapter\n", v32)) << v;
    const auto s32 = static_cast<int32_t>(v32);
    EXPECT_EQ(printed(Diag().i32(s32).text("\n")), with_printf("%d\n", s32)) << v;
  }
  EXPECT_EQ(printed(Diag().i32(INT32_MIN).text("\n")), with_printf("%d\n", INT32_MIN));
}

}  // namespace
