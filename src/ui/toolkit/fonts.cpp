#include "toolkit/fonts.h"

#include <QFontMetricsF>
#include <QStringList>
#include <algorithm>

namespace patchlens {

namespace {

void RegisterSubstitutes() {
    const QStringList monospace = {QStringLiteral("Liberation Mono"), QStringLiteral("Cousine"),
                                   QStringLiteral("Nimbus Mono PS"), QStringLiteral("DejaVu Sans Mono"),
                                   QStringLiteral("Monospace")};
    QFont::insertSubstitutions(QStringLiteral("Courier New"), monospace);
    QFont::insertSubstitutions(QStringLiteral("Courier"), monospace);
    QFont::insertSubstitutions(QStringLiteral("Microsoft Sans Serif"),
                               {QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"),
                                QStringLiteral("DejaVu Sans"), QStringLiteral("Sans Serif")});
    QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"),
                               {QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"),
                                QStringLiteral("DejaVu Sans"), QStringLiteral("Sans Serif")});
}

} // namespace

QFont FontWithCellHeight(const QString &family, int cellHeight, qreal maxAdvance) {
    QFont font(family);
    font.setWeight(QFont::Normal);
    font.setStyleHint(family.startsWith(QStringLiteral("Courier")) ? QFont::TypeWriter : QFont::SansSerif);
    font.setHintingPreference(QFont::PreferVerticalHinting);
    // The largest size up to the cell height that fits (the smallest size when none does). Every
    // size measured loads a face of its own, the dearest step of the window's start, so the search
    // starts where a face of the usual proportions fits and walks from there: heights and advances
    // grow with the size, so the size that fits while the one above it does not is the answer.
    constexpr int kSmallest = 2;
    constexpr qreal kUsualHeightPerPixel = 1.15;
    if (cellHeight < kSmallest)
        return font;
    const auto fits = [&](int pixels) {
        font.setPixelSize(pixels);
        const QFontMetricsF metrics(font);
        return metrics.height() <= cellHeight &&
               (maxAdvance <= 0 || metrics.horizontalAdvance(QLatin1Char('0')) <= maxAdvance);
    };
    int pixels = std::clamp(static_cast<int>(cellHeight / kUsualHeightPerPixel), kSmallest, cellHeight);
    if (fits(pixels)) {
        while (pixels < cellHeight && fits(pixels + 1))
            ++pixels;
    } else {
        while (pixels > kSmallest && !fits(pixels - 1))
            --pixels;
        pixels = std::max(pixels - 1, kSmallest);
    }
    font.setPixelSize(pixels);
    return font;
}

const UiFonts &Fonts() {
    static const UiFonts fonts = [] {
        RegisterSubstitutes();
        UiFonts f;
#ifdef Q_OS_WIN
        // Windows has "Courier" and "MS Sans Serif" as bitmap fonts, which the hinting chosen here
        // (and scaling) cannot draw well: their outline successors take their place.
        const QString courier = QStringLiteral("Courier New");
        const QString sansSerif = QStringLiteral("Microsoft Sans Serif");
#else
        const QString courier = QStringLiteral("Courier");
        const QString sansSerif = QStringLiteral("MS Sans Serif");
#endif
        f.caption = FontWithCellHeight(courier, 14);
        f.name = FontWithCellHeight(QStringLiteral("Courier New"), 20);
        f.control = FontWithCellHeight(QStringLiteral("Courier New"), 16, 8);
        f.standard = FontWithCellHeight(sansSerif, 13);
        return f;
    }();
    return fonts;
}

} // namespace patchlens
