// SPDX-License-Identifier: GPL-3.0-or-later
// Lunark: keeps an EME station's antenna on the Moon.
#include <QApplication>

#include "Startup.h"

int main(int argc, char* argv[]) {
    startup::StartModules(argv[0]);
    QApplication application(argc, argv);
    startup::InitialiseApplication();
    const startup::ProgramWindows windows = startup::CreateWindows();
    windows.form1->show();
    return QApplication::exec();
}
