#include "app/recordtablemodel.h"

#include "catalog/versions.h"

#include <QCollator>
#include <QLocale>

#include <algorithm>
#include <numeric>

RecordTableModel::RecordTableModel(const QList<Column> &columns, const ExtraData &extraData, QObject *parent)
    : QAbstractTableModel(parent), m_columns(columns), m_extraData(extraData)
{
    m_texts.resize(m_columns.size());
    m_ranks.resize(m_columns.size());
}

void RecordTableModel::resetRecords(int count)
{
    beginResetModel();
    m_recordCount = count;
    m_natural.clear();
    m_rows.clear();
    for (int column = 0; column < m_columns.size(); ++column) {
        m_texts[column].clear();
        m_ranks[column].clear();
    }
    rebuildRowIndex();
    endResetModel();
}

void RecordTableModel::setShownRecords(const QList<int> &records)
{
    beginResetModel();
    m_natural = records;
    m_rows = sortedRows();
    rebuildRowIndex();
    endResetModel();
}

void RecordTableModel::invalidateColumn(int column)
{
    if (column < 0 || column >= m_columns.size())
        return;
    m_texts[column].clear();
    m_ranks[column].clear();
    if (!m_rows.isEmpty())
        Q_EMIT dataChanged(index(0, column), index(int(m_rows.size()) - 1, column));
    if (column == m_sortColumn)
        sort(m_sortColumn, m_sortOrder);
}

int RecordTableModel::recordAt(int row) const
{
    return row >= 0 && row < m_rows.size() ? m_rows.at(row) : -1;
}

int RecordTableModel::rowOfRecord(int record) const
{
    return record >= 0 && record < m_rowOfRecord.size() ? m_rowOfRecord.at(record) : -1;
}

QString RecordTableModel::cellText(int record, int column) const
{
    if (record < 0 || record >= m_recordCount || column < 0 || column >= m_columns.size())
        return {};
    QList<QString> &texts = m_texts[column];
    if (texts.isEmpty())
        texts.resize(m_recordCount);
    QString &text = texts[record];
    if (text.isNull()) {
        text = m_columns.at(column).text(record);
        if (text.isNull())
            text = QLatin1String(""); // made, and empty
    }
    return text;
}

int RecordTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int RecordTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_columns.size());
}

QVariant RecordTableModel::data(const QModelIndex &index, int role) const
{
    const int record = recordAt(index.row());
    if (!index.isValid() || record < 0)
        return {};
    if (role == Qt::DisplayRole)
        return cellText(record, index.column());
    return m_extraData ? m_extraData(record, index.column(), role) : QVariant();
}

QVariant RecordTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
        section < m_columns.size())
        return m_columns.at(section).header;
    return QAbstractTableModel::headerData(section, orientation, role);
}

void RecordTableModel::sort(int column, Qt::SortOrder order)
{
    m_sortColumn = column >= 0 && column < m_columns.size() ? column : -1;
    m_sortOrder = order;
    const QList<int> rows = sortedRows();
    if (rows == m_rows)
        return;
    // A layout change, not a reset: the selection and the current row follow their records.
    Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    QList<int> records;
    records.reserve(before.size());
    for (const QModelIndex &old : before)
        records.append(recordAt(old.row()));
    m_rows = rows;
    rebuildRowIndex();
    QModelIndexList after;
    after.reserve(before.size());
    for (int i = 0; i < before.size(); ++i) {
        const int row = rowOfRecord(records.at(i));
        after.append(row < 0 ? QModelIndex() : index(row, before.at(i).column()));
    }
    changePersistentIndexList(before, after);
    Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

const QList<int> &RecordTableModel::rankOf(int column) const
{
    QList<int> &rank = m_ranks[column];
    if (!rank.isEmpty() || m_recordCount == 0)
        return rank;
    QList<int> order(m_recordCount);
    std::iota(order.begin(), order.end(), 0);
    if (m_columns.at(column).sortAs == SortAs::Version) {
        std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
            return compareVersions(cellText(a, column), cellText(b, column)) < 0;
        });
    } else {
        QCollator collator(QLocale(QLocale::German, QLocale::Germany));
        collator.setCaseSensitivity(Qt::CaseInsensitive);
        collator.setNumericMode(true);
        QList<QCollatorSortKey> keys;
        keys.reserve(m_recordCount);
        for (int record = 0; record < m_recordCount; ++record)
            keys.append(collator.sortKey(cellText(record, column)));
        std::stable_sort(order.begin(), order.end(),
                         [&keys](int a, int b) { return keys.at(a).compare(keys.at(b)) < 0; });
    }
    rank.resize(m_recordCount);
    for (int place = 0; place < order.size(); ++place)
        rank[order.at(place)] = place;
    return rank;
}

QList<int> RecordTableModel::sortedRows() const
{
    QList<int> rows = m_natural;
    if (m_sortColumn < 0)
        return rows;
    const QList<int> &rank = rankOf(m_sortColumn);
    if (m_sortOrder == Qt::AscendingOrder)
        std::sort(rows.begin(), rows.end(), [&rank](int a, int b) { return rank.at(a) < rank.at(b); });
    else
        std::sort(rows.begin(), rows.end(), [&rank](int a, int b) { return rank.at(a) > rank.at(b); });
    return rows;
}

void RecordTableModel::rebuildRowIndex()
{
    m_rowOfRecord.fill(-1, m_recordCount);
    for (int row = 0; row < m_rows.size(); ++row) {
        const int record = m_rows.at(row);
        if (record >= 0 && record < m_recordCount)
            m_rowOfRecord[record] = row;
    }
}
