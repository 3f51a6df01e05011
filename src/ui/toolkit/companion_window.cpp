#include "toolkit/companion_window.h"

#include <QCloseEvent>
#include <QKeyEvent>

namespace patchlens {

void CompanionWindow::closeEvent(QCloseEvent *event) {
    Closing();
    hide();
    event->ignore();
}

void CompanionWindow::keyPressEvent(QKeyEvent *event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

} // namespace patchlens
