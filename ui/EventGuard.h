// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <exception>
#include <utility>

#include "CoreText.h"
#include "IniFile.h"
#include "MessageBoxes.h"

// Every event handler body runs inside Guarded: an error it raises ends the handler and is shown
// in the stop box, so that nothing unwinds through the window toolkit. Returns false when the
// body failed (a close handler then keeps its window open).
template <typename Body>
bool Guarded(Body&& body) {
    try {
        std::forward<Body>(body)();
        return true;
    } catch (const EIniWriteError& error) {
        message_boxes::ShowStop(core_text::PathToQt(error.what()));  // names the settings file
    } catch (const std::exception& error) {
        message_boxes::ShowStop(core_text::ToQt(error.what()));
    } catch (...) {
        message_boxes::ShowStop(QStringLiteral("Unexpected error"));
    }
    return false;
}
