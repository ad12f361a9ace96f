// SPDX-License-Identifier: BSD-2-Clause
// The ASF GUID tables and the packet parser, called directly.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "demux/asf/asf_internal.h"
#include "support/asf_writer.h"
#include "support/chain_driver.h"
#include "support/host.h"

using namespace qtest;

namespace {

AsfGuidValue guid_value(const Bytes &b) {
  auto word = [&](int k) {
    return static_cast<uint32_t>(b[4 * k]) | static_cast<uint32_t>(b[4 * k + 1]) << 8 |
           static_cast<uint32_t>(b[4 * k + 2]) << 16 | static_cast<uint32_t>(b[4 * k + 3]) << 24;
  };
  return AsfGuidValue{word(0), word(1), word(2), word(3)};
}

struct GuidRow {
  const AsfGuidEntry *table;
  int row;
  uint32_t id;
  const char *nick;
  const char *bytes;  // in file order
};

const GuidRow kRows[] = {
    {asf_object_guids, 0, 1, "ASF_OBJ_STREAM", "9107DCB7B7A9CF118EE600C00C205365"},
    {asf_object_guids, 1, 2, "ASF_OBJ_DATA", "3626B2758E66CF11A6D900AA0062CE6C"},
    {asf_object_guids, 2, 3, "ASF_OBJ_FILE", "A1DCAB8C47A9CF118EE400C00C205365"},
    {asf_object_guids, 3, 4, "ASF_OBJ_HEADER", "3026B2758E66CF11A6D900AA0062CE6C"},
    {asf_object_guids, 4, 5, "ASF_OBJ_CONCEAL_NONE", "0057FB20555BCF11A8FD00805F5C442B"},
    {asf_object_guids, 5, 6, "ASF_OBJ_COMMENT", "3326B2758E66CF11A6D900AA0062CE6C"},
    {asf_object_guids, 6, 7, "ASF_OBJ_CODEC_COMMENT", "4052D1861D31D011A3A400A0C90348F6"},
    {asf_object_guids, 7, 8, "ASF_OBJ_CODEC_COMMENT1", "4152D1861D31D011A3A400A0C90348F6"},
    {asf_object_guids, 8, 9, "ASF_OBJ_SIMPLE_INDEX", "90080033B1E5CF1189F400A0C90349CB"},
    {asf_object_guids, 9, 10, "ASF_OBJ_INDEX", "D329E2D6DA35D111903400A0C90349BE"},
    {asf_object_guids, 10, 11, "ASF_OBJ_HEAD1", "B503BF5F2EA9CF118EE300C00C205365"},
    {asf_object_guids, 11, 12, "ASF_OBJ_HEAD2", "11D2D3ABBAA9CF118EE600C00C205365"},
    {asf_object_guids, 12, 13, "ASF_OBJ_PADDING", "74D40618DFCA0945A4BA9AABCB96AAE8"},
    {asf_object_guids, 13, 14, "ASF_OBJ_BITRATE_PROPS", "CE75F87B8D46D1118D82006097C9A2B2"},
    {asf_object_guids, 14, 15, "ASF_OBJ_EXT_CONTENT_DESC", "40A4D0D207E3D21197F000A0C95EA850"},
    {asf_object_guids, 15, 16, "ASF_OBJ_BITRATE_MUTEX", "DC29E2D6DA35D111903400A0C90349BE"},
    {asf_object_guids, 16, 17, "ASF_OBJ_LANGUAGE_LIST", "A946437CE0EFFC4BB229393EDE415C85"},
    {asf_object_guids, 17, 18, "ASF_OBJ_METADATA_OBJECT", "EACBF8C5AF5B77488467AA8C44FA4CCA"},
    {asf_object_guids, 18, 19, "ASF_OBJ_EXTENDED_STREAM_PROPS", "CBA5E61472C632438399A96952065B5A"},
    {asf_object_guids, 19, 20, "ASF_OBJ_COMPATIBILITY", "5D8BF1268445EC479F5F0E651F0452C9"},
    {asf_object_guids, 20, 21, "ASF_OBJ_INDEX_PLACEHOLDER", "20DEAAD9177C9C4FBC288555DD98E2A2"},
    {asf_object_guids, 21, 22, "ASF_OBJ_INDEX_PARAMETERS", "DF29E2D6DA35D111903400A0C90349BE"},
    {asf_object_guids, 22, 23, "ASF_OBJ_ADVANCED_MUTUAL_EXCLUSION", "CF4986A0754770468A166E35357566CD"},
    {asf_object_guids, 23, 24, "ASF_OBJ_STREAM_PRIORITIZATION", "5BD1FED4D3884F4581F0ED5C45999E24"},
    {asf_object_guids, 24, 25, "ASF_OBJ_CONTENT_ENCRYPTION", "FBB3112223BDD211B4B700A0C955FC6E"},
    {asf_object_guids, 25, 26, "ASF_OBJ_EXT_CONTENT_ENCRYPTION", "14E68A292226174CB935DAE07EE9289C"},
    {asf_object_guids, 26, 27, "ASF_OBJ_DIGITAL_SIGNATURE_OBJECT", "FCB3112223BDD211B4B700A0C955FC6E"},
    {asf_object_guids, 27, 28, "ASF_OBJ_SCRIPT_COMMAND", "301AFB1E620BD011A39B00A0C90348F6"},
    {asf_object_guids, 28, 29, "ASF_OBJ_MARKER", "01CD87F451A9CF118EE600C00C205365"},
    {asf_object_guids, 29, 30, "ASF_OBJ_UNKNOWN_ENCRYPTION_OBJECT", "79F0049A40988642AB92E65BE0885F95"},
    {asf_stream_guids, 0, 1, "ASF_STREAM_VIDEO", "C0EF19BC4D5BCF11A8FD00805F5C442B"},
    {asf_stream_guids, 1, 2, "ASF_STREAM_AUDIO", "409E69F84D5BCF11A8FD00805F5C442B"},
    {asf_correction_guids, 0, 1, "ASF_CORRECTION_ON", "50CDC3BF8F61CF118BB200AA00B4E220"},
    {asf_correction_guids, 1, 2, "ASF_CORRECTION_OFF", "0057FB20555BCF11A8FD00805F5C442B"},
    {asf_correction_guids, 2, 2, "ASF_CORRECTION_OFF", "40A4F149CE4ED011A3AC00A0C90348F6"},
    {asf_payload_ext_guids, 0, 1, "ASF_PAYLOAD_EXTENSION_DURATION", "5094BDC67F86074983A3C77921B733AD"},
    {asf_payload_ext_guids, 1, 2, "ASF_PAYLOAD_EXTENSION_SYSTEM_CONTENT", "20DC90D5BC076C439CF7F3BBFBF1A4DC"},
    {asf_payload_ext_guids, 2, 3, "ASF_PAYLOAD_EXTENSION_SYSTEM_PIXEL_ASPECT_RATIO", "54E51E1BEAF9C84B821A376B74E4C4B8"},
};

TEST(AsfGuids, EveryRowMatchesItsFileBytesIdentifierAndNick) {
  for (const GuidRow &g : kRows) {
    const AsfGuidEntry &e = g.table[g.row];
    EXPECT_EQ(e.id, g.id) << g.nick;
    EXPECT_STREQ(e.nick, g.nick);
    const AsfGuidValue v = guid_value(hex_bytes(g.bytes));
    EXPECT_EQ(memcmp(&e.guid, &v, sizeof v), 0) << g.nick;
    EXPECT_EQ(gst_asf_identify_guid(g.table, &v), g.id) << g.nick;
  }
  // The terminating rows.
  EXPECT_STREQ(asf_object_guids[30].nick, "ASF_OBJ_UNDEFINED");
  EXPECT_STREQ(asf_stream_guids[2].nick, "ASF_STREAM_UNDEFINED");
  EXPECT_STREQ(asf_correction_guids[3].nick, "ASF_CORRECTION_UNDEFINED");
  EXPECT_STREQ(asf_payload_ext_guids[3].nick, "ASF_PAYLOAD_EXTENSION_UNDEFINED");
}

TEST(AsfGuids, UnknownGuidsAndIdentifiersFallBackToUndefined) {
  const AsfGuidValue zero{0, 0, 0, 0};
  for (const AsfGuidEntry *t : {asf_object_guids, asf_stream_guids, asf_correction_guids, asf_payload_ext_guids})
    EXPECT_EQ(gst_asf_identify_guid(t, &zero), 0u);
  Bytes header = asfguid::kHeader;
  header[15] ^= 1;
  const AsfGuidValue near = guid_value(header);
  EXPECT_EQ(gst_asf_identify_guid(asf_object_guids, &near), 0u);
  const AsfGuidEntry empty[] = {{0, "X", {0, 0, 0, 0}}};
  EXPECT_EQ(gst_asf_identify_guid(empty, &zero), 0u);

  EXPECT_STREQ(gst_asf_get_guid_nick(asf_object_guids, 29), "ASF_OBJ_MARKER");
  EXPECT_STREQ(gst_asf_get_guid_nick(asf_stream_guids, 7), "ASF_OBJ_UNDEFINED");
  EXPECT_STREQ(gst_asf_get_guid_nick(asf_correction_guids, 2), "ASF_CORRECTION_OFF");
  EXPECT_STREQ(gst_asf_get_guid_nick(asf_object_guids, 0), "ASF_OBJ_UNDEFINED");
  EXPECT_STREQ(gst_asf_get_guid_nick(asf_object_guids, 256 + 1), "ASF_OBJ_UNDEFINED");
}

// A demultiplexer state with registered video streams, for calling the
// packet parser directly.
struct PacketParser {
  ParserOutput out{};
  AsfDemuxState st{};
  explicit PacketParser(uint32_t packet_size, std::initializer_list<uint16_t> streams = {1}) {
    out.parser_state = &st;
    st.output = &out;
    st.packet_size = packet_size;
    for (uint16_t n : streams) {
      st.streams[st.stream_count].stream_number = n;
      st.streams[st.stream_count++].objects = g_array_new(0, 0, sizeof(AsfMediaObject));
    }
  }
  ~PacketParser() {
    gst_asf_demux_reset_wrapper(&out);
    for (GSList *l = out.frames; l; l = l->next) gst_buffer_unref(static_cast<GstBuffer *>(l->data));
    g_slist_free(out.frames);
  }
  int32_t parse(const Bytes &packet) {
    GstBuffer *b = buffer_of(packet);
    const int32_t r = gst_asf_demux_parse_packet(&st, b);
    gst_buffer_unref(b);
    return r;
  }
  GArray *queue(int index = 0) { return st.streams[index].objects; }
  AsfMediaObject &object(int index, uint32_t i) {
    return reinterpret_cast<AsfMediaObject *>(queue(index)->data)[i];
  }
  Bytes object_bytes(int index, uint32_t i) {
    GstBuffer *b = object(index, i).buffer;
    return Bytes(b->data, b->data + b->size);
  }
  std::vector<Bytes> hand_out() {
    EXPECT_TRUE(quillar::asf::hand_out(&st));
    std::vector<Bytes> frames;
    for (GSList *l = out.frames; l; l = l->next) {
      auto *b = static_cast<GstBuffer *>(l->data);
      EXPECT_EQ(b->timestamp, 0u);
      EXPECT_EQ(b->duration, GST_CLOCK_TIME_NONE);
      frames.emplace_back(b->data, b->data + b->size);
      gst_buffer_unref(b);
    }
    g_slist_free(out.frames);
    out.frames = nullptr;
    return frames;
  }
};

AsfPayload whole(uint32_t stream, uint32_t number, const Bytes &data) {
  AsfPayload p;
  p.stream = stream;
  p.object_number = number;
  p.object_size = static_cast<uint32_t>(data.size());
  p.data = data;
  return p;
}

AsfPayload fragment(uint32_t number, uint32_t offset, uint32_t size, const Bytes &data) {
  AsfPayload p;
  p.object_number = number;
  p.offset = offset;
  p.object_size = size;
  p.data = data;
  return p;
}

TEST(AsfPacket, PrefixPaddingAndFieldWidthsAreHonoured) {
  AsfLayout multi;
  multi.multiple = true;
  {  // Too short, and error correction that leaves no room.
    PacketParser p(100);
    EXPECT_EQ(p.parse(Bytes(7, 0)), ASF_PACKET_SHORT);
    Bytes ec11 = {0x82, 0, 0, 0x00, 0x00, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(p.parse(ec11), ASF_PACKET_BROKEN);
  }
  // 0xA5: the length type says two error-correction bytes, not five.
  for (uint8_t flags : {0x82, 0xA5}) {
    PacketParser p(100);
    AsfLayout l;
    l.error_correction = true;
    l.error_correction_flags = flags;
    EXPECT_EQ(p.parse(asf_packet(100, l, {whole(1, 0, pattern(20, 1))})), ASF_PACKET_OK);
    EXPECT_EQ(p.hand_out(), std::vector<Bytes>{pattern(20, 1)});
  }
  {  // Explicit padding of 10 bytes (u8 field): the last 10 bytes are never read.
    PacketParser p(100);
    AsfLayout l;
    l.padding_type = 1;
    Bytes packet = asf_packet(100, l, {whole(1, 0, pattern(66, 2))});
    ASSERT_EQ(packet[0], 0x08);
    ASSERT_EQ(packet[2], 10);
    for (size_t i = 90; i < 100; i++) packet[i] = 0xEE;
    EXPECT_EQ(p.parse(packet), ASF_PACKET_OK);
    EXPECT_EQ(p.hand_out(), std::vector<Bytes>{pattern(66, 2)});
  }
  {  // Implicit padding: packet length 90 of 100, no padding field.
    PacketParser p(100);
    AsfLayout l;
    l.implicit_padding = true;
    l.padding_type = 0;
    l.packet_length_type = 2;
    Bytes packet = asf_packet(100, l, {fragment(0, 0, 100, pattern(65, 3))});
    ASSERT_EQ(packet[2], 90);
    for (size_t i = 90; i < 100; i++) packet[i] = 0xEE;  // not part of the payload
    EXPECT_EQ(p.parse(packet), ASF_PACKET_OK);
    ASSERT_EQ(p.queue()->len, 1u);
    EXPECT_EQ(p.object(0, 0).bytes_filled, 65u);
  }
  {  // Field widths: every length type for number, offset and replicated data.
    for (uint8_t t = 0; t < 4; t++) {
      PacketParser p(200);
      AsfLayout l = multi;
      l.number_type = t;
      l.replicated_type = t ? t : 1;
      l.payload_length_type = t ? t : 2;
      l.sequence_type = t;
      l.packet_length_type = t;
      l.offset_type = t ? t : 1;
      EXPECT_EQ(p.parse(asf_packet(200, l, {whole(1, 0, pattern(30, t)), whole(1, 1, pattern(9, t))})),
                ASF_PACKET_OK) << int(t);
      EXPECT_EQ(p.hand_out(), (std::vector<Bytes>{pattern(30, t), pattern(9, t)})) << int(t);
    }
  }
}

TEST(AsfPacket, FailuresAreReportedAndKeepWhatCameBefore) {
  AsfLayout multi;
  multi.multiple = true;
  {  // Replicated data of 5 bytes on a registered stream.
    PacketParser p(120);
    AsfPayload bad = whole(1, 1, pattern(10, 1));
    bad.replicated_length = 5;
    AsfLayout single;
    EXPECT_EQ(p.parse(asf_packet(120, single, {bad})), ASF_PACKET_SHORT);
    EXPECT_EQ(p.parse(asf_packet(120, multi, {whole(1, 0, pattern(10, 0)), bad})), ASF_PACKET_BROKEN);
    ASSERT_EQ(p.queue()->len, 1u) << "the object before the failure stays queued";
    EXPECT_EQ(p.object_bytes(0, 0), pattern(10, 0));
    // The same replicated data on a stream nobody registered is simply skipped.
    bad.stream = 2;
    EXPECT_EQ(p.parse(asf_packet(120, multi, {bad})), ASF_PACKET_OK);
  }
  {  // No payloads at all, and nothing left for the payload flags.
    PacketParser p(100);
    EXPECT_EQ(p.parse(asf_packet(100, multi, {})), ASF_PACKET_OK);
    EXPECT_EQ(p.queue()->len, 0u);
    Bytes no_flags = {0x01, 0x5D, 0, 0, 0, 0, 0, 0};  // multiple, nothing after send time
    EXPECT_EQ(p.parse(no_flags), ASF_PACKET_SHORT);
  }
  {  // Padding fields that cannot be right.
    PacketParser p(100);
    Bytes cut = {0x18, 0x5D, 0, 0, 0, 0, 0, 0};  // u32 padding length, 6 bytes left
    EXPECT_EQ(p.parse(cut), ASF_PACKET_BROKEN);
    Bytes big = {0x08, 0x5D, 200, 0, 0, 0, 0, 0, 0, 1, 2, 3};
    EXPECT_EQ(p.parse(big), ASF_PACKET_SHORT);
    Bytes all_ones = {0x18, 0x5D, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 1, 2};
    EXPECT_EQ(p.parse(all_ones), ASF_PACKET_SHORT);
    // Implicit padding larger than the packet.
    Bytes implicit = {0x40, 0x5D, 10, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(p.parse(implicit), ASF_PACKET_SHORT);
  }
  {  // A payload length larger than what is left.
    PacketParser p(100);
    Bytes packet = asf_packet(100, multi, {whole(1, 0, pattern(10, 0))});
    // flags 2, padding 2, time 6, count 1, stream 1, number 1, offset 4,
    // replicated 1 + 8: the u16 payload length is at 26.
    packet[26] = 0xFF;
    packet[27] = 0xFF;
    EXPECT_EQ(p.parse(packet), ASF_PACKET_BROKEN);
  }
}

TEST(AsfPacket, FragmentsAssembleInAnyOrder) {
  const Bytes object = pattern(5000, 7);
  auto part = [&](uint32_t from, uint32_t to) { return Bytes(object.begin() + from, object.begin() + to); };
  AsfLayout l;
  {  // In order over two packets.
    PacketParser p(4096);
    EXPECT_EQ(p.parse(asf_packet(4096, l, {fragment(3, 0, 5000, part(0, 3000))})), ASF_PACKET_OK);
    EXPECT_TRUE(p.hand_out().empty());
    EXPECT_EQ(p.parse(asf_packet(4096, l, {fragment(3, 3000, 5000, part(3000, 5000))})), ASF_PACKET_OK);
    EXPECT_EQ(p.hand_out(), std::vector<Bytes>{object});
  }
  {  // The end first: a continuation with no object before it is dropped.
    PacketParser p(4096);
    EXPECT_EQ(p.parse(asf_packet(4096, l, {fragment(3, 3000, 5000, part(3000, 5000))})), ASF_PACKET_OK);
    EXPECT_EQ(p.queue()->len, 0u);
  }
  {  // Middle and end before the start is complete: overlapping writes, and the
     // object completes with its furthest byte.
    PacketParser p(4096);
    p.parse(asf_packet(4096, l, {fragment(3, 0, 5000, part(0, 1000))}));
    p.parse(asf_packet(4096, l, {fragment(3, 4000, 5000, part(4000, 4500))}));
    p.parse(asf_packet(4096, l, {fragment(3, 500, 5000, part(500, 4000))}));
    EXPECT_TRUE(p.hand_out().empty());
    p.parse(asf_packet(4096, l, {fragment(3, 4500, 5000, part(4500, 5000))}));
    EXPECT_EQ(p.hand_out(), std::vector<Bytes>{object});
  }
}

TEST(AsfPacket, MismatchedContinuationsAreDroppedAndNewObjectsDiscardIncompleteOnes) {
  AsfLayout l;
  PacketParser p(600);
  p.parse(asf_packet(600, l, {fragment(1, 0, 1000, pattern(400, 1))}));
  // Another object number, another size, past the end: all dropped.
  p.parse(asf_packet(600, l, {fragment(2, 400, 1000, pattern(500, 2))}));
  p.parse(asf_packet(600, l, {fragment(1, 400, 999, pattern(500, 2))}));
  p.parse(asf_packet(600, l, {fragment(1, 600, 1000, pattern(500, 2))}));
  ASSERT_EQ(p.queue()->len, 1u);
  EXPECT_EQ(p.object(0, 0).bytes_filled, 400u);
  // A new first fragment discards the incomplete object.
  p.parse(asf_packet(600, l, {fragment(2, 0, 300, pattern(300, 3))}));
  EXPECT_EQ(p.hand_out(), std::vector<Bytes>{pattern(300, 3)});
  EXPECT_EQ(p.queue()->len, 0u);
}

TEST(AsfPacket, CompressedPayloadsBecomeOneObjectPerPiece) {
  AsfLayout l;
  AsfPayload c;
  c.replicated_length = 1;
  c.offset = 1234;  // the presentation time
  c.data = {3, 'a', 'b', 'c', 0, 2, 'd', 'e'};
  PacketParser p(100);
  EXPECT_EQ(p.parse(asf_packet(100, l, {c})), ASF_PACKET_OK);
  ASSERT_EQ(p.queue()->len, 2u);
  EXPECT_EQ(p.object(0, 0).object_offset, 1234u);
  EXPECT_EQ(p.object(0, 1).object_size, 0u);
  EXPECT_EQ(p.hand_out(), (std::vector<Bytes>{{'a', 'b', 'c'}, {'d', 'e'}}));

  // A piece longer than what is left fails the payload; the pieces before it
  // stay queued and go out after the next packet that parses.
  AsfLayout multi;
  multi.multiple = true;
  c.data = {2, 'x', 'y', 9, 'z'};
  EXPECT_EQ(p.parse(asf_packet(100, multi, {c})), ASF_PACKET_BROKEN);
  EXPECT_EQ(p.queue()->len, 1u);
  EXPECT_EQ(p.parse(asf_packet(100, multi, {})), ASF_PACKET_OK);
  EXPECT_EQ(p.hand_out(), (std::vector<Bytes>{{'x', 'y'}}));
}

// Regression: a first fragment longer than its object's declared size (and a
// payload without replicated data, whose size is 0) used to be copied into a
// buffer of the object's size.
TEST(AsfPacket, FirstFragmentLongerThanItsObjectIsDroppedAndKeepsTheOlderOne) {
  AsfLayout l;
  PacketParser p(600);
  const Bytes object = pattern(1000, 1);
  p.parse(asf_packet(600, l, {fragment(1, 0, 1000, Bytes(object.begin(), object.begin() + 400))}));
  EXPECT_EQ(p.parse(asf_packet(600, l, {fragment(2, 0, 100, pattern(200, 2))})), ASF_PACKET_OK);
  AsfPayload bare = whole(1, 3, pattern(50, 3));
  bare.replicated_length = 0;
  EXPECT_EQ(p.parse(asf_packet(600, l, {bare})), ASF_PACKET_OK);
  ASSERT_EQ(p.queue()->len, 1u) << "the incomplete older object was discarded";
  EXPECT_TRUE(p.hand_out().empty());
  p.parse(asf_packet(700, l, {fragment(1, 400, 1000, Bytes(object.begin() + 400, object.end()))}));
  EXPECT_EQ(p.hand_out(), std::vector<Bytes>{object});
}

// Regression: bytes of an assembled object that no fragment wrote used to be
// old heap contents.
TEST(AsfPacket, UnwrittenBytesOfAnAssembledObjectAreZero) {
  AsfLayout l;
  PacketParser p(200);
  p.parse(asf_packet(200, l, {fragment(4, 0, 100, Bytes(10, 0xAB))}));
  p.parse(asf_packet(200, l, {fragment(4, 90, 100, Bytes(10, 0xCD))}));
  Bytes expected(100, 0);
  std::fill(expected.begin(), expected.begin() + 10, 0xAB);
  std::fill(expected.begin() + 90, expected.end(), 0xCD);
  EXPECT_EQ(p.hand_out(), std::vector<Bytes>{expected});
}

// Assembly buffers are not cleared up front: only the gaps fragments leave
// are. Freed blocks of the same size full of 0xEE are about for the
// allocator to hand back.
TEST(AsfPacket, GapsBetweenFragmentsAreZeroedWhateverTheHeapHeld) {
  for (int i = 0; i < 4; i++) {
    void *dirty = malloc(300);
    memset(dirty, 0xEE, 300);
    free(dirty);
  }
  AsfLayout l;
  PacketParser p(400);
  p.parse(asf_packet(400, l, {fragment(4, 0, 300, Bytes(10, 1))}));
  p.parse(asf_packet(400, l, {fragment(4, 100, 300, Bytes(20, 2))}));  // gap 10..100
  p.parse(asf_packet(400, l, {fragment(4, 50, 300, Bytes(10, 3))}));   // inside that gap
  p.parse(asf_packet(400, l, {fragment(4, 280, 300, Bytes(20, 4))}));  // gap 120..280
  Bytes expected(300, 0);
  std::fill(expected.begin(), expected.begin() + 10, 1);
  std::fill(expected.begin() + 50, expected.begin() + 60, 3);
  std::fill(expected.begin() + 100, expected.begin() + 120, 2);
  std::fill(expected.begin() + 280, expected.end(), 4);
  EXPECT_EQ(p.hand_out(), std::vector<Bytes>{expected});
}

// Regression: the continuation range test wrapped in 32 bits, so a fragment
// at an offset near 4 GiB passed it. (Objects of nearly 4 GiB, where that
// mattered most, are no longer assembled at all; the largest one is used.)
TEST(AsfPacket, ContinuationRangeTestDoesNotWrap) {
  AsfLayout l;
  PacketParser p(200);
  const uint32_t largest = 64u << 20;
  p.parse(asf_packet(200, l, {fragment(4, 0, largest, Bytes(10, 1))}));
  ASSERT_EQ(p.queue()->len, 1u);
  ASSERT_NE(p.object(0, 0).buffer, nullptr);
  EXPECT_EQ(p.parse(asf_packet(200, l, {fragment(4, 0xFFFFFFF0u, largest, Bytes(32, 2))})), ASF_PACKET_OK);
  EXPECT_EQ(p.object(0, 0).bytes_filled, 10u);
  EXPECT_TRUE(p.hand_out().empty());
}

}  // namespace
