#include "app/mainwindow.h"

#include <QUrl>

void MainWindow::handleLink(const QUrl &)
{}
