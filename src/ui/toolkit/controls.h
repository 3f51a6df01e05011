#pragma once
// Small makers for the controls every window creates the same way.

#include <QColor>
#include <QRect>
#include <QString>

class QPushButton;
class QWidget;

namespace patchlens {

// The focus mark: a frame of this width and colour over the edge of the control with the focus.
inline constexpr int kFocusRingWidth = 2;
inline const QColor kFocusRingColour(48, 140, 198);

// A push button in the controls' default font at the given bounds, never a default button.
// Space, Return and Enter press it from the keyboard.
QPushButton *MakeButton(const QString &text, const char *objectName, const QRect &bounds, QWidget *parent);

// Marks whichever control inside `window` has the focus, enabled or greyed, with the focus mark
// (a child widget named "focusRing" of that control). The marker belongs to the window.
void MarkFocus(QWidget *window);

} // namespace patchlens
