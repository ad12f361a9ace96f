/* SPDX-License-Identifier: BSD-2-Clause */
#include "md5.h"

#include <stdio.h>
#include <string.h>

static const uint32_t k_sines[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613,
    0xfd469501, 0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193,
    0xa679438e, 0x49b40821, 0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d,
    0x02441453, 0xd8a1e681, 0xe7d3fbc8, 0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed,
    0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a, 0xfffa3942, 0x8771f681, 0x6d9d6122,
    0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70, 0x289b7ec6, 0xeaa127fa,
    0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665, 0xf4292244,
    0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb,
    0xeb86d391};
static const uint8_t k_shifts[64] = {7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22,
                                     5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20,
                                     4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23,
                                     6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21};

static uint32_t rotl(uint32_t x, unsigned n) { return (x << n) | (x >> (32 - n)); }

static void md5_block(uint32_t state[4], const uint8_t *p) {
  uint32_t m[16];
  for (int i = 0; i < 16; i++)
    m[i] = (uint32_t)p[4 * i] | (uint32_t)p[4 * i + 1] << 8 | (uint32_t)p[4 * i + 2] << 16 |
           (uint32_t)p[4 * i + 3] << 24;
  uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
  for (unsigned i = 0; i < 64; i++) {
    uint32_t f;
    unsigned g;
    if (i < 16) {
      f = (b & c) | (~b & d);
      g = i;
    } else if (i < 32) {
      f = (d & b) | (~d & c);
      g = (5 * i + 1) % 16;
    } else if (i < 48) {
      f = b ^ c ^ d;
      g = (3 * i + 5) % 16;
    } else {
      f = c ^ (b | ~d);
      g = (7 * i) % 16;
    }
    uint32_t t = d;
    d = c;
    c = b;
    b = b + rotl(a + f + k_sines[i] + m[g], k_shifts[i]);
    a = t;
  }
  state[0] += a;
  state[1] += b;
  state[2] += c;
  state[3] += d;
}

void md5_init(Md5 *md5) {
  md5->state[0] = 0x67452301;
  md5->state[1] = 0xefcdab89;
  md5->state[2] = 0x98badcfe;
  md5->state[3] = 0x10325476;
  md5->length = 0;
  md5->used = 0;
}

void md5_update(Md5 *md5, const void *data, size_t size) {
  const uint8_t *p = (const uint8_t *)data;
  md5->length += size;
  if (md5->used) {
    size_t take = 64 - md5->used;
    if (take > size) take = size;
    memcpy(md5->block + md5->used, p, take);
    md5->used += take;
    p += take;
    size -= take;
    if (md5->used < 64) return;
    md5_block(md5->state, md5->block);
    md5->used = 0;
  }
  for (; size >= 64; p += 64, size -= 64) md5_block(md5->state, p);
  if (size) memcpy(md5->block, p, size);
  md5->used = size;
}

void md5_final_hex(Md5 *md5, char hex[33]) {
  const uint64_t bits = md5->length * 8;
  const uint8_t pad = 0x80;
  const uint8_t zero = 0;
  md5_update(md5, &pad, 1);
  while (md5->used != 56) md5_update(md5, &zero, 1);
  uint8_t len[8];
  for (int i = 0; i < 8; i++) len[i] = (uint8_t)(bits >> (8 * i));
  md5_update(md5, len, 8);
  for (int i = 0; i < 4; i++)
    for (int j = 0; j < 4; j++) snprintf(hex + 8 * i + 2 * j, 3, "%02x", (md5->state[i] >> (8 * j)) & 0xff);
}
