#include "catalog/dependencyparsing.h"

#include "app/communitysite.h"
#include "catalog/htmltext.h"
#include "catalog/jsonvalues.h"
#include "catalog/versions.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonValue>
#include <QRegularExpression>
#include <QUrl>

namespace {

constexpr auto caseless = QRegularExpression::CaseInsensitiveOption;

// The community site as links name it. The root is read once per parsed text, not once per link.
struct CommunitySite
{
    QString host; // lower case, without "www."
    int port = 0;
    bool onDefaultPort = true;
};

CommunitySite currentCommunitySite()
{
    const QUrl root = communityRootUrl();
    const int defaultPort = root.scheme() == QLatin1String("https") ? 443 : 80;
    CommunitySite site;
    site.host = communityHostName();
    site.port = root.port(defaultPort);
    site.onDefaultPort = site.port == defaultPort;
    return site;
}

// A link counts as the community's only when it names the community host (with or without "www.") and, for a
// site on another port (a local one on 127.0.0.1:8080), that port.
bool isCommunityAuthority(const QString &authority, const CommunitySite &site)
{
    QString host = authority.toLower();
    bool portMatches = site.onDefaultPort;
    const qsizetype colon = host.indexOf(QLatin1Char(':'));
    if (colon >= 0) {
        const int port = host.mid(colon + 1).toInt();
        portMatches = port == site.port || (site.onDefaultPort && (port == 80 || port == 443));
        host.truncate(colon);
    }
    if (host.startsWith(QLatin1String("www.")))
        host.remove(0, 4);
    return portMatches && host == site.host;
}

// A file-base entry path, behind a host ("https://host", "//host" or a bare "host") or standing alone as a
// relative path. Nothing that can belong to a host name or a longer path may come right before a bare host or
// a relative path, so "https://other.example/filebase/entry/55/" does not yield a relative
// "/filebase/entry/55/". Capture 1 is the host (empty for a relative path), 2 the path, 3 the entry number.
const QRegularExpression &entryLinkPattern()
{
    static const QRegularExpression pattern(
        QStringLiteral("(?:(?:(?:https?:)?//|(?<![\\w.~%@:/-]))([\\w-]+(?:\\.[\\w-]+)*(?::\\d+)?)|"
                       "(?<![\\w.~%@:/-]))(/filebase/(?:entry|index\\.php/Entry)/(\\d+)[^\"'<>\\s]*)"),
        caseless);
    return pattern;
}

// The first link to a community entry in text. A relative path counts only where relative links mean the
// community site (free text); in a repository's structured entry URL it is relative to that repository.
QRegularExpressionMatch findEntryLink(const QString &text, const CommunitySite &site, bool acceptRelative)
{
    QRegularExpressionMatchIterator it = entryLinkPattern().globalMatch(text);
    while (it.hasNext()) {
        QRegularExpressionMatch match = it.next();
        const QString authority = match.captured(1);
        if (authority.isEmpty() ? acceptRelative : isCommunityAuthority(authority, site))
            return match;
    }
    return {};
}

// German authors write "ab Version 1,5"; without the dot only the 1 would count as the minimum.
QString withDecimalDots(const QString &text)
{
    static const QRegularExpression decimalComma(QStringLiteral("(?<=\\d),(?=\\d)"));
    if (!text.contains(QLatin1Char(',')))
        return text;
    QString result = text;
    return result.replace(decimalComma, QStringLiteral("."));
}

QString communityEntryPage(const QString &id)
{
    return communityUrl(QStringLiteral("/filebase/entry/%1/").arg(id));
}

// The first member among keys that is a non-empty string. Members of other kinds are skipped, so a number
// in a name field does not hide the title behind it.
QString firstString(const QJsonObject &object, const QStringList &keys)
{
    for (const QString &key : keys) {
        const QJsonValue value = object.value(key);
        if (value.isString() && !value.toString().isEmpty())
            return value.toString();
    }
    return {};
}

// Splits at line breaks and ";", except a ";" inside a tag ("style=\"color: red; …\"") or one that closes a
// character reference ("&ouml;", "&#39;"): cutting those would leave broken halves as dependency names.
QStringList splitDependencyLines(const QString &text)
{
    static const QRegularExpression token(
        QStringLiteral("<[^>]*>|&(?:#\\d{1,7}|#x[0-9a-f]{1,6}|[a-z][a-z0-9]{1,31});|[\\r\\n;]+"), caseless);

    QStringList pieces;
    qsizetype start = 0;
    QRegularExpressionMatchIterator it = token.globalMatch(text);
    while (it.hasNext()) {
        const QRegularExpressionMatch match = it.next();
        const QChar first = text.at(match.capturedStart(0));
        if (first == QLatin1Char('<') || first == QLatin1Char('&'))
            continue;
        if (match.capturedStart(0) > start)
            pieces.append(text.mid(start, match.capturedStart(0) - start));
        start = match.capturedEnd(0);
    }
    if (start < text.size())
        pieces.append(text.mid(start));
    return pieces;
}

// The name of a text line without links, id references, version requirements and decoration.
QString dependencyNameFromLine(const QString &plain)
{
    static const QRegularExpression link(QStringLiteral("https?://\\S+"), caseless);
    static const QRegularExpression idReference(QStringLiteral("\\b(?:webdisk|filebase)\\s*:\\s*\\d+\\b"),
                                                caseless);
    // The word phrases must start a word, or "Mastermind 3000" would lose its "mind 3000". "mind." and
    // "mindestens" are often followed by the word "Version".
    static const QRegularExpression trailingMinimum(
        QStringLiteral(
            "\\s*(?:[-\u2013\u2014,:]\\s*)?(?:(?<![\\p{L}\\p{N}_])(?:ab\\s+version|mind(?:estens)?\\.?"
            "(?:\\s*version)?|minimum(?:\\s+version)?|required\\s+version|version\\s*(?:>=|ab))|>=)"
            "\\s*[:=]?\\s*v?\\s*\\d+(?:[._-]\\d+){0,3}.*$"),
        caseless);
    static const QRegularExpression trailingRequired(
        QStringLiteral("\\s+(?:ist\\s+)?(?:erforderlich|ben\u00f6tigt|required)(?:\\.|!)?$"), caseless);
    // What is left of "Mod (webdisk:5)" or "Mod [https://…]" once the reference is gone.
    static const QRegularExpression emptyBrackets(QStringLiteral("\\(\\s*\\)|\\[\\s*\\]|\\s*[(\\[]\\s*$"));
    static const QRegularExpression decoration(QStringLiteral("^[\\s*\u2022+-]+|[\\s:,-]+$"));
    static const QRegularExpression onlyIdReference(QStringLiteral("^(?:webdisk|filebase)\\s*:\\s*\\d+$"),
                                                    caseless);

    QString name = plain;
    name.remove(link);
    name.remove(idReference);
    name.remove(trailingMinimum);
    name.remove(trailingRequired);
    name.remove(emptyBrackets);
    name.remove(decoration);
    name = name.trimmed();
    if (name.startsWith(QLatin1String("http://"), Qt::CaseInsensitive) ||
        name.startsWith(QLatin1String("https://"), Qt::CaseInsensitive) ||
        onlyIdReference.match(name).hasMatch())
        return {};
    return name;
}

void parseDependencyLine(const QString &piece, const CommunitySite &site, QList<RepoDependency> *dependencies)
{
    static const QRegularExpression idReference(QStringLiteral("\\b(webdisk|filebase)\\s*:\\s*(\\d+)\\b"),
                                                caseless);
    static const QRegularExpression downloadLink(
        QStringLiteral("(https?://[^\\s\"'<>]*(?:entry-download|EntryDownload)[^\\s\"'<>]*)"), caseless);
    static const QRegularExpression anyLink(QStringLiteral("(https?://[^\\s\"'<>]+)"), caseless);

    // A no-break space inside a name is an ordinary blank to the patterns below.
    const QString plain = stripHtml(piece).replace(QChar(0x00a0), QLatin1Char(' ')).trimmed();

    RepoDependency dependency;
    dependency.minVersion = minimumVersionPhrase(withDecimalDots(plain));

    const QRegularExpressionMatch entry = findEntryLink(piece, site, true);
    if (entry.hasMatch()) {
        dependency.source = QStringLiteral("webdisk");
        dependency.id = entry.captured(3);
        dependency.entryUrl = communityUrl(entry.captured(2));
    }
    if (dependency.id.isEmpty()) {
        const QRegularExpressionMatch reference = idReference.match(plain);
        if (reference.hasMatch()) {
            dependency.source = QStringLiteral("webdisk");
            dependency.id = reference.captured(2);
            dependency.entryUrl = communityEntryPage(dependency.id);
        }
    }
    const QRegularExpressionMatch download = downloadLink.match(piece);
    if (download.hasMatch()) {
        dependency.downloadUrl = download.captured(1);
        if (dependency.source.isEmpty())
            dependency.source = QStringLiteral("url");
    }
    if (dependency.entryUrl.isEmpty() && dependency.downloadUrl.isEmpty()) {
        const QRegularExpressionMatch link = anyLink.match(piece);
        if (link.hasMatch()) {
            dependency.entryUrl = link.captured(1);
            if (dependency.source.isEmpty())
                dependency.source = QStringLiteral("url");
        }
    }
    dependency.name = dependencyNameFromLine(plain);
    addDependency(dependencies, dependency);
}

// Download, file name and version of a file object nested in a structured dependency, where the
// dependency itself left them open.
void fillFromFileObject(const QJsonValue &value, const QStringList &versionKeys, RepoDependency *dependency)
{
    if (!value.isObject())
        return;
    const QJsonObject file = value.toObject();
    if (dependency->downloadUrl.isEmpty())
        dependency->downloadUrl =
            firstString(file, {QStringLiteral("download_url"), QStringLiteral("download")});
    if (dependency->fileName.isEmpty())
        dependency->fileName = firstString(file, {QStringLiteral("filename")});
    if (dependency->minVersion.isEmpty())
        dependency->minVersion = firstJsonText(file, versionKeys);
}

RepoDependency dependencyFromObject(const QJsonObject &object)
{
    RepoDependency dependency;
    dependency.source = firstString(object, {QStringLiteral("source"), QStringLiteral("type")});
    dependency.id =
        firstJsonText(object, {QStringLiteral("entry_id"), QStringLiteral("id"), QStringLiteral("mod_id")});
    dependency.name = firstString(object, {QStringLiteral("name"), QStringLiteral("title")});
    dependency.minVersion =
        firstJsonText(object, {QStringLiteral("minimum_version"), QStringLiteral("min_version"),
                               QStringLiteral("required_version"), QStringLiteral("version_requirement"),
                               QStringLiteral("version")});
    dependency.entryUrl = firstString(object, {QStringLiteral("entry_url"), QStringLiteral("url")});
    dependency.downloadUrl =
        firstString(object, {QStringLiteral("download_url"), QStringLiteral("download")});
    dependency.fileName =
        firstString(object, {QStringLiteral("filename"), QStringLiteral("archive_filename")});

    if (dependency.id.isEmpty() && !dependency.entryUrl.isEmpty()) {
        const QRegularExpressionMatch entry =
            findEntryLink(dependency.entryUrl, currentCommunitySite(), false);
        if (entry.hasMatch()) {
            dependency.id = entry.captured(3);
            dependency.source = QStringLiteral("webdisk");
        }
    }
    fillFromFileObject(object.value(QLatin1String("latest_file")), {QStringLiteral("version")}, &dependency);
    fillFromFileObject(object.value(QLatin1String("install")),
                       {QStringLiteral("minimum_version"), QStringLiteral("version")}, &dependency);
    return dependency;
}

bool isSameMod(const RepoDependency &a, const RepoDependency &b)
{
    // Two different entry ids are two different mods, even when their names agree.
    if (!a.id.isEmpty() && !b.id.isEmpty())
        return a.id == b.id;
    return (!a.downloadUrl.isEmpty() && a.downloadUrl == b.downloadUrl) ||
           (!a.entryUrl.isEmpty() && a.entryUrl == b.entryUrl) ||
           (!a.name.isEmpty() && a.name.compare(b.name, Qt::CaseInsensitive) == 0);
}

void fillIfEmpty(QString *field, const QString &value)
{
    if (field->isEmpty())
        *field = value;
}

} // namespace

QList<RepoDependency> parseDependencies(const QJsonObject &entry)
{
    QList<RepoDependency> dependencies;

    const QJsonValue listed = entry.value(QLatin1String("dependencies"));
    if (listed.isString()) {
        parseDependencyText(listed.toString(), &dependencies);
    } else if (listed.isArray()) {
        const QJsonArray array = listed.toArray();
        for (const QJsonValue &element : array) {
            if (element.isString())
                parseDependencyText(element.toString(), &dependencies);
            else if (element.isObject())
                addDependency(&dependencies, dependencyFromObject(element.toObject()));
        }
    }

    const QJsonValue customFields = entry.value(QLatin1String("custom_fields"));
    if (customFields.isObject()) {
        const QJsonObject fields = customFields.toObject();
        for (auto it = fields.constBegin(); it != fields.constEnd(); ++it) {
            if (!it.value().isObject())
                continue;
            const QJsonObject field = it.value().toObject();
            const bool requiredMods =
                it.key() == QLatin1String("option14") ||
                field.value(QLatin1String("label"))
                        .toString()
                        .compare(QStringLiteral("Ben\u00f6tigte Modifikationen"), Qt::CaseInsensitive) == 0;
            if (!requiredMods)
                continue;
            const QJsonValue value = field.value(QLatin1String("value"));
            if (value.isArray()) {
                const QJsonArray array = value.toArray();
                for (const QJsonValue &element : array)
                    parseDependencyText(jsonValueText(element), &dependencies);
            } else {
                parseDependencyText(jsonValueText(value), &dependencies);
            }
        }
    }
    return dependencies;
}

void parseDependencyText(const QString &text, QList<RepoDependency> *dependencies)
{
    // The same tags that end a line of a description end a dependency line.
    static const QRegularExpression lineBreakTag(
        QStringLiteral("<br(?=[\\s/>])[^>]*>|</(?:p|li|div|h[1-6])(?=[\\s/>])[^>]*>"), caseless);

    if (text.trimmed().isEmpty())
        return;
    // Both entities end in ";", which would otherwise cut the line they stand in.
    QString prepared = text;
    prepared.replace(QLatin1String("&amp;"), QLatin1String("&"));
    prepared.replace(QLatin1String("&nbsp;"), QLatin1String(" "));
    prepared.replace(lineBreakTag, QStringLiteral("\n"));

    const CommunitySite site = currentCommunitySite();
    const QStringList pieces = splitDependencyLines(prepared);
    for (const QString &rawPiece : pieces) {
        const QString piece = rawPiece.trimmed();
        if (!piece.isEmpty())
            parseDependencyLine(piece, site, dependencies);
    }
}

void addDependency(QList<RepoDependency> *dependencies, RepoDependency dependency)
{
    dependency.source = dependency.source.trimmed().toLower();
    dependency.id = dependency.id.trimmed();
    dependency.name = stripHtml(dependency.name).trimmed();
    dependency.minVersion = versionFromText(withDecimalDots(dependency.minVersion));
    dependency.downloadUrl = dependency.downloadUrl.trimmed();
    dependency.fileName = dependency.fileName.trimmed();
    dependency.entryUrl = dependency.entryUrl.trimmed();
    if (dependency.source.isEmpty() && !dependency.id.isEmpty())
        dependency.source = QStringLiteral("webdisk");

    if (dependency.id.isEmpty() && dependency.downloadUrl.isEmpty() && dependency.entryUrl.isEmpty() &&
        dependency.name.isEmpty())
        return;

    for (RepoDependency &existing : *dependencies) {
        if (!isSameMod(existing, dependency))
            continue;
        fillIfEmpty(&existing.name, dependency.name);
        fillIfEmpty(&existing.entryUrl, dependency.entryUrl);
        fillIfEmpty(&existing.downloadUrl, dependency.downloadUrl);
        fillIfEmpty(&existing.fileName, dependency.fileName);
        fillIfEmpty(&existing.id, dependency.id);
        // Two mentions with different minimums: only the higher one satisfies both.
        if (existing.minVersion.isEmpty() ||
            (!dependency.minVersion.isEmpty() &&
             compareVersions(dependency.minVersion, existing.minVersion) > 0))
            existing.minVersion = dependency.minVersion;
        // A plain name mention says nothing about the kind of reference; it must not erase the one known.
        if (!dependency.source.isEmpty() &&
            (existing.source.isEmpty() || existing.source == QLatin1String("webdisk")))
            existing.source = dependency.source;
        return;
    }
    dependencies->append(dependency);
}

QString dependencyLabel(const RepoDependency &dependency, const RepoMod *resolved)
{
    QString label = dependency.name.trimmed();
    if (label.isEmpty() && resolved)
        label = resolved->name.trimmed();
    if (label.isEmpty() && !dependency.id.trimmed().isEmpty())
        label = QStringLiteral("webdisk:") + dependency.id.trimmed();
    if (label.isEmpty())
        label = dependency.downloadUrl.trimmed();
    // A link to a page outside the community is still the best thing to tell the user what is missing.
    if (label.isEmpty())
        label = dependency.entryUrl.trimmed();
    if (label.isEmpty())
        label = QCoreApplication::translate("MainWindow", "Unbekannte Abh\u00e4ngigkeit");
    if (!dependency.minVersion.isEmpty())
        label +=
            QCoreApplication::translate("MainWindow", " (mindestens Version %1)").arg(dependency.minVersion);
    return label;
}
