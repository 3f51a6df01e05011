#pragma once
// Handlers that run on a control's mouse-button or key release, in a stated order against the
// control's own handling. In a list, the press (or the arrow key) has already moved the
// selection when the release handler runs. A release counts only when its press went to the same
// control: the release of a key that closed a message box, or of the double-click that accepted a
// file dialog, lands on the control below and is ignored there.

#include <QObject>
#include <functional>

class QListWidget;
class QWidget;

namespace patchlens {

enum class HookOrder {
    BeforeControl, // the handler runs first, then the control sees the release
    AfterControl,  // the handler runs once the control has finished with the release
};

// Runs `handler` when the left or right mouse button, pressed on `widget`, is released over it
// (for a list, over its viewport). The hook belongs to the widget.
void OnMouseUp(QWidget *widget, HookOrder order, std::function<void()> handler);

// Runs `handler` when a key pressed while `widget` had the focus is released there (auto-repeat
// aside: a held key is released once). A modifier key alone, and a key pressed or released with
// Ctrl held, do not count: Ctrl with the arrow keys walks a list without loading.
void OnKeyUp(QWidget *widget, std::function<void()> handler);

// Runs `handler` when Space (no modifier), pressed while `widget` had the focus, is released
// there: a button's keyboard press (a button of MakeButton takes Return and Enter for Space).
void OnActivationKeyUp(QWidget *widget, HookOrder order, std::function<void()> handler);

// Runs `handler` with the list's current row when Return or Enter, pressed with Ctrl on the
// list, is released there (nothing without a current row). The keys are the handler's alone: the
// list's key release handlers do not see them. Install it after the list's other hooks.
void OnControlReturn(QListWidget *list, std::function<void(int row)> handler);

// Runs `handler` with the row under the mouse when the left button is clicked on the list with
// Ctrl held. The click is the handler's alone: the list's selection does not move and its release
// handlers do not run. Install it after the list's other hooks. A click on no row is ignored.
void OnControlClick(QListWidget *list, std::function<void(int row)> handler);

} // namespace patchlens
