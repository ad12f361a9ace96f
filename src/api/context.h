// The host's handle: one zero-filled heap record per open file.
#pragma once

#include <cstddef>
#include <cstdio>

#include "demux/asf/gstasfdemux.h"
#include "demux/avi/gstavidemux.h"
#include "demux/flv/flvdemux.h"
#include "demux/rm/rmdemux.h"
#include "format/format.h"
#include "parsers/ivf/gstivfparse.h"
#include "parsers/rcv/rcvparse.h"
#include "parsers/vp6/vp6parse.h"
#include "parsers/webp/webpparse.h"
#include "quillar/gstparser.h"
#include "quillar/parser.h"

namespace quillar {

// Room for the largest parser state record; every parser starts from an
// all-zero record inside the context.
union ParserStorage {
  IvfParseState ivf;
  Vp6ParseState vp6;
  RcvParseState rcv;
  WebpParseState webp;
  AviDemuxState avi;
  AsfDemuxState asf;
  RmDemuxState rm;
  flv::FlvDemuxState flv;
};

}  // namespace quillar

struct ParserContext {
  uint64_t remaining;           // bytes of current not yet handed out
  uint64_t read_offset;         // bytes of current already handed out
  GstBuffer *current;           // item being handed out (one reference)
  uint32_t end_of_file;         // a block read met the end of the file
  uint32_t codec_config_ready;  // the codec-data item has been taken
  FILE *file;                   // the host's stream; never closed here
  ParserOutput output;          // shared with the selected parser
  ParserChainFunc chain;
  ParserResetFunc reset;
  quillar::ParserStorage parser_storage;
  // On a stream that cannot seek, the bytes read for format selection: the
  // start of the first block.
  uint8_t probed[quillar::kProbeSize];
  uint32_t probed_kept;
  uint32_t read_failed;         // a block read failed; reported once, then retried
};

static_assert(offsetof(ParserContext, remaining) == 0);
static_assert(offsetof(ParserContext, read_offset) == 8);
static_assert(offsetof(ParserContext, current) == 16);
static_assert(offsetof(ParserContext, end_of_file) == 16 + sizeof(void *));
static_assert(offsetof(ParserContext, codec_config_ready) == 20 + sizeof(void *));
static_assert(offsetof(ParserContext, file) == 24 + sizeof(void *));
