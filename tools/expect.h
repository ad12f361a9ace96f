/* SPDX-License-Identifier: BSD-2-Clause */
/* What each container's headers declare about the whole file: the frame
 * count and where the container ends. The tool compares it with what came
 * out, to tell a cut file from a complete one. */
#ifndef QUILLAR_TOOLS_EXPECT_H
#define QUILLAR_TOOLS_EXPECT_H

#include "detect.h"

#ifdef __cplusplus
extern "C" {
#endif

void declare_ivf(ReadAt read_at, void *input, Declared *out);
void declare_vp6(ReadAt read_at, void *input, Declared *out);
void declare_rcv(ReadAt read_at, void *input, Declared *out);
void declare_riff(ReadAt read_at, void *input, Declared *out);
void declare_avi(ReadAt read_at, void *input, Declared *out);
void declare_asf(ReadAt read_at, void *input, Declared *out);

#ifdef __cplusplus
}
#endif

#endif
