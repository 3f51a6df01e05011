#include "toolkit/window_frame.h"

#include <QEvent>
#include <QMargins>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <algorithm>
#include <cstdlib>
#include <tuple>

namespace patchlens {

namespace {

// Watches the window and, once it exists, its native window: the frame is known from the window
// manager's report, which the native window is asked for each time it is exposed, moved or resized.
// A window manager may pass over a move (openbox takes a request for the frame's position that
// equals the window's own present position for no move at all): the keeper looks again a little
// later and, when the window has not moved, places it a pixel aside first, a few times at most.
// A window given an outer rectangle instead (`rect`) is sized and placed by it at once and again
// when it is first framed, and then left to the user.
class OuterSizeKeeper : public QObject {
public:
    OuterSizeKeeper(QWidget *window, std::optional<QSize> outer,
                    std::function<std::optional<QPoint>()> wantedTopLeft,
                    std::function<QRect(QMargins)> rect = {})
        : QObject(window), m_window(window), m_outer(outer), m_wanted(std::move(wantedTopLeft)),
          m_rect(std::move(rect)) {
        m_window->installEventFilter(this);
        m_retry.setSingleShot(true);
        connect(&m_retry, &QTimer::timeout, this, [this] { Place(); });
        if (m_rect) {
            m_wanted = [this]() -> std::optional<QPoint> { return m_target.topLeft(); };
            m_target = m_rect(QMargins());
            m_window->resize(m_target.size());
            m_window->move(m_target.topLeft());
        }
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
        if (m_outer) {
            QSize wanted = *m_outer;
            if (const QScreen *screen = m_window->screen())
                wanted = wanted.boundedTo(screen->availableGeometry().size());
            const QSize size = wanted.shrunkBy(frame);
            if (size != m_window->minimumSize() || size != m_window->maximumSize())
                m_window->setFixedSize(size);
        }
        if (frame != m_frame) {
            if (m_rect) {
                // Only the first framing: later changes are the user's (maximising, say).
                if (!m_frame.isNull() || m_window->isMaximized() || m_window->isFullScreen())
                    return;
                m_target = m_rect(frame);
                m_window->resize(m_target.size().shrunkBy(frame));
            }
            m_frame = frame;
            m_attempts = 0;
            if (m_rect)
                m_retry.start(0); // framed as it is shown: placed once the show has set its geometry
            else
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
    std::optional<QSize> m_outer;
    std::function<std::optional<QPoint>()> m_wanted;
    std::function<QRect(QMargins)> m_rect;
    QRect m_target;
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

void PlaceOuterRect(QWidget *window, std::function<QRect(QMargins frame)> outer) {
    new OuterSizeKeeper(window, std::nullopt, {}, std::move(outer));
}

QRect ChooseOuterRect(const QRect &area, const std::vector<QSize> &sizes, const QRect &keepClear,
                      const std::vector<QPoint> &taken) {
    struct Choice {
        QRect rect;
        bool stacked = false;   // another window's corner is less than a step away both ways
        long long covered = 0;  // the part of keepClear it covers
        bool above = false;     // higher than another window: it would hide that one's title
        long long distance = 0; // from its centre to keepClear's, squared
        auto key() const { return std::tie(stacked, covered, above, distance); }
    };
    constexpr int kSteps = 8; // cascade steps tried either way of each base place
    // The best place for the size, and whether some place of it stands clear of keepClear.
    auto best = [&](QSize size, bool &canStandClear) {
        size = size.boundedTo(area.size());
        const int right = area.right() - size.width() + 1;
        const int bottom = area.bottom() - size.height() + 1;
        auto places = [](std::initializer_list<int> bases, int low, int high) {
            std::vector<int> all;
            for (const int base : bases)
                for (int k = -kSteps; k <= kSteps; ++k)
                    all.push_back(std::clamp(base + k * kCascadeStep, low, high));
            std::sort(all.begin(), all.end());
            all.erase(std::unique(all.begin(), all.end()), all.end());
            return all;
        };
        const std::vector<int> xs = places({area.left(), right, keepClear.left() - size.width(),
                                            keepClear.right() + 1, keepClear.center().x() - size.width() / 2},
                                           area.left(), right);
        const std::vector<int> ys =
            places({area.top(), bottom, keepClear.top() - size.height(), keepClear.bottom() + 1,
                    keepClear.center().y() - size.height() / 2},
                   area.top(), bottom);
        std::optional<Choice> chosen;
        canStandClear = false;
        for (const int x : xs)
            for (const int y : ys) {
                Choice choice{QRect(QPoint(x, y), size)};
                choice.stacked = std::any_of(taken.begin(), taken.end(), [&](QPoint corner) {
                    return std::abs(corner.x() - x) < kCascadeStep && std::abs(corner.y() - y) < kCascadeStep;
                });
                choice.above =
                    std::any_of(taken.begin(), taken.end(), [&](QPoint corner) { return y < corner.y(); });
                const QRect covered = choice.rect.intersected(keepClear);
                choice.covered =
                    covered.isEmpty() ? 0 : static_cast<long long>(covered.width()) * covered.height();
                const QPoint offset = choice.rect.center() - keepClear.center();
                choice.distance = static_cast<long long>(offset.x()) * offset.x() +
                                  static_cast<long long>(offset.y()) * offset.y();
                canStandClear = canStandClear || choice.covered == 0;
                if (!chosen || choice.key() < chosen->key())
                    chosen = choice;
            }
        return chosen->rect;
    };
    if (sizes.empty())
        return area;
    bool clear = false;
    for (const QSize size : sizes) {
        const QRect rect = best(size, clear);
        if (clear)
            return rect;
    }
    return best(sizes.front(), clear);
}

} // namespace patchlens
