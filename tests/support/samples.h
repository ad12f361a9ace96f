// The bundled RCV and VP6 samples, written by the project's own writers (no
// VC-1 or VP6 encoder is available). The payloads are deterministic filler,
// not decodable pictures: the samples exercise the framing only.
// tests/make_samples writes them; a test checks the bundled files match.
#pragma once

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

// Size-prefixed VP6: 10 frames with two skipped-frame records in a row, one
// frame larger than a read block, and a skipped record at the very end.
inline Bytes sample_vp6() {
  Vp6Writer vp6;
  const uint32_t sizes[10] = {3100, 420, 390, 12000, 405, 380, 1, 415, 2900, 400};
  for (uint32_t i = 0; i < 10; i++) {
    vp6.frame(pattern(sizes[i], 700 + i));
    if (i == 2) vp6.skipped(2);
  }
  return vp6.skipped().take();
}

}  // namespace qtest
