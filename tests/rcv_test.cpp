// SPDX-License-Identifier: BSD-2-Clause
// The RCV (VC-1) framer: through the host calls, and its chain function
// directly where the exact result and what it published matter.
#include <gtest/gtest.h>

#include "parsers/rcv/rcvparse.h"
#include "quillar/gstparser.h"
#include "support/chain_driver.h"
#include "support/host.h"
#include "support/rcv_writer.h"

using namespace qtest;

namespace {

constexpr uint32_t kVc1 = 5;

using Rcv = ChainDriver<quillar::RcvParseState, quillar::kRcvFormat>;

TEST(RcvFile, CodecDataComesFirstThenEveryFrameAtEveryCapacity) {
  RcvHeader h;
  h.height = 480;
  h.width = 720;
  h.config = {0xC1, 0xD2, 0xE3, 0xF4};
  RcvWriter rcv(h);
  // 9000 and 20000 straddle read blocks; 0x10203 needs the third size byte.
  const uint32_t sizes[] = {100, 9000, 1, 20000, 0x10203, 8184, 3};
  std::vector<Bytes> frames;
  for (uint32_t i = 0; i < 7; i++) {
    frames.push_back(pattern(sizes[i], i));
    rcv.frame(frames.back(), i % 3 == 0, i);
  }
  HostRun r = run_host_all_capacities(rcv.take(), kVc1);
  ASSERT_EQ(r.end, PARSER_END_OF_STREAM);
  ASSERT_EQ(r.items.size(), frames.size() + 1);
  EXPECT_EQ(r.items[0].kind, static_cast<uint32_t>(BUFFER_KIND_CODEC_DATA));
  EXPECT_EQ(r.items[0].data, h.config_bytes());
  for (size_t i = 0; i < frames.size(); i++) {
    EXPECT_EQ(r.items[i + 1].kind, static_cast<uint32_t>(BUFFER_KIND_FRAME));
    EXPECT_TRUE(r.items[i + 1].data == frames[i]) << "frame " << i;
  }
  EXPECT_EQ(r.config_result, PARSER_OK);
  EXPECT_EQ(r.config[0], 480u) << "height first";
  EXPECT_EQ(r.config[1], 720u);
}

TEST(RcvFile, CodecConfigIsReadyFromTheFirstCallOnAndTheFrameFollows) {
  Bytes file = RcvWriter().frame(pattern(50, 1), true).take();
  FILE *f = fmemopen(file.data(), file.size(), "rb");
  ParserContext *ctx = nullptr;
  GSTPARSER_Initialise(&ctx, kVc1, f);
  ASSERT_NE(ctx, nullptr);
  uint32_t config[2] = {0, 0};
  {
    StdoutCapture out;
    EXPECT_EQ(GSTPARSER_GetCodecConfig(ctx, config), PARSER_ERROR_NOT_READY);
    EXPECT_EQ(out.text(), "Trying to get codec config when it is not ready\n");
  }
  uint8_t buf[64];
  uint32_t cap = sizeof buf;
  BitStrBufInfo info{};
  StdoutCapture silent;  // the framer prints nothing
  ASSERT_EQ(GSTPARSER_BitStrBufFill(ctx, buf, &cap, &info), PARSER_OK);
  EXPECT_EQ(info.buffer_kind, static_cast<uint32_t>(BUFFER_KIND_CODEC_DATA));
  EXPECT_EQ(info.copied_bytes, 4u);
  ASSERT_EQ(GSTPARSER_GetCodecConfig(ctx, config), PARSER_OK);
  EXPECT_EQ(config[0], 144u);
  EXPECT_EQ(config[1], 176u);
  ASSERT_EQ(GSTPARSER_BitStrBufFill(ctx, buf, &cap, &info), PARSER_OK);
  EXPECT_EQ(info.buffer_kind, static_cast<uint32_t>(BUFFER_KIND_FRAME));
  EXPECT_EQ(info.copied_bytes, 50u);
  EXPECT_EQ(GSTPARSER_BitStrBufFill(ctx, buf, &cap, &info), PARSER_END_OF_STREAM);
  GSTPARSER_Deinitialise(ctx);
  fclose(f);
  EXPECT_EQ(silent.text(), "");
}

TEST(RcvFile, ZeroSizeRecordIsSkippedAndCountedNotHandedOut) {
  RcvWriter rcv;
  rcv.frame(pattern(10, 1), true).frame_header(0).frame_header(0, 0x00).frame(pattern(20, 2));
  rcv.frame_header(0);
  HostRun r = run_host_all_capacities(rcv.take(), kVc1);
  EXPECT_EQ(r.end, PARSER_END_OF_STREAM);
  ASSERT_EQ(r.items.size(), 3u);
  EXPECT_EQ(r.items[1].data.size(), 10u);
  EXPECT_EQ(r.items[2].data.size(), 20u);
  EXPECT_EQ(r.items[2].skipped, 2u) << "reported with the frame that follows them";
  EXPECT_EQ(r.end_skipped, 1u) << "a trailing one is reported with end of stream";
}

TEST(RcvFile, ReservedFlagsAreTestedOnlyOnceTheFrameIsWhole) {
  Rcv p;
  Bytes file = RcvWriter().frame(pattern(100, 1), false).take();
  file[36 + 3] = 0x01;
  const Bytes first(file.begin(), file.end() - 50), rest(file.end() - 50, file.end());
  EXPECT_EQ(p.push(first), CHAIN_OK);
  EXPECT_EQ(p.push(rest), CHAIN_BAD_DATA);
  EXPECT_EQ(p.available(), 108u) << "nothing flushed";
  EXPECT_TRUE(p.take_frames().empty());

  // The flags test comes before the zero-size skip too.
  Rcv zero;
  EXPECT_EQ(zero.push(RcvWriter().frame_header(0, 0x81).take()), CHAIN_BAD_DATA);
  EXPECT_EQ(zero.out.skipped_frames, 0u);

  // Key-frame flag alone is fine.
  Rcv key;
  EXPECT_EQ(key.push(RcvWriter().frame(pattern(5, 1), true).take()), CHAIN_OK);
  EXPECT_EQ(key.take_frames().size(), 1u);
}

TEST(RcvFile, HeaderChecksAndWhatTheyPublish) {
  RcvHeader bad_length;
  bad_length.config_length = 5;
  Rcv a;
  EXPECT_EQ(a.push(RcvWriter(bad_length).frame(pattern(5, 1)).take()), CHAIN_BAD_DATA);
  EXPECT_EQ(a.out.codec_data, nullptr);
  EXPECT_EQ(a.out.width, 0u);

  RcvHeader bad_marker;
  bad_marker.marker = 0xC4;
  Rcv b;
  EXPECT_EQ(b.push(RcvWriter(bad_marker).take()), CHAIN_BAD_DATA);
  EXPECT_EQ(b.out.codec_data, nullptr);

  // A wrong remaining-header length comes after the codec data, width and
  // height are published; the header stays for the next call.
  RcvHeader bad_rest;
  bad_rest.remaining_length = 13;
  bad_rest.width = 0x12345;  // only the low 16 bits are kept
  Rcv c;
  EXPECT_EQ(c.push(RcvWriter(bad_rest).take()), CHAIN_BAD_DATA);
  EXPECT_EQ(c.codec_data(), bad_rest.config_bytes());
  EXPECT_EQ(c.out.width, 0x2345u);
  EXPECT_EQ(c.out.height, 144u);
  EXPECT_EQ(c.available(), 36u);
  EXPECT_EQ(c.drain(), CHAIN_BAD_DATA) << "met again, and the waiting buffer is not leaked";

  // Through the host: the error comes first, the codec data on the next call.
  HostRun r = run_host(RcvWriter(bad_rest).take(), kVc1, 64);
  EXPECT_EQ(r.end, PARSER_ERROR_CHAIN);
  EXPECT_TRUE(r.items.empty());
}

TEST(RcvFile, ShortFilesEndTheStreamWithNothing) {
  Bytes file = RcvWriter().take();
  file.resize(35);
  HostRun r = run_host(file, kVc1, 64);
  EXPECT_EQ(r.end, PARSER_END_OF_STREAM);
  EXPECT_TRUE(r.items.empty());
  EXPECT_EQ(r.config_result, PARSER_ERROR_NOT_READY);

  // A frame short by one byte is never handed out; a lone header neither.
  Bytes truncated = RcvWriter().frame(pattern(30, 1)).frame(pattern(40, 2)).take();
  truncated.pop_back();
  r = run_host(truncated, kVc1, 64);
  EXPECT_EQ(r.end, PARSER_END_OF_STREAM);
  EXPECT_EQ(r.items.size(), 2u);
  Bytes header7 = RcvWriter().frame(pattern(30, 1)).take();
  header7.insert(header7.end(), 7, 0);
  EXPECT_EQ(run_host(header7, kVc1, 64).items.size(), 2u);
}

TEST(RcvFile, LargestTwentyFourBitFrameComesOutWhole) {
  const Bytes frame = pattern(0xFFFFFF, 9);
  Bytes file = RcvWriter().frame(frame, true).frame(pattern(3, 1)).take();
  for (uint32_t capacity : {4096u, 64u << 20}) {
    HostRun r = run_host(file, kVc1, capacity);
    ASSERT_EQ(r.items.size(), 3u);
    EXPECT_TRUE(r.items[1].data == frame);
    EXPECT_EQ(r.items[2].data.size(), 3u) << "the flags byte is not part of the size";
  }
}

}  // namespace
