// SPDX-License-Identifier: BSD-2-Clause
// The element walk: one step reads an element header, or releases skipped
// bytes, or parses an element held whole. Masters are entered only on the
// way to the blocks (Segment, Cluster, BlockGroup); the open ones are kept
// on a small stack with their end offsets.
#include <cstdio>
#include <cstring>

#include "core/internal.h"
#include "demux/mkv/mkv_internal.h"

namespace quillar::mkv {

namespace {

// Top-level elements: they end an unknown-size Cluster.
constexpr uint32_t kSegmentChildren[] = {kIdSeekHead, kIdInfo,        kIdTracks, kIdCluster,
                                         kIdCues,     kIdChapters,    kIdAttachments, kIdTags};

bool is_root(uint32_t id) { return id == kIdEbml || id == kIdSegment; }

bool is_segment_child(uint32_t id) {
  for (uint32_t v : kSegmentChildren)
    if (v == id) return true;
  return false;
}

// Whether an element `id` met inside an open master of unknown size belongs
// to it; if not, the master ends where that element starts.
bool belongs_to(uint32_t parent, uint32_t id) {
  if (is_root(id)) return false;
  if (parent == kIdCluster) return !is_segment_child(id);
  return true;
}

uint32_t parent_id(const MkvState *s) { return s->depth ? s->open[s->depth - 1].id : 0; }

void consume(MkvState *s, uint64_t n) {
  gst_adapter_flush(s->adapter, static_cast<guint>(n));
  s->offset += n;
}

Status refuse(const char *what, uint32_t id) {
  char msg[120];
  snprintf(msg, sizeof msg, "%s (element %X)", what, id);
  report(msg);
  return Status::kInvalid;
}

Status enter(MkvState *s, uint32_t id, uint64_t size) {
  if (s->depth >= kMaxDepth) return refuse("elements nested too deeply", id);
  const uint64_t end = size == kUnknownSize ? kUnknownSize : s->offset + size;
  s->open[s->depth++] = {id, end};
  return Status::kOk;
}

Status skip(MkvState *s, uint32_t id, uint64_t size) {
  if (size == kUnknownSize) return refuse("an element that must have a size has none", id);
  s->element_id = id;
  s->remaining = size;
  s->phase = Phase::kSkip;
  return Status::kOk;
}

Status hold(MkvState *s, uint32_t id, uint64_t size, uint64_t limit) {
  if (size == kUnknownSize) return refuse("an element that must have a size has none", id);
  if (size > limit) return refuse("a header element is larger than this reader holds", id);
  s->element_id = id;
  s->remaining = size;
  s->phase = Phase::kHold;
  return Status::kOk;
}

Status dispatch(MkvState *s, uint32_t id, uint64_t size) {
  switch (parent_id(s)) {
    case 0:
      if (id == kIdEbml) return hold(s, id, size, kMaxEbmlHeader);
      if (id == kIdSegment) return enter(s, id, size);
      return skip(s, id, size);
    case kIdSegment:
      if (id == kIdTracks && !s->tracks_seen) return hold(s, id, size, kMaxTracks);
      if (id == kIdCluster) {
        if (!s->tracks_seen)
          return refuse("a cluster comes before the track list, which a single pass cannot read",
                        id);
        return enter(s, id, size);
      }
      return skip(s, id, size);
    case kIdCluster:
      if (id == kIdBlockGroup) {
        if (size == kUnknownSize) return refuse("a block group has no size", id);
        return enter(s, id, size);
      }
      [[fallthrough]];
    case kIdBlockGroup:
      if (id == kIdSimpleBlock || id == kIdBlock) {
        if (size == kUnknownSize) return refuse("a block has no size", id);
        s->element_id = id;
        s->remaining = size;
        s->phase = Phase::kBlockHeader;
        return Status::kOk;
      }
      return skip(s, id, size);
    default:
      return skip(s, id, size);
  }
}

Status element_header(MkvState *s) {
  while (s->depth && s->open[s->depth - 1].end != kUnknownSize &&
         s->offset >= s->open[s->depth - 1].end)
    s->depth--;
  uint8_t head[12];
  const uint32_t available = gst_adapter_available(s->adapter);
  const uint32_t n = available < sizeof head ? available : sizeof head;
  if (n == 0) return Status::kNeedMoreData;
  gst_adapter_copy(s->adapter, head, 0, n);
  ByteReader r(head, n);
  uint32_t id = 0;
  uint64_t size = 0;
  Status st = read_element_id(r, &id);
  if (st == Status::kOk) st = read_element_size(r, &size);
  if (st == Status::kInvalid) {
    report("an element header is malformed");
    return st;
  }
  if (st != Status::kOk) return st;
  const uint64_t header = r.pos();

  while (s->depth && s->open[s->depth - 1].end == kUnknownSize &&
         !belongs_to(s->open[s->depth - 1].id, id))
    s->depth--;
  if (s->depth) {
    const uint64_t end = s->open[s->depth - 1].end;
    if (end != kUnknownSize &&
        (end - s->offset < header || (size != kUnknownSize && size > end - s->offset - header)))
      return refuse("an element is larger than its parent", id);
  }
  if (size == kUnknownSize && id != kIdSegment && id != kIdCluster)
    return refuse("an element that must have a size has none", id);
  if (id == kIdEbml && s->depth == 0) {
    // A new document: its own track list follows.
    forget_track(s);
  }
  consume(s, header);
  return dispatch(s, id, size);
}

Status skip_bytes(MkvState *s) {
  s->offset += release_arrived(s->adapter, &s->remaining);
  if (s->remaining) return Status::kNeedMoreData;
  s->phase = Phase::kElementHeader;
  return Status::kOk;
}

Status ebml_header(const uint8_t *data, size_t size) {
  ByteReader r(data, size);
  uint32_t id = 0;
  ByteReader body{nullptr, 0};
  Status st;
  bool known_doc = false;
  while ((st = next_child(r, &id, &body)) == Status::kOk) {
    uint64_t v = 0;
    if (id == kIdDocType) {
      size_t n = 0;
      while (n < body.size() && body.current()[n]) n++;
      known_doc = (n == 8 && memcmp(body.current(), "matroska", 8) == 0) ||
                  (n == 4 && memcmp(body.current(), "webm", 4) == 0);
    } else if (id == kIdEbmlReadVersion && read_uint(body, &v) && v > 1) {
      report("the EBML read version is above 1");
      return Status::kUnsupported;
    } else if (id == kIdEbmlMaxIdLength && read_uint(body, &v) && v > 4) {
      report("element IDs longer than 4 bytes are not Matroska");
      return Status::kUnsupported;
    } else if (id == kIdEbmlMaxSizeLength && read_uint(body, &v) && v > 8) {
      report("element sizes longer than 8 bytes are not Matroska");
      return Status::kUnsupported;
    } else if (id == kIdDocTypeReadVersion && read_uint(body, &v) && v > 4) {
      report("the document needs a Matroska reader above version 4");
      return Status::kUnsupported;
    }
  }
  if (st != Status::kNeedMoreData) {
    report("the EBML header is malformed");
    return Status::kInvalid;
  }
  if (!known_doc) {
    report("the document type is neither \"matroska\" nor \"webm\"");
    return Status::kUnsupported;
  }
  return Status::kOk;
}

Status hold_element(MkvState *s) {
  if (gst_adapter_available(s->adapter) < s->remaining) return Status::kNeedMoreData;
  const auto size = static_cast<uint32_t>(s->remaining);
  const uint8_t *data = size ? gst_adapter_peek(s->adapter, size) : nullptr;
  if (size && !data) return Status::kNoMemory;
  const Status st = s->element_id == kIdEbml ? ebml_header(data, size) : read_tracks(s, data, size);
  if (st != Status::kOk) return st;
  consume(s, size);
  s->remaining = 0;
  s->phase = Phase::kElementHeader;
  return Status::kOk;
}

Status block_header(MkvState *s) {
  const uint64_t want = s->remaining < 8 ? s->remaining : 8;
  if (gst_adapter_available(s->adapter) < want) return Status::kNeedMoreData;
  uint8_t head[8];
  gst_adapter_copy(s->adapter, head, 0, static_cast<guint>(want));
  ByteReader r(head, static_cast<size_t>(want));
  uint64_t track = 0;
  uint32_t n = 0;
  const bool ours = read_vint(r, &track, &n) == Status::kOk && track == s->track_number;
  if (!ours) {
    // Another track's block, or one for a track the list never declared.
    s->phase = Phase::kSkip;
    return Status::kOk;
  }
  if (s->remaining > kMaxBlock) return refuse("a block is larger than this reader holds", s->element_id);
  s->phase = Phase::kBlock;
  return Status::kOk;
}

Status take_block(MkvState *s) {
  const auto size = static_cast<uint32_t>(s->remaining);  // at most kMaxBlock
  if (gst_adapter_available(s->adapter) < size) {
    await_record(s->adapter, size, s->blocks);
    return Status::kNeedMoreData;
  }
  GstBuffer *block = gst_adapter_take_buffer(s->adapter, size);
  if (!block) return Status::kNoMemory;
  s->offset += size;
  s->remaining = 0;
  s->phase = Phase::kElementHeader;
  return unpack_block(s, block);
}

}  // namespace

Status step(MkvState *s) {
  switch (s->phase) {
    case Phase::kElementHeader: return element_header(s);
    case Phase::kSkip: return skip_bytes(s);
    case Phase::kHold: return hold_element(s);
    case Phase::kBlockHeader: return block_header(s);
    case Phase::kBlock: return take_block(s);
    default: return Status::kNeedMoreData;
  }
}

}  // namespace quillar::mkv
