#include "app/mainwindow.h"

QWidget *MainWindow::buildInstalledPage()
{
    return buildPlaceholderPage(tr("Installierte Mods"), tr("Diese Seite ist in dieser Version noch nicht verfügbar."));
}

void MainWindow::rescanLocalMods()
{
    localModsLoaded = true;
    setStatus(tr("Bereit."));
}
