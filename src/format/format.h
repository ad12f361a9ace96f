// SPDX-License-Identifier: BSD-2-Clause
// What every format shares with the front end, and nothing more: the status
// of one parse step, the descriptor each format publishes next to its code,
// and the helpers that hand finished frames over. Formats include this
// header, never anything under api/; the front end includes it too.
#pragma once

#include <cstddef>
#include <cstdint>

#include "containers/list_internal.h"
#include "core/byte_reader.h"
#include "core/internal.h"
#include "quillar/gstadapter.h"
#include "quillar/parser.h"

namespace quillar {

// The outcome of one step inside a format (a header, an object, a frame).
// Each chain function maps it to a CHAIN_ result in one place; which result
// kInvalid becomes (CHAIN_BAD_DATA or CHAIN_ERROR) is the format's own rule.
enum class Status : uint8_t {
  kOk,            // the step is done
  kNeedMoreData,  // not enough bytes yet: wait for the next push
  kInvalid,       // the input is rejected
  kUnsupported,   // a valid stream variant this library does not handle
  kNoMemory,      // an allocation failed
};

// The CHAIN_ result of a chain call whose last step ended with `status`:
// each chain function maps its status here, in one place. `invalid` is the
// format's result for rejected input (CHAIN_ERROR, or CHAIN_BAD_DATA where
// the format says the stream contents are bad).
constexpr int32_t chain_result(Status status, int32_t invalid = CHAIN_ERROR) {
  switch (status) {
    case Status::kOk:
    case Status::kNeedMoreData:
      return CHAIN_OK;
    case Status::kInvalid:
      return invalid;
    case Status::kUnsupported:
      return CHAIN_NOT_SUPPORTED;
    case Status::kNoMemory:
      break;
  }
  return CHAIN_ERROR;
}

// How many bytes from the start of the file a probe is shown.
constexpr size_t kProbeSize = 4;

// Whether the probe bytes start with `tag` (a fourcc(), or any 32-bit
// little-endian value).
inline bool probe_starts_with(const uint8_t *head, uint32_t tag) {
  ByteReader r(head, kProbeSize);
  uint32_t first = 0;
  return r.read_le32(&first) && first == tag;
}

// The video standard codes a format can serve, as the bits of a mask.
constexpr uint32_t standard_bit(uint32_t code) { return code < 32 ? 1u << code : 0; }

// The front end reads the file in blocks of kReadBlockSize bytes, each a
// span of a larger parent allocation cut in file order, so that the adapter
// can join a record that straddles blocks of one parent without copying it.
// A format that waits for a record longer than what has arrived may move the
// parent (await_record), so that the rest of the record is read straight
// into one allocation behind the part already queued. Formats reached
// through their exported chain functions have no source: records that
// straddle blocks are then joined by copying, as before.
constexpr uint32_t kReadBlockSize = 8192;
// The usual parent: four blocks. 32 KiB stays well under glibc's mmap
// threshold (128 KiB): larger parents (64-256 KiB, measured) join more large
// frames, but once freed they make the allocator trim and regrow the heap
// top, 3 000-24 000 page faults per 512 MiB of ASF or RealMedia, which cost
// more than the copies they save. Formats that wait for a long record size
// a parent to it instead (await_record).
constexpr uint32_t kReadParentSize = 4 * kReadBlockSize;
struct BlockSource {
  GstBuffer *parent;  // one reference (null before the first block)
  uint32_t used;      // bytes of parent already cut into blocks
};

// Records from kMinAwaitedRecord up to kMaxAwaitedRecord bytes are gathered
// in one allocation as they are read. Longer ones are joined when complete,
// as without a block source; so are shorter ones, for which copying the
// record costs less than moving the parent (two allocations and a copy of
// what has arrived, measured with 1-2 KB IVF frames).
constexpr uint32_t kMinAwaitedRecord = 16u << 10;
constexpr uint32_t kMaxAwaitedRecord = 16u << 20;

// Called by a format that waits for the first `size` bytes of its adapter
// to arrive as one record (a frame with its header), when fewer have. Unless
// the queued bytes already lie at the end of the source's parent with room
// for the rest, it moves them (what has arrived, normally part of one block)
// to the start of a new parent sized for the record rounded up to whole
// blocks, and makes it the source's parent: the blocks that complete the
// record are then cut from it, and the record is taken as a sub-buffer.
// Does nothing without a source, for records outside kMinAwaitedRecord to
// kMaxAwaitedRecord bytes, or when out of memory (the record is then joined
// as usual). Queued bytes, their order and the adapter's counts are
// unchanged; pointers from earlier peeks are not valid afterwards.
void await_record(GstAdapter *adapter, uint32_t size, BlockSource *source);

// One format, as the front end, the tools' tests and the fuzz targets see it.
// The front end keeps one ordered table of these; for a code, the first row
// that serves it and whose probe accepts the file's first bytes is chosen (a
// row without a probe accepts any file).
struct FormatDescriptor {
  const char *name;    // "IVF", "WebP", ...: for messages, tests and tools
  uint32_t standards;  // standard_bit() of every code it serves
  // Whether the first kProbeSize bytes of the file are this format's; null
  // for a format chosen without looking at the file.
  bool (*probe)(const uint8_t *head);
  ParserChainFunc chain;
  ParserResetFunc reset;
  // The private state record: it lives zero-filled in the context, and
  // bind() points its `output` field at the shared block before the first
  // reset.
  size_t state_size;
  size_t state_align;
  void (*bind)(void *state, ParserOutput *output);
  // For a format that chooses what to play by the video standard (a
  // container of several codecs): told the host's code after bind(). Null
  // for the others.
  void (*bind_standard)(void *state, uint32_t code);
  // For a format whose state has a `blocks` member (see BlockSource): points
  // it at the front end's block source after bind(). Null for the others.
  void (*bind_blocks)(void *state, BlockSource *source);
};

// The descriptor's state fields for a state record with an `output` member.
template <typename State>
void bind_output(void *state, ParserOutput *output) {
  static_cast<State *>(state)->output = output;
}

template <typename State>
constexpr void (*blocks_binder())(void *, BlockSource *) {
  if constexpr (requires(State *s) { s->blocks = static_cast<BlockSource *>(nullptr); }) {
    return [](void *state, BlockSource *source) { static_cast<State *>(state)->blocks = source; };
  } else {
    return nullptr;
  }
}

// A format's descriptor, with the state fields taken from its state record.
// Formats define theirs in their header as
//   inline constexpr FormatDescriptor kIvfFormat = describe<IvfParseState>(...);
// so that the front end can size the context's parser storage at compile time.
template <typename State>
constexpr FormatDescriptor describe(const char *name, uint32_t standards,
                                    bool (*probe)(const uint8_t *head), ParserChainFunc chain,
                                    ParserResetFunc reset,
                                    void (*bind_standard)(void *state, uint32_t code) = nullptr) {
  return {name,          standards,      probe, chain, reset, sizeof(State), alignof(State),
          bind_output<State>, bind_standard, blocks_binder<State>()};
}

// Every chain and reset function begins by fetching its state record.
template <typename State>
State *state_of(ParserOutput *output) {
  return static_cast<State *>(output->parser_state);
}

// The start of every chain call: the format's adapter is created by the
// first call. Returns false, with `buffer` (which may be NULL) released, when
// it cannot be.
inline bool ensure_adapter(GstAdapter **adapter, GstBuffer *buffer) {
  if (!*adapter) *adapter = gst_adapter_new();
  if (*adapter) return true;
  gst_buffer_unref(buffer);
  return false;
}

// ensure_adapter, then pushes `buffer` (taking the caller's reference; NULL,
// a drain call, pushes nothing). False, with the buffer released, when
// either fails: the chain then reports CHAIN_ERROR.
inline bool push_input(GstAdapter **adapter, GstBuffer *buffer) {
  return ensure_adapter(adapter, buffer) && adapter_push(*adapter, buffer);
}

// The matching teardown in every reset: the adapter and what it holds are
// released and the state forgets it.
inline void release_adapter(GstAdapter **adapter) {
  gst_adapter_unref(*adapter);
  *adapter = nullptr;
}

// Releases what has arrived of a stretch that is only stepped over (a
// skipped chunk, tag or element), at most *left bytes, and counts it off.
// Returns how many bytes were released; the stretch is done when *left is 0.
template <typename Count>
uint32_t release_arrived(GstAdapter *adapter, Count *left) {
  const uint32_t available = gst_adapter_available(adapter);
  const uint32_t n = available < *left ? available : static_cast<uint32_t>(*left);
  gst_adapter_flush(adapter, n);
  *left -= n;
  return n;
}

// Where a format's queue of finished frames ends, so that queueing a frame
// does not walk the list. Each format keeps one in its state record (zeroed
// with it). The list belongs to ParserOutput and its consumers take frames
// from the head (the front end one at a time, tests and tools by clearing
// it): `head` is the list's first node when `last` was recorded, and while
// the list still starts there, nothing was taken and `last` is still its
// end. Once the head has moved, the end is found again by one walk. Nodes
// enter the list only through queue_frame.
struct FrameTail {
  GSList *head;
  GSList *last;
};

// Queues a finished frame, handing over the caller's reference. A NULL frame
// is never queued. Returns false, with the frame released, when it could not
// be queued (NULL, or out of memory); callers then report CHAIN_ERROR.
inline bool queue_frame(ParserOutput *output, FrameTail *tail, GstBuffer *frame) {
  if (!frame) return false;
  if (!output->frames || tail->head != output->frames) tail->last = nullptr;
  const bool queued = slist_append_after(&output->frames, &tail->last, frame);
  tail->head = output->frames;
  if (queued) return true;
  gst_buffer_unref(frame);
  return false;
}

}  // namespace quillar
