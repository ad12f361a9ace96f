/* SPDX-License-Identifier: BSD-2-Clause */
/* Quillar: RealMedia string readers.
 *
 * RealMedia stores strings as a big-endian length followed by that many
 * bytes (no terminator). These readers copy one such string out of a byte
 * range. */
#ifndef QUILLAR_RMUTILS_H
#define QUILLAR_RMUTILS_H

#include "gtypes.h"

QUILLAR_BEGIN_DECLS

/* Reads a string with a one-byte length n from the `available` bytes at
 * `data`. If `consumed` is not NULL it is set to 0 first. Returns NULL when
 * `data` is NULL, `available` is 0 or the n + 1 bytes do not fit, or when out
 * of memory (consumed stays 0). Otherwise sets *consumed to n + 1 and returns
 * a new NUL-terminated copy of the n bytes (it stops early at a NUL byte);
 * the caller owns it and releases it with free. */
QUILLAR_API gchar *gst_rm_utils_read_string8(const guint8 *data, guint32 available,
                                             guint32 *consumed);
/* The same with a two-byte big-endian length n: NULL unless n + 2 bytes fit;
 * on success *consumed is n + 2. */
QUILLAR_API gchar *gst_rm_utils_read_string16(const guint8 *data, guint32 available,
                                              guint32 *consumed);
/* Kept for compatibility; does nothing. */
QUILLAR_API void gst_rm_utils_run_tests(void);

QUILLAR_END_DECLS

#endif
