#include "app/listwidgets.h"
#include "app/mainwindow.h"
#include "install/installer.h"
#include "install/installrun.h"
#include "localmods/modmatching.h"

#include <QDesktopServices>
#include <QDir>
#include <QProgressBar>
#include <QPushButton>
#include <QUrl>

bool MainWindow::installRunActive() const
{
    return installInProgress || updateInProgress;
}

bool MainWindow::refuseWhileCatalogLoads()
{
    if (!catalogLoading)
        return false;
    setStatus(tr("Der Katalog wird gerade geladen. Bitte warte, bis er vollständig ist."));
    return true;
}

InstallPrompts MainWindow::installPrompts()
{
    InstallPrompts installPrompts;
    installPrompts.chooseModsFolder = [this](const QString &title, const QString &startFolder) {
        return prompts.chooseFolder(title, startFolder);
    };
    installPrompts.confirmOverwrite = [this](const QString &title, const QString &text) {
        return prompts.question(title, text, DefaultAnswer::No);
    };
    installPrompts.performance.setStatus = [this](const QString &text) {
        setStatus(text);
    };
    installPrompts.performance.showReport = [this](const PerformanceReport &report, const QString &modName) {
        return prompts.performanceReport(report, modName);
    };
    return installPrompts;
}

void MainWindow::installManualMod()
{
    const QString archive = prompts.chooseOpenFile(
        tr("Mod manuell installieren"),
        tr("Mod-Archive (*.zip *.7z *.rar);;ZIP (*.zip);;7-Zip (*.7z);;RAR (*.rar);;Alle "
           "Dateien (*.*)"));
    if (archive.isEmpty())
        return;
    if (installRunActive()) {
        setStatus(tr("Es läuft bereits eine Installation."));
        return;
    }
    installInProgress = true;
    catalogView.reloadButton->setEnabled(false);
    InstallResult result;
    QString error;
    const bool ok =
        installFromArchive(archive, InstallOptions(), installPrompts(), &result, &error, fileHooks);
    installInProgress = false;
    catalogView.reloadButton->setEnabled(!catalogLoading);
    if (!ok) {
        if (!isInstallCancelled(error))
            prompts.critical(tr("Installation fehlgeschlagen"), error);
        setStatus(error);
        return;
    }
    rescanLocalMods();
    setStatus(tr("Mod installiert: %1").arg(QDir::toNativeSeparators(result.installedPath)));
    QString text = tr("Der Mod wurde erfolgreich installiert.");
    if (!result.warning.isEmpty())
        text += QStringLiteral("\n\n") + result.warning;
    prompts.information(tr("Mod installiert"), text);
}

void MainWindow::installSelectedRepositoryMod()
{
    if (selectedCatalogIndex < 0 || selectedCatalogIndex >= catalog.size())
        return;
    if (installRunActive()) {
        setStatus(tr("Es läuft bereits eine Installation."));
        return;
    }
    if (refuseWhileCatalogLoads())
        return;
    // A copy: the catalog may be reloaded after the run, the entry must stay what the player chose.
    const RepoMod entry = catalog.at(selectedCatalogIndex);
    rescanLocalMods();
    for (const LocalMod &mod : std::as_const(localMods)) {
        if (isModIoCopy(mod) && matchLocalToCatalog(mod, entry)) {
            prompts.information(
                tr("Bereits über mod.io installiert"),
                tr("'%1' ist bereits über mod.io installiert.\n\nUm doppelte Installationen zu vermeiden, "
                   "kann die "
                   "Version aus Trackhaven bzw. einem anderen Repository nicht zusätzlich installiert "
                   "werden. Bitte "
                   "verwalte diese Mod über mod.io oder den Mod Hub in Ferroline 3.\n\nmod.io-Pfad: %2")
                    .arg(entry.name, QDir::toNativeSeparators(mod.path)));
            return;
        }
    }

    catalogView.installButton->setEnabled(false);
    setStatus(tr("Prüfe benötigte Modifikationen für '%1'…").arg(entry.name));
    QString error;
    const bool ok = runRepositoryInstall(entry, QString(), catalogView.installProgress, &error);
    catalogView.installButton->setEnabled(true);
    catalogView.installProgress->setVisible(false);
    if (ok) {
        rescanLocalMods();
        const QString text =
            tr("'%1' und alle benötigten Modifikationen wurden erfolgreich installiert.").arg(entry.name);
        prompts.information(tr("Mod installiert"),
                            error.isEmpty() ? text : text + QStringLiteral("\n\n") + error);
        showCatalogDetails(selectedCatalogIndex);
        return;
    }
    if (!isInstallCancelled(error))
        prompts.critical(tr("Installation fehlgeschlagen"), error);
    setStatus(error);
    showCatalogDetails(selectedCatalogIndex);
}

void MainWindow::uninstallSelectedLocalMod()
{
    const int index = selectedLocalModIndex();
    if (index < 0 || index >= localMods.size())
        return;
    const LocalMod mod = localMods.at(index);
    if (isModIoCopy(mod)) {
        prompts.information(tr("mod.io-Mod"),
                            tr("Dieser Mod liegt im mod.io-Verzeichnis. Bitte verwalte ihn über mod.io bzw. "
                               "Ferroline 3, damit er nicht automatisch erneut geladen wird."));
        return;
    }
    if (!prompts.question(tr("Mod deinstallieren"),
                          tr("Soll '%1' wirklich vollständig gelöscht werden?\n\n%2")
                              .arg(mod.name, QDir::toNativeSeparators(mod.path)),
                          DefaultAnswer::No))
        return;
    QString error;
    if (uninstallLocalMod(mod, &error, fileHooks) != UninstallResult::Removed) {
        prompts.critical(tr("Deinstallation fehlgeschlagen"),
                         tr("Der Modordner konnte nicht gelöscht werden."));
        return;
    }
    rescanLocalMods();
}

void MainWindow::openSelectedLocalFolder()
{
    const int index = selectedLocalModIndex();
    if (index < 0 || index >= localMods.size())
        return;
    QDesktopServices::openUrl(QUrl::fromLocalFile(localMods.at(index).path));
}

bool MainWindow::runRepositoryInstall(const RepoMod &entry, const QString &replaceFolder,
                                      QProgressBar *progress, QString *error)
{
    RepositoryInstallContext context;
    context.catalog = catalog;
    context.setStatus = [this](const QString &text) {
        setStatus(text);
    };
    context.download.progress = [progress](const DownloadProgress &state) {
        showDownloadProgress(progress, state);
    };
    context.hideProgress = [progress] {
        if (progress)
            progress->setVisible(false);
    };
    context.askAboutDependencies = [this](const DependencyQuestion &question) {
        return dependencyAnswerForButton(prompts.choice(question.title, question.text,
                                                        question.informativeText, question.buttons,
                                                        question.defaultButton));
    };
    context.prompts = installPrompts();
    context.rescanLocalMods = [this] {
        rescanLocalMods();
        LocalScanResult result;
        result.mods = localMods;
        result.folderCopies = localFolderCopies;
        result.modIoFileIds = installedModIoFileIds;
        return result;
    };
    context.hooks = fileHooks;

    const bool wasInstalling = installInProgress;
    installInProgress = true;
    catalogView.reloadButton->setEnabled(false);
    RepositoryInstallRun run(network, context);
    QString runError;
    const bool ok =
        replaceFolder.isEmpty() ? run.install(entry, &runError) : run.update(entry, replaceFolder, &runError);
    installInProgress = wasInstalling;
    catalogView.reloadButton->setEnabled(!catalogLoading && !installRunActive());
    if (ok && !run.warnings().isEmpty())
        runError = run.warnings().join(QStringLiteral("\n\n"));
    if (error)
        *error = runError;
    return ok;
}
