// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// TGIFImage: a picture control that shows a GIF picture stored with its window. It draws onto its
// parent's surface (a child widget that does not fill its own background), places the picture at
// the corner, centred, stretched (freely or keeping the aspect ratio, optionally only to shrink),
// or tiled, over a solid background colour when asked, and through a mask when the first frame
// has a transparent colour. Decoding is done by the Qt-free core (GifDecoder.h, GifParser.h);
// this unit turns decoded images into bitmaps, composes them and paints.
//
// Animation: a picture of several frames plays while Animate is on, driven by a TTimerEx owned by
// the control (AnimationTimer, present only while the animation is armed). Each tick composes the
// next frame over the previous one after that one's disposal, holds it for its delay scaled by
// Speed, and counts passes against the picture's loop count unless Loop is on. Ticks on the thread
// path are still handed to the control's thread, so the control needs no locks.

#include <QColor>
#include <QImage>
#include <QRect>
#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>

#include "FormStorage.h"
#include "GifDecoder.h"
#include "GifParser.h"
#include "NotifyEvent.h"
#include "TimerEx.h"

class QPainter;
class TGIFImage;

// Progress while a picture loads: the control, bytes read and bytes in all (32-bit), the percentage
// read, and a flag the handler clears to stop the load.
using TProgressEvent = std::function<void(QObject* Sender, const int32_t BytesProcessed, const int32_t BytesToProcess,
                                          int32_t PercentageProcessed, bool& KeepOnProcessing)>;

// Raised when a picture is assigned from or to an object that cannot carry one.
class EConvertError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// One decoded image of the picture, placed in the logical screen.
class TGIFFrame {
public:
    explicit TGIFFrame(TGIFImage* owner) : Owner(owner) {}

    int32_t Left = 0;
    int32_t Top = 0;
    int32_t Width = 0;
    int32_t Height = 0;
    TGIFImage* Owner;
    int32_t LocalBits = 0;  // depth of the image's own colour table; 0 without one
    int32_t Delay = 0;      // milliseconds
    uint8_t Disposal = 0;   // 0 to 3
    bool HasLocalPalette = false;
    bool Interlaced = false;
    bool Transparent = false;
    uint8_t TransparentIndex = 0;
    gif_core::Palette Palette{};  // red, green, blue triples of the table the image uses
    QImage Bitmap;                // Width x Height, 8-bit indexed, with the image's colour table
    QImage Mask;                  // 1-bit, white = see-through; only when Transparent
    // Disposal method 3: what lay under the frame (composite and mask), from its drawing to its
    // disposal; empty at any other time.
    QImage SaveBitmap;
    QImage SaveMask;
};

// Gives frame the placement, timing and palette of a decoded image, and its Bitmap and Mask made
// from the decoded planes (taken over without a copy). Throws std::bad_alloc when a bitmap cannot
// be had.
void BuildBitmap(TGIFFrame& frame, gif_core::GifFrame& decoded);

// Raster operations used to draw bitmaps: copy, AND (mask in) and XOR (picture in).
enum class TRasterOp { SrcCopy, SrcAnd, SrcInvert };

class TGIFImage : public QWidget {
    Q_OBJECT
public:
    explicit TGIFImage(QWidget* parent = nullptr);
    ~TGIFImage() override;

    // Stored properties: the byte block "Data" (a 4-byte little-endian count, then the GIF file).
    void DefineProperties(TFiler& filer);
    // Appends the block's GIF file to DataStream; throws gif_core::ReadError when fewer bytes follow.
    virtual void ReadData(TStream& stream);
    // Writes the count and the GIF file held in DataStream.
    virtual void WriteData(TStream& stream);
    // Called once every stored property has been read: loads DataStream when it holds bytes.
    void Loaded();

    // Loads a GIF file from the whole of stream (whatever its position). False, with the control
    // empty, when the stream is not a GIF file or cannot be read; never throws.
    bool LoadFromStream(TStream& stream);
    // Takes the picture of another TGIFImage (decoding its own copy of the data); a null source
    // empties the control; any other source raises EConvertError.
    void Assign(const QObject* source);
    // Gives bitmap frame 1's own image, or an empty image for an empty control.
    void AssignTo(QImage& bitmap);
    // Any destination other than a bitmap raises EConvertError.
    void AssignTo(QObject* destination);
    // Frame 1's own bitmap (a copy made on first request), or null when no picture is loaded.
    const QImage* GetBitmap();
    // Frees the frames and the drawing surfaces; the control shows no picture afterwards.
    void ClearImage();
    // The colour table of the frame on display, or none.
    QVector<QRgb> GetPalette() const;

    // Where the picture goes, in the control's coordinates.
    QRect GetDestRect() const;
    // Brings Stretching, CoversClient and the widget's opaque flag in line with the settings.
    void UpdateOpaque();
    // Draws the control's whole appearance; dc's origin is the control's top-left corner.
    void DrawImage(QPainter& dc);
    // Draws the composite (through its mask when frame 1 is see-through) into rect.
    void DrawComposite(QPainter& dc, const QRect& rect);
    // Stretch-copies the whole of bitmap into rect with rop (nearest pixel, no smoothing).
    static void StretchDrawBitmap(const QImage& bitmap, QPainter& dc, const QRect& rect, TRasterOp rop);
    // Composes frame CurrentFrame into the composite and its mask; nothing for a frame number
    // outside 1..FrameCount.
    void DrawFrame();
    // Applies frame n's disposal to its rectangle of the composite: 2 makes it black (and
    // see-through in the mask), 3 restores what lay there before the frame was drawn (nothing when
    // it has not been drawn since the load or its last disposal); nothing for 0, 1 or a frame
    // number outside 1..FrameCount.
    void DisposeFrame(int32_t n);
    // How long frame n stays on display, in ms: max(Delay, 50) x 100 div Speed, at least 1. A frame
    // number that names no frame counts as a delay of 0.
    uint32_t FrameInterval(int32_t n) const;
    // One animation step, the AnimationTimer's tick handler: shows frame CurrentFrame (after the
    // disposal of the one before), sets the timer's period for it less the time the drawing took,
    // and moves on, counting passes and firing OnChanging, OnChange and OnWrapAnimation.
    void AnimationStep(QObject* Sender);
    // Repaints the picture's rectangle at once.
    void Repaint();

    // Published properties.
    // Run the animation of a picture of several frames. Switching it on arms the timer at once;
    // switching it off frees the timer and shows frame 1 again.
    bool Animate() const { return FAnimate; }
    void SetAnimate(bool value);
    bool AutoSize() const { return FAutoSize; }
    void SetAutoSize(bool value);
    bool Center() const { return FCenter; }
    void SetCenter(bool value);
    // The frame the next step shows (while stopped, the one on display); FrameCount + 1 once a
    // finite animation has played out. Writing a frame number shows that frame at once, between
    // OnChanging and OnChange; other numbers are ignored.
    int32_t CurrentFrame() const { return FCurrentFrame; }
    void SetCurrentFrame(int32_t value);
    bool DoubleBuffered() const { return FDoubleBuffered; }
    void SetDoubleBuffered(bool value) { FDoubleBuffered = value; }
    bool FirstImageOnly() const { return FFirstImageOnly; }
    void SetFirstImageOnly(bool value) { FFirstImageOnly = value; }
    TGIFImage* Graphic() { return this; }
    void SetGraphic(TGIFImage*) {}
    // Loop forever whatever the picture's loop count; switched on after a finite animation has
    // played out, it starts again from frame 1.
    bool Loop() const { return FLoop; }
    void SetLoop(bool value);
    bool Opaque() const { return FOpaque; }
    void SetOpaque(bool value);
    // Playing speed in percent of the picture's own timing; values below 1 are stored as 1.
    int32_t Speed() const { return FSpeed; }
    void SetSpeed(int32_t value);
    bool Stretch() const { return FStretch; }
    void SetStretch(bool value);
    bool StretchRatio() const { return FStretchRatio; }
    void SetStretchRatio(bool value);
    bool StretchBigOnly() const { return FStretchBigOnly; }
    void SetStretchBigOnly(bool value);
    bool Tile() const { return FTile; }
    void SetTile(bool value);
    bool Threaded() const { return FThreaded; }
    void SetThreaded(bool value);
    // Both go to AnimationTimer as they are written. A priority outside tpIdle..tpTimeCritical
    // throws std::invalid_argument and changes nothing.
    TThreadPriority ThreadPriority() const { return FThreadPriority; }
    void SetThreadPriority(TThreadPriority value);
    bool Visible() const { return FVisible; }
    void SetVisible(bool value);
    TGIFVersion Version() const { return FVersion; }
    QColor Color() const { return FColor; }
    void SetColor(const QColor& value);
    TNotifyEvent OnChanging;
    TNotifyEvent OnChange;
    TProgressEvent OnProgress;
    TNotifyEvent OnWrapAnimation;

    // State of the loaded picture.
    bool IsEmpty() const { return Empty; }
    bool IsMultiFrame() const { return MultiFrame; }
    int32_t FrameCount() const { return FFrameCount; }
    int32_t LoopCount() const { return FLoopCount; }
    int32_t ScreenWidth() const { return FScreenWidth; }
    int32_t ScreenHeight() const { return FScreenHeight; }
    int32_t ColorBits() const { return FColorBits; }
    bool AnyTransparent() const { return FAnyTransparent; }
    const gif_core::Palette& GlobalPalette() const { return FGlobalPalette; }
    // Frame n (1-based), or null when the slot is empty.
    const TGIFFrame* Frame(int32_t n) const;
    const QImage& CompositeBitmap() const { return FCompositeBitmap; }
    const QImage& CompositeMask() const { return FCompositeMask; }
    bool Stretching() const { return FStretching; }
    bool CoversClient() const { return FCoversClient; }
    const TMemoryStream& DataStream() const { return FDataStream; }
    // The animation's timer while armed, else null.
    const TTimerEx* AnimationTimer() const { return FAnimationTimer; }

    // The millisecond tick count steps time their drawing with; wraps at 2^32 like the system's.
    // A null source restores the default, a monotonic clock.
    using TTickSource = std::function<uint32_t()>;
    void SetTickSource(TTickSource source);

protected:
    virtual bool ParseGIF();
    virtual void Changing();
    virtual void Change();
    // Reports progress to OnProgress; throws gif_core::AbortError when the handler asks to stop.
    virtual void Progress(size_t position, size_t size);
    // Creates AnimationTimer when needed (taking over Threaded and ThreadPriority) and sets its
    // period to interval ms, or destroys it when enable is off; safe inside the timer's own tick.
    // Throws EOutOfResources when no timer can be had.
    void ArmTimer(bool enable, uint32_t interval);
    // Draws the control when it has a picture or an opaque background.
    virtual void Paint(QPainter& canvas);
    void paintEvent(QPaintEvent* event) override;

private:
    friend class GifImageParseClient;
    void ClearFrames();
    QRect CenteredRect() const;
    // After every paint: arms the timer for the frame due next, or frees it when the animation is
    // off or has run its passes.
    void RearmAfterPaint();

    // Fields carry the component's traditional names (a property's store is F and the property's
    // name); helper fields of this implementation are camelCase with a trailing underscore.
    bool MultiFrame = false;
    bool FAnimate = false;
    bool FAutoSize = false;
    std::unique_ptr<QImage> CachedBitmap;
    bool FCenter = false;
    int32_t FCurrentFrame = 0;
    TMemoryStream FDataStream;
    bool FDoubleBuffered = true;
    bool Empty = true;
    bool FFirstImageOnly = false;
    int32_t FScreenWidth = 0;
    int32_t FScreenHeight = 0;
    bool FLoop = false;
    int32_t FFrameCount = 0;
    int32_t FLoopCount = 0;
    bool FOpaque = false;
    int32_t FSpeed = 100;
    bool FStretch = false;
    bool FStretchRatio = false;
    bool FStretchBigOnly = false;
    bool FThreaded = false;
    TThreadPriority FThreadPriority = tpNormal;
    bool FTile = false;
    bool FAnyTransparent = false;
    bool FVisible = true;
    TGIFVersion FVersion = gvGIF87a;
    QColor FColor;
    QImage FCompositeBitmap;
    QImage FCompositeMask;
    int32_t FColorBits = 0;
    gif_core::Palette FGlobalPalette{};
    std::array<std::unique_ptr<TGIFFrame>, gif_core::kMaxFrames> Frames;
    int32_t PassCount = 0;
    bool FirstStep = false;
    bool Painting = false;
    bool FStretching = false;
    bool FCoversClient = false;
    TMemoryStream WorkStream;
    bool KeepOnProcessing = false;
    // A load is running; a handler called from inside it may not start another or clear the picture.
    bool loading_ = false;
    TTimerEx* FAnimationTimer = nullptr;  // a child of the control
    TTickSource tickCount_;
};
