// SPDX-License-Identifier: BSD-2-Clause
// WebP images made by cwebp, checked against an independent walk of their
// RIFF chunks: a lossy image's one frame is exactly its "VP8 " payload;
// lossless and extended images fail cleanly.
#include <gtest/gtest.h>

#include "parsers/webp/webpparse.h"
#include "quillar/gstparser.h"
#include "support/chain_driver.h"
#include "support/interop.h"
#include "support/webp_writer.h"

using namespace qtest;

namespace {

class WebpInterop : public MediaTest {
 protected:
  void SetUp() override {
    MediaTest::SetUp();
    if (!have_tool("cwebp") || !have_tool("ffmpeg")) GTEST_SKIP() << "cwebp/ffmpeg not installed";
  }
  // A PNG from an ffmpeg test source, then cwebp with `options`.
  Bytes cwebp(const std::string &name, const std::string &source, const std::string &options) {
    const std::string png = make(name + ".png", "-f lavfi -i " + source + " -frames:v 1");
    const std::string out = path(name + ".webp");
    std::string log;
    EXPECT_EQ(run_command("cwebp -quiet " + options + " '" + png + "' -o '" + out + "'", &log), 0) << log;
    return read_bytes(out);
  }
};

struct Expected {
  int32_t result;
  const char *message;
};

// What the framer must say about a file, from the walk: sizes first (the
// RIFF size must be the first chunk's size plus 12), then the chunk code.
Expected expected_failure(const Bytes &file) {
  uint32_t riff_size = 0;
  std::string form;
  std::vector<RiffChunk> chunks = walk_riff(file, &riff_size, &form);
  if (chunks.empty() || chunks[0].size == 0 || static_cast<uint64_t>(chunks[0].size) + 12 != riff_size)
    return {CHAIN_ERROR, "Invalid frame size.\n"};
  return {CHAIN_NOT_SUPPORTED, "Only lossy coding is supported.\n"};
}

void expect_refused(const Bytes &file, const Expected &want, const std::string &what) {
  ChainDriver<quillar::WebpParseState, quillar::kWebpFormat> p;
  StdoutCapture out;
  EXPECT_EQ(p.push(file), want.result) << what;
  EXPECT_EQ(out.text(), want.message) << what;
  EXPECT_TRUE(p.take_frames().empty()) << what;
  HostRun r = run_host(file, 10, 4096);
  EXPECT_EQ(r.end, PARSER_ERROR_CHAIN) << what;
  EXPECT_TRUE(r.items.empty()) << what;
}

TEST_F(WebpInterop, LossyImageGivesExactlyTheVp8ChunkPayload) {
  const struct {
    const char *name, *source, *options;
  } images[] = {
      {"small", "testsrc=size=33x17", "-q 75"},
      {"medium", "testsrc2=size=320x240", "-q 50"},
      {"large", "mandelbrot=size=640x480", "-q 95"},  // a chunk over several read blocks
  };
  for (const auto &image : images) {
    const Bytes file = cwebp(image.name, image.source, image.options);
    ASSERT_FALSE(file.empty()) << image.name;
    uint32_t riff_size = 0;
    std::string form;
    std::vector<RiffChunk> chunks = walk_riff(file, &riff_size, &form);
    ASSERT_EQ(form, "WEBP");
    ASSERT_EQ(chunks.size(), 1u) << image.name << ": a simple lossy file has one chunk";
    ASSERT_EQ(chunks[0].code, "VP8 ");
    const Bytes payload(file.begin() + chunks[0].offset, file.begin() + chunks[0].offset + chunks[0].size);
    HostRun r;
    {
      StdoutCapture quiet;
      r = run_host_all_capacities(file, 10);
    }
    EXPECT_EQ(r.end, PARSER_END_OF_STREAM) << image.name;
    ASSERT_EQ(r.items.size(), 1u) << image.name;
    EXPECT_TRUE(r.items[0].data == payload) << image.name;
    if (std::string(image.name) == "large") {
      EXPECT_GT(payload.size(), 8192u);
    }
  }
}

TEST_F(WebpInterop, LosslessImagesAreRefusedCleanly) {
  // Whether the VP8L chunk is odd (a pad byte makes the RIFF size one more
  // than chunk + 12, which fails the size check first) depends on the image.
  bool saw_not_supported = false;
  for (const char *source : {"testsrc=size=176x144", "testsrc=size=33x17", "mandelbrot=size=97x61"}) {
    const Bytes file = cwebp("lossless", source, "-lossless");
    uint32_t riff_size = 0;
    std::string form;
    ASSERT_EQ(walk_riff(file, &riff_size, &form).at(0).code, "VP8L");
    const Expected want = expected_failure(file);
    saw_not_supported |= want.result == CHAIN_NOT_SUPPORTED;
    expect_refused(file, want, source);
  }
  EXPECT_TRUE(saw_not_supported) << "no even-sized lossless chunk among the images";
}

TEST_F(WebpInterop, ExtendedImageWithAlphaIsRefusedCleanly) {
  const Bytes file = cwebp("alpha", "color=c=red@0.5:size=64x48,format=rgba", "-q 75 -alpha_q 50");
  uint32_t riff_size = 0;
  std::string form;
  std::vector<RiffChunk> chunks = walk_riff(file, &riff_size, &form);
  ASSERT_GE(chunks.size(), 2u);
  EXPECT_EQ(chunks[0].code, "VP8X");
  // The VP8X chunk (10 bytes) is never the whole file: the size check fails.
  expect_refused(file, {CHAIN_ERROR, "Invalid frame size.\n"}, "alpha");
}

TEST_F(WebpInterop, OddChunkWithItsPadByteIsRefusedByTheSizeCheck) {
  // cwebp's lossy chunks are even-sized; an odd one followed by its pad
  // byte is valid RIFF, but its RIFF size is chunk + 13.
  const Bytes real = cwebp("odd", "testsrc=size=64x48", "-q 75");
  WebpFile odd;
  odd.payload.assign(real.begin() + 20, real.end());
  odd.payload.push_back(0);
  if (odd.payload.size() % 2 == 0) odd.payload.push_back(0);
  odd.pad = true;
  expect_refused(odd.bytes(), {CHAIN_ERROR, "Invalid frame size.\n"}, "odd chunk");
}

TEST_F(WebpInterop, BundledSampleGivesItsChunkPayload) {
  const Bytes file = read_bytes(std::string(QUILLAR_SOURCE_DIR) + "/samples/testsrc-320x240.webp");
  ASSERT_GT(file.size(), 20u);
  uint32_t riff_size = 0;
  std::string form;
  std::vector<RiffChunk> chunks = walk_riff(file, &riff_size, &form);
  ASSERT_EQ(chunks.size(), 1u);
  HostRun r = run_host_all_capacities(file, 10);
  ASSERT_EQ(r.items.size(), 1u);
  EXPECT_TRUE(r.items[0].data == Bytes(file.begin() + 20, file.end()));
}

}  // namespace
