// SPDX-License-Identifier: BSD-2-Clause
// The track list: reads every TrackEntry, plays the first video track whose
// codec fits the video standard, and publishes its frame size and its codec
// item the way the other container of the same standard does.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/internal.h"
#include "demux/mkv/mkv_internal.h"

namespace quillar::mkv {

namespace {

// Bytes of CodecPrivate in front of the codec item: a BITMAPINFOHEADER for
// V_MS/VFW/FOURCC, the RealVideo properties header for V_REAL/*.
constexpr size_t kBitmapInfoHeaderSize = 40;
constexpr size_t kBitmapCompressionOffset = 16;
constexpr size_t kRealVideoHeaderSize = 26;

struct TrackEntry {
  uint64_t number = 0;
  uint64_t type = 0;
  uint64_t width = 0;
  uint64_t height = 0;
  ByteReader codec_id{nullptr, 0};
  ByteReader codec_private{nullptr, 0};
  uint32_t encodings = 0;
  bool encrypted = false;
  uint64_t comp_algo = 0;
  uint64_t scope = 1;
  ByteReader comp_settings{nullptr, 0};
};

struct CodecName {
  const char *id;
  Codec codec;
};

constexpr CodecName kCodecs[] = {
    {"V_VP8", Codec::kVp8},        {"V_VP9", Codec::kVp9},        {"V_REAL/RV10", Codec::kRealVideo},
    {"V_REAL/RV20", Codec::kRealVideo}, {"V_REAL/RV30", Codec::kRealVideo},
    {"V_REAL/RV40", Codec::kRealVideo},
};

// Video for Windows codes that carry VC-1 (WMVA: the Advanced profile's
// pre-standard code, as ASF files use it).
constexpr uint32_t kVc1Fourccs[] = {fourcc("WVC1"), fourcc("WMV3"), fourcc("WMVA")};

// CodecID without the NUL padding a string element may carry.
size_t codec_id_length(const TrackEntry &t) {
  size_t n = 0;
  while (n < t.codec_id.size() && t.codec_id.current()[n] != 0) n++;
  return n;
}

bool codec_id_is(const TrackEntry &t, const char *name) {
  const size_t n = strlen(name);
  return codec_id_length(t) == n && memcmp(t.codec_id.current(), name, n) == 0;
}

// CodecPrivate as the codec sees it: a header-stripping encoding with scope
// 2 removed its first bytes.
bool strips_private(const TrackEntry &t) {
  return t.encodings == 1 && t.comp_algo == 3 && (t.scope & 2);
}
size_t private_size(const TrackEntry &t) {
  return (strips_private(t) ? t.comp_settings.size() : 0) + t.codec_private.size();
}
uint8_t private_byte(const TrackEntry &t, size_t i) {
  const size_t prefix = strips_private(t) ? t.comp_settings.size() : 0;
  return i < prefix ? t.comp_settings.current()[i] : t.codec_private.current()[i - prefix];
}
bool private_fourcc(const TrackEntry &t, uint32_t *code) {
  if (private_size(t) < kBitmapCompressionOffset + 4) return false;
  uint8_t b[4];
  for (size_t i = 0; i < 4; i++) b[i] = private_byte(t, kBitmapCompressionOffset + i);
  ByteReader r(b, 4);
  return r.read_le32(code);
}

Codec classify(const TrackEntry &t) {
  for (const CodecName &c : kCodecs)
    if (codec_id_is(t, c.id)) return c.codec;
  if (codec_id_is(t, "V_MS/VFW/FOURCC")) {
    uint32_t code = 0;
    if (private_fourcc(t, &code))
      for (uint32_t v : kVc1Fourccs)
        if (code == v) return Codec::kVc1;
  }
  return Codec::kNone;
}

bool fits(Codec codec, uint32_t standard) {
  switch (codec) {
    case Codec::kVp8:
    case Codec::kVp9: return standard == 0 || standard == 10;
    case Codec::kVc1: return standard == 0 || standard == 5;
    case Codec::kRealVideo: return standard == 0 || standard == 7;
    default: return false;
  }
}

Status read_encoding(ByteReader body, TrackEntry *t) {
  t->encodings++;
  uint32_t id = 0;
  ByteReader child{nullptr, 0};
  Status st;
  uint64_t type = 0;
  while ((st = next_child(body, &id, &child)) == Status::kOk) {
    if (id == kIdContentEncodingScope) {
      if (!read_uint(child, &t->scope)) return Status::kInvalid;
    } else if (id == kIdContentEncodingType) {
      if (!read_uint(child, &type)) return Status::kInvalid;
    } else if (id == kIdContentEncryption) {
      t->encrypted = true;
    } else if (id == kIdContentCompression) {
      ByteReader comp = child;
      ByteReader field{nullptr, 0};
      while ((st = next_child(comp, &id, &field)) == Status::kOk) {
        if (id == kIdContentCompAlgo && !read_uint(field, &t->comp_algo)) return Status::kInvalid;
        if (id == kIdContentCompSettings) t->comp_settings = field;
      }
      if (st != Status::kNeedMoreData) return st;
    }
  }
  if (type == 1) t->encrypted = true;
  return st == Status::kNeedMoreData ? Status::kOk : st;
}

Status read_entry(ByteReader body, TrackEntry *t) {
  uint32_t id = 0;
  ByteReader child{nullptr, 0};
  Status st;
  while ((st = next_child(body, &id, &child)) == Status::kOk) {
    bool ok = true;
    switch (id) {
      case kIdTrackNumber: ok = read_uint(child, &t->number); break;
      case kIdTrackType: ok = read_uint(child, &t->type); break;
      case kIdCodecId: t->codec_id = child; break;
      case kIdCodecPrivate: t->codec_private = child; break;
      case kIdVideo: {
        ByteReader field{nullptr, 0};
        while ((st = next_child(child, &id, &field)) == Status::kOk) {
          if (id == kIdPixelWidth) ok = ok && read_uint(field, &t->width);
          if (id == kIdPixelHeight) ok = ok && read_uint(field, &t->height);
        }
        if (st != Status::kNeedMoreData) return st;
        break;
      }
      case kIdContentEncodings: {
        ByteReader encoding{nullptr, 0};
        while ((st = next_child(child, &id, &encoding)) == Status::kOk)
          if (id == kIdContentEncoding && read_encoding(encoding, t) != Status::kOk)
            return Status::kInvalid;
        if (st != Status::kNeedMoreData) return st;
        break;
      }
      default: break;
    }
    if (!ok) return Status::kInvalid;
  }
  return st == Status::kNeedMoreData ? Status::kOk : st;
}

// Appends `text` (n bytes) to a message, keeping it NUL-terminated.
void append(char *msg, size_t capacity, const char *text, size_t n) {
  size_t used = strlen(msg);
  for (size_t i = 0; i < n && used + 1 < capacity; i++) {
    const char c = text[i];
    msg[used++] = c >= 0x20 && c < 0x7F ? c : '?';
  }
  msg[used] = 0;
}

// Takes the header-stripping bytes and publishes the codec item.
Status play(MkvState *s, const TrackEntry &t, Codec codec) {
  if (t.encrypted) {
    report("the video track is encrypted; encrypted tracks are not supported");
    return Status::kUnsupported;
  }
  if (t.encodings > 1 || (t.encodings == 1 && t.comp_algo != 3)) {
    report("the video track is compressed (zlib, bzlib or lzo); only header stripping is supported");
    return Status::kUnsupported;
  }
  const bool strip_frames = t.encodings == 1 && (t.scope & 1);
  const size_t strip = t.comp_settings.size();
  free(s->strip);  // a retry after running out of memory
  s->strip = nullptr;
  s->strip_size = 0;
  if (strip_frames && strip) {
    s->strip = static_cast<uint8_t *>(malloc(strip));
    if (!s->strip) return Status::kNoMemory;
    memcpy(s->strip, t.comp_settings.current(), strip);
    s->strip_size = static_cast<uint32_t>(strip);
  }
  s->codec = codec;
  s->track_number = t.number;
  ParserOutput *out = s->output;
  out->width = static_cast<uint16_t>(t.width);
  out->height = static_cast<uint16_t>(t.height);

  // The codec item: CodecPrivate (header bytes restored) after its header.
  size_t skip = 0;
  if (codec == Codec::kVc1) skip = kBitmapInfoHeaderSize;
  else if (codec == Codec::kRealVideo) skip = kRealVideoHeaderSize;
  else return Status::kOk;
  const size_t whole = private_size(t);
  if (whole <= skip) return Status::kOk;
  GstBuffer *item = gst_buffer_new_and_alloc(static_cast<uint32_t>(whole - skip));
  if (!item) return Status::kNoMemory;
  for (size_t i = skip; i < whole; i++) item->data[i - skip] = private_byte(t, i);
  gst_buffer_unref(out->codec_data);
  out->codec_data = item;
  return Status::kOk;
}

}  // namespace

void forget_track(MkvState *s) {
  free(s->strip);
  s->strip = nullptr;
  s->strip_size = 0;
  s->codec = Codec::kNone;
  s->track_number = 0;
  s->tracks_seen = false;
}

Status read_tracks(MkvState *s, const uint8_t *data, size_t size) {
  ByteReader tracks(data, size);
  char found[200] = "";
  uint32_t id = 0;
  ByteReader body{nullptr, 0};
  Status st;
  s->tracks_seen = true;
  while ((st = next_child(tracks, &id, &body)) == Status::kOk) {
    if (id != kIdTrackEntry) continue;
    TrackEntry t;
    if (read_entry(body, &t) != Status::kOk) {
      report("a track entry is malformed");
      return Status::kInvalid;
    }
    const Codec codec = classify(t);
    const bool video = t.type == 1 || (t.type == 0 && codec != Codec::kNone);
    if (video && t.number != 0 && fits(codec, s->standard)) return play(s, t, codec);
    if (found[0]) append(found, sizeof found, ", ", 2);
    append(found, sizeof found, reinterpret_cast<const char *>(t.codec_id.current()),
           codec_id_length(t));
    uint32_t code = 0;
    if (codec_id_is(t, "V_MS/VFW/FOURCC") && private_fourcc(t, &code)) {
      const char name[4] = {static_cast<char>(code), static_cast<char>(code >> 8),
                            static_cast<char>(code >> 16), static_cast<char>(code >> 24)};
      append(found, sizeof found, " (", 2);
      append(found, sizeof found, name, 4);
      append(found, sizeof found, ")", 1);
    }
  }
  if (st != Status::kNeedMoreData) {
    report("the track list is malformed");
    return Status::kInvalid;
  }
  char msg[260];
  snprintf(msg, sizeof msg, "no track fits video standard %u; the file has: %s", s->standard,
           found[0] ? found : "no tracks");
  report(msg);
  return Status::kInvalid;
}

}  // namespace quillar::mkv
