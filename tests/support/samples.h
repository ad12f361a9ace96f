// SPDX-License-Identifier: BSD-2-Clause
// The bundled RCV, VP6 and FLV samples, written by the project's own writers (no
// VC-1 or VP6 encoder is available). The payloads are deterministic filler,
// not decodable pictures: the samples exercise the framing only.
// tests/make_samples writes them; a test checks the bundled files match.
#pragma once

#include <vector>

#include "support/flv_writer.h"
#include "support/rcv_writer.h"
#include "support/vp6_writer.h"

namespace qtest {

// RCV, 176x144: 12 frame records, the first a key frame, one of them a
// zero-size (skipped) record and one larger than a read block.
inline Bytes sample_rcv() {
  RcvHeader h;
  h.frames = 12;
  RcvWriter rcv(h);
  const uint32_t sizes[12] = {2400, 310, 280, 0, 295, 9000, 330, 260, 1, 300, 4100, 275};
  for (uint32_t i = 0; i < 12; i++)
    rcv.frame(pattern(sizes[i], 500 + i), i == 0 || i == 5, i * 40);
  return rcv.take();
}

// The VP6 samples' frames in order; an empty one is a skipped frame: 10
// frames with two skipped ones in a row, one frame larger than a read block,
// and a skipped one at the very end.
inline std::vector<Bytes> sample_vp6_frames() {
  std::vector<Bytes> frames;
  const uint32_t sizes[10] = {3100, 420, 390, 12000, 405, 380, 1, 415, 2900, 400};
  for (uint32_t i = 0; i < 10; i++) {
    frames.push_back(pattern(sizes[i], 700 + i));
    if (i == 2) frames.insert(frames.end(), 2, Bytes());
  }
  frames.emplace_back();
  return frames;
}

// Size-prefixed VP6: a record per frame, size 0 for the skipped ones.
inline Bytes sample_vp6() {
  Vp6Writer vp6;
  for (const Bytes &frame : sample_vp6_frames()) vp6.frame(frame);
  return vp6.take();
}

// FLV with the same VP6 frames (codec 4, 40 ms apart, the first a key frame;
// a skipped frame is a tag without frame data), an onMetaData script tag
// first and a PCM audio tag after every third video tag.
inline Bytes sample_flv() {
  FlvWriter flv;
  flv.script(flv_metadata(0.56, 176, 144, 4));
  uint32_t index = 0;
  for (const Bytes &frame : sample_vp6_frames()) {
    flv.video(flv_vp6(frame, index == 0 ? 1 : 2), index * 40);
    if (index % 3 == 0) flv.audio(flv_audio(pattern(704, 900 + index)), index * 40);
    index++;
  }
  return flv.take();
}

}  // namespace qtest
