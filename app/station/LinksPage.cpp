// SPDX-License-Identifier: GPL-3.0-or-later
#include "LinksPage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "AzelFile.h"
#include "CoreText.h"
#include "EventGuard.h"
#include "IniFile.h"
#include "Journal.h"
#include "RotctldServer.h"
#include "SettingsPage.h"
#include "Station.h"
#include "StationRotators.h"
#include "Unit3.h"

namespace {

// The choices in the order of the list.
constexpr LinkSettings::Commands kCommandChoices[] = {LinkSettings::Commands::kRefuse, LinkSettings::Commands::kFollow};

QLabel* StatusLabel(QWidget* parent, const char* name) {
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

std::string SettingsFile() {
    return Unit3::SettingsFileFor(Unit3::ExecutablePath);
}

}  // namespace

TLinksPage::TLinksPage(RotctldServer& server, StationLink::StationRotators& rotators, AzelFile& azel, QWidget* parent)
    : QWidget(parent), server_(server), rotators_(rotators), azel_(azel) {
    setObjectName(QStringLiteral("LinksPage"));
    auto* layout = new QVBoxLayout(this);
    sections_ = new QVBoxLayout;
    layout->addLayout(sections_);

    auto* serverSection = new QWidget(this);
    auto* serverForm = new QFormLayout(serverSection);
    ServerEnabledBox = settings_page::AddCheckBox(serverForm, "ServerEnabledBox", "Enabled",
                                                  "Other programs reach the rotators as they reach Hamlib's rotctld");
    PortEdit = settings_page::AddEdit(serverForm, "PortEdit", "Port", "4535");
    AddressEdit = settings_page::AddEdit(serverForm, "AddressEdit", "Address", "127.0.0.1: this computer only");
    CommandsBox = new QComboBox(serverSection);
    CommandsBox->setObjectName(QStringLiteral("CommandsBox"));
    for (const LinkSettings::Commands commands : kCommandChoices) {
        CommandsBox->addItem(QString::fromLatin1(LinkSettings::CommandsText(commands)));
    }
    CommandsBox->setToolTip(
        QStringLiteral("refuse: a client moves the rotators only while Lunark does not track; "
                       "follow: a client's position ends the tracking"));
    serverForm->addRow(QStringLiteral("Commands"), CommandsBox);
    ServerStatusLabel = StatusLabel(serverSection, "ServerStatusLabel");
    serverForm->addRow(QStringLiteral("Now"), ServerStatusLabel);
    ServerWarningLabel = StatusLabel(serverSection, "ServerWarningLabel");
    ServerWarningLabel->setStyleSheet(QStringLiteral("color: #b00000"));
    serverForm->addRow(QString(), ServerWarningLabel);
    AddSection(QStringLiteral("rotctld server"), serverSection);

    auto* azelSection = new QWidget(this);
    auto* azelForm = new QFormLayout(azelSection);
    AzelFileEdit = settings_page::AddEdit(azelForm, "AzelFileEdit", "File", "empty: not written");
    AzelStatusLabel = StatusLabel(azelSection, "AzelStatusLabel");
    azelForm->addRow(QStringLiteral("Now"), AzelStatusLabel);
    AddSection(QStringLiteral("azel.dat"), azelSection);

    settings_page::AddApplyRow(layout, this, ApplyButton, MessageLabel);
    layout->addStretch(1);
    connect(ApplyButton, &QPushButton::clicked, this, [this] { Guarded([this] { Apply(); }); });
    connect(&server_, &RotctldServer::ClientsChanged, this, [this] { Guarded([this] { Refresh(); }); });
    Load();
}

void TLinksPage::AddSection(const QString& title, QWidget* content) {
    auto* group = new QGroupBox(title, this);
    auto* groupLayout = new QVBoxLayout(group);
    groupLayout->addWidget(content);
    sections_->addWidget(group);
}

void TLinksPage::Show(const LinkSettings::Settings& settings) {
    ServerEnabledBox->setChecked(settings.serverEnabled);
    PortEdit->setText(QString::number(settings.port));
    AddressEdit->setText(QString::fromStdString(settings.address));
    CommandsBox->setCurrentIndex(settings.commands == LinkSettings::Commands::kFollow ? 1 : 0);
    AzelFileEdit->setText(QString::fromStdString(settings.azelFile));
}

void TLinksPage::Load() {
    const LinkSettings::Settings settings = LinkSettings::Load(SettingsFile());
    Show(settings);
    Use(settings);
}

LinkSettings::KeyTexts TLinksPage::Entered() const {
    const auto commands = kCommandChoices[std::max(CommandsBox->currentIndex(), 0)];
    return {{"Enabled", ServerEnabledBox->isChecked() ? "1" : "0"},
            {"Port", core_text::ToCore(PortEdit->text())},
            {"Address", core_text::ToCore(AddressEdit->text())},
            {"Commands", LinkSettings::CommandsText(commands)},
            {"AzelFile", core_text::ToCore(AzelFileEdit->text())}};
}

bool TLinksPage::Apply() {
    std::string problem;
    const std::optional<LinkSettings::Settings> entered = LinkSettings::FromTexts(Entered(), problem);
    if (!entered) return settings_page::Refuse(MessageLabel, problem);
    const std::string file = SettingsFile();
    if (entered->serverEnabled) {
        if (const std::string busy = LinkSettings::PortProblem(file, entered->port); !busy.empty()) {
            return settings_page::Refuse(MessageLabel, busy);
        }
    }
    const LinkSettings::Settings before = LinkSettings::Load(file);
    try {
        LinkSettings::Save(file, *entered);
    } catch (const EIniWriteError& error) {
        return settings_page::RefuseWrite(MessageLabel, error.what());
    }
    const LinkSettings::Settings after = LinkSettings::Load(file);
    Station::NoteChanges(LinkSettings::Texts(before), LinkSettings::Texts(after));
    Show(after);
    Use(after);
    settings_page::Accept(MessageLabel, before != after);
    return true;
}

void TLinksPage::Use(const LinkSettings::Settings& settings) {
    rotators_.SetCommands(settings.commands);
    const bool serverChanged = settings.serverEnabled != inForce_.serverEnabled || settings.port != inForce_.port ||
                               settings.address != inForce_.address ||
                               (settings.serverEnabled && !server_.IsListening());
    if (serverChanged) {
        server_.Close();
        if (settings.serverEnabled) {
            const std::string busy = LinkSettings::PortProblem(SettingsFile(), settings.port);
            if (busy.empty()) {
                server_.Listen(QString::fromStdString(settings.address), static_cast<quint16>(settings.port));
            } else {
                Journal::Add("Server: not started: " + busy);
            }
        }
    }
    azel_.SetPath(settings.azelFile);
    inForce_ = settings;
    Refresh();
}

void TLinksPage::Refresh() {
    QString status;
    if (!inForce_.serverEnabled) {
        status = QStringLiteral("off");
    } else if (server_.IsListening()) {
        const int clients = server_.ClientCount();
        status = QStringLiteral("listening on %1 port %2, %3 client%4, commands: %5")
                     .arg(QString::fromStdString(inForce_.address))
                     .arg(server_.Port())
                     .arg(clients)
                     .arg(clients == 1 ? QString() : QStringLiteral("s"))
                     .arg(QString::fromLatin1(LinkSettings::CommandsText(inForce_.commands)));
    } else {
        const std::string busy = LinkSettings::PortProblem(SettingsFile(), inForce_.port);
        status = QStringLiteral("not listening: ") + QString::fromStdString(busy.empty() ? server_.Problem() : busy);
    }
    ServerStatusLabel->setText(status);
    const bool exposed = server_.IsListening() && !LinkSettings::IsLocalOnly(inForce_.address);
    ServerWarningLabel->setText(exposed ? QStringLiteral("Warning: %1 lets other computers of the network turn the "
                                                         "antenna; the protocol has no password.")
                                              .arg(QString::fromStdString(inForce_.address))
                                        : QString());
    ServerWarningLabel->setVisible(exposed);
    if (azel_.Path().empty()) {
        AzelStatusLabel->setText(QStringLiteral("off"));
    } else if (!azel_.Problem().empty()) {
        AzelStatusLabel->setText(QStringLiteral("not written: ") + QString::fromStdString(azel_.Problem()));
    } else {
        AzelStatusLabel->setText(QStringLiteral("written every second to ") + QString::fromStdString(azel_.Path()));
    }
}
