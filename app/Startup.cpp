#include "Startup.h"

#include <QApplication>
#include <filesystem>

#include "EventGuard.h"
#include "Fonts.h"
#include "FormStyle.h"
#include "MessageBoxes.h"
#include "Messages.h"
#include "TimerEx.h"
#include "Unit3.h"

namespace startup {

void StartModules(const char* argv0) {
    std::error_code error;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", error);
    Unit3::ExecutablePath = Unit3::SettingsExecutablePath(error ? std::string(argv0) : self.string());
}

void InitialiseApplication() {
    QApplication::setApplicationName(QStringLiteral("lunark"));
    QApplication::setWindowIcon(form_style::ProgramIcon());
    fonts::RegisterSubstitutes();
    // The program's own messages appear in the plain box; errors of the picture's timer handlers
    // in the stop box, like those of every other event handler.
    Messages::SetMessageHandler(
        [](const std::string& text) { message_boxes::ShowPlain(message_boxes::TextFromCore(text)); });
    TTimerEx::SetApplicationExceptionHandler(
        [](QObject*, std::exception_ptr error) { Guarded([&] { std::rethrow_exception(error); }); });
}

ProgramWindows::~ProgramWindows() {
    if (form4 && Unit4::Form4 == form4.get()) Unit4::Form4 = nullptr;
    if (form1 && Unit1::Form1 == form1.get()) Unit1::Form1 = nullptr;
}

ProgramWindows CreateWindows() {
    ProgramWindows windows;
    windows.form1 = std::make_unique<TForm1>();
    Unit1::Form1 = windows.form1.get();
    [[maybe_unused]] TDataModule3 dataModule3;  // groups the settings routines; holds no state
    windows.form4 = std::make_unique<TForm4>();
    Unit4::Form4 = windows.form4.get();
    return windows;
}

}  // namespace startup
