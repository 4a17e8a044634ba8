#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>

// Finding the game, the Steam libraries and the mod folders without asking the user. All lookups are plain
// file-system (and on Windows registry) reads without side effects; anything unreadable or missing makes
// them return an empty text or a shorter list, which callers take as "not found". Every path they return is
// cleaned: forward slashes, no "." or ".." parts, no trailing slash.
//
// On Windows, Steam is found through its registry entry and the usual install folders. Elsewhere the game
// runs through Proton: Steam is looked for in the home folder, and the mod.io client's files live in the
// game's Proton prefix unless LOCALAPPDATA names another place.

// --- Steam and the game
// -------------------------------------------------------------------------------------

// The Steam installation folder, or empty.
QString findSteamRoot();
// The values of every "path" entry in the text of a libraryfolders.vdf, in order, with Steam's doubled
// backslashes undone. Nothing else of the file is interpreted.
QStringList parseSteamLibraryPaths(const QString &vdfText);
// Existing Steam library folders without duplicates: the Steam folder itself first, then those listed in its
// steamapps/libraryfolders.vdf, then (on Windows) the usual library folders of further drives.
QStringList findSteamLibraries();
// True for a folder that holds the game's executable "ferroline3.exe".
bool isGameFolder(const QString &path);
// The game folder in the first library that has one, or empty.
QString detectGamePath();
// The local mod folder of the game in Steam's user data; with several Steam users, the one whose folder name
// sorts first. Empty when there is none.
QString findSteamUserModsPath();
// The game's Proton prefix ("…/steamapps/compatdata/1948260/pfx") in the first library that has one. Always
// empty on Windows.
QString findProtonPrefix();

// --- mod.io ------------------------------------------------------------------------------------------------

// The settings file of the game's mod.io client: below LOCALAPPDATA when that is set, otherwise below the
// Proton prefix. Empty when neither is known.
QString modIoGlobalSettingsPath();
// The storage root named in the mod.io client's settings file, when that folder exists; otherwise empty.
QString modIoRootStoragePath();
// The folder in which the in-game Mod Hub keeps the game's mod.io mods, or empty.
QString detectModIoModsPath();
// An empty path is accepted ("no mod.io folder"); otherwise the folder must exist and end in "/73160/mods".
bool isModIoModsFolder(const QString &path);
// True for an empty path or an existing folder.
bool isExistingOrEmptyFolder(const QString &path);
// The storage root above "<root>/73160/mods" (absolute, cleaned); empty when the path does not end so.
QString storageRootFromModsPath(const QString &modsPath);
// The game's mod folder below a storage root; empty for an empty root.
QString modsPathFromStorageRoot(const QString &root);

enum class ModIoSaveResult
{
    Saved,
    OpenFailed,
    WriteFailed
};

// The file-system steps of moveModIoStorage. An unset member means the real operation; tests set single
// members to stand in for a full disk, a locked file or a missing drive.
struct ModIoStorageFileOps
{
    // Creates a folder with all missing parents.
    std::function<bool(const QString &folder)> makeFolder;
    // Reads a whole file.
    std::function<bool(const QString &file, QByteArray *content)> readFile;
    // Replaces target (which may exist) with a copy of source.
    std::function<bool(const QString &source, const QString &target)> replaceCopy;
    // Writes a file as a whole or not at all.
    std::function<ModIoSaveResult(const QString &file, const QByteArray &content)> saveFile;
};

// Points the mod.io client at a new storage root by rewriting its settings file (the old one is kept as
// "globalsettings.json.bak"). Mods already downloaded are not moved; the client fetches subscribed mods to
// the new place itself. On failure returns false, fills errorText when given, and leaves the settings file
// as it was.
bool moveModIoStorage(const QString &newRoot, QString *errorText = nullptr);
bool moveModIoStorage(const QString &newRoot, QString *errorText, const ModIoStorageFileOps &fileOps);
