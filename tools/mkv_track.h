/* SPDX-License-Identifier: BSD-2-Clause */
/* Which video standard a Matroska/WebM file's track list calls for, from the
 * file's first bytes (the track list sits in the first few KiB of files from
 * ffmpeg and mkvmerge). */
#ifndef QUILLAR_TOOLS_MKV_TRACK_H
#define QUILLAR_TOOLS_MKV_TRACK_H

#include <stddef.h>
#include <stdint.h>

#include "detect.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The code the library plays the first fitting video track with (10 for
 * V_VP8/V_VP9, 5 for V_MS/VFW/FOURCC with WVC1, WMV3 or WMVA, 7 for
 * V_REAL/RV10..RV40), or 0. `codec` gets that track's CodecID, else the first
 * video track's, else "no video track", or "track list not in the first
 * bytes" when `head` ends before it. */
uint32_t mkv_track_standard(const uint8_t *head, size_t size, char *codec, size_t codec_size);

/* For the Matroska/WebM row: a copy of it whose standard and name ("Matroska/
 * WebM, V_VP9") follow the track list in the first 64 KiB of the input (valid
 * until the next call). Any other row is returned as it is. */
const Container *matroska_container(const Container *row, ReadAt read_at, void *input);

#ifdef __cplusplus
}
#endif

#endif
