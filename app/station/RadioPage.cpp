// SPDX-License-Identifier: GPL-3.0-or-later
#include "RadioPage.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "EventGuard.h"
#include "Fonts.h"
#include "IniFile.h"
#include "Location.h"
#include "PlanSettings.h"
#include "PointingSettings.h"
#include "RadioTracking.h"
#include "SettingsPage.h"
#include "Station.h"
#include "Unit3.h"

namespace {

using RadioSettings::kKeys;

constexpr char kNone[] = "\u2014";
constexpr char kSharingWarning[] =
    "Sharing the rig with the weak-signal program through rigctld: turn that program's own split and "
    "Doppler tracking off, or the two fight over the dial.";

// Where each key's entry goes and how it reads: the rig's keys in the rig's box.
enum class Entry { kCheck, kEdit, kModel, kMode };
struct FieldRow {
    const char* key;
    const char* caption;
    const char* placeholder;  // or, for a check box, its hint
    Entry entry;
    bool rig;
};
constexpr FieldRow kFields[] = {
    {"Enabled", "Drive the radio", "Keep the rig on the Doppler-corrected frequencies", Entry::kCheck, false},
    {"Model", "Model", "", Entry::kModel, true},
    {"Device", "Device", "/dev/ttyUSB0, or host:4532 of a rigctld for model 2", Entry::kEdit, true},
    {"Speed", "Line speed", "the model's own", Entry::kEdit, true},
    {"Sked", "Sked (MHz)", "10368.100", Entry::kEdit, false},
    {"Mode", "Mode", "", Entry::kMode, false},
    {"DX", "DX locator", "the Plan page's first", Entry::kEdit, false},
    {"TxOffset", "Tx offset (Hz)", "0", Entry::kEdit, false},
    {"LO", "LO (MHz)", "0: none; negative for high side", Entry::kEdit, false},
    {"Step", "Step (Hz)", "1", Entry::kEdit, false},
    {"Interval", "Interval (ms)", "1000", Entry::kEdit, false},
    {"NoTxQsy", "No QSY in transmit", "The rig cannot change frequency while transmitting", Entry::kCheck, false},
    {"Split", "Use split", "Use the rig's split VFOs where it has them", Entry::kCheck, false},
};
static_assert(std::size(kFields) == RadioSettings::kKeyCount);

QLabel* ValueLabel(QWidget* parent, const char* name) {
    auto* label = new QLabel(QString::fromUtf8(kNone), parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setFont(fonts::FixedsysFont());
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setWordWrap(true);
    return label;
}

QString Hz(const std::optional<long long>& hz) {
    return hz ? QString::number(*hz) : QString::fromUtf8(kNone);
}

void SetText(QLabel* label, const QString& text) {
    if (label->text() != text) label->setText(text);
}

std::string SettingsFile() {
    return Unit3::SettingsFileFor(Unit3::ExecutablePath);
}

}  // namespace

TRadioPage::TRadioPage(RadioTracking::Tracker& radio, Journal::Journal& journal, QWidget* parent)
    : QWidget(parent), radio_(radio), journal_(journal) {
    setObjectName(QStringLiteral("RadioPage"));
    QVBoxLayout* layout = settings_page::ScrollingLayout(this);
    QWidget* content = layout->parentWidget();
    auto* columns = new QHBoxLayout;
    auto* rigBox = new QGroupBox(QStringLiteral("Rig"), content);
    auto* rigForm = new QFormLayout(rigBox);
    auto* dopplerBox = new QGroupBox(QStringLiteral("Doppler"), content);
    auto* dopplerForm = new QFormLayout(dopplerBox);
    for (std::size_t i = 0; i < std::size(kFields); ++i) {
        const FieldRow& row = kFields[i];
        QFormLayout* form = row.rig ? rigForm : dopplerForm;
        const std::string name = std::string(row.key) + "Field";
        switch (row.entry) {
            case Entry::kCheck:
                Fields[i] = settings_page::AddCheckBox(form, name.c_str(), row.caption, row.placeholder);
                break;
            case Entry::kEdit:
                Fields[i] = settings_page::AddEdit(form, name.c_str(), row.caption, row.placeholder);
                break;
            case Entry::kModel: {
                auto* modelRow = new QHBoxLayout;
                SearchEdit = new QLineEdit(rigBox);
                SearchEdit->setObjectName(QStringLiteral("SearchEdit"));
                SearchEdit->setPlaceholderText(QStringLiteral("search"));
                SearchEdit->setClearButtonEnabled(true);
                ModelBox = new QComboBox(rigBox);
                ModelBox->setObjectName(QStringLiteral("ModelBox"));
                ModelBox->setMaxVisibleItems(20);
                modelRow->addWidget(SearchEdit, 1);
                modelRow->addWidget(ModelBox, 2);
                form->addRow(QString::fromUtf8(row.caption), modelRow);
                Fields[i] = ModelBox;
                break;
            }
            case Entry::kMode:
                ModeBox = new QComboBox(dopplerBox);
                ModeBox->setObjectName(QStringLiteral("ModeBox"));
                for (const RadioSettings::ModeRow& mode : RadioSettings::kModes)
                    ModeBox->addItem(QString::fromLatin1(mode.name));
                form->addRow(QString::fromUtf8(row.caption), ModeBox);
                Fields[i] = ModeBox;
                break;
        }
    }
    ReceiveLabel = ValueLabel(rigBox, "ReceiveLabel");
    rigForm->addRow(QStringLiteral("Receive"), ReceiveLabel);
    TransmitLabel = ValueLabel(rigBox, "TransmitLabel");
    rigForm->addRow(QStringLiteral("Transmit"), TransmitLabel);
    DopplerLabel = ValueLabel(rigBox, "DopplerLabel");
    rigForm->addRow(QStringLiteral("Doppler"), DopplerLabel);
    PttLabel = ValueLabel(rigBox, "PttLabel");
    rigForm->addRow(QStringLiteral("PTT"), PttLabel);
    StateLabel = ValueLabel(rigBox, "StateLabel");
    rigForm->addRow(QStringLiteral("Rig"), StateLabel);
    columns->addWidget(rigBox, 3);
    columns->addWidget(dopplerBox, 2);
    layout->addLayout(columns);
    WarningLabel = new QLabel(QString::fromUtf8(kSharingWarning), content);
    WarningLabel->setObjectName(QStringLiteral("WarningLabel"));
    WarningLabel->setWordWrap(true);
    layout->addWidget(WarningLabel);
    settings_page::AddApplyRow(layout, content, ApplyButton, MessageLabel);
    ApplyButton->setToolTip(
        QStringLiteral("Keep these in the [Radio] section of the settings file and tune the rig by them"));
    layout->addStretch(1);

    connect(SearchEdit, &QLineEdit::textChanged, this, [this] { Guarded([this] { FilterModels(); }); });
    connect(ApplyButton, &QPushButton::clicked, this, [this] { Guarded([this] { Apply(); }); });
    // The rig is let go when the program ends; a call still inside Hamlib ends in its worker's own time.
    connect(qApp, &QCoreApplication::aboutToQuit, this, [this] {
        Ticker.stop();
        radio_.Reset();
    });
    Ticker.setInterval(kTickMs);
    connect(&Ticker, &QTimer::timeout, this, [this] {
        Guarded([this] {
            radio_.Tick(Location::Now());
            if (isVisible()) Refresh();
        });
    });
    Load();
}

void TRadioPage::FilterModels() {
    const int current = ModelBox->currentData().toInt();
    const QStringList words = SearchEdit->text().split(u' ', Qt::SkipEmptyParts);
    const QSignalBlocker quiet(ModelBox);
    ModelBox->clear();
    ModelBox->addItem(QStringLiteral("no rig"), 0);
    if (!modelsLoaded_) {
        if (current > 0) ModelBox->addItem(QStringLiteral("model ") + QString::number(current), current);
        ModelBox->setCurrentIndex(ModelBox->count() - 1);
        return;
    }
    for (const HamlibRig::Model& model : HamlibRig::Models(RadioTracking::HamlibGate())) {
        const QString text = QString::fromStdString(model.manufacturer + ' ' + model.name) + QStringLiteral("  (") +
                             QString::number(model.number) + u')';
        const bool match = std::ranges::all_of(
            words, [&text](const QString& word) { return text.contains(word, Qt::CaseInsensitive); });
        // The choice stays in the list whatever the search.
        if (match || model.number == current) ModelBox->addItem(text, model.number);
    }
    int chosen = ModelBox->findData(current);
    if (!words.isEmpty() && ModelBox->count() > 1 && chosen <= 0) chosen = 1;
    ModelBox->setCurrentIndex(std::max(0, chosen));
}

void TRadioPage::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (modelsLoaded_) return;
    Guarded([this] {
        modelsLoaded_ = true;
        FilterModels();
    });
}

RadioSettings::Texts TRadioPage::Entered() const {
    RadioSettings::Texts texts;
    for (std::size_t i = 0; i < std::size(kFields); ++i) {
        switch (kFields[i].entry) {
            case Entry::kCheck:
                texts[i].assign(1, static_cast<QCheckBox*>(Fields[i])->isChecked() ? '1' : '0');
                break;
            case Entry::kEdit:
                texts[i] = static_cast<QLineEdit*>(Fields[i])->text().trimmed().toStdString();
                break;
            case Entry::kModel: {
                const int model = ModelBox->currentData().toInt();
                texts[i] = model > 0 ? std::to_string(model) : std::string();
                break;
            }
            case Entry::kMode:
                texts[i] = ModeBox->currentText().toStdString();
                break;
        }
    }
    return texts;
}

void TRadioPage::Show(const RadioSettings::Texts& texts) {
    const RadioSettings::Settings settings = RadioSettings::Parse(texts, 0);
    for (std::size_t i = 0; i < std::size(kFields); ++i) {
        const std::string& text = texts[i].empty() ? std::string(kKeys[i].absent) : texts[i];
        switch (kFields[i].entry) {
            case Entry::kCheck:
                static_cast<QCheckBox*>(Fields[i])->setChecked(text == "1");
                break;
            case Entry::kEdit:
                static_cast<QLineEdit*>(Fields[i])->setText(QString::fromStdString(texts[i]));
                break;
            case Entry::kModel: {
                const QSignalBlocker quiet(ModelBox);
                ModelBox->clear();
                ModelBox->addItem(QString(), settings.rig.model);  // so that the filter keeps it
                SearchEdit->clear();
                FilterModels();
                break;
            }
            case Entry::kMode:
                ModeBox->setCurrentText(QString::fromLatin1(RadioSettings::RowOf(settings.mode).name));
                break;
        }
    }
}

void TRadioPage::PutInForce() {
    const std::string file = SettingsFile();
    const RadioSettings::Settings settings = RadioSettings::Read(file);
    const pointing::Station home = PlanSettings::HomeStation(Unit3::Locator, PointingSettings::Read(file).station);
    radio_.Use(settings, home, settings.enabled ? RadioTracking::ConfiguredDx(settings, file) : std::string());
    if (radio_.Current().driving) {
        Ticker.start();
        radio_.Tick(Location::Now());
    } else {
        Ticker.stop();
    }
    Refresh();
}

void TRadioPage::Load() {
    Show(RadioSettings::ReadTexts(SettingsFile()));
    PutInForce();
}

bool TRadioPage::Apply() {
    const RadioSettings::Texts wanted = Entered();
    if (const std::string problem = RadioSettings::Problem(wanted); !problem.empty())
        return settings_page::Refuse(MessageLabel, problem);
    const std::string file = SettingsFile();
    const RadioSettings::Texts before = RadioSettings::ReadTexts(file);
    try {
        RadioSettings::Write(file, wanted);
    } catch (const EIniWriteError& error) {
        return settings_page::RefuseWrite(MessageLabel, error.what());
    }
    const RadioSettings::Texts after = RadioSettings::ReadTexts(file);
    Station::NoteChanges(journal_, RadioSettings::KeyTexts(before), RadioSettings::KeyTexts(after));
    settings_page::Accept(MessageLabel, before != after);
    PutInForce();
    return true;
}

void TRadioPage::Refresh() {
    const RadioTracking::Status& status = radio_.Current();
    const auto line = [&](const std::optional<long long>& wanted, const std::optional<long long>& set,
                          const std::optional<long long>& read) {
        return QStringLiteral("wanted ") + Hz(wanted) + QStringLiteral(", set ") + Hz(set) + QStringLiteral(", read ") +
               Hz(read) + QStringLiteral(" Hz");
    };
    const auto wanted = [&](long long RadioSettings::Tuning::*field) {
        return status.wanted ? std::optional((*status.wanted).*field) : std::nullopt;
    };
    SetText(ReceiveLabel, line(wanted(&RadioSettings::Tuning::rigReceive), status.setReceive, status.readReceive));
    SetText(TransmitLabel, line(wanted(&RadioSettings::Tuning::rigTransmit), status.setTransmit, status.readTransmit) +
                               (status.split ? QStringLiteral(" (split)") : QString()));
    SetText(DopplerLabel,
            status.driving
                ? QString::asprintf("%+.0Lf Hz, %+.2Lf Hz/s", status.correctionHz, status.rateHzPerSecond) +
                      (status.dx.empty() ? QString() : QStringLiteral(", DX ") + QString::fromStdString(status.dx))
                : QString::fromUtf8(kNone));
    SetText(PttLabel, !status.transmitting   ? QString::fromUtf8(kNone)
                      : *status.transmitting ? QStringLiteral("transmitting")
                                             : QStringLiteral("receiving"));
    SetText(StateLabel, QString::fromStdString(status.state));
    const QString warning =
        status.warning.empty() ? QString::fromUtf8(kSharingWarning) : QString::fromStdString(status.warning);
    SetText(WarningLabel, warning);
    WarningLabel->setStyleSheet(status.warning.empty() ? QString() : QStringLiteral("color: #b00000"));
}
