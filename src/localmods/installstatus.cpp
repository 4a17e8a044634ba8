#include "localmods/installstatus.h"

#include "catalog/versions.h"

#include <QCoreApplication>

namespace {

bool isOlder(const QString &installed, const QString &available)
{
    return !installed.isEmpty() && !available.isEmpty() && compareVersions(installed, available) < 0;
}

InstalledCopy copyOf(const LocalMod &mod)
{
    return InstalledCopy{true, mod.version, mod.path};
}

// The status from the first mod.io and first other match; lookForCopy is asked only when neither exists.
template <typename LookForCopy>
CatalogInstallStatus statusFrom(const RepoMod &entry, const QList<LocalMod> &mods, int modIoMatch,
                                int plainMatch, LookForCopy lookForCopy)
{
    CatalogInstallStatus status;
    status.modIoMatch = modIoMatch;
    status.plainMatch = plainMatch;
    if (modIoMatch >= 0 && plainMatch >= 0) {
        status.state = CatalogInstallState::InstalledTwice;
        status.copy = copyOf(mods.at(modIoMatch));
        return status;
    }
    if (modIoMatch >= 0 || plainMatch >= 0) {
        const bool modIo = modIoMatch >= 0;
        status.copy = copyOf(mods.at(modIo ? modIoMatch : plainMatch));
        const bool outdated = isOlder(status.copy.version, entry.version);
        if (modIo)
            status.state =
                outdated ? CatalogInstallState::ModIoUpdateAvailable : CatalogInstallState::ModIoInstalled;
        else
            status.state = outdated ? CatalogInstallState::UpdateAvailable : CatalogInstallState::Installed;
        return status;
    }
    status.copy = lookForCopy();
    if (status.copy.found)
        status.state = isOlder(status.copy.version, entry.version) ? CatalogInstallState::UpdateAvailable
                                                                   : CatalogInstallState::Installed;
    return status;
}

InstalledCopy firstMatchingCopy(const RepoMod &entry, const QList<LocalMod> &copies)
{
    for (const LocalMod &copy : copies) {
        if (matchLocalToCatalog(copy, entry))
            return copyOf(copy);
    }
    return InstalledCopy();
}

} // namespace

QString catalogInstallStatusText(CatalogInstallState state)
{
    switch (state) {
    case CatalogInstallState::NotInstalled:
        return QCoreApplication::translate("MainWindow", "Nicht installiert");
    case CatalogInstallState::Installed:
        return QCoreApplication::translate("MainWindow", "Installiert");
    case CatalogInstallState::UpdateAvailable:
        return QCoreApplication::translate("MainWindow", "Update verfügbar");
    case CatalogInstallState::ModIoInstalled:
        return QCoreApplication::translate("MainWindow", "mod.io – installiert");
    case CatalogInstallState::ModIoUpdateAvailable:
        return QCoreApplication::translate("MainWindow", "mod.io – Update über mod.io");
    case CatalogInstallState::InstalledTwice:
        return QCoreApplication::translate("MainWindow", "⚠ Doppelt installiert");
    }
    return QString();
}

InstalledCopy findInstalledCopy(const RepoMod &entry, const QList<LocalMod> &mods,
                                const QList<LocalMod> &folderCopies)
{
    const InstalledCopy scanned = firstMatchingCopy(entry, mods);
    return scanned.found ? scanned : firstMatchingCopy(entry, folderCopies);
}

InstalledCopy findInstalledCopyOnDisk(const RepoMod &entry, const QList<LocalMod> &mods,
                                      const LocalModFolders &folders)
{
    const InstalledCopy scanned = firstMatchingCopy(entry, mods);
    if (scanned.found)
        return scanned;
    QStringList order;
    order.append(folders.userModsPath);
    order.append(folders.customModPaths);
    order.append(folders.modIoModsPath);
    for (const QString &folder : std::as_const(order)) {
        if (folder.trimmed().isEmpty())
            continue;
        const InstalledCopy copy = firstMatchingCopy(entry, listFolderCopies(folder));
        if (copy.found)
            return copy;
    }
    return InstalledCopy();
}

CatalogInstallStatus catalogInstallStatus(const RepoMod &entry, const QList<LocalMod> &mods,
                                          const QList<LocalMod> &folderCopies)
{
    int modIoMatch = -1;
    int plainMatch = -1;
    for (qsizetype i = 0; i < mods.size(); ++i) {
        if (!matchLocalToCatalog(mods.at(i), entry))
            continue;
        int &slot = isModIoCopy(mods.at(i)) ? modIoMatch : plainMatch;
        if (slot < 0)
            slot = int(i);
    }
    return statusFrom(entry, mods, modIoMatch, plainMatch,
                      [&] { return firstMatchingCopy(entry, folderCopies); });
}

InstalledModsIndex::InstalledModsIndex(const QList<LocalMod> &mods, const QList<LocalMod> &folderCopies)
    : m_mods(mods), m_copies(folderCopies), m_index(mods + folderCopies)
{
    m_isModIo.reserve(mods.size());
    for (const LocalMod &mod : mods)
        m_isModIo.append(isModIoCopy(mod));
}

CatalogInstallStatus InstalledModsIndex::status(const RepoMod &entry) const
{
    return status(entry, catalogMatchKeys(entry));
}

CatalogInstallStatus InstalledModsIndex::status(const RepoMod &entry, const CatalogMatchKeys &keys) const
{
    std::vector<int> matches;
    m_index.collect(keys, &matches);
    const int modCount = int(m_mods.size());
    int modIoMatch = -1;
    int plainMatch = -1;
    int copyMatch = -1;
    for (const int index : matches) {
        if (index >= modCount) {
            copyMatch = index - modCount;
            break;
        }
        int &slot = m_isModIo.at(index) ? modIoMatch : plainMatch;
        if (slot < 0)
            slot = index;
        if (modIoMatch >= 0 && plainMatch >= 0)
            break;
    }
    return statusFrom(entry, m_mods, modIoMatch, plainMatch,
                      [&] { return copyMatch >= 0 ? copyOf(m_copies.at(copyMatch)) : InstalledCopy(); });
}

InstalledCopy InstalledModsIndex::findInstalledCopy(const CatalogMatchKeys &keys) const
{
    std::vector<int> matches;
    m_index.collect(keys, &matches);
    if (matches.empty())
        return InstalledCopy();
    const int first = matches.front();
    return first < m_mods.size() ? copyOf(m_mods.at(first)) : copyOf(m_copies.at(first - m_mods.size()));
}
