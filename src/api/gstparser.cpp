// The host-facing front end: format selection, the read-and-hand-out loop,
// codec configuration and teardown.
#include <cstdlib>
#include <cstring>

#include "api/context.h"
#include "core/internal.h"

namespace {

constexpr uint32_t kBlockSize = 8192;

using quillar::ParserStorage;

struct FormatParser {
  ParserChainFunc chain;
  ParserResetFunc reset;
  // Points the state record's own `output` field at the shared block.
  void (*bind)(ParserStorage *storage, ParserOutput *output);
};

template <typename State, State ParserStorage::*member>
void bind_state(ParserStorage *storage, ParserOutput *output) {
  (storage->*member).output = output;
}

constexpr FormatParser kIvf = {gst_ivf_parse_chain, gst_ivf_parse_reset,
                               bind_state<quillar::IvfParseState, &ParserStorage::ivf>};
constexpr FormatParser kVp6 = {gst_vp6_parse_chain, gst_vp6_parse_reset,
                               bind_state<quillar::Vp6ParseState, &ParserStorage::vp6>};
constexpr FormatParser kRcv = {RCVPARSE_Chain, RCVPARSE_Reset,
                               bind_state<quillar::RcvParseState, &ParserStorage::rcv>};
constexpr FormatParser kWebp = {WEBPPARSE_Chain, WEBPPARSE_Reset,
                                bind_state<quillar::WebpParseState, &ParserStorage::webp>};
constexpr FormatParser kAvi = {gst_avi_demux_chain, gst_avi_demux_reset_wrapper,
                               bind_state<quillar::AviDemuxState, &ParserStorage::avi>};
constexpr FormatParser kAsf = {gst_asf_demux_chain, gst_asf_demux_reset_wrapper,
                               bind_state<quillar::AsfDemuxState, &ParserStorage::asf>};
constexpr FormatParser kRm = {gst_rmdemux_chain, gst_rmdemux_reset,
                              bind_state<quillar::RmDemuxState, &ParserStorage::rm>};
constexpr FormatParser kFlv = {quillar::flv::flv_demux_chain, quillar::flv::flv_demux_reset,
                               bind_state<quillar::flv::FlvDemuxState, &ParserStorage::flv>};

// Code 9: an FLV file, else a size-prefixed VP6 stream as always. A stream
// that cannot tell its position (a pipe) is not read here, so that no byte
// of a VP6 stream is lost; a file too short for the probe, or one that
// cannot seek back after it, is read as VP6.
const FormatParser *select_vp6(FILE *file) {
  const long position = ftell(file);
  if (position < 0) return &kVp6;
  uint8_t head[quillar::kProbeSize] = {};
  const size_t got = fread(head, 1, sizeof head, file);
  if (fseek(file, position, SEEK_SET) != 0 || got < sizeof head) return &kVp6;
  return kFlvFormat.probe(head) ? &kFlv : &kVp6;
}

// Chooses the parser for a video standard, reading the file's first bytes
// where the code leaves a choice. Prints the reason and returns NULL when
// none applies.
const FormatParser *select_parser(uint32_t video_standard, FILE *file) {
  switch (video_standard) {
    case VIDEO_STANDARD_VC1: {
      const long position = ftell(file);
      uint8_t magic[4] = {0, 0, 0, 0};
      const size_t got = fread(magic, 1, 4, file);
      if (position < 0 || fseek(file, position, SEEK_SET) != 0 || got < 4) {
        puts("Cannot determinate VC1 file format");
        return nullptr;
      }
      return magic[3] == 0xC5 ? &kRcv : &kAsf;
    }
    case VIDEO_STANDARD_REALVIDEO:
      return &kRm;
    case VIDEO_STANDARD_AVI:
      return &kAvi;
    case VIDEO_STANDARD_VP6:
      return select_vp6(file);
    case VIDEO_STANDARD_VP8: {
      char magic[5] = {0, 0, 0, 0, 0};
      const size_t got = fread(magic, 1, 4, file);
      if (fseek(file, 0, SEEK_SET) != 0 || got < 4) {
        puts("Cannot determinate VP8 file format");
        return nullptr;
      }
      if (memcmp(magic, "DKIF", 4) == 0) return &kIvf;
      if (memcmp(magic, "RIFF", 4) == 0) return &kWebp;
      puts("Cannot determinate VP8 file format");
      return nullptr;
    }
    default:
      puts("Video standard not supported by parser");
      return nullptr;
  }
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
  const FormatParser *parser = select_parser(video_standard, file);
  if (!parser) {
    free(ctx);
    return;
  }
  ctx->output.parser_state = &ctx->parser_storage;
  parser->bind(&ctx->parser_storage, &ctx->output);
  ctx->chain = parser->chain;
  ctx->reset = parser->reset;
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
