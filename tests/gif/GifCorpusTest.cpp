// SPDX-License-Identifier: GPL-3.0-or-later
// Replays every file of the fuzzing corpus through the control's loading entry, so that the
// sanitizer builds check each past finding on every run.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "BuildPaths.h"
#include "GIFImage.h"

TEST(GifCorpus, EveryCorpusFileLoadsOrFailsCleanly) {
    namespace fs = std::filesystem;
    const fs::path dir(GIF_CORPUS_DIR);
    ASSERT_TRUE(fs::is_directory(dir)) << dir;
    int files = 0;
    for (const auto& entry : fs::directory_iterator(dir)) {
        if (!entry.is_regular_file()) continue;
        std::ifstream in(entry.path(), std::ios::binary);
        std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        TMemoryStream stream(std::move(bytes));
        TGIFImage image;
        const bool loaded = image.LoadFromStream(stream);
        // A failed load leaves nothing behind; a good one leaves a picture to paint.
        if (!loaded) {
            EXPECT_TRUE(image.IsEmpty()) << entry.path();
            EXPECT_EQ(image.DataStream().Size(), 0u) << entry.path();
        } else {
            EXPECT_FALSE(image.IsEmpty()) << entry.path();
            EXPECT_LE(image.FrameCount(), 256) << entry.path();
        }
        ++files;
    }
    EXPECT_GT(files, 0);
}
