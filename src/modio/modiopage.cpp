#include "app/mainwindow.h"

QWidget *MainWindow::buildModIoPage()
{
    return buildPlaceholderPage(QStringLiteral("mod.io"), tr("Diese Seite ist in dieser Version noch nicht verfügbar."));
}

void MainWindow::reloadModIo()
{
    modIoLoaded = true;
}

void MainWindow::applyModIoFilter()
{
}

void MainWindow::modIoSelectionChanged()
{
}

void MainWindow::modIoLoginSteam()
{
}

void MainWindow::modIoLoginEmail()
{
}

void MainWindow::modIoLogout()
{
}

void MainWindow::modIoToggleSubscription()
{
}

void MainWindow::installSelectedModIo()
{
}
