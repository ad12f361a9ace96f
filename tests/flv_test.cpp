// SPDX-License-Identifier: BSD-2-Clause
// The FLV demultiplexer: VP6 frames out of FLV files given to code 9.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "demux/flv/flvdemux.h"
#include "quillar/gstparser.h"
#include "support/chain_driver.h"
#include "support/host.h"
#include "support/samples.h"
#include "support/streams.h"

using namespace qtest;

namespace {

constexpr uint32_t kVp6 = 9;

using Flv = ChainDriver<quillar::flv::FlvDemuxState, quillar::kFlvFormat>;

// What the demultiplexer makes of a whole file pushed in pieces of `piece`
// bytes, with a drain call after each push and at the end until nothing
// more comes.
struct ChainRun {
  std::vector<Bytes> frames;
  std::vector<uint64_t> timestamps;
  uint32_t skipped = 0;
  uint32_t mismatches = 0;
  int32_t result = CHAIN_OK;  // the first non-OK result
};

ChainRun run_chain(const Bytes &file, size_t piece) {
  Flv p;
  ChainRun r;
  auto collect = [&](int32_t result) {
    if (result != CHAIN_OK && r.result == CHAIN_OK) r.result = result;
    for (GSList *l = p.out.frames; l; l = l->next)
      r.timestamps.push_back(static_cast<GstBuffer *>(l->data)->timestamp);
    for (Bytes &f : p.take_frames()) r.frames.push_back(std::move(f));
  };
  for (size_t at = 0; at < file.size(); at += piece) {
    const size_t n = std::min(piece, file.size() - at);
    collect(p.push(Bytes(file.begin() + static_cast<long>(at), file.begin() + static_cast<long>(at + n))));
    collect(p.drain());
  }
  for (;;) {  // a drain call that gives nothing: all is out
    const size_t before = r.frames.size();
    collect(p.drain());
    if (r.frames.size() == before) break;
  }
  r.skipped = p.out.skipped_frames;
  r.mismatches = p.state.back_pointer_mismatches;
  return r;
}

HostRun quiet_run_all(const Bytes &file) {
  StdoutCapture quiet;
  return run_host_all_capacities(file, kVp6);
}

uint32_t total_skipped(const HostRun &r) {
  uint32_t n = r.end_skipped;
  for (const Item &item : r.items) n += item.skipped;
  return n;
}

// The same VP6 frames as a size-prefixed stream and as FLV tags, with audio
// and script tags between them, give the same items with the same
// skipped-frame counts at every host capacity.
TEST(FlvStream, GivesWhatTheVp6PathGivesForTheSameFrames) {
  const HostRun vp6 = quiet_run_all(sample_vp6());
  const HostRun flv = quiet_run_all(sample_flv());
  ASSERT_EQ(flv.end, PARSER_END_OF_STREAM);
  ASSERT_EQ(flv.items.size(), 10u);
  ASSERT_EQ(flv.items.size(), vp6.items.size());
  for (size_t i = 0; i < flv.items.size(); i++) {
    EXPECT_EQ(flv.items[i].kind, static_cast<uint32_t>(BUFFER_KIND_FRAME)) << i;
    EXPECT_TRUE(flv.items[i].data == vp6.items[i].data) << i;
    EXPECT_EQ(flv.items[i].skipped, vp6.items[i].skipped) << i;
  }
  EXPECT_EQ(flv.end_skipped, vp6.end_skipped);
  EXPECT_EQ(flv.config_result, PARSER_ERROR_NOT_READY);
}

TEST(FlvStream, AnySplittingOfTheInputGivesTheSameFramesAndTimes) {
  std::vector<Bytes> expected;
  for (const Bytes &f : sample_vp6_frames())
    if (!f.empty()) expected.push_back(f);
  for (size_t piece : {1u, 3u, 11u, 4096u, 1u << 20}) {
    const ChainRun r = run_chain(sample_flv(), piece);
    EXPECT_EQ(r.result, CHAIN_OK) << piece;
    EXPECT_TRUE(r.frames == expected) << piece;
    EXPECT_EQ(r.skipped, 3u) << piece;
    EXPECT_EQ(r.mismatches, 0u) << piece;
    ASSERT_EQ(r.timestamps.size(), expected.size());
    EXPECT_EQ(r.timestamps[4], 6 * 40 * 1000000ull) << "the fifth frame is the seventh video tag";
  }
}

struct TagCase {
  const char *what;
  std::vector<FlvTag> tags;       // between a first and a last frame
  std::vector<Bytes> frames;      // expected between those two
  uint32_t skipped;
  uint32_t mismatches = 0;
};

// Every kind of tag between two plain VP6 frames: which become frames, which
// count as skipped frames, which vanish.
TEST(FlvTags, EachKindBecomesAFrameASkippedFrameOrNothing) {
  const Bytes first = pattern(300, 1), last = pattern(40, 2), c = pattern(120, 3), a = pattern(60, 4);
  auto video = [](const Bytes &d) { return FlvTag{9, d}; };
  FlvTag wrong_back;
  wrong_back.data = flv_vp6(c);
  wrong_back.back_pointer = c.size() + 2;  // DataSize without the header
  FlvTag zero_back = video(flv_vp6(c));
  zero_back.back_pointer = 0;
  FlvTag odd_header = video(flv_vp6(c));
  odd_header.type = 0xC9;  // reserved bits set
  odd_header.stream_id = 7;
  FlvTag encrypted = video(flv_vp6(c));
  encrypted.type = 0x29;
  FlvTag encrypted_audio{0x28, flv_audio(a)};
  const std::vector<TagCase> cases = {
      {"inter, key, disposable, generated key frames", {video(flv_vp6(c, 2)), video(flv_vp6(a, 1)),
                                                       video(flv_vp6(c, 3)), video(flv_vp6(a, 4))},
       {c, a, c, a}, 0},
      {"adjustment byte is not part of the frame", {video(flv_vp6(c, 1, 0x48))}, {c}, 0},
      {"command frame", {video({0x54, 0x00}), video({0x55, 0x01})}, {}, 0},
      {"no frame data after the adjustment byte", {video(flv_vp6({}))}, {}, 1},
      {"only the VIDEODATA byte", {video({0x24})}, {}, 1},
      {"DataSize 0", {video({}), FlvTag{8, {}}, FlvTag{18, {}}}, {}, 1},
      {"other codecs, and an empty tag after them",
       {video({0x22, 1, 2, 3}), video({0x17, 1, 0, 0, 0}), video({})}, {}, 0},
      {"alpha: the colour frame only", {video(flv_vp6_alpha(c, a)), video(flv_vp6_alpha(a, {}))}, {c, a}, 0},
      {"alpha offset past the tag",
       {video(flv_vp6_alpha(c, a, 2, static_cast<uint32_t>(c.size() + a.size() + 1)))}, {}, 1},
      {"alpha offset 0", {video(flv_vp6_alpha(c, a, 2, 0))}, {}, 1},
      {"alpha header cut short", {video({0x25, 0x00, 0x00, 0x01})}, {}, 1},
      {"encrypted video and audio", {encrypted, encrypted_audio}, {}, 1},
      {"audio, script and unknown tags", {FlvTag{8, flv_audio(a)}, FlvTag{18, flv_metadata(1, 2, 3, 4)},
                                          FlvTag{0x1F, pattern(5000, 5)}, FlvTag{0, {}}},
       {}, 0},
      {"reserved bits and a stream id", {odd_header}, {c}, 0},
      {"wrong back-pointers are counted, not followed", {wrong_back, zero_back}, {c, c}, 0, 2},
  };
  for (const TagCase &tc : cases) {
    for (int layout = 0; layout < 3; layout++) {
      // The usual header; one 21 bytes long with no audio/video flags; a
      // nonzero first back-pointer.
      FlvWriter flv = layout == 0 ? FlvWriter() : layout == 1 ? FlvWriter(0, 21) : FlvWriter(5, 9, 77);
      flv.video(flv_vp6(first, 1));
      for (const FlvTag &t : tc.tags) flv.tag(t);
      const Bytes file = flv.video(flv_vp6(last)).take();
      std::vector<Bytes> want = {first};
      want.insert(want.end(), tc.frames.begin(), tc.frames.end());
      want.push_back(last);
      const ChainRun r = run_chain(file, 3);
      EXPECT_EQ(r.result, CHAIN_OK) << tc.what;
      EXPECT_TRUE(r.frames == want) << tc.what << ", layout " << layout;
      EXPECT_EQ(r.skipped, tc.skipped) << tc.what;
      EXPECT_EQ(r.mismatches, tc.mismatches + (layout == 2)) << tc.what;
      if (layout) continue;
      const HostRun h = quiet_run_all(file);
      ASSERT_EQ(h.items.size(), want.size()) << tc.what;
      for (size_t i = 0; i < want.size(); i++) EXPECT_TRUE(h.items[i].data == want[i]) << tc.what << " " << i;
      EXPECT_EQ(total_skipped(h), tc.skipped) << tc.what;
    }
  }
}

// Timestamp and TimestampExtended make one signed 32-bit time in ms; times
// may jump backwards. A negative time gives the frame no timestamp.
TEST(FlvTags, ExtendedTimestampsAreTheTimesHighByte) {
  const uint32_t times[] = {0, 0x00FFFFFF, 0x01000000, 0x12345678, 5, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF};
  FlvWriter flv;
  for (uint32_t t : times) flv.video(flv_vp6(pattern(10, t)), t);
  const ChainRun r = run_chain(flv.take(), 5);
  ASSERT_EQ(r.timestamps.size(), 8u);
  for (size_t i = 0; i < 6; i++) EXPECT_EQ(r.timestamps[i], uint64_t{times[i]} * 1000000u) << i;
  EXPECT_EQ(r.timestamps[6], GST_CLOCK_TIME_NONE);
  EXPECT_EQ(r.timestamps[7], GST_CLOCK_TIME_NONE);
}

// A refused file header fails the call and every later one; the input is
// released. Header bytes beyond the nine known ones are skipped, however
// many there are.
TEST(FlvFileHeader, RefusedHeadersFailAndLongHeadersAreSkipped) {
  const struct {
    const char *what;
    Bytes header;
  } refused[] = {
      {"signature", Writer().raw("FLW", 3).u8(1).u8(5).be32(9).take()},
      {"version", Writer().raw("FLV", 3).u8(2).u8(5).be32(9).take()},
      {"DataOffset below 9", Writer().raw("FLV", 3).u8(1).u8(5).be32(8).take()},
  };
  for (const auto &c : refused) {
    Flv p;
    EXPECT_EQ(p.push(c.header), CHAIN_ERROR) << c.what;
    EXPECT_EQ(p.push(pattern(100, 1)), CHAIN_ERROR) << c.what;
    EXPECT_EQ(p.drain(), CHAIN_ERROR) << c.what;
    EXPECT_EQ(p.available(), 0u) << c.what;
  }
  Flv p;
  ASSERT_EQ(p.push(Writer().raw("FLV", 3).u8(1).u8(5).be32(0xFFFFFFFFu).take()), CHAIN_OK);
  for (int i = 0; i < 50; i++) {
    ASSERT_EQ(p.push(Bytes(8192, 0)), CHAIN_OK);
    EXPECT_EQ(p.available(), 0u);
  }
}

// A file may end anywhere: every frame whose tag is complete comes out, the
// stream then ends normally, and nothing of a cut tag is handed out.
TEST(FlvTruncated, EveryCutGivesTheCompleteFramesBeforeIt) {
  FlvWriter flv;
  std::vector<size_t> frame_ends;  // where each frame's tag data ends
  flv.script(flv_metadata(1, 64, 48, 4));
  for (uint32_t i = 0; i < 3; i++) {
    flv.video(flv_vp6(pattern(20 + i, 10 + i), i ? 2 : 1), 40 * i);
    frame_ends.push_back(flv.size() - 4);
    flv.audio(flv_audio(pattern(9, i)));
  }
  const Bytes file = flv.take();
  for (size_t cut = 0; cut <= file.size(); cut++) {
    const Bytes part(file.begin(), file.begin() + static_cast<long>(cut));
    size_t want = 0;
    while (want < frame_ends.size() && frame_ends[want] <= cut) want++;
    StdoutCapture quiet;
    const HostRun r = run_host(part, kVp6, 7);
    ASSERT_EQ(r.end, PARSER_END_OF_STREAM) << cut;
    if (cut < 4) continue;  // too short to be told from a VP6 stream
    ASSERT_EQ(r.items.size(), want) << cut;
    for (size_t i = 0; i < want; i++) EXPECT_TRUE(r.items[i].data == pattern(20 + i, 10 + i)) << cut;
  }
}

// Tags nobody reads are released as they stream past, whatever DataSize
// says; a VP6 frame is the one thing waited for whole.
TEST(FlvHugeTags, SkippedTagsAreReleasedAsTheyArrive) {
  for (uint32_t type : {8u, 18u, 9u, 0x1Fu}) {
    Flv p;
    Writer head;
    head.bytes(FlvWriter().video(flv_vp6(pattern(10, 1))).take());
    // A tag of the largest size; for video an H.263 one.
    head.u8(type).be24(0xFFFFFF).be24(0).u8(0).be24(0).u8(type == 9 ? 0x22 : 0x00);
    ASSERT_EQ(p.push(head.take()), CHAIN_OK);
    EXPECT_EQ(p.take_frames().size(), 1u);
    size_t pushed = 1;
    while (pushed + 8192 <= 0xFFFFFF) {
      ASSERT_EQ(p.push(Bytes(8192, 0x55)), CHAIN_OK);
      pushed += 8192;
      ASSERT_EQ(p.available(), 0u) << "type " << type << " after " << pushed;
    }
    Writer tail;
    tail.fill(0xFFFFFF - pushed, 0x55).be32(11 + 0xFFFFFF);
    tail.bytes(Writer().u8(9).be24(12).be24(0).u8(0).be24(0).bytes(flv_vp6(pattern(10, 2))).take());
    ASSERT_EQ(p.push(tail.take()), CHAIN_OK);
    EXPECT_EQ(p.take_frames(), std::vector<Bytes>{pattern(10, 2)}) << type;
    EXPECT_EQ(p.state.back_pointer_mismatches, 0u);
  }

  // A VP6 frame tag of the largest size whose bytes never all arrive: the
  // frames before it come out and the stream ends.
  Writer w;
  w.bytes(FlvWriter().video(flv_vp6(pattern(10, 1))).take());
  w.u8(9).be24(0xFFFFFF).be24(0).u8(0).be24(0).bytes(flv_vp6(pattern(50000, 3)));
  StdoutCapture quiet;
  const HostRun r = run_host(w.take(), kVp6, 4096);
  EXPECT_EQ(r.end, PARSER_END_OF_STREAM);
  EXPECT_EQ(r.items.size(), 1u);
}

// Code 9 goes to FLV only for "FLV" with version 1; everything else is a
// size-prefixed VP6 stream as before, also when it cannot be probed.
TEST(FlvSelection, OnlyFlvVersionOneLeavesTheVp6Path) {
  const Bytes flv = sample_flv();
  Bytes other_version = flv;
  other_version[3] = 2;
  {
    StdoutCapture quiet;
    EXPECT_EQ(run_host(other_version, kVp6, 4096).items.size(), 0u) << "read as one 39 MB VP6 frame";
    const HostRun tiny = run_host({'F', 'L', 'V'}, kVp6, 4096);
    EXPECT_TRUE(tiny.initialised);
    EXPECT_EQ(tiny.end, PARSER_END_OF_STREAM);
  }

  // The probe leaves the position where the host put it.
  Bytes shifted = Vp6Writer().frame(pattern(5, 1)).take();
  const size_t prefix = shifted.size();
  shifted.insert(shifted.end(), flv.begin(), flv.end());
  FILE *f = fmemopen(shifted.data(), shifted.size(), "rb");
  ASSERT_EQ(fseek(f, static_cast<long>(prefix), SEEK_SET), 0);
  ParserContext *ctx = nullptr;
  GSTPARSER_Initialise(&ctx, kVp6, f);
  ASSERT_NE(ctx, nullptr);
  EXPECT_EQ(ftell(f), static_cast<long>(prefix));
  uint8_t buffer[16384];
  uint32_t capacity = sizeof buffer;
  BitStrBufInfo info;
  ASSERT_EQ(GSTPARSER_BitStrBufFill(ctx, buffer, &capacity, &info), PARSER_OK);
  EXPECT_EQ(Bytes(buffer, buffer + info.copied_bytes), sample_vp6_frames()[0]);
  GSTPARSER_Deinitialise(ctx);
  fclose(f);

  // On a pipe the probed bytes are kept for whichever parser reads the
  // stream: the items, and for VP6 the messages, are those of the same bytes
  // in a regular file.
  const Bytes inputs[] = {flv, sample_vp6(), {3, 0, 0}};
  for (const Bytes &input : inputs) {
    HostRun piped, regular;
    std::string piped_text, regular_text;
    {
      StdoutCapture out;
      PipeFeeder feeder(input, 1000);
      FILE *p = feeder.open();
      piped = run_stream(p, kVp6);
      fclose(p);
      piped_text = out.text();
    }
    {
      StdoutCapture out;
      regular = run_host(input, kVp6, kStreamCapacity);
      regular_text = out.text();
    }
    EXPECT_EQ(piped.end, PARSER_END_OF_STREAM);
    ASSERT_EQ(piped.items.size(), regular.items.size()) << input.size();
    for (size_t i = 0; i < piped.items.size(); i++) EXPECT_TRUE(piped.items[i].data == regular.items[i].data);
    EXPECT_EQ(piped_text, regular_text);
  }
}

}  // namespace
