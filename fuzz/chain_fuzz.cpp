// Feeds one parser's chain function (QFUZZ_PARSER) directly with pushes whose
// sizes the input chooses, each copied into an exact-size heap buffer so that
// any read past a pushed block is caught, with drain calls in between.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "api/context.h"
#include "fuzz_input.h"

namespace {

struct Pair {
  ParserChainFunc chain;
  ParserResetFunc reset;
};

template <typename State>
Pair bind(State *state, ParserOutput *output, ParserChainFunc chain, ParserResetFunc reset) {
  state->output = output;
  return {chain, reset};
}

Pair select(quillar::ParserStorage *s, ParserOutput *out) {
#define QFUZZ_IVF 1
#define QFUZZ_VP6 2
#define QFUZZ_RCV 3
#define QFUZZ_WEBP 4
#define QFUZZ_AVI 5
#define QFUZZ_ASF 6
#define QFUZZ_RM 7
#define QFUZZ_FLV 8
#if QFUZZ_PARSER == QFUZZ_IVF
  return bind(&s->ivf, out, gst_ivf_parse_chain, gst_ivf_parse_reset);
#elif QFUZZ_PARSER == QFUZZ_VP6
  return bind(&s->vp6, out, gst_vp6_parse_chain, gst_vp6_parse_reset);
#elif QFUZZ_PARSER == QFUZZ_RCV
  return bind(&s->rcv, out, RCVPARSE_Chain, RCVPARSE_Reset);
#elif QFUZZ_PARSER == QFUZZ_WEBP
  return bind(&s->webp, out, WEBPPARSE_Chain, WEBPPARSE_Reset);
#elif QFUZZ_PARSER == QFUZZ_AVI
  return bind(&s->avi, out, gst_avi_demux_chain, gst_avi_demux_reset_wrapper);
#elif QFUZZ_PARSER == QFUZZ_ASF
  return bind(&s->asf, out, gst_asf_demux_chain, gst_asf_demux_reset_wrapper);
#elif QFUZZ_PARSER == QFUZZ_RM
  return bind(&s->rm, out, gst_rmdemux_chain,
              [](ParserOutput *o) { gst_rmdemux_reset(o); });
#else
  return bind(&s->flv, out, quillar::flv::flv_demux_chain, quillar::flv::flv_demux_reset);
#endif
}

void drop_items(ParserOutput *out) {
  while (out->frames) {
    auto *frame = static_cast<GstBuffer *>(out->frames->data);
    if (!frame) abort();  // a missing frame must never be queued
    // Touch the frame's bytes so that a frame pointing at freed or foreign
    // memory is caught here.
    volatile uint8_t sink = 0;
    for (uint32_t i = 0; i < frame->size; i++) sink = static_cast<uint8_t>(sink ^ frame->data[i]);
    gst_buffer_unref(frame);
    out->frames = g_slist_delete_link(out->frames, out->frames);
  }
  gst_buffer_unref(out->codec_data);
  out->codec_data = nullptr;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static bool quiet = freopen("/dev/null", "w", stdout) != nullptr;
  (void)quiet;
  auto *storage = static_cast<quillar::ParserStorage *>(calloc(1, sizeof(quillar::ParserStorage)));
  ParserOutput out = {};
  out.parser_state = storage;
  Pair p = select(storage, &out);
  p.reset(&out);
  qfuzz::Input in(data, size);
  while (!in.empty()) {
    const uint16_t op = in.u16();
    if ((op & 0xF) == 0) {
      p.chain(&out, nullptr);  // a drain call
    } else {
      size_t got = 0;
      const uint8_t *bytes = in.bytes(op >> 4, &got);
      GstBuffer *b = gst_buffer_new();
      if (!b) break;
      b->data = b->owned_data = static_cast<uint8_t *>(malloc(got ? got : 1));
      if (got) memcpy(b->data, bytes, got);
      b->size = static_cast<uint32_t>(got);
      p.chain(&out, b);
    }
    drop_items(&out);
  }
  for (int i = 0; i < 64 && p.chain(&out, nullptr) == CHAIN_OK && out.frames; i++) drop_items(&out);
  drop_items(&out);
  p.reset(&out);
  free(storage);
  return 0;
}
