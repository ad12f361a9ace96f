/* SPDX-License-Identifier: BSD-2-Clause */
#include "detect.h"

#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include "expect.h"

#define SIG(text) text, sizeof text - 1

/* Most specific first: RIFF files differ only in their form type, and the
 * RCV marker is a single byte. Rows with standard 0 name formats the library
 * does not read, so the tool can say what a file is instead of "unknown".
 * Columns: name, standard, signature offset and bytes, second signature
 * offset and bytes, extension (for a format without a signature), what the
 * headers declare (expect.h). */
static const Container k_containers[] = {
    {"IVF", VIDEO_STANDARD_VP8, 0, SIG("DKIF"), 0, NULL, 0, NULL, declare_ivf},
    {"WebP", VIDEO_STANDARD_VP8, 0, SIG("RIFF"), 8, SIG("WEBP"), NULL, declare_riff},
    {"AVI", VIDEO_STANDARD_AVI, 0, SIG("RIFF"), 8, SIG("AVI "), NULL, declare_avi},
    {"ASF", VIDEO_STANDARD_VC1, 0,
     SIG("\x30\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C"), 0, NULL, 0, NULL,
     declare_asf},
    {"RealMedia", VIDEO_STANDARD_REALVIDEO, 0, SIG(".RMF"), 0, NULL, 0, NULL, NULL},
    /* The code follows the first video track's codec: see matroska_container. */
    {"Matroska/WebM", VIDEO_STANDARD_VP8, 0, SIG("\x1A\x45\xDF\xA3"), 0, NULL, 0, NULL, NULL},
    {"RCV", VIDEO_STANDARD_VC1, 3, SIG("\xC5"), 4, SIG("\x04\x00\x00\x00"), NULL, declare_rcv},
    {"FLV", VIDEO_STANDARD_VP6, 0, SIG("FLV\x01"), 0, NULL, 0, NULL, NULL},
    {"VP6 (size-prefixed)", VIDEO_STANDARD_VP6, 0, NULL, 0, 0, NULL, 0, ".vp6", declare_vp6},
    {"WAVE audio", 0, 0, SIG("RIFF"), 8, SIG("WAVE"), NULL, NULL},
    {"PNG image", 0, 0, SIG("\x89PNG"), 0, NULL, 0, NULL, NULL},
    {"JPEG image", 0, 0, SIG("\xFF\xD8\xFF"), 0, NULL, 0, NULL, NULL},
    {"GIF image", 0, 0, SIG("GIF8"), 0, NULL, 0, NULL, NULL},
    {"MP4/QuickTime", 0, 4, SIG("ftyp"), 0, NULL, 0, NULL, NULL},
    {"Ogg", 0, 0, SIG("OggS"), 0, NULL, 0, NULL, NULL},
};
#define CONTAINER_COUNT (sizeof k_containers / sizeof k_containers[0])

static int has(const uint8_t *head, size_t size, size_t offset, const char *magic, size_t n) {
  return offset <= size && n <= size - offset && memcmp(head + offset, magic, n) == 0;
}

const Container *detect_container(const uint8_t *head, size_t size) {
  for (size_t i = 0; i < CONTAINER_COUNT; i++) {
    const Container *c = &k_containers[i];
    if (c->magic && has(head, size, c->offset, c->magic, c->magic_size) &&
        (!c->magic2 || has(head, size, c->offset2, c->magic2, c->magic2_size)))
      return c;
  }
  return NULL;
}

const Container *container_from_name(const char *path) {
  const char *dot = strrchr(path, '.');
  if (!dot || strchr(dot, '/')) return NULL;
  for (size_t i = 0; i < CONTAINER_COUNT; i++)
    if (k_containers[i].extension && strcasecmp(dot, k_containers[i].extension) == 0)
      return &k_containers[i];
  return NULL;
}

const Container *container_without_signature(uint32_t standard) {
  for (size_t i = 0; i < CONTAINER_COUNT; i++)
    if (!k_containers[i].magic && k_containers[i].standard == standard) return &k_containers[i];
  return NULL;
}

static const struct {
  const char *name;
  uint32_t code;
} k_names[] = {
    {"vc1", VIDEO_STANDARD_VC1},       {"vc-1", VIDEO_STANDARD_VC1},
    {"rcv", VIDEO_STANDARD_VC1},       {"asf", VIDEO_STANDARD_VC1},
    {"wmv", VIDEO_STANDARD_VC1},       {"rm", VIDEO_STANDARD_REALVIDEO},
    {"rv", VIDEO_STANDARD_REALVIDEO},  {"realvideo", VIDEO_STANDARD_REALVIDEO},
    {"realmedia", VIDEO_STANDARD_REALVIDEO}, {"avi", VIDEO_STANDARD_AVI},
    {"vp6", VIDEO_STANDARD_VP6},       {"vp8", VIDEO_STANDARD_VP8},
    {"vp9", VIDEO_STANDARD_VP8},       {"ivf", VIDEO_STANDARD_VP8},
    {"webp", VIDEO_STANDARD_VP8},      {"webm", VIDEO_STANDARD_VP8},
    {"flv", VIDEO_STANDARD_VP6},
};

static const struct {
  uint32_t code;
  const char *name;
} k_standards[] = {
    {VIDEO_STANDARD_VC1, "VC-1 (RCV, ASF or Matroska)"},
    {VIDEO_STANDARD_REALVIDEO, "RealVideo (RealMedia or Matroska)"},
    {VIDEO_STANDARD_AVI, "AVI"},
    {VIDEO_STANDARD_VP6, "VP6 (size-prefixed or FLV)"},
    {VIDEO_STANDARD_VP8, "VP8/VP9 (IVF, WebM) or VP8 (WebP)"},
};

uint32_t parse_standard(const char *text) {
  for (size_t i = 0; i < sizeof k_names / sizeof k_names[0]; i++)
    if (strcasecmp(text, k_names[i].name) == 0) return k_names[i].code;
  char *end = NULL;
  const unsigned long value = strtoul(text, &end, 10);
  if (end == text || *end != '\0' || text[0] == '-' || value > 0xFFFFFFFFul) return 0;
  return (uint32_t)value;
}

const char *standard_name(uint32_t code) {
  for (size_t i = 0; i < sizeof k_standards / sizeof k_standards[0]; i++)
    if (k_standards[i].code == code) return k_standards[i].name;
  return "not a code the library serves";
}

int standard_supported(uint32_t code) {
  for (size_t i = 0; i < sizeof k_standards / sizeof k_standards[0]; i++)
    if (k_standards[i].code == code) return 1;
  return 0;
}
