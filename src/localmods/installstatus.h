#pragma once

#include "catalog/repomod.h"
#include "localmods/localmod.h"
#include "localmods/localscan.h"
#include "localmods/matchindex.h"

#include <QList>
#include <QString>

// Whether and how a catalog entry is installed, as the catalog page shows it in its status column.

enum class CatalogInstallState
{
    NotInstalled,
    Installed,
    UpdateAvailable,
    ModIoInstalled,
    ModIoUpdateAvailable,
    InstalledTwice, // through mod.io and in another folder
};

QString catalogInstallStatusText(CatalogInstallState state);

struct InstalledCopy
{
    bool found = false;
    QString version;
    QString path;
};

struct CatalogInstallStatus
{
    CatalogInstallState state = CatalogInstallState::NotInstalled;
    int modIoMatch = -1; // first matching mod.io copy among the scanned mods
    int plainMatch = -1; // first matching other copy among the scanned mods
    InstalledCopy copy;  // the installation the state speaks of (the mod.io copy when there are both)
};

// An installed copy of entry: the first scanned mod that is one, else the first folder copy (the top-level
// description of the mod folders' sub-folders, see LocalScanResult) that is one.
InstalledCopy findInstalledCopy(const RepoMod &entry, const QList<LocalMod> &mods,
                                const QList<LocalMod> &folderCopies);
// The same, with the folder copies read from disk now: the manual folder, the custom folders, then the
// mod.io folder.
InstalledCopy findInstalledCopyOnDisk(const RepoMod &entry, const QList<LocalMod> &mods,
                                      const LocalModFolders &folders);

// The status of entry, evaluated pair by pair against every mod.
CatalogInstallStatus catalogInstallStatus(const RepoMod &entry, const QList<LocalMod> &mods,
                                          const QList<LocalMod> &folderCopies);

// The scanned mods and folder copies of one scan, indexed for the status of many entries. Build it after the
// mods were linked to the catalog, since linking changes what they match.
class InstalledModsIndex
{
public:
    InstalledModsIndex() = default;
    InstalledModsIndex(const QList<LocalMod> &mods, const QList<LocalMod> &folderCopies);

    CatalogInstallStatus status(const RepoMod &entry) const;
    // keys must be catalogMatchKeys(entry), e.g. from the catalog's CatalogMatchIndex.
    CatalogInstallStatus status(const RepoMod &entry, const CatalogMatchKeys &keys) const;
    InstalledCopy findInstalledCopy(const CatalogMatchKeys &keys) const;

    const QList<LocalMod> &mods() const { return m_mods; }

private:
    QList<LocalMod> m_mods;
    QList<LocalMod> m_copies;
    QList<bool> m_isModIo;
    // One index over the scanned mods followed by the folder copies: positions from m_mods.size() on are
    // copies, so a single look-up answers both questions.
    LocalModIndex m_index;
};
