// SPDX-License-Identifier: BSD-2-Clause
// The AVI demultiplexer, through the host calls and driven directly.
#include <gtest/gtest.h>

#include <cstring>

#include "demux/avi/gstavidemux.h"
#include "quillar/gstparser.h"
#include "support/avi_writer.h"
#include "support/chain_driver.h"
#include "support/host.h"

using namespace qtest;
using namespace qtest::avi;

namespace {

constexpr uint32_t kAvi = 8;
constexpr uint64_t kNone = GST_BUFFER_OFFSET_NONE;

struct Frame {
  Bytes data;
  uint64_t offset, offset_end;
};

// Drives the chain function directly, as the front end does: push a block,
// then chain without data while frames keep coming.
struct Direct : ChainDriver<quillar::AviDemuxState, quillar::kAviFormat> {
  quillar::AviDemuxState &st = state;
  std::vector<Frame> frames;

  ~Direct() { collect(); }
  void collect() {
    while (out.frames) {
      auto *f = static_cast<GstBuffer *>(out.frames->data);
      out.frames = g_slist_delete_link(out.frames, out.frames);
      frames.push_back({Bytes(f->data, f->data + f->size), f->offset, f->offset_end});
      EXPECT_EQ(f->timestamp, 0u);
      EXPECT_EQ(f->duration, 0u);
      gst_buffer_unref(f);
    }
  }
  int32_t push(const Bytes &b) {
    int32_t r = ChainDriver::push(b);
    while (r == CHAIN_OK && out.frames) {
      collect();
      r = drain();
    }
    collect();
    return r;
  }
  // Pushes `file` in blocks of `block` bytes; returns the first failure.
  int32_t run(const Bytes &file, size_t block) {
    for (size_t at = 0; at < file.size(); at += block) {
      const size_t n = std::min(block, file.size() - at);
      const int32_t r = push(Bytes(file.begin() + static_cast<long>(at), file.begin() + static_cast<long>(at + n)));
      if (r != CHAIN_OK) return r;
    }
    return CHAIN_OK;
  }
};

std::vector<Bytes> datas(const HostRun &r) {
  std::vector<Bytes> out;
  for (const Item &i : r.items) {
    EXPECT_EQ(i.kind, static_cast<uint32_t>(BUFFER_KIND_FRAME));
    out.push_back(i.data);
  }
  return out;
}

// A movie list exercising what a host notices, with the payloads it should
// hand out and the frame numbers each carries.
struct Movie {
  File file = av_file();
  std::vector<Frame> expected;
  void add(const char *tag, size_t size, uint32_t seed, uint64_t offset, std::vector<Bytes> *into) {
    Bytes data = pattern(size, seed);
    into->push_back(chunk(tag, data, 0xEE));  // a pad byte that must not leak
    if (size) expected.push_back({data, offset, offset == kNone ? kNone : offset + 1});
  }
};

Movie busy_movie() {
  Movie m;
  auto *movi = &m.file.movi;
  m.add("00dc", 100, 1, 0, movi);
  m.add("01wb", 33, 2, kNone, movi);
  m.add("00dc", 8200, 3, 1, movi);  // straddles the first read blocks
  m.add("01wb", 1, 4, kNone, movi);
  std::vector<Bytes> rec;
  m.add("00db", 5, 5, 2, &rec);
  m.add("01wb", 7, 6, kNone, &rec);
  movi->push_back(list_of("rec ", rec));
  movi->push_back(chunk("JUNK", Bytes(10, 0)));
  movi->push_back(chunk("ix00", pattern(24, 9)));
  m.add("00dc", 20000, 7, 3, movi);
  m.add("01wb", 0, 8, kNone, movi);
  m.add("00dc", 0, 9, 4, movi);  // empty: no frame, but it takes number 4
  movi->push_back(chunk("JUNK", {}));
  m.add("00dc", 3, 10, 5, movi);
  m.file.after_movi.push_back(chunk("idx1", pattern(64, 11)));
  std::vector<Bytes> part;
  m.add("01wb", 9, 12, kNone, &part);
  m.add("00dc", 8191, 13, 6, &part);
  m.file.parts.push_back(part);
  return m;
}

TEST(Avi, FramesOfAllStreamsComeOutInFileOrderAtEveryCapacity) {
  Movie m = busy_movie();
  HostRun r = run_host_all_capacities(m.file.build(), kAvi);
  EXPECT_EQ(r.end, PARSER_END_OF_STREAM);
  std::vector<Bytes> want;
  for (const Frame &f : m.expected) want.push_back(f.data);
  EXPECT_EQ(datas(r), want);
  EXPECT_EQ(r.config_result, PARSER_ERROR_NOT_READY) << "AVI has no codec-data item";
}

TEST(Avi, VideoFramesAreNumberedAmongTheirStreamsChunksWhateverThePushSizes) {
  Movie m = busy_movie();
  const Bytes file = m.file.build();
  for (size_t block : {size_t{1}, size_t{3}, size_t{8192}, file.size()}) {
    Direct d;
    EXPECT_EQ(d.run(file, block), CHAIN_OK) << block;
    ASSERT_EQ(d.frames.size(), m.expected.size()) << block;
    for (size_t i = 0; i < d.frames.size(); i++) {
      EXPECT_EQ(d.frames[i].data, m.expected[i].data) << "frame " << i << " block " << block;
      EXPECT_EQ(d.frames[i].offset, m.expected[i].offset) << "frame " << i;
      EXPECT_EQ(d.frames[i].offset_end, m.expected[i].offset_end) << "frame " << i;
    }
    EXPECT_EQ(d.st.streams[0].frame_count, 7u);
    EXPECT_EQ(d.st.streams[1].frame_count, 5u);
    EXPECT_EQ(gst_adapter_available(d.st.adapter), 0u);
  }
}

struct HeaderCase {
  const char *name;
  void (*change)(File &);
  int32_t end;
};

TEST(Avi, HeaderAcceptance) {
  const HeaderCase cases[] = {
      {"plain", [](File &) {}, PARSER_END_OF_STREAM},
      {"AVF0 magic", [](File &f) { f.magic = "AVF0"; }, PARSER_END_OF_STREAM},
      {"RIFX magic", [](File &f) { f.magic = "RIFX"; }, PARSER_ERROR_CHAIN},
      {"WAVE form", [](File &f) { f.form = "WAVE"; }, PARSER_ERROR_CHAIN},
      {"avih of 55 bytes", [](File &f) { f.main_header = avih(1, 55); }, PARSER_ERROR_CHAIN},
      {"avih of 56 bytes", [](File &f) { f.main_header = avih(1, 56); }, PARSER_END_OF_STREAM},
      {"no avih", [](File &f) { f.main_header = chunk("JUNK", Bytes(56, 0)); }, PARSER_ERROR_CHAIN},
      {"no stream list", [](File &f) { f.header = {chunk("JUNK", Bytes(4, 0))}; }, PARSER_ERROR_CHAIN},
      {"odml, INFO and JUNK around", [](File &f) {
         f.header.push_back(list("odml", {chunk("dmlh", Bytes(248, 0))}));
         f.header.push_back(chunk("JUNK", Bytes(3, 0)));
         f.before_movi = {list("INFO", {chunk("ISFT", Bytes(13, 'a'))}), chunk("JUNK", Bytes(999, 0)),
                          chunk("idx1", Bytes(16, 0))};
       }, PARSER_END_OF_STREAM},
      {"empty JUNK before the movie list", [](File &f) { f.before_movi = {chunk("JUNK", {})}; },
       PARSER_ERROR_CHAIN},
      {"empty INFO before the movie list", [](File &f) { f.before_movi = {chunk("LIST", {})}; },
       PARSER_ERROR_CHAIN},
  };
  for (const HeaderCase &c : cases) {
    File f = av_file();
    f.movi = {chunk("00dc", pattern(50, 1)), chunk("01wb", pattern(51, 2))};
    c.change(f);
    HostRun r = run_host(f.build(), kAvi, 4096);
    EXPECT_EQ(r.end, c.end) << c.name;
    EXPECT_EQ(r.items.size(), c.end == PARSER_END_OF_STREAM ? 2u : 0u) << c.name;
  }
}

TEST(Avi, HeaderFailuresConsumeAsDescribed) {
  // A first chunk that is not a list is left in place: every call fails.
  Writer w;
  w.tag("RIFF").le32(100).tag("AVI ").bytes(chunk("JUNK", Bytes(8, 0)));
  Direct d;
  EXPECT_EQ(d.push(w.data()), CHAIN_ERROR);
  EXPECT_EQ(d.push({}), CHAIN_ERROR);
  EXPECT_EQ(gst_adapter_available(d.st.adapter), 16u);
  // A list of another type is consumed and the next one is tried.
  Direct e;
  Writer x;
  x.tag("RIFF").le32(100).tag("AVI ").bytes(list("abcd", {}));
  EXPECT_EQ(e.push(x.data()), CHAIN_ERROR);
  EXPECT_EQ(gst_adapter_available(e.st.adapter), 0u);
  EXPECT_EQ(e.st.state, quillar::AVI_STATE_HEADER);
}

TEST(Avi, NullBufferBeforeDataAndResetRightAfterCreation) {
  Direct d;
  EXPECT_EQ(d.st.state, quillar::AVI_STATE_START);
  EXPECT_EQ(gst_avi_demux_chain(&d.out, nullptr), CHAIN_OK);
  gst_avi_demux_reset_wrapper(&d.out);
  EXPECT_EQ(d.st.adapter, nullptr);
  EXPECT_EQ(d.st.state, quillar::AVI_STATE_START);
}

// Stream lists that are accepted and rejected; each stream n gets one chunk
// "n" in the movie list whose payload says which stream it belongs to.
TEST(Avi, RejectedStreamsKeepTheirNumbersAndReleaseEachPayloadOnce) {
  const StreamHeader vids{};
  const StreamHeader auds_cbr{"auds", "\1\0\0\0", 1, 8000, 1};
  const StreamHeader auds_vbr{"auds", "U\0\0\0", 2, 8000, 0};
  AudioFormat no_rate{};
  no_rate.avg_bytes_per_sec = 0;
  AudioFormat vbr_mp3{};
  vbr_mp3.avg_bytes_per_sec = 0;
  vbr_mp3.block_align = 2;
  Bytes dv_strf = chunk("strf", pattern(32, 3));
  struct Case {
    Bytes strl;
    bool accepted;
  } cases[] = {
      {list("strl", {strh({"mids"}), strf_vids()}), false},                 // 0: unknown type
      {video_strl(), true},                                                 // 1
      {list("strl", {strh(auds_cbr), strf_auds(no_rate)}), false},          // 2: CBR without a rate
      {list("strl", {strh(auds_vbr), strf_auds(vbr_mp3)}), true},           // 3: VBR
      {list("strl", {strh(vids), chunk("vprp", Bytes(36, 0)), strf_vids()}), false},  // 4
      {list("strl", {strh({"txts"}), chunk("strf", Bytes(4, 0))}), true},   // 5
      {list("strl", {strh(vids), strh(auds_cbr), strf_vids(), chunk("vprp", Bytes(36, 0)),
                     chunk("vprp", Bytes(2, 0)), chunk("strd", pattern(9, 1)),
                     chunk("strn", {'c', 'a', 'm'}), chunk("indx", Bytes(24, 0)),
                     chunk("ix06", Bytes(8, 0))}), true},                   // 6: second strh ignored
      {list("strl", {strh(vids), chunk("strf", Bytes(39, 0))}), false},     // 7: short format
      {list("strl", {strh({"iavs"}), dv_strf}), true},                      // 8: DV
      {list("strl", {strh({"iavs"}), chunk("strf", Bytes(31, 0))}), false}, // 9: short DV
      {list("strl", {strf_vids(), strh(vids)}), false},                     // 10: format first
      {list("strl", {strh(vids)}), false},                                  // 11: no format
      {list("strl", {strh({"vids", "xxxx", 1, 1, 0, 47}), strf_vids()}), false},  // 12: short strh
  };
  File f;
  std::vector<Bytes> expected;
  const size_t n = sizeof cases / sizeof cases[0];
  for (size_t i = 0; i < n; i++) {
    f.header.push_back(cases[i].strl);
    char tag[5];
    snprintf(tag, sizeof tag, "%02zudc", i);
    Bytes data = pattern(10 + i, static_cast<uint32_t>(i));
    f.movi.push_back(chunk(tag, data));
    f.movi.push_back(chunk(tag, {}));
    if (cases[i].accepted) expected.push_back(data);
  }
  const Bytes file = f.build();
  EXPECT_EQ(datas(run_host_all_capacities(file, kAvi)), expected);

  Direct d;
  EXPECT_EQ(d.run(file, 8192), CHAIN_OK);
  EXPECT_EQ(d.st.num_streams, n);
  for (size_t i = 0; i < n; i++) {
    const quillar::AviStream &s = d.st.streams[i];
    EXPECT_EQ(s.strh != nullptr, cases[i].accepted) << "stream " << i;
    EXPECT_EQ(s.frame_count, 2u) << "stream " << i << ": every chunk is numbered";
    EXPECT_EQ(s.extra_data, nullptr);
    EXPECT_EQ(s.init_data, nullptr);
  }
  EXPECT_STREQ(d.st.streams[6].stream_name, "cam");
  EXPECT_EQ(d.st.streams[6].strh->type, 0x73646976u) << "the first strh counts";
  EXPECT_EQ(d.st.streams[5].strf, nullptr) << "text streams have no format";
  ASSERT_EQ(d.frames.size(), expected.size());
  EXPECT_EQ(d.frames[0].offset, 0u) << "stream 1 is video";
  EXPECT_EQ(d.frames[1].offset, kNone) << "stream 3 is audio";
}

TEST(Avi, DataChunkOfARejectedStreamIsDroppedWholeAndCounted) {
  File f;
  f.header = {list("strl", {strh({"mids"}), strf_vids()}), video_strl()};
  f.movi = {chunk("00dc", pattern(7, 1), 0x30), chunk("01dc", pattern(5, 2)),
            chunk("00dc", pattern(8191, 3)), chunk("01dc", pattern(6, 4))};
  Direct d;
  EXPECT_EQ(d.run(f.build(), 5), CHAIN_OK);
  ASSERT_EQ(d.frames.size(), 2u);
  EXPECT_EQ(d.frames[0].data, pattern(5, 2));
  EXPECT_EQ(d.frames[1].data, pattern(6, 4));
  EXPECT_EQ(d.frames[1].offset, 1u);
  EXPECT_EQ(d.st.streams[0].frame_count, 2u);
}

TEST(Avi, SeventeenthStreamListIsIgnored) {
  File f;
  for (int i = 0; i < 17; i++) f.header.push_back(video_strl());
  f.movi = {chunk("15dc", pattern(4, 1)), chunk("16dc", pattern(4, 2)), chunk("99dc", pattern(4, 3)),
            chunk("15dc", pattern(4, 4))};
  Direct d;
  EXPECT_EQ(d.run(f.build(), 8192), CHAIN_OK);
  EXPECT_EQ(d.st.num_streams, 16u);
  ASSERT_EQ(d.frames.size(), 2u);
  EXPECT_EQ(d.frames[1].data, pattern(4, 4));
  EXPECT_EQ(d.frames[1].offset, 1u);
}

TEST(Avi, AnUnrecognisedTagEndsTheDataForGood) {
  for (const char *tag : {"ISFT", "0xdc", "x0dc"}) {
    File f = av_file();
    f.movi = {chunk("00dc", pattern(9, 1)), chunk(tag, pattern(4, 2)), chunk("00dc", pattern(9, 3))};
    Direct d;
    EXPECT_EQ(d.run(f.build(), 8192), CHAIN_BAD_DATA) << tag;
    ASSERT_EQ(d.frames.size(), 1u) << "frames before the tag stay queued";
    EXPECT_EQ(d.push(chunk("00dc", pattern(9, 4))), CHAIN_BAD_DATA);
    EXPECT_EQ(gst_adapter_available(d.st.adapter), 0u) << "later input is dropped";
    EXPECT_EQ(d.frames.size(), 1u);
  }
  // Through the host: an "INFO" list after the movie list is descended
  // into, and its first sub-chunk ends the data.
  File f = av_file();
  f.movi = {chunk("00dc", pattern(9, 1))};
  f.after_movi = {chunk("idx1", Bytes(16, 0)), list("INFO", {chunk("ISFT", Bytes(6, 'x'))})};
  HostRun r = run_host(f.build(), kAvi, 4096);
  EXPECT_EQ(r.end, PARSER_ERROR_CHAIN);
  EXPECT_EQ(r.items.size(), 1u);
}

TEST(Avi, TruncatedFilesEndTheStreamWithTheWholeChunksBeforeTheCut) {
  Movie m = busy_movie();
  const Bytes file = m.file.build();
  // Cut inside the 20000-byte chunk: the frames before it come out.
  size_t cut = 0;
  for (size_t i = 0; i + 4 <= file.size(); i++)
    if (memcmp(&file[i], "00dc", 4) == 0 && file[i + 4] == 0x20 && file[i + 5] == 0x4E) cut = i + 100;
  ASSERT_NE(cut, 0u);
  HostRun r = run_host(Bytes(file.begin(), file.begin() + static_cast<long>(cut)), kAvi, 7);
  EXPECT_EQ(r.end, PARSER_END_OF_STREAM);
  EXPECT_EQ(r.items.size(), 6u);
  // Cut inside the header list, and right after the RIFF header.
  for (size_t at : {size_t{12}, size_t{100}, size_t{5}}) {
    r = run_host(Bytes(file.begin(), file.begin() + static_cast<long>(at)), kAvi, 7);
    EXPECT_EQ(r.end, PARSER_END_OF_STREAM) << at;
    EXPECT_TRUE(r.items.empty());
  }
}

TEST(Avi, OversizedChunksInTheMovieList) {
  // A data chunk of 2^30 bytes or more: only its header is dropped.
  File f = av_file();
  Writer huge;
  huge.tag("00dc").le32(1u << 30);
  f.movi = {huge.take(), chunk("00dc", pattern(5, 1))};
  Direct d;
  EXPECT_EQ(d.run(f.build(), 8192), CHAIN_OK);
  ASSERT_EQ(d.frames.size(), 1u);
  EXPECT_EQ(d.frames[0].offset, 0u);
  // An index chunk that large can never be skipped: every call fails.
  Writer index;
  index.tag("ix01").le32(0xFFFFFFF0u);
  f.movi = {chunk("00dc", pattern(5, 1)), index.take(), chunk("00dc", pattern(5, 2))};
  Direct e;
  EXPECT_EQ(e.run(f.build(), 8192), CHAIN_ERROR);
  EXPECT_EQ(e.push({}), CHAIN_ERROR);
  EXPECT_EQ(e.frames.size(), 1u);
}

// The odd header list and odd stream lists are read one byte longer; that
// byte is the file's pad byte, or 0 where the file has none. A "strn" cut
// short by its list shows which byte was used.
TEST(Avi, OddListsAreReadWithTheFilesPadByte) {
  auto cut_strn = [](uint32_t declared) {
    Writer w;
    w.tag("strn").le32(declared).raw("abcde", 5);
    return w.take();
  };
  auto odd_strl = [&](uint8_t pad, uint32_t declared_extra) {
    Bytes s = list("strl", {strh({}), strf_vids()});
    const Bytes strn = cut_strn(6);
    s.insert(s.end(), strn.begin(), strn.end());
    const uint32_t size = static_cast<uint32_t>(s.size() - 8) + declared_extra;
    Writer w;
    w.tag("LIST").le32(size).raw(s.data() + 8, s.size() - 8);
    if (!declared_extra) w.u8(pad);
    return w.take();
  };
  struct Case {
    Bytes hdrl_child;
    uint8_t hdrl_pad;
    const char *name;
  } cases[] = {
      {odd_strl('Z', 0), 0, "abcdeZ"},  // odd stream list inside an even header list
      {odd_strl(0, 1), 'Y', "abcdeY"},  // the header list is odd: its own pad byte
  };
  for (const Case &c : cases) {
    Writer hdrl;
    hdrl.tag("LIST").le32(static_cast<uint32_t>(4 + avih().size() + c.hdrl_child.size()))
        .tag("hdrl").bytes(avih()).bytes(c.hdrl_child);
    if (hdrl.size() & 1) hdrl.u8(c.hdrl_pad);
    Writer file;
    file.tag("RIFF").le32(0).tag("AVI ").bytes(hdrl.data()).bytes(list("movi", {chunk("00dc", pattern(3, 1))}));
    Direct d;
    EXPECT_EQ(d.run(file.data(), 8192), CHAIN_OK) << c.name;
    EXPECT_STREQ(d.st.streams[0].stream_name, c.name);
    EXPECT_EQ(d.frames.size(), 1u);
  }
}

TEST(Avi, InfoListShorterThanItsTypeIsSkippedBySize) {
  // "LIST" of size 2 ("IN"), then a chunk that begins "FO": the list is
  // skipped by its own size, not by 12 bytes.
  File f = av_file();
  f.before_movi = {chunk("LIST", {'I', 'N'}), chunk("FOOO", pattern(6, 1))};
  f.movi = {chunk("00dc", pattern(9, 1))};
  HostRun r = run_host_all_capacities(f.build(), kAvi);
  EXPECT_EQ(r.end, PARSER_END_OF_STREAM);
  EXPECT_EQ(r.items.size(), 1u);
}

TEST(Avi, MainHeaderOfAFailedHeaderListIsReplacedNotLeaked) {
  Writer w;
  w.tag("RIFF").le32(0).tag("AVI ").bytes(list("hdrl", {avih()}));
  Direct d;
  EXPECT_EQ(d.push(w.data()), CHAIN_ERROR) << "a header list without streams";
  ASSERT_NE(d.st.main_header, nullptr);
  Writer rest;
  rest.bytes(list("hdrl", {avih(7), video_strl()})).bytes(list("movi", {chunk("00dc", pattern(4, 1))}));
  EXPECT_EQ(d.push(rest.data()), CHAIN_OK);
  EXPECT_EQ(d.st.main_header->streams, 7u);
  EXPECT_EQ(d.frames.size(), 1u);
}

}  // namespace
