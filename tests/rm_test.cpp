// SPDX-License-Identifier: BSD-2-Clause
// The RealMedia demultiplexer on files built in memory.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "demux/rm/rmdemux.h"
#include "quillar/rmutils.h"
#include "support/alloc_fail.h"
#include "support/chain_driver.h"
#include "support/host.h"
#include "support/rm_writer.h"

using namespace qtest;

namespace {

constexpr uint32_t kRealVideo = 7;
const Bytes kCodec = {0x10, 0x00, 0x00, 0x08, 0x20, 0x10, 0x30, 0x01};

Bytes frames_of(const HostRun &r, uint32_t kind = 1, size_t index = 0) {
  size_t seen = 0;
  for (const Item &item : r.items)
    if (item.kind == kind && seen++ == index) return item.data;
  return {};
}
size_t count_of(const HostRun &r, uint32_t kind) {
  size_t n = 0;
  for (const Item &item : r.items) n += item.kind == kind;
  return n;
}

// The headers every test file starts with: video stream 1, audio stream 2.
RmWriter headers(uint16_t video_id = 1) {
  RmWriter w;
  w.file_header().properties().content("Quillar");
  w.video_stream(video_id, 320, 240, kCodec).audio_stream(2);
  return w;
}

RmPacket audio(size_t n) { return rm_packet(2, pattern(n, 99)); }

// Drives the chain directly, pushing the file in slices of `slice` bytes,
// and returns every item in hand-out order (codec data 2, frames 1).
struct Direct : ChainDriver<quillar::RmDemuxState, quillar::kRmFormat> {
  quillar::RmDemuxState &st = state;
  std::vector<KindedItem> items;
  Direct() { EXPECT_EQ(gst_rmdemux_reset(&out), 1); }
  ~Direct() { EXPECT_EQ(gst_rmdemux_reset(&out), 1) << "the reset's result is always 1"; }
  bool take() { return take_items(&items); }
  void collect() {
    while (take()) results.push_back(drain());
  }
  std::vector<int32_t> results;  // of every chain call
  bool all_ok() const {
    for (int32_t r : results)
      if (r != 0) return false;
    return true;
  }
  int32_t push(const Bytes &b, size_t at, size_t n) {
    const auto from = b.begin() + static_cast<long>(at);
    const int32_t r = ChainDriver::push(Bytes(from, from + static_cast<long>(n)));
    results.push_back(r);
    collect();
    return r;
  }
  void feed(const Bytes &file, size_t slice) {
    for (size_t at = 0; at < file.size(); at += slice) push(file, at, std::min(slice, file.size() - at));
    EXPECT_TRUE(all_ok());
  }
};

TEST(RmStrings, ReadersCheckTheLengthAgainstWhatIsAvailable) {
  const uint8_t s8[] = {5, 'h', 'e', 'l', 'l', 'o', 'x'};
  uint32_t used = 99;
  EXPECT_EQ(gst_rm_utils_read_string8(s8, 0, &used), nullptr);
  EXPECT_EQ(used, 0u);
  EXPECT_EQ(gst_rm_utils_read_string8(s8, 5, &used), nullptr);
  char *s = gst_rm_utils_read_string8(s8, 6, &used);
  EXPECT_STREQ(s, "hello");
  EXPECT_EQ(used, 6u);
  free(s);
  const uint8_t nul[] = {3, 'a', 0, 'b'};
  s = gst_rm_utils_read_string8(nul, 4, nullptr);
  EXPECT_STREQ(s, "a");
  free(s);
  const uint8_t s16[] = {0, 2, 'o', 'k'};
  EXPECT_EQ(gst_rm_utils_read_string16(s16, 1, &used), nullptr);
  EXPECT_EQ(gst_rm_utils_read_string16(s16, 3, &used), nullptr);
  s = gst_rm_utils_read_string16(s16, 4, &used);
  EXPECT_STREQ(s, "ok");
  EXPECT_EQ(used, 4u);
  free(s);
  EXPECT_EQ(gst_rm_utils_read_string8(nullptr, 10, &used), nullptr);
  gst_rm_utils_run_tests();
}

// The canonical file: headers, a DATA chunk with version 0 and 1 packets,
// audio among them, then an index.
Bytes canonical() {
  const Bytes f1 = pattern(300, 1), f2 = pattern(40, 2), f3 = pattern(50, 3);
  RmPacket v1 = rm_packet(1, rv_whole(f2), 1);
  Bytes packed = rv_packed(f2);
  const Bytes more = rv_packed(f3);
  packed.insert(packed.end(), more.begin(), more.end());
  return headers()
      .data({rm_packet(1, rv_whole(f1)), audio(100), v1, rm_packet(1, packed), audio(30)})
      .index(1, 3)
      .take();
}

TEST(RmDemux, CanonicalFileGivesCodecDataThenFrames) {
  HostRun r = run_host_all_capacities(canonical(), kRealVideo);
  ASSERT_EQ(r.end, 12);
  ASSERT_EQ(r.items.size(), 5u);
  EXPECT_EQ(r.items[0].kind, 2u);
  EXPECT_EQ(r.items[0].data, kCodec);
  EXPECT_EQ(frames_of(r, 1, 0), rv_frame({pattern(300, 1)}));
  EXPECT_EQ(frames_of(r, 1, 1), rv_frame({pattern(40, 2)}));
  // Two 0xC0 fragments in one packet: two frames.
  EXPECT_EQ(frames_of(r, 1, 2), rv_frame({pattern(40, 2)}));
  EXPECT_EQ(frames_of(r, 1, 3), rv_frame({pattern(50, 3)}));
  EXPECT_EQ(r.config[0], 240u);
  EXPECT_EQ(r.config[1], 320u);
}

TEST(RmDemux, AnySlicingOfTheInputGivesTheSameItems) {
  const Bytes file = canonical();
  Direct whole;
  whole.feed(file, file.size());
  ASSERT_EQ(whole.items.size(), 5u);
  for (size_t slice : {1, 3, 7, 64}) {
    Direct d;
    d.feed(file, slice);
    EXPECT_EQ(d.items, whole.items) << "slices of " << slice;
  }
}

TEST(RmDemux, FrameReassembledFromPiecesAcrossInterleavedPackets) {
  const Bytes a = pattern(100, 1), b = pattern(100, 2), c = pattern(50, 3);
  Bytes file = headers()
                   .data({rm_packet(1, rv_part(1, 250, 0, a)), audio(60),
                          rm_packet(1, rv_part(2, 250, 100, b), 1), audio(61),
                          rm_packet(1, rv_last(3, 250, c))})
                   .take();
  HostRun r = run_host_all_capacities(file, kRealVideo);
  ASSERT_EQ(count_of(r, 1), 1u);
  const Bytes frame = frames_of(r);
  ASSERT_EQ(frame.size(), 1u + 24 + 250);
  EXPECT_EQ(frame, rv_frame({a, b, c}));  // byte 0 = 2, offsets 0, 100, 200
}

TEST(RmDemux, NumbersTakeTheShortFormWhenEitherTopBitIsSet) {
  // 0x8000 | 6 is six bytes, just as 0x4000 | 6 would be.
  Bytes body = Writer().u8(kRvPacked).be16(0x8006).be16(0x8000).u8(0).bytes(pattern(6, 4)).take();
  const Bytes next = rv_packed(pattern(5, 5));
  body.insert(body.end(), next.begin(), next.end());
  HostRun r = run_host(headers().data({rm_packet(1, body)}).take(), kRealVideo, 4096);
  ASSERT_EQ(count_of(r, 1), 2u);
  EXPECT_EQ(frames_of(r, 1, 0), rv_frame({pattern(6, 4)}));
  EXPECT_EQ(frames_of(r, 1, 1), rv_frame({pattern(5, 5)}));
}

TEST(RmDemux, EveryVideoStreamIsKeptAndTheLastHeaderGivesTheSize) {
  RmWriter w;
  w.file_header().video_stream(1, 320, 240, kCodec).audio_stream(2);
  w.video_stream(3, 640, 480, {7, 7}, "video/x-pn-multirate-realvideo");
  w.data({rm_packet(3, rv_whole(pattern(20, 3))), rm_packet(2, rv_whole(pattern(9, 9))),
          rm_packet(1, rv_whole(pattern(10, 1))), rm_packet(4, rv_whole(pattern(9, 9)))});
  HostRun r = run_host_all_capacities(w.take(), kRealVideo);
  ASSERT_EQ(r.items.size(), 4u);
  EXPECT_EQ(frames_of(r, 2, 0), kCodec);
  EXPECT_EQ(frames_of(r, 2, 1), Bytes({7, 7}));
  EXPECT_EQ(frames_of(r, 1, 0), rv_frame({pattern(20, 3)}));
  EXPECT_EQ(frames_of(r, 1, 1), rv_frame({pattern(10, 1)}));
  EXPECT_EQ(r.config[0], 480u);
  EXPECT_EQ(r.config[1], 640u);
}

TEST(RmDemux, VideoHeaderWithoutCodecDataGivesNoCodecItem) {
  RmWriter w;
  w.file_header().video_stream(1, 320, 240, {});
  w.data({rm_packet(1, rv_whole(pattern(10, 1)))});
  HostRun r = run_host(w.take(), kRealVideo, 4096);
  ASSERT_EQ(r.items.size(), 1u);
  EXPECT_EQ(r.items[0].kind, 1u);
  EXPECT_EQ(r.config_result, 15);  // never ready without a codec item
}

TEST(RmDemux, GarbageAndUnknownChunksAreSteppedOver) {
  Writer garbage;
  garbage.raw("\x01junk\x02\x03\x04", 8);
  Bytes file = RmWriter()
                   .raw(garbage.data())
                   .file_header()
                   .chunk("RMMD", pattern(5000, 8))  // unknown: skipped by its size
                   .raw(Bytes{0x00, 0x00, 0x00, 0x00})
                   .video_stream(1, 320, 240, kCodec)
                   .chunk("DATA", Writer().be32(1).be32(0).bytes(rm_packet_bytes(rm_packet(1, rv_whole(pattern(9, 1))))).take(), 3)
                   .take();
  HostRun r = run_host_all_capacities(file, kRealVideo);
  EXPECT_EQ(r.end, 12);
  ASSERT_EQ(r.items.size(), 2u);  // DATA's own size (3 here) is not used
  EXPECT_EQ(frames_of(r), rv_frame({pattern(9, 1)}));
}

TEST(RmDemux, PacketCountAndFramingDecideWhereDataEnds) {
  // Length 2 is dropped (4 bytes) and not counted; length 4 counts and ends
  // the packets; the following INDX and DATA chunks are still read.
  RmWriter w = headers();
  Writer odd;
  odd.be16(0).be16(2).be16(0).be16(4).be16(1).be16(0);  // len 2, then len 4
  w.chunk("DATA", Writer().be32(5).be32(1).bytes(odd.data()).take());
  w.index(1, 0);
  // One packet counted; the uncounted one after it is walked over as chunk
  // headers (all zero, so in 4-byte steps), and the next DATA is reached.
  w.data({rm_packet(1, rv_whole(pattern(8, 2))), rm_packet(1, rv_whole(Bytes(10, 0)))}, 0, 1);
  w.data({rm_packet(1, rv_whole(pattern(8, 3)))});
  HostRun r = run_host_all_capacities(w.take(), kRealVideo);
  ASSERT_EQ(count_of(r, 1), 2u);
  EXPECT_EQ(frames_of(r, 1, 0), rv_frame({pattern(8, 2)}));
  EXPECT_EQ(frames_of(r, 1, 1), rv_frame({pattern(8, 3)}));
}

TEST(RmDemux, UnexpectedVersionEndsTheStreamUnlessMoreDataIsAnnounced) {
  for (uint32_t next : {0u, 1234u}) {
    // Ten packets announced, one present: the next chunk's tag is met
    // where a packet should be.
    Bytes file = headers()
                     .data({rm_packet(1, rv_whole(pattern(8, 1)))}, next, 10)
                     .raw({0x00, 0x02})  // version 2: two bytes consumed
                     .data({rm_packet(1, rv_whole(pattern(8, 2)))})
                     .take();
    HostRun r = run_host_all_capacities(file, kRealVideo);
    EXPECT_EQ(r.end, 12);
    EXPECT_EQ(count_of(r, 1), next ? 2u : 1u) << "next DATA at " << next;
  }
}

TEST(RmDemux, EndStateReleasesInput) {
  Direct d;
  d.feed(headers().data({rm_packet(1, rv_whole(pattern(8, 1)))}, 0, 5).take(), 4096);
  d.push(Bytes{'I', 'N', 'D', 'X'}, 0, 4);  // version 0x494E: the end
  EXPECT_EQ(d.st.state, quillar::kRmEnd);
  d.push(pattern(10000, 1), 0, 10000);
  EXPECT_EQ(gst_adapter_available(d.st.adapter), 0u);
  EXPECT_EQ(d.items.size(), 2u);
}

TEST(RmDemux, ChunkSizeBelowHeaderSizeEndsTheStreamWithoutHoldingInput) {
  Direct d;
  RmWriter w;
  w.file_header().video_stream(1, 320, 240, kCodec).chunk("MDPR", {}, 4);
  w.data({rm_packet(1, rv_whole(pattern(8, 1)))});
  d.feed(w.take(), 4096);
  d.push(pattern(20000, 2), 0, 20000);
  EXPECT_EQ(gst_adapter_available(d.st.adapter), 0u);
  ASSERT_EQ(d.items.size(), 1u);  // the codec data, nothing after
  HostRun r = run_host(RmWriter().file_header().chunk("PROP", {}, 9).take(), kRealVideo, 4096);
  EXPECT_EQ(r.end, 12);
  EXPECT_TRUE(r.items.empty());
}

TEST(RmDemux, IndexChunksOfAnyShapeAreConsumedExactly) {
  const Bytes tail = RmWriter().data({rm_packet(1, rv_whole(pattern(8, 1)))}).take();
  // A body shorter than the index header, a record count below what the
  // body holds (the rest is walked as chunks), and records past 4 GiB.
  Bytes short_index = headers().chunk("INDX", {0, 0, 0, 1, 0}).raw(tail).take();
  Bytes fewer = headers().chunk("INDX", Writer().be32(0).be16(1).be32(0).raw(tail.data(), tail.size()).take()).take();
  Bytes huge = headers().chunk("INDX", Writer().be32(0x20000000).be16(1).be32(0).take()).raw(tail).take();
  EXPECT_EQ(count_of(run_host_all_capacities(short_index, kRealVideo), 1), 1u);
  EXPECT_EQ(count_of(run_host_all_capacities(fewer, kRealVideo), 1), 1u);
  HostRun r = run_host(huge, kRealVideo, 4096);
  EXPECT_EQ(r.end, 12);
  EXPECT_EQ(count_of(r, 1), 0u);
}

TEST(RmDemux, MalformedStreamHeadersAreNotKept) {
  const Bytes good = RmWriter::mdpr_body(1, "video/x-pn-realvideo",
                                         RmWriter::video_header(320, 240, kCodec));
  const size_t t = 30 + 1 + 6 + 1 + 20 + 4;  // start of the RealVideo header
  const std::vector<Bytes> bodies = {
      {},                                          // chunk size 10
      Bytes(good.begin(), good.begin() + 30),      // no room for the name
      Bytes(good.begin(), good.begin() + 40),      // MIME type runs past the body
      Bytes(good.begin(), good.begin() + t + 25),  // RealVideo header one byte short
  };
  for (const Bytes &body : bodies) {
    RmWriter w;
    w.file_header().chunk("MDPR", body).video_stream(5, 64, 48, {1, 2, 3});
    w.data({rm_packet(1, rv_whole(pattern(8, 1))), rm_packet(5, rv_whole(pattern(8, 5)))});
    HostRun r = run_host_all_capacities(w.take(), kRealVideo);
    ASSERT_EQ(r.items.size(), 2u) << "body of " << body.size();
    EXPECT_EQ(r.items[0].data, Bytes({1, 2, 3}));
    EXPECT_EQ(r.items[1].data, rv_frame({pattern(8, 5)}));
    EXPECT_EQ(r.config[1], 64u);
  }
}

TEST(RmDemux, PacketsShorterThanTheirHeaderAreDroppedUnread) {
  for (uint16_t version : {0, 1}) {
    // Stream 1, then bytes that would read as a whole-frame fragment.
    const Bytes inside = {0x00, 0x01, 0x40, 0x40, 0x40, 0x40, 0x40, 0x40, 0x40, 0x40, 0x40};
    Writer shorts;
    for (uint32_t len = 5; len <= 12u + version; len++)
      shorts.be16(version).be16(len).raw(inside.data(), len - 4);
    const uint32_t count = 8 + version + 1;
    Bytes file = headers()
                     .chunk("DATA", Writer().be32(count).be32(0).bytes(shorts.data())
                                        .bytes(rm_packet_bytes(rm_packet(1, rv_whole(pattern(8, 1)))))
                                        .take())
                     .take();
    HostRun r = run_host_all_capacities(file, kRealVideo);
    EXPECT_EQ(r.end, 12);
    EXPECT_EQ(count_of(r, 1), 1u) << "version " << version;
  }
}

TEST(RmDemux, NewWholeFrameDropsTheBytesOfAnUnfinishedOne) {
  // Part 1 of a 300-byte frame, then a whole frame: the whole frame's table
  // says one piece at 0, so nothing may come before its bytes.
  Bytes file = headers()
                   .data({rm_packet(1, rv_part(1, 300, 0, pattern(100, 1))),
                          rm_packet(1, rv_whole(pattern(30, 2)))})
                   .take();
  HostRun r = run_host_all_capacities(file, kRealVideo);
  ASSERT_EQ(count_of(r, 1), 1u);
  EXPECT_EQ(frames_of(r), rv_frame({pattern(30, 2)}));
}

// Pieces of one frame, one per packet: subsequence 1, 2, ...
std::vector<RmPacket> pieces(size_t n, uint32_t frame_length) {
  std::vector<RmPacket> out;
  for (size_t i = 0; i < n; i++) {
    const auto sub = static_cast<uint8_t>(i == 0 ? 1 : 2 + (i - 1) % 120);  // 1 starts a frame
    out.push_back(rm_packet(1, rv_part(sub, frame_length,
                                       static_cast<uint32_t>(i), pattern(1, static_cast<uint32_t>(i)))));
  }
  return out;
}

TEST(RmDemux, AFrameHoldsAtMost256Pieces) {
  std::vector<RmPacket> ok = pieces(256, 256);
  HostRun r = run_host(headers().data(ok).take(), kRealVideo, 1 << 16);
  EXPECT_EQ(r.end, 12);
  ASSERT_EQ(count_of(r, 1), 1u);
  EXPECT_EQ(frames_of(r).size(), 1u + 8 * 256 + 256);
  EXPECT_EQ(frames_of(r)[0], 255);

  // A 257th piece fails the read, and the stream stays failed until a
  // fragment header is short; refused bytes never reach a later frame.
  std::vector<RmPacket> over = pieces(258, 1000);
  over.push_back(rm_packet(1, rv_whole(pattern(7, 7))));  // appended, but still failing
  over.push_back(audio(20));
  over.push_back(rm_packet(1, Bytes{0x00, 0x81, 0x40}));  // short header: healthy again
  over.push_back(rm_packet(1, rv_whole(pattern(9, 9))));
  Direct d;
  const Bytes file = headers().data(over).take();
  std::vector<int32_t> results;
  for (size_t at = 0; at < file.size(); at += 512) {
    GstBuffer *buf = gst_buffer_new_and_alloc(static_cast<uint32_t>(std::min<size_t>(512, file.size() - at)));
    memcpy(buf->data, file.data() + at, buf->size);
    for (int32_t res = gst_rmdemux_chain(&d.out, buf); ; res = gst_rmdemux_chain(&d.out, nullptr)) {
      results.push_back(res);
      const bool more = d.out.codec_data || d.out.frames;
      d.collect();
      if (!more && res == 0) break;
    }
  }
  size_t failures = 0;
  for (int32_t res : results) failures += res == CHAIN_ERROR;
  EXPECT_EQ(failures, 3u) << "piece 257, piece 258, the whole frame";
  EXPECT_TRUE(d.st.streams && static_cast<quillar::RmStream *>(d.st.streams->data)->status ==
                                  quillar::Status::kOk)
      << "the stream is healthy again";
  ASSERT_EQ(d.items.size(), 3u);
  EXPECT_EQ(d.items[1].second, rv_frame({pattern(7, 7)}));
  EXPECT_EQ(d.items[2].second, rv_frame({pattern(9, 9)}));
}

TEST(RmDemux, AllocationFailuresFailTheCallAndPublishNothingHalfMade) {
  Bytes file = headers()
                   .data({rm_packet(1, rv_whole(pattern(30, 1))), audio(20),
                          rm_packet(1, rv_part(1, 150, 0, pattern(100, 2))),
                          rm_packet(1, rv_last(2, 150, pattern(50, 3)))})
                   .take();
  Direct ref;
  ref.feed(file, file.size());
  ASSERT_EQ(ref.items.size(), 3u);
  for (long n = 1;; n++) {
    Direct d;
    GstBuffer *buf = buffer_of(file);
    fail_allocation(n);
    bool reported = false;
    auto call = [&](GstBuffer *b) {
      const bool before = allocation_failed();
      const int32_t r = gst_rmdemux_chain(&d.out, b);
      if (!before && allocation_failed()) reported = r == CHAIN_ERROR;
    };
    call(buf);
    for (int i = 0; i < 20; i++) {
      d.take();
      call(nullptr);
    }
    d.take();
    const bool failed = allocation_failed();
    fail_allocation(0);  // disarmed on every path: later tests must not inherit it
    if (!failed) break;  // every allocation has had its turn
    EXPECT_TRUE(reported) << "allocation " << n << " failed silently";
    // Afterwards the items are the reference ones, with at most the one
    // being made missing (or none at all once the input itself was lost).
    // A frame whose first piece was dropped leaves its last piece on its
    // own, which comes out as a frame, as after a packet lost in the file.
    const Bytes orphan = rv_frame({pattern(50, 3)});
    size_t matched = 0;
    for (const auto &item : d.items) {
      if (item.second == orphan) continue;
      while (matched < ref.items.size() && ref.items[matched] != item) matched++;
      ASSERT_LT(matched, ref.items.size()) << "allocation " << n << " corrupted an item";
      matched++;
    }
    EXPECT_TRUE(d.items.empty() || d.items.size() + 1 >= ref.items.size()) << "allocation " << n;
  }
}

}  // namespace
