// SPDX-License-Identifier: BSD-2-Clause
// Reading the way real hosts read: pipes, standard input, reads interrupted
// by signals, and reads that fail. Every input gives exactly the items of the
// plain file run, or, when a read fails, the items built from the bytes read
// before the failure and then an error (never an early end of stream).
#include <gtest/gtest.h>

#include <cctype>
#include <memory>
#include <ostream>

#include "quillar/gstparser.h"
#include "support/streams.h"

using namespace qtest;

namespace {

using FilePtr = std::unique_ptr<FILE, int (*)(FILE *)>;

void expect_same_items(const HostRun &got, const HostRun &want, const std::string &what) {
  ASSERT_EQ(got.items.size(), want.items.size()) << what;
  for (size_t i = 0; i < got.items.size(); i++) {
    EXPECT_EQ(got.items[i].kind, want.items[i].kind) << what << " item " << i;
    EXPECT_TRUE(got.items[i].data == want.items[i].data) << what << " item " << i;
    EXPECT_EQ(got.items[i].skipped, want.items[i].skipped) << what << " item " << i;
  }
  EXPECT_EQ(got.end_skipped, want.end_skipped) << what;
}

// ---- Every input, through every kind of stream --------------------------

enum class Via { kPipe, kStdin, kPipeUnderTimer, kInterruptedReads };

struct Case {
  const StreamInput *input;
  Via via;
};

void PrintTo(const Case &c, std::ostream *os) {
  static const char *const names[] = {"pipe", "stdin", "pipe under a timer", "interrupted reads"};
  *os << c.input->name << " via " << names[static_cast<int>(c.via)];
}

std::vector<Case> all_cases() {
  std::vector<Case> cases;
  for (const StreamInput &in : stream_inputs())
    for (Via via : {Via::kPipe, Via::kStdin, Via::kPipeUnderTimer, Via::kInterruptedReads})
      cases.push_back({&in, via});
  return cases;
}

HostRun run_via(const StreamInput &in, Via via) {
  switch (via) {
    case Via::kPipe: {
      PipeFeeder feed(in.data, 3000);
      FilePtr f(feed.open(), fclose);
      return run_stream(f.get(), in.standard);
    }
    case Via::kStdin: {
      PipedStdin piped(in.data, 5000);
      return run_stream(stdin, in.standard);
    }
    case Via::kPipeUnderTimer: {
      // A slow writer keeps the reader blocked in read() while the timer
      // fires, so reads (the selection probe among them) are interrupted.
      PipeFeeder feed(in.data, 700, 100);
      FilePtr f(feed.open(), fclose);
      const unsigned long before = InterruptingTimer::signals();
      HostRun r;
      {
        InterruptingTimer timer(150);
        r = run_stream(f.get(), in.standard);
      }
      EXPECT_GT(InterruptingTimer::signals(), before) << "the timer never fired";
      return r;
    }
    case Via::kInterruptedReads: {
      ReadFaults faults;
      faults.interrupt_at = {0, 2, 4, 5, 8191, 8192, 8193};
      for (size_t at = 1000; at < in.data.size(); at += 2999) faults.interrupt_at.push_back(at);
      FilePtr f(faulty_stream(in.data, faults), fclose);
      return run_stream(f.get(), in.standard);
    }
  }
  return HostRun();
}

class Streams : public ::testing::TestWithParam<Case> {};

TEST_P(Streams, GiveTheItemsOfTheFile) {
  const StreamInput &in = *GetParam().input;
  const HostRun want = run_file(in);
  ASSERT_EQ(want.end, PARSER_END_OF_STREAM) << in.name;
  const HostRun got = run_via(in, GetParam().via);
  ASSERT_TRUE(got.initialised) << "the format was not recognised";
  EXPECT_EQ(got.end, PARSER_END_OF_STREAM);
  expect_same_items(got, want, in.name);
  EXPECT_EQ(got.config_result, want.config_result);
  EXPECT_EQ(got.config[0], want.config[0]);
  EXPECT_EQ(got.config[1], want.config[1]);
}

INSTANTIATE_TEST_SUITE_P(EveryInput, Streams, ::testing::ValuesIn(all_cases()));

// ---- Read errors ----------------------------------------------------------

class ReadErrors : public ::testing::TestWithParam<const StreamInput *> {};

std::vector<const StreamInput *> inputs() {
  std::vector<const StreamInput *> all;
  for (const StreamInput &in : stream_inputs()) all.push_back(&in);
  return all;
}

// Fills whole items from a context until a call does not return PARSER_OK.
int32_t pull(ParserContext *ctx, std::vector<Item> *items) {
  std::vector<uint8_t> buffer(kStreamCapacity);
  for (;;) {
    uint32_t capacity = kStreamCapacity;
    BitStrBufInfo info = {};
    const int32_t result = GSTPARSER_BitStrBufFill(ctx, buffer.data(), &capacity, &info);
    if (result != PARSER_OK) return result;
    EXPECT_EQ(info.frame_complete, 1u);
    Item item;
    item.kind = info.buffer_kind;
    item.data.assign(buffer.begin(), buffer.begin() + static_cast<long>(info.copied_bytes));
    items->push_back(std::move(item));
  }
}

// Reads fail with EIO from the middle of the file on. The items handed out
// are those that the bytes before the failure make (what the file cut there
// gives), then every call reports the error: the stream never ends as if the
// file were complete.
TEST_P(ReadErrors, AFailingReadIsReportedAfterTheItemsReadBeforeIt) {
  const StreamInput &in = *GetParam();
  const size_t cut = in.data.size() / 2;
  const Bytes head(in.data.begin(), in.data.begin() + static_cast<long>(cut));
  FILE *truncated = fmemopen(const_cast<uint8_t *>(head.data()), head.size(), "rb");
  const HostRun want = run_stream(truncated, in.standard);
  fclose(truncated);

  ReadFaults faults;
  faults.fail_from = cut;
  FilePtr f(faulty_stream(in.data, faults), fclose);
  ParserContext *ctx = nullptr;
  GSTPARSER_Initialise(&ctx, in.standard, f.get());
  ASSERT_NE(ctx, nullptr);
  std::vector<Item> items;
  StdoutCapture out;
  EXPECT_EQ(pull(ctx, &items), PARSER_ERROR_CHAIN);
  EXPECT_EQ(pull(ctx, &items), PARSER_ERROR_CHAIN) << "a later call reads again and fails again";
  const std::string printed = out.text();
  GSTPARSER_Deinitialise(ctx);
  EXPECT_NE(printed.find("Reading the file failed\n"), std::string::npos) << printed;
  ASSERT_EQ(items.size(), want.items.size());
  for (size_t i = 0; i < items.size(); i++) EXPECT_TRUE(items[i].data == want.items[i].data) << "item " << i;
}

// One read fails; the host clears the stream's error and goes on: exactly
// one call reports it, and nothing is lost or repeated.
TEST_P(ReadErrors, AHostThatClearsTheErrorGetsEveryItem) {
  const StreamInput &in = *GetParam();
  const HostRun want = run_file(in);
  ReadFaults faults;
  faults.fail_from = in.data.size() / 3;
  faults.fail_once = true;
  FilePtr f(faulty_stream(in.data, faults), fclose);
  ParserContext *ctx = nullptr;
  GSTPARSER_Initialise(&ctx, in.standard, f.get());
  ASSERT_NE(ctx, nullptr);
  std::vector<Item> items;
  StdoutCapture out;
  EXPECT_EQ(pull(ctx, &items), PARSER_ERROR_CHAIN);
  EXPECT_TRUE(ferror(f.get())) << "the stream's error is left for the host to see";
  clearerr(f.get());
  EXPECT_EQ(pull(ctx, &items), PARSER_END_OF_STREAM);
  out.text();
  GSTPARSER_Deinitialise(ctx);
  ASSERT_EQ(items.size(), want.items.size());
  for (size_t i = 0; i < items.size(); i++) EXPECT_TRUE(items[i].data == want.items[i].data) << "item " << i;
}

INSTANTIATE_TEST_SUITE_P(EveryInput, ReadErrors, ::testing::ValuesIn(inputs()),
                         [](const ::testing::TestParamInfo<const StreamInput *> &param) {
                           std::string name = param.param->name;
                           for (char &c : name)
                             if (!isalnum(static_cast<unsigned char>(c))) c = '_';
                           return name;
                         });

// The probe on a stream that cannot seek: too short a stream is still refused.
TEST(UnseekableSelection, TooShortAStreamIsRefused) {
  for (uint32_t code : {5u, 10u}) {
    FilePtr f(faulty_stream(Bytes{'D', 'K', 'I'}, ReadFaults()), fclose);
    ParserContext *ctx = reinterpret_cast<ParserContext *>(1);
    StdoutCapture out;
    GSTPARSER_Initialise(&ctx, code, f.get());
    EXPECT_EQ(ctx, nullptr);
    EXPECT_EQ(out.text(), code == 5 ? "Cannot determinate VC1 file format\n" : "Cannot determinate VP8 file format\n");
  }
}

}  // namespace
