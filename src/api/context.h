// SPDX-License-Identifier: BSD-2-Clause
// The host's handle: one zero-filled heap record per open file.
#pragma once

#include <cstddef>
#include <cstdio>

#include "api/formats.h"
#include "quillar/gstparser.h"
#include "quillar/parser.h"

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
  // The selected format's state record: room for the largest in the format
  // table, at the strictest alignment; zero-filled with the context.
  alignas(quillar::kStateStorageAlign) unsigned char parser_storage[quillar::kStateStorageSize];
  // On a stream that cannot seek, the bytes read for format selection: the
  // start of the first block.
  uint8_t probed[quillar::kProbeSize];
  uint32_t probed_kept;
  uint32_t read_failed;         // a block read failed; reported once, then retried
  // Read blocks are consecutive spans of one larger allocation, so that the
  // adapter joins a frame that straddles blocks without copying it; the
  // format may move the parent to gather a long record (await_record).
  quillar::BlockSource blocks;
};

static_assert(offsetof(ParserContext, remaining) == 0);
static_assert(offsetof(ParserContext, read_offset) == 8);
static_assert(offsetof(ParserContext, current) == 16);
static_assert(offsetof(ParserContext, end_of_file) == 16 + sizeof(void *));
static_assert(offsetof(ParserContext, codec_config_ready) == 20 + sizeof(void *));
static_assert(offsetof(ParserContext, file) == 24 + sizeof(void *));
