#include "app/listwidgets.h"
#include "app/mainwindow.h"
#include "environment/discovery.h"
#include "modio/installlink.h"
#include "modio/quickcheck.h"

#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>

ModIoInstallContext MainWindow::modIoInstallContext()
{
    ModIoInstallContext context;
    ModIoInstallPrompts &run = context.prompts;
    run.messages = prompts;
    run.crcQuestion = [this](const QString &title, const QString &text, const QString &informativeText,
                             const QString &acceptLabel) {
        // Cancel is the default: the archive's own checksums disagree with its contents.
        return prompts.choice(title, text, informativeText, {acceptLabel, tr("Abbrechen")}, 1) == 0;
    };
    run.status = [this](const QString &text) {
        setStatus(text);
    };
    run.progress = [this](const DownloadProgress &state) {
        showDownloadProgress(modIoView.downloadProgress, state);
    };
    run.hideProgress = [this] {
        modIoView.downloadProgress->setVisible(false);
    };
    run.setInstallEnabled = [this](bool enabled) {
        modIoView.installButton->setEnabled(enabled);
    };
    run.refreshViews = [this] {
        rescanLocalMods();
        refreshModIoInstalledIds(true);
        applyModIoFilter();
    };
    run.install = installPrompts();
    context.modsFolder = effectiveModIoModsPath();
    context.storageRoot = modIoRootStoragePath();
    context.hooks = fileHooks;
    return context;
}

void MainWindow::installSelectedModIo()
{
    installModIoRecordAt(modIoView.selectedIndex);
}

void MainWindow::installModIoRecordAt(int index)
{
    ModIoView &view = modIoView;
    if (index < 0 || index >= view.mods.size())
        return;
    if (installRunActive()) {
        setStatus(tr("Es läuft bereits eine Installation."));
        return;
    }
    // A copy: pages that arrive while the run waits may replace the list.
    const ModIoMod record = view.mods.at(index);
    installInProgress = true;
    catalogView.reloadButton->setEnabled(false);
    // Off before the subscription request, which waits in a nested loop.
    view.installButton->setEnabled(false);
    ModIoInstaller installer(*view.client, network, view.modIoSubscribedIds, modIoInstallContext());
    installer.installModIoSelection(record);
    installInProgress = false;
    catalogView.reloadButton->setEnabled(!catalogLoading);
    view.installButton->setEnabled(true);
}

void MainWindow::handleInstallLink(const QUrl &link)
{
    ModIoView &view = modIoView;
    if (installRunActive())
        return;
    ModIoInstaller installer(*view.client, network, view.modIoSubscribedIds, modIoInstallContext());
    ModIoMod record;
    if (!openInstallLink(installer, link, &record))
        return;

    int index = -1;
    for (int i = 0; i < view.mods.size() && index < 0; ++i) {
        if (view.mods.at(i).id == record.id)
            index = i;
    }
    if (index >= 0) {
        view.mods[index] = record;
    } else {
        computeModIoQuickCheck(record);
        view.mods.append(record);
        index = int(view.mods.size()) - 1;
    }
    // The list is not empty now, so showing the page starts no reload that could replace it.
    showModIo();
    view.selectedIndex = index;
    applyModIoFilter();
    // The search or a filter may hide the record: the install acts on it all the same, never on whichever
    // row the filter left current.
    view.selectedIndex = index;
    showModIoDetails(index);
    installModIoRecordAt(index);
    // The run re-applied the filter; the page stays on the linked mod (pages that arrived meanwhile may have
    // moved it).
    for (int i = 0; i < view.mods.size(); ++i) {
        if (view.mods.at(i).id == record.id) {
            view.selectedIndex = i;
            showModIoDetails(i);
            break;
        }
    }
}
