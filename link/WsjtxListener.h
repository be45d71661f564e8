// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QUdpSocket>
#include <cstdint>
#include <optional>

#include "Location.h"
#include "WsjtxSettings.h"

// Hears the weak-signal program (WSJT-X and its kin) on UDP. Each datagram is the program's message
// format: a 32-bit magic number 0xadbccbda, a 32-bit schema (2 or 3), a 32-bit message type, then the
// fields in Qt's big-endian data-stream encoding; texts are UTF-8 byte arrays with a 32-bit length
// (0xffffffff for a null text). Lunark reads the heartbeat (type 0) and the status (type 1); other
// types are ignored; a datagram that does not parse is counted and changes nothing.
//
// The status's DX locator and T/R period go to WeakSignalDx, where the Doppler, the Plan page and the
// period find them.
class WsjtxListener : public QObject {
    Q_OBJECT

public:
    static constexpr uint32_t kMagic = 0xadbccbda;
    static constexpr int kLargestDatagram = 16384;  // a status is a few hundred bytes

    struct Heartbeat {
        QString id;
        std::optional<uint32_t> maximumSchema;
        QString version, revision;
    };

    // The status message. Fields after `transmitting` came with later versions of the program; a
    // shorter status leaves them at their defaults.
    struct Status {
        QString id;
        uint64_t dialHz = 0;
        QString mode, dxCall, report, txMode;
        bool txEnabled = false, transmitting = false, decoding = false;
        uint32_t rxDf = 0, txDf = 0;
        QString deCall, deGrid, dxGrid;
        bool txWatchdog = false;
        QString subMode;
        bool fastMode = false;
        uint8_t specialOperation = 0;
        uint32_t frequencyTolerance = 0;
        std::optional<uint32_t> periodSeconds;  // 0xffffffff: not given
        QString configuration, txMessage;
    };

    struct Message {
        enum class Kind { kHeartbeat, kStatus, kOther } kind = Kind::kOther;
        uint32_t schema = 0;
        Heartbeat heartbeat;
        Status status;
    };

    // One datagram's message; nullopt when it is not one (wrong magic or schema, cut short, too large).
    static std::optional<Message> Parse(const QByteArray& datagram);

    explicit WsjtxListener(QObject* parent = nullptr);

    // Listens as the settings say (stops when they are off); false with `problem` for the operator
    // when the port cannot be bound or the group joined.
    bool Use(const WsjtxSettings::Settings& settings, QString& problem);
    void Stop();
    bool Listening() const;

    // What the Links page shows.
    QString ProgramId() const { return programId_; }
    const std::optional<Status>& LastStatus() const { return lastStatus_; }
    std::optional<Location::Instant> LastStatusAt() const { return lastStatusAt_; }
    long long Received() const { return received_; }
    long long Malformed() const { return malformed_; }

    // Handles one datagram as though it had arrived now.
    void Take(const QByteArray& datagram);

signals:
    void Changed();

private:
    void ReadPending();

    QUdpSocket socket_;
    QString programId_;
    std::optional<Status> lastStatus_;
    std::optional<Location::Instant> lastStatusAt_;
    long long received_ = 0, malformed_ = 0;
};
