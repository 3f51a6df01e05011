#pragma once
// The outer size of a fixed-size top-level window, frame included. A window manager adds its
// frame only once the window is shown (and may change it later), so the inner size is set again
// whenever the frame the window system reports changes.

#include <QPoint>
#include <QSize>
#include <functional>
#include <optional>

class QWidget;

namespace patchlens {

// Keeps `window` at the outer size `outer`, cut to the available area of its screen. Without a
// frame (no window manager) the inner size is the outer size. `wantedTopLeft`, when given, tells
// where the window's outer top-left corner belongs (nothing: wherever it is); after each change of
// the frame the window is placed there again, so that a window placed before it was framed stands
// where it should with its frame (frames change as a window is first shown, not later). The
// keeper belongs to the window.
void KeepOuterSize(QWidget *window, QSize outer, std::function<std::optional<QPoint>()> wantedTopLeft = {});

// The outer top-left corner of a top-level window, frame included, and placing a window by it.
// Both ask the window system for the frame as it is now (a widget's own idea of its frame may lag
// behind the window manager's).
QPoint OuterTopLeft(const QWidget *window);
void PlaceOuterTopLeft(QWidget *window, QPoint topLeft);

} // namespace patchlens
