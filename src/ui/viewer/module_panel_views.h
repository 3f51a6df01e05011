#pragma once
// The widgets of the fifteen module panels: a lamp (a caption whose colour is the module's
// on/off state) and a list of the panel's lines. They mirror the core's panels and are never
// read back: the user may scroll a list and select a line, which changes nothing else.

#include <QColor>
#include <array>

#include "panels/module_panels.h"

class QLabel;
class QListWidget;
class QWidget;

namespace patchlens {

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

} // namespace patchlens
