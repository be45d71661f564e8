// SPDX-License-Identifier: GPL-3.0-or-later
#include "AzelFile.h"

#include <fcntl.h>
#include <unistd.h>
#include <QTimer>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "Journal.h"
#include "PlanSettings.h"
#include "PointingSettings.h"
#include "Position.h"
#include "RadioTracking.h"
#include "Unit3.h"
#include "eme_plan.h"

namespace Azel {

namespace {

constexpr double kSecondsPerDay = 86400.0;

std::string Formatted(const char* format, long double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, static_cast<double>(value));
    return text;
}

// "hh:mm:ss" of an instant, UTC.
std::string ClockTime(Location::Instant at) {
    const auto seconds = std::chrono::floor<std::chrono::seconds>(at);
    const std::chrono::hh_mm_ss time(seconds - std::chrono::floor<std::chrono::days>(seconds));
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", static_cast<int>(time.hours().count()),
                  static_cast<int>(time.minutes().count()), static_cast<int>(time.seconds().count()));
    return text;
}

// Degrees to a tenth; no "-0.0".
std::string Tenths(long double degrees) {
    const std::string text = Formatted("%.1f", std::round(degrees * 10.0L) / 10.0L);
    return text == "-0.0" ? "0.0" : text;
}

// Azimuth to a tenth in [0, 360): due north is 0.0, as the readers expect.
std::string Azimuth(long double azimuth) {
    long double within = std::fmod(std::round(azimuth * 10.0L) / 10.0L, 360.0L);
    if (within < 0) within += 360.0L;
    return Tenths(within);
}

std::string BodyLine(Location::Instant at, long double azimuth, long double elevation, const char* name) {
    return ClockTime(at) + "," + Azimuth(azimuth) + "," + Tenths(elevation) + "," + name + "\n";
}

}  // namespace

Radio RadioNow(const RadioTracking::Tracker& tracker, long double planFrequencyMhz) {
    Radio radio;
    const RadioTracking::Status& status = tracker.Current();
    if (status.skedHz <= 0) {
        radio.frequencyMhz = planFrequencyMhz;
        return radio;
    }
    radio.frequencyMhz = status.skedHz / 1e6L;
    if (status.driving) radio.correctionHz = status.correctionHz;
    radio.transmitting = status.transmitting.value_or(false);
    return radio;
}

std::optional<Snapshot> Take(Location::Instant at, const RadioTracking::Tracker& radio,
                             const PlanSettings::Settings& plan) {
    if (Location::LocatorFault(Unit3::Locator) != std::string::npos) return std::nullopt;
    Location::LocatorToLonLat(Unit3::Locator);
    Snapshot snapshot;
    snapshot.at = at;
    const double day = Location::DayNumber(at);
    Position::PositionOfAt(pointing::Target::Moon, day, snapshot.moonElevation, snapshot.moonAzimuth);
    Position::PositionOfAt(pointing::Target::Sun, day, snapshot.sunElevation, snapshot.sunAzimuth);
    const PointingSettings::Settings pointing = Position::Pointing();
    snapshot.radio = RadioNow(radio, plan.frequencyMhz);

    // The shifts now, and their rates from half a minute before to half a minute after.
    const long double hertz = snapshot.radio.frequencyMhz * 1e6L;
    const pointing::Station home = PlanSettings::HomeStation(Unit3::Locator, pointing.station);
    const double halfMinute = 30.0 / kSecondsPerDay;
    snapshot.selfDoppler = eme_plan::EchoDoppler(day, home, hertz);
    snapshot.selfRate =
        eme_plan::EchoDoppler(day + halfMinute, home, hertz) - eme_plan::EchoDoppler(day - halfMinute, home, hertz);
    if (!plan.dxLocators.empty()) {
        const pointing::Station far = PlanSettings::StationOf(plan.dxLocators.front());
        snapshot.dxDoppler = eme_plan::DxDoppler(day, home, far, hertz);
        snapshot.dxRate = eme_plan::DxDoppler(day + halfMinute, home, far, hertz) -
                          eme_plan::DxDoppler(day - halfMinute, home, far, hertz);
    }
    return snapshot;
}

std::string Text(const Snapshot& snapshot) {
    std::string text = BodyLine(snapshot.at, snapshot.moonAzimuth, snapshot.moonElevation, "Moon");
    text += BodyLine(snapshot.at, snapshot.sunAzimuth, snapshot.sunElevation, "Sun");
    text += ClockTime(snapshot.at) + ",0.0,0.0,Source\n";
    text += Formatted("%.3f", snapshot.radio.frequencyMhz) + "," + Formatted("%.0f", std::round(snapshot.dxDoppler)) +
            "," + Formatted("%.2f", snapshot.dxRate) + "," + Formatted("%.0f", std::round(snapshot.selfDoppler)) + "," +
            Formatted("%.2f", snapshot.selfRate) + "," + Formatted("%.0f", std::round(snapshot.radio.correctionHz)) +
            (snapshot.radio.transmitting ? ", T\n" : ", R\n");
    return text;
}

bool WriteWhole(const std::string& path, const std::string& text, std::string& problem) {
    const std::string temporary = path + ".tmp";
    const int file = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (file < 0) {
        problem = "cannot write " + temporary + ": " + std::strerror(errno);
        return false;
    }
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t wrote = ::write(file, text.data() + done, text.size() - done);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) {
            problem = "cannot write " + temporary + ": " + std::strerror(errno);
            ::close(file);
            ::unlink(temporary.c_str());
            return false;
        }
        done += static_cast<std::size_t>(wrote);
    }
    if (::close(file) != 0 || std::rename(temporary.c_str(), path.c_str()) != 0) {
        problem = "cannot replace " + path + ": " + std::strerror(errno);
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

}  // namespace Azel

AzelFile::AzelFile(const RadioTracking::Tracker& radio, Journal::Journal& journal, QObject* parent)
    : QObject(parent), radio_(radio), journal_(journal), timer_(new QTimer(this)) {
    timer_->setInterval(kIntervalMs);
    connect(timer_, &QTimer::timeout, this, [this] { WriteNow(); });
}

void AzelFile::UsePlan(const PlanSettings::Settings& plan) {
    plan_ = plan;
}

void AzelFile::SetPath(const std::string& path) {
    if (path == path_) return;
    path_ = path;
    problem_.clear();
    reported_ = false;
    if (path_.empty()) {
        timer_->stop();
        return;
    }
    timer_->start();
    WriteNow();
}

bool AzelFile::WriteNow() {
    if (path_.empty()) return false;
    const std::optional<Azel::Snapshot> snapshot = Azel::Take(Location::Now(), radio_, plan_);
    std::string problem;
    if (!snapshot) {
        problem = "the locator names no place";
    } else if (Azel::WriteWhole(path_, Azel::Text(*snapshot), problem)) {
        problem_.clear();
        ++written_;
        return true;
    }
    problem_ = problem;
    // Said once per path: a folder that cannot be written never stops the tracking.
    if (!reported_) journal_.Add("azel.dat not written: " + problem_);
    reported_ = true;
    return false;
}
