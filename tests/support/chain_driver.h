// Driving one format parser's chain function directly, without the front
// end, to see its exact results and what it leaves in ParserOutput.
#pragma once

#include <cstring>
#include <vector>

#include "core/internal.h"
#include "quillar/glist.h"
#include "quillar/gstadapter.h"
#include "quillar/gstbuffer.h"
#include "quillar/parser.h"
#include "support/writer.h"

namespace qtest {

template <typename State>
struct ChainDriver {
  ParserOutput out{};
  State state{};
  ParserChainFunc chain;
  ParserResetFunc reset;

  ChainDriver(ParserChainFunc c, ParserResetFunc r) : chain(c), reset(r) {
    out.parser_state = &state;
    state.output = &out;
    reset(&out);
  }
  ~ChainDriver() {
    reset(&out);
    for (GSList *l = out.frames; l; l = l->next) gst_buffer_unref(static_cast<GstBuffer *>(l->data));
    g_slist_free(out.frames);
    gst_buffer_unref(out.codec_data);
  }
  static GstBuffer *buffer_of(const Bytes &bytes) {
    GstBuffer *b = gst_buffer_new_and_alloc(static_cast<uint32_t>(bytes.size()));
    if (!bytes.empty()) memcpy(b->data, bytes.data(), bytes.size());
    return b;
  }
  int32_t push(const Bytes &bytes) { return chain(&out, buffer_of(bytes)); }
  int32_t drain() { return chain(&out, nullptr); }
  uint32_t available() const { return gst_adapter_available(state.adapter); }
  // Takes the queued frames' bytes, oldest first.
  std::vector<Bytes> take_frames() {
    std::vector<Bytes> frames;
    for (GSList *l = out.frames; l; l = l->next) {
      auto *b = static_cast<GstBuffer *>(l->data);
      frames.emplace_back(b->data, b->data + b->size);
      gst_buffer_unref(b);
    }
    g_slist_free(out.frames);
    out.frames = nullptr;
    return frames;
  }
  Bytes codec_data() const {
    return out.codec_data ? Bytes(out.codec_data->data, out.codec_data->data + out.codec_data->size)
                          : Bytes();
  }
};

}  // namespace qtest
