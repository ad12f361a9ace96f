// SPDX-License-Identifier: BSD-2-Clause
// Matroska/WebM demultiplexer: the state record and what its parts share.
// The file is read in one sequential pass: element headers are read as they
// arrive, the few masters that hold what is played (Segment, Cluster,
// BlockGroup) are entered, the EBML header and the track list are held whole
// and parsed, blocks of the played track are held whole and unpacked, and
// everything else is released as it streams past.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/byte_reader.h"
#include "format/format.h"
#include "quillar/gstadapter.h"
#include "quillar/parser.h"

namespace quillar::mkv {

// Element IDs, marker bits included.
enum : uint32_t {
  kIdEbml = 0x1A45DFA3,
  kIdEbmlReadVersion = 0x42F7,
  kIdEbmlMaxIdLength = 0x42F2,
  kIdEbmlMaxSizeLength = 0x42F3,
  kIdDocType = 0x4282,
  kIdDocTypeReadVersion = 0x4285,
  kIdSegment = 0x18538067,
  kIdSeekHead = 0x114D9B74,
  kIdInfo = 0x1549A966,
  kIdTracks = 0x1654AE6B,
  kIdCluster = 0x1F43B675,
  kIdCues = 0x1C53BB6B,
  kIdChapters = 0x1043A770,
  kIdAttachments = 0x1941A469,
  kIdTags = 0x1254C367,
  kIdSimpleBlock = 0xA3,
  kIdBlockGroup = 0xA0,
  kIdBlock = 0xA1,
  kIdTrackEntry = 0xAE,
  kIdTrackNumber = 0xD7,
  kIdTrackType = 0x83,
  kIdCodecId = 0x86,
  kIdCodecPrivate = 0x63A2,
  kIdVideo = 0xE0,
  kIdPixelWidth = 0xB0,
  kIdPixelHeight = 0xBA,
  kIdContentEncodings = 0x6D80,
  kIdContentEncoding = 0x6240,
  kIdContentEncodingScope = 0x5032,
  kIdContentEncodingType = 0x5033,
  kIdContentCompression = 0x5034,
  kIdContentEncryption = 0x5035,
  kIdContentCompAlgo = 0x4254,
  kIdContentCompSettings = 0x4255,
};

// A data size of all ones: the element runs until something that cannot be
// its child (allowed for Segment and Cluster only).
constexpr uint64_t kUnknownSize = UINT64_MAX;

// The largest elements held whole. The EBML header is a few dozen bytes; a
// track list is a few hundred bytes to a few KiB (codec-private data
// included); a block is one frame or one lace of frames.
constexpr uint64_t kMaxEbmlHeader = 64u << 10;
constexpr uint64_t kMaxTracks = 16u << 20;
constexpr uint64_t kMaxBlock = 64u << 20;
// Masters entered while streaming: Segment, Cluster, BlockGroup.
constexpr uint32_t kMaxDepth = 3;

enum class Codec : uint8_t { kNone, kVp8, kVp9, kVc1, kRealVideo };

enum class Phase : uint8_t {
  kElementHeader,  // reading the next element's ID and size
  kSkip,           // releasing `remaining` bytes as they arrive
  kHold,           // waiting for the whole EBML header or track list
  kBlockHeader,    // waiting for a block's track number
  kBlock,          // waiting for the whole block of the played track
  kFailed,         // refused: every later call gives `failure` again
};

struct OpenMaster {
  uint32_t id;
  uint64_t end;  // file offset just past its data, or kUnknownSize
};

struct MkvState {
  ParserOutput *output;
  FrameTail frame_tail;  // where output->frames ends
  BlockSource *blocks;   // the front end's read blocks; null without one
  GstAdapter *adapter;     // input; created by the first chain call
  Phase phase;
  uint32_t standard;       // the video standard to play; 0 plays any codec
  uint32_t element_id;     // the element being held or skipped
  uint64_t remaining;      // its bytes still to come
  uint64_t offset;         // bytes consumed since the start of the file
  OpenMaster open[kMaxDepth];
  uint32_t depth;
  bool tracks_seen;        // this document's track list has been read
  Codec codec;             // the played track's codec
  uint64_t track_number;   // the played track; 0 before the track list
  uint8_t *strip;          // bytes stripped from the start of every frame
  uint32_t strip_size;
  int32_t failure;         // the chain result once refused
};

// EBML reading (ebml.cpp). Reads from `r` and moves past what was read;
// kNeedMoreData when `r` ends first, kInvalid for a malformed field.
Status read_element_id(ByteReader &r, uint32_t *id);
Status read_element_size(ByteReader &r, uint64_t *size);  // kUnknownSize for all ones
// A VINT with its marker dropped, at most 8 bytes; *length gets its length.
Status read_vint(ByteReader &r, uint64_t *value, uint32_t *length);
// The next child of a master held whole: its ID and a reader over its data.
// kNeedMoreData at the end of the parent; kInvalid for a malformed header,
// an unknown size or a size past the end of the parent.
Status next_child(ByteReader &parent, uint32_t *id, ByteReader *body);
// An unsigned integer element of 0 to 8 bytes.
bool read_uint(ByteReader body, uint64_t *value);

// The track list (tracks.cpp): chooses the played track, publishes its frame
// size and codec item. kInvalid when no track fits (with a message naming
// the codecs found), kUnsupported for compression or encryption.
Status read_tracks(MkvState *s, const uint8_t *data, size_t size);
// Releases the played track's choice (for a reset or a new document).
void forget_track(MkvState *s);

// A block of the played track (block.cpp): unpacks its lacing and queues
// one frame per laced frame. Takes over the reference to `block`.
Status unpack_block(MkvState *s, GstBuffer *block);

// One step of the element walk (walk.cpp): kOk when it did something,
// kNeedMoreData when the input ran out, else the refusal.
Status step(MkvState *s);

// Prints a refusal: "Matroska: " then the text.
void report(const char *text);

// The probe, chain and reset (mkvdemux.cpp).
bool probe(const uint8_t *head);
int32_t chain(ParserOutput *output, GstBuffer *buffer);
void reset(ParserOutput *output);
// The front end tells the demultiplexer which standard the host asked for.
void set_standard(void *state, uint32_t standard);

}  // namespace quillar::mkv

namespace quillar {
inline constexpr FormatDescriptor kMatroskaFormat =
    describe<mkv::MkvState>("matroska", standard_bit(5) | standard_bit(7) | standard_bit(10), mkv::probe,
                            mkv::chain, mkv::reset, mkv::set_standard);
}
