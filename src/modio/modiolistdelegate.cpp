#include "modio/modiolistdelegate.h"

#include "modio/modiolistmodel.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {
constexpr int previewLeft = 10;
constexpr int previewTop = 11;
constexpr int previewWidth = 160;
constexpr int previewHeight = 90;
constexpr int textGap = 13;
constexpr int textTop = 9;
constexpr int badgeGap = 6;
constexpr int badgePadding = 7;

QFont sizedFont(const QFont &base, double pointDelta, double minimum, bool bold)
{
    QFont font = base;
    const double size = base.pointSizeF() > 0 ? base.pointSizeF() : 9.0;
    font.setPointSizeF(qMax(minimum, size + pointDelta));
    if (bold)
        font.setWeight(QFont::Bold);
    return font;
}

// Draws a badge ending at right; returns its left edge.
int drawBadge(QPainter *painter, const QFont &font, const QString &text, const QColor &color, int right,
              int top)
{
    const QFontMetrics metrics(font);
    const int width = metrics.horizontalAdvance(text) + 2 * badgePadding;
    const QRect box(right - width, top, width, metrics.height() + 4);
    QPainterPath path;
    path.addRoundedRect(QRectF(box), box.height() / 2.0, box.height() / 2.0);
    painter->fillPath(path, color);
    painter->setPen(Qt::white);
    painter->setFont(font);
    painter->drawText(box, Qt::AlignCenter, text);
    return box.left();
}
} // namespace

ModIoListDelegate::ModIoListDelegate(QObject *parent) : QStyledItemDelegate(parent)
{}

QSize ModIoListDelegate::sizeHint(const QStyleOptionViewItem &, const QModelIndex &) const
{
    // The width is the list's: a row never asks for more.
    return QSize(1, rowHeight);
}

void ModIoListDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                              const QModelIndex &index) const
{
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    const QRect rect = option.rect;
    const bool selected = option.state & QStyle::State_Selected;
    const bool hovered = option.state & QStyle::State_MouseOver;
    painter->fillRect(rect, selected  ? QColor(QStringLiteral("#fff2e2"))
                            : hovered ? QColor(QStringLiteral("#faf7f2"))
                                      : QColor(QStringLiteral("#ffffff")));
    if (selected)
        painter->fillRect(QRect(rect.left(), rect.top(), 3, rect.height()),
                          QColor(QStringLiteral("#c86f1f")));
    painter->setPen(QColor(QStringLiteral("#ebe4db")));
    painter->drawLine(rect.bottomLeft(), rect.bottomRight());

    const QRect preview(rect.left() + previewLeft, rect.top() + previewTop, previewWidth, previewHeight);
    QPainterPath frame;
    frame.addRoundedRect(QRectF(preview).adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
    painter->fillPath(frame, QColor(QStringLiteral("#efe8df")));
    painter->setPen(QColor(QStringLiteral("#d8cec1")));
    painter->drawPath(frame);
    const QPixmap pixmap = index.data(Qt::DecorationRole).value<QPixmap>();
    if (!pixmap.isNull()) {
        const QSize size = pixmap.size().scaled(preview.size(), Qt::KeepAspectRatio);
        painter->drawPixmap(QRect(QPoint(preview.center().x() - size.width() / 2 + 1,
                                         preview.center().y() - size.height() / 2 + 1),
                                  size),
                            pixmap);
    }

    // Badges from the right edge leftwards; the text stops short of the leftmost one.
    const QFont badgeFont = sizedFont(option.font, -1, 8, true);
    int badgeLeft = rect.right() - 10;
    const int badgeTop = rect.top() + textTop;
    const QString pill = index.data(ModIoRole::Pill).toString();
    if (!pill.isEmpty()) {
        const bool update = index.data(ModIoRole::PillKind).toString() == QLatin1String("update");
        badgeLeft = drawBadge(painter, badgeFont, pill,
                              QColor(update ? QStringLiteral("#c86f1f") : QStringLiteral("#3c9b63")),
                              badgeLeft, badgeTop) -
                    badgeGap;
    }
    const QString community = index.data(ModIoRole::CommunityBadge).toString();
    if (!community.isEmpty()) {
        const QString level = index.data(ModIoRole::CommunityLevel).toString();
        const QColor color(level == QLatin1String("high")     ? QStringLiteral("#b42318")
                           : level == QLatin1String("medium") ? QStringLiteral("#c86f1f")
                                                              : QStringLiteral("#b7791f"));
        badgeLeft = drawBadge(painter, badgeFont, community, color, badgeLeft, badgeTop) - badgeGap;
    }
    const QString quickCheck = index.data(ModIoRole::QuickCheckBadge).toString();
    if (!quickCheck.isEmpty())
        badgeLeft = drawBadge(painter, badgeFont, quickCheck, QColor(QStringLiteral("#b7791f")), badgeLeft,
                              badgeTop) -
                    badgeGap;

    const int left = preview.right() + 1 + textGap;
    const int top = rect.top() + textTop;
    const int fullWidth = qMax(0, rect.right() - 10 - left);
    const int titleWidth = qMax(0, badgeLeft - left);
    struct Line
    {
        int role;
        QFont font;
        QColor color;
        int offset;
        int height;
        int width;
    };
    const Line lines[] = {
        {ModIoRole::Name, sizedFont(option.font, 0, 10, true), QColor(QStringLiteral("#1d252d")), 0, 20,
         titleWidth},
        {ModIoRole::Byline, sizedFont(option.font, -1, 8.5, false), QColor(QStringLiteral("#766b5e")), 22, 17,
         titleWidth},
        {ModIoRole::Summary, option.font, QColor(QStringLiteral("#374350")), 43, 18, fullWidth},
        {ModIoRole::Statistics, sizedFont(option.font, -0.5, 8, false), QColor(QStringLiteral("#7c7063")), 64,
         18, fullWidth},
    };
    for (const Line &line : lines) {
        painter->setFont(line.font);
        painter->setPen(line.color);
        const QString text =
            QFontMetrics(line.font).elidedText(index.data(line.role).toString(), Qt::ElideRight, line.width);
        painter->drawText(QRect(left, top + line.offset, line.width, line.height),
                          Qt::AlignLeft | Qt::AlignVCenter, text);
    }
    painter->restore();
}
