#pragma once
// The fonts of the windows. Heights are cell heights in pixels (ascent plus descent), as the
// device's software gave them; each font is sized so that its line height is that many pixels.
// "Courier" and "Courier New" resolve to metric-compatible faces (Liberation Mono) where the
// originals are missing, "MS Sans Serif" to Liberation Sans.

#include <QFont>
#include <QStringList>

namespace patchlens {

struct UiFonts {
    QFont caption; // "Courier", 14: module lamps, the library caption
    QFont name;    // "Courier New" in the patch name field's 20 pixels, descenders included
    // "Courier New" in rows of 16 pixels, at most 8 pixels a character, so that the eleven
    // characters of a panel line fit a 93-pixel panel: panel lists, the number field, library and
    // search lists
    QFont control;
    QFont standard; // the controls' default font: buttons, labels, the patch list
};

// Built once; needs a QGuiApplication.
const UiFonts &Fonts();

// A font of the family whose line height is at most `cellHeight` pixels and, when `maxAdvance` is
// given, whose characters advance at most that many pixels. Glyphs are hinted vertically only, so
// that advances keep their design width at every device pixel ratio instead of growing by rounding.
QFont FontWithCellHeight(const QString &family, int cellHeight, qreal maxAdvance = 0,
                         QFont::StyleHint hint = QFont::SansSerif);

// `family` when the system has it, else the first of `substitutes` it has, else `family` (for the
// font matching to settle). Needs a QGuiApplication.
QString InstalledFamily(const QString &family, const QStringList &substitutes);

} // namespace patchlens
