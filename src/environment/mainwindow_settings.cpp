#include "app/mainwindow.h"
#include "environment/settingsdialog.h"

#include <QPushButton>
#include <QStackedWidget>

void MainWindow::openSettings()
{
    // An install or update run waits in nested event loops and still works on the catalog; forgetting the
    // catalog under it would pull the entries from beneath its feet.
    if (installRunActive()) {
        setStatus(tr("Die Einstellungen können während einer Installation oder eines Updates nicht geändert "
                     "werden."));
        return;
    }

    SettingsDialog dialog(this);
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
