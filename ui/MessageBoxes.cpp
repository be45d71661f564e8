// SPDX-License-Identifier: GPL-3.0-or-later
#include "MessageBoxes.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <map>

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
    QMessageBox box(kind == Kind::Stop ? QMessageBox::Critical : QMessageBox::NoIcon, caption, text, QMessageBox::Ok,
                    QApplication::activeWindow());
    box.exec();
}

// The boxes shown without waiting that are open now, by their message, with their counts.
struct OpenBox {
    QPointer<QMessageBox> box;
    int count = 0;
};
std::map<QString, OpenBox>& OpenBoxes() {
    static std::map<QString, OpenBox> boxes;
    return boxes;
}

}  // namespace

void ShowPlainWithoutWaiting(QWidget* owner, const QString& text, const QString& utcTime) {
    if (const Responder& responder = CurrentResponder()) {
        responder(Kind::Plain, QString::fromLatin1(kApplicationTitle), text);
        return;
    }
    OpenBox& open = OpenBoxes()[text];
    if (open.box) {
        ++open.count;
        open.box->setText(text + u'\n' + QStringLiteral("%1 times, last at %2").arg(open.count).arg(utcTime));
        return;
    }
    auto* box =
        new QMessageBox(QMessageBox::NoIcon, QString::fromLatin1(kApplicationTitle), text, QMessageBox::Ok, owner);
    box->setWindowModality(Qt::NonModal);
    box->setAttribute(Qt::WA_DeleteOnClose);
    open = OpenBox{box, 1};
    QObject::connect(box, &QMessageBox::finished, box, [text, owner = QPointer<QWidget>(owner)] {
        OpenBoxes().erase(text);
        if (owner) {
            owner->raise();
            owner->activateWindow();
        }
    });
    box->show();
}

QString OpenPlainBoxText(const QString& text) {
    const auto found = OpenBoxes().find(text);
    if (found == OpenBoxes().end() || !found->second.box) return {};
    return found->second.box->text();
}

void SetResponder(Responder responder) {
    CurrentResponder() = std::move(responder);
}

void ShowPlain(const QString& text) {
    Show(Kind::Plain, text);
}

void ShowStop(const QString& text) {
    Show(Kind::Stop, StopBoxText(text));
}

QString StopBoxText(const QString& message) {
    if (!message.isEmpty() && message.back().unicode() > u'.') return message + u'.';
    return message;
}

}  // namespace message_boxes
