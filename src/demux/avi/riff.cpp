// SPDX-License-Identifier: BSD-2-Clause
// RIFF chunks and the AVI stream records ("strh", "strf") read out of
// buffers. The records handed back are heap copies of the whole payload, so
// their fields are read directly: the copy is malloc-aligned and at least as
// long as its record, and RIFF integers are little-endian like the targets.
#include "quillar/riff.h"

#include <bit>
#include <cstddef>
#include <cstdlib>

#include "core/byte_reader.h"
#include "demux/avi/avi_internal.h"
#include "quillar/garray.h"

static_assert(std::endian::native == std::endian::little,
              "the RIFF records are read in place from little-endian copies");

static_assert(offsetof(RiffStreamHeader, type) == 0);
static_assert(offsetof(RiffStreamHeader, handler) == 4);
static_assert(offsetof(RiffStreamHeader, flags) == 8);
static_assert(offsetof(RiffStreamHeader, priority) == 12);
static_assert(offsetof(RiffStreamHeader, initial_frames) == 16);
static_assert(offsetof(RiffStreamHeader, scale) == 20);
static_assert(offsetof(RiffStreamHeader, rate) == 24);
static_assert(offsetof(RiffStreamHeader, start) == 28);
static_assert(offsetof(RiffStreamHeader, length) == 32);
static_assert(offsetof(RiffStreamHeader, buffer_size) == 36);
static_assert(offsetof(RiffStreamHeader, quality) == 40);
static_assert(offsetof(RiffStreamHeader, sample_size) == 44);
static_assert(sizeof(RiffStreamHeader) == 48);

static_assert(offsetof(RiffVideoFormat, size) == 0);
static_assert(offsetof(RiffVideoFormat, width) == 4);
static_assert(offsetof(RiffVideoFormat, height) == 8);
static_assert(offsetof(RiffVideoFormat, planes) == 12);
static_assert(offsetof(RiffVideoFormat, bit_count) == 14);
static_assert(offsetof(RiffVideoFormat, compression) == 16);
static_assert(offsetof(RiffVideoFormat, image_size) == 20);
static_assert(offsetof(RiffVideoFormat, x_pels_per_meter) == 24);
static_assert(offsetof(RiffVideoFormat, y_pels_per_meter) == 28);
static_assert(offsetof(RiffVideoFormat, colors_used) == 32);
static_assert(offsetof(RiffVideoFormat, colors_important) == 36);
static_assert(sizeof(RiffVideoFormat) == 40);

static_assert(offsetof(RiffAudioFormat, format) == 0);
static_assert(offsetof(RiffAudioFormat, channels) == 2);
static_assert(offsetof(RiffAudioFormat, sample_rate) == 4);
static_assert(offsetof(RiffAudioFormat, avg_bytes_per_sec) == 8);
static_assert(offsetof(RiffAudioFormat, block_align) == 12);
static_assert(offsetof(RiffAudioFormat, bits_per_sample) == 14);
static_assert(sizeof(RiffAudioFormat) == 16);

static_assert(offsetof(RiffDvFormat, audio_source_a) == 0);
static_assert(offsetof(RiffDvFormat, video_source) == 16);
static_assert(offsetof(RiffDvFormat, reserved) == 24);
static_assert(sizeof(RiffDvFormat) == 32);

namespace {

using namespace quillar;

constexpr uint32_t kFileHeaderSize = 12;
constexpr uint32_t kAudioExtraSizeAt = 16;
constexpr uint32_t kAudioExtraAt = 18;

// A copy of the whole payload of `buf` as the record type T in *out. The
// caller releases `buf`.
template <typename T>
Status copy_record(GstBuffer *buf, uint32_t minimum, T **out) {
  if (buf->size < minimum) return Status::kInvalid;
  *out = static_cast<T *>(g_memdup(buf->data, buf->size));
  return *out ? Status::kOk : Status::kNoMemory;
}

// A sub-buffer of `buf` for [offset, offset + size) in *out, null for an
// empty range.
Status extra_range(GstBuffer *buf, uint32_t offset, uint32_t size, GstBuffer **out) {
  *out = nullptr;
  if (size == 0) return Status::kOk;
  *out = gst_buffer_create_sub(buf, offset, size);
  return *out ? Status::kOk : Status::kNoMemory;
}

// A format record with its extra data: hands both over on success, releases
// the copy otherwise. Releases `buf`.
template <typename T>
Status finish_format(GstBuffer *buf, Status status, T *copy, GstBuffer *extra, T **strf,
                     GstBuffer **data) {
  gst_buffer_unref(buf);
  if (status != Status::kOk) {
    free(copy);
    gst_buffer_unref(extra);
    return status;
  }
  *strf = copy;
  *data = extra;
  return Status::kOk;
}

// The exported parsers' answer: 1 for a record, 0 for anything else.
int record_result(Status status) { return status == Status::kOk ? 1 : 0; }

}  // namespace

namespace quillar::avi {

Status riff_chunk(GstBuffer *buf, uint32_t *offset, uint32_t *tag_out, GstBuffer **chunk_data) {
  *chunk_data = nullptr;
  *tag_out = 0;
  // Positions and sizes are compared in 64 bits: a position or size near
  // 2^32 must never wrap into a range that looks valid.
  const uint64_t position = *offset;
  const uint64_t total = buf->size;
  if (position >= total || total - position < kChunkHeaderSize) return Status::kNeedMoreData;
  ByteReader r(buf->data, buf->size);
  uint32_t tag = 0, size = 0;
  if (!(r.seek(position) && r.read_le32(&tag) && r.read_le32(&size))) return Status::kNeedMoreData;
  if (size > kRiffMaxChunkSize) return Status::kInvalid;
  const uint64_t room = total - position - kChunkHeaderSize;
  if (size > room) size = static_cast<uint32_t>(room);
  GstBuffer *payload = nullptr;
  if (size != 0) {
    payload = gst_buffer_create_sub(buf, static_cast<uint32_t>(position + kChunkHeaderSize), size);
    if (!payload) return Status::kNoMemory;
  }
  // The next chunk starts at an even distance. A cut odd payload at the very
  // end puts the position one past the buffer (the next call then stops),
  // except in a buffer of 4 GiB - 1 bytes, where that would wrap to 0.
  uint64_t next = position + kChunkHeaderSize + size + (size & 1u);
  if (next > UINT32_MAX) next = total;
  *tag_out = tag;
  *chunk_data = payload;
  *offset = static_cast<uint32_t>(next);
  return Status::kOk;
}

Status riff_strh(GstBuffer *buf, RiffStreamHeader **strh) {
  RiffStreamHeader *copy = nullptr;
  const Status status = copy_record(buf, sizeof(RiffStreamHeader), &copy);
  gst_buffer_unref(buf);
  if (status != Status::kOk) return status;
  if (copy->scale == 0) copy->scale = 1;
  if (copy->rate == 0) copy->rate = 1;
  *strh = copy;
  return Status::kOk;
}

Status riff_strf_vids(GstBuffer *buf, RiffVideoFormat **strf, GstBuffer **data) {
  RiffVideoFormat *copy = nullptr;
  GstBuffer *extra = nullptr;
  Status status = copy_record(buf, sizeof(RiffVideoFormat), &copy);
  if (status == Status::kOk) {
    if (copy->size > buf->size) copy->size = buf->size;
    constexpr uint32_t kFixed = sizeof(RiffVideoFormat);
    status = extra_range(buf, kFixed, buf->size - kFixed, &extra);
  }
  return finish_format(buf, status, copy, extra, strf, data);
}

Status riff_strf_auds(GstBuffer *buf, RiffAudioFormat **strf, GstBuffer **data) {
  RiffAudioFormat *copy = nullptr;
  GstBuffer *extra = nullptr;
  Status status = copy_record(buf, sizeof(RiffAudioFormat), &copy);
  if (status == Status::kOk && buf->size > kAudioExtraAt) {
    ByteReader r(buf->data, buf->size);
    uint16_t declared = 0;
    if (r.seek(kAudioExtraSizeAt) && r.read_le16(&declared)) {
      const uint32_t there = buf->size - kAudioExtraAt;
      const uint32_t length = declared > there ? there : declared;
      status = extra_range(buf, kAudioExtraAt, length, &extra);
    }
  }
  return finish_format(buf, status, copy, extra, strf, data);
}

Status riff_strf_iavs(GstBuffer *buf, RiffDvFormat **strf, GstBuffer **data) {
  RiffDvFormat *copy = nullptr;
  const Status status = copy_record(buf, sizeof(RiffDvFormat), &copy);
  return finish_format(buf, status, copy, static_cast<GstBuffer *>(nullptr), strf, data);
}

}  // namespace quillar::avi

extern "C" {

int gst_riff_parse_chunk(void *element, GstBuffer *buf, guint32 *offset, guint32 *fourcc_out,
                         GstBuffer **chunk_data) {
  if (!element || !buf || !offset || !fourcc_out || !chunk_data) return 0;
  return record_result(quillar::avi::riff_chunk(buf, offset, fourcc_out, chunk_data));
}

int gst_riff_parse_file_header(void *element, GstBuffer *buf, guint32 *doctype) {
  (void)element;
  if (!buf || !doctype) return 0;
  ByteReader r(buf->data, buf->size);
  uint32_t magic = 0, type = 0;
  const bool read = buf->size >= kFileHeaderSize && r.read_le32(&magic) && r.skip(4) &&
                    r.read_le32(&type);
  gst_buffer_unref(buf);
  if (!read || (magic != fourcc("RIFF") && magic != fourcc("AVF0"))) return 0;
  *doctype = type;
  return 1;
}

int gst_riff_parse_strh(void *element, GstBuffer *buf, RiffStreamHeader **strh) {
  (void)element;
  if (!buf || !strh) return 0;
  return record_result(quillar::avi::riff_strh(buf, strh));
}

int gst_riff_parse_strf_vids(void *element, GstBuffer *buf, RiffVideoFormat **strf,
                             GstBuffer **data) {
  (void)element;
  if (!buf || !strf || !data) return 0;
  return record_result(quillar::avi::riff_strf_vids(buf, strf, data));
}

int gst_riff_parse_strf_auds(void *element, GstBuffer *buf, RiffAudioFormat **strf,
                             GstBuffer **data) {
  (void)element;
  if (!buf || !strf || !data) return 0;
  return record_result(quillar::avi::riff_strf_auds(buf, strf, data));
}

int gst_riff_parse_strf_iavs(void *element, GstBuffer *buf, RiffDvFormat **strf,
                             GstBuffer **data) {
  (void)element;
  if (!buf || !strf || !data) return 0;
  return record_result(quillar::avi::riff_strf_iavs(buf, strf, data));
}

}  // extern "C"
