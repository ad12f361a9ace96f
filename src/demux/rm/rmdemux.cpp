// SPDX-License-Identifier: BSD-2-Clause
// RealMedia demultiplexer: the chunk walker. A RealMedia file is a sequence
// of chunks, each with a 10-byte header (tag, size counting the header,
// version; big-endian). The walker keeps the RealVideo stream descriptions
// (MDPR), publishes the frame size and codec-private bytes, steps over every
// other chunk, and hands the packets of DATA chunks to the packet layer.
#include "demux/rm/rm_internal.h"

#include <cctype>
#include <cstdlib>
#include <cstring>

#include "format/format.h"
#include "containers/list_internal.h"
#include "core/byte_reader.h"
#include "core/internal.h"
#include "quillar/garray.h"
#include "quillar/rmutils.h"

namespace quillar::rm {

void enter_end(RmDemuxState *s) {
  s->state = kRmEnd;
  gst_adapter_clear(s->adapter);
}

}  // namespace quillar::rm

namespace {

using namespace quillar;

constexpr uint32_t kChunkHeaderSize = 10;
constexpr uint32_t kDataHeaderSize = 8;
constexpr uint32_t kIndexHeaderSize = 10;
constexpr uint64_t kIndexRecordSize = 14;
// Bytes of an MDPR body before the stream name: stream number, bit rates,
// packet sizes, start time, preroll, duration.
constexpr uint32_t kMdprNameOffset = 30;
// The RealVideo type-specific data behind the MIME type: its 32-bit length,
// the header's size, tag and codec (16 bytes to the coded size), width and
// height, then 10 bytes of bit depth, frame rate and the rest before the
// codec-private data.
constexpr uint32_t kVideoSizeOffset = 16;
constexpr uint32_t kVideoCodecDataOffset = 10;
// Chunk bodies examined in place are held whole in the input adapter; real
// ones are a few hundred bytes. A larger MDPR is not kept (and skipped as it
// streams past); a larger INDX has its header read without waiting for the
// rest of the body.
constexpr uint32_t kMaxHeaderBody = 16u << 20;

struct TagRoute {
  uint32_t tag;
  quillar::RmState state;
};

constexpr TagRoute kTagRoutes[] = {
    {fourcc(".RMF"), quillar::kRmFileHeader}, {fourcc("PROP"), quillar::kRmProperties},
    {fourcc("MDPR"), quillar::kRmMediaProperties}, {fourcc("CONT"), quillar::kRmContent},
    {fourcc("DATA"), quillar::kRmDataHeader}, {fourcc("INDX"), quillar::kRmIndexHeader},
};

constexpr const char *kVideoMimeTypes[] = {"video/x-pn-realvideo",
                                           "video/x-pn-multirate-realvideo"};

quillar::RmState route(uint32_t tag) {
  for (const TagRoute &r : kTagRoutes)
    if (r.tag == tag) return r.state;
  return quillar::kRmSkipChunk;
}

bool is_video_mime(const char *mime) {
  for (const char *v : kVideoMimeTypes)
    if (strcmp(mime, v) == 0) return true;
  return false;
}

void free_stream(void *data) {
  auto *stream = static_cast<RmStream *>(data);
  if (!stream) return;
  free(stream->assembly);
  free(stream);
}

Status chunk_header(RmDemuxState *s) {
  if (gst_adapter_available(s->adapter) < kChunkHeaderSize) return Status::kNeedMoreData;
  uint8_t p[kChunkHeaderSize];
  gst_adapter_copy(s->adapter, p, 0, kChunkHeaderSize);
  ByteReader r(p, sizeof p);
  uint32_t tag = 0, size = 0;
  uint16_t version = 0;
  if (!(r.read_le32(&tag) && r.read_be32(&size) && r.read_be16(&version))) return Status::kNeedMoreData;
  for (int i = 0; i < 4; i++) {
    if (!isprint(static_cast<unsigned char>(p[i]))) {
      // Not a chunk header: look again four bytes further on.
      gst_adapter_flush(s->adapter, 4);
      return Status::kOk;
    }
  }
  gst_adapter_flush(s->adapter, kChunkHeaderSize);
  s->chunk_tag = tag;
  s->chunk_size = size - kChunkHeaderSize;
  s->chunk_version = version;
  s->state = route(tag);
  if (s->state == quillar::kRmDataHeader) {
    s->chunk_size = kDataHeaderSize;  // the DATA chunk's own size is not used
  } else if (size < kChunkHeaderSize) {
    // A body of nearly 4 GiB: nothing after this header can be reached.
    quillar::rm::enter_end(s);
  } else if (s->state == quillar::kRmMediaProperties && s->chunk_size > kMaxHeaderBody) {
    s->state = quillar::kRmSkipChunk;
  }
  return Status::kOk;
}

// Chunks whose bodies are only stepped over are released as they arrive.
Status skip_body(RmDemuxState *s) {
  release_arrived(s->adapter, &s->chunk_size);
  if (s->chunk_size > 0) return Status::kNeedMoreData;
  s->state = quillar::kRmChunkHeader;
  return Status::kOk;
}

// Reads a length-prefixed string and moves past it: kOk with the copy in
// *out, kInvalid when the string runs past the reader, or kNoMemory.
Status take_string8(ByteReader *r, char **out) {
  ByteReader probe = *r;
  uint8_t n = 0;
  if (!probe.read_u8(&n) || !probe.has(n)) return Status::kInvalid;
  uint32_t used = 0;
  *out = gst_rm_utils_read_string8(r->current(), static_cast<uint32_t>(r->remaining()), &used);
  if (!*out) return Status::kNoMemory;
  return r->skip(used) ? Status::kOk : Status::kInvalid;
}

// Parses one MDPR body. A RealVideo stream long enough for its video header
// is kept and published; every other stream, and every body too short for
// the fields it should hold, is dropped. Returns kNoMemory, with nothing
// kept or published, when memory runs out.
Status media_properties(RmDemuxState *s, const uint8_t *body, uint32_t size) {
  ByteReader r(body, size);
  uint16_t id = 0;
  if (!(r.read_be16(&id) && r.seek(kMdprNameOffset))) return Status::kOk;
  char *name = nullptr, *mime = nullptr;
  Status got = take_string8(&r, &name);
  if (got == Status::kOk) got = take_string8(&r, &mime);
  free(name);
  const bool video = got == Status::kOk && is_video_mime(mime);
  free(mime);
  if (got == Status::kNoMemory) return got;
  if (!video) return Status::kOk;

  uint16_t width = 0, height = 0;
  if (!(r.skip(kVideoSizeOffset) && r.read_be16(&width) && r.read_be16(&height) &&
        r.skip(kVideoCodecDataOffset)))
    return Status::kOk;
  const uint32_t codec_size = static_cast<uint32_t>(r.remaining());

  auto *stream = static_cast<RmStream *>(_g_new0(sizeof(RmStream), 1));
  if (!stream) return Status::kNoMemory;
  stream->kind = 1;
  stream->id = id;
  GstBuffer *codec = codec_size ? gst_buffer_new_and_alloc(codec_size) : nullptr;
  if ((codec_size && !codec) ||
      !quillar::slist_append(&s->streams, stream)) {
    gst_buffer_unref(codec);
    free_stream(stream);
    return Status::kNoMemory;
  }
  if (codec) {
    (void)r.read_bytes(codec->data, codec_size);
    s->output->codec_data = codec;
  }
  s->output->width = width;
  s->output->height = height;
  return Status::kOk;
}

Status media_properties_state(RmDemuxState *s) {
  if (gst_adapter_available(s->adapter) < s->chunk_size) return Status::kNeedMoreData;
  const uint8_t *body = s->chunk_size ? gst_adapter_peek(s->adapter, s->chunk_size) : nullptr;
  // The body could not be assembled: tried again on the next call.
  if (s->chunk_size && !body) return Status::kNoMemory;
  const Status parsed = media_properties(s, body, s->chunk_size);
  if (parsed != Status::kOk) return parsed;
  gst_adapter_flush(s->adapter, s->chunk_size);
  s->state = quillar::kRmChunkHeader;
  return Status::kOk;
}

Status index_header(RmDemuxState *s) {
  const uint32_t body = s->chunk_size;
  if (body < kIndexHeaderSize) return skip_body(s);
  const uint32_t wait = body <= kMaxHeaderBody ? body : kIndexHeaderSize;
  if (gst_adapter_available(s->adapter) < wait) return Status::kNeedMoreData;
  uint8_t header[kIndexHeaderSize];
  gst_adapter_copy(s->adapter, header, 0, kIndexHeaderSize);
  ByteReader r(header, sizeof header);
  uint32_t records = 0;
  if (!r.read_be32(&records)) return Status::kNeedMoreData;
  gst_adapter_flush(s->adapter, kIndexHeaderSize);
  const uint64_t bytes = kIndexRecordSize * records;
  if (bytes > UINT32_MAX) {
    // Records that reach past 4 GiB: nothing after them can be reached.
    quillar::rm::enter_end(s);
    return Status::kOk;
  }
  s->chunk_size = static_cast<uint32_t>(bytes);
  s->state = quillar::kRmIndexRecords;
  return Status::kOk;
}

Status data_header(RmDemuxState *s) {
  uint8_t header[kDataHeaderSize];
  if (gst_adapter_available(s->adapter) < kDataHeaderSize) return Status::kNeedMoreData;
  gst_adapter_copy(s->adapter, header, 0, kDataHeaderSize);
  ByteReader r(header, sizeof header);
  if (!(r.read_be32(&s->packets_total) && r.read_be32(&s->next_data_offset)))
    return Status::kNeedMoreData;
  s->packets_seen = 0;
  gst_adapter_flush(s->adapter, kDataHeaderSize);
  s->state = quillar::kRmDataPacket;
  return Status::kOk;
}

Status step(RmDemuxState *s) {
  switch (s->state) {
    case quillar::kRmChunkHeader: return chunk_header(s);
    case quillar::kRmSkipChunk:
    case quillar::kRmFileHeader:
    case quillar::kRmProperties:
    case quillar::kRmContent:
    case quillar::kRmIndexRecords: return skip_body(s);
    case quillar::kRmMediaProperties: return media_properties_state(s);
    case quillar::kRmIndexHeader: return index_header(s);
    case quillar::kRmDataHeader: return data_header(s);
    case quillar::kRmDataPacket: return quillar::rm::data_packet(s);
    case quillar::kRmEnd: return Status::kNeedMoreData;
    default:
      s->state = quillar::kRmChunkHeader;
      return Status::kOk;
  }
}

}  // namespace

extern "C" {

int32_t gst_rmdemux_chain(ParserOutput *output, GstBuffer *buffer) {
  auto *s = quillar::state_of<RmDemuxState>(output);
  if (!quillar::ensure_adapter(&s->adapter, buffer)) return CHAIN_ERROR;
  if (s->state == quillar::kRmEnd) {
    gst_buffer_unref(buffer);
    return CHAIN_OK;
  }
  if (!quillar::adapter_push(s->adapter, buffer)) return CHAIN_ERROR;
  // One item at a time: stop as soon as a frame or the codec data waits, and
  // as soon as a step fails, so that a failure is never hidden by later work.
  Status status = Status::kOk;
  while (status == Status::kOk && !output->frames && !output->codec_data) status = step(s);
  return quillar::chain_result(status);
}

int gst_rmdemux_reset(ParserOutput *output) {
  auto *s = quillar::state_of<RmDemuxState>(output);
  g_slist_foreach(s->streams, [](void *data, void *) { free_stream(data); }, nullptr);
  g_slist_free(s->streams);
  s->streams = nullptr;
  quillar::release_adapter(&s->adapter);
  s->state = quillar::kRmChunkHeader;
  s->chunk_tag = 0;
  s->chunk_size = 0;
  s->chunk_version = 0;
  s->packets_total = 0;
  s->packets_seen = 0;
  s->next_data_offset = 0;
  return 1;
}

}  // extern "C"
