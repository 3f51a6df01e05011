#include "viewer/module_panel_views.h"

#include <QFontMetrics>
#include <QFrame>
#include <QLabel>
#include <QListWidget>

#include "toolkit/fonts.h"
#include "toolkit/line_lists.h"
#include "toolkit/text_conversion.h"

namespace patchlens {

namespace {

// The strip behind the patch name; the rows of lamps 140 pixels apart, their columns 100 apart
// after the Pickup's narrow one, each list below its lamp.
constexpr QRect kNameStripBounds{185, 10, 295, 20};
constexpr std::array<int, 3> kLampStripTops{40, 180, 320};

struct PanelPlace {
    Module module;
    QRect lamp;
    QRect list;
};

PanelPlace PlaceOf(Module module) {
    const PanelCell cell = CellOf(module);
    const int top = kLampStripTops[cell.row];
    if (cell.column == 0)
        return {module, {20, top, 58, 20}, {20, top + 20, 58, 20}};
    const int left = 85 + 100 * (static_cast<int>(cell.column) - 1);
    return {module, {left, top, 93, 20}, {left, top + 20, 93, 100}};
}

QFrame *MakeStrip(const QRect &bounds, QWidget *parent) {
    auto *strip = new QFrame(parent);
    strip->setFrameStyle(QFrame::Panel | QFrame::Raised);
    strip->setLineWidth(2);
    strip->setGeometry(bounds);
    return strip;
}

QString ObjectName(const char *kind, Module module) {
    return QString::fromLatin1(kind) + QLatin1Char('.') + ToQString(InfoOf(module).name);
}

} // namespace

void SetLamp(QLabel *lamp, bool on) {
    QPalette palette = lamp->palette();
    palette.setColor(QPalette::Window, Qt::black);
    palette.setColor(QPalette::WindowText, on ? kLampOnColour : kLampOffColour);
    lamp->setPalette(palette);
}

ModulePanelViews::ModulePanelViews(QWidget *parent) {
    const UiFonts &fonts = Fonts();
    MakeStrip(kNameStripBounds, parent)->setObjectName(QStringLiteral("nameStrip"));
    m_nameField = new ElidedLabel(Qt::ElideRight, parent);
    m_nameField->setFont(fonts.name);
    m_nameField->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_nameField->setAutoFillBackground(true);
    QPalette palette = m_nameField->palette();
    palette.setColor(QPalette::Window, Qt::black);
    palette.setColor(QPalette::WindowText, QColor(0, 217, 0));
    m_nameField->setPalette(palette);
    m_nameField->setGeometry(kNameStripBounds.adjusted(2, 0, -2, 0));
    for (const int top : kLampStripTops)
        MakeStrip({kLampStripLeft, top, kLampStripWidth, 20}, parent);
    auto createLamp = [&](const PanelPlace &place) {
        auto *lamp = new QLabel(ToQString(InfoOf(place.module).caption), parent);
        lamp->setObjectName(ObjectName("lamp", place.module));
        lamp->setFont(fonts.caption);
        lamp->setTextFormat(Qt::PlainText);
        lamp->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        lamp->setAutoFillBackground(true);
        lamp->setGeometry(place.lamp);
        SetLamp(lamp, false);
        m_lamps[IndexOf(place.module)] = lamp;
    };
    auto createList = [&](const PanelPlace &place) {
        auto *list = new QListWidget(parent);
        list->setObjectName(ObjectName("panel", place.module));
        list->setFont(fonts.control);
        StyleLineList(list, kControlRowHeight, Qt::ElideRight);
        list->setGeometry(place.list);
        m_lists[IndexOf(place.module)] = list;
    };
    // The lamps of the first two rows, then their lists; then Amplifier B and Equalizer B, then
    // the LFOs, each pair's lamps before its lists.
    const auto modules = Modules();
    for (const std::size_t first : {0u, 11u, 13u}) {
        const auto group = modules.subspan(first, first == 0 ? 11 : 2);
        for (const ModuleInfo &info : group)
            createLamp(PlaceOf(info.module));
        for (const ModuleInfo &info : group)
            createList(PlaceOf(info.module));
    }
}

void ModulePanelViews::Show(const ModulePanels &panels) {
    for (std::size_t i = 0; i < kModuleCount; ++i) {
        const ModulePanel &panel = panels[i];
        QListWidget *list = m_lists[i];
        SetLamp(m_lamps[i], panel.lampOn);
        list->clear();
        for (const std::string &line : panel.list.lines)
            list->addItem(ToQString(line));
        list->setCurrentRow(panel.list.selected ? static_cast<int>(*panel.list.selected) : -1);
        list->setEnabled(panel.list.enabled);
    }
}

} // namespace patchlens
