// SPDX-License-Identifier: BSD-2-Clause
// Building RealMedia files in memory, and taking real ones apart again so
// that their RealVideo frames can be packetised differently.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "support/writer.h"

namespace qtest {

// Fragment classes of a RealVideo packet body.
enum : uint8_t { kRvPart = 0x00, kRvWhole = 0x40, kRvLast = 0x80, kRvPacked = 0xC0 };

// Frame lengths and piece offsets: 14 bits in two bytes (top bit 0, next 1)
// when they fit, else 30 bits in four.
inline void rv_number(Writer &w, uint32_t v) {
  if (v < 0x4000) w.be16(0x4000 | v);
  else w.be32(v);
}

// A whole frame alone in its packet (class 0x40).
inline Bytes rv_whole(const Bytes &frame) {
  return Writer().u8(kRvWhole).u8(0).bytes(frame).take();
}
// One of several whole frames in a packet (class 0xC0).
inline Bytes rv_packed(const Bytes &frame, uint8_t sequence = 0) {
  Writer w;
  w.u8(kRvPacked);
  rv_number(w, static_cast<uint32_t>(frame.size()));
  rv_number(w, 0);
  return w.u8(sequence).bytes(frame).take();
}
// A part of a frame of `frame_length` bytes (class 0x00): `subsequence`
// counts from 1; `offset` is where the piece lies in the frame. `h_low` is
// the low six bits of the class byte (FFmpeg reads the slice count there).
inline Bytes rv_part(uint8_t subsequence, uint32_t frame_length, uint32_t offset,
                     const Bytes &piece, uint8_t sequence = 0, uint8_t h_low = 0) {
  Writer w;
  w.u8(kRvPart | h_low).u8(0x80 | subsequence);
  rv_number(w, frame_length);
  rv_number(w, offset);
  return w.u8(sequence).bytes(piece).take();
}
// The last part of a frame (class 0x80): its offset field is the piece size.
inline Bytes rv_last(uint8_t subsequence, uint32_t frame_length, const Bytes &piece,
                     uint8_t sequence = 0, uint8_t h_low = 0) {
  Writer w;
  w.u8(kRvLast | h_low).u8(0x80 | subsequence);
  rv_number(w, frame_length);
  rv_number(w, static_cast<uint32_t>(piece.size()));
  return w.u8(sequence).bytes(piece).take();
}

// The item the demultiplexer hands out for a frame that arrived in these
// pieces: piece count - 1, then (1, offset) per piece in 32-bit
// little-endian, then the bytes.
inline Bytes rv_frame(const std::vector<Bytes> &pieces) {
  Writer w;
  w.u8(static_cast<uint32_t>(pieces.size() - 1));
  uint32_t offset = 0;
  for (const Bytes &p : pieces) {
    w.le32(1).le32(offset);
    offset += static_cast<uint32_t>(p.size());
  }
  for (const Bytes &p : pieces) w.bytes(p);
  return w.take();
}

struct RmPacket {
  uint16_t version = 0;
  uint16_t stream = 0;
  uint32_t timestamp = 0;
  uint8_t group = 0;
  uint8_t flags = 0;
  Bytes body;
};

inline Bytes rm_packet_bytes(const RmPacket &p) {
  Writer w;
  const uint32_t header = p.version == 1 ? 13 : 12;
  w.be16(p.version).be16(header + static_cast<uint32_t>(p.body.size())).be16(p.stream);
  w.be32(p.timestamp).u8(p.group).u8(p.flags);
  if (p.version == 1) w.u8(0);
  return w.bytes(p.body).take();
}

inline RmPacket rm_packet(uint16_t stream, const Bytes &body, uint16_t version = 0) {
  RmPacket p;
  p.stream = stream;
  p.body = body;
  p.version = version;
  return p;
}

// Chunks of a RealMedia file, written in order.
class RmWriter {
 public:
  // Any chunk: tag, then the size counting the 10 header bytes (or `size`
  // when given), version 0, body.
  RmWriter &chunk(const char *tag, const Bytes &body, int64_t size = -1) {
    w_.tag(tag).be32(size >= 0 ? static_cast<uint32_t>(size) : 10 + static_cast<uint32_t>(body.size()));
    w_.be16(0).bytes(body);
    return *this;
  }
  RmWriter &file_header(uint32_t headers = 4) {
    return chunk(".RMF", Writer().be32(0).be32(headers).take());
  }
  RmWriter &properties() { return chunk("PROP", Writer().fill(40, 0).take()); }
  RmWriter &content(const std::string &title) {
    Writer w;
    w.be16(static_cast<uint32_t>(title.size())).raw(title.data(), title.size());
    return chunk("CONT", w.be16(0).be16(0).be16(0).take());
  }
  // An MDPR body: stream number, 28 bytes of rates and times, name, MIME
  // type, type-specific length and data.
  static Bytes mdpr_body(uint16_t id, const std::string &mime, const Bytes &type_specific,
                         const std::string &name = "Stream") {
    Writer w;
    w.be16(id).fill(28, 0x11);
    w.u8(static_cast<uint32_t>(name.size())).raw(name.data(), name.size());
    w.u8(static_cast<uint32_t>(mime.size())).raw(mime.data(), mime.size());
    return w.be32(static_cast<uint32_t>(type_specific.size())).bytes(type_specific).take();
  }
  // The RealVideo header: size, "VIDO", codec, width, height, 10 more
  // bytes, then the codec-private data.
  static Bytes video_header(uint16_t width, uint16_t height, const Bytes &codec_private,
                            const char *codec = "RV20") {
    Writer w;
    w.be32(26 + static_cast<uint32_t>(codec_private.size())).tag("VIDO").tag(codec);
    w.be16(width).be16(height).be16(12).be32(0).be32(15 << 16);
    return w.bytes(codec_private).take();
  }
  RmWriter &video_stream(uint16_t id, uint16_t width, uint16_t height, const Bytes &codec_private,
                         const std::string &mime = "video/x-pn-realvideo") {
    return chunk("MDPR", mdpr_body(id, mime, video_header(width, height, codec_private)));
  }
  RmWriter &audio_stream(uint16_t id) {
    Bytes ra = Writer().raw(".ra\xfd", 4).be16(4).fill(60, 0x22).take();
    return chunk("MDPR", mdpr_body(id, "audio/x-pn-realaudio", ra, "Audio"));
  }
  // A DATA chunk: packet count (`count`, or the number given), next-DATA
  // position, packets.
  RmWriter &data(const std::vector<RmPacket> &packets, uint32_t next_data = 0,
                 int64_t count = -1) {
    Writer w;
    w.be32(count >= 0 ? static_cast<uint32_t>(count) : static_cast<uint32_t>(packets.size()));
    w.be32(next_data);
    for (const RmPacket &p : packets) w.bytes(rm_packet_bytes(p));
    return chunk("DATA", w.take());
  }
  // An INDX chunk with n records of 14 bytes.
  RmWriter &index(uint16_t stream, uint32_t n) {
    Writer w;
    w.be32(n).be16(stream).be32(0);
    for (uint32_t i = 0; i < n; i++) w.be16(0).be32(i * 100).be32(i * 1000).be32(i);
    return chunk("INDX", w.take());
  }
  RmWriter &raw(const Bytes &b) {
    w_.bytes(b);
    return *this;
  }
  size_t size() const { return w_.size(); }
  Bytes take() { return w_.take(); }

 private:
  Writer w_;
};

// A real file taken apart: the chunks before the first DATA chunk, its
// packets, and the video frames FFmpeg wrote one per packet (class 0x80,
// subsequence 1, the whole frame in one piece).
struct RmParsed {
  Bytes headers;
  std::vector<RmPacket> packets;
};

inline uint32_t rm_be(const Bytes &b, size_t at, int n) {
  uint32_t v = 0;
  for (int i = 0; i < n; i++) v = v << 8 | b.at(at + i);
  return v;
}

// Splits a file into the headers before DATA and the packets of the first
// DATA chunk. Whatever follows the packets (INDX) is dropped.
inline RmParsed rm_parse(const Bytes &file) {
  RmParsed out;
  size_t pos = 0;
  while (pos + 10 <= file.size()) {
    const std::string tag(file.begin() + pos, file.begin() + pos + 4);
    const uint32_t size = rm_be(file, pos + 4, 4);
    if (tag == "DATA") break;
    pos += size;
  }
  out.headers.assign(file.begin(), file.begin() + pos);
  const uint32_t count = rm_be(file, pos + 10, 4);
  pos += 18;
  for (uint32_t i = 0; i < count; i++) {
    RmPacket p;
    p.version = static_cast<uint16_t>(rm_be(file, pos, 2));
    const uint32_t length = rm_be(file, pos + 2, 2);
    p.stream = static_cast<uint16_t>(rm_be(file, pos + 4, 2));
    p.timestamp = rm_be(file, pos + 6, 4);
    p.group = file.at(pos + 10);
    p.flags = file.at(pos + 11);
    const size_t header = p.version == 1 ? 13 : 12;
    p.body.assign(file.begin() + pos + header, file.begin() + pos + length);
    out.packets.push_back(p);
    pos += length;
  }
  return out;
}

// The frame inside a packet FFmpeg wrote: one class-0x80 fragment with
// subsequence 1 that holds the whole frame.
inline Bytes rm_single_fragment_frame(const Bytes &body) {
  size_t pos = 2;  // class byte, subsequence byte
  for (int field = 0; field < 2; field++) pos += (rm_be(body, pos, 2) & 0xC000) ? 2 : 4;
  pos += 1;  // sequence byte
  return Bytes(body.begin() + pos, body.end());
}

}  // namespace qtest
