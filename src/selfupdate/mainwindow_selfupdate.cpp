#include "app/mainwindow.h"

void MainWindow::startSelfUpdateCheck()
{
    if (selfUpdateCheckStarted)
        return;
    selfUpdateCheckStarted = true;
}

void MainWindow::startManagerUpdateCheck(const RepoMod &)
{
    // The manager's own update is offered by a later version; finding the entry is enough for now.
}
