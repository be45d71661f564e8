// SPDX-License-Identifier: GPL-3.0-or-later
#include "PointingPage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "CoreText.h"
#include "EventGuard.h"
#include "IniFile.h"
#include "SettingsPage.h"
#include "Station.h"
#include "Targets.h"
#include "Unit3.h"

TPointingPage::TPointingPage(Journal::Journal& journal, QWidget* parent) : QWidget(parent), journal_(journal) {
    setObjectName(QStringLiteral("PointingPage"));
    auto* aim = new QGroupBox(QStringLiteral("Target"), this);
    auto* aimForm = new QFormLayout(aim);
    PreciseBox = settings_page::AddCheckBox(aimForm, "PreciseBox", "Precise pointing",
                                            "The apparent topocentric position to 0.01\u00B0, from the station's "
                                            "exact place; off: whole degrees from the locator's corner");
    TargetBox = new QComboBox(aim);
    TargetBox->setObjectName(QStringLiteral("TargetBox"));
    for (const std::string& body : Targets::BodyNames()) TargetBox->addItem(QString::fromStdString(body));
    aimForm->addRow(QStringLiteral("Target"), TargetBox);
    RefractionBox = settings_page::AddCheckBox(aimForm, "RefractionBox", "Refraction",
                                               "In precise mode, raise the target by the atmosphere's refraction");
    TemperatureEdit = settings_page::AddEdit(aimForm, "TemperatureEdit", "Temperature (\u00B0C)", "10");
    PressureEdit = settings_page::AddEdit(aimForm, "PressureEdit", "Pressure (hPa)", "1010");

    auto* place = new QGroupBox(QStringLiteral("Station (precise mode)"), this);
    auto* placeForm = new QFormLayout(place);
    LatitudeEdit = settings_page::AddEdit(placeForm, "LatitudeEdit", "Latitude (\u00B0, north +)", "e.g. 52.0912");
    LongitudeEdit = settings_page::AddEdit(placeForm, "LongitudeEdit", "Longitude (\u00B0, east +)", "e.g. 4.6711");
    LocatorEdit = settings_page::AddEdit(placeForm, "LocatorEdit", "or locator (8 or 10)", "e.g. JO22IC45");
    HeightEdit = settings_page::AddEdit(placeForm, "HeightEdit", "Height (m)", "0");
    PlaceNoteLabel = new QLabel(place);
    PlaceNoteLabel->setObjectName(QStringLiteral("PlaceNoteLabel"));
    PlaceNoteLabel->setWordWrap(true);
    placeForm->addRow(PlaceNoteLabel);

    auto* groups = new QHBoxLayout;
    groups->addWidget(aim);
    groups->addWidget(place);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(groups);
    settings_page::AddApplyRow(layout, this, ApplyButton, MessageLabel);
    connect(ApplyButton, &QPushButton::clicked, this, [this] { Guarded([this] { Apply(); }); });
    layout->addStretch(1);
    Load();
}

void TPointingPage::Load() {
    const std::string file = Unit3::SettingsFileFor(Unit3::ExecutablePath);
    const PointingSettings::Settings settings = PointingSettings::Read(file);
    const PointingSettings::Texts texts = PointingSettings::ReadTexts(file);
    PreciseBox->setChecked(settings.precise);
    TargetBox->setCurrentText(QString::fromStdString(Targets::Name(settings.target)));
    RefractionBox->setChecked(settings.atmosphere.refraction);
    // The file's own texts, so that an entry it cannot use shows as it is and is refused on Apply.
    LatitudeEdit->setText(core_text::ToQt(texts.latitude));
    LongitudeEdit->setText(core_text::ToQt(texts.longitude));
    LocatorEdit->setText(core_text::ToQt(texts.locator));
    HeightEdit->setText(core_text::ToQt(texts.height));
    TemperatureEdit->setText(core_text::ToQt(texts.temperature));
    PressureEdit->setText(core_text::ToQt(texts.pressure));
    ShowPlaceNote();
}

void TPointingPage::ShowPlaceNote() {
    const PointingSettings::Settings settings = PointingSettings::Read(Unit3::SettingsFileFor(Unit3::ExecutablePath));
    const std::string note = PointingSettings::PlaceAgainstLocator(settings, Unit3::Locator);
    PlaceNoteLabel->setText(
        note.empty() ? QString() : QStringLiteral("The exact place lies ") + QString::fromStdString(note) + u'.');
    PlaceNoteLabel->setVisible(!note.empty());
}

void TPointingPage::showEvent(QShowEvent* event) {
    ShowPlaceNote();
    QWidget::showEvent(event);
}

PointingSettings::Texts TPointingPage::Entered() const {
    PointingSettings::Texts texts;
    texts.precise.assign(1, PreciseBox->isChecked() ? '1' : '0');
    texts.target = core_text::ToCore(TargetBox->currentText());
    texts.latitude = core_text::ToCore(LatitudeEdit->text().trimmed());
    texts.longitude = core_text::ToCore(LongitudeEdit->text().trimmed());
    texts.locator = core_text::ToCore(LocatorEdit->text().trimmed());
    texts.height = core_text::ToCore(HeightEdit->text().trimmed());
    texts.refraction.assign(1, RefractionBox->isChecked() ? '1' : '0');
    texts.temperature = core_text::ToCore(TemperatureEdit->text().trimmed());
    texts.pressure = core_text::ToCore(PressureEdit->text().trimmed());
    return texts;
}

bool TPointingPage::Apply() {
    const PointingSettings::Texts texts = Entered();
    const std::string problem = PointingSettings::Problem(texts);
    if (!problem.empty()) return settings_page::Refuse(MessageLabel, problem);
    const std::string file = Unit3::SettingsFileFor(Unit3::ExecutablePath);
    const PointingSettings::Texts before = PointingSettings::ReadTexts(file);
    std::string failure;
    try {
        PointingSettings::Write(file, texts);
    } catch (const EIniWriteError& error) {
        failure = error.what();
    }
    // Whatever reached the file is in force from the next update, so it is journalled either way.
    const PointingSettings::Texts after = PointingSettings::ReadTexts(file);
    Station::NoteChanges(journal_, PointingSettings::KeyTexts(before), PointingSettings::KeyTexts(after));
    if (!failure.empty()) return settings_page::RefuseWrite(MessageLabel, failure);
    Load();
    settings_page::Accept(MessageLabel, before != after);
    emit Applied();
    return true;
}
