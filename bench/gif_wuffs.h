// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Wuffs' GIF decoder as a yardstick for ours: decodes a GIF held in memory to 8-bit colour
// indices, one frame after the other, into one plane of the logical screen's size.

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Called after each frame with the plane (width x height of the logical screen, stride bytes a
// row) and the frame's rectangle in it.
typedef void (*wuffs_bench_frame_fn)(void* context, const uint8_t* plane, size_t stride, uint32_t x0, uint32_t y0,
                                     uint32_t x1, uint32_t y1);

// Gives the number of frames decoded, or -1 with a message in error (NULL allowed) on failure.
// frameDone may be NULL.
int wuffs_bench_decode(const uint8_t* data, size_t size, wuffs_bench_frame_fn frameDone, void* context,
                       const char** error);

#ifdef __cplusplus
}
#endif
