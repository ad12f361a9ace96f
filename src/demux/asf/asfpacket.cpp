// SPDX-License-Identifier: BSD-2-Clause
// ASF data packets: the optional error-correction prefix, the payload parsing
// information with its variable-width fields, explicit and implicit padding,
// and single, multiple and compressed payloads. What the payloads carry is
// placed in the stream records by asfobjects.cpp.
#include "demux/asf/asf_internal.h"

namespace quillar::asf {

namespace {

constexpr uint32_t kAllOnes = 0xFFFFFFFFu;
constexpr uint8_t kErrorCorrectionPresent = 0x80;
constexpr uint8_t kMultiplePayloads = 0x01;
constexpr uint32_t kSendTimeAndDuration = 6;
constexpr uint32_t kReplicatedObjectSize = 8;  // object size + presentation time
constexpr uint32_t kCompressedPayload = 1;     // replicated data length

// Reads a field whose width a 2-bit length type selects (absent, 8, 16 or 32
// bits). Returns false, consuming nothing, when the bytes are not there.
bool read_varwidth(ByteReader &r, uint32_t type, uint32_t *value) {
  switch (type & 3) {
    case 0: *value = 0; return true;
    case 1: { uint8_t v = 0; if (!r.read_u8(&v)) return false; *value = v; return true; }
    case 2: { uint16_t v = 0; if (!r.read_le16(&v)) return false; *value = v; return true; }
    default: return r.read_le32(value);
  }
}

// The fields that read as all ones when they are cut off.
uint32_t read_or_all_ones(ByteReader &r, uint32_t type) {
  uint32_t v = 0;
  return read_varwidth(r, type, &v) ? v : kAllOnes;
}

// A compressed payload: a run of sub-payloads, each a length byte and that
// many bytes, each non-empty one a whole media object.
Status take_compressed(AsfStreamRecord *stream, GstBuffer *packet, const AsfMediaObject &header,
                       ByteReader data) {
  while (data.remaining() != 0) {
    uint8_t length = 0;
    ByteReader piece;
    if (!data.read_u8(&length) || !data.sub(length, &piece)) return Status::kInvalid;
    if (length != 0 && !queue_piece(stream, packet, header, piece)) return Status::kNoMemory;
  }
  return Status::kOk;
}

}  // namespace

Status take_payload(AsfDemuxState *state, GstBuffer *packet, ByteReader &r, uint8_t property_flags,
                    int length_type) {
  constexpr Status kBroken = Status::kInvalid;
  uint8_t stream_byte = 0;
  if (!r.read_u8(&stream_byte)) return kBroken;
  Fragment f{};
  f.header.object_number = read_or_all_ones(r, property_flags >> 4);
  f.header.object_offset = read_or_all_ones(r, property_flags >> 2);

  uint32_t replicated_length = 0;
  ByteReader replicated;
  if (!read_varwidth(r, property_flags, &replicated_length) ||
      !r.sub(replicated_length, &replicated) || r.remaining() == 0)
    return kBroken;

  uint32_t length = 0;
  if (length_type < 0) {
    length = static_cast<uint32_t>(r.remaining());
  } else if (!read_varwidth(r, static_cast<uint32_t>(length_type), &length) || !r.has(length)) {
    return kBroken;
  }
  if (!r.sub(length, &f.data)) return kBroken;

  AsfStreamRecord *stream = gst_asf_demux_get_stream(state, stream_byte & 0x7F);
  if (!stream) return Status::kOk;  // audio, or a stream that was never registered
  if (replicated_length == kCompressedPayload)
    return take_compressed(stream, packet, f.header, f.data);
  if (replicated_length > 1 && replicated_length < kReplicatedObjectSize) return kBroken;
  if (replicated_length >= kReplicatedObjectSize && !replicated.read_le32(&f.header.object_size))
    return kBroken;
  if (length == 0) return Status::kOk;
  return take_fragment(stream, packet, f) ? Status::kOk : Status::kNoMemory;
}

Status parse_packet(AsfDemuxState *state, GstBuffer *packet) {
  constexpr Status kShort = Status::kNeedMoreData;
  constexpr Status kBroken = Status::kInvalid;
  if (!state || !packet) return kShort;
  ByteReader r(packet->data, packet->size);
  if (r.remaining() < kMinPacketSize) return kShort;

  uint8_t first = 0;
  if (!r.read_u8(&first)) return kShort;
  if (first & kErrorCorrectionPresent) {
    const uint32_t ec_length = (first & 0x60) ? 2u : (first & 0x0Fu);
    if (packet->size <= ec_length + 9u || !r.skip(ec_length)) return kBroken;
  } else if (!r.seek(0)) {
    return kShort;
  }

  uint8_t length_flags = 0, property_flags = 0;
  if (!r.read_u8(&length_flags) || !r.read_u8(&property_flags)) return kBroken;
  const uint32_t packet_length = read_or_all_ones(r, length_flags >> 5);
  (void)read_or_all_ones(r, length_flags >> 1);  // sequence
  uint32_t padding = 0;
  if (!read_varwidth(r, length_flags >> 3, &padding)) return kBroken;
  if (!r.skip(kSendTimeAndDuration)) return kBroken;

  // The padding at the end of the packet is not read.
  if (padding == kAllOnes || padding > r.remaining() || !r.truncate(r.size() - padding))
    return kShort;
  // A packet shorter than the file's packet size that declares no padding
  // of its own is padded up to it.
  if (padding == 0 && packet_length != 0 && packet_length < state->packet_size) {
    const uint32_t implicit = state->packet_size - packet_length;
    if (implicit > r.remaining() || !r.truncate(r.size() - implicit)) return kShort;
  }

  if (!(length_flags & kMultiplePayloads)) {
    // The one payload of a packet runs to its end: a cut one makes it short.
    const Status p = take_payload(state, packet, r, property_flags, -1);
    return p == kBroken ? kShort : p;
  }

  uint8_t payload_flags = 0;
  if (!r.read_u8(&payload_flags)) return kShort;
  const uint32_t count = payload_flags & 0x3Fu;
  for (uint32_t i = 0; i < count; i++) {
    const Status p = take_payload(state, packet, r, property_flags, payload_flags >> 6);
    if (p != Status::kOk) return p;
  }
  return Status::kOk;
}

}  // namespace quillar::asf

extern "C" {

// A payload lost for lack of memory makes the packet ASF_PACKET_BROKEN:
// what was queued before it stays queued, as for any broken payload.
gint32 gst_asf_demux_parse_packet(AsfDemuxState *state, GstBuffer *packet) {
  switch (quillar::asf::parse_packet(state, packet)) {
    case quillar::Status::kOk:
      return ASF_PACKET_OK;
    case quillar::Status::kNeedMoreData:
      return ASF_PACKET_SHORT;
    default:
      return ASF_PACKET_BROKEN;
  }
}

}  // extern "C"
