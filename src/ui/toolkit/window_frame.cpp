#include "toolkit/window_frame.h"

#include <QEvent>
#include <QMargins>
#include <QScreen>
#include <QWidget>
#include <QWindow>

namespace patchlens {

namespace {

// Watches the window and, once it exists, its native window: the frame is known from the window
// manager's report, which the native window is asked for each time it is exposed, moved or resized.
class OuterSizeKeeper : public QObject {
public:
    OuterSizeKeeper(QWidget *window, QSize outer, std::function<void()> place)
        : QObject(window), m_window(window), m_outer(outer), m_place(std::move(place)) {
        m_window->installEventFilter(this);
        Fit();
    }

protected:
    bool eventFilter(QObject *, QEvent *event) override {
        switch (event->type()) {
        case QEvent::Show:
            if (QWindow *native = m_window->windowHandle(); native != nullptr && native != m_native) {
                m_native = native;
                native->installEventFilter(this);
            }
            Fit();
            break;
        case QEvent::Expose:
        case QEvent::Move:
        case QEvent::Resize:
            Fit();
            break;
        default:
            break;
        }
        return false;
    }

private:
    void Fit() {
        const QMargins frame = m_native != nullptr ? m_native->frameMargins() : QMargins();
        QSize wanted = m_outer;
        if (const QScreen *screen = m_window->screen())
            wanted = wanted.boundedTo(screen->availableGeometry().size());
        const QSize size = wanted.shrunkBy(frame);
        if (size != m_window->minimumSize() || size != m_window->maximumSize())
            m_window->setFixedSize(size);
        if (frame != m_frame) {
            m_frame = frame;
            if (m_place)
                m_place();
        }
    }

    QWidget *m_window;
    QWindow *m_native = nullptr;
    QSize m_outer;
    std::function<void()> m_place;
    QMargins m_frame;
};

} // namespace

void KeepOuterSize(QWidget *window, QSize outer, std::function<void()> place) {
    new OuterSizeKeeper(window, outer, std::move(place));
}

} // namespace patchlens
