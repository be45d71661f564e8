// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <string>

// The one road by which the tracking routines tell the operator something ("Comms error - COM1",
// "Please reselect Azimuth protocol in Setup"). The core knows no windows: the program installs a
// handler that shows a plain message box and waits for it to close; the command-line tool prints;
// tests record.
namespace Messages {

// Takes one message as Windows-1252 bytes and returns when the operator has seen it.
using MessageHandler = std::function<void(const std::string& win1252Text)>;

// Hands the text to the installed handler (by default: one line on standard error).
void ShowMessage(const std::string& win1252Text);

// Installs a handler (an empty one restores the default) and gives back the one it replaces.
MessageHandler SetMessageHandler(MessageHandler handler);

}  // namespace Messages
