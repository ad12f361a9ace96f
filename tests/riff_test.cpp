// SPDX-License-Identifier: BSD-2-Clause
// The exported RIFF chunk and stream-record parsers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "quillar/riff.h"
#include "support/avi_writer.h"
#include "support/chain_driver.h"

using namespace qtest;

namespace {

int g_element;  // any non-null element


// The payload of a chunk made by the test writer.
Bytes payload(const Bytes &chunk) {
  size_t n = chunk[4] | chunk[5] << 8 | chunk[6] << 16 | static_cast<size_t>(chunk[7]) << 24;
  n = std::min(n, chunk.size() - 8);
  return Bytes(chunk.begin() + 8, chunk.begin() + 8 + static_cast<long>(n));
}

TEST(RiffChunk, WalksAListAndStopsAtItsEnd) {
  Writer w;
  w.bytes(avi::chunk("abcd", pattern(5, 1), 0x77)).bytes(avi::chunk("none", {}))
      .bytes(avi::chunk("tail", pattern(4, 2)));
  GstBuffer *buf = buffer_of(w.data());
  uint32_t pos = 0, tag = 0;
  GstBuffer *data = nullptr;
  ASSERT_EQ(gst_riff_parse_chunk(&g_element, buf, &pos, &tag, &data), 1);
  EXPECT_EQ(tag, 0x64636261u);
  EXPECT_EQ(pos, 14u) << "8 + 5 + the pad byte";
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(bytes_of(data), pattern(5, 1));
  EXPECT_EQ(data->parent, buf) << "the payload shares the buffer's memory";
  gst_buffer_unref(data);

  ASSERT_EQ(gst_riff_parse_chunk(&g_element, buf, &pos, &tag, &data), 1);
  EXPECT_EQ(data, nullptr) << "an empty payload";
  EXPECT_EQ(pos, 22u);
  ASSERT_EQ(gst_riff_parse_chunk(&g_element, buf, &pos, &tag, &data), 1);
  gst_buffer_unref(data);
  EXPECT_EQ(pos, 34u);

  tag = 99;
  EXPECT_EQ(gst_riff_parse_chunk(&g_element, buf, &pos, &tag, &data), 0) << "end of the buffer";
  EXPECT_EQ(tag, 0u);
  EXPECT_EQ(data, nullptr);
  EXPECT_EQ(pos, 34u);
  EXPECT_EQ(gst_riff_parse_chunk(nullptr, buf, &pos, &tag, &data), 0);
  EXPECT_EQ(gst_riff_parse_chunk(&g_element, buf, nullptr, &tag, &data), 0);
  gst_buffer_unref(buf);
}

TEST(RiffChunk, CutsOverlongPayloadsAndRefusesHugeSizes) {
  // Declared 11 bytes, 5 there: the payload is cut, and the odd cut size
  // puts the position one past the end, where the walk stops.
  GstBuffer *buf = buffer_of(avi::chunk("abcd", pattern(5, 1), 0, 11));
  buf->size = 13;
  uint32_t pos = 0, tag = 0;
  GstBuffer *data = nullptr;
  ASSERT_EQ(gst_riff_parse_chunk(&g_element, buf, &pos, &tag, &data), 1);
  EXPECT_EQ(data->size, 5u);
  EXPECT_EQ(pos, 14u);
  gst_buffer_unref(data);
  EXPECT_EQ(gst_riff_parse_chunk(&g_element, buf, &pos, &tag, &data), 0);
  gst_buffer_unref(buf);

  Writer huge;
  huge.tag("abcd").le32(0x80000000u).fill(16, 1);
  buf = buffer_of(huge.data());
  pos = 0;
  EXPECT_EQ(gst_riff_parse_chunk(&g_element, buf, &pos, &tag, &data), 0);
  EXPECT_EQ(pos, 0u);
  gst_buffer_unref(buf);
}

TEST(RiffChunk, ChunkPositionsNearFourGigabytesDoNotWrap) {
  GstBuffer *buf = buffer_of(avi::chunk("abcd", pattern(8, 1)));
  GstBuffer *data = nullptr;
  uint32_t tag = 0;
  for (uint32_t pos : {0xFFFFFFFFu, 0xFFFFFFF8u, 0xFFFFFFFCu, 17u}) {
    uint32_t at = pos;
    EXPECT_EQ(gst_riff_parse_chunk(&g_element, buf, &at, &tag, &data), 0) << pos;
    EXPECT_EQ(at, pos);
    EXPECT_EQ(data, nullptr);
  }
  // A size just under 2^31 from a non-zero position is cut, not wrapped.
  Writer w;
  w.fill(4, 0).tag("abcd").le32(0x7FFFFFFFu).fill(6, 3);
  GstBuffer *big = buffer_of(w.data());
  uint32_t at = 4;
  ASSERT_EQ(gst_riff_parse_chunk(&g_element, big, &at, &tag, &data), 1);
  EXPECT_EQ(data->size, 6u);
  gst_buffer_unref(data);
  gst_buffer_unref(big);
  gst_buffer_unref(buf);
}

TEST(RiffFileHeader, AcceptsRiffAndAvf0AndReportsTheForm) {
  uint32_t form = 0;
  EXPECT_EQ(gst_riff_parse_file_header(&g_element, buffer_of(avi::File().build()), &form), 1);
  EXPECT_EQ(form, 0x20495641u);  // "AVI "
  Writer avf0;
  avf0.tag("AVF0").le32(0xFFFFFFFF).tag("AVI ");
  EXPECT_EQ(gst_riff_parse_file_header(&g_element, buffer_of(avf0.data()), &form), 1);
  Writer rifx;
  rifx.tag("RIFX").le32(4).tag("AVI ");
  EXPECT_EQ(gst_riff_parse_file_header(&g_element, buffer_of(rifx.data()), &form), 0);
  EXPECT_EQ(gst_riff_parse_file_header(&g_element, buffer_of({'R', 'I', 'F', 'F', 0, 0, 0, 0, 'A'}), &form), 0);
}

TEST(RiffStreamRecords, StreamHeaderNeeds48BytesAndNeverKeepsAZeroRate) {
  RiffStreamHeader *h = nullptr;
  Bytes p = payload(avi::strh({"vids", "FMP4", 0, 0, 0, 47}));
  EXPECT_EQ(gst_riff_parse_strh(&g_element, buffer_of(p), &h), 0);
  EXPECT_EQ(h, nullptr);
  p = payload(avi::strh({"auds", "FMP4", 0, 0, 7, 48}));
  ASSERT_EQ(gst_riff_parse_strh(&g_element, buffer_of(p), &h), 1);
  EXPECT_EQ(h->type, 0x73647561u);  // "auds"
  EXPECT_EQ(h->scale, 1u);
  EXPECT_EQ(h->rate, 1u);
  EXPECT_EQ(h->sample_size, 7u);
  free(h);
}

TEST(RiffStreamRecords, VideoFormatClampsItsSizeAndReturnsTheExtraData) {
  RiffVideoFormat *v = nullptr;
  GstBuffer *extra = nullptr;
  ASSERT_EQ(gst_riff_parse_strf_vids(&g_element, buffer_of(payload(avi::strf_vids(pattern(20, 4), 100))), &v, &extra), 1);
  EXPECT_EQ(v->size, 60u);
  EXPECT_EQ(v->width, 160u);
  EXPECT_EQ(v->bit_count, 24u);
  ASSERT_NE(extra, nullptr);
  EXPECT_EQ(bytes_of(extra), pattern(20, 4)) << "outlives the released payload";
  gst_buffer_unref(extra);
  free(v);

  ASSERT_EQ(gst_riff_parse_strf_vids(&g_element, buffer_of(payload(avi::strf_vids())), &v, &extra), 1);
  EXPECT_EQ(extra, nullptr);
  free(v);
  Bytes short_format = payload(avi::strf_vids());
  short_format.pop_back();
  EXPECT_EQ(gst_riff_parse_strf_vids(&g_element, buffer_of(short_format), &v, &extra), 0);
}

TEST(RiffStreamRecords, AudioExtraDataIsCutToThePayload) {
  RiffAudioFormat *a = nullptr;
  GstBuffer *extra = nullptr;
  avi::AudioFormat fmt{85, 2, 44100, 16000, 1, 0};
  // Extra size 10 with 2 bytes there: 2 bytes.
  ASSERT_EQ(gst_riff_parse_strf_auds(&g_element, buffer_of(payload(avi::strf_auds(fmt, {10, 0, 7, 8}))), &a, &extra), 1);
  EXPECT_EQ(a->format, 85);
  EXPECT_EQ(a->avg_bytes_per_sec, 16000u);
  ASSERT_NE(extra, nullptr);
  EXPECT_EQ(bytes_of(extra), (Bytes{7, 8}));
  gst_buffer_unref(extra);
  free(a);
  // 18 bytes: no extra data whatever the extra size says; 16 is the minimum.
  ASSERT_EQ(gst_riff_parse_strf_auds(&g_element, buffer_of(payload(avi::strf_auds(fmt, {10, 0}))), &a, &extra), 1);
  EXPECT_EQ(extra, nullptr);
  free(a);
  // An extra size of 1 within a longer payload: exactly 1 byte.
  ASSERT_EQ(gst_riff_parse_strf_auds(&g_element, buffer_of(payload(avi::strf_auds(fmt, {1, 0, 5, 6, 7}))), &a, &extra), 1);
  EXPECT_EQ(bytes_of(extra), (Bytes{5}));
  gst_buffer_unref(extra);
  free(a);
  Bytes p = payload(avi::strf_auds(fmt));
  p.pop_back();
  EXPECT_EQ(gst_riff_parse_strf_auds(&g_element, buffer_of(p), &a, &extra), 0);
}

TEST(RiffStreamRecords, DvFormatNeeds32Bytes) {
  RiffDvFormat *dv = nullptr;
  GstBuffer *extra = reinterpret_cast<GstBuffer *>(&g_element);
  EXPECT_EQ(gst_riff_parse_strf_iavs(&g_element, buffer_of(pattern(31, 1)), &dv, &extra), 0);
  ASSERT_EQ(gst_riff_parse_strf_iavs(&g_element, buffer_of(pattern(32, 1)), &dv, &extra), 1);
  EXPECT_EQ(extra, nullptr);
  EXPECT_EQ(memcmp(dv, pattern(32, 1).data(), 32), 0);
  free(dv);
}

}  // namespace
