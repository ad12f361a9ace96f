// SPDX-License-Identifier: BSD-2-Clause
// The FLV demultiplexer: VP6 frames (video codecs 4 and 5) out of Flash Video
// files, for video standard code 9. What the front end and the tests see of
// it: the descriptor, the state record and its states.
#pragma once

#include <cstdint>

#include "format/format.h"
#include "quillar/gstadapter.h"

namespace quillar::flv {

enum class FlvState : uint32_t {
  kFileHeader = 0,  // "FLV", version, flags, DataOffset (the zero-filled start)
  kHeaderExtra,     // header bytes beyond the 9 known ones: released as they arrive
  kBackPointer,     // PreviousTagSize before each tag
  kTagHeader,       // the 11-byte tag header
  kVideoHeader,     // a video tag's first bytes: frame type, codec, VP6 fields
  kFrame,           // a VP6 frame tag: waits for the whole tag, cuts the frame out
  kSkip,            // the rest of a tag nobody reads: released as it arrives
  kRejected,        // the file header was refused: everything is released
};

struct FlvDemuxState {
  ParserOutput *output;
  FrameTail frame_tail;  // where output->frames ends
  BlockSource *blocks;   // the front end's read blocks; null without one
  GstAdapter *adapter;        // input; created by the first chain call
  FlvState state;
  uint32_t tag_left;          // bytes of the current tag's data (or of the
                              // header's extra bytes) still in the input
  uint32_t frame_offset;      // kFrame: where the VP6 frame starts in tag_left
  uint32_t frame_size;        // kFrame: its length
  int32_t tag_time_ms;        // the current tag's time, TimestampExtended included
  bool tag_filtered;          // the current tag's Filter bit (encrypted payload)
  uint32_t expected_back_pointer;    // 11 + DataSize of the last tag; 0 before the first
  uint32_t back_pointer_mismatches;  // PreviousTagSize values that disagreed (never acted on)
  uint8_t video_codec;        // CodecID of the last video tag; 0 before the first
};

// Whether the first kProbeSize bytes of a file are an FLV file's (version 1).
bool probe(const uint8_t *head);
int32_t flv_demux_chain(ParserOutput *output, GstBuffer *buffer);
void flv_demux_reset(ParserOutput *output);

}  // namespace quillar::flv

namespace quillar {

// Code 9 for a file that starts with "FLV" and version byte 1; the
// size-prefixed VP6 framer takes every other file.
inline constexpr FormatDescriptor kFlvFormat = describe<flv::FlvDemuxState>(
    "flv", standard_bit(9), flv::probe, flv::flv_demux_chain, flv::flv_demux_reset);

}  // namespace quillar
