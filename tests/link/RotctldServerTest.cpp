// SPDX-License-Identifier: GPL-3.0-or-later
// The rotctld-compatible server as the program runs it, with pseudo-terminals as the rotator lines:
// Hamlib's own client (rotctl -m 2) giving every command, two clients at once, the answers on the
// wire against Hamlib's rotctld, and clients that send garbage. Offscreen.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QCoreApplication>
#include <QHostAddress>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUdpSocket>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "AxisTransports.h"
#include "HamlibStandIns.h"
#include "HamlibTransport.h"
#include "Journal.h"
#include "LinksPage.h"
#include "Location.h"
#include "Position.h"
#include "PseudoTerminal.h"
#include "QtWait.h"
#include "RotatorSettings.h"
#include "RotctldServer.h"
#include "Startup.h"
#include "Station.h"
#include "StationLog.h"
#include "StationRotators.h"
#include "TempDir.h"
#include "Unit3.h"
#include "WeakSignalDx.h"
#include "WsjtxDatagram.h"

namespace {

using namespace std::chrono;
using tracking_test::PseudoTerminal;

using test_support::WaitFor;

quint16 FreePort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// A client on a raw socket, in this thread.
class RawClient {
public:
    explicit RawClient(quint16 port) {
        socket_.connectToHost(QHostAddress::LocalHost, port);
        // Until the attempt has an outcome: a client the server refuses is connected and closed
        // again within one turn of the event loop, so it may never be seen connected.
        WaitFor([this] {
            return socket_.state() != QAbstractSocket::HostLookupState &&
                   socket_.state() != QAbstractSocket::ConnectingState;
        });
    }
    void Send(const QByteArray& bytes) { socket_.write(bytes); }
    // What arrived once `lines` line ends have (or the connection ended, or 10 s passed).
    std::string Receive(int lines) {
        WaitFor([&] {
            received_ += socket_.readAll();
            return received_.count('\n') >= lines || socket_.state() != QAbstractSocket::ConnectedState;
        });
        const std::string text = received_.toStdString();
        received_.clear();
        return text;
    }
    bool Closed() {
        return WaitFor([this] { return socket_.state() == QAbstractSocket::UnconnectedState; });
    }

private:
    QTcpSocket socket_;
    QByteArray received_;
};

struct ClientRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Hamlib's client for a network rotator, with its commands on the command line.
std::unique_ptr<QProcess> StartRotctl(quint16 port, const QStringList& commands) {
    auto process = std::make_unique<QProcess>();
    process->start(QStringLiteral("rotctl"),
                   QStringList{QStringLiteral("-m"), QStringLiteral("2"), QStringLiteral("-r"),
                               QStringLiteral("127.0.0.1:%1").arg(port)} +
                       commands);
    return process;
}
ClientRun Finish(QProcess& process) {
    WaitFor([&] { return process.state() == QProcess::NotRunning; }, 30s);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            process.readAllStandardOutput().toStdString(), process.readAllStandardError().toStdString()};
}

bool JournalHas(const Journal::Journal& journal, const std::string& part) {
    for (const Journal::Entry& entry : journal.Entries()) {
        if (entry.text.find(part) != std::string::npos) return true;
    }
    return false;
}

class RotctldServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        Unit3::ExecutablePath = dir_.File("lunark");
        previousClock_ = Location::SetClock([] { return sys_days{2023y / March / 22} + 12h; });
    }
    void TearDown() override {
        windows_.reset();  // a client's direction goes with them
        Location::SetClock(previousClock_);
    }
    // GS-232A on both axes, no offsets, the server on a free port; `more` adds lines to [Server] and
    // further sections, with %PORT% standing for the server's port.
    void Start(std::string more = "") {
        port_ = FreePort();
        if (const auto at = more.find("%PORT%"); at != std::string::npos) more.replace(at, 6, std::to_string(port_));
        test_support::WriteFileBytes(
            dir_.File("lunark.ini"),
            "[Lunark]\nLocator=JO22IC\nAZ_COM_NR=1\nEL_COM_NR=2\nAZoffset=0\nELoffset=0\nAZtype=YAESU GS-232A 9600bd\n"
            "ELtype=YAESU GS-232A 9600bd\nTrackInterval=1\n[Ports]\nCOM1=" +
                azimuthLine_.Path() + "\nCOM2=" + elevationLine_.Path() +
                "\n[Station]\nLog=0\n[Server]\nEnabled=1\nPort=" + std::to_string(port_) + "\n" + more);
        windows_.emplace(startup::CreateWindows());
        windows_->form1->show();
        QCoreApplication::processEvents();
        azimuthLine_.ReceivedNow();  // what the window's first position update may have sent
        elevationLine_.ReceivedNow();
    }
    QCheckBox* ContTrack() const { return windows_->form1->CheckBox1; }

    test_support::TempDir dir_;
    PseudoTerminal azimuthLine_, elevationLine_;
    Location::ClockFunction previousClock_;
    std::optional<startup::ProgramWindows> windows_;
    quint16 port_ = 0;
};

// Each command of Hamlib's client, with and without Lunark tracking: what the client prints, how it
// ends, what the controllers receive and whether "Cont. track" stays ticked.
TEST_F(RotctldServerTest, HamlibsClientGivesEachCommand) {
    const struct {
        const char* what;
        const char* settings;
        bool tracking;  // before; a command that works while tracking ends it, a refused one leaves it
        QStringList commands;
        bool succeeds;
        const char* printed;                        // the start of the client's output
        const char *azimuthBytes, *elevationBytes;  // what the GS-232A lines receive
    } cases[] = {
        // clang-format off
        {"set, then get what was set", "", false, {"set_pos", "100", "20", "get_pos"}, true, "100.00\n20.00\n",
         "M100\r", "W100 020\r"},
        {"a set while tracking is refused", "", true, {"set_pos", "100", "20"}, false, "", "", ""},
        {"follow: a set ends the tracking", "Commands=follow\n", true, {"set_pos", "250.4", "5"}, true, "", "M250\r",
         "W250 005\r"},
        {"stop: the serial line has no stop command", "", false, {"stop"}, true, "", "", ""},
        {"a stop while tracking is refused", "", true, {"stop"}, false, "", "", ""},
        {"park at the [Rotator] park position", "[Rotator]\nBelowHorizon=park:180,10\n", false, {"park"}, true, "",
         "M180\r", "W180 010\r"},
        {"park without a park position", "", false, {"park"}, false, "", "", ""},
        {"the ranges of the [Rotator] settings", "[Rotator]\nAzimuthRange=0-450\nElevationRange=5-80\n", false,
         {"dump_state"}, true,
         "1\n2\nmin_az=0.000000\nmax_az=450.000000\nmin_el=5.000000\nmax_el=80.000000\nsouth_zero=0\n"
         "rot_type=AzEl\ndone\n", "", ""},
        {"what the server is", "", false, {"get_info"}, true, "Lunark " LUNARK_VERSION "\n", "", ""},
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Start(c.settings);
        if (c.tracking) ContTrack()->setChecked(true);
        const std::unique_ptr<QProcess> client = StartRotctl(port_, c.commands);
        const ClientRun run = Finish(*client);
        EXPECT_EQ(run.exitCode == 0, c.succeeds) << run.err;
        EXPECT_TRUE(run.out.starts_with(c.printed)) << run.out;
        EXPECT_EQ(azimuthLine_.Received(std::strlen(c.azimuthBytes)), c.azimuthBytes);
        EXPECT_EQ(elevationLine_.Received(std::strlen(c.elevationBytes)), c.elevationBytes);
        EXPECT_EQ(ContTrack()->isChecked(), c.tracking && !c.succeeds);
    }
}

// A client's direction holds until the operator takes the antenna back: "Track" points at the Moon
// again, and the window's title says what is followed meanwhile.
TEST_F(RotctldServerTest, TheOperatorTakesTheAntennaBack) {
    Start();
    RawClient client(port_);
    client.Send("P 200 30\n");
    EXPECT_EQ(client.Receive(1), "RPRT 0\n");
    EXPECT_EQ(azimuthLine_.Received(5), "M200\r");
    EXPECT_TRUE(windows_->form1->windowTitle().endsWith("(fixed)")) << windows_->form1->windowTitle().toStdString();
    windows_->form1->Timer2Timer();  // the 30-second refresh keeps the client's direction
    EXPECT_EQ(windows_->form1->Label1->text(), "Azimuth:   200");
    windows_->form1->Button1->click();
    EXPECT_FALSE(windows_->form1->windowTitle().endsWith("(fixed)"));
    EXPECT_NE(windows_->form1->Label1->text(), "Azimuth:   200");
    EXPECT_NE(azimuthLine_.Received(5), "M200\r");
    EXPECT_TRUE(JournalHas(windows_->state->journal, "Server: the antenna follows its own target again"));
}

// Two clients polling at once each get every answer, and the journal tells them apart by address.
// Up to 32 clients are served at once: the 33rd is closed at once, and the others answer as before.
TEST_F(RotctldServerTest, ClientsAtOnceUpToTheLimit) {
    Start();
    const std::unique_ptr<QProcess> setter = StartRotctl(port_, {"set_pos", "123", "45"});
    ASSERT_EQ(Finish(*setter).exitCode, 0);
    QStringList polls;
    for (int i = 0; i < 20; ++i) polls << QStringLiteral("get_pos");
    const std::unique_ptr<QProcess> first = StartRotctl(port_, polls);
    const std::unique_ptr<QProcess> second = StartRotctl(port_, polls);
    const ClientRun one = Finish(*first), two = Finish(*second);
    std::string expected;
    for (int i = 0; i < 20; ++i) expected += "123.00\n45.00\n";
    EXPECT_EQ(one.exitCode, 0) << one.err;
    EXPECT_EQ(two.exitCode, 0) << two.err;
    EXPECT_EQ(one.out, expected);
    EXPECT_EQ(two.out, expected);
    // Three clients' ports in the journal: the setter's and the two pollers'.
    QSet<QString> clients;
    const QRegularExpression command(QStringLiteral("^Server: (127\\.0\\.0\\.1:\\d+) p -> 123\\.00 45\\.00$"));
    for (const Journal::Entry& entry : windows_->state->journal.Entries()) {
        const QRegularExpressionMatch match = command.match(QString::fromStdString(entry.text));
        if (match.hasMatch()) clients.insert(match.captured(1));
    }
    EXPECT_EQ(clients.size(), 2);
    EXPECT_TRUE(JournalHas(windows_->state->journal, " P 123.000000 45.000000 -> RPRT 0"))
        << windows_->state->journal.Text();

    auto* server = windows_->station->findChild<RotctldServer*>();
    ASSERT_NE(server, nullptr);
    ASSERT_TRUE(WaitFor([server] { return server->ClientCount() == 0; }));
    std::vector<std::unique_ptr<RawClient>> served;
    for (int i = 0; i < 32; ++i) served.push_back(std::make_unique<RawClient>(port_));
    ASSERT_TRUE(WaitFor([server] { return server->ClientCount() == 32; })) << server->ClientCount();
    RawClient refused(port_);
    EXPECT_TRUE(refused.Closed());
    EXPECT_TRUE(JournalHas(windows_->state->journal, " refused: already 32 clients"))
        << windows_->state->journal.Text();
    for (const auto& client : served) {
        client->Send("p\n");
        EXPECT_EQ(client->Receive(2), "123.00\n45.00\n");
    }
}

// What the server answers, line for line, against Hamlib's rotctld with its simulated rotator:
// the same lines and words, numbers aside (the ranges and positions differ), the info text aside.
TEST_F(RotctldServerTest, AnswersAsRotctldDoes) {
    Start("[Rotator]\nBelowHorizon=park:180,10\n");
    tracking_test::RotctlDaemon daemon;
    const quint16 daemonPort = static_cast<quint16>(std::stoi(daemon.Address().substr(daemon.Address().find(':') + 1)));
    const struct {
        const char* line;
        int lines;  // in the answer
    } cases[] = {
        {"\\dump_state", 9},
        {"+\\dump_state", 11},
        {"p", 2},
        {"\\get_pos", 2},
        {"+p", 4},
        {";p", 1},
        {"|\\get_pos", 1},
        {"P 10 20", 1},
        {"+P 10 20", 2},
        {"\\set_pos 10.5 20.25", 1},
        {"P 1000 20", 1},
        {"+P 10 -5", 2},
        {"S", 1},
        {"+S", 2},
        {"\\stop", 1},
        {"K", 1},
        {"+K", 2},
        {"\\park", 1},
        {"_", 1},
        {"+_", 3},
        {"\\get_info", 1},
        {"p\r", 2},
    };
    const auto normalised = [](std::string text) {
        for (const char* info : {"Dummy rotator", "Lunark " LUNARK_VERSION}) {
            if (const auto at = text.find(info); at != std::string::npos) text.replace(at, std::strlen(info), "INFO");
        }
        return QString::fromStdString(text)
            .replace(QRegularExpression(QStringLiteral("-?\\d+(\\.\\d+)?")), QStringLiteral("#"))
            .toStdString();
    };
    RawClient lunark(port_), rotctld(daemonPort);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        lunark.Send(QByteArray(c.line) + "\n");
        rotctld.Send(QByteArray(c.line) + "\n");
        const std::string ours = lunark.Receive(c.lines), theirs = rotctld.Receive(c.lines);
        EXPECT_EQ(normalised(ours), normalised(theirs)) << ours << "\nrotctld:\n" << theirs;
        if (std::string(c.line).starts_with("P 1000")) {
            EXPECT_EQ(ours, "RPRT -1\n");
        }
    }
    lunark.Send("q\n");
    rotctld.Send("q\n");
    EXPECT_TRUE(lunark.Closed());
    EXPECT_TRUE(rotctld.Closed());
}

// A client that sends garbage, or megabytes without a line end, is disconnected; the others are
// answered as before and Lunark keeps tracking.
TEST_F(RotctldServerTest, HostileClientsAreDisconnected) {
    Start();
    ContTrack()->setChecked(true);
    RawClient bystander(port_);
    const struct {
        const char* what;
        QByteArray bytes;
        const char* journalled;
    } cases[] = {
        {"control bytes", QByteArray("p\x01\xff\n", 4), "dropped: not a command"},
        {"an unknown command", "z\n", "dropped: not a command"},
        {"an unknown long command", "\\set_conf x 1\n", "dropped: not a command"},
        {"four megabytes without a line end", QByteArray(4 << 20, 'p'), "dropped: a line longer than 1024 bytes"},
        {"a line just too long", QByteArray(1100, ' ') + "p\n", "dropped: a line longer than 1024 bytes"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        windows_->state->journal.Clear();
        RawClient hostile(port_);
        hostile.Send(c.bytes);
        EXPECT_TRUE(hostile.Closed());
        EXPECT_TRUE(JournalHas(windows_->state->journal, c.journalled));
        bystander.Send("+p\n");
        EXPECT_TRUE(bystander.Receive(4).starts_with("get_pos:\nAzimuth: ")) << c.what;
    }
    EXPECT_TRUE(ContTrack()->isChecked());
}

// The Links page: listening, why the server does not listen, the warning for an address that other
// computers reach; and what the weak-signal program said, heard as the settings file says.
TEST_F(RotctldServerTest, LinksPageTellsWhatTheLinksDo) {
    const auto page = [this] { return windows_->station->findChild<TLinksPage*>(); };
    const struct {
        const char* what;
        std::string settings;  // after [Server] Enabled=1 and its port
        const char* status;    // the start of the status line
        bool warning;
    } cases[] = {
        {"listening here", "", "listening on 127.0.0.1 port", false},
        {"listening for the network", "Address=0.0.0.0\n", "listening on 0.0.0.0 port", true},
        {"the port of a Hamlib rotator", "[Hamlib]\nAzModel=2\nAzDevice=localhost:%PORT%\n", "not listening: Port ",
         false},
        {"not an address", "Address=moon.example\n", "not listening: \"moon.example\" is not an IP address", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Start(c.settings);
        ASSERT_NE(page(), nullptr);
        page()->Refresh();
        EXPECT_TRUE(page()->ServerStatusLabel->text().startsWith(QString::fromLatin1(c.status)))
            << page()->ServerStatusLabel->text().toStdString() << " port " << port_;
        EXPECT_EQ(!page()->ServerWarningLabel->isHidden(), c.warning);
    }

    const quint16 udpPort = FreePort();
    Start("[WSJT]\nEnabled=1\nPort=" + std::to_string(udpPort) + "\n");
    const wsjtx_test::TestSender status = wsjtx_test::FullStatus(2);  // an older sender's: no period
    QUdpSocket sender;
    sender.writeDatagram(QByteArray("not a message"), QHostAddress::LocalHost, udpPort);
    sender.writeDatagram(status.Bytes().left(status.FieldEnds()[13]), QHostAddress::LocalHost, udpPort);
    const auto shown = [&page] {
        page()->Refresh();
        return page()->WsjtxStatusLabel->text();
    };
    EXPECT_TRUE(WaitFor([&] { return shown().contains(QStringLiteral("1 malformed")) && shown().contains("JO62QM"); }))
        << shown().toStdString();
    EXPECT_TRUE(shown().contains(QStringLiteral("program: WSJT-X"))) << shown().toStdString();
    EXPECT_TRUE(shown().contains(QStringLiteral("T/R period not given"))) << shown().toStdString();
    EXPECT_EQ(WeakSignalDx::FreshGrid(Location::Now()), "JO62QM");
    windows_.reset();
    WeakSignalDx::Clear();
}

// The position update follows a client's direction while that client's link lives, whatever order
// the links of one program's windows and the next come and go in (the next are made before the old
// go); taken back, or with no link left, it follows the [Pointing] target again.
TEST(StationLinkDirection, FollowedWhileItsLinkLivesWhateverOrderLinksGo) {
    test_support::TempDir dir;
    Unit3::ExecutablePath = dir.File("lunark");  // no settings file: the Moon
    HamlibTransport::Axes hamlib;
    AxisTransports::Transports transports(hamlib);
    RotatorTracking::Tracker rotators(transports);
    Journal::Journal journal;
    auto older = std::make_unique<StationLink::StationRotators>(StationLink::Program{}, rotators, hamlib, journal);
    auto newer = std::make_unique<StationLink::StationRotators>(StationLink::Program{}, rotators, hamlib, journal);
    const Targets::Target moon = Position::Pointing().target;
    older->SetPosition(10, 20, "a");  // nothing to send with: the direction is taken all the same
    EXPECT_EQ(Position::Pointing().target, Targets::Fixed(10, 20));
    newer->SetPosition(-30, 40, "b");
    EXPECT_EQ(Position::Pointing().target, Targets::Fixed(330, 40));
    older.reset();
    EXPECT_EQ(Position::Pointing().target, Targets::Fixed(330, 40));
    newer->ForgetClientDirection();
    EXPECT_EQ(Position::Pointing().target, moon);
    EXPECT_EQ(journal.Entries().front().text, "Server: the antenna follows its own target again");
    newer->SetPosition(50, 5, "b");
    newer.reset();
    EXPECT_EQ(Position::Pointing().target, moon);
    Unit3::ExecutablePath.clear();
}

}  // namespace
