#include "catalog/dependencyresolution.h"

#include "app/communitysite.h"
#include "catalog/htmltext.h"
#include "catalog/repositorylist.h"
#include "catalog/versions.h"
#include "localmods/modmatching.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <QUrl>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("MainWindow", text);
}

bool isHttpScheme(const QString &scheme)
{
    return scheme.compare(QLatin1String("http"), Qt::CaseInsensitive) == 0 ||
           scheme.compare(QLatin1String("https"), Qt::CaseInsensitive) == 0;
}

int defaultPortOf(const QString &scheme)
{
    return scheme.compare(QLatin1String("https"), Qt::CaseInsensitive) == 0 ? 443 : 80;
}

} // namespace

QString dependencyNameKey(const QString &name)
{
    return normalizeModKey(stripHtml(name));
}

bool nameKeysOverlap(const QString &a, const QString &b)
{
    if (a.size() < minContainedNameKeyLength || b.size() < minContainedNameKeyLength)
        return false;
    return a.contains(b) || b.contains(a);
}

int findDependencyEntryById(const RepoDependency &dependency, const QList<RepoMod> &catalog)
{
    const QString id = dependency.id.trimmed();
    if (id.isEmpty())
        return -1;
    const QString repository = dependency.repositoryUrl.trimmed();
    int first = -1;
    for (qsizetype i = 0; i < catalog.size(); ++i) {
        const RepoMod &entry = catalog.at(i);
        if (entry.id.trimmed() != id)
            continue;
        // Ids are only unique within one repository; the dependency's own repository means its own entry.
        if (!repository.isEmpty() &&
            entry.repositoryJsonUrl.trimmed().compare(repository, Qt::CaseInsensitive) == 0)
            return int(i);
        if (first < 0)
            first = int(i);
    }
    return first;
}

int findDependencyEntryByName(const RepoDependency &dependency, const QList<RepoMod> &catalog)
{
    const QString key = dependencyNameKey(dependency.name);
    if (key.isEmpty())
        return -1;
    QList<QString> keys;
    keys.reserve(catalog.size());
    for (const RepoMod &entry : catalog) {
        keys.append(dependencyNameKey(entry.name));
        if (keys.constLast() == key)
            return int(keys.size() - 1);
    }
    // Only without an exact name anywhere: "Stadtbahn Basis" must not become "Stadtbahn Basis Erweiterung"
    // just because that entry comes first.
    for (qsizetype i = 0; i < keys.size(); ++i) {
        if (nameKeysOverlap(key, keys.at(i)))
            return int(i);
    }
    return -1;
}

int findDependencyEntry(const RepoDependency &dependency, const QList<RepoMod> &catalog)
{
    const int byId = findDependencyEntryById(dependency, catalog);
    return byId >= 0 ? byId : findDependencyEntryByName(dependency, catalog);
}

bool hasRepositoryDownload(const RepoMod &entry)
{
    return !entry.downloadUrl.trimmed().isEmpty() || !entry.parts.isEmpty();
}

bool satisfiesMinimumVersion(const LocalMod &mod, const QString &minVersion)
{
    if (minVersion.trimmed().isEmpty())
        return true;
    for (const QString &version : {mod.filesVersion, mod.version, mod.markerVersion}) {
        if (!version.trimmed().isEmpty() && compareVersions(version, minVersion) >= 0)
            return true;
    }
    return false;
}

bool isDependencyInstalled(const RepoDependency &dependency, const QList<RepoMod> &catalog,
                           const QList<LocalMod> &mods, const QStringList &rememberedIds)
{
    const int entry = findDependencyEntry(dependency, catalog);
    if (entry >= 0) {
        const RepoMod &required = catalog.at(entry);
        for (const LocalMod &mod : mods) {
            if (matchLocalToCatalog(mod, required) && satisfiesMinimumVersion(mod, dependency.minVersion))
                return true;
        }
        return false;
    }

    const QString key = dependencyNameKey(dependency.name);
    if (!key.isEmpty()) {
        bool exactHit = false;
        for (const LocalMod &mod : mods) {
            if (normalizeModKey(mod.name) != key && normalizeModKey(mod.folderName) != key)
                continue;
            exactHit = true;
            if (satisfiesMinimumVersion(mod, dependency.minVersion))
                return true;
        }
        // An exact name that is too old is the required mod in an old version; a longer name that contains
        // it is another mod and says nothing about it.
        if (!exactHit) {
            for (const LocalMod &mod : mods) {
                if (nameKeysOverlap(key, normalizeModKey(mod.name)) &&
                    satisfiesMinimumVersion(mod, dependency.minVersion))
                    return true;
            }
        }
    }

    // The remembered ids know neither versions nor whether the mod was deleted since; they only stand in for
    // mods that nothing else identifies.
    if (dependency.minVersion.trimmed().isEmpty() && !dependency.id.trimmed().isEmpty())
        return rememberedIds.contains(dependencyMemoryKey(dependency));
    return false;
}

QString dependencyMemoryKey(const RepoDependency &dependency)
{
    const QString id = dependency.id.trimmed();
    if (id.isEmpty())
        return QString();
    if (isBuiltInRepositoryUrl(dependency.repositoryUrl))
        return id;
    return dependency.repositoryUrl.trimmed() + QLatin1Char('|') + id;
}

bool isBuiltInRepositoryUrl(const QString &url)
{
    const QString trimmed = url.trimmed();
    return trimmed.isEmpty() || trimmed.compare(builtInRepository().jsonUrl, Qt::CaseInsensitive) == 0;
}

QString directDownloadUrl(const RepoDependency &dependency)
{
    const QString download = dependency.downloadUrl.trimmed();
    if (!download.isEmpty())
        return download;
    const QString entry = dependency.entryUrl.trimmed();
    if (entry.contains(QLatin1String("entry-download"), Qt::CaseInsensitive) ||
        entry.contains(QLatin1String("EntryDownload"), Qt::CaseInsensitive))
        return entry;
    return QString();
}

RepoMod modFromDirectDownload(const RepoDependency &dependency, const QString &downloadUrl)
{
    RepoMod mod;
    mod.id = dependency.id.trimmed();
    mod.name = dependency.name.trimmed();
    if (mod.name.isEmpty())
        mod.name = tr("Benötigte Modifikation");
    mod.version = dependency.minVersion;
    mod.entryUrl = dependency.entryUrl;
    mod.downloadUrl = downloadUrl;
    mod.fileName = dependency.fileName;
    return mod;
}

bool usesCommunityEntryPage(const RepoDependency &dependency)
{
    // A file-base reference ("webdisk", "filebase") without an id names no page, and an id alone already
    // is a community entry number when the community repository listed it.
    return !dependency.id.trimmed().isEmpty() && isBuiltInRepositoryUrl(dependency.repositoryUrl);
}

bool isCommunityLink(const QString &url)
{
    const QString text = url.trimmed();
    if (text.isEmpty())
        return false;
    const QUrl link(text, QUrl::TolerantMode);
    if (!link.isValid())
        return false;
    if (link.scheme().isEmpty() && link.host().isEmpty())
        return text.startsWith(QLatin1Char('/'));
    if (!link.scheme().isEmpty() && !isHttpScheme(link.scheme()))
        return false;

    QString host = link.host().toLower();
    if (host.startsWith(QLatin1String("www.")))
        host.remove(0, 4);
    if (host != communityHostName())
        return false;

    // A site on a port of its own (a local one on 127.0.0.1:8080) is only that port; a site on the standard
    // ports is the same site over http and https.
    const QUrl root = communityRootUrl();
    const int siteDefault = defaultPortOf(root.scheme());
    const int sitePort = root.port(siteDefault);
    const QString linkScheme = link.scheme().isEmpty() ? root.scheme() : link.scheme();
    const int linkDefault = defaultPortOf(linkScheme);
    const int linkPort = link.port(linkDefault);
    if (linkPort == sitePort)
        return true;
    return sitePort == siteDefault && linkPort == linkDefault;
}

QString dependencyEntryPageUrl(const RepoDependency &dependency)
{
    const QString entry = dependency.entryUrl.trimmed();
    if (isCommunityLink(entry)) {
        const QUrl link(entry, QUrl::TolerantMode);
        if (link.scheme().isEmpty() && link.host().isEmpty())
            return communityUrl(entry);
        return entry;
    }
    return communityUrl(QStringLiteral("/filebase/entry/%1/").arg(dependency.id.trimmed()));
}

QString findEntryDownloadLink(const QString &pageText, const QString &id)
{
    const QString entryId = id.trimmed();
    if (entryId.isEmpty())
        return QString();
    QString text = pageText;
    text.replace(QLatin1String("&amp;"), QLatin1String("&"));

    // Capture 1 is the scheme, 2 the host (both empty for a relative path), 3 the path. Nothing that can
    // belong to a host name or a longer path may stand right before a bare host or a relative path, so the
    // path of a link to another site is never read as a relative link of its own.
    const QString escaped = QRegularExpression::escape(entryId);
    const QRegularExpression pattern(
        QStringLiteral("(?:(?:(?:(https?):)?//|(?<![\\w.~%@:/-]))([\\w-]+(?:\\.[\\w-]+)*(?::\\d+)?)|"
                       "(?<![\\w.~%@:/-]))(/filebase/(?:entry-download/") +
            escaped + QStringLiteral("/|index\\.php/EntryDownload/") + escaped +
            QStringLiteral("/)[^\"'<>\\s]*)"),
        QRegularExpression::CaseInsensitiveOption);

    for (QRegularExpressionMatchIterator it = pattern.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        const QString host = match.captured(2);
        if (!host.isEmpty()) {
            const QString scheme = match.captured(1);
            const QString origin = (scheme.isEmpty() ? QString() : scheme + QLatin1Char(':')) +
                                   QStringLiteral("//") + host + QLatin1Char('/');
            if (!isCommunityLink(origin))
                continue;
        }
        return communityUrl(match.captured(3));
    }
    return QString();
}

RepoMod modFromEntryPage(const RepoDependency &dependency, const QString &pageUrl, const QString &downloadUrl)
{
    RepoMod mod;
    mod.id = dependency.id.trimmed();
    mod.name = dependency.name.trimmed();
    if (mod.name.isEmpty())
        mod.name = tr("Benötigte Modifikation %1").arg(mod.id);
    mod.version = dependency.minVersion;
    mod.entryUrl = pageUrl;
    mod.downloadUrl = downloadUrl;
    mod.fileName = dependency.fileName;
    return mod;
}

QString modVisitKey(const RepoMod &mod)
{
    const QString id = mod.id.trimmed();
    if (!id.isEmpty())
        return id;
    const QString download = mod.downloadUrl.trimmed();
    if (!download.isEmpty())
        return download;
    for (const RepoModPart &part : mod.parts) {
        if (!part.url.trimmed().isEmpty())
            return part.url.trimmed();
    }
    return QString();
}
