#pragma once
// The help key: F1 opens the help, unless Shift or Ctrl is held (counted from their presses and
// reset by their release) or Alt is held. F1 never reaches the focused control.

#include <QObject>
#include <functional>

namespace patchlens {

class HelpKeyFilter : public QObject {
public:
    // `openHelp` runs on the user-interface thread for each accepted F1 press, one at a time.
    explicit HelpKeyFilter(std::function<void()> openHelp, QObject *parent = nullptr);
    Q_DISABLE_COPY(HelpKeyFilter)

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    std::function<void()> m_openHelp;
    bool m_opening = false;
    int m_shiftCount = 0;
    int m_ctrlCount = 0;
};

} // namespace patchlens
