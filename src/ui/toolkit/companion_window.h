#pragma once
// A window that goes with the main window and keeps what it shows between openings: closing it (its
// close box, or Escape) only hides it.

#include <QWidget>

class QCloseEvent;
class QKeyEvent;

namespace patchlens {

class CompanionWindow : public QWidget {
public:
    using QWidget::QWidget;

protected:
    // Runs as the window is closed, before it hides.
    virtual void Closing() {}
    void closeEvent(QCloseEvent *event) override;
    // Escape (without modifiers) closes the window, as the close box does.
    void keyPressEvent(QKeyEvent *event) override;
};

} // namespace patchlens
