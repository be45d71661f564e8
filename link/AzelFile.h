// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <string>

#include "Journal.h"
#include "Location.h"
#include "PlanSettings.h"
#include "RadioTracking.h"

class QTimer;

// azel.dat, the file EME programs and rotator scripts read for where the Moon and the Sun stand and
// what the Doppler is, four lines with times in UTC:
//
//   hh:mm:ss,AAA.A,EEE.E,Moon
//   hh:mm:ss,AAA.A,EEE.E,Sun
//   hh:mm:ss,AAA.A,EEE.E,Source
//   fMHz,DxDop,dfdt,SelfDop,dfdt0,Doppler, R
//
// The Moon and the Sun as Lunark points at them (the [Pointing] settings), the Source line 0.0,0.0.
// DxDop is the Doppler of a signal from here heard at the DX station, SelfDop that of one's own
// echo, in whole hertz; dfdt and dfdt0 their rates in Hz per minute; Doppler the correction the
// radio applies now; R while receiving, T while transmitting.
namespace Azel {

// What the radio contributes: the frequency (MHz), the correction it applies now (Hz) and whether
// it transmits. While the radio settings in force (RadioTracking) turn the radio on with a sked
// frequency: that frequency, the correction while it is driven, its PTT; otherwise the plan's
// frequency, no correction, receiving.
struct Radio {
    long double frequencyMhz = 1296;
    long double correctionHz = 0;
    bool transmitting = false;
};
Radio RadioNow(const RadioTracking::Tracker& radio, long double planFrequencyMhz);

struct Snapshot {
    Location::Instant at;
    long double moonAzimuth = 0, moonElevation = 0;
    long double sunAzimuth = 0, sunElevation = 0;
    Radio radio;
    long double dxDoppler = 0, dxRate = 0;      // Hz, Hz per minute; 0 without a DX station
    long double selfDoppler = 0, selfRate = 0;  // Hz, Hz per minute
};

// Everything the file says, for the station in force (its locator and [Pointing] place), the radio's
// Doppler tracking and the plan's frequency and first DX station at `at`; nullopt while the locator
// names no place.
std::optional<Snapshot> Take(Location::Instant at, const RadioTracking::Tracker& radio,
                             const PlanSettings::Settings& plan);

// The file's four lines.
std::string Text(const Snapshot& snapshot);

// Writes text to path whole or not at all: a temporary file beside it, then renamed over it, so a
// reader never sees half a file. False with `problem` saying why.
bool WriteWhole(const std::string& path, const std::string& text, std::string& problem);

}  // namespace Azel

// Writes azel.dat every second while a path is set.
class AzelFile : public QObject {
    Q_OBJECT
public:
    static constexpr int kIntervalMs = 1000;
    // radio: the run's Doppler tracking, whose correction the file carries; journal: where a path
    // that cannot be written is told. Both outlive the object.
    AzelFile(const RadioTracking::Tracker& radio, Journal::Journal& journal, QObject* parent = nullptr);

    // The [Plan] values in force (the Plan page's): the frequency and the DX station written from
    // the next write on. The defaults until then.
    void UsePlan(const PlanSettings::Settings& plan);
    // An empty path stops the writing. A new path is written at once.
    void SetPath(const std::string& path);
    const std::string& Path() const { return path_; }
    // Writes the file now; false when it could not be written (the first failure of a path goes
    // into the journal, the next ones only into Problem()).
    bool WriteNow();
    // Why the latest write failed; empty after one that worked.
    const std::string& Problem() const { return problem_; }
    int Written() const { return written_; }

private:
    const RadioTracking::Tracker& radio_;
    Journal::Journal& journal_;
    QTimer* timer_ = nullptr;
    PlanSettings::Settings plan_;
    std::string path_;
    std::string problem_;
    bool reported_ = false;
    int written_ = 0;
};
