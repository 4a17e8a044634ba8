#include "modio/modiolistmodel.h"

ModIoListModel::ModIoListModel(const QList<ModIoMod> *records,
                               std::function<ModIoInstallState(int record)> installState, QObject *parent)
    : QAbstractListModel(parent), m_records(records), m_installState(std::move(installState))
{}

void ModIoListModel::setShownRecords(const QList<int> &records)
{
    beginResetModel();
    m_rows = records;
    m_rowOfRecord.clear();
    m_rowOfRecord.reserve(records.size());
    for (int row = 0; row < m_rows.size(); ++row)
        m_rowOfRecord.insert(m_rows.at(row), row);
    m_texts.clear();
    endResetModel();
}

void ModIoListModel::refreshTexts()
{
    m_texts.clear();
    if (!m_rows.isEmpty())
        Q_EMIT dataChanged(index(0), index(int(m_rows.size()) - 1));
}

int ModIoListModel::recordAt(int row) const
{
    return row >= 0 && row < m_rows.size() ? m_rows.at(row) : -1;
}

int ModIoListModel::rowOfRecord(int record) const
{
    return m_rowOfRecord.value(record, -1);
}

int ModIoListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

const ModIoRowTexts &ModIoListModel::textsOf(int record) const
{
    auto it = m_texts.find(record);
    if (it == m_texts.end())
        it = m_texts.insert(record, modIoRowTexts(m_records->at(record), m_installState(record)));
    return *it;
}

QVariant ModIoListModel::data(const QModelIndex &index, int role) const
{
    const int record = recordAt(index.row());
    if (!index.isValid() || record < 0 || record >= m_records->size())
        return {};
    const ModIoMod &mod = m_records->at(record);
    switch (role) {
    case ModIoRole::Record:
        return record;
    case ModIoRole::LogoUrl:
        return mod.logoUrl;
    case Qt::DecorationRole:
        return m_icon ? m_icon(record) : QVariant();
    case Qt::DisplayRole:
    case ModIoRole::Name:
        return mod.name;
    case ModIoRole::Byline:
        return textsOf(record).byline;
    case ModIoRole::Summary:
        return textsOf(record).summary;
    case ModIoRole::Statistics:
        return textsOf(record).statistics;
    case ModIoRole::Pill:
        return textsOf(record).pill;
    case ModIoRole::PillKind:
        return textsOf(record).pillKind;
    case ModIoRole::QuickCheckBadge:
        return textsOf(record).quickCheckBadge;
    case ModIoRole::CommunityBadge:
        return textsOf(record).communityBadge;
    case ModIoRole::CommunityLevel:
        return textsOf(record).communityLevel;
    case Qt::ToolTipRole:
        return mod.summary.left(500);
    default:
        return {};
    }
}
