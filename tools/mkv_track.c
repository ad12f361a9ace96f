/* SPDX-License-Identifier: BSD-2-Clause */
#include "mkv_track.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

/* A bounds-checked view of the head. */
typedef struct {
  const uint8_t *p;
  size_t size, pos;
} View;

static const uint64_t kUnknown = UINT64_MAX;

/* A VINT of at most `max` bytes; the marker kept for IDs. 0 on failure. */
static int vint(View *v, int max, int keep_marker, uint64_t *out) {
  if (v->pos >= v->size) return 0;
  const uint8_t first = v->p[v->pos];
  int n = 1;
  while (n <= 8 && !(first & (0x80 >> (n - 1)))) n++;
  if (n > max || (size_t)n > v->size - v->pos) return 0;
  uint64_t x = keep_marker ? first : (uint64_t)(first & (0xFF >> n));
  int all_ones = (x == (uint64_t)(0xFF >> n));
  for (int i = 1; i < n; i++) {
    x = x << 8 | v->p[v->pos + (size_t)i];
    all_ones = all_ones && v->p[v->pos + (size_t)i] == 0xFF;
  }
  v->pos += (size_t)n;
  *out = !keep_marker && all_ones ? kUnknown : x;
  return 1;
}

/* The next element's ID and a view of its data (cut at the head's end). */
static int element(View *v, uint32_t *id, View *body, uint64_t *size) {
  uint64_t raw = 0;
  if (!vint(v, 4, 1, &raw) || !vint(v, 8, 0, size)) return 0;
  *id = (uint32_t)raw;
  const size_t left = v->size - v->pos;
  body->p = v->p + v->pos;
  body->pos = 0;
  body->size = *size < left ? (size_t)*size : left;
  return 1;
}

static uint64_t uint_of(const View *b) {
  uint64_t x = 0;
  for (size_t i = 0; i < b->size && i < 8; i++) x = x << 8 | b->p[i];
  return x;
}

static uint32_t standard_of(const char *codec, const View *priv) {
  if (!strcmp(codec, "V_VP8") || !strcmp(codec, "V_VP9")) return 10;
  if (!strncmp(codec, "V_REAL/RV", 9) && strlen(codec) == 11 && codec[9] >= '1' && codec[9] <= '4' &&
      codec[10] == '0')
    return 7;
  if (!strcmp(codec, "V_MS/VFW/FOURCC") && priv->size >= 20) {
    const uint8_t *f = priv->p + 16;
    if (!memcmp(f, "WVC1", 4) || !memcmp(f, "WMV3", 4) || !memcmp(f, "WMVA", 4)) return 5;
  }
  return 0;
}

uint32_t mkv_track_standard(const uint8_t *head, size_t size, char *codec, size_t codec_size) {
  View v = {head, size, 0}, body;
  uint32_t id = 0;
  uint64_t len = 0;
  snprintf(codec, codec_size, "track list not in the first bytes");
  if (!element(&v, &id, &body, &len) || id != 0x1A45DFA3 || len == kUnknown || len > size - v.pos) return 0;
  v.pos += (size_t)len;
  if (!element(&v, &id, &body, &len) || id != 0x18538067) return 0;
  View segment = body;
  if (len == kUnknown) segment.size = size - v.pos;
  int video_seen = 0;
  while (element(&segment, &id, &body, &len) && id != 0x1F43B675) {
    if (len == kUnknown) return 0;
    if (id == 0x1654AE6B) {
      if (body.size < len) return 0; /* the track list runs past the head */
      View entry;
      uint64_t entry_len = 0;
      while (element(&body, &id, &entry, &entry_len) && body.size - body.pos >= entry.size) {
        body.pos += entry.size;
        if (id != 0xAE) continue;
        View field, priv = {NULL, 0, 0};
        uint64_t type = 0, field_len = 0;
        char name[40] = "";
        while (element(&entry, &id, &field, &field_len) && entry.size - entry.pos >= field.size) {
          entry.pos += field.size;
          if (id == 0x83) type = uint_of(&field);
          if (id == 0x63A2) priv = field;
          if (id == 0x86) {
            size_t n = 0;
            while (n < field.size && n + 1 < sizeof name && field.p[n] >= 0x20 && field.p[n] < 0x7F) {
              name[n] = (char)field.p[n];
              n++;
            }
            name[n] = 0;
          }
        }
        if (type != 1) continue;
        const uint32_t standard = standard_of(name, &priv);
        if (standard || !video_seen) snprintf(codec, codec_size, "%s", name);
        video_seen = 1;
        if (standard) return standard;
      }
      if (!video_seen) snprintf(codec, codec_size, "no video track");
      return 0;
    }
    if (len > segment.size - segment.pos) return 0;
    segment.pos += (size_t)len;
  }
  return 0;
}

const Container *matroska_container(const Container *row, ReadAt read_at, void *input) {
  static Container refined;
  static char name[96];
  if (!row || strcmp(row->name, "Matroska/WebM") != 0) return row;
  enum { kHead = 64 << 10 };
  uint8_t *head = malloc(kHead);
  if (!head) return row;
  const size_t got = read_at(input, 0, head, kHead);
  char codec[48];
  refined = *row;
  refined.standard = mkv_track_standard(head, got, codec, sizeof codec);
  free(head);
  snprintf(name, sizeof name, "Matroska/WebM, %s", codec);
  refined.name = name;
  return &refined;
}
