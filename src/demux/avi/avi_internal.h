// SPDX-License-Identifier: BSD-2-Clause
// What the AVI demultiplexer's files share: the RIFF readers with their
// status, chunk-header helpers, the stream-record cleanup and the steps of
// each state.
#pragma once

#include "demux/avi/gstavidemux.h"

namespace quillar::avi {

constexpr uint32_t kChunkHeaderSize = 8;
constexpr uint32_t kListHeaderSize = 12;  // chunk header and list type
// Chunks that must be buffered whole are refused from this size on.
constexpr uint32_t kMaxBufferedChunk = 1u << 30;

// A RIFF chunk size with the top bit set is refused.
constexpr uint32_t kRiffMaxChunkSize = 0x7FFFFFFF;

// The RIFF readers behind the exported gst_riff_parse_* (which answer 1 for
// kOk and 0 for anything else), for callers that must tell a short record
// (kInvalid) from an allocation failure (kNoMemory). Each takes `buf`
// except riff_chunk, whose kNeedMoreData means that no further chunk header
// is in the buffer.
Status riff_chunk(GstBuffer *buf, uint32_t *offset, uint32_t *tag, GstBuffer **payload);
Status riff_strh(GstBuffer *buf, RiffStreamHeader **strh);
Status riff_strf_vids(GstBuffer *buf, RiffVideoFormat **strf, GstBuffer **extra);
Status riff_strf_auds(GstBuffer *buf, RiffAudioFormat **strf, GstBuffer **extra);
Status riff_strf_iavs(GstBuffer *buf, RiffDvFormat **strf, GstBuffer **extra);

// A chunk's payload and pad byte: the size rounded up to even.
constexpr uint32_t padded(uint32_t size) { return size + (size & 1u); }

// Reads the tag and size of the first 8 buffered bytes (the caller has made
// sure they are there).
void peek_chunk_header(AviDemuxState *s, uint32_t *tag, uint32_t *size);
// Whether the chunk at the front is buffered whole, pad byte included. A
// declared size of 0 or of 2^30 or more raises abort_buffering instead.
// Consumes nothing; tag and size are set whenever 8 bytes are buffered.
bool have_whole_chunk(AviDemuxState *s, uint32_t *tag, uint32_t *size);
// Skipping a chunk nothing reads (filler, indexes, lists before the movie
// list) without holding it: start_skip drops the chunk at the front (a
// payload of `size` bytes and its pad byte) as far as it is buffered and
// remembers the rest; skipped drops what has arrived of that rest and
// says whether it is all gone.
void start_skip(AviDemuxState *s, uint32_t size);
bool skipped(AviDemuxState *s);
// Releases everything a stream record owns and zeroes it.
void clear_stream(AviStream *stream);

// One step of each state: kOk to go on or wait for input (the chain loop
// sees from the adapter whether the step consumed anything).
Status step_header(AviDemuxState *s);
Status step_movi(AviDemuxState *s);

}  // namespace quillar::avi
