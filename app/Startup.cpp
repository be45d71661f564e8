#include "Startup.h"

#include <QApplication>

#include "CoreText.h"
#include "EventGuard.h"
#include "Fonts.h"
#include "FormStyle.h"
#include "HamlibTransport.h"
#include "MessageBoxes.h"
#include "Messages.h"
#include "TimerEx.h"
#include "Unit3.h"

namespace startup {

void StartModules(const char* argv0) {
    Unit3::ExecutablePath = Unit3::SettingsExecutablePath(Unit3::RunningExecutablePath(argv0));
}

void InitialiseApplication() {
    QApplication::setApplicationName(QStringLiteral("lunark"));
    QApplication::setWindowIcon(form_style::ProgramIcon());
    fonts::RegisterSubstitutes();
    // The program's own messages appear in the plain box; errors of the picture's timer handlers
    // in the stop box, like those of every other event handler.
    Messages::SetMessageHandler(
        [](const std::string& text) { message_boxes::ShowPlain(core_text::ToQt(text)); });
    TTimerEx::SetApplicationExceptionHandler(
        [](QObject*, std::exception_ptr error) { Guarded([&] { std::rethrow_exception(error); }); });
    DeliverHamlibResults();
}

void DeliverHamlibResults() {
    HamlibTransport::SetDelivery([](std::function<void()> work) {
        QMetaObject::invokeMethod(qApp, [work = std::move(work)] { Guarded(work); }, Qt::QueuedConnection);
    });
    QObject::connect(qApp, &QCoreApplication::aboutToQuit, [] { HamlibTransport::SetDelivery({}); });
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
