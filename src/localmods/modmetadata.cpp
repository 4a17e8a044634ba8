#include "localmods/modmetadata.h"

#include "localmods/modtranslations.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <algorithm>

namespace {

const QStringList &rootMarkers()
{
    static const QStringList names = {QStringLiteral("mod.lua"), QStringLiteral("mod.json"),
                                      QStringLiteral("metadata.json"), QStringLiteral("res")};
    return names;
}

const QStringList &metadataFiles()
{
    static const QStringList names = {QStringLiteral("mod.json"), QStringLiteral("metadata.json"),
                                      QStringLiteral("info.json"), QStringLiteral("modio.json"),
                                      QStringLiteral("mod.io.json")};
    return names;
}

QString cleanFolder(const QString &folder)
{
    return QDir::cleanPath(QDir::fromNativeSeparators(folder.trimmed()));
}

QString firstTrimmedString(const QJsonObject &object, const QStringList &keys)
{
    for (const QString &key : keys) {
        const QJsonValue value = object.value(key);
        if (!value.isString())
            continue;
        const QString text = value.toString().trimmed();
        if (!text.isEmpty())
            return text;
    }
    return QString();
}

QString firstTrimmedScalar(const QJsonObject &object, const QStringList &keys)
{
    for (const QString &key : keys) {
        const QString text = jsonScalarText(object.value(key)).trimmed();
        if (!text.isEmpty())
            return text;
    }
    return QString();
}

QString jsonFileName(const QJsonObject &object)
{
    static const QStringList topKeys = {QStringLiteral("name"), QStringLiteral("title"),
                                        QStringLiteral("displayName"), QStringLiteral("display_name"),
                                        QStringLiteral("mod_name")};
    static const QStringList nestedKeys = {QStringLiteral("name"), QStringLiteral("title"),
                                           QStringLiteral("display_name")};
    QString name = firstTrimmedString(object, topKeys);
    if (!name.isEmpty())
        return name;
    for (const QString &member : {QStringLiteral("profile"), QStringLiteral("metadata")}) {
        const QJsonValue nested = object.value(member);
        if (!nested.isObject())
            continue;
        name = firstTrimmedString(nested.toObject(), nestedKeys);
        if (!name.isEmpty())
            return name;
    }
    return QString();
}

QString jsonFileVersion(const QJsonObject &object)
{
    static const QStringList keys = {QStringLiteral("version"), QStringLiteral("version_string"),
                                     QStringLiteral("revision")};
    return firstTrimmedScalar(object, keys);
}

struct LuaName
{
    QString text;
    // The text is the key of a translation call, _("key"), as written, to be looked up in strings.lua.
    bool translated = false;
};

LuaName luaName(const QString &lua)
{
    // A name given through the translation function _("…") is the usual form; a plain string is the fallback.
    static const QRegularExpression translated(QStringLiteral(R"(\bname\s*=\s*_\(\s*["']([^"']+)["']\s*\))"));
    static const QRegularExpression plain(QStringLiteral(R"(\bname\s*=\s*["']([^"']+)["'])"));
    QRegularExpressionMatch match = translated.match(lua);
    if (match.hasMatch())
        return {match.captured(1), true};
    match = plain.match(lua);
    if (match.hasMatch())
        return {match.captured(1).trimmed(), false};
    return {};
}

// The text a translated name's key stands for in the strings.lua beside mod.lua, in the given language.
QString translatedName(const FolderListing &folder, const QString &key, const QString &language)
{
    const QString path = folder.filePath(QStringLiteral("strings.lua"));
    QByteArray data;
    if (path.isEmpty() || !readSmallFile(path, maxMetadataFileSize, &data))
        return key.trimmed();
    const QString text = translatedModText(parseModTranslations(data), key, language).trimmed();
    return text.isEmpty() ? key.trimmed() : text;
}

QString luaVersion(const QString &lua)
{
    static const QRegularExpression pattern(
        QStringLiteral(R"(\b(?:version|minorVersion)\s*=\s*["']?([0-9][0-9A-Za-z._-]*))"));
    const QRegularExpressionMatch match = pattern.match(lua);
    return match.hasMatch() ? match.captured(1) : QString();
}

bool isImageName(const QString &name)
{
    for (const QLatin1String suffix :
         {QLatin1String(".png"), QLatin1String(".jpg"), QLatin1String(".jpeg"), QLatin1String(".webp")}) {
        if (name.endsWith(suffix, Qt::CaseInsensitive))
            return true;
    }
    return false;
}

QString firstImageIn(const FolderListing &listing)
{
    for (const FolderEntry &entry : listing.entries()) {
        if (!entry.isDir && isImageName(entry.name)) {
            const QString path = listing.filePath(entry.name);
            if (!path.isEmpty())
                return path;
        }
    }
    return QString();
}

} // namespace

bool readSmallFile(const QString &path, qint64 maxSize, QByteArray *content)
{
    // Only regular files: opening a FIFO or device that happens to carry a metadata name would block the
    // scan or read without end.
    const QFileInfo info(path);
    if (!info.isFile() || info.size() > maxSize)
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    // Asking for the cap itself would reserve twice the cap for every small file; the size known from above
    // is enough unless the file grew since, and only then is the rest read up to the cap.
    QByteArray data = file.read(info.size() + 1);
    if (data.size() > info.size())
        data += file.read(maxSize + 1 - data.size());
    if (data.size() > maxSize || file.error() != QFileDevice::NoError)
        return false;
    if (content)
        *content = data;
    return true;
}

QString jsonScalarText(const QJsonValue &value)
{
    if (value.isString())
        return value.toString();
    if (!value.isDouble())
        return QString();
    const double number = value.toDouble();
    const qint64 integer = value.toInteger(0);
    if (integer != 0 || number == 0)
        return QString::number(integer);
    return QString::number(number, 'g', QLocale::FloatingPointShortest);
}

FolderListing::FolderListing(const QString &folder) : m_folder(cleanFolder(folder))
{
    if (m_folder.isEmpty())
        return;
    const QFileInfo info(m_folder);
    m_exists = info.isDir();
    if (!m_exists)
        return;
    QDirIterator it(m_folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    while (it.hasNext()) {
        const QFileInfo entryInfo = it.nextFileInfo();
        // Only folders and regular files are of interest; sockets, FIFOs and devices are left out.
        if (!entryInfo.isDir() && !entryInfo.isFile())
            continue;
        m_entries.append(FolderEntry{entryInfo.fileName(), entryInfo.isDir()});
    }
    std::sort(m_entries.begin(), m_entries.end(), [](const FolderEntry &a, const FolderEntry &b) {
        const int folded = a.name.compare(b.name, Qt::CaseInsensitive);
        return folded != 0 ? folded < 0 : a.name < b.name;
    });
}

const FolderEntry *FolderListing::find(const QString &name, bool wantDir, bool anyKind) const
{
    const FolderEntry *folded = nullptr;
    for (const FolderEntry &entry : m_entries) {
        if (!anyKind && entry.isDir != wantDir)
            continue;
        if (entry.name == name)
            return &entry;
        if (!folded && entry.name.compare(name, Qt::CaseInsensitive) == 0)
            folded = &entry;
    }
    return folded;
}

QString FolderListing::filePath(const QString &name) const
{
    const FolderEntry *entry = find(name, false, false);
    return entry ? childPath(entry->name) : QString();
}

QString FolderListing::dirPath(const QString &name) const
{
    const FolderEntry *entry = find(name, true, false);
    return entry ? childPath(entry->name) : QString();
}

bool FolderListing::hasEntry(const QString &name) const
{
    return find(name, false, true) != nullptr;
}

QStringList FolderListing::subFolderPaths() const
{
    QStringList paths;
    for (const FolderEntry &entry : m_entries) {
        if (entry.isDir)
            paths.append(childPath(entry.name));
    }
    return paths;
}

QString FolderListing::childPath(const QString &name) const
{
    if (m_folder.endsWith(QLatin1Char('/')))
        return m_folder + name;
    return m_folder + QLatin1Char('/') + name;
}

bool isModRoot(const FolderListing &folder)
{
    for (const QString &name : rootMarkers()) {
        if (folder.hasEntry(name))
            return true;
    }
    return false;
}

bool isModRoot(const QString &folder)
{
    return isModRoot(FolderListing(folder));
}

FolderListing findModRootListing(const FolderListing &folder)
{
    if (isModRoot(folder))
        return folder;
    QList<FolderListing> children;
    for (const QString &child : folder.subFolderPaths()) {
        FolderListing listing(child);
        if (isModRoot(listing))
            return listing;
        children.append(listing);
    }
    for (const FolderListing &child : std::as_const(children)) {
        for (const QString &grandChild : child.subFolderPaths()) {
            FolderListing listing(grandChild);
            if (isModRoot(listing))
                return listing;
        }
    }
    return folder;
}

QString findModRoot(const QString &folder)
{
    return findModRootListing(FolderListing(folder)).folder();
}

FolderMetadata readFolderMetadata(const FolderListing &folder, const QString &language)
{
    FolderMetadata metadata;
    for (const QString &fileName : metadataFiles()) {
        if (!metadata.name.isEmpty() && !metadata.version.isEmpty())
            break;
        const QString path = folder.filePath(fileName);
        QByteArray data;
        if (path.isEmpty() || !readSmallFile(path, maxMetadataFileSize, &data))
            continue;
        const QJsonDocument document = QJsonDocument::fromJson(data);
        if (!document.isObject())
            continue;
        const QJsonObject object = document.object();
        if (metadata.name.isEmpty())
            metadata.name = jsonFileName(object);
        if (metadata.version.isEmpty())
            metadata.version = jsonFileVersion(object);
    }
    if (!metadata.name.isEmpty() && !metadata.version.isEmpty())
        return metadata;
    const QString luaPath = folder.filePath(QStringLiteral("mod.lua"));
    QByteArray data;
    if (luaPath.isEmpty() || !readSmallFile(luaPath, maxMetadataFileSize, &data))
        return metadata;
    const QString lua = QString::fromUtf8(data);
    if (metadata.name.isEmpty()) {
        const LuaName name = luaName(lua);
        metadata.name = name.translated ? translatedName(folder, name.text, language) : name.text;
    }
    if (metadata.version.isEmpty())
        metadata.version = luaVersion(lua);
    return metadata;
}

QString metadataName(const QString &folder, const QString &language)
{
    return readFolderMetadata(FolderListing(folder), language).name;
}

QString metadataVersion(const QString &folder)
{
    return readFolderMetadata(FolderListing(folder), QString()).version;
}

QString localPreviewFile(const FolderListing &folder)
{
    static const QStringList names = {QStringLiteral("preview.png"),   QStringLiteral("preview.jpg"),
                                      QStringLiteral("preview.jpeg"),  QStringLiteral("thumbnail.png"),
                                      QStringLiteral("thumbnail.jpg"), QStringLiteral("thumbnail.jpeg"),
                                      QStringLiteral("image.png"),     QStringLiteral("image.jpg"),
                                      QStringLiteral("mod.png"),       QStringLiteral("logo.png")};
    for (const QString &name : names) {
        const QString path = folder.filePath(name);
        if (!path.isEmpty())
            return path;
    }
    for (const QString &sub :
         {QStringLiteral("images"), QStringLiteral("screenshots"), QStringLiteral("preview")}) {
        const QString subPath = folder.dirPath(sub);
        if (subPath.isEmpty())
            continue;
        const QString image = firstImageIn(FolderListing(subPath));
        if (!image.isEmpty())
            return image;
    }
    return firstImageIn(folder);
}

QString localPreviewFile(const QString &folder)
{
    return localPreviewFile(FolderListing(folder));
}
