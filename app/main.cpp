// Lunark: keeps an EME station's antenna on the Moon.
#include <QApplication>

#include "MessageBoxes.h"
#include "Messages.h"
#include "Startup.h"
#include "Win1252.h"

int main(int argc, char* argv[]) {
    startup::StartModules(argv[0]);
    QApplication application(argc, argv);
    startup::InitialiseApplication();
    Messages::SetMessageHandler(
        [](const std::string& text) { message_boxes::ShowPlain(QString::fromStdString(win1252::ToUtf8(text))); });
    const startup::ProgramWindows windows = startup::CreateWindows();
    windows.form1->show();
    return QApplication::exec();
}
