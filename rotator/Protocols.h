// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The rotator controllers the program can drive: one table row per protocol and axis, saying how
// the targets become command bytes, how often they are sent and at which line speed, which
// transport takes them to the controller and which azimuths the controller accepts. The transports
// themselves are Transport.h (the serial line) and HamlibRotator.h.
namespace Protocols {

enum class Axis { kAzimuth, kElevation };

// How an axis's targets reach its controller.
enum class TransportKind {
    kSerialLine,  // the row's command bytes on the axis's COM port (Transport::SendOverSerialLine)
    kHamlib,      // the position itself, to the rotator Hamlib drives for the axis
    kNone,        // nothing is sent
};

// The highest azimuth a controller accepts: one turn, or the 450 of those that turn on past north
// (an overlapping azimuth range sends these its azimuths as they are, the others within 0-359).
inline constexpr int32_t kOneTurnAzimuth = 359;
inline constexpr int32_t kOverlapAzimuth = 450;

// The name of an axis without a rotator: nothing is sent on it.
inline constexpr char kNoRotator[] = "none";

// The name of an axis whose rotator Hamlib drives (HamlibTransport): no bytes of the table, nothing
// on the axis's COM port; the rotator is told the position itself.
inline constexpr char kHamlib[] = "Hamlib";

// Where one send points the antenna: whole degrees, offsets applied.
struct Targets {
    int32_t azimuth;
    int32_t elevation;
};

// A command value: the number in decimal, prefixed with "0" until it has three characters; a
// minus sign counts as a character ("-5" becomes "0-5").
std::string CommandValue(int32_t degrees);

// One row of the protocol table: the command is head, the azimuth value and a blank when the
// protocol carries both values, the axis's own value, then tail, each value as a command value
// ("007"); sent copies times in a row.
struct Protocol {
    std::string_view name;  // Windows-1252 bytes, compared byte for byte
    Axis axis;
    std::string_view lineSpeed;  // baud, as text; empty when nothing is sent
    std::string_view head;
    bool carriesAzimuth;
    std::string_view tail;
    int copies;
    TransportKind transport;
    int32_t highestAzimuth;  // kOneTurnAzimuth or kOverlapAzimuth
    bool fractionalDegrees;  // takes the targets unrounded (Hamlib); otherwise whole degrees

    // Whether an overlapping azimuth range may send this controller azimuths above 359.
    bool TakesAzimuthAbove359() const { return highestAzimuth > kOneTurnAzimuth; }

    // Whether the axis's COM port number applies: not for a rotator chosen elsewhere (Hamlib's, in
    // the [Hamlib] settings).
    bool UsesComPort() const { return transport != TransportKind::kHamlib; }

    // The bytes of one copy for the targets.
    std::string Command(const Targets& targets) const;
};

// The protocols of each axis, in the order the setup lists show them, "Hamlib" and "none" last.
std::vector<const Protocol*> ProtocolsOf(Axis axis);

// The protocol of the axis with exactly this name, or nullptr when the axis has none of that name.
const Protocol* FindProtocol(Axis axis, std::string_view name);

// Whether the axis's protocol of this name goes over this transport; false for a name the axis
// does not have.
bool GoesOver(Axis axis, std::string_view name, TransportKind transport);

}  // namespace Protocols
