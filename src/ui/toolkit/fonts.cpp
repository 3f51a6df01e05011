#include "toolkit/fonts.h"

#include <QFontMetrics>
#include <QStringList>

namespace patchlens {

namespace {

void RegisterSubstitutes() {
    const QStringList monospace = {QStringLiteral("Liberation Mono"), QStringLiteral("Cousine"),
                                   QStringLiteral("Nimbus Mono PS"), QStringLiteral("DejaVu Sans Mono"),
                                   QStringLiteral("Monospace")};
    QFont::insertSubstitutions(QStringLiteral("Courier New"), monospace);
    QFont::insertSubstitutions(QStringLiteral("Courier"), monospace);
    QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"),
                               {QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"),
                                QStringLiteral("DejaVu Sans"), QStringLiteral("Sans Serif")});
}

} // namespace

QFont FontWithCellHeight(const QString &family, int cellHeight) {
    QFont font(family);
    font.setWeight(QFont::Normal);
    font.setStyleHint(family.startsWith(QStringLiteral("Courier")) ? QFont::TypeWriter : QFont::SansSerif);
    for (int pixels = cellHeight; pixels > 1; --pixels) {
        font.setPixelSize(pixels);
        if (QFontMetrics(font).height() <= cellHeight)
            break;
    }
    return font;
}

const UiFonts &Fonts() {
    static const UiFonts fonts = [] {
        RegisterSubstitutes();
        UiFonts f;
        f.caption = FontWithCellHeight(QStringLiteral("Courier"), 14);
        f.name = FontWithCellHeight(QStringLiteral("Courier New"), 24);
        f.control = FontWithCellHeight(QStringLiteral("Courier New"), 16);
        f.standard = FontWithCellHeight(QStringLiteral("MS Sans Serif"), 13);
        return f;
    }();
    return fonts;
}

} // namespace patchlens
