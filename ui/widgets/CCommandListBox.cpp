// SPDX-License-Identifier: MIT
#include "ui/widgets/CCommandListBox.h"

#include <QKeyEvent>
#include <QPainter>
#include <QStyledItemDelegate>

namespace {

constexpr int kCommandRole = Qt::UserRole;

// The marked entry (under the mouse, or chosen with the keys) is filled with the selection
// colour, so the user sees what Enter runs; the entry with the keyboard focus has a dotted frame.
class CommandDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const override
    {
        return {option.rect.width(), CCommandListBox::kItemHeight};
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const QRect item = option.rect;
        const QPalette& palette = option.palette;
        const bool selected = option.state & QStyle::State_Selected;
        painter->save();
        painter->fillRect(item, palette.color(selected ? QPalette::Highlight : QPalette::Base));
        const QRect text = item.adjusted(3, 0, -3, 0);
        const QPixmap icon = index.data(Qt::DecorationRole).value<QPixmap>();
        if (!icon.isNull())
            painter->drawPixmap(item.left() + 10, item.top() + 8, icon);
        painter->setPen(palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
        painter->setClipRect(text);
        painter->drawText(QRect(text.left() + 60, item.top() + 15, text.width() - 60, item.height() - 15),
            Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, index.data(Qt::DisplayRole).toString());
        painter->setClipping(false);
        // Drawn here rather than by the style, which shows focus only after a Tab.
        const bool focused
            = (option.state & QStyle::State_HasFocus) && option.widget && option.widget->hasFocus();
        if (focused) {
            QPen dots(palette.color(selected ? QPalette::HighlightedText : QPalette::Text), 1, Qt::DotLine);
            dots.setCosmetic(true);
            painter->setPen(dots);
            painter->setBrush(Qt::NoBrush);
            painter->drawRect(item.adjusted(1, 1, -2, -2));
        }
        painter->restore();
    }
};

bool IsRunKey(const QKeyEvent* event)
{
    return event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter || event->key() == Qt::Key_Space;
}

} // namespace

CCommandListBox::CCommandListBox(QWidget* parent)
    : QListWidget(parent)
{
    setItemDelegate(new CommandDelegate(this));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformItemSizes(true);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
}

void CCommandListBox::AddCommand(const QString& title, int commandId, const QPixmap& icon)
{
    auto* item = new QListWidgetItem(title.left(255), this);
    item->setData(kCommandRole, commandId);
    if (!icon.isNull())
        item->setData(Qt::DecorationRole, icon);
    item->setSizeHint(QSize(0, kItemHeight));
}

int CCommandListBox::CommandAt(int row) const
{
    const QListWidgetItem* entry = item(row);
    return entry ? entry->data(kCommandRole).toInt() : 0;
}

int CCommandListBox::NearestRow(const QPoint& point) const
{
    if (count() == 0)
        return -1;
    if (const QModelIndex hit = indexAt(point); hit.isValid())
        return hit.row();
    // Above the first entry or below the last: the nearest one, as a list box reports it.
    return point.y() < visualRect(model()->index(0, 0)).top() ? 0 : count() - 1;
}

void CCommandListBox::Select(int row)
{
    if (row < 0) {
        clearSelection();
        setCurrentRow(-1, QItemSelectionModel::Clear);
        return;
    }
    if (currentRow() != row || !item(row)->isSelected())
        setCurrentRow(row, QItemSelectionModel::ClearAndSelect);
}

void CCommandListBox::Run(int row)
{
    if (const int id = CommandAt(row))
        emit commandRun(id);
}

void CCommandListBox::mouseMoveEvent(QMouseEvent* event)
{
    Select(NearestRow(event->position().toPoint()));
    m_hover = true;
    event->accept();
}

void CCommandListBox::mousePressEvent(QMouseEvent* event)
{
    // The press only takes the focus; the command runs on the release.
    setFocus(Qt::MouseFocusReason);
    event->accept();
}

void CCommandListBox::mouseDoubleClickEvent(QMouseEvent* event)
{
    event->accept();
}

void CCommandListBox::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        Run(NearestRow(event->position().toPoint()));
    event->accept();
}

void CCommandListBox::leaveEvent(QEvent* event)
{
    if (m_hover) {
        m_hover = false;
        Select(-1);
    }
    QListWidget::leaveEvent(event);
}

void CCommandListBox::keyPressEvent(QKeyEvent* event)
{
    // Taken here so that the dialog does not also press its default button; the command runs
    // when the key comes up.
    if (IsRunKey(event)) {
        event->accept();
        return;
    }
    QListWidget::keyPressEvent(event);
}

void CCommandListBox::keyReleaseEvent(QKeyEvent* event)
{
    if (IsRunKey(event) && !event->isAutoRepeat()) {
        event->accept();
        if (const QList<QListWidgetItem*> chosen = selectedItems(); !chosen.isEmpty())
            Run(row(chosen.first()));
        return;
    }
    QListWidget::keyReleaseEvent(event);
}

void CCommandListBox::focusInEvent(QFocusEvent* event)
{
    QListWidget::focusInEvent(event);
    if (selectedItems().isEmpty() && count() > 0)
        Select(0);
}

void CCommandListBox::focusOutEvent(QFocusEvent* event)
{
    QListWidget::focusOutEvent(event);
    Select(-1);
}
