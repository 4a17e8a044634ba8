#include "app/emptylistwidget.h"

#include <QLabel>

QLabel *makeEmptyListLabel(QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setAlignment(Qt::AlignCenter);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setMargin(24);
    label->setStyleSheet(QStringLiteral("QLabel{color:#5d6d7e;background:palette(base);"
                                        "border:1px solid palette(mid);}"));
    return label;
}
