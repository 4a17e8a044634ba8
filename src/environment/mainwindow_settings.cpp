#include "app/mainwindow.h"

void MainWindow::openSettings()
{
    setStatus(tr("Diese Funktion ist in dieser Version noch nicht verfügbar."));
}
