#include "toolkit/controls.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QPointer>
#include <QPushButton>

#include "toolkit/fonts.h"

namespace patchlens {

namespace {

// Return and Enter press a focused button as Space does: down on the press, clicked on the
// release of a press that went to it.
class ReturnAsSpace : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease)
            return false;
        const auto *key = static_cast<QKeyEvent *>(event);
        if ((key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) ||
            (key->modifiers() & ~Qt::KeypadModifier))
            return false;
        QKeyEvent space(key->type(), Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "), key->isAutoRepeat());
        QCoreApplication::sendEvent(watched, &space);
        return true;
    }
};

// A frame two pixels wide in the highlight colour over the edge of the focused control, painted
// above its contents; the mouse passes through it.
class FocusRing : public QWidget {
public:
    explicit FocusRing(QWidget *control) : QWidget(control) {
        setObjectName(QStringLiteral("focusRing"));
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setFocusPolicy(Qt::NoFocus);
        setGeometry(control->rect());
        const QRegion outer(rect());
        setMask(outer.subtracted(
            QRegion(rect().adjusted(kFocusRingWidth, kFocusRingWidth, -kFocusRingWidth, -kFocusRingWidth))));
        raise();
        show();
    }

protected:
    void paintEvent(QPaintEvent *) override { QPainter(this).fillRect(rect(), kFocusRingColour); }
};

class FocusMarker : public QObject {
public:
    explicit FocusMarker(QWidget *window) : QObject(window), m_window(window) {
        connect(qApp, &QApplication::focusChanged, this, [this](QWidget *, QWidget *now) { Follow(now); });
    }

private:
    void Follow(QWidget *now) {
        delete m_ring; // QPointer: null once its control is gone
        if (now != nullptr && now != m_window && m_window->isAncestorOf(now))
            m_ring = new FocusRing(now);
    }

    QWidget *m_window;
    QPointer<FocusRing> m_ring;
};

} // namespace

QPushButton *MakeButton(const QString &text, const char *objectName, const QRect &bounds, QWidget *parent) {
    auto *button = new QPushButton(text, parent);
    button->setObjectName(QString::fromLatin1(objectName));
    button->setFont(Fonts().standard);
    button->setAutoDefault(false);
    button->setGeometry(bounds);
    button->installEventFilter(new ReturnAsSpace(button));
    return button;
}

void MarkFocus(QWidget *window) {
    new FocusMarker(window);
}

} // namespace patchlens
