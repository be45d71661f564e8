// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>
#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "Journal.h"
#include "PlanSettings.h"
#include "RadioTracking.h"
#include "RotatorTracking.h"
#include "eme_plan.h"

class QComboBox;
class QDateTimeEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;
class QTreeWidget;
class TElevationPlot;

// The station window's "Plan" page: when the Moon stands above both this station's and a DX station's
// minimum elevations, and what the path does. The operator gives DX locators, a frequency, the two minimum
// elevations and a number of days ([Plan] in the settings file); the page lists the mutual windows of every
// DX station in time order and marks the running one, plots the Moon's elevation at home and at the chosen
// DX station over the next 24 hours with the windows shaded, and shows the Doppler shifts, the distance,
// the path loss, the declination, the echo delay and the path's figures (spreads, polarisation offset,
// Sun-Moon angle, sky temperature, degradation ...) now and at an instant the operator picks.
//
// Plans are computed on a worker thread of the page's own when the inputs change and when the clock enters a
// new hour; the worker shares only its finished result, behind a mutex, which a timer of the window's
// thread collects. The present values follow every Refresh.
class TPlanPage : public QWidget {
    Q_OBJECT
public:
    // The list's columns.
    enum Column { kRunning, kDx, kStart, kEnd, kDuration, kStartElevation, kEndElevation, kHighest, kColumns };

    // radio: the run's Doppler tracking, whose sked frequency leads while the radio is on;
    // rotators: the tracking whose horizon mask the windows see; journal: where the settings
    // changed are told. All outlive the page.
    TPlanPage(const RadioTracking::Tracker& radio, const RotatorTracking::Tracker& rotators, Journal::Journal& journal,
              QWidget* parent = nullptr);
    ~TPlanPage() override;

    // Puts the [Plan] section of the settings file into the fields and plans with it.
    void Load();

    // Takes the fields: when they are all good, writes them to [Plan] and plans again; otherwise says on
    // the page what is wrong and keeps the plan shown. False when a field was refused.
    bool Apply();

    // Brings the present values and the running mark up to date, and plans again when the hour moved on
    // or the home locator changed.
    void Refresh();

    // Waits until the plan being computed (if any) is shown.
    void WaitForPlan();

    // The windows shown in the list, with the DX station each belongs to.
    struct Listed {
        std::size_t dx;  // index into the settings' DX locators
        eme_plan::Window window;
        long double startElevation, startDxElevation, endElevation, endDxElevation;
    };
    const std::vector<Listed>& Windows() const { return windows_; }
    const PlanSettings::Settings& InForce() const { return settings_; }
    // A value of the present ("now") or the picked ("at") column by its name: "echoDoppler", "dxDoppler",
    // "distance", "pathLoss", "declination", "echoDelay", or a path figure's JSON key ("spread_hz", ...;
    // a station's own figure reads "here / DX").
    QString Value(const QString& column, const QString& name) const;

    // The frequency the values are worked out at, Hz: the radio's sked frequency in force while the radio
    // is on (RadioTracking), else [Plan] Frequency as last applied.
    long double FrequencyHz() const;

    QLineEdit* DxEdit = nullptr;
    QLineEdit* FrequencyEdit = nullptr;
    QLineEdit* MinElevationEdit = nullptr;
    QLineEdit* DxMinElevationEdit = nullptr;
    QLineEdit* DaysEdit = nullptr;
    QPushButton* ApplyButton = nullptr;
    QLabel* MessageLabel = nullptr;
    QTreeWidget* WindowList = nullptr;
    QComboBox* DxChoice = nullptr;
    TElevationPlot* Plot = nullptr;
    QDateTimeEdit* AtEdit = nullptr;

    // What a plan computation gives back.
    struct Result {
        std::vector<Listed> windows;
        double plotFrom = 0, plotUntil = 0;
        std::vector<double> homeCurve;
        std::vector<std::vector<double>> dxCurves;
        // For each DX station without a window over the days listed: why, in UTF-8 (one per station, in
        // the order of the settings).
        std::vector<std::string> noWindow;
        std::string problem;
    };

    // What the worker and the window's thread share.
    struct Handover {
        std::mutex mutex;
        std::optional<Result> finished;  // set by the worker, taken by the window's thread
        std::atomic<bool> cancelled{false};
    };

signals:
    // New [Plan] values are in force: loaded, or applied by the operator.
    void Applied();

private:
    void StartPlan();
    void CollectPlan();
    void ShowPlan();
    void ShowList();
    void ShowPlot();
    void ShowValues(const QString& column, double dayNumber);
    void ShowMessage(const QString& text, bool problem);
    void OnRowChosen();
    double HourStart(double dayNumber) const;
    // Where the home station stands now: its exact coordinates when set, or its locator's place.
    pointing::Station Home() const;

    PlanSettings::Settings settings_;
    pointing::Station home_;  // the home station of the plan shown
    std::vector<pointing::Station> dxStations_;
    std::vector<Listed> windows_;
    Result result_;
    std::shared_ptr<Handover> handover_;
    std::thread worker_;
    QTimer* collector_ = nullptr;
    bool computing_ = false;
    bool planAgain_ = false;
    double plannedHour_ = -1;
    std::string plannedLocator_;  // the home locator of the plan shown
    int shownRunning_ = -2;
    std::size_t shownCount_ = 0;
    std::map<QString, QLabel*> values_;

    const RadioTracking::Tracker& radio_;
    const RotatorTracking::Tracker& rotators_;  // the horizon mask in force
    Journal::Journal& journal_;
};
