// SPDX-License-Identifier: GPL-3.0-or-later
#include "WsjtxListener.h"

#include <QDataStream>
#include <QHostAddress>
#include <QNetworkDatagram>
#include <QNetworkInterface>

#include "WeakSignalDx.h"

namespace {

constexpr uint32_t kNotGiven = 0xffffffff;

// Reads the fields in order. A message may end after any field past its required ones (an older
// sender); a field cut short makes the whole message malformed.
class FieldReader {
public:
    explicit FieldReader(QDataStream& stream) : stream_(stream) {}

    // True when every field so far was whole and more bytes follow.
    bool More() const { return stream_.status() == QDataStream::Ok && !stream_.atEnd(); }
    bool Whole() const { return stream_.status() == QDataStream::Ok; }

    template <typename T>
    FieldReader& operator>>(T& value) {
        if (Whole()) stream_ >> value;
        return *this;
    }
    FieldReader& operator>>(QString& text) {
        QByteArray utf8;
        if (Whole()) stream_ >> utf8;
        text = QString::fromUtf8(utf8);
        return *this;
    }
    FieldReader& operator>>(bool& flag) {
        quint8 byte = 0;
        *this >> byte;
        flag = byte != 0;
        return *this;
    }

private:
    QDataStream& stream_;
};

bool ReadHeartbeat(FieldReader& in, WsjtxListener::Heartbeat& heartbeat) {
    in >> heartbeat.id;
    if (!in.More()) return in.Whole();
    uint32_t schema = 0;
    in >> schema;
    heartbeat.maximumSchema = schema;
    if (in.More()) in >> heartbeat.version;
    if (in.More()) in >> heartbeat.revision;
    return in.Whole();
}

bool ReadStatus(FieldReader& in, WsjtxListener::Status& status) {
    quint64 dial = 0;
    in >> status.id >> dial >> status.mode >> status.dxCall >> status.report >> status.txMode >> status.txEnabled >>
        status.transmitting;
    status.dialHz = dial;
    if (!in.Whole()) return false;
    // Each later field is read only when the sender wrote it.
    if (in.More()) in >> status.decoding;
    if (in.More()) in >> status.rxDf;
    if (in.More()) in >> status.txDf;
    if (in.More()) in >> status.deCall;
    if (in.More()) in >> status.deGrid;
    if (in.More()) in >> status.dxGrid;
    if (in.More()) in >> status.txWatchdog;
    if (in.More()) in >> status.subMode;
    if (in.More()) in >> status.fastMode;
    if (in.More()) in >> status.specialOperation;
    if (in.More()) in >> status.frequencyTolerance;
    if (in.More()) {
        uint32_t period = kNotGiven;
        in >> period;
        if (period != kNotGiven) status.periodSeconds = period;
    }
    if (in.More()) in >> status.configuration;
    if (in.More()) in >> status.txMessage;
    return in.Whole();
}

}  // namespace

std::optional<WsjtxListener::Message> WsjtxListener::Parse(const QByteArray& datagram) {
    if (datagram.size() > kLargestDatagram) return std::nullopt;
    QDataStream stream(datagram);
    stream.setByteOrder(QDataStream::BigEndian);
    quint32 magic = 0, schema = 0, type = 0;
    stream >> magic >> schema >> type;
    if (stream.status() != QDataStream::Ok || magic != kMagic || (schema != 2 && schema != 3)) return std::nullopt;
    // Schema 2 is Qt 5.2's stream format, schema 3 Qt 5.4's: the same for integers and byte arrays.
    stream.setVersion(schema == 2 ? QDataStream::Qt_5_2 : QDataStream::Qt_5_4);
    Message message;
    message.schema = schema;
    FieldReader in(stream);
    if (type == 0) {
        message.kind = Message::Kind::kHeartbeat;
        if (!ReadHeartbeat(in, message.heartbeat)) return std::nullopt;
    } else if (type == 1) {
        message.kind = Message::Kind::kStatus;
        if (!ReadStatus(in, message.status)) return std::nullopt;
    }
    return message;
}

WsjtxListener::WsjtxListener(QObject* parent) : QObject(parent) {
    connect(&socket_, &QUdpSocket::readyRead, this, &WsjtxListener::ReadPending);
}

bool WsjtxListener::Use(const WsjtxSettings::Settings& settings, QString& problem) {
    Stop();
    if (!settings.enabled) return true;
    QHostAddress address;
    if (settings.address == "localhost") {
        address = QHostAddress::LocalHost;
    } else if (!address.setAddress(QString::fromStdString(settings.address))) {
        problem = QStringLiteral("%1 is not an IP address.").arg(QString::fromStdString(settings.address));
        return false;
    }
    const bool group = address.isMulticast();
    const QHostAddress bindTo =
        group ? (address.protocol() == QAbstractSocket::IPv6Protocol ? QHostAddress(QHostAddress::AnyIPv6)
                                                                     : QHostAddress(QHostAddress::AnyIPv4))
              : address;
    const auto port = static_cast<quint16>(settings.port);
    if (!socket_.bind(bindTo, port, QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint)) {
        problem = QStringLiteral("Cannot listen on %1 port %2: %3")
                      .arg(QString::fromStdString(settings.address))
                      .arg(settings.port)
                      .arg(socket_.errorString());
        return false;
    }
    if (group) {
        // The program sends to the group on the interfaces its operator chose, often the loopback
        // alone: join on every interface that is up.
        bool joined = false;
        for (const QNetworkInterface& interface : QNetworkInterface::allInterfaces()) {
            const auto flags = interface.flags();
            if (!(flags & QNetworkInterface::IsUp)) continue;
            if (!(flags & QNetworkInterface::CanMulticast) && !(flags & QNetworkInterface::IsLoopBack)) continue;
            joined = socket_.joinMulticastGroup(address, interface) || joined;
        }
        if (!joined) {
            problem = QStringLiteral("Cannot join the multicast group %1: %2")
                          .arg(QString::fromStdString(settings.address), socket_.errorString());
            Stop();
            return false;
        }
    }
    return true;
}

void WsjtxListener::Stop() {
    socket_.close();
    WeakSignalDx::Clear();
}

bool WsjtxListener::Listening() const {
    return socket_.state() == QAbstractSocket::BoundState;
}

void WsjtxListener::ReadPending() {
    while (socket_.hasPendingDatagrams()) {
        const qint64 size = socket_.pendingDatagramSize();
        if (size > kLargestDatagram) {
            socket_.readDatagram(nullptr, 0);  // dropped unread
            ++received_;
            ++malformed_;
            emit Changed();
            continue;
        }
        Take(socket_.receiveDatagram().data());
    }
}

void WsjtxListener::Take(const QByteArray& datagram) {
    ++received_;
    const std::optional<Message> message = Parse(datagram);
    if (!message) {
        ++malformed_;
    } else if (message->kind == Message::Kind::kHeartbeat) {
        programId_ = message->heartbeat.id;
    } else if (message->kind == Message::Kind::kStatus) {
        const Location::Instant now = Location::Now();
        programId_ = message->status.id;
        lastStatus_ = message->status;
        lastStatusAt_ = now;
        WeakSignalDx::Set({message->status.dxGrid.trimmed().toStdString(), message->status.periodSeconds, now,
                           message->status.transmitting});
    }
    emit Changed();
}
