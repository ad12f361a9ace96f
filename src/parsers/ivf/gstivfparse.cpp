// IVF framer: a 32-byte file header ("DKIF"), then frames each preceded by a
// 12-byte header (32-bit size, 64-bit timestamp), all little-endian.
#include "parsers/ivf/gstivfparse.h"


#include "format/format.h"
#include "core/byte_reader.h"
#include "core/diag.h"
#include "core/internal.h"

namespace {

using quillar::ByteReader;
using quillar::Diag;
using quillar::fourcc;
using quillar::IvfParseState;

constexpr uint32_t kFileHeaderSize = 32;
constexpr uint32_t kFrameHeaderSize = 12;

enum Phase : uint32_t {
  kFileHeader = 0,
  kFrames = 1,
  // A frame header declared a size that can never be buffered: the stream
  // ends there, and everything pushed from then on is released at once.
  kDiscard = 2,
};

// Reads and flushes the file header; returns whether it is a valid one.
bool take_file_header(GstAdapter *adapter) {
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
    return false;
  Diag().text("IVF Stream has ").i32(static_cast<int32_t>(frames)).text(" frames\n").print();
  return true;
}

// Cuts at most one frame; zero-length records on the way are counted as
// skipped frames (they carry nothing to hand out).
int32_t take_frame(IvfParseState *s) {
  GstAdapter *adapter = s->adapter;
  for (;;) {
    const uint32_t available = gst_adapter_available(adapter);
    if (available <= kFrameHeaderSize) return CHAIN_OK;
    ByteReader r(gst_adapter_peek(adapter, kFrameHeaderSize), kFrameHeaderSize);
    uint32_t size = 0;
    uint64_t pts = 0;
    if (!(r.read_le32(&size) && r.read_le64(&pts))) return CHAIN_ERROR;
    Diag().text("In IVF Read frame header: size ").u32(size).text(", pts ").u64(pts).text("\n").print();
    const uint64_t record = static_cast<uint64_t>(size) + kFrameHeaderSize;
    if (record > UINT32_MAX) {
      puts("Header Data Not yet available");
      s->phase = kDiscard;
      gst_adapter_clear(adapter);
      return CHAIN_OK;
    }
    if (available < record) {
      puts("Header Data Not yet available");
      return CHAIN_OK;
    }
    gst_adapter_flush(adapter, kFrameHeaderSize);
    if (size == 0) {
      s->output->skipped_frames++;
      continue;
    }
    GstBuffer *frame = gst_adapter_take_buffer(adapter, size);
    if (!frame) return CHAIN_ERROR;
    return quillar::queue_frame(s->output, frame) ? CHAIN_OK : CHAIN_ERROR;
  }
}

}  // namespace

bool quillar::ivf_probe(const uint8_t *head) {
  ByteReader r(head, kProbeSize);
  uint32_t signature = 0;
  return r.read_le32(&signature) && signature == fourcc("DKIF");
}

extern "C" {

int32_t gst_ivf_parse_chain(ParserOutput *output, GstBuffer *buffer) {
  auto *s = quillar::state_of<IvfParseState>(output);
  if (!s->adapter) s->adapter = gst_adapter_new();
  if (!s->adapter) {
    gst_buffer_unref(buffer);
    return CHAIN_ERROR;
  }
  if (buffer) {
    Diag().text("In IVF Pushing buffer of size ").u32(buffer->size).text(" to adapter\n").print();
    if (s->phase == kDiscard) {
      gst_buffer_unref(buffer);
      puts("Header Data Not yet available");
      return CHAIN_OK;
    }
    if (!quillar::adapter_push(s->adapter, buffer)) return CHAIN_ERROR;
  }
  switch (s->phase) {
    case kFileHeader:
      if (gst_adapter_available(s->adapter) < kFileHeaderSize) {
        puts("Header Data Not yet available");
        return CHAIN_OK;
      }
      if (!take_file_header(s->adapter)) {
        puts("Not a Valid IVF Input File");
        return CHAIN_ERROR;
      }
      s->phase = kFrames;
      return take_frame(s);
    case kFrames:
      return take_frame(s);
    default:
      return CHAIN_OK;
  }
}

void gst_ivf_parse_reset(ParserOutput *output) {
  auto *s = quillar::state_of<IvfParseState>(output);
  if (s->adapter) {
    gst_adapter_unref(s->adapter);
    s->adapter = nullptr;
  }
  s->phase = kFileHeader;
}

}  // extern "C"
