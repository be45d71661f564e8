// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFont>

// The windows name the fonts of the program's original platform; substitutes installed once at
// start-up stand in for them (a proportional sans for "MS Sans Serif", a monospace for "Fixedsys").
namespace fonts {

void RegisterSubstitutes();

// "MS Sans Serif", 11 pixels: the windows' own font.
QFont WindowFont();
// "Fixedsys", 11 pixels: the position lines and the setup window's captions.
QFont FixedsysFont();

}  // namespace fonts
