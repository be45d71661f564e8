// SPDX-License-Identifier: GPL-3.0-or-later
#include "Fonts.h"

#include <QStringList>

namespace fonts {

void RegisterSubstitutes() {
    const QStringList sans = {"DejaVu Sans", "Liberation Sans", "Sans Serif"};
    const QStringList mono = {"DejaVu Sans Mono", "Liberation Mono", "Monospace"};
    QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"), sans);
    QFont::insertSubstitutions(QStringLiteral("Fixedsys"), mono);
}

QFont WindowFont() {
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPixelSize(11);
    return font;
}

QFont FixedsysFont() {
    QFont font(QStringLiteral("Fixedsys"));
    font.setPixelSize(11);
    font.setStyleHint(QFont::TypeWriter);
    return font;
}

}  // namespace fonts
