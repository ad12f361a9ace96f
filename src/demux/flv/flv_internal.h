// SPDX-License-Identifier: BSD-2-Clause
// FLV layouts and the decisions taken on them, shared by the demultiplexer's
// files. Every field is big-endian.
#pragma once

#include <cstddef>
#include <cstdint>

#include "format/format.h"

namespace quillar::flv {

constexpr size_t kFileHeaderSize = 9;   // "FLV", version, flags, DataOffset
constexpr size_t kBackPointerSize = 4;  // PreviousTagSize
constexpr size_t kTagHeaderSize = 11;
// The most a video tag's data is looked at before deciding what it is: the
// VIDEODATA byte, the VP6 size adjustment and, with alpha, OffsetToAlpha.
constexpr size_t kVideoHeaderMax = 5;
// DataSize is 24 bits: no tag, so no frame, is longer than this. A VP6 frame
// is the only thing buffered whole; every other tag is released as it
// arrives, whatever its size.
constexpr uint32_t kMaxTagData = 0xFFFFFF;

constexpr uint8_t kTagAudio = 8;
constexpr uint8_t kTagVideo = 9;
constexpr uint8_t kTagScript = 18;

constexpr uint8_t kCodecVp6 = 4;
constexpr uint8_t kCodecVp6Alpha = 5;
constexpr uint8_t kFrameTypeCommand = 5;  // video info / command frame: not a picture

// The file header: signature, version 1, and DataOffset, the header's own
// length (at least 9). kInvalid for anything else.
Status parse_file_header(const uint8_t *bytes, size_t size, uint32_t *data_offset);

struct TagHeader {
  uint8_t type;        // TagType: the low 5 bits of the first byte
  bool filtered;       // Filter bit: the payload is encrypted
  uint32_t data_size;  // bytes after the header up to the back-pointer
  int32_t time_ms;     // Timestamp with TimestampExtended as its high byte
};

// The 11 header bytes. StreamID and the reserved bits are ignored.
TagHeader parse_tag_header(const uint8_t *bytes);

enum class VideoAction : uint8_t {
  kFrame,    // hand out the VP6 frame at frame_offset, frame_size bytes
  kSkipped,  // a VP6 frame the decoder does not get: counted as a skipped frame
  kDrop,     // not a VP6 picture at all: dropped silently
};

struct VideoPlan {
  VideoAction action;
  uint8_t codec;          // the tag's CodecID (0 for a tag without data)
  uint32_t frame_offset;  // from the start of the tag's data
  uint32_t frame_size;
};

// Decides what a video tag carries from its first min(data_size,
// kVideoHeaderMax) bytes (`head`, `head_size` of them). `last_codec` is the
// codec of the stream so far, for a tag with no data at all.
VideoPlan plan_video_tag(const uint8_t *head, size_t head_size, uint32_t data_size, bool filtered,
                         uint8_t last_codec);

// The tag time as a buffer timestamp (nanoseconds); negative times have none.
uint64_t timestamp_ns(int32_t time_ms);

}  // namespace quillar::flv
