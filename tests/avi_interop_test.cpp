// SPDX-License-Identifier: BSD-2-Clause
// AVI files made by ffmpeg, checked item by item against a RIFF walk written
// here and against ffprobe's packets (joined by file position, since ffprobe
// may split a chunk into several packets or reorder audio packets).
#include <gtest/gtest.h>

#include <cstring>
#include <map>

#include "quillar/gstparser.h"
#include "support/interop.h"

using namespace qtest;

namespace {

struct WalkChunk {
  uint64_t pos;  // of the chunk header, as ffprobe reports it
  uint32_t stream;
  Bytes data;
};

struct Walk {
  uint32_t streams = 0;
  std::vector<WalkChunk> chunks;
};

uint32_t le32_at(const Bytes &f, size_t at) {
  return f[at] | f[at + 1] << 8 | f[at + 2] << 16 | static_cast<uint32_t>(f[at + 3]) << 24;
}

bool is_digit(uint8_t c) { return c >= '0' && c <= '9'; }

// Walks [begin, end) by the chunk sizes: data chunks inside movie lists are
// recorded, stream lists inside the header list are counted.
void walk(const Bytes &f, size_t begin, size_t end, bool in_movi, bool in_hdrl, Walk *w) {
  size_t pos = begin;
  while (pos + 8 <= end) {
    const char *tag = reinterpret_cast<const char *>(&f[pos]);
    const uint64_t size = le32_at(f, pos + 4);
    const size_t payload_end = static_cast<size_t>(std::min<uint64_t>(pos + 8 + size, end));
    if ((!memcmp(tag, "LIST", 4) || !memcmp(tag, "RIFF", 4)) && size >= 4) {
      const std::string type(tag + 8, 4);
      if (in_hdrl && type == "strl") w->streams++;
      walk(f, pos + 12, payload_end, in_movi || type == "movi", type == "hdrl", w);
    } else if (in_movi && is_digit(tag[0]) && is_digit(tag[1])) {
      w->chunks.push_back({pos, static_cast<uint32_t>((tag[0] - '0') * 10 + tag[1] - '0'),
                           Bytes(f.begin() + static_cast<long>(pos + 8), f.begin() + static_cast<long>(payload_end))});
    }
    pos += 8 + size + (size & 1);
  }
}

// Checks the file at the given host capacities. Returns the whole-item run.
HostRun check_file(const std::string &path, std::initializer_list<uint32_t> capacities) {
  const Bytes file = read_bytes(path);
  Walk w;
  walk(file, 0, file.size(), false, false, &w);
  std::vector<const WalkChunk *> expected;
  for (const WalkChunk &c : w.chunks)
    if (!c.data.empty() && c.stream < w.streams) expected.push_back(&c);
  EXPECT_GE(w.streams, 2u) << path;

  HostRun whole;
  for (uint32_t capacity : capacities) {
    HostRun r = run_host(file, 8, capacity);
    EXPECT_EQ(r.end, PARSER_END_OF_STREAM) << path << " capacity " << capacity;
    EXPECT_EQ(r.items.size(), expected.size()) << path << " capacity " << capacity;
    for (size_t i = 0; i < r.items.size() && i < expected.size(); i++) {
      if (r.items[i].data != expected[i]->data) {
        ADD_FAILURE() << path << " capacity " << capacity << ": item " << i << " differs from the chunk at "
                      << expected[i]->pos;
        break;
      }
    }
    whole = std::move(r);
  }

  // ffprobe's packets, each found in the chunk that holds its position;
  // packets of one chunk cover it in order.
  const std::vector<ProbePacket> packets = probe_packets(path, "-fflags +ignidx");
  EXPECT_FALSE(packets.empty()) << path;
  std::map<uint64_t, const WalkChunk *> by_pos;
  for (const WalkChunk &c : w.chunks) by_pos[c.pos] = &c;
  std::map<uint64_t, uint64_t> covered;
  for (const ProbePacket &p : packets) {
    auto it = by_pos.upper_bound(static_cast<uint64_t>(p.pos));
    if (p.pos < 0 || it == by_pos.begin()) {
      ADD_FAILURE() << path << ": ffprobe packet at " << p.pos << " lies in no data chunk";
      continue;
    }
    const WalkChunk &c = *std::prev(it)->second;
    uint64_t &done = covered[c.pos];
    if (done + p.size > c.data.size()) {
      ADD_FAILURE() << path << ": packet at " << p.pos << " runs past its chunk";
      continue;
    }
    const Bytes slice(c.data.begin() + static_cast<long>(done), c.data.begin() + static_cast<long>(done + p.size));
    EXPECT_EQ(md5_hex(slice), p.md5) << path << ": packet at " << p.pos;
    EXPECT_EQ(static_cast<uint32_t>(p.stream_index), c.stream) << path << ": packet at " << p.pos;
    done += p.size;
  }
  for (const WalkChunk *c : expected)
    EXPECT_EQ(covered[c->pos], c->data.size()) << path << ": chunk at " << c->pos << " not covered by ffprobe";
  return whole;
}

size_t largest(const HostRun &r) {
  size_t n = 0;
  for (const Item &i : r.items) n = std::max(n, i.data.size());
  return n;
}
bool has_odd(const HostRun &r) {
  for (const Item &i : r.items)
    if (i.data.size() & 1) return true;
  return false;
}

using AviInterop = MediaTest;

const std::initializer_list<uint32_t> kAllCapacities = {1, 7, 4096, 64u << 20};
const std::initializer_list<uint32_t> kLargeFileCapacities = {7, 4096, 64u << 20};

TEST_F(AviInterop, Mpeg4WithPcm) {
  QTEST_REQUIRE_FFMPEG();
  const std::string f = make("mpeg4_pcm.avi",
                             "-f lavfi -i testsrc=size=128x96:rate=10 -f lavfi -i sine=sample_rate=8000 "
                             "-t 1 -c:v mpeg4 -c:a pcm_s16le");
  check_file(f, kAllCapacities);
}

TEST_F(AviInterop, MjpegWithMp3HasOddChunksAndFramesLargerThanABlock) {
  QTEST_REQUIRE_FFMPEG();
  const std::string f = make("mjpeg_mp3.avi",
                             "-f lavfi -i testsrc=size=320x240:rate=10 -f lavfi -i sine=sample_rate=22050 "
                             "-t 1 -c:v mjpeg -q:v 2 -c:a libmp3lame -b:a 64k");
  HostRun r = check_file(f, kLargeFileCapacities);
  EXPECT_GT(largest(r), 8192u);
  EXPECT_TRUE(has_odd(r));
}

TEST_F(AviInterop, Ffv1WithAc3) {
  QTEST_REQUIRE_FFMPEG();
  const std::string f = make("ffv1_ac3.avi",
                             "-f lavfi -i testsrc2=size=128x96:rate=10 -f lavfi -i sine=sample_rate=48000 "
                             "-t 1 -c:v ffv1 -c:a ac3 -b:a 96k");
  check_file(f, kLargeFileCapacities);
}

TEST_F(AviInterop, RawVideoWithOddSizedPcmChunks) {
  QTEST_REQUIRE_FFMPEG();
  const std::string f = make("raw_u8.avi",
                             "-f lavfi -i testsrc=size=96x64:rate=5 -f lavfi -i sine=sample_rate=11025 "
                             "-t 1 -af asetnsamples=n=1103 -c:v rawvideo -pix_fmt yuv420p -c:a pcm_u8");
  HostRun r = check_file(f, kLargeFileCapacities);
  EXPECT_GT(largest(r), 8192u);
  EXPECT_TRUE(has_odd(r));
}

TEST_F(AviInterop, BundledSample) {
  QTEST_REQUIRE_FFMPEG();
  check_file(std::string(QUILLAR_SOURCE_DIR) + "/samples/testsrc-mpeg4-mp3.avi", kLargeFileCapacities);
}

}  // namespace
