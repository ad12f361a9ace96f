// SPDX-License-Identifier: BSD-2-Clause
// Driving one format's chain function directly, without the front end, to
// see its exact results and what it leaves in ParserOutput. The format comes
// from its descriptor, as the front end and the fuzz targets take it.
#pragma once

#include <cstring>
#include <utility>
#include <vector>

#include "core/internal.h"
#include "format/format.h"
#include "quillar/glist.h"
#include "quillar/gstadapter.h"
#include "quillar/gstbuffer.h"
#include "quillar/parser.h"
#include "support/writer.h"

namespace qtest {

// A new buffer holding a copy of `bytes` (the one bytes-to-buffer helper).
inline GstBuffer *buffer_of(const Bytes &bytes) {
  GstBuffer *b = gst_buffer_new_and_alloc(static_cast<uint32_t>(bytes.size()));
  if (b && !bytes.empty()) memcpy(b->data, bytes.data(), bytes.size());
  return b;
}

inline Bytes bytes_of(const GstBuffer *b) { return Bytes(b->data, b->data + b->size); }

// Item kinds as the front end numbers them: codec data 2, frames 1.
using KindedItem = std::pair<uint32_t, Bytes>;

template <typename State, const quillar::FormatDescriptor &kFormat>
struct ChainDriver {
  static_assert(kFormat.state_size == sizeof(State) && kFormat.state_align == alignof(State),
                "the descriptor is another format's");
  ParserOutput out{};
  State state{};
  ParserChainFunc chain = kFormat.chain;
  ParserResetFunc reset = kFormat.reset;

  // Bound and reset on an all-zero record, as the front end does.
  ChainDriver() {
    out.parser_state = &state;
    kFormat.bind(&state, &out);
    reset(&out);
  }
  ~ChainDriver() {
    reset(&out);
    for (GSList *l = out.frames; l; l = l->next) gst_buffer_unref(static_cast<GstBuffer *>(l->data));
    g_slist_free(out.frames);
    gst_buffer_unref(out.codec_data);
  }
  ChainDriver(const ChainDriver &) = delete;
  ChainDriver &operator=(const ChainDriver &) = delete;

  int32_t push(const Bytes &bytes) { return chain(&out, buffer_of(bytes)); }
  int32_t drain() { return chain(&out, nullptr); }
  uint32_t available() const { return gst_adapter_available(state.adapter); }
  // Takes the queued frames' bytes, oldest first.
  std::vector<Bytes> take_frames() {
    std::vector<Bytes> frames;
    for (GSList *l = out.frames; l; l = l->next) {
      auto *b = static_cast<GstBuffer *>(l->data);
      frames.push_back(bytes_of(b));
      gst_buffer_unref(b);
    }
    g_slist_free(out.frames);
    out.frames = nullptr;
    return frames;
  }
  // Moves what waits in the output to `items` in hand-out order (the codec
  // data before any frame); whether there was anything.
  bool take_items(std::vector<KindedItem> *items) {
    bool any = false;
    for (;; any = true) {
      if (out.codec_data) {
        items->emplace_back(2, bytes_of(out.codec_data));
        gst_buffer_unref(out.codec_data);
        out.codec_data = nullptr;
      } else if (out.frames) {
        auto *b = static_cast<GstBuffer *>(out.frames->data);
        items->emplace_back(1, bytes_of(b));
        gst_buffer_unref(b);
        out.frames = g_slist_delete_link(out.frames, out.frames);
      } else {
        return any;
      }
    }
  }
  Bytes codec_data() const { return out.codec_data ? bytes_of(out.codec_data) : Bytes(); }
};

}  // namespace qtest
