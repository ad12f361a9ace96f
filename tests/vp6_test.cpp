// SPDX-License-Identifier: BSD-2-Clause
// The size-prefixed VP6 framer.
#include <gtest/gtest.h>

#include "parsers/vp6/vp6parse.h"
#include "quillar/gstparser.h"
#include "support/chain_driver.h"
#include "support/host.h"
#include "support/vp6_writer.h"

using namespace qtest;

namespace {

constexpr uint32_t kVp6 = 9;

using Vp6 = ChainDriver<quillar::Vp6ParseState, quillar::kVp6Format>;

TEST(Vp6Stream, FramesAndSkipCountsAtEveryCapacity) {
  Vp6Writer vp6;
  vp6.skipped(2).frame(pattern(10, 1));            // counted with the first frame
  vp6.frame(pattern(20000, 2)).frame(pattern(8188, 3));  // straddle read blocks
  vp6.skipped().frame(pattern(1, 4)).skipped(3);    // trailing ones: with end of stream
  HostRun r;
  {
    StdoutCapture quiet;
    r = run_host_all_capacities(vp6.take(), kVp6);
  }
  ASSERT_EQ(r.end, PARSER_END_OF_STREAM);
  ASSERT_EQ(r.items.size(), 4u);
  const size_t sizes[] = {10, 20000, 8188, 1};
  const uint32_t skipped[] = {2, 0, 0, 1};
  for (size_t i = 0; i < 4; i++) {
    EXPECT_EQ(r.items[i].kind, static_cast<uint32_t>(BUFFER_KIND_FRAME));
    EXPECT_TRUE(r.items[i].data == pattern(sizes[i], static_cast<uint32_t>(i + 1))) << i;
    EXPECT_EQ(r.items[i].skipped, skipped[i]) << i;
  }
  EXPECT_EQ(r.end_skipped, 3u);
  EXPECT_EQ(r.config_result, PARSER_ERROR_NOT_READY);
}

TEST(Vp6Stream, MessagesAreExact) {
  StdoutCapture out;
  HostRun r = run_host(Vp6Writer().skipped().frame(pattern(10, 1)).bytes({1, 2}).take(), kVp6, 64);
  EXPECT_EQ(r.items.size(), 1u);
  EXPECT_EQ(out.text(),
            "Header Data Not yet available\n"  // the first call's drain, before any read
            "In VP6 Pushing buffer of size 20 to adapter\n"
            "Found a Skipped frame as frame size is 0\n"
            "Found a frame of size 10\n"
            "Header Data Not yet available\n"  // two bytes left: end of stream
            "Trying to get codec config when it is not ready\n");  // the harness asks

  Vp6 p;
  StdoutCapture waiting;
  EXPECT_EQ(p.push(Vp6Writer().size_field(20000).bytes(pattern(8188, 1)).take()), CHAIN_OK);
  EXPECT_EQ(waiting.text(), "In VP6 Pushing buffer of size 8192 to adapter\nFrame Data Not yet available\n");
}

TEST(Vp6Stream, UnbufferableSizeReleasesTheRestOfTheFile) {
  Vp6 p;
  StdoutCapture out;
  EXPECT_EQ(p.push(Vp6Writer().frame(pattern(10, 1)).size_field(0xFFFFFFFCu).bytes(pattern(100, 2)).take()),
            CHAIN_OK);
  EXPECT_EQ(p.take_frames().size(), 1u);
  EXPECT_EQ(p.drain(), CHAIN_OK);
  EXPECT_EQ(p.available(), 0u) << "the pushed input is released";
  for (int i = 0; i < 3; i++) {
    EXPECT_EQ(p.push(pattern(8192, 3)), CHAIN_OK);
    EXPECT_EQ(p.available(), 0u);
  }
  EXPECT_TRUE(p.take_frames().empty());
  EXPECT_NE(out.text().find("In VP6 Pushing buffer of size 8192 to adapter\nFrame Data Not yet available\n"),
            std::string::npos);

  // One byte less can still be buffered: the data is kept.
  Vp6 q;
  EXPECT_EQ(q.push(Vp6Writer().size_field(0xFFFFFFFBu).bytes(pattern(100, 2)).take()), CHAIN_OK);
  EXPECT_EQ(q.available(), 104u);

  // Through the host the stream simply ends after the frames before it.
  Bytes file = Vp6Writer().frame(pattern(10, 1)).size_field(0xFFFFFFFFu).bytes(pattern(30000, 2)).take();
  HostRun r = run_host(file, kVp6, 4096);
  EXPECT_EQ(r.end, PARSER_END_OF_STREAM);
  EXPECT_EQ(r.items.size(), 1u);
}

}  // namespace
