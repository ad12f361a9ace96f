// SPDX-License-Identifier: BSD-2-Clause
// The bundled RCV and VP6 samples: they are what the writers make, ffprobe
// reads the RCV one the same way, and the quillar host shows codec data and
// skipped frames for them.
#include <gtest/gtest.h>

#include "support/interop.h"
#include "support/samples.h"

using namespace qtest;

namespace {

std::string sample(const char *name) { return std::string(QUILLAR_SOURCE_DIR) + "/samples/" + name; }

TEST(FramerSamples, BundledFilesAreWhatTheWritersMake) {
  EXPECT_TRUE(read_bytes(sample("filler-176x144.rcv")) == sample_rcv())
      << "regenerate with: build/default/tests/make_samples samples";
  EXPECT_TRUE(read_bytes(sample("filler.vp6")) == sample_vp6());
  EXPECT_TRUE(read_bytes(sample("filler-vp6.flv")) == sample_flv());
}

TEST(FramerSamples, RcvMatchesFfprobesVc1TestDemuxer) {
  QTEST_REQUIRE_FFMPEG();
  const std::string f = sample("filler-176x144.rcv");
  std::vector<ProbePacket> packets = probe_packets(f, "-f vc1test");
  // ffprobe reports a zero-size record as an empty packet; it is a skipped
  // frame here.
  std::vector<ProbePacket> frames;
  for (const ProbePacket &p : packets)
    if (p.size) frames.push_back(p);
  ASSERT_EQ(packets.size() - frames.size(), 1u);
  expect_frames_match(f, 5, frames);

  HostRun r = run_host_file(f, 5, 4096);
  ASSERT_FALSE(r.items.empty());
  EXPECT_EQ(r.items[0].kind, 2u);
  EXPECT_EQ(r.items[0].data, probe_extradata(f, 0));
  uint32_t skipped = r.end_skipped;
  for (const Item &item : r.items) skipped += item.skipped;
  EXPECT_EQ(skipped, 1u);
  EXPECT_EQ(r.config[0], 144u);
  EXPECT_EQ(r.config[1], 176u);
}

TEST(FramerSamples, Vp6GivesEveryFrameAndCountsEverySkip) {
  HostRun r;
  {
    StdoutCapture quiet;
    r = run_host_all_capacities(sample_vp6(), 9);
  }
  ASSERT_EQ(r.items.size(), 10u);
  EXPECT_EQ(r.items[3].skipped, 2u);
  EXPECT_EQ(r.items[3].data.size(), 12000u);
  EXPECT_EQ(r.end_skipped, 1u);
}

TEST(FramerSamples, HostToolShowsCodecConfigAndSkippedFrames) {
  std::string out;
  ASSERT_EQ(run_command(std::string(QUILLAR_TOOL_COMMAND) + " " + sample("filler-176x144.rcv") + " " +
                            sample("filler.vp6"),
                        &out),
            0)
      << out;
  EXPECT_NE(out.find("RCV, video standard 5"), std::string::npos) << out;
  EXPECT_NE(out.find("       0  codec           4        0  "), std::string::npos) << out;
  EXPECT_NE(out.find("codec configuration: 176x144 (width x height)"), std::string::npos) << out;
  EXPECT_NE(out.find("12 items (11 frames, 1 codec), 17555 bytes, 1 skipped frame, end of stream, "
                     "coded size 176x144"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("       3  frame       12000        2  "), std::string::npos) << out;
  EXPECT_NE(out.find("          end of stream: 1 skipped frame\n"), std::string::npos) << out;
  EXPECT_NE(out.find("10 items (10 frames, 0 codec), 20411 bytes, 3 skipped frames"), std::string::npos)
      << out;
}

}  // namespace
