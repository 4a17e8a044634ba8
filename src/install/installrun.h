#pragma once

#include "catalog/repomod.h"
#include "install/download.h"
#include "install/fileoperations.h"
#include "install/installer.h"
#include "localmods/localscan.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>

class QNetworkAccessManager;

// The dependency-aware install of a catalog entry: the mods it requires are looked up in the catalog and on
// the community's entry pages, offered to the player, and installed first, each the same way; then the entry
// itself is downloaded, installed and marked.

enum class DependencyAnswer
{
    InstallMissing,
    MainOnly,
    Cancel,
};

// The question about missing required mods, as the window shows it.
struct DependencyQuestion
{
    QString title;
    QString text;
    QString informativeText;
    // Install missing, main mod only, cancel; in this order.
    QStringList buttons;
    int defaultButton = 0;
};

DependencyQuestion dependencyQuestion(const QStringList &labels);
// The answer of a button index of DependencyQuestion::buttons; anything else (a closed box) cancels.
DependencyAnswer dependencyAnswerForButton(int index);

// What one run needs from the window. The catalog is a copy: a catalog reload during the run's nested event
// loops must not pull entries away underneath it.
struct RepositoryInstallContext
{
    QList<RepoMod> catalog;
    // The status line.
    std::function<void(const QString &text)> setStatus;
    // Download progress and cancel; also asked while an entry page loads.
    DownloadCallbacks download;
    // A failed download or installation hides the progress bar.
    std::function<void()> hideProgress;
    // Missing required mods of the requested entry. Without an answer function nothing is installed.
    std::function<DependencyAnswer(const DependencyQuestion &question)> askAboutDependencies;
    InstallPrompts prompts;
    // Rescans the mod folders and returns the mods as the window now keeps them (linked to the catalog), so
    // the checks after an installation see the new folder.
    std::function<LocalScanResult()> rescanLocalMods;
    FileOperationHooks hooks;
    // Where download folders are created; the system's temporary folder when empty.
    QString temporaryFolder;
};

// How installWithDependencies installs one mod.
struct InstallRequest
{
    // The entry the player asked for: the local mods are rescanned first, and only here are the missing
    // required mods offered.
    bool topLevel = false;
    // A required mod: the version its requirer needs at least. An installed copy older than that is
    // replaced.
    QString minVersion;
    // An update of the requested entry: its installed folder, replaced cleanly.
    QString replaceFolder;
};

class RepositoryInstallRun
{
public:
    RepositoryInstallRun(QNetworkAccessManager &manager, RepositoryInstallContext context);

    // The catalog's install action.
    bool install(const RepoMod &entry, QString *error = nullptr);
    // The update of an installed mod: installedFolder is replaced by the catalog's version.
    bool update(const RepoMod &entry, const QString &installedFolder, QString *error = nullptr);

    // Installs the missing required mods of mod, then mod itself. visited holds the visit keys of the mods
    // this request already handles; a mod met again (a cycle) succeeds without doing anything. A cancel by
    // the player fails with installCancelledText().
    bool installWithDependencies(const RepoMod &mod, const InstallRequest &request, QSet<QString> &visited,
                                 QString *error = nullptr);

    // The mod to install for a dependency: a catalog entry (which may lack a download), a direct download,
    // or the download named on its community entry page. False with the reason when none is found.
    bool resolveDependency(const RepoDependency &dependency, RepoMod *resolved, QString *error = nullptr);
    bool isDependencyInstalled(const RepoDependency &dependency) const;

    // Downloads every archive volume of entry into a temporary folder, installs the first one and, when the
    // new content was copied, writes the install marker. The temporary folder is gone afterwards whatever
    // the result. The last three arguments reach installFromArchive unchanged.
    bool downloadAndInstallRepositoryMod(const RepoMod &entry, QString *error, bool declineKeepsExisting,
                                         const QString &replaceTarget, bool replaceSilently);

    // The mods as the last rescan found them.
    const LocalScanResult &installedMods() const { return m_installed; }
    // Things the player must still be told after a successful run (a backup folder left behind).
    QStringList warnings() const { return m_warnings; }

private:
    enum class Outcome
    {
        Installed,
        AlreadyPresent,
        // Met again within the request; installed (or failing) further up.
        AlreadyVisited,
    };

    bool installMod(const RepoMod &mod, const InstallRequest &request, QSet<QString> &visited,
                    Outcome *outcome, QString *error);
    bool fetchEntryPage(const QString &url, QByteArray *body, QString *error);
    // The cancel of the player, in the installation's words or in those the caller chose for the download.
    bool isCancel(const QString &error) const;
    void setStatus(const QString &text) const;
    void hideProgress() const;
    void rescan();
    const LocalMod *installedRecord(const QString &path) const;

    QNetworkAccessManager &m_manager;
    RepositoryInstallContext m_context;
    LocalScanResult m_installed;
    QStringList m_warnings;
};
