#pragma once
// The outer size of a fixed-size top-level window, frame included. A window manager adds its
// frame only once the window is shown (and may change it later), so the inner size is set again
// whenever the frame the window system reports changes.

#include <QMargins>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <functional>
#include <optional>
#include <vector>

class QWidget;

namespace patchlens {

// Keeps `window` at the outer size `outer`, cut to the available area of its screen. Without a
// frame (no window manager) the inner size is the outer size. `wantedTopLeft`, when given, tells
// where the window's outer top-left corner belongs (nothing: wherever it is); after each change of
// the frame the window is placed there again, so that a window placed before it was framed stands
// where it should with its frame (frames change as a window is first shown, not later). The
// keeper belongs to the window.
void KeepOuterSize(QWidget *window, QSize outer, std::function<std::optional<QPoint>()> wantedTopLeft = {});

// Gives a resizable top-level window the outer rectangle, frame included, that `outer` chooses for
// the frame the window system reports: at once (no frame known yet), and again whenever that frame
// changes (as a window manager first frames the window). Moves and resizes of the user's stay.
void PlaceOuterRect(QWidget *window, std::function<QRect(QMargins frame)> outer);

// Where a new window goes within `area`, as an outer rectangle. Of the sizes offered (each cut to
// the area), the first that can stand wholly clear of `keepClear` is taken; when none can, the first.
// Its place covers `keepClear` least, and passes over the places of the windows whose outer
// top-left corners are `taken` (a cascade: each new window at least kCascadeStep away in one
// direction), below them where it can (their titles stay in sight), nearest `keepClear` among
// equals.
inline constexpr int kCascadeStep = 24;
QRect ChooseOuterRect(const QRect &area, const std::vector<QSize> &sizes, const QRect &keepClear,
                      const std::vector<QPoint> &taken);

// The outer top-left corner of a top-level window, frame included, and placing a window by it.
// Both ask the window system for the frame as it is now (a widget's own idea of its frame may lag
// behind the window manager's).
QPoint OuterTopLeft(const QWidget *window);
void PlaceOuterTopLeft(QWidget *window, QPoint topLeft);

} // namespace patchlens
