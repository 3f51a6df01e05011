#pragma once
// Small makers for the controls every window creates the same way.

#include <QRect>
#include <QString>

class QPushButton;
class QWidget;

namespace patchlens {

// A push button in the controls' default font at the given bounds, never a default button.
QPushButton *MakeButton(const QString &text, const char *objectName, const QRect &bounds, QWidget *parent);

} // namespace patchlens
