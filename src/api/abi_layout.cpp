// SPDX-License-Identifier: BSD-2-Clause
// Record layouts that hosts and callers depend on, pinned for the 64-bit
// targets (LP64: x86-64 and AArch64 Linux).
#include <cstddef>

#include "api/context.h"
#include "quillar/gstadapter.h"
#include "quillar/gstparser.h"
#include "quillar/parser.h"

static_assert(sizeof(void *) == 8, "the record layouts are pinned for 64-bit targets");

static_assert(offsetof(BitStrBufInfo, copied_bytes) == 0);
static_assert(offsetof(BitStrBufInfo, frame_complete) == 8);
static_assert(offsetof(BitStrBufInfo, buffer_kind) == 12);
static_assert(offsetof(BitStrBufInfo, skipped_frames) == 16);
static_assert(sizeof(BitStrBufInfo) == 24);

static_assert(offsetof(CodecConfig, height) == 0);
static_assert(offsetof(CodecConfig, width) == 4);

static_assert(offsetof(ParserOutput, width) == 0);
static_assert(offsetof(ParserOutput, height) == 2);
static_assert(offsetof(ParserOutput, codec_data) == 8);
static_assert(offsetof(ParserOutput, frames) == 16);
static_assert(offsetof(ParserOutput, skipped_frames) == 24);
static_assert(offsetof(ParserOutput, parser_state) == 32);

static_assert(offsetof(ParserContext, output) == 40);
static_assert(offsetof(ParserContext, chain) == 80);
static_assert(offsetof(ParserContext, reset) == 88);
static_assert(offsetof(ParserContext, parser_storage) == 96);

static_assert(offsetof(GstBuffer, refcount) == 0);
static_assert(offsetof(GstBuffer, data) == 8);
static_assert(offsetof(GstBuffer, size) == 16);
static_assert(offsetof(GstBuffer, timestamp) == 24);
static_assert(offsetof(GstBuffer, duration) == 32);
static_assert(offsetof(GstBuffer, caps) == 40);
static_assert(offsetof(GstBuffer, offset) == 48);
static_assert(offsetof(GstBuffer, offset_end) == 56);
static_assert(offsetof(GstBuffer, owned_data) == 64);
static_assert(offsetof(GstBuffer, parent) == 72);
static_assert(offsetof(GstBuffer, attached) == 80);

static_assert(offsetof(GstAdapter, refcount) == 0);
static_assert(offsetof(GstAdapter, buffers) == 8);
static_assert(offsetof(GstAdapter, total_size) == 16);
static_assert(offsetof(GstAdapter, head_skip) == 20);
static_assert(offsetof(GstAdapter, scratch) == 24);
static_assert(offsetof(GstAdapter, scratch_capacity) == 32);
static_assert(offsetof(GstAdapter, scratch_valid) == 36);
static_assert(offsetof(GstAdapter, buffers_tail) == 40);
static_assert(offsetof(GstAdapter, extra) == 48);

static_assert(offsetof(AdapterPrivate, timestamp) == 0);
static_assert(offsetof(AdapterPrivate, distance) == 8);
static_assert(offsetof(AdapterPrivate, scan_offset) == 16);
static_assert(offsetof(AdapterPrivate, scan_node) == 24);

static_assert(offsetof(GSList, data) == 0 && offsetof(GSList, next) == 8);
static_assert(offsetof(GList, data) == 0 && offsetof(GList, next) == 8 && offsetof(GList, prev) == 16);
static_assert(offsetof(GQueue, head) == 0 && offsetof(GQueue, tail) == 8 && offsetof(GQueue, length) == 16);
