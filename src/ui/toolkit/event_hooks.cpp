#include "toolkit/event_hooks.h"

#include <QAbstractScrollArea>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTimer>
#include <QWidget>

namespace patchlens {

namespace {

class ReleaseHook : public QObject {
public:
    enum class Kind { Mouse, Key };
    ReleaseHook(QObject *owner, Kind kind, HookOrder order, std::function<void()> handler)
        : QObject(owner), m_kind(kind), m_order(order), m_handler(std::move(handler)) {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        if (m_kind == Kind::Mouse && event->type() == QEvent::MouseButtonRelease) {
            const auto *mouse = static_cast<QMouseEvent *>(event);
            const auto *widget = static_cast<QWidget *>(watched);
            const bool button = mouse->button() == Qt::LeftButton || mouse->button() == Qt::RightButton;
            if (button && widget->rect().contains(mouse->position().toPoint()))
                Run();
        } else if (m_kind == Kind::Key && event->type() == QEvent::KeyRelease) {
            if (!static_cast<QKeyEvent *>(event)->isAutoRepeat())
                Run();
        }
        return false;
    }

private:
    void Run() {
        if (m_order == HookOrder::BeforeControl)
            m_handler();
        else
            QTimer::singleShot(0, this, m_handler);
    }

    Kind m_kind;
    HookOrder m_order;
    std::function<void()> m_handler;
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

void OnKeyUp(QWidget *widget, std::function<void()> handler) {
    widget->installEventFilter(
        new ReleaseHook(widget, ReleaseHook::Kind::Key, HookOrder::BeforeControl, std::move(handler)));
}

} // namespace patchlens
