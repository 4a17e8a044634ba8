#include "app/mainwindow.h"

void MainWindow::installSelectedRepositoryMod()
{
}

void MainWindow::installManualMod()
{
    setStatus(tr("Diese Funktion ist in dieser Version noch nicht verfügbar."));
}

void MainWindow::uninstallSelectedLocalMod()
{
}

void MainWindow::openSelectedLocalFolder()
{
}
