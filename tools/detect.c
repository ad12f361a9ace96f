#include "detect.h"

#include <stdlib.h>
#include <string.h>

static const uint8_t k_asf_header_guid[16] = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                              0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};

uint32_t detect_standard(const uint8_t *head, size_t size, const char **format) {
  const char *name = "unknown";
  uint32_t code = 0;
  if (size >= 4 && memcmp(head, "DKIF", 4) == 0) {
    name = "IVF", code = 10;
  } else if (size >= 12 && memcmp(head, "RIFF", 4) == 0 && memcmp(head + 8, "WEBP", 4) == 0) {
    name = "WebP", code = 10;
  } else if (size >= 12 && memcmp(head, "RIFF", 4) == 0 && memcmp(head + 8, "AVI ", 4) == 0) {
    name = "AVI", code = 8;
  } else if (size >= 16 && memcmp(head, k_asf_header_guid, 16) == 0) {
    name = "ASF", code = 5;
  } else if (size >= 4 && memcmp(head, ".RMF", 4) == 0) {
    name = "RealMedia", code = 7;
  } else if (size >= 4 && memcmp(head, "FLV\x01", 4) == 0) {
    name = "FLV", code = 9;
  } else if (size >= 4 && head[3] == 0xC5) {
    name = "RCV", code = 5;
  }
  if (format) *format = name;
  return code;
}

static const struct {
  const char *name;
  uint32_t code;
} k_names[] = {{"vc1", 5},  {"vc-1", 5}, {"rcv", 5},       {"asf", 5},  {"wmv", 5},
               {"rm", 7},   {"rv", 7},   {"realvideo", 7}, {"realmedia", 7},
               {"avi", 8},  {"vp6", 9},  {"vp8", 10},      {"ivf", 10}, {"webp", 10}, {"flv", 9}};

uint32_t parse_standard(const char *text) {
  for (size_t i = 0; i < sizeof k_names / sizeof k_names[0]; i++)
    if (strcmp(text, k_names[i].name) == 0) return k_names[i].code;
  char *end = NULL;
  const unsigned long value = strtoul(text, &end, 10);
  if (end == text || *end != '\0' || value > 0xFFFFFFFFul) return 0;
  return (uint32_t)value;
}

const char *standard_name(uint32_t code) {
  switch (code) {
    case 5: return "VC-1 (RCV or ASF)";
    case 7: return "RealVideo (RealMedia)";
    case 8: return "AVI";
    case 9: return "VP6 (size-prefixed or FLV)";
    case 10: return "VP8 (IVF or WebP)";
    default: return "unsupported";
  }
}
