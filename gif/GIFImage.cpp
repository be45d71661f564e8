// SPDX-License-Identifier: GPL-3.0-or-later
#include "GIFImage.h"

#include <QPaintEvent>
#include <QPainter>
#include <QPalette>
#include <QPointer>
#include <algorithm>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstring>
#include <new>
#include <string>

namespace {

void ReleasePlane(void* bits) {
    delete[] static_cast<uint8_t*>(bits);
}

// Wraps a decoded plane in an image without copying it; the image frees it.
QImage AdoptPlane(std::unique_ptr<uint8_t[]>& plane, int width, int height, size_t stride, QImage::Format format) {
    QImage image(plane.get(), width, height, static_cast<qsizetype>(stride), format, ReleasePlane, plane.get());
    if (image.isNull()) throw std::bad_alloc();
    plane.release();
    return image;
}

QImage NewImage(int width, int height, QImage::Format format) {
    QImage image(width, height, format);
    if (image.isNull()) throw std::bad_alloc();
    return image;
}

const QVector<QRgb> kMaskColors = {qRgb(0, 0, 0), qRgb(255, 255, 255)};

QImage NewMask(int width, int height, bool seeThrough) {
    QImage mask = NewImage(width, height, QImage::Format_Mono);
    mask.setColorTable(kMaskColors);
    mask.fill(seeThrough ? 1 : 0);
    return mask;
}

// Percentage of a part in a whole, rounded to the nearest with halves away from zero; -1 without
// a whole, as the platform's MulDiv gives it.
int32_t Percentage(size_t part, size_t whole) {
    if (whole == 0) return -1;
    return static_cast<int32_t>((200 * static_cast<uint64_t>(part) + whole) / (2 * static_cast<uint64_t>(whole)));
}

int32_t Clamp32(size_t value) {
    return static_cast<int32_t>(std::min<size_t>(value, INT32_MAX));
}

uint32_t SteadyTickCount() {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

// Sets or clears bit x of a 1-bit row, most significant bit first.
void SetMaskBit(uchar* row, int x, bool white) {
    const uchar bit = static_cast<uchar>(0x80 >> (x & 7));
    if (white) {
        row[x >> 3] |= bit;
    } else {
        row[x >> 3] &= static_cast<uchar>(~bit);
    }
}

bool MaskBit(const uchar* row, int x) {
    return (row[x >> 3] >> (7 - (x & 7))) & 1;
}

}  // namespace

void BuildBitmap(TGIFFrame& frame, gif_core::GifFrame& decoded) {
    frame.Left = decoded.Left;
    frame.Top = decoded.Top;
    frame.Width = decoded.Width;
    frame.Height = decoded.Height;
    frame.LocalBits = decoded.LocalBits;
    frame.Delay = decoded.Delay;
    frame.Disposal = decoded.Disposal;
    frame.HasLocalPalette = decoded.HasLocalPalette;
    frame.Interlaced = decoded.Interlaced;
    frame.Transparent = decoded.Transparent;
    frame.TransparentIndex = decoded.TransparentIndex;
    frame.Palette = decoded.Colors;

    QVector<QRgb> colors(decoded.ColorCount);
    for (int i = 0; i < decoded.ColorCount; ++i) {
        colors[i] = qRgb(decoded.Colors[3 * i], decoded.Colors[3 * i + 1], decoded.Colors[3 * i + 2]);
    }
    frame.Bitmap =
        AdoptPlane(decoded.Pixels, decoded.Width, decoded.Height, decoded.PixelStride(), QImage::Format_Indexed8);
    frame.Bitmap.setColorTable(colors);
    if (decoded.Transparent) {
        frame.Mask =
            AdoptPlane(decoded.MaskBits, decoded.Width, decoded.Height, decoded.MaskStride(), QImage::Format_Mono);
        frame.Mask.setColorTable(kMaskColors);
    }
}

// Hands the images the core reads to the control, and the core's progress to the control's.
class GifImageParseClient : public gif_core::GifParseClient {
public:
    explicit GifImageParseClient(TGIFImage& image) : image_(image) {}
    bool WantsProgress() const override { return static_cast<bool>(image_.OnProgress); }
    void Progress(size_t position, size_t size) override { image_.Progress(position, size); }
    void AcceptFrame(std::unique_ptr<gif_core::GifFrame> decoded) override {
        auto frame = std::make_unique<TGIFFrame>(&image_);
        BuildBitmap(*frame, *decoded);
        image_.Frames[image_.FFrameCount] = std::move(frame);
        ++image_.FFrameCount;
    }

private:
    TGIFImage& image_;
};

TGIFImage::TGIFImage(QWidget* parent) : QWidget(parent) {
    // Drawn over its parent's paint: no native window, no background of its own.
    setAutoFillBackground(false);
    setAttribute(Qt::WA_OpaquePaintEvent, false);
    FColor = palette().color(QPalette::Window);
    resize(105, 105);
    tickCount_ = SteadyTickCount;
}

TGIFImage::~TGIFImage() {
    ClearFrames();
}

void TGIFImage::DefineProperties(TFiler& filer) {
    filer.DefineBinaryProperty(
        "Data", [this](TStream& s) { ReadData(s); }, [this](TStream& s) { WriteData(s); }, FDataStream.Size() > 0);
}

void TGIFImage::ReadData(TStream& stream) {
    if (loading_) throw std::logic_error("picture data cannot change while it is being loaded");
    uint8_t count[4];
    stream.ReadBuffer(count, sizeof count);
    const int32_t n =
        static_cast<int32_t>(count[0] | (count[1] << 8) | (count[2] << 16) | (static_cast<uint32_t>(count[3]) << 24));
    if (n <= 0) return;
    // The bytes must be there before anything is allocated for them.
    if (stream.Size() - stream.Position() < static_cast<size_t>(n)) throw gif_core::ReadError();
    std::vector<uint8_t> bytes(static_cast<size_t>(n));
    stream.ReadBuffer(bytes.data(), bytes.size());
    FDataStream.Seek(FDataStream.Size());
    FDataStream.Write(bytes.data(), bytes.size());
}

void TGIFImage::WriteData(TStream& stream) {
    const size_t size = FDataStream.Size();
    if (size > INT32_MAX) throw std::length_error("picture data too large to store");
    const uint8_t count[4] = {static_cast<uint8_t>(size), static_cast<uint8_t>(size >> 8),
                              static_cast<uint8_t>(size >> 16), static_cast<uint8_t>(size >> 24)};
    stream.Write(count, sizeof count);
    stream.Write(FDataStream.Data(), size);
}

void TGIFImage::Loaded() {
    if (FDataStream.Size() > 0) LoadFromStream(FDataStream);
}

bool TGIFImage::LoadFromStream(TStream& stream) {
    if (loading_) return false;
    try {
        WorkStream.LoadFrom(stream);
        loading_ = true;
        bool ok = ParseGIF();
        loading_ = false;
        if (ok) return true;
    } catch (...) {
        loading_ = false;
    }
    ClearImage();
    return false;
}

bool TGIFImage::ParseGIF() {
    ClearFrames();
    // DataStream keeps the bytes last loaded; the work copy is parsed from there and is empty
    // once parsing ends, whichever way it ends.
    FDataStream = std::move(WorkStream);
    WorkStream = TMemoryStream();
    if (FDataStream.Size() == 0) return false;

    gif_core::ByteStream stream(FDataStream.Data(), FDataStream.Size());
    gif_core::GifPicture picture;
    GifImageParseClient client(*this);
    if (!gif_core::ParseGifStream(stream, FFirstImageOnly, picture, client)) return false;
    FVersion = picture.Version;
    FScreenWidth = picture.ScreenWidth;
    FScreenHeight = picture.ScreenHeight;
    FLoopCount = picture.LoopCount;
    FAnyTransparent = picture.AnyTransparent;
    FColorBits = picture.ColorBits;
    FGlobalPalette = picture.GlobalPalette;

    const bool hasArea = FScreenWidth > 0 && FScreenHeight > 0;
    FCompositeBitmap = hasArea ? NewImage(FScreenWidth, FScreenHeight, QImage::Format_RGB32) : QImage();
    if (FAutoSize) setGeometry(x(), y(), FScreenWidth, FScreenHeight);
    MultiFrame = FFrameCount > 1;
    Empty = false;
    UpdateOpaque();
    if (hasArea) FCompositeBitmap.fill(Qt::black);
    FCompositeMask = QImage();
    if (FAnyTransparent && hasArea) FCompositeMask = NewMask(FScreenWidth, FScreenHeight, true);

    Changing();
    DrawFrame();
    Change();
    update();
    return true;
}

void TGIFImage::ClearFrames() {
    Empty = true;
    ArmTimer(false, 0);
    for (int i = gif_core::kMaxFrames - 1; i >= 0; --i) Frames[i].reset();
    FDataStream.Clear();
    WorkStream.Seek(0);
    FFrameCount = 0;
    FCurrentFrame = 1;
    FLoopCount = 1;
    PassCount = 1;
    FirstStep = true;
    KeepOnProcessing = true;
    FColorBits = 0;
    FAnyTransparent = false;
    CachedBitmap.reset();
}

void TGIFImage::Progress(size_t position, size_t size) {
    if (!OnProgress) return;
    OnProgress(this, Clamp32(position), Clamp32(size), Percentage(position, size), KeepOnProcessing);
    if (!KeepOnProcessing) throw gif_core::AbortError();
}

void TGIFImage::Changing() {
    OnChanging(this);
}

void TGIFImage::Change() {
    OnChange(this);
}

const TGIFFrame* TGIFImage::Frame(int32_t n) const {
    if (n < 1 || n > gif_core::kMaxFrames) return nullptr;
    return Frames[n - 1].get();
}

void TGIFImage::Assign(const QObject* source) {
    if (loading_) throw std::logic_error("picture cannot change while it is being loaded");
    if (source == nullptr) {
        ClearImage();
        return;
    }
    if (auto* other = qobject_cast<const TGIFImage*>(source)) {
        if (other == this) return;
        if (other->Empty) {
            ClearImage();
        } else {
            TMemoryStream copy(other->FDataStream.Bytes());
            LoadFromStream(copy);
        }
        return;
    }
    throw EConvertError(std::string("Cannot assign a ") + source->metaObject()->className() + " to a " +
                        metaObject()->className());
}

void TGIFImage::AssignTo(QImage& bitmap) {
    const QImage* own = GetBitmap();
    bitmap = own ? *own : QImage();
}

void TGIFImage::AssignTo(QObject* destination) {
    throw EConvertError(std::string("Cannot assign a ") + metaObject()->className() + " to a " +
                        (destination ? destination->metaObject()->className() : "nil"));
}

const QImage* TGIFImage::GetBitmap() {
    if (Empty) return nullptr;
    if (!CachedBitmap) {
        const TGIFFrame* first = Frame(1);
        if (!first) return nullptr;
        CachedBitmap = std::make_unique<QImage>(first->Bitmap.copy());
    }
    return CachedBitmap.get();
}

void TGIFImage::ClearImage() {
    if (loading_) throw std::logic_error("picture cannot change while it is being loaded");
    ClearFrames();
    FCompositeMask = QImage();
    FCompositeBitmap = QImage();
    UpdateOpaque();
    update();
}

QVector<QRgb> TGIFImage::GetPalette() const {
    if (Empty || FFrameCount <= 0 || !FVisible) return {};
    const TGIFFrame* frame = Frame(FCurrentFrame);
    return frame ? frame->Bitmap.colorTable() : QVector<QRgb>();
}

QRect TGIFImage::CenteredRect() const {
    const int left = (width() - FScreenWidth) / 2;
    const int top = (height() - FScreenHeight) / 2;
    return QRect(left, top, FScreenWidth, FScreenHeight);
}

QRect TGIFImage::GetDestRect() const {
    if (FScreenWidth == 0 || FScreenHeight == 0) return QRect(0, 0, 0, 0);
    const int w = width();
    const int h = height();
    if (FStretching) {
        if (FStretchRatio && !FStretch) {
            const float rx = static_cast<float>(w) / static_cast<float>(FScreenWidth);
            const float ry = static_cast<float>(h) / static_cast<float>(FScreenHeight);
            if (rx > ry) {
                const double m = (w - FScreenWidth * static_cast<double>(ry)) * 0.5;
                const int left = static_cast<int>(std::nearbyint(m));
                const int right = static_cast<int>(std::nearbyint(w - m));
                return QRect(left, 0, right - left, h);
            }
            const double m = (h - FScreenHeight * static_cast<double>(rx)) * 0.5;
            const int top = static_cast<int>(std::nearbyint(m));
            const int bottom = static_cast<int>(std::nearbyint(h - m));
            return QRect(0, top, w, bottom - top);
        }
        return rect();
    }
    if (FTile) return rect();
    if (FCenter) return CenteredRect();
    return QRect(0, 0, FScreenWidth, FScreenHeight);
}

void TGIFImage::UpdateOpaque() {
    const int w = width();
    const int h = height();
    FStretching = (FStretch || FStretchRatio) && (w != FScreenWidth || h != FScreenHeight) &&
                  (!FStretchBigOnly || w < FScreenWidth || h < FScreenHeight);
    // A picture without frames draws nothing, so it hides nothing either.
    const TGIFFrame* first = Frame(1);
    const bool seeThrough = Empty || !first || first->Transparent;
    const QRect client = rect();
    FCoversClient = FVisible && !seeThrough && GetDestRect().intersected(client) == client;
    setAttribute(Qt::WA_OpaquePaintEvent, FCoversClient);
}

void TGIFImage::StretchDrawBitmap(const QImage& bitmap, QPainter& dc, const QRect& rect, TRasterOp rop) {
    if (bitmap.isNull() || rect.isEmpty()) return;
    const QPainter::CompositionMode previous = dc.compositionMode();
    switch (rop) {
        case TRasterOp::SrcCopy:
            dc.setCompositionMode(QPainter::CompositionMode_Source);
            break;
        case TRasterOp::SrcAnd:
            dc.setCompositionMode(QPainter::RasterOp_SourceAndDestination);
            break;
        case TRasterOp::SrcInvert:
            dc.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
            break;
    }
    const bool smooth = dc.testRenderHint(QPainter::SmoothPixmapTransform);
    dc.setRenderHint(QPainter::SmoothPixmapTransform, false);
    dc.drawImage(QRectF(rect), bitmap, QRectF(bitmap.rect()));
    dc.setRenderHint(QPainter::SmoothPixmapTransform, smooth);
    dc.setCompositionMode(previous);
}

void TGIFImage::DrawComposite(QPainter& dc, const QRect& rect) {
    const TGIFFrame* first = Frame(1);
    const bool masked = first && first->Transparent && !FCompositeMask.isNull();
    if (masked) {
        // AND the mask in (covered pixels turn black, see-through ones keep the background), then
        // XOR the picture in: the composite is black wherever the mask is white.
        StretchDrawBitmap(FCompositeMask, dc, rect, TRasterOp::SrcAnd);
        StretchDrawBitmap(FCompositeBitmap, dc, rect, TRasterOp::SrcInvert);
    } else {
        StretchDrawBitmap(FCompositeBitmap, dc, rect, TRasterOp::SrcCopy);
    }
}

void TGIFImage::DrawImage(QPainter& dc) {
    if (!FVisible) return;
    if (FOpaque && !FCoversClient) {
        const QPainter::CompositionMode previous = dc.compositionMode();
        dc.setCompositionMode(QPainter::CompositionMode_Source);
        dc.fillRect(QRect(0, 0, width(), height()), FColor);
        dc.setCompositionMode(previous);
    }
    if (Empty || FFrameCount == 0 || FScreenWidth <= 0 || FScreenHeight <= 0) return;
    if (FStretching) {
        DrawComposite(dc, GetDestRect());
    } else if (FTile) {
        const int rows = height() / FScreenHeight;
        const int columns = width() / FScreenWidth;
        for (int r = 0; r <= rows; ++r) {
            for (int c = 0; c <= columns; ++c) {
                DrawComposite(dc, QRect(c * FScreenWidth, r * FScreenHeight, FScreenWidth, FScreenHeight));
            }
        }
    } else {
        DrawComposite(dc, FCenter ? CenteredRect() : QRect(0, 0, FScreenWidth, FScreenHeight));
    }
}

void TGIFImage::DrawFrame() {
    const TGIFFrame* f = Frame(FCurrentFrame);
    if (FCurrentFrame < 1 || FCurrentFrame > FFrameCount || !f || FCompositeBitmap.isNull()) return;
    const QRect r(f->Left, f->Top, f->Width, f->Height);
    const bool withMask = FAnyTransparent && !FCompositeMask.isNull();
    if (f->Disposal == 3) {
        TGIFFrame* saving = Frames[FCurrentFrame - 1].get();
        if (withMask) saving->SaveMask = FCompositeMask.copy(r);
        saving->SaveBitmap = FCompositeBitmap.copy(r);
    }
    // Colours for every index; indices beyond the image's table show black.
    QRgb lut[256];
    std::fill(std::begin(lut), std::end(lut), qRgb(0, 0, 0));
    const QVector<QRgb> table = f->Bitmap.colorTable();
    for (int i = 0; i < std::min<int>(256, table.size()); ++i) lut[i] = table[i] | 0xFF000000u;

    // The screen covers every frame, so r lies inside the composite.
    for (int y = 0; y < f->Height; ++y) {
        const uchar* src = f->Bitmap.constScanLine(y);
        const uchar* see = f->Transparent ? f->Mask.constScanLine(y) : nullptr;
        auto* dst = reinterpret_cast<QRgb*>(FCompositeBitmap.scanLine(f->Top + y)) + f->Left;
        uchar* maskRow = withMask ? FCompositeMask.scanLine(f->Top + y) : nullptr;
        for (int x = 0; x < f->Width; ++x) {
            if (see && MaskBit(see, x)) continue;
            dst[x] = lut[src[x]];
            if (maskRow) SetMaskBit(maskRow, f->Left + x, false);
        }
    }
}

void TGIFImage::DisposeFrame(int32_t n) {
    if (n < 1 || n > FFrameCount || !Frame(n) || FCompositeBitmap.isNull()) return;
    TGIFFrame* f = Frames[n - 1].get();
    if (f->Disposal != 2 && f->Disposal != 3) return;
    const QRect r(f->Left, f->Top, f->Width, f->Height);
    if (!FCompositeBitmap.rect().contains(r)) return;
    const bool restore = f->Disposal == 3;
    // A frame not drawn since the load or since its last disposal has nothing to restore. The
    // saved copies have the frame's size by construction (DrawFrame); reading them is only safe
    // while that holds.
    if (restore && (f->SaveBitmap.size() != r.size() || f->SaveBitmap.format() != QImage::Format_RGB32)) return;
    const bool withMask = FAnyTransparent && !FCompositeMask.isNull() &&
                          (!restore || (f->SaveMask.size() == r.size() && f->SaveMask.depth() == 1));
    for (int y = 0; y < r.height(); ++y) {
        if (withMask) {
            uchar* maskRow = FCompositeMask.scanLine(r.top() + y);
            const uchar* saved = restore ? f->SaveMask.constScanLine(y) : nullptr;
            for (int x = 0; x < r.width(); ++x) SetMaskBit(maskRow, r.left() + x, saved ? MaskBit(saved, x) : true);
        }
        auto* dst = reinterpret_cast<QRgb*>(FCompositeBitmap.scanLine(r.top() + y)) + r.left();
        if (restore) {
            const auto* src = reinterpret_cast<const QRgb*>(f->SaveBitmap.constScanLine(y));
            std::copy(src, src + r.width(), dst);
        } else {
            std::fill(dst, dst + r.width(), qRgb(0, 0, 0));
        }
    }
    if (restore) {
        // Only the frame on display needs what lay under it: a picture holds one saved rectangle
        // at a time, not one per frame.
        f->SaveBitmap = QImage();
        f->SaveMask = QImage();
    }
}

uint32_t TGIFImage::FrameInterval(int32_t n) const {
    const TGIFFrame* f = (n >= 1 && n <= FFrameCount) ? Frame(n) : nullptr;
    const int64_t delay = std::max<int64_t>(f ? f->Delay : 0, 50);
    return static_cast<uint32_t>(std::max<int64_t>(delay * 100 / std::max(FSpeed, 1), 1));
}

void TGIFImage::ArmTimer(bool enable, uint32_t interval) {
    if (!enable) {
        // Cleared first: the timer may be the one whose tick is running now, and whatever its
        // destruction sets off must find no timer here.
        TTimerEx* timer = FAnimationTimer;
        FAnimationTimer = nullptr;
        delete timer;
        return;
    }
    if (!FAnimationTimer) {
        auto timer = std::make_unique<TTimerEx>(this);
        timer->SetThreaded(FThreaded);
        timer->SetThreadPriority(FThreadPriority);
        timer->SetOnTimer(TNotifyEvent(this, &TGIFImage::AnimationStep));
        FAnimationTimer = timer.release();
    }
    FAnimationTimer->SetInterval(interval);
}

void TGIFImage::AnimationStep(QObject*) {
    if (Empty || !FAnimate || !FAnimationTimer || FFrameCount == 0) return;
    const uint32_t t0 = tickCount_();
    if (FCurrentFrame > FFrameCount || FCurrentFrame <= 0) FCurrentFrame = 1;

    QPointer<TGIFImage> alive(this);
    Changing();
    // The handler may have stopped the animation, replaced the picture or destroyed the control;
    // then there is no step left to take.
    if (!alive || Empty || !FAnimate || !FAnimationTimer || FCurrentFrame < 1 || FCurrentFrame > FFrameCount) return;

    if (FirstStep) {
        FirstStep = false;  // frame 1 was composed by the load
    } else {
        const int32_t previous = FCurrentFrame - 1 == 0 ? FFrameCount : FCurrentFrame - 1;
        DisposeFrame(previous);
        DrawFrame();
        Repaint();
    }
    // The drawing time is taken off the frame's display time. Unsigned subtraction keeps this
    // right across the tick count's wrap.
    const uint32_t spent = tickCount_() - t0;
    const uint32_t full = FrameInterval(FCurrentFrame);
    if (FAnimationTimer) FAnimationTimer->SetInterval(spent < full ? full - spent : 1);

    ++FCurrentFrame;
    const bool wrapped = FCurrentFrame > FFrameCount;
    if (wrapped && !FLoop && FLoopCount > 0) {
        // The last pass leaves the last frame on display and CurrentFrame one past it.
        ++PassCount;
        ArmTimer(PassCount <= FLoopCount, FAnimationTimer ? FAnimationTimer->Interval() : full);
    } else if (wrapped) {
        FCurrentFrame = 1;
    }
    Change();
    if (alive && wrapped) OnWrapAnimation(this);
}

void TGIFImage::RearmAfterPaint() {
    const uint32_t interval =
        FAnimate && FFrameCount > 1 && FCurrentFrame <= FFrameCount ? FrameInterval(FCurrentFrame) : 1;
    const bool passesLeft = PassCount <= FLoopCount || FLoop || FLoopCount == 0;
    ArmTimer(MultiFrame && FAnimate && !Empty && passesLeft, interval);
}

void TGIFImage::SetTickSource(TTickSource source) {
    tickCount_ = source ? std::move(source) : TTickSource(SteadyTickCount);
}

void TGIFImage::Paint(QPainter& canvas) {
    if (Empty && !FOpaque) return;
    DrawImage(canvas);
}

void TGIFImage::paintEvent(QPaintEvent*) {
    const bool wasOpaque = testAttribute(Qt::WA_OpaquePaintEvent);
    UpdateOpaque();
    if (testAttribute(Qt::WA_OpaquePaintEvent) != wasOpaque) {
        // The parent must paint behind the control differently now; paint again after it has.
        update();
    } else {
        QPainter painter(this);
        Paint(painter);
    }
    // A paint handler must not throw into Qt; a timer that cannot be had is the application's to
    // report.
    try {
        RearmAfterPaint();
    } catch (...) {
        TTimerEx::HandleApplicationException(this, std::current_exception());
    }
}

void TGIFImage::Repaint() {
    if (!parentWidget() || Painting || !FVisible) return;
    Painting = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{Painting};
    repaint(GetDestRect());
}

void TGIFImage::SetAnimate(bool value) {
    if (value == FAnimate) return;
    FAnimate = value;
    PassCount = 1;
    const uint32_t interval = value && FFrameCount > 1 ? FrameInterval(FCurrentFrame) : 0;
    ArmTimer(value && MultiFrame && !Empty, interval);
    if (!value && FCurrentFrame >= 2) {
        // Back to frame 1, drawn over what the frame on display leaves after its disposal.
        DisposeFrame(FCurrentFrame - 1);
        FCurrentFrame = 1;
        DrawFrame();
        update();
    }
}

void TGIFImage::SetAutoSize(bool value) {
    if (value == FAutoSize) return;
    FAutoSize = value;
    if (FAutoSize && !Empty) {
        setGeometry(x(), y(), FScreenWidth, FScreenHeight);
        update();
    }
}

void TGIFImage::SetCenter(bool value) {
    if (value == FCenter) return;
    FCenter = value;
    update();
}

void TGIFImage::SetCurrentFrame(int32_t value) {
    if (value == FCurrentFrame) return;
    if (FFrameCount <= 0 || value < 1 || value > FFrameCount) return;
    QPointer<TGIFImage> alive(this);
    Changing();
    if (!alive) return;
    DisposeFrame(FCurrentFrame);
    FCurrentFrame = value;
    DrawFrame();
    Repaint();
    Change();
}

void TGIFImage::SetLoop(bool value) {
    if (value == FLoop) return;
    FLoop = value;
    // A finite animation that has run out starts again from frame 1; the first step disposes the
    // last frame and draws frame 1.
    if (value && FFrameCount > 0 && FLoopCount > 0 && PassCount > FLoopCount) {
        FCurrentFrame = 1;
        PassCount = 1;
        ArmTimer(FAnimate && MultiFrame && !Empty, FrameInterval(1));
    }
}

void TGIFImage::SetOpaque(bool value) {
    if (value == FOpaque) return;
    FOpaque = value;
    update();
}

void TGIFImage::SetSpeed(int32_t value) {
    if (value == FSpeed) return;
    FSpeed = std::max(value, 1);
    // The next step comes at once and times its frame at the new speed.
    if (FFrameCount > 1 && FAnimate && FAnimationTimer) FAnimationTimer->SetInterval(1);
}

void TGIFImage::SetStretch(bool value) {
    if (value == FStretch) return;
    FStretch = value;
    update();
}

void TGIFImage::SetStretchRatio(bool value) {
    if (value == FStretchRatio) return;
    FStretchRatio = value;
    update();
}

void TGIFImage::SetStretchBigOnly(bool value) {
    if (value == FStretchBigOnly) return;
    FStretchBigOnly = value;
    update();
}

void TGIFImage::SetTile(bool value) {
    if (value == FTile) return;
    FTile = value;
    update();
}

void TGIFImage::SetThreaded(bool value) {
    FThreaded = value;
    if (FAnimationTimer) FAnimationTimer->SetThreaded(value);
}

void TGIFImage::SetThreadPriority(TThreadPriority value) {
    if (value < tpIdle || value > tpTimeCritical)
        throw std::invalid_argument("thread priority out of range: " + std::to_string(static_cast<int>(value)));
    FThreadPriority = value;
    if (FAnimationTimer) FAnimationTimer->SetThreadPriority(value);
}

void TGIFImage::SetVisible(bool value) {
    if (value == FVisible) return;
    FVisible = value;
    update();
}

void TGIFImage::SetColor(const QColor& value) {
    if (value == FColor) return;
    FColor = value;
    update();
}
