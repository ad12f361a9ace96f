// SPDX-License-Identifier: BSD-2-Clause
// IVF files made by ffmpeg with libvpx, checked against ffprobe's packets.
#include <gtest/gtest.h>

#include "support/interop.h"

using namespace qtest;

namespace {

using IvfInterop = MediaTest;

TEST_F(IvfInterop, Vp8FramesMatchFfprobe) {
  QTEST_REQUIRE_FFMPEG();
  const std::string f =
      make("a.ivf", "-f lavfi -i testsrc=size=320x240:rate=25 -t 3 -c:v libvpx -b:v 2M -g 10");
  expect_frames_match(f, 10, probe_packets(f));
}

TEST_F(IvfInterop, Vp9FramesMatchFfprobe) {
  QTEST_REQUIRE_FFMPEG();
  const std::string f = make(
      "b.ivf", "-f lavfi -i testsrc2=size=256x144:rate=25 -t 2 -c:v libvpx-vp9 -b:v 500k -deadline realtime");
  expect_frames_match(f, 10, probe_packets(f));
}

TEST_F(IvfInterop, LargeKeyFramesSpanSeveralReadBlocks) {
  QTEST_REQUIRE_FFMPEG();
  const std::string f = make(
      "c.ivf", "-f lavfi -i mandelbrot=size=640x480:rate=10 -t 1 -c:v libvpx -b:v 8M -g 1 -qmin 0 -qmax 4");
  std::vector<ProbePacket> packets = probe_packets(f);
  ASSERT_FALSE(packets.empty());
  EXPECT_GT(packets[0].size, 8192u) << "the test wants frames larger than a read block";
  expect_frames_match(f, 10, packets);
}

TEST_F(IvfInterop, BundledSamplesMatchFfprobe) {
  QTEST_REQUIRE_FFMPEG();
  for (const char *name : {"testsrc-vp8.ivf", "testsrc2-vp9.ivf"}) {
    const std::string f = std::string(QUILLAR_SOURCE_DIR) + "/samples/" + name;
    expect_frames_match(f, 10, probe_packets(f));
  }
}

}  // namespace
