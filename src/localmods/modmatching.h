#pragma once

#include "catalog/repomod.h"
#include "localmods/localmod.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

class CatalogMatchIndex;

// Which catalog entry a local mod folder is an installation of. The rules, strongest first: the entry id the
// install marker recorded (unless the two repositories differ), the mod.io id, the normalised folder or mod
// name against the entry's id and name, and finally the entry's archive name with and without its version.

// Lower case, trimmed, everything but a-z, 0-9, ä, ö, ü and ß removed: "My Mod 1.2" gives "mymod12".
QString normalizeModKey(const QString &text);

// The normalised keys derived from an entry's archive name: the name without extension, without a trailing
// ".<number>", and without a trailing version. Empty keys are left out.
QStringList catalogAliasKeys(const RepoMod &entry);

// True when local is an installation of entry. This is the rule itself, evaluated pair by pair; the indexes
// in matchindex.h give the same answers for whole lists at once.
bool matchLocalToCatalog(const LocalMod &local, const RepoMod &entry);

// The catalog entry local is an installation of: the first matching entry of local's own repository, else the
// first matching entry of all; -1 when none matches.
int findCatalogIndex(const LocalMod &local, const QList<RepoMod> &catalog);

// The values of a local mod that the rule compares, computed once.
struct LocalMatchKeys
{
    QString entryId;       // trimmed repoEntryId
    QString modioId;       // trimmed
    QString repositoryUrl; // trimmed
    QString folderKey;     // normalised folderName
    QString nameKey;       // normalised name
};
LocalMatchKeys localMatchKeys(const LocalMod &mod);

// The values of a catalog entry that the rule compares, computed once per catalog load.
struct CatalogMatchKeys
{
    QString id;            // trimmed
    QString modioId;       // trimmed
    QString repositoryUrl; // trimmed repositoryJsonUrl
    QString idKey;         // normalised id
    QString nameKey;       // normalised name
    QStringList aliasKeys;
};
CatalogMatchKeys catalogMatchKeys(const RepoMod &entry);

// The rule on precomputed keys.
bool keysMatch(const LocalMatchKeys &local, const CatalogMatchKeys &entry);

// Fills the origin of local mods from the catalog entry each is an installation of, takes the catalog's name
// and preview, and settles which version to show. mod.io copies are left alone: the Mod Hub owns them.
void linkLocalModsToCatalog(QList<LocalMod> &mods, const QList<RepoMod> &catalog);
void linkLocalModsToCatalog(QList<LocalMod> &mods, const QList<RepoMod> &catalog,
                            const CatalogMatchIndex &index);

struct DuplicateInstallations
{
    QSet<int> indexes;        // local mods that are part of a duplicate pair
    QStringList descriptions; // one text per pair, sorted
};

// Mods installed both through mod.io and in another folder: pairs of a mod.io copy and another copy that
// belong to the same catalog entry or share a name key of at least six characters.
DuplicateInstallations detectDuplicateInstallations(const QList<LocalMod> &mods,
                                                    const QList<RepoMod> &catalog);
DuplicateInstallations detectDuplicateInstallations(const QList<LocalMod> &mods,
                                                    const CatalogMatchIndex &index);
