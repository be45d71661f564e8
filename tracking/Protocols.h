// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The rotator controllers the program can drive: one table row per protocol and axis, saying how
// the targets become command bytes, how often they are sent and at which line speed. How the bytes
// reach the controller is the transport's business (Transport.h).
namespace Protocols {

enum class Axis { kAzimuth, kElevation };

// The name of an axis without a rotator: nothing is sent on it.
inline constexpr char kNoRotator[] = "none";

// The name of an axis whose rotator Hamlib drives (HamlibTransport): no bytes of the table, nothing
// on the axis's COM port; the rotator is told the position itself.
inline constexpr char kHamlib[] = "Hamlib";

// Where one send points the antenna: whole degrees, offsets applied (Position::AZtarget, ELtarget).
struct Targets {
    int32_t azimuth;
    int32_t elevation;
};

// One row of the protocol table: the command is head, the azimuth value and a blank when the
// protocol carries both values, the axis's own value, then tail, each value as a command value
// (Position::CommandValue: "007"); sent copies times in a row.
struct Protocol {
    std::string_view name;  // Windows-1252 bytes, compared byte for byte
    Axis axis;
    std::string_view lineSpeed;  // baud, as text; empty when nothing is sent
    std::string_view head;
    bool carriesAzimuth;
    std::string_view tail;
    int copies;

    // The bytes of one copy for the targets.
    std::string Command(const Targets& targets) const;
};

// The protocols of each axis, in the order the setup lists show them, "Hamlib" and "none" last.
std::vector<const Protocol*> ProtocolsOf(Axis axis);

// The protocol of the axis with exactly this name, or nullptr when the axis has none of that name.
const Protocol* FindProtocol(Axis axis, std::string_view name);

}  // namespace Protocols
