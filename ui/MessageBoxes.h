#pragma once

#include <QString>
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

// An error's text as the stop box shows it: a "." is appended when the last character's code is
// above that of ".".
QString StopBoxText(const QString& message);

}  // namespace message_boxes
