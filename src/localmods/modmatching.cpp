#include "localmods/modmatching.h"

#include "catalog/versions.h"
#include "localmods/matchindex.h"

#include <QCoreApplication>
#include <QDir>
#include <QHash>

#include <map>

namespace {

bool keptInKey(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= u'a' && u <= u'z') || (u >= u'0' && u <= u'9') || u == u'ä' || u == u'ö' || u == u'ü' ||
           u == u'ß';
}

bool sameRepositoryOrUnknown(const QString &localUrl, const QString &entryUrl)
{
    return localUrl.isEmpty() || entryUrl.isEmpty() || localUrl.compare(entryUrl, Qt::CaseInsensitive) == 0;
}

bool prefixRelated(const QString &a, const QString &b)
{
    return a.size() >= minPrefixKeyLength && b.size() >= minPrefixKeyLength &&
           (a.startsWith(b) || b.startsWith(a));
}

QString duplicateDisplayName(const LocalMod &first, const LocalMod &second)
{
    const QString firstName = first.name.trimmed();
    if (!firstName.isEmpty() && firstName != first.folderName)
        return firstName;
    const QString secondName = second.name.trimmed();
    if (!secondName.isEmpty())
        return secondName;
    return first.folderName;
}

struct CopyGroups
{
    QList<int> modIo;
    QList<int> other;
};

} // namespace

QString normalizeModKey(const QString &text)
{
    QString key(text.size(), Qt::Uninitialized);
    QChar *out = key.data();
    qsizetype length = 0;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x80) {
            if (u >= u'A' && u <= u'Z')
                out[length++] = QChar(char16_t(u + (u'a' - u'A')));
            else if ((u >= u'a' && u <= u'z') || (u >= u'0' && u <= u'9'))
                out[length++] = c;
            continue;
        }
        if (keptInKey(c)) {
            out[length++] = c;
            continue;
        }
        if (u == u'Ä' || u == u'Ö' || u == u'Ü') {
            out[length++] = QChar(char16_t(u + (u'ä' - u'Ä')));
            continue;
        }
        // Anything else is rare: lower-case it as part of a text (one character can become several, as
        // İ becomes i and a combining dot) and keep what falls into the kept set. Halves of surrogate pairs
        // never do.
        if (c.isSurrogate())
            continue;
        const QString lower = QString(c).toLower();
        for (const QChar l : lower) {
            if (keptInKey(l)) {
                if (length == key.size()) {
                    key.resize(key.size() + 4);
                    out = key.data();
                }
                out[length++] = l;
            }
        }
    }
    key.truncate(length);
    return key;
}

namespace {

bool isAsciiDigit(QChar c)
{
    return c.unicode() >= u'0' && c.unicode() <= u'9';
}

bool isVersionSeparator(QChar c)
{
    return c == QLatin1Char('.') || c == QLatin1Char('_') || c == QLatin1Char('-');
}

// Where a trailing ".<digits>" begins, or -1.
qsizetype trailingNumberStart(QStringView text)
{
    qsizetype start = text.size();
    while (start > 0 && isAsciiDigit(text[start - 1]))
        --start;
    if (start == text.size() || start == 0 || text[start - 1] != QLatin1Char('.'))
        return -1;
    return start - 1;
}

// Where the leftmost trailing version "<sep>[v]<digits>(<sep><digits>)*" begins, or -1. The version is read
// from the end: digit runs joined by single separators, the leftmost run optionally led by "v".
qsizetype trailingVersionStart(QStringView text)
{
    qsizetype found = -1;
    qsizetype end = text.size();
    while (true) {
        qsizetype digits = end;
        while (digits > 0 && isAsciiDigit(text[digits - 1]))
            --digits;
        if (digits == end || digits == 0)
            return found;
        const QChar before = text[digits - 1];
        if (isVersionSeparator(before)) {
            found = digits - 1;
            end = digits - 1;
            continue;
        }
        if ((before == QLatin1Char('v') || before == QLatin1Char('V')) && digits >= 2 &&
            isVersionSeparator(text[digits - 2]))
            return digits - 2;
        return found;
    }
}

} // namespace

QStringList catalogAliasKeys(const RepoMod &entry)
{
    const QString fileName = entry.fileName.trimmed();
    if (fileName.isEmpty())
        return {};
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    const bool dotInName =
        dot > fileName.lastIndexOf(QLatin1Char('/')) && dot > fileName.lastIndexOf(QLatin1Char('\\'));
    QString base = dotInName ? fileName.left(dot) : fileName;
    if (base.isEmpty())
        base = fileName;

    QStringList keys;
    keys.append(normalizeModKey(base));
    QString withoutNumber = base;
    const qsizetype numberStart = trailingNumberStart(base);
    if (numberStart >= 0) {
        withoutNumber.truncate(numberStart);
        keys.append(normalizeModKey(withoutNumber));
    }
    QString withoutVersion = withoutNumber;
    const qsizetype versionStart = trailingVersionStart(withoutNumber);
    if (versionStart >= 0)
        withoutVersion.truncate(versionStart);
    if (!withoutVersion.isEmpty() && withoutVersion != base)
        keys.append(normalizeModKey(withoutVersion));
    keys.removeAll(QString());
    keys.removeDuplicates();
    return keys;
}

bool matchLocalToCatalog(const LocalMod &local, const RepoMod &entry)
{
    const QString entryId = local.repoEntryId.trimmed();
    if (!entryId.isEmpty() && entryId == entry.id.trimmed() &&
        sameRepositoryOrUnknown(local.repositoryUrl.trimmed(), entry.repositoryJsonUrl.trimmed()))
        return true;

    const QString modioId = local.modioId.trimmed();
    if (!modioId.isEmpty() && modioId == entry.modioId.trimmed())
        return true;

    const QString folderKey = normalizeModKey(local.folderName);
    const QString nameKey = normalizeModKey(local.name);
    const QString idKey = normalizeModKey(entry.id);
    if (!idKey.isEmpty() && (idKey == folderKey || idKey == nameKey))
        return true;
    const QString entryNameKey = normalizeModKey(entry.name);
    if (!entryNameKey.isEmpty() && (entryNameKey == nameKey || entryNameKey == folderKey))
        return true;

    const QStringList aliases = catalogAliasKeys(entry);
    for (const QString &alias : aliases) {
        if (alias == folderKey || alias == nameKey || prefixRelated(alias, folderKey))
            return true;
    }
    return false;
}

int findCatalogIndex(const LocalMod &local, const QList<RepoMod> &catalog)
{
    const QString repositoryUrl = local.repositoryUrl.trimmed();
    if (!repositoryUrl.isEmpty()) {
        for (qsizetype i = 0; i < catalog.size(); ++i) {
            const RepoMod &entry = catalog.at(i);
            if (entry.repositoryJsonUrl.trimmed().compare(repositoryUrl, Qt::CaseInsensitive) == 0 &&
                matchLocalToCatalog(local, entry))
                return int(i);
        }
    }
    for (qsizetype i = 0; i < catalog.size(); ++i) {
        if (matchLocalToCatalog(local, catalog.at(i)))
            return int(i);
    }
    return -1;
}

LocalMatchKeys localMatchKeys(const LocalMod &mod)
{
    LocalMatchKeys keys;
    keys.entryId = mod.repoEntryId.trimmed();
    keys.modioId = mod.modioId.trimmed();
    keys.repositoryUrl = mod.repositoryUrl.trimmed();
    keys.folderKey = normalizeModKey(mod.folderName);
    keys.nameKey = normalizeModKey(mod.name);
    return keys;
}

CatalogMatchKeys catalogMatchKeys(const RepoMod &entry)
{
    CatalogMatchKeys keys;
    keys.id = entry.id.trimmed();
    keys.modioId = entry.modioId.trimmed();
    keys.repositoryUrl = entry.repositoryJsonUrl.trimmed();
    keys.idKey = normalizeModKey(entry.id);
    keys.nameKey = normalizeModKey(entry.name);
    keys.aliasKeys = catalogAliasKeys(entry);
    return keys;
}

bool keysMatch(const LocalMatchKeys &local, const CatalogMatchKeys &entry)
{
    if (!local.entryId.isEmpty() && local.entryId == entry.id &&
        sameRepositoryOrUnknown(local.repositoryUrl, entry.repositoryUrl))
        return true;
    if (!local.modioId.isEmpty() && local.modioId == entry.modioId)
        return true;
    if (!entry.idKey.isEmpty() && (entry.idKey == local.folderKey || entry.idKey == local.nameKey))
        return true;
    if (!entry.nameKey.isEmpty() && (entry.nameKey == local.nameKey || entry.nameKey == local.folderKey))
        return true;
    for (const QString &alias : entry.aliasKeys) {
        if (alias == local.folderKey || alias == local.nameKey || prefixRelated(alias, local.folderKey))
            return true;
    }
    return false;
}

void linkLocalModsToCatalog(QList<LocalMod> &mods, const QList<RepoMod> &catalog)
{
    if (catalog.isEmpty() || mods.isEmpty())
        return;
    linkLocalModsToCatalog(mods, catalog, CatalogMatchIndex(catalog));
}

void linkLocalModsToCatalog(QList<LocalMod> &mods, const QList<RepoMod> &catalog,
                            const CatalogMatchIndex &index)
{
    if (catalog.isEmpty() || mods.isEmpty())
        return;
    for (LocalMod &mod : mods) {
        if (isModIoCopy(mod))
            continue;
        const int found = index.findCatalogIndex(mod);
        if (found < 0 || found >= catalog.size())
            continue;
        const RepoMod &entry = catalog.at(found);
        if (mod.repoEntryId.isEmpty())
            mod.repoEntryId = entry.id;
        if (mod.repositoryName.isEmpty())
            mod.repositoryName = entry.repositoryName;
        if (mod.repositoryUrl.isEmpty())
            mod.repositoryUrl = entry.repositoryJsonUrl;
        if (!entry.name.trimmed().isEmpty())
            mod.name = entry.name;
        // The marker recorded an older release but the files are already at the catalog's version (or newer):
        // the files were updated by hand, so the marker's version no longer describes them.
        if (mod.versionFromMarker && !mod.filesVersion.isEmpty() && !entry.version.isEmpty() &&
            compareVersions(mod.filesVersion, entry.version) >= 0 && mod.markerVersion != mod.filesVersion) {
            // "Equal" as the version comparison sees it: "1.2.0" in the files is the catalog's "1.2".
            if (compareVersions(mod.filesVersion, entry.version) == 0) {
                mod.version = entry.version;
            } else {
                mod.version = mod.filesVersion;
                mod.versionFromMarker = false;
            }
        }
        if (!entry.previewUrl.trimmed().isEmpty())
            mod.previewUrl = entry.previewUrl.trimmed();
    }
}

DuplicateInstallations detectDuplicateInstallations(const QList<LocalMod> &mods,
                                                    const QList<RepoMod> &catalog)
{
    return detectDuplicateInstallations(mods, CatalogMatchIndex(catalog));
}

DuplicateInstallations detectDuplicateInstallations(const QList<LocalMod> &mods,
                                                    const CatalogMatchIndex &index)
{
    // Ordered maps keep the pairing order independent of hash seeds.
    std::map<int, CopyGroups> byEntry;
    std::map<QString, CopyGroups> byNameKey;
    for (qsizetype i = 0; i < mods.size(); ++i) {
        const LocalMod &mod = mods.at(i);
        const bool modIo = isModIoCopy(mod);
        const int entry = index.findCatalogIndex(mod);
        if (entry >= 0)
            (modIo ? byEntry[entry].modIo : byEntry[entry].other).append(int(i));
        const QString key = normalizeModKey(mod.name);
        if (key.size() >= 6)
            (modIo ? byNameKey[key].modIo : byNameKey[key].other).append(int(i));
    }

    DuplicateInstallations result;
    QSet<QString> recorded;
    auto pairUp = [&](const CopyGroups &groups) {
        for (const int modIoIndex : groups.modIo) {
            for (const int otherIndex : groups.other) {
                const LocalMod &modIo = mods.at(modIoIndex);
                const LocalMod &other = mods.at(otherIndex);
                // One folder reached through two settings (the mod.io folder also entered as a custom
                // folder) is a single installation seen twice, not a duplicate.
                if (QDir::cleanPath(modIo.path).compare(QDir::cleanPath(other.path), Qt::CaseInsensitive) ==
                    0)
                    continue;
                const QString pairKey = modIo.path.toLower() + QLatin1Char('|') + other.path.toLower();
                if (recorded.contains(pairKey))
                    continue;
                recorded.insert(pairKey);
                result.indexes.insert(modIoIndex);
                result.indexes.insert(otherIndex);
                result.descriptions.append(
                    QCoreApplication::translate("MainWindow", "%1\n  mod.io: %2\n  Weitere Installation: %3")
                        .arg(duplicateDisplayName(modIo, other), QDir::toNativeSeparators(modIo.path),
                             QDir::toNativeSeparators(other.path)));
            }
        }
    };
    for (const auto &[entry, groups] : byEntry) {
        Q_UNUSED(entry);
        pairUp(groups);
    }
    for (const auto &[key, groups] : byNameKey) {
        Q_UNUSED(key);
        pairUp(groups);
    }
    result.descriptions.sort();
    return result;
}
