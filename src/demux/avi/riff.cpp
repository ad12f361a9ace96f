// RIFF chunks and the AVI stream records ("strh", "strf") read out of
// buffers. The records handed back are heap copies of the whole payload, so
// their fields are read directly: the copy is malloc-aligned and at least as
// long as its record, and RIFF integers are little-endian like the targets.
#include "quillar/riff.h"

#include <bit>
#include <cstddef>
#include <cstdlib>

#include "core/byte_reader.h"
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

using quillar::ByteReader;
using quillar::fourcc;

constexpr uint32_t kChunkHeaderSize = 8;
constexpr uint32_t kFileHeaderSize = 12;
constexpr uint32_t kMaxChunkSize = 0x7FFFFFFF;  // the top bit set is refused
constexpr uint32_t kAudioExtraSizeAt = 16;
constexpr uint32_t kAudioExtraAt = 18;

// A copy of the whole payload of `buf` as the record type T, or null when it
// is shorter than `minimum` or memory runs out. The caller releases `buf`.
template <typename T>
T *copy_record(GstBuffer *buf, uint32_t minimum) {
  if (buf->size < minimum) return nullptr;
  return static_cast<T *>(g_memdup(buf->data, buf->size));
}

// A sub-buffer of `buf` for [offset, offset + size), or null for an empty
// range. Sets *failed when the sub-buffer cannot be made.
GstBuffer *extra_range(GstBuffer *buf, uint32_t offset, uint32_t size, bool *failed) {
  if (size == 0) return nullptr;
  GstBuffer *sub = gst_buffer_create_sub(buf, offset, size);
  if (!sub) *failed = true;
  return sub;
}

}  // namespace

extern "C" {

int gst_riff_parse_chunk(void *element, GstBuffer *buf, guint32 *offset, guint32 *fourcc_out,
                         GstBuffer **chunk_data) {
  if (!element || !buf || !offset || !fourcc_out || !chunk_data) return 0;
  *chunk_data = nullptr;
  *fourcc_out = 0;
  // Positions and sizes are compared in 64 bits: a position or size near
  // 2^32 must never wrap into a range that looks valid.
  const uint64_t position = *offset;
  const uint64_t total = buf->size;
  if (position >= total || total - position < kChunkHeaderSize) return 0;
  ByteReader r(buf->data, buf->size);
  uint32_t tag = 0, size = 0;
  if (!(r.seek(position) && r.read_le32(&tag) && r.read_le32(&size))) return 0;
  if (size > kMaxChunkSize) return 0;
  const uint64_t room = total - position - kChunkHeaderSize;
  if (size > room) size = static_cast<uint32_t>(room);
  GstBuffer *payload = nullptr;
  if (size != 0) {
    payload = gst_buffer_create_sub(buf, static_cast<uint32_t>(position + kChunkHeaderSize), size);
    if (!payload) return 0;
  }
  // The next chunk starts at an even distance. A cut odd payload at the very
  // end puts the position one past the buffer (the next call then stops),
  // except in a buffer of 4 GiB - 1 bytes, where that would wrap to 0.
  uint64_t next = position + kChunkHeaderSize + size + (size & 1u);
  if (next > UINT32_MAX) next = total;
  *fourcc_out = tag;
  *chunk_data = payload;
  *offset = static_cast<uint32_t>(next);
  return 1;
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
  auto *copy = copy_record<RiffStreamHeader>(buf, sizeof(RiffStreamHeader));
  gst_buffer_unref(buf);
  if (!copy) return 0;
  if (copy->scale == 0) copy->scale = 1;
  if (copy->rate == 0) copy->rate = 1;
  *strh = copy;
  return 1;
}

int gst_riff_parse_strf_vids(void *element, GstBuffer *buf, RiffVideoFormat **strf,
                             GstBuffer **data) {
  (void)element;
  if (!buf || !strf || !data) return 0;
  auto *copy = copy_record<RiffVideoFormat>(buf, sizeof(RiffVideoFormat));
  bool failed = copy == nullptr;
  GstBuffer *extra = nullptr;
  if (copy) {
    if (copy->size > buf->size) copy->size = buf->size;
    constexpr uint32_t kFixed = sizeof(RiffVideoFormat);
    extra = extra_range(buf, kFixed, buf->size - kFixed, &failed);
  }
  gst_buffer_unref(buf);
  if (failed) {
    free(copy);
    return 0;
  }
  *strf = copy;
  *data = extra;
  return 1;
}

int gst_riff_parse_strf_auds(void *element, GstBuffer *buf, RiffAudioFormat **strf,
                             GstBuffer **data) {
  (void)element;
  if (!buf || !strf || !data) return 0;
  auto *copy = copy_record<RiffAudioFormat>(buf, sizeof(RiffAudioFormat));
  bool failed = copy == nullptr;
  GstBuffer *extra = nullptr;
  if (copy && buf->size > kAudioExtraAt) {
    ByteReader r(buf->data, buf->size);
    uint16_t declared = 0;
    if (r.seek(kAudioExtraSizeAt) && r.read_le16(&declared)) {
      const uint32_t there = buf->size - kAudioExtraAt;
      const uint32_t length = declared > there ? there : declared;
      extra = extra_range(buf, kAudioExtraAt, length, &failed);
    }
  }
  gst_buffer_unref(buf);
  if (failed) {
    free(copy);
    return 0;
  }
  *strf = copy;
  *data = extra;
  return 1;
}

int gst_riff_parse_strf_iavs(void *element, GstBuffer *buf, RiffDvFormat **strf,
                             GstBuffer **data) {
  (void)element;
  if (!buf || !strf || !data) return 0;
  auto *copy = copy_record<RiffDvFormat>(buf, sizeof(RiffDvFormat));
  gst_buffer_unref(buf);
  if (!copy) return 0;
  *strf = copy;
  *data = nullptr;
  return 1;
}

}  // extern "C"
