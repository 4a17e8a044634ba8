#include "app/listwidgets.h"

#include "app/listroles.h"
#include "install/download.h"

#include <QApplication>
#include <QEvent>
#include <QHeaderView>
#include <QHelpEvent>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QProgressBar>
#include <QScrollBar>
#include <QTableView>
#include <QToolTip>

namespace {
constexpr int sampleRows = 100;
constexpr int widestSampledColumn = 260;
constexpr int cellPadding = 14;
constexpr int cardInset = 4;
constexpr int cardPadding = 10;
constexpr int cardGap = 8;

// text on at most two lines of width: the words that fit on the first, the rest cut with an ellipsis.
QStringList twoLines(const QFontMetrics &metrics, const QString &text, int width)
{
    if (metrics.horizontalAdvance(text) <= width)
        return {text};
    const QStringList words = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    QString first;
    int used = 0;
    for (; used < words.size(); ++used) {
        const QString candidate =
            first.isEmpty() ? words.at(used) : first + QLatin1Char(' ') + words.at(used);
        if (metrics.horizontalAdvance(candidate) > width)
            break;
        first = candidate;
    }
    if (first.isEmpty()) // one word wider than the card
        return {metrics.elidedText(text, Qt::ElideRight, width)};
    return {first, metrics.elidedText(words.mid(used).join(QLatin1Char(' ')), Qt::ElideRight, width)};
}

QFont boldFont(const QFont &font)
{
    QFont bold = font;
    bold.setWeight(QFont::Bold);
    return bold;
}
} // namespace

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

void showDownloadProgress(QProgressBar *bar, const DownloadProgress &state)
{
    if (!bar)
        return;
    if (state.busy)
        bar->setRange(0, 0);
    else
        bar->setRange(0, 100);
    bar->setValue(state.value);
    if (!state.format.isEmpty())
        bar->setFormat(state.format);
    bar->setVisible(true);
}

QTableView *makeRecordTable(QAbstractItemModel *model, int sortColumn, QWidget *parent)
{
    auto *table = new QTableView(parent);
    table->setModel(model);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setWordWrap(false);
    table->setTextElideMode(Qt::ElideRight);
    table->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    table->setCornerButtonEnabled(false);
    // One row height for all: nothing is measured per row.
    table->verticalHeader()->hide();
    table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 10);
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    table->horizontalHeader()->setStretchLastSection(false);
    table->horizontalHeader()->setHighlightSections(false);
    table->horizontalHeader()->setMinimumSectionSize(40);
    table->horizontalHeader()->setSortIndicator(sortColumn, Qt::AscendingOrder);
    table->setSortingEnabled(true);
    return table;
}

ColumnFiller::ColumnFiller(QTableView *table, int fillColumn, int minimumFillWidth)
    : QObject(table), m_table(table), m_viewport(table->viewport()), m_fillColumn(fillColumn),
      m_minimumFillWidth(minimumFillWidth)
{
    m_viewport->installEventFilter(this);
    connect(table->horizontalHeader(), &QHeaderView::sectionResized, this, [this](int section, int, int) {
        if (section != m_fillColumn)
            fill();
    });
}

void ColumnFiller::fitToSample()
{
    QAbstractItemModel *model = m_table->model();
    if (m_fitted || model->rowCount() == 0)
        return;
    m_fitted = true;
    QHeaderView *header = m_table->horizontalHeader();
    const QFontMetrics metrics = m_table->fontMetrics();
    const int rows = qMin(model->rowCount(), sampleRows);
    for (int column = 0; column < model->columnCount(); ++column) {
        if (column == m_fillColumn)
            continue;
        int width = header->sectionSizeHint(column);
        for (int row = 0; row < rows; ++row) {
            const QString text = model->index(row, column).data().toString();
            width = qMax(width, metrics.horizontalAdvance(text) + cellPadding);
        }
        header->resizeSection(column, qMin(width, widestSampledColumn));
    }
    fill();
}

void ColumnFiller::fill()
{
    QHeaderView *header = m_table->horizontalHeader();
    int others = 0;
    for (int section = 0; section < header->count(); ++section) {
        if (section != m_fillColumn && !header->isSectionHidden(section))
            others += header->sectionSize(section);
    }
    const int width = qMax(m_minimumFillWidth, m_table->viewport()->width() - others);
    if (header->sectionSize(m_fillColumn) != width)
        header->resizeSection(m_fillColumn, width);
}

bool ColumnFiller::eventFilter(QObject *watched, QEvent *event)
{
    // Compared with the pointer taken at the start: the viewport still sends events while the table is being
    // destroyed, when the table is no scroll area any more and must not be asked for it.
    if (watched == m_viewport && event->type() == QEvent::Resize)
        fill();
    return QObject::eventFilter(watched, event);
}

CardDelegate::CardDelegate(QObject *parent) : QStyledItemDelegate(parent)
{}

QSize CardDelegate::sizeHint(const QStyleOptionViewItem &, const QModelIndex &) const
{
    return m_cardSize;
}

void CardDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                         const QModelIndex &index) const
{
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    const QRect card = option.rect.adjusted(cardInset, cardInset, -cardInset, -cardInset);
    const bool selected = option.state & QStyle::State_Selected;
    const bool warning = index.data(ListRole::CardWarning).toBool();
    const QPalette &palette = option.palette;

    QPainterPath outline;
    outline.addRoundedRect(QRectF(card).adjusted(0.5, 0.5, -0.5, -0.5), 10, 10);
    painter->fillPath(outline, selected ? palette.highlight().color().lighter(185) : palette.base().color());
    QPen border(warning    ? QColor(0xd9, 0x82, 0x2b)
                : selected ? palette.highlight().color()
                           : QColor(0xd9, 0xdd, 0xe3));
    border.setWidthF(selected ? 2.0 : 1.0);
    painter->setPen(border);
    painter->drawPath(outline);

    const QRect content = card.adjusted(cardPadding, cardPadding, -cardPadding, -cardPadding);
    const QRect picture(content.left(), content.top(), content.width(), m_pictureHeight);
    const QPixmap pixmap = index.data(ListRole::CardPicture).value<QPixmap>();
    if (m_pictureHeight <= 0) {
        // A gallery without pictures.
    } else if (!pixmap.isNull()) {
        const QSize size = pixmap.size().scaled(picture.size(), Qt::KeepAspectRatio);
        painter->drawPixmap(QRect(QPoint(picture.center().x() - size.width() / 2 + 1, picture.top()), size),
                            pixmap);
    } else {
        painter->fillRect(picture, QColor(0xf3, 0xf5, 0xf8));
        painter->setPen(QColor(0x8a, 0x96, 0xa3));
        painter->drawText(picture, Qt::AlignCenter,
                          QCoreApplication::translate("MainWindow", "Keine Vorschau"));
    }

    int y = m_pictureHeight > 0 ? picture.bottom() + 1 + cardPadding / 2 : content.top();
    const QFont title = boldFont(option.font);
    const QFontMetrics titleMetrics(title);
    painter->setFont(title);
    painter->setPen(palette.text().color());
    for (const QString &line :
         twoLines(titleMetrics, index.data(ListRole::CardTitle).toString(), content.width())) {
        painter->drawText(QRect(content.left(), y, content.width(), titleMetrics.height()),
                          Qt::AlignHCenter | Qt::AlignVCenter, line);
        y += titleMetrics.height();
    }
    const QFontMetrics metrics(option.font);
    painter->setFont(option.font);
    painter->setPen(warning ? QColor(0xa0, 0x52, 0x0f) : palette.placeholderText().color());
    for (const QString &line : index.data(ListRole::CardLines).toStringList()) {
        painter->drawText(QRect(content.left(), y, content.width(), metrics.height()),
                          Qt::AlignHCenter | Qt::AlignVCenter,
                          metrics.elidedText(line, Qt::ElideRight, content.width()));
        y += metrics.height();
    }
    painter->restore();
}

bool CardDelegate::helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
                             const QModelIndex &index)
{
    if (event->type() != QEvent::ToolTip)
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    const QString text = index.data(ListRole::CardToolTip).toString();
    if (text.isEmpty())
        QToolTip::hideText();
    else
        QToolTip::showText(event->globalPos(), text, view);
    return true;
}

CardGridView::CardGridView(int smallestCardWidth, int pictureHeight, QWidget *parent)
    : QListView(parent), m_delegate(new CardDelegate(this))
{
    const int textHeight = 2 * QFontMetrics(boldFont(font())).height() + 2 * fontMetrics().height();
    const int pictureArea = pictureHeight > 0 ? pictureHeight + cardPadding / 2 : 0;
    m_smallestCard = QSize(smallestCardWidth, 2 * cardInset + 2 * cardPadding + pictureArea + textHeight);
    setViewMode(QListView::IconMode);
    setMovement(QListView::Static);
    setResizeMode(QListView::Adjust);
    setWrapping(true);
    setUniformItemSizes(true);
    setSpacing(0);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_delegate->setPictureHeight(pictureHeight);
    setItemDelegate(m_delegate);
    fitCards();
}

void CardGridView::resizeEvent(QResizeEvent *event)
{
    QListView::resizeEvent(event);
    fitCards();
}

void CardGridView::fitCards()
{
    const int available = viewport()->width() - cardGap;
    const int columns = qMax(1, available / (m_smallestCard.width() + cardGap));
    const int width = qMax(120, available / columns - cardGap);
    const QSize card(width, m_smallestCard.height());
    if (gridSize() == card + QSize(cardGap, cardGap))
        return;
    m_delegate->setCardSize(card);
    setGridSize(card + QSize(cardGap, cardGap));
}
