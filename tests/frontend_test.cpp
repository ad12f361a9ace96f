// SPDX-License-Identifier: BSD-2-Clause
// The host calls: format selection, hand-out, codec configuration, teardown.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include "api/context.h"
#include "quillar/gstparser.h"
#include "support/host.h"
#include "support/ivf_writer.h"

using namespace qtest;

namespace {

struct MemFile {
  Bytes bytes;
  FILE *f;
  explicit MemFile(Bytes b) : bytes(std::move(b)), f(fmemopen(bytes.data(), bytes.size(), "rb")) {}
  ~MemFile() { fclose(f); }
};

ParserContext *open_with(FILE *f, uint32_t standard, std::string *printed) {
  StdoutCapture out;
  ParserContext *ctx = reinterpret_cast<ParserContext *>(1);
  GSTPARSER_Initialise(&ctx, standard, f);
  *printed = out.text();
  return ctx;
}

TEST(Selection, UnsupportedCodesAreRefusedWithAMessage) {
  MemFile m(IvfWriter().take());
  for (uint32_t code : {0u, 1u, 6u, 11u, 0xFFFFFFFFu}) {
    std::string printed;
    EXPECT_EQ(open_with(m.f, code, &printed), nullptr) << code;
    EXPECT_EQ(printed, "Video standard not supported by parser\n");
  }
}

TEST(Selection, Vp8NeedsDkifOrRiffAndRewindsToTheStart) {
  std::string printed;
  MemFile three(Bytes{'D', 'K', 'I'});
  EXPECT_EQ(open_with(three.f, 10, &printed), nullptr);
  EXPECT_EQ(printed, "Cannot determinate VP8 file format\n");
  MemFile other(Bytes{'O', 'g', 'g', 'S', 0, 0});
  EXPECT_EQ(open_with(other.f, 10, &printed), nullptr);
  EXPECT_EQ(printed, "Cannot determinate VP8 file format\n");

  MemFile ivf(IvfWriter().take());
  ParserContext *ctx = open_with(ivf.f, 10, &printed);
  ASSERT_NE(ctx, nullptr);
  EXPECT_EQ(ftell(ivf.f), 0);
  GSTPARSER_Deinitialise(ctx);
}

TEST(Selection, Vc1LooksAtByteThreeAndLeavesThePositionAlone) {
  Bytes b = {0xAA, 0xBB, 0, 0, 0, 0xC5, 0, 0, 0, 0};
  MemFile m(b);
  fseek(m.f, 2, SEEK_SET);
  std::string printed;
  ParserContext *ctx = open_with(m.f, 5, &printed);
  ASSERT_NE(ctx, nullptr);
  EXPECT_EQ(ftell(m.f), 2);
  GSTPARSER_Deinitialise(ctx);

  MemFile shorter(Bytes{1, 2, 3});
  EXPECT_EQ(open_with(shorter.f, 5, &printed), nullptr);
  EXPECT_EQ(printed, "Cannot determinate VC1 file format\n");
}

TEST(Selection, TableAndRulesAgree) {
  EXPECT_TRUE(quillar::rules_are_complete());
  for (const quillar::FormatDescriptor *f : quillar::formats()) {
    size_t same_name = 0;
    for (const quillar::FormatDescriptor *g : quillar::formats()) same_name += strcmp(f->name, g->name) == 0;
    EXPECT_EQ(same_name, 1u) << f->name << ": the fuzz targets find formats by name";
  }
}

// Which row each code picks for a file's first bytes, and where the file is
// left: the table's order and the codes' rules together.
TEST(Selection, EachCodePicksItsRowByTheFirstBytes) {
  struct Case {
    uint32_t code;
    Bytes head;
    const char *format;  // expected row's name; null: refused
    long position;       // where the file is left (it starts at 1)
    const char *printed;
  };
  const Bytes asf_guid = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66};
  const Bytes ebml = {0x1A, 0x45, 0xDF, 0xA3, 0x9F};
  const Case cases[] = {
      {5, {0, 0, 0, 0xC5, 0}, "rcv", 1, ""},
      {5, asf_guid, "asf", 1, ""},
      {5, {0, 0, 0xC5, 0, 0}, "asf", 1, ""},  // byte 3 counts from the position
      {5, {1, 2, 3}, nullptr, 1, "Cannot determinate VC1 file format\n"},
      {7, {}, "rm", 1, ""},
      {7, {0, '.', 'R', 'M', 'F', 0}, "rm", 1, ""},
      {8, {0, 'R', 'I', 'F', 'F', 0}, "avi", 1, ""},
      {9, {0}, "vp6", 1, ""},
      {9, {'F', 'L', 'V', 1, 0}, "flv", 1, ""},
      {9, {'F', 'L', 'V', 2, 0}, "vp6", 1, ""},
      {9, {'F', 'L', 'V'}, "vp6", 1, ""},  // too short to probe
      {10, {'D', 'K', 'I', 'F', 0}, "ivf", 0, ""},
      {10, {'R', 'I', 'F', 'F', 0}, "webp", 0, ""},
      {10, {'R', 'I', 'F', 'X', 0}, nullptr, 0, "Cannot determinate VP8 file format\n"},
      {5, ebml, "matroska", 1, ""},
      {7, ebml, "matroska", 1, ""},
      {10, ebml, "matroska", 0, ""},
      {8, ebml, "avi", 1, ""},
      {9, ebml, "vp6", 1, ""},
  };
  for (const Case &c : cases) {
    Bytes file = c.head;
    file.insert(file.begin(), 0xEE);  // the host has already read one byte
    MemFile m(file);
    fseek(m.f, 1, SEEK_SET);
    std::string printed;
    ParserContext *ctx = open_with(m.f, c.code, &printed);
    SCOPED_TRACE(testing::Message() << "code " << c.code << ", expected " << (c.format ? c.format : "none"));
    EXPECT_EQ(printed, c.printed);
    EXPECT_EQ(ftell(m.f), c.position);
    if (!c.format) {
      EXPECT_EQ(ctx, nullptr);
      continue;
    }
    ASSERT_NE(ctx, nullptr);
    const quillar::FormatDescriptor *chosen = nullptr;
    for (const quillar::FormatDescriptor *f : quillar::formats())
      if (f->chain == ctx->chain && f->reset == ctx->reset) chosen = f;
    ASSERT_NE(chosen, nullptr);
    EXPECT_STREQ(chosen->name, c.format);
    EXPECT_EQ(ctx->output.parser_state, static_cast<void *>(ctx->parser_storage));
    if (chosen == &quillar::kMatroskaFormat) {  // it plays the track that fits the code
      EXPECT_EQ(reinterpret_cast<quillar::mkv::MkvState *>(ctx->parser_storage)->standard, c.code);
    }
    GSTPARSER_Deinitialise(ctx);
  }
}

TEST(Selection, NullArgumentsDoNotCrash) {
  GSTPARSER_Initialise(nullptr, 10, nullptr);
  ParserContext *ctx = reinterpret_cast<ParserContext *>(1);
  StdoutCapture out;
  GSTPARSER_Initialise(&ctx, 10, nullptr);
  EXPECT_EQ(ctx, nullptr);
  GSTPARSER_Deinitialise(nullptr);
}

TEST(HandOut, NullPointersAreParameterErrors) {
  MemFile m(IvfWriter().frame(pattern(10, 0)).take());
  std::string printed;
  ParserContext *ctx = open_with(m.f, 10, &printed);
  uint8_t buf[16];
  uint32_t cap = sizeof buf;
  BitStrBufInfo info = {};
  StdoutCapture out;
  EXPECT_EQ(GSTPARSER_BitStrBufFill(nullptr, buf, &cap, &info), PARSER_ERROR_PARAMETER);
  EXPECT_EQ(GSTPARSER_BitStrBufFill(ctx, nullptr, &cap, &info), PARSER_ERROR_PARAMETER);
  EXPECT_EQ(GSTPARSER_BitStrBufFill(ctx, buf, nullptr, &info), PARSER_ERROR_PARAMETER);
  EXPECT_EQ(GSTPARSER_BitStrBufFill(ctx, buf, &cap, nullptr), PARSER_ERROR_PARAMETER);
  uint32_t config[2];
  EXPECT_EQ(GSTPARSER_GetCodecConfig(nullptr, config), PARSER_ERROR_PARAMETER);
  EXPECT_EQ(GSTPARSER_GetCodecConfig(ctx, nullptr), PARSER_ERROR_PARAMETER);
  EXPECT_EQ(GSTPARSER_GetCodecConfig(ctx, config), PARSER_ERROR_NOT_READY);
  EXPECT_EQ(out.text(),
            "Invalid parameters passed to gst parser\n"
            "Invalid parameters passed to gst parser\n"
            "Invalid parameters passed to gst parser\n"
            "Invalid parameters passed to gst parser\n"
            "Invalid parameters passed to codec config\n"
            "Invalid parameters passed to codec config\n"
            "Trying to get codec config when it is not ready\n");
  EXPECT_EQ(GSTPARSER_BitStrBufFill(ctx, buf, &cap, &info), PARSER_OK) << "nothing was disturbed";
  EXPECT_EQ(info.copied_bytes, 10u);
  GSTPARSER_Deinitialise(ctx);
}

TEST(HandOut, SplitItemsReadNothingWhilePiecesRemain) {
  MemFile m(IvfWriter().frame(pattern(20000, 1)).frame(pattern(5, 2)).take());
  std::string printed;
  ParserContext *ctx = open_with(m.f, 10, &printed);
  uint8_t buf[8192];
  uint32_t cap = 6000;
  BitStrBufInfo info = {};
  ASSERT_EQ(GSTPARSER_BitStrBufFill(ctx, buf, &cap, &info), PARSER_OK);
  EXPECT_EQ(info.copied_bytes, 6000u);
  EXPECT_EQ(info.frame_complete, 0u);
  EXPECT_EQ(info.buffer_kind, static_cast<uint32_t>(BUFFER_KIND_FRAME));
  const long position = ftell(m.f);

  uint32_t zero = 0;
  info.buffer_kind = 77;
  ASSERT_EQ(GSTPARSER_BitStrBufFill(ctx, buf, &zero, &info), PARSER_OK);
  EXPECT_EQ(info.copied_bytes, 0u);
  EXPECT_EQ(info.frame_complete, 0u);
  EXPECT_EQ(info.buffer_kind, 77u) << "a continuing call leaves buffer_kind alone";

  uint64_t total = 6000;
  do {
    ASSERT_EQ(GSTPARSER_BitStrBufFill(ctx, buf, &cap, &info), PARSER_OK);
    total += info.copied_bytes;
    EXPECT_EQ(ftell(m.f), position);
  } while (!info.frame_complete);
  EXPECT_EQ(total, 20000u);
  ASSERT_EQ(GSTPARSER_BitStrBufFill(ctx, buf, &cap, &info), PARSER_OK);
  EXPECT_EQ(info.copied_bytes, 5u);
  EXPECT_EQ(GSTPARSER_BitStrBufFill(ctx, buf, &cap, &info), PARSER_END_OF_STREAM);
  EXPECT_EQ(GSTPARSER_BitStrBufFill(ctx, buf, &cap, &info), PARSER_END_OF_STREAM) << "and stays there";
  GSTPARSER_Deinitialise(ctx);
}

TEST(HandOut, TeardownMidItemReleasesEverything) {
  // Leak-checked: a context dropped with an item half handed out and frames
  // still queued in the parser's adapter frees them all.
  MemFile m(IvfWriter().frame(pattern(3000, 1)).frame(pattern(30, 2)).frame(pattern(30, 3)).take());
  std::string printed;
  ParserContext *ctx = open_with(m.f, 10, &printed);
  uint8_t buf[100];
  uint32_t cap = sizeof buf;
  BitStrBufInfo info = {};
  ASSERT_EQ(GSTPARSER_BitStrBufFill(ctx, buf, &cap, &info), PARSER_OK);
  EXPECT_EQ(info.frame_complete, 0u);
  GSTPARSER_Deinitialise(ctx);
}

TEST(HandOut, AChainErrorLeavesTheContextUsable) {
  MemFile m(IvfWriter("VP70").frame(pattern(10, 0)).take());
  std::string printed;
  ParserContext *ctx = open_with(m.f, 10, &printed);
  uint8_t buf[64];
  uint32_t cap = sizeof buf;
  BitStrBufInfo info = {1, 2, 3, 4};
  StdoutCapture out;
  EXPECT_EQ(GSTPARSER_BitStrBufFill(ctx, buf, &cap, &info), PARSER_ERROR_CHAIN);
  EXPECT_EQ(info.copied_bytes, 1u) << "info is not written on a chain error";
  EXPECT_NE(out.text().find("Parsing with newly filled buffer failed\n"), std::string::npos);
  GSTPARSER_Deinitialise(ctx);
}

}  // namespace
