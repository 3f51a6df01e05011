#include "compare/compare_window.h"

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QGridLayout>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QVBoxLayout>
#include <algorithm>

#include "toolkit/fonts.h"
#include "toolkit/line_lists.h"
#include "toolkit/text_conversion.h"
#include "viewer/module_panel_views.h"

namespace patchlens {

namespace {

constexpr int kPanelWidth = 93; // a panel list, as in the main window
constexpr int kMarkWidth = 16;  // the column of signs between A and B
const QColor kDifferenceColour(255, 224, 130);

QString Name(const char *kind, Module module) {
    return QStringLiteral("compare.") + QLatin1String(kind) + QLatin1Char('.') +
           ToQString(InfoOf(module).name);
}

QLabel *MakeLamp(Module module, bool on, const char *kind, QWidget *parent) {
    auto *lamp = new QLabel(ToQString(InfoOf(module).caption), parent);
    lamp->setObjectName(Name(kind, module));
    lamp->setFont(Fonts().caption);
    lamp->setTextFormat(Qt::PlainText);
    lamp->setAutoFillBackground(true);
    lamp->setFixedSize(kPanelWidth, 20);
    SetLamp(lamp, on);
    return lamp;
}

QListWidget *MakeList(const ComparedModule &compared, bool sideA, QWidget *parent) {
    auto *list = new QListWidget(parent);
    list->setObjectName(Name(sideA ? "listA" : "listB", compared.module));
    list->setFont(Fonts().control);
    StyleLineList(list, kControlRowHeight, Qt::ElideRight);
    list->setFocusPolicy(Qt::NoFocus);
    list->setSelectionMode(QAbstractItemView::NoSelection);
    for (const ComparedLine &line : compared.lines) {
        auto *item = new QListWidgetItem(ToQString(sideA ? line.a : line.b), list);
        if (line.differs)
            item->setBackground(kDifferenceColour);
    }
    list->setEnabled(sideA ? compared.enabledA : compared.enabledB);
    const int rows = static_cast<int>(compared.lines.size());
    list->setFixedSize(kPanelWidth, rows * kControlRowHeight + 4);
    return list;
}

QLabel *MakeMark(bool differs, const QString &objectName, int height, QWidget *parent) {
    auto *mark = new QLabel(differs ? QString(QChar(kDifferenceMark)) : QString(), parent);
    mark->setObjectName(objectName);
    mark->setAlignment(Qt::AlignCenter);
    mark->setFixedSize(kMarkWidth, height);
    QFont font = Fonts().control;
    font.setBold(true);
    mark->setFont(font);
    return mark;
}

// One module: its name, the two lamps and the two lists, the signs between them.
QWidget *MakeModuleBox(const ComparedModule &compared, QWidget *parent) {
    auto *box = new QWidget(parent);
    box->setObjectName(Name("module", compared.module));
    auto *grid = new QGridLayout(box);
    grid->setContentsMargins(4, 4, 4, 4);
    grid->setHorizontalSpacing(0);
    grid->setVerticalSpacing(0);
    auto *title = new QLabel(ToQString(InfoOf(compared.module).name), box);
    title->setTextFormat(Qt::PlainText);
    QFont bold = title->font();
    bold.setBold(compared.differs);
    title->setFont(bold);
    grid->addWidget(title, 0, 0, 1, 3);
    grid->addWidget(MakeLamp(compared.module, compared.lampA, "lampA", box), 1, 0);
    grid->addWidget(MakeMark(compared.lampDiffers(), Name("lampMark", compared.module), 20, box), 1, 1);
    grid->addWidget(MakeLamp(compared.module, compared.lampB, "lampB", box), 1, 2);
    grid->addWidget(MakeList(compared, true, box), 2, 0, Qt::AlignTop);
    auto *marks = new QWidget(box);
    auto *column = new QVBoxLayout(marks);
    column->setContentsMargins(0, 2, 0, 0);
    column->setSpacing(0);
    for (std::size_t row = 0; row < compared.lines.size(); ++row)
        column->addWidget(MakeMark(compared.lines[row].differs,
                                   Name("mark", compared.module) + QLatin1Char('.') + QString::number(row),
                                   kControlRowHeight, marks));
    column->addStretch(1);
    grid->addWidget(marks, 2, 1, Qt::AlignTop);
    grid->addWidget(MakeList(compared, false, box), 2, 2, Qt::AlignTop);
    grid->setRowStretch(3, 1);
    return box;
}

ElidedLabel *MakeSideLabel(const char *objectName, const QString &letter, const CompareWindow::Side &side,
                           QWidget *parent) {
    auto *label = new ElidedLabel(Qt::ElideMiddle, parent);
    label->setObjectName(QLatin1String(objectName));
    label->SetFullText(letter + QStringLiteral(": ") + side.name + QStringLiteral("  \u2014  ") + side.path);
    return label;
}

} // namespace

CompareWindow::CompareWindow(const PatchComparison &comparison, const Side &a, const Side &b, QWidget *parent)
    : QWidget(parent, Qt::Window), m_comparison(comparison), m_a(a), m_b(b) {
    setObjectName(QStringLiteral("compareWindow"));
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_QuitOnClose, false);
    setWindowTitle(QStringLiteral("Compare: ") + a.name + QStringLiteral(" / ") + b.name);

    auto *layout = new QVBoxLayout(this);
    m_header = new QWidget(this);
    auto *header = new QVBoxLayout(m_header);
    header->setContentsMargins(0, 0, 0, 0);
    header->addWidget(MakeSideLabel("compareSideA", QStringLiteral("A"), a, m_header));
    header->addWidget(MakeSideLabel("compareSideB", QStringLiteral("B"), b, m_header));
    int differing = 0;
    for (const ComparedModule &module : comparison.modules)
        differing += module.differs;
    auto *summary = new QLabel(m_header);
    summary->setObjectName(QStringLiteral("compareSummary"));
    summary->setTextFormat(Qt::PlainText);
    summary->setText(differing == 0 ? QStringLiteral("The two patches show the same.")
                                    : QStringLiteral("%1 of %2 modules differ (marked %3).")
                                          .arg(differing)
                                          .arg(kModuleCount)
                                          .arg(QChar(kDifferenceMark)));
    header->addWidget(summary);
    m_onlyDifferences = new QCheckBox(QStringLiteral("Show only differences"), m_header);
    m_onlyDifferences->setObjectName(QStringLiteral("compareOnlyDifferences"));
    connect(m_onlyDifferences, &QCheckBox::toggled, this, &CompareWindow::ShowOnlyDifferences);
    header->addWidget(m_onlyDifferences);
    layout->addWidget(m_header);

    m_scroll = new QScrollArea(this);
    m_scroll->setObjectName(QStringLiteral("compareScroll"));
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setWidgetResizable(true);
    m_panels = new QWidget(m_scroll);
    m_panels->setObjectName(QStringLiteral("comparePanels"));
    m_grid = new QGridLayout(m_panels);
    m_grid->setContentsMargins(0, 0, 0, 0);
    m_grid->setSpacing(6);
    m_grid->setAlignment(Qt::AlignTop | Qt::AlignLeft); // a wide window leaves room right, not between
    for (std::size_t i = 0; i < kModuleCount; ++i)
        m_modules[i] = MakeModuleBox(comparison.modules[i], m_panels);
    LayOut(kMostColumns);
    m_scroll->setWidget(m_panels);
    layout->addWidget(m_scroll, 1);
    resize(WholeSize(kMostColumns));

    auto *saveImage = new QAction(QStringLiteral("Save Image..."), this);
    saveImage->setObjectName(QStringLiteral("compareSaveImageAction"));
    saveImage->setShortcut(QKeySequence::Save);
    connect(saveImage, &QAction::triggered, this, &CompareWindow::saveImageRequested);
    auto *copyImage = new QAction(QStringLiteral("Copy Image"), this);
    copyImage->setObjectName(QStringLiteral("compareCopyImageAction"));
    copyImage->setShortcut(QKeySequence::Copy);
    connect(copyImage, &QAction::triggered, this, &CompareWindow::CopyImage);
    addActions({copyImage, saveImage});
    setContextMenuPolicy(Qt::ActionsContextMenu);
}

QImage CompareWindow::Picture(const PatchComparison &comparison, const Side &a, const Side &b,
                              bool onlyDifferences, qreal scale) {
    CompareWindow window(comparison, a, b);
    window.setAttribute(Qt::WA_DontShowOnScreen);
    window.setAttribute(Qt::WA_DeleteOnClose, false);
    window.m_onlyDifferences->hide(); // a control, not part of the comparison
    window.m_onlyDifferences->setChecked(onlyDifferences);
    window.m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    window.m_scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    window.show(); // polished, so that the sizes below are those of the fonts and style in use
    // Exactly the room of the five columns: no scroll bar, nothing cut.
    window.LayOut(kMostColumns);
    const QSize panels = window.m_grid->sizeHint();
    const QMargins margins = window.layout()->contentsMargins();
    const int width = std::max(panels.width(), window.m_header->sizeHint().width());
    window.resize(margins.left() + width + margins.right(), margins.top() + window.m_header->sizeHint().height() +
                                                               window.layout()->spacing() + panels.height() +
                                                               margins.bottom());
    window.LayOut(kMostColumns); // the resize chose its columns by the width; five it is
    window.layout()->activate();
    scale = std::clamp(scale, 1.0, 8.0);
    QImage image((QSizeF(window.size()) * scale).toSize(), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
    image.fill(window.palette().color(QPalette::Window));
    window.render(&image);
    image.setDevicePixelRatio(1);
    return image.convertToFormat(QImage::Format_RGB32);
}

QImage CompareWindow::Picture(qreal scale) const {
    return Picture(m_comparison, m_a, m_b, m_onlyDifferences->isChecked(), scale);
}

void CompareWindow::CopyImage() {
    QGuiApplication::clipboard()->setImage(Picture(2));
}

void CompareWindow::ShowOnlyDifferences(bool only) {
    if (m_onlyDifferences->isChecked() != only)
        m_onlyDifferences->setChecked(only); // comes back here through the signal
    else
        LayOut(m_columns);
}

QSize CompareWindow::WholeSize(int columns) {
    const int shown = m_columns;
    LayOut(columns);
    const QSize panels = m_grid->sizeHint();
    LayOut(shown);
    const QMargins margins = layout()->contentsMargins();
    return {margins.left() + panels.width() + style()->pixelMetric(QStyle::PM_ScrollBarExtent) +
                margins.right(),
            margins.top() + m_header->sizeHint().height() + layout()->spacing() + panels.height() +
                margins.bottom()};
}

int CompareWindow::ModuleWidth() const {
    int width = 0;
    for (const QWidget *box : m_modules)
        width = std::max(width, box->sizeHint().width());
    return width;
}

// As many columns as the scroll area's width takes beside the room of its scroll bar, so that the
// count does not change as the bar comes and goes.
int CompareWindow::ColumnsForWidth(int width) const {
    const int spacing = m_grid->horizontalSpacing();
    const int room = width - style()->pixelMetric(QStyle::PM_ScrollBarExtent) + spacing;
    return std::clamp(room / (ModuleWidth() + spacing), 1, kMostColumns);
}

// The shown modules fill the grid row by row in panel order.
void CompareWindow::LayOut(int columns) {
    m_columns = columns;
    const bool only = m_onlyDifferences->isChecked();
    for (QWidget *box : m_modules)
        m_grid->removeWidget(box);
    int place = 0;
    for (std::size_t i = 0; i < kModuleCount; ++i) {
        const bool shown = !only || m_comparison.modules[i].differs;
        m_modules[i]->setVisible(shown);
        if (shown) {
            m_grid->addWidget(m_modules[i], place / columns, place % columns, Qt::AlignTop | Qt::AlignLeft);
            ++place;
        }
    }
    m_grid->invalidate();
}

void CompareWindow::resizeEvent(QResizeEvent *event) {
    QWidget::resizeEvent(event);
    const QMargins margins = layout()->contentsMargins();
    const int columns = ColumnsForWidth(width() - margins.left() - margins.right());
    if (columns != m_columns)
        LayOut(columns);
}

void CompareWindow::keyPressEvent(QKeyEvent *event) {
    if (event->key() == Qt::Key_Escape || event->matches(QKeySequence::Close) ||
        (event->key() == Qt::Key_W && event->modifiers() == Qt::ControlModifier)) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

} // namespace patchlens
