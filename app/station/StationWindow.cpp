// SPDX-License-Identifier: GPL-3.0-or-later
#include "StationWindow.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <cmath>
#include <cstdio>

#include "AxisTransports.h"
#include "CoreText.h"
#include "EventGuard.h"
#include "Fonts.h"
#include "FormStyle.h"
#include "HamlibTransport.h"
#include "Journal.h"
#include "Position.h"
#include "Station.h"
#include "StationSettings.h"
#include "Unit3.h"

namespace {

using Protocols::Axis;

// The version is in the title, for quoting in a bug report.
constexpr char kTitle[] = "Lunark " LUNARK_VERSION " station";
constexpr char kNone[] = "\u2014";
constexpr int kGap = 12;

QString FromCore(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

QString Degrees(long double value, int decimals) {
    return QString::number(static_cast<double>(value), 'f', decimals) + QStringLiteral("\u00B0");
}

QString LatitudeLongitude(long double latitude, long double eastLongitude) {
    return QString::number(std::fabs(static_cast<double>(latitude)), 'f', 4) + QStringLiteral("\u00B0 ") +
           (latitude < 0 ? u'S' : u'N') + QStringLiteral(", ") +
           QString::number(std::fabs(static_cast<double>(eastLongitude)), 'f', 4) + QStringLiteral("\u00B0 ") +
           (eastLongitude < 0 ? u'W' : u'E');
}

// Right ascension in hours, minutes and seconds of time.
QString HoursMinutesSeconds(long double degrees) {
    long long seconds = std::llround(static_cast<double>(degrees) * 240.0);  // 1° = 4 minutes of time
    seconds %= 86400;
    char text[32];
    std::snprintf(text, sizeof text, "%02lldh %02lldm %02llds", seconds / 3600, seconds / 60 % 60, seconds % 60);
    return QString::fromLatin1(text) + QStringLiteral("  (") + Degrees(degrees, 2) + u')';
}

QString Kilometres(long double km) {
    return QLocale(QLocale::English).toString(std::llround(static_cast<double>(km))).replace(u',', u' ') +
           QStringLiteral(" km");
}

Location::Instant FromDayNumber(double dayNumber) {
    constexpr double kUnixEpochDayNumber = 25569.0;
    const auto ms = std::llround((dayNumber - kUnixEpochDayNumber) * 86400000.0);
    return Location::Instant(std::chrono::milliseconds(ms));
}

QString When(Location::Instant at) {
    return FromCore(Journal::UtcDateTime(at));
}

// A page that scrolls sideways where the window is narrower than it. A page's minimum width is
// known only once it is laid out, when it is first shown, and the window would widen itself to
// it then. Its height still counts: the window is as tall as the page needs, and the page is
// fitted to the height there is, as a page of the tabs would be, never cut off below (a page
// with wrapping text would otherwise be laid out at its preferred height).
class SidewaysScroll final : public QScrollArea {
public:
    explicit SidewaysScroll(QWidget* content) : content_(content) {
        setWidgetResizable(true);
        setFrameShape(QFrame::NoFrame);
        setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        setWidget(new Frame(content));
        content->installEventFilter(this);
    }
    QSize minimumSizeHint() const override {
        return {QScrollArea::minimumSizeHint().width(),
                content_->minimumSizeHint().height() + horizontalScrollBar()->sizeHint().height()};
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        // The page's layout changed, or it is laid out for its first showing: its size may ask
        // more of the window.
        if (watched == content_ && (event->type() == QEvent::LayoutRequest || event->type() == QEvent::Show)) {
            widget()->updateGeometry();
            updateGeometry();
            QCoreApplication::postEvent(this, new QEvent(QEvent::LayoutRequest));
        }
        return QScrollArea::eventFilter(watched, event);
    }

private:
    // Holds the page without a layout of its own, so that the scroll area sizes it to the viewport
    // (no smaller than the page's minimum) rather than to a height for its width.
    class Frame final : public QWidget {
    public:
        explicit Frame(QWidget* page) : page_(page) { page->setParent(this); }
        QSize minimumSizeHint() const override { return page_->minimumSizeHint(); }
        QSize sizeHint() const override { return page_->sizeHint(); }

    protected:
        void resizeEvent(QResizeEvent*) override { page_->setGeometry(rect()); }

    private:
        QWidget* page_;
    };
    QWidget* content_;
};

}  // namespace

TStationWindow::TStationWindow(const Journal::Journal& runJournal, const Station::Records& records,
                               const RotatorTracking::Tracker& rotators, QWidget* parent)
    : QWidget(parent, Qt::Window), journal_(runJournal), records_(records), rotators_(rotators) {
    setObjectName(QStringLiteral("Station1"));
    setWindowTitle(QString::fromLatin1(kTitle));
    setWindowIcon(form_style::ProgramIcon());
    setFont(fonts::WindowFont());

    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    top->addWidget(AddGroup(this, QStringLiteral("Station"),
                            {{"stationLocator", "Locator"},
                             {"stationPosition", "Latitude, longitude"},
                             {"stationClock", "Clock"},
                             {"stationPointing", "Pointing"}}));
    // The place may carry a note on where it lies against the locator: it wraps rather than widen the window.
    fields_[QStringLiteral("stationPosition")]->setWordWrap(true);
    FirstRunLabel =
        new QLabel(QStringLiteral("%1 is the locator Lunark starts with on a first run: set yours in Setup.")
                       .arg(QString::fromLatin1(Unit3::kDefaultLocator)),
                   fields_[QStringLiteral("stationLocator")]->parentWidget());
    FirstRunLabel->setObjectName(QStringLiteral("FirstRunLabel"));
    FirstRunLabel->setWordWrap(true);
    FirstRunLabel->setVisible(false);
    static_cast<QFormLayout*>(FirstRunLabel->parentWidget()->layout())->addRow(FirstRunLabel);
    targetGroup_ = AddGroup(this, QStringLiteral("Moon"),
                            {{"moonAzimuth", "Azimuth"},
                             {"moonElevation", "Elevation"},
                             {"moonRightAscension", "Right ascension"},
                             {"moonDeclination", "Declination"},
                             {"moonDistance", "Distance from the station"},
                             {"moonHorizon", "Horizon"},
                             {"moonNext", "Next"}});
    targetGroup_->setObjectName(QStringLiteral("TargetGroup"));
    top->addWidget(targetGroup_);
    layout->addLayout(top);

    auto* axes = new QHBoxLayout;
    for (const char* axis : {"azimuth", "elevation"}) {
        const std::string a(axis);
        const auto name = [&a](const char* field) { return a + field; };
        // The field names outlive this loop: they are kept as QStrings in fields_.
        const std::string protocol = name("Protocol"), port = name("Port"), device = name("Device"),
                          speed = name("LineSpeed"), target = name("Target"), command = name("Command"),
                          sentAt = name("SentAt"), result = name("Result"), next = name("NextSend"),
                          following = name("Following");
        axes->addWidget(AddGroup(this, a == "azimuth" ? QStringLiteral("Azimuth") : QStringLiteral("Elevation"),
                                 {{protocol.c_str(), "Protocol"},
                                  {port.c_str(), "Port"},
                                  {device.c_str(), "Device"},
                                  {speed.c_str(), "Line speed"},
                                  {target.c_str(), "Target"},
                                  {command.c_str(), "Last command"},
                                  {sentAt.c_str(), "Sent at"},
                                  {result.c_str(), "Result"},
                                  {next.c_str(), "Next send"},
                                  {following.c_str(), "Following"}}));
    }
    layout->addLayout(axes);

    Pages = new QTabWidget(this);
    Pages->setObjectName(QStringLiteral("Pages"));
    auto* journal = new QGroupBox(QStringLiteral("Journal (newest first)"), Pages);
    auto* journalLayout = new QVBoxLayout(journal);
    Journal1 = new QPlainTextEdit(journal);
    Journal1->setObjectName(QStringLiteral("Journal1"));
    Journal1->setReadOnly(true);
    Journal1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Journal1->setFont(fonts::FixedsysFont());
    journalLayout->addWidget(Journal1);
    auto* bottom = new QHBoxLayout;
    LogLabel = new QLabel(journal);
    LogLabel->setObjectName(QStringLiteral("LogLabel"));
    LogLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    LogLabel->setWordWrap(true);
    bottom->addWidget(LogLabel, 1);
    CopyButton = new QPushButton(QStringLiteral("Copy journal"), journal);
    CopyButton->setObjectName(QStringLiteral("CopyButton"));
    connect(CopyButton, &QPushButton::clicked, this, [this] { Guarded([this] { CopyJournal(); }); });
    bottom->addWidget(CopyButton);
    journalLayout->addLayout(bottom);
    Pages->addTab(journal, QStringLiteral("Journal"));
    layout->addWidget(Pages, 1);

    refreshTimer_ = new QTimer(this);
    refreshTimer_->setInterval(kRefreshMs);
    connect(refreshTimer_, &QTimer::timeout, this, [this] { Guarded([this] { Refresh(); }); });
    resize(kDefaultWidth, kDefaultHeight);
}

QGroupBox* TStationWindow::AddGroup(QWidget* parent, const QString& title,
                                    std::initializer_list<std::pair<const char*, const char*>> fields) {
    auto* group = new QGroupBox(title, parent);
    auto* form = new QFormLayout(group);
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    form->setHorizontalSpacing(kGap);
    for (const auto& [name, caption] : fields) {
        auto* value = new QLabel(QString::fromUtf8(kNone), group);
        value->setObjectName(QString::fromLatin1(name));
        value->setFont(fonts::FixedsysFont());
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        form->addRow(QString::fromLatin1(caption), value);
        fields_[QString::fromLatin1(name)] = value;
    }
    return group;
}

void TStationWindow::SetNextSend(NextSendFunction nextSend) {
    nextSend_ = std::move(nextSend);
}

void TStationWindow::SetFirstStart(bool firstStart) {
    firstStart_ = firstStart;
}

void TStationWindow::AddSection(const QString& title, QWidget* content) {
    Pages->addTab(new SidewaysScroll(content), title);
}

void TStationWindow::SetRefreshPeriod(std::chrono::milliseconds period) {
    refreshTimer_->setInterval(period);
}

void TStationWindow::ShowBeside(const QWidget* anchor) {
    const std::string settingsFile = Unit3::SettingsFileFor(Unit3::ExecutablePath);
    if (const auto place = StationSettings::ReadWindowPlace(settingsFile)) {
        resize(place->Width, place->Height);
        move(place->Left, place->Top);
    } else if (anchor != nullptr) {
        move(anchor->frameGeometry().right() + kGap, anchor->y());
    }
    Refresh();
    refreshTimer_->start();
    show();
    raise();
    activateWindow();
}

QString TStationWindow::Field(const QString& name) const {
    const auto found = fields_.find(name);
    return found == fields_.end() ? QString() : found->second->text();
}

void TStationWindow::SetField(const char* name, const QString& text) {
    QLabel* label = fields_.at(QString::fromLatin1(name));
    if (label->text() != text) label->setText(text);
}

void TStationWindow::SetCaption(const char* name, const QString& caption) {
    QLabel* value = fields_.at(QString::fromLatin1(name));
    auto* form = qobject_cast<QFormLayout*>(value->parentWidget()->layout());
    auto* label = form != nullptr ? qobject_cast<QLabel*>(form->labelForField(value)) : nullptr;
    if (label != nullptr && label->text() != caption) label->setText(caption);
}

QString TStationWindow::JournalText() const {
    return FromCore(journal_.Text());
}

void TStationWindow::CopyJournal() {
    QApplication::clipboard()->setText(JournalText());
}

void TStationWindow::Refresh() {
    RefreshStation();
    RefreshAxes();
    RefreshJournal();
    emit Refreshed();
}

void TStationWindow::RefreshStation() {
    const Station::TargetStatus moon = Station::TargetNow(rotators_.Mask());
    SetField("stationLocator", core_text::ToQt(Unit3::Locator));
    if (firstStart_ && Unit3::Locator != Unit3::kDefaultLocator) firstStart_ = false;  // changed once: for good
    FirstRunLabel->setVisible(firstStart_);
    SetField("stationPointing", Position::Pointing().precise
                                    ? QStringLiteral("precise, topocentric")
                                    : QStringLiteral("whole degrees with the fixed 0.9\u00B0 allowance"));
    SetField("stationClock", When(moon.at));
    if (!moon.known) {
        SetField("stationPosition", QStringLiteral("no position: give a locator in Setup"));
        for (const char* name : {"moonAzimuth", "moonElevation", "moonRightAscension", "moonDeclination",
                                 "moonDistance", "moonHorizon", "moonNext"}) {
            SetField(name, QString::fromUtf8(kNone));
        }
        return;
    }
    const QString target = QString::fromStdString(Targets::Name(moon.target));
    if (targetGroup_->title() != target) targetGroup_->setTitle(target);
    QString position = LatitudeLongitude(moon.latitude, moon.eastLongitude);
    if (!moon.placeAgainstLocator.empty()) position += u'\n' + FromCore(moon.placeAgainstLocator);
    SetField("stationPosition", position);
    SetField("moonAzimuth", Degrees(moon.azimuth, 2));
    SetField("moonElevation", Degrees(moon.elevation, 2));
    SetField("moonRightAscension", HoursMinutesSeconds(moon.rightAscension));
    SetField("moonDeclination",
             (moon.declination >= 0 ? QStringLiteral("+") : QString()) + Degrees(moon.declination, 2));
    SetField("moonDistance", Kilometres(moon.distanceKm));
    SetField("moonHorizon", moon.elevation > 0 ? QStringLiteral("above") : QStringLiteral("below"));
    if (moon.next) {
        const QString crossing = moon.nextAgainstMask
                                     ? (moon.next->rising ? QStringLiteral("rises above the mask at ")
                                                          : QStringLiteral("sets below the mask at "))
                                     : (moon.next->rising ? QStringLiteral("rises at ") : QStringLiteral("sets at "));
        SetField("moonNext", crossing + When(FromDayNumber(moon.next->dayNumber)));
    } else if (moon.nextAgainstMask) {
        // No crossing of the mask for two days: the target stays on the side of the mask it is on now,
        // whatever its elevation above the true horizon.
        SetField("moonNext", moon.elevation > rotators_.Mask().ElevationAt(moon.azimuth)
                                 ? QStringLiteral("stays above the mask for two days")
                                 : QStringLiteral("stays below the mask for two days"));
    } else {
        SetField("moonNext", moon.elevation > 0 ? QStringLiteral("stays up for two days")
                                                : QStringLiteral("stays down for two days"));
    }
}

void TStationWindow::RefreshAxes() {
    const std::optional<MoveTiming::When> next = nextSend_ ? nextSend_() : std::nullopt;
    for (const Axis axis : {Axis::kAzimuth, Axis::kElevation}) {
        const Station::AxisStatus status = records_.StatusOf(axis);
        const std::string a = axis == Axis::kAzimuth ? "azimuth" : "elevation";
        const auto set = [&](const char* field, const QString& text) { SetField((a + field).c_str(), text); };
        set("Protocol", u'"' + FromCore(status.protocol) + u'"' +
                            (status.protocolKnown ? QString() : QStringLiteral(": not a protocol of this axis")));
        const QString none = QString::fromUtf8(kNone);
        // The axis's transport words its port, device and line speed (a Hamlib axis names its
        // rotator by model and device).
        const auto shownOrNone = [&none](const std::string& text) { return text.empty() ? none : FromCore(text); };
        SetCaption((a + "Port").c_str(), FromCore(status.shown.portCaption));
        set("Port", shownOrNone(status.shown.port));
        set("Device", shownOrNone(status.shown.device));
        set("LineSpeed", shownOrNone(status.shown.lineSpeed));
        const QString target = status.target ? (status.fractionalDegrees ? QString::number(*status.target, 'f', 2)
                                                                         : QString::number(*status.target))
                                             : QString();
        set("Target", status.sends && status.target ? target + QStringLiteral("\u00B0") : none);
        if (status.last) {
            set("Command", FromCore(status.shown.command));
            set("SentAt", When(status.last->at));
            set("Result", FromCore(status.last->result) +
                              (status.last->hint.empty() ? QString() : u'\n' + FromCore(status.last->hint)));
        } else {
            for (const char* field : {"Command", "SentAt"}) set(field, none);
            set("Result", status.sends ? QStringLiteral("nothing sent yet") : QStringLiteral("nothing is sent"));
        }
        const HamlibTransport::Axes& hamlib = records_.Transports().Hamlib();
        const std::string notFollowing = hamlib.NotFollowing(axis);
        const std::optional<HamlibTransport::AxisReading> reading = hamlib.Reading(axis);
        set("Following", !notFollowing.empty()                        ? FromCore(notFollowing)
                         : status.sends && reading && reading->actual ? QStringLiteral("following")
                                                                      : none);
        const QString nextWhen = next ? When(std::chrono::round<std::chrono::seconds>(next->at)) : QString();
        set("NextSend", !status.sends          ? none
                        : !next                ? QStringLiteral("only on Track (Cont. track is off)")
                        : next->untilReceiving ? QStringLiteral("when transmitting stops, by ") + nextWhen
                                               : nextWhen);
    }
}

void TStationWindow::RefreshJournal() {
    if (journal_.Revision() != shownRevision_) {
        shownRevision_ = journal_.Revision();
        Journal1->setPlainText(JournalText());
    }
    QString log;
    if (journal_.Log().Path().empty()) {
        log = QStringLiteral("Log: off");
    } else if (!journal_.Log().Problem().empty()) {
        log = QStringLiteral("Log cannot be written: ") + FromCore(journal_.Log().Problem());
    } else {
        log = QStringLiteral("Log: ") + FromCore(journal_.Log().Path());
    }
    if (LogLabel->text() != log) LogLabel->setText(log);
}

void TStationWindow::StorePlace() {
    StationSettings::WriteWindowPlace(Unit3::SettingsFileFor(Unit3::ExecutablePath), {x(), y(), width(), height()});
}

void TStationWindow::closeEvent(QCloseEvent* event) {
    refreshTimer_->stop();
    Guarded([this] { StorePlace(); });  // a place that cannot be stored does not keep the window open
    event->accept();
}
