// Decoding throughput, in megapixels per second, of our decoder core ("/lunark") and of giflib's
// DGifSlurp ("/giflib") on the same GIF files generated here: a 1024 x 1024 image of 256-colour
// noise, plain and interlaced, and a 50-frame 400 x 300 animation.
//
// `bench_gif --memory` instead loads each file once through the picture control, and the animation
// again with every frame disposed of by restoring what lay under it, and prints the peak growth
// of the resident set during the load against the decoded frames plus the file size.
#include <benchmark/benchmark.h>
#include <gif_lib.h>

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "GIFImage.h"
#include "GifParser.h"
#include "GifTestEncoder.h"
#include "PeakMemory.h"

namespace {

struct TestFile {
    const char* name;
    std::string bytes;
    int64_t pixels = 0;  // pixels decoded per load
};

std::vector<uint8_t> Noise(size_t count, std::mt19937& rng) {
    std::vector<uint8_t> px(count);
    for (auto& p : px) p = static_cast<uint8_t>(rng());
    return px;
}

// A moving pattern with some noise: what an animation's frames look like to the encoder.
std::vector<uint8_t> AnimationFrame(int w, int h, int n, std::mt19937& rng) {
    std::vector<uint8_t> px(static_cast<size_t>(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            px[static_cast<size_t>(y) * w + x] = static_cast<uint8_t>(((x + 3 * n) / 8 + (y + n) / 6) % 64 +
                                                                      (rng() % 8 == 0 ? rng() % 64 : 0));
    return px;
}

// The animation's 50 frames of 400 x 300, each disposed of with the given method.
std::string Animation(int disposal, std::mt19937& rng) {
    gif_test::GifBuilder anim;
    anim.Header(400, 300, 8).Netscape(0);
    for (int n = 0; n < 50; ++n)
        anim.GraphicControl(disposal, 4).Image(0, 0, 400, 300, AnimationFrame(400, 300, n, rng));
    return anim.Trailer().Bytes();
}

const std::vector<TestFile>& Files() {
    static const std::vector<TestFile> files = [] {
        std::mt19937 rng(2026);
        std::vector<TestFile> out;
        const auto noise = Noise(1024 * 1024, rng);
        out.push_back(
            {"noise1024",
             gif_test::GifBuilder().Header(1024, 1024, 8).Image(0, 0, 1024, 1024, noise).Trailer().Bytes(),
             1024 * 1024});
        out.push_back({"noise1024_interlaced",
                       gif_test::GifBuilder()
                           .Header(1024, 1024, 8)
                           .Image(0, 0, 1024, 1024, noise, 0, true)
                           .Trailer()
                           .Bytes(),
                       1024 * 1024});
        out.push_back({"animation400x300x50", Animation(1, rng), int64_t{50} * 400 * 300});
        return out;
    }();
    return files;
}

void DecodeLunark(benchmark::State& state, const TestFile* file) {
    for (auto _ : state) {
        gif_core::ByteStream stream(reinterpret_cast<const uint8_t*>(file->bytes.data()), file->bytes.size());
        gif_core::GifPicture picture;
        gif_core::GifFrameList list;
        if (!gif_core::ParseGifStream(stream, false, picture, list)) state.SkipWithError("load failed");
        benchmark::DoNotOptimize(list.frames.data());
    }
    state.counters["Mpx/s"] = benchmark::Counter(static_cast<double>(file->pixels) / 1e6,
                                                 benchmark::Counter::kIsIterationInvariantRate);
}

struct MemoryReader {
    const std::string* bytes;
    size_t pos;
};

int ReadFromMemory(GifFileType* gif, GifByteType* out, int n) {
    auto* r = static_cast<MemoryReader*>(gif->UserData);
    size_t count = std::min<size_t>(static_cast<size_t>(n), r->bytes->size() - r->pos);
    std::memcpy(out, r->bytes->data() + r->pos, count);
    r->pos += count;
    return static_cast<int>(count);
}

void DecodeGiflib(benchmark::State& state, const TestFile* file) {
    for (auto _ : state) {
        MemoryReader reader{&file->bytes, 0};
        int error = 0;
        GifFileType* gif = DGifOpen(&reader, ReadFromMemory, &error);
        if (!gif || DGifSlurp(gif) != GIF_OK) state.SkipWithError("giflib failed");
        benchmark::DoNotOptimize(gif);
        DGifCloseFile(gif, &error);
    }
    state.counters["Mpx/s"] = benchmark::Counter(static_cast<double>(file->pixels) / 1e6,
                                                 benchmark::Counter::kIsIterationInvariantRate);
}

// Loads each file once through the picture control and compares the growth of the resident set
// during the load (its high-water mark, reset just before) with the decoded frames, composite
// included, plus the file size.
void ReportMemory() {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    int argc = 1;
    char name[] = "bench_gif";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);
    std::vector<TestFile> files = Files();
    std::mt19937 rng(2026);
    files.push_back({"animation_restore_prev", Animation(3, rng), int64_t{50} * 400 * 300});
    for (const auto& file : files) {
        TMemoryStream stream(std::vector<uint8_t>(file.bytes.begin(), file.bytes.end()));
        auto image = std::make_unique<TGIFImage>();
        const test_support::PeakMemory memory;
        if (!memory.Available()) std::printf("%s: the resident set's peak cannot be reset\n", file.name);
        if (!image->LoadFromStream(stream)) std::printf("%s: load failed\n", file.name);
        const size_t peak = memory.Growth();
        int64_t frames = 0;
        for (int n = 1; n <= image->FrameCount(); ++n) {
            const TGIFFrame* f = image->Frame(n);
            frames += f->Bitmap.sizeInBytes() + f->Mask.sizeInBytes();
        }
        frames += image->CompositeBitmap().sizeInBytes() + image->CompositeMask().sizeInBytes();
        const double ratio = static_cast<double>(peak) / static_cast<double>(frames + file.bytes.size());
        std::printf(
            "%-22s file %8zu B  frames+composite %9lld B  peak growth during load %9zu B  ratio %.2f\n",
            file.name, file.bytes.size(), static_cast<long long>(frames), peak, ratio);
        image.reset();
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--memory") == 0) {
        ReportMemory();
        return 0;
    }
    for (const auto& file : Files()) {
        benchmark::RegisterBenchmark((std::string("decode/") + file.name + "/lunark").c_str(), DecodeLunark,
                                     &file)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark((std::string("decode/") + file.name + "/giflib").c_str(), DecodeGiflib,
                                     &file)
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
