// SPDX-License-Identifier: GPL-3.0-or-later
#include "CalendarPage.h"

#include <QDateEdit>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTimeZone>
#include <QTimer>
#include <QVBoxLayout>

#include "CalendarText.h"
#include "EventGuard.h"
#include "Location.h"
#include "PlanSettings.h"
#include "Position.h"
#include "Unit3.h"

namespace {

constexpr int kCollectMs = 20;
constexpr int kDefaultDays = 30;
constexpr int kMostDays = 366;
constexpr double kUnixEpochDayNumber = 25569;

const eme_calendar::Rating kRatings[] = {eme_calendar::Rating::Excellent, eme_calendar::Rating::Good,
                                         eme_calendar::Rating::Fair, eme_calendar::Rating::Poor,
                                         eme_calendar::Rating::VeryPoor};
const char* const kRatingRanges[] = {"under 1.5 dB", "1.5\u20132.5 dB", "2.5\u20134 dB", "4\u20135.5 dB",
                                     "above 5.5 dB"};

}  // namespace

QColor TCalendarPage::RatingColour(eme_calendar::Rating rating) {
    switch (rating) {
        case eme_calendar::Rating::Excellent:
            return QColor(0x9C, 0xE0, 0x9C);
        case eme_calendar::Rating::Good:
            return QColor(0xCD, 0xEB, 0x9A);
        case eme_calendar::Rating::Fair:
            return QColor(0xF5, 0xE6, 0x8C);
        case eme_calendar::Rating::Poor:
            return QColor(0xF5, 0xBE, 0x82);
        case eme_calendar::Rating::VeryPoor:
            break;
    }
    return QColor(0xEE, 0x96, 0x96);
}

TCalendarPage::TCalendarPage(const RotatorTracking::Tracker& rotators, QWidget* parent)
    : QWidget(parent), rotators_(rotators) {
    auto* layout = new QVBoxLayout(this);
    auto* inputs = new QHBoxLayout;
    inputs->addWidget(new QLabel(QStringLiteral("From (UTC):"), this));
    FromEdit = new QDateEdit(this);
    FromEdit->setObjectName(QStringLiteral("calendarFrom"));
    FromEdit->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    FromEdit->setDate(QDateTime::currentDateTimeUtc().date());
    inputs->addWidget(FromEdit);
    inputs->addWidget(new QLabel(QStringLiteral("Days:"), this));
    DaysEdit = new QSpinBox(this);
    DaysEdit->setObjectName(QStringLiteral("calendarDays"));
    DaysEdit->setRange(1, kMostDays);
    DaysEdit->setValue(kDefaultDays);
    inputs->addWidget(DaysEdit);
    ShowButton = new QPushButton(QStringLiteral("Show"), this);
    ShowButton->setObjectName(QStringLiteral("calendarShow"));
    inputs->addWidget(ShowButton);
    inputs->addStretch(1);
    layout->addLayout(inputs);

    auto* legend = new QHBoxLayout;
    legend->addWidget(new QLabel(QStringLiteral("Degradation at the Moon's highest:"), this));
    for (std::size_t i = 0; i < std::size(kRatings); ++i) {
        auto* swatch = new QLabel(
            QStringLiteral(" %1 (%2) ")
                .arg(QString::fromLatin1(eme_calendar::RatingName(kRatings[i])), QString::fromUtf8(kRatingRanges[i])),
            this);
        swatch->setAutoFillBackground(true);
        QPalette palette = swatch->palette();
        palette.setColor(QPalette::Window, RatingColour(kRatings[i]));
        palette.setColor(QPalette::WindowText, Qt::black);
        swatch->setPalette(palette);
        legend->addWidget(swatch);
    }
    legend->addWidget(new QLabel(QStringLiteral("Sun: \u201C!\u201D under 15\u00B0"), this));
    legend->addStretch(1);
    layout->addLayout(legend);

    MessageLabel = new QLabel(this);
    MessageLabel->setObjectName(QStringLiteral("calendarMessage"));
    MessageLabel->setWordWrap(true);
    layout->addWidget(MessageLabel);
    Table = new QTableWidget(this);
    Table->setObjectName(QStringLiteral("calendarTable"));
    Table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Table->setSelectionBehavior(QAbstractItemView::SelectRows);
    Table->verticalHeader()->setVisible(false);
    layout->addWidget(Table, 1);

    collector_ = new QTimer(this);
    collector_->setInterval(kCollectMs);
    connect(collector_, &QTimer::timeout, this, [this] { Guarded([this] { Collect(); }); });
    connect(ShowButton, &QPushButton::clicked, this, [this] { Guarded([this] { Start(); }); });
}

TCalendarPage::~TCalendarPage() {
    if (worker_.joinable()) worker_.join();
}

void TCalendarPage::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (shown_) return;
    shown_ = true;
    Guarded([this] { Start(); });
}

void TCalendarPage::Start() {
    if (worker_.joinable()) return;  // one calendar at a time; the button is off meanwhile
    const std::string settingsFile = Unit3::SettingsFileFor(Unit3::ExecutablePath);
    const PlanSettings::Settings plan = PlanSettings::Read(settingsFile);
    if (const std::string problem = PlanSettings::LocatorProblem(Unit3::Locator); !problem.empty()) {
        MessageLabel->setText(
            QStringLiteral("Your own locator %1: enter it in Setup.").arg(QString::fromStdString(problem)));
        return;
    }
    const QDateTime from(FromEdit->date(), QTime(0, 0), QTimeZone::utc());
    eme_calendar::Request request{static_cast<double>(from.toSecsSinceEpoch()) / 86400 + kUnixEpochDayNumber,
                                  DaysEdit->value(),
                                  PlanSettings::HomeStation(Unit3::Locator, Position::Pointing().station),
                                  {},
                                  plan.minElevation,
                                  plan.dxMinElevation,
                                  plan.frequencyMhz * 1e6L,
                                  rotators_.Mask()};
    for (const std::string& locator : plan.dxLocators) request.dx.push_back(PlanSettings::StationOf(locator));
    dxLocators_ = plan.dxLocators;
    handover_ = std::make_shared<Handover>();
    ShowButton->setEnabled(false);
    MessageLabel->setText(QStringLiteral("Computing %1 days\u2026").arg(request.days));
    worker_ = std::thread([request, handover = handover_] {
        std::vector<eme_calendar::Day> days;
        std::string problem;
        try {
            days = eme_calendar::Calendar(request);
        } catch (const std::exception& error) {
            problem = error.what();
        }
        const std::lock_guard lock(handover->mutex);
        handover->problem = problem;
        handover->finished = std::move(days);
    });
    collector_->start();
}

void TCalendarPage::Collect() {
    std::optional<std::vector<eme_calendar::Day>> finished;
    std::string problem;
    {
        const std::lock_guard lock(handover_->mutex);
        finished.swap(handover_->finished);
        problem = handover_->problem;
    }
    if (!finished) return;
    collector_->stop();
    worker_.join();
    ShowButton->setEnabled(true);
    days_ = std::move(*finished);
    MessageLabel->setText(problem.empty() ? QString()
                                          : QStringLiteral("No calendar: %1").arg(QString::fromStdString(problem)));
    Show();
}

void TCalendarPage::WaitForCalendar() {
    while (worker_.joinable()) {
        worker_.join();
        worker_ = std::thread();
        collector_->stop();
        std::optional<std::vector<eme_calendar::Day>> finished;
        {
            const std::lock_guard lock(handover_->mutex);
            finished.swap(handover_->finished);
        }
        if (finished) days_ = std::move(*finished);
        ShowButton->setEnabled(true);
        Show();
    }
}

void TCalendarPage::Show() {
    const std::vector<std::string> headers = CalendarText::Headers(dxLocators_);
    Table->clear();
    Table->setColumnCount(static_cast<int>(headers.size()));
    QStringList titles;
    for (const std::string& header : headers) titles << QString::fromStdString(header);
    Table->setHorizontalHeaderLabels(titles);
    Table->setRowCount(static_cast<int>(days_.size()));
    for (std::size_t row = 0; row < days_.size(); ++row) {
        const std::vector<std::string> cells = CalendarText::Cells(days_[row]);
        const QColor colour = RatingColour(eme_calendar::RatingOf(days_[row].degradationDb));
        for (std::size_t column = 0; column < cells.size() && column < headers.size(); ++column) {
            auto* item = new QTableWidgetItem(QString::fromStdString(cells[column]));
            item->setBackground(colour);
            item->setForeground(Qt::black);
            item->setTextAlignment(column == 0 || column + 2 >= cells.size() ? Qt::AlignLeft | Qt::AlignVCenter
                                                                             : Qt::AlignRight | Qt::AlignVCenter);
            Table->setItem(static_cast<int>(row), static_cast<int>(column), item);
        }
    }
    Table->resizeColumnsToContents();
}
