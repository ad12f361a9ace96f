// SPDX-License-Identifier: BSD-2-Clause
// The walk over the ASF header object: file properties (packet size,
// broadcast flag), stream properties (video streams, their frame size and
// codec-private bytes), header extensions and nested headers. Everything
// else is stepped over; encrypted or signed files are refused.

#include "demux/asf/asf_internal.h"

namespace quillar::asf {

bool read_guid(ByteReader &r, AsfGuidValue *guid) {
  return r.read_le32(&guid->v1) && r.read_le32(&guid->v2) && r.read_le32(&guid->v3) &&
         r.read_le32(&guid->v4);
}

bool read_object_header(ByteReader &r, uint32_t *id, uint64_t *size) {
  AsfGuidValue guid;
  if (!r.has(kObjectHeaderSize) || !read_guid(r, &guid) || !r.read_le64(size)) return false;
  *id = gst_asf_identify_guid(asf_object_guids, &guid);
  return true;
}

namespace {

// Header objects and header extensions may contain each other. Real files
// nest two deep (header, extension); a few more levels are allowed, anything
// deeper is refused rather than recursed into.
constexpr int kMaxNesting = 4;

// The fields before a header object's sub-objects: their count and two
// reserved bytes.
constexpr size_t kHeaderObjectFields = 6;
// A header extension's reserved GUID and 16-bit field, then the 32-bit size
// of the sub-objects that follow.
constexpr size_t kExtensionReserved = 18;
constexpr size_t kExtensionFields = kExtensionReserved + 4;

// Offsets inside the object data (object offset - 24).
constexpr size_t kFileFlags = 64;           // then minimum and maximum packet size
constexpr size_t kFileDataMin = 80;
constexpr size_t kStreamNumber = 48;
constexpr size_t kStreamDataMin = 54;
constexpr uint64_t kVideoStreamObjectMin = 129;  // through the bitmap header
constexpr size_t kBitmapHeaderSize = 65;    // then width, height
constexpr size_t kCodecPrivate = 105;
constexpr uint32_t kBitmapHeaderBase = 40;  // bytes before the codec-private ones

struct Walk {
  AsfDemuxState *state;
  bool file_properties_seen;
};

// One handled object: its data (`body`, the whole of it), its declared size
// and its nesting depth (0 for the outermost header).
using Handler = Status (*)(Walk &w, ByteReader &body, uint64_t object_size, int depth);

Status walk_object(Walk &w, ByteReader &parent, int depth);

Status header_object(Walk &w, ByteReader &body, uint64_t, int depth) {
  uint32_t count = 0;
  if (body.size() < kHeaderObjectFields || depth >= kMaxNesting || !body.read_le32(&count) ||
      !body.skip(kHeaderObjectFields - 4))
    return Status::kInvalid;
  // VLC's muxer declares one sub-object more than it writes: sub-objects
  // that fill the header exactly make it complete, whatever the count says.
  // A gap too short for an object is still an incomplete object.
  for (uint32_t i = 0; i < count && body.remaining() != 0; i++) {
    // Every successful walk consumes at least 24 bytes, so a huge count ends
    // with an incomplete object once the bytes run out.
    const Status result = walk_object(w, body, depth + 1);
    if (result != Status::kOk) return result;
  }
  return Status::kOk;
}

Status header_extension(Walk &w, ByteReader &body, uint64_t, int depth) {
  uint32_t size = 0;
  ByteReader inner;
  if (body.size() < kExtensionFields || depth >= kMaxNesting || !body.skip(kExtensionReserved) ||
      !body.read_le32(&size) || !body.sub(size, &inner))
    return Status::kInvalid;
  while (inner.remaining() != 0) {
    const Status result = walk_object(w, inner, depth + 1);
    if (result != Status::kOk) return result;
  }
  return Status::kOk;
}

Status file_properties(Walk &w, ByteReader &body, uint64_t, int) {
  uint32_t flags = 0, min_packet = 0, max_packet = 0;
  if (body.size() < kFileDataMin || !body.skip(kFileFlags) || !body.read_le32(&flags) ||
      !body.read_le32(&min_packet) || !body.read_le32(&max_packet))
    return Status::kInvalid;
  w.state->broadcast = flags & 1;
  w.state->packet_size = max_packet;
  w.file_properties_seen = true;
  return min_packet == max_packet ? Status::kOk : Status::kInvalid;
}

Status stream_properties(Walk &w, ByteReader &body, uint64_t object_size, int) {
  AsfDemuxState *s = w.state;
  AsfGuidValue type;
  uint16_t flags = 0;
  if (body.size() < kStreamDataMin || !read_guid(body, &type) || !body.seek(kStreamNumber) ||
      !body.read_le16(&flags))
    return Status::kOk;
  if (gst_asf_identify_guid(asf_stream_guids, &type) != ASF_STREAM_VIDEO) return Status::kOk;
  if (object_size < kVideoStreamObjectMin) return Status::kOk;
  // The table is full: a further stream is ignored altogether, so what the
  // registered streams published stays as it is.
  if (s->stream_count >= ASF_MAX_STREAMS) return Status::kOk;

  uint32_t header_size = 0, width = 0, height = 0;
  if (!body.seek(kBitmapHeaderSize) || !body.read_le32(&header_size) || !body.read_le32(&width) ||
      !body.read_le32(&height) || !body.seek(kCodecPrivate))
    return Status::kOk;
  const uint32_t private_size = header_size - kBitmapHeaderBase;  // wraps below 40: never fits
  GstBuffer *codec_data = nullptr;
  if (header_size != kBitmapHeaderBase && object_size - kVideoStreamObjectMin >= private_size) {
    codec_data = gst_buffer_new_and_alloc(private_size);
    if (!codec_data) return Status::kNoMemory;
    if (!body.read_bytes(codec_data->data, private_size)) {
      gst_buffer_unref(codec_data);
      return Status::kInvalid;
    }
  }
  GArray *objects = g_array_new(0, 0, sizeof(AsfMediaObject));
  if (!objects) {
    gst_buffer_unref(codec_data);
    return Status::kNoMemory;
  }

  ParserOutput *out = s->output;
  out->width = static_cast<uint16_t>(width);
  out->height = static_cast<uint16_t>(height);
  if (out->codec_data) gst_buffer_unref(out->codec_data);
  out->codec_data = codec_data;  // NULL clears what an earlier stream left

  AsfStreamRecord &record = s->streams[s->stream_count++];
  record.stream_number = flags & 0x7F;
  record.objects = objects;
  return Status::kOk;
}

Status refuse(Walk &, ByteReader &, uint64_t, int) { return Status::kInvalid; }

const struct {
  uint32_t id;
  Handler handler;
} kHandlers[] = {
    {ASF_OBJ_HEADER, header_object},
    {ASF_OBJ_HEAD1, header_extension},
    {ASF_OBJ_FILE, file_properties},
    {ASF_OBJ_STREAM, stream_properties},
    // Encrypted or signed content cannot be handed to a decoder as it is.
    {ASF_OBJ_CONTENT_ENCRYPTION, refuse},
    {ASF_OBJ_EXT_CONTENT_ENCRYPTION, refuse},
    {ASF_OBJ_DIGITAL_SIGNATURE_OBJECT, refuse},
    {ASF_OBJ_UNKNOWN_ENCRYPTION_OBJECT, refuse},
    // Every other object (extended stream properties, data, indexes,
    // bitrates, padding, metadata, ...) is stepped over.
};

// Consumes one object from `parent`: its header, then (if it fits) its data.
Status walk_object(Walk &w, ByteReader &parent, int depth) {
  uint32_t id = 0;
  uint64_t size = 0;
  // A sub-object (or its 24-byte header) that does not fit in its parent.
  if (!read_object_header(parent, &id, &size)) return Status::kInvalid;
  const uint64_t data_size = size - kObjectHeaderSize;  // a size below 24 never fits
  ByteReader body;
  if (data_size > parent.remaining() || !parent.sub(data_size, &body)) return Status::kInvalid;
  for (const auto &h : kHandlers)
    if (h.id == id) return h.handler(w, body, size, depth);
  return Status::kOk;
}

}  // namespace

Status walk_header(AsfDemuxState *state, const uint8_t *data, uint32_t size) {
  Walk w{state, false};
  ByteReader r(data, size);
  const Status walked = walk_object(w, r, 0);
  if (walked != Status::kOk) return walked;
  // Without a packet size of at least 8 no data packet could ever be taken.
  if (!w.file_properties_seen || state->packet_size < kMinPacketSize) return Status::kInvalid;
  return Status::kOk;
}

}  // namespace quillar::asf
