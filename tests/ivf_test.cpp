// SPDX-License-Identifier: BSD-2-Clause
// The IVF framer, driven through the host calls.
#include <gtest/gtest.h>

#include "quillar/gstparser.h"
#include "support/host.h"
#include "support/ivf_writer.h"

using namespace qtest;

namespace {

TEST(Ivf, FramesComeOutWholeAndInOrderAtEveryCapacity) {
  IvfWriter ivf;
  std::vector<Bytes> frames;
  const uint32_t sizes[] = {100, 1, 8192, 20000, 3, 8180, 12, 70000};
  for (uint32_t i = 0; i < 8; i++) {
    frames.push_back(pattern(sizes[i], i));
    ivf.frame(frames.back(), i);
  }
  HostRun r = run_host_all_capacities(ivf.take(), 10);
  ASSERT_EQ(r.end, PARSER_END_OF_STREAM);
  ASSERT_EQ(r.items.size(), frames.size());
  for (size_t i = 0; i < frames.size(); i++) {
    EXPECT_EQ(r.items[i].kind, static_cast<uint32_t>(BUFFER_KIND_FRAME));
    EXPECT_TRUE(r.items[i].data == frames[i]) << "frame " << i;
  }
  EXPECT_EQ(r.config_result, PARSER_ERROR_NOT_READY);
}

TEST(Ivf, Vp90IsAcceptedAndOtherHeadersAreRefused) {
  EXPECT_EQ(run_host(IvfWriter("VP90").frame(pattern(10, 1)).take(), 10, 64).items.size(), 1u);
  struct Bad {
    const char *codec;
    uint16_t version, length;
  } bad[] = {{"VP70", 0, 32}, {"VP80", 1, 32}, {"VP80", 0, 64}};
  for (const Bad &b : bad) {
    StdoutCapture out;
    HostRun r = run_host(IvfWriter(b.codec, 0, b.version, b.length).frame(pattern(10, 1)).take(), 10, 64);
    EXPECT_EQ(r.end, PARSER_ERROR_CHAIN) << b.codec << " v" << b.version << " len " << b.length;
    EXPECT_TRUE(r.items.empty());
    EXPECT_NE(out.text().find("Not a Valid IVF Input File\n"), std::string::npos);
  }
}

TEST(Ivf, MessagesTellTheFrameCountAndEachHeader) {
  StdoutCapture out;
  run_host(IvfWriter("VP80", 2).frame(pattern(100, 1), 5).take(), 10, 4096);
  const std::string text = out.text();
  EXPECT_NE(text.find("In IVF Pushing buffer of size 144 to adapter\n"), std::string::npos);
  EXPECT_NE(text.find("IVF Stream has 2 frames\n"), std::string::npos);
  EXPECT_NE(text.find("In IVF Read frame header: size 100, pts 5\n"), std::string::npos);
}

TEST(Ivf, ShortFilesEndTheStreamWithoutFrames) {
  Bytes header31 = IvfWriter().take();
  header31.resize(31);
  StdoutCapture out;
  HostRun r = run_host(header31, 10, 64);
  EXPECT_EQ(r.end, PARSER_END_OF_STREAM);
  EXPECT_TRUE(r.items.empty());
  EXPECT_NE(out.text().find("Header Data Not yet available\n"), std::string::npos);

  // A trailing frame header with nothing after it, and a truncated frame.
  EXPECT_EQ(run_host(IvfWriter().frame(pattern(5, 0)).frame_header(40).take(), 10, 64).items.size(), 1u);
  Bytes truncated = IvfWriter().frame(pattern(5, 0)).frame(pattern(40, 1)).take();
  truncated.resize(truncated.size() - 1);
  r = run_host(truncated, 10, 64);
  EXPECT_EQ(r.end, PARSER_END_OF_STREAM);
  EXPECT_EQ(r.items.size(), 1u);
}

TEST(Ivf, ZeroSizeRecordsAreCountedAsSkippedFrames) {
  IvfWriter ivf;
  ivf.frame(pattern(10, 1)).frame({}).frame({}).frame(pattern(20, 2)).frame({}).frame(pattern(1, 3))
      .frame({});
  HostRun r = run_host_all_capacities(ivf.take(), 10);
  ASSERT_EQ(r.items.size(), 3u);
  EXPECT_EQ(r.items[0].data.size(), 10u);
  EXPECT_EQ(r.items[1].data.size(), 20u);
  EXPECT_EQ(r.items[1].skipped, 2u) << "reported with the frame that follows them";
  EXPECT_EQ(r.items[2].skipped, 1u);
  EXPECT_EQ(r.end, PARSER_END_OF_STREAM);
  // A frame header is read only when more than 12 bytes are there, so a
  // zero-size record that ends the file is never seen.
  EXPECT_EQ(r.end_skipped, 0u);
}

TEST(Ivf, AnUnbufferableFrameEndsTheStreamAndReleasesTheRest) {
  IvfWriter ivf;
  ivf.frame(pattern(10, 1)).frame_header(0xFFFFFFF8u);
  Bytes file = ivf.take();
  Bytes tail = pattern(50000, 3);
  file.insert(file.end(), tail.begin(), tail.end());
  HostRun r = run_host(file, 10, 4096);
  EXPECT_EQ(r.end, PARSER_END_OF_STREAM);
  ASSERT_EQ(r.items.size(), 1u);
}

TEST(Ivf, FileOfExactlyOneBlockEndsWithAnEmptyRead) {
  // 32 + 12 + 8148 = 8192 bytes: the second read returns 0 bytes.
  HostRun r = run_host(IvfWriter().frame(pattern(8148, 4)).take(), 10, 1u << 20);
  EXPECT_EQ(r.end, PARSER_END_OF_STREAM);
  ASSERT_EQ(r.items.size(), 1u);
  EXPECT_EQ(r.items[0].data.size(), 8148u);
}

}  // namespace
