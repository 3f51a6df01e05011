#include "toolkit/event_hooks.h"

#include <QAbstractScrollArea>
#include <QKeyEvent>
#include <QListWidget>
#include <QMouseEvent>
#include <QSet>
#include <QTimer>
#include <QWidget>

namespace patchlens {

namespace {

bool IsModifierKey(int key) {
    return key == Qt::Key_Control || key == Qt::Key_Shift || key == Qt::Key_Alt || key == Qt::Key_Meta ||
           key == Qt::Key_AltGr;
}

// Space: the buttons of MakeButton take Return and Enter for it.
bool IsActivationKey(const QKeyEvent *key) {
    return key->key() == Qt::Key_Space && !(key->modifiers() & ~Qt::KeypadModifier);
}

// A release counts only when the press that belongs to it went to the same control. A message box
// closed by a key press, or a file dialog accepted by a double-click, leaves the release to the
// control below it: that release must not run the control's handler again.
class ReleaseHook : public QObject {
public:
    enum class Kind { Mouse, Key, ActivationKey };
    ReleaseHook(QObject *owner, Kind kind, HookOrder order, std::function<void()> handler)
        : QObject(owner), m_kind(kind), m_order(order), m_handler(std::move(handler)) {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
            if (m_kind == Kind::Mouse)
                m_pressedButtons |= static_cast<QMouseEvent *>(event)->button();
            break;
        case QEvent::MouseButtonRelease:
            if (m_kind == Kind::Mouse)
                OnMouseRelease(static_cast<QWidget *>(watched), static_cast<QMouseEvent *>(event));
            break;
        case QEvent::KeyPress:
            if (Counts(static_cast<QKeyEvent *>(event)))
                m_pressedKeys.insert(static_cast<QKeyEvent *>(event)->key());
            break;
        case QEvent::KeyRelease:
            if (Counts(static_cast<QKeyEvent *>(event))) {
                const auto *key = static_cast<QKeyEvent *>(event);
                if (!key->isAutoRepeat() && m_pressedKeys.remove(key->key()))
                    Run();
            }
            break;
        case QEvent::FocusOut:
            m_pressedKeys.clear(); // the releases of keys pressed here go elsewhere now
            break;
        default:
            break;
        }
        return false;
    }

private:
    bool Counts(const QKeyEvent *key) const {
        if (m_kind == Kind::Key)
            return !IsModifierKey(key->key()) && !(key->modifiers() & Qt::ControlModifier);
        return m_kind == Kind::ActivationKey && IsActivationKey(key);
    }

    void OnMouseRelease(const QWidget *widget, const QMouseEvent *mouse) {
        const Qt::MouseButton button = mouse->button();
        const bool pressedHere = m_pressedButtons.testFlag(button);
        m_pressedButtons &= ~Qt::MouseButtons(button);
        const bool counted = button == Qt::LeftButton || button == Qt::RightButton;
        if (counted && pressedHere && widget->rect().contains(mouse->position().toPoint()))
            Run();
    }

    void Run() {
        if (m_order == HookOrder::BeforeControl)
            m_handler();
        else
            QTimer::singleShot(0, this, m_handler);
    }

    Kind m_kind;
    HookOrder m_order;
    std::function<void()> m_handler;
    Qt::MouseButtons m_pressedButtons;
    QSet<int> m_pressedKeys;
};

class ControlClickHook : public QObject {
public:
    ControlClickHook(QListWidget *list, std::function<void(int)> handler)
        : QObject(list), m_list(list), m_handler(std::move(handler)) {}

protected:
    bool eventFilter(QObject *, QEvent *event) override {
        const QEvent::Type type = event->type();
        if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonRelease &&
            type != QEvent::MouseButtonDblClick)
            return false;
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (!(mouse->modifiers() & Qt::ControlModifier) || mouse->button() != Qt::LeftButton)
            return false;
        if (type == QEvent::MouseButtonPress)
            m_pressedRow = m_list->row(m_list->itemAt(mouse->position().toPoint()));
        if (type == QEvent::MouseButtonRelease) {
            const int row = m_list->row(m_list->itemAt(mouse->position().toPoint()));
            if (row >= 0 && row == m_pressedRow)
                QTimer::singleShot(0, m_list, [handler = m_handler, row] { handler(row); });
            m_pressedRow = -1;
        }
        return true;
    }

private:
    QListWidget *m_list;
    std::function<void(int)> m_handler;
    int m_pressedRow = -1;
};

// Ctrl with Return or Enter on a list: the keys are the handler's alone.
class ControlReturnHook : public QObject {
public:
    ControlReturnHook(QListWidget *list, std::function<void(int)> handler)
        : QObject(list), m_list(list), m_handler(std::move(handler)) {}

protected:
    bool eventFilter(QObject *, QEvent *event) override {
        const QEvent::Type type = event->type();
        if (type != QEvent::KeyPress && type != QEvent::KeyRelease)
            return false;
        const auto *key = static_cast<QKeyEvent *>(event);
        if ((key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) ||
            !(key->modifiers() & Qt::ControlModifier))
            return false;
        if (type == QEvent::KeyPress && !key->isAutoRepeat())
            m_pressed = true;
        if (type == QEvent::KeyRelease && !key->isAutoRepeat() && m_pressed) {
            m_pressed = false;
            const int row = m_list->currentRow();
            if (row >= 0)
                QTimer::singleShot(0, m_list, [handler = m_handler, row] { handler(row); });
        }
        return true;
    }

private:
    QListWidget *m_list;
    std::function<void(int)> m_handler;
    bool m_pressed = false;
};

QWidget *MouseTarget(QWidget *widget) {
    if (auto *area = qobject_cast<QAbstractScrollArea *>(widget))
        return area->viewport();
    return widget;
}

} // namespace

void OnMouseUp(QWidget *widget, HookOrder order, std::function<void()> handler) {
    QWidget *target = MouseTarget(widget);
    target->installEventFilter(new ReleaseHook(widget, ReleaseHook::Kind::Mouse, order, std::move(handler)));
}

void OnControlClick(QListWidget *list, std::function<void(int row)> handler) {
    list->viewport()->installEventFilter(new ControlClickHook(list, std::move(handler)));
}

void OnActivationKeyUp(QWidget *widget, HookOrder order, std::function<void()> handler) {
    widget->installEventFilter(
        new ReleaseHook(widget, ReleaseHook::Kind::ActivationKey, order, std::move(handler)));
}

void OnControlReturn(QListWidget *list, std::function<void(int row)> handler) {
    list->installEventFilter(new ControlReturnHook(list, std::move(handler)));
}

void OnKeyUp(QWidget *widget, std::function<void()> handler) {
    widget->installEventFilter(
        new ReleaseHook(widget, ReleaseHook::Kind::Key, HookOrder::BeforeControl, std::move(handler)));
}

} // namespace patchlens
