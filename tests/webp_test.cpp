// SPDX-License-Identifier: BSD-2-Clause
// The WebP framer with files built in memory.
#include <gtest/gtest.h>

#include "parsers/webp/webpparse.h"
#include "quillar/gstparser.h"
#include "support/chain_driver.h"
#include "support/host.h"
#include "support/webp_writer.h"

using namespace qtest;

namespace {

constexpr uint32_t kVp8 = 10;

using Webp = ChainDriver<quillar::WebpParseState, quillar::kWebpFormat>;

TEST(WebpFile, ChunkPayloadIsTheOneFrameAtEveryCapacity) {
  for (size_t size : {1000u, 8172u, 20000u}) {
    WebpFile webp;
    webp.payload = pattern(size, 7);
    Bytes file = webp.bytes();
    HostRun r;
    {
      StdoutCapture quiet;
      r = run_host_all_capacities(file, kVp8);
    }
    EXPECT_EQ(r.end, PARSER_END_OF_STREAM);
    ASSERT_EQ(r.items.size(), 1u) << size;
    EXPECT_EQ(r.items[0].kind, static_cast<uint32_t>(BUFFER_KIND_FRAME));
    EXPECT_TRUE(r.items[0].data == webp.payload) << size;
    EXPECT_EQ(r.config_result, PARSER_ERROR_NOT_READY);
  }
  // RIFF size 1012, 1000-byte chunk: out on the first call.
  WebpFile small;
  small.payload = pattern(1000, 1);
  HostRun first = run_host(small.bytes(), kVp8, 4096, 1);
  ASSERT_EQ(first.items.size(), 1u);
}

TEST(WebpFile, SizeChecksComeBeforeTheChunkCode) {
  struct Case {
    const char *chunk;
    uint32_t riff_size, chunk_size;
    int32_t result;
    const char *message;
  } cases[] = {
      {"VP8 ", 1013, 1000, CHAIN_ERROR, "Invalid frame size.\n"},  // pad byte counted
      {"VP8 ", 1011, 1000, CHAIN_ERROR, "Invalid frame size.\n"},
      {"VP8 ", 12, 0, CHAIN_ERROR, "Invalid frame size.\n"},
      {"VP8 ", 0, 0xFFFFFFF4u, CHAIN_ERROR, "Invalid frame size.\n"},
      {"VP8L", 1012, 1000, CHAIN_NOT_SUPPORTED, "Only lossy coding is supported.\n"},
      {"VP8X", 1013, 1000, CHAIN_ERROR, "Invalid frame size.\n"},
      {"VP8X", 0, 1000, CHAIN_ERROR, "Invalid frame size.\n"},
  };
  for (const Case &c : cases) {
    WebpFile webp;
    webp.chunk = c.chunk;
    webp.payload = pattern(1000, 1);
    webp.riff_size = c.riff_size;
    webp.chunk_size = c.chunk_size;
    Webp p;
    StdoutCapture out;
    EXPECT_EQ(p.push(webp.bytes()), c.result) << c.chunk << " " << c.riff_size;
    EXPECT_EQ(out.text(), c.message) << c.chunk << " " << c.riff_size;
    EXPECT_TRUE(p.take_frames().empty());
  }
}

TEST(WebpFile, RiffSizeBelowTwelveIsRejectedInsteadOfWaitingForGigabytes) {
  // 4 - 12 wraps to 0xFFFFFFF8 in 32 bits: the chunk size that would match.
  for (uint32_t riff : {1u, 4u, 11u}) {
    WebpFile webp;
    webp.payload = pattern(100, 1);
    webp.riff_size = riff;
    webp.chunk_size = riff - 12;
    Webp p;
    StdoutCapture out;
    EXPECT_EQ(p.push(webp.bytes()), CHAIN_ERROR) << riff;
    EXPECT_EQ(out.text(), "Invalid frame size.\n");
  }
}

TEST(WebpFile, ShortFileWaitsThenEndsTheStream) {
  WebpFile webp;
  webp.payload = pattern(100, 1);
  Bytes file = webp.bytes();
  file.resize(19);
  StdoutCapture out;
  HostRun r = run_host(file, kVp8, 64);
  EXPECT_EQ(r.end, PARSER_END_OF_STREAM);
  EXPECT_TRUE(r.items.empty());
  // The first call's drain, then the read of all 19 bytes.
  EXPECT_EQ(out.text(), "Not enough data available yet.\nNot enough data available yet.\n"
                        "Trying to get codec config when it is not ready\n");  // the harness asks

  // A chunk short of its size is never handed out, silently.
  file = webp.bytes();
  file.pop_back();
  StdoutCapture silent;
  r = run_host(file, kVp8, 64);
  EXPECT_EQ(r.end, PARSER_END_OF_STREAM);
  EXPECT_TRUE(r.items.empty());
  EXPECT_EQ(silent.text(), "Not enough data available yet.\n"
                           "Trying to get codec config when it is not ready\n");
}

TEST(WebpFile, OtherRiffFormsAreCutByTheSizeAtByteSixteen) {
  // Each piece's size is read from bytes 16 to 19 of the data where it starts.
  WebpFile avi;
  avi.form = "AVI ";
  avi.chunk = "LIST";
  avi.payload = pattern(100, 2);
  avi.chunk_size = 40;
  Bytes file = avi.bytes();  // 120 bytes: pieces of 40, 30 and 50
  file[56] = 30, file[57] = file[58] = file[59] = 0;
  file[86] = 50, file[87] = file[88] = file[89] = 0;
  HostRun r = run_host(file, kVp8, 4096);
  EXPECT_EQ(r.end, PARSER_END_OF_STREAM);
  ASSERT_EQ(r.items.size(), 3u);
  EXPECT_TRUE(r.items[0].data == Bytes(file.begin(), file.begin() + 40)) << "header bytes included";
  EXPECT_TRUE(r.items[1].data == Bytes(file.begin() + 40, file.begin() + 70));
  EXPECT_TRUE(r.items[2].data == Bytes(file.begin() + 70, file.end()));

  avi.chunk_size = 0;
  StdoutCapture out;
  r = run_host(avi.bytes(), kVp8, 4096);
  EXPECT_EQ(r.end, PARSER_ERROR_CHAIN);
  EXPECT_NE(out.text().find("Frame buffer creation failed.\n"), std::string::npos);
}

TEST(WebpFile, DataAfterTheChunkIsCutIntoFramesOfTheSameSize) {
  WebpFile webp;
  webp.payload = pattern(30, 1);
  Bytes file = webp.bytes();
  Bytes tail = pattern(70, 2);  // two more 30-byte pieces and a 10-byte tail
  file.insert(file.end(), tail.begin(), tail.end());
  HostRun r = run_host(file, kVp8, 4096);
  ASSERT_EQ(r.items.size(), 3u);
  EXPECT_TRUE(r.items[2].data == Bytes(tail.begin() + 30, tail.begin() + 60));
}

}  // namespace
