#pragma once
// The fonts of the windows. Heights are cell heights in pixels (ascent plus descent), as the
// device's software gave them; each font is sized so that its line height is that many pixels.
// "Courier" and "Courier New" resolve to metric-compatible faces (Liberation Mono) where the
// originals are missing.

#include <QFont>

namespace patchlens {

struct UiFonts {
    QFont caption;  // "Courier", 14: module lamps, the library caption
    QFont name;     // "Courier New", 24: the patch name field
    QFont control;  // "Courier New", 16: panel lists, the number field, library and search lists
    QFont standard; // the controls' default font: buttons, labels, the patch list
};

// Built once; needs a QGuiApplication.
const UiFonts &Fonts();

// A font of the family whose line height is exactly (or at most) `cellHeight` pixels.
QFont FontWithCellHeight(const QString &family, int cellHeight);

} // namespace patchlens
