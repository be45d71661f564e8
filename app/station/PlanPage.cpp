// SPDX-License-Identifier: GPL-3.0-or-later
#include "PlanPage.h"

#include <QComboBox>
#include <QDateTimeEdit>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimeZone>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "CoreText.h"
#include "ElevationPlot.h"
#include "EventGuard.h"
#include "IniFile.h"
#include "Location.h"
#include "PathText.h"
#include "Position.h"
#include "RadioTracking.h"
#include "Station.h"
#include "Unit3.h"
#include "WeakSignalDx.h"

namespace {

bool SamePlace(const pointing::Station& a, const pointing::Station& b) {
    return a.latitude == b.latitude && a.longitudeEast == b.longitudeEast && a.heightMetres == b.heightMetres;
}

constexpr double kUnixEpochDayNumber = 25569;
constexpr double kHour = 1.0 / 24;
// The list starts this far back, so that a running window shows where it began.
constexpr double kLookBack = 0.5;
constexpr double kLongestSearch = 366;
// The plot: the next 24 hours from the start of the present hour, and the hour it is in.
constexpr double kPlotSpan = 25 * kHour;
constexpr int kPlotSamples = 301;
// How often the window's thread looks for a finished plan while one is computed.
constexpr int kCollectMs = 20;
const pointing::Atmosphere kNoRefraction{};

struct PlanInput {
    pointing::Station home;
    std::vector<pointing::Station> dx;
    std::vector<std::string> dxLocators;
    long double minElevation, dxMinElevation;
    double from, days, plotFrom;
    int32_t listedDays;       // the list runs from plotFrom over these days
    horizon_mask::Mask mask;  // at home
};

long double Elevation(double dayNumber, const pointing::Station& station) {
    return pointing::PrecisePosition(pointing::Target::Moon, dayNumber, station, kNoRefraction).elevation;
}

std::vector<double> Curve(const pointing::Station& station, double from) {
    std::vector<double> samples;
    samples.reserve(kPlotSamples);
    for (int i = 0; i < kPlotSamples; ++i)
        samples.push_back(static_cast<double>(Elevation(from + kPlotSpan * i / (kPlotSamples - 1), station)));
    return samples;
}

// Runs on the worker thread: everything it uses is its own copy. A page that closes stops it between DX
// stations.
TPlanPage::Result ComputePlan(const PlanInput& input, const std::atomic<bool>& cancelled) {
    TPlanPage::Result result;
    try {
        const double listEnd = input.plotFrom + input.listedDays;
        for (std::size_t i = 0; i < input.dx.size() && !cancelled; ++i) {
            bool listed = false;
            for (const eme_plan::Window& window :
                 eme_plan::MutualWindows(input.from, input.days, input.home, input.dx[i], input.minElevation,
                                         input.dxMinElevation, input.mask)) {
                result.windows.push_back({i, window, Elevation(window.start, input.home),
                                          Elevation(window.start, input.dx[i]), Elevation(window.end, input.home),
                                          Elevation(window.end, input.dx[i])});
                listed = listed || (window.end > input.plotFrom && window.start < listEnd);
            }
            if (listed) continue;
            const eme_plan::Shortfall shortfall =
                eme_plan::WhyNoWindow(input.plotFrom, input.listedDays, input.home, input.dx[i], input.minElevation,
                                      input.dxMinElevation, input.mask);
            result.noWindow.push_back(PlanSettings::NoWindowText(input.dxLocators[i], input.listedDays, shortfall,
                                                                 input.minElevation, input.dxMinElevation));
        }
        std::stable_sort(result.windows.begin(), result.windows.end(),
                         [](const auto& a, const auto& b) { return a.window.start < b.window.start; });
        result.plotFrom = input.plotFrom;
        result.plotUntil = input.plotFrom + kPlotSpan;
        result.homeCurve = Curve(input.home, input.plotFrom);
        for (const pointing::Station& dx : input.dx) result.dxCurves.push_back(Curve(dx, input.plotFrom));
    } catch (const std::exception& error) {
        result = {};
        result.problem = std::string("The plan could not be computed: ") + error.what();
    }
    return result;
}

QDateTime DateTimeOf(double dayNumber) {
    return QDateTime::fromMSecsSinceEpoch(std::llround((dayNumber - kUnixEpochDayNumber) * 86400000.0),
                                          QTimeZone::utc());
}

double DayNumberOf(const QDateTime& at) {
    return kUnixEpochDayNumber + static_cast<double>(at.toMSecsSinceEpoch()) / 86400000.0;
}

QString UtcText(double dayNumber, bool cut) {
    return DateTimeOf(dayNumber).toString(QStringLiteral("yyyy-MM-dd HH:mm")) + (cut ? QStringLiteral("*") : QString());
}

// h:mm of the whole minutes the command line's plan gives.
QString DurationText(const eme_plan::Window& window) {
    const long long minutes = eme_plan::WholeMinutes(window);
    return QStringLiteral("%1:%2").arg(minutes / 60).arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

QString ElevationPair(long double home, long double dx) {
    return QStringLiteral("%1° / %2°")
        .arg(static_cast<double>(home), 0, 'f', 1)
        .arg(static_cast<double>(dx), 0, 'f', 1);
}

QString Signed(long double value, int decimals) {
    return (value >= 0 ? QStringLiteral("+") : QString()) + QString::number(static_cast<double>(value), 'f', decimals);
}

struct ValueRow {
    const char* name;
    const char* caption;
};
constexpr ValueRow kValueRows[] = {
    {"echoDoppler", "Echo Doppler"},
    {"dxDoppler", "DX Doppler"},
    {"distance", "Moon distance from the station"},
    {"pathLoss", "Path loss over perigee"},
    {"declination", "Declination"},
    {"echoDelay", "Echo delay"},
};

// Every row of values by name and caption: the rows above, then the path's figures, each station's own
// captioned "here / DX".
std::vector<std::pair<QString, QString>> AllValueRows() {
    std::vector<std::pair<QString, QString>> rows;
    for (const ValueRow& row : kValueRows) rows.emplace_back(QLatin1String(row.name), QLatin1String(row.caption));
    for (const PathText::Figure& figure : PathText::Figures()) {
        const QString caption = QString::fromUtf8(figure.caption.data(), static_cast<qsizetype>(figure.caption.size()));
        rows.emplace_back(QString::fromUtf8(figure.jsonKey.data(), static_cast<qsizetype>(figure.jsonKey.size())),
                          figure.scope == PathText::Scope::kStation ? caption + QStringLiteral(" here / DX") : caption);
    }
    return rows;
}
constexpr const char* kColumnsOfValues[] = {"now", "at"};

}  // namespace

TPlanPage::TPlanPage(const RadioTracking::Tracker& radio, const RotatorTracking::Tracker& rotators,
                     Journal::Journal& journal, QWidget* parent)
    : QWidget(parent), radio_(radio), rotators_(rotators), journal_(journal) {
    setObjectName(QStringLiteral("planPage"));
    auto* layout = new QVBoxLayout(this);

    auto* inputs = new QGridLayout;
    const auto edit = [&](const char* name, const QString& caption, int row, int column, int width) {
        auto* field = new QLineEdit(this);
        field->setObjectName(QLatin1String(name));
        auto* label = new QLabel(caption, this);
        label->setBuddy(field);
        inputs->addWidget(label, row, column);
        inputs->addWidget(field, row, column + 1);
        if (width > 0) field->setMaximumWidth(width);
        connect(field, &QLineEdit::returnPressed, this, [this] { Guarded([this] { Apply(); }); });
        return field;
    };
    DxEdit = edit("dxLocators", QStringLiteral("DX locators"), 0, 0, 0);
    FrequencyEdit = edit("frequency", QStringLiteral("Frequency (MHz)"), 0, 2, 90);
    DaysEdit = edit("days", QStringLiteral("Days"), 0, 4, 50);
    MinElevationEdit = edit("minElevation", QStringLiteral("Lowest elevation here (°)"), 1, 0, 60);
    DxMinElevationEdit = edit("dxMinElevation", QStringLiteral("at the DX station (°)"), 1, 2, 90);
    ApplyButton = new QPushButton(QStringLiteral("Plan"), this);
    ApplyButton->setObjectName(QStringLiteral("planButton"));
    inputs->addWidget(ApplyButton, 1, 4, 1, 2);
    connect(ApplyButton, &QPushButton::clicked, this, [this] { Guarded([this] { Apply(); }); });
    inputs->setColumnStretch(1, 1);
    layout->addLayout(inputs);

    MessageLabel = new QLabel(this);
    MessageLabel->setObjectName(QStringLiteral("planMessage"));
    MessageLabel->setWordWrap(true);
    MessageLabel->hide();
    layout->addWidget(MessageLabel);

    WindowList = new QTreeWidget(this);
    WindowList->setObjectName(QStringLiteral("planWindows"));
    WindowList->setRootIsDecorated(false);
    WindowList->setColumnCount(kColumns);
    WindowList->setHeaderLabels({QString(), QStringLiteral("DX"), QStringLiteral("Start (UTC)"),
                                 QStringLiteral("End (UTC)"), QStringLiteral("Duration"),
                                 QStringLiteral("Elevation here / DX: at start"), QStringLiteral("at end"),
                                 QStringLiteral("highest")});
    WindowList->setToolTip(
        QStringLiteral("Elevations here / at the DX station; * marks an edge cut by the list's span"));
    WindowList->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    connect(WindowList, &QTreeWidget::itemSelectionChanged, this, [this] { OnRowChosen(); });
    WindowList->setMinimumHeight(60);
    layout->addWidget(WindowList, 1);

    auto* lower = new QHBoxLayout;
    auto* plotColumn = new QVBoxLayout;
    DxChoice = new QComboBox(this);
    DxChoice->setObjectName(QStringLiteral("plotDx"));
    auto* plotTitle = new QHBoxLayout;
    plotTitle->addWidget(new QLabel(QStringLiteral("Moon elevation over 24 h, here (blue) and at"), this));
    plotTitle->addWidget(DxChoice);
    plotTitle->addWidget(new QLabel(QStringLiteral("(red)"), this));
    plotTitle->addStretch(1);
    plotColumn->addLayout(plotTitle);
    Plot = new TElevationPlot(this);
    plotColumn->addWidget(Plot, 1);
    lower->addLayout(plotColumn, 3);
    connect(DxChoice, &QComboBox::currentIndexChanged, this, [this] {
        ShowPlot();
        Refresh();
        ShowValues(QStringLiteral("at"), DayNumberOf(AtEdit->dateTime()));
    });

    auto* values = new QGridLayout;
    values->addWidget(new QLabel(QStringLiteral("Now"), this), 0, 1);
    AtEdit = new QDateTimeEdit(this);
    AtEdit->setObjectName(QStringLiteral("planAt"));
    AtEdit->setTimeSpec(Qt::UTC);
    AtEdit->setDisplayFormat(QStringLiteral("yyyy-MM-dd HH:mm 'UTC'"));
    values->addWidget(AtEdit, 0, 2);
    connect(AtEdit, &QDateTimeEdit::dateTimeChanged, this,
            [this](const QDateTime& at) { ShowValues(QStringLiteral("at"), DayNumberOf(at)); });
    int row = 1;
    for (const auto& [name, caption] : AllValueRows()) {
        values->addWidget(new QLabel(caption, this), row, 0);
        int column = 1;
        for (const char* which : kColumnsOfValues) {
            auto* label = new QLabel(QStringLiteral("---"), this);
            label->setObjectName(QStringLiteral("%1_%2").arg(QLatin1String(which), name));
            label->setTextInteractionFlags(Qt::TextSelectableByMouse);
            values->addWidget(label, row, column++);
            values_[label->objectName()] = label;
        }
        ++row;
    }
    values->setRowStretch(row, 1);
    lower->addLayout(values, 2);
    layout->addLayout(lower, 2);

    collector_ = new QTimer(this);
    collector_->setInterval(kCollectMs);
    connect(collector_, &QTimer::timeout, this, [this] { Guarded([this] { CollectPlan(); }); });
}

TPlanPage::~TPlanPage() {
    if (handover_) handover_->cancelled = true;
    if (worker_.joinable()) worker_.join();
}

void TPlanPage::Load() {
    settings_ = PlanSettings::Read(Unit3::SettingsFileFor(Unit3::ExecutablePath));
    DxEdit->setText(core_text::ToQt(PlanSettings::LocatorsText(settings_.dxLocators)));
    FrequencyEdit->setText(QString::fromStdString(PlanSettings::NumberText(settings_.frequencyMhz)));
    MinElevationEdit->setText(QString::fromStdString(PlanSettings::NumberText(settings_.minElevation)));
    DxMinElevationEdit->setText(QString::fromStdString(PlanSettings::NumberText(settings_.dxMinElevation)));
    DaysEdit->setText(QString::number(settings_.days));
    plannedHour_ = -1;
    AtEdit->setDateTime(DateTimeOf(HourStart(Location::UtcNow())));
    if (settings_.dxLocators.empty())
        ShowMessage(QStringLiteral("Enter one or more DX locators and press Plan."), false);
    emit Applied();
}

bool TPlanPage::Apply() {
    PlanSettings::Settings wanted;
    const auto take = [this](auto parsed, auto& into) {
        if (!parsed.value) {
            ShowMessage(QString::fromStdString(parsed.problem) + QLatin1Char('.'), true);
            return false;
        }
        into = *parsed.value;
        return true;
    };
    if (!take(PlanSettings::ParseLocators(core_text::ToCore(DxEdit->text())), wanted.dxLocators) ||
        !take(PlanSettings::ParseFrequency(core_text::ToCore(FrequencyEdit->text())), wanted.frequencyMhz) ||
        !take(PlanSettings::ParseMinElevation(core_text::ToCore(MinElevationEdit->text())), wanted.minElevation) ||
        !take(PlanSettings::ParseMinElevation(core_text::ToCore(DxMinElevationEdit->text())), wanted.dxMinElevation) ||
        !take(PlanSettings::ParseDays(core_text::ToCore(DaysEdit->text())), wanted.days)) {
        return false;
    }
    ShowMessage(QString(), false);
    if (wanted != settings_) {
        Station::NoteChanges(journal_, PlanSettings::KeyTexts(settings_), PlanSettings::KeyTexts(wanted));
        settings_ = wanted;
        try {
            PlanSettings::Write(Unit3::SettingsFileFor(Unit3::ExecutablePath), settings_);
        } catch (const EIniWriteError& error) {
            ShowMessage(core_text::ToQt(error.what()) +
                            QStringLiteral(": the plan uses these values until Lunark closes, but they are not kept."),
                        true);
        }
        emit Applied();
    }
    StartPlan();
    return true;
}

double TPlanPage::HourStart(double dayNumber) const {
    return std::floor(dayNumber * 24 + 1e-9) / 24;
}

void TPlanPage::StartPlan() {
    plannedHour_ = HourStart(Location::UtcNow());
    plannedLocator_ = Unit3::Locator;
    home_ = Home();
    if (computing_) {
        planAgain_ = true;
        return;
    }
    if (settings_.dxLocators.empty()) return;
    const std::string problem = PlanSettings::LocatorProblem(Unit3::Locator);
    if (!problem.empty()) {
        ShowMessage(QStringLiteral("Your own locator \"%1\" %2: enter it in Setup.")
                        .arg(core_text::ToQt(Unit3::Locator), QString::fromStdString(problem)),
                    true);
        return;
    }
    dxStations_.clear();
    for (const std::string& locator : settings_.dxLocators) dxStations_.push_back(PlanSettings::StationOf(locator));
    const double from = plannedHour_ - kLookBack;
    // The search also covers the plot, which may reach past the days listed.
    const double days = std::min(kLongestSearch, std::max<double>(settings_.days, kPlotSpan) + kLookBack);
    const PlanInput input{home_, dxStations_, settings_.dxLocators, settings_.minElevation, settings_.dxMinElevation,
                          from,  days,        plannedHour_,         settings_.days,         rotators_.Mask()};
    if (worker_.joinable()) worker_.join();
    handover_ = std::make_shared<Handover>();
    computing_ = true;
    worker_ = std::thread([input, handover = handover_] {
        Result result = ComputePlan(input, handover->cancelled);
        const std::lock_guard lock(handover->mutex);
        handover->finished = std::move(result);
    });
    collector_->start();
}

void TPlanPage::CollectPlan() {
    std::optional<Result> finished;
    {
        const std::lock_guard lock(handover_->mutex);
        finished.swap(handover_->finished);
    }
    if (!finished) return;
    collector_->stop();
    if (worker_.joinable()) worker_.join();
    computing_ = false;
    result_ = std::move(*finished);
    if (planAgain_) {
        planAgain_ = false;
        StartPlan();
        return;
    }
    ShowPlan();
}

void TPlanPage::WaitForPlan() {
    while (computing_) {
        if (worker_.joinable()) worker_.join();
        CollectPlan();
    }
}

void TPlanPage::ShowPlan() {
    if (!result_.problem.empty()) ShowMessage(QString::fromStdString(result_.problem) + QLatin1Char('.'), true);
    const QString chosen = DxChoice->currentText();
    {
        const QSignalBlocker blocker(DxChoice);
        DxChoice->clear();
        for (const std::string& locator : settings_.dxLocators) DxChoice->addItem(core_text::ToQt(locator));
        DxChoice->setCurrentIndex(std::max(0, DxChoice->findText(chosen)));
    }
    shownRunning_ = -2;
    windows_.clear();
    Refresh();
    ShowPlot();
    ShowValues(QStringLiteral("at"), DayNumberOf(AtEdit->dateTime()));
}

void TPlanPage::ShowList() {
    const QSignalBlocker blocker(WindowList);
    WindowList->clear();
    const double now = Location::UtcNow();
    for (const Listed& listed : windows_) {
        const eme_plan::Window& w = listed.window;
        auto* item = new QTreeWidgetItem(WindowList);
        const bool running = w.start <= now && now < w.end;
        item->setText(kRunning, running ? QStringLiteral("now") : QString());
        item->setText(kDx, core_text::ToQt(settings_.dxLocators[listed.dx]));
        item->setText(kStart, UtcText(w.start, w.startCut));
        item->setText(kEnd, UtcText(w.end, w.endCut));
        item->setText(kDuration, DurationText(w));
        item->setText(kStartElevation, ElevationPair(listed.startElevation, listed.startDxElevation));
        item->setText(kEndElevation, ElevationPair(listed.endElevation, listed.endDxElevation));
        item->setText(kHighest, ElevationPair(w.highest, w.dxHighest));
        if (running) {
            QFont bold = item->font(0);
            bold.setBold(true);
            for (int column = 0; column < kColumns; ++column) item->setFont(column, bold);
        }
    }
    // Below the windows, in grey and not to be chosen: the DX stations without one, and why.
    for (const std::string& reason : result_.noWindow) {
        auto* item = new QTreeWidgetItem(WindowList);
        item->setFirstColumnSpanned(true);
        item->setText(kRunning, QString::fromStdString(reason));
        item->setForeground(kRunning, QBrush(Qt::gray));
        item->setFlags(Qt::ItemIsEnabled);
    }
}

void TPlanPage::ShowPlot() {
    TElevationPlot::Curves curves;
    const int dx = DxChoice->currentIndex();
    if (dx >= 0 && static_cast<std::size_t>(dx) < result_.dxCurves.size()) {
        curves.from = result_.plotFrom;
        curves.until = result_.plotUntil;
        curves.home = result_.homeCurve;
        curves.dx = result_.dxCurves[static_cast<std::size_t>(dx)];
        for (const Listed& listed : result_.windows) {
            if (listed.dx == static_cast<std::size_t>(dx))
                curves.windows.push_back({listed.window.start, listed.window.end});
        }
    }
    curves.minElevation = static_cast<double>(settings_.minElevation);
    curves.dxMinElevation = static_cast<double>(settings_.dxMinElevation);
    Plot->SetCurves(std::move(curves));
    Plot->SetNow(Location::UtcNow());
}

void TPlanPage::OnRowChosen() {
    const QList<QTreeWidgetItem*> chosen = WindowList->selectedItems();
    if (chosen.isEmpty()) return;
    const int row = WindowList->indexOfTopLevelItem(chosen.front());
    if (row < 0 || static_cast<std::size_t>(row) >= windows_.size()) return;
    const Listed& listed = windows_[static_cast<std::size_t>(row)];
    DxChoice->setCurrentIndex(static_cast<int>(listed.dx));
    AtEdit->setDateTime(DateTimeOf(listed.window.start));
}

pointing::Station TPlanPage::Home() const {
    return PlanSettings::HomeStation(Unit3::Locator, Position::Pointing().station);
}

void TPlanPage::Refresh() {
    const double now = Location::UtcNow();
    if ((HourStart(now) != plannedHour_ || Unit3::Locator != plannedLocator_ || !SamePlace(Home(), home_)) &&
        !settings_.dxLocators.empty())
        StartPlan();
    // The windows still to come or running, and which one runs.
    std::vector<Listed> current;
    int running = -1;
    for (const Listed& listed : result_.windows) {
        if (listed.window.end <= now || listed.window.start >= result_.plotFrom + settings_.days) continue;
        if (listed.window.start <= now && running < 0) running = static_cast<int>(current.size());
        current.push_back(listed);
    }
    if (current.size() != shownCount_ || running != shownRunning_ || current.size() != windows_.size()) {
        windows_ = std::move(current);
        shownCount_ = windows_.size();
        shownRunning_ = running;
        ShowList();
    }
    Plot->SetNow(now);
    ShowValues(QStringLiteral("now"), now);
}

void TPlanPage::ShowValues(const QString& column, double dayNumber) {
    const int dx = DxChoice->currentIndex();
    const auto set = [&](const QString& name, const QString& text) {
        values_[column + QLatin1Char('_') + name]->setText(text);
    };
    const auto clear = [&] {
        for (const auto& row : AllValueRows()) set(row.first, QStringLiteral("---"));
    };
    // The live values are for the DX station the weak-signal program names while it is fresh.
    const std::string heard =
        column == QStringLiteral("now") ? WeakSignalDx::FreshGrid(Location::Now()) : std::string();
    const bool listed =
        !settings_.dxLocators.empty() && dx >= 0 && static_cast<std::size_t>(dx) < settings_.dxLocators.size();
    if (PlanSettings::LocatorProblem(Unit3::Locator) != "" || (heard.empty() && !listed)) {
        clear();
        return;
    }
    try {
        const pointing::Station home = Home();
        const pointing::Station other =
            PlanSettings::StationOf(heard.empty() ? settings_.dxLocators[static_cast<std::size_t>(dx)] : heard);
        const long double hertz = FrequencyHz();
        set("echoDoppler",
            Signed(std::round(eme_plan::EchoDoppler(dayNumber, home, hertz)), 0) + QStringLiteral(" Hz"));
        set("dxDoppler",
            Signed(std::round(eme_plan::DxDoppler(dayNumber, home, other, hertz)), 0) + QStringLiteral(" Hz"));
        const long double distance =
            pointing::PrecisePosition(pointing::Target::Moon, dayNumber, home, kNoRefraction).distanceKm;
        set("distance", QString::number(static_cast<double>(distance), 'f', 0) + QStringLiteral(" km"));
        set("pathLoss",
            QString::number(static_cast<double>(eme_plan::PathLossOverPerigee(dayNumber, home, other)), 'f', 1) +
                QStringLiteral(" dB"));
        set("declination", Signed(eme_plan::MoonDeclination(dayNumber), 2) + QStringLiteral("°"));
        set("echoDelay",
            QString::number(static_cast<double>(eme_plan::EchoDelay(dayNumber, home)), 'f', 3) + QStringLiteral(" s"));
        const eme_path::PathFigures path = eme_path::PathAt(dayNumber, home, other, hertz);
        for (const PathText::Figure& figure : PathText::Figures()) {
            std::string text = PathText::ValueText(figure, path.home, path);
            if (figure.scope == PathText::Scope::kStation) text += " / " + PathText::ValueText(figure, path.dx, path);
            set(QString::fromUtf8(figure.jsonKey.data(), static_cast<qsizetype>(figure.jsonKey.size())),
                QString::fromStdString(text));
        }
    } catch (const std::exception& error) {
        clear();
        ShowMessage(QStringLiteral("No values for that instant: %1.").arg(QString::fromUtf8(error.what())), true);
    }
}

// The sked frequency of the radio settings in force while the radio is on, else the page's own.
long double TPlanPage::FrequencyHz() const {
    if (const long long sked = radio_.Current().skedHz; sked > 0) return static_cast<long double>(sked);
    return settings_.frequencyMhz * 1e6L;
}

QString TPlanPage::Value(const QString& column, const QString& name) const {
    const auto found = values_.find(column + QLatin1Char('_') + name);
    return found == values_.end() ? QString() : found->second->text();
}

void TPlanPage::ShowMessage(const QString& text, bool problem) {
    MessageLabel->setText(text);
    MessageLabel->setVisible(!text.isEmpty());
    MessageLabel->setStyleSheet(problem ? QStringLiteral("color: #b00000;") : QString());
}
