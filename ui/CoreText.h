#pragma once

#include <QString>
#include <string>
#include <string_view>

// Text crossing between the core and Qt. The core keeps texts as Windows-1252 bytes (protocol
// names, locators, messages) and file paths as the system gives them (UTF-8); Qt speaks Unicode.
namespace core_text {

// Text from the core: UTF-8 when the bytes are valid UTF-8, Windows-1252 otherwise.
QString ToQt(std::string_view bytes);

// Text for the core in Windows-1252; characters it cannot represent become "?".
std::string ToCore(const QString& text);

}  // namespace core_text
