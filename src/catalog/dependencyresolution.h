#pragma once

#include "catalog/repomod.h"
#include "localmods/localmod.h"

#include <QList>
#include <QString>
#include <QStringList>

// Which mod a dependency record means and whether the player already has it. Everything here works on
// copies of the catalog and of the scanned mods; the network half of the resolution (the community's entry
// pages) lives in the install run.

// Name keys of at least this length also match when one contains the other. Shorter keys ("bahn", "lok")
// are contained in far too many names to say anything.
inline constexpr int minContainedNameKeyLength = 8;

// The key names are compared by: HTML removed, then normalised like every mod name.
QString dependencyNameKey(const QString &name);

// True when both keys are long enough and one contains the other; equal keys are matched separately.
bool nameKeysOverlap(const QString &a, const QString &b);

// The catalog entry with the dependency's id (its own repository's first, else the first in catalog order),
// or -1.
int findDependencyEntryById(const RepoDependency &dependency, const QList<RepoMod> &catalog);
// The catalog entry whose name gives the dependency's name key: an equal key anywhere in the catalog first,
// then the first entry whose key overlaps it. -1 when none does.
int findDependencyEntryByName(const RepoDependency &dependency, const QList<RepoMod> &catalog);
// By id, else by name.
int findDependencyEntry(const RepoDependency &dependency, const QList<RepoMod> &catalog);

// The entry names something to download: a download URL or archive volumes.
bool hasRepositoryDownload(const RepoMod &entry);

// An empty minimum is always met; otherwise any version the mod states (files, shown, marker) must reach it.
bool satisfiesMinimumVersion(const LocalMod &mod, const QString &minVersion);

// Whether the required mod is present in a sufficient version: through the catalog entry it names when
// there is one, else through name and folder keys of the scanned mods, else (only without a minimum
// version) through the ids of dependencies the program installed earlier.
bool isDependencyInstalled(const RepoDependency &dependency, const QList<RepoMod> &catalog,
                           const QList<LocalMod> &mods, const QStringList &rememberedIds);

// The key under which an installed dependency is remembered: the id for the community repository, else
// "<repository URL>|<id>". Empty without an id.
QString dependencyMemoryKey(const RepoDependency &dependency);

// The document URL of the community repository, compared ignoring case; an empty URL counts as it too.
bool isBuiltInRepositoryUrl(const QString &url);

// The link a dependency can be downloaded from directly: its download URL, or its entry URL when that is
// already a download link of the file base. Empty when there is none.
QString directDownloadUrl(const RepoDependency &dependency);
// The entry to install for such a link.
RepoMod modFromDirectDownload(const RepoDependency &dependency, const QString &downloadUrl);

// The dependency is an entry of the community file base (an id listed by the community repository) whose
// page may name its download.
bool usesCommunityEntryPage(const RepoDependency &dependency);
// A link names the community site (host and port, with or without "www.") or is a path on it.
bool isCommunityLink(const QString &url);
// The entry page to search: the dependency's entry URL when that is a community link, else the community's
// page of its id.
QString dependencyEntryPageUrl(const RepoDependency &dependency);
// The download link of entry id on its page, made absolute; empty when the page names none. Links to other
// sites do not count, whatever their path says.
QString findEntryDownloadLink(const QString &pageText, const QString &id);
// The entry to install for a download found on the entry page.
RepoMod modFromEntryPage(const RepoDependency &dependency, const QString &pageUrl,
                         const QString &downloadUrl);

// What marks a mod as seen during one install request: its id, else its download (URL or first volume).
QString modVisitKey(const RepoMod &mod);
