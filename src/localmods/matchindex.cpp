#include "localmods/matchindex.h"

#include <QStringView>

#include <algorithm>

namespace {

// FNV-1a over UTF-16 code units. It is extended one character at a time, so the hashes of all prefixes of
// a key come out of one pass without building the prefixes as strings.
constexpr quint64 fnvOffset = 1469598103934665603ULL;
constexpr quint64 fnvPrime = 1099511628211ULL;

quint64 fnvAppend(quint64 hash, QChar c)
{
    return (hash ^ c.unicode()) * fnvPrime;
}

quint64 fnvHash(QStringView text)
{
    quint64 hash = fnvOffset;
    for (const QChar c : text)
        hash = fnvAppend(hash, c);
    return hash;
}

// Spreads the FNV bits before they are cut down to a filter position.
quint64 mix(quint64 hash)
{
    return hash ^ (hash >> 29) ^ (hash >> 43);
}

void addTo(QHash<QString, QList<int>> &table, const QString &key, int owner)
{
    if (key.isEmpty())
        return;
    QList<int> &owners = table[key];
    // Owners arrive in ascending order; one record can list the same key twice (folder and name).
    if (owners.isEmpty() || owners.constLast() != owner)
        owners.append(owner);
}

void appendOwners(const QHash<QString, QList<int>> &table, const QString &key, std::vector<int> *out)
{
    if (key.isEmpty())
        return;
    const auto it = table.constFind(key);
    if (it != table.constEnd())
        out->insert(out->end(), it->cbegin(), it->cend());
}

bool sameRepositoryOrUnknown(const QString &localUrl, const QString &entryUrl)
{
    return localUrl.isEmpty() || entryUrl.isEmpty() || localUrl.compare(entryUrl, Qt::CaseInsensitive) == 0;
}

void sortUnique(std::vector<int> *values)
{
    std::sort(values->begin(), values->end());
    values->erase(std::unique(values->begin(), values->end()), values->end());
}

QList<int> toList(const std::vector<int> &values)
{
    return QList<int>(values.cbegin(), values.cend());
}

} // namespace

void PrefixKeySet::add(const QString &key, int owner)
{
    if (key.size() >= minPrefixKeyLength)
        m_sorted.emplace_back(key, owner);
}

void PrefixKeySet::finish()
{
    std::sort(m_sorted.begin(), m_sorted.end());
    m_byHash.clear();
    quint64 prefixCount = 0;
    for (const auto &item : m_sorted)
        prefixCount += quint64(item.first.size() - minPrefixKeyLength + 1);
    quint64 bitCount = 64;
    while (bitCount < prefixCount * 8)
        bitCount *= 2;
    m_bitMask = bitCount - 1;
    m_keyBits.assign(size_t(bitCount / 64), 0);
    m_prefixBits.assign(size_t(bitCount / 64), 0);
    for (int i = 0; i < int(m_sorted.size()); ++i) {
        const QString &key = m_sorted[size_t(i)].first;
        quint64 hash = fnvOffset;
        for (qsizetype length = 1; length <= key.size(); ++length) {
            hash = fnvAppend(hash, key.at(length - 1));
            if (length >= minPrefixKeyLength)
                setBit(m_prefixBits, hash);
        }
        setBit(m_keyBits, hash);
        m_byHash[hash].append(i);
    }
}

void PrefixKeySet::setBit(std::vector<quint64> &bits, quint64 hash) const
{
    const quint64 bit = mix(hash) & m_bitMask;
    bits[size_t(bit / 64)] |= quint64(1) << (bit % 64);
}

bool PrefixKeySet::mayContain(const std::vector<quint64> &bits, quint64 hash) const
{
    const quint64 bit = mix(hash) & m_bitMask;
    return (bits[size_t(bit / 64)] >> (bit % 64)) & 1;
}

void PrefixKeySet::ownersOfKeysStartingWith(const QString &text, std::vector<int> *owners) const
{
    if (text.size() < minPrefixKeyLength || m_sorted.empty() || !mayContain(m_prefixBits, fnvHash(text)))
        return;
    auto it = std::lower_bound(
        m_sorted.cbegin(), m_sorted.cend(), text,
        [](const std::pair<QString, int> &item, const QString &value) { return item.first < value; });
    for (; it != m_sorted.cend() && it->first.startsWith(text); ++it)
        owners->push_back(it->second);
}

void PrefixKeySet::ownersOfPrefixesOf(const QString &text, std::vector<int> *owners) const
{
    if (text.size() < minPrefixKeyLength || m_sorted.empty())
        return;
    const QStringView view(text);
    quint64 hash = fnvOffset;
    for (qsizetype length = 1; length <= text.size(); ++length) {
        hash = fnvAppend(hash, view[length - 1]);
        if (length < minPrefixKeyLength)
            continue;
        // When no key begins with these characters, no longer part of text can be a key either.
        if (!mayContain(m_prefixBits, hash))
            return;
        if (!mayContain(m_keyBits, hash))
            continue;
        const auto found = m_byHash.constFind(hash);
        if (found == m_byHash.constEnd())
            continue;
        const QStringView prefix = view.left(length);
        for (const int position : *found) {
            const auto &item = m_sorted[size_t(position)];
            if (item.first == prefix)
                owners->push_back(item.second);
        }
    }
}

CatalogMatchIndex::CatalogMatchIndex(const QList<RepoMod> &catalog)
{
    m_keys.reserve(catalog.size());
    for (qsizetype i = 0; i < catalog.size(); ++i) {
        const int owner = int(i);
        CatalogMatchKeys keys = catalogMatchKeys(catalog.at(i));
        addTo(m_byId, keys.id, owner);
        addTo(m_byModioId, keys.modioId, owner);
        addTo(m_byKey, keys.idKey, owner);
        addTo(m_byKey, keys.nameKey, owner);
        for (const QString &alias : std::as_const(keys.aliasKeys)) {
            addTo(m_byKey, alias, owner);
            m_longAliases.add(alias, owner);
        }
        m_keys.append(std::move(keys));
    }
    m_longAliases.finish();
}

void CatalogMatchIndex::collect(const LocalMatchKeys &local, std::vector<int> *entries) const
{
    if (!local.entryId.isEmpty()) {
        const auto it = m_byId.constFind(local.entryId);
        if (it != m_byId.constEnd()) {
            for (const int entry : *it) {
                if (sameRepositoryOrUnknown(local.repositoryUrl, m_keys.at(entry).repositoryUrl))
                    entries->push_back(entry);
            }
        }
    }
    appendOwners(m_byModioId, local.modioId, entries);
    appendOwners(m_byKey, local.folderKey, entries);
    if (local.nameKey != local.folderKey)
        appendOwners(m_byKey, local.nameKey, entries);
    m_longAliases.ownersOfKeysStartingWith(local.folderKey, entries);
    m_longAliases.ownersOfPrefixesOf(local.folderKey, entries);
    sortUnique(entries);
}

QList<int> CatalogMatchIndex::matchingEntries(const LocalMatchKeys &local) const
{
    std::vector<int> entries;
    collect(local, &entries);
    return toList(entries);
}

int CatalogMatchIndex::findCatalogIndex(const LocalMod &local) const
{
    return findCatalogIndex(localMatchKeys(local));
}

int CatalogMatchIndex::findCatalogIndex(const LocalMatchKeys &local) const
{
    std::vector<int> entries;
    collect(local, &entries);
    if (entries.empty())
        return -1;
    if (!local.repositoryUrl.isEmpty()) {
        for (const int entry : entries) {
            if (m_keys.at(entry).repositoryUrl.compare(local.repositoryUrl, Qt::CaseInsensitive) == 0)
                return entry;
        }
    }
    return entries.front();
}

LocalModIndex::LocalModIndex(const QList<LocalMod> &mods)
{
    m_keys.reserve(mods.size());
    for (qsizetype i = 0; i < mods.size(); ++i) {
        const int owner = int(i);
        LocalMatchKeys keys = localMatchKeys(mods.at(i));
        addTo(m_byEntryId, keys.entryId, owner);
        addTo(m_byModioId, keys.modioId, owner);
        addTo(m_byKey, keys.folderKey, owner);
        addTo(m_byKey, keys.nameKey, owner);
        m_longFolderKeys.add(keys.folderKey, owner);
        m_keys.append(std::move(keys));
    }
    m_longFolderKeys.finish();
}

void LocalModIndex::collect(const CatalogMatchKeys &entry, std::vector<int> *mods) const
{
    if (!entry.id.isEmpty()) {
        const auto it = m_byEntryId.constFind(entry.id);
        if (it != m_byEntryId.constEnd()) {
            for (const int mod : *it) {
                if (sameRepositoryOrUnknown(m_keys.at(mod).repositoryUrl, entry.repositoryUrl))
                    mods->push_back(mod);
            }
        }
    }
    appendOwners(m_byModioId, entry.modioId, mods);
    appendOwners(m_byKey, entry.idKey, mods);
    if (entry.nameKey != entry.idKey)
        appendOwners(m_byKey, entry.nameKey, mods);
    for (const QString &alias : entry.aliasKeys) {
        appendOwners(m_byKey, alias, mods);
        m_longFolderKeys.ownersOfKeysStartingWith(alias, mods);
        m_longFolderKeys.ownersOfPrefixesOf(alias, mods);
    }
    sortUnique(mods);
}

QList<int> LocalModIndex::matchingMods(const CatalogMatchKeys &entry) const
{
    std::vector<int> mods;
    collect(entry, &mods);
    return toList(mods);
}
