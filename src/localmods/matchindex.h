#pragma once

#include "catalog/repomod.h"
#include "localmods/localmod.h"
#include "localmods/modmatching.h"

#include <QHash>
#include <QList>
#include <QString>

#include <utility>
#include <vector>

// The catalog page asks for the install status of every shown entry on every filter pass, and the scan and
// the duplicate check ask for the catalog entry of every local mod. Pair by pair that is catalog × local
// evaluations of the matching rule, each normalising names and running the archive-name patterns again.
// These indexes compute every record's keys once per load or scan and answer each question with a few hash
// lookups; the answers are the same as the rule's, in the same order.

// Keys of at least this length also match when one begins with the other (archive aliases only).
inline constexpr int minPrefixKeyLength = 8;

// Prefix look-ups over a set of keys of at least minPrefixKeyLength characters.
class PrefixKeySet
{
public:
    void add(const QString &key, int owner);
    void finish();
    // Owners of keys that begin with text.
    void ownersOfKeysStartingWith(const QString &text, std::vector<int> *owners) const;
    // Owners of keys that text begins with (keys that are prefixes of text, at least minPrefixKeyLength
    // long).
    void ownersOfPrefixesOf(const QString &text, std::vector<int> *owners) const;

private:
    void setBit(std::vector<quint64> &bits, quint64 hash) const;
    bool mayContain(const std::vector<quint64> &bits, quint64 hash) const;

    std::vector<std::pair<QString, int>> m_sorted;
    QHash<quint64, QList<int>> m_byHash; // hash of the key → positions in m_sorted
    // Nearly every look-up finds nothing. Bit filters over the hashes of the keys and of all their prefixes
    // (from minPrefixKeyLength characters on) answer most of them without touching the table or the strings.
    std::vector<quint64> m_keyBits;
    std::vector<quint64> m_prefixBits;
    quint64 m_bitMask = 0;
};

class CatalogMatchIndex
{
public:
    CatalogMatchIndex() = default;
    explicit CatalogMatchIndex(const QList<RepoMod> &catalog);

    qsizetype size() const { return m_keys.size(); }
    const CatalogMatchKeys &keys(qsizetype index) const { return m_keys.at(index); }

    // Indexes of all entries local is an installation of, ascending.
    QList<int> matchingEntries(const LocalMatchKeys &local) const;
    // As findCatalogIndex of modmatching.h.
    int findCatalogIndex(const LocalMod &local) const;
    int findCatalogIndex(const LocalMatchKeys &local) const;

private:
    void collect(const LocalMatchKeys &local, std::vector<int> *entries) const;

    QList<CatalogMatchKeys> m_keys;
    QHash<QString, QList<int>> m_byId;
    QHash<QString, QList<int>> m_byModioId;
    QHash<QString, QList<int>> m_byKey; // id, name and alias keys
    PrefixKeySet m_longAliases;
};

class LocalModIndex
{
public:
    LocalModIndex() = default;
    explicit LocalModIndex(const QList<LocalMod> &mods);

    qsizetype size() const { return m_keys.size(); }
    // Indexes of all local mods that are installations of the entry, ascending.
    QList<int> matchingMods(const CatalogMatchKeys &entry) const;
    void collect(const CatalogMatchKeys &entry, std::vector<int> *mods) const;

private:
    QList<LocalMatchKeys> m_keys;
    QHash<QString, QList<int>> m_byEntryId;
    QHash<QString, QList<int>> m_byModioId;
    QHash<QString, QList<int>> m_byKey; // folder and name keys
    PrefixKeySet m_longFolderKeys;
};
