// SPDX-License-Identifier: BSD-2-Clause
// Drives the four host calls over an in-memory file for one video standard
// code (QFUZZ_STANDARD). The input's last two bytes choose the host buffer
// capacity, from 1 byte up to whole items; the number of calls is bounded.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "quillar/gstparser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static bool quiet = freopen("/dev/null", "w", stdout) != nullptr;
  (void)quiet;
  if (size < 2) return 0;
  const uint16_t selector = static_cast<uint16_t>(data[size - 2] | data[size - 1] << 8);
  size -= 2;
  // "Whole items": no item made from this file is longer than the file
  // (bar an ASF object declared larger than its fragments, which then comes
  // out in pieces); a fixed multi-MiB buffer would cost more than the parse.
  const uint32_t capacity =
      selector >= 0xF000 ? static_cast<uint32_t>(size + 64) : 1u + selector % 9000u;
  // A private copy so that reads past the file's end cannot hit the
  // selector bytes unnoticed.
  auto *file_bytes = static_cast<uint8_t *>(malloc(size ? size : 1));
  if (size) memcpy(file_bytes, data, size);
  FILE *f = size ? fmemopen(file_bytes, size, "rb") : tmpfile();
  if (!f) {
    free(file_bytes);
    return 0;
  }
  ParserContext *ctx = nullptr;
  GSTPARSER_Initialise(&ctx, QFUZZ_STANDARD, f);
  if (ctx) {
    auto *buffer = static_cast<uint8_t *>(malloc(capacity));
    uint32_t cap = capacity;
    // Every call either hands out bytes, reads the file or ends; a file of
    // n bytes can need at most about n / capacity + items calls. Tiny
    // capacities are there to split items, which a few thousand calls do
    // as well as a million. Chain errors may repeat (the host may call
    // again), so they are bounded too.
    const size_t budget = capacity < 64 ? 4096 : 4 * size + 64;
    int errors = 0;
    for (size_t calls = 0; calls < budget; calls++) {
      BitStrBufInfo info;
      const int32_t r = GSTPARSER_BitStrBufFill(ctx, buffer, &cap, &info);
      if (r == PARSER_OK) {
        if (info.copied_bytes > capacity || info.frame_complete > 1) abort();
        if (info.buffer_kind != 1 && info.buffer_kind != 2) abort();
        continue;
      }
      if (r == PARSER_END_OF_STREAM) break;
      if (r != PARSER_ERROR_CHAIN || ++errors > 3) break;
    }
    uint32_t config[2];
    GSTPARSER_GetCodecConfig(ctx, config);
    GSTPARSER_Deinitialise(ctx);
    free(buffer);
  }
  fclose(f);
  free(file_bytes);
  return 0;
}
