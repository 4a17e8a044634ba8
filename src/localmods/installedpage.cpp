#include "app/listroles.h"
#include "app/listwidgets.h"
#include "app/mainwindow.h"
#include "app/recordtablemodel.h"
#include "app/settings.h"
#include "environment/discovery.h"
#include "localmods/localscan.h"
#include "localmods/modmatching.h"

#include <QCoreApplication>
#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QStackedWidget>
#include <QTableView>
#include <QVBoxLayout>

#include <numeric>

namespace {
enum InstalledColumn
{
    NameColumn,
    VersionColumn,
    SourceColumn,
    FolderColumn,
    PathColumn
};
} // namespace

QWidget *MainWindow::buildInstalledPage()
{
    InstalledView &view = installedView;
    auto *page = new QWidget;
    auto *layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(10);

    auto *buttonRow = new QHBoxLayout;
    auto *rescanButton = new QPushButton(tr("Neu einlesen"), page);
    view.openFolderButton = new QPushButton(tr("Ordner öffnen"), page);
    view.uninstallButton = new QPushButton(tr("Deinstallieren"), page);
    view.listButton = new QPushButton(tr("Liste"), page);
    view.galleryButton = new QPushButton(tr("Galerie"), page);
    for (QPushButton *toggle : {view.listButton, view.galleryButton}) {
        toggle->setCheckable(true);
        toggle->setAutoExclusive(true);
    }
    view.listButton->setChecked(true);
    for (QPushButton *button :
         {rescanButton, view.openFolderButton, view.uninstallButton, view.listButton, view.galleryButton}) {
        button->setMinimumHeight(32);
        button->setMinimumWidth(button->sizeHint().width() + 24);
    }
    buttonRow->addWidget(rescanButton);
    buttonRow->addWidget(view.openFolderButton);
    buttonRow->addWidget(view.uninstallButton);
    buttonRow->addStretch();
    buttonRow->addWidget(view.listButton);
    buttonRow->addWidget(view.galleryButton);
    layout->addLayout(buttonRow);

    const auto mod = [this](int i) -> const LocalMod & {
        return localMods.at(i);
    };
    const auto duplicate = [this](int i) {
        return duplicateLocalMods.contains(i);
    };
    view.model = new RecordTableModel(
        {{tr("Mod"),
          [mod, duplicate](int i) {
              return duplicate(i) ? tr("⚠ %1").arg(mod(i).name) : mod(i).name;
          }},
         {tr("Version"), [mod](int i) { return mod(i).version; }, RecordTableModel::SortAs::Version},
         {tr("Quelle"),
          [mod, duplicate](int i) {
              return duplicate(i) ? tr("⚠ Doppelt installiert • %1").arg(mod(i).source) : mod(i).source;
          }},
         {tr("Ordner"),
          [mod](int i) {
              return mod(i).folderName;
          }},
         {tr("Pfad"),
          [mod](int i) {
              return QDir::toNativeSeparators(mod(i).path);
          }}},
        [mod, duplicate](int i, int column, int role) -> QVariant {
            switch (role) {
            case Qt::UserRole:
                return i;
            case Qt::ToolTipRole:
                if (!duplicate(i))
                    return {};
                if (column == NameColumn)
                    return tr("Diese Mod ist mehrfach installiert (mod.io und weiterer Mod-Ordner). Es wird "
                              "empfohlen, die mod.io-Version zu behalten und die zusätzliche Installation zu "
                              "entfernen.");
                if (column == SourceColumn)
                    return tr("Diese Mod existiert gleichzeitig als mod.io- und als weitere Installation.");
                return {};
            case ListRole::CardTitle:
                return mod(i).name;
            case ListRole::CardLines:
                return QStringList{mod(i).version, mod(i).source};
            case ListRole::CardToolTip:
                return duplicate(i)
                           ? tr("Diese Mod ist mehrfach installiert (mod.io und weiterer Mod-Ordner).\n%1")
                                 .arg(mod(i).path)
                           : QDir::toNativeSeparators(mod(i).path);
            case ListRole::CardWarning:
                return duplicate(i);
            default:
                return {};
            }
        },
        this);

    view.views = new QStackedWidget(page);
    view.table = makeRecordTable(view.model, NameColumn, view.views);
    view.columns = new ColumnFiller(view.table, NameColumn, 200);
    view.gallery = new CardGridView(220, 0, view.views);
    view.gallery->setModel(view.model);
    view.gallery->setSelectionModel(view.table->selectionModel());
    view.emptyLabel = makeEmptyListLabel(view.views);
    view.emptyLabel->setText(tr("Keine Mods gefunden. Installiere Mods aus einem Katalog oder wähle unter "
                                "„Einstellungen“ die Mod-Ordner des Spiels."));
    view.views->addWidget(view.table);
    view.views->addWidget(view.gallery);
    view.views->addWidget(view.emptyLabel);
    layout->addWidget(view.views, 1);

    connect(rescanButton, &QPushButton::clicked, this, &MainWindow::rescanLocalMods);
    connect(view.openFolderButton, &QPushButton::clicked, this, &MainWindow::openSelectedLocalFolder);
    connect(view.uninstallButton, &QPushButton::clicked, this, &MainWindow::uninstallSelectedLocalMod);
    connect(view.listButton, &QPushButton::clicked, this, [this] { setInstalledGalleryMode(false); });
    connect(view.galleryButton, &QPushButton::clicked, this, [this] { setInstalledGalleryMode(true); });
    return page;
}

void MainWindow::setInstalledGalleryMode(bool gallery)
{
    InstalledView &view = installedView;
    view.galleryMode = gallery;
    view.galleryButton->setChecked(gallery);
    view.listButton->setChecked(!gallery);
    showInstalledViews();
}

void MainWindow::showInstalledViews()
{
    InstalledView &view = installedView;
    QWidget *shown = view.galleryMode ? static_cast<QWidget *>(view.gallery) : view.table;
    if (localModsLoaded && localMods.isEmpty())
        shown = view.emptyLabel;
    view.views->setCurrentWidget(shown);
}

int MainWindow::selectedLocalModIndex() const
{
    // Table and gallery share one selection.
    const QModelIndexList rows = installedView.table->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : installedView.model->recordAt(rows.first().row());
}

QString MainWindow::effectiveModIoModsPath() const
{
    return modIoModsPath(detectModIoModsPath());
}

LocalModFolders MainWindow::localModFolders() const
{
    LocalModFolders folders;
    folders.userModsPath = storedUserModsPath();
    folders.modIoModsPath = effectiveModIoModsPath();
    folders.customModPaths = customModPaths();
    folders.programFolder = QCoreApplication::applicationDirPath();
    return folders;
}

void MainWindow::rescanLocalMods()
{
    localMods.clear();
    localFolderCopies.clear();
    duplicateLocalMods.clear();
    duplicateDescriptions.clear();
    installedModIoFileIds.clear();
    localModsLoaded = false;

    LocalModFolders folders = localModFolders();
    folders.language = chooseInterfaceLanguage(QLocale::system().language() == QLocale::German);
    LocalScanResult scan = scanLocalMods(folders);
    localMods = std::move(scan.mods);
    localFolderCopies = std::move(scan.folderCopies);
    installedModIoFileIds = std::move(scan.modIoFileIds);
    localModsLoaded = true;

    relinkLocalMods();
    rebuildInstalledView();
    refreshUpdateList();
    applyCatalogFilter();
    setStatus(tr("%1 lokale Mods gefunden.").arg(localMods.size()));
    warnAboutDuplicates();
}

void MainWindow::relinkLocalMods()
{
    linkLocalModsToCatalog(localMods, catalog, catalogView.matchIndex);
    const DuplicateInstallations duplicates = detectDuplicateInstallations(localMods, catalogView.matchIndex);
    duplicateLocalMods = duplicates.indexes;
    duplicateDescriptions = duplicates.descriptions;
    installedIndex = InstalledModsIndex(localMods, localFolderCopies);
    refreshCatalogStatuses();
}

void MainWindow::rebuildInstalledView()
{
    InstalledView &view = installedView;
    // The same folder stays selected across a rescan.
    const int selected = selectedLocalModIndex();
    const QString selectedPath =
        selected >= 0 && selected < localMods.size() ? localMods.at(selected).path : QString();
    const QSignalBlocker blocker(view.table->selectionModel());
    view.model->resetRecords(int(localMods.size()));
    QList<int> all(localMods.size());
    std::iota(all.begin(), all.end(), 0);
    view.model->setShownRecords(all);
    view.columns->fitToSample();
    showInstalledViews();
    for (int i = 0; i < localMods.size() && !selectedPath.isEmpty(); ++i) {
        if (localMods.at(i).path == selectedPath) {
            view.table->selectRow(view.model->rowOfRecord(i));
            break;
        }
    }
}

void MainWindow::warnAboutDuplicates()
{
    if (catalog.isEmpty())
        return;
    if (duplicateDescriptions.isEmpty()) {
        lastDuplicateWarning.clear();
        return;
    }
    const QString key = duplicateDescriptions.join(QStringLiteral("\n---\n"));
    if (key == lastDuplicateWarning)
        return;
    lastDuplicateWarning = key;
    prompts.warning(
        tr("Doppelt installierte Mods erkannt"),
        tr("Mindestens eine Mod ist gleichzeitig über mod.io und über einen weiteren Mod-Ordner installiert. "
           "Das "
           "kann zu Konflikten, doppelten Dateien oder einem unklaren Update-Stand führen.\n\nWenn eine "
           "mod.io-Version vorhanden ist, sollte diese bevorzugt und die zusätzliche Installation entfernt "
           "werden.\n\n%1")
            .arg(duplicateDescriptions.join(QStringLiteral("\n\n"))));
}
