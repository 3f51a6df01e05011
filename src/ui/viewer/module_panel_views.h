#pragma once
// The widgets of the fifteen module panels: a lamp (a caption whose colour is the module's
// on/off state) and a list of the panel's lines. They mirror the core's panels and are never
// read back: the user may scroll a list and select a line, which changes nothing else.

#include <QColor>
#include <QRect>
#include <array>

#include "panels/module_panels.h"

class QFrame;
class QLabel;
class QListWidget;
class QWidget;

namespace patchlens {

class ElidedLabel;

inline const QColor kLampOnColour(255, 60, 60);
inline const QColor kLampOffColour(200, 200, 200);

class ModulePanelViews {
public:
    // Creates the lamps and the lists on `parent`, in the order and at the positions of the
    // front panel layout (the strips behind the lamp rows belong to the window).
    explicit ModulePanelViews(QWidget *parent);
    Q_DISABLE_COPY(ModulePanelViews)

    // Copies lines, selection, enabling and lamp colours from the core panels.
    void Show(const ModulePanels &panels);

    QLabel *lamp(Module module) const { return m_lamps[IndexOf(module)]; }
    QListWidget *list(Module module) const { return m_lists[IndexOf(module)]; }

private:
    std::array<QLabel *, kModuleCount> m_lamps{};
    std::array<QListWidget *, kModuleCount> m_lists{};
};

// A lamp's text colour on black.
void SetLamp(QLabel *lamp, bool on);

// The raised strips behind the patch name and behind the three rows of lamps, and the name field
// inside its strip, in the client coordinates of the front panel.
inline constexpr QRect kNameStripBounds{185, 10, 295, 20};
// The name field fills its strip, but for the bevel at the sides: names of 18 characters show whole.
inline constexpr QRect kNameFieldBounds = kNameStripBounds.adjusted(2, 0, -2, 0);
inline constexpr std::array<int, 3> kLampStripTops{40, 180, 320};
inline constexpr int kLampStripLeft = 10;
inline constexpr int kLampStripWidth = 575;
QFrame *MakeStrip(const QRect &bounds, QWidget *parent);
// The patch name field: the name font, green on black, elided at the right with the whole name in
// its tooltip.
ElidedLabel *MakeNameField(const QRect &bounds, QWidget *parent);

} // namespace patchlens
