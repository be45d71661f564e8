// SPDX-License-Identifier: GPL-3.0-or-later
#include "RotctldServer.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <optional>
#include <vector>

#include "Journal.h"

namespace Rotctld {

namespace {

std::string Formatted(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

// A decimal number with a point, whatever the locale; false for anything else.
bool Number(std::string_view text, double& value) {
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && std::isfinite(value);
}

std::vector<std::string_view> Words(std::string_view text) {
    std::vector<std::string_view> words;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t start = text.find_first_not_of(" \t", at);
        if (start == std::string_view::npos) break;
        const std::size_t end = std::min(text.find_first_of(" \t", start), text.size());
        words.push_back(text.substr(start, end - start));
        at = end;
    }
    return words;
}

// The commands by their one-character and long names.
enum class Command { kDumpState, kGetPosition, kSetPosition, kStop, kPark, kGetInfo, kQuit };
constexpr struct {
    char letter;  // 0: only the long name
    const char* name;
    Command command;
} kCommands[] = {
    {0, "dump_state", Command::kDumpState},  {'p', "get_pos", Command::kGetPosition},
    {'P', "set_pos", Command::kSetPosition}, {'S', "stop", Command::kStop},
    {'K', "park", Command::kPark},           {'_', "get_info", Command::kGetInfo},
    {'q', nullptr, Command::kQuit},          {'Q', nullptr, Command::kQuit},
};

bool Printable(std::string_view line) {
    for (const char c : line) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte < 0x20 && c != '\t') || byte >= 0x7f) return false;
    }
    return true;
}

}  // namespace

Reply Answer(std::string_view line, Station& station, const std::string& client) {
    Reply reply;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (!Printable(line)) {
        reply.garbage = true;
        return reply;
    }
    std::string_view rest = line.substr(std::min(line.find_first_not_of(" \t"), line.size()));
    if (rest.empty()) return reply;  // rotctld passes over an empty line
    // '+' answers one item a line; ';', '|' and ',' put that character between the items.
    bool extended = false;
    char separator = '\n';
    if (rest.front() == '+' || rest.front() == ';' || rest.front() == '|' || rest.front() == ',') {
        extended = true;
        if (rest.front() != '+') separator = rest.front();
        rest.remove_prefix(1);
    }
    std::optional<Command> command;
    const char* name = nullptr;
    if (!rest.empty() && rest.front() == '\\') {
        const std::size_t end = std::min(rest.find_first_of(" \t"), rest.size());
        const std::string_view longName = rest.substr(1, end - 1);
        for (const auto& row : kCommands) {
            if (row.name != nullptr && longName == row.name) {
                command = row.command;
                name = row.name;
            }
        }
        rest.remove_prefix(end);
    } else if (!rest.empty()) {
        for (const auto& row : kCommands) {
            if (row.letter != 0 && rest.front() == row.letter) {
                command = row.command;
                name = row.name;
            }
        }
        rest.remove_prefix(1);
    }
    if (!command) {
        reply.garbage = true;
        return reply;
    }
    const std::vector<std::string_view> arguments = Words(rest);
    const std::string sep(1, separator);
    // A command with no value to give answers "RPRT n" alone, or in the extended form after its name.
    const auto status = [&](int code, const std::string& echoed = {}) {
        const std::string report = "RPRT " + std::to_string(code) + "\n";
        return extended ? std::string(name) + ":" + echoed + sep + report : report;
    };
    switch (*command) {
        case Command::kQuit:
            reply.close = true;
            break;
        case Command::kDumpState: {
            const Ranges ranges = station.Limits();
            if (extended) {
                reply.text = "dump_state:" + sep + "rotctld Protocol Ver: 1" + sep +
                             "Rotor Model: " + std::to_string(kModel) + sep +
                             "Minimum Azimuth: " + Formatted("%f", ranges.minimumAzimuth) + sep +
                             "Maximum Azimuth: " + Formatted("%f", ranges.maximumAzimuth) + sep +
                             "Minimum Elevation: " + Formatted("%f", ranges.minimumElevation) + sep +
                             "Maximum Elevation: " + Formatted("%f", ranges.maximumElevation) + sep + "South Zero: 0" +
                             sep + "rot_type=AzEl" + sep + "done" + sep + "RPRT 0\n";
            } else {
                reply.text = "1\n" + std::to_string(kModel) + "\nmin_az=" + Formatted("%f", ranges.minimumAzimuth) +
                             "\nmax_az=" + Formatted("%f", ranges.maximumAzimuth) +
                             "\nmin_el=" + Formatted("%f", ranges.minimumElevation) +
                             "\nmax_el=" + Formatted("%f", ranges.maximumElevation) +
                             "\nsouth_zero=0\nrot_type=AzEl\ndone\n";
            }
            break;
        }
        case Command::kGetPosition: {
            const Bearing bearing = station.Position();
            const std::string azimuth = Formatted("%.2f", bearing.azimuth);
            const std::string elevation = Formatted("%.2f", bearing.elevation);
            reply.text =
                extended ? "get_pos:" + sep + "Azimuth: " + azimuth + sep + "Elevation: " + elevation + sep + "RPRT 0\n"
                         : azimuth + "\n" + elevation + "\n";
            break;
        }
        case Command::kSetPosition: {
            std::string echoed;
            for (const std::string_view argument : arguments) {
                echoed.push_back(' ');
                echoed.append(argument);
            }
            double azimuth = 0.0, elevation = 0.0;
            const bool numbers =
                arguments.size() == 2 && Number(arguments[0], azimuth) && Number(arguments[1], elevation);
            const Ranges ranges = station.Limits();
            int code = kInvalid;
            if (numbers && azimuth >= ranges.minimumAzimuth && azimuth <= ranges.maximumAzimuth &&
                elevation >= ranges.minimumElevation && elevation <= ranges.maximumElevation) {
                code = station.SetPosition(azimuth, elevation, client);
            }
            reply.text = status(code, echoed);
            break;
        }
        case Command::kStop:
            reply.text = status(station.Stop(client));
            break;
        case Command::kPark:
            reply.text = status(station.Park(client));
            break;
        case Command::kGetInfo:
            reply.text =
                extended ? "get_info:" + sep + "Info: " + station.Info() + sep + "RPRT 0\n" : station.Info() + "\n";
            break;
    }
    return reply;
}

}  // namespace Rotctld

namespace {

// Many more clients than a station runs programs; past them a new connection is closed at once.
constexpr int kMostClients = 32;

std::string ClientText(const QTcpSocket* client) {
    const QHostAddress address = client->peerAddress();
    QString host = address.toString();
    if (address.protocol() == QAbstractSocket::IPv6Protocol) host = QStringLiteral("[") + host + QStringLiteral("]");
    return (host + QStringLiteral(":") + QString::number(client->peerPort())).toStdString();
}

// What the journal keeps of a reply: its lines joined by blanks.
std::string Summary(const std::string& text) {
    std::string summary;
    for (const char c : text) summary += c == '\n' ? ' ' : c;
    while (!summary.empty() && summary.back() == ' ') summary.pop_back();
    return summary;
}

}  // namespace

RotctldServer::RotctldServer(Rotctld::Station& station, Journal::Journal& journal, QObject* parent)
    : QObject(parent), station_(station), journal_(journal) {}

RotctldServer::~RotctldServer() {
    Close();
}

bool RotctldServer::Listen(const QString& address, quint16 port) {
    Close();
    QHostAddress host;
    if (address == QStringLiteral("localhost")) {
        host = QHostAddress(QHostAddress::LocalHost);
    } else if (!host.setAddress(address)) {
        problem_ = address.toStdString();
        problem_.insert(0, 1, '"');
        problem_.append("\" is not an IP address of this computer.");
        return false;
    }
    server_ = new QTcpServer(this);
    if (!server_->listen(host, port)) {
        problem_ = "Cannot listen on " + address.toStdString() + " port " + std::to_string(port) + ": " +
                   server_->errorString().toStdString() + ".";
        delete server_;
        server_ = nullptr;
        return false;
    }
    problem_.clear();
    connect(server_, &QTcpServer::newConnection, this, &RotctldServer::Accept);
    journal_.Add("Server: listening on " + address.toStdString() + " port " + std::to_string(server_->serverPort()));
    return true;
}

void RotctldServer::Close() {
    problem_.clear();
    if (server_ == nullptr) return;
    const QList<QTcpSocket*> clients = server_->findChildren<QTcpSocket*>();
    for (QTcpSocket* client : clients) {
        client->disconnect(this);
        client->abort();
    }
    journal_.Add("Server: closed");
    delete server_;  // its clients with it
    server_ = nullptr;
    emit ClientsChanged();
}

bool RotctldServer::IsListening() const {
    return server_ != nullptr && server_->isListening();
}

quint16 RotctldServer::Port() const {
    return server_ != nullptr ? server_->serverPort() : 0;
}

int RotctldServer::ClientCount() const {
    if (server_ == nullptr) return 0;
    int count = 0;
    for (const QTcpSocket* client : server_->findChildren<QTcpSocket*>()) {
        if (client->state() == QAbstractSocket::ConnectedState) ++count;
    }
    return count;
}

void RotctldServer::Accept() {
    while (server_ != nullptr && server_->hasPendingConnections()) {
        QTcpSocket* client = server_->nextPendingConnection();
        if (ClientCount() > kMostClients) {
            journal_.Add("Server: " + ClientText(client) + " refused: already " + std::to_string(kMostClients) +
                         " clients");
            client->abort();
            client->deleteLater();
            continue;
        }
        journal_.Add("Server: " + ClientText(client) + " connected");
        client->setProperty("client", QString::fromStdString(ClientText(client)));
        connect(client, &QTcpSocket::readyRead, this, [this, client] { Read(client); });
        connect(client, &QTcpSocket::disconnected, this, [this, client] {
            journal_.Add("Server: " + client->property("client").toString().toStdString() + " disconnected");
            client->deleteLater();
            emit ClientsChanged();
        });
        emit ClientsChanged();
    }
}

void RotctldServer::Read(QTcpSocket* client) {
    const std::string address = client->property("client").toString().toStdString();
    while (client->state() == QAbstractSocket::ConnectedState) {
        if (!client->canReadLine()) {
            // A line that never ends would fill the memory: past the longest command the client goes.
            if (client->bytesAvailable() > static_cast<qint64>(Rotctld::kLongestLine)) {
                Drop(client, "a line longer than " + std::to_string(Rotctld::kLongestLine) + " bytes");
            }
            return;
        }
        const QByteArray bytes = client->readLine(Rotctld::kLongestLine + 2);
        if (!bytes.endsWith('\n')) {
            Drop(client, "a line longer than " + std::to_string(Rotctld::kLongestLine) + " bytes");
            return;
        }
        const std::string_view line(bytes.constData(), static_cast<std::size_t>(bytes.size() - 1));
        const Rotctld::Reply reply = Rotctld::Answer(line, station_, address);
        if (reply.garbage) {
            Drop(client, "not a command");
            return;
        }
        std::string shown(line);
        if (!shown.empty() && shown.back() == '\r') shown.pop_back();
        if (shown.find_first_not_of(" \t") == std::string::npos) continue;
        journal_.Add("Server: " + address + " " + shown + (reply.text.empty() ? "" : " -> " + Summary(reply.text)));
        if (!reply.text.empty()) client->write(reply.text.data(), static_cast<qint64>(reply.text.size()));
        if (reply.close) {
            client->disconnectFromHost();
            return;
        }
    }
}

void RotctldServer::Drop(QTcpSocket* client, const std::string& why) {
    journal_.Add("Server: " + client->property("client").toString().toStdString() + " dropped: " + why);
    client->abort();
}
