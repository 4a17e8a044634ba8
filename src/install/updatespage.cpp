#include "app/mainwindow.h"

QWidget *MainWindow::buildUpdatesPage()
{
    return buildPlaceholderPage(tr("Updates"), tr("Diese Seite ist in dieser Version noch nicht verfügbar."));
}

void MainWindow::updateSelectedMod()
{
}

void MainWindow::updateAllMods()
{
}
