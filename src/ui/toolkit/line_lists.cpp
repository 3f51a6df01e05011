#include "toolkit/line_lists.h"

#include <QApplication>
#include <QHelpEvent>
#include <QListWidget>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QToolTip>

namespace patchlens {

namespace {

QRect TextRect(const QRect &row) {
    return row.adjusted(kRowTextLeft, 0, -kRowTextRight, 0);
}

QString Elided(const QFontMetrics &metrics, const QString &text, Qt::TextElideMode elide, int width) {
    return metrics.horizontalAdvance(text) <= width ? text : metrics.elidedText(text, elide, width);
}

// Rows of a fixed height whose text is painted inside the row with small fixed margins (the
// style's own text margins would cut the eleventh character of a panel line) and elided when it
// does not fit.
class LineDelegate : public QStyledItemDelegate {
public:
    LineDelegate(int height, Qt::TextElideMode elide, QObject *parent)
        : QStyledItemDelegate(parent), m_height(height), m_elide(elide) {}

    QSize sizeHint(const QStyleOptionViewItem &, const QModelIndex &) const override {
        // No width of its own: a row is as wide as the list, and a long line is elided, not scrolled.
        return {0, m_height};
    }

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override {
        QStyleOptionViewItem item = option;
        initStyleOption(&item, index);
        const QString text = item.text;
        item.text.clear(); // the style paints the background, the selection and the focus frame
        const QWidget *widget = option.widget;
        QStyle *style = widget != nullptr ? widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &item, painter, widget);

        const bool enabled = item.state & QStyle::State_Enabled;
        const bool active = item.state & QStyle::State_Active;
        const QPalette::ColorGroup group = !enabled ? QPalette::Disabled
                                           : active ? QPalette::Normal
                                                    : QPalette::Inactive;
        const bool selected = item.state & QStyle::State_Selected;
        painter->save();
        painter->setFont(item.font);
        painter->setPen(item.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text));
        const QRect rect = TextRect(item.rect);
        painter->drawText(rect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                          Elided(QFontMetrics(item.font), text, m_elide, rect.width()));
        painter->restore();
    }

    bool helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
                   const QModelIndex &index) override {
        if (event->type() != QEvent::ToolTip)
            return QStyledItemDelegate::helpEvent(event, view, option, index);
        // A line that is shortened shows whole; otherwise the list's own tooltip, if any.
        const QString text = index.data(Qt::DisplayRole).toString();
        const QRect rect = TextRect(option.rect);
        if (QFontMetrics(option.font).horizontalAdvance(text) <= rect.width())
            return false;
        QToolTip::showText(event->globalPos(), text, view, option.rect);
        return true;
    }

private:
    int m_height;
    Qt::TextElideMode m_elide;
};

} // namespace

void StyleLineList(QListWidget *list, int rowHeight, Qt::TextElideMode elide) {
    list->setFrameStyle(QFrame::Box | QFrame::Plain);
    list->setLineWidth(1);
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    list->setTextElideMode(elide);
    list->setUniformItemSizes(true);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setItemDelegate(new LineDelegate(rowHeight, elide, list));
    QPalette palette = list->palette();
    // A list that is off shows its selection in the style's grey, whatever the system's palette
    // gives (Windows gives a disabled list the highlight of an enabled one).
    const QPalette standard = list->style()->standardPalette();
    for (const auto role : {QPalette::Highlight, QPalette::HighlightedText}) {
        palette.setColor(QPalette::Inactive, role, palette.color(QPalette::Active, role));
        palette.setColor(QPalette::Disabled, role, standard.color(QPalette::Disabled, role));
    }
    list->setPalette(palette);
}

QString ShownRowText(const QListWidget *list, int row) {
    const QListWidgetItem *item = list->item(row);
    if (item == nullptr)
        return {};
    const QRect rect = TextRect(list->visualItemRect(item));
    return Elided(QFontMetrics(list->font()), item->text(), list->textElideMode(), rect.width());
}

ElidedLabel::ElidedLabel(Qt::TextElideMode elide, QWidget *parent) : QLabel(parent), m_elide(elide) {
    setTextFormat(Qt::PlainText);
}

void ElidedLabel::SetFullText(const QString &text) {
    setText(text);
    UpdateToolTip();
}

QString ElidedLabel::ShownText() const {
    return Elided(fontMetrics(), text(), m_elide, contentsRect().width());
}

QSize ElidedLabel::minimumSizeHint() const {
    return {0, QLabel::minimumSizeHint().height()};
}

QSize ElidedLabel::sizeHint() const {
    return {0, QLabel::sizeHint().height()};
}

void ElidedLabel::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    drawFrame(&painter);
    painter.setPen(palette().color(isEnabled() ? QPalette::Normal : QPalette::Disabled, foregroundRole()));
    painter.drawText(contentsRect(), static_cast<int>(alignment()) | Qt::TextSingleLine, ShownText());
}

void ElidedLabel::resizeEvent(QResizeEvent *event) {
    QLabel::resizeEvent(event);
    UpdateToolTip();
}

void ElidedLabel::UpdateToolTip() {
    setToolTip(ShownText() == text() ? QString() : text());
}

} // namespace patchlens
