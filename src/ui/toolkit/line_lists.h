#pragma once
// Lists of text lines and one-line labels that never show a cut glyph: a line that does not fit
// ends in an ellipsis (or loses its middle, for names and paths), and hovering it shows the whole
// line as a tooltip. The texts the widgets hold stay whole; only their painting is shortened.

#include <QLabel>
#include <QString>

class QListWidget;

namespace patchlens {

// The row pitch of the lists in the control font: six lines fill a 100-pixel panel.
inline constexpr int kControlRowHeight = 16;

// Pixels kept free on each side of a list row's text, inside the list's frame: the text starts
// one pixel in, and at least one pixel of background stays before the right border.
inline constexpr int kRowTextLeft = 1;
inline constexpr int kRowTextRight = 2;

// A list box as the panels, the library, the patch list and the search use it: a one-pixel
// border, rows of `rowHeight` pixels, single selection shown also without focus, and rows that
// are elided by `elide` when they do not fit, with the whole line as the tooltip (elsewhere the
// list's own tooltip shows).
void StyleLineList(QListWidget *list, int rowHeight, Qt::TextElideMode elide);

// What the list's row shows: the whole line when it fits the row, else the elided line.
QString ShownRowText(const QListWidget *list, int row);

// A one-line plain-text label that elides its text instead of cutting it, shows the whole text as
// a tooltip while it is elided, and never asks its layout for more room than it has.
class ElidedLabel : public QLabel {
public:
    explicit ElidedLabel(Qt::TextElideMode elide, QWidget *parent = nullptr);
    Q_DISABLE_COPY(ElidedLabel)

    // Sets the text (plain) and the tooltip that goes with it.
    void SetFullText(const QString &text);
    // The text as painted.
    QString ShownText() const;

    QSize minimumSizeHint() const override;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void UpdateToolTip();
    Qt::TextElideMode m_elide;
};

} // namespace patchlens
