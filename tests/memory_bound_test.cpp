// SPDX-License-Identifier: BSD-2-Clause
// What the parsers hold on hostile input: a declared size may make a parser
// wait for bytes (bounded by the file), but nothing it can never use may
// pile up. (fuzz/hostile_check runs the same kinds of files at 256 MiB.)
#include <gtest/gtest.h>

#include "demux/asf/asf_internal.h"
#include "demux/avi/gstavidemux.h"
#include "support/asf_writer.h"
#include "support/avi_writer.h"
#include "support/chain_driver.h"

using namespace qtest;

namespace {

using Avi = ChainDriver<quillar::AviDemuxState, quillar::kAviFormat>;

// The header of an AVI file with one video and one audio stream, up to and
// including the movie list's header.
Bytes avi_up_to_movi(const std::vector<Bytes> &before_movi) {
  Writer w;
  w.tag("RIFF").le32(0x7FFFFFF0u).tag("AVI ");
  w.bytes(avi::list_of("hdrl", {avi::avih(2), avi::video_strl(), avi::audio_strl()}));
  for (const Bytes &b : before_movi) w.bytes(b);
  return w.tag("LIST").le32(0x7FFFFF00u).tag("movi").take();
}

// Filler chunks and lists nobody reads used to be buffered whole before they
// were dropped: a 1 GiB "JUNK" chunk held up to 1 GiB of the file. They are
// now released as they arrive, and what follows them is read as before.
TEST(AviSkippedChunks, FillerIsReleasedAsItArrivesBeforeAndInTheMovieList) {
  const Bytes junk_head = Writer().tag("JUNK").le32(300001).take();  // odd: a pad byte follows
  const Bytes info_head = Writer().tag("LIST").le32(200000).tag("INFO").take();
  for (bool in_movi : {false, true}) {
    Avi avi;
    Bytes head = avi_up_to_movi({});
    if (!in_movi) head.resize(head.size() - 12);  // stop before the movie list
    ASSERT_EQ(avi.push(head), CHAIN_OK);
    const Bytes &filler = in_movi ? junk_head : info_head;
    const size_t filler_size = in_movi ? 8 + 300002 : 8 + 200000;
    ASSERT_EQ(avi.push(filler), CHAIN_OK);
    size_t pushed = filler.size();
    while (pushed + 8192 < filler_size) {
      ASSERT_EQ(avi.push(pattern(8192, static_cast<uint32_t>(pushed))), CHAIN_OK);
      pushed += 8192;
      EXPECT_LT(avi.available(), 64u) << (in_movi ? "movi" : "before movi") << " after " << pushed;
    }
    // The rest of the filler, then (for the header) the movie list, and a
    // video frame.
    Writer rest;
    rest.bytes(pattern(filler_size - pushed, 9));
    if (!in_movi) rest.tag("LIST").le32(0x7FFFFF00u).tag("movi");
    rest.bytes(avi::chunk("00dc", pattern(33, 10)));
    ASSERT_EQ(avi.push(rest.take()), CHAIN_OK);
    while (avi.drain() == CHAIN_OK && avi.out.frames == nullptr && avi.available() != 0) {
    }
    EXPECT_EQ(avi.take_frames(), std::vector<Bytes>{pattern(33, 10)}) << (in_movi ? "movi" : "before movi");
  }
}

// A first fragment declaring a media object of nearly 4 GiB used to get a
// zero-filled buffer of that size, and one more fragment at its far end made
// it a "complete" 4 GiB frame: one 256-byte packet could make the library
// allocate and hand out gigabytes. Such an object is no longer assembled;
// the objects around it are unaffected.
TEST(AsfHugeObject, ObjectDeclaredLargerThanAnyFrameIsNotAssembled) {
  const uint32_t packet_size = 256;
  AsfLayout layout;
  AsfPayload huge;
  huge.object_number = 7;
  huge.object_size = 0xFFFFFFF0u;
  huge.data = pattern(40, 1);
  AsfPayload far_end = huge;
  far_end.offset = 0xFFFFFFF0u - 40;
  AsfFile f;
  f.packet_size = packet_size;
  f.header_objects = asf_usual_header(packet_size, {1, 2, 3, 4});
  f.packets_from(asf_packetize({{1, pattern(50, 2)}}, packet_size, layout));
  f.packets_from({asf_packet(packet_size, layout, {huge}), asf_packet(packet_size, layout, {far_end})});
  f.packets_from(asf_packetize({{1, pattern(60, 3)}}, packet_size, layout));
  ChainDriver<quillar::AsfDemuxState, quillar::kAsfFormat> asf;
  ASSERT_EQ(asf.push(f.build()), CHAIN_OK);
  const std::vector<Bytes> frames = asf.take_frames();
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_EQ(frames[0], pattern(50, 2));
  EXPECT_EQ(frames[1], pattern(60, 3));
}

}  // namespace
