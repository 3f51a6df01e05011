#include "print/sheet_printer.h"

#include <QFontMetrics>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QSaveFile>
#include <algorithm>

#include "toolkit/fonts.h"
#include "toolkit/text_conversion.h"

namespace patchlens {

namespace {

QColor ToQColor(SheetColour colour) {
    return {colour.red, colour.green, colour.blue};
}

// The sheet's extent in its units: the right and bottom edges of its boxes and texts.
QSizeF SheetExtent(const PatchSheet &sheet) {
    double right = kSheetRight, bottom = kBlocksTop;
    for (const SheetBox &box : sheet.boxes) {
        right = std::max<double>(right, box.right);
        bottom = std::max<double>(bottom, box.bottom);
    }
    for (const SheetText &text : sheet.texts) {
        const QFontMetricsF metrics(SheetTextFont(text));
        right = std::max(right, text.x + metrics.horizontalAdvance(ToQString(text.text)));
        bottom = std::max(bottom, text.y + metrics.height());
    }
    return {right, bottom};
}

} // namespace

QFont SheetTextFont(const SheetText &text) {
    Fonts(); // the face substitutes for "Courier New"
    QFont result;
    result.setStyleStrategy(QFont::PreferNoShaping); // "fi" stays two letters, as in the panels
    if (text.font == SheetFont::Location) {
        result.setFamily(QStringLiteral("Courier New"));
        result.setStyleHint(QFont::TypeWriter);
        result.setWeight(QFont::Bold);
        result.setPixelSize(text.height > 0 ? text.height : LocationFontHeight(kSheetDpi));
    } else {
        result.setWeight(QFont::Normal);
        result.setPixelSize(kSheetFontHeight);
    }
    return result;
}

void PaintSheet(QPainter &painter, const PatchSheet &sheet, double unitsToDevice) {
    Fonts(); // the face substitutes for "Courier New"
    painter.save();
    painter.scale(unitsToDevice, unitsToDevice);
    for (const SheetText &text : sheet.texts) {
        const QFont font = SheetTextFont(text);
        painter.setFont(font);
        const QString shown = ToQString(text.text);
        const QFontMetrics metrics(font, painter.device());
        // The text's cell is filled with its background, as an opaque text output does.
        const QRect cell(text.x, text.y, metrics.horizontalAdvance(shown), metrics.height());
        if (!shown.isEmpty())
            painter.fillRect(cell, ToQColor(text.background));
        painter.setPen(ToQColor(text.colour));
        painter.drawText(QPoint(text.x, text.y + metrics.ascent()), shown);
    }
    QPen outline(Qt::black);
    outline.setCosmetic(true); // one device pixel wide at any scale
    outline.setWidth(0);
    painter.setPen(outline);
    painter.setBrush(Qt::NoBrush);
    for (const SheetBox &box : sheet.boxes)
        painter.drawRect(QRect(QPoint(box.left, box.top), QPoint(box.right - 1, box.bottom - 1)));
    painter.restore();
}

bool PrintSheet(QPrinter &printer, const PatchSheet &sheet) {
    printer.setDocName(ToQString(kSheetDocumentName));
    QPainter painter;
    if (!painter.begin(&printer))
        return false;
    // The sheet's own size on paper, unless the paper the user chose (portrait, a small size) is
    // too small for it: then it shrinks to fit, never cut.
    const QSizeF extent = SheetExtent(sheet);
    const QRectF printable = printer.pageRect(QPrinter::DevicePixel);
    const double scale = std::min({static_cast<double>(printer.resolution()) / kSheetDpi,
                                   printable.width() / extent.width(), printable.height() / extent.height()});
    PaintSheet(painter, sheet, scale);
    return painter.end();
}

std::string WriteSheetPdf(const QString &path, const QString &title, std::size_t pageCount,
                          const std::function<PatchSheet(std::size_t)> &pageAt) {
    if (pageCount == 0)
        return "no page to write";
    // The pages go to a temporary file beside the PDF, renamed over it once written whole: until
    // then an earlier file of that name stays as it was, and a failed write leaves nothing behind.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString().toStdString();
    {
        QPdfWriter writer(&file);
        writer.setTitle(title);
        writer.setCreator(QStringLiteral("Patchlens 1.21"));
        writer.setResolution(kSheetDpi);
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape,
                                         QMarginsF(6.35, 6.35, 6.35, 6.35), QPageLayout::Millimeter));
        QPainter painter;
        if (!painter.begin(&writer))
            return "cannot write the PDF";
        const double scale = static_cast<double>(writer.resolution()) / kSheetDpi;
        for (std::size_t page = 0; page < pageCount; ++page) {
            if (page > 0 && !writer.newPage())
                return "cannot write the PDF";
            PaintSheet(painter, pageAt(page), scale);
        }
        if (!painter.end())
            return "cannot write the PDF";
    }
    if (!file.commit())
        return file.errorString().toStdString();
    return {};
}

} // namespace patchlens
