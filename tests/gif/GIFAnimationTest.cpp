// SPDX-License-Identifier: GPL-3.0-or-later
// The picture control's animation: frame timing against Speed, passes against the loop count,
// frame disposal in the composite, the animation setters, and real timer ticks on both paths.
// Steps are driven by firing the animation timer's tick by hand, with a clock the test sets.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QEventLoop>
#include <QImage>
#include <QTimer>
#include <QWidget>
#include <stdexcept>
#include <string>
#include <vector>

#include "GIFImage.h"
#include "GifTestEncoder.h"
#include "PeakMemory.h"

using gif_test::GifBuilder;
using gif_test::GlobalColor;

namespace {

// One image of an animation: its rectangle, a single colour index (or its own pixels), and its
// graphic control values (delay in hundredths of a second; transparent index < 0 for none).
struct Shot {
    int left, top, width, height;
    int index;
    int disposal = 0;
    int delayHundredths = 0;
    int transparent = -1;
    std::vector<uint8_t> pixels = {};
};

// An animation over an 8-bit global table; loops < 0 leaves the loop-count block out.
std::string Animation(int width, int height, const std::vector<Shot>& shots, int loops = -1) {
    GifBuilder b;
    b.Header(width, height, 8);
    if (loops >= 0) b.Netscape(loops);
    for (const Shot& s : shots) {
        b.GraphicControl(s.disposal, s.delayHundredths, s.transparent);
        b.Image(s.left, s.top, s.width, s.height,
                s.pixels.empty() ? std::vector<uint8_t>(s.width * s.height, s.index) : s.pixels);
    }
    return b.Trailer().Bytes();
}

// Frames 1, 2, 3, ... filling a 3 x 2 screen with colours 11, 12, 13, ...
std::string Flipbook(int frames, int delayHundredths = 0, int loops = -1) {
    std::vector<Shot> shots;
    for (int i = 0; i < frames; ++i) shots.push_back({0, 0, 3, 2, 11 + i, 0, delayHundredths});
    return Animation(3, 2, shots, loops);
}

// Frame 1 (4 x 3): row 0 of index 0, see-through when `transparent`, rows 1-2 of index 1. Frame 2
// covers rows 0-1 with 5; frame 3 puts 6 at (3, 0). Frames 2 and 3 are disposed of with `disposal`,
// frame 3 when the animation wraps to frame 1, which shows it through its see-through row.
std::string Layers(int disposal, bool transparent) {
    std::vector<uint8_t> first(12, 1);
    std::fill(first.begin(), first.begin() + 4, 0);
    return Animation(
        4, 3,
        {{0, 0, 4, 3, 0, 0, 0, transparent ? 0 : -1, first}, {0, 0, 4, 2, 5, disposal}, {3, 0, 1, 1, 6, disposal}});
}

bool Load(TGIFImage& image, const std::string& bytes) {
    TMemoryStream stream(std::vector<uint8_t>(bytes.begin(), bytes.end()));
    return image.LoadFromStream(stream);
}

// The tick the animation timer would deliver; false when no timer is armed.
bool Tick(TGIFImage& image) {
    auto* timer = const_cast<TTimerEx*>(image.AnimationTimer());
    if (!timer) return false;
    timer->FireTimer();
    return true;
}

// Paints the control off screen, as the window system would.
void Paint(TGIFImage& image) {
    QImage target(image.width(), image.height(), QImage::Format_RGB32);
    image.render(&target);
}

struct Events {
    int changing = 0;
    int change = 0;
    int wraps = 0;
    void Attach(TGIFImage& image) {
        image.OnChanging = TNotifyEvent([this, &image](QObject* s) { changing += s == &image; });
        image.OnChange = TNotifyEvent([this, &image](QObject* s) { change += s == &image; });
        image.OnWrapAnimation = TNotifyEvent([this, &image](QObject* s) { wraps += s == &image; });
    }
};

uint32_t Interval(const TGIFImage& image) {
    return image.AnimationTimer() ? image.AnimationTimer()->Interval() : 0;
}

}  // namespace

TEST(GIFAnimation, IntervalIsTheScaledDelayLessTheDrawingTime) {
    struct Case {
        int delayHundredths, speed;
        uint32_t start, drawing;  // the clock reads start, start + drawing, ...
        uint32_t expected;        // max(max(delay, 50) * 100 div speed - drawing, 1) ms
    };
    // The last case crosses the wrap of the 32-bit tick count.
    const Case cases[] = {
        {0, 100, 0, 0, 50},     {0, 1000, 0, 0, 5},      {0, 100000, 0, 0, 1},    {3, 100, 0, 0, 50},
        {25, 200, 0, 0, 125},   {25, 50, 0, 0, 500},     {10, 300, 0, 0, 33},     {65535, 1, 0, 0, 65535000},
        {10, 100, 1000, 7, 93}, {10, 100, 1000, 100, 1}, {10, 100, 1000, 250, 1}, {10, 100, 0xFFFFFFFEu, 7, 93},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.delayHundredths << " at " << c.speed << ", " << c.drawing);
        TGIFImage image;
        ASSERT_TRUE(Load(image, Flipbook(2, c.delayHundredths)));
        uint32_t clock = c.start;
        image.SetTickSource([&clock, &c] {
            clock += c.drawing;
            return clock - c.drawing;
        });
        image.SetSpeed(c.speed);
        image.SetAnimate(true);
        EXPECT_EQ(Interval(image), c.drawing ? 100u : c.expected);  // armed for frame 1 as it is
        ASSERT_TRUE(Tick(image));
        EXPECT_EQ(Interval(image), c.expected);
    }
}

TEST(GIFAnimation, PassesFollowTheLoopCount) {
    struct Case {
        const char* name;
        int loops;  // < 0: no loop-count block
        bool loop;
        int passes;  // -1: endless
    };
    const Case cases[] = {
        {"no loop count: once", -1, false, 1},
        {"three passes", 3, false, 3},
        {"zero: endless", 0, false, -1},
        {"Loop overrides a count", 3, true, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TGIFImage image;
        ASSERT_TRUE(Load(image, Flipbook(3, 20, c.loops)));
        Events events;
        events.Attach(image);
        image.SetLoop(c.loop);
        image.SetAnimate(true);
        // Each step is painted, as on screen: every paint re-arms the timer for the frame due next,
        // or leaves it freed once the passes are played.
        int steps = 0;
        while (steps < 30 && Tick(image)) {
            ++steps;
            Paint(image);
        }
        EXPECT_EQ(steps, c.passes < 0 ? 30 : 3 * c.passes);
        EXPECT_EQ(events.wraps, c.passes < 0 ? 10 : c.passes);
        EXPECT_EQ(events.changing, steps);
        EXPECT_EQ(events.change, steps);
        if (c.passes < 0) {
            EXPECT_EQ(image.CurrentFrame(), 1);
            continue;
        }
        // Finished: no timer, the last frame stays, CurrentFrame is one past it; neither a paint
        // nor a stray step changes that.
        Paint(image);
        image.AnimationStep(nullptr);
        EXPECT_EQ(events.changing, steps);
        EXPECT_EQ(image.AnimationTimer(), nullptr);
        EXPECT_EQ(image.CurrentFrame(), 4);
        EXPECT_EQ(image.CompositeBitmap().pixel(2, 1), GlobalColor(13));
        EXPECT_TRUE(image.GetPalette().isEmpty());
        // Loop switched on plays again from frame 1, endlessly.
        image.SetLoop(true);
        EXPECT_EQ(image.CurrentFrame(), 1);
        EXPECT_EQ(Interval(image), 200u);
        ASSERT_TRUE(Tick(image));
        EXPECT_EQ(image.CompositeBitmap().pixel(2, 1), GlobalColor(11));
        for (int i = 0; i < 30; ++i) ASSERT_TRUE(Tick(image));
        EXPECT_EQ(events.wraps, c.passes + 10);
    }
}

TEST(GIFAnimation, WritingCurrentFrame) {
    // Frame 1 fills 4 x 4 with 10; frames 2 and 3 cover parts of it with 20 and 30.
    const std::string bytes = Animation(4, 4, {{0, 0, 4, 4, 10}, {0, 0, 2, 2, 20}, {2, 2, 2, 2, 30}});
    struct Case {
        int value;
        bool shown;
    };
    const Case cases[] = {{0, false}, {4, false}, {-1, false}, {1, false}, {3, true}};
    for (const Case& c : cases) {
        TGIFImage image;
        ASSERT_TRUE(Load(image, bytes));
        std::vector<QRgb> seen;
        image.OnChanging = TNotifyEvent([&](QObject*) { seen.push_back(image.CompositeBitmap().pixel(3, 3)); });
        image.OnChange = TNotifyEvent([&](QObject*) { seen.push_back(image.CompositeBitmap().pixel(3, 3)); });
        image.SetCurrentFrame(c.value);
        if (!c.shown) {
            EXPECT_TRUE(seen.empty()) << c.value;
            EXPECT_EQ(image.CurrentFrame(), 1) << c.value;
            EXPECT_EQ(image.CompositeBitmap().pixel(3, 3), GlobalColor(10)) << c.value;
            continue;
        }
        // OnChanging sees the old picture, OnChange the new one, composed over frame 1.
        EXPECT_EQ(seen, (std::vector<QRgb>{GlobalColor(10), GlobalColor(30)}));
        EXPECT_EQ(image.CurrentFrame(), 3);
        EXPECT_EQ(image.CompositeBitmap().pixel(0, 0), GlobalColor(10));
        EXPECT_EQ(image.CompositeBitmap().pixel(2, 2), GlobalColor(30));
        EXPECT_EQ(image.GetPalette().value(30), GlobalColor(30));
    }
}

TEST(GIFAnimation, DisposalRestoresBackgroundOrWhatLayBeneath) {
    struct Case {
        int disposal;
        bool transparent;  // frame 1 has a see-through colour
        QRgb row0, row1;   // colours after frame 2's disposal
        int mask0, mask1;  // composite mask there: 1 = see-through
        QRgb wrapped;      // colour at (3, 0) once frame 3 is disposed and frame 1 drawn again
    };
    const QRgb black = qRgb(0, 0, 0);
    const Case cases[] = {
        {2, true, black, black, 1, 1, black},
        {3, true, black, GlobalColor(1), 1, 0, black},
        {1, true, GlobalColor(5), GlobalColor(5), 0, 0, GlobalColor(6)},
        {2, false, black, black, -1, -1, GlobalColor(0)},
        {3, false, GlobalColor(0), GlobalColor(1), -1, -1, GlobalColor(0)},
        {1, false, GlobalColor(5), GlobalColor(5), -1, -1, GlobalColor(0)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "disposal " << c.disposal << (c.transparent ? ", see-through" : ""));
        TGIFImage image;
        ASSERT_TRUE(Load(image, Layers(c.disposal, c.transparent)));
        const QImage& bitmap = image.CompositeBitmap();
        const QImage& mask = image.CompositeMask();
        ASSERT_EQ(mask.isNull(), !c.transparent);
        image.SetLoop(true);
        image.SetAnimate(true);
        ASSERT_TRUE(Tick(image));  // frame 1 is already on display
        ASSERT_TRUE(Tick(image));
        EXPECT_EQ(bitmap.pixel(1, 0), GlobalColor(5));
        if (c.transparent) {
            EXPECT_EQ(mask.pixelIndex(1, 0), 0);
        }
        ASSERT_TRUE(Tick(image));
        EXPECT_EQ(bitmap.pixel(1, 0), c.row0);
        EXPECT_EQ(bitmap.pixel(2, 1), c.row1);
        EXPECT_EQ(bitmap.pixel(0, 2), GlobalColor(1));
        EXPECT_EQ(bitmap.pixel(3, 0), GlobalColor(6));
        if (c.transparent) {
            EXPECT_EQ(mask.pixelIndex(1, 0), c.mask0);
            EXPECT_EQ(mask.pixelIndex(2, 1), c.mask1);
            EXPECT_EQ(mask.pixelIndex(3, 0), 0);
        }
        // The wrap back to frame 1 disposes of frame 3 first.
        ASSERT_TRUE(Tick(image));
        EXPECT_EQ(image.CurrentFrame(), 2);
        EXPECT_EQ(bitmap.pixel(3, 0), c.wrapped);
        EXPECT_EQ(bitmap.pixel(3, 2), GlobalColor(1));
        if (c.transparent) {
            EXPECT_EQ(mask.pixelIndex(3, 0), c.wrapped == black ? 1 : 0);
        }
    }
}

// Restoring what lay under a frame needs only that frame's rectangle, and only while it is on
// display: 64 full-screen frames of 512 x 512 with disposal 3 load in about the memory of their
// pixels (16 MiB), not with a 32-bit copy (1 MiB) per frame kept beside each, and play a pass
// holding one saved rectangle at a time.
TEST(GIFAnimation, RestorePreviousKeepsOnlyTheRectangleOnDisplay) {
    GifBuilder b;
    b.Header(512, 512, 1);
    for (int i = 0; i < 64; ++i) b.GraphicControl(3, 0).BlankImages(1, 0, 0, 512, 512);
    const std::string bytes = b.Trailer().Bytes();
    TGIFImage image;
    test_support::PeakMemory memory;
    ASSERT_TRUE(memory.Available());
    ASSERT_TRUE(Load(image, bytes));
    ASSERT_EQ(image.FrameCount(), 64);
    const auto saved = [&image] {
        int n = 0;
        for (int i = 1; i <= image.FrameCount(); ++i) n += !image.Frame(i)->SaveBitmap.isNull();
        return n;
    };
    EXPECT_LT(memory.Growth(), size_t{32} << 20);
    EXPECT_LE(saved(), 1);
    image.SetLoop(true);
    image.SetAnimate(true);
    for (int step = 0; step < 70; ++step) {
        ASSERT_TRUE(Tick(image));
        ASSERT_LE(saved(), 1) << "step " << step;
    }
}

TEST(GIFAnimation, AnimateOffShowsFrameOneAgain) {
    TGIFImage image;
    ASSERT_TRUE(Load(image, Layers(3, true)));
    image.SetAnimate(true);
    ASSERT_TRUE(Tick(image));
    ASSERT_TRUE(Tick(image));  // frame 2 on display
    ASSERT_EQ(image.CompositeBitmap().pixel(0, 0), GlobalColor(5));
    image.SetAnimate(false);
    EXPECT_EQ(image.AnimationTimer(), nullptr);
    EXPECT_EQ(image.CurrentFrame(), 1);
    EXPECT_EQ(image.CompositeBitmap().pixel(0, 0), qRgb(0, 0, 0));
    EXPECT_EQ(image.CompositeMask().pixelIndex(0, 0), 1);
    EXPECT_EQ(image.CompositeBitmap().pixel(0, 1), GlobalColor(1));
    EXPECT_EQ(image.CompositeMask().pixelIndex(0, 1), 0);
    // On again: a fresh start, frame 1 first, then frame 2.
    image.SetAnimate(true);
    ASSERT_TRUE(Tick(image));
    EXPECT_EQ(image.CurrentFrame(), 2);
    EXPECT_EQ(image.CompositeBitmap().pixel(0, 0), qRgb(0, 0, 0));
    ASSERT_TRUE(Tick(image));
    EXPECT_EQ(image.CompositeBitmap().pixel(0, 0), GlobalColor(5));
}

TEST(GIFAnimation, SpeedChangeRetimesTheNextStepAtOnce) {
    TGIFImage image;
    ASSERT_TRUE(Load(image, Flipbook(2, 10, 0)));
    image.SetTickSource([] { return 0u; });
    image.SetAnimate(true);
    ASSERT_TRUE(Tick(image));
    EXPECT_EQ(Interval(image), 100u);
    image.SetSpeed(200);
    EXPECT_EQ(Interval(image), 1u);
    ASSERT_TRUE(Tick(image));
    EXPECT_EQ(Interval(image), 50u);
    image.SetSpeed(-5);  // held at 1 percent
    EXPECT_EQ(Interval(image), 1u);
    ASSERT_TRUE(Tick(image));
    EXPECT_EQ(Interval(image), 10000u);
}

TEST(GIFAnimation, TimerExistsOnlyWhileAnAnimationIsArmed) {
    // A single frame, or an empty control, never gets a timer.
    {
        TGIFImage image;
        image.SetAnimate(true);
        Paint(image);
        EXPECT_EQ(image.AnimationTimer(), nullptr);
        ASSERT_TRUE(Load(image, Flipbook(1)));
        Paint(image);
        image.SetLoop(true);
        EXPECT_EQ(image.AnimationTimer(), nullptr);
    }
    // A load frees the timer; the first paint after it arms it for frame 1; Animate off frees it.
    TGIFImage image;
    image.SetAnimate(true);
    ASSERT_TRUE(Load(image, Flipbook(3, 30)));
    EXPECT_EQ(image.AnimationTimer(), nullptr);
    Paint(image);
    EXPECT_EQ(Interval(image), 300u);
    ASSERT_TRUE(Tick(image));
    ASSERT_TRUE(Load(image, Flipbook(2, 40)));
    EXPECT_EQ(image.AnimationTimer(), nullptr);
    EXPECT_EQ(image.CurrentFrame(), 1);
    Paint(image);
    EXPECT_EQ(Interval(image), 400u);
    image.SetAnimate(false);
    EXPECT_EQ(image.AnimationTimer(), nullptr);
    Paint(image);
    EXPECT_EQ(image.AnimationTimer(), nullptr);
}

TEST(GIFAnimation, ThreadSettingsReachTheTimer) {
    TGIFImage image;
    ASSERT_TRUE(Load(image, Flipbook(2)));
    image.SetThreaded(true);
    image.SetThreadPriority(tpLower);
    image.SetAnimate(true);
    ASSERT_NE(image.AnimationTimer(), nullptr);
    EXPECT_TRUE(image.AnimationTimer()->Threaded());
    EXPECT_EQ(image.AnimationTimer()->ThreadPriority(), tpLower);
    image.SetThreadPriority(tpIdle);
    image.SetThreaded(false);
    EXPECT_FALSE(image.AnimationTimer()->Threaded());
    EXPECT_EQ(image.AnimationTimer()->ThreadPriority(), tpIdle);
    EXPECT_THROW(image.SetThreadPriority(static_cast<TThreadPriority>(7)), std::invalid_argument);
    EXPECT_EQ(image.ThreadPriority(), tpIdle);
}

TEST(GIFAnimation, HandlerThatStopsTheAnimationEndsTheStep) {
    TGIFImage image;
    ASSERT_TRUE(Load(image, Flipbook(3)));
    image.SetAnimate(true);
    ASSERT_TRUE(Tick(image));
    int changes = 0;
    image.OnChanging = TNotifyEvent([&](QObject*) { image.SetAnimate(false); });
    image.OnChange = TNotifyEvent([&](QObject*) { ++changes; });
    ASSERT_TRUE(Tick(image));
    EXPECT_EQ(image.AnimationTimer(), nullptr);
    EXPECT_EQ(image.CurrentFrame(), 1);
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(image.CompositeBitmap().pixel(0, 0), GlobalColor(11));
}

// Real ticks from the timer's own clock: a picture of three 5 ms frames (delay 0 at Speed 1000)
// with a loop count of 2 plays two passes and stops, its timer destroyed inside its own tick.
TEST(GIFAnimation, RealTicksPlayTheAnimationToItsEnd) {
    for (bool threaded : {false, true}) {
        SCOPED_TRACE(threaded ? "thread path" : "window path");
        QWidget parent;
        parent.resize(20, 20);
        auto* image = new TGIFImage(&parent);
        image->setGeometry(2, 2, 3, 2);
        ASSERT_TRUE(Load(*image, Flipbook(3, 0, 2)));
        Events events;
        events.Attach(*image);
        parent.show();
        image->SetThreaded(threaded);
        image->SetSpeed(1000);
        image->SetAnimate(true);
        ASSERT_NE(image->AnimationTimer(), nullptr);
        QElapsedTimer deadline;
        deadline.start();
        while (image->AnimationTimer() && deadline.elapsed() < 30000) {
            QEventLoop wait;
            QTimer::singleShot(20, &wait, &QEventLoop::quit);
            wait.exec();
        }
        EXPECT_EQ(image->AnimationTimer(), nullptr);
        EXPECT_EQ(events.wraps, 2);
        EXPECT_EQ(events.change, 6);
        EXPECT_EQ(image->CurrentFrame(), 4);
        EXPECT_EQ(image->CompositeBitmap().pixel(1, 1), GlobalColor(13));
    }
}
