// The host-facing front end: format selection, the read-and-hand-out loop,
// codec configuration and teardown.
#include <cstdlib>
#include <cstring>

#include "api/context.h"
#include "core/internal.h"

namespace {

constexpr uint32_t kBlockSize = 8192;

using quillar::FormatDescriptor;
using quillar::kProbeSize;
using quillar::ProbeRead;
using quillar::StandardRule;

// Reads the first kProbeSize bytes from the current position and puts the
// file back as the rule says. False when they cannot be read or the file
// cannot be put back.
bool read_probe(FILE *file, ProbeRead how, uint8_t *head) {
  if (how == ProbeRead::kRestorePosition) {
    const long position = ftell(file);
    const size_t got = fread(head, 1, kProbeSize, file);
    return position >= 0 && fseek(file, position, SEEK_SET) == 0 && got == kProbeSize;
  }
  const size_t got = fread(head, 1, kProbeSize, file);
  return fseek(file, 0, SEEK_SET) == 0 && got == kProbeSize;
}

// Chooses the format for a video standard, reading the file's first bytes
// only when a row for the code probes. Prints the reason and returns NULL
// when none applies.
const FormatDescriptor *select_format(uint32_t video_standard, FILE *file) {
  const StandardRule *rule = quillar::rule_for(video_standard);
  if (!rule) {
    puts(quillar::kUnsupportedStandard);
    return nullptr;
  }
  uint8_t head[kProbeSize] = {};
  const uint8_t *probed = nullptr;
  if (quillar::code_probes(video_standard)) {
    if (read_probe(file, rule->probe_read, head)) {
      probed = head;
    } else if (rule->cannot_probe) {
      puts(rule->cannot_probe);
      return nullptr;
    }
  }
  const FormatDescriptor *format = quillar::match_format(video_standard, probed);
  if (!format) puts(rule->no_match);
  return format;
}

// Copies the next piece of `current` (from read_offset) into the host's
// buffer and records how far the item got.
void hand_out(ParserContext *ctx, uint8_t *destination, uint32_t capacity, BitStrBufInfo *info) {
  const uint64_t left = ctx->remaining;
  if (left > capacity) {
    memcpy(destination, ctx->current->data + ctx->read_offset, capacity);
    ctx->remaining = left - capacity;
    ctx->read_offset += capacity;
    info->frame_complete = 0;
    info->copied_bytes = capacity;
    return;
  }
  if (left) memcpy(destination, ctx->current->data + ctx->read_offset, left);
  info->frame_complete = 1;
  info->copied_bytes = left;
  ctx->remaining = 0;
  ctx->read_offset = 0;
  gst_buffer_unref(ctx->current);
  ctx->current = nullptr;
}

bool has_item(const ParserOutput *output) { return output->frames || output->codec_data; }

// Gives the parser the next block of the file. Returns the chain result. When
// no block can be allocated the parser gets one call without data; if that
// produces nothing the call fails rather than retrying without end (nothing
// is lost: the file position has not moved).
int32_t read_block(ParserContext *ctx) {
  GstBuffer *block = gst_buffer_new_and_alloc(kBlockSize);
  if (!block) {
    puts("Allocation of new read buffer failed");
    const int32_t result = ctx->chain(&ctx->output, nullptr);
    return result == CHAIN_OK && !has_item(&ctx->output) ? CHAIN_ERROR : result;
  }
  const size_t got = fread(block->data, 1, kBlockSize, ctx->file);
  block->size = static_cast<uint32_t>(got);
  if (got < kBlockSize) ctx->end_of_file = 1;
  return ctx->chain(&ctx->output, block);
}

}  // namespace

const FormatDescriptor *quillar::match_format(uint32_t code, const uint8_t *head) {
  for (const FormatDescriptor *f : kFormats) {
    if (!(f->standards & standard_bit(code))) continue;
    if (!f->probe || (head && f->probe(head))) return f;
  }
  return nullptr;
}

extern "C" {

void GSTPARSER_Initialise(ParserContext **context_out, uint32_t video_standard, FILE *file) {
  if (!context_out) return;
  *context_out = nullptr;
  if (!file) {
    puts("Invalid parameters passed to gst parser");
    return;
  }
  auto *ctx = static_cast<ParserContext *>(calloc(1, sizeof(ParserContext)));
  if (!ctx) return;
  ctx->file = file;
  const FormatDescriptor *format = select_format(video_standard, file);
  if (!format) {
    free(ctx);
    return;
  }
  ctx->output.parser_state = ctx->parser_storage;
  format->bind(ctx->parser_storage, &ctx->output);
  ctx->chain = format->chain;
  ctx->reset = format->reset;
  ctx->reset(&ctx->output);
  *context_out = ctx;
}

int32_t GSTPARSER_BitStrBufFill(ParserContext *context, uint8_t *destination, uint32_t *capacity,
                                BitStrBufInfo *info) {
  if (!context || !destination || !capacity || !info) {
    puts("Invalid parameters passed to gst parser");
    return PARSER_ERROR_PARAMETER;
  }
  ParserOutput *output = &context->output;
  output->skipped_frames = 0;

  if (context->remaining != 0 && context->current) {
    hand_out(context, destination, *capacity, info);
    info->skipped_frames = output->skipped_frames;
    return PARSER_OK;
  }

  if (!has_item(output)) {
    if (context->chain(output, nullptr) != CHAIN_OK) {
      puts("Parsing with already pushed buffer failed");
      return PARSER_ERROR_CHAIN;
    }
  }

  for (;;) {
    if (output->codec_data) {
      context->current = output->codec_data;
      output->codec_data = nullptr;
      context->codec_config_ready = 1;
      info->buffer_kind = BUFFER_KIND_CODEC_DATA;
      break;
    }
    if (output->frames) {
      auto *frame = static_cast<GstBuffer *>(g_slist_nth_data(output->frames, 0));
      output->frames = g_slist_delete_link(output->frames, output->frames);
      context->current = frame;
      info->buffer_kind = BUFFER_KIND_FRAME;
      break;
    }
    if (context->end_of_file) {
      info->skipped_frames = output->skipped_frames;
      return PARSER_END_OF_STREAM;
    }
    if (read_block(context) != CHAIN_OK) {
      puts("Parsing with newly filled buffer failed");
      return PARSER_ERROR_CHAIN;
    }
  }

  context->remaining = context->current->size;
  context->read_offset = 0;
  hand_out(context, destination, *capacity, info);
  info->skipped_frames = output->skipped_frames;
  return PARSER_OK;
}

int32_t GSTPARSER_GetCodecConfig(ParserContext *context, uint32_t *config) {
  if (!context || !config) {
    puts("Invalid parameters passed to codec config");
    return PARSER_ERROR_PARAMETER;
  }
  if (!context->codec_config_ready) {
    puts("Trying to get codec config when it is not ready");
    return PARSER_ERROR_NOT_READY;
  }
  config[0] = context->output.height;
  config[1] = context->output.width;
  return PARSER_OK;
}

void GSTPARSER_Deinitialise(ParserContext *context) {
  if (!context) return;
  context->reset(&context->output);
  g_slist_foreach(context->output.frames, [](gpointer data, gpointer) {
    gst_buffer_unref(static_cast<GstBuffer *>(data));
  }, nullptr);
  g_slist_free(context->output.frames);
  gst_buffer_unref(context->output.codec_data);
  gst_buffer_unref(context->current);
  free(context);
}

}  // extern "C"
