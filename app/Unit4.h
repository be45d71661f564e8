// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
class QListWidget;

// The setup window: the locator, the tracking interval and, for each axis, the protocol, the port
// number and the offset. It fills its fields once when created; closing it puts them into force
// and writes the settings file. Not modal.
class TForm4 : public QWidget {
    Q_OBJECT
public:
    static constexpr int kClientWidth = 244;
    static constexpr int kClientHeight = 346;
    static constexpr int kDesignLeft = 219;
    static constexpr int kDesignTop = 177;

    explicit TForm4(QWidget* parent = nullptr);

    // Controls, in creation order.
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label6 = nullptr;
    QLabel* Label7 = nullptr;
    QLabel* Label8 = nullptr;  // chosen azimuth protocol
    QLabel* Label9 = nullptr;  // chosen elevation protocol
    QLabel* Label10 = nullptr;
    QLabel* Label11 = nullptr;
    QLineEdit* Edit1 = nullptr;       // locator
    QLineEdit* Edit2 = nullptr;       // azimuth port number
    QLineEdit* Edit3 = nullptr;       // azimuth offset
    QLineEdit* Edit4 = nullptr;       // elevation port number
    QListWidget* ListBox1 = nullptr;  // azimuth protocols
    QListWidget* ListBox2 = nullptr;  // elevation protocols
    QLineEdit* Edit5 = nullptr;       // elevation offset
    QLineEdit* Edit6 = nullptr;       // tracking interval, minutes

    // Event handlers.
    void FormCreate();
    void ListBox1Click();
    void ListBox2Click();
    // Takes the fields over into the settings and writes the settings file; false when a field
    // is not a valid integer or the file cannot be written (the window then stays open).
    bool FormClose();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void CreateControls();
};

namespace Unit4 {
extern TForm4* Form4;
}
