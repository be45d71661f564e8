// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QWidget>
#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "RotatorTracking.h"
#include "eme_calendar.h"

class QDateEdit;
class QLabel;
class QPushButton;
class QSpinBox;
class QTableWidget;
class QTimer;

// The station window's "Calendar" page: the days ahead, a row each (the columns of lunark-position
// --calendar), coloured by the day's degradation as EME operators rate days, with a legend. The DX stations,
// the frequency and the minimum elevations are the Plan page's ([Plan]); the horizon mask is the station's.
//
// A calendar is computed on a worker thread of the page's own (a month takes about half a second); the
// worker shares only its finished rows, behind a mutex, which a timer of the window's thread collects.
class TCalendarPage : public QWidget {
    Q_OBJECT
public:
    // rotators: whose horizon mask the calendar sees; it outlives the page.
    explicit TCalendarPage(const RotatorTracking::Tracker& rotators, QWidget* parent = nullptr);
    ~TCalendarPage() override;

    // Computes the calendar from the date and over the days in the fields.
    void Start();
    // Waits until the calendar being computed (if any) is shown.
    void WaitForCalendar();

    // The colour of a row rated so.
    static QColor RatingColour(eme_calendar::Rating rating);

    const std::vector<eme_calendar::Day>& Days() const { return days_; }

    QDateEdit* FromEdit = nullptr;
    QSpinBox* DaysEdit = nullptr;
    QPushButton* ShowButton = nullptr;
    QLabel* MessageLabel = nullptr;
    QTableWidget* Table = nullptr;

    struct Handover {
        std::mutex mutex;
        std::optional<std::vector<eme_calendar::Day>> finished;
        std::string problem;
    };

protected:
    // The first time the page is shown it computes the calendar from today.
    void showEvent(QShowEvent* event) override;

private:
    void Collect();
    void Show();

    const RotatorTracking::Tracker& rotators_;
    std::vector<eme_calendar::Day> days_;
    std::vector<std::string> dxLocators_;
    std::shared_ptr<Handover> handover_;
    std::thread worker_;
    QTimer* collector_ = nullptr;
    bool shown_ = false;
};
