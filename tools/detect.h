/* Guessing a file's video standard code from its first bytes. */
#ifndef QUILLAR_TOOLS_DETECT_H
#define QUILLAR_TOOLS_DETECT_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The code for a file starting with `head` (of `size` bytes), or 0 when the
 * bytes name no format. *format gets a short format name. */
uint32_t detect_standard(const uint8_t *head, size_t size, const char **format);
/* The code for a name ("vc1", "rcv", "asf", "wmv", "rm", "realvideo", "avi",
 * "vp6", "flv", "vp8", "ivf", "webp") or a number; 0 when unknown. */
uint32_t parse_standard(const char *text);
/* A short name for a code, for messages. */
const char *standard_name(uint32_t code);

#ifdef __cplusplus
}
#endif

#endif
