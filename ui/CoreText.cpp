// SPDX-License-Identifier: GPL-3.0-or-later
#include "CoreText.h"

#include <QByteArray>

#include "Win1252.h"

namespace core_text {

QString ToQt(std::string_view bytes) {
    return QString::fromStdString(win1252::ToUtf8(bytes));
}

QString PathToQt(std::string_view bytes) {
    return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

std::string ToCore(const QString& text) {
    std::string out;
    out.reserve(static_cast<std::size_t>(text.size()));
    for (const QChar c : text) {
        const QByteArray utf8 = QString(c).toUtf8();
        const auto byte = win1252::FromUtf8(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
        out += byte ? *byte : std::string("?");
    }
    return out;
}

}  // namespace core_text
