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
#include "demux/asf/gstasfdemux.h"

namespace {

using quillar::ByteReader;
using quillar::AsfDemuxState;
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
  if (!restart && s->adapter) {
    gst_adapter_clear(s->adapter);
    gst_adapter_unref(s->adapter);
    s->adapter = nullptr;
  }
  for (int i = ASF_MAX_STREAMS - 1; i >= 0; i--) asf::release_stream(&s->streams[i]);
  memset(s->streams, 0, sizeof s->streams);
  s->stream_count = 0;
  s->phase = ASF_PHASE_HEADER;
  s->broadcast = 0;
}

int32_t take_header(AsfDemuxState *s);

int32_t take_packets(AsfDemuxState *s) {
  GstAdapter *adapter = s->adapter;
  const uint32_t packet_size = s->packet_size;
  if (packet_size < asf::kMinPacketSize) return CHAIN_ERROR;  // the header never allows it
  while (gst_adapter_available(adapter) >= packet_size) {
    if (s->total_packets == 0) {
      if (front_is_header(adapter, nullptr)) {
        reset_state(s, true);
        // Go on with the new header in this call, so that a drain call after
        // the end of the file does not stop before it. But what this call
        // queued for the old segment (frames, codec data) goes out first:
        // the new header's codec data would overtake or replace it. The
        // host's next drain call then parses the new header.
        if (s->output->frames || s->output->codec_data) return CHAIN_OK;
        return take_header(s);
      }
    } else if (static_cast<uint64_t>(s->packet_index) >= s->total_packets) {
      s->phase = ASF_PHASE_INDEX;
      return CHAIN_OK;
    }
    GstBuffer *packet = gst_adapter_take_buffer(adapter, packet_size);
    if (!packet) return CHAIN_ERROR;
    bool no_memory = false;
    const int32_t parsed = asf::parse_packet(s, packet, &no_memory);
    gst_buffer_unref(packet);
    s->packet_index++;
    // A packet that does not parse is dropped silently and still counts; a
    // media object lost for lack of memory fails the call, so that the
    // frames handed out stay a true prefix of the stream.
    if (no_memory) return CHAIN_ERROR;
    if (parsed == ASF_PACKET_OK && !asf::hand_out(s)) return CHAIN_ERROR;
  }
  if (s->total_packets != 0 && static_cast<uint64_t>(s->packet_index) >= s->total_packets)
    s->phase = ASF_PHASE_INDEX;
  return CHAIN_OK;
}

// The header object and the 50-byte data object header after it, in one
// block; then the packets that are already there.
int32_t take_header(AsfDemuxState *s) {
  GstAdapter *adapter = s->adapter;
  if (gst_adapter_available(adapter) < asf::kObjectHeaderSize) return CHAIN_OK;
  uint64_t header_size = 0;
  if (!front_is_header(adapter, &header_size)) return CHAIN_ERROR;
  // The adapter holds at most 4 GiB - 1 bytes: a larger header can never be
  // buffered, and H + 50 must not wrap.
  if (header_size > UINT32_MAX - asf::kDataObjectHeaderSize) return CHAIN_ERROR;
  const uint32_t block_size = static_cast<uint32_t>(header_size) + asf::kDataObjectHeaderSize;
  if (gst_adapter_available(adapter) < block_size) return CHAIN_OK;
  guint8 *block = gst_adapter_take(adapter, block_size);
  if (!block) return CHAIN_ERROR;

  int32_t result = asf::walk_header(s, block, static_cast<uint32_t>(header_size));
  ByteReader data_header(block, block_size);
  uint32_t id = 0;
  uint64_t ignored = 0, total_packets = 0;
  if (result == CHAIN_OK &&
      (!data_header.seek(header_size) || !asf::read_object_header(data_header, &id, &ignored) ||
       id != ASF_OBJ_DATA || !data_header.seek(header_size + kTotalPacketsOffset) ||
       !data_header.read_le64(&total_packets)))
    result = CHAIN_ERROR;
  free(block);
  if (result != CHAIN_OK) return CHAIN_ERROR;

  s->phase = ASF_PHASE_DATA;
  s->packet_index = 0;
  s->total_packets = s->broadcast ? 0 : total_packets;
  // Only video is extracted: a file without a video stream is refused.
  if (s->stream_count == 0) return CHAIN_ERROR;
  return take_packets(s);
}

// After the last packet: a header object at the front starts over. Once the
// front is known to be something else it can never become a header, so the
// bytes behind its first 24 are released instead of accumulating.
int32_t wait_for_header(AsfDemuxState *s) {
  GstAdapter *adapter = s->adapter;
  const uint32_t available = gst_adapter_available(adapter);
  if (available < asf::kObjectHeaderSize) return CHAIN_OK;
  if (front_is_header(adapter, nullptr)) {
    reset_state(s, true);
    return take_header(s);
  }
  if (available > asf::kObjectHeaderSize) {
    GstBuffer *front = gst_buffer_new_and_alloc(asf::kObjectHeaderSize);
    if (!front) return CHAIN_OK;
    gst_adapter_copy(adapter, front->data, 0, asf::kObjectHeaderSize);
    gst_adapter_clear(adapter);
    if (!quillar::adapter_push(adapter, front)) return CHAIN_ERROR;
  }
  return CHAIN_OK;
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
  if (!s->adapter) s->adapter = gst_adapter_new();
  if (!s->adapter) {
    if (buffer) gst_buffer_unref(buffer);
    return CHAIN_ERROR;
  }
  if (!quillar::adapter_push(s->adapter, buffer)) return CHAIN_ERROR;
  switch (s->phase) {
    case ASF_PHASE_HEADER: return take_header(s);
    case ASF_PHASE_DATA: return take_packets(s);
    default: return wait_for_header(s);
  }
}

void gst_asf_demux_reset_wrapper(ParserOutput *output) {
  reset_state(quillar::state_of<AsfDemuxState>(output), false);
}

}  // extern "C"
