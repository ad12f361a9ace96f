// SPDX-License-Identifier: BSD-2-Clause
// Records gathered as they are read: with the front end's block source bound,
// a format that waits for a frame longer than what has arrived has the rest
// read into one allocation, and hands the frame out as a sub-buffer of it
// instead of copying it together. The frames and their bytes are the same.
#include <gtest/gtest.h>

#include <algorithm>


#include "demux/avi/gstavidemux.h"
#include "demux/flv/flvdemux.h"
#include "demux/mkv/mkv_internal.h"
#include "parsers/ivf/gstivfparse.h"
#include "parsers/rcv/rcvparse.h"
#include "parsers/vp6/vp6parse.h"
#include "support/avi_writer.h"
#include "support/chain_driver.h"
#include "support/flv_writer.h"
#include "support/ivf_writer.h"
#include "support/mkv_writer.h"
#include "support/rcv_writer.h"
#include "support/vp6_writer.h"

using namespace qtest;
using quillar::BlockSource;

namespace {

// Cuts blocks as the front end does: 8 KiB spans of the source's parent, a
// new 32 KiB parent when it has no room. Keeps every parent it cut from (so
// that no other buffer can take one's address), to tell a frame that lies
// in read blocks from one copied together.
struct Cutter {
  BlockSource source{};
  std::vector<GstBuffer *> parents;

  ~Cutter() {
    for (GstBuffer *p : parents) gst_buffer_unref(p);
    gst_buffer_unref(source.parent);
  }
  GstBuffer *cut(const Bytes &file, size_t *at) {
    if (!source.parent || source.parent->size - source.used < quillar::kReadBlockSize) {
      gst_buffer_unref(source.parent);
      source.parent = gst_buffer_new_and_alloc(quillar::kReadParentSize);
      source.used = 0;
    }
    if (parents.empty() || parents.back() != source.parent) parents.push_back(gst_buffer_ref(source.parent));
    GstBuffer *block = gst_buffer_create_sub(source.parent, source.used, quillar::kReadBlockSize);
    source.used += quillar::kReadBlockSize;
    block->size = static_cast<uint32_t>(std::min<size_t>(block->size, file.size() - *at));
    memcpy(block->data, file.data() + *at, block->size);
    *at += block->size;
    return block;
  }
  bool read_in_place(const GstBuffer *frame) const {
    return std::find(parents.begin(), parents.end(), frame->parent) != parents.end();
  }
};

struct Gathered {
  std::vector<Bytes> frames;
  std::vector<bool> copied;  // per frame: assembled in memory of its own

  // Whether exactly the frames of a size that is gathered were.
  bool gathered_as_expected() const {
    for (size_t i = 0; i < frames.size(); i++) {
      const bool gathered = frames[i].size() >= quillar::kMinAwaitedRecord &&
                            frames[i].size() <= quillar::kMaxAwaitedRecord;
      if (gathered && copied[i]) return false;
      if (frames[i].size() > quillar::kMaxAwaitedRecord && !copied[i]) return false;
    }
    return true;
  }
};

// Feeds `file` block by block through a format with a bound block source.
// kCode: the video standard, for a format that chooses its track by it.
template <typename State, const quillar::FormatDescriptor &kFormat, uint32_t kCode = 0>
Gathered gather(const Bytes &file) {
  Cutter cutter;
  ChainDriver<State, kFormat> d;
  kFormat.bind_blocks(&d.state, &cutter.source);
  if constexpr (kCode != 0) kFormat.bind_standard(&d.state, kCode);
  Gathered run;
  auto collect = [&] {
    for (GSList *l = d.out.frames; l; l = l->next)
      run.copied.push_back(!cutter.read_in_place(static_cast<GstBuffer *>(l->data)));
    for (Bytes &f : d.take_frames()) run.frames.push_back(std::move(f));
  };
  for (size_t at = 0; at < file.size();) {
    EXPECT_EQ(d.chain(&d.out, cutter.cut(file, &at)), CHAIN_OK);
    do collect(); while (d.drain() == CHAIN_OK && d.out.frames);
  }
  collect();
  return run;
}

// Frame sizes around the block and parent sizes and the limits of what is
// gathered (kept clear of them by more than a frame header): a frame of 16
// KiB to 16 MiB is a span of one allocation; one past 16 MiB is joined by a
// copy, as without a source (and so may be a short one that crosses from
// one parent into the next).
TEST(BlockSource, IvfFramesOfEverySizeAreSpansOfOneAllocation) {
  const size_t sizes[] = {1, 100, 8193, 16000, 16448, 24000, 32768, 32769, 60000, 200000, (16u << 20) + 1, 700, (16u << 20) - 64};
  IvfWriter w;
  std::vector<Bytes> frames;
  for (int round = 0; round < 3; round++) {
    for (size_t size : sizes) {
      if (round > 0 && size > (16u << 20) - 100) continue;
      frames.push_back(pattern(size + round * 13, static_cast<uint32_t>(frames.size())));
      w.frame(frames.back());
    }
  }
  const Gathered run = gather<quillar::IvfParseState, quillar::kIvfFormat>(w.take());
  EXPECT_EQ(run.frames, frames);
  EXPECT_TRUE(run.gathered_as_expected());
}

// Every other format that waits for whole frames gathers them the same way.
TEST(BlockSource, EveryFramerAndDemultiplexerGathersItsFrames) {
  std::vector<Bytes> frames;
  for (uint32_t i = 0; i < 12; i++) frames.push_back(pattern(16384 + i * 7919 % 50000, i));
  struct Case {
    const char *name;
    Bytes file;
    Gathered (*run)(const Bytes &);
  };
  RcvWriter rcv{RcvHeader{}};
  Vp6Writer vp6;
  FlvWriter flv;
  avi::File avi_file = avi::av_file();
  std::vector<Bytes> clusters;
  for (const Bytes &f : frames) {
    rcv.frame(f);
    vp6.frame(f);
    flv.video(flv_vp6(f));
    avi_file.movi.push_back(avi::chunk("00dc", f));
    clusters.push_back(mkv::cluster({mkv::simple_block(1, f)}));
  }
  const mkv::Track vp8 = {1, 1, "V_VP8", {}, 640, 360, {}};
  clusters.insert(clusters.begin(), mkv::tracks({vp8}));
  const Case cases[] = {
      {"RCV", rcv.take(), gather<quillar::RcvParseState, quillar::kRcvFormat>},
      {"VP6", vp6.take(), gather<quillar::Vp6ParseState, quillar::kVp6Format>},
      {"FLV", flv.take(), gather<quillar::flv::FlvDemuxState, quillar::kFlvFormat>},
      {"AVI", avi_file.build(), gather<quillar::AviDemuxState, quillar::kAviFormat>},
      {"Matroska", mkv::file(clusters), gather<quillar::mkv::MkvState, quillar::kMatroskaFormat, 10>},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    const Gathered run = c.run(c.file);
    EXPECT_EQ(run.frames, frames);
    EXPECT_TRUE(run.gathered_as_expected());
  }
}

}  // namespace
