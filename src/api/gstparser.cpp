// SPDX-License-Identifier: BSD-2-Clause
// The host-facing front end: format selection, the read-and-hand-out loop,
// codec configuration and teardown.
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "api/context.h"
#include "core/internal.h"

namespace {

// A parent stays allocated while any of its blocks (or a frame sharing their
// bytes) lives, and is never reused.
constexpr uint32_t kBlockSize = quillar::kReadBlockSize;
constexpr uint32_t kParentSize = quillar::kReadParentSize;

using quillar::FormatDescriptor;
using quillar::kProbeSize;
using quillar::ProbeRead;
using quillar::StandardRule;

// Reads up to n bytes. A read that a signal interrupted (EINTR) is resumed;
// a short count means the end of the file or a read error (feof/ferror).
size_t read_fully(FILE *file, uint8_t *data, size_t n) {
  size_t got = 0;
  for (;;) {
    errno = 0;
    got += fread(data + got, 1, n - got, file);
    if (got == n || !ferror(file) || errno != EINTR) return got;
    clearerr(file);
  }
}

// Reads the first kProbeSize bytes for format selection into ctx->probed,
// then seeks back as the code's rule says: to where the file was, or to
// offset 0. On a stream that cannot seek (a pipe, a socket, a terminal) the
// bytes are kept as the start of the first block instead. False when the
// bytes cannot be read, or cannot be given back on a seekable file.
bool read_probe(ParserContext *ctx, ProbeRead how) {
  FILE *file = ctx->file;
  const long position = how == ProbeRead::kRestorePosition ? ftell(file) : 0;
  const size_t got = read_fully(file, ctx->probed, kProbeSize);
  const bool sought = position >= 0 && fseek(file, position, SEEK_SET) == 0;
  // Kept even when short: a code whose rows include one without a probe
  // goes on with the file, and must not lose its first bytes.
  if (!sought) ctx->probed_kept = static_cast<uint32_t>(got);
  return got == kProbeSize;
}

// Chooses the format for a video standard, reading the file's first bytes
// only when a row for the code probes. Prints the reason and returns NULL
// when none applies.
const FormatDescriptor *select_format(uint32_t video_standard, ParserContext *ctx) {
  const StandardRule *rule = quillar::rule_for(video_standard);
  if (!rule) {
    puts(quillar::kUnsupportedStandard);
    return nullptr;
  }
  const uint8_t *probed = nullptr;
  if (quillar::code_probes(video_standard)) {
    if (read_probe(ctx, rule->probe_read)) {
      probed = ctx->probed;
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

// A new read block of kBlockSize bytes: the next span of the current parent
// allocation (one a format sized for a record it awaits, or a 32 KiB one).
// A used-up parent is let go only once the next one is allocated, so that
// the new one never takes the old one's place at the top of the heap: when
// the old one is freed it leaves a hole the one after can use, rather than
// memory the allocator hands back to the system and faults in again. The
// block's fields are those of a freshly allocated buffer, as the parsers
// have always been given. NULL when out of memory.
GstBuffer *new_block(ParserContext *ctx) {
  quillar::BlockSource *source = &ctx->blocks;
  if (!source->parent || source->parent->size - source->used < kBlockSize) {
    GstBuffer *parent = gst_buffer_new_and_alloc(kParentSize);
    if (!parent) return nullptr;
    gst_buffer_unref(source->parent);
    source->parent = parent;
    source->used = 0;
  }
  GstBuffer *block = gst_buffer_create_sub(source->parent, source->used, kBlockSize);
  if (!block) return nullptr;
  block->timestamp = block->duration = block->offset = block->offset_end = 0;
  source->used += kBlockSize;
  return block;
}

// Gives the parser the next block of the file (starting with the bytes kept
// from format selection, if any) and returns a front-end result. Only a read
// that reached the end of the file ends the stream. A read error is reported
// once the bytes read before it have been handed out: the call that finds
// the error pending fails with PARSER_ERROR_CHAIN, and the call after it reads
// again (a host that cleared the stream's error goes on where it stopped).
// When no block can be allocated the parser gets one call without data; if
// that produces nothing the call fails rather than retrying without end
// (nothing is lost: the file position has not moved).
int32_t read_block(ParserContext *ctx) {
  if (ctx->read_failed) {
    ctx->read_failed = 0;
    puts("Reading the file failed");
    return PARSER_ERROR_CHAIN;
  }
  int32_t result;
  if (GstBuffer *block = new_block(ctx)) {
    size_t got = ctx->probed_kept;
    memcpy(block->data, ctx->probed, got);
    ctx->probed_kept = 0;
    got += read_fully(ctx->file, block->data + got, kBlockSize - got);
    block->size = static_cast<uint32_t>(got);
    if (got < kBlockSize && feof(ctx->file)) {
      ctx->end_of_file = 1;
    } else if (got < kBlockSize) {
      ctx->read_failed = 1;
      if (got == 0) {  // nothing to give the parser: report the error now
        gst_buffer_unref(block);
        return read_block(ctx);
      }
    }
    result = ctx->chain(&ctx->output, block);
  } else {
    puts("Allocation of new read buffer failed");
    result = ctx->chain(&ctx->output, nullptr);
    if (result == CHAIN_OK && !has_item(&ctx->output)) result = CHAIN_ERROR;
  }
  if (result != CHAIN_OK) {
    puts("Parsing with newly filled buffer failed");
    return PARSER_ERROR_CHAIN;
  }
  return PARSER_OK;
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
  const FormatDescriptor *format = select_format(video_standard, ctx);
  if (!format) {
    free(ctx);
    return;
  }
  ctx->output.parser_state = ctx->parser_storage;
  format->bind(ctx->parser_storage, &ctx->output);
  if (format->bind_blocks) format->bind_blocks(ctx->parser_storage, &ctx->blocks);
  if (format->bind_standard) format->bind_standard(ctx->parser_storage, video_standard);
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
      GSList *head = output->frames;
      context->current = static_cast<GstBuffer *>(head->data);
      output->frames = head->next;
      free(head);
      info->buffer_kind = BUFFER_KIND_FRAME;
      break;
    }
    if (context->end_of_file) {
      info->skipped_frames = output->skipped_frames;
      return PARSER_END_OF_STREAM;
    }
    if (const int32_t result = read_block(context); result != PARSER_OK) return result;
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
  gst_buffer_unref(context->blocks.parent);
  free(context);
}

}  // extern "C"
