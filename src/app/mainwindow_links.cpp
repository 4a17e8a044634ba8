#include <QUrl>

#include "app/mainwindow.h"

void MainWindow::handleLink(const QUrl &)
{
}
