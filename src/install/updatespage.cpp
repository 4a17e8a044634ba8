#include "app/listwidgets.h"
#include "app/mainwindow.h"
#include "app/recordtablemodel.h"
#include "install/installer.h"
#include "install/updatecandidates.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>
#include <numeric>

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

QString tr(const char *text)
{
    return QCoreApplication::translate("MainWindow", text);
}

// The status of an update row and the tool tips of its name and status, by what keeps it from a direct
// update.
struct UpdateRowTexts
{
    QString status;
    QString nameTip;
    QString statusTip;
};

UpdateRowTexts updateRowTexts(const UpdateCandidate &candidate)
{
    if (candidate.isDuplicate) {
        return {tr("⚠ Doppelt installiert – mod.io bevorzugt"),
                tr("Diese Mod ist doppelt installiert. Die mod.io-Version wird bevorzugt; die "
                   "zusätzliche Installation wird vom direkten Update ausgeschlossen."),
                tr("Bitte entferne die zusätzliche Installation. Solange die Mod doppelt "
                   "vorhanden ist, wird sie hier nicht aus einem Repository aktualisiert.")};
    }
    if (candidate.isModIo) {
        return {tr("mod.io – Update über mod.io"),
                tr("Dieser Mod wurde über mod.io installiert. Updates können im Bereich mod.io "
                   "oder über den Mod Hub in Ferroline 3 erfolgen."),
                tr("Der ModManager überschreibt eine mod.io-Installation nicht mit Dateien aus "
                   "einem anderen Repository. Bitte das Update im Bereich mod.io oder im Mod "
                   "Hub installieren.")};
    }
    if (candidate.hasDownload && candidate.versionFromFiles) {
        return {tr("Repository-Version übernehmen"),
                tr("Die lokale Versionsangabe stammt aus den Mod-Dateien und kann von der "
                   "öffentlichen Repository-Version abweichen. Für das Update ist die "
                   "Repository-Version maßgeblich."),
                tr("Beim Update wird die Version aus dem Repository verwendet. Der "
                   "vorhandene Mod-Ordner wird sauber ersetzt, damit keine Altdateien "
                   "zurückbleiben.")};
    }
    if (candidate.hasDownload)
        return {tr("Update verfügbar"), QString(), QString()};
    return {tr("⚠ Download-Link fehlt"), QString(),
            tr("Für diese Repository-Version wurde keine herunterladbare Datei gefunden. "
               "Bitte Repository-Metadaten prüfen oder den Mod manuell installieren.")};
}
} // namespace

QWidget *MainWindow::buildUpdatesPage()
{
    UpdatesView &view = updatesView;
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
    view.checkButton = new QPushButton(tr("Jetzt prüfen"), page);
    view.updateSelectedButton = new QPushButton(tr("Auswahl aktualisieren"), page);
    view.updateAllButton = new QPushButton(tr("Alle aktualisieren"), page);
    for (QPushButton *button : {view.checkButton, view.updateSelectedButton, view.updateAllButton}) {
        button->setMinimumHeight(32);
        button->setMinimumWidth(button->sizeHint().width() + 24);
    }
    view.updateSelectedButton->setEnabled(false);
    view.updateAllButton->setEnabled(false);
    buttonRow->addWidget(view.checkButton);
    buttonRow->addWidget(view.updateSelectedButton);
    buttonRow->addWidget(view.updateAllButton);
    buttonRow->addStretch();
    layout->addLayout(buttonRow);

    const auto candidate = [this](int i) -> const UpdateCandidate & {
        return updatesView.candidates.at(i);
    };
    const auto entry = [this, candidate](int i) -> const RepoMod & {
        return catalog.at(candidate(i).catalogIndex);
    };
    const auto mod = [this, candidate](int i) -> const LocalMod & {
        return localMods.at(candidate(i).localIndex);
    };
    view.model = new RecordTableModel(
        {{tr("Mod"),
          [mod](int i) {
              return mod(i).name;
          }},
         {tr("Quelle"),
          [entry](int i) {
              return entry(i).repositoryName;
          }},
         {tr("Installiert"), [mod](int i) { return installedVersionText(mod(i)); },
          RecordTableModel::SortAs::Version},
         {tr("Verfügbar"), [entry](int i) { return entry(i).version; }, RecordTableModel::SortAs::Version},
         {tr("Status"),
          [candidate](int i) {
              return updateRowTexts(candidate(i)).status;
          }}},
        [candidate](int i, int column, int role) -> QVariant {
            const UpdateCandidate &row = candidate(i);
            if (role == Qt::ToolTipRole) {
                const UpdateRowTexts texts = updateRowTexts(row);
                if (column == NameColumn && !texts.nameTip.isEmpty())
                    return texts.nameTip;
                if (column == StatusColumn && !texts.statusTip.isEmpty())
                    return texts.statusTip;
                return {};
            }
            if (column != NameColumn)
                return {};
            switch (role) {
            case CatalogIndexRole:
                return row.catalogIndex;
            case LocalIndexRole:
                return row.localIndex;
            case FolderRole:
                return row.folder;
            case IsModIoRole:
                return row.isModIo;
            case IsDuplicateRole:
                return row.isDuplicate;
            case VersionFromFilesRole:
                return row.versionFromFiles;
            case HasDownloadRole:
                return row.hasDownload;
            default:
                return {};
            }
        },
        this);

    view.views = new QStackedWidget(page);
    view.table = makeRecordTable(view.model, NameColumn, view.views);
    view.columns = new ColumnFiller(view.table, NameColumn, 200);
    view.emptyLabel = makeEmptyListLabel(view.views);
    view.views->addWidget(view.table);
    view.views->addWidget(view.emptyLabel);
    layout->addWidget(view.views, 1);

    view.statusLabel = new QLabel(tr("Bereit."), page);
    view.statusLabel->setWordWrap(true);
    view.downloadBar = new QProgressBar(page);
    view.downloadBar->setRange(0, 100);
    view.downloadBar->setFormat(tr("Download: %p%"));
    view.downloadBar->setVisible(false);
    view.overallBar = new QProgressBar(page);
    view.overallBar->setVisible(false);
    layout->addWidget(view.statusLabel);
    layout->addWidget(view.downloadBar);
    layout->addWidget(view.overallBar);

    connect(view.checkButton, &QPushButton::clicked, this, [this] {
        rescanLocalMods();
        reloadCatalog();
    });
    connect(view.updateSelectedButton, &QPushButton::clicked, this, &MainWindow::updateSelectedMod);
    connect(view.updateAllButton, &QPushButton::clicked, this, &MainWindow::updateAllMods);
    connect(view.table->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &MainWindow::refreshUpdateButtons);
    return page;
}

const UpdateCandidate *MainWindow::selectedUpdateCandidate() const
{
    const QModelIndexList rows = updatesView.table->selectionModel()->selectedRows();
    const int record = rows.isEmpty() ? -1 : updatesView.model->recordAt(rows.first().row());
    return record < 0 ? nullptr : &updatesView.candidates.at(record);
}

void MainWindow::refreshUpdateButtons()
{
    UpdatesView &view = updatesView;
    const UpdateCandidate *candidate = selectedUpdateCandidate();
    const bool enabled = !updateInProgress && !catalogLoading && candidate && candidate->directlyUpdatable();
    view.updateSelectedButton->setEnabled(enabled);
    view.updateSelectedButton->setToolTip(enabled || !candidate
                                              ? QString()
                                              : tr("Dieser Mod stammt aus mod.io. Bitte aktualisiere ihn im "
                                                   "Bereich mod.io oder über den Mod Hub im Spiel."));
    view.checkButton->setEnabled(!updateInProgress && !catalogLoading);
    if (catalogLoading)
        view.updateAllButton->setEnabled(false);
    refreshUpdatesEmptyState();
}

void MainWindow::refreshUpdateList()
{
    UpdatesView &view = updatesView;
    {
        const QSignalBlocker blocker(view.table->selectionModel());
        view.candidates =
            findUpdateCandidates(localMods, catalog, catalogView.matchIndex, duplicateLocalMods);
        view.model->resetRecords(int(view.candidates.size()));
        QList<int> all(view.candidates.size());
        std::iota(all.begin(), all.end(), 0);
        view.model->setShownRecords(all);
    }
    view.columns->fitToSample();
    const bool anyUpdatable = std::any_of(view.candidates.cbegin(), view.candidates.cend(),
                                          [](const UpdateCandidate &c) { return c.directlyUpdatable(); });
    view.updateAllButton->setEnabled(!updateInProgress && !catalogLoading && anyUpdatable);
    refreshUpdateButtons();
}

void MainWindow::refreshUpdatesEmptyState()
{
    UpdatesView &view = updatesView;
    QString emptyText;
    if (view.candidates.isEmpty()) {
        if (catalogLoading)
            emptyText = tr("Lade Repositorys…");
        else if (!catalogUnavailableText().isEmpty())
            emptyText = catalogUnavailableText();
        else if (localModsLoaded && localMods.isEmpty())
            emptyText = tr("Es sind noch keine Mods installiert.");
        else if (catalogLoaded && localModsLoaded)
            emptyText = tr("Alle installierten Mods sind auf dem neuesten Stand.");
        else
            emptyText = tr("Noch nicht geprüft.");
    }
    view.emptyLabel->setText(emptyText);
    view.views->setCurrentWidget(emptyText.isEmpty() ? static_cast<QWidget *>(view.table) : view.emptyLabel);
}

void MainWindow::setUpdateButtonsEnabled(bool enabled)
{
    updatesView.checkButton->setEnabled(enabled);
    updatesView.updateSelectedButton->setEnabled(enabled);
    updatesView.updateAllButton->setEnabled(enabled);
}

void MainWindow::finishUpdateRun()
{
    updateInProgress = false;
    updatesView.checkButton->setEnabled(!catalogLoading);
    catalogView.reloadButton->setEnabled(!catalogLoading);
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
    if (!selectedUpdateCandidate())
        return;
    // A copy: the list is rebuilt while the update runs.
    const UpdateCandidate candidate = *selectedUpdateCandidate();
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
        const QString installed = installedVersionText(localMods.at(candidate.localIndex));
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
    catalogView.reloadButton->setEnabled(false);
    updatesView.statusLabel->setText(tr("Aktualisiere: %1").arg(entry.name));
    updatesView.downloadBar->setRange(0, 100);
    updatesView.downloadBar->setValue(0);
    updatesView.downloadBar->setFormat(tr("Download: %p%"));
    updatesView.downloadBar->setVisible(true);
    updatesView.overallBar->setVisible(false);
    setStatus(tr("Aktualisiere '%1'…").arg(entry.name));

    QString error;
    const bool ok = runRepositoryInstall(entry, candidate.folder, updatesView.downloadBar, &error);
    finishUpdateRun();
    if (ok) {
        updatesView.statusLabel->setText(tr("Update abgeschlossen: %1").arg(entry.name));
        updatesView.downloadBar->setValue(100);
        updatesView.downloadBar->setFormat(tr("Installation abgeschlossen"));
        setStatus(tr("'%1' wurde aktualisiert.").arg(entry.name));
        // On success the error text carries what the player must still do, such as deleting a leftover
        // backup.
        QString text = tr("'%1' wurde erfolgreich aktualisiert.").arg(entry.name);
        if (!error.isEmpty())
            text += QStringLiteral("\n\n") + error;
        prompts.information(tr("Update abgeschlossen"), text);
        return;
    }
    updatesView.statusLabel->setText(tr("Update fehlgeschlagen: %1").arg(entry.name));
    updatesView.downloadBar->setFormat(tr("Fehler"));
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
    if (refuseWhileCatalogLoads() || updatesView.candidates.isEmpty())
        return;
    // In the order the table shows them.
    QList<UpdateCandidate> rows;
    for (const int record : updatesView.model->shownRecords())
        rows.append(updatesView.candidates.at(record));
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
    catalogView.reloadButton->setEnabled(false);
    updatesView.statusLabel->setText(tr("Updates werden vorbereitet…"));
    updatesView.downloadBar->setRange(0, 100);
    updatesView.downloadBar->setValue(0);
    updatesView.downloadBar->setFormat(tr("Download: %p%"));
    updatesView.downloadBar->setVisible(true);
    const int total = int(plan.items.size());
    updatesView.overallBar->setRange(0, total);
    updatesView.overallBar->setValue(0);
    updatesView.overallBar->setFormat(tr("Gesamt: %v / %m Mods"));
    updatesView.overallBar->setVisible(true);

    int succeeded = 0;
    int cancelled = 0;
    QStringList errors;
    QStringList warnings;
    for (int k = 1; k <= total; ++k) {
        const UpdatePlanItem &item = plan.items.at(k - 1);
        const QString progress = tr("Aktualisiere %1 von %2: %3").arg(k).arg(total).arg(item.entry.name);
        updatesView.statusLabel->setText(progress);
        setStatus(progress);
        updatesView.downloadBar->setValue(0);
        updatesView.downloadBar->setFormat(tr("Download: %p%"));
        QString error;
        if (runRepositoryInstall(item.entry, item.folder, updatesView.downloadBar, &error)) {
            ++succeeded;
            if (!error.isEmpty())
                warnings.append(QStringLiteral("%1: %2").arg(item.entry.name, error));
        } else if (isInstallCancelled(error))
            ++cancelled; // the player's own choice, not a failure
        else
            errors.append(QStringLiteral("%1: %2").arg(item.entry.name, error));
        updatesView.overallBar->setValue(k);
    }

    finishUpdateRun();
    updatesView.downloadBar->setValue(100);
    updatesView.downloadBar->setFormat(errors.isEmpty() ? tr("Installation abgeschlossen")
                                                        : tr("Vorgang abgeschlossen"));
    updatesView.statusLabel->setText(errors.isEmpty() ? tr("Alle Updates abgeschlossen.")
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
