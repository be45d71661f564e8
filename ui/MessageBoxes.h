// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class QWidget;
#include <functional>

// The program's two kinds of message box, both modal with one OK button and the caption "Lunark":
// the plain box (no icon) for the program's own messages, and the stop box (stop icon) in which
// errors raised inside an event handler are shown. A modal box runs a nested event loop, so the
// main window's timers keep firing while it is open.
namespace message_boxes {

inline constexpr char kApplicationTitle[] = "Lunark";

enum class Kind { Plain, Stop };

// Tests answer the boxes through a responder instead of a real window; nullptr restores real boxes.
using Responder = std::function<void(Kind kind, const QString& caption, const QString& text)>;
void SetResponder(Responder responder);

void ShowPlain(const QString& text);
void ShowStop(const QString& text);

// The plain box without waiting for it: it opens and the caller goes on. At most one box per
// distinct text is open: a repeat while it is open adds a second line to it, "3 times, last at
// 06:22:00 UTC" (utcTime is the repeat's time). Closing it forgets the count and brings owner
// (the main window) back to the front. With a responder installed, every call is answered by it.
void ShowPlainWithoutWaiting(QWidget* owner, const QString& text, const QString& utcTime);

// The text of an open box counted so far, or an empty string when no box with that text is open.
QString OpenPlainBoxText(const QString& text);

// An error's text as the stop box shows it: a "." is appended when the last character's code is
// above that of ".".
QString StopBoxText(const QString& message);

}  // namespace message_boxes
