// Dialog units, the measure of dialog templates: a quarter of the dialog
// font's average character width across, an eighth of its height down.
#pragma once

#include <QFont>
#include <QRect>

namespace zd::ui {

struct DialogBaseUnits {
    int width;  // average character width in pixels
    int height; // character height in pixels
};

// The base units of a font, measured as Windows measures a dialog's font:
// the width of the 52 Latin letters, halved per letter and rounded.
DialogBaseUnits BaseUnitsOf(const QFont& font);

// A rectangle in dialog units, in pixels: position and size each scaled
// and rounded to nearest, as a dialog places its controls.
QRect DialogUnitsToPixels(const QRect& units, DialogBaseUnits base);

} // namespace zd::ui
