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

struct PanelPlace {
    Module module;
    QRect lamp;
    QRect list;
};

const PanelPlace kPlaces[] = {
    {Module::Pickup, {20, 40, 58, 20}, {20, 60, 58, 20}},
    {Module::Wah, {85, 40, 93, 20}, {85, 60, 93, 100}},
    {Module::Compressor, {185, 40, 93, 20}, {185, 60, 93, 100}},
    {Module::Distortion, {285, 40, 93, 20}, {285, 60, 93, 100}},
    {Module::AmplifierA, {385, 40, 93, 20}, {385, 60, 93, 100}},
    {Module::EqualizerA, {485, 40, 93, 20}, {485, 60, 93, 100}},
    {Module::NoiseGate, {85, 180, 93, 20}, {85, 200, 93, 100}},
    {Module::ChorusFx, {185, 180, 93, 20}, {185, 200, 93, 100}},
    {Module::Delay, {285, 180, 93, 20}, {285, 200, 93, 100}},
    {Module::Reverb, {385, 180, 93, 20}, {385, 200, 93, 100}},
    {Module::Expression, {485, 180, 93, 20}, {485, 200, 93, 100}},
    {Module::AmplifierB, {85, 320, 93, 20}, {85, 340, 93, 100}},
    {Module::EqualizerB, {185, 320, 93, 20}, {185, 340, 93, 100}},
    {Module::Lfo1, {385, 320, 93, 20}, {385, 340, 93, 100}},
    {Module::Lfo2, {485, 320, 93, 20}, {485, 340, 93, 100}},
};

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

QFrame *MakeStrip(const QRect &bounds, QWidget *parent) {
    auto *strip = new QFrame(parent);
    strip->setFrameStyle(QFrame::Panel | QFrame::Raised);
    strip->setLineWidth(2);
    strip->setGeometry(bounds);
    return strip;
}

ElidedLabel *MakeNameField(const QRect &bounds, QWidget *parent) {
    auto *field = new ElidedLabel(Qt::ElideRight, parent);
    field->setFont(Fonts().name);
    field->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    field->setAutoFillBackground(true);
    QPalette palette = field->palette();
    palette.setColor(QPalette::Window, Qt::black);
    palette.setColor(QPalette::WindowText, QColor(0, 217, 0));
    field->setPalette(palette);
    field->setGeometry(bounds);
    return field;
}

ModulePanelViews::ModulePanelViews(QWidget *parent) {
    const UiFonts &fonts = Fonts();
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
    const auto places = std::span(kPlaces);
    for (const PanelPlace &place : places.subspan(0, 11))
        createLamp(place);
    for (const PanelPlace &place : places.subspan(0, 11))
        createList(place);
    for (const std::size_t first : {11u, 13u}) {
        for (const PanelPlace &place : places.subspan(first, 2))
            createLamp(place);
        for (const PanelPlace &place : places.subspan(first, 2))
            createList(place);
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
        list->setCurrentRow(panel.list.selected);
        list->setEnabled(panel.list.enabled);
    }
}

} // namespace patchlens
