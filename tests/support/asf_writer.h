// SPDX-License-Identifier: BSD-2-Clause
// An in-memory ASF writer for tests: header objects with their sub-objects,
// the data object, and data packets in every layout the format allows
// (error-correction prefix, variable-width fields, explicit and implicit
// padding, single, multiple and compressed payloads).
#pragma once

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "support/writer.h"

namespace qtest {

// Sixteen bytes in file order, from 32 hex digits.
inline Bytes hex_bytes(const char *hex) {
  Bytes out;
  for (const char *p = hex; p[0] && p[1]; p += 2) out.push_back(static_cast<uint8_t>(std::stoul(std::string(p, 2), nullptr, 16)));
  return out;
}

namespace asfguid {
inline const Bytes kHeader = hex_bytes("3026B2758E66CF11A6D900AA0062CE6C");
inline const Bytes kData = hex_bytes("3626B2758E66CF11A6D900AA0062CE6C");
inline const Bytes kFile = hex_bytes("A1DCAB8C47A9CF118EE400C00C205365");
inline const Bytes kStream = hex_bytes("9107DCB7B7A9CF118EE600C00C205365");
inline const Bytes kHeaderExtension = hex_bytes("B503BF5F2EA9CF118EE300C00C205365");
inline const Bytes kExtendedStreamProps = hex_bytes("CBA5E61472C632438399A96952065B5A");
inline const Bytes kPadding = hex_bytes("74D40618DFCA0945A4BA9AABCB96AAE8");
inline const Bytes kSimpleIndex = hex_bytes("90080033B1E5CF1189F400A0C90349CB");
inline const Bytes kDigitalSignature = hex_bytes("FCB3112223BDD211B4B700A0C955FC6E");
inline const Bytes kContentEncryption = hex_bytes("FBB3112223BDD211B4B700A0C955FC6E");
inline const Bytes kVideo = hex_bytes("C0EF19BC4D5BCF11A8FD00805F5C442B");
inline const Bytes kAudio = hex_bytes("409E69F84D5BCF11A8FD00805F5C442B");
inline const Bytes kNoCorrection = hex_bytes("0057FB20555BCF11A8FD00805F5C442B");
}  // namespace asfguid

// An object: GUID, 64-bit size (24 + body unless given), body.
inline Bytes asf_object(const Bytes &guid, const Bytes &body, uint64_t declared_size = 0) {
  Writer w;
  w.bytes(guid).le64(declared_size ? declared_size : 24 + body.size()).bytes(body);
  return w.take();
}

inline Bytes asf_file_properties(uint32_t packet_size, uint32_t flags = 2, uint32_t min_size = 0,
                                 uint64_t packets = 0) {
  Writer w;
  w.fill(16, 0x11).le64(0).le64(0).le64(packets).le64(0).le64(0).le64(0);
  w.le32(flags).le32(min_size ? min_size : packet_size).le32(packet_size).le32(1000000);
  return asf_object(asfguid::kFile, w.take());
}

// A video stream properties object; `header_size` defaults to 40 plus the
// codec-private bytes (the bitmap information header's own size field).
inline Bytes asf_video_stream(uint32_t number, uint32_t width, uint32_t height,
                              const Bytes &codec_private = {}, int64_t header_size = -1) {
  const uint32_t bih = header_size < 0 ? 40 + static_cast<uint32_t>(codec_private.size())
                                       : static_cast<uint32_t>(header_size);
  Writer type_specific;
  type_specific.le32(width).le32(height).u8(2).le16(bih);
  type_specific.le32(bih).le32(width).le32(height).le16(1).le16(24).tag("WMV2").le32(0)
      .le32(0).le32(0).le32(0).le32(0).bytes(codec_private);
  Writer w;
  w.bytes(asfguid::kVideo).bytes(asfguid::kNoCorrection).le64(0)
      .le32(static_cast<uint32_t>(type_specific.size())).le32(0).le16(number).le32(0)
      .bytes(type_specific.data());
  return asf_object(asfguid::kStream, w.take());
}

inline Bytes asf_audio_stream(uint32_t number) {
  Writer wave;
  wave.le16(0x161).le16(2).le32(44100).le32(16000).le16(2048).le16(16).le16(0);
  Writer w;
  w.bytes(asfguid::kAudio).bytes(asfguid::kNoCorrection).le64(0)
      .le32(static_cast<uint32_t>(wave.size())).le32(0).le16(number).le32(0).bytes(wave.data());
  return asf_object(asfguid::kStream, w.take());
}

inline Bytes asf_header_extension(const std::vector<Bytes> &objects, int64_t declared_data = -1) {
  Writer inner;
  for (const Bytes &o : objects) inner.bytes(o);
  Writer w;
  w.fill(16, 0x22).le16(6)
      .le32(declared_data < 0 ? static_cast<uint32_t>(inner.size()) : static_cast<uint32_t>(declared_data))
      .bytes(inner.data());
  return asf_object(asfguid::kHeaderExtension, w.take());
}

inline Bytes asf_padding_object(size_t total_size) {
  return asf_object(asfguid::kPadding, Bytes(total_size - 24, 0));
}

inline Bytes asf_header(const std::vector<Bytes> &objects, int64_t count = -1) {
  Writer w;
  w.le32(count < 0 ? static_cast<uint32_t>(objects.size()) : static_cast<uint32_t>(count)).u8(1).u8(2);
  for (const Bytes &o : objects) w.bytes(o);
  return asf_object(asfguid::kHeader, w.take());
}

inline Bytes asf_data_header(uint64_t total_packets) {
  Writer w;
  w.bytes(asfguid::kData).le64(0).fill(16, 0x11).le64(total_packets).u8(1).u8(1);
  return w.take();
}

// One payload. With replicated data of 8 bytes or more, the first four give
// the media object's size; replicated length 1 marks a compressed payload,
// whose data is a run of (length byte, bytes) sub-payloads.
struct AsfPayload {
  uint32_t stream = 1;
  uint32_t object_number = 0;
  uint32_t offset = 0;       // into the media object (a time for compressed ones)
  uint32_t object_size = 0;  // written when replicated_length >= 8
  uint32_t replicated_length = 8;
  Bytes data;
};

// The layout choices of one packet: widths are the 2-bit length types (0
// absent, 1 byte, 2 u16, 3 u32).
struct AsfLayout {
  bool error_correction = false;
  uint8_t error_correction_flags = 0x82;  // then two bytes
  uint8_t packet_length_type = 0;
  uint8_t sequence_type = 0;
  uint8_t padding_type = 2;
  uint8_t replicated_type = 1;
  uint8_t offset_type = 3;
  uint8_t number_type = 1;
  bool multiple = false;
  uint8_t payload_length_type = 2;
  // The padding is left implicit: the packet length field says how much of
  // the packet is used and the padding field is 0 (or absent).
  bool implicit_padding = false;
};

inline void asf_write_var(Writer &w, uint8_t type, uint32_t v) {
  switch (type & 3) {
    case 0: break;
    case 1: w.u8(v); break;
    case 2: w.le16(v); break;
    default: w.le32(v); break;
  }
}

inline size_t asf_var_width(uint8_t type) { return type == 3 ? 4 : type; }

// The bytes a payload takes (header and data) in a packet of layout `l`.
inline size_t asf_payload_size(const AsfLayout &l, const AsfPayload &p) {
  return 1 + asf_var_width(l.number_type) + asf_var_width(l.offset_type) +
         asf_var_width(l.replicated_type) + p.replicated_length +
         (l.multiple ? asf_var_width(l.payload_length_type) : 0) + p.data.size();
}

inline size_t asf_packet_overhead(const AsfLayout &l) {
  size_t n = (l.error_correction ? 3 : 0) + 2 + asf_var_width(l.packet_length_type) +
             asf_var_width(l.sequence_type) + asf_var_width(l.padding_type) + 6;
  return n + (l.multiple ? 1 : 0);
}

// A packet of exactly `packet_size` bytes (padded with zeros).
inline Bytes asf_packet(uint32_t packet_size, const AsfLayout &l, const std::vector<AsfPayload> &payloads) {
  Writer body;
  if (l.multiple)
    body.u8(static_cast<uint32_t>(payloads.size()) | static_cast<uint32_t>(l.payload_length_type) << 6);
  for (const AsfPayload &p : payloads) {
    body.u8(p.stream);
    asf_write_var(body, l.number_type, p.object_number);
    asf_write_var(body, l.offset_type, p.offset);
    asf_write_var(body, l.replicated_type, p.replicated_length);
    if (p.replicated_length >= 8) {
      body.le32(p.object_size).le32(1000).fill(p.replicated_length - 8, 0x55);
    } else {
      body.fill(p.replicated_length, 0x44);
    }
    if (l.multiple) asf_write_var(body, l.payload_length_type, static_cast<uint32_t>(p.data.size()));
    body.bytes(p.data);
  }
  const size_t used = asf_packet_overhead(l) - (l.multiple ? 1 : 0) + body.size();
  if (used > packet_size) abort();  // the test asked for more than fits
  const uint32_t padding = static_cast<uint32_t>(packet_size - used);
  Writer w;
  if (l.error_correction) w.u8(l.error_correction_flags).u8(0).u8(0);
  w.u8(static_cast<uint32_t>(l.packet_length_type) << 5 | static_cast<uint32_t>(l.padding_type) << 3 |
       static_cast<uint32_t>(l.sequence_type) << 1 | (l.multiple ? 1 : 0));
  w.u8(static_cast<uint32_t>(l.number_type) << 4 | static_cast<uint32_t>(l.offset_type) << 2 | l.replicated_type);
  asf_write_var(w, l.packet_length_type, l.implicit_padding ? static_cast<uint32_t>(used) : packet_size);
  asf_write_var(w, l.sequence_type, 0);
  asf_write_var(w, l.padding_type, l.implicit_padding ? 0 : padding);
  w.le32(0).le16(0);
  w.bytes(body.data());
  w.fill(padding, 0);
  return w.take();
}

// A stream's media objects as the payloads a muxer writes: each object cut
// into fragments of at most `max_fragment` bytes.
struct AsfObject {
  uint32_t stream = 1;
  Bytes data;
};

// Packs objects into packets of `layout`: one payload per packet for single-
// payload layouts, as many as fit for multiple-payload ones.
inline std::vector<Bytes> asf_packetize(const std::vector<AsfObject> &objects, uint32_t packet_size,
                                        const AsfLayout &layout) {
  std::vector<Bytes> packets;
  std::vector<AsfPayload> pending;
  size_t used = asf_packet_overhead(layout);
  auto flush = [&] {
    if (!pending.empty()) packets.push_back(asf_packet(packet_size, layout, pending));
    pending.clear();
    used = asf_packet_overhead(layout);
  };
  uint32_t number[128] = {};
  for (const AsfObject &o : objects) {
    const uint32_t n = number[o.stream]++;
    size_t off = 0;
    do {
      AsfPayload p;
      p.stream = o.stream;
      p.object_number = n;
      p.offset = static_cast<uint32_t>(off);
      p.object_size = static_cast<uint32_t>(o.data.size());
      const size_t head = asf_payload_size(layout, p);
      if (used + head + 1 > packet_size) {
        if (pending.empty()) abort();  // not even one byte fits
        flush();
        continue;
      }
      size_t take = std::min(o.data.size() - off, packet_size - used - head);
      if (layout.multiple && layout.payload_length_type == 1) take = std::min<size_t>(take, 255);
      if (layout.multiple && layout.payload_length_type == 2) take = std::min<size_t>(take, 65535);
      p.data.assign(o.data.begin() + off, o.data.begin() + off + take);
      used += head + take;
      off += take;
      pending.push_back(p);
      if (!layout.multiple) flush();
    } while (off < o.data.size());
  }
  flush();
  return packets;
}

// A whole file: header object, data object header, packets, then `tail`.
struct AsfFile {
  uint32_t packet_size = 256;
  std::vector<Bytes> header_objects;
  std::vector<Bytes> packets;
  Bytes tail;
  int64_t total_packets = -1;  // default: the number of packets
  int64_t header_count = -1;   // sub-objects the header declares; default: as many as it holds

  AsfFile &packets_from(const std::vector<Bytes> &more) {
    packets.insert(packets.end(), more.begin(), more.end());
    return *this;
  }
  Bytes build() const {
    Writer w;
    w.bytes(asf_header(header_objects, header_count));
    w.bytes(asf_data_header(total_packets < 0 ? packets.size() : static_cast<uint64_t>(total_packets)));
    for (const Bytes &p : packets) w.bytes(p);
    w.bytes(tail);
    return w.take();
  }
};

// The usual header: file properties, a header extension holding an extended
// stream properties object, a video stream 1 with codec-private bytes and an
// audio stream 2.
inline std::vector<Bytes> asf_usual_header(uint32_t packet_size, const Bytes &codec_private,
                                           uint32_t flags = 2) {
  return {asf_file_properties(packet_size, flags),
          asf_header_extension({asf_object(asfguid::kExtendedStreamProps, Bytes(64, 0)),
                                asf_padding_object(40)}),
          asf_video_stream(1, 320, 240, codec_private), asf_audio_stream(2)};
}

}  // namespace qtest
