// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

#include "Journal.h"
#include "LinkSettings.h"
#include "WsjtxSettings.h"

class AzelFile;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QVBoxLayout;
class RotctldServer;
class WsjtxListener;
namespace StationLink {
class StationRotators;
}

// The station window's Links page: what Lunark shares with the station's other programs, one
// section each. The rotctld-compatible server ([Server]: on or off, port, address, whether a client
// may end the tracking) with what it is doing now, azel.dat ([Link] AzelFile), and the weak-signal
// program's messages ([WSJT]) with what was last heard. "Apply" checks the entries, writes the
// sections, journals what changed and puts them in force at once.
class TLinksPage : public QWidget {
    Q_OBJECT
public:
    // journal: where the settings changed and the links' troubles are told; it outlives the page.
    TLinksPage(RotctldServer& server, StationLink::StationRotators& rotators, AzelFile& azel, WsjtxListener& wsjtx,
               Journal::Journal& journal, QWidget* parent = nullptr);

    // Adds a section below the others (another program's link).
    void AddSection(const QString& title, QWidget* content);

    // Shows the settings of the file and puts them in force.
    void Load();
    // Checks, writes and puts in force the entries; false (with the reason shown) when refused.
    bool Apply();
    // Brings the status lines up to date; the station window calls it every second.
    void Refresh();

    QCheckBox* ServerEnabledBox = nullptr;
    QLineEdit* PortEdit = nullptr;
    QLineEdit* AddressEdit = nullptr;
    QComboBox* CommandsBox = nullptr;  // refuse, follow
    QLabel* ServerStatusLabel = nullptr;
    QLabel* ServerWarningLabel = nullptr;  // listening beyond this computer
    QLineEdit* AzelFileEdit = nullptr;
    QLabel* AzelStatusLabel = nullptr;
    QCheckBox* WsjtxEnabledBox = nullptr;
    QLineEdit* WsjtxAddressEdit = nullptr;
    QLineEdit* WsjtxPortEdit = nullptr;
    QLabel* WsjtxStatusLabel = nullptr;  // the program's id, its last status and age, malformed datagrams
    QPushButton* ApplyButton = nullptr;
    QLabel* MessageLabel = nullptr;

private:
    LinkSettings::KeyTexts Entered() const;
    void Show(const LinkSettings::Settings& settings);
    void ShowWsjtx(const WsjtxSettings::Settings& settings);
    void UseWsjtx(const WsjtxSettings::Settings& settings);
    QString WsjtxStatusText() const;
    // Listens or stops, and writes azel.dat or not, as the settings say.
    void Use(const LinkSettings::Settings& settings);

    RotctldServer& server_;
    StationLink::StationRotators& rotators_;
    AzelFile& azel_;
    WsjtxListener& wsjtx_;
    Journal::Journal& journal_;
    QVBoxLayout* sections_ = nullptr;
    LinkSettings::Settings inForce_;
    WsjtxSettings::Settings wsjtxInForce_;
    QString wsjtxProblem_;  // why the listener does not listen
};
