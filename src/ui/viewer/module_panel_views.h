#pragma once
// The widgets of the front panel: the patch name in its strip, and the fifteen module panels, each
// a lamp (a caption whose colour is the module's on/off state) and a list of the panel's lines,
// on the raised strips of their rows. They mirror the core's panels and are never read back: the
// user may scroll a list and select a line, which changes nothing else.

#include <QColor>
#include <array>

#include "panels/module_panels.h"

class QLabel;
class QListWidget;
class QWidget;

namespace patchlens {

class ElidedLabel;

inline const QColor kLampOnColour(255, 60, 60);
inline const QColor kLampOffColour(200, 200, 200);

class ModulePanelViews {
public:
    // Creates the strips, the name field, the lamps and the lists on `parent` at the places of
    // the front panel (kFrontPanel), in the client coordinates of the main window.
    explicit ModulePanelViews(QWidget *parent);
    Q_DISABLE_COPY(ModulePanelViews)

    // Copies lines, selection, enabling and lamp colours from the core panels.
    void Show(const ModulePanels &panels);

    QLabel *lamp(Module module) const { return m_lamps[IndexOf(module)]; }
    QListWidget *list(Module module) const { return m_lists[IndexOf(module)]; }
    // The patch name field: the name font, green on black, elided at the right with the whole
    // name in its tooltip; it fills its strip but for the bevel at the sides, so that names of 18
    // characters show whole.
    ElidedLabel *nameField() const { return m_nameField; }

private:
    ElidedLabel *m_nameField = nullptr;
    std::array<QLabel *, kModuleCount> m_lamps{};
    std::array<QListWidget *, kModuleCount> m_lists{};
};

// A lamp's text colour on black.
void SetLamp(QLabel *lamp, bool on);

// The left and the width of the raised strips behind the rows of lamps.
inline constexpr int kLampStripLeft = 10;
inline constexpr int kLampStripWidth = 575;

} // namespace patchlens
