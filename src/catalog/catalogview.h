#pragma once

#include "localmods/matchindex.h"

#include <QStringList>

class CardGridView;
class ColumnFiller;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QStackedWidget;
class QTableView;
class QTextBrowser;
class RecordTableModel;

// The catalog page's widgets and what it keeps to show the catalog fast. The window holds one; the catalog's
// records and load state are the window's own members.
struct CatalogView
{
    QLineEdit *search = nullptr;
    QComboBox *categoryFilter = nullptr;
    QComboBox *repositoryFilter = nullptr;
    QPushButton *listButton = nullptr;
    QPushButton *galleryButton = nullptr;
    QPushButton *reloadButton = nullptr;
    QStackedWidget *views = nullptr;
    QTableView *table = nullptr;
    CardGridView *gallery = nullptr;
    QLabel *emptyLabel = nullptr;
    // Rows of table and gallery alike: records are catalog indexes.
    RecordTableModel *model = nullptr;
    QLabel *preview = nullptr;
    QLabel *title = nullptr;
    QLabel *info = nullptr;
    QTextBrowser *description = nullptr;
    QPushButton *installButton = nullptr;
    QProgressBar *installProgress = nullptr;
    ColumnFiller *columns = nullptr;

    // Per catalog load: the texts the search runs over and the keys local mods are matched by.
    QStringList searchTexts;
    CatalogMatchIndex matchIndex;
};
