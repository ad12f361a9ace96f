/* SPDX-License-Identifier: BSD-2-Clause */
/* MD5 (RFC 1321), for item checksums comparable with ffprobe's data hashes. */
#ifndef QUILLAR_TOOLS_MD5_H
#define QUILLAR_TOOLS_MD5_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct Md5 {
  uint32_t state[4];
  uint64_t length;
  uint8_t block[64];
  size_t used;
} Md5;

void md5_init(Md5 *md5);
void md5_update(Md5 *md5, const void *data, size_t size);
/* Writes 32 lower-case hex digits and a NUL to hex. */
void md5_final_hex(Md5 *md5, char hex[33]);

#ifdef __cplusplus
}
#endif

#endif
