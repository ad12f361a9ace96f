// SPDX-License-Identifier: BSD-2-Clause
// Feeds one format's chain function (QFUZZ_FORMAT, a name from the front
// end's format table) directly with pushes whose sizes the input chooses,
// each copied into an exact-size heap buffer so that any read past a pushed
// block is caught, with drain calls in between.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "api/formats.h"
#include "fuzz_input.h"

namespace {

const quillar::FormatDescriptor *chosen_format() {
  for (const quillar::FormatDescriptor *f : quillar::formats())
    if (strcmp(f->name, QFUZZ_FORMAT) == 0) return f;
  abort();  // the build names a format the table does not have
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
  static const quillar::FormatDescriptor *format = chosen_format();
  // Exactly the state record's size (malloc's alignment suits every record),
  // so that a write past it is caught.
  void *storage = calloc(1, format->state_size);
  if (!storage) return 0;
  ParserOutput out = {};
  out.parser_state = storage;
  format->bind(storage, &out);
  const quillar::FormatDescriptor &p = *format;
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
