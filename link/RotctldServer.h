// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>
#include <memory>
#include <string>
#include <string_view>

#include "Journal.h"

class QTcpServer;
class QTcpSocket;

// A server that speaks the network protocol of Hamlib's rotctld (4.5), the part that Hamlib's own
// network rotator (model 2) and the common clients use, so that other programs of the station can
// read where the antenna points and turn it:
//
//   \dump_state          the protocol version, the model and the ranges
//   p, \get_pos          azimuth and elevation, two decimals
//   P AZ EL, \set_pos    point the antenna
//   S, \stop             stop the rotators
//   K, \park             park the rotators
//   _, \get_info         what the server is
//   q, Q                 end the connection
//
// A command prefixed with '+' answers in the extended form, one item a line, ending in "RPRT n";
// with ';', '|' or ',' the items are separated by that character. What a command does is the
// station's (RotctldServer::Station); the server speaks the protocol, journals every command with
// the client's address, and disconnects a client that sends garbage or a line longer than
// kLongestLine.
namespace Rotctld {

// Hamlib's error codes as rotctld sends them negated after "RPRT".
inline constexpr int kOk = 0;
inline constexpr int kInvalid = -1;  // an argument out of range or not a number
inline constexpr int kNotImplemented = -4;
inline constexpr int kIoError = -6;   // the command could not be sent
inline constexpr int kRejected = -9;  // not allowed now
inline constexpr int kNotAvailable = -11;

inline constexpr std::size_t kLongestLine = 1024;

struct Ranges {
    double minimumAzimuth = 0.0;
    double maximumAzimuth = 360.0;
    double minimumElevation = 0.0;
    double maximumElevation = 90.0;
};

struct Bearing {
    double azimuth = 0.0;
    double elevation = 0.0;
};

// What the server asks of the rotators behind it; each command gets the client's address for the
// journal ("127.0.0.1:40312"). Answers are Hamlib's codes above.
class Station {
public:
    virtual ~Station() = default;
    virtual Ranges Limits() const = 0;
    virtual Bearing Position() const = 0;
    virtual int SetPosition(double azimuth, double elevation, const std::string& client) = 0;
    virtual int Stop(const std::string& client) = 0;
    virtual int Park(const std::string& client) = 0;
    virtual std::string Info() const = 0;
};

// The model rotctld names in its dump_state: Hamlib's network rotator.
inline constexpr int kModel = 2;

// The answer to one line a client sent (without its line end), as rotctld 4.5 words it; `close`
// becomes true for q and Q, `garbage` for a line that is no command of the protocol (the client is
// then disconnected and nothing is answered).
struct Reply {
    std::string text;
    bool close = false;
    bool garbage = false;
};
Reply Answer(std::string_view line, Station& station, const std::string& client);

}  // namespace Rotctld

// The listening socket and its clients, on the thread that creates it (the program's event loop).
class RotctldServer : public QObject {
    Q_OBJECT
public:
    // journal: where listening, clients and their commands are told; it outlives the server.
    RotctldServer(Rotctld::Station& station, Journal::Journal& journal, QObject* parent = nullptr);
    ~RotctldServer() override;

    // Listens on address:port, closing whatever listened before; false with Problem() saying why.
    bool Listen(const QString& address, quint16 port);
    // Closes the socket and every client.
    void Close();
    bool IsListening() const;
    quint16 Port() const;
    int ClientCount() const;
    // Why the server does not listen, for the operator; empty while it listens or was not asked to.
    const std::string& Problem() const { return problem_; }

signals:
    void ClientsChanged();

private:
    void Accept();
    void Read(QTcpSocket* client);
    void Drop(QTcpSocket* client, const std::string& why);

    Rotctld::Station& station_;
    Journal::Journal& journal_;
    QTcpServer* server_ = nullptr;
    std::string problem_;
};
