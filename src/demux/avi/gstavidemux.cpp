// SPDX-License-Identifier: BSD-2-Clause
// AVI demultiplexer: the chain loop, reset, the RIFF file header and the
// chunk-header helpers. The header list and stream table are read in
// avi_header.cpp, the movie list in avi_movi.cpp.
#include "demux/avi/gstavidemux.h"

#include <cstdlib>
#include <cstring>

#include "format/format.h"
#include "core/byte_reader.h"
#include "core/internal.h"
#include "demux/avi/avi_internal.h"

namespace quillar::avi {

void peek_chunk_header(AviDemuxState *s, uint32_t *tag, uint32_t *size) {
  ByteReader r(gst_adapter_peek(s->adapter, kChunkHeaderSize), kChunkHeaderSize);
  *tag = 0;
  *size = 0;
  if (!(r.read_le32(tag) && r.read_le32(size))) *tag = *size = 0;
}

bool have_whole_chunk(AviDemuxState *s, uint32_t *tag, uint32_t *size) {
  const uint32_t available = gst_adapter_available(s->adapter);
  if (available < kChunkHeaderSize) return false;
  peek_chunk_header(s, tag, size);
  if (*size == 0 || *size >= kMaxBufferedChunk) {
    s->abort_buffering = 1;
    return false;
  }
  return available - kChunkHeaderSize >= padded(*size);
}

void start_skip(AviDemuxState *s, uint32_t size) {
  s->skip_remaining = kChunkHeaderSize + padded(size);
  skipped(s);
}

bool skipped(AviDemuxState *s) {
  const uint32_t available = gst_adapter_available(s->adapter);
  const uint32_t n = available < s->skip_remaining ? available : s->skip_remaining;
  gst_adapter_flush(s->adapter, n);
  s->skip_remaining -= n;
  return s->skip_remaining == 0;
}

void clear_stream(AviStream *stream) {
  free(stream->strh);
  free(stream->strf);
  free(stream->stream_name);
  gst_buffer_unref(stream->extra_data);
  gst_buffer_unref(stream->init_data);
  memset(stream, 0, sizeof *stream);
}

}  // namespace quillar::avi

namespace {

using namespace quillar;

constexpr uint32_t kFileHeaderSize = 12;

Status step_start(AviDemuxState *s) {
  if (gst_adapter_available(s->adapter) < kFileHeaderSize) return Status::kOk;
  GstBuffer *header = gst_adapter_take_buffer(s->adapter, kFileHeaderSize);
  if (!header) return Status::kNoMemory;
  uint32_t form = 0;
  if (!gst_riff_parse_file_header(s, header, &form) || form != fourcc("AVI ")) return Status::kInvalid;
  s->state = AVI_STATE_HEADER;
  s->header_state = AVI_HEADER_HDRL;
  return Status::kOk;
}

Status step(AviDemuxState *s) {
  switch (s->state) {
    case AVI_STATE_START:
      return step_start(s);
    case AVI_STATE_HEADER:
      return avi::step_header(s);
    default:
      return avi::step_movi(s);
  }
}

}  // namespace

extern "C" {

int32_t gst_avi_demux_chain(ParserOutput *output, GstBuffer *buffer) {
  auto *s = quillar::state_of<AviDemuxState>(output);
  if (!quillar::push_input(&s->adapter, buffer)) return CHAIN_ERROR;
  Status status = Status::kOk;
  for (;;) {
    const uint32_t before = gst_adapter_available(s->adapter);
    status = step(s);
    if (s->abort_buffering) {
      // A chunk size of 0 or of 2^30 or more: refused, whatever the state.
      s->abort_buffering = 0;
      status = Status::kInvalid;
    }
    if (status != Status::kOk || gst_adapter_available(s->adapter) == before || output->frames)
      break;
  }
  // Movie data that ends at an unrecognised chunk is bad data; everything
  // else rejected is an error.
  return quillar::chain_result(status, s->end_of_data ? CHAIN_BAD_DATA : CHAIN_ERROR);
}

void gst_avi_demux_reset_wrapper(ParserOutput *output) {
  auto *s = quillar::state_of<AviDemuxState>(output);
  quillar::release_adapter(&s->adapter);
  for (uint32_t i = 0; i < s->num_streams && i < quillar::AVI_MAX_STREAMS; i++)
    avi::clear_stream(&s->streams[i]);
  s->num_streams = 0;
  s->state = quillar::AVI_STATE_START;
  s->header_state = quillar::AVI_HEADER_HDRL;
  s->end_of_data = 0;
  s->skip_remaining = 0;
  free(s->main_header);
  s->main_header = nullptr;
}

}  // extern "C"
