#include "toolkit/window_frame.h"

#include <QEvent>
#include <QMargins>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <algorithm>

namespace patchlens {

namespace {

// Watches the window and, once it exists, its native window: the frame is known from the window
// manager's report, which the native window is asked for each time it is exposed, moved or resized.
// A window manager may pass over a move (openbox takes a request for the frame's position that
// equals the window's own present position for no move at all): the keeper looks again a little
// later and, when the window has not moved, places it a pixel aside first, a few times at most.
class OuterSizeKeeper : public QObject {
public:
    OuterSizeKeeper(QWidget *window, QSize outer, std::function<std::optional<QPoint>()> wantedTopLeft)
        : QObject(window), m_window(window), m_outer(outer), m_wanted(std::move(wantedTopLeft)) {
        m_window->installEventFilter(this);
        m_retry.setSingleShot(true);
        connect(&m_retry, &QTimer::timeout, this, [this] { Place(); });
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
            m_attempts = 0;
            Place();
        }
    }

    // Places the window where it is wanted, and looks again until it is there.
    void Place() {
        if (!m_wanted || m_native == nullptr || !m_window->isVisible())
            return;
        const std::optional<QPoint> wanted = m_wanted();
        if (!wanted || OuterTopLeft(m_window) == *wanted || m_attempts >= kAttempts)
            return;
        // Every second attempt goes a pixel aside, so that the next one is a real move.
        const bool aside = m_attempts % 2 == 1;
        ++m_attempts;
        PlaceOuterTopLeft(m_window, aside ? *wanted + QPoint(1, 1) : *wanted);
        m_retry.start(std::min(50 << m_attempts, 800)); // a busy window manager gets more time
    }

    static constexpr int kAttempts = 9;
    QWidget *m_window;
    QWindow *m_native = nullptr;
    QSize m_outer;
    std::function<std::optional<QPoint>()> m_wanted;
    QMargins m_frame;
    QTimer m_retry;
    int m_attempts = 0;
};

} // namespace

QPoint OuterTopLeft(const QWidget *window) {
    if (const QWindow *native = window->windowHandle())
        return native->framePosition();
    return window->frameGeometry().topLeft();
}

void PlaceOuterTopLeft(QWidget *window, QPoint topLeft) {
    if (QWindow *native = window->windowHandle())
        native->setFramePosition(topLeft);
    else
        window->move(topLeft);
}

void KeepOuterSize(QWidget *window, QSize outer, std::function<std::optional<QPoint>()> wantedTopLeft) {
    new OuterSizeKeeper(window, outer, std::move(wantedTopLeft));
}

} // namespace patchlens
