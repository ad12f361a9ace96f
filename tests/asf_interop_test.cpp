// SPDX-License-Identifier: BSD-2-Clause
// ASF/WMV files made by ffmpeg, checked against ffprobe's video packets and
// the video stream's extradata.
#include <gtest/gtest.h>

#include <algorithm>

#include "quillar/gstparser.h"
#include "support/interop.h"

using namespace qtest;

namespace {

using AsfInterop = MediaTest;

std::vector<ProbePacket> video_packets(const std::string &path) {
  std::vector<ProbePacket> all = probe_packets(path), video;
  for (const ProbePacket &p : all)
    if (p.codec_type == "video") video.push_back(p);
  return video;
}

std::vector<const Item *> frames_of(const HostRun &r) {
  std::vector<const Item *> frames;
  for (const Item &i : r.items)
    if (i.kind == BUFFER_KIND_FRAME) frames.push_back(&i);
  return frames;
}

// Frames against ffprobe's video packets; the codec item (if the stream has
// extradata) against the extradata, ahead of every frame.
void expect_matches(const std::string &path, const std::vector<uint32_t> &capacities) {
  const std::vector<ProbePacket> expected = video_packets(path);
  const Bytes extradata = probe_extradata(path, 0);
  ASSERT_FALSE(expected.empty()) << path;
  const Bytes file = read_bytes(path);
  for (uint32_t capacity : capacities) {
    const std::string what = path + " at capacity " + std::to_string(capacity);
    HostRun r = run_host(file, 5, capacity);
    EXPECT_EQ(r.end, PARSER_END_OF_STREAM) << what;
    ASSERT_FALSE(r.items.empty()) << what;
    if (extradata.empty()) {
      EXPECT_EQ(r.items[0].kind, static_cast<uint32_t>(BUFFER_KIND_FRAME)) << what;
    } else {
      EXPECT_EQ(r.items[0].kind, static_cast<uint32_t>(BUFFER_KIND_CODEC_DATA)) << what;
      EXPECT_EQ(r.items[0].data, extradata) << what;
      EXPECT_EQ(r.config_result, PARSER_OK) << what;
    }
    const std::vector<const Item *> frames = frames_of(r);
    ASSERT_EQ(frames.size(), expected.size()) << what;
    for (size_t i = 0; i < frames.size(); i++) {
      EXPECT_EQ(frames[i]->data.size(), expected[i].size) << what << " frame " << i;
      EXPECT_EQ(md5_hex(frames[i]->data), expected[i].md5) << what << " frame " << i;
    }
  }
}

size_t find(const Bytes &file, const char *hex_guid, size_t from = 0) {
  Bytes guid;
  for (const char *p = hex_guid; *p; p += 2) guid.push_back(static_cast<uint8_t>(std::stoul(std::string(p, 2), nullptr, 16)));
  return static_cast<size_t>(std::search(file.begin() + from, file.end(), guid.begin(), guid.end()) - file.begin());
}

uint32_t le32_at(const Bytes &b, size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

// The muxer ends even a piped file with a simple index object; cut it off so
// that the next file's header starts at a packet boundary.
void strip_index(Bytes *file) {
  const size_t props = find(*file, "A1DCAB8C47A9CF118EE400C00C205365");
  const size_t data = find(*file, "3626B2758E66CF11A6D900AA0062CE6C");
  ASSERT_LT(props, file->size());
  ASSERT_LT(data, file->size());
  const uint32_t packet_size = le32_at(*file, props + 96);
  size_t end = data + 50;
  while (end + packet_size <= file->size() && find(*file, "90080033B1E5CF1189F400A0C90349CB", end) != end)
    end += packet_size;
  file->resize(end);
}

const std::vector<uint32_t> kAll = {1, 7, 4096, 1u << 24};
const std::vector<uint32_t> kNoSingleBytes = {7, 4096, 1u << 24};

TEST_F(AsfInterop, Wmv2WithAudio) {
  QTEST_REQUIRE_FFMPEG();
  const std::string f = make("a.wmv",
                             "-f lavfi -i testsrc=size=176x144:rate=15:duration=1 -f lavfi -i sine=duration=1 "
                             "-c:v wmv2 -c:a wmav2");
  ASSERT_EQ(probe_extradata(f, 0).size(), 4u);
  expect_matches(f, kAll);
}

TEST_F(AsfInterop, Wmv1WithoutAudioHasNoCodecItem) {
  QTEST_REQUIRE_FFMPEG();
  const std::string f = make("b.wmv", "-f lavfi -i testsrc2=size=160x120:rate=15:duration=1 -c:v wmv1");
  expect_matches(f, kAll);
}

TEST_F(AsfInterop, HighBitrateObjectsSpanSeveralPackets) {
  QTEST_REQUIRE_FFMPEG();
  const std::string f = make("c.wmv",
                             "-f lavfi -i testsrc2=size=320x240:rate=25:duration=1 -f lavfi -i sine=duration=1 "
                             "-c:v wmv2 -b:v 8M -g 5 -c:a wmav2");
  const std::vector<ProbePacket> video = video_packets(f);
  ASSERT_FALSE(video.empty());
  EXPECT_GT(std::max_element(video.begin(), video.end(),
                             [](const ProbePacket &a, const ProbePacket &b) { return a.size < b.size; })
                ->size,
            8192u)
      << "the test wants objects larger than a read block and than a packet";
  expect_matches(f, kNoSingleBytes);
}

TEST_F(AsfInterop, NonDefaultPacketSize) {
  QTEST_REQUIRE_FFMPEG();
  const std::string f = make("d.wmv",
                             "-f lavfi -i testsrc=size=176x144:rate=15:duration=1 -f lavfi -i sine=duration=1 "
                             "-c:v wmv1 -c:a wmav2 -packet_size 1000");
  expect_matches(f, kAll);
}

// Written to a pipe, the muxer marks the file as broadcast with no packet
// count; two such files back to back restart at the second header.
TEST_F(AsfInterop, BroadcastFilesAndARestart) {
  QTEST_REQUIRE_FFMPEG();
  const std::string a = path("a.asf"), b = path("b.asf");
  std::string log;
  ASSERT_EQ(run_command("ffmpeg -nostdin -hide_banner -loglevel error -f lavfi "
                        "-i testsrc=size=176x144:rate=15:duration=1 -c:v wmv2 -f asf - > '" + a + "'", &log), 0)
      << log;
  ASSERT_EQ(run_command("ffmpeg -nostdin -hide_banner -loglevel error -f lavfi "
                        "-i testsrc2=size=128x96:rate=10:duration=1 -c:v wmv2 -packet_size 2000 -f asf - > '" + b + "'",
                        &log), 0)
      << log;
  expect_matches(a, kAll);

  std::vector<ProbePacket> expected = video_packets(a);
  const std::vector<ProbePacket> second = video_packets(b);
  expected.insert(expected.end(), second.begin(), second.end());
  Bytes both = read_bytes(a);
  strip_index(&both);
  const Bytes tail = read_bytes(b);
  both.insert(both.end(), tail.begin(), tail.end());
  HostRun r = run_host_all_capacities(both, 5);
  EXPECT_EQ(r.end, PARSER_END_OF_STREAM);
  const std::vector<const Item *> frames = frames_of(r);
  ASSERT_EQ(frames.size(), expected.size());
  for (size_t i = 0; i < frames.size(); i++) EXPECT_EQ(md5_hex(frames[i]->data), expected[i].md5) << i;
  EXPECT_EQ(r.items.size(), frames.size() + 2) << "one codec item per segment";
  EXPECT_EQ(r.config[1], 128u) << "the frame size of the second segment";
}

// probe_extradata reads ffprobe's hex dump: its bytes must be as many as
// ffprobe's extradata_size and must appear in the file as they are.
TEST_F(AsfInterop, ExtradataHexDumpIsReadExactly) {
  QTEST_REQUIRE_FFMPEG();
  const std::string f = make("e.avi", "-f lavfi -i testsrc=size=64x64:rate=5:duration=1 -c:v mpeg4");
  std::string log;
  run_command("ffprobe -v error -select_streams 0 -show_entries stream=extradata_size -of csv=p=0 '" + f + "'", &log);
  const Bytes extradata = probe_extradata(f, 0);
  ASSERT_EQ(extradata.size(), std::stoul(log)) << "odd-length and multi-line dumps";
  ASSERT_GT(extradata.size(), 16u);
  const Bytes file = read_bytes(f);
  EXPECT_NE(std::search(file.begin(), file.end(), extradata.begin(), extradata.end()), file.end());
}

TEST_F(AsfInterop, BundledSampleMatchesFfprobe) {
  QTEST_REQUIRE_FFMPEG();
  expect_matches(std::string(QUILLAR_SOURCE_DIR) + "/samples/testsrc-wmv2-wmav2.wmv", kAll);
}

// Written by VLC's ASF muxer, whose header declares one sub-object more than
// it holds (6 for 5).
TEST_F(AsfInterop, VlcWrittenSampleMatchesFfprobe) {
  QTEST_REQUIRE_FFMPEG();
  const std::string f = std::string(QUILLAR_SOURCE_DIR) + "/samples/vlc-wmv2-wma2.wmv";
  const Bytes file = read_bytes(f);
  ASSERT_GT(file.size(), 30u);
  EXPECT_EQ(le32_at(file, 24), 6u) << "the sample should keep VLC's header count";
  expect_matches(f, kAll);
}

}  // namespace
