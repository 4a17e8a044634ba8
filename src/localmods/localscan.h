#pragma once

#include "localmods/localmod.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

// The scan of the game's mod folders: every sub-folder of a mod folder is one LocalMod, identified from
// whatever it carries (mod.lua, JSON metadata, the install marker, the mod.io client's state). A scan never
// fails as a whole: unreadable files and missing folders just contribute nothing.

// Source labels of the three kinds of mod folders (translated; the mod.io label is the same in all
// languages).
QString manualSourceLabel();
QString modIoSourceLabel();
QString customSourceLabel();

// The folders to scan, as the settings and the discovery found them.
struct LocalModFolders
{
    QString userModsPath;
    QString modIoModsPath;
    QStringList customModPaths;
    // The manager's own folder; it is never taken for a mod even when it sits inside a mod folder.
    QString programFolder;
    // The interface language ("de", "en"): mods that name themselves through their translation file are
    // shown with the name in this language.
    QString language;
};

struct LocalScanResult
{
    // Manual folder, then the mod.io folder, then the custom folders, each in sub-folder order.
    QList<LocalMod> mods;
    // Every sub-folder of the manual, custom and mod.io folders (in this order) described only by its top
    // level: name and version from its own metadata, origin and version from its own marker. The look for an
    // installed copy of a catalog entry that no scanned mod matches goes through these.
    QList<LocalMod> folderCopies;
    // The installed mod.io file id per mod.io mod id, for the folders of the mod.io folder named by id.
    QHash<QString, QString> modIoFileIds;
};

// Scans the sub-folders of one mod folder; names from the mods' translation files in language.
QList<LocalMod> scanModFolder(const QString &folder, const QString &source,
                              const QString &programFolder = QString(), const QString &language = QString());

// Scans all mod folders; empty paths are skipped. A folder reachable through two settings is listed twice.
LocalScanResult scanLocalMods(const LocalModFolders &folders);

// The top-level description of every sub-folder of folder, as in LocalScanResult::folderCopies, read now.
QList<LocalMod> listFolderCopies(const QString &folder, const QString &source = QString(),
                                 const QString &language = QString());

// The installed file id of every mod in the mod.io folder whose folder name is a mod id (all digits), read
// now: "mod.io_fileid.txt", else the marker's "modio_file_id", else the mod.io client's state.
QHash<QString, QString> installedModIoFileIds(const QString &modIoModsFolder);

// True for a non-empty text of ASCII digits only.
bool isAllDigits(const QString &text);
