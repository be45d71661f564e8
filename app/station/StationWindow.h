// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>
#include <chrono>
#include <functional>
#include <map>
#include <optional>

#include "Journal.h"
#include "Location.h"
#include "MoveTiming.h"
#include "RotatorTracking.h"
#include "Station.h"

class QGroupBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class QTimer;
class QVBoxLayout;

// The station window: what the station is doing, live. The station and its clock; the Moon (or
// the Sun while it is the target) to 0.01°; for each axis its line, what it was last told, when, and what came of it; and this run's
// journal of sends, failures and settings changes, which can be copied as text. Not modal; its
// place and size are kept in the [Station] section of the settings file.
class TStationWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr int kRefreshMs = 1000;
    static constexpr int kDefaultWidth = 900;
    static constexpr int kDefaultHeight = 640;

    // journal: the run's, shown with its log file; records: each axis's last command; rotators: the
    // tracking whose horizon mask the rise and set see. All outlive the window.
    TStationWindow(const Journal::Journal& journal, const Station::Records& records,
                   const RotatorTracking::Tracker& rotators, QWidget* parent = nullptr);

    // When the next automatic send is due (the move timing's wait included), or nullopt while none
    // is (continuous tracking off).
    using NextSendFunction = std::function<std::optional<MoveTiming::When>()>;
    void SetNextSend(NextSendFunction nextSend);

    // This run began without a settings file: until the locator is first changed, a line tells
    // the operator that the first-run locator is in use and where to set theirs.
    void SetFirstStart(bool firstStart);

    // Adds a page of its own beside the journal, below the axes (later station features); it
    // scrolls where the window is narrower than it. A page that shows live values updates them on
    // Refreshed(), which comes every second while the window is open.
    void AddSection(const QString& title, QWidget* content);

    // Opens the window at its stored place, or beside anchor when none is stored.
    void ShowBeside(const QWidget* anchor);

    // Brings every field up to date; runs every second while the window is open.
    void Refresh();
    // How often the open window refreshes: kRefreshMs unless set here.
    void SetRefreshPeriod(std::chrono::milliseconds period);

    // The value shown in a field, by its name ("moonAzimuth", "azimuthResult"; see the source).
    QString Field(const QString& name) const;
    QString JournalText() const;
    // Puts the whole journal on the clipboard.
    void CopyJournal();

    QPlainTextEdit* Journal1 = nullptr;
    QTabWidget* Pages = nullptr;  // the journal first, then each section
    QPushButton* CopyButton = nullptr;
    QLabel* LogLabel = nullptr;
    QLabel* FirstRunLabel = nullptr;  // shown after a first start until the locator is changed

signals:
    void Refreshed();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QGroupBox* AddGroup(QWidget* parent, const QString& title,
                        std::initializer_list<std::pair<const char*, const char*>> fields);
    void SetField(const char* name, const QString& text);
    void SetCaption(const char* name, const QString& caption);  // the caption beside a field
    void RefreshStation();
    void RefreshAxes();
    void RefreshJournal();
    void StorePlace();

    const Journal::Journal& journal_;
    const Station::Records& records_;
    const RotatorTracking::Tracker& rotators_;
    std::map<QString, QLabel*> fields_;
    QGroupBox* targetGroup_ = nullptr;  // "Moon", or "Sun" while the Sun is the target
    QTimer* refreshTimer_ = nullptr;
    bool firstStart_ = false;
    NextSendFunction nextSend_;
    std::uint64_t shownRevision_ = ~std::uint64_t{0};
};
