// SPDX-License-Identifier: BSD-2-Clause
// AVI header: the "hdrl" list with the main header and one "strl" list per
// stream (the stream table), then everything up to the "movi" list.
//
// Ownership inside a stream list is kept local: every sub-chunk payload is
// either handed to a RIFF parser (which takes it, on success and failure
// alike) or released where it is met, so rejecting a stream never releases
// a payload twice. Codec extra data and "strd" payloads are released at
// once: they are sub-buffers that would pin the whole header list, and
// nothing reads them.
#include <cstdlib>
#include <cstring>

#include "core/byte_reader.h"
#include "demux/avi/avi_internal.h"
#include "quillar/garray.h"

namespace {

using namespace quillar;

constexpr uint32_t kMainHeaderMinimum = 56;
constexpr uint32_t kVprpMinimum = 36;

// The four bytes at `at` in `buf` as a fourcc (0 when they are not there).
uint32_t fourcc_at(const GstBuffer *buf, uint32_t at) {
  ByteReader r(buf->data, buf->size);
  uint32_t v = 0;
  return r.seek(at) && r.read_le32(&v) ? v : 0;
}

// A copy of `buf` one byte longer, whose last byte is `extra`. Releases
// `buf`; null when memory runs out.
GstBuffer *copy_one_longer(GstBuffer *buf, uint8_t extra) {
  GstBuffer *copy = gst_buffer_new_and_alloc(buf->size + 1);
  if (copy) {
    if (buf->size) memcpy(copy->data, buf->data, buf->size);
    copy->data[buf->size] = extra;
  }
  gst_buffer_unref(buf);
  return copy;
}

// ---- One stream list ------------------------------------------------------

struct StreamList {
  AviDemuxState *s;
  AviStream *stream;
  uint32_t number;
  bool got_strh = false;
  bool got_strf = false;
  bool got_vprp = false;
  // A record could not be read for lack of memory, not for what the file
  // holds: the stream would be lost without a word, so the header fails.
  bool out_of_memory = false;
};

// Whether a record was read; a record lost for lack of memory is noted.
bool parsed(StreamList &list, Status status) {
  if (status == Status::kNoMemory) list.out_of_memory = true;
  return status == Status::kOk;
}

// Each handler owns `payload` and returns false to reject the stream.
using ChunkHandler = bool (*)(StreamList &list, GstBuffer *payload);

bool release(StreamList &, GstBuffer *payload) {
  gst_buffer_unref(payload);
  return true;
}

bool on_strh(StreamList &list, GstBuffer *payload) {
  if (list.got_strh) return release(list, payload);
  if (!parsed(list, avi::riff_strh(payload, &list.stream->strh))) return false;
  list.got_strh = true;
  return true;
}

// The format parsers by stream type. Each stores the format in the record
// and drops the extra data; false rejects the stream.
bool format_vids(StreamList &list, GstBuffer *payload) {
  RiffVideoFormat *format = nullptr;
  GstBuffer *extra = nullptr;
  if (!parsed(list, avi::riff_strf_vids(payload, &format, &extra))) return false;
  list.stream->strf = format;
  gst_buffer_unref(extra);
  return true;
}

bool format_iavs(StreamList &list, GstBuffer *payload) {
  RiffDvFormat *format = nullptr;
  GstBuffer *extra = nullptr;
  if (!parsed(list, avi::riff_strf_iavs(payload, &format, &extra))) return false;
  list.stream->strf = format;
  gst_buffer_unref(extra);
  return true;
}

// Audio needs a byte rate unless it is variable-bit-rate: no fixed sample
// size, a scale above 1 and a block alignment other than 1.
bool format_auds(StreamList &list, GstBuffer *payload) {
  RiffAudioFormat *format = nullptr;
  GstBuffer *extra = nullptr;
  if (!parsed(list, avi::riff_strf_auds(payload, &format, &extra))) return false;
  list.stream->strf = format;
  gst_buffer_unref(extra);
  const RiffStreamHeader *h = list.stream->strh;
  const bool vbr = h->sample_size == 0 && h->scale > 1 && format->block_align != 1;
  return vbr || format->avg_bytes_per_sec != 0;
}

bool format_txts(StreamList &, GstBuffer *payload) {
  gst_buffer_unref(payload);
  return true;
}

struct FormatRow {
  uint32_t type;
  ChunkHandler parse;
};
constexpr FormatRow kFormats[] = {
    {fourcc("vids"), format_vids},
    {fourcc("auds"), format_auds},
    {fourcc("iavs"), format_iavs},
    {fourcc("txts"), format_txts},
};

bool on_strf(StreamList &list, GstBuffer *payload) {
  if (list.got_strf) return release(list, payload);
  if (!list.got_strh) {
    gst_buffer_unref(payload);
    return false;
  }
  for (const FormatRow &row : kFormats) {
    if (row.type != list.stream->strh->type) continue;
    if (!row.parse(list, payload)) return false;
    list.got_strf = true;
    return true;
  }
  gst_buffer_unref(payload);  // a stream type we cannot label
  return false;
}

bool on_strn(StreamList &list, GstBuffer *payload) {
  free(list.stream->stream_name);
  list.stream->stream_name = g_strndup(reinterpret_cast<const char *>(payload->data), payload->size);
  gst_buffer_unref(payload);
  return true;
}

bool on_vprp(StreamList &list, GstBuffer *payload) {
  if (list.got_vprp) return release(list, payload);
  const bool size_ok = payload->size >= kVprpMinimum;
  gst_buffer_unref(payload);
  if (!list.got_strh || !list.got_strf) return false;
  if (size_ok) list.got_vprp = true;
  return true;
}

struct StreamChunkRow {
  uint32_t tag;
  ChunkHandler handle;
};
// "strd" (codec init data), "indx" (the OpenDML super index) and the
// stream's own "ix##" index carry nothing the output needs; like "JUNK",
// "IDIT" and unknown tags they are released.
constexpr StreamChunkRow kStreamChunks[] = {
    {fourcc("strh"), on_strh},
    {fourcc("strf"), on_strf},
    {fourcc("strn"), on_strn},
    {fourcc("vprp"), on_vprp},
    {fourcc("strd"), release},
    {fourcc("indx"), release},
};

bool take_stream_chunk(StreamList &list, uint32_t tag, GstBuffer *payload) {
  for (const StreamChunkRow &row : kStreamChunks)
    if (row.tag == tag) return row.handle(list, payload);
  return release(list, payload);
}

// Reads the "strl" list S (a sub-chunk payload, whose list type has been
// checked) into the next stream record. `pad` is the byte that follows S in
// the header list (0 when none does). Takes S. False when memory ran out.
bool read_stream_list(AviDemuxState *s, GstBuffer *list_payload, uint8_t pad) {
  if (s->num_streams >= AVI_MAX_STREAMS) {
    gst_buffer_unref(list_payload);
    return true;
  }
  // An odd list is read with its pad byte, the file's own, never a byte of
  // unset memory.
  if (list_payload->size & 1u) list_payload = copy_one_longer(list_payload, pad);
  if (!list_payload) return false;
  StreamList list{s, &s->streams[s->num_streams], s->num_streams};
  bool accepted = true;
  uint32_t position = 4, tag = 0;
  GstBuffer *payload = nullptr;
  Status walked = Status::kOk;
  while (accepted && (walked = avi::riff_chunk(list_payload, &position, &tag, &payload)) == Status::kOk) {
    if (payload) accepted = take_stream_chunk(list, tag, payload);
  }
  if (accepted && walked == Status::kNoMemory) list.out_of_memory = true;
  gst_buffer_unref(list_payload);
  if (list.out_of_memory) {
    avi::clear_stream(list.stream);
    return false;
  }
  if (accepted && list.got_strh && list.got_strf)
    list.stream->num = list.number;
  else
    avi::clear_stream(list.stream);
  // A rejected stream keeps its number, so that the movie list's stream
  // numbers still name the right records.
  s->num_streams++;
  return true;
}

// ---- The header list ----------------------------------------------------

// Reads the "hdrl" payload H (list type checked); takes H.
Status read_header_list(AviDemuxState *s, GstBuffer *header_list) {
  uint32_t position = 4, tag = 0;
  GstBuffer *payload = nullptr;
  const Status first = avi::riff_chunk(header_list, &position, &tag, &payload);
  if (first != Status::kOk || tag != fourcc("avih") || !payload ||
      payload->size < kMainHeaderMinimum) {
    gst_buffer_unref(payload);
    gst_buffer_unref(header_list);
    return first == Status::kNoMemory ? first : Status::kInvalid;
  }
  // A header list read after a failed one replaces the earlier copy.
  free(s->main_header);
  s->main_header = static_cast<AviMainHeader *>(g_memdup(payload->data, payload->size));
  gst_buffer_unref(payload);
  if (!s->main_header) {
    gst_buffer_unref(header_list);
    return Status::kNoMemory;
  }
  for (;;) {
    const uint32_t start = position;
    const Status walked = avi::riff_chunk(header_list, &position, &tag, &payload);
    if (walked == Status::kNoMemory) {
      gst_buffer_unref(header_list);
      return walked;
    }
    if (walked != Status::kOk) break;
    if (!payload) continue;
    if (tag == fourcc("LIST") && payload->size >= 4 && fourcc_at(payload, 0) == fourcc("strl")) {
      // The byte after the payload is its pad byte when the list is odd.
      ByteReader r(header_list->data, header_list->size);
      uint8_t pad = 0;
      if (!(r.seek(uint64_t{start} + avi::kChunkHeaderSize + payload->size) && r.read_u8(&pad))) pad = 0;
      if (!read_stream_list(s, payload, pad)) {
        gst_buffer_unref(header_list);
        return Status::kNoMemory;
      }
    } else {
      gst_buffer_unref(payload);  // "odml", other lists, "JUNK", "IDIT", ...
    }
  }
  gst_buffer_unref(header_list);
  return s->num_streams == 0 ? Status::kInvalid : Status::kOk;
}

Status step_to_movi(AviDemuxState *s) {
  for (;;) {
    if (!avi::skipped(s)) return Status::kOk;
    if (gst_adapter_available(s->adapter) < avi::kListHeaderSize) return Status::kOk;
    ByteReader r(gst_adapter_peek(s->adapter, avi::kListHeaderSize), avi::kListHeaderSize);
    uint32_t tag = 0, size = 0, type = 0;
    // The peek fails only when the header spans blocks and cannot be assembled.
    if (!(r.read_le32(&tag) && r.read_le32(&size) && r.read_le32(&type))) return Status::kNoMemory;
    if (tag == fourcc("LIST") && type == fourcc("movi")) {
      // The movie list's size is not used: its contents tell where it ends.
      gst_adapter_flush(s->adapter, avi::kListHeaderSize);
      for (uint32_t i = 0; i < s->num_streams; i++) s->streams[i].frame_count = 0;
      s->state = AVI_STATE_MOVI;
      return Status::kOk;
    }
    // "INFO" lists, "JUNK", an early index, any other chunk: skipped whole,
    // released as it arrives. A list too short for its list type (size 1
    // to 3) is skipped by its own size too, so it never eats into the next
    // chunk. Sizes of 0 and of 2^30 or more are still refused.
    if (!avi::have_whole_chunk(s, &tag, &size)) {
      if (!s->abort_buffering) avi::start_skip(s, size);
      return Status::kOk;
    }
    gst_adapter_flush(s->adapter, avi::kChunkHeaderSize + avi::padded(size));
  }
}

Status step_header_list(AviDemuxState *s) {
  uint32_t tag = 0, size = 0;
  if (!avi::have_whole_chunk(s, &tag, &size)) return Status::kOk;
  if (tag != fourcc("LIST")) return Status::kInvalid;
  gst_adapter_flush(s->adapter, avi::kChunkHeaderSize);
  GstBuffer *header_list = gst_adapter_take_buffer(s->adapter, size);
  if (!header_list) return Status::kNoMemory;
  if (fourcc_at(header_list, 0) != fourcc("hdrl")) {
    gst_buffer_unref(header_list);
    return Status::kInvalid;
  }
  if (size & 1u) {
    // Read the list with its pad byte, so that the pad byte of its last
    // sub-chunk lies inside it.
    uint8_t pad = 0;
    gst_adapter_copy(s->adapter, &pad, 0, 1);
    gst_adapter_flush(s->adapter, 1);
    header_list = copy_one_longer(header_list, pad);
    if (!header_list) return Status::kNoMemory;
  }
  const Status result = read_header_list(s, header_list);
  if (result != Status::kOk) return result;
  s->header_state = AVI_HEADER_TO_MOVI;
  return step_to_movi(s);
}

}  // namespace

namespace quillar::avi {

Status step_header(AviDemuxState *s) {
  return s->header_state == AVI_HEADER_HDRL ? step_header_list(s) : step_to_movi(s);
}

}  // namespace quillar::avi
