#include "app/mainwindow.h"

QWidget *MainWindow::buildCatalogPage()
{
    return buildPlaceholderPage(tr("Mod-Katalog"), tr("Diese Seite ist in dieser Version noch nicht verfügbar."));
}

void MainWindow::reloadCatalog()
{
    catalogLoaded = true;
}

void MainWindow::applyCatalogFilter()
{
}

void MainWindow::catalogSelectionChanged()
{
}

void MainWindow::gallerySelectionChanged()
{
}
