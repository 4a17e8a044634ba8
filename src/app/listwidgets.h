#pragma once

#include <QListView>
#include <QObject>
#include <QSize>
#include <QStyledItemDelegate>

struct DownloadProgress;
class QAbstractItemModel;
class QLabel;
class QProgressBar;
class QTableView;
class QWidget;

// The pieces the pages build their lists from: tables over RecordTableModel that never measure every row,
// galleries of uniform cards painted by a delegate, and the text shown where a list has no rows.

// The text a list shows in its place when it has no rows, so that "nothing found", "could not be loaded" and
// "everything is up to date" read as what they are instead of an empty grid.
QLabel *makeEmptyListLabel(QWidget *parent);

// Shows a download's state on a progress bar (busy while its size is unknown) and makes the bar visible.
void showDownloadProgress(QProgressBar *bar, const DownloadProgress &state);

// A sortable table over model: rows of one height, whole rows selected, no editing, no row numbers, texts on
// one line. It opens sorted A to Z by sortColumn, or in the model's own order when that is -1.
QTableView *makeRecordTable(QAbstractItemModel *model, int sortColumn, QWidget *parent);

// Sizes a table's columns without measuring every row: fillColumn takes the width the others leave, never
// less than minimumFillWidth (a narrow table scrolls sideways instead of squeezing its main column to
// nothing), and keeps doing so when the table or another column is resized.
class ColumnFiller : public QObject
{
    Q_OBJECT

public:
    ColumnFiller(QTableView *table, int fillColumn, int minimumFillWidth);
    // Sizes every other column once, from its header and the texts of the first rows (capped); the first call
    // with rows does it, later calls leave the widths to the user.
    void fitToSample();
    void fill();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QTableView *m_table;
    QWidget *m_viewport;
    int m_fillColumn;
    int m_minimumFillWidth;
    bool m_fitted = false;
};

// Paints a gallery card from the ListRole roles: a picture area, the title in bold and the lines below it,
// each cut to the card's width. All cards have the size the view gives them.
class CardDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    explicit CardDelegate(QObject *parent = nullptr);

    void setCardSize(const QSize &size) { m_cardSize = size; }
    void setPictureHeight(int height) { m_pictureHeight = height; }

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    bool helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
                   const QModelIndex &index) override;

private:
    QSize m_cardSize{270, 225};
    int m_pictureHeight = 126;
};

// A gallery of cards that uses the width it has: as many columns as fit cards of the smallest width, the
// cards widened to fill the row. A card is as high as its picture (none when pictureHeight is 0), two lines
// of title and two lines of text need.
class CardGridView : public QListView
{
    Q_OBJECT

public:
    CardGridView(int smallestCardWidth, int pictureHeight, QWidget *parent = nullptr);

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void fitCards();

    CardDelegate *m_delegate;
    QSize m_smallestCard;
};
