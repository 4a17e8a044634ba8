#pragma once

class CardGridView;
class ColumnFiller;
class QLabel;
class QPushButton;
class QStackedWidget;
class QTableView;
class RecordTableModel;

// The installed page's widgets. The local mods themselves are the window's own members.
struct InstalledView
{
    QStackedWidget *views = nullptr;
    QTableView *table = nullptr;
    CardGridView *gallery = nullptr;
    // Shown instead of table and gallery while no mod was found.
    QLabel *emptyLabel = nullptr;
    bool galleryMode = false;
    // Rows of table and gallery alike: records are indexes into the local mods.
    RecordTableModel *model = nullptr;
    QPushButton *listButton = nullptr;
    QPushButton *galleryButton = nullptr;
    QPushButton *openFolderButton = nullptr;
    QPushButton *uninstallButton = nullptr;
    ColumnFiller *columns = nullptr;
};
