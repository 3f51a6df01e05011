#pragma once
// Paints a patch sheet on a printer, a PDF or an image. The sheet's units are those of a 600-dpi
// page; the painter is scaled so that the page has the same size on paper at any resolution.

#include <QString>
#include <cstddef>
#include <functional>
#include <string>

#include "sheet/patch_sheet.h"

class QFont;
class QPainter;
class QPrinter;

namespace patchlens {

// The sheet font: the default face, sized (in sheet units) so that a row fits its 100-unit pitch.
inline constexpr int kSheetFontHeight = 80;

// The font a sheet text is painted in, sized in sheet units.
QFont SheetTextFont(const SheetText &text);

// Paints the sheet with `unitsToDevice` device pixels per sheet unit.
void PaintSheet(QPainter &painter, const PatchSheet &sheet, double unitsToDevice);

// Prints the sheet as one page on a printer that is set up already; false when nothing could be
// painted (no device).
bool PrintSheet(QPrinter &printer, const PatchSheet &sheet);

// Writes a PDF titled `title` of `pageCount` landscape pages, page k (from 0) as `pageAt(k)` builds
// it: one page is built and painted at a time, so that a collection of any size takes the memory
// of one page. The pages go to a temporary file in the same folder, renamed over `path` (a link's
// target) only once complete: a failed write leaves an earlier file of that name as it was, and
// no temporary file. The empty text on success, else the reason; nothing is written when
// `pageCount` is 0.
std::string WriteSheetPdf(const QString &path, const QString &title, std::size_t pageCount,
                          const std::function<PatchSheet(std::size_t)> &pageAt);

} // namespace patchlens
