#pragma once

#include "install/updatecandidates.h"

#include <QList>

class ColumnFiller;
class QLabel;
class QProgressBar;
class QPushButton;
class QStackedWidget;
class QTableView;
class RecordTableModel;

// The updates page's widgets and the candidates its rows stand for.
struct UpdatesView
{
    QPushButton *checkButton = nullptr;
    QPushButton *updateSelectedButton = nullptr;
    QPushButton *updateAllButton = nullptr;
    QStackedWidget *views = nullptr;
    QTableView *table = nullptr;
    QLabel *emptyLabel = nullptr;
    // Records are indexes into candidates.
    RecordTableModel *model = nullptr;
    ColumnFiller *columns = nullptr;
    QList<UpdateCandidate> candidates;
    QLabel *statusLabel = nullptr;
    QProgressBar *downloadBar = nullptr;
    QProgressBar *overallBar = nullptr;
};
