#include "selfupdate/updaterlaunch.h"

#include "install/externaltool.h"
#include "install/extractor.h"
#include "selfupdate/selfupdate.h"
#include "selfupdate/updaterscripts.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("MainWindow", text);
}

bool fail(QString *error, const QString &message)
{
    if (error)
        *error = message;
    return false;
}

enum class ScriptKind
{
    PowerShell,
    Posix,
};

bool writeFile(const UpdaterPlace &place, const QString &path, const QByteArray &content)
{
    if (place.failWrite && place.failWrite(path))
        return false;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const bool written = file.write(content) == content.size() && file.flush();
    file.close();
    if (!written)
        file.remove();
    return written;
}

bool launchUpdater(ScriptKind kind, const QString &zipPath, const UpdaterPlace &place, QString *error)
{
    if (place.programFolder.isEmpty() || place.programFile.isEmpty())
        return fail(error, tr("Das aktuelle Programmverzeichnis konnte nicht ermittelt werden."));

    // Better to refuse now than to leave the player with an updater that cannot write where it must.
    const QString testPath = QDir(place.programFolder).filePath(QStringLiteral(".fx3modmanager_update_test"));
    if (!writeFile(place, testPath, QByteArray())) {
        return fail(error,
                    tr("Der ModManager kann sein Programmverzeichnis nicht beschreiben:\n%1\n\nBitte "
                       "verschiebe die portable Installation in einen beschreibbaren Ordner oder starte "
                       "sie mit ausreichenden Rechten.")
                        .arg(QDir::toNativeSeparators(place.programFolder)));
    }
    QFile::remove(testPath);

    const qint64 stamp = QDateTime::currentMSecsSinceEpoch();
    const QDir temp(place.tempFolder);
    const bool powerShell = kind == ScriptKind::PowerShell;
    const QString scriptPath =
        temp.filePath(QStringLiteral("FX3ModManager_Updater_%1.%2")
                          .arg(stamp)
                          .arg(powerShell ? QStringLiteral("ps1") : QStringLiteral("sh")));
    const QString logPath = temp.filePath(QStringLiteral("FX3ModManager_Update_%1.log").arg(stamp));

    UpdaterScriptValues values;
    values.processId = place.processId;
    values.archivePath = zipPath;
    values.programFolder = place.programFolder;
    values.programFile = place.programFile;
    values.logPath = logPath;
    values.tempFolder = place.tempFolder;
    values.sevenZip = place.sevenZip;
    const QByteArray script = powerShell
                                  ? QByteArray("\xEF\xBB\xBF") + powerShellUpdaterScript(values).toUtf8()
                                  : posixUpdaterScript(values).toUtf8();
    if (!writeFile(place, scriptPath, script)) {
        QFile::remove(zipPath);
        return fail(error, tr("Das Updater-Skript konnte nicht erstellt werden."));
    }

    const QString program = powerShell ? QStringLiteral("powershell.exe") : QStringLiteral("/bin/sh");
    const QStringList arguments =
        powerShell ? QStringList{QStringLiteral("-NoProfile"), QStringLiteral("-ExecutionPolicy"),
                                 QStringLiteral("Bypass"), QStringLiteral("-File"),
                                 QDir::toNativeSeparators(scriptPath)}
                   : QStringList{scriptPath};
    if (!place.startDetached || !place.startDetached(program, arguments, place.tempFolder)) {
        QFile::remove(scriptPath);
        QFile::remove(zipPath);
        QFile::remove(logPath);
        return fail(error, tr("Der Updater-Prozess konnte nicht gestartet werden."));
    }
    return true;
}

} // namespace

UpdaterPlace runningUpdaterPlace()
{
    UpdaterPlace place;
    place.programFolder = QCoreApplication::applicationDirPath();
    place.programFile = QCoreApplication::applicationFilePath();
    place.processId = QCoreApplication::applicationPid();
    place.tempFolder = selfUpdateTempFolder();
    place.sevenZip = findSevenZip();
    place.startDetached = [](const QString &program, const QStringList &arguments,
                             const QString &workingDirectory) {
        return QProcess::startDetached(program, arguments, workingDirectory);
    };
    return place;
}

bool launchPowerShellUpdater(const QString &zipPath, const UpdaterPlace &place, QString *error)
{
    return launchUpdater(ScriptKind::PowerShell, zipPath, place, error);
}

bool launchPosixUpdater(const QString &zipPath, const UpdaterPlace &place, QString *error)
{
    return launchUpdater(ScriptKind::Posix, zipPath, place, error);
}

QList<ArchiveListingEntry> archiveListingEntries(const QString &listing)
{
    // The entries follow a line of ten dashes; the blocks before it describe the archive itself.
    QList<ArchiveListingEntry> entries;
    bool inEntries = false;
    const QStringList lines = listing.split(QLatin1Char('\n'));
    for (QString line : lines) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (line.trimmed() == QLatin1String("----------")) {
            inEntries = true;
        } else if (!inEntries) {
            continue;
        } else if (line.startsWith(QLatin1String("Path = "))) {
            entries.append({line.mid(7).replace(QLatin1Char('\\'), QLatin1Char('/')), false});
        } else if (!entries.isEmpty() && (line == QLatin1String("Folder = +") ||
                                          line.startsWith(QLatin1String("Attributes = D")))) {
            entries.last().folder = true;
        }
    }
    return entries;
}

bool posixReleaseSource(const QList<ArchiveListingEntry> &entries, QString *folder)
{
    const QString program = posixProgramFileName();
    const QString preferred = releaseProgramFolderName() + QLatin1Char('/') + program;
    QStringList folders;
    for (const ArchiveListingEntry &entry : entries) {
        if (entry.folder)
            continue;
        if (entry.path == preferred) {
            if (folder)
                *folder = releaseProgramFolderName();
            return true;
        }
        const qsizetype slash = entry.path.lastIndexOf(QLatin1Char('/'));
        if (entry.path.mid(slash + 1) == program)
            folders.append(slash < 0 ? QString() : entry.path.left(slash));
    }
    if (folders.size() != 1)
        return false;
    if (folder)
        *folder = folders.first();
    return true;
}

bool releaseHoldsPosixProgram(const QString &zipPath, const QString &sevenZip, QString *reason)
{
    if (sevenZip.isEmpty())
        return fail(reason,
                    tr("Das Update-Paket kann nicht geprüft werden, weil kein 7-Zip gefunden wurde."));
    const ExternalToolRun listing = runExternalTool(
        sevenZip, {QStringLiteral("l"), QStringLiteral("-slt"), QDir::toNativeSeparators(zipPath)},
        QFileInfo(zipPath).absolutePath());
    if (!listing.succeeded())
        return fail(
            reason,
            tr("Das Update-Paket konnte nicht gelesen werden:\n%1").arg(listing.output.trimmed().left(1000)));
    if (!posixReleaseSource(archiveListingEntries(listing.output))) {
        return fail(reason, tr("Das Update-Paket enthält kein Linux-Programm. Erwartet wird der Ordner „FX3 "
                               "ModManager“ mit der Programmdatei „FX3ModManager“ oder genau eine Datei "
                               "„FX3ModManager“."));
    }
    return true;
}
