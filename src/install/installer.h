#pragma once

#include "analysis/performanceprecheck.h"
#include "install/fileoperations.h"
#include "localmods/localmod.h"

#include <QString>

#include <functional>

// The installation pipeline: an archive on disk becomes a mod folder in the user mods folder. Every
// installation (by hand, from a repository, from mod.io, as an update) goes through installFromArchive.

// How one installation treats an existing mod folder.
struct InstallOptions
{
    // Empty: install into <user mods folder>/<mod name>. Otherwise exactly into this folder (an update of an
    // installed mod, or a mod.io folder).
    QString replaceTarget;
    // An existing target is replaced without asking, cleanly: it is renamed to a backup beside it, the new
    // version is copied, and the backup is removed, or put back when the copy fails. Without it an existing
    // target needs the player's consent and is overwritten file by file, keeping its other files; a copy of
    // it beside it is the backup, put back when the overwrite fails.
    bool replaceSilently = false;
    // When the player declines to overwrite, report success with the existing folder instead of the cancel.
    bool declineKeepsExisting = false;
    // Passed to the extraction; only after the player confirmed the CRC warnings of a verified download.
    bool tolerateCrcWarnings = false;
};

// The questions an installation may ask. The main window answers with dialogs, tests with scripted answers.
// A question without an answer function gets the safe answer (no folder, do not overwrite).
struct InstallPrompts
{
    // Asks for the folder mods go into, starting at startFolder; an empty answer means none was chosen.
    std::function<QString(const QString &title, const QString &startFolder)> chooseModsFolder;
    // Asks whether the existing mod folder may be overwritten (Yes/No, No being the default); true for Yes.
    std::function<bool(const QString &title, const QString &text)> confirmOverwrite;
    PerformanceCheckPrompts performance;
};

struct InstallResult
{
    // The installed folder, or the kept existing one when the player declined to overwrite it.
    QString installedPath;
    // The new content was copied. Only then does the folder hold what the caller downloaded, and only then
    // may the caller write an install marker into it: a folder the player chose to keep is not the new
    // version.
    bool copied = false;
    // Set on success when the player must still be told something: a backup folder that could not be removed
    // and has to be deleted by hand.
    QString warning;
};

// "Installation abgebrochen.", translated: the error text of a cancel by the player. Callers show no failure
// message for it.
QString installCancelledText();
// True for the cancel text in German or in the interface language.
bool isInstallCancelled(const QString &error);

// Installs the mod in archivePath (any volume of a multi-part archive: the first one is looked up beside it).
// Order: target base folder, first volume, extraction into a temporary folder, safety check of the unpacked
// tree, mod root and its check (no link out of it, at least one file to copy), performance pre-check, the
// overwrite question, backup, copy, removal of the backup. An existing mod folder is neither renamed nor
// changed before the new content is completely unpacked, checked and accepted.
//
// Returns true with result->installedPath; false with the reason in error (the cancel text when the player
// declined). On success error holds result->warning, usually empty. File operations consult hooks.
bool installFromArchive(const QString &archivePath, const InstallOptions &options,
                        const InstallPrompts &prompts, InstallResult *result = nullptr,
                        QString *error = nullptr, const FileOperationHooks &hooks = {});

// The first volume of the multi-part set archivePath belongs to, looked up among the files beside it;
// archivePath itself when it is a plain archive or already the first volume; empty when the first volume is
// missing.
QString firstArchiveVolume(const QString &archivePath);

// Where in an unpacked archive the mod lies, and the folder name it gets.
struct ArchiveModRoot
{
    QString folder;
    QString name;
};
// A single top-level folder is the mod; otherwise the first top-level folder (by name) that is a mod root;
// otherwise the whole unpacked tree, named after the archive.
ArchiveModRoot findArchiveModRoot(const QString &extractionFolder, const QString &archivePath);
// The archive's name without its suffix and volume suffixes: "Pack.part1.rar" and "Pack.7z.001" give "Pack".
QString archiveModName(const QString &archivePath);
// name, or "manual_mod" when it is blank or would not name a folder of its own ("." and "..").
QString safeModFolderName(const QString &name);

// ".fx3mm_backup_<folder name>_<milliseconds since the epoch>": the backup of a mod folder during a clean
// replacement, beside the folder itself.
QString backupFolderName(const QString &modFolderName, qint64 msecsSinceEpoch);

enum class UninstallResult
{
    Removed,
    // The mod lies in the mod.io folder; the game's Mod Hub would fetch it again, so it is not deleted.
    ModIoCopy,
    Failed,
};

// Deletes an installed mod folder (one attempt) after the player confirmed it. A copy in the mod.io folder
// is refused and left alone. A mod folder that is a link loses only the link. A folder that is already gone
// counts as removed.
UninstallResult uninstallLocalMod(const LocalMod &mod, QString *error = nullptr,
                                  const FileOperationHooks &hooks = {});
