#include "PlainTextDelegate.h"

#include <QPainter>

namespace {
constexpr int Margin = 4;
} // namespace

void PlainTextDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                              const QModelIndex &index) const
{
    const bool selected = option.state & QStyle::State_Selected;
    if (selected)
        painter->fillRect(option.rect, option.palette.highlight());
    const QVariant alignment = index.data(Qt::TextAlignmentRole);
    const int flags = alignment.isValid() ? alignment.toInt() : int(Qt::AlignLeft | Qt::AlignVCenter);
    painter->setPen(selected ? option.palette.highlightedText().color() : option.palette.text().color());
    painter->drawText(option.rect.adjusted(Margin, 0, -Margin, 0), flags, index.data().toString());
}
