#pragma once

#include "catalog/repomod.h"
#include "localmods/localmod.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

class CatalogMatchIndex;

// One installed mod for which its repository offers something newer, as the updates page lists it.
struct UpdateCandidate
{
    int catalogIndex = -1;
    int localIndex = -1;
    QString folder;
    bool isModIo = false;
    bool isDuplicate = false;
    bool versionFromFiles = false; // the local version was read from the mod's files, not from its marker
    bool hasDownload = false;

    // Updatable from the repository without asking anything else first.
    bool directlyUpdatable() const { return !isModIo && !isDuplicate && hasDownload; }
};

// The installed mods that are older than their catalog entry, in scan order. Tools and entries without a
// version are never listed.
QList<UpdateCandidate> findUpdateCandidates(const QList<LocalMod> &mods, const QList<RepoMod> &catalog,
                                            const CatalogMatchIndex &index, const QSet<int> &duplicates);

// The local version as the updates page shows it ("Unbekannt" when empty).
QString installedVersionText(const LocalMod &mod);

// What "update all" does with the listed mods: one update per directly updatable mod, the others grouped by
// why they are skipped.
struct UpdatePlanItem
{
    RepoMod entry; // a copy: a catalog reload during the run must not change what is updated
    QString folder;
    QString installedVersion;
};

struct UpdateAllPlan
{
    QList<UpdatePlanItem> items;
    QStringList names;
    QStringList modIoNames;
    QStringList duplicateNames;
    QStringList noDownloadNames;
    QStringList versionNotes; // mods whose version was read from their files
};

UpdateAllPlan planUpdateAll(const QList<UpdateCandidate> &candidates, const QList<LocalMod> &mods,
                            const QList<RepoMod> &catalog);

// The information shown when nothing can be updated directly; empty when nothing is pending at all.
QString nothingToUpdateText(const UpdateAllPlan &plan);
// The confirmation text of an "update all" run.
QString updateAllConfirmationText(const UpdateAllPlan &plan);
