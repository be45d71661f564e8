// Lunark: keeps an EME station's antenna on the Moon.
#include <QApplication>
#include <filesystem>
#include <memory>

#include "Fonts.h"
#include "FormStyle.h"
#include "MessageBoxes.h"
#include "Unit1.h"
#include "Unit3.h"
#include "Unit4.h"

int main(int argc, char* argv[]) {
    // Module start-up: the settings live beside this executable, or in the user's configuration
    // folder when that is not writable (an installed copy).
    std::error_code error;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", error);
    Unit3::ExecutablePath = Unit3::SettingsExecutablePath(error ? std::string(argv[0]) : self.string());

    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("lunark"));
    QApplication::setApplicationDisplayName(QString::fromLatin1(message_boxes::kApplicationTitle));
    QApplication::setWindowIcon(form_style::ProgramIcon());
    fonts::RegisterSubstitutes();

    auto form1 = std::make_unique<TForm1>();
    Unit1::Form1 = form1.get();
    [[maybe_unused]] TDataModule3 dataModule3;  // groups the settings routines; holds no state
    auto form4 = std::make_unique<TForm4>();
    Unit4::Form4 = form4.get();

    form1->show();
    const int exitCode = QApplication::exec();
    Unit4::Form4 = nullptr;
    return exitCode;
}
