// SPDX-License-Identifier: GPL-3.0-or-later
#include "AxisTransports.h"

#include <cstdio>

#include "CommandText.h"
#include "HamlibTransport.h"
#include "Position.h"
#include "SerialDevices.h"
#include "SerialTransport.h"
#include "Unit3.h"

namespace AxisTransports {

namespace {

using Protocols::Axis;

std::string TwoDecimals(double degrees) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", degrees);
    return text;
}

// The row's command bytes on the axis's COM port, each copy its own open-write-close.
class SerialLine final : public AxisTransport {
public:
    bool SendAxis(Axis axis, const Protocols::Protocol& protocol, int32_t comNr, const Protocols::Targets& targets,
                  const Rotators::SendObserver& observer) override {
        const Rotators::Send send{Rotators::PortText(comNr), std::string(protocol.lineSpeed),
                                  protocol.Command(targets)};
        bool allWritten = true;
        for (const SerialPort::SendResult& result : SerialTransport::SendOverSerialLine(send.port, protocol, targets)) {
            allWritten = result.Sent() && allWritten;
            if (observer) observer(Rotators::SendOutcome{axis, std::string(protocol.name), send, result});
        }
        return allWritten;
    }

    std::string PlanText(Axis axis, const Protocols::Protocol& protocol, int32_t comNr,
                         int32_t azimuthRange) const override {
        const auto sends =
            Rotators::CommandsFor(axis, protocol.name, comNr, {Position::AZtarget, Position::ELtarget}, azimuthRange)
                .value_or(std::vector<Rotators::Send>{});
        if (sends.empty()) return ": nothing is sent\n";
        const Rotators::Send& first = sends.front();
        const std::optional<std::string> device = SerialTransport::DevicePathFor(first.port);
        std::string text = " on " + first.port + " (" + (device ? *device : "no device") + ") at " + first.lineSpeed +
                           " baud, 8-N-1\n";
        for (const Rotators::Send& send : sends) {
            text +=
                "  " + CommandText::HexBytes(send.command) + "    " + CommandText::ReadableBytes(send.command) + '\n';
        }
        return text;
    }

    const char* Name() const override { return "serial"; }
};

// An axis without a rotator ("none"), or whose name is no protocol of it: nothing goes anywhere.
class NoRotator final : public AxisTransport {
public:
    bool SendAxis(Axis, const Protocols::Protocol&, int32_t, const Protocols::Targets&,
                  const Rotators::SendObserver&) override {
        return true;
    }
    std::string PlanText(Axis, const Protocols::Protocol&, int32_t, int32_t) const override {
        return ": nothing is sent\n";
    }
    const char* Name() const override { return "no"; }
};

// The position itself, unrounded, to the rotator Hamlib drives for the axis (HamlibTransport):
// both axes of a step go together, in one call when they lead to the same rotator.
class HamlibRotators final : public AxisTransport {
public:
    explicit HamlibRotators(HamlibTransport::Axes& axes) : axes_(axes) {}

    bool SendAxis(Axis, const Protocols::Protocol&, int32_t, const Protocols::Targets&,
                  const Rotators::SendObserver&) override {
        return true;  // sent at the end of the step, both axes together; the results come later
    }

    void FinishStep(bool azimuth, bool elevation) override { axes_.Send(azimuth, elevation); }

    // The rotator of the [Hamlib] section in place of the port, the value Hamlib is sent to two
    // decimals, and the last command's call and outcome.
    void Describe(Axis axis, Station::AxisStatus& status) const override {
        status.last.reset();
        const std::optional<HamlibRotator::Address> rotator = axes_.AxisRotator(axis);
        status.sends = rotator.has_value();
        if (rotator) {
            status.port = HamlibTransport::ModelText(*rotator);
            status.device = rotator->device;
            if (rotator->lineSpeed > 0) status.lineSpeed = std::to_string(rotator->lineSpeed);
        }
        if (!Position::AZvalue.empty()) {
            const HamlibRotator::Bearing target = axes_.CurrentTarget();
            status.target = axis == Axis::kAzimuth ? target.azimuth : target.elevation;
        }
        if (const auto last = axes_.LastResult(axis)) {
            // A failure reads as a serial line's does: the reason, then the device.
            const HamlibRotator::Result& result = last->result;
            status.last = Station::LastCommand{{},
                                               last->at,
                                               result.ok,
                                               result.ok ? HamlibTransport::OutcomeText(last->address, result)
                                                         : result.reason + " (" + last->address.device + ")",
                                               {},
                                               HamlibTransport::CallText(result)};
        }
        // The line speed is the model's own unless one is set.
        Station::AxisStatus::Shown& shown = status.shown;
        shown.portCaption = "Hamlib model";
        shown.port = status.sends ? status.port : "none chosen: see the Hamlib page";
        shown.device = status.sends ? status.device : std::string();
        shown.lineSpeed = status.lineSpeed.empty() ? std::string() : status.lineSpeed + " baud";
        shown.command = status.last ? status.last->call : std::string();
    }

    // The rotator and the call that moves it; the other coordinate of a rotator that only this
    // axis uses is the rotator's own, read before the call.
    std::string PlanText(Axis axis, const Protocols::Protocol&, int32_t, int32_t) const override {
        const std::optional<HamlibRotator::Address> rotator = axes_.AxisRotator(axis);
        if (!rotator) {
            return std::string(": no rotator chosen (") +
                   (axis == Axis::kAzimuth ? "--az-hamlib or [Hamlib] AzModel" : "--el-hamlib or [Hamlib] ElModel") +
                   ")\n";
        }
        std::string text = ' ' + HamlibTransport::RotatorText(*rotator) + '\n';
        const HamlibRotator::Bearing target = axes_.CurrentTarget();
        const Axis other = axis == Axis::kAzimuth ? Axis::kElevation : Axis::kAzimuth;
        const std::optional<HamlibRotator::Address> otherRotator =
            Protocols::GoesOver(other, other == Axis::kAzimuth ? Unit3::AZtype : Unit3::ELtype,
                                Protocols::TransportKind::kHamlib)
                ? axes_.AxisRotator(other)
                : std::nullopt;
        const bool shared = HamlibTransport::SameRotator(rotator, otherRotator);
        const std::string kept = "as it stands";
        text += "  rot_set_position(" + (shared || axis == Axis::kAzimuth ? TwoDecimals(target.azimuth) : kept) + ", " +
                (shared || axis == Axis::kElevation ? TwoDecimals(target.elevation) : kept) + ')' +
                (shared ? "    one call for both axes" : "") + '\n';
        return text;
    }

    void ForgetResults() override { axes_.ForgetResults(); }
    int AwaitResults(std::chrono::milliseconds wait) override { return axes_.RunDelivered(wait); }

    std::optional<LateResult> LateResultOf(Axis axis) const override {
        const std::optional<HamlibTransport::AxisResult> last = axes_.LastResult(axis);
        if (!last) return std::nullopt;
        const HamlibRotator::Result& result = last->result;
        return LateResult{
            result.ok, result.ok ? std::string(Station::kSentText) : result.reason + " (" + last->address.device + ")",
            result.readBack};
    }

    const char* Name() const override { return "Hamlib"; }

private:
    HamlibTransport::Axes& axes_;
};

}  // namespace

void AxisTransport::Describe(Axis, Station::AxisStatus& status) const {
    Station::AxisStatus::Shown& shown = status.shown;
    shown.portCaption = "Port";
    shown.port = status.sends ? status.port : std::string();
    shown.device = !status.sends ? std::string() : status.device.empty() ? "no device for this port" : status.device;
    // A device mapped in [Ports] that is not there (an adapter unplugged, or renamed by a replug).
    if (status.sends && !status.device.empty() && !SerialTransport::PortEntry(status.port).empty() &&
        SerialDevices::Absent(status.device)) {
        shown.device += " (absent)";
    }
    shown.lineSpeed = status.sends ? status.lineSpeed + " baud, 8-N-1" : std::string();
    shown.command = status.last ? CommandText::HexBytes(status.last->bytes) + "    " +
                                      CommandText::ReadableBytes(status.last->bytes)
                                : std::string();
}

Transports::Transports(HamlibTransport::Axes& hamlib)
    : hamlib_(hamlib),
      serialLine_(std::make_unique<SerialLine>()),
      hamlibRotators_(std::make_unique<HamlibRotators>(hamlib)),
      none_(std::make_unique<NoRotator>()),
      all_{serialLine_.get(), hamlibRotators_.get(), none_.get()} {}

Transports::~Transports() = default;

AxisTransport& Transports::For(const Protocols::Protocol* protocol) const {
    if (protocol == nullptr) return *none_;
    switch (protocol->transport) {
        case Protocols::TransportKind::kSerialLine:
            return *serialLine_;
        case Protocols::TransportKind::kHamlib:
            return *hamlibRotators_;
        case Protocols::TransportKind::kNone:
            return *none_;
    }
    return *none_;
}

}  // namespace AxisTransports
