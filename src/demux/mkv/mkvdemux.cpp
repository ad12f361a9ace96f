// SPDX-License-Identifier: BSD-2-Clause
// Matroska/WebM demultiplexer: the probe, chain and reset functions (the
// descriptor is in mkv_internal.h). The chain pushes the block into the adapter and walks elements
// until a frame or the codec item waits, or the input runs out.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/internal.h"
#include "demux/mkv/mkv_internal.h"

namespace quillar::mkv {

bool probe(const uint8_t *head) { return probe_starts_with(head, 0xA3DF451Au); }  // 1A 45 DF A3

void report(const char *text) {
  char line[320];
  snprintf(line, sizeof line, "Matroska: %s", text);
  puts(line);
}

int32_t chain(ParserOutput *output, GstBuffer *buffer) {
  auto *s = state_of<MkvState>(output);
  if (s->phase == Phase::kFailed) {
    gst_buffer_unref(buffer);
    return s->failure;
  }
  if (!push_input(&s->adapter, buffer)) return CHAIN_ERROR;
  // One block's frames (or the codec item) at a time: the front end's drain
  // calls fetch the rest.
  Status st = Status::kOk;
  while (!output->frames && !output->codec_data && st == Status::kOk) st = step(s);
  if (st == Status::kOk || st == Status::kNeedMoreData) return CHAIN_OK;
  if (st == Status::kNoMemory) return CHAIN_ERROR;  // nothing consumed: a later call may go on
  // Refused: nothing after this point is read, and input is released.
  s->phase = Phase::kFailed;
  s->failure = chain_result(st);
  gst_adapter_clear(s->adapter);
  return s->failure;
}

void reset(ParserOutput *output) {
  auto *s = state_of<MkvState>(output);
  release_adapter(&s->adapter);
  forget_track(s);
  s->phase = Phase::kElementHeader;
  s->element_id = 0;
  s->remaining = 0;
  s->offset = 0;
  memset(s->open, 0, sizeof s->open);
  s->depth = 0;
  s->failure = CHAIN_OK;
}

void set_standard(void *state, uint32_t standard) {
  static_cast<MkvState *>(state)->standard = standard;
}

}  // namespace quillar::mkv
