#include "toolkit/fonts.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QRawFont>
#include <QStringList>
#include <algorithm>

namespace patchlens {

namespace {

const QStringList &MonospaceSubstitutes() {
    static const QStringList names = {QStringLiteral("Liberation Mono"), QStringLiteral("Cousine"),
                                      QStringLiteral("Nimbus Mono PS"), QStringLiteral("DejaVu Sans Mono"),
                                      QStringLiteral("Monospace")};
    return names;
}

const QStringList &SansSerifSubstitutes() {
    static const QStringList names = {QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"),
                                      QStringLiteral("DejaVu Sans"), QStringLiteral("Sans Serif")};
    return names;
}

void RegisterSubstitutes() {
    QFont::insertSubstitutions(QStringLiteral("Courier New"), MonospaceSubstitutes());
    QFont::insertSubstitutions(QStringLiteral("Courier"), MonospaceSubstitutes());
    QFont::insertSubstitutions(QStringLiteral("Microsoft Sans Serif"), SansSerifSubstitutes());
    QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"), SansSerifSubstitutes());
}

} // namespace

QString InstalledFamily(const QString &family, const QStringList &substitutes) {
    // The installed families as listed, not QFontDatabase::hasFamily: that resolves the name as an
    // alias first, the very work this avoids.
    const QStringList installed = QFontDatabase::families();
    const auto has = [&](const QString &name) { return installed.contains(name, Qt::CaseInsensitive); };
    if (has(family))
        return family;
    for (const QString &substitute : substitutes) {
        if (has(substitute))
            return substitute;
    }
    return family;
}

QFont FontWithCellHeight(const QString &family, int cellHeight, qreal maxAdvance, QFont::StyleHint hint) {
    QFont font(family);
    font.setWeight(QFont::Normal);
    font.setStyleHint(hint);
    font.setHintingPreference(QFont::PreferVerticalHinting);
    // The largest size up to the cell height that fits (the smallest size when none does). The
    // search starts where a face of the usual proportions fits and walks from there: heights and
    // advances grow with the size, so the size that fits while the one above it does not is the
    // answer.
    constexpr int kSmallest = 2;
    constexpr qreal kUsualHeightPerPixel = 1.15;
    if (cellHeight < kSmallest)
        return font;
    int pixels = std::clamp(static_cast<int>(cellHeight / kUsualHeightPerPixel), kSmallest, cellHeight);
    font.setPixelSize(pixels);
    // Every size a QFont is measured at is matched against the system's font configuration afresh,
    // the dearest step of the window's start. So the face is matched once, at the size most
    // likely to be the answer, and the other sizes are measured on that face scaled (the same
    // face, the same rendering settings, the metrics the font engine gives at that size).
    QRawFont face = QRawFont::fromFont(font);
    const quint32 zero = face.isValid() ? face.glyphIndexesForString(QStringLiteral("0")).value(0) : 0;
    const auto fits = [&](int size) {
        qreal height = 0, advance = 0;
        if (face.isValid()) {
            face.setPixelSize(size);
            height = face.ascent() + face.descent();
            if (maxAdvance > 0)
                advance = face.advancesForGlyphIndexes(QList<quint32>{zero}).value(0).x();
        } else {
            font.setPixelSize(size);
            const QFontMetricsF metrics(font);
            height = metrics.height();
            advance = metrics.horizontalAdvance(QLatin1Char('0'));
        }
        return height <= cellHeight && (maxAdvance <= 0 || advance <= maxAdvance);
    };
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
        // Each family is resolved once, here: a family the system lacks is asked for by the name of
        // the installed substitute, the face the font matching would end at anyway, so that the
        // matching does not work out an alias and fallback list for a name it cannot find, which
        // costs more than the rest of the fonts together.
        const QString courierNew = InstalledFamily(QStringLiteral("Courier New"), MonospaceSubstitutes());
        f.caption =
            FontWithCellHeight(InstalledFamily(courier, MonospaceSubstitutes()), 14, 0, QFont::TypeWriter);
        f.name = FontWithCellHeight(courierNew, 20, 0, QFont::TypeWriter);
        f.control = FontWithCellHeight(courierNew, 16, 8, QFont::TypeWriter);
        f.standard = FontWithCellHeight(InstalledFamily(sansSerif, SansSerifSubstitutes()), 13);
        return f;
    }();
    return fonts;
}

} // namespace patchlens
