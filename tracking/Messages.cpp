// SPDX-License-Identifier: GPL-3.0-or-later
#include "Messages.h"

#include <cstdio>
#include <utility>

namespace Messages {

namespace {

void PrintToStandardError(const std::string& win1252Text) {
    std::fwrite(win1252Text.data(), 1, win1252Text.size(), stderr);
    std::fputc('\n', stderr);
}

MessageHandler& InstalledHandler() {
    static MessageHandler handler = PrintToStandardError;
    return handler;
}

}  // namespace

void ShowMessage(const std::string& win1252Text) {
    // A copy, so that a handler may replace itself while it runs (a nested event loop can).
    const MessageHandler handler = InstalledHandler();
    handler(win1252Text);
}

MessageHandler SetMessageHandler(MessageHandler handler) {
    if (!handler) handler = PrintToStandardError;
    return std::exchange(InstalledHandler(), std::move(handler));
}

}  // namespace Messages
