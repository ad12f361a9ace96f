// SPDX-License-Identifier: BSD-2-Clause
// Regression tests for items that used to vanish when memory ran out: the
// run went on and reached the end of the stream with an item missing, so
// what the host got was no longer a prefix of the file's items. Each sweep
// makes every allocation of a run fail in turn.
#include <gtest/gtest.h>

#include "quillar/gstparser.h"
#include "support/alloc_fail.h"
#include "support/asf_writer.h"
#include "support/avi_writer.h"
#include "support/host.h"

using namespace qtest;

namespace {

// Returns how many runs ended with PARSER_ERROR_CHAIN.
int sweep_for_prefix(const Bytes &file, uint32_t standard) {
  HostRun clean;
  {
    StdoutCapture quiet;
    clean = run_host(file, standard, 4096);
  }
  EXPECT_EQ(clean.end, PARSER_END_OF_STREAM);
  int errors = 0;
  for (long n = 0;; n++) {
    HostRun r;
    {
      StdoutCapture quiet;
      FailAllocation fail(n);
      r = run_host(file, standard, 4096);
      if (!fail.triggered()) break;
    }
    if (!r.initialised) continue;
    errors += r.end == PARSER_ERROR_CHAIN;
    if (r.end == PARSER_END_OF_STREAM) {
      EXPECT_EQ(r.items.size(), clean.items.size()) << "allocation " << n;
    }
    for (size_t i = 0; i < r.items.size() && i < clean.items.size(); i++)
      EXPECT_TRUE(r.items[i].data == clean.items[i].data) << "allocation " << n << ", item " << i;
  }
  return errors;
}

// A stream list whose sub-chunk, or whose stream header copy, could not be
// allocated used to reject the stream as if the file were bad; its chunks
// then silently went missing from the output.
TEST(AviOutOfMemory, StreamRecordThatCannotBeAllocatedFailsTheHeaderInsteadOfLosingTheStream) {
  avi::File f = avi::av_file();
  f.movi = {avi::chunk("00dc", pattern(60, 1)), avi::chunk("01wb", pattern(20, 2)),
            avi::chunk("00dc", pattern(70, 3))};
  EXPECT_GT(sweep_for_prefix(f.build(), 8), 0);
}

// A media object whose assembly buffer (or queue slot) could not be
// allocated used to be dropped while the packets after it went on.
TEST(AsfOutOfMemory, MediaObjectThatCannotBeAllocatedFailsTheCallInsteadOfVanishing) {
  AsfFile f;
  f.packet_size = 128;
  f.header_objects = asf_usual_header(f.packet_size, {1, 2, 3, 4});
  AsfLayout multiple;
  multiple.multiple = true;
  f.packets_from(asf_packetize({{1, pattern(300, 4)}, {1, pattern(30, 5)}, {1, pattern(250, 6)}},
                               f.packet_size, multiple));
  AsfPayload compressed;
  compressed.replicated_length = 1;
  compressed.data = Writer().u8(5).bytes(pattern(5, 7)).u8(9).bytes(pattern(9, 8)).take();
  f.packets_from({asf_packet(f.packet_size, multiple, {compressed})});
  EXPECT_GT(sweep_for_prefix(f.build(), 5), 0);
}

}  // namespace
