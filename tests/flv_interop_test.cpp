// SPDX-License-Identifier: BSD-2-Clause
// FLV files written by the project's writer (ffmpeg cannot encode VP6), and
// one written by ffmpeg, against ffprobe's packets.
#include <gtest/gtest.h>

#include "quillar/gstparser.h"
#include "support/interop.h"
#include "support/samples.h"

using namespace qtest;

namespace {

constexpr uint32_t kVp6 = 9;

std::vector<ProbePacket> video_packets(const std::string &path, const std::string &extra = "") {
  std::vector<ProbePacket> video;
  for (const ProbePacket &p : probe_packets(path, extra))
    if (p.codec_type == "video") video.push_back(p);
  return video;
}

class FlvInterop : public MediaTest {
 protected:
  std::string write(const std::string &name, const Bytes &file) {
    write_file(path(name), file);
    return path(name);
  }
  void expect_matches(const std::string &name, const Bytes &file, const std::string &extra = "") {
    StdoutCapture quiet;
    const std::string f = write(name, file);
    expect_frames_match(f, kVp6, video_packets(f, extra));
  }
};

TEST_F(FlvInterop, BundledSampleMatchesFfprobe) {
  QTEST_REQUIRE_FFMPEG();
  const std::string f = std::string(QUILLAR_SOURCE_DIR) + "/samples/filler-vp6.flv";
  StdoutCapture quiet;
  const std::vector<ProbePacket> packets = video_packets(f);
  EXPECT_EQ(packets.size(), 10u);
  expect_frames_match(f, kVp6, packets);
}

// Frames larger than a read block, a large script tag, times past 24 bits,
// command frames and tags too short to hold a frame.
TEST_F(FlvInterop, WrittenFilesMatchFfprobe) {
  QTEST_REQUIRE_FFMPEG();
  FlvWriter flv;
  flv.script(flv_metadata(1, 64, 48, 4));
  const uint32_t sizes[] = {9000, 300, 20000, 1, 77, 8190};
  uint32_t time = 0xFFFF00;
  for (uint32_t i = 0; i < 6; i++) {
    flv.video(flv_vp6(pattern(sizes[i], i), i % 3 == 0 ? 1 : 2, 0x0F), time);
    if (i == 1)  // a long string value
      flv.script(Writer().u8(2).be16(6).raw("onCue!", 6).u8(12).be32(30000).fill(30000, 'x').take());
    if (i == 2) flv.video({0x54, 0x00}, time);
    if (i == 3) flv.video({0x24}, time);
    flv.audio(flv_audio(pattern(512, 40 + i)), time);
    time += 0x11111;
  }
  expect_matches("mixed.flv", flv.take());
}

// ffprobe's VP6-alpha packet is OffsetToAlpha and both frames; the item is
// the colour frame alone.
TEST_F(FlvInterop, AlphaItemsAreTheColourFramesOfFfprobesPackets) {
  QTEST_REQUIRE_FFMPEG();
  FlvWriter flv;
  std::vector<Bytes> colour, whole;
  for (uint32_t i = 0; i < 4; i++) {
    colour.push_back(pattern(2000 + i * 3000, i));
    const Bytes data = flv_vp6_alpha(colour.back(), pattern(700 + i, 10 + i), i ? 2 : 1);
    whole.emplace_back(data.begin() + 2, data.end());
    flv.video(data, i * 40).audio(flv_audio(pattern(100, i)), i * 40);
  }
  const std::string f = write("alpha.flv", flv.take());
  const std::vector<ProbePacket> packets = video_packets(f);
  ASSERT_EQ(packets.size(), 4u);
  StdoutCapture quiet;
  const HostRun r = run_host_all_capacities(read_bytes(f), kVp6);
  ASSERT_EQ(r.items.size(), 4u);
  for (size_t i = 0; i < 4; i++) {
    EXPECT_EQ(packets[i].md5, md5_hex(whole[i])) << i;
    EXPECT_TRUE(r.items[i].data == colour[i]) << i;
  }
}

// Back-pointers that disagree with the tags: ffprobe by default gives up at
// the first one and loses the tags after it; told to ignore them it reads
// what the tags say, as the library does.
TEST_F(FlvInterop, WrongBackPointersAreIgnoredAsFfprobeIgnoresThemWhenAsked) {
  QTEST_REQUIRE_FFMPEG();
  FlvWriter flv;
  for (uint32_t i = 0; i < 6; i++) {
    FlvTag video{9, flv_vp6(pattern(100 + i, i), i ? 2 : 1), i * 40};
    video.back_pointer = i % 2 ? 0 : 102 + i;  // zero, or DataSize without the header
    flv.tag(video).audio(flv_audio(pattern(64, 9)), i * 40);
  }
  expect_matches("back-pointers.flv", flv.take(), "-flv_ignore_prevtag 1");
}

// A real FLV file (Sorenson H.263 and MP3, by ffmpeg) has no VP6 frame:
// nothing comes out, nothing is counted as skipped, the stream ends.
TEST_F(FlvInterop, FfmpegsH263FileGivesNoItems) {
  QTEST_REQUIRE_FFMPEG();
  const std::string f = make("h263.flv",
                             "-f lavfi -i testsrc=size=176x144:rate=15 -f lavfi -i sine=sample_rate=22050 "
                             "-t 1 -c:v flv1 -c:a libmp3lame");
  ASSERT_EQ(video_packets(f).size(), 15u);
  StdoutCapture quiet;
  const HostRun r = run_host_all_capacities(read_bytes(f), kVp6);
  EXPECT_EQ(r.end, PARSER_END_OF_STREAM);
  EXPECT_TRUE(r.items.empty());
  EXPECT_EQ(r.end_skipped, 0u);
}

// The host tool tells FLV by its signature and shows the same frames and
// skipped-frame count as for the size-prefixed VP6 sample.
TEST(FlvTool, DetectsFlvAndGivesTheVp6SamplesFrames) {
  const std::string dir = std::string(QUILLAR_SOURCE_DIR) + "/samples/";
  std::string out;
  ASSERT_EQ(run_command(std::string(QUILLAR_TOOL_COMMAND) + " " + dir + "filler-vp6.flv", &out), 0) << out;
  EXPECT_NE(out.find("FLV, video standard 9"), std::string::npos) << out;
  EXPECT_NE(out.find("10 items (10 frames, 0 codec), 20411 bytes, 3 skipped frames, end of stream"),
            std::string::npos)
      << out;
}

}  // namespace
