#pragma once

#include "modio/modiolisting.h"

#include <QAbstractListModel>
#include <QHash>
#include <QList>

#include <functional>

// Item data roles of a mod.io list row, read by ModIoListDelegate.
namespace ModIoRole {
enum : int
{
    Record = Qt::UserRole, // int: index into the loaded records
    LogoUrl,
    Name,
    Byline,
    Summary,
    Statistics,
    Pill,
    PillKind,
    QuickCheckBadge,
    CommunityBadge,
    CommunityLevel,
};
} // namespace ModIoRole

// The rows of the mod.io list: some of the loaded records, in the order the filter gave. A filter change
// resets this one model; a row's texts are made when a view first asks for them and kept until the records
// or their states change.
class ModIoListModel : public QAbstractListModel
{
    Q_OBJECT

public:
    // records stays owned by the caller and must outlive the model; installState tells a record's state.
    ModIoListModel(const QList<ModIoMod> *records, std::function<ModIoInstallState(int record)> installState,
                   QObject *parent = nullptr);

    // The picture of a record's row (Qt::DecorationRole); none until set.
    void setIconSource(std::function<QVariant(int record)> icon) { m_icon = std::move(icon); }
    void setShownRecords(const QList<int> &records);
    // The records or their subscribed and installed states changed in place.
    void refreshTexts();
    int recordAt(int row) const;
    int rowOfRecord(int record) const; // -1 when not shown
    const QList<int> &shownRecords() const { return m_rows; }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

private:
    const ModIoRowTexts &textsOf(int record) const;

    const QList<ModIoMod> *m_records;
    std::function<ModIoInstallState(int)> m_installState;
    std::function<QVariant(int)> m_icon;
    QList<int> m_rows;
    QHash<int, int> m_rowOfRecord;
    mutable QHash<int, ModIoRowTexts> m_texts;
};
