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
#include "WeakSignalDx.h"
#include "WsjtxListener.h"

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

TLinksPage::TLinksPage(RotctldServer& server, StationLink::StationRotators& rotators, AzelFile& azel,
                       WsjtxListener& wsjtx, Journal::Journal& journal, QWidget* parent)
    : QWidget(parent), server_(server), rotators_(rotators), azel_(azel), wsjtx_(wsjtx), journal_(journal) {
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

    auto* wsjtxSection = new QWidget(this);
    auto* wsjtxForm = new QFormLayout(wsjtxSection);
    WsjtxEnabledBox = settings_page::AddCheckBox(wsjtxForm, "WsjtxEnabledBox", "Enabled",
                                                 "The program's DX locator and T/R period lead while fresh");
    WsjtxAddressEdit = settings_page::AddEdit(wsjtxForm, "WsjtxAddressEdit", "Address",
                                              "127.0.0.1, or a multicast group such as 239.255.0.1");
    WsjtxPortEdit = settings_page::AddEdit(wsjtxForm, "WsjtxPortEdit", "Port", "2237");
    WsjtxStatusLabel = StatusLabel(wsjtxSection, "WsjtxStatusLabel");
    wsjtxForm->addRow(QStringLiteral("Now"), WsjtxStatusLabel);
    AddSection(QStringLiteral("Weak-signal program (WSJT-X UDP)"), wsjtxSection);

    settings_page::AddApplyRow(layout, this, ApplyButton, MessageLabel);
    layout->addStretch(1);
    connect(ApplyButton, &QPushButton::clicked, this, [this] { Guarded([this] { Apply(); }); });
    connect(&server_, &RotctldServer::ClientsChanged, this, [this] { Guarded([this] { Refresh(); }); });
    connect(&wsjtx_, &WsjtxListener::Changed, this, [this] { Guarded([this] { Refresh(); }); });
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

void TLinksPage::ShowWsjtx(const WsjtxSettings::Settings& settings) {
    WsjtxEnabledBox->setChecked(settings.enabled);
    WsjtxAddressEdit->setText(QString::fromStdString(settings.address));
    WsjtxPortEdit->setText(QString::number(settings.port));
}

void TLinksPage::Load() {
    const LinkSettings::Settings settings = LinkSettings::Load(SettingsFile());
    const WsjtxSettings::Settings wsjtx = WsjtxSettings::Load(SettingsFile());
    Show(settings);
    ShowWsjtx(wsjtx);
    UseWsjtx(wsjtx);
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
    const std::optional<WsjtxSettings::Settings> wsjtxEntered =
        WsjtxSettings::FromTexts({{"Enabled", WsjtxEnabledBox->isChecked() ? "1" : "0"},
                                  {"Address", core_text::ToCore(WsjtxAddressEdit->text())},
                                  {"Port", core_text::ToCore(WsjtxPortEdit->text())}},
                                 problem);
    if (!wsjtxEntered) return settings_page::Refuse(MessageLabel, problem);
    const std::string file = SettingsFile();
    if (entered->serverEnabled) {
        if (const std::string busy = LinkSettings::PortProblem(file, entered->port); !busy.empty()) {
            return settings_page::Refuse(MessageLabel, busy);
        }
    }
    const LinkSettings::Settings before = LinkSettings::Load(file);
    const WsjtxSettings::Settings wsjtxBefore = WsjtxSettings::Load(file);
    try {
        LinkSettings::Save(file, *entered);
        WsjtxSettings::Save(file, *wsjtxEntered);
    } catch (const EIniWriteError& error) {
        return settings_page::RefuseWrite(MessageLabel, error.what());
    }
    const LinkSettings::Settings after = LinkSettings::Load(file);
    const WsjtxSettings::Settings wsjtxAfter = WsjtxSettings::Load(file);
    Station::NoteChanges(journal_, LinkSettings::Texts(before), LinkSettings::Texts(after));
    Station::NoteChanges(journal_, WsjtxSettings::Texts(wsjtxBefore), WsjtxSettings::Texts(wsjtxAfter));
    Show(after);
    ShowWsjtx(wsjtxAfter);
    if (wsjtxAfter != wsjtxInForce_) UseWsjtx(wsjtxAfter);
    Use(after);
    settings_page::Accept(MessageLabel, before != after || wsjtxBefore != wsjtxAfter);
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
                journal_.Add("Server: not started: " + busy);
            }
        }
    }
    azel_.SetPath(settings.azelFile);
    inForce_ = settings;
    Refresh();
}

void TLinksPage::UseWsjtx(const WsjtxSettings::Settings& settings) {
    wsjtxProblem_.clear();
    if (!wsjtx_.Use(settings, wsjtxProblem_)) journal_.Add("WSJT: not listening: " + wsjtxProblem_.toStdString());
    wsjtxInForce_ = settings;
}

QString TLinksPage::WsjtxStatusText() const {
    if (!wsjtxInForce_.enabled) return QStringLiteral("off");
    if (!wsjtx_.Listening()) return QStringLiteral("not listening: ") + wsjtxProblem_;
    QString text = QStringLiteral("listening on %1 port %2")
                       .arg(QString::fromStdString(wsjtxInForce_.address))
                       .arg(wsjtxInForce_.port);
    if (!wsjtx_.ProgramId().isEmpty()) text += QStringLiteral("; program: ") + wsjtx_.ProgramId();
    if (const auto& status = wsjtx_.LastStatus(); status && wsjtx_.LastStatusAt()) {
        const auto age = std::chrono::duration_cast<std::chrono::seconds>(Location::Now() - *wsjtx_.LastStatusAt());
        const QString period =
            status->periodSeconds ? QStringLiteral("%1 s").arg(*status->periodSeconds) : QStringLiteral("not given");
        text += QStringLiteral("\nlast status %1 s ago: %2 %3 Hz, DX %4 %5, T/R period %6, %7")
                    .arg(age.count())
                    .arg(status->mode)
                    .arg(status->dialHz)
                    .arg(status->dxCall.isEmpty() ? QStringLiteral("none") : status->dxCall,
                         status->dxGrid.isEmpty() ? QStringLiteral("(no locator)") : status->dxGrid, period,
                         status->transmitting ? QStringLiteral("transmitting") : QStringLiteral("receiving"));
        if (age > WeakSignalDx::kFreshFor) text += QStringLiteral(" (too old to lead)");
    } else {
        text += QStringLiteral("; no status yet");
    }
    text += QStringLiteral("\n%1 datagram(s), %2 malformed").arg(wsjtx_.Received()).arg(wsjtx_.Malformed());
    return text;
}

void TLinksPage::Refresh() {
    WsjtxStatusLabel->setText(WsjtxStatusText());
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
