// SPDX-License-Identifier: BSD-2-Clause
// Writes the benchmark's large input files with the project's own writers,
// streaming them to disk (no file is ever held whole in memory).
// Usage: make_inputs OUTDIR SIZE_MIB
// Prints one manifest line per file:
//   name standard lavf_mode items bytes lavf_items lavf_bytes
// items/bytes: what libQuillar hands out (codec-data items included);
// lavf_items/lavf_bytes: the packets libavformat should read (lavf_mode
// "all": every packet, "video": video packets only, "skip": libavformat has
// no reader for the format). The library's frame items (codec data left out)
// carry the same bytes as libavformat's packets, so their checksums agree.
#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "support/asf_writer.h"
#include "support/avi_writer.h"
#include "support/flv_writer.h"
#include "support/ivf_writer.h"
#include "support/mkv_writer.h"
#include "support/rcv_writer.h"
#include "support/rm_writer.h"
#include "support/vp6_writer.h"

using qtest::Bytes;
using qtest::Writer;

namespace {

// A fast generator for random payload bytes.
struct Random {
  uint64_t s;
  uint64_t next64() {
    s ^= s << 13;
    s ^= s >> 7;
    s ^= s << 17;
    return s;
  }
  uint32_t next() { return static_cast<uint32_t>(next64() >> 16); }
  uint32_t range(uint32_t lo, uint32_t hi) { return lo + next() % (hi - lo + 1); }
  bool chance(uint32_t percent) { return next() % 100 < percent; }
  Bytes bytes(size_t n) {
    Bytes b(n);
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
      const uint64_t v = next64();
      memcpy(b.data() + i, &v, 8);
    }
    for (; i < n; i++) b[i] = static_cast<uint8_t>(next());
    return b;
  }
};

class Output {
 public:
  explicit Output(const std::string &path) : path_(path), f_(fopen(path.c_str(), "wb")) {
    if (!f_) {
      perror(path.c_str());
      exit(1);
    }
  }
  ~Output() {
    if (fclose(f_) != 0) {
      perror(path_.c_str());
      exit(1);
    }
  }
  void put(const Bytes &b) {
    if (fwrite(b.data(), 1, b.size(), f_) != b.size()) {
      perror(path_.c_str());
      exit(1);
    }
    written_ += b.size();
  }
  uint64_t written() const { return written_; }
  // Rewrites bytes at `at` (sizes and counts known only at the end).
  void patch(uint64_t at, const Bytes &b) {
    fflush(f_);
    fseek(f_, static_cast<long>(at), SEEK_SET);
    fwrite(b.data(), 1, b.size(), f_);
    fseek(f_, 0, SEEK_END);
  }

 private:
  std::string path_;
  FILE *f_;
  uint64_t written_ = 0;
};

struct Counts {
  uint64_t items = 0, bytes = 0, lavf_items = 0, lavf_bytes = 0;
  // A frame both readers hand out.
  void frame(uint64_t n) {
    items++, bytes += n;
    lavf_items++, lavf_bytes += n;
  }
  // The library's codec-data item (libavformat keeps it as extradata).
  void codec(uint64_t n) { items++, bytes += n; }
};

void manifest(const char *name, int standard, const char *mode, const Counts &c) {
  printf("%s %d %s %llu %llu %llu %llu\n", name, standard, mode, (unsigned long long)c.items,
         (unsigned long long)c.bytes, (unsigned long long)c.lavf_items, (unsigned long long)c.lavf_bytes);
}

std::string at(const std::string &dir, const char *name) { return dir + "/" + name; }

void ivf(const std::string &dir, const char *name, uint64_t target, uint32_t lo, uint32_t hi) {
  Output out(at(dir, name));
  out.put(qtest::IvfWriter("VP80").take());
  Random rng{0x9E3779B97F4A7C15ull ^ lo};
  Counts c;
  while (out.written() < target) {
    const Bytes payload = rng.bytes(rng.range(lo, hi));
    out.put(Writer().le32(static_cast<uint32_t>(payload.size())).le64(c.items).bytes(payload).take());
    c.frame(payload.size());
  }
  manifest(name, 10, "all", c);
}

// One FLV tag and the back-pointer after it.
Bytes tag_bytes(uint32_t type, const Bytes &data, uint32_t time) {
  const size_t header = 9 + 4;  // what FlvWriter puts before the first tag
  Bytes b = qtest::FlvWriter().tag({type, data, time}).take();
  return Bytes(b.begin() + header, b.end());
}

// Size-prefixed VP6 frames, about one in twenty a skipped (empty) record.
// libavformat has no reader for this stream.
void vp6(const std::string &dir, const char *name, uint64_t target) {
  Output out(at(dir, name));
  Random rng{0x6A09E667F3BCC909ull};
  Counts c;
  while (out.written() < target) {
    qtest::Vp6Writer w;
    if (rng.chance(5)) {
      w.skipped();
    } else {
      const Bytes payload = rng.bytes(rng.range(2000, 30000));
      w.frame(payload);
      c.frame(payload.size());
    }
    out.put(w.take());
  }
  c.lavf_items = c.lavf_bytes = 0;
  manifest(name, 9, "skip", c);
}

// RCV: the 36-byte header (its 4 configuration bytes are the codec-data
// item), then frames of 1-40 KB, one in ten a key frame.
// FLV: VP6 frame tags 40 ms apart, a PCM audio tag after every second one,
// about one in twenty a tag without frame data (a skipped frame, which
// libavformat drops), and onMetaData first.
void flv(const std::string &dir, const char *name, uint64_t target) {
  Output out(at(dir, name));
  Random rng{0x3C6EF372FE94F82Bull};
  Counts c;
  qtest::FlvWriter head;
  out.put(head.script(qtest::flv_metadata(0, 640, 480, 4)).take());
  for (uint32_t n = 0; out.written() < target; n++) {
    qtest::Writer w;
    const uint32_t time = n * 40;
    if (rng.chance(5)) {
      w.bytes(tag_bytes(9, qtest::flv_vp6({}), time));
    } else {
      const Bytes frame = rng.bytes(rng.range(2000, 30000));
      w.bytes(tag_bytes(9, qtest::flv_vp6(frame, n % 50 == 0 ? 1 : 2), time));
      c.frame(frame.size());
    }
    if (n % 2) w.bytes(tag_bytes(8, qtest::flv_audio(rng.bytes(rng.range(400, 1500))), time));
    out.put(w.take());
  }
  manifest(name, 9, "video", c);
}

void rcv(const std::string &dir, const char *name, uint64_t target) {
  Output out(at(dir, name));
  qtest::RcvHeader header;
  header.frames = 0xFFFFFF;
  out.put(qtest::RcvWriter(header).take());
  Counts c;
  c.codec(header.config.size());
  Random rng{0xBB67AE8584CAA73Bull};
  while (out.written() < target) {
    const Bytes payload = rng.bytes(rng.range(1000, 40000));
    // A frame record: 24-bit size, flags (0x80 on key frames), time stamp.
    out.put(Writer()
                .le24(static_cast<uint32_t>(payload.size()))
                .u8(c.lavf_items % 10 == 0 ? 0x80 : 0)
                .le32(static_cast<uint32_t>(c.lavf_items * 40))
                .bytes(payload)
                .take());
    c.frame(payload.size());
  }
  // The real frame count, now known.
  out.patch(0, Writer().le24(static_cast<uint32_t>(std::min<uint64_t>(c.lavf_items, 0xFFFFFF))).take());
  manifest(name, 5, "all", c);
}

// AVI: one video and one 8-bit mono audio stream, video chunks of 2-40 KB
// and audio chunks of 200-1500 bytes, odd sizes padded; no index.
void avi(const std::string &dir, const char *name, uint64_t target) {
  namespace avi = qtest::avi;
  Output out(at(dir, name));
  const Bytes hdrl = avi::list_of("hdrl", {avi::avih(2), avi::video_strl(), avi::audio_strl()});
  Writer head;
  head.tag("RIFF").le32(0).tag("AVI ").bytes(hdrl).tag("LIST").le32(0).tag("movi");
  const uint64_t movi_size_at = 4 + 4 + 4 + hdrl.size() + 4;
  out.put(head.take());
  Random rng{0x3C6EF372FE94F82Bull};
  Counts c;
  while (out.written() < target) {
    const bool video = !rng.chance(40);
    const Bytes payload = rng.bytes(video ? rng.range(2000, 40000) : rng.range(200, 1500));
    out.put(avi::chunk(video ? "00dc" : "01wb", payload));
    c.frame(payload.size());
  }
  const uint64_t end = out.written();
  out.patch(4, Writer().le32(static_cast<uint32_t>(end - 8)).take());
  out.patch(movi_size_at, Writer().le32(static_cast<uint32_t>(end - movi_size_at - 4)).take());
  manifest(name, 8, "all", c);
}

// ASF packets of a fixed size; each packet is written with either the
// single-payload or the multiple-payload layout, so media objects are cut
// over packets in both. Object numbers run on across the whole file.
class AsfPacker {
 public:
  AsfPacker(Output &out, uint32_t packet_size, Random &rng) : out_(out), packet_size_(packet_size), rng_(rng) {
    next_layout();
  }
  uint64_t packets() const { return packets_; }

  void object(uint32_t stream, const Bytes &data) {
    const uint32_t number = number_[stream]++;
    size_t off = 0;
    do {
      qtest::AsfPayload p;
      p.stream = stream;
      p.object_number = number & 0xFF;
      p.offset = static_cast<uint32_t>(off);
      p.object_size = static_cast<uint32_t>(data.size());
      const size_t head = qtest::asf_payload_size(layout_, p);
      if (used_ + head + 1 > packet_size_) {
        flush();
        continue;
      }
      size_t take = std::min(data.size() - off, packet_size_ - used_ - head);
      p.data.assign(data.begin() + static_cast<std::ptrdiff_t>(off), data.begin() + static_cast<std::ptrdiff_t>(off + take));
      used_ += head + take;
      off += take;
      pending_.push_back(std::move(p));
      if (!layout_.multiple) flush();
    } while (off < data.size());
  }
  void flush() {
    if (!pending_.empty()) {
      out_.put(qtest::asf_packet(packet_size_, layout_, pending_));
      packets_++;
    }
    pending_.clear();
    next_layout();
  }

 private:
  void next_layout() {
    layout_ = qtest::AsfLayout();
    layout_.multiple = rng_.chance(50);
    used_ = qtest::asf_packet_overhead(layout_);
  }
  Output &out_;
  uint32_t packet_size_;
  Random &rng_;
  qtest::AsfLayout layout_;
  std::vector<qtest::AsfPayload> pending_;
  size_t used_ = 0;
  uint32_t number_[128] = {};
  uint64_t packets_ = 0;
};

// ASF: video stream 1 (with 4 codec-private bytes, the codec-data item) and
// audio stream 2; video objects of 1-30 KB, an audio object of 300-900 bytes
// after each. The library hands out video only.
void asf(const std::string &dir, const char *name, uint64_t target) {
  constexpr uint32_t kPacketSize = 4000;
  const Bytes codec_private = {0x4E, 0xF9, 0x28, 0x01};
  Output out(at(dir, name));
  out.put(qtest::asf_header(qtest::asf_usual_header(kPacketSize, codec_private)));
  const uint64_t data_at = out.written();
  out.put(qtest::asf_data_header(0));
  Counts c;
  c.codec(codec_private.size());
  Random rng{0xA54FF53A5F1D36F1ull};
  AsfPacker packer(out, kPacketSize, rng);
  while (out.written() < target) {
    const Bytes video = rng.bytes(rng.range(1000, 30000));
    packer.object(1, video);
    c.frame(video.size());
    packer.object(2, rng.bytes(rng.range(300, 900)));
  }
  packer.flush();
  // The data object's size and packet count, now known.
  out.patch(data_at + 16, Writer().le64(out.written() - data_at).take());
  out.patch(data_at + 40, Writer().le64(packer.packets()).take());
  manifest(name, 5, "video", c);
}

// RealMedia: one RealVideo stream whose frames (3-40 KB) are each split into
// pieces of 1-4 KB, one packet per piece. The library hands out each frame
// behind its piece table; so does libavformat when the class byte's low bits
// leave room for the pieces (2n + 1 slices), which they do here.
void rm(const std::string &dir, const char *name, uint64_t target) {
  const Bytes codec_private = {0x10, 0x00, 0x00, 0x00, 0x20, 0x00, 0x00, 0x00};
  Output out(at(dir, name));
  out.put(qtest::RmWriter().file_header(3).properties().video_stream(0, 320, 240, codec_private).take());
  const uint64_t data_at = out.written();
  out.put(Writer().tag("DATA").be32(0).be16(0).be32(0).be32(0).take());
  Counts c;
  c.codec(codec_private.size());
  Random rng{0x510E527FADE682D1ull};
  uint64_t packets = 0;
  uint8_t sequence = 0;
  uint32_t timestamp = 0;
  while (out.written() < target) {
    const Bytes frame = rng.bytes(rng.range(3000, 40000));
    const size_t piece_size = rng.range(1000, 4000);
    const size_t count = (frame.size() + piece_size - 1) / piece_size;
    const auto h_low = static_cast<uint8_t>(count / 2);
    const auto length = static_cast<uint32_t>(frame.size());
    sequence++;
    std::vector<Bytes> pieces;
    for (size_t i = 0; i < count; i++) {
      const size_t from = i * piece_size, n = std::min(piece_size, frame.size() - from);
      pieces.emplace_back(frame.begin() + static_cast<std::ptrdiff_t>(from), frame.begin() + static_cast<std::ptrdiff_t>(from + n));
      const auto sub = static_cast<uint8_t>(i + 1);
      qtest::RmPacket p = qtest::rm_packet(
          0, i + 1 == count ? qtest::rv_last(sub, length, pieces.back(), sequence, h_low)
                            : qtest::rv_part(sub, length, static_cast<uint32_t>(from), pieces.back(), sequence, h_low));
      p.timestamp = timestamp;
      p.flags = i == 0 && c.lavf_items % 10 == 0 ? 2 : 0;
      out.put(qtest::rm_packet_bytes(p));
      packets++;
    }
    timestamp += 40;
    c.frame(qtest::rv_frame(pieces).size());
  }
  // The DATA chunk's size and packet count, now known.
  out.patch(data_at + 4, Writer().be32(static_cast<uint32_t>(out.written() - data_at)).take());
  out.patch(data_at + 10, Writer().be32(static_cast<uint32_t>(packets)).take());
  manifest(name, 7, "video", c);
}

// WebM as a live writer streams it: an unknown-size Segment, VP8 video and
// Opus audio in clusters of about one second, video frames of 2-60 KB (one
// in ten in a BlockGroup), audio blocks of 150-400 bytes, one in four a
// Xiph lace of three frames.
void webm(const std::string &dir, const char *name, uint64_t target) {
  namespace m = qtest::mkv;
  Output out(at(dir, name));
  const Bytes opus_head = Writer().tag("Opus").tag("Head").u8(1).u8(2).le16(312).le32(48000).le16(0).u8(0).take();
  const m::Track video = {1, 1, "V_VP8", {}, 640, 360, {}};
  const m::Track audio = {2, 2, "A_OPUS", opus_head, 0, 0, {}};
  out.put(m::cat({m::ebml_header(), m::id_bytes(m::kSegment), m::unknown_size(),
                  m::el(m::kInfo, m::cat({m::uint_el(0x2AD7B1, 1000000), m::str_el(0x4D80, "quillar-bench")})),
                  m::tracks({video, audio})}));
  Random rng{0x3C6EF372FE94F82Bull};
  Counts c;
  uint64_t time_ms = 0;
  while (out.written() < target) {
    std::vector<Bytes> blocks = {m::uint_el(m::kTimestamp, time_ms)};
    for (uint32_t i = 0; i < 25; i++) {
      const Bytes frame = rng.bytes(rng.range(2000, 60000));
      const bool group = i % 10 == 5;
      const auto key = static_cast<uint8_t>(!group && i == 0 ? 0x80 : 0);
      Bytes block = {0x81, static_cast<uint8_t>(i * 40 >> 8), static_cast<uint8_t>(i * 40), key};
      block.insert(block.end(), frame.begin(), frame.end());
      blocks.push_back(group ? m::el(m::kBlockGroup, m::el(m::kBlock, block)) : m::el(m::kSimpleBlock, block));
      c.frame(frame.size());
      std::vector<Bytes> sound = {rng.bytes(rng.range(150, 400))};
      if (rng.chance(25)) sound = {rng.bytes(rng.range(150, 400)), rng.bytes(rng.range(150, 400)), sound[0]};
      blocks.push_back(m::el(m::kSimpleBlock, m::block_payload(2, sound, sound.size() > 1 ? m::Lacing::kXiph
                                                                                          : m::Lacing::kNone)));
    }
    out.put(m::el(m::kCluster, m::cat(blocks)));
    time_ms += 1000;
  }
  manifest(name, 10, "video", c);
}

}  // namespace

int main(int argc, char **argv) {
  if (argc < 3) {
    fprintf(stderr, "usage: %s OUTDIR SIZE_MIB\n", argv[0]);
    return 2;
  }
  const std::string dir = argv[1];
  const uint64_t target = strtoull(argv[2], nullptr, 10) << 20;
  ivf(dir, "ivf-small.ivf", target, 1000, 2000);
  ivf(dir, "ivf-large.ivf", target, 45000, 75000);
  vp6(dir, "vp6.vp6", target);
  flv(dir, "flv.flv", target);
  rcv(dir, "rcv.rcv", target);
  avi(dir, "avi.avi", target);
  asf(dir, "asf.asf", target);
  rm(dir, "rm.rm", target);
  webm(dir, "webm.webm", target);
  return 0;
}
