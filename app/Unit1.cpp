// SPDX-License-Identifier: GPL-3.0-or-later
#include "Unit1.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFile>
#include <QLabel>
#include <QLayout>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <climits>
#include <filesystem>

#include "CoreText.h"
#include "EventGuard.h"
#include "Fonts.h"
#include "FormStorage.h"
#include "FormStyle.h"
#include "GIFImage.h"
#include "HamlibTransport.h"
#include "HorizonSettings.h"
#include "Journal.h"
#include "Location.h"
#include "Position.h"
#include "RotatorSettings.h"
#include "RotatorTracking.h"
#include "Station.h"
#include "StationRotators.h"
#include "StationSettings.h"
#include "StationState.h"
#include "StationWindow.h"
#include "Unit3.h"
#include "Unit4.h"
#include "WindowTimer.h"

namespace Unit1 {
TForm1* Form1 = nullptr;
}

namespace {

constexpr int kHintPauseMs = 250;
constexpr int kHintHidePauseMs = 60000;
// How often, and how long, the newly shown window looks for the frame the window manager gives it.
constexpr int kFrameCheckMs = 20;
constexpr int kFrameWaitMs = 5000;
constexpr int kRotatorWatchMs = 1000;
constexpr char kTitle[] = "Lunark by Tarvo";

QLabel* MakeFixedsysLabel(QWidget* parent, const char* name, const char* caption, QRect geometry) {
    auto* label = new QLabel(QString::fromLatin1(caption), parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setFont(fonts::FixedsysFont());
    label->setGeometry(geometry);
    label->adjustSize();  // labels size themselves to their text
    return label;
}

}  // namespace

int TrackIntervalMilliseconds(int32_t minutes) {
    return RotatorPlan::TickMilliseconds(minutes, 0);
}

TForm1::TForm1(StationState& station, QWidget* parent)
    : QMainWindow(parent), station_(station), moves_(station.rotators.Settings()) {
    setWindowTitle(QString::fromLatin1(kTitle));
    CreateControls();
    move(kDesignLeft, kDesignTop);
    connect(qApp, &QGuiApplication::focusWindowChanged, this, &TForm1::FocusWindowChanged);
    Guarded([this] { FormCreate(); });
}

TForm1::~TForm1() {
    station_.hamlib.SetResend({});
}

void TForm1::CreateControls() {
    auto* client = new QWidget(this);
    client->setFixedSize(kClientWidth, kClientHeight);
    setCentralWidget(client);

    // The cat sits 16 pixels above the client area, so its top rows are cut off.
    GIFImage1 = new TGIFImage(client);
    GIFImage1->setObjectName(QStringLiteral("GIFImage1"));
    GIFImage1->setGeometry(128, -16, 105, 137);
    GIFImage1->SetAnimate(false);
    GIFImage1->SetAutoSize(false);
    GIFImage1->SetCenter(false);
    GIFImage1->SetFirstImageOnly(false);
    GIFImage1->SetLoop(false);
    GIFImage1->SetOpaque(false);
    GIFImage1->SetStretch(false);
    GIFImage1->SetStretchRatio(false);
    GIFImage1->SetStretchBigOnly(false);
    GIFImage1->SetTile(false);
    GIFImage1->SetThreaded(false);
    GIFImage1->installEventFilter(this);
    LoadCatPicture();

    Label2 = MakeFixedsysLabel(client, "Label2", "Label2", {8, 48, 48, 15});
    Label1 = MakeFixedsysLabel(client, "Label1", "Label1", {8, 16, 48, 15});
    Label3 = MakeFixedsysLabel(client, "Label3", "Miau !", {192, 32, 48, 15});
    Label3->setVisible(false);

    Button1 = new QPushButton(QStringLiteral("Track"), client);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(32, 80, 75, 25);
    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });

    CheckBox1 = new QCheckBox(QStringLiteral("Cont. track"), client);
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    CheckBox1->setGeometry(8, 112, 97, 17);
    CheckBox1->setChecked(false);
    // Turning "Cont. track" on starts tracking afresh: a new pass is chosen on an overlapping range.
    connect(CheckBox1, &QCheckBox::toggled, this, [this](bool on) {
        if (on) {
            ForgetClientDirection();  // the operator takes the antenna back from a client
            station_.rotators.Restart();
        } else {
            moves_.ForgetTracking();
            Guarded([this] { ArmMoveTimer(); });
        }
        // Kept at once, so that a kill or a power cut leaves it as it was.
        Guarded([on] {
            const std::string settingsFile = Unit3::SettingsFileFor(Unit3::ExecutablePath);
            if (!Unit3::ExecutablePath.empty() && StationSettings::ResumeTracking(settingsFile)) {
                StationSettings::WriteTracking(settingsFile, on);
            }
        });
    });
    setTabOrder(Button1, CheckBox1);

    Timer1 = new TTimer(kTrackingTimerStartMs, this);
    Timer1->SetOnTimer([this] { Timer1Timer(); });

    MainMenu1 = menuBar();
    MainMenu1->setObjectName(QStringLiteral("MainMenu1"));
    Setup1 = MainMenu1->addAction(QStringLiteral("Setup"));
    Setup1->setObjectName(QStringLiteral("Setup1"));
    connect(Setup1, &QAction::triggered, this, [this] { Setup1Click(); });
    Station1 = MainMenu1->addAction(QStringLiteral("Station"));
    Station1->setObjectName(QStringLiteral("Station1"));
    connect(Station1, &QAction::triggered, this, [this] { Station1Click(); });

    Timer2 = new TTimer(kRefreshIntervalMs, this);
    Timer2->SetOnTimer([this] { Timer2Timer(); });

    // A rotator that answers again gets the position at once rather than at the next tick.
    retryTimer_ = new QTimer(this);
    connect(retryTimer_, &QTimer::timeout, this, [this] {
        Guarded([this] {
            if (CheckBox1->isChecked() && RotatorTracking::AnyFailed(station_.records)) SendAutomatic({.retry = true});
        });
    });
    station_.hamlib.SetResend([this](bool azimuth, bool elevation) {
        Guarded([&] { SendAutomatic({.azimuth = azimuth, .elevation = elevation}); });
    });
    moveTimer_ = new QTimer(this);
    moveTimer_->setSingleShot(true);
    moveTimer_->setTimerType(Qt::PreciseTimer);  // the window's first second, not a few later
    connect(moveTimer_, &QTimer::timeout, this, [this] { MoveTimerTimer(); });
    rotatorWatch_ = new QTimer(this);
    rotatorWatch_->setInterval(kRotatorWatchMs);
    connect(rotatorWatch_, &QTimer::timeout, this, [this] {
        Guarded([this] {
            station_.hamlib.ProbeSilent();
            station_.hamlib.WatchFollowing();
        });
    });
    rotatorWatch_->start();

    form_style::ApplyFixedBorder(this, QSize());
    layout()->setSizeConstraint(QLayout::SetFixedSize);
}

void TForm1::LoadCatPicture() {
    QFile stored(QStringLiteral(":/cat.data"));
    if (!stored.open(QIODevice::ReadOnly)) return;  // a picture that cannot be read leaves it empty
    const QByteArray block = stored.readAll();
    TFormReader reader({{"Data", std::vector<uint8_t>(block.begin(), block.end())}});
    GIFImage1->DefineProperties(reader);
    GIFImage1->Loaded();
}

void TForm1::FormCreate() {
    form_style::SetHintPause(kHintPauseMs);
    GIFImage1->setToolTip(QString::fromLatin1(kCatHint).replace(u'\r', u'\n'));
    GIFImage1->setToolTipDuration(kHintHidePauseMs);

    const std::string& executable = Unit3::ExecutablePath;
    if (!std::filesystem::exists(Unit3::SettingsFileFor(executable))) {
        startedWithoutSettings_ = true;
        Unit3::Locator = Unit3::kDefaultLocator;
        Unit3::AZ_COM_NR = Unit3::kDefaultAzComNr;
        Unit3::EL_COM_NR = Unit3::kDefaultElComNr;
        Unit3::AZtype = Unit3::kDefaultAzType;
        Unit3::ELtype = Unit3::kDefaultElType;
        Unit3::SaveSettings(executable, Unit3::kDefaultTop, Unit3::kDefaultLeft);
    }
    const Unit3::StoredPosition position = Unit3::LoadSettings(executable);
    PlaceWindow(QPoint(position.Left, position.Top));
    station_.rotators.Use(RotatorSettings::Load(station_.journal, Unit3::SettingsFileFor(executable)));
    station_.rotators.UseMask(HorizonSettings::Read(Unit3::SettingsFileFor(executable)).mask);
    SetRetryInterval();
}

void TForm1::SetRetryInterval() {
    const int32_t seconds = StationSettings::RetrySeconds(Unit3::SettingsFileFor(Unit3::ExecutablePath));
    if (seconds == 0) {
        retryTimer_->stop();
    } else if (!retryTimer_->isActive() || retryTimer_->interval() != seconds * 1000) {
        retryTimer_->start(seconds * 1000);
    }
}

// A place on no screen (a monitor since unplugged) opens the window in the middle of the primary
// screen; the stored values stay in the file until the window closes somewhere else.
void TForm1::PlaceWindow(QPoint frameTopLeft) {
    const QRect window(frameTopLeft, QSize(kClientWidth, kClientHeight));
    const QList<QScreen*> screens = QGuiApplication::screens();
    const bool onAScreen = std::any_of(screens.begin(), screens.end(),
                                       [&](const QScreen* screen) { return screen->geometry().intersects(window); });
    if (!onAScreen && QGuiApplication::primaryScreen() != nullptr) {
        frameTopLeft =
            QGuiApplication::primaryScreen()->availableGeometry().center() - window.center() + window.topLeft();
    }
    // The frame is unknown until the window manager has put one around the shown window, and X
    // window managers place a new window by its client area. So the client area goes to the place
    // first; once framed, the window moves by the frame's left border and title bar
    // (PlaceFrameOnceFramed). Without a window manager there is no frame and it stays.
    move(frameTopLeft);
    framePlace_ = frameTopLeft;
    frameWatch_ = new QTimer(this);
    frameWatch_->setInterval(kFrameCheckMs);
    connect(frameWatch_, &QTimer::timeout, this, &TForm1::PlaceFrameOnceFramed);
}

void TForm1::PlaceFrameOnceFramed() {
    QWindow* window = windowHandle();
    const QMargins frame = window != nullptr ? window->frameMargins() : QMargins();
    const bool framed = frame.left() >= 0 && frame.top() >= 0 && (frame.left() > 0 || frame.top() > 0);
    if (framed) {
        // The client area goes inside the frame; where the window manager already placed the frame
        // at the place, this asks for the position the window has. (The position Qt reports in
        // these first moments can still be the parent frame's, so it is not compared.)
        frameWatch_->stop();
        window->setPosition(framePlace_ + QPoint(frame.left(), frame.top()));
    } else if (++frameChecks_ * kFrameCheckMs >= kFrameWaitMs) {
        frameWatch_->stop();
    }
}

void TForm1::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (frameWatch_ != nullptr && frameChecks_ == 0 && !frameWatch_->isActive()) frameWatch_->start();
    // Not every window manager activates a new window (and without one nothing does): the first
    // show does what the first activation does, which then adds nothing.
    if (!activatedBefore_) {
        activatedBefore_ = true;
        focusVisitedOwnWindow_ = false;
        OnActivate();
    }
}

void TForm1::OnActivate() {
    Guarded([this] {
        Timer1->SetInterval(station_.rotators.TimerMilliseconds());
        SetRetryInterval();
        station_.records.NoteSettings();  // a return from the setup window brings its changes
        RunPositionUpdate();
    });
}

void TForm1::SettingsApplied() {
    Guarded([this] {
        station_.rotators.Restart();
        Timer1->SetInterval(station_.rotators.TimerMilliseconds());
        SetRetryInterval();
        RunPositionUpdate();
        ArmMoveTimer();  // a send held back under the old timing goes as the new one says
    });
}

void TForm1::Timer1Timer() {
    Guarded([this] {
        // With an interval in seconds each tick sends the position of its own moment.
        if (CheckBox1->isChecked()) SendAutomatic({.tick = true}, station_.rotators.FreshPositionEachTick());
        Label3->setVisible(false);
    });
}

void TForm1::Timer2Timer() {
    Guarded([this] { RunPositionUpdate(); });
}

void TForm1::Button1Click() {
    Guarded([this] {
        ForgetClientDirection();
        RunPositionUpdate();
        SendPositionCommands();  // at once, whatever the move timing: the operator asked
    });
}

void TForm1::SendAutomatic(const MoveTiming::Sends& wanted, bool update) {
    if (const std::optional<MoveTiming::Sends> due = moves_.Offer(wanted)) {
        if (update) RunPositionUpdate();
        station_.rotators.SendOwed(station_.records, *due, station_.records.Recorder());
    }
    ArmMoveTimer();
}

void TForm1::ArmMoveTimer() {
    const std::optional<Location::Instant> next = moves_.NextCheck();
    if (!next) {
        moveTimer_->stop();
        return;
    }
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(*next - Location::Now()).count();
    moveTimer_->start(static_cast<int>(std::clamp<long long>(wait, 0, INT_MAX)));
}

void TForm1::MoveTimerTimer() {
    Guarded([this] {
        if (const std::optional<MoveTiming::Sends> due = moves_.TakeDue()) {
            RunPositionUpdate();  // the latest target, not the one of the send held back
            station_.rotators.SendOwed(station_.records, *due, station_.records.Recorder());
        }
        ArmMoveTimer();
    });
}

void TForm1::Setup1Click() {
    Guarded([this] {
        TForm4* setup = Unit4::Form4;
        if (setup == nullptr) return;
        setup->move(pos());
        setup->show();
        setup->raise();
        setup->activateWindow();
    });
}

void TForm1::Station1Click() {
    Guarded([this] {
        if (stationWindow_ != nullptr) stationWindow_->ShowBeside(this);
    });
}

bool TForm1::Tracking() const {
    return CheckBox1->isChecked();
}

void TForm1::StopTracking() {
    CheckBox1->setChecked(false);
}

bool TForm1::PointAndSend() {
    bool sent = false;
    Guarded([this, &sent] {
        RunPositionUpdate();
        station_.records.NoteSettings();
        sent = station_.rotators.Send(station_.records, false, station_.records.Recorder());
        moves_.Forget();  // both axes went: nothing held back is owed any more
        ArmMoveTimer();
    });
    return sent;
}

void TForm1::SetLinkedRotators(StationLink::StationRotators* rotators) {
    linkedRotators_ = rotators;
}

void TForm1::ForgetClientDirection() {
    if (linkedRotators_ != nullptr) linkedRotators_->ForgetClientDirection();
}

void TForm1::SetStationWindow(TStationWindow* station) {
    stationWindow_ = station;
}

TStationWindow* TForm1::StationWindow() const {
    return stationWindow_;
}

std::optional<MoveTiming::When> TForm1::NextSendTime() const {
    const Location::Instant now = Location::Now();
    if (moves_.Owing()) return moves_.GoesAt(now);
    if (!CheckBox1->isChecked() || !Timer1->IsRunning()) return std::nullopt;
    return moves_.GoesAt(now + std::chrono::milliseconds(std::max(Timer1->RemainingTime(), 0)));
}

void TForm1::GIFImage1Click() {
    Guarded([this] { Label3->setVisible(true); });
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    if (watched == GIFImage1 && event->type() == QEvent::MouseButtonRelease) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton && GIFImage1->rect().contains(mouse->position().toPoint())) {
            GIFImage1Click();
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

bool TForm1::FormClose() {
    return Guarded([this] { Unit3::SaveSettings(Unit3::ExecutablePath, y(), x()); });
}

void TForm1::closeEvent(QCloseEvent* event) {
    if (!FormClose()) {
        event->ignore();
        return;
    }
    event->accept();
    // Closing the main window ends the program, even with the setup or station window open; the
    // station window keeps its place.
    if (Unit4::Form4 != nullptr) Unit4::Form4->hide();
    if (stationWindow_ != nullptr && stationWindow_->isVisible()) stationWindow_->close();
}

bool TForm1::event(QEvent* event) {
    const bool handled = QMainWindow::event(event);
    if (event->type() == QEvent::WindowActivate) {
        // Only the first activation and a return from another window of the program (the setup
        // window, a message box) count; the user switching back from another program does not.
        if (!activatedBefore_ || focusVisitedOwnWindow_) {
            activatedBefore_ = true;
            focusVisitedOwnWindow_ = false;
            OnActivate();
        }
    }
    return handled;
}

void TForm1::FocusWindowChanged(QWindow* window) {
    if (window != nullptr && window != windowHandle()) focusVisitedOwnWindow_ = true;
}

void TForm1::RunPositionUpdate() {
    Position::UpdatePosition();
    // Another target than the Moon is named in the title: "Lunark by Tarvo (Sun)".
    const Targets::Target& target = Position::FollowedTarget;
    setWindowTitle(target.IsBody(pointing::Target::Moon)
                       ? QString::fromLatin1(kTitle)
                       : QString::fromLatin1(kTitle) + QStringLiteral(" (") +
                             QString::fromStdString(Targets::Name(target)) + QStringLiteral(")"));
    station_.rotators.PointTargets(Location::Now());
    Label1->setText(core_text::ToQt(Position::AzimuthLine));
    Label1->adjustSize();
    Label2->setText(core_text::ToQt(Position::ElevationLine));
    Label2->adjustSize();
    if (resumeSendPending_ && !Position::AZvalue.empty()) SendResumed();
}

void TForm1::ResumeTrackingIfItWasOn() {
    Guarded([this] {
        const std::string settingsFile = Unit3::SettingsFileFor(Unit3::ExecutablePath);
        if (!StationSettings::ResumeTracking(settingsFile) || !StationSettings::TrackingWasOn(settingsFile)) return;
        CheckBox1->setChecked(true);
        station_.journal.Add("Tracking resumed");
        resumeSendPending_ = true;
        if (!Position::AZvalue.empty()) SendResumed();
    });
}

void TForm1::SendResumed() {
    resumeSendPending_ = false;
    if (!CheckBox1->isChecked()) return;
    station_.records.NoteSettings();
    SendAutomatic({.all = true});
}

void TForm1::SendPositionCommands() {
    station_.records.NoteSettings();
    station_.rotators.Send(station_.records, false, station_.records.Recorder());
    moves_.Forget();  // both axes went: nothing held back is owed any more
    ArmMoveTimer();
}
