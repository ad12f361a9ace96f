// SPDX-License-Identifier: BSD-2-Clause
// IVF framer: a 32-byte file header ("DKIF"), then frames each preceded by a
// 12-byte header (32-bit size, 64-bit timestamp), all little-endian.
#include "parsers/ivf/gstivfparse.h"


#include "format/format.h"
#include "core/byte_reader.h"
#include "core/diag.h"
#include "core/internal.h"

namespace {

using namespace quillar;

constexpr uint32_t kFileHeaderSize = 32;
constexpr uint32_t kFrameHeaderSize = 12;

// Reads and flushes the file header: kOk for a valid one, else kInvalid.
Status take_file_header(GstAdapter *adapter) {
  ByteReader r(gst_adapter_peek(adapter, kFileHeaderSize), kFileHeaderSize);
  uint32_t signature = 0, codec = 0, frames = 0;
  uint16_t version = 0, header_length = 0;
  const bool read = r.read_le32(&signature) && r.read_le16(&version) &&
                    r.read_le16(&header_length) && r.read_le32(&codec) && r.skip(12) &&
                    r.read_le32(&frames);
  gst_adapter_flush(adapter, kFileHeaderSize);
  const bool codec_ok = codec == fourcc("VP80") || codec == fourcc("VP90");
  if (!read || version != 0 || signature != fourcc("DKIF") ||
      header_length != kFileHeaderSize || !codec_ok)
    return Status::kInvalid;
  Diag().text("IVF Stream has ").i32(static_cast<int32_t>(frames)).text(" frames\n").print();
  return Status::kOk;
}

// Cuts at most one frame; zero-length records on the way are counted as
// skipped frames (they carry nothing to hand out).
Status take_frame(IvfParseState *s) {
  GstAdapter *adapter = s->adapter;
  for (;;) {
    const uint32_t available = gst_adapter_available(adapter);
    if (available <= kFrameHeaderSize) return Status::kNeedMoreData;
    ByteReader r(gst_adapter_peek(adapter, kFrameHeaderSize), kFrameHeaderSize);
    uint32_t size = 0;
    uint64_t pts = 0;
    // The peek fails only when the header spans blocks and cannot be assembled.
    if (!(r.read_le32(&size) && r.read_le64(&pts))) return Status::kNoMemory;
    Diag().text("In IVF Read frame header: size ").u32(size).text(", pts ").u64(pts).text("\n").print();
    const uint64_t record = static_cast<uint64_t>(size) + kFrameHeaderSize;
    if (record > UINT32_MAX) {
      puts("Header Data Not yet available");
      s->phase = IvfPhase::kDiscard;
      gst_adapter_clear(adapter);
      return Status::kNeedMoreData;
    }
    if (available < record) {
      await_record(adapter, static_cast<uint32_t>(record), s->blocks);
      puts("Header Data Not yet available");
      return Status::kNeedMoreData;
    }
    gst_adapter_flush(adapter, kFrameHeaderSize);
    if (size == 0) {
      s->output->skipped_frames++;
      continue;
    }
    if (!quillar::queue_frame(s->output, &s->frame_tail, gst_adapter_take_buffer(adapter, size)))
      return Status::kNoMemory;
    return Status::kOk;
  }
}

// The file header once, then at most one frame.
Status step(IvfParseState *s) {
  if (s->phase == IvfPhase::kFileHeader) {
    if (gst_adapter_available(s->adapter) < kFileHeaderSize) {
      puts("Header Data Not yet available");
      return Status::kNeedMoreData;
    }
    if (take_file_header(s->adapter) != Status::kOk) {
      puts("Not a Valid IVF Input File");
      return Status::kInvalid;
    }
    s->phase = IvfPhase::kFrames;
  }
  return s->phase == IvfPhase::kFrames ? take_frame(s) : Status::kNeedMoreData;
}

}  // namespace

bool quillar::ivf_probe(const uint8_t *head) { return probe_starts_with(head, fourcc("DKIF")); }

extern "C" {

int32_t gst_ivf_parse_chain(ParserOutput *output, GstBuffer *buffer) {
  auto *s = quillar::state_of<IvfParseState>(output);
  if (!quillar::ensure_adapter(&s->adapter, buffer)) return CHAIN_ERROR;
  if (buffer) {
    Diag().text("In IVF Pushing buffer of size ").u32(buffer->size).text(" to adapter\n").print();
    if (s->phase == IvfPhase::kDiscard) {
      gst_buffer_unref(buffer);
      puts("Header Data Not yet available");
      return CHAIN_OK;
    }
    if (!quillar::adapter_push(s->adapter, buffer)) return CHAIN_ERROR;
  }
  return quillar::chain_result(step(s));
}

void gst_ivf_parse_reset(ParserOutput *output) {
  auto *s = quillar::state_of<IvfParseState>(output);
  quillar::release_adapter(&s->adapter);
  s->phase = IvfPhase::kFileHeader;
}

}  // extern "C"
