#include "catalog/repositoryparser.h"

#include "catalog/dependencyparsing.h"
#include "catalog/htmltext.h"
#include "catalog/jsonvalues.h"
#include "catalog/versions.h"
#include "install/archivevolumes.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>

#include <algorithm>
#include <cmath>

using namespace Qt::Literals::StringLiterals;

namespace {

// The spellings repositories use for each value, in order of preference. Built once: the parser reads
// thousands of entries per document.
struct Keys
{
    QList<QLatin1String> id{"modid"_L1, "mod_id"_L1, "id"_L1, "entry_id"_L1};
    QList<QLatin1String> name{"name"_L1, "title"_L1, "mod_name"_L1};
    QList<QLatin1String> author{"author"_L1, "username"_L1, "creator"_L1};
    QList<QLatin1String> version{"version"_L1, "version_string"_L1, "revision"_L1};
    QList<QLatin1String> anyVersion{"version"_L1, "version_string"_L1, "revision"_L1, "release_version"_L1};
    QList<QLatin1String> releaseVersion{"release_version"_L1};
    QList<QLatin1String> description{"description"_L1, "short_description"_L1, "summary"_L1};
    QList<QLatin1String> entryUrl{"entry_url"_L1, "url"_L1, "entryUrl"_L1};
    QList<QLatin1String> downloadUrl{"download_url"_L1, "download"_L1, "downloadUrl"_L1};
    QList<QLatin1String> fileName{"filename"_L1, "file_name"_L1, "archive_filename"_L1};
    QList<QLatin1String> fileObjectName{"filename"_L1, "file_name"_L1, "archive_filename"_L1, "name"_L1};
    QList<QLatin1String> sha256{"sha256"_L1, "checksum_sha256"_L1};
    QList<QLatin1String> previewUrl{"preview_url"_L1, "thumbnail_url"_L1, "preview_image"_L1, "image"_L1,
                                    "thumbnail"_L1};
    QList<QLatin1String> modioId{"modio_id"_L1, "mod_io_id"_L1, "modioId"_L1};
    QList<QLatin1String> date{"published_at"_L1, "updated_at"_L1, "date"_L1};
    QList<QLatin1String> categories{"categories"_L1,     "category"_L1,      "category_name"_L1,
                                    "category_title"_L1, "category_path"_L1, "category_id"_L1,
                                    "category_ids"_L1};
    QList<QLatin1String> tags{"tags"_L1, "tag_names"_L1, "tagNames"_L1};
    QList<QLatin1String> entryLists{"files"_L1, "mods"_L1, "entries"_L1, "items"_L1, "data"_L1};
};

const Keys &keys()
{
    static const Keys instance;
    return instance;
}

QString baseName(const QString &path)
{
    const qsizetype slash = qMax(path.lastIndexOf(u'/'), path.lastIndexOf(u'\\'));
    return slash < 0 ? path : path.mid(slash + 1);
}

// One file object of an entry that offers a download, with the values the choice looks at.
struct FileCandidate
{
    QJsonObject object;
    QString url;
    QString name;
    qint64 fileId = 0;
    QString date;
    QString releaseVersion;
    QString version;
    QStringList nameVersions;
};

// "file_id" as a 64-bit number, given as a number or as text; anything else counts as 0.
qint64 fileIdOf(const QJsonValue &value)
{
    if (value.isDouble()) {
        const double number = value.toDouble();
        return std::trunc(number) == number ? value.toInteger() : 0;
    }
    return value.isString() ? value.toString().trimmed().toLongLong() : 0;
}

bool offersDownload(const QJsonObject &file)
{
    if (!firstJsonTextTrimmed(file, keys().downloadUrl).isEmpty())
        return true;
    const QJsonValue parts = file.value(QLatin1String("parts"));
    return parts.isArray() && !parts.toArray().isEmpty();
}

FileCandidate makeCandidate(const QJsonObject &file)
{
    FileCandidate candidate;
    candidate.object = file;
    candidate.url = firstJsonTextTrimmed(file, keys().downloadUrl);
    candidate.name = firstJsonTextTrimmed(file, keys().fileObjectName);
    candidate.fileId = fileIdOf(file.value("file_id"_L1));
    candidate.date = firstJsonTextTrimmed(file, keys().date);
    candidate.releaseVersion = firstJsonTextTrimmed(file, keys().releaseVersion);
    candidate.version = firstJsonTextTrimmed(file, keys().version);
    candidate.nameVersions = archiveNameVersions(candidate.name);
    return candidate;
}

QList<FileCandidate> collectCandidates(const QJsonObject &entry)
{
    QList<QJsonObject> objects;
    const QJsonValue latest = entry.value(QLatin1String("latest_file"));
    if (latest.isObject())
        objects.append(latest.toObject());
    const QJsonArray files = entry.value(QLatin1String("files")).toArray();
    for (const QJsonValue &file : files) {
        if (file.isObject())
            objects.append(file.toObject());
    }

    // An entry lists a handful of files; a list scan beats hashing.
    QList<FileCandidate> candidates;
    QStringList seen;
    for (const QJsonObject &object : std::as_const(objects)) {
        if (object.isEmpty() || !offersDownload(object))
            continue;
        FileCandidate candidate = makeCandidate(object);
        QString key = QString(candidate.url + u'|' + candidate.name).toLower();
        if (seen.contains(key))
            continue;
        seen.append(std::move(key));
        candidates.append(std::move(candidate));
    }
    return candidates;
}

// Newer uploads win: the larger file id, then the later date; otherwise the earlier candidate stays.
bool isPreferable(const FileCandidate &candidate, const FileCandidate *current)
{
    if (!current)
        return true;
    if (candidate.fileId != current->fileId)
        return candidate.fileId > current->fileId;
    return candidate.date > current->date;
}

bool nameCarriesVersion(const FileCandidate &candidate, const QString &version)
{
    for (const QString &nameVersion : candidate.nameVersions) {
        if (compareVersions(nameVersion, version) == 0)
            return true;
    }
    return false;
}

// The rules are tried from the most explicit statement of a file's version to the weakest; the first rule
// that any file satisfies decides.
const FileCandidate *chooseForVersion(const QList<FileCandidate> &candidates, const QString &target)
{
    using Rule = bool (*)(const FileCandidate &, const QString &);
    static const Rule rules[] = {
        [](const FileCandidate &c, const QString &t) {
            return !c.releaseVersion.isEmpty() && compareVersions(c.releaseVersion, t) == 0;
        },
        [](const FileCandidate &c, const QString &t) { return nameCarriesVersion(c, t); },
        [](const FileCandidate &c, const QString &t) {
            return !c.version.isEmpty() && compareVersions(c.version, t) == 0 &&
                   (c.nameVersions.isEmpty() || nameCarriesVersion(c, t));
        },
        [](const FileCandidate &c, const QString &) {
            return c.releaseVersion.isEmpty() && c.version.isEmpty() && c.nameVersions.isEmpty();
        },
    };
    for (const Rule rule : rules) {
        const FileCandidate *chosen = nullptr;
        for (const FileCandidate &candidate : candidates) {
            if (rule(candidate, target) && isPreferable(candidate, chosen))
                chosen = &candidate;
        }
        if (chosen)
            return chosen;
    }
    return nullptr;
}

const FileCandidate *chooseNewest(const QList<FileCandidate> &candidates)
{
    const FileCandidate *chosen = nullptr;
    QString chosenVersion;
    for (const FileCandidate &candidate : candidates) {
        QString version = candidate.releaseVersion;
        if (version.isEmpty() && !candidate.nameVersions.isEmpty())
            version = candidate.nameVersions.first();
        if (version.isEmpty())
            version = candidate.version;
        if (version.isEmpty())
            continue;
        const int order = chosen ? compareVersions(version, chosenVersion) : 1;
        if (order > 0 || (order == 0 && isPreferable(candidate, chosen))) {
            chosen = &candidate;
            chosenVersion = version;
        }
    }
    if (chosen)
        return chosen;
    for (const FileCandidate &candidate : candidates) {
        if (isPreferable(candidate, chosen))
            chosen = &candidate;
    }
    return chosen;
}

// Picks the archive that belongs to the entry's version and takes its download fields. Returns the chosen
// file object, or an empty object when none was chosen.
QJsonObject chooseDownloadFile(const QJsonObject &entry, RepoMod &mod)
{
    const QList<FileCandidate> candidates = collectCandidates(entry);
    if (candidates.isEmpty())
        return QJsonObject();

    QString target = mod.version.trimmed();
    if (target.isEmpty())
        target = firstJsonTextTrimmed(entry.value(QLatin1String("latest_file")).toObject(), keys().version);

    const FileCandidate *chosen = nullptr;
    if (!target.isEmpty()) {
        chosen = chooseForVersion(candidates, target);
        if (!chosen) {
            // Offering a file of another version than the entry declares would install the wrong mod.
            mod.downloadUrl.clear();
            mod.fileName.clear();
            mod.sha256.clear();
            return QJsonObject();
        }
    } else {
        chosen = chooseNewest(candidates);
    }
    if (!chosen)
        return QJsonObject();

    if (!chosen->url.isEmpty()) {
        mod.downloadUrl = chosen->url;
        mod.fileName = chosen->name;
        mod.sha256 = firstJsonTextTrimmed(chosen->object, keys().sha256).toLower();
        if (mod.version.trimmed().isEmpty()) {
            const QString version = firstJsonTextTrimmed(chosen->object, keys().anyVersion);
            if (!version.isEmpty())
                mod.version = version;
        }
    }
    return chosen->object;
}

void appendObjects(const QJsonValue &value, QList<QJsonObject> &objects)
{
    const QJsonArray array = value.toArray();
    for (const QJsonValue &element : array) {
        if (element.isObject())
            objects.append(element.toObject());
    }
}

// Collects the volumes of the chosen archive's multi-part set from everywhere an entry may list them.
void collectVolumes(const QJsonObject &entry, const QJsonObject &chosen, RepoMod &mod)
{
    const bool haveChosen = !chosen.isEmpty();
    QString referenceName = baseName(mod.fileName);
    if (referenceName.isEmpty() && haveChosen)
        referenceName = firstJsonTextTrimmed(chosen, keys().fileObjectName);
    if (referenceName.isEmpty() && haveChosen) {
        // A file offered only as its volumes may not name itself; its first listed volume names the set.
        QList<QJsonObject> ownParts;
        appendObjects(chosen.value(QLatin1String("parts")), ownParts);
        for (const QJsonObject &part : std::as_const(ownParts)) {
            const QString name = baseName(firstJsonTextTrimmed(part, keys().fileObjectName));
            if (parseArchiveVolumeName(name).isMultiVolume) {
                referenceName = name;
                break;
            }
        }
    }
    const ArchiveVolumeInfo reference = parseArchiveVolumeName(referenceName);
    if (!reference.isMultiVolume || reference.groupKey.isEmpty())
        return;

    QString referenceVersion;
    if (haveChosen)
        referenceVersion = firstJsonTextTrimmed(chosen, keys().anyVersion);
    if (referenceVersion.isEmpty())
        referenceVersion = mod.version;

    QList<QJsonObject> sources;
    if (haveChosen)
        sources.append(chosen);
    appendObjects(entry.value(QLatin1String("files")), sources);
    appendObjects(entry.value(QLatin1String("archive_parts")), sources);
    appendObjects(entry.value(QLatin1String("parts")), sources);
    if (haveChosen)
        appendObjects(chosen.value(QLatin1String("parts")), sources);

    QList<RepoModPart> parts;
    QStringList taken;
    for (const QJsonObject &source : std::as_const(sources)) {
        const QString name = baseName(firstJsonTextTrimmed(source, keys().fileObjectName));
        const QString url = firstJsonTextTrimmed(source, keys().downloadUrl);
        if (name.isEmpty() || url.isEmpty())
            continue;
        const ArchiveVolumeInfo volume = parseArchiveVolumeName(name);
        if (!volume.isMultiVolume || volume.groupKey != reference.groupKey)
            continue;
        const QString version = firstJsonTextTrimmed(source, keys().anyVersion);
        if (!version.isEmpty() && !referenceVersion.isEmpty() &&
            compareVersions(version, referenceVersion) != 0)
            continue;
        const QString lowerName = name.toLower();
        if (taken.contains(lowerName))
            continue;
        taken.append(lowerName);

        RepoModPart part;
        part.url = url;
        part.fileName = name;
        part.sha256 = firstJsonTextTrimmed(source, keys().sha256).toLower();
        part.index = volume.partNumber;
        parts.append(part);
    }
    std::stable_sort(parts.begin(), parts.end(), [](const RepoModPart &a, const RepoModPart &b) {
        if (a.index != b.index)
            return a.index < b.index;
        return a.fileName.compare(b.fileName, Qt::CaseInsensitive) < 0;
    });
    if (parts.size() < 2)
        return;
    mod.parts = parts;
    mod.downloadUrl = parts.first().url;
    mod.fileName = parts.first().fileName;
    mod.sha256 = parts.first().sha256;
}

// custom_fields.<option>.value as text, for the file base's extra fields.
QString customFieldValue(const QJsonObject &entry, QLatin1String option)
{
    const QJsonObject field = entry.value(QLatin1String("custom_fields")).toObject().value(option).toObject();
    if (field.isEmpty())
        return QString();
    return jsonValueText(field.value(QLatin1String("value")));
}

void applyLateFallbacks(const QJsonObject &entry, RepoMod &mod)
{
    const QJsonObject images = entry.value(QLatin1String("images")).toObject();
    if (!images.isEmpty()) {
        const QJsonValue preview = images.value(QLatin1String("preview"));
        const QJsonValue large = images.value(QLatin1String("large"));
        if (preview.isString())
            mod.previewUrl = preview.toString();
        else if (large.isString())
            mod.previewUrl = large.toString();
    }
    if (mod.version.trimmed().isEmpty())
        mod.version = customFieldValue(entry, QLatin1String("option8"));
    if (mod.modioId.isEmpty())
        mod.modioId = customFieldValue(entry, QLatin1String("option20")).trimmed();
}

QStringList namesFromMembers(const QJsonObject &entry, const QList<QLatin1String> &members,
                             const QHash<QString, QString> &table)
{
    // One name written differently in two members ("Dampf" in tags, "dampf" in tag_names) is listed once,
    // in the form met first, as within one member.
    QStringList names;
    for (const QLatin1String &member : members) {
        const auto value = entry.constFind(member);
        if (value == entry.constEnd())
            continue;
        const QStringList found = jsonTextList(value.value(), table);
        for (const QString &name : found) {
            if (!names.contains(name, Qt::CaseInsensitive))
                names.append(name);
        }
    }
    names.removeDuplicates();
    return names;
}

QString categoryName(const QJsonObject &category, const QString &fallback)
{
    const QJsonValue name = category.value(QLatin1String("name"));
    if (name.isString())
        return name.toString();
    const QJsonValue title = category.value(QLatin1String("title"));
    if (title.isString())
        return title.toString();
    return fallback;
}

} // namespace

QHash<QString, QString> parseCategoryTable(const QJsonValue &categories)
{
    QHash<QString, QString> table;
    if (categories.isObject()) {
        const QJsonObject object = categories.toObject();
        for (auto it = object.constBegin(); it != object.constEnd(); ++it) {
            const QJsonValue value = it.value();
            table.insert(it.key(),
                         value.isObject() ? categoryName(value.toObject(), it.key()) : jsonValueText(value));
        }
    } else if (categories.isArray()) {
        const QJsonArray array = categories.toArray();
        for (const QJsonValue &element : array) {
            if (!element.isObject())
                continue;
            const QJsonObject category = element.toObject();
            const QString id = jsonValueText(category.value(QLatin1String("id")));
            if (!id.isEmpty())
                table.insert(id, categoryName(category, id));
        }
    }
    return table;
}

bool isToolCategory(const QString &category)
{
    QString text = category;
    text.replace(QLatin1String("&amp;"), QLatin1String("&"));
    return text.trimmed().compare(QLatin1String("Werkzeuge & Tools"), Qt::CaseInsensitive) == 0;
}

RepoMod parseMod(const QJsonObject &entry, const QHash<QString, QString> &categoryNames,
                 const RepositoryConfig &repository)
{
    const Keys &k = keys();
    RepoMod mod;
    mod.repositoryName = repository.name;
    mod.repositoryJsonUrl = repository.jsonUrl;
    mod.repositoryBaseUrl = repository.baseUrl;
    mod.repositoryWebsiteUrl = repository.websiteUrl;

    mod.id = firstJsonText(entry, k.id);
    mod.name = firstJsonText(entry, k.name);
    mod.author = firstJsonText(entry, k.author);
    const QJsonObject authorObject = entry.value(QLatin1String("author")).toObject();
    if (!authorObject.isEmpty()) {
        const QJsonValue authorName = authorObject.value(QLatin1String("name"));
        if (authorName.isString())
            mod.author = authorName.toString();
    }
    mod.version = firstJsonText(entry, k.version);
    mod.description = stripHtml(firstJsonText(entry, k.description));
    mod.entryUrl = firstJsonText(entry, k.entryUrl);
    mod.downloadUrl = firstJsonText(entry, k.downloadUrl);
    mod.fileName = firstJsonText(entry, k.fileName);
    mod.sha256 = firstJsonText(entry, k.sha256).trimmed().toLower();
    mod.previewUrl = firstJsonText(entry, k.previewUrl);
    mod.modioId = firstJsonText(entry, k.modioId).trimmed();

    const QJsonObject chosen = chooseDownloadFile(entry, mod);
    collectVolumes(entry, chosen, mod);
    applyLateFallbacks(entry, mod);

    mod.categories = namesFromMembers(entry, k.categories, categoryNames);
    mod.tags = namesFromMembers(entry, k.tags, {});

    const QUrl base = repositoryBaseUrl(repository);
    mod.dependencies = parseDependencies(entry);
    for (RepoDependency &dependency : mod.dependencies) {
        dependency.repositoryUrl = repository.jsonUrl;
        dependency.entryUrl = resolveRepositoryUrl(dependency.entryUrl, base);
        dependency.downloadUrl = resolveRepositoryUrl(dependency.downloadUrl, base);
    }

    mod.entryUrl = resolveRepositoryUrl(mod.entryUrl, base);
    mod.downloadUrl = resolveRepositoryUrl(mod.downloadUrl, base);
    mod.previewUrl = resolveRepositoryUrl(mod.previewUrl, base);
    for (RepoModPart &part : mod.parts)
        part.url = resolveRepositoryUrl(part.url, base);

    if (mod.name.isEmpty())
        mod.name = mod.id.isEmpty() ? QCoreApplication::translate("MainWindow", "Unbenannter Mod") : mod.id;
    return mod;
}

int parseRepositoryDocument(const QByteArray &document, const RepositoryConfig &repository,
                            QList<RepoMod> &catalog, QString *error)
{
    QJsonParseError parseError;
    const QJsonDocument json = QJsonDocument::fromJson(document, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        if (error)
            *error =
                QCoreApplication::translate("MainWindow", "JSON-Fehler: %1").arg(parseError.errorString());
        return 0;
    }

    const QJsonObject root = json.isObject() ? json.object() : QJsonObject();
    const QHash<QString, QString> categoryNames = parseCategoryTable(root.value(QLatin1String("categories")));

    QJsonArray entries;
    bool haveEntries = false;
    if (json.isArray()) {
        entries = json.array();
        haveEntries = true;
    } else {
        for (const QLatin1String &key : keys().entryLists) {
            const QJsonValue value = root.value(key);
            if (value.isArray()) {
                entries = value.toArray();
                haveEntries = true;
                break;
            }
        }
    }
    if (!haveEntries) {
        if (error) {
            *error = QCoreApplication::translate(
                "MainWindow", "Keine Mod-Liste im Repository gefunden. Erwartet werden 'files', "
                              "'mods', 'entries', 'items' oder 'data'.");
        }
        return 0;
    }

    if (error)
        error->clear();
    catalog.reserve(catalog.size() + entries.size());
    int count = 0;
    for (const QJsonValue &element : std::as_const(entries)) {
        if (!element.isObject())
            continue;
        RepoMod mod = parseMod(element.toObject(), categoryNames, repository);
        mod.isTool = std::any_of(mod.categories.cbegin(), mod.categories.cend(), isToolCategory);
        catalog.append(std::move(mod));
        ++count;
    }
    return count;
}
