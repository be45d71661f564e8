// SPDX-License-Identifier: GPL-3.0-or-later
// Decoding throughput of our decoder core against giflib's DGifSlurp and, when its single-file
// release is at hand, Wuffs' GIF decoder (decoding to 8-bit indices, the same job as ours), on the
// same files held in memory. The files are made here, deterministically: photo-like pictures
// (smooth gradients and shaded shapes quantised to 256 colours) of 1024 x 1024, 4000 x 3000 and
// 105 x 139, 1024 x 1024 noise, 50 frames of 400 x 300, and the program's own cat; each plain and
// interlaced. Every decoder's pixels are checked against ours first.
//
// The decoders take turns within each of 11 rounds; each figure is the median of the rounds, in
// thread CPU time, so a busy machine slows all of them alike.
//
// `bench_gif --write FOLDER` writes the files; `bench_gif --repeat NAME N [ours|giflib|Wuffs]`
// decodes one of them (or a .gif file NAME) N times with one decoder, for a profiler.
//
// `bench_gif --memory` instead loads each file once through the picture control, and the animation
// again with every frame disposed of by restoring what lay under it, and prints the peak growth
// of the resident set during the load against the decoded frames plus the file size.
#include <gif_lib.h>

#include <QApplication>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "BuildPaths.h"
#include "GIFImage.h"
#include "GifParser.h"
#include "GifTestEncoder.h"
#include "PeakMemory.h"
#ifdef LUNARK_BENCH_WUFFS
#include "gif_wuffs.h"
#endif

namespace {

struct TestFile {
    std::string name;
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
            px[static_cast<size_t>(y) * w + x] =
                static_cast<uint8_t>(((x + 3 * n) / 8 + (y + n) / 6) % 64 + (rng() % 8 == 0 ? rng() % 64 : 0));
    return px;
}

// The animation's 50 frames of 400 x 300, each disposed of with the given method.
std::string Animation(int disposal, bool interlaced) {
    gif_test::GifBuilder anim;
    anim.Header(400, 300, 8).Netscape(0);
    std::mt19937 frameRng(7);
    for (int n = 0; n < 50; ++n)
        anim.GraphicControl(disposal, 4).Image(0, 0, 400, 300, AnimationFrame(400, 300, n, frameRng), 0, interlaced);
    return anim.Trailer().Bytes();
}

// A photograph as a GIF encoder meets it: a sky-like gradient, shaded discs and slabs and a little
// sensor noise, quantised to a 6 x 7 x 6 colour cube (252 colours) with Floyd-Steinberg error
// diffusion, as common tools quantise photographs. Sizes are in the picture's own units, so every
// size shows the same scene.
std::vector<uint8_t> PhotoLike(int w, int h, std::mt19937& rng) {
    struct Disc {
        double cx, cy, r, red, green, blue;
    };
    struct Slab {
        double x0, y0, x1, y1, red, green, blue, slope;
    };
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::vector<Disc> discs(14);
    for (auto& d : discs) d = {unit(rng), unit(rng), 0.04 + 0.16 * unit(rng), unit(rng), unit(rng), unit(rng)};
    std::vector<Slab> slabs(8);
    for (auto& s : slabs) {
        const double x = unit(rng), y = unit(rng);
        s = {x,
             y,
             x + 0.1 + 0.3 * unit(rng),
             y + 0.05 + 0.2 * unit(rng),
             unit(rng),
             unit(rng),
             unit(rng),
             unit(rng) - 0.5};
    }
    std::normal_distribution<double> grain(0.0, 0.01);
    const int levels[3] = {6, 7, 6};
    // Colour of every pixel, channel by channel, with the quantisation error carried along.
    std::vector<double> rgb(static_cast<size_t>(w) * h * 3);
    for (int y = 0; y < h; ++y) {
        const double v = (y + 0.5) / h;
        for (int x = 0; x < w; ++x) {
            const double u = (x + 0.5) / w;
            double c[3] = {0.25 + 0.35 * v + 0.1 * u, 0.45 + 0.25 * v - 0.1 * u, 0.85 - 0.45 * v};
            for (const auto& s : slabs) {
                if (u < s.x0 || u > s.x1 || v < s.y0 || v > s.y1) continue;
                const double shade = 0.75 + s.slope * (u - s.x0) / (s.x1 - s.x0);
                c[0] = s.red * shade;
                c[1] = s.green * shade;
                c[2] = s.blue * shade;
            }
            for (const auto& d : discs) {
                const double dx = u - d.cx, dy = (v - d.cy) * h / w;
                const double q = (dx * dx + dy * dy) / (d.r * d.r);
                if (q > 1.0) continue;
                // Lit from the upper left.
                const double shade = 0.55 + 0.45 * std::sqrt(1.0 - q) - 0.3 * (dx + dy) / d.r;
                c[0] = d.red * shade;
                c[1] = d.green * shade;
                c[2] = d.blue * shade;
            }
            for (int k = 0; k < 3; ++k) rgb[(static_cast<size_t>(y) * w + x) * 3 + k] = c[k] + grain(rng);
        }
    }
    std::vector<uint8_t> px(static_cast<size_t>(w) * h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            int index = 0;
            for (int k = 0; k < 3; ++k) {
                const double c = rgb[(static_cast<size_t>(y) * w + x) * 3 + k];
                const int l = std::clamp(static_cast<int>(std::lround(c * (levels[k] - 1))), 0, levels[k] - 1);
                index = index * levels[k] + l;
                const double e = c - static_cast<double>(l) / (levels[k] - 1);
                auto spread = [&](int dx, int dy, double share) {
                    if (x + dx < 0 || x + dx >= w || y + dy >= h) return;
                    rgb[(static_cast<size_t>(y + dy) * w + (x + dx)) * 3 + k] += e * share;
                };
                spread(1, 0, 7.0 / 16);
                spread(-1, 1, 3.0 / 16);
                spread(0, 1, 5.0 / 16);
                spread(1, 1, 1.0 / 16);
            }
            px[static_cast<size_t>(y) * w + x] = static_cast<uint8_t>(index);
        }
    }
    return px;
}

std::string ReadFile(const char* path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Our decoder's frames of a file.
std::vector<std::unique_ptr<gif_core::GifFrame>> DecodeFrames(const std::string& bytes) {
    gif_core::ByteStream stream(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    gif_core::GifPicture picture;
    gif_core::GifFrameList list;
    if (!gif_core::ParseGifStream(stream, false, picture, list)) list.frames.clear();
    return std::move(list.frames);
}

std::vector<uint8_t> Plane(const gif_core::GifFrame& f) {
    std::vector<uint8_t> px;
    for (int y = 0; y < f.Height; ++y)
        for (int x = 0; x < f.Width; ++x) px.push_back(f.PixelAt(x, y));
    return px;
}

const std::vector<TestFile>& Files() {
    static const std::vector<TestFile> files = [] {
        std::mt19937 rng(2026);
        std::vector<TestFile> out;
        auto still = [&](const std::string& name, int w, int h, const std::vector<uint8_t>& px, int transparent) {
            for (bool interlaced : {false, true}) {
                gif_test::GifBuilder b;
                b.Header(w, h, 8);
                if (transparent >= 0) b.GraphicControl(0, 0, transparent);
                b.Image(0, 0, w, h, px, 0, interlaced).Trailer();
                out.push_back({name + (interlaced ? "_interlaced" : ""), b.Bytes(), int64_t{w} * h});
            }
        };
        still("photo1024", 1024, 1024, PhotoLike(1024, 1024, rng), -1);
        still("noise1024", 1024, 1024, Noise(1024 * 1024, rng), -1);
        for (bool interlaced : {false, true})
            out.push_back({std::string("animation400x300x50") + (interlaced ? "_interlaced" : ""),
                           Animation(1, interlaced), int64_t{50} * 400 * 300});
        still("photo4000x3000", 4000, 3000, PhotoLike(4000, 3000, rng), -1);
        still("photo105x139", 105, 139, PhotoLike(105, 139, rng), -1);
        // The cat as the program stores it (interlaced, index 255 see-through), and its pixels
        // stored again row after row.
        const std::string cat = ReadFile(LUNARK_CAT_GIF);
        const auto catFrames = DecodeFrames(cat);
        if (catFrames.size() == 1) {
            const gif_core::GifFrame& f = *catFrames[0];
            gif_test::GifBuilder plain;
            plain.Header(f.Width, f.Height, 8)
                .GraphicControl(0, 0, f.TransparentIndex)
                .Image(0, 0, f.Width, f.Height, Plane(f), 0, false)
                .Trailer();
            out.push_back({"cat", plain.Bytes(), int64_t{f.Width} * f.Height});
            out.push_back({"cat_interlaced", cat, int64_t{f.Width} * f.Height});
        } else {
            std::printf("the cat (%s) could not be read; it is left out\n", LUNARK_CAT_GIF);
        }
        return out;
    }();
    return files;
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

// Each decoder loads a whole file and gives a value that depends on its pixels, so that the work
// cannot be left out; 0 means failure.
size_t DecodeLunark(const TestFile& file) {
    gif_core::ByteStream stream(reinterpret_cast<const uint8_t*>(file.bytes.data()), file.bytes.size());
    gif_core::GifPicture picture;
    gif_core::GifFrameList list;
    if (!gif_core::ParseGifStream(stream, false, picture, list) || list.frames.empty()) return 0;
    return list.frames.size() + list.frames.back()->Pixels[0];
}

size_t DecodeGiflib(const TestFile& file) {
    MemoryReader reader{&file.bytes, 0};
    int error = 0;
    GifFileType* gif = DGifOpen(&reader, ReadFromMemory, &error);
    if (!gif) return 0;
    size_t result = 0;
    if (DGifSlurp(gif) == GIF_OK && gif->ImageCount > 0)
        result = static_cast<size_t>(gif->ImageCount) + gif->SavedImages[gif->ImageCount - 1].RasterBits[0];
    DGifCloseFile(gif, &error);
    return result;
}

#ifdef LUNARK_BENCH_WUFFS
void NoteFrame(void* context, const uint8_t* plane, size_t, uint32_t, uint32_t, uint32_t, uint32_t) {
    *static_cast<size_t*>(context) += plane[0];
}

size_t DecodeWuffs(const TestFile& file) {
    size_t seen = 0;
    const int frames = wuffs_bench_decode(reinterpret_cast<const uint8_t*>(file.bytes.data()), file.bytes.size(),
                                          NoteFrame, &seen, nullptr);
    return frames > 0 ? static_cast<size_t>(frames) + seen : 0;
}
#endif

// Checks that a peer's frames hold our pixels; gives a message when they do not.
std::string CompareGiflib(const TestFile& file, const std::vector<std::unique_ptr<gif_core::GifFrame>>& ours) {
    MemoryReader reader{&file.bytes, 0};
    int error = 0;
    GifFileType* gif = DGifOpen(&reader, ReadFromMemory, &error);
    if (!gif || DGifSlurp(gif) != GIF_OK) {
        if (gif) DGifCloseFile(gif, &error);
        return "giflib could not read it";
    }
    std::string message;
    if (static_cast<size_t>(gif->ImageCount) != ours.size()) message = "giflib found another number of frames";
    for (int i = 0; message.empty() && i < gif->ImageCount; ++i) {
        const SavedImage& s = gif->SavedImages[i];
        const auto mine = Plane(*ours[static_cast<size_t>(i)]);
        if (s.ImageDesc.Width * s.ImageDesc.Height != static_cast<int>(mine.size()) ||
            std::memcmp(s.RasterBits, mine.data(), mine.size()) != 0)
            message = "giflib's pixels differ in frame " + std::to_string(i + 1);
    }
    DGifCloseFile(gif, &error);
    return message;
}

#ifdef LUNARK_BENCH_WUFFS
struct WuffsCheck {
    const std::vector<std::unique_ptr<gif_core::GifFrame>>* ours;
    size_t frame = 0;
    std::string message;
};

void CheckWuffsFrame(void* context, const uint8_t* plane, size_t stride, uint32_t x0, uint32_t y0, uint32_t x1,
                     uint32_t y1) {
    auto* check = static_cast<WuffsCheck*>(context);
    if (!check->message.empty()) return;
    if (check->frame >= check->ours->size()) {
        check->message = "Wuffs found more frames";
        return;
    }
    const gif_core::GifFrame& f = *(*check->ours)[check->frame++];
    if (x0 != static_cast<uint32_t>(f.Left) || y0 != static_cast<uint32_t>(f.Top) ||
        x1 - x0 != static_cast<uint32_t>(f.Width) || y1 - y0 != static_cast<uint32_t>(f.Height)) {
        check->message = "Wuffs placed frame " + std::to_string(check->frame) + " elsewhere";
        return;
    }
    for (uint32_t y = y0; y < y1; ++y)
        for (uint32_t x = x0; x < x1; ++x)
            if (plane[y * stride + x] != f.PixelAt(static_cast<int>(x - x0), static_cast<int>(y - y0))) {
                check->message = "Wuffs' pixels differ in frame " + std::to_string(check->frame);
                return;
            }
}

std::string CompareWuffs(const TestFile& file, const std::vector<std::unique_ptr<gif_core::GifFrame>>& ours) {
    WuffsCheck check{&ours, 0, {}};
    const char* error = nullptr;
    const int frames = wuffs_bench_decode(reinterpret_cast<const uint8_t*>(file.bytes.data()), file.bytes.size(),
                                          CheckWuffsFrame, &check, &error);
    if (frames < 0) return std::string("Wuffs could not read it: ") + error;
    if (check.message.empty() && static_cast<size_t>(frames) != ours.size()) return "Wuffs found fewer frames";
    return check.message;
}
#endif

double ThreadSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

struct Decoder {
    const char* name;
    size_t (*decode)(const TestFile&);
};

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

int CompareDecoders() {
    std::vector<Decoder> decoders = {{"ours", DecodeLunark}, {"giflib", DecodeGiflib}};
#ifdef LUNARK_BENCH_WUFFS
    decoders.push_back({"Wuffs", DecodeWuffs});
#else
    std::printf(
        "Wuffs not built in (its single-file release wuffs-v0.4.c was not found in LUNARK_PEERS_DIR at "
        "configure time): its column is left out.\n");
#endif
    const auto& files = Files();
    bool same = true;
    for (const auto& file : files) {
        const auto ours = DecodeFrames(file.bytes);
        std::string message = ours.empty() ? "our decoder could not read it" : CompareGiflib(file, ours);
#ifdef LUNARK_BENCH_WUFFS
        if (message.empty()) message = CompareWuffs(file, ours);
#endif
        if (!message.empty()) {
            std::printf("%s: %s\n", file.name.c_str(), message.c_str());
            same = false;
        }
    }
    if (!same) return 1;
    std::printf("pixels identical in every decoder; %zu files, %zu rounds\n", files.size(), size_t{11});

    // Repetitions per sample so that one sample takes about 20 ms.
    std::vector<std::vector<int>> reps(files.size(), std::vector<int>(decoders.size(), 1));
    for (size_t f = 0; f < files.size(); ++f) {
        for (size_t d = 0; d < decoders.size(); ++d) {
            const double start = ThreadSeconds();
            if (decoders[d].decode(files[f]) == 0) {
                std::printf("%s: %s failed\n", files[f].name.c_str(), decoders[d].name);
                return 1;
            }
            const double once = std::max(ThreadSeconds() - start, 1e-7);
            reps[f][d] = std::clamp(static_cast<int>(0.02 / once), 1, 100000);
        }
    }
    constexpr int kRounds = 11;
    std::vector<std::vector<std::vector<double>>> samples(files.size(),
                                                          std::vector<std::vector<double>>(decoders.size()));
    size_t sink = 0;
    for (int round = 0; round < kRounds; ++round) {
        for (size_t f = 0; f < files.size(); ++f) {
            for (size_t d = 0; d < decoders.size(); ++d) {
                const double start = ThreadSeconds();
                for (int i = 0; i < reps[f][d]; ++i) sink += decoders[d].decode(files[f]);
                samples[f][d].push_back((ThreadSeconds() - start) / reps[f][d]);
            }
        }
    }
    std::printf("%-30s", "file (Mpx/s, median)");
    for (const auto& d : decoders) std::printf(" %9s", d.name);
    for (size_t d = 1; d < decoders.size(); ++d) std::printf("  ours/%-6s", decoders[d].name);
    std::printf("\n");
    for (size_t f = 0; f < files.size(); ++f) {
        std::vector<double> mpx;
        for (size_t d = 0; d < decoders.size(); ++d)
            mpx.push_back(static_cast<double>(files[f].pixels) / 1e6 / Median(samples[f][d]));
        std::printf("%-30s", files[f].name.c_str());
        for (double m : mpx) std::printf(" %9.1f", m);
        for (size_t d = 1; d < decoders.size(); ++d) std::printf("  %10.2fx", mpx[0] / mpx[d]);
        std::printf("\n");
    }
    return sink == 0 ? 1 : 0;
}

// Loads each file once through the picture control, and the animation again with every frame
// disposed of by restoring what lay under it, and compares the growth of the resident set during
// the load (its high-water mark, reset just before) with the decoded frames, composite included,
// plus the file size.
void ReportMemory() {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    int argc = 1;
    char name[] = "bench_gif";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);
    std::vector<TestFile> files = Files();
    files.push_back({"animation_restore_prev", Animation(3, false), int64_t{50} * 400 * 300});
    for (const auto& file : files) {
        TMemoryStream stream(std::vector<uint8_t>(file.bytes.begin(), file.bytes.end()));
        auto image = std::make_unique<TGIFImage>();
        const test_support::PeakMemory memory;
        if (!memory.Available()) std::printf("%s: the resident set's peak cannot be reset\n", file.name.c_str());
        if (!image->LoadFromStream(stream)) std::printf("%s: load failed\n", file.name.c_str());
        const size_t peak = memory.Growth();
        int64_t frames = 0;
        for (int n = 1; n <= image->FrameCount(); ++n) {
            const TGIFFrame* f = image->Frame(n);
            frames += f->Bitmap.sizeInBytes() + f->Mask.sizeInBytes();
        }
        frames += image->CompositeBitmap().sizeInBytes() + image->CompositeMask().sizeInBytes();
        const double ratio = static_cast<double>(peak) / static_cast<double>(frames + file.bytes.size());
        std::printf("%-30s file %8zu B  frames+composite %9lld B  peak growth during load %9zu B  ratio %.2f\n",
                    file.name.c_str(), file.bytes.size(), static_cast<long long>(frames), peak, ratio);
        image.reset();
    }
}

// Decodes one file (one of ours by name, or a .gif file on disk) over and over with one decoder
// (ours unless another is named), for a profiler.
int Repeat(const std::string& name, int times, const std::string& decoderName) {
    size_t (*decode)(const TestFile&) = DecodeLunark;
    if (decoderName == "giflib") decode = DecodeGiflib;
#ifdef LUNARK_BENCH_WUFFS
    if (decoderName == "Wuffs") decode = DecodeWuffs;
#endif
    if (decoderName != "ours" && decode == DecodeLunark) {
        std::printf("no decoder named %s\n", decoderName.c_str());
        return 1;
    }
    TestFile fromDisk;
    const TestFile* file = nullptr;
    if (name.size() > 4 && name.compare(name.size() - 4, 4, ".gif") == 0) {
        fromDisk = {name, ReadFile(name.c_str()), 0};
        file = &fromDisk;
    } else {
        for (const auto& f : Files())
            if (f.name == name) file = &f;
    }
    if (!file || file->bytes.empty()) {
        std::printf("no file named %s\n", name.c_str());
        return 1;
    }
    size_t sink = 0;
    for (int i = 0; i < times; ++i) sink += decode(*file);
    return sink == 0 ? 1 : 0;
}

// Writes the files, for looking at them or decoding them elsewhere.
int WriteFiles(const std::string& folder) {
    for (const auto& file : Files()) {
        std::ofstream out(folder + "/" + file.name + ".gif", std::ios::binary);
        out.write(file.bytes.data(), static_cast<std::streamsize>(file.bytes.size()));
        if (!out) return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--memory") == 0) {
        ReportMemory();
        return 0;
    }
    if (argc > 3 && std::strcmp(argv[1], "--repeat") == 0)
        return Repeat(argv[2], std::atoi(argv[3]), argc > 4 ? argv[4] : "ours");
    if (argc > 2 && std::strcmp(argv[1], "--write") == 0) return WriteFiles(argv[2]);
    return CompareDecoders();
}
