// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <string>
#include <string_view>

// Text crossing between the core and Qt. The core keeps texts as Windows-1252 bytes (protocol
// names, locators, messages) and file paths as the system gives them (UTF-8); Qt speaks Unicode.
// The two are never guessed from the bytes: a settings value that happens to be valid UTF-8 is
// still Windows-1252, so that the user sees why it does not match.
namespace core_text {

// Windows-1252 text from the core.
QString ToQt(std::string_view bytes);

// A file path as the system gives it, or a message carrying one, shown as UTF-8 (bytes that are
// not UTF-8 show as replacement characters).
QString PathToQt(std::string_view bytes);

// Text for the core in Windows-1252; characters it cannot represent become "?".
std::string ToCore(const QString& text);

}  // namespace core_text
