// SPDX-License-Identifier: BSD-2-Clause
// Size-prefixed VP6 framer: the stream has no file header, only records of a
// 32-bit little-endian frame size followed by that many bytes. A size of 0
// marks a skipped frame: it carries nothing and is counted instead.
#include "parsers/vp6/vp6parse.h"

#include <cstdio>

#include "format/format.h"
#include "core/byte_reader.h"
#include "core/diag.h"
#include "core/internal.h"

namespace {

using namespace quillar;

constexpr uint32_t kSizeField = 4;

// The adapter holds at most 4 GiB - 1 bytes, so a record that needs more can
// never be completed: the stream ends at it.
bool unbufferable(uint32_t frame_size) {
  return static_cast<uint64_t>(frame_size) + kSizeField > UINT32_MAX;
}

// Consumes skipped-frame records and queues at most one frame.
Status take_frame(Vp6ParseState *s) {
  GstAdapter *adapter = s->adapter;
  while (!s->output->frames) {
    const uint32_t available = gst_adapter_available(adapter);
    if (available < kSizeField) {
      puts("Header Data Not yet available");
      return Status::kNeedMoreData;
    }
    ByteReader r(gst_adapter_peek(adapter, kSizeField), kSizeField);
    // The peek fails only when the field spans blocks and cannot be assembled.
    if (!r.read_le32(&s->frame_size)) return Status::kNoMemory;
    if (s->frame_size == 0) {
      Diag().text("Found a Skipped frame as frame size is ").i32(0).text("\n").print();
      s->output->skipped_frames++;
      gst_adapter_flush(adapter, kSizeField);
      continue;
    }
    if (available < static_cast<uint64_t>(s->frame_size) + kSizeField) {
      puts("Frame Data Not yet available");
      if (unbufferable(s->frame_size)) {
        // Keeping the rest of the file would only fill memory for nothing.
        s->phase = Vp6Phase::kDiscard;
        gst_adapter_clear(adapter);
      } else {
        quillar::await_record(adapter, s->frame_size + kSizeField, s->blocks);
      }
      return Status::kNeedMoreData;
    }
    Diag().text("Found a frame of size ").i32(static_cast<int32_t>(s->frame_size)).text("\n").print();
    gst_adapter_flush(adapter, kSizeField);
    if (!quillar::queue_frame(s->output, &s->frame_tail, gst_adapter_take_buffer(adapter, s->frame_size)))
      return Status::kNoMemory;
  }
  return Status::kOk;
}

}  // namespace

extern "C" {

int32_t gst_vp6_parse_chain(ParserOutput *output, GstBuffer *buffer) {
  auto *s = quillar::state_of<Vp6ParseState>(output);
  if (!quillar::ensure_adapter(&s->adapter, buffer)) return CHAIN_ERROR;
  if (buffer) {
    Diag().text("In VP6 Pushing buffer of size ").u32(buffer->size).text(" to adapter\n").print();
    if (s->phase == Vp6Phase::kDiscard) {
      gst_buffer_unref(buffer);
    } else if (!quillar::adapter_push(s->adapter, buffer)) {
      return CHAIN_ERROR;
    }
  }
  if (s->phase == Vp6Phase::kDiscard) {
    puts("Frame Data Not yet available");
    return CHAIN_OK;
  }
  return quillar::chain_result(take_frame(s));
}

void gst_vp6_parse_reset(ParserOutput *output) {
  auto *s = quillar::state_of<Vp6ParseState>(output);
  quillar::release_adapter(&s->adapter);
  s->frame_size = 0;
  s->phase = Vp6Phase::kRecords;
}

}  // extern "C"
