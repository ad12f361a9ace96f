// SPDX-License-Identifier: BSD-2-Clause
// The FLV demultiplexer's state machine: the file header, then back-pointers
// and tags in turn to the end of the file. Each VP6 video tag becomes one
// frame: the tag's data after the VIDEODATA byte and the size adjustment
// byte, exactly what a size-prefixed VP6 stream carries per record; with
// alpha (codec 5) the colour frame only. Everything else is released as it
// streams past.
//
// PreviousTagSize is read and compared, never followed: tags are found by
// walking the tag headers forward. The back-pointer exists for seeking
// backwards; writers get it wrong often enough (DataSize without the 11
// header bytes, zeros, values of a tag that was edited out) that readers
// commonly offer to ignore it, while a tag header that is wrong breaks the
// file for every reader. Resynchronising on a disagreeing back-pointer would
// drop good tags on a mere writer slip and still could not repair a damaged
// header, so a mismatch is only counted.
#include "demux/flv/flvdemux.h"

#include "core/byte_reader.h"
#include "core/internal.h"
#include "demux/flv/flv_internal.h"

namespace quillar::flv {

namespace {

// Enters the state that follows a tag with `left` bytes of data still ahead.
void skip_rest_of_tag(FlvDemuxState *s, uint32_t left) {
  s->tag_left = left;
  s->state = left ? FlvState::kSkip : FlvState::kBackPointer;
}

Status read_file_header(FlvDemuxState *s) {
  if (gst_adapter_available(s->adapter) < kFileHeaderSize) return Status::kNeedMoreData;
  uint32_t data_offset = 0;
  const uint8_t *bytes = gst_adapter_peek(s->adapter, kFileHeaderSize);
  const Status st = parse_file_header(bytes, kFileHeaderSize, &data_offset);
  // The peek fails only when the header spans blocks and cannot be assembled.
  if (st == Status::kNeedMoreData) return Status::kNoMemory;
  if (st != Status::kOk) return st;
  gst_adapter_flush(s->adapter, kFileHeaderSize);
  s->tag_left = data_offset - static_cast<uint32_t>(kFileHeaderSize);
  s->state = FlvState::kHeaderExtra;
  return Status::kOk;
}

// Releases up to tag_left bytes of what has arrived; moves on when all have.
Status release(FlvDemuxState *s) {
  release_arrived(s->adapter, &s->tag_left);
  if (s->tag_left) return Status::kNeedMoreData;
  s->state = FlvState::kBackPointer;
  return Status::kOk;
}

Status read_back_pointer(FlvDemuxState *s) {
  if (gst_adapter_available(s->adapter) < kBackPointerSize) return Status::kNeedMoreData;
  ByteReader r(gst_adapter_peek(s->adapter, kBackPointerSize), kBackPointerSize);
  uint32_t previous = 0;
  if (!r.read_be32(&previous)) return Status::kNoMemory;
  if (previous != s->expected_back_pointer) s->back_pointer_mismatches++;
  gst_adapter_flush(s->adapter, kBackPointerSize);
  s->state = FlvState::kTagHeader;
  return Status::kOk;
}

Status read_tag_header(FlvDemuxState *s) {
  if (gst_adapter_available(s->adapter) < kTagHeaderSize) return Status::kNeedMoreData;
  const uint8_t *bytes = gst_adapter_peek(s->adapter, kTagHeaderSize);
  if (!bytes) return Status::kNoMemory;
  const TagHeader h = parse_tag_header(bytes);
  gst_adapter_flush(s->adapter, kTagHeaderSize);
  s->expected_back_pointer = static_cast<uint32_t>(kTagHeaderSize) + h.data_size;
  s->tag_time_ms = h.time_ms;
  s->tag_filtered = h.filtered;
  if (h.type == kTagVideo) {
    s->tag_left = h.data_size;
    s->state = FlvState::kVideoHeader;
    return Status::kOk;
  }
  // Audio, script data and tag types nobody defined.
  skip_rest_of_tag(s, h.data_size);
  return Status::kOk;
}

Status read_video_header(FlvDemuxState *s) {
  const uint32_t need = s->tag_left < kVideoHeaderMax ? s->tag_left : static_cast<uint32_t>(kVideoHeaderMax);
  if (gst_adapter_available(s->adapter) < need) return Status::kNeedMoreData;
  const uint8_t *head = need ? gst_adapter_peek(s->adapter, need) : nullptr;
  if (need && !head) return Status::kNoMemory;
  const VideoPlan plan = plan_video_tag(head, need, s->tag_left, s->tag_filtered, s->video_codec);
  s->video_codec = plan.codec;
  switch (plan.action) {
    case VideoAction::kFrame:
      s->frame_offset = plan.frame_offset;
      s->frame_size = plan.frame_size;
      s->state = FlvState::kFrame;
      return Status::kOk;
    case VideoAction::kSkipped:
      s->output->skipped_frames++;
      break;
    case VideoAction::kDrop:
      break;
  }
  skip_rest_of_tag(s, s->tag_left);
  return Status::kOk;
}

// Cuts the frame out once the whole tag is there (so that a frame is never
// handed out short), then releases the rest of the tag (alpha data).
Status take_frame(FlvDemuxState *s) {
  if (gst_adapter_available(s->adapter) < s->tag_left) {
    await_record(s->adapter, s->tag_left, s->blocks);
    return Status::kNeedMoreData;
  }
  if (s->frame_offset) {
    gst_adapter_flush(s->adapter, s->frame_offset);
    s->tag_left -= s->frame_offset;
    s->frame_offset = 0;
  }
  // Out of memory leaves the state as it is: a later call can try again.
  GstBuffer *frame = gst_adapter_take_buffer(s->adapter, s->frame_size);
  if (!frame) return Status::kNoMemory;
  frame->timestamp = timestamp_ns(s->tag_time_ms);
  skip_rest_of_tag(s, s->tag_left - s->frame_size);
  return queue_frame(s->output, &s->frame_tail, frame) ? Status::kOk : Status::kNoMemory;
}

Status step(FlvDemuxState *s) {
  switch (s->state) {
    case FlvState::kFileHeader: return read_file_header(s);
    case FlvState::kHeaderExtra:
    case FlvState::kSkip: return release(s);
    case FlvState::kBackPointer: return read_back_pointer(s);
    case FlvState::kTagHeader: return read_tag_header(s);
    case FlvState::kVideoHeader: return read_video_header(s);
    case FlvState::kFrame: return take_frame(s);
    case FlvState::kRejected: break;
  }
  return Status::kInvalid;
}

// Runs the states until a frame is queued or the input runs out.
Status run(FlvDemuxState *s) {
  while (!s->output->frames) {
    const Status st = step(s);
    if (st == Status::kNeedMoreData) return Status::kOk;
    if (st == Status::kInvalid) {
      s->state = FlvState::kRejected;
      gst_adapter_clear(s->adapter);
    }
    if (st != Status::kOk) return st;
  }
  return Status::kOk;
}

}  // namespace

int32_t flv_demux_chain(ParserOutput *output, GstBuffer *buffer) {
  auto *s = state_of<FlvDemuxState>(output);
  if (s->state == FlvState::kRejected) {
    gst_buffer_unref(buffer);
    return CHAIN_ERROR;
  }
  if (!push_input(&s->adapter, buffer)) return CHAIN_ERROR;
  return chain_result(run(s));  // kInvalid: a refused file header, CHAIN_ERROR
}

void flv_demux_reset(ParserOutput *output) {
  auto *s = state_of<FlvDemuxState>(output);
  release_adapter(&s->adapter);
  ParserOutput *const keep = s->output;
  BlockSource *const blocks = s->blocks;
  *s = FlvDemuxState{};
  s->output = keep;
  s->blocks = blocks;
}

}  // namespace quillar::flv
