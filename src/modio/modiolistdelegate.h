#pragma once

#include <QStyledItemDelegate>

// Paints a mod.io list row from the ModIoRole roles: the preview area, the status and warning badges at the
// right and four lines of text beside the preview. Every row is 112 pixels high; nothing is measured per
// row.
class ModIoListDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    static constexpr int rowHeight = 112;

    explicit ModIoListDelegate(QObject *parent = nullptr);

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
};
