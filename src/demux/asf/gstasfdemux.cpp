// SPDX-License-Identifier: BSD-2-Clause
// The ASF demultiplexer's chain: the header object with the data object's
// header is taken in one block and walked (asfheader.cpp); then data packets
// of the file's fixed packet size are taken one by one (asfpacket.cpp) and
// every complete media object is handed out (asfobjects.cpp). After the last
// packet the parser waits in the index phase for a new header object: a
// file that carries one after its data (or a broadcast file that carries
// one at a packet boundary) starts over.
#include <cstdlib>
#include <cstring>

#include "format/format.h"
#include "core/internal.h"
#include "demux/asf/asf_internal.h"

namespace {

using namespace quillar;
namespace asf = quillar::asf;

constexpr size_t kTotalPacketsOffset = 40;  // in the data object header

// Whether the first 24 available bytes are a header object (a peek that
// cannot be satisfied means they are not); its declared size goes to *size.
bool front_is_header(GstAdapter *adapter, uint64_t *size) {
  const guint8 *p = gst_adapter_peek(adapter, asf::kObjectHeaderSize);
  if (!p) return false;
  ByteReader r(p, asf::kObjectHeaderSize);
  uint32_t id = 0;
  uint64_t declared = 0;
  if (!asf::read_object_header(r, &id, &declared) || id != ASF_OBJ_HEADER) return false;
  if (size) *size = declared;
  return true;
}

// A full reset releases the adapter; a restart keeps it with its bytes (the
// new header is at its front). Neither touches what was published in the
// output. packet_size, total_packets and packet_index are set by the next
// header.
void reset_state(AsfDemuxState *s, bool restart) {
  if (!restart) quillar::release_adapter(&s->adapter);
  for (int i = ASF_MAX_STREAMS - 1; i >= 0; i--) asf::release_stream(&s->streams[i]);
  memset(s->streams, 0, sizeof s->streams);
  s->stream_count = 0;
  s->phase = ASF_PHASE_HEADER;
  s->broadcast = 0;
}

Status take_header(AsfDemuxState *s);

Status take_packets(AsfDemuxState *s) {
  GstAdapter *adapter = s->adapter;
  const uint32_t packet_size = s->packet_size;
  if (packet_size < asf::kMinPacketSize) return Status::kInvalid;  // the header never allows it
  while (gst_adapter_available(adapter) >= packet_size) {
    if (s->total_packets == 0) {
      if (front_is_header(adapter, nullptr)) {
        reset_state(s, true);
        // Go on with the new header in this call, so that a drain call after
        // the end of the file does not stop before it. But what this call
        // queued for the old segment (frames, codec data) goes out first:
        // the new header's codec data would overtake or replace it. The
        // host's next drain call then parses the new header.
        if (s->output->frames || s->output->codec_data) return Status::kOk;
        return take_header(s);
      }
    } else if (static_cast<uint64_t>(s->packet_index) >= s->total_packets) {
      s->phase = ASF_PHASE_INDEX;
      return Status::kOk;
    }
    GstBuffer *packet = gst_adapter_take_buffer(adapter, packet_size);
    if (!packet) return Status::kNoMemory;
    const Status parsed = asf::parse_packet(s, packet);
    gst_buffer_unref(packet);
    s->packet_index++;
    // A packet that does not parse is dropped silently and still counts; a
    // media object lost for lack of memory fails the call, so that the
    // frames handed out stay a true prefix of the stream.
    if (parsed == Status::kNoMemory) return Status::kNoMemory;
    if (parsed == Status::kOk && !asf::hand_out(s)) return Status::kNoMemory;
  }
  if (s->total_packets != 0 && static_cast<uint64_t>(s->packet_index) >= s->total_packets)
    s->phase = ASF_PHASE_INDEX;
  return Status::kOk;
}

// The header object and the 50-byte data object header after it, in one
// block; then the packets that are already there.
Status take_header(AsfDemuxState *s) {
  GstAdapter *adapter = s->adapter;
  if (gst_adapter_available(adapter) < asf::kObjectHeaderSize) return Status::kNeedMoreData;
  uint64_t header_size = 0;
  if (!front_is_header(adapter, &header_size)) return Status::kInvalid;
  // The adapter holds at most 4 GiB - 1 bytes: a larger header can never be
  // buffered, and H + 50 must not wrap.
  if (header_size > UINT32_MAX - asf::kDataObjectHeaderSize) return Status::kInvalid;
  const uint32_t block_size = static_cast<uint32_t>(header_size) + asf::kDataObjectHeaderSize;
  if (gst_adapter_available(adapter) < block_size) return Status::kNeedMoreData;
  guint8 *block = gst_adapter_take(adapter, block_size);
  if (!block) return Status::kNoMemory;

  Status result = asf::walk_header(s, block, static_cast<uint32_t>(header_size));
  ByteReader data_header(block, block_size);
  uint32_t id = 0;
  uint64_t ignored = 0, total_packets = 0;
  if (result == Status::kOk &&
      (!data_header.seek(header_size) || !asf::read_object_header(data_header, &id, &ignored) ||
       id != ASF_OBJ_DATA || !data_header.seek(header_size + kTotalPacketsOffset) ||
       !data_header.read_le64(&total_packets)))
    result = Status::kInvalid;
  free(block);
  if (result != Status::kOk) return result;

  s->phase = ASF_PHASE_DATA;
  s->packet_index = 0;
  s->total_packets = s->broadcast ? 0 : total_packets;
  // Only video is extracted: a file without a video stream is refused.
  if (s->stream_count == 0) return Status::kInvalid;
  return take_packets(s);
}

// After the last packet: a header object at the front starts over. Once the
// front is known to be something else it can never become a header, so the
// bytes behind its first 24 are released instead of accumulating.
Status wait_for_header(AsfDemuxState *s) {
  GstAdapter *adapter = s->adapter;
  const uint32_t available = gst_adapter_available(adapter);
  if (available < asf::kObjectHeaderSize) return Status::kNeedMoreData;
  if (front_is_header(adapter, nullptr)) {
    reset_state(s, true);
    return take_header(s);
  }
  if (available > asf::kObjectHeaderSize) {
    // Without memory for the copy everything stays: tried again next call.
    GstBuffer *front = gst_buffer_new_and_alloc(asf::kObjectHeaderSize);
    if (!front) return Status::kOk;
    gst_adapter_copy(adapter, front->data, 0, asf::kObjectHeaderSize);
    gst_adapter_clear(adapter);
    if (!quillar::adapter_push(adapter, front)) return Status::kNoMemory;
  }
  return Status::kOk;
}

Status step(AsfDemuxState *s) {
  switch (s->phase) {
    case ASF_PHASE_HEADER: return take_header(s);
    case ASF_PHASE_DATA: return take_packets(s);
    default: return wait_for_header(s);
  }
}

}  // namespace

extern "C" {

AsfStreamRecord *gst_asf_demux_get_stream(AsfDemuxState *state, guint32 number) {
  if (!state) return nullptr;
  for (uint32_t i = 0; i < state->stream_count && i < ASF_MAX_STREAMS; i++)
    if (state->streams[i].stream_number == static_cast<uint16_t>(number)) return &state->streams[i];
  return nullptr;
}

int32_t gst_asf_demux_chain(ParserOutput *output, GstBuffer *buffer) {
  auto *s = quillar::state_of<AsfDemuxState>(output);
  if (!quillar::push_input(&s->adapter, buffer)) return CHAIN_ERROR;
  return quillar::chain_result(step(s));
}

void gst_asf_demux_reset_wrapper(ParserOutput *output) {
  reset_state(quillar::state_of<AsfDemuxState>(output), false);
}

}  // extern "C"
