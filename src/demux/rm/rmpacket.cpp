// SPDX-License-Identifier: BSD-2-Clause
// RealMedia data packets and RealVideo frame reassembly.
//
// A packet is framed by a version (0 or 1) and a length; its header then
// gives the stream number. The body of a RealVideo packet is a run of
// fragments, each a piece of a frame: a whole frame (class 0x40), one of
// several whole frames packed together (0xC0), or a part of a frame split
// over several packets (0x00, and 0x80 for the last part). A frame is handed
// out behind a table of its pieces: the piece count minus one, then for each
// piece the 32-bit little-endian values 1 and its offset. Each piece is
// copied once, straight from its packet into the frame's own memory, behind
// room for the largest table; the finished table is written just before the
// first piece, and the frame's data starts there.
#include <cstdlib>
#include <cstring>

#include "format/format.h"
#include "core/byte_reader.h"
#include "core/internal.h"
#include "demux/rm/rm_internal.h"

namespace {

using namespace quillar;

constexpr uint32_t kFramingSize = 4;  // version and length
constexpr uint32_t kHeaderSizeV0 = 8;  // stream, timestamp, group, flags
constexpr uint32_t kHeaderSizeV1 = 9;  // one more byte
constexpr uint32_t kTableEntrySize = 8;

enum FragmentClass : uint8_t {
  kPartOfFrame = 0x00,
  kWholeFrame = 0x40,
  kLastPartOfFrame = 0x80,
  kPackedFrame = 0xC0,
};

RmStream *find_stream(RmDemuxState *s, uint32_t id) {
  for (GSList *node = s->streams; node; node = node->next) {
    auto *stream = static_cast<RmStream *>(node->data);
    if (stream->id == id) return stream;
  }
  return nullptr;
}

// Frame lengths and piece offsets: two bytes (14 bits) when either of the
// top two bits is set, else four.
bool read_number(ByteReader *r, uint32_t *value) {
  ByteReader probe = *r;
  uint16_t shortform = 0;
  if (!probe.read_be16(&shortform)) return false;
  if (shortform & 0xC000) {
    *value = shortform & 0x3FFFu;
    return r->skip(2);
  }
  return r->read_be32(value);
}

// The first room of a frame under assembly: its declared length, but no
// more than this, so that a length nothing backs reserves little; a frame
// that outgrows its room is moved to one twice as large.
constexpr uint32_t kFirstRoomLimit = 1u << 20;

void forget_frame(RmStream *st) {
  free(st->assembly);
  st->assembly = nullptr;
  st->held = 0;
  st->room = 0;
  st->expected_size = 0;
  st->assembled_size = 0;
  st->piece_count = 0;
}

void put_le32(uint8_t *p, uint32_t v) {
  for (int i = 0; i < 4; i++) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

// Makes room in `st`'s frame for `more` bytes of pieces. False when out of
// memory (the frame is left as it was).
bool make_room(RmStream *st, uint32_t more) {
  const uint64_t need = static_cast<uint64_t>(st->held) + more;
  if (st->assembly && need <= st->room) return true;
  uint64_t room = st->assembly ? 2 * static_cast<uint64_t>(st->room)
                               : (st->expected_size < kFirstRoomLimit ? st->expected_size : kFirstRoomLimit);
  if (room < need) room = need;
  if (room + kRmMaxTable > UINT32_MAX) return false;
  auto *grown = static_cast<uint8_t *>(realloc(st->assembly, kRmMaxTable + room));
  if (!grown) return false;
  st->assembly = grown;
  st->room = static_cast<uint32_t>(room);
  return true;
}

// Hands out the frame assembled in `st` and starts a new one.
Status finish_frame(RmDemuxState *s, RmStream *st) {
  const uint32_t table = 1 + kTableEntrySize * st->piece_count;
  if (!st->assembly) st->expected_size = 0;  // no piece had bytes: room for the table only
  // Room a declared length reserved but no piece filled is given back.
  constexpr uint32_t kSlack = 64 * 1024;
  if (st->assembly && st->room - st->held > kSlack) {
    if (auto *fitted = static_cast<uint8_t *>(realloc(st->assembly, kRmMaxTable + st->held))) {
      st->assembly = fitted;
      st->room = st->held;
    }
  }
  GstBuffer *frame = make_room(st, 0) ? gst_buffer_new() : nullptr;
  if (!frame) {
    forget_frame(st);
    return Status::kNoMemory;
  }
  uint8_t *start = st->assembly + kRmMaxTable - table;
  start[0] = static_cast<uint8_t>(st->piece_count - 1);
  for (uint32_t i = 0; i < st->piece_count; i++) {
    put_le32(start + 1 + kTableEntrySize * i, 1);
    put_le32(start + 5 + kTableEntrySize * i, st->piece_offsets[i]);
  }
  frame->data = start;
  frame->owned_data = st->assembly;
  frame->size = table + st->held;
  st->assembly = nullptr;  // the frame owns it now
  forget_frame(st);
  return quillar::queue_frame(s->output, &s->frame_tail, frame) ? Status::kOk : Status::kNoMemory;
}

// A fragment header: its class, and for the classes that have them the
// subsequence number, the frame length and the piece's offset.
struct FragmentHeader {
  uint8_t kind = 0;
  uint32_t subsequence = 0, frame_length = 0, piece_offset = 0;
};

// Reads the fragment header at the reader's position; false when it is cut
// short.
bool read_fragment_header(ByteReader &r, FragmentHeader *h) {
  uint8_t first = 0;
  // The caller keeps more than two bytes in `r`; were the byte missing, it
  // would read as 0 and the reads below would fall short.
  (void)r.peek_u8(&first);
  h->kind = first & 0xC0;
  if (h->kind == kWholeFrame) return r.skip(2);
  bool ok = true;
  if (h->kind == kPartOfFrame || h->kind == kLastPartOfFrame) {
    uint8_t sub = 0;
    ok = r.skip(1) && r.read_u8(&sub);
    h->subsequence = sub & 0x7Fu;
  } else {
    ok = r.skip(1);
  }
  return ok && read_number(&r, &h->frame_length) && read_number(&r, &h->piece_offset) &&
         r.skip(1);  // sequence byte
}

// Adds one piece of `size` bytes (`piece` reads them, or is null for a
// piece said to run past the packet) to the frame under assembly in `st`,
// and hands the frame out once it is complete.
Status add_piece(RmDemuxState *s, RmStream *st, const FragmentHeader &h, ByteReader *piece,
                 uint32_t size) {
  if (h.subsequence <= 1) {
    // A new frame: whatever an unfinished one left behind is dropped.
    forget_frame(st);
    st->expected_size = h.subsequence == 1 ? h.frame_length : size;
  }
  if (st->piece_count == quillar::kRmMaxPieces) {
    st->status = Status::kInvalid;
    return Status::kInvalid;
  }
  if (piece) {
    if (!make_room(st, size)) {
      forget_frame(st);
      return Status::kNoMemory;
    }
    if (!piece->read_bytes(st->assembly + kRmMaxTable + st->held, size)) return Status::kInvalid;
    st->held += size;
  }
  st->piece_offsets[st->piece_count++] = st->assembled_size;
  st->assembled_size += size;
  return st->assembled_size >= st->expected_size ? finish_frame(s, st) : Status::kNeedMoreData;
}

// Splits one packet body into pieces. `r` reads the packet after its
// framing and is positioned at the body. Returns the packet's status.
Status reassemble(RmDemuxState *s, RmStream *st, ByteReader r) {
  const Status ret = st->status;
  for (;;) {
    FragmentHeader h;
    if (!read_fragment_header(r, &h)) {
      // A short fragment header ends the packet and clears a failed stream.
      st->status = Status::kOk;
      return Status::kOk;
    }
    const uint32_t left = static_cast<uint32_t>(r.remaining());
    uint32_t size = left;
    if (h.kind == kLastPartOfFrame) size = h.piece_offset;
    if (h.kind == kPackedFrame) size = h.frame_length;

    // A piece said to run past the packet is counted but holds no bytes.
    ByteReader piece = r;
    // kOk: a frame was handed out; kNeedMoreData: the frame is not complete.
    const Status added = add_piece(s, st, h, size <= left ? &piece : nullptr, size);
    if (added == Status::kOk && ret != Status::kOk) return ret;
    if (added != Status::kOk && added != Status::kNeedMoreData) return added;
    if (size > left || left - size <= 2) return ret;
    (void)r.skip(size);
  }
}

// Handles one packet; `packet` holds it whole, framing included.
Status handle_packet(RmDemuxState *s, const uint8_t *packet, uint32_t length, uint16_t version) {
  ByteReader whole(packet, length);
  ByteReader r;
  const uint32_t header = version == 1 ? kHeaderSizeV1 : kHeaderSizeV0;
  uint16_t id = 0;
  // A packet shorter than its own header is dropped unread.
  if (!(whole.skip(kFramingSize) && whole.sub(whole.remaining(), &r) && r.read_be16(&id) &&
        r.seek(header)))
    return Status::kOk;
  RmStream *st = find_stream(s, id);
  if (!st || r.remaining() == 0) return Status::kOk;
  if (r.remaining() <= 2) return st->status;
  return reassemble(s, st, r);
}

}  // namespace

namespace quillar::rm {

Status data_packet(RmDemuxState *s) {
  GstAdapter *a = s->adapter;
  const uint32_t available = gst_adapter_available(a);
  uint8_t framing[kFramingSize];
  if (available < 2) return Status::kNeedMoreData;
  // The whole framing when it has arrived (one copy per packet), else the
  // version, which may end the packets.
  const uint32_t have = available < kFramingSize ? 2 : kFramingSize;
  gst_adapter_copy(a, framing, 0, have);
  ByteReader r(framing, have);
  uint16_t version = 0, length = 0;
  if (!r.read_be16(&version)) return Status::kNeedMoreData;
  if (version > 1) {
    // The packets end here (often at the next chunk's tag).
    gst_adapter_flush(a, 2);
    if (s->next_data_offset != 0)
      s->state = kRmChunkHeader;
    else
      enter_end(s);
    return Status::kOk;
  }
  if (available < kFramingSize) return Status::kNeedMoreData;
  if (!r.read_be16(&length)) return Status::kNeedMoreData;
  if (length < kFramingSize) {
    gst_adapter_flush(a, kFramingSize);
    if (length == 0 || s->packets_seen == s->packets_total) s->state = kRmChunkHeader;
    return Status::kOk;
  }
  if (available < length) return Status::kNeedMoreData;
  Status handled = Status::kOk;
  if (length == kFramingSize) {
    gst_adapter_flush(a, kFramingSize);
  } else {
    // The pieces are copied out of the packet where it lies (in a read
    // block, or joined from adjacent ones), so it needs no buffer of its own.
    const uint8_t *packet = gst_adapter_peek(a, length);
    if (!packet) return Status::kNoMemory;  // nothing consumed: tried again on the next call
    handled = handle_packet(s, packet, length, version);
    gst_adapter_flush(a, length);
  }
  s->packets_seen++;
  if (length == kFramingSize || s->packets_seen == s->packets_total) s->state = kRmChunkHeader;
  return handled;
}

}  // namespace quillar::rm
