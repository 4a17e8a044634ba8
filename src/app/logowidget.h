#pragma once

#include <QPixmap>
#include <QWidget>

// The branding logo at its full width, giving up height first when a short window needs the room for the
// tiles below it. Always drawn whole, centred and with its proportions kept.
class LogoWidget : public QWidget
{
    Q_OBJECT

public:
    LogoWidget(const QPixmap &logo, int fullWidth, QWidget *parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QPixmap m_logo;
    QSize m_fullSize;
};
