#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The rotator controllers the program can drive and the commands each one takes.
namespace Rotators {

enum class Axis { kAzimuth, kElevation };

// The name of an axis without a rotator: nothing is sent on it.
inline constexpr char kNoRotator[] = "none";

// One row of the protocol table: the command is head, the azimuth value and a blank when the
// protocol carries both values, the axis's own value, then tail; sent copies times in a row.
struct Protocol {
    std::string_view name;  // Windows-1252 bytes, compared byte for byte
    Axis axis;
    std::string_view lineSpeed;  // baud, as text; empty when nothing is sent
    std::string_view head;
    bool carriesAzimuth;
    std::string_view tail;
    int copies;
};

// The protocols of each axis, in the order the setup lists show them, "none" last.
std::vector<const Protocol*> ProtocolsOf(Axis axis);

// The protocol of the axis with exactly this name, or nullptr when the axis has none of that name.
const Protocol* FindProtocol(Axis axis, std::string_view name);

// One open-write-close of a port.
struct Send {
    std::string port;       // "COM" and the port number
    std::string lineSpeed;  // "4800", "9600"
    std::string command;    // bytes as they go on the line
};

// The sends of one axis for a protocol name, port number and the two command values, copies
// included; empty for "none"; nullopt when the name is not a protocol of that axis.
std::optional<std::vector<Send>> CommandsFor(Axis axis, std::string_view protocolName, int32_t comNr,
                                             const std::string& azValue, const std::string& elValue);

// The message shown when an axis's protocol name is not in the list.
const char* ReselectMessage(Axis axis);

// Sends Position::AZvalue and ELvalue to the azimuth rotator (Unit3::AZtype on COM Unit3::AZ_COM_NR),
// then to the elevation rotator (Unit3::ELtype on EL_COM_NR). A protocol name not in the list
// shows the axis's message and sends nothing on that axis; a failed send does not stop the
// others. Nothing is sent while no position is known. True when every command went out whole.
bool SendToRotators();

}  // namespace Rotators
