#include "localmods/modiostate.h"

#include "catalog/jsonvalues.h"
#include "localmods/modmetadata.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSet>

namespace {

// The client's state file lists every subscribed mod; it can grow large but never to this size.
constexpr qint64 maxStateFileSize = 64 * 1024 * 1024;
constexpr int maxWalkDepth = 14;
constexpr int maxSearchDepth = 8;

const QStringList &stateFileNames()
{
    static const QStringList names = {QStringLiteral("state.json"), QStringLiteral("State.json")};
    return names;
}

void walk(const QJsonValue &value, int depth, QHash<QString, QJsonObject> *table)
{
    if (depth > maxWalkDepth)
        return;
    if (value.isObject()) {
        const QJsonObject object = value.toObject();
        const QString id = modIoStateId(object);
        if (!id.isEmpty() && !table->contains(id))
            table->insert(id, object);
        for (auto it = object.constBegin(); it != object.constEnd(); ++it) {
            if (it.value().isObject() || it.value().isArray())
                walk(it.value(), depth + 1, table);
        }
    } else if (value.isArray()) {
        const QJsonArray array = value.toArray();
        for (const QJsonValue &element : array) {
            if (element.isObject() || element.isArray())
                walk(element, depth + 1, table);
        }
    }
}

bool find(const QJsonValue &value, const QString &modId, int depth, QJsonObject *found)
{
    if (depth > maxWalkDepth)
        return false;
    if (value.isObject()) {
        const QJsonObject object = value.toObject();
        if (modIoStateId(object) == modId) {
            *found = object;
            return true;
        }
        for (auto it = object.constBegin(); it != object.constEnd(); ++it) {
            if ((it.value().isObject() || it.value().isArray()) && find(it.value(), modId, depth + 1, found))
                return true;
        }
    } else if (value.isArray()) {
        const QJsonArray array = value.toArray();
        for (const QJsonValue &element : array) {
            if ((element.isObject() || element.isArray()) && find(element, modId, depth + 1, found))
                return true;
        }
    }
    return false;
}

const QStringList &preferredMembers()
{
    static const QStringList members = {QStringLiteral("profile"),  QStringLiteral("Profile"),
                                        QStringLiteral("mod"),      QStringLiteral("Mod"),
                                        QStringLiteral("metadata"), QStringLiteral("Metadata"),
                                        QStringLiteral("logo"),     QStringLiteral("Logo")};
    return members;
}

QString search(const QJsonValue &value, const QStringList &keys, int depth)
{
    if (depth > maxSearchDepth)
        return QString();
    if (value.isArray()) {
        const QJsonArray array = value.toArray();
        for (const QJsonValue &element : array) {
            const QString text = search(element, keys, depth + 1);
            if (!text.isEmpty())
                return text;
        }
        return QString();
    }
    if (!value.isObject())
        return QString();
    const QJsonObject object = value.toObject();
    for (const QString &key : keys) {
        const QJsonValue member = object.value(key);
        if (member.isString() || member.isDouble()) {
            const QString text = jsonScalarText(member).trimmed();
            if (!text.isEmpty())
                return text;
        }
    }
    for (const QString &name : preferredMembers()) {
        const auto it = object.constFind(name);
        if (it == object.constEnd())
            continue;
        const QString text = search(it.value(), keys, depth + 1);
        if (!text.isEmpty())
            return text;
    }
    for (auto it = object.constBegin(); it != object.constEnd(); ++it) {
        // The preferred members were searched already and found nothing; searching them again cannot
        // change the result.
        if (preferredMembers().contains(it.key()))
            continue;
        if (it.value().isObject() || it.value().isArray()) {
            const QString text = search(it.value(), keys, depth + 1);
            if (!text.isEmpty())
                return text;
        }
    }
    return QString();
}

bool readJsonContainer(const QString &path, QJsonValue *value)
{
    QByteArray data;
    if (path.isEmpty() || !readSmallFile(path, maxStateFileSize, &data))
        return false;
    const QJsonDocument document = QJsonDocument::fromJson(data);
    if (document.isObject())
        *value = document.object();
    else if (document.isArray())
        *value = document.array();
    else
        return false;
    return true;
}

bool startsWithHttp(const QString &text)
{
    return text.startsWith(QLatin1String("http://"), Qt::CaseInsensitive) ||
           text.startsWith(QLatin1String("https://"), Qt::CaseInsensitive);
}

} // namespace

QString modIoStateId(const QJsonObject &object)
{
    static const QStringList keys = {QStringLiteral("ID"),    QStringLiteral("id"),
                                     QStringLiteral("modId"), QStringLiteral("mod_id"),
                                     QStringLiteral("ModId"), QStringLiteral("modID")};
    return firstJsonTextTrimmed(object, keys);
}

void collectModIoStateObjects(const QJsonValue &value, QHash<QString, QJsonObject> *table)
{
    if (table)
        walk(value, 1, table);
}

QJsonObject findModIoStateObject(const QJsonValue &value, const QString &modId)
{
    QJsonObject found;
    if (!modId.isEmpty())
        find(value, modId, 1, &found);
    return found;
}

QString deepJsonText(const QJsonValue &value, const QStringList &keys)
{
    return search(value, keys, 0);
}

QHash<QString, QJsonObject> readModIoStateTable(const QString &modsFolder)
{
    QHash<QString, QJsonObject> table;
    const QString folder = QDir::cleanPath(QDir::fromNativeSeparators(modsFolder.trimmed()));
    if (folder.isEmpty())
        return table;
    const FolderListing parent(QDir::cleanPath(folder + QStringLiteral("/..")));
    const QString metadataDir = parent.dirPath(QStringLiteral("metadata"));
    const FolderListing metadata = metadataDir.isEmpty() ? FolderListing() : FolderListing(metadataDir);
    // Where letter case does not matter the two spellings name the same file; it is read only once.
    QSet<QString> read;
    for (const FolderListing *listing : {&metadata, &parent}) {
        for (const QString &name : stateFileNames()) {
            const QString path = listing->filePath(name);
            if (path.isEmpty() || read.contains(path.toLower()))
                continue;
            read.insert(path.toLower());
            QJsonValue root;
            if (readJsonContainer(path, &root))
                collectModIoStateObjects(root, &table);
        }
    }
    return table;
}

QJsonObject readOwnModIoState(const FolderListing &modFolder, const QString &modId)
{
    QSet<QString> read;
    for (const QString &name : stateFileNames()) {
        const QString path = modFolder.filePath(name);
        if (path.isEmpty() || read.contains(path.toLower()))
            continue;
        read.insert(path.toLower());
        QJsonValue root;
        if (!readJsonContainer(path, &root))
            continue;
        const QJsonObject found = findModIoStateObject(root, modId);
        if (!found.isEmpty())
            return found;
    }
    return QJsonObject();
}

void applyModIoState(LocalMod &mod, const QJsonObject &state)
{
    static const QStringList nameKeys = {QStringLiteral("name"),        QStringLiteral("Name"),
                                         QStringLiteral("title"),       QStringLiteral("Title"),
                                         QStringLiteral("displayName"), QStringLiteral("display_name"),
                                         QStringLiteral("modName"),     QStringLiteral("mod_name")};
    static const QStringList versionKeys = {QStringLiteral("version"), QStringLiteral("Version"),
                                            QStringLiteral("versionString"),
                                            QStringLiteral("version_string")};
    static const QStringList previewKeys = {QStringLiteral("thumb_1280x720"),
                                            QStringLiteral("thumb_640x360"),
                                            QStringLiteral("thumb_320x180"),
                                            QStringLiteral("thumb_1280x720_url"),
                                            QStringLiteral("thumb_640x360_url"),
                                            QStringLiteral("thumb_320x180_url"),
                                            QStringLiteral("image"),
                                            QStringLiteral("imageUrl"),
                                            QStringLiteral("image_url"),
                                            QStringLiteral("logoUrl"),
                                            QStringLiteral("logo_url")};

    const QString name = deepJsonText(state, nameKeys);
    if (!name.isEmpty() && (mod.name.isEmpty() || mod.name == mod.folderName || mod.name == mod.modioId))
        mod.name = name;
    const QString version = deepJsonText(state, versionKeys);
    if (!version.isEmpty())
        mod.version = version;
    const QString preview = deepJsonText(state, previewKeys);
    if (startsWithHttp(preview))
        mod.previewUrl = preview;
}

QString modIoStateFileId(const QJsonObject &state)
{
    static const QStringList keys = {QStringLiteral("modfile_id"),      QStringLiteral("modfileId"),
                                     QStringLiteral("file_id"),         QStringLiteral("fileId"),
                                     QStringLiteral("current_file_id"), QStringLiteral("currentFileId")};
    const QString fileId = deepJsonText(state, keys);
    if (!fileId.isEmpty())
        return fileId;
    for (const QString &member :
         {QStringLiteral("modfile"), QStringLiteral("current_modfile"), QStringLiteral("file")}) {
        const QJsonValue file = state.value(member);
        if (!file.isObject())
            continue;
        const QString id = jsonScalarText(file.toObject().value(QStringLiteral("id"))).trimmed();
        if (!id.isEmpty())
            return id;
    }
    return QString();
}
