// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>
#include <string>
#include <vector>

#include "Journal.h"
#include "SerialDevices.h"

class QComboBox;
class QFormLayout;
class QLabel;
class QPushButton;
class QTableWidget;

// The station window's Ports page: each COM port an axis sends on, with the device it maps to now
// ("absent" when that device is not there), and the serial adapters plugged in, by their lasting
// names in /dev/serial/by-id/ and by-path/ and the kernel's name of the moment. Choosing an adapter
// for a port and "Apply" writes that port's line of [Ports], and only the lines that change.
class TPortsPage : public QWidget {
    Q_OBJECT
public:
    // journal: where the settings changed are told; it outlives the page.
    explicit TPortsPage(Journal::Journal& journal, QWidget* parent = nullptr);

    // Reads the ports in use and the devices present again; the station window calls it every
    // second. The choices are kept while neither changed.
    void Refresh();
    // Writes the chosen devices; false (with the reason shown) when the file cannot be written.
    bool Apply();

    // Ports in use, in order: "COM1"; their choice boxes and what each maps to now.
    std::vector<std::string> Ports;
    std::vector<QComboBox*> DeviceBoxes;
    std::vector<QLabel*> MappingLabels;
    QTableWidget* DeviceTable = nullptr;  // by id, by path, now
    QPushButton* ApplyButton = nullptr;
    QLabel* MessageLabel = nullptr;

signals:
    void Applied();

private:
    void Rebuild();

    QFormLayout* portsForm_ = nullptr;
    std::vector<SerialDevices::Device> shownDevices_;
    std::vector<std::string> shownEntries_;

    Journal::Journal& journal_;
};
