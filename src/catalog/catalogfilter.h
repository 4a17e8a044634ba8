#pragma once

#include "catalog/repomod.h"

#include <QList>
#include <QString>
#include <QStringList>

// What the catalog page's three filter controls ask for; empty texts mean "all".
struct CatalogFilter
{
    QString search; // one phrase, matched as a substring ignoring case
    QString category;
    QString repository;
};

// name, author, repository, categories, tags and description joined with single blanks.
QString catalogSearchText(const RepoMod &mod);

// The search texts of a whole catalog, computed once per load and reused by every filter pass.
QStringList catalogSearchTexts(const QList<RepoMod> &catalog);

// Indexes of the entries the filter lets through, in catalog order; tools are never listed.
QList<int> filterCatalog(const QList<RepoMod> &catalog, const QStringList &searchTexts,
                         const CatalogFilter &filter);

// The categories of all listed entries (not tools), each once ignoring case (the first form wins), sorted
// ignoring case; the same for the trimmed repository names.
QStringList catalogCategories(const QList<RepoMod> &catalog);
QStringList catalogRepositoryNames(const QList<RepoMod> &catalog);

// Entries that are not tools.
int countListedEntries(const QList<RepoMod> &catalog);

// What identifies an entry across reloads, whose positions change with the order the repositories answer
// in: its repository and its id, or its name when it has no id.
QString catalogEntryKey(const RepoMod &mod);
// The index of the entry with that key, or -1.
int findCatalogEntry(const QList<RepoMod> &catalog, const QString &key);
