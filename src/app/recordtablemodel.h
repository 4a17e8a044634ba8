#pragma once

#include <QAbstractTableModel>
#include <QList>
#include <QString>

#include <functional>

// The rows of one of the pages' lists: records of the window (catalog entries, local mods, update candidates,
// each known by its position in the window's list), of which a filter shows some. A filter change resets
// this one model; no item is created per row, and a cell's text is made only when a view asks for it (then
// kept until the records change). Every column sorts, with ranks computed once per column, so re-sorting
// the rows of a new filter costs next to nothing.
class RecordTableModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum class SortAs
    {
        Text,    // ignoring case, numbers by value ("Lok 9" before "Lok 10"), umlauts beside their vowels
        Version, // by the program's version comparison
    };
    struct Column
    {
        QString header;
        std::function<QString(int record)> text;
        SortAs sortAs = SortAs::Text;
    };
    // What a view asks beyond the display text (tool tips, the pages' own roles); an invalid QVariant for
    // nothing.
    using ExtraData = std::function<QVariant(int record, int column, int role)>;

    RecordTableModel(const QList<Column> &columns, const ExtraData &extraData, QObject *parent = nullptr);

    // Records 0 to count - 1 exist now and show no row; every cached text and rank is forgotten.
    void resetRecords(int count);
    // The records to show, in their natural order; the view shows them sorted by the current sort column.
    void setShownRecords(const QList<int> &records);
    // The texts of a column changed (a status after a rescan); its cache and rank are forgotten.
    void invalidateColumn(int column);

    int recordAt(int row) const;
    int rowOfRecord(int record) const; // -1 when not shown
    const QList<int> &shownRecords() const { return m_rows; }
    int sortColumn() const { return m_sortColumn; }
    Qt::SortOrder sortOrder() const { return m_sortOrder; }
    QString cellText(int record, int column) const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    // column -1: the natural order.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

private:
    const QList<int> &rankOf(int column) const;
    QList<int> sortedRows() const;
    void rebuildRowIndex();

    QList<Column> m_columns;
    ExtraData m_extraData;
    int m_recordCount = 0;
    QList<int> m_natural; // the shown records in their natural order
    QList<int> m_rows;    // the shown records in view order
    QList<int> m_rowOfRecord;
    int m_sortColumn = -1;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
    // Per column and record: the text (null until made) and the record's place in the column's order
    // (empty until the column is sorted).
    mutable QList<QList<QString>> m_texts;
    mutable QList<QList<int>> m_ranks;
};
