#include "app/mainwindow.h"
#include "environment/settingsdialog.h"
#include "environment/settingsvalues.h"
#include "environment/setupdialog.h"

#include <QCoreApplication>
#include <QPushButton>
#include <QStackedWidget>

void MainWindow::runFirstRunSetup()
{
    if (setupCompleted())
        return;
    // A cancelled setup leaves the store as it was, so the next start asks again.
    SetupDialog dialog(initialSetupValues(), prompts, this);
    dialog.exec();
}

void MainWindow::openSettings()
{
    // An install or update run waits in nested event loops and still works on the catalog; forgetting the
    // catalog under it would pull the entries from beneath its feet.
    if (installRunActive()) {
        setStatus(tr("Die Einstellungen können während einer Installation oder eines Updates nicht geändert "
                     "werden."));
        return;
    }

    SettingsDialog dialog(prompts, this);
    // Clearing the preview cache also drops the images held in memory and the HTTP cache.
    PreviewCacheHooks previewCache;
    previewCache.infoText = [this] { return previewCacheInfoText(); };
    previewCache.clear = [this] { return clearPreviewCache(); };
    dialog.setPreviewCacheHooks(previewCache);
    if (dialog.exec() != QDialog::Accepted)
        return;

    // Paths and repositories may have changed, so everything loaded under the old settings is forgotten.
    // Replies of a load still in flight belong to the old generation and are dropped; that load will never
    // finish, so its buttons are released here.
    localModsLoaded = false;
    catalogLoaded = false;
    catalogLoading = false;
    ++loadGeneration;
    catalog.clear();
    pendingCatalog.clear();
    catalogView.reloadButton->setEnabled(true);
    refreshCatalogIndexes();
    rebuildCatalogFilterLists();
    rebuildInstalledView();
    applyCatalogFilter();
    // Update rows point into the catalog by index; none may survive into a catalog loaded anew.
    refreshUpdateList();

    if (dialog.languageChanged()) {
        restartForLanguageChange();
        return;
    }
    setStatus(tr("Einstellungen gespeichert. Daten werden beim Öffnen des jeweiligen Bereichs neu geladen."));
    // The page on screen would otherwise stay empty until the user leaves and comes back.
    QWidget *current = pages->currentWidget();
    if (current == catalogPage)
        showCatalog();
    else if (current == updatesPage)
        showUpdates();
    else if (current == installedPage)
        showInstalled();
}

void MainWindow::restartForLanguageChange()
{
    prompts.information(tr("Sprache geändert"),
                        tr("Die Sprache wurde geändert. Der ModManager wird jetzt neu gestartet."));
    // Texts are translated once, when the widgets are built, so only a new process shows the new language.
    if (!prompts.restartProgram(QCoreApplication::applicationFilePath(), QCoreApplication::arguments().mid(1),
                                QCoreApplication::applicationDirPath()))
        prompts.warning(
            tr("Fehler"),
            tr("Der ModManager konnte nicht neu gestartet werden. Bitte starte ihn manuell neu."));
}
