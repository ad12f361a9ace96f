// SPDX-License-Identifier: BSD-2-Clause
// RIFF/AVI files built in memory for tests: chunks and lists, the stream
// records, and a whole-file builder.
#pragma once

#include <initializer_list>
#include <vector>

#include "support/writer.h"

namespace qtest::avi {

// A chunk: tag, size, payload and a pad byte (of value `pad`) when the size
// is odd. `declared` overrides the size field.
inline Bytes chunk(const char *tag, const Bytes &payload, uint8_t pad = 0,
                   int64_t declared = -1) {
  Writer w;
  w.tag(tag).le32(declared < 0 ? static_cast<uint32_t>(payload.size())
                               : static_cast<uint32_t>(declared));
  w.bytes(payload);
  if (payload.size() & 1) w.u8(pad);
  return w.take();
}

// A list: "LIST" (or "RIFF"), size, list type, then the children.
inline Bytes list(const char *type, std::initializer_list<Bytes> children,
                  const char *outer = "LIST", uint8_t pad = 0) {
  Bytes payload(type, type + 4);
  for (const Bytes &c : children) payload.insert(payload.end(), c.begin(), c.end());
  return chunk(outer, payload, pad);
}
inline Bytes list_of(const char *type, const std::vector<Bytes> &children,
                     const char *outer = "LIST") {
  Bytes payload(type, type + 4);
  for (const Bytes &c : children) payload.insert(payload.end(), c.begin(), c.end());
  return chunk(outer, payload);
}

// The main header: `size` bytes (56 is the published record).
inline Bytes avih(uint32_t streams = 1, uint32_t size = 56) {
  Writer w;
  w.le32(66666).le32(0).le32(0).le32(0x10).le32(10).le32(0).le32(streams).le32(0).le32(160)
      .le32(120);
  Bytes b = w.take();
  b.resize(size, 0);
  return chunk("avih", b);
}

struct StreamHeader {
  const char *type = "vids";
  const char *handler = "FMP4";
  uint32_t scale = 1, rate = 15, sample_size = 0;
  uint32_t size = 56;  // payload bytes (48 is the minimum)
};
inline Bytes strh(const StreamHeader &h) {
  Writer w;
  w.tag(h.type).tag(h.handler).le32(0).le32(0).le32(0).le32(h.scale).le32(h.rate).le32(0)
      .le32(100).le32(0).le32(0xFFFFFFFF).le32(h.sample_size);
  Bytes b = w.take();
  b.resize(h.size, 0);
  return chunk("strh", b);
}

// BITMAPINFOHEADER with `extra` codec bytes behind it.
inline Bytes strf_vids(const Bytes &extra = {}, uint32_t declared_size = 40) {
  Writer w;
  w.le32(declared_size).le32(160).le32(120).le16(1).le16(24).tag("FMP4").le32(57600).le32(0)
      .le32(0).le32(0).le32(0).bytes(extra);
  return chunk("strf", w.take());
}

struct AudioFormat {
  uint16_t format = 1, channels = 1;
  uint32_t sample_rate = 11025, avg_bytes_per_sec = 11025;
  uint16_t block_align = 1, bits = 8;
};
inline Bytes strf_auds(const AudioFormat &a, const Bytes &tail = {}) {
  Writer w;
  w.le16(a.format).le16(a.channels).le32(a.sample_rate).le32(a.avg_bytes_per_sec)
      .le16(a.block_align).le16(a.bits).bytes(tail);
  return chunk("strf", w.take());
}

inline Bytes video_strl(std::initializer_list<Bytes> more = {}) {
  std::vector<Bytes> c = {strh({}), strf_vids()};
  c.insert(c.end(), more.begin(), more.end());
  return list_of("strl", c);
}
inline Bytes audio_strl(const AudioFormat &a = {}, StreamHeader h = {"auds", "\1\0\0\0", 1, 11025, 1}) {
  return list("strl", {strh(h), strf_auds(a)});
}

// A whole file: RIFF "AVI " with the header list (avih first, then
// `header`), the chunks before the movie list, the movie list, the chunks
// after it, and further RIFF "AVIX" parts each holding one movie list.
struct File {
  std::vector<Bytes> header;
  std::vector<Bytes> before_movi;
  std::vector<Bytes> movi;
  std::vector<Bytes> after_movi;
  std::vector<std::vector<Bytes>> parts;
  Bytes main_header = avih();
  const char *magic = "RIFF";
  const char *form = "AVI ";

  Bytes build() const {
    std::vector<Bytes> hdrl = {main_header};
    hdrl.insert(hdrl.end(), header.begin(), header.end());
    std::vector<Bytes> top = {list_of("hdrl", hdrl)};
    top.insert(top.end(), before_movi.begin(), before_movi.end());
    top.push_back(list_of("movi", movi));
    top.insert(top.end(), after_movi.begin(), after_movi.end());
    Bytes out = list_of(form, top, magic);
    for (const auto &part : parts) {
      const Bytes riff = list_of("AVIX", {list_of("movi", part)}, "RIFF");
      out.insert(out.end(), riff.begin(), riff.end());
    }
    return out;
  }
};

// One video stream and one 8-bit mono audio stream.
inline File av_file() {
  File f;
  f.header = {video_strl(), audio_strl()};
  return f;
}

}  // namespace qtest::avi
