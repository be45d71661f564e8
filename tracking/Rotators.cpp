// SPDX-License-Identifier: GPL-3.0-or-later
#include "Rotators.h"

#include "AxisTransports.h"
#include "Messages.h"
#include "Position.h"
#include "RotatorPlan.h"
#include "RotatorSettings.h"
#include "Unit3.h"

namespace Rotators {

namespace {

using Protocols::Axis;

constexpr char kPortPrefix[] = "COM";
constexpr char kReselectAzimuth[] = "Please reselect Azimuth protocol in Setup";
constexpr char kReselectElevation[] = "Please reselect Elevation protocol in Setup";

// The targets as a protocol's controller takes them: with an overlapping azimuth range, only some
// take azimuths above 359.
Protocols::Targets TargetsFor(const Protocols::Protocol& protocol, const Protocols::Targets& targets,
                              int32_t azimuthRange) {
    return {RotatorPlan::AzimuthForProtocol(targets.azimuth, protocol, azimuthRange), targets.elevation};
}

// Sends one axis through the transport of its protocol row; false when its name is unknown or a
// send failed.
bool SendAxis(Axis axis, const std::string& protocolName, int32_t comNr, int32_t azimuthRange,
              const SendObserver& observer, const AxisTransports::Transports& transports,
              const AxisTransports::AxisTransport*& via) {
    const Protocols::Protocol* protocol = Protocols::FindProtocol(axis, protocolName);
    if (protocol == nullptr) {
        Messages::ShowMessage(ReselectMessage(axis));
        if (observer) observer(SendOutcome{axis, protocolName, std::nullopt, {}});
        return false;
    }
    const Protocols::Targets targets = TargetsFor(*protocol, {Position::AZtarget, Position::ELtarget}, azimuthRange);
    AxisTransports::AxisTransport& transport = transports.For(protocol);
    via = &transport;
    return transport.SendAxis(axis, *protocol, comNr, targets, observer);
}

}  // namespace

std::string PortText(int32_t comNr) {
    return kPortPrefix + std::to_string(comNr);
}

std::optional<std::vector<Send>> CommandsFor(Axis axis, std::string_view protocolName, int32_t comNr,
                                             const Protocols::Targets& targets, int32_t azimuthRange) {
    const Protocols::Protocol* protocol = Protocols::FindProtocol(axis, protocolName);
    if (protocol == nullptr) return std::nullopt;
    const Send send{PortText(comNr), std::string(protocol->lineSpeed),
                    protocol->Command(TargetsFor(*protocol, targets, azimuthRange))};
    return std::vector<Send>(static_cast<std::size_t>(protocol->copies), send);
}

const char* ReselectMessage(Axis axis) {
    return axis == Axis::kAzimuth ? kReselectAzimuth : kReselectElevation;
}

AxesSent SendAxes(const AxisTransports::Transports& transports, bool azimuth, bool elevation, int32_t azimuthRange,
                  const SendObserver& observer) {
    AxesSent sent;
    if (Position::AZvalue.empty() || Position::ELvalue.empty()) return sent;
    const AxisTransports::AxisTransport* azimuthVia = nullptr;
    const AxisTransports::AxisTransport* elevationVia = nullptr;
    if (azimuth)
        sent.azimuth =
            SendAxis(Axis::kAzimuth, Unit3::AZtype, Unit3::AZ_COM_NR, azimuthRange, observer, transports, azimuthVia);
    if (elevation)
        sent.elevation = SendAxis(Axis::kElevation, Unit3::ELtype, Unit3::EL_COM_NR, azimuthRange, observer, transports,
                                  elevationVia);
    for (AxisTransports::AxisTransport* transport : transports.All()) {
        transport->FinishStep(azimuthVia == transport, elevationVia == transport);
    }
    return sent;
}

bool SendToRotators(const AxisTransports::Transports& transports, const SendObserver& observer, int32_t azimuthRange) {
    const AxesSent sent = SendAxes(transports, true, true, azimuthRange, observer);
    return sent.azimuth && sent.elevation;
}

}  // namespace Rotators
