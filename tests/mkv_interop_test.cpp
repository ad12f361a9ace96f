// SPDX-License-Identifier: BSD-2-Clause
// Matroska and WebM files made by ffmpeg and mkvmerge, checked item by item
// against ffprobe's packets of the first video stream, and remuxes of IVF,
// RealMedia and RCV files, which must give the same items as the original.
#include <gtest/gtest.h>

#include "support/interop.h"
#include "support/rm_writer.h"

using namespace qtest;

namespace {

#define QTEST_REQUIRE_MKVTOOLNIX()                                                    \
  do {                                                                                \
    QTEST_REQUIRE_FFMPEG();                                                           \
    if (!have_tool("mkvmerge") || !have_tool("mkvinfo"))                              \
      GTEST_SKIP() << "mkvtoolnix (mkvmerge, mkvinfo) not installed: interop test skipped"; \
  } while (0)

std::vector<ProbePacket> first_video(const std::string &path) {
  std::vector<ProbePacket> video;
  int stream = -1;
  for (const ProbePacket &p : probe_packets(path)) {
    if (p.codec_type != "video") continue;
    if (stream < 0) stream = p.stream_index;
    if (p.stream_index == stream) video.push_back(p);
  }
  return video;
}

Bytes cat_packed() {
  Bytes b = rv_packed(pattern(30, 5));
  const Bytes second = rv_packed(pattern(40, 6));
  b.insert(b.end(), second.begin(), second.end());
  return b;
}

class MkvInterop : public MediaTest {
 protected:
  std::string mkvmerge(const std::string &name, const std::string &args) {
    std::string log;
    const std::string out = path(name);
    // Exit status 1 is "warnings"; the file is written.
    const int status = run_command("mkvmerge -q -o '" + out + "' " + args, &log);
    EXPECT_TRUE(status == 0 || status == 256 || status == 1) << "mkvmerge " << args << ":\n" << log;
    return out;
  }
  std::string mkvinfo(const std::string &file) {
    std::string log;
    run_command("mkvinfo '" + file + "'", &log);
    return log;
  }
  // Whether some block of the file holds more than one frame.
  bool has_lacing(const std::string &file) {
    std::string log;
    run_command("mkvinfo -v -v '" + file + "'", &log);
    for (size_t at = log.find(" frame(s)"); at != std::string::npos; at = log.find(" frame(s)", at + 1)) {
      size_t start = log.rfind(' ', at - 1);
      if (start != std::string::npos && std::stoi(log.substr(start + 1, at - start - 1)) > 1) return true;
    }
    return false;
  }
  // Both files give the same items (codec items included) through the host calls.
  void expect_same_items(const std::string &a, const std::string &b, uint32_t standard) {
    StdoutCapture quiet;
    HostRun ra = run_host_all_capacities(read_bytes(a), standard);
    HostRun rb = run_host_all_capacities(read_bytes(b), standard);
    (void)quiet.text();
    ASSERT_EQ(ra.end, 12) << a;
    ASSERT_EQ(rb.end, 12) << b;
    ASSERT_EQ(ra.items.size(), rb.items.size()) << a << " and " << b;
    ASSERT_FALSE(ra.items.empty());
    for (size_t i = 0; i < ra.items.size(); i++) {
      EXPECT_EQ(ra.items[i].kind, rb.items[i].kind) << "item " << i;
      EXPECT_EQ(ra.items[i].data, rb.items[i].data) << "item " << i;
      EXPECT_EQ(ra.items[i].skipped, rb.items[i].skipped) << "item " << i;
    }
    EXPECT_EQ(ra.config_result, rb.config_result);
    EXPECT_EQ(ra.config[0], rb.config[0]);
    EXPECT_EQ(ra.config[1], rb.config[1]);
  }
};

const char *const kVp8Av =
    "-f lavfi -i testsrc=size=320x240:rate=25 -f lavfi -i sine=frequency=440 -t 3 "
    "-c:v libvpx -b:v 1M -g 20 -c:a libvorbis";
const char *const kVp9Av =
    "-f lavfi -i testsrc2=size=256x144:rate=25 -f lavfi -i sine=frequency=300 -t 2 "
    "-c:v libvpx-vp9 -b:v 300k -deadline realtime -c:a libopus";

// ffmpeg: VP8 + Vorbis and VP9 + Opus, with clusters of several sizes, live
// (unknown-size segment) and written to a pipe.
TEST_F(MkvInterop, FfmpegWebmMatchesFfprobe) {
  QTEST_REQUIRE_FFMPEG();
  const struct {
    const char *name, *args;
  } cases[] = {
      {"vp8.webm", kVp8Av},
      {"vp9.webm", kVp9Av},
      {"small-clusters.webm", "-f lavfi -i testsrc=size=320x240:rate=25 -f lavfi -i sine -t 2 -c:v libvpx "
                              "-c:a libopus -cluster_size_limit 3000 -cluster_time_limit 100"},
      {"large-clusters.mkv", "-f lavfi -i testsrc=size=320x240:rate=25 -t 3 -c:v libvpx -b:v 2M "
                             "-cluster_size_limit 2000000 -cluster_time_limit 10000"},
      {"live.webm", "-f lavfi -i testsrc=size=176x144:rate=25 -f lavfi -i sine -t 2 -c:v libvpx "
                    "-c:a libvorbis -live 1"},
  };
  for (const auto &c : cases) {
    const std::string f = make(c.name, c.args);
    expect_frames_match(f, 10, first_video(f));
  }
  const std::string piped = path("piped.webm");
  ASSERT_EQ(run_command(std::string("ffmpeg -nostdin -loglevel error ") + kVp9Av + " -f webm - > '" + piped + "'"), 0);
  EXPECT_NE(mkvinfo(piped).find("Segment: size unknown"), std::string::npos);
  expect_frames_match(piped, 10, first_video(piped));
}

// mkvmerge: its defaults (laced audio), no lacing, block groups instead of
// simple blocks, several video tracks (the first one plays), and zlib
// compression (refused: the library stays without zlib).
TEST_F(MkvInterop, MkvmergeFilesMatchFfprobe) {
  QTEST_REQUIRE_MKVTOOLNIX();
  const std::string src = make("src.webm", kVp8Av);
  const std::string vp9 = make("vp9.webm", kVp9Av);
  const std::string laced = mkvmerge("default.mkv", "'" + src + "'");
  EXPECT_TRUE(has_lacing(laced));
  for (const std::string &f :
       {laced, mkvmerge("no-lacing.mkv", "--disable-lacing '" + src + "'"),
        mkvmerge("groups.mkv", "--engage no_simpleblocks --engage lacing_ebml '" + src + "'"),
        mkvmerge("tracks.mkv", "'" + src + "' '" + vp9 + "' '" + src + "'")})
    expect_frames_match(f, 10, first_video(f));

  const std::string zlib = mkvmerge("zlib.mkv", "--compression 0:zlib '" + src + "'");
  StdoutCapture out;
  HostRun r = run_host(read_bytes(zlib), 10, 4096);
  EXPECT_EQ(r.end, 3);
  EXPECT_TRUE(r.items.empty());
  EXPECT_NE(out.text().find("only header stripping is supported"), std::string::npos);
}

// IVF -> WebM with ffmpeg -c copy: the same frames through both paths.
TEST_F(MkvInterop, IvfRemuxGivesTheSameItems) {
  QTEST_REQUIRE_FFMPEG();
  for (const char *codec : {"libvpx", "libvpx-vp9 -deadline realtime"}) {
    const std::string ivf = make("a.ivf", std::string("-f lavfi -i testsrc=size=320x240:rate=25 -t 2 -c:v ") + codec);
    const std::string webm = make("a.webm", "-i '" + ivf + "' -c copy");
    expect_same_items(ivf, webm, 10);
  }
}

// RealMedia RV10/RV20 -> Matroska with mkvmerge (V_REAL/RV10, RV20): the
// same codec item, frame size and frames, piece tables included.
TEST_F(MkvInterop, RealMediaRemuxGivesTheSameItems) {
  QTEST_REQUIRE_MKVTOOLNIX();
  for (const char *codec : {"rv10", "rv20"}) {
    const std::string rm = make(std::string(codec) + ".rm",
                                std::string("-f lavfi -i testsrc=size=176x144:rate=15 -f lavfi -i sine -t 2 -c:v ") +
                                    codec + " -b:v 200k -c:a ac3");
    const std::string mkv = mkvmerge(std::string(codec) + ".mkv", "'" + rm + "'");
    EXPECT_NE(mkvinfo(mkv).find(std::string("V_REAL/") + (codec[2] == '1' ? "RV10" : "RV20")), std::string::npos);
    expect_same_items(rm, mkv, 7);
  }
}

// Frames that arrive in several packet pieces (as RealProducer writes
// sliced frames) and several frames packed into one packet: mkvmerge stores
// each reassembled frame with its piece table, as the RealMedia path hands
// it out.
TEST_F(MkvInterop, RealMediaSlicedFramesRemuxGiveTheSameItems) {
  QTEST_REQUIRE_MKVTOOLNIX();
  const Bytes codec = {0x10, 0x00, 0x00, 0x08, 0x20, 0x10, 0x30, 0x01};
  const Bytes rm = RmWriter()
                       .file_header()
                       .properties()
                       .content("Quillar")
                       .video_stream(1, 176, 144, codec)
                       .data({rm_packet(1, rv_whole(pattern(700, 1))),
                              rm_packet(1, rv_part(1, 250, 0, pattern(100, 2))),
                              rm_packet(1, rv_part(2, 250, 100, pattern(100, 3))),
                              rm_packet(1, rv_last(3, 250, pattern(50, 4))),
                              rm_packet(1, cat_packed()),
                              rm_packet(1, rv_whole(pattern(90, 7)))})
                       .take();
  const std::string src = path("sliced.rm");
  write_file(src, rm);
  const std::string mkv = mkvmerge("sliced.mkv", "'" + src + "'");
  expect_same_items(src, mkv, 7);
}

// RCV -> Matroska with ffmpeg -c copy (V_MS/VFW/FOURCC, WMV3): the same
// codec item, frame size, frames and skipped record.
TEST_F(MkvInterop, RcvRemuxGivesTheSameItems) {
  QTEST_REQUIRE_MKVTOOLNIX();
  const std::string rcv = std::string(QUILLAR_SOURCE_DIR) + "/samples/filler-176x144.rcv";
  const std::string mkv = make("rcv.mkv", "-i '" + rcv + "' -c copy");
  const std::string info = mkvinfo(mkv);
  EXPECT_NE(info.find("V_MS/VFW/FOURCC"), std::string::npos);
  EXPECT_NE(info.find("\"WMV3\""), std::string::npos);
  expect_same_items(rcv, mkv, 5);
}

TEST_F(MkvInterop, BundledSamplesMatchFfprobe) {
  QTEST_REQUIRE_FFMPEG();
  const struct {
    const char *name;
    uint32_t standard;
  } samples[] = {{"testsrc-vp9-opus.webm", 10}, {"testsrc-rv20-mkvmerge.mkv", 7}};
  for (const auto &s : samples) {
    const std::string f = std::string(QUILLAR_SOURCE_DIR) + "/samples/" + s.name;
    expect_frames_match(f, s.standard, first_video(f));
  }
}

}  // namespace
