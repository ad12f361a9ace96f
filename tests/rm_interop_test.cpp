// SPDX-License-Identifier: BSD-2-Clause
// RealMedia files made by ffmpeg (RealVideo 1.0 and 2.0, with and without
// AC-3 audio), checked item by item against ffprobe: FFmpeg hands out
// RealVideo frames with the same piece table in front, so frames match byte
// for byte, and the codec-data item is the stream's extradata.
#include <gtest/gtest.h>

#include <cstdlib>

#include "support/interop.h"
#include "support/rm_writer.h"

using namespace qtest;

namespace {

constexpr uint32_t kRealVideo = 7;

std::vector<ProbePacket> video_packets(const std::string &path) {
  std::vector<ProbePacket> video;
  for (const ProbePacket &p : probe_packets(path))
    if (p.codec_type == "video") video.push_back(p);
  return video;
}

// ffprobe's own count of a stream's extradata bytes, to check the hex dump
// that probe_extradata reads.
size_t probe_extradata_size(const std::string &path, int stream) {
  std::string log;
  run_command("ffprobe -v error -select_streams " + std::to_string(stream) +
                  " -show_entries stream=extradata_size -of csv=p=0 '" + path + "'",
              &log);
  return strtoul(log.c_str(), nullptr, 10);
}

class RmInterop : public MediaTest {
 protected:
  // Checks the codec items (one per video stream, in order) against each
  // stream's extradata, and the frames against ffprobe's video packets.
  void expect_matches_ffprobe(const std::string &f, const std::vector<int> &video_streams,
                              uint32_t width, uint32_t height) {
    expect_frames_match(f, kRealVideo, video_packets(f));
    HostRun r = run_host(read_bytes(f), kRealVideo, 1u << 20);
    std::vector<Bytes> codec;
    for (const Item &item : r.items)
      if (item.kind == 2) codec.push_back(item.data);
    ASSERT_EQ(codec.size(), video_streams.size()) << f;
    for (size_t i = 0; i < codec.size(); i++) {
      const Bytes extradata = probe_extradata(f, video_streams[i]);
      EXPECT_EQ(extradata.size(), probe_extradata_size(f, video_streams[i])) << f;
      EXPECT_EQ(codec[i], extradata) << f << " stream " << video_streams[i];
    }
    ASSERT_EQ(r.items.at(0).kind, 2u) << "the codec data comes first";
    EXPECT_EQ(r.config_result, 0);
    EXPECT_EQ(r.config[0], height);
    EXPECT_EQ(r.config[1], width);
  }
};

TEST_F(RmInterop, Rv20WithAc3MatchesFfprobe) {
  QTEST_REQUIRE_FFMPEG();
  const std::string f = make("a.rm",
                             "-f lavfi -i testsrc=size=176x144:rate=15 -f lavfi -i "
                             "sine=frequency=440:sample_rate=44100 -t 2 -c:v rv20 -b:v 200k "
                             "-c:a ac3 -b:a 64k");
  expect_matches_ffprobe(f, {0}, 176, 144);
}

TEST_F(RmInterop, Rv10WithAc3MatchesFfprobe) {
  QTEST_REQUIRE_FFMPEG();
  const std::string f = make("b.rm",
                             "-f lavfi -i testsrc2=size=160x128:rate=10 -f lavfi -i "
                             "sine=frequency=300:sample_rate=48000 -t 2 -c:v rv10 -b:v 150k "
                             "-c:a ac3 -b:a 96k");
  expect_matches_ffprobe(f, {0}, 160, 128);
}

TEST_F(RmInterop, VideoOnlyMatchesFfprobe) {
  QTEST_REQUIRE_FFMPEG();
  const std::string rv10 = make("c.rm", "-f lavfi -i testsrc=size=128x96:rate=10 -t 2 -c:v rv10");
  expect_matches_ffprobe(rv10, {0}, 128, 96);
  // Key frames of more than 16 KiB: frame lengths take the 4-byte form.
  const std::string rv20 = make(
      "d.rm", "-f lavfi -i mandelbrot=size=352x288:rate=10 -t 0.3 -c:v rv20 -q:v 1 -g 5");
  ASSERT_GT(video_packets(rv20).at(0).size, 0x4000u);
  expect_matches_ffprobe(rv20, {0}, 352, 288);
}

TEST_F(RmInterop, TwoVideoStreamsBothComeOut) {
  QTEST_REQUIRE_FFMPEG();
  const std::string f = make("e.rm",
                             "-f lavfi -i testsrc=size=176x144:rate=15 -f lavfi -i "
                             "testsrc2=size=128x96:rate=10 -t 1 -map 0 -map 1 -c:v rv20");
  // The second stream's header comes last, so its size is the one reported.
  expect_matches_ffprobe(f, {0, 1}, 128, 96);
}

// Writes FFmpeg's frames again, split into 0x00/0x80 pieces over several
// packets (frames above `small`) or packed three to a packet as 0xC0
// fragments (the others). Audio packets stay where they were.
Bytes repacketise(const Bytes &file, size_t piece_size, size_t small) {
  RmParsed parsed = rm_parse(file);
  // No index in the new file: PROP's index position (body offset 28) is cleared.
  for (size_t pos = 0; pos + 10 <= parsed.headers.size(); pos += rm_be(parsed.headers, pos + 4, 4)) {
    if (std::string(parsed.headers.begin() + pos, parsed.headers.begin() + pos + 4) == "PROP")
      for (int i = 0; i < 4; i++) parsed.headers[pos + 10 + 28 + i] = 0;
  }
  std::vector<RmPacket> out;
  RmPacket pack;
  int packed = 0;
  auto flush_pack = [&] {
    if (packed) out.push_back(pack);
    pack.body.clear();
    packed = 0;
  };
  uint8_t sequence = 0;
  for (const RmPacket &p : parsed.packets) {
    if (p.stream != 0) {
      out.push_back(p);
      continue;
    }
    const Bytes frame = rm_single_fragment_frame(p.body);
    sequence++;
    if (frame.size() <= small) {
      if (!packed) pack = p, pack.body.clear();
      const Bytes fragment = rv_packed(frame, sequence);
      pack.body.insert(pack.body.end(), fragment.begin(), fragment.end());
      if (++packed == 3) flush_pack();
      continue;
    }
    flush_pack();
    const size_t count = (frame.size() + piece_size - 1) / piece_size;
    const auto h_low = static_cast<uint8_t>(count / 2);  // FFmpeg's slice room: 2n + 1
    for (size_t i = 0; i < count; i++) {
      const size_t at = i * piece_size;
      const size_t n = std::min(piece_size, frame.size() - at);
      const Bytes piece(frame.begin() + at, frame.begin() + at + n);
      RmPacket q = p;
      q.flags = i == 0 ? p.flags : 0;
      const auto sub = static_cast<uint8_t>(i + 1);
      const auto length = static_cast<uint32_t>(frame.size());
      q.body = i + 1 == count ? rv_last(sub, length, piece, sequence, h_low)
                              : rv_part(sub, length, static_cast<uint32_t>(at), piece, sequence, h_low);
      out.push_back(q);
    }
  }
  flush_pack();
  return RmWriter().raw(parsed.headers).data(out).take();
}

TEST_F(RmInterop, RepacketisedFramesMatchFfprobe) {
  QTEST_REQUIRE_FFMPEG();
  const std::string f = make("f.rm",
                             "-f lavfi -i testsrc=size=176x144:rate=15 -f lavfi -i "
                             "sine=frequency=440:sample_rate=44100 -t 2 -c:v rv20 -b:v 200k "
                             "-g 10 -c:a ac3 -b:a 64k");
  const Bytes original = read_bytes(f);
  const size_t frames = video_packets(f).size();
  const std::string g = path("g.rm");
  write_file(g, repacketise(original, 700, 1000));
  const std::vector<ProbePacket> oracle = video_packets(g);
  ASSERT_EQ(oracle.size(), frames) << "ffprobe should find every frame again";
  size_t split = 0;
  for (const ProbePacket &p : oracle) split += p.size > 1000 + 9;
  EXPECT_GT(split, 0u) << "some frames should be split";
  EXPECT_LT(split, frames) << "some frames should be packed";
  expect_matches_ffprobe(g, {0}, 176, 144);
}

TEST_F(RmInterop, BundledSampleMatchesFfprobe) {
  QTEST_REQUIRE_FFMPEG();
  const std::string f = std::string(QUILLAR_SOURCE_DIR) + "/samples/testsrc-rv20-ac3.rm";
  expect_matches_ffprobe(f, {0}, 176, 144);
}

TEST(RmHostTool, DetectsRealMediaAndShowsTheCodecConfiguration) {
  std::string log;
  const std::string sample = std::string(QUILLAR_SOURCE_DIR) + "/samples/testsrc-rv20-ac3.rm";
  ASSERT_EQ(run_command(std::string(QUILLAR_TOOL_COMMAND) + " '" + sample + "'", &log), 0) << log;
  EXPECT_NE(log.find("RealMedia, video standard 7"), std::string::npos) << log;
  EXPECT_NE(log.find("codec configuration: 176x144 (width x height)"), std::string::npos) << log;
  EXPECT_NE(log.find("31 items (30 frames, 1 codec)"), std::string::npos) << log;
}

}  // namespace
