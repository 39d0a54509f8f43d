#pragma once

#include <QStyledItemDelegate>

// Draws a cell's text and nothing else: no icon, check box, focus frame or eliding. The
// diagnostics tables repaint cells every second, and the style's full item drawing costs several
// times as much.
class PlainTextDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
};
