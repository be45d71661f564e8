#include "MessageBoxes.h"

#include <QApplication>
#include <QMessageBox>

namespace message_boxes {
namespace {

Responder& CurrentResponder() {
    static Responder responder;
    return responder;
}

void Show(Kind kind, const QString& text) {
    const QString caption = QString::fromLatin1(kApplicationTitle);
    if (const Responder& responder = CurrentResponder()) {
        responder(kind, caption, text);
        return;
    }
    QMessageBox box(kind == Kind::Stop ? QMessageBox::Critical : QMessageBox::NoIcon, caption, text,
                    QMessageBox::Ok, QApplication::activeWindow());
    box.exec();
}

}  // namespace

void SetResponder(Responder responder) { CurrentResponder() = std::move(responder); }

void ShowPlain(const QString& text) { Show(Kind::Plain, text); }

void ShowStop(const QString& text) { Show(Kind::Stop, StopBoxText(text)); }

QString StopBoxText(const QString& message) {
    if (!message.isEmpty() && message.back().unicode() > u'.') return message + u'.';
    return message;
}

}  // namespace message_boxes
