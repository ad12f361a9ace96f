// Matroska/WebM demultiplexer: the chain and reset functions and the format
// descriptor. The chain pushes the block into the adapter and walks elements
// until a frame or the codec item waits, or the input runs out.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/internal.h"
#include "demux/mkv/mkv_internal.h"

namespace quillar::mkv {

namespace {

bool probe(const uint8_t *head) {
  return head[0] == 0x1A && head[1] == 0x45 && head[2] == 0xDF && head[3] == 0xA3;
}

int32_t result_of(Status st) {
  switch (st) {
    case Status::kOk:
    case Status::kNeedMoreData: return CHAIN_OK;
    case Status::kUnsupported: return CHAIN_NOT_SUPPORTED;
    case Status::kNoMemory:
    case Status::kInvalid:
    default: return CHAIN_ERROR;
  }
}

}  // namespace

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
  if (!s->adapter) s->adapter = gst_adapter_new();
  if (!s->adapter) {
    gst_buffer_unref(buffer);
    return CHAIN_ERROR;
  }
  if (!adapter_push(s->adapter, buffer)) return CHAIN_ERROR;
  // One block's frames (or the codec item) at a time: the front end's drain
  // calls fetch the rest.
  Status st = Status::kOk;
  while (!output->frames && !output->codec_data && st == Status::kOk) st = step(s);
  if (st == Status::kOk || st == Status::kNeedMoreData) return CHAIN_OK;
  if (st == Status::kNoMemory) return CHAIN_ERROR;  // nothing consumed: a later call may go on
  // Refused: nothing after this point is read, and input is released.
  s->phase = Phase::kFailed;
  s->failure = result_of(st);
  gst_adapter_clear(s->adapter);
  return s->failure;
}

void reset(ParserOutput *output) {
  auto *s = state_of<MkvState>(output);
  gst_adapter_unref(s->adapter);
  s->adapter = nullptr;
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

namespace quillar {

const FormatDescriptor kMatroskaFormat = {
    "Matroska",
    standard_bit(5) | standard_bit(7) | standard_bit(10),
    mkv::probe,
    mkv::chain,
    mkv::reset,
    sizeof(mkv::MkvState),
    alignof(mkv::MkvState),
    bind_output<mkv::MkvState>,
};

}  // namespace quillar
