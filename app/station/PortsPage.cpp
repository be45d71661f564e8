// SPDX-License-Identifier: GPL-3.0-or-later
#include "PortsPage.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <filesystem>

#include "CoreText.h"
#include "EventGuard.h"
#include "IniFile.h"
#include "Journal.h"
#include "Rotators.h"
#include "SerialTransport.h"
#include "SettingsPage.h"
#include "Unit3.h"

namespace {

QString FromCore(std::string_view text) {
    return core_text::ToQt(text);
}

// A link's own name, without its folder (the group's title names the folder).
QString FileName(const std::string& path) {
    return FromCore(std::filesystem::path(path).filename().string());
}
using Protocols::Axis;

// The COM ports the axes send on over the serial line, each once, with the axes using it.
std::vector<std::pair<std::string, std::string>> PortsInUse() {
    std::vector<std::pair<std::string, std::string>> ports;
    for (const Axis axis : {Axis::kAzimuth, Axis::kElevation}) {
        const std::string& type = axis == Axis::kAzimuth ? Unit3::AZtype : Unit3::ELtype;
        if (!Protocols::GoesOver(axis, type, Protocols::TransportKind::kSerialLine)) continue;
        const std::string port = Rotators::PortText(axis == Axis::kAzimuth ? Unit3::AZ_COM_NR : Unit3::EL_COM_NR);
        const char* name = axis == Axis::kAzimuth ? "azimuth" : "elevation";
        auto same = std::find_if(ports.begin(), ports.end(), [&port](const auto& p) { return p.first == port; });
        if (same == ports.end()) ports.emplace_back(port, name);
        else same->second += std::string(" and ") + name;
    }
    return ports;
}

}  // namespace

TPortsPage::TPortsPage(Journal::Journal& journal, QWidget* parent) : QWidget(parent), journal_(journal) {
    setObjectName(QStringLiteral("PortsPage"));
    auto* inUse = new QGroupBox(QStringLiteral("Ports in use"), this);
    portsForm_ = new QFormLayout(inUse);
    auto* present = new QGroupBox(
        FromCore("Serial devices present (" + SerialDevices::ByIdFolder() + ", " + SerialDevices::ByPathFolder() + ")"),
        this);
    auto* presentLayout = new QVBoxLayout(present);
    DeviceTable = new QTableWidget(0, 3, present);
    DeviceTable->setObjectName(QStringLiteral("DeviceTable"));
    DeviceTable->setHorizontalHeaderLabels({QStringLiteral("By id"), QStringLiteral("By path"), QStringLiteral("Now")});
    DeviceTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DeviceTable->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    DeviceTable->verticalHeader()->hide();
    presentLayout->addWidget(DeviceTable);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(inUse);
    layout->addWidget(present, 1);
    settings_page::AddApplyRow(layout, this, ApplyButton, MessageLabel);
    connect(ApplyButton, &QPushButton::clicked, this, [this] { Guarded([this] { Apply(); }); });
    Rebuild();
}

void TPortsPage::Rebuild() {
    const auto ports = PortsInUse();
    shownDevices_ = SerialDevices::List();
    shownEntries_.clear();
    while (portsForm_->rowCount() > 0) portsForm_->removeRow(0);
    Ports.clear();
    DeviceBoxes.clear();
    MappingLabels.clear();
    for (const auto& [port, axes] : ports) {
        const std::string entry = SerialTransport::PortEntry(port);
        shownEntries_.push_back(entry);
        auto* box = new QComboBox(this);
        box->setObjectName(FromCore(port) + QStringLiteral("Box"));
        const std::optional<std::string> now = SerialTransport::DevicePathFor(port);
        // The first choice keeps the port as it is.
        box->addItem(
            entry.empty() ? QStringLiteral("as now (") + FromCore(now.value_or("no device")) + u')' : FromCore(entry),
            FromCore(entry));
        for (const SerialDevices::Device& device : shownDevices_) {
            if (device.byId != entry) box->addItem(FromCore(device.byId), FromCore(device.byId));
        }
        auto* mapping = new QLabel(this);
        mapping->setObjectName(FromCore(port) + QStringLiteral("Mapping"));
        mapping->setTextInteractionFlags(Qt::TextSelectableByMouse);
        auto* row = new QVBoxLayout;
        row->addWidget(mapping);
        row->addWidget(box);
        portsForm_->addRow(FromCore(port + " (" + axes + ")"), row);
        Ports.push_back(port);
        DeviceBoxes.push_back(box);
        MappingLabels.push_back(mapping);
    }
    if (ports.empty()) portsForm_->addRow(new QLabel(QStringLiteral("No axis sends on a serial line."), this));

    DeviceTable->setRowCount(static_cast<int>(shownDevices_.size()));
    for (int row = 0; row < static_cast<int>(shownDevices_.size()); ++row) {
        const SerialDevices::Device& device = shownDevices_[static_cast<std::size_t>(row)];
        QString byPath;
        for (const std::string& path : device.byPath)
            byPath += (byPath.isEmpty() ? QString() : QStringLiteral("\n")) + FileName(path);
        DeviceTable->setItem(row, 0, new QTableWidgetItem(FileName(device.byId)));
        DeviceTable->setItem(row, 1, new QTableWidgetItem(byPath.isEmpty() ? QStringLiteral("none") : byPath));
        DeviceTable->setItem(row, 2, new QTableWidgetItem(FromCore(device.kernel)));
    }
    DeviceTable->resizeRowsToContents();
}

void TPortsPage::Refresh() {
    std::vector<std::string> entries;
    const auto ports = PortsInUse();
    bool same = ports.size() == Ports.size();
    for (std::size_t i = 0; same && i < ports.size(); ++i) {
        same = ports[i].first == Ports[i] && SerialTransport::PortEntry(Ports[i]) == shownEntries_[i];
    }
    if (!same || SerialDevices::List() != shownDevices_) Rebuild();
    for (std::size_t i = 0; i < Ports.size(); ++i) {
        const QString text =
            FromCore(SerialDevices::PortText(Ports[i], SerialTransport::DevicePathFor(Ports[i]).value_or("")));
        if (MappingLabels[i]->text() != text) MappingLabels[i]->setText(text);
    }
}

bool TPortsPage::Apply() {
    bool changed = false;
    try {
        for (std::size_t i = 0; i < Ports.size(); ++i) {
            const std::string chosen = core_text::ToCore(DeviceBoxes[i]->currentData().toString());
            const std::string before = SerialTransport::PortEntry(Ports[i]);
            if (chosen.empty() || chosen == before) continue;
            SerialTransport::WritePortEntry(Ports[i], chosen);
            journal_.Add("Settings: " + Ports[i] + " " + (before.empty() ? std::string("none") : before) + " -> " +
                         chosen);
            changed = true;
        }
    } catch (const EIniWriteError& error) {
        return settings_page::RefuseWrite(MessageLabel, error.what());
    }
    settings_page::Accept(MessageLabel, changed);
    Refresh();
    if (changed) emit Applied();
    return true;
}
