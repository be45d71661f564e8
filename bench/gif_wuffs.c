// SPDX-License-Identifier: GPL-3.0-or-later
// The Wuffs single-file release, compiled here as C with only the modules its GIF decoder needs.
#define WUFFS_IMPLEMENTATION
#define WUFFS_CONFIG__MODULES
#define WUFFS_CONFIG__MODULE__BASE
#define WUFFS_CONFIG__MODULE__GIF
#define WUFFS_CONFIG__MODULE__LZW
#include "wuffs-v0.4.c"

#include <stdlib.h>

#include "gif_wuffs.h"

int wuffs_bench_decode(const uint8_t* data, size_t size, wuffs_bench_frame_fn frameDone, void* context,
                       const char** error) {
    const char* failure = NULL;
    int frames = 0;
    uint8_t* memory = NULL;
    uint8_t* work = NULL;
    wuffs_gif__decoder* decoder = wuffs_gif__decoder__alloc();
    if (!decoder) {
        failure = "out of memory";
        goto done;
    }
    wuffs_base__io_buffer src = wuffs_base__ptr_u8__reader((uint8_t*)data, size, true);
    wuffs_base__image_config config;
    wuffs_base__status status = wuffs_gif__decoder__decode_image_config(decoder, &config, &src);
    if (!wuffs_base__status__is_ok(&status)) {
        failure = wuffs_base__status__message(&status);
        goto done;
    }
    const uint32_t width = wuffs_base__pixel_config__width(&config.pixcfg);
    const uint32_t height = wuffs_base__pixel_config__height(&config.pixcfg);
    wuffs_base__pixel_config__set(&config.pixcfg, WUFFS_BASE__PIXEL_FORMAT__INDEXED__BGRA_BINARY,
                                  WUFFS_BASE__PIXEL_SUBSAMPLING__NONE, width, height);
    const size_t bytes = (size_t)width * height + WUFFS_BASE__PIXEL_FORMAT__INDEXED__PALETTE_BYTE_LENGTH;
    memory = (uint8_t*)malloc(bytes);
    const uint64_t workLength = wuffs_gif__decoder__workbuf_len(decoder).max_incl;
    work = (uint8_t*)malloc(workLength > 0 ? (size_t)workLength : 1);
    if (!memory || !work) {
        failure = "out of memory";
        goto done;
    }
    wuffs_base__pixel_buffer pixels;
    status = wuffs_base__pixel_buffer__set_from_slice(&pixels, &config.pixcfg,
                                                      wuffs_base__make_slice_u8(memory, bytes));
    if (!wuffs_base__status__is_ok(&status)) {
        failure = wuffs_base__status__message(&status);
        goto done;
    }
    for (;;) {
        wuffs_base__frame_config frame;
        status = wuffs_gif__decoder__decode_frame_config(decoder, &frame, &src);
        if (status.repr == wuffs_base__note__end_of_data) break;
        if (!wuffs_base__status__is_ok(&status)) {
            failure = wuffs_base__status__message(&status);
            goto done;
        }
        status = wuffs_gif__decoder__decode_frame(decoder, &pixels, &src, WUFFS_BASE__PIXEL_BLEND__SRC,
                                                  wuffs_base__make_slice_u8(work, (size_t)workLength), NULL);
        if (!wuffs_base__status__is_ok(&status)) {
            failure = wuffs_base__status__message(&status);
            goto done;
        }
        ++frames;
        if (frameDone) {
            const wuffs_base__rect_ie_u32 r = wuffs_base__frame_config__bounds(&frame);
            const wuffs_base__table_u8 plane = wuffs_base__pixel_buffer__plane(&pixels, 0);
            frameDone(context, plane.ptr, plane.stride, r.min_incl_x, r.min_incl_y, r.max_excl_x, r.max_excl_y);
        }
    }
done:
    free(work);
    free(memory);
    free(decoder);
    if (error) *error = failure;
    return failure ? -1 : frames;
}
