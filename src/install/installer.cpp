#include "install/installer.h"

#include "app/settings.h"
#include "install/archivevolumes.h"
#include "install/extractor.h"
#include "localmods/modmetadata.h"
#include "platform/settingsfile.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>

namespace {
const QString extractionSubfolder = QStringLiteral("content");

QString tr(const char *text)
{
    return QCoreApplication::translate("MainWindow", text);
}

QString native(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

QString cleanedPath(const QString &path)
{
    const QString trimmed = path.trimmed();
    if (trimmed.isEmpty())
        return {};
    return QDir::cleanPath(QDir::fromNativeSeparators(trimmed));
}

QString unsafeArchiveText(const QString &entry)
{
    return tr("Das Archiv enthält unsichere Einträge, die aus dem Mod-Ordner herausführen (z. B. symbolische "
              "Links oder Pfade mit \"..\"). Aus Sicherheitsgründen wurde nichts installiert.\n\nBetroffener "
              "Eintrag: %1")
        .arg(native(entry));
}

// An extractor that honours "../" in entry names writes beside the folder it was given. Extracting into a
// sub-folder of a private temporary folder makes such entries land where they can be seen (and are removed
// with the temporary folder) instead of among the player's files.
QString escapedEntry(const QString &workFolder)
{
    const QStringList names =
        QDir(workFolder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString &name : names) {
        if (name != extractionSubfolder)
            return QStringLiteral("../") + name;
    }
    return {};
}

// The user mods folder, asked for and stored when the setting names no existing folder.
bool resolveModsFolder(const InstallPrompts &prompts, QString *folder, QString *error)
{
    *folder = cleanedPath(storedUserModsPath());
    if (!folder->isEmpty() && QFileInfo(*folder).isDir())
        return true;
    const QString chosen =
        prompts.chooseModsFolder
            ? cleanedPath(prompts.chooseModsFolder(tr("Zielordner für Mods auswählen"), *folder))
            : QString();
    if (chosen.isEmpty() || !QFileInfo(chosen).isDir()) {
        *error = tr("Kein Zielordner ausgewählt.");
        return false;
    }
    *folder = chosen;
    QSettings settings;
    settings.setValue(QStringLiteral("paths/usermods"), chosen);
    syncPrivately(settings);
    return true;
}
} // namespace

QString installCancelledText()
{
    return tr("Installation abgebrochen.");
}

bool isInstallCancelled(const QString &error)
{
    return error == QLatin1String("Installation abgebrochen.") || error == installCancelledText();
}

QString firstArchiveVolume(const QString &archivePath)
{
    const ArchiveVolumeInfo chosen = parseArchiveVolumeName(archivePath);
    if (!chosen.isMultiVolume || chosen.isFirst)
        return archivePath;
    const QFileInfo info(archivePath);
    const QDir folder = info.absoluteDir();
    const QStringList files = folder.entryList(QDir::Files | QDir::Hidden, QDir::Name);
    for (const QString &name : files) {
        const ArchiveVolumeInfo candidate = parseArchiveVolumeName(name);
        if (candidate.isFirst && candidate.groupKey == chosen.groupKey)
            return QDir::cleanPath(folder.filePath(name));
    }
    return {};
}

QString archiveModName(const QString &archivePath)
{
    QString name = QFileInfo(archivePath).completeBaseName();
    static const QRegularExpression firstPart(QStringLiteral("\\.part0*1$"),
                                              QRegularExpression::CaseInsensitiveOption);
    name.remove(firstPart);
    // "Pack.7z.001": the base name still carries the suffix of the archive the volumes were cut from.
    if (parseArchiveVolumeName(archivePath).groupKey.startsWith(QLatin1String("numbered|"))) {
        static const QRegularExpression archiveSuffix(QStringLiteral("\\.(?:7z|zip|rar)$"),
                                                      QRegularExpression::CaseInsensitiveOption);
        name.remove(archiveSuffix);
    }
    return name;
}

QString safeModFolderName(const QString &name)
{
    const QString trimmed = name.trimmed();
    // "." or ".." would make the mods folder itself, or its parent, the target.
    if (trimmed.isEmpty() || trimmed == QLatin1String(".") || trimmed == QLatin1String(".."))
        return QStringLiteral("manual_mod");
    return name;
}

ArchiveModRoot findArchiveModRoot(const QString &extractionFolder, const QString &archivePath)
{
    ArchiveModRoot root{QDir::cleanPath(extractionFolder), archiveModName(archivePath)};
    const QFileInfoList entries =
        QDir(extractionFolder)
            .entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                           QDir::Name | QDir::IgnoreCase);
    if (entries.size() == 1 && entries.first().isDir()) {
        root = {QDir::cleanPath(entries.first().filePath()), entries.first().fileName()};
    } else {
        for (const QFileInfo &entry : entries) {
            if (entry.isDir() && isModRoot(entry.filePath())) {
                root = {QDir::cleanPath(entry.filePath()), entry.fileName()};
                break;
            }
        }
    }
    root.name = safeModFolderName(root.name);
    return root;
}

QString backupFolderName(const QString &modFolderName, qint64 msecsSinceEpoch)
{
    return QStringLiteral(".fx3mm_backup_%1_%2").arg(modFolderName, QString::number(msecsSinceEpoch));
}

bool installFromArchive(const QString &archivePath, const InstallOptions &options,
                        const InstallPrompts &prompts, InstallResult *result, QString *error,
                        const FileOperationHooks &hooks)
{
    InstallResult scratch;
    InstallResult &out = result ? *result : scratch;
    out = InstallResult();
    const auto failWith = [error](const QString &text) {
        if (error)
            *error = text;
        return false;
    };

    QString replaceTarget = cleanedPath(options.replaceTarget);
    if (!replaceTarget.isEmpty())
        replaceTarget = QDir::cleanPath(QFileInfo(replaceTarget).absoluteFilePath());
    QString baseFolder;
    if (replaceTarget.isEmpty()) {
        QString folderError;
        if (!resolveModsFolder(prompts, &baseFolder, &folderError))
            return failWith(folderError);
    } else {
        // The folder to replace decides where the mod goes; a folder chosen now would not be used, and
        // storing it as the user mods folder would silently redirect every later manual install.
        baseFolder = QFileInfo(replaceTarget).absolutePath();
        if (!QFileInfo(baseFolder).isDir())
            return failWith(
                tr("Der Ordner der zu ersetzenden Mod existiert nicht mehr:\n%1").arg(native(baseFolder)));
    }

    const QString chosenArchive = QDir::cleanPath(QFileInfo(cleanedPath(archivePath)).absoluteFilePath());
    const QString archive = firstArchiveVolume(chosenArchive);
    if (archive.isEmpty()) {
        return failWith(tr("Dies ist nicht der erste Teil eines mehrteiligen Archivs.\n\nBitte stelle alle "
                           "Archivteile im selben Ordner bereit und wähle den ersten Teil aus."));
    }

    QTemporaryDir workFolder;
    const QString extractionFolder = workFolder.path() + QLatin1Char('/') + extractionSubfolder;
    if (!workFolder.isValid() || !QDir().mkdir(extractionFolder))
        return failWith(tr("Temporärer Entpackordner konnte nicht erstellt werden."));

    QString extractError;
    if (!extractArchive(archive, extractionFolder, options.tolerateCrcWarnings, &extractError))
        return failWith(extractError);

    // Nothing of the unpacked tree is trusted before this point: a link or an entry leading out of it would
    // make the pre-check read, and the copy write, wherever it points.
    const QString escaped = escapedEntry(workFolder.path());
    if (!escaped.isEmpty())
        return failWith(unsafeArchiveText(escaped));
    if (QDir(extractionFolder).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot))
        return failWith(tr("Das Archiv ist leer."));
    const QString leaving = firstEntryLeavingFolder(extractionFolder);
    if (!leaving.isEmpty())
        return failWith(unsafeArchiveText(leaving));

    const ArchiveModRoot root = findArchiveModRoot(extractionFolder, archive);
    // Only the mod root is copied. A link from there to elsewhere in the archive, or a root without a single
    // file to copy, would otherwise show only once the existing folder is already renamed or changed.
    const QString leavingRoot = firstEntryLeavingFolder(root.folder);
    if (!leavingRoot.isEmpty()) {
        return failWith(unsafeArchiveText(
            QDir(extractionFolder).relativeFilePath(root.folder + QLatin1Char('/') + leavingRoot)));
    }
    if (!containsCopiedFile(root.folder)) {
        return failWith(tr("Das Archiv enthält keine Mod-Dateien: Im Mod-Ordner liegen nur leere Ordner oder "
                           "versteckte Dateien. Es wurde nichts installiert."));
    }

    QString checkError;
    if (!performancePreCheck(root.folder, root.name, prompts.performance, &checkError))
        return failWith(checkError);

    const QString target =
        replaceTarget.isEmpty() ? baseFolder + QLatin1Char('/') + root.name : replaceTarget;
    const QFileInfo targetInfo(target);
    const bool targetExists = targetInfo.exists() || targetInfo.isSymbolicLink();

    if (targetExists && !options.replaceSilently) {
        const bool overwrite =
            prompts.confirmOverwrite &&
            prompts.confirmOverwrite(
                tr("Mod bereits vorhanden"),
                tr("Der Mod '%1' ist bereits vorhanden.\n\nVorhandene Dateien aktualisieren/überschreiben?")
                    .arg(root.name));
        if (!overwrite) {
            if (!options.declineKeepsExisting)
                return failWith(installCancelledText());
            out.installedPath = target;
            if (error)
                error->clear();
            return true;
        }
    }

    // Either way the old version is kept whole beside the target until the new one is complete: a clean
    // update moves it aside, an overwrite copies it (the overwrite keeps the files the new version does not
    // bring, so it needs the old folder in place).
    QString backup;
    if (targetExists) {
        backup = targetInfo.absolutePath() + QLatin1Char('/') +
                 backupFolderName(targetInfo.fileName(), QDateTime::currentMSecsSinceEpoch());
        QString backupError;
        if (options.replaceSilently) {
            if (!renameDirectory(target, backup, &backupError, hooks)) {
                return failWith(tr("Der vorhandene Mod-Ordner konnte für das saubere Update nicht gesichert "
                                   "werden:\n%1\n\n%2\n\nDie bestehende Installation wurde nicht verändert.")
                                    .arg(native(target), backupError));
            }
        } else {
            // A folder of that name that was there before is not a partial copy to remove.
            const QFileInfo backupInfo(backup);
            const bool nameTaken = backupInfo.exists() || backupInfo.isSymbolicLink();
            if (!copyDirectoryExactly(target, backup, &backupError, hooks)) {
                if (!nameTaken)
                    removeDirectoryTree(backup, nullptr, hooks);
                return failWith(tr("Der vorhandene Mod-Ordner konnte vor dem Überschreiben nicht gesichert "
                                   "werden:\n%1\n\n%2\n\nDie bestehende Installation wurde nicht verändert.")
                                    .arg(native(target), backupError));
            }
        }
    }

    QString copyError;
    if (copyDirectoryWithRetries(root.folder, target, &copyError, hooks)) {
        out.installedPath = target;
        out.copied = true;
        QString removeError;
        if (!backup.isEmpty() && !removeDirectoryTree(backup, &removeError, hooks)) {
            // The removal may have deleted part of the backup already, so it is no longer a version to go
            // back to. The new version is complete; only the remains of the old one need deleting.
            out.warning =
                tr("Das Update wurde installiert, aber die Sicherung der alten Version konnte nicht "
                   "vollständig entfernt werden. Bitte lösche den verbliebenen Sicherungsordner von "
                   "Hand, damit die Mod nicht doppelt geladen wird:\n%1\n\n%2")
                    .arg(native(backup), removeError);
        }
        if (error)
            *error = out.warning;
        return true;
    }

    if (backup.isEmpty())
        return failWith(copyError);
    // Whatever the removal leaves makes the rename back fail, and the message then names the backup.
    removeDirectoryTree(target, nullptr, hooks);
    QString renameError;
    if (renameDirectory(backup, target, &renameError, hooks))
        return failWith(copyError + tr("\n\nDie vorherige Mod-Version wurde wiederhergestellt."));
    return failWith(copyError + tr("\n\nACHTUNG: Die vorherige Mod-Version konnte nicht automatisch "
                                   "wiederhergestellt werden. Sicherung: %1\n%2")
                                    .arg(native(backup), renameError));
}

UninstallResult uninstallLocalMod(const LocalMod &mod, QString *error, const FileOperationHooks &hooks)
{
    if (error)
        error->clear();
    if (isModIoCopy(mod))
        return UninstallResult::ModIoCopy;

    const QString folder = cleanedPath(mod.path);
    const QFileInfo info(folder);
    // A record without a folder, or one naming a drive or file-system root, is never a mod folder to delete.
    if (folder.isEmpty() || info.fileName().isEmpty() || QDir(folder).isRoot()) {
        if (error)
            *error = tr("Der Modordner konnte nicht gelöscht werden.");
        return UninstallResult::Failed;
    }
    if (!removeDirectoryTreeOnce(folder, nullptr, hooks)) {
        if (error)
            *error = tr("Der Modordner konnte nicht gelöscht werden.");
        return UninstallResult::Failed;
    }
    return UninstallResult::Removed;
}
