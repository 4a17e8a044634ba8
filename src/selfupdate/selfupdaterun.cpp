#include "selfupdate/selfupdaterun.h"

#include "app/appinfo.h"

#include <QCoreApplication>
#include <QFile>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("MainWindow", text);
}

void showStatus(const SelfUpdateHooks &hooks, const QString &text)
{
    if (hooks.status)
        hooks.status(text);
}

void showCritical(const SelfUpdateHooks &hooks, const QString &text)
{
    if (hooks.prompts.critical)
        hooks.prompts.critical(tr("Update fehlgeschlagen"), text);
}

bool download(QNetworkAccessManager &manager, const RepoMod &entry, const SelfUpdateHooks &hooks,
              QString *filePath, QString *error)
{
    const SelfUpdateProgressDialog &dialog = hooks.progress;
    if (dialog.open)
        dialog.open();
    SelfUpdateDownloadCallbacks callbacks;
    callbacks.progress = dialog.update;
    callbacks.isCancelled = dialog.wasCancelled;
    const bool downloaded =
        downloadSelfUpdate(manager, entry, hooks.place.tempFolder, callbacks, filePath, error);
    if (dialog.close)
        dialog.close();
    return downloaded;
}

// A release without a program for this system cannot be installed here; its download page still can be.
void offerBrowserInstead(const RepoMod &entry, const SelfUpdateHooks &hooks, const QString &reason)
{
    showStatus(hooks, reason);
    const QString question = tr("%1\n\nSoll die Download-Adresse stattdessen im Browser geöffnet werden?\n%2")
                                 .arg(reason, entry.downloadUrl.trimmed());
    if (hooks.prompts.question &&
        hooks.prompts.question(tr("Update nicht automatisch installierbar"), question, DefaultAnswer::Yes) &&
        hooks.openUrl)
        hooks.openUrl(entry.downloadUrl.trimmed());
}

} // namespace

void checkSelfUpdate(QNetworkAccessManager &manager, const RepoMod &entry, const SelfUpdateHooks &hooks)
{
    const QString available = offeredSelfUpdateVersion(entry);
    if (available.isEmpty() || !hooks.prompts.offer)
        return;
    const int answer = hooks.prompts.offer(
        tr("Update verfügbar"), tr("Eine neue Version des Trackhaven FX3 Mod-Managers ist verfügbar."),
        tr("Installiert: v%1\nVerfügbar: v%2\n\nDas Update kann automatisch in das aktuelle "
           "Programmverzeichnis installiert werden.")
            .arg(QString::fromLatin1(AppInfo::version), available),
        {tr("Update installieren"), tr("Abbrechen")}, 0);
    if (answer != 0)
        return;
    RepoMod release = entry;
    release.version = available;
    installSelfUpdate(manager, release, hooks);
}

void installSelfUpdate(QNetworkAccessManager &manager, const RepoMod &entry, const SelfUpdateHooks &hooks)
{
    showStatus(hooks, tr("Lade ModManager-Update v%1…").arg(entry.version));
    QString archive;
    QString error;
    if (!download(manager, entry, hooks, &archive, &error)) {
        if (error != selfUpdateCancelledText())
            showCritical(hooks, error);
        showStatus(hooks, error.isEmpty() ? selfUpdateCancelledText() : error);
        return;
    }

    QString reason;
    if (hooks.posixUpdater && !releaseHoldsPosixProgram(archive, hooks.place.sevenZip, &reason)) {
        QFile::remove(archive);
        offerBrowserInstead(entry, hooks, reason);
        return;
    }

    const bool launched = hooks.posixUpdater ? launchPosixUpdater(archive, hooks.place, &error)
                                             : launchPowerShellUpdater(archive, hooks.place, &error);
    if (!launched) {
        QFile::remove(archive);
        showCritical(hooks, error);
        showStatus(hooks, error);
        return;
    }
    showStatus(hooks, tr("Update wird installiert. Der ModManager wird neu gestartet…"));
    if (hooks.prompts.information)
        hooks.prompts.information(tr("Update wird installiert"),
                                  tr("Der ModManager wird jetzt beendet, aktualisiert und anschließend "
                                     "automatisch neu gestartet."));
    if (hooks.quit)
        hooks.quit();
}
