#include "app/mainwindow.h"
#include "catalog/repositorylist.h"
#include "install/requestconventions.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QNetworkReply>
#include <QProgressDialog>
#include <QUrl>

#include <memory>

void MainWindow::startSelfUpdateCheck()
{
    if (selfUpdateCheckStarted)
        return;
    selfUpdateCheckStarted = true;
    // The built-in repository's own document: an external repository may list an entry of the same name.
    QNetworkReply *reply =
        network.get(buildRequest(RequestKind::CatalogDocument, builtInRepository().jsonUrl));
    connect(reply, &QNetworkReply::finished, this, [this, reply] {
        reply->deleteLater();
        if (reply->error() != QNetworkReply::NoError)
            return;
        RepoMod entry;
        if (managerEntryFromDocument(reply->readAll(), &entry))
            checkSelfUpdate(entry);
    });
}

void MainWindow::startManagerUpdateCheck(const RepoMod &managerEntry)
{
    checkSelfUpdate(managerEntry);
}

void MainWindow::checkSelfUpdate(const RepoMod &entry)
{
    ::checkSelfUpdate(network, entry, selfUpdateHooks());
}

void MainWindow::installSelfUpdate(const RepoMod &entry)
{
    ::installSelfUpdate(network, entry, selfUpdateHooks());
}

SelfUpdateHooks MainWindow::selfUpdateHooks()
{
    SelfUpdateHooks hooks;
    hooks.prompts = prompts;
    hooks.status = [this](const QString &text) {
        setStatus(text);
    };
    auto dialog = std::make_shared<std::unique_ptr<QProgressDialog>>();
    hooks.progress.open = [this, dialog] {
        auto *progress =
            new QProgressDialog(tr("ModManager-Update wird heruntergeladen…"), tr("Abbrechen"), 0, 100, this);
        progress->setWindowTitle(tr("Update herunterladen"));
        progress->setWindowModality(Qt::ApplicationModal);
        progress->setAutoClose(false);
        progress->setAutoReset(false);
        progress->setMinimumDuration(0);
        progress->setValue(0);
        progress->show();
        dialog->reset(progress);
    };
    hooks.progress.update = [dialog](const SelfUpdateProgress &step) {
        if (!*dialog)
            return;
        (*dialog)->setRange(0, step.busy ? 0 : 100);
        if (!step.busy)
            (*dialog)->setValue(step.value);
        (*dialog)->setLabelText(step.label);
    };
    hooks.progress.wasCancelled = [dialog] {
        return *dialog && (*dialog)->wasCanceled();
    };
    hooks.progress.close = [dialog] {
        dialog->reset();
    };
    hooks.openUrl = [](const QString &url) {
        QDesktopServices::openUrl(QUrl(url));
    };
    hooks.quit = [] {
        QCoreApplication::quit();
    };
    hooks.place = runningUpdaterPlace();
#ifndef Q_OS_WIN
    hooks.posixUpdater = true;
#endif
    return hooks;
}
