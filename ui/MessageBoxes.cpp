#include "MessageBoxes.h"

#include <QApplication>
#include <QMessageBox>

#include "Win1252.h"

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

QString TextFromCore(std::string_view bytes) {
    const QByteArray raw(bytes.data(), static_cast<qsizetype>(bytes.size()));
    const QString asUtf8 = QString::fromUtf8(raw);
    if (asUtf8.toUtf8() == raw) return asUtf8;  // only valid UTF-8 survives the round trip
    return QString::fromStdString(win1252::ToUtf8(bytes));
}

std::string TextForCore(const QString& text) {
    std::string out;
    out.reserve(static_cast<std::size_t>(text.size()));
    for (const QChar c : text) {
        const QByteArray utf8 = QString(c).toUtf8();
        const auto byte = win1252::FromUtf8(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
        out += byte ? *byte : std::string("?");
    }
    return out;
}

}  // namespace message_boxes
