// SPDX-License-Identifier: BSD-2-Clause
// The Matroska/WebM demultiplexer on files built in memory.
#include <gtest/gtest.h>

#include "demux/mkv/mkv_internal.h"
#include "support/chain_driver.h"
#include "support/host.h"
#include "support/mkv_writer.h"
#include "mkv_track.h"

using namespace qtest;
using namespace qtest::mkv;

namespace {

const Track kAudio = {1, 2, "A_VORBIS", {0x02, 0x01, 0x01}, 0, 0, {}};
const Track kVp8 = {2, 1, "V_VP8", {}, 320, 240, {}};

Bytes frame(size_t n, uint32_t seed) { return pattern(n, seed); }

std::vector<Bytes> frames_of(const HostRun &r) {
  std::vector<Bytes> out;
  for (const Item &item : r.items)
    if (item.kind == 1) out.push_back(item.data);
  return out;
}

// Clusters of interleaved audio and video: video frames 0..5, one of them
// larger than a read block.
std::vector<Bytes> video_frames() {
  return {frame(300, 1), frame(20000, 2), frame(1, 3), frame(700, 4), frame(9000, 5), frame(64, 6)};
}

Bytes av_cluster(const std::vector<Bytes> &video, size_t first, size_t n, bool unknown,
                 bool groups) {
  std::vector<Bytes> children;
  for (size_t i = first; i < first + n; i++) {
    children.push_back(simple_block(1, frame(100 + i, 50 + static_cast<uint32_t>(i))));
    children.push_back(groups && i % 2 ? block_group(2, video[i]) : simple_block(2, video[i]));
  }
  return cluster(children, unknown);
}

struct Layout {
  const char *name;
  bool unknown_segment, unknown_clusters, groups, extras;
};

// The same six video frames come out of every layout a writer may choose.
TEST(Mkv, EveryLayoutGivesTheVideoFrames) {
  const Layout layouts[] = {
      {"sized", false, false, false, false},
      {"live: unknown-size segment", true, false, false, false},
      {"unknown-size segment and clusters", true, true, false, false},
      {"block groups", false, false, true, false},
      {"cues, tags, attachments, void and CRC-32 around clusters", false, false, true, true},
      {"all of it, unknown sizes", true, true, true, true},
  };
  const std::vector<Bytes> video = video_frames();
  for (const Layout &l : layouts) {
    SCOPED_TRACE(l.name);
    std::vector<Bytes> children;
    if (l.extras) children.push_back(el(kSeekHead, frame(40, 7)));
    if (l.extras) children.push_back(el(kVoid, frame(9, 8)));
    children.push_back(tracks({kAudio, kVp8}));
    for (size_t c = 0; c < 3; c++) {
      Bytes cl = av_cluster(video, 2 * c, 2, l.unknown_clusters, l.groups);
      if (l.extras && !l.unknown_clusters) {
        // A CRC-32 first and a Void last inside the cluster.
        cl = el(kCluster, cat({el(kCrc32, {1, 2, 3, 4}), uint_el(kTimestamp, 0),
                               simple_block(2, video[2 * c]), simple_block(2, video[2 * c + 1]),
                               el(kVoid, {0, 0})}));
      }
      children.push_back(cl);
      if (l.extras) children.push_back(el(kTags, frame(30, 9)));
    }
    if (l.extras) {
      children.push_back(el(kCues, frame(50, 10)));
      children.push_back(el(kAttachments, frame(12000, 11)));
      children.push_back(el(kChapters, frame(20, 12)));
    }
    const Bytes f = file(children, l.unknown_segment);
    HostRun r = run_host_all_capacities(f, 10);
    EXPECT_EQ(r.end, 12);
    EXPECT_EQ(frames_of(r), video);
    EXPECT_EQ(r.items.size(), video.size()) << "no codec item for VP8";
  }
}

struct Codec {
  const char *codec;
  uint32_t standard;
  Bytes codec_private;
  Bytes item;  // the expected codec item; empty for none
};

Bytes bitmap_info_header(const char *code, const Bytes &extra) {
  Writer w;
  w.le32(40 + static_cast<uint32_t>(extra.size())).le32(176).le32(144).le16(1).le16(24).tag(code);
  w.fill(20, 0).bytes(extra);
  return w.take();
}

Bytes real_video_props(const char *code, const Bytes &extra) {
  Writer w;
  w.be32(26 + static_cast<uint32_t>(extra.size())).tag("VIDO").tag(code).be16(176).be16(144);
  w.be16(12).be32(0).be32(15 << 16).bytes(extra);
  return w.take();
}

// The codec item is what the other container of the standard hands out.
TEST(Mkv, CodecItemAndFrameSize) {
  const Bytes seq = {0x4E, 0x29, 0x1A, 0x01};
  const Bytes rv = {0x10, 0x00, 0x00, 0x08, 0x20, 0x10, 0x30, 0x01};
  const Codec cases[] = {
      {"V_VP9", 10, {}, {}},
      {"V_MS/VFW/FOURCC", 5, bitmap_info_header("WMV3", seq), seq},
      {"V_MS/VFW/FOURCC", 5, bitmap_info_header("WVC1", cat({{0x25}, frame(30, 1)})), cat({{0x25}, frame(30, 1)})},
      {"V_MS/VFW/FOURCC", 5, bitmap_info_header("WVC1", {}), {}},
      {"V_REAL/RV20", 7, real_video_props("RV20", rv), rv},
      {"V_REAL/RV40", 7, real_video_props("RV40", rv), rv},
  };
  for (const Codec &c : cases) {
    SCOPED_TRACE(c.codec);
    Track t = {3, 1, c.codec, c.codec_private, 176, 144, {}};
    const Bytes f = file({tracks({kAudio, t}), cluster({simple_block(3, frame(500, 1))})}, false, "matroska");
    HostRun r = run_host_all_capacities(f, c.standard);
    ASSERT_EQ(r.end, 12);
    ASSERT_EQ(r.items.size(), c.item.empty() ? 1u : 2u);
    if (!c.item.empty()) {
      EXPECT_EQ(r.items[0].kind, 2u);
      EXPECT_EQ(r.items[0].data, c.item);
      EXPECT_EQ(r.config_result, 0);
      EXPECT_EQ(r.config[0], 144u);
      EXPECT_EQ(r.config[1], 176u);
    }
    EXPECT_EQ(r.items.back().data, frame(500, 1));
  }
}

// The first video track that fits the code is played; none fitting refuses
// the file once the track list is read, naming what it has.
TEST(Mkv, TrackChoiceFollowsTheCode) {
  const Track wmv2 = {4, 1, "V_MS/VFW/FOURCC", bitmap_info_header("WMV2", {}), 176, 144, {}};
  const Track vc1 = {5, 1, "V_MS/VFW/FOURCC", bitmap_info_header("WVC1", {}), 176, 144, {}};
  const Bytes f = file({tracks({kAudio, wmv2, kVp8, vc1}),
                        cluster({simple_block(2, frame(10, 2)), simple_block(4, frame(10, 4)),
                                 simple_block(5, frame(10, 5))})});
  EXPECT_EQ(frames_of(run_host_all_capacities(f, 10)), std::vector<Bytes>{frame(10, 2)});
  EXPECT_EQ(frames_of(run_host_all_capacities(f, 5)), std::vector<Bytes>{frame(10, 5)});
  StdoutCapture out;
  HostRun r = run_host(f, 7, 4096);
  EXPECT_EQ(r.end, 3);
  EXPECT_TRUE(r.items.empty());
  EXPECT_NE(out.text().find("no track fits video standard 7; the file has: A_VORBIS, "
                            "V_MS/VFW/FOURCC (WMV2), V_VP8, V_MS/VFW/FOURCC (WVC1)"),
            std::string::npos);
}

using Driver = ChainDriver<quillar::mkv::MkvState, quillar::kMatroskaFormat>;

struct ChainRun {
  int32_t result = CHAIN_OK;
  std::vector<Bytes> frames;
  uint32_t skipped = 0;
  uint32_t max_held = 0;  // the most the adapter held after a call
};

// Pushes `f` in slices of `slice` bytes with drain calls, as the front end
// does, until the data ends or the chain refuses.
ChainRun drive(const Bytes &f, size_t slice, uint32_t standard = 10) {
  Driver d;
  d.state.standard = standard;
  ChainRun run;
  StdoutCapture quiet;
  for (size_t at = 0; at <= f.size() && run.result == CHAIN_OK; at += slice) {
    const size_t n = std::min(slice, f.size() - at);
    run.result = d.push(Bytes(f.begin() + static_cast<long>(at), f.begin() + static_cast<long>(at + n)));
    while (run.result == CHAIN_OK && (d.out.frames || d.out.codec_data)) {
      for (Bytes &b : d.take_frames()) run.frames.push_back(std::move(b));
      gst_buffer_unref(d.out.codec_data);
      d.out.codec_data = nullptr;
      run.result = d.drain();
    }
    run.skipped += d.out.skipped_frames;
    d.out.skipped_frames = 0;
    run.max_held = std::max(run.max_held, d.available());
    if (n == 0) break;
  }
  return run;
}

// Every lacing form gives one frame per laced frame; empty frames are
// counted as skipped, not handed out.
TEST(Mkv, LacingIsUnpacked) {
  const std::vector<Bytes> three = {frame(800, 1), frame(500, 2), frame(260, 3)};
  const std::vector<Bytes> fixed = {frame(300, 4), frame(300, 5), frame(300, 6)};
  const std::vector<Bytes> with_empty = {frame(10, 7), {}, frame(255, 8)};
  struct Case {
    Lacing lacing;
    std::vector<Bytes> frames;
    uint32_t skipped;
  } cases[] = {
      {Lacing::kXiph, three, 0},       {Lacing::kEbmlSizes, three, 0}, {Lacing::kFixed, fixed, 0},
      {Lacing::kXiph, with_empty, 1},  {Lacing::kEbmlSizes, with_empty, 1},
      {Lacing::kNone, {Bytes{}}, 1},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(static_cast<int>(c.lacing));
    const Bytes f = file({tracks({kVp8}), cluster({el(kSimpleBlock, block_payload(2, c.frames, c.lacing)),
                                                   simple_block(2, frame(5, 9))})});
    std::vector<Bytes> expected;
    for (const Bytes &b : c.frames)
      if (!b.empty()) expected.push_back(b);
    expected.push_back(frame(5, 9));
    for (size_t slice : {size_t{1}, size_t{7}, size_t{8192}}) {
      ChainRun r = drive(f, slice);
      EXPECT_EQ(r.result, CHAIN_OK);
      EXPECT_EQ(r.frames, expected);
      EXPECT_EQ(r.skipped, c.skipped);
    }
  }
}

// Header stripping: the stripped bytes go back in front of every frame
// (laced ones included) and, with scope 2, of the codec-private data.
TEST(Mkv, HeaderStrippingIsUndone) {
  const Bytes head = {0x9D, 0x01, 0x2A};
  Track t = kVp8;
  t.encodings = content_encoding(3, head);
  const Bytes f = file({tracks({t}), cluster({simple_block(2, frame(40, 1)),
                                              el(kSimpleBlock, block_payload(2, {frame(8, 2), frame(9, 3)},
                                                                             Lacing::kXiph))})});
  EXPECT_EQ(frames_of(run_host_all_capacities(f, 10)),
            (std::vector<Bytes>{cat({head, frame(40, 1)}), cat({head, frame(8, 2)}), cat({head, frame(9, 3)})}));

  const Bytes seq = {0x4E, 0x29, 0x1A, 0x01};
  const Bytes bih = bitmap_info_header("WMV3", seq);
  Track vc1 = {1, 1, "V_MS/VFW/FOURCC", Bytes(bih.begin() + 4, bih.end()), 176, 144,
               content_encoding(3, Bytes(bih.begin(), bih.begin() + 4), 3)};
  const Bytes g = file({tracks({vc1}), cluster({simple_block(1, frame(7, 4))})}, false, "matroska");
  HostRun r = run_host_all_capacities(g, 5);
  ASSERT_EQ(r.items.size(), 2u);
  EXPECT_EQ(r.items[0].data, seq);
  EXPECT_EQ(r.items[1].data, cat({Bytes(bih.begin(), bih.begin() + 4), frame(7, 4)}));
}

// Hostile and unsupported input: each has one clear result, the frames
// before the fault come out, and the adapter never holds more than a read
// block beyond what an awaited element has.
TEST(Mkv, HostileInput) {
  const Bytes tr = tracks({kAudio, kVp8});
  const Bytes tr_body = cat({track_entry(kAudio), track_entry(kVp8)});
  const Bytes ok = simple_block(2, frame(50, 1));
  auto in_cluster = [&](const Bytes &b) { return file({tr, cluster({ok, b})}); };
  Bytes nested;
  for (int i = 0; i < 5000; i++) nested = el(kBlockGroup, nested);
  Bytes deep_unknown;
  for (int i = 0; i < 2000; i++) deep_unknown = cat({id_bytes(0x4DBB), unknown_size(), deep_unknown});
  Track zlib = kVp8, crypt = kVp8;
  zlib.encodings = content_encoding(0, {});
  crypt.encodings = content_encoding(0, {}, 1, 1);
  struct Case {
    const char *name;
    Bytes file;
    int32_t result;
    size_t frames;
  } cases[] = {
      {"cluster larger than its segment", cat({ebml_header(), el_header(kSegment, 100), tr,
                                               el_header(kCluster, 200), ok}), CHAIN_ERROR, 0},
      {"block larger than its cluster", file({tr, cat({el_header(kCluster, 10), ok})}), CHAIN_ERROR, 0},
      {"unknown-size track list", cat({ebml_header(), el_unknown(kSegment, el_unknown(kTracks, tr))}),
       CHAIN_ERROR, 0},
      {"unknown-size block group", in_cluster(el_unknown(kBlockGroup, el(kBlock, {0x82, 0, 0, 0}))),
       CHAIN_ERROR, 1},
      {"unknown-size void", in_cluster(el_unknown(kVoid, {})), CHAIN_ERROR, 1},
      {"8-byte sizes are read", file({el(kVoid, {}), cat({el_header(kTracks, tr_body.size(), 8), tr_body}),
                                      cluster({ok})}), CHAIN_OK, 1},
      {"8-byte size of 2^56-2 in a live segment", cat({ebml_header(), el_unknown(kSegment, cat({tr,
                                     cluster({ok}), el_header(kVoid, (uint64_t{1} << 56) - 2, 8), ok}))}),
       CHAIN_OK, 1},
      {"size field longer than 8 bytes", in_cluster({0xEC, 0x00, 0x80}), CHAIN_ERROR, 1},
      {"ID longer than 4 bytes", in_cluster({0x08, 0x11, 0x22, 0x33, 0x44, 0x81, 0}), CHAIN_ERROR, 1},
      {"lace count past the data", in_cluster(el(kSimpleBlock, {0x82, 0, 0, 0x82, 200, 1, 2})),
       CHAIN_ERROR, 1},
      {"xiph sizes past the block", in_cluster(el(kSimpleBlock, {0x82, 0, 0, 0x82, 1, 0xFF, 0xFF, 9, 1})),
       CHAIN_ERROR, 1},
      {"ebml size delta below zero", in_cluster(el(kSimpleBlock, {0x82, 0, 0, 0x86, 2, 0x82, 0x80, 1, 2, 3})),
       CHAIN_ERROR, 1},
      {"fixed lace that does not divide", in_cluster(el(kSimpleBlock, {0x82, 0, 0, 0x84, 1, 1, 2, 3})),
       CHAIN_ERROR, 1},
      {"block shorter than its header", in_cluster(el(kSimpleBlock, {0x82, 0})), CHAIN_ERROR, 1},
      {"block for an undeclared track is dropped", in_cluster(simple_block(9, frame(10, 2))), CHAIN_OK, 1},
      {"clusters before the track list", file({cluster({ok}), tr}), CHAIN_ERROR, 0},
      {"a second track list is ignored", file({tr, cluster({ok}), tracks({kVp8}), cluster({ok})}),
       CHAIN_OK, 2},
      {"4 GiB attachments", cat({ebml_header(), el_unknown(kSegment, cat({tr, cluster({ok}),
                                  el_header(kAttachments, uint64_t{4} << 30), frame(100000, 3)}))}),
       CHAIN_OK, 1},
      {"deeply nested block groups", in_cluster(nested), CHAIN_OK, 1},
      {"deeply nested unknown sizes", in_cluster(deep_unknown), CHAIN_ERROR, 1},
      {"zlib-compressed video", file({tracks({zlib}), cluster({ok})}), CHAIN_NOT_SUPPORTED, 0},
      {"encrypted video", file({tracks({crypt}), cluster({ok})}), CHAIN_NOT_SUPPORTED, 0},
      {"unknown document type", file({tr, cluster({ok})}, false, "mka3d"), CHAIN_NOT_SUPPORTED, 0},
      {"a chained live document", cat({file({tr, cluster({ok})}, true), file({tr, cluster({ok})}, true)}),
       CHAIN_OK, 2},
  };
  for (const Case &c : cases) {
    for (size_t slice : {size_t{1}, size_t{8192}}) {
      SCOPED_TRACE(std::string(c.name) + ", slices of " + std::to_string(slice));
      ChainRun r = drive(c.file, slice);
      EXPECT_EQ(r.result, c.result);
      EXPECT_EQ(r.frames.size(), c.frames);
      EXPECT_LE(r.max_held, 8192u + 16u);
    }
  }
}

// The quillar tool tells the code from the track list in the file's head.
TEST(Mkv, ToolFindsTheTrackCodec) {
  const Track wmv2 = {4, 1, "V_MS/VFW/FOURCC", bitmap_info_header("WMV2", {}), 176, 144, {}};
  const Track vc1 = {5, 1, "V_MS/VFW/FOURCC", bitmap_info_header("WVC1", {}), 176, 144, {}};
  const Track rv = {6, 1, "V_REAL/RV40", {}, 176, 144, {}};
  const struct {
    Bytes head;
    uint32_t standard;
    const char *codec;
  } cases[] = {
      {file({el(kSeekHead, frame(30, 1)), tracks({kAudio, kVp8}), cluster({})}, true), 10, "V_VP8"},
      {file({tracks({kAudio, wmv2, vc1})}), 5, "V_MS/VFW/FOURCC"},
      {file({tracks({rv})}), 7, "V_REAL/RV40"},
      {file({tracks({kAudio, wmv2})}), 0, "V_MS/VFW/FOURCC"},
      {file({tracks({kAudio})}), 0, "no video track"},
      {file({el(kVoid, frame(70000, 2)), tracks({kVp8})}), 0, "track list not in the first bytes"},
      {file({cluster({}), tracks({kVp8})}), 0, "track list not in the first bytes"},
  };
  for (const auto &c : cases) {
    char codec[48];
    const size_t n = std::min(c.head.size(), size_t{64} << 10);
    EXPECT_EQ(mkv_track_standard(c.head.data(), n, codec, sizeof codec), c.standard);
    EXPECT_STREQ(codec, c.codec);
  }
}

}  // namespace
