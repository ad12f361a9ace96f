// SPDX-License-Identifier: BSD-2-Clause
// gst_asf_demux_parse_packet over a state with a few registered streams.
// Input: one byte (1 to 4 streams), their stream numbers, a 16-bit packet
// size, then the packets, each in an exact-size buffer. After each packet
// the queues are checked (only the newest object may be incomplete, no
// object claims more bytes than its buffer has) and, as the chain does after
// a clean packet, complete objects are handed out.
#include <cstdlib>
#include <cstring>

#include "demux/asf/asf_internal.h"
#include "fuzz_input.h"

namespace {

#define CHECK(cond) \
  do {              \
    if (!(cond)) abort(); \
  } while (0)

volatile uint8_t g_sink;

// Reads the bytes a buffer claims, so that a buffer pointing at freed or
// foreign memory is caught. Objects are assembled in buffers of up to 64 MiB
// (mostly never written): their head and last byte do as well as a sweep.
void touch(const GstBuffer *b) {
  const uint32_t n = b->size < 4096 ? b->size : 4096;
  for (uint32_t i = 0; i < n; i++) g_sink = static_cast<uint8_t>(g_sink ^ b->data[i]);
  if (b->size) g_sink = static_cast<uint8_t>(g_sink ^ b->data[b->size - 1]);
}

void check_queues(const AsfDemuxState *s) {
  for (uint32_t i = 0; i < s->stream_count; i++) {
    const GArray *objects = s->streams[i].objects;
    const auto *o = reinterpret_cast<const AsfMediaObject *>(objects->data);
    for (uint32_t k = 0; k < objects->len; k++) {
      CHECK(o[k].buffer != nullptr && o[k].bytes_filled <= o[k].buffer->size);
      if (k + 1 < objects->len) CHECK(o[k].bytes_filled >= o[k].object_size);
      touch(o[k].buffer);
    }
  }
}

void drop_frames(ParserOutput *out) {
  while (out->frames) {
    auto *frame = static_cast<GstBuffer *>(out->frames->data);
    CHECK(frame != nullptr);
    touch(frame);
    gst_buffer_unref(frame);
    out->frames = g_slist_delete_link(out->frames, out->frames);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  qfuzz::Input in(data, size);
  auto *s = static_cast<AsfDemuxState *>(calloc(1, sizeof(AsfDemuxState)));
  ParserOutput out = {};
  s->output = &out;
  const uint32_t streams = 1 + (in.u8() & 3);
  for (uint32_t i = 0; i < streams; i++) {
    s->streams[i].stream_number = in.u8() & 0x7F;
    s->streams[i].objects = g_array_new(0, 0, sizeof(AsfMediaObject));
    if (!s->streams[i].objects) break;
    s->stream_count++;
  }
  s->packet_size = quillar::asf::kMinPacketSize + in.u16() % 4096;
  while (!in.empty()) {
    size_t got = 0;
    const uint8_t *bytes = in.bytes(s->packet_size, &got);
    GstBuffer *packet = gst_buffer_new_and_alloc(static_cast<uint32_t>(got));
    if (!packet) break;
    memcpy(packet->data, bytes, got);
    const gint32 r = gst_asf_demux_parse_packet(s, packet);
    CHECK(r == ASF_PACKET_OK || r == ASF_PACKET_SHORT || r == ASF_PACKET_BROKEN);
    gst_buffer_unref(packet);  // queued objects hold their own references
    check_queues(s);
    if (r == ASF_PACKET_OK) quillar::asf::hand_out(s);
    drop_frames(&out);
  }
  for (uint32_t i = 0; i < s->stream_count; i++) quillar::asf::release_stream(&s->streams[i]);
  free(s);
  return 0;
}
