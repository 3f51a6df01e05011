#include "toolkit/help_key_filter.h"

#include <QKeyEvent>
#include <QWidget>

namespace patchlens {

HelpKeyFilter::HelpKeyFilter(std::function<void()> openHelp, QObject *parent)
    : QObject(parent), m_openHelp(std::move(openHelp)) {}

bool HelpKeyFilter::eventFilter(QObject *watched, QEvent *event) {
    // Key events reach the application's filter once for every widget they are offered to; only
    // the first offer (to the widget with the focus, or to a window) counts.
    if (!watched->isWidgetType())
        return false;
    if (event->type() == QEvent::KeyRelease) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->isAutoRepeat())
            return false;
        if (key->key() == Qt::Key_Shift)
            m_shiftCount = 0;
        if (key->key() == Qt::Key_Control)
            m_ctrlCount = 0;
        return key->key() == Qt::Key_F1;
    }
    if (event->type() != QEvent::KeyPress)
        return false;
    const auto *key = static_cast<QKeyEvent *>(event);
    switch (key->key()) {
    case Qt::Key_Shift:
        ++m_shiftCount;
        return false;
    case Qt::Key_Control:
        ++m_ctrlCount;
        return false;
    case Qt::Key_F1:
        if (key->modifiers() & Qt::AltModifier)
            return true;
        if (m_shiftCount != 0 || m_ctrlCount != 0)
            return true;
        if (!m_opening) { // a request while one is being opened (a nested event loop) is dropped
            m_opening = true;
            m_openHelp();
            m_opening = false;
        }
        return true;
    default:
        return false;
    }
}

} // namespace patchlens
