#pragma once
// The outer size of a fixed-size top-level window, frame included. A window manager adds its
// frame only once the window is shown (and may change it later), so the inner size is set again
// whenever the frame the window system reports changes.

#include <QSize>
#include <functional>

class QWidget;

namespace patchlens {

// Keeps `window` at the outer size `outer`, cut to the available area of its screen. Without a
// frame (no window manager) the inner size is the outer size. `place`, when given, runs after each
// change of the frame, so that a window placed before it was framed is placed again with its frame
// (frames change as a window is first shown, not later). The keeper belongs to the window.
void KeepOuterSize(QWidget *window, QSize outer, std::function<void()> place = {});

} // namespace patchlens
