// SPDX-License-Identifier: GPL-3.0-or-later
#include "Startup.h"

#include <QApplication>

#include "AzelFile.h"
#include "CalendarPage.h"
#include "CoreText.h"
#include "EventGuard.h"
#include "Fonts.h"
#include "FormStyle.h"
#include "HamlibPage.h"
#include "HamlibTransport.h"
#include "Journal.h"
#include "LinksPage.h"
#include "Location.h"
#include "MessageBoxes.h"
#include "Messages.h"
#include "PlanPage.h"
#include "PointingPage.h"
#include "PortsPage.h"
#include "RadioPage.h"
#include "RotatorPage.h"
#include "RotctldServer.h"
#include "SkyPlot.h"
#include "Station.h"
#include "StationLog.h"
#include "StationSettings.h"
#include "StationState.h"
#include "TimerEx.h"
#include "Unit3.h"
#include "WsjtxListener.h"

namespace startup {

namespace {

// The executable as it lies on disk, for telling whether the settings are kept beside it.
std::string& RealExecutablePath() {
    static std::string path;
    return path;
}

// The station's log: beside the settings or in the user's state folder, unless [Station] Log=0.
void StartJournal(StationState& state) {
    const std::string settingsFile = Unit3::SettingsFileFor(Unit3::ExecutablePath);
    state.journal.Log().SetPath(StationSettings::LogEnabled(settingsFile)
                                    ? StationLog::DefaultPath(Unit3::ExecutablePath, RealExecutablePath())
                                    : std::string());
    state.journal.Add("Lunark started; settings in " + settingsFile);
    state.records.NoteSettings();
}

}  // namespace

void StartModules(const char* argv0) {
    RealExecutablePath() = Unit3::RunningExecutablePath(argv0);
    Unit3::ExecutablePath = Unit3::SettingsExecutablePath(RealExecutablePath());
}

void InitialiseApplication() {
    QApplication::setApplicationName(QStringLiteral("lunark"));
    QApplication::setWindowIcon(form_style::ProgramIcon());
    fonts::RegisterSubstitutes();
    // The program's own messages appear in the plain box; errors of the picture's timer handlers
    // in the stop box, like those of every other event handler.
    // Neither tracking nor the other axis waits for the operator: the plain box does not block, and
    // a message repeated while its box is open counts in that box.
    Messages::SetMessageHandler([](const std::string& text) {
        message_boxes::ShowPlainWithoutWaiting(Unit1::Form1, core_text::ToQt(text),
                                               QString::fromStdString(Journal::UtcTime(Location::Now())));
    });
    TTimerEx::SetApplicationExceptionHandler(
        [](QObject*, std::exception_ptr error) { Guarded([&] { std::rethrow_exception(error); }); });
    DeliverHamlibResults();
}

void DeliverHamlibResults() {
    HamlibTransport::SetDelivery([](std::function<void()> work) {
        QMetaObject::invokeMethod(
            qApp, [work = std::move(work)] { Guarded(work); }, Qt::QueuedConnection);
    });
    QObject::connect(qApp, &QCoreApplication::aboutToQuit, [] { HamlibTransport::SetDelivery({}); });
}

ProgramWindows::~ProgramWindows() {
    if (form1) form1->SetLinkedRotators(nullptr);  // the links go first
    if (form4 && Unit4::Form4 == form4.get()) Unit4::Form4 = nullptr;
    if (form1 && Unit1::Form1 == form1.get()) Unit1::Form1 = nullptr;
}

ProgramWindows CreateWindows() {
    ProgramWindows windows;
    windows.state = std::make_unique<StationState>();
    StationState& state = *windows.state;
    windows.form1 = std::make_unique<TForm1>(state);
    Unit1::Form1 = windows.form1.get();
    [[maybe_unused]] TDataModule3 dataModule3;  // groups the settings routines; holds no state
    windows.form4 = std::make_unique<TForm4>();
    Unit4::Form4 = windows.form4.get();
    StartJournal(state);
    // The links close as the program quits; a request still inside Hamlib ends in its worker's own
    // time, and the program does not wait for it.
    QObject::connect(qApp, &QCoreApplication::aboutToQuit, windows.form1.get(),
                     [&hamlib = state.hamlib] { hamlib.LetGoOfRotators(); });
    windows.station = std::make_unique<TStationWindow>(state.journal, state.records, state.rotators);
    TForm1* form1 = windows.form1.get();
    form1->SetStationWindow(windows.station.get());
    windows.station->SetFirstStart(form1->StartedWithoutSettings());
    form1->ResumeTrackingIfItWasOn();
    windows.station->SetNextSend([form1] { return form1->NextSendTime(); });
    // Settings applied in the station window take effect at once: a position update, and the
    // tracking timer at the interval they give.
    auto* pointing = new TPointingPage(state.journal);
    QObject::connect(pointing, &TPointingPage::Applied, form1, &TForm1::SettingsApplied);
    windows.station->AddSection(QStringLiteral("Pointing"), pointing);
    auto* rotator = new TRotatorPage(state.rotators, state.journal);
    rotator->SetMoveTiming(&form1->Moves());
    QObject::connect(rotator, &TRotatorPage::Applied, form1, &TForm1::SettingsApplied);
    QObject::connect(windows.station.get(), &TStationWindow::Refreshed, rotator,
                     [rotator] { Guarded([rotator] { rotator->Refresh(); }); });
    windows.station->AddSection(QStringLiteral("Rotator"), rotator);
    windows.station->AddSection(QStringLiteral("Hamlib"),
                                new THamlibPage(*windows.station, state.hamlib, state.journal));
    auto* plan = new TPlanPage(state.radio, state.rotators, state.journal);
    windows.station->AddSection(QStringLiteral("Plan"), plan);
    plan->Load();
    QObject::connect(windows.station.get(), &TStationWindow::Refreshed, plan,
                     [plan] { Guarded([plan] { plan->Refresh(); }); });
    windows.station->AddSection(QStringLiteral("Radio"), new TRadioPage(state.radio, state.journal));
    auto* calendar = new TCalendarPage(state.rotators);
    windows.station->AddSection(QStringLiteral("Calendar"), calendar);
    auto* sky = new TSkyPlot(state.records, state.rotators);
    windows.station->AddSection(QStringLiteral("Sky"), sky);
    QObject::connect(windows.station.get(), &TStationWindow::Refreshed, sky, [sky] {
        Guarded([sky] {
            if (sky->isVisible()) sky->Refresh();
        });
    });
    // The rotctld server, azel.dat and the weak-signal program's messages, all off until the Links page's settings turn them on.
    windows.linkedRotators = std::make_unique<StationLink::StationRotators>(
        StationLink::Program{[form1] { return form1->Tracking(); }, [form1] { form1->StopTracking(); },
                             [form1] { return form1->PointAndSend(); }},
        state.rotators, state.hamlib, state.journal);
    form1->SetLinkedRotators(windows.linkedRotators.get());
    auto* server = new RotctldServer(*windows.linkedRotators, state.journal, windows.station.get());
    auto* azel = new AzelFile(state.radio, state.journal, windows.station.get());
    azel->UsePlan(plan->InForce());
    QObject::connect(plan, &TPlanPage::Applied, azel, [azel, plan] { azel->UsePlan(plan->InForce()); });
    auto* wsjtx = new WsjtxListener(windows.station.get());
    auto* links = new TLinksPage(*server, *windows.linkedRotators, *azel, *wsjtx, state.journal);
    windows.station->AddSection(QStringLiteral("Links"), links);
    QObject::connect(windows.station.get(), &TStationWindow::Refreshed, links,
                     [links] { Guarded([links] { links->Refresh(); }); });
    auto* ports = new TPortsPage(state.journal);
    QObject::connect(windows.station.get(), &TStationWindow::Refreshed, ports,
                     [ports] { Guarded([ports] { ports->Refresh(); }); });
    windows.station->AddSection(QStringLiteral("Ports"), ports);
    return windows;
}

}  // namespace startup
