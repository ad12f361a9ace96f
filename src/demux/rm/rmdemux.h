// SPDX-License-Identifier: BSD-2-Clause
// Private state of the RealMedia demultiplexer and its descriptor. What its
// chunk walker (rmdemux.cpp) and packet layer (rmpacket.cpp) share beyond
// the state is in rm_internal.h.
#pragma once

#include <cstdint>

#include "format/format.h"
#include "quillar/gstadapter.h"
#include "quillar/parser.h"

namespace quillar {

// A RealVideo frame is reassembled from at most this many pieces.
constexpr uint32_t kRmMaxPieces = 256;
// The largest piece table: the count byte and two 32-bit values per piece.
constexpr uint32_t kRmMaxTable = 1 + 8 * kRmMaxPieces;

// One kept RealVideo stream, from its MDPR chunk to the next reset.
struct RmStream {
  uint32_t kind;            // 1: video, the only kind ever kept
  uint32_t id;              // stream number from the MDPR body
  Status status;            // kOk, or kInvalid once a frame had too many pieces
  uint32_t expected_size;   // bytes the frame under assembly will have
  uint32_t assembled_size;  // bytes of pieces received for it so far
  uint32_t piece_count;     // pieces received for it so far
  uint32_t piece_offsets[kRmMaxPieces];  // assembled_size when each piece arrived
  // The frame under assembly, built in place: kRmMaxTable bytes of room
  // for its piece table, then its pieces' bytes in arrival order (`held` of
  // them, room for `room`). Allocated with the first piece that has bytes,
  // at the frame's declared length where that is known; handed over whole
  // as the frame's memory when it is complete.
  uint8_t *assembly;
  uint32_t held;
  uint32_t room;
};

// The chunk walker's states; an all-zero record (0) acts as kRmChunkHeader.
enum RmState : uint32_t {
  kRmChunkHeader = 1,
  kRmSkipChunk = 2,
  kRmFileHeader = 3,       // ".RMF"
  kRmProperties = 4,       // "PROP"
  kRmMediaProperties = 5,  // "MDPR"
  kRmIndexHeader = 6,      // "INDX"
  kRmDataHeader = 7,       // "DATA"
  kRmContent = 8,          // "CONT"
  kRmDataPacket = 11,
  kRmEnd = 13,             // nothing more comes out; input is released
  kRmIndexRecords = 14,
};

struct RmDemuxState {
  ParserOutput *output;
  FrameTail frame_tail;  // where output->frames ends
  GSList *streams;            // RmStream*, in the order of their MDPR chunks
  GstAdapter *adapter;        // input; created by the first chain call
  RmState state;
  uint32_t chunk_tag;         // tag of the chunk being handled, as read
  uint32_t chunk_size;        // bytes the current state still waits for
  uint16_t chunk_version;
  uint32_t packets_total;     // packets announced by the current DATA header
  uint32_t packets_seen;      // packets handled since that header
  uint32_t next_data_offset;  // next DATA chunk's position; 0 for none
};

// The exported reset returns a result (always 1); the table's reset has none.
inline void rm_reset(ParserOutput *output) { (void)gst_rmdemux_reset(output); }

inline constexpr FormatDescriptor kRmFormat =
    describe<RmDemuxState>("rm", standard_bit(7), nullptr, gst_rmdemux_chain, rm_reset);

}  // namespace quillar
