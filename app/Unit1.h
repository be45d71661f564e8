// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <chrono>
#include <cstdint>
#include <optional>

#include "Location.h"
#include "MoveTiming.h"

class QAction;
class QCheckBox;
class QLabel;
class QMenuBar;
class QPushButton;
class QTimer;
class QWindow;
struct StationState;
class TGIFImage;
class TStationWindow;
class TTimer;
namespace StationLink {
class StationRotators;
}

// The main window: the Moon's azimuth and elevation on two lines, "Track", "Cont. track", the
// "Setup" menu item and two timers (tracking and 30-second refresh).
class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int kClientWidth = 244;
    static constexpr int kClientHeight = 130;
    static constexpr int kDesignLeft = 193;
    static constexpr int kDesignTop = 109;
    static constexpr int kTrackingTimerStartMs = 60000;
    static constexpr int kRefreshIntervalMs = 30000;

    // station: the journal and what else the station keeps; it outlives the window.
    explicit TForm1(StationState& station, QWidget* parent = nullptr);
    ~TForm1() override;

    // The cat's joke hint: two lines separated by a carriage return.
    static constexpr char kCatHint[] =
        "Miau! I am Lunark, the cat who watches the Moon.\r"
        "Fetch me a crunchy snack and I will keep your dish on it.";

    // Controls, in creation order.
    TGIFImage* GIFImage1 = nullptr;  // the cat
    QLabel* Label2 = nullptr;        // the elevation line
    QLabel* Label1 = nullptr;        // the azimuth line
    QLabel* Label3 = nullptr;        // "Miau !"
    QPushButton* Button1 = nullptr;
    QCheckBox* CheckBox1 = nullptr;
    TTimer* Timer1 = nullptr;  // tracking timer
    QMenuBar* MainMenu1 = nullptr;
    QAction* Setup1 = nullptr;
    TTimer* Timer2 = nullptr;     // refresh timer
    QAction* Station1 = nullptr;  // opens the station window

    // Event handlers.
    void FormCreate();
    void OnActivate();
    void Timer1Timer();
    void Timer2Timer();
    void Button1Click();
    void Setup1Click();
    void Station1Click();
    void GIFImage1Click();
    // The move timing's timer: what automatic sends held back owe goes, with the position of this
    // moment, once the rotators may move ([Rotator] MoveWindow, MoveWhen).
    void MoveTimerTimer();
    // Settings of the station window were applied: tracking starts its pass afresh, the timer takes
    // the interval in force, and the position is updated at once.
    void SettingsApplied();
    // Writes the settings file with the window's position; false when that failed.
    bool FormClose();

    // When the next automatic send goes (by the program's clock): a send held back by the move
    // timing, else the tracking timer's next tick, as the move timing lets it go; nullopt while
    // nothing will go: "Cont. track" off or the timer stopped, and nothing held back.
    std::optional<MoveTiming::When> NextSendTime() const;

    // When automatic sends may move the rotators, and what they owe meanwhile.
    const MoveTiming& Moves() const { return moves_; }

    // For the programs the rotctld server lets in: whether "Cont. track" is ticked; unticking it; a
    // position update and a send of both axes, as "Track" does (true when every command went out).
    bool Tracking() const;
    void StopTracking();
    bool PointAndSend();

    // With [Station] ResumeTracking=1 and tracking on when Lunark last ran: ticks "Cont. track",
    // journals it, and sends as soon as the first position is known. The program's start calls it
    // once the journal is started.
    void ResumeTrackingIfItWasOn();

    // Whether this run began without a settings file (the first-run settings were written).
    bool StartedWithoutSettings() const { return startedWithoutSettings_; }

    // The rotctld server's way to the rotators, made at start-up: "Track" and "Cont. track" take the
    // antenna back from its clients (none: there is no client to take it from).
    void SetLinkedRotators(StationLink::StationRotators* rotators);

    // The station window that "Station" opens, made at start-up (none: the item does nothing).
    void SetStationWindow(TStationWindow* station);
    TStationWindow* StationWindow() const;

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    StationState& station_;
    QPointer<TStationWindow> stationWindow_;
    StationLink::StationRotators* linkedRotators_ = nullptr;
    void CreateControls();
    void LoadCatPicture();
    void FocusWindowChanged(QWindow* window);
    // One position update: compute, round, show and prepare the command values.
    void RunPositionUpdate();
    // Send the prepared command values to the rotators.
    void SendPositionCommands();

    // Puts the window at a stored place: Top and Left are the frame's top-left corner.
    void PlaceWindow(QPoint frameTopLeft);
    void PlaceFrameOnceFramed();
    // The operator takes the antenna back from a rotctld client (SetLinkedRotators).
    void ForgetClientDirection();
    // The retry timer at [Station] RetrySeconds (stopped at 0).
    void SetRetryInterval();
    // The first send of resumed tracking.
    void SendResumed();
    // An automatic send: at once when the move timing lets it (with what it owed before), else owed
    // until it does; `update` computes the position first when it goes at once.
    void SendAutomatic(const MoveTiming::Sends& wanted, bool update = false);
    // The move timer at the move timing's next check (stopped while nothing is owed).
    void ArmMoveTimer();

    bool activatedBefore_ = false;
    bool resumeSendPending_ = false;
    bool startedWithoutSettings_ = false;  // tracking resumed: the first known position is sent at once
    QTimer* retryTimer_ = nullptr;         // resends to a serial rotator whose last command failed
    QTimer* rotatorWatch_ = nullptr;       // asks a silent Hamlib rotator every second whether it answers again
    QTimer* frameWatch_ = nullptr;         // waits for the window manager's frame after the first show
    QTimer* moveTimer_ = nullptr;          // sends what automatic sends owe when the rotators may move
    MoveTiming moves_;
    QPoint framePlace_;
    int frameChecks_ = 0;
    bool focusVisitedOwnWindow_ = false;
};

// The tracking timer's interval for an interval in minutes. A negative interval stops the timer
// like 0 does; one so long that its milliseconds leave 32 bits is held at the longest that fit
// (35791 minutes, almost 25 days).
int TrackIntervalMilliseconds(int32_t minutes);

namespace Unit1 {
extern TForm1* Form1;
}
