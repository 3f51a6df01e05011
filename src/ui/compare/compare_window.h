#pragma once
// Two patches side by side in the device's own vocabulary: for each module its lamp and its lines
// in A and in B, the lines and lamps that differ marked in colour and with a sign that does not
// depend on colour. The window holds its own copy of the comparison: what the main window loads
// afterwards does not change it. The modules flow row by row into as many columns as the window's
// width takes (five at most), and scroll when the window is too small to show them all: it fits
// any screen, and never hides a module. Escape and Ctrl+W close it.

#include <QImage>
#include <QString>
#include <QWidget>
#include <array>

#include "compare/patch_compare.h"

class QCheckBox;
class QGridLayout;
class QLabel;
class QScrollArea;

namespace patchlens {

// The sign beside a line or lamp that differs.
inline constexpr char16_t kDifferenceMark = u'\u2260'; // "≠"

class CompareWindow : public QWidget {
    Q_OBJECT

public:
    struct Side {
        QString path; // the file, as shown
        QString name; // the patch name
    };

    // A top-level window of its own (owned by `parent` for its lifetime only), deleted when closed.
    CompareWindow(const PatchComparison &comparison, const Side &a, const Side &b, QWidget *parent = nullptr);
    Q_DISABLE_COPY(CompareWindow)

    // "Show only differences": hides the modules that show the same in both patches.
    void ShowOnlyDifferences(bool only);

    // The comparison as a picture to share: the files, the summary and the modules shown, marks
    // included, whole in five columns whatever the window's size, at `scale` pixels per pixel
    // (plain pixels). Drawn by a compare window of its own that is never on a screen.
    static QImage Picture(const PatchComparison &comparison, const Side &a, const Side &b, bool onlyDifferences,
                          qreal scale);
    QImage Picture(qreal scale) const;
    // "Copy Image" (Ctrl+C, or the context menu): the picture on the clipboard.
    void CopyImage();

    // The inner size that shows every module in `columns` columns without scrolling (but for the
    // room of a scroll bar). The grid is laid out for the measure, then as it was.
    QSize WholeSize(int columns);
    // The columns the modules are shown in now.
    int columns() const { return m_columns; }

    static constexpr int kMostColumns = 5; // modules a row, as the front panel has them

signals:
    // "Save Image..." (Ctrl+S, or the context menu): the owner asks where and writes Picture().
    void saveImageRequested();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void LayOut(int columns);
    int ColumnsForWidth(int width) const;
    int ModuleWidth() const;

    PatchComparison m_comparison;
    Side m_a, m_b;
    std::array<QWidget *, kModuleCount> m_modules{};
    QWidget *m_header = nullptr;
    QScrollArea *m_scroll = nullptr;
    QWidget *m_panels = nullptr;
    QGridLayout *m_grid = nullptr;
    QCheckBox *m_onlyDifferences = nullptr;
    int m_columns = kMostColumns;
};

} // namespace patchlens
