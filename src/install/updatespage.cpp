#include "app/emptylistwidget.h"
#include "app/mainwindow.h"
#include "install/installer.h"
#include "install/updatecandidates.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {
enum UpdateColumn
{
    NameColumn,
    SourceColumn,
    InstalledColumn,
    AvailableColumn,
    StatusColumn
};
enum UpdateRole
{
    CatalogIndexRole = Qt::UserRole,
    LocalIndexRole,
    FolderRole,
    IsModIoRole,
    IsDuplicateRole,
    VersionFromFilesRole,
    HasDownloadRole,
};

UpdateCandidate candidateOfRow(const QTableWidget *table, int row)
{
    UpdateCandidate candidate;
    const QTableWidgetItem *item = table->item(row, NameColumn);
    if (!item)
        return candidate;
    candidate.catalogIndex = item->data(CatalogIndexRole).toInt();
    candidate.localIndex = item->data(LocalIndexRole).toInt();
    candidate.folder = item->data(FolderRole).toString();
    candidate.isModIo = item->data(IsModIoRole).toBool();
    candidate.isDuplicate = item->data(IsDuplicateRole).toBool();
    candidate.versionFromFiles = item->data(VersionFromFilesRole).toBool();
    candidate.hasDownload = item->data(HasDownloadRole).toBool();
    return candidate;
}
} // namespace

QWidget *MainWindow::buildUpdatesPage()
{
    auto *page = new QWidget;
    auto *layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(10);

    auto *note =
        new QLabel(tr("Hinweis: Installationen aus mod.io werden nicht mit Versionen aus anderen "
                      "Repositorys überschrieben. Updates kannst du im neuen Bereich mod.io oder weiterhin "
                      "im Ferroline 3 Mod Hub installieren."),
                   page);
    note->setWordWrap(true);
    note->setStyleSheet(QStringLiteral("QLabel{background:#f7fafc;border:1px solid #cfd8e3;border-radius:8px;"
                                       "padding:8px 10px;color:#33414f;}"));
    layout->addWidget(note);

    auto *buttonRow = new QHBoxLayout;
    checkUpdatesButton = new QPushButton(tr("Jetzt prüfen"), page);
    updateSelectedButton = new QPushButton(tr("Auswahl aktualisieren"), page);
    updateAllButton = new QPushButton(tr("Alle aktualisieren"), page);
    for (QPushButton *button : {checkUpdatesButton, updateSelectedButton, updateAllButton}) {
        button->setMinimumHeight(32);
        button->setMinimumWidth(button->sizeHint().width() + 24);
    }
    updateSelectedButton->setEnabled(false);
    updateAllButton->setEnabled(false);
    buttonRow->addWidget(checkUpdatesButton);
    buttonRow->addWidget(updateSelectedButton);
    buttonRow->addWidget(updateAllButton);
    buttonRow->addStretch();
    layout->addLayout(buttonRow);

    updatesViews = new QStackedWidget(page);
    updatesTable = new QTableWidget(0, 5, updatesViews);
    updatesTable->setHorizontalHeaderLabels(
        {tr("Mod"), tr("Quelle"), tr("Installiert"), tr("Verfügbar"), tr("Status")});
    updatesTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    updatesTable->setSelectionMode(QAbstractItemView::SingleSelection);
    updatesTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    updatesTable->setSortingEnabled(true);
    updatesTable->sortByColumn(NameColumn, Qt::AscendingOrder);
    updatesTable->verticalHeader()->hide();
    updatesTable->horizontalHeader()->setSectionResizeMode(NameColumn, QHeaderView::Stretch);
    updatesTable->horizontalHeader()->setSectionResizeMode(StatusColumn, QHeaderView::ResizeToContents);
    updatesTable->setColumnWidth(SourceColumn, 130);
    updatesTable->setColumnWidth(InstalledColumn, 90);
    updatesTable->setColumnWidth(AvailableColumn, 90);
    updatesEmptyLabel = makeEmptyListLabel(updatesViews);
    updatesViews->addWidget(updatesTable);
    updatesViews->addWidget(updatesEmptyLabel);
    layout->addWidget(updatesViews, 1);

    updatesStatusLabel = new QLabel(tr("Bereit."), page);
    updatesStatusLabel->setWordWrap(true);
    updateDownloadBar = new QProgressBar(page);
    updateDownloadBar->setRange(0, 100);
    updateDownloadBar->setFormat(tr("Download: %p%"));
    updateDownloadBar->setVisible(false);
    updateOverallBar = new QProgressBar(page);
    updateOverallBar->setVisible(false);
    layout->addWidget(updatesStatusLabel);
    layout->addWidget(updateDownloadBar);
    layout->addWidget(updateOverallBar);

    connect(checkUpdatesButton, &QPushButton::clicked, this, [this] {
        rescanLocalMods();
        reloadCatalog();
    });
    connect(updateSelectedButton, &QPushButton::clicked, this, &MainWindow::updateSelectedMod);
    connect(updateAllButton, &QPushButton::clicked, this, &MainWindow::updateAllMods);
    connect(updatesTable, &QTableWidget::itemSelectionChanged, this, &MainWindow::refreshUpdateButtons);
    return page;
}

int MainWindow::selectedUpdateRow() const
{
    const QList<QTableWidgetItem *> selected = updatesTable->selectedItems();
    return selected.isEmpty() ? -1 : selected.first()->row();
}

void MainWindow::refreshUpdateButtons()
{
    const int row = selectedUpdateRow();
    const UpdateCandidate candidate = row >= 0 ? candidateOfRow(updatesTable, row) : UpdateCandidate();
    const bool enabled = !updateInProgress && !catalogLoading && row >= 0 && candidate.directlyUpdatable();
    updateSelectedButton->setEnabled(enabled);
    checkUpdatesButton->setEnabled(!updateInProgress && !catalogLoading);
    if (catalogLoading)
        updateAllButton->setEnabled(false);
    refreshUpdatesEmptyState();
    updateSelectedButton->setToolTip(enabled || row < 0
                                         ? QString()
                                         : tr("Dieser Mod stammt aus mod.io. Bitte aktualisiere ihn im "
                                              "Bereich mod.io oder über den Mod Hub im Spiel."));
}

void MainWindow::refreshUpdateList()
{
    const bool sorting = updatesTable->isSortingEnabled();
    const int sortColumn = updatesTable->horizontalHeader()->sortIndicatorSection();
    const Qt::SortOrder sortOrder = updatesTable->horizontalHeader()->sortIndicatorOrder();
    updatesTable->setSortingEnabled(false);
    const QSignalBlocker blocker(updatesTable);
    updatesTable->setRowCount(0);

    const QList<UpdateCandidate> candidates =
        findUpdateCandidates(localMods, catalog, catalogMatchIndex, duplicateLocalMods);
    bool anyUpdatable = false;
    for (const UpdateCandidate &candidate : candidates) {
        const RepoMod &entry = catalog.at(candidate.catalogIndex);
        const LocalMod &mod = localMods.at(candidate.localIndex);
        const int row = updatesTable->rowCount();
        updatesTable->insertRow(row);
        auto *nameItem = new QTableWidgetItem(mod.name);
        nameItem->setData(CatalogIndexRole, candidate.catalogIndex);
        nameItem->setData(LocalIndexRole, candidate.localIndex);
        nameItem->setData(FolderRole, candidate.folder);
        nameItem->setData(IsModIoRole, candidate.isModIo);
        nameItem->setData(IsDuplicateRole, candidate.isDuplicate);
        nameItem->setData(VersionFromFilesRole, candidate.versionFromFiles);
        nameItem->setData(HasDownloadRole, candidate.hasDownload);
        auto *statusItem = new QTableWidgetItem;
        if (candidate.isDuplicate) {
            statusItem->setText(tr("⚠ Doppelt installiert – mod.io bevorzugt"));
            nameItem->setToolTip(
                tr("Diese Mod ist doppelt installiert. Die mod.io-Version wird bevorzugt; die "
                   "zusätzliche Installation wird vom direkten Update ausgeschlossen."));
            statusItem->setToolTip(
                tr("Bitte entferne die zusätzliche Installation. Solange die Mod doppelt "
                   "vorhanden ist, wird sie hier nicht aus einem Repository aktualisiert."));
        } else if (candidate.isModIo) {
            statusItem->setText(tr("mod.io – Update über mod.io"));
            nameItem->setToolTip(
                tr("Dieser Mod wurde über mod.io installiert. Updates können im Bereich mod.io "
                   "oder über den Mod Hub in Ferroline 3 erfolgen."));
            statusItem->setToolTip(
                tr("Der ModManager überschreibt eine mod.io-Installation nicht mit Dateien aus "
                   "einem anderen Repository. Bitte das Update im Bereich mod.io oder im Mod "
                   "Hub installieren."));
        } else if (candidate.hasDownload) {
            if (candidate.versionFromFiles) {
                statusItem->setText(tr("Repository-Version übernehmen"));
                nameItem->setToolTip(
                    tr("Die lokale Versionsangabe stammt aus den Mod-Dateien und kann von der "
                       "öffentlichen Repository-Version abweichen. Für das Update ist die "
                       "Repository-Version maßgeblich."));
                statusItem->setToolTip(tr("Beim Update wird die Version aus dem Repository verwendet. Der "
                                          "vorhandene Mod-Ordner wird sauber ersetzt, damit keine Altdateien "
                                          "zurückbleiben."));
            } else {
                statusItem->setText(tr("Update verfügbar"));
            }
        } else {
            statusItem->setText(tr("⚠ Download-Link fehlt"));
            statusItem->setToolTip(
                tr("Für diese Repository-Version wurde keine herunterladbare Datei gefunden. "
                   "Bitte Repository-Metadaten prüfen oder den Mod manuell installieren."));
        }
        anyUpdatable = anyUpdatable || candidate.directlyUpdatable();
        updatesTable->setItem(row, NameColumn, nameItem);
        updatesTable->setItem(row, SourceColumn, new QTableWidgetItem(entry.repositoryName));
        updatesTable->setItem(row, InstalledColumn, new QTableWidgetItem(installedVersionText(mod)));
        updatesTable->setItem(row, AvailableColumn, new QTableWidgetItem(entry.version));
        updatesTable->setItem(row, StatusColumn, statusItem);
    }
    if (sorting) {
        updatesTable->setSortingEnabled(true);
        if (sortColumn >= 0)
            updatesTable->sortByColumn(sortColumn, sortOrder);
    }
    updateAllButton->setEnabled(!updateInProgress && !catalogLoading && anyUpdatable);
    refreshUpdateButtons();
}

void MainWindow::refreshUpdatesEmptyState()
{
    QString emptyText;
    if (updatesTable->rowCount() == 0) {
        if (catalogLoading)
            emptyText = tr("Lade Repositorys…");
        else if (!catalogUnavailableText().isEmpty())
            emptyText = catalogUnavailableText();
        else if (catalogLoaded && localModsLoaded)
            emptyText = tr("Alle installierten Mods sind auf dem neuesten Stand.");
        else
            emptyText = tr("Noch nicht geprüft.");
    }
    updatesEmptyLabel->setText(emptyText);
    updatesViews->setCurrentWidget(emptyText.isEmpty() ? static_cast<QWidget *>(updatesTable)
                                                       : updatesEmptyLabel);
}

void MainWindow::setUpdateButtonsEnabled(bool enabled)
{
    checkUpdatesButton->setEnabled(enabled);
    updateSelectedButton->setEnabled(enabled);
    updateAllButton->setEnabled(enabled);
}

void MainWindow::finishUpdateRun()
{
    updateInProgress = false;
    checkUpdatesButton->setEnabled(!catalogLoading);
    reloadCatalogButton->setEnabled(!catalogLoading);
    rescanLocalMods();
    refreshUpdateList();
    applyCatalogFilter();
}

void MainWindow::updateSelectedMod()
{
    if (updateInProgress) {
        prompts.information(
            tr("Update läuft bereits"),
            tr("Es ist bereits ein Update aktiv. Ein zweiter Update-Vorgang wird nicht parallel "
               "gestartet. Bitte warte, bis das laufende Update abgeschlossen ist."));
        return;
    }
    if (refuseWhileCatalogLoads())
        return;
    const int row = selectedUpdateRow();
    if (row < 0)
        return;
    const UpdateCandidate candidate = candidateOfRow(updatesTable, row);
    if (candidate.isDuplicate) {
        prompts.warning(
            tr("Mod doppelt installiert"),
            tr("Diese Mod ist gleichzeitig über mod.io und in einem weiteren Mod-Ordner "
               "installiert.\n\nDie mod.io-Version wird bevorzugt. Bitte entferne die zusätzliche "
               "Installation, bevor du weitere Updates ausführst."));
        return;
    }
    if (candidate.isModIo) {
        prompts.information(
            tr("Update über mod.io"),
            tr("Dieser Mod wurde über mod.io installiert.\n\nBitte aktualisiere ihn im Bereich "
               "mod.io oder über den Mod Hub in Ferroline 3. Der ModManager überschreibt keine "
               "mod.io-Installation mit einer Trackhaven-Version."));
        return;
    }
    if (!candidate.hasDownload) {
        prompts.warning(
            tr("Download nicht verfügbar"),
            tr("Für diese Repository-Version wurde keine Download-Datei gefunden.\n\nBitte prüfe den "
               "Repository-Eintrag bzw. den Repository-Generator oder installiere die aktuelle Version "
               "manuell."));
        return;
    }
    if (candidate.catalogIndex < 0 || candidate.catalogIndex >= catalog.size() || candidate.folder.isEmpty())
        return;
    const RepoMod entry = catalog.at(candidate.catalogIndex);
    if (candidate.versionFromFiles) {
        const QString installed = updatesTable->item(row, InstalledColumn)->text();
        const bool proceed = prompts.question(
            tr("Repository-Version verwenden"),
            tr("Die lokale Mod meldet die Version '%1', das Repository führt Version '%2'.\n\nBei älteren "
               "oder "
               "manuell installierten Mods kann die Versionsangabe in mod.json/mod.lua von der öffentlichen "
               "Repository-Version abweichen. Der ModManager verwendet für das Update daher die "
               "Repository-Version.\n\nDer vorhandene Mod-Ordner wird vollständig ersetzt und anschließend "
               "neu "
               "installiert, damit keine Altdateien zurückbleiben. Falls die Installation fehlschlägt, wird "
               "die "
               "vorherige Version automatisch wiederhergestellt.\n\nFortfahren?")
                .arg(installed, entry.version),
            DefaultAnswer::Yes);
        if (!proceed)
            return;
    }

    updateInProgress = true;
    setUpdateButtonsEnabled(false);
    reloadCatalogButton->setEnabled(false);
    updatesStatusLabel->setText(tr("Aktualisiere: %1").arg(entry.name));
    updateDownloadBar->setRange(0, 100);
    updateDownloadBar->setValue(0);
    updateDownloadBar->setFormat(tr("Download: %p%"));
    updateDownloadBar->setVisible(true);
    updateOverallBar->setVisible(false);
    setStatus(tr("Aktualisiere '%1'…").arg(entry.name));

    QString error;
    const bool ok = runRepositoryInstall(entry, candidate.folder, updateDownloadBar, &error);
    finishUpdateRun();
    if (ok) {
        updatesStatusLabel->setText(tr("Update abgeschlossen: %1").arg(entry.name));
        updateDownloadBar->setValue(100);
        updateDownloadBar->setFormat(tr("Installation abgeschlossen"));
        setStatus(tr("'%1' wurde aktualisiert.").arg(entry.name));
        // On success the error text carries what the player must still do, such as deleting a leftover
        // backup.
        QString text = tr("'%1' wurde erfolgreich aktualisiert.").arg(entry.name);
        if (!error.isEmpty())
            text += QStringLiteral("\n\n") + error;
        prompts.information(tr("Update abgeschlossen"), text);
        return;
    }
    updatesStatusLabel->setText(tr("Update fehlgeschlagen: %1").arg(entry.name));
    updateDownloadBar->setFormat(tr("Fehler"));
    if (!isInstallCancelled(error))
        prompts.critical(tr("Update fehlgeschlagen"), error);
    setStatus(error);
}

void MainWindow::updateAllMods()
{
    if (updateInProgress) {
        prompts.information(
            tr("Update läuft bereits"),
            tr("Es ist bereits ein Update aktiv. Ein zweiter Update-Vorgang wird nicht parallel "
               "gestartet. Bitte warte, bis das laufende Update abgeschlossen ist."));
        return;
    }
    if (refuseWhileCatalogLoads() || updatesTable->rowCount() == 0)
        return;
    QList<UpdateCandidate> rows;
    for (int row = 0; row < updatesTable->rowCount(); ++row)
        rows.append(candidateOfRow(updatesTable, row));
    const UpdateAllPlan plan = planUpdateAll(rows, localMods, catalog);
    if (plan.items.isEmpty()) {
        const QString text = nothingToUpdateText(plan);
        if (!text.isEmpty())
            prompts.information(tr("Keine direkt ausführbaren Updates"), text);
        return;
    }
    if (!prompts.question(tr("Alle Mods aktualisieren"), updateAllConfirmationText(plan), DefaultAnswer::Yes))
        return;

    updateInProgress = true;
    setUpdateButtonsEnabled(false);
    reloadCatalogButton->setEnabled(false);
    updatesStatusLabel->setText(tr("Updates werden vorbereitet…"));
    updateDownloadBar->setRange(0, 100);
    updateDownloadBar->setValue(0);
    updateDownloadBar->setFormat(tr("Download: %p%"));
    updateDownloadBar->setVisible(true);
    const int total = int(plan.items.size());
    updateOverallBar->setRange(0, total);
    updateOverallBar->setValue(0);
    updateOverallBar->setFormat(tr("Gesamt: %v / %m Mods"));
    updateOverallBar->setVisible(true);

    int succeeded = 0;
    int cancelled = 0;
    QStringList errors;
    QStringList warnings;
    for (int k = 1; k <= total; ++k) {
        const UpdatePlanItem &item = plan.items.at(k - 1);
        const QString progress = tr("Aktualisiere %1 von %2: %3").arg(k).arg(total).arg(item.entry.name);
        updatesStatusLabel->setText(progress);
        setStatus(progress);
        updateDownloadBar->setValue(0);
        updateDownloadBar->setFormat(tr("Download: %p%"));
        QString error;
        if (runRepositoryInstall(item.entry, item.folder, updateDownloadBar, &error)) {
            ++succeeded;
            if (!error.isEmpty())
                warnings.append(QStringLiteral("%1: %2").arg(item.entry.name, error));
        } else if (isInstallCancelled(error))
            ++cancelled; // the player's own choice, not a failure
        else
            errors.append(QStringLiteral("%1: %2").arg(item.entry.name, error));
        updateOverallBar->setValue(k);
    }

    finishUpdateRun();
    updateDownloadBar->setValue(100);
    updateDownloadBar->setFormat(errors.isEmpty() ? tr("Installation abgeschlossen")
                                                  : tr("Vorgang abgeschlossen"));
    updatesStatusLabel->setText(errors.isEmpty() ? tr("Alle Updates abgeschlossen.")
                                                 : tr("Updates mit Fehlern abgeschlossen."));
    const QString warningText =
        warnings.isEmpty() ? QString() : QStringLiteral("\n\n") + warnings.join(QStringLiteral("\n\n"));
    QString summary;
    if (errors.isEmpty()) {
        summary = tr("%1 Mods wurden erfolgreich aktualisiert.").arg(succeeded);
        if (cancelled > 0)
            summary += tr(" %1 abgebrochen.").arg(cancelled);
        setStatus(summary);
        prompts.information(tr("Updates abgeschlossen"), summary + warningText);
        return;
    }
    summary = tr("%1 Updates erfolgreich, %2 fehlgeschlagen.").arg(succeeded).arg(errors.size());
    if (cancelled > 0)
        summary += tr(" %1 abgebrochen.").arg(cancelled);
    setStatus(summary);
    prompts.warning(tr("Updates abgeschlossen"),
                    tr("%1 Mods wurden aktualisiert. Bei %2 Mods trat ein Fehler auf:\n\n%3")
                            .arg(succeeded)
                            .arg(errors.size())
                            .arg(errors.join(QStringLiteral("\n\n"))) +
                        warningText);
}
