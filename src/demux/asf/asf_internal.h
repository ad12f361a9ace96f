// SPDX-License-Identifier: BSD-2-Clause
// Private parts of the ASF demultiplexer. The state record itself is public
// (quillar/asf.h) because the packet parser that works on it is exported.
//
//   gstasfdemux.h   the format's descriptor
//   asfguids.cpp    the GUID tables and their lookups
//   gstasfdemux.cpp the chain's phases, restarts and reset
//   asfheader.cpp   the walk over the header object and its sub-objects
//   asfpacket.cpp   data packets and their payload headers
//   asfobjects.cpp  media-object reassembly and hand-out
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/byte_reader.h"
#include "demux/asf/gstasfdemux.h"
#include "quillar/asf.h"

namespace quillar {

using ::AsfDemuxState;

namespace asf {

constexpr uint32_t kObjectHeaderSize = 24;   // GUID + 64-bit size
constexpr uint32_t kDataObjectHeaderSize = 50;
// A data packet shorter than this can never parse: the smallest packet holds
// the two flag bytes, send time and duration.
constexpr uint32_t kMinPacketSize = 8;

// Reads a GUID as the four little-endian words the tables hold.
[[nodiscard]] bool read_guid(ByteReader &r, AsfGuidValue *guid);
// Identifier and declared size of the object header at the reader's position
// (24 bytes, consumed); false when fewer than 24 bytes remain.
[[nodiscard]] bool read_object_header(ByteReader &r, uint32_t *id, uint64_t *size);

// Walks the header object that starts `data` (`size` bytes: the declared
// header size), registering video streams and publishing their frame size and
// codec-private bytes. Returns kOk, kInvalid for a header that cannot be used
// (including one without a usable packet size), or kNoMemory.
Status walk_header(AsfDemuxState *state, const uint8_t *data, uint32_t size);

// Parses one payload header and its data (see asfpacket.cpp): kOk when its
// data is placed, skipped or dropped as the format says, kInvalid when the
// payload header or data does not fit, kNoMemory when a media object that
// should have been queued was not (the stream is no longer whole, and the
// chain must say so). `length_type` < 0 marks the payload of a
// single-payload packet.
Status take_payload(AsfDemuxState *state, GstBuffer *packet, ByteReader &r,
                    uint8_t property_flags, int length_type);
// gst_asf_demux_parse_packet with its status: kOk (ASF_PACKET_OK),
// kNeedMoreData (ASF_PACKET_SHORT: the packet lacks bytes its fields call
// for), kInvalid or kNoMemory (both ASF_PACKET_BROKEN).
Status parse_packet(AsfDemuxState *state, GstBuffer *packet);

// The media object that a payload carries, or a piece of it.
struct Fragment {
  AsfMediaObject header;  // object_number, object_offset, object_size
  ByteReader data;        // the payload data; offset() is its place in the packet
};

// Places a payload's data in its stream: a first fragment starts a new media
// object, a continuation is written into the newest one. Fragments that do
// not fit are dropped; this never fails the payload. False only when memory
// ran out for a media object that should have been queued.
bool take_fragment(AsfStreamRecord *stream, GstBuffer *packet, const Fragment &f);
// Queues a whole media object (a piece of a compressed payload) whose bytes
// are those of `piece`, a reader over the packet; false when memory runs out.
bool queue_piece(AsfStreamRecord *stream, GstBuffer *packet, const AsfMediaObject &header,
                 const ByteReader &piece);
// Moves every complete media object to the output's frames, stream by stream
// in table order. False when a frame could not be queued (out of memory).
bool hand_out(AsfDemuxState *state);
// Drops a stream's queued objects and frees its array.
void release_stream(AsfStreamRecord *stream);

}  // namespace asf

}  // namespace quillar

// The record layouts callers of the exported packet parser rely on.
static_assert(sizeof(AsfGuidValue) == 16);
static_assert(offsetof(AsfGuidEntry, id) == 0);
static_assert(offsetof(AsfGuidEntry, nick) == 8);
static_assert(offsetof(AsfGuidEntry, guid) == 16);
static_assert(sizeof(AsfGuidEntry) == 32);
static_assert(offsetof(AsfMediaObject, object_number) == 0);
static_assert(offsetof(AsfMediaObject, object_offset) == 4);
static_assert(offsetof(AsfMediaObject, object_size) == 8);
static_assert(offsetof(AsfMediaObject, bytes_filled) == 12);
static_assert(offsetof(AsfMediaObject, buffer) == 16);
static_assert(sizeof(AsfMediaObject) == 24);
static_assert(offsetof(AsfStreamRecord, stream_number) == 0);
static_assert(offsetof(AsfStreamRecord, objects) == 8);
static_assert(sizeof(AsfStreamRecord) == 16);
static_assert(offsetof(AsfDemuxState, output) == 0);
static_assert(offsetof(AsfDemuxState, adapter) == 8);
static_assert(offsetof(AsfDemuxState, phase) == 16);
static_assert(offsetof(AsfDemuxState, total_packets) == 24);
static_assert(offsetof(AsfDemuxState, packet_index) == 32);
static_assert(offsetof(AsfDemuxState, stream_count) == 40);
static_assert(offsetof(AsfDemuxState, streams) == 48);
static_assert(offsetof(AsfDemuxState, packet_size) == 48 + 16 * ASF_MAX_STREAMS);
static_assert(offsetof(AsfDemuxState, broadcast) == 52 + 16 * ASF_MAX_STREAMS);
