#include "app/logowidget.h"

#include <QPainter>

LogoWidget::LogoWidget(const QPixmap &logo, int fullWidth, QWidget *parent)
    : QWidget(parent), m_logo(logo.scaledToWidth(fullWidth, Qt::SmoothTransformation)),
      m_fullSize(m_logo.size())
{
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
}

QSize LogoWidget::sizeHint() const
{
    return m_fullSize;
}

QSize LogoWidget::minimumSizeHint() const
{
    // Any height down to none: the tiles below it are what the page is for.
    return {0, 0};
}

void LogoWidget::paintEvent(QPaintEvent *)
{
    if (m_logo.isNull())
        return;
    const QSize size = m_fullSize.scaled(rect().size(), Qt::KeepAspectRatio).boundedTo(m_fullSize);
    const QRect target(
        QPoint(rect().center().x() - size.width() / 2 + 1, rect().center().y() - size.height() / 2 + 1),
        size);
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawPixmap(target, m_logo);
}
