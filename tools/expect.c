/* SPDX-License-Identifier: BSD-2-Clause */
#include "expect.h"

#include <string.h>

/* A little-endian field of a header read into memory. */
static uint64_t le(const uint8_t *p, int n) {
  uint64_t v = 0;
  for (int i = n - 1; i >= 0; i--) v = v << 8 | p[i];
  return v;
}

#define kUnknown32 0xFFFFFFFFu /* a size or count its writer did not know */

/* IVF: a header (its length at offset 6, the frame count at 24), then
 * records of a 12-byte header and the frame. */
void declare_ivf(ReadAt read_at, void *input, Declared *out) {
  uint8_t h[32];
  if (read_at(input, 0, h, sizeof h) != sizeof h) return;
  out->framed = 1;
  out->start = le(h + 6, 2);
  out->record_header = 12;
  /* Writers that cannot seek back (a pipe) leave all ones: not stated. */
  if (le(h + 24, 4) != kUnknown32) out->frames = le(h + 24, 4);
  out->frames_from = "the IVF header";
}

/* VP6: nothing but records of a 4-byte size and the frame. */
void declare_vp6(ReadAt read_at, void *input, Declared *out) {
  (void)read_at, (void)input;
  out->framed = 1;
  out->record_header = 4;
}

/* RCV: a 36-byte header whose first 24 bits count the frames (all ones when
 * the writer did not know), then records of an 8-byte header and the frame. */
void declare_rcv(ReadAt read_at, void *input, Declared *out) {
  uint8_t h[4];
  if (read_at(input, 0, h, sizeof h) != sizeof h) return;
  out->framed = 1;
  out->start = 36;
  out->record_header = 8;
  const uint64_t frames = le(h, 3);
  if (frames != 0xFFFFFF) out->frames = frames, out->frames_from = "the RCV header";
}

/* RIFF (WebP, AVI): the RIFF size covers everything after its first 8 bytes. */
void declare_riff(ReadAt read_at, void *input, Declared *out) {
  uint8_t h[8];
  if (read_at(input, 0, h, sizeof h) != sizeof h) return;
  if (le(h + 4, 4) != kUnknown32 && le(h + 4, 4) != 0) out->end = 8 + le(h + 4, 4);
  out->end_from = "the RIFF header";
}

/* AVI: the main header (the first chunk of the first list) counts the video
 * frames; the other streams' chunks come out as items too, so the count is
 * a lower bound for the items. */
void declare_avi(ReadAt read_at, void *input, Declared *out) {
  declare_riff(read_at, input, out);
  uint8_t h[52];
  if (read_at(input, 0, h, sizeof h) != sizeof h) return;
  if (memcmp(h + 12, "LIST", 4) || memcmp(h + 20, "hdrl", 4) || memcmp(h + 24, "avih", 4)) return;
  if (le(h + 48, 4) != kUnknown32) out->frames = le(h + 48, 4);
  out->frames_from = "the AVI main header";
}

static const uint8_t k_file_properties[16] = {0xA1, 0xDC, 0xAB, 0x8C, 0x47, 0xA9, 0xCF, 0x11,
                                              0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
static const uint8_t k_data_object[16] = {0x36, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                          0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
enum {
  kAsfHeaderObject = 30,     /* GUID, size, sub-object count, two reserved */
  kAsfObjectHeader = 24,     /* GUID, size */
  kAsfDataObjectHeader = 50, /* GUID, size, file id, packet count, reserved */
  kAsfBroadcast = 1,         /* file properties flag: sizes and counts unknown */
};

/* ASF: the file properties object gives the packet size, the data object
 * (right after the header object) the packet count; indexes may follow. */
void declare_asf(ReadAt read_at, void *input, Declared *out) {
  uint8_t h[kAsfHeaderObject];
  if (read_at(input, 0, h, sizeof h) != sizeof h) return;
  const uint64_t header_size = le(h + 16, 8);
  uint64_t packet_size = 0;
  for (uint64_t at = kAsfHeaderObject; at + kAsfObjectHeader <= header_size;) {
    uint8_t o[104];
    const size_t got = read_at(input, at, o, sizeof o);
    if (got < kAsfObjectHeader) return;
    const uint64_t size = le(o + 16, 8);
    if (size < kAsfObjectHeader) return;
    if (got == sizeof o && memcmp(o, k_file_properties, 16) == 0) {
      const uint64_t min = le(o + 92, 4), max = le(o + 96, 4);
      if (!(le(o + 88, 4) & kAsfBroadcast) && min == max) packet_size = min;
    }
    at += size;
  }
  uint8_t d[kAsfDataObjectHeader];
  if (read_at(input, header_size, d, sizeof d) != sizeof d || memcmp(d, k_data_object, 16)) return;
  const uint64_t packets = le(d + 40, 8);
  out->more_may_follow = 1;
  if (packet_size && packets) {
    out->end = header_size + kAsfDataObjectHeader + packets * packet_size;
    out->end_from = "the ASF data object's packet count";
  } else if (le(d + 16, 8) >= kAsfDataObjectHeader) {
    out->end = header_size + le(d + 16, 8);
    out->end_from = "the ASF data object's size";
  }
}
