#include "app/mainwindow.h"

void MainWindow::startSelfUpdateCheck()
{
    if (selfUpdateCheckStarted)
        return;
    selfUpdateCheckStarted = true;
}
