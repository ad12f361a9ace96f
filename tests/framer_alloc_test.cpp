// SPDX-License-Identifier: BSD-2-Clause
// Running out of memory inside the RCV, VP6 and WebP framers: every
// allocation of a run is made to fail in turn. A run then either still gives
// every item, or stops with PARSER_ERROR_CHAIN after a correct prefix of
// them; nothing is written through a null pointer and nothing leaks.
#include <gtest/gtest.h>

#include "parsers/rcv/rcvparse.h"
#include "quillar/gstparser.h"
#include "support/alloc_fail.h"
#include "support/chain_driver.h"
#include "support/host.h"
#include "support/rcv_writer.h"
#include "support/vp6_writer.h"
#include "support/webp_writer.h"

using namespace qtest;

namespace {

void sweep(const Bytes &file, uint32_t standard, uint32_t capacity) {
  HostRun clean;
  {
    StdoutCapture quiet;
    clean = run_host(file, standard, capacity);
  }
  ASSERT_EQ(clean.end, PARSER_END_OF_STREAM);
  int failures = 0;
  for (long n = 0;; n++) {
    HostRun r;
    bool triggered = false;
    {
      StdoutCapture quiet;
      FailAllocation fail(n);
      r = run_host(file, standard, capacity);
      triggered = fail.triggered();
    }
    if (!triggered) break;  // the whole run needs fewer allocations
    ASSERT_TRUE(r.end == PARSER_END_OF_STREAM || r.end == PARSER_ERROR_CHAIN || !r.initialised)
        << "allocation " << n;
    if (r.end == PARSER_ERROR_CHAIN) failures++;
    if (r.end == PARSER_END_OF_STREAM) {
      ASSERT_EQ(r.items.size(), clean.items.size()) << n;
    }
    ASSERT_LE(r.items.size(), clean.items.size()) << "allocation " << n;
    for (size_t i = 0; i < r.items.size(); i++) {
      EXPECT_EQ(r.items[i].kind, clean.items[i].kind) << "allocation " << n << " item " << i;
      EXPECT_TRUE(r.items[i].data == clean.items[i].data) << "allocation " << n << " item " << i;
    }
  }
  EXPECT_GT(failures, 0);
}

// Frames inside a block (sub-buffers) and across blocks (assembled copies).
TEST(FramerAllocation, RcvFailsCleanlyAtEveryAllocation) {
  RcvWriter rcv;
  rcv.frame(pattern(100, 1), true).frame_header(0).frame(pattern(9000, 2)).frame(pattern(5, 3));
  sweep(rcv.take(), 5, 4096);
}

TEST(FramerAllocation, Vp6FailsCleanlyAtEveryAllocation) {
  sweep(Vp6Writer().frame(pattern(100, 1)).skipped().frame(pattern(9000, 2)).frame(pattern(5, 3)).take(),
        9, 4096);
}

TEST(FramerAllocation, WebpFailsCleanlyAtEveryAllocation) {
  WebpFile webp;
  webp.payload = pattern(10000, 1);
  sweep(webp.bytes(), 10, 4096);
}

TEST(FramerAllocation, RcvCodecDataThatCannotBeAllocatedPublishesNothing) {
  const Bytes file = RcvWriter().frame(pattern(10, 1), true).take();
  bool hit = false;
  for (long n = 0; n < 64; n++) {
    ChainDriver<quillar::RcvParseState, quillar::kRcvFormat> p;
    GstBuffer *buffer = buffer_of(file);
    int32_t result;
    {
      FailAllocation fail(n);
      result = p.chain(&p.out, buffer);
      if (!fail.triggered()) break;
    }
    ASSERT_TRUE(result == CHAIN_OK || result == CHAIN_ERROR) << n;
    if (result != CHAIN_ERROR) continue;
    EXPECT_EQ(p.out.frames, nullptr) << n;
    if (!p.out.codec_data) {
      EXPECT_EQ(p.out.width, 0u) << n;
      EXPECT_EQ(p.out.height, 0u) << n;
      hit |= p.state.adapter != nullptr && p.available() == file.size();
    }
  }
  EXPECT_TRUE(hit) << "the codec-data allocation itself was never made to fail";
}

}  // namespace
