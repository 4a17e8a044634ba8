#include "app/hometilewidget.h"

#include <QLabel>
#include <QVBoxLayout>

namespace {
constexpr int preferredWidth = 260;
constexpr int narrowestWidth = 150;
} // namespace

HomeTile::HomeTile(const QString &title, const QString &subtitle, const Look &look, int floorHeight,
                   QWidget *parent)
    : QPushButton(parent)
{
    // The layout below gives the tile the height its wrapped lines need at its width; this is the floor.
    setMinimumHeight(floorHeight);
    setAccessibleName(QStringLiteral("%1\n%2").arg(title, subtitle));
    setCursor(Qt::PointingHandCursor);
    QSizePolicy policy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
    setStyleSheet(QStringLiteral("QPushButton{background:%1;border:1px solid %2;border-radius:%3px;}"
                                 "QPushButton:hover{background:%4;}"
                                 "QPushButton:pressed{background:%5;}")
                      .arg(look.background, look.border,
                           look.large ? QStringLiteral("16") : QStringLiteral("14"), look.hover,
                           look.pressed));

    auto *layout = new QVBoxLayout(this);
    if (look.large)
        layout->setContentsMargins(24, 24, 24, 24);
    else
        layout->setContentsMargins(22, 20, 22, 20);
    layout->setSpacing(2);
    layout->addStretch();
    const QString fontCss =
        look.large ? QStringLiteral("font-size:18px;") : QStringLiteral("font-size:17px;");
    auto *titleLabel = new QLabel(title, this);
    titleLabel->setStyleSheet(
        QStringLiteral("QLabel{%1font-weight:700;color:#1d2733;background:transparent;}").arg(fontCss));
    auto *subtitleLabel = new QLabel(subtitle, this);
    subtitleLabel->setStyleSheet(
        QStringLiteral("QLabel{%1font-weight:%2;color:#3d4a58;background:transparent;}")
            .arg(fontCss, look.large ? QStringLiteral("700") : QStringLiteral("600")));
    for (QLabel *label : {titleLabel, subtitleLabel}) {
        label->setWordWrap(true);
        label->setAttribute(Qt::WA_TransparentForMouseEvents);
        layout->addWidget(label);
    }
    layout->addStretch();
}

QSize HomeTile::sizeHint() const
{
    return {preferredWidth, qMax(minimumHeight(), layout()->totalHeightForWidth(preferredWidth))};
}

QSize HomeTile::minimumSizeHint() const
{
    return {narrowestWidth, minimumHeight()};
}
