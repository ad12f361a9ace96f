// SPDX-License-Identifier: BSD-2-Clause
// The ASF demultiplexer through the host calls (and its chain, where the
// host cannot see what matters).
#include <gtest/gtest.h>

#include <cstring>

#include "demux/asf/asf_internal.h"
#include "quillar/gstparser.h"
#include "support/asf_writer.h"
#include "support/chain_driver.h"
#include "support/host.h"

using namespace qtest;

namespace {

const Bytes kCodec = {0x78, 0xC3, 0xB4, 0x80};

// Video objects of stream 1 (large ones span packets and read blocks) with
// audio objects of stream 2 between them.
std::vector<AsfObject> mixed_objects(std::vector<Bytes> *video) {
  std::vector<AsfObject> objects;
  const size_t sizes[] = {100, 3000, 20000, 1, 250, 9000, 480, 17};
  for (uint32_t i = 0; i < 8; i++) {
    video->push_back(pattern(sizes[i], i));
    objects.push_back({1, video->back()});
    objects.push_back({2, pattern(300 + i, 100 + i)});
  }
  return objects;
}

void expect_items(const HostRun &r, const Bytes &codec, const std::vector<Bytes> &frames,
                  const std::string &what = "") {
  ASSERT_EQ(r.items.size(), frames.size() + (codec.empty() ? 0 : 1)) << what;
  size_t i = 0;
  if (!codec.empty()) {
    EXPECT_EQ(r.items[0].kind, static_cast<uint32_t>(BUFFER_KIND_CODEC_DATA)) << what;
    EXPECT_EQ(r.items[0].data, codec) << what;
    i = 1;
  }
  for (size_t f = 0; f < frames.size(); f++, i++) {
    EXPECT_EQ(r.items[i].kind, static_cast<uint32_t>(BUFFER_KIND_FRAME)) << what << " frame " << f;
    EXPECT_EQ(r.items[i].data, frames[f]) << what << " frame " << f;
  }
}

AsfLayout layout(bool multiple) {
  AsfLayout l;
  l.multiple = multiple;
  return l;
}

TEST(AsfDemux, FramesComeOutWholeInEveryPacketLayoutAndAtEveryCapacity) {
  std::vector<Bytes> video;
  const std::vector<AsfObject> objects = mixed_objects(&video);
  std::vector<std::pair<const char *, AsfLayout>> layouts;
  layouts.push_back({"single", layout(false)});
  layouts.push_back({"multiple", layout(true)});
  AsfLayout l = layout(false);
  l.error_correction = true;
  l.packet_length_type = 2;
  l.sequence_type = 1;
  l.number_type = 2;
  l.replicated_type = 1;
  layouts.push_back({"error correction, narrow fields", l});
  l = layout(true);
  l.error_correction = true;
  l.error_correction_flags = 0xA5;
  l.padding_type = 3;
  l.number_type = 3;
  l.offset_type = 2;
  l.replicated_type = 2;
  l.payload_length_type = 1;
  layouts.push_back({"multiple, wide fields, byte payload lengths", l});
  l = layout(false);
  l.implicit_padding = true;
  l.padding_type = 0;
  l.packet_length_type = 2;
  layouts.push_back({"single, implicit padding", l});
  l = layout(true);
  l.implicit_padding = true;
  l.padding_type = 1;
  l.packet_length_type = 3;
  l.payload_length_type = 3;
  layouts.push_back({"multiple, implicit padding", l});

  for (const auto &[name, lay] : layouts) {
    AsfFile f;
    f.packet_size = 700;
    f.header_objects = asf_usual_header(700, kCodec);
    f.packets = asf_packetize(objects, 700, lay);
    HostRun r = run_host_all_capacities(f.build(), 5);
    EXPECT_EQ(r.end, PARSER_END_OF_STREAM) << name;
    expect_items(r, kCodec, video, name);
    EXPECT_EQ(r.config_result, PARSER_OK) << name;
    EXPECT_EQ(r.config[0], 240u) << name;
    EXPECT_EQ(r.config[1], 320u) << name;
  }
}

TEST(AsfDemux, CompressedPayloadsAndSeveralVideoStreams) {
  // Two video streams (3 and 1) and an audio stream; the second video stream
  // publishes the frame size and codec data.
  AsfFile f;
  f.packet_size = 300;
  f.header_objects = {asf_file_properties(300), asf_video_stream(3, 640, 480, {9, 9}),
                      asf_audio_stream(2), asf_video_stream(1, 176, 144, kCodec)};
  AsfPayload c;
  c.stream = 1;
  c.replicated_length = 1;
  c.data = {3, 'a', 'b', 'c', 0, 2, 'd', 'e'};
  AsfLayout multi = layout(true);
  AsfPayload v3;
  v3.stream = 3;
  v3.object_size = 4;
  v3.data = {'v', '3', '-', '0'};
  AsfPayload audio = v3;
  audio.stream = 2;
  // Stream 1's pieces are in the packet first, but stream 3 comes first in
  // the table.
  f.packets.push_back(asf_packet(300, multi, {c, audio, v3}));
  f.packets.push_back(asf_packet(300, layout(false), {c}));
  HostRun r = run_host_all_capacities(f.build(), 5);
  expect_items(r, kCodec, {{'v', '3', '-', '0'}, {'a', 'b', 'c'}, {'d', 'e'}, {'a', 'b', 'c'}, {'d', 'e'}});
  EXPECT_EQ(r.config[0], 144u);
  EXPECT_EQ(r.config[1], 176u);

  // A later video stream without codec-private bytes clears the codec data.
  f.header_objects.push_back(asf_video_stream(4, 1, 1));
  r = run_host(f.build(), 5, 4096);
  ASSERT_FALSE(r.items.empty());
  EXPECT_EQ(r.items[0].kind, static_cast<uint32_t>(BUFFER_KIND_FRAME));
  EXPECT_EQ(r.config_result, PARSER_ERROR_NOT_READY);
}

TEST(AsfDemux, CodecPrivateBytesFrameSizeAndALargeHeader) {
  struct Case {
    int64_t header_size;
    size_t trailing;  // bytes after the bitmap header in the object
    size_t expected;
  } cases[] = {{40, 0, 0}, {41, 1, 1}, {41, 0, 0}, {39, 8, 0}, {48, 8, 8}, {60, 8, 0}};
  for (const Case &c : cases) {
    AsfFile f;
    f.header_objects = {asf_file_properties(256), asf_video_stream(1, 320, 0xFFFFFE20u, pattern(c.trailing, 5),
                                                                    c.header_size)};
    f.packets.push_back(asf_packet(256, layout(false), {{1, 0, 0, 5, 8, pattern(5, 1)}}));
    HostRun r = run_host(f.build(), 5, 4096);
    const std::string what = "header size " + std::to_string(c.header_size);
    ASSERT_EQ(r.items.size(), c.expected ? 2u : 1u) << what;
    if (c.expected) {
      EXPECT_EQ(r.items[0].data, pattern(c.expected, 5)) << what;
      EXPECT_EQ(r.config[0], 65056u) << "height -480 keeps its low 16 bits";
    }
  }

  // A header bigger than two read blocks (a padding object) is parsed in the
  // call that completes it, with the packets that came along.
  AsfFile f;
  f.header_objects = asf_usual_header(256, kCodec);
  f.header_objects.push_back(asf_padding_object(20000));
  f.packets.push_back(asf_packet(256, layout(false), {{1, 0, 0, 5, 8, pattern(5, 1)}}));
  expect_items(run_host_all_capacities(f.build(), 5), kCodec, {pattern(5, 1)});
}

TEST(AsfDemux, RefusedHeaders) {
  auto file_with = [](std::vector<Bytes> header) {
    AsfFile f;
    f.header_objects = std::move(header);
    f.packets.push_back(asf_packet(256, layout(false), {{1, 0, 0, 5, 8, pattern(5, 1)}}));
    return f.build();
  };
  const Bytes video = asf_video_stream(1, 320, 240, kCodec);
  const Bytes props = asf_file_properties(256);
  struct Case {
    const char *what;
    Bytes file;
  } cases[] = {
      {"unequal packet sizes", file_with({asf_file_properties(3201, 2, 3200), video})},
      {"digital signature", file_with({props, video, asf_object(asfguid::kDigitalSignature, Bytes(10, 0))})},
      {"content encryption in the extension",
       file_with({props, video, asf_header_extension({asf_object(asfguid::kContentEncryption, {})})})},
      {"extension declares more than it holds", file_with({props, video, asf_header_extension({}, 1)})},
      {"sub-object larger than the header", file_with({props, video, asf_object(asfguid::kPadding, {}, 5000)})},
      {"audio only", file_with({props, asf_audio_stream(2)})},
      {"short file properties", file_with({asf_object(asfguid::kFile, Bytes(79, 0)), video})},
  };
  for (const Case &c : cases) {
    HostRun r = run_host(c.file, 5, 4096);
    EXPECT_EQ(r.end, PARSER_ERROR_CHAIN) << c.what;
    EXPECT_TRUE(r.items.empty() || r.items[0].kind == BUFFER_KIND_CODEC_DATA) << c.what;
  }

  // Not an ASF header at all, and a data object header that is something
  // else: refused; a file that ends right after its header: nothing, no error.
  Bytes not_asf = file_with({props, video});
  not_asf[0] ^= 0xFF;
  EXPECT_EQ(run_host(not_asf, 5, 4096).end, PARSER_ERROR_CHAIN);
  Bytes no_data = file_with({props, video});
  const size_t header_size = asf_header({props, video}).size();
  no_data[header_size] ^= 0xFF;
  EXPECT_EQ(run_host(no_data, 5, 4096).end, PARSER_ERROR_CHAIN);
  Bytes truncated = asf_header({props, video});
  truncated.resize(truncated.size() + 49, 0);
  HostRun r = run_host(truncated, 5, 4096);
  EXPECT_EQ(r.end, PARSER_END_OF_STREAM);
  EXPECT_TRUE(r.items.empty());
}

// VLC's muxer declares one sub-object more than the header holds. Objects
// that fill the header exactly complete it whatever the count says; bytes too
// few for another object are still an incomplete object.
TEST(AsfDemux, AHeaderCountTooHighIsCompleteWhenTheObjectsFillTheHeader) {
  for (uint32_t extra : {1u, 1000u}) {
    AsfFile f;
    f.header_objects = asf_usual_header(256, kCodec);
    f.header_count = static_cast<int64_t>(f.header_objects.size() + extra);
    f.packets.push_back(asf_packet(256, layout(false), {{1, 0, 0, 5, 8, pattern(5, 1)}}));
    expect_items(run_host_all_capacities(f.build(), 5), kCodec, {pattern(5, 1)}, "count too high by " + std::to_string(extra));
    for (size_t gap : {1, 23}) {
      f.header_objects.push_back(Bytes(gap, 0));
      EXPECT_EQ(run_host(f.build(), 5, 4096).end, PARSER_ERROR_CHAIN) << "a gap of " << gap;
      f.header_objects.pop_back();
    }
  }
}

TEST(AsfDemux, PacketsThatFailToParseAreSkippedAndCounted) {
  AsfFile f;
  f.packet_size = 256;
  f.header_objects = asf_usual_header(256, kCodec);
  f.packets.push_back(asf_packet(256, layout(false), {{1, 0, 0, 5, 8, pattern(5, 1)}}));
  Bytes broken(256, 0);
  broken[0] = 0x18;  // u32 padding length 0xFFFFFFFF
  for (int i = 2; i < 6; i++) broken[i] = 0xFF;
  f.packets.push_back(broken);
  f.packets.push_back(asf_packet(256, layout(false), {{1, 1, 0, 7, 8, pattern(7, 2)}}));
  // The packet count says 3: the broken one counts, and what follows the third
  // packet (an index object) is never parsed as a packet.
  f.tail = asf_packet(256, layout(false), {{1, 2, 0, 9, 8, pattern(9, 3)}});
  HostRun r = run_host_all_capacities(f.build(), 5);
  EXPECT_EQ(r.end, PARSER_END_OF_STREAM);
  expect_items(r, kCodec, {pattern(5, 1), pattern(7, 2)});
}

// Frames of a segment, as the packets of a file with that header carry them.
Bytes segment(uint32_t first_seed, int frames, uint32_t flags, int64_t total_packets,
              const Bytes &codec, std::vector<Bytes> *expected, size_t pad_header_to = 0) {
  AsfFile f;
  f.header_objects = asf_usual_header(256, codec, flags);
  if (pad_header_to) {
    const size_t now = asf_header(f.header_objects).size() + 50;
    f.header_objects.push_back(asf_padding_object(pad_header_to - now));
  }
  f.total_packets = total_packets;
  for (int i = 0; i < frames; i++) {
    expected->push_back(pattern(40 + i, first_seed + i));
    f.packets.push_back(asf_packet(256, layout(false), {{1, static_cast<uint32_t>(i), 0, 40u + i, 8, expected->back()}}));
  }
  return f.build();
}

TEST(AsfDemux, BroadcastFilesTakeEveryPacketAndRestartAtANewHeader) {
  // Broadcast flag: the data object's packet count (here 1) is not used.
  std::vector<Bytes> a, b;
  Bytes file = segment(10, 3, 1 | 2, 1, kCodec, &a);
  const Bytes codec_b = {1, 2, 3};
  const Bytes second = segment(20, 2, 1, 0, codec_b, &b);
  file.insert(file.end(), second.begin(), second.end());
  HostRun r = run_host_all_capacities(file, 5);
  EXPECT_EQ(r.end, PARSER_END_OF_STREAM);
  ASSERT_EQ(r.items.size(), 7u);
  // The second header's codec data comes after the first segment's frames.
  std::vector<Bytes> got;
  for (const Item &i : r.items) got.push_back(i.data);
  EXPECT_EQ(got, (std::vector<Bytes>{kCodec, a[0], a[1], a[2], codec_b, b[0], b[1]}));

  // A segment without frames still hands out its codec data before the next
  // segment's.
  std::vector<Bytes> none;
  file = segment(10, 0, 1, 0, kCodec, &none);
  file.insert(file.end(), second.begin(), second.end());
  got.clear();
  for (const Item &i : run_host_all_capacities(file, 5).items) got.push_back(i.data);
  EXPECT_EQ(got, (std::vector<Bytes>{kCodec, codec_b, b[0], b[1]}));
}

// Regression: a restart found in the data phase ended the call; when that
// was the drain call after the end of the file, the stream ended with the
// whole second segment unread.
TEST(AsfDemux, RestartInTheLastReadBlockStillReadsTheNewSegment) {
  std::vector<Bytes> a, b;
  // The first segment fills the first read block exactly.
  Bytes file = segment(10, 4, 1 | 2, 0, kCodec, &a, 8192 - 4 * 256);
  ASSERT_EQ(file.size(), 8192u);
  const Bytes second = segment(20, 2, 1, 0, kCodec, &b);
  file.insert(file.end(), second.begin(), second.end());
  HostRun r = run_host_all_capacities(file, 5);
  std::vector<Bytes> frames;
  for (const Item &i : r.items)
    if (i.kind == BUFFER_KIND_FRAME) frames.push_back(i.data);
  EXPECT_EQ(frames, (std::vector<Bytes>{a[0], a[1], a[2], a[3], b[0], b[1]}));
}

TEST(AsfDemux, AfterTheLastPacketOnlyANewHeaderMatters) {
  // An index object after the packets: no frames, no error.
  std::vector<Bytes> a, b;
  Bytes file = segment(10, 2, 2, 2, kCodec, &a);
  Bytes index = asf_object(asfguid::kSimpleIndex, Bytes(30000, 7));
  Bytes with_index = file;
  with_index.insert(with_index.end(), index.begin(), index.end());
  HostRun r = run_host_all_capacities(with_index, 5);
  EXPECT_EQ(r.end, PARSER_END_OF_STREAM);
  expect_items(r, kCodec, a);

  // A header right after the last packet starts over; the first header's
  // streams are gone (the second one declares stream 5 only).
  AsfFile g;
  g.header_objects = {asf_file_properties(256), asf_video_stream(5, 64, 64, {4})};
  g.packets.push_back(asf_packet(256, layout(false), {{1, 0, 0, 3, 8, {1, 1, 1}}}));
  g.packets.push_back(asf_packet(256, layout(false), {{5, 0, 0, 3, 8, {5, 5, 5}}}));
  const Bytes second = g.build();
  file.insert(file.end(), second.begin(), second.end());
  r = run_host_all_capacities(file, 5);
  EXPECT_EQ(r.end, PARSER_END_OF_STREAM);
  std::vector<Bytes> got;
  for (const Item &i : r.items) got.push_back(i.data);
  EXPECT_EQ(got, (std::vector<Bytes>{kCodec, a[0], a[1], {4}, {5, 5, 5}}));
  EXPECT_EQ(r.config[1], 64u);
}

// A chain driven directly, to see what the demultiplexer holds.
struct Chain : ChainDriver<AsfDemuxState, quillar::kAsfFormat> {
  AsfDemuxState &st = state;
};

// Regression: everything after the last packet stayed in memory until the
// parser was reset.
TEST(AsfDemux, InputAfterTheLastPacketIsReleased) {
  std::vector<Bytes> a;
  Chain c;
  ASSERT_EQ(c.push(segment(10, 2, 2, 2, kCodec, &a)), CHAIN_OK);
  EXPECT_EQ(c.st.phase, static_cast<uint32_t>(ASF_PHASE_INDEX));
  for (int i = 0; i < 50; i++) ASSERT_EQ(c.push(Bytes(8192, 0x33)), CHAIN_OK);
  EXPECT_LE(c.available(), 24u);
  EXPECT_EQ(c.st.phase, static_cast<uint32_t>(ASF_PHASE_INDEX));
  EXPECT_EQ(g_slist_length(c.out.frames), 2u);
}

// Regression: a header size near 2^64 wrapped H + 50; one that cannot fit an
// adapter can never be buffered.
TEST(AsfDemux, HugeHeaderSizesAreRefusedWithoutConsumingAnything) {
  for (uint64_t size : {~0ull - 10, 0xFFFFFFFFull - 49, 0x100000000ull}) {
    Chain c;
    Writer w;
    w.bytes(asfguid::kHeader).le64(size).le32(0).u8(1).u8(2);
    EXPECT_EQ(c.push(w.data()), CHAIN_ERROR) << size;
    EXPECT_EQ(c.available(), w.size());
    EXPECT_EQ(c.st.phase, static_cast<uint32_t>(ASF_PHASE_HEADER));
  }
}

// Regression: nested header objects recursed without bound.
TEST(AsfDemux, DeeplyNestedHeadersAreRefused) {
  const Bytes video = asf_video_stream(1, 320, 240, kCodec);
  auto nested = [&](int depth) {
    const Bytes inner = asf_header({asf_file_properties(256), video});
    Writer w;  // depth - 1 headers of one sub-object each around `inner`
    for (int i = depth - 1; i >= 1; i--) w.bytes(asfguid::kHeader).le64(inner.size() + 30ull * i).le32(1).u8(1).u8(2);
    Bytes file = w.take();
    file.insert(file.end(), inner.begin(), inner.end());
    const Bytes data = asf_data_header(1);
    file.insert(file.end(), data.begin(), data.end());
    const Bytes packet = asf_packet(256, layout(false), {{1, 0, 0, 5, 8, pattern(5, 1)}});
    file.insert(file.end(), packet.begin(), packet.end());
    return file;
  };
  EXPECT_EQ(run_host(nested(3), 5, 4096).items.size(), 2u);
  EXPECT_EQ(run_host(nested(5), 5, 4096).end, PARSER_ERROR_CHAIN);
  EXPECT_EQ(run_host(nested(20000), 5, 4096).end, PARSER_ERROR_CHAIN);
}

// Regression: a packet size below 8 (or none at all) made the data loop spin
// or take packets that can never parse.
TEST(AsfDemux, HeadersWithoutAUsablePacketSizeAreRefused) {
  const Bytes video = asf_video_stream(1, 320, 240, kCodec);
  for (const auto &header : {std::vector<Bytes>{asf_file_properties(0), video},
                             std::vector<Bytes>{asf_file_properties(7), video}, std::vector<Bytes>{video}}) {
    Chain c;
    Bytes file = asf_header(header);
    const Bytes data = asf_data_header(0);
    file.insert(file.end(), data.begin(), data.end());
    file.resize(file.size() + 100, 0);
    EXPECT_EQ(c.push(file), CHAIN_ERROR);
    EXPECT_EQ(c.st.phase, static_cast<uint32_t>(ASF_PHASE_HEADER));
  }
}

// Regression: a 33rd video stream wrote past the stream table.
TEST(AsfDemux, StreamsBeyondTheTableHaveNoEffect) {
  std::vector<Bytes> header = {asf_file_properties(256)};
  for (uint32_t n = 1; n <= 33; n++) header.push_back(asf_video_stream(n, n, n, {static_cast<uint8_t>(n)}));
  AsfFile f;
  f.header_objects = header;
  f.packets.push_back(asf_packet(256, layout(true), {{32, 0, 0, 2, 8, {32, 32}}, {33, 0, 0, 2, 8, {33, 33}}}));
  Chain c;
  ASSERT_EQ(c.push(f.build()), CHAIN_OK);
  EXPECT_EQ(c.st.stream_count, 32u);
  EXPECT_EQ(c.out.width, 32);
  ASSERT_NE(c.out.codec_data, nullptr);
  EXPECT_EQ(c.out.codec_data->data[0], 32);
  EXPECT_EQ(gst_asf_demux_get_stream(&c.st, 33), nullptr);
  ASSERT_EQ(g_slist_length(c.out.frames), 1u);
  EXPECT_EQ(static_cast<GstBuffer *>(c.out.frames->data)->data[0], 32);
}

}  // namespace
