// The system's default GUI font, which the pages' standard controls and the
// confirmation dialog use: 8 points of the dialog face; and fonts made from
// it the way a font description with a positive height makes them.
#pragma once

#include <QFont>

namespace zd::ui {

// Tahoma, the face behind "MS Shell Dlg"; where it is missing, a condensed
// face of the same average width and height (6 and 13 pixels at 96 dpi), so
// the pages' fixed layouts still hold their texts.
QFont DefaultGuiFont();

// The font at the largest size whose character cell (ascent and descent) is
// at most the given height in pixels: what a positive font height asks for.
QFont WithCellHeight(QFont font, int pixels);

} // namespace zd::ui
