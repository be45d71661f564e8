// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QIcon>
#include <QSize>

class QWidget;

// What the program's two windows have in common: a single fixed border with the system menu and
// the minimise button only, the program's font and the program's icon.
namespace form_style {

// Makes window a fixed-size top-level window whose client area is clientSize.
void ApplyFixedBorder(QWidget* window, QSize clientSize);

// The program's icon: the Moon above a dish, 93 × 125 pixels, drawn by the program itself. The image
// can be drawn larger or smaller (scale 2 gives 186 × 250) for desktop menus.
constexpr int kIconWidth = 93;
constexpr int kIconHeight = 125;
QIcon ProgramIcon();
QImage ProgramIconImage(qreal scale = 1.0);

// Hints appear pauseMs after the mouse comes to rest. How long one stays up is set on the control
// that carries it (QWidget::setToolTipDuration).
void SetHintPause(int pauseMs);

}  // namespace form_style
