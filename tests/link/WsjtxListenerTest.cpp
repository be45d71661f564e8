// SPDX-License-Identifier: GPL-3.0-or-later
// The weak-signal program's datagrams, built field by field from its published format (WsjtxDatagram.h): each
// type in both schemas, a status cut at every byte, oversized and random datagrams, and the listener
// hearing a sender in a multicast group on the loopback.
#include <gtest/gtest.h>

#include <QNetworkInterface>
#include <QUdpSocket>
#include <QVariant>
#include <random>
#include <vector>

#include "Location.h"
#include "QtWait.h"
#include "RadioSettings.h"
#include "RadioTracking.h"
#include "WeakSignalDx.h"
#include "WsjtxDatagram.h"
#include "WsjtxListener.h"

namespace {

using namespace wsjtx_test;

TEST(WsjtxListenerTest, EachTypeInBothSchemas) {
    for (const uint32_t schema : {2u, 3u}) {
        TestSender heartbeat(schema, 0);
        heartbeat.Text("WSJT-X").U32(3).Text("2.6.1").Text("abc123");
        const auto beat = WsjtxListener::Parse(heartbeat.Bytes());
        ASSERT_TRUE(beat) << schema;
        EXPECT_EQ(beat->kind, WsjtxListener::Message::Kind::kHeartbeat);
        EXPECT_EQ(beat->heartbeat.id, "WSJT-X");
        EXPECT_EQ(beat->heartbeat.maximumSchema, 3u);
        EXPECT_EQ(beat->heartbeat.revision, "abc123");

        const auto status = WsjtxListener::Parse(FullStatus(schema).Bytes());
        ASSERT_TRUE(status) << schema;
        EXPECT_EQ(status->kind, WsjtxListener::Message::Kind::kStatus);
        const WsjtxListener::Status& s = status->status;
        EXPECT_EQ(s.dialHz, 144120000u);
        EXPECT_EQ(s.dxCall, "DL7APA");
        EXPECT_TRUE(s.txEnabled);
        EXPECT_FALSE(s.transmitting);
        EXPECT_EQ(s.txDf, 1000u);
        EXPECT_EQ(s.dxGrid, "JO62QM");
        EXPECT_EQ(s.frequencyTolerance, 50u);
        EXPECT_EQ(s.periodSeconds, 120u);
        EXPECT_EQ(s.configuration, "EME");
        EXPECT_EQ(s.txMessage, "DL7APA PA3FWM JO22");

        for (const uint32_t other : {2u, 5u, 12u, 99u}) {
            TestSender decode(schema, other);
            decode.Text("WSJT-X").U8(1);
            const auto ignored = WsjtxListener::Parse(decode.Bytes());
            ASSERT_TRUE(ignored) << other;
            EXPECT_EQ(ignored->kind, WsjtxListener::Message::Kind::kOther);
        }
    }
    EXPECT_FALSE(WsjtxListener::Parse(FullStatus(3, 0xffffffff).Bytes())->status.periodSeconds) << "not given";
}

// A status ending after any field from `transmitting` on is an older sender's; one cut anywhere else
// is malformed.
TEST(WsjtxListenerTest, StatusCutAtEveryByte) {
    const TestSender sender = FullStatus(2);
    const std::vector<int>& ends = sender.FieldEnds();
    for (int cut = 0; cut <= sender.Bytes().size(); ++cut) {
        const auto at = std::find(ends.begin(), ends.end(), cut);
        const bool valid = at != ends.end() && at - ends.begin() >= kTransmittingField;
        EXPECT_EQ(WsjtxListener::Parse(sender.Bytes().left(cut)).has_value(), valid) << "cut at byte " << cut;
    }
}

TEST(WsjtxListenerTest, MalformedDatagramsAreCountedAndChangeNothing) {
    WsjtxListener listener;
    listener.Take(FullStatus(3).Bytes());
    ASSERT_TRUE(listener.LastStatus());
    const auto statusAt = listener.LastStatusAt();

    std::vector<QByteArray> hostile;
    QByteArray wrongMagic = FullStatus(3).Bytes();
    wrongMagic[0] = 0;
    hostile.push_back(wrongMagic);
    TestSender schemaOne(1, 1), schemaFour(4, 0);
    schemaOne.Text("WSJT-X");
    schemaFour.Text("WSJT-X");
    hostile.push_back(schemaOne.Bytes());
    hostile.push_back(schemaFour.Bytes());
    TestSender hugeText(3, 1);
    hugeText.U32(0x7ffffff0);  // a text claiming 2 GB
    hostile.push_back(hugeText.Bytes());
    hostile.push_back(FullStatus(3).Bytes() + QByteArray(WsjtxListener::kLargestDatagram, 'x'));  // oversized
    std::mt19937 random(32);
    for (int i = 0; i < 500; ++i) {
        QByteArray bytes(static_cast<int>(random() % 200), '\0');
        for (char& byte : bytes) byte = static_cast<char>(random());
        if (i % 2) bytes.replace(0, std::min<qsizetype>(bytes.size(), 4), QByteArray("\xad\xbc\xcb\xda", 4));
        hostile.push_back(bytes);
    }
    long long rejected = 0;
    for (const QByteArray& bytes : hostile) {
        const auto message = WsjtxListener::Parse(bytes);
        if (message && message->kind != WsjtxListener::Message::Kind::kStatus) continue;  // a random heartbeat
        listener.Take(bytes);
        rejected += message ? 0 : 1;
        if (message) listener.Take(FullStatus(3).Bytes());
    }
    EXPECT_GE(rejected, 5);
    EXPECT_EQ(listener.Malformed(), rejected);
    EXPECT_EQ(listener.LastStatus()->dxGrid, "JO62QM");
    EXPECT_EQ(listener.ProgramId(), "WSJT-X");
    EXPECT_EQ(WeakSignalDx::FreshGrid(*statusAt), "JO62QM");
    WeakSignalDx::Clear();
}

// While a status with a DX locator is fresh it is the DX station and its period the radio's; two
// minutes later the settings' own come back.
TEST(WsjtxListenerTest, FreshStatusNamesTheDxStationAndPeriod) {
    Location::Instant now = Location::Instant(std::chrono::hours(24 * 20000));
    const Location::ClockFunction previous = Location::SetClock([&now] { return now; });
    RadioSettings::Settings radio;
    radio.dx = "FN20";
    WsjtxListener listener;
    listener.Take(FullStatus(3, 60).Bytes());
    EXPECT_EQ(RadioTracking::ChooseDx(radio, "/nonexistent/lunark.ini"), "JO62QM");
    EXPECT_EQ(WeakSignalDx::FreshPeriodSeconds(now), 60);
    now += std::chrono::seconds(121);
    EXPECT_EQ(RadioTracking::ChooseDx(radio, "/nonexistent/lunark.ini"), "FN20");
    EXPECT_FALSE(WeakSignalDx::FreshPeriodSeconds(now));
    Location::SetClock(previous);
    WeakSignalDx::Clear();
}

// A multicast group on the loopback, as a logger shares the program's messages (a sender on this
// computer's own address is heard in the Links page's test).
TEST(WsjtxListenerTest, HearsASenderInAMulticastGroupOnTheLoopback) {
    QUdpSocket probe;  // a free port for this run
    ASSERT_TRUE(probe.bind(QHostAddress::LocalHost, 0));
    const int port = probe.localPort();
    probe.close();
    WsjtxListener listener;
    QString problem;
    ASSERT_TRUE(listener.Use({true, "239.255.0.1", port}, problem)) << problem.toStdString();
    QUdpSocket sender;
    sender.bind(QHostAddress::AnyIPv4, 0);
    for (const QNetworkInterface& interface : QNetworkInterface::allInterfaces()) {
        if (interface.flags() & QNetworkInterface::IsLoopBack) sender.setMulticastInterface(interface);
    }
    sender.setSocketOption(QAbstractSocket::MulticastLoopbackOption, QVariant(1));
    TestSender heartbeat(3, 0);
    heartbeat.Text("JTDX");
    sender.writeDatagram(heartbeat.Bytes(), QHostAddress("239.255.0.1"), port);
    sender.writeDatagram(FullStatus(2).Bytes(), QHostAddress("239.255.0.1"), port);
    EXPECT_TRUE(test_support::WaitFor([&] { return listener.LastStatus().has_value(); }));
    EXPECT_EQ(listener.Malformed(), 0);
    listener.Stop();
}

}  // namespace
