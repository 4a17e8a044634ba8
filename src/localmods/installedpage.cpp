#include "app/mainwindow.h"
#include "app/settings.h"
#include "environment/discovery.h"
#include "localmods/localscan.h"
#include "localmods/modmatching.h"

#include <QCoreApplication>
#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QLocale>
#include <QPushButton>
#include <QStackedWidget>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {
enum InstalledColumn
{
    NameColumn,
    VersionColumn,
    SourceColumn,
    FolderColumn,
    PathColumn
};
}

QWidget *MainWindow::buildInstalledPage()
{
    auto *page = new QWidget;
    auto *layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(10);

    auto *buttonRow = new QHBoxLayout;
    auto *rescanButton = new QPushButton(tr("Neu einlesen"), page);
    openFolderButton = new QPushButton(tr("Ordner öffnen"), page);
    uninstallButton = new QPushButton(tr("Deinstallieren"), page);
    installedListButton = new QPushButton(tr("Liste"), page);
    installedGalleryButton = new QPushButton(tr("Galerie"), page);
    for (QPushButton *toggle : {installedListButton, installedGalleryButton}) {
        toggle->setCheckable(true);
        toggle->setAutoExclusive(true);
    }
    installedListButton->setChecked(true);
    for (QPushButton *button :
         {rescanButton, openFolderButton, uninstallButton, installedListButton, installedGalleryButton}) {
        button->setMinimumHeight(32);
        button->setMinimumWidth(button->sizeHint().width() + 24);
    }
    buttonRow->addWidget(rescanButton);
    buttonRow->addWidget(openFolderButton);
    buttonRow->addWidget(uninstallButton);
    buttonRow->addStretch();
    buttonRow->addWidget(installedListButton);
    buttonRow->addWidget(installedGalleryButton);
    layout->addLayout(buttonRow);

    installedViews = new QStackedWidget(page);
    installedTable = new QTableWidget(0, 5, installedViews);
    installedTable->setHorizontalHeaderLabels(
        {tr("Mod"), tr("Version"), tr("Quelle"), tr("Ordner"), tr("Pfad")});
    installedTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    installedTable->setSelectionMode(QAbstractItemView::SingleSelection);
    installedTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    installedTable->setSortingEnabled(true);
    installedTable->setWordWrap(false);
    installedTable->verticalHeader()->hide();
    installedTable->horizontalHeader()->setSectionResizeMode(NameColumn, QHeaderView::Stretch);
    installedTable->horizontalHeader()->setSectionResizeMode(PathColumn, QHeaderView::Stretch);
    installedTable->setColumnWidth(VersionColumn, 80);
    installedTable->setColumnWidth(SourceColumn, 150);
    installedTable->setColumnWidth(FolderColumn, 180);
    installedGallery = new QListWidget(installedViews);
    installedGallery->setViewMode(QListView::IconMode);
    installedGallery->setResizeMode(QListView::Adjust);
    installedGallery->setMovement(QListView::Static);
    installedGallery->setWordWrap(true);
    installedGallery->setSpacing(8);
    installedViews->addWidget(installedTable);
    installedViews->addWidget(installedGallery);
    layout->addWidget(installedViews, 1);

    connect(rescanButton, &QPushButton::clicked, this, &MainWindow::rescanLocalMods);
    connect(openFolderButton, &QPushButton::clicked, this, &MainWindow::openSelectedLocalFolder);
    connect(uninstallButton, &QPushButton::clicked, this, &MainWindow::uninstallSelectedLocalMod);
    connect(installedListButton, &QPushButton::clicked, this, [this] { setInstalledGalleryMode(false); });
    connect(installedGalleryButton, &QPushButton::clicked, this, [this] { setInstalledGalleryMode(true); });
    // Table and gallery show the same selection.
    connect(installedTable, &QTableWidget::itemSelectionChanged, this, [this] {
        const int index = selectedLocalModIndex();
        const QSignalBlocker blocker(installedGallery);
        for (int r = 0; r < installedGallery->count(); ++r) {
            if (installedGallery->item(r)->data(Qt::UserRole).toInt() == index)
                installedGallery->setCurrentRow(r);
        }
    });
    connect(installedGallery, &QListWidget::itemSelectionChanged, this, [this] {
        const QListWidgetItem *item = installedGallery->currentItem();
        if (!item)
            return;
        const QSignalBlocker blocker(installedTable);
        for (int r = 0; r < installedTable->rowCount(); ++r) {
            if (installedTable->item(r, NameColumn)->data(Qt::UserRole) == item->data(Qt::UserRole))
                installedTable->selectRow(r);
        }
    });
    return page;
}

void MainWindow::setInstalledGalleryMode(bool gallery)
{
    installedViews->setCurrentWidget(gallery ? static_cast<QWidget *>(installedGallery) : installedTable);
    installedGalleryButton->setChecked(gallery);
    installedListButton->setChecked(!gallery);
}

int MainWindow::selectedLocalModIndex() const
{
    if (installedViews->currentWidget() == installedGallery) {
        const QListWidgetItem *item = installedGallery->currentItem();
        return item ? item->data(Qt::UserRole).toInt() : -1;
    }
    const QList<QTableWidgetItem *> selected = installedTable->selectedItems();
    if (selected.isEmpty())
        return -1;
    const QTableWidgetItem *nameItem = installedTable->item(selected.first()->row(), NameColumn);
    return nameItem ? nameItem->data(Qt::UserRole).toInt() : -1;
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

    relinkLocalMods();
    rebuildInstalledView();
    refreshUpdateList();
    applyCatalogFilter();
    localModsLoaded = true;
    setStatus(tr("%1 lokale Mods gefunden.").arg(localMods.size()));
    warnAboutDuplicates();
}

void MainWindow::relinkLocalMods()
{
    linkLocalModsToCatalog(localMods, catalog, catalogMatchIndex);
    const DuplicateInstallations duplicates = detectDuplicateInstallations(localMods, catalogMatchIndex);
    duplicateLocalMods = duplicates.indexes;
    duplicateDescriptions = duplicates.descriptions;
    installedIndex = InstalledModsIndex(localMods, localFolderCopies);
}

void MainWindow::rebuildInstalledView()
{
    const bool sorting = installedTable->isSortingEnabled();
    installedTable->setSortingEnabled(false);
    const QSignalBlocker tableBlocker(installedTable);
    const QSignalBlocker galleryBlocker(installedGallery);
    installedTable->clearContents();
    installedTable->setRowCount(int(localMods.size()));
    installedGallery->clear();
    for (int i = 0; i < localMods.size(); ++i) {
        const LocalMod &mod = localMods.at(i);
        const bool duplicate = duplicateLocalMods.contains(i);
        auto *nameItem = new QTableWidgetItem(duplicate ? tr("⚠ %1").arg(mod.name) : mod.name);
        nameItem->setData(Qt::UserRole, i);
        auto *sourceItem =
            new QTableWidgetItem(duplicate ? tr("⚠ Doppelt installiert • %1").arg(mod.source) : mod.source);
        if (duplicate) {
            nameItem->setToolTip(
                tr("Diese Mod ist mehrfach installiert (mod.io und weiterer Mod-Ordner). Es wird "
                   "empfohlen, die mod.io-Version zu behalten und die zusätzliche Installation zu "
                   "entfernen."));
            sourceItem->setToolTip(
                tr("Diese Mod existiert gleichzeitig als mod.io- und als weitere Installation."));
        }
        installedTable->setItem(i, NameColumn, nameItem);
        installedTable->setItem(i, VersionColumn, new QTableWidgetItem(mod.version));
        installedTable->setItem(i, SourceColumn, sourceItem);
        installedTable->setItem(i, FolderColumn, new QTableWidgetItem(mod.folderName));
        installedTable->setItem(i, PathColumn, new QTableWidgetItem(QDir::toNativeSeparators(mod.path)));

        auto *galleryItem =
            new QListWidgetItem(QStringLiteral("%1\n%2\n%3").arg(mod.name, mod.version, mod.source));
        galleryItem->setData(Qt::UserRole, i);
        galleryItem->setSizeHint(QSize(240, 120));
        galleryItem->setTextAlignment(Qt::AlignTop | Qt::AlignHCenter);
        if (duplicate)
            galleryItem->setToolTip(
                tr("Diese Mod ist mehrfach installiert (mod.io und weiterer Mod-Ordner).\n%1").arg(mod.path));
        installedGallery->addItem(galleryItem);
    }
    installedTable->setSortingEnabled(sorting);
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
