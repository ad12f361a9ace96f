// SPDX-License-Identifier: BSD-2-Clause
// A small EBML writer for Matroska/WebM test files: elements, track entries,
// blocks with every lacing form, clusters and segments of known or unknown
// size.
#pragma once

#include <initializer_list>
#include <string>
#include <vector>

#include "support/writer.h"

namespace qtest::mkv {

constexpr uint32_t kEbml = 0x1A45DFA3, kSegment = 0x18538067, kInfo = 0x1549A966,
                   kTracks = 0x1654AE6B, kCluster = 0x1F43B675, kCues = 0x1C53BB6B,
                   kTags = 0x1254C367, kAttachments = 0x1941A469, kSeekHead = 0x114D9B74,
                   kChapters = 0x1043A770, kVoid = 0xEC, kCrc32 = 0xBF, kTimestamp = 0xE7,
                   kSimpleBlock = 0xA3, kBlockGroup = 0xA0, kBlock = 0xA1,
                   kBlockDuration = 0x9B, kReferenceBlock = 0xFB, kTrackEntry = 0xAE;

inline Bytes cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes &p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}
inline Bytes cat(const std::vector<Bytes> &parts) {
  Bytes out;
  for (const Bytes &p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// An element ID as its raw bytes (marker kept).
inline Bytes id_bytes(uint32_t id) {
  Bytes b;
  int n = id > 0xFFFFFF ? 4 : id > 0xFFFF ? 3 : id > 0xFF ? 2 : 1;
  for (int i = n - 1; i >= 0; i--) b.push_back(static_cast<uint8_t>(id >> (8 * i)));
  return b;
}

// A VINT of `length` bytes (0: the shortest that holds v without being all ones).
inline Bytes vint(uint64_t v, int length = 0) {
  if (length == 0) {
    length = 1;
    while (length < 8 && v >= (uint64_t{1} << (7 * length)) - 1) length++;
  }
  Bytes b(static_cast<size_t>(length));
  for (int i = length - 1; i >= 0; i--, v >>= 8) b[static_cast<size_t>(i)] = static_cast<uint8_t>(v);
  b[0] = static_cast<uint8_t>(b[0] | (0x80 >> (length - 1)));
  return b;
}

// An unknown size: all data bits set (8 bytes, as live writers use).
inline Bytes unknown_size() { return {0x01, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}; }

inline Bytes el(uint32_t id, const Bytes &data) { return cat({id_bytes(id), vint(data.size()), data}); }
inline Bytes el_unknown(uint32_t id, const Bytes &data) { return cat({id_bytes(id), unknown_size(), data}); }
// An element whose header declares `size` whatever follows.
inline Bytes el_header(uint32_t id, uint64_t size, int length = 0) {
  return cat({id_bytes(id), vint(size, length)});
}
inline Bytes uint_el(uint32_t id, uint64_t v) {
  Bytes b;
  for (int i = 7; i >= 0; i--)
    if (v >> (8 * i) || !b.empty() || i == 0) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
  return el(id, b);
}
inline Bytes str_el(uint32_t id, const std::string &s) { return el(id, Bytes(s.begin(), s.end())); }

inline Bytes ebml_header(const std::string &doctype = "webm") {
  return el(kEbml, cat({uint_el(0x4286, 1), uint_el(0x42F7, 1), uint_el(0x42F2, 4),
                        uint_el(0x42F3, 8), str_el(0x4282, doctype), uint_el(0x4287, 4),
                        uint_el(0x4285, 2)}));
}

struct Track {
  uint64_t number = 1;
  uint64_t type = 1;  // 1 video, 2 audio
  std::string codec = "V_VP8";
  Bytes codec_private;
  uint32_t width = 320, height = 240;
  Bytes encodings;  // a whole ContentEncodings element, or empty
};

inline Bytes track_entry(const Track &t) {
  Bytes body = cat({uint_el(0xD7, t.number), uint_el(0x73C5, t.number + 1000), uint_el(0x83, t.type),
                    str_el(0x86, t.codec)});
  if (!t.codec_private.empty()) body = cat({body, el(0x63A2, t.codec_private)});
  if (t.type == 1) body = cat({body, el(0xE0, cat({uint_el(0xB0, t.width), uint_el(0xBA, t.height)}))});
  if (t.type == 2) body = cat({body, el(0xE1, uint_el(0x9F, 2))});
  return el(kTrackEntry, cat({body, t.encodings}));
}

inline Bytes tracks(const std::vector<Track> &list) {
  std::vector<Bytes> entries;
  for (const Track &t : list) entries.push_back(track_entry(t));
  return el(kTracks, cat(entries));
}

// One ContentEncoding: algo 3 is header stripping of `settings`.
inline Bytes content_encoding(uint64_t algo, const Bytes &settings, uint64_t scope = 1,
                              uint64_t type = 0) {
  Bytes comp = uint_el(0x4254, algo);
  if (!settings.empty()) comp = cat({comp, el(0x4255, settings)});
  Bytes body = cat({uint_el(0x5031, 0), uint_el(0x5032, scope), uint_el(0x5033, type)});
  body = cat({body, type == 0 ? el(0x5034, comp) : el(0x5035, uint_el(0x47E1, 5))});
  return el(0x6D80, el(0x6240, body));
}

enum class Lacing { kNone, kXiph, kFixed, kEbmlSizes };

// The payload of a Block or SimpleBlock: header, lace header, frames.
inline Bytes block_payload(uint64_t track, const std::vector<Bytes> &frames, Lacing lacing,
                           uint8_t flags = 0x80) {
  static constexpr uint8_t kLacingBits[] = {0x00, 0x02, 0x04, 0x06};
  Bytes b = cat({vint(track), {0x00, 0x00}, {static_cast<uint8_t>(flags | kLacingBits[static_cast<int>(lacing)])}});
  if (lacing != Lacing::kNone) {
    b.push_back(static_cast<uint8_t>(frames.size() - 1));
    for (size_t i = 0; i + 1 < frames.size(); i++) {
      const uint64_t size = frames[i].size();
      if (lacing == Lacing::kXiph) {
        for (uint64_t s = size; ; s -= 255) {
          b.push_back(static_cast<uint8_t>(s >= 255 ? 255 : s));
          if (s < 255) break;
        }
      } else if (lacing == Lacing::kEbmlSizes) {
        if (i == 0) {
          b = cat({b, vint(size)});
        } else {
          // A signed difference, biased into a 2-byte VINT.
          const int64_t delta = static_cast<int64_t>(size) - static_cast<int64_t>(frames[i - 1].size());
          b = cat({b, vint(static_cast<uint64_t>(delta + 8191), 2)});
        }
      }
    }
  }
  for (const Bytes &f : frames) b = cat({b, f});
  return b;
}

inline Bytes simple_block(uint64_t track, const Bytes &frame) {
  return el(kSimpleBlock, block_payload(track, {frame}, Lacing::kNone));
}
inline Bytes block_group(uint64_t track, const Bytes &frame) {
  return el(kBlockGroup, cat({el(kBlock, block_payload(track, {frame}, Lacing::kNone, 0)),
                              uint_el(kBlockDuration, 40), el(kReferenceBlock, {0xD8})}));
}

inline Bytes cluster(const std::vector<Bytes> &children, bool unknown = false) {
  const Bytes body = cat({uint_el(kTimestamp, 0), cat(children)});
  return unknown ? el_unknown(kCluster, body) : el(kCluster, body);
}

inline Bytes segment(const std::vector<Bytes> &children, bool unknown = false) {
  const Bytes info = el(kInfo, uint_el(0x2AD7B1, 1000000));
  const Bytes body = cat({info, cat(children)});
  return unknown ? el_unknown(kSegment, body) : el(kSegment, body);
}

// A whole file: EBML header and one Segment.
inline Bytes file(const std::vector<Bytes> &segment_children, bool unknown = false,
                  const std::string &doctype = "webm") {
  return cat({ebml_header(doctype), segment(segment_children, unknown)});
}

}  // namespace qtest::mkv
