// SPDX-License-Identifier: GPL-3.0-or-later
#include "HamlibPage.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <functional>
#include <vector>

#include "CoreText.h"
#include "EventGuard.h"
#include "Fonts.h"
#include "HamlibModels.h"
#include "HamlibSettings.h"
#include "HamlibTransport.h"
#include "IniFile.h"
#include "Journal.h"
#include "SettingsPage.h"
#include "StationWindow.h"
#include "Unit3.h"

namespace {

using HamlibRotator::Address;
using HamlibRotator::Bearing;
using Protocols::Axis;

constexpr char kNone[] = "\u2014";
constexpr int kLineSpeeds[] = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};

QString FromCore(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

QString Degrees(double value) {
    return QString::number(value, 'f', 2) + QStringLiteral("\u00B0");
}

QString AzimuthElevation(const Bearing& bearing) {
    return Degrees(bearing.azimuth) + QStringLiteral(" az, ") + Degrees(bearing.elevation) + QStringLiteral(" el");
}

// Hamlib's models by manufacturer, then name, as the list shows them.
const std::vector<const HamlibModels::Model*>& ModelsByManufacturer() {
    static const std::vector<const HamlibModels::Model*> sorted = [] {
        std::vector<const HamlibModels::Model*> models;
        for (const HamlibModels::Model& model : HamlibModels::Models()) models.push_back(&model);
        std::ranges::stable_sort(models, [](const HamlibModels::Model* a, const HamlibModels::Model* b) {
            const int byManufacturer = QString::fromStdString(a->manufacturer)
                                           .compare(QString::fromStdString(b->manufacturer), Qt::CaseInsensitive);
            if (byManufacturer != 0) return byManufacturer < 0;
            return QString::fromStdString(a->name).compare(QString::fromStdString(b->name), Qt::CaseInsensitive) < 0;
        });
        return models;
    }();
    return sorted;
}

QString ModelItem(const HamlibModels::Model& model) {
    return QString::fromStdString(model.manufacturer + ' ' + model.name) + QStringLiteral("  (") +
           QString::number(model.number) + u')';
}

QLabel* ValueLabel(QWidget* parent, const QString& objectName) {
    auto* label = new QLabel(QString::fromUtf8(kNone), parent);
    label->setObjectName(objectName);
    label->setFont(fonts::FixedsysFont());
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

void SetText(QLabel* label, const QString& text) {
    if (label->text() != text) label->setText(text);
}

}  // namespace

THamlibPage::THamlibPage(TStationWindow& window, HamlibTransport::Axes& hamlib, Journal::Journal& journal)
    : QWidget(nullptr), hamlib_(hamlib), journal_(journal) {
    setObjectName(QStringLiteral("HamlibPage"));
    QVBoxLayout* layout = settings_page::ScrollingLayout(this);
    QWidget* content = layout->parentWidget();
    auto* axes = new QHBoxLayout;
    axes->addWidget(BuildAxis(content, Axis::kAzimuth, Azimuth));
    axes->addWidget(BuildAxis(content, Axis::kElevation, Elevation));
    layout->addLayout(axes);

    settings_page::AddApplyRow(layout, content, ApplyButton, MessageLabel);
    ApplyButton->setToolTip(QStringLiteral("Keep both rotators in the [Hamlib] section of the settings file"));
    connect(ApplyButton, &QPushButton::clicked, this, [this] { Guarded([this] { Apply(); }); });
    layout->addStretch(1);

    LoadSettings();
    connect(&window, &TStationWindow::Refreshed, this, [this] {
        Guarded([this] {
            if (refreshes_++ % kReadBackEvery == 0) hamlib_.ReadBack();
            Refresh();
        });
    });
}

QGroupBox* THamlibPage::BuildAxis(QWidget* parent, Axis axis, AxisControls& controls) {
    const QString name = axis == Axis::kAzimuth ? QStringLiteral("azimuth") : QStringLiteral("elevation");
    auto* group =
        new QGroupBox(axis == Axis::kAzimuth ? QStringLiteral("Azimuth") : QStringLiteral("Elevation"), parent);
    auto* form = new QFormLayout(group);
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);

    // The search beside the list it narrows, the line speed beside the device it applies to.
    auto* modelRow = new QHBoxLayout;
    controls.search = new QLineEdit(group);
    controls.search->setObjectName(name + QStringLiteral("Search"));
    controls.search->setPlaceholderText(QStringLiteral("search"));
    controls.search->setToolTip(
        QStringLiteral("Narrows the list to models whose manufacturer, name or number hold every word"));
    controls.search->setClearButtonEnabled(true);
    modelRow->addWidget(controls.search, 1);
    controls.model = new QComboBox(group);
    controls.model->setObjectName(name + QStringLiteral("Model"));
    controls.model->setMaxVisibleItems(20);
    modelRow->addWidget(controls.model, 2);
    form->addRow(QStringLiteral("Model"), modelRow);

    auto* deviceRow = new QHBoxLayout;
    controls.device = new QLineEdit(group);
    controls.device->setObjectName(name + QStringLiteral("Device"));
    controls.device->setPlaceholderText(QStringLiteral("/dev/ttyUSB0, /dev/serial/by-id/..., host:4533"));
    deviceRow->addWidget(controls.device, 2);
    controls.lineSpeed = new QComboBox(group);
    controls.lineSpeed->setObjectName(name + QStringLiteral("LineSpeed"));
    controls.lineSpeed->setToolTip(QStringLiteral("Line speed of a serial model"));
    controls.lineSpeed->addItem(QStringLiteral("model's speed"), 0);
    for (const int speed : kLineSpeeds)
        controls.lineSpeed->addItem(QString::number(speed) + QStringLiteral(" baud"), speed);
    deviceRow->addWidget(controls.lineSpeed, 1);
    form->addRow(QStringLiteral("Device"), deviceRow);

    controls.protocol = ValueLabel(group, name + QStringLiteral("Protocol"));
    form->addRow(QStringLiteral("Protocol"), controls.protocol);
    controls.lastCommand = ValueLabel(group, name + QStringLiteral("LastCommand"));
    form->addRow(QStringLiteral("Last command"), controls.lastCommand);
    controls.commanded = ValueLabel(group, name + QStringLiteral("Commanded"));
    form->addRow(QStringLiteral("Commanded"), controls.commanded);
    controls.actual = ValueLabel(group, name + QStringLiteral("Actual"));
    form->addRow(QStringLiteral("Actual"), controls.actual);
    controls.difference = ValueLabel(group, name + QStringLiteral("Difference"));
    form->addRow(QStringLiteral("Difference"), controls.difference);
    controls.state = ValueLabel(group, name + QStringLiteral("State"));
    controls.state->setWordWrap(true);  // Hamlib's reasons can be long
    form->addRow(QStringLiteral("Rotator"), controls.state);

    auto* buttons = new QHBoxLayout;
    controls.stop = new QPushButton(QStringLiteral("Stop"), group);
    controls.stop->setObjectName(name + QStringLiteral("Stop"));
    controls.park = new QPushButton(QStringLiteral("Park"), group);
    controls.park->setObjectName(name + QStringLiteral("Park"));
    buttons->addWidget(controls.stop);
    buttons->addWidget(controls.park);
    buttons->addStretch(1);
    form->addRow(buttons);

    connect(controls.search, &QLineEdit::textChanged, this,
            [this, &controls] { Guarded([&] { FilterModels(controls); }); });
    connect(controls.model, &QComboBox::currentIndexChanged, this,
            [this, &controls] { Guarded([&] { EnableLineSpeed(controls); }); });
    const auto command = [this, axis](bool (HamlibTransport::Axes::*send)(Axis), const QString& what) {
        Guarded([&] {
            TellFromHere();
            // Through std::invoke: GCC 12 reaches a wrong object for `(hamlib_.*send)` written in
            // this lambda, which ASan and UBSan catch.
            if (std::invoke(send, hamlib_, axis)) {
                MessageLabel->setStyleSheet(QString());
                MessageLabel->setText(
                    what + QStringLiteral(" asked of the ") +
                    (axis == Axis::kAzimuth ? QStringLiteral("azimuth") : QStringLiteral("elevation")) +
                    QStringLiteral(" rotator."));
            } else {
                settings_page::Refuse(
                    MessageLabel, "No Hamlib rotator on this axis: set it to \"Hamlib\" in Setup and choose one here.");
            }
            Refresh();
        });
    };
    connect(controls.stop, &QPushButton::clicked, this,
            [command] { command(&HamlibTransport::Axes::Stop, QStringLiteral("Stop")); });
    connect(controls.park, &QPushButton::clicked, this,
            [command] { command(&HamlibTransport::Axes::Park, QStringLiteral("Park")); });
    return group;
}

void THamlibPage::LoadSettings() {
    TellFromHere();
    const std::string settingsFile = Unit3::SettingsFileFor(Unit3::ExecutablePath);
    for (const Axis axis : {Axis::kAzimuth, Axis::kElevation}) {
        AxisControls& controls = ControlsOf(axis);
        const std::optional<Address> rotator = HamlibSettings::Load(settingsFile, axis);
        controls.search->clear();
        ShowModel(controls, rotator ? rotator->model : 0);
        controls.device->setText(rotator ? QString::fromStdString(rotator->device) : QString());
        ShowLineSpeed(controls, rotator ? rotator->lineSpeed : 0);
        if (rotator && HamlibModels::FindModel(rotator->model) == nullptr) {
            settings_page::Refuse(MessageLabel, "The settings name model " + std::to_string(rotator->model) +
                                                    ", which Hamlib does not know: choose another.");
        }
    }
    Refresh();
}

void THamlibPage::FilterModels(AxisControls& controls) {
    const int current = controls.model->currentData().toInt();
    const QStringList words = controls.search->text().split(u' ', Qt::SkipEmptyParts);
    if (words.isEmpty()) controls.choiceBeforeSearch = current;
    const auto matches = [&words](const QString& text) {
        return !words.isEmpty() && std::ranges::all_of(words, [&text](const QString& word) {
            return text.contains(word, Qt::CaseInsensitive);
        });
    };
    // Searching loses nothing: the choice, and the one from before the search began, stay in the
    // list; the first match is chosen while the choice does not match, and a search that matches
    // nothing goes back to the choice from before it.
    const QSignalBlocker quiet(controls.model);
    controls.model->clear();
    controls.model->addItem(QStringLiteral("no rotator"), 0);
    int firstMatch = -1;
    bool currentMatches = false;
    for (const HamlibModels::Model* model : ModelsByManufacturer()) {
        const QString text = ModelItem(*model);
        const bool match = matches(text);
        if (!match && model->number != current && model->number != controls.choiceBeforeSearch) continue;
        controls.model->addItem(text, model->number);
        if (match && firstMatch < 0) firstMatch = controls.model->count() - 1;
        currentMatches = currentMatches || (match && model->number == current);
    }
    int chosen = current;
    if (!words.isEmpty() && !currentMatches) {
        chosen = firstMatch >= 0 ? controls.model->itemData(firstMatch).toInt() : controls.choiceBeforeSearch;
    }
    controls.model->setCurrentIndex(std::max(0, controls.model->findData(chosen)));
    EnableLineSpeed(controls);
}

void THamlibPage::ShowModel(AxisControls& controls, int model) {
    {
        const QSignalBlocker quiet(controls.model);
        controls.model->clear();
        controls.model->addItem(QString(), model);  // so that the filter keeps it
    }
    FilterModels(controls);
}

void THamlibPage::ShowLineSpeed(AxisControls& controls, int lineSpeed) {
    int index = controls.lineSpeed->findData(lineSpeed);
    if (index < 0) {  // a speed of the file's own, outside the usual ones
        controls.lineSpeed->addItem(QString::number(lineSpeed) + QStringLiteral(" baud"), lineSpeed);
        index = controls.lineSpeed->count() - 1;
    }
    controls.lineSpeed->setCurrentIndex(index);
}

void THamlibPage::EnableLineSpeed(AxisControls& controls) {
    const HamlibModels::Model* model = HamlibModels::FindModel(controls.model->currentData().toInt());
    controls.lineSpeed->setEnabled(model != nullptr && model->serial);
    controls.device->setEnabled(model != nullptr && model->needsDevice);
}

std::optional<Address> THamlibPage::Chosen(const AxisControls& controls) const {
    const int number = controls.model->currentData().toInt();
    if (number <= 0) return std::nullopt;
    const HamlibModels::Model* model = HamlibModels::FindModel(number);
    // UTF-8, so that a character outside ASCII reaches the check as such rather than as "?".
    return Address{number, controls.device->text().trimmed().toStdString(),
                   model != nullptr && model->serial ? controls.lineSpeed->currentData().toInt() : 0};
}

void THamlibPage::Apply() {
    TellFromHere();
    std::optional<Address> chosen[2];
    for (const Axis axis : {Axis::kAzimuth, Axis::kElevation}) {
        AxisControls& controls = ControlsOf(axis);
        std::optional<Address>& rotator = chosen[axis == Axis::kAzimuth ? 0 : 1];
        rotator = Chosen(controls);
        if (!rotator) continue;
        if (const std::string problem = HamlibSettings::Problem(axis, *rotator); !problem.empty()) {
            settings_page::Refuse(MessageLabel, problem + '.');
            controls.device->setFocus();
            return;
        }
    }
    const std::string settingsFile = Unit3::SettingsFileFor(Unit3::ExecutablePath);
    int changed = 0;
    try {
        changed += HamlibSettings::Save(journal_, settingsFile, Axis::kAzimuth, chosen[0]);
        changed += HamlibSettings::Save(journal_, settingsFile, Axis::kElevation, chosen[1]);
    } catch (const EIniWriteError& error) {
        settings_page::RefuseWrite(MessageLabel, error.what());
        return;
    }
    settings_page::Accept(MessageLabel, changed > 0);
    hamlib_.ReadBack();  // whether the rotator answers shows at once
    Refresh();
}

void THamlibPage::TellFromHere() {
    toldEvent_ = hamlib_.LatestEvent().number;
}

void THamlibPage::Refresh() {
    // A result that arrived since the line was last written is the latest event: it takes the line.
    if (const HamlibTransport::Event& event = hamlib_.LatestEvent(); event.number != toldEvent_) {
        toldEvent_ = event.number;
        if (event.ok) {
            MessageLabel->setStyleSheet(QString());
            MessageLabel->setText(FromCore(event.text));
        } else {
            settings_page::Refuse(MessageLabel, event.text);
        }
    }
    RefreshAxis(Axis::kAzimuth);
    RefreshAxis(Axis::kElevation);
}

void THamlibPage::RefreshAxis(Axis axis) {
    AxisControls& controls = ControlsOf(axis);
    const QString none = QString::fromUtf8(kNone);
    const std::string& type = axis == Axis::kAzimuth ? Unit3::AZtype : Unit3::ELtype;
    const bool hamlib = type == Protocols::kHamlib;
    const std::optional<Address> rotator = hamlib_.AxisRotator(axis);
    const bool drives = hamlib && rotator;

    // Short texts: the model and device stand in the fields above.
    if (!hamlib) {
        SetText(controls.protocol, u'"' + core_text::ToQt(type) + QStringLiteral("\" in Setup: used once \"Hamlib\""));
    } else {
        SetText(controls.protocol,
                rotator ? QStringLiteral("\"Hamlib\"") : QStringLiteral("\"Hamlib\": choose a rotator and Apply"));
    }
    controls.stop->setEnabled(drives);
    controls.park->setEnabled(drives);

    const std::optional<HamlibTransport::AxisResult> last = hamlib_.LastResult(axis);
    SetText(controls.lastCommand, drives && last && last->address == *rotator
                                      ? FromCore(HamlibTransport::CallText(last->result) + " at " +
                                                 Journal::UtcTime(last->at) + (last->result.ok ? "" : ": failed"))
                                      : none);

    // Values of another rotator (before the last Apply) are not this one's.
    std::optional<HamlibTransport::AxisReading> reading = hamlib_.Reading(axis);
    if (!drives || !reading || !(reading->address == *rotator)) reading.reset();
    SetText(controls.commanded, reading && reading->commanded ? AzimuthElevation(*reading->commanded) : none);
    SetText(controls.actual, reading && reading->actual ? AzimuthElevation(*reading->actual) + QStringLiteral("  at ") +
                                                              FromCore(Journal::UtcTime(reading->actualAt))
                                                        : none);
    if (reading && reading->commanded && reading->actual) {
        // In the rotator's own reckoning (an azimuth past north stays past north): how far it still
        // has to turn. + 0.0 shows a difference that rounds to nothing as 0.00, not -0.00.
        const Bearing& commanded = *reading->commanded;
        const Bearing& actual = *reading->actual;
        const double difference =
            HamlibRotator::TwoDecimals(axis == Axis::kAzimuth ? actual.azimuth - commanded.azimuth
                                                              : actual.elevation - commanded.elevation) +
            0.0;
        SetText(controls.difference,
                (difference > 0 ? QStringLiteral("+") : QString()) + Degrees(difference) +
                    (axis == Axis::kAzimuth ? QStringLiteral(" in azimuth") : QStringLiteral(" in elevation")));
    } else {
        SetText(controls.difference, none);
    }
    if (!drives) {
        SetText(controls.state, none);
    } else if (!reading) {
        SetText(controls.state, QStringLiteral("not asked yet"));
    } else if (reading->failure.empty()) {
        SetText(controls.state, QStringLiteral("answers"));
    } else {
        SetText(controls.state, FromCore(HamlibTransport::CommsError(*rotator) + ": " + reading->failure));
    }
}
