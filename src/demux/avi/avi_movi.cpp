// SPDX-License-Identifier: BSD-2-Clause
// AVI movie data: every data chunk ("##xx", two decimal digits naming the
// stream) of every accepted stream becomes one frame, in file order. Index
// and filler chunks are skipped, lists and further RIFF parts ("AVIX") are
// read through, and any other tag ends the data.
#include "format/format.h"
#include "core/byte_reader.h"
#include "demux/avi/avi_internal.h"

namespace {

using namespace quillar;

bool is_digit(uint32_t c) { return c >= '0' && c <= '9'; }
uint32_t tag_char(uint32_t tag, int i) { return (tag >> (8 * i)) & 0xFFu; }

// Index and filler chunks: skipped, and released as they arrive.
bool is_skipped_chunk(uint32_t tag) {
  constexpr uint32_t kSkipped[] = {fourcc("idx1"), fourcc("JUNK"), fourcc("JUNQ")};
  if (tag_char(tag, 0) == 'i' && tag_char(tag, 1) == 'x') return true;  // "ix##"
  for (uint32_t t : kSkipped)
    if (t == tag) return true;
  return false;
}

// kOk: a chunk was consumed, read the next one; kNeedMoreData: the step
// ends (more input needed, or a chunk too large to buffer was dropped).
Status take_data_chunk(AviDemuxState *s, uint32_t tag) {
  uint32_t size = 0;
  if (!avi::have_whole_chunk(s, &tag, &size)) {
    if (!s->abort_buffering) {  // incomplete: wait
      if (size != 0) await_record(s->adapter, avi::kChunkHeaderSize + avi::padded(size), s->blocks);
      return Status::kNeedMoreData;
    }
    s->abort_buffering = 0;
    if (size != 0) {
      // Too large to ever buffer: drop its header and read on behind it.
      gst_adapter_flush(s->adapter, avi::kChunkHeaderSize);
      return Status::kNeedMoreData;
    }
  }
  const uint32_t number = 10 * (tag_char(tag, 0) - '0') + (tag_char(tag, 1) - '0');
  const uint32_t whole = avi::kChunkHeaderSize + avi::padded(size);
  if (number >= s->num_streams) {
    gst_adapter_flush(s->adapter, whole);
    return Status::kOk;
  }
  AviStream *stream = &s->streams[number];
  if (!stream->strh || size == 0) {
    // A rejected stream's chunk is dropped whole but still numbered, as is
    // an empty chunk: a video frame's number is its place among all of its
    // stream's chunks.
    gst_adapter_flush(s->adapter, whole);
    stream->frame_count++;
    return Status::kOk;
  }
  gst_adapter_flush(s->adapter, avi::kChunkHeaderSize);
  // The frame's buffer holds the pad byte too; its size is the payload's.
  GstBuffer *frame = gst_adapter_take_buffer(s->adapter, avi::padded(size));
  if (!frame) return Status::kNoMemory;
  frame->size = size;
  frame->timestamp = 0;
  frame->duration = 0;
  if (stream->strh->type == fourcc("vids")) {
    frame->offset = stream->frame_count;
    frame->offset_end = uint64_t{stream->frame_count} + 1;
  } else {
    frame->offset = GST_BUFFER_OFFSET_NONE;
    frame->offset_end = GST_BUFFER_OFFSET_NONE;
  }
  stream->frame_count++;
  return queue_frame(s->output, &s->frame_tail, frame) ? Status::kOk : Status::kNoMemory;
}

}  // namespace

namespace quillar::avi {

Status step_movi(AviDemuxState *s) {
  if (s->end_of_data) {
    gst_adapter_clear(s->adapter);
    return Status::kInvalid;
  }
  for (;;) {
    if (!skipped(s)) return Status::kOk;
    const uint32_t available = gst_adapter_available(s->adapter);
    if (available < kChunkHeaderSize) return Status::kOk;
    uint32_t tag = 0, size = 0;
    peek_chunk_header(s, &tag, &size);
    if (is_digit(tag_char(tag, 0)) && is_digit(tag_char(tag, 1))) {
      const Status taken = take_data_chunk(s, tag);
      if (taken == Status::kOk) continue;
      return taken == Status::kNeedMoreData ? Status::kOk : taken;
    }
    if (is_skipped_chunk(tag)) {
      if (have_whole_chunk(s, &tag, &size) || size == 0) {
        s->abort_buffering = 0;
        gst_adapter_flush(s->adapter, kChunkHeaderSize + padded(size));
      } else if (!s->abort_buffering) {
        start_skip(s, size);  // the rest is released as it arrives
      }
      // A size of 2^30 or more has raised abort_buffering, which fails the
      // call.
      return Status::kOk;
    }
    if (tag == fourcc("RIFF") || tag == fourcc("LIST")) {
      // Grouping lists and further RIFF parts are read through: their data
      // chunks count as if they stood in the first movie list. Sizes are
      // not used (a streamed file may leave them 0).
      if (available < kListHeaderSize) return Status::kOk;
      gst_adapter_flush(s->adapter, kListHeaderSize);
      continue;
    }
    s->end_of_data = 1;
    return Status::kInvalid;
  }
}

}  // namespace quillar::avi
