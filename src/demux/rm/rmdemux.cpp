// RealMedia demultiplexer: the chunk walker. A RealMedia file is a sequence
// of chunks, each with a 10-byte header (tag, size counting the header,
// version; big-endian). The walker keeps the RealVideo stream descriptions
// (MDPR), publishes the frame size and codec-private bytes, steps over every
// other chunk, and hands the packets of DATA chunks to the packet layer.
#include "demux/rm/rmdemux.h"

#include <cctype>
#include <cstdlib>
#include <cstring>

#include "api/parser_output.h"
#include "containers/list_internal.h"
#include "core/byte_reader.h"
#include "core/internal.h"
#include "quillar/garray.h"
#include "quillar/rmutils.h"

namespace quillar {

void rm_enter_end(RmDemuxState *s) {
  s->state = kRmEnd;
  gst_adapter_clear(s->adapter);
}

}  // namespace quillar

namespace {

using quillar::ByteReader;
using quillar::fourcc;
using quillar::RmDemuxState;
using quillar::RmStep;
using quillar::RmStream;

constexpr uint32_t kChunkHeaderSize = 10;
constexpr uint32_t kDataHeaderSize = 8;
constexpr uint32_t kIndexHeaderSize = 10;
constexpr uint64_t kIndexRecordSize = 14;
// Bytes of an MDPR body before the stream name: stream number, bit rates,
// packet sizes, start time, preroll, duration.
constexpr uint32_t kMdprNameOffset = 30;
// Bytes of the RealVideo header before the codec-private data: size, tag,
// codec, width, height, depth, frame rate and the rest.
constexpr uint32_t kVideoHeaderSize = 26;
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
  gst_adapter_unref(stream->pieces);
  free(stream);
}

RmStep chunk_header(RmDemuxState *s) {
  if (gst_adapter_available(s->adapter) < kChunkHeaderSize) return RmStep::kNeedData;
  uint8_t p[kChunkHeaderSize];
  gst_adapter_copy(s->adapter, p, 0, kChunkHeaderSize);
  ByteReader r(p, sizeof p);
  uint32_t tag = 0, size = 0;
  uint16_t version = 0;
  if (!(r.read_le32(&tag) && r.read_be32(&size) && r.read_be16(&version))) return RmStep::kNeedData;
  for (int i = 0; i < 4; i++) {
    if (!isprint(static_cast<unsigned char>(p[i]))) {
      // Not a chunk header: look again four bytes further on.
      gst_adapter_flush(s->adapter, 4);
      return RmStep::kDone;
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
    quillar::rm_enter_end(s);
  } else if (s->state == quillar::kRmMediaProperties && s->chunk_size > kMaxHeaderBody) {
    s->state = quillar::kRmSkipChunk;
  }
  return RmStep::kDone;
}

// Chunks whose bodies are only stepped over are released as they arrive.
RmStep skip_body(RmDemuxState *s) {
  const uint32_t available = gst_adapter_available(s->adapter);
  const uint32_t n = available < s->chunk_size ? available : s->chunk_size;
  gst_adapter_flush(s->adapter, n);
  s->chunk_size -= n;
  if (s->chunk_size > 0) return RmStep::kNeedData;
  s->state = quillar::kRmChunkHeader;
  return RmStep::kDone;
}

// Reads a length-prefixed string and moves past it. Returns 1 with the copy
// in *out, 0 when the string runs past the reader, -1 when out of memory.
int take_string8(ByteReader *r, char **out) {
  ByteReader probe = *r;
  uint8_t n = 0;
  if (!probe.read_u8(&n) || !probe.has(n)) return 0;
  uint32_t used = 0;
  *out = gst_rm_utils_read_string8(r->current(), static_cast<uint32_t>(r->remaining()), &used);
  if (!*out) return -1;
  return r->skip(used) ? 1 : 0;
}

// Parses one MDPR body. A RealVideo stream long enough for its video header
// is kept and published; every other stream, and every body too short for
// the fields it should hold, is dropped. Returns CHAIN_ERROR, with nothing
// kept or published, when memory runs out.
int32_t media_properties(RmDemuxState *s, const uint8_t *body, uint32_t size) {
  ByteReader r(body, size);
  uint16_t id = 0;
  if (!(r.read_be16(&id) && r.seek(kMdprNameOffset))) return CHAIN_OK;
  char *name = nullptr, *mime = nullptr;
  int got = take_string8(&r, &name);
  if (got > 0) got = take_string8(&r, &mime);
  free(name);
  const bool video = got > 0 && is_video_mime(mime);
  free(mime);
  if (got < 0) return CHAIN_ERROR;
  if (!video) return CHAIN_OK;

  uint16_t width = 0, height = 0;
  if (!(r.skip(4) && r.skip(12) && r.read_be16(&width) && r.read_be16(&height) && r.skip(10)))
    return CHAIN_OK;
  const uint32_t codec_size = static_cast<uint32_t>(r.remaining());

  auto *stream = static_cast<RmStream *>(_g_new0(sizeof(RmStream), 1));
  if (!stream) return CHAIN_ERROR;
  stream->kind = 1;
  stream->id = id;
  stream->pieces = gst_adapter_new();
  GstBuffer *codec = codec_size ? gst_buffer_new_and_alloc(codec_size) : nullptr;
  if (!stream->pieces || (codec_size && !codec) ||
      !quillar::slist_append(&s->streams, stream)) {
    gst_buffer_unref(codec);
    free_stream(stream);
    return CHAIN_ERROR;
  }
  if (codec) {
    (void)r.read_bytes(codec->data, codec_size);
    s->output->codec_data = codec;
  }
  s->output->width = width;
  s->output->height = height;
  return CHAIN_OK;
}

RmStep media_properties_state(RmDemuxState *s, int32_t *pending) {
  if (gst_adapter_available(s->adapter) < s->chunk_size) return RmStep::kNeedData;
  const uint8_t *body = s->chunk_size ? gst_adapter_peek(s->adapter, s->chunk_size) : nullptr;
  if (s->chunk_size && !body) {
    *pending = CHAIN_ERROR;  // the body could not be assembled: try again later
    return RmStep::kDone;
  }
  *pending = media_properties(s, body, s->chunk_size);
  if (*pending != CHAIN_OK) return RmStep::kDone;
  gst_adapter_flush(s->adapter, s->chunk_size);
  s->state = quillar::kRmChunkHeader;
  return RmStep::kDone;
}

RmStep index_header(RmDemuxState *s) {
  const uint32_t body = s->chunk_size;
  if (body < kIndexHeaderSize) return skip_body(s);
  const uint32_t wait = body <= kMaxHeaderBody ? body : kIndexHeaderSize;
  if (gst_adapter_available(s->adapter) < wait) return RmStep::kNeedData;
  uint8_t header[kIndexHeaderSize];
  gst_adapter_copy(s->adapter, header, 0, kIndexHeaderSize);
  ByteReader r(header, sizeof header);
  uint32_t records = 0;
  if (!r.read_be32(&records)) return RmStep::kNeedData;
  gst_adapter_flush(s->adapter, kIndexHeaderSize);
  const uint64_t bytes = kIndexRecordSize * records;
  if (bytes > UINT32_MAX) {
    // Records that reach past 4 GiB: nothing after them can be reached.
    quillar::rm_enter_end(s);
    return RmStep::kDone;
  }
  s->chunk_size = static_cast<uint32_t>(bytes);
  s->state = quillar::kRmIndexRecords;
  return RmStep::kDone;
}

RmStep data_header(RmDemuxState *s) {
  uint8_t header[kDataHeaderSize];
  if (gst_adapter_available(s->adapter) < kDataHeaderSize) return RmStep::kNeedData;
  gst_adapter_copy(s->adapter, header, 0, kDataHeaderSize);
  ByteReader r(header, sizeof header);
  if (!(r.read_be32(&s->packets_total) && r.read_be32(&s->next_data_offset)))
    return RmStep::kNeedData;
  s->packets_seen = 0;
  gst_adapter_flush(s->adapter, kDataHeaderSize);
  s->state = quillar::kRmDataPacket;
  return RmStep::kDone;
}

RmStep step(RmDemuxState *s, int32_t *pending) {
  switch (s->state) {
    case quillar::kRmChunkHeader: return chunk_header(s);
    case quillar::kRmSkipChunk:
    case quillar::kRmFileHeader:
    case quillar::kRmProperties:
    case quillar::kRmContent:
    case quillar::kRmIndexRecords: return skip_body(s);
    case quillar::kRmMediaProperties: return media_properties_state(s, pending);
    case quillar::kRmIndexHeader: return index_header(s);
    case quillar::kRmDataHeader: return data_header(s);
    case quillar::kRmDataPacket: return quillar::rm_data_packet(s, pending);
    case quillar::kRmEnd: return RmStep::kNeedData;
    default:
      s->state = quillar::kRmChunkHeader;
      return RmStep::kDone;
  }
}

}  // namespace

extern "C" {

int32_t gst_rmdemux_chain(ParserOutput *output, GstBuffer *buffer) {
  auto *s = quillar::state_of<RmDemuxState>(output);
  if (!s->adapter) s->adapter = gst_adapter_new();
  if (!s->adapter) {
    gst_buffer_unref(buffer);
    return CHAIN_ERROR;
  }
  if (s->state == quillar::kRmEnd) {
    gst_buffer_unref(buffer);
    return CHAIN_OK;
  }
  if (!quillar::adapter_push(s->adapter, buffer)) return CHAIN_ERROR;
  // One item at a time: stop as soon as a frame or the codec data waits, and
  // as soon as a step fails, so that a failure is never hidden by later work.
  int32_t pending = CHAIN_OK;
  while (!output->frames && !output->codec_data && pending == CHAIN_OK) {
    if (step(s, &pending) == RmStep::kNeedData) break;
  }
  return pending;
}

int gst_rmdemux_reset(ParserOutput *output) {
  auto *s = quillar::state_of<RmDemuxState>(output);
  g_slist_foreach(s->streams, [](void *data, void *) { free_stream(data); }, nullptr);
  g_slist_free(s->streams);
  s->streams = nullptr;
  gst_adapter_unref(s->adapter);
  s->adapter = nullptr;
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
