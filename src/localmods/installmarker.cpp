#include "localmods/installmarker.h"

#include "catalog/versions.h"
#include "localmods/modmetadata.h"

#include <QCoreApplication>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>

namespace {

// Markers are a few hundred bytes; the limit only keeps a stray huge file from being read.
constexpr qint64 maxMarkerSize = 1024 * 1024;
constexpr qint64 maxFileIdFileSize = 4096;

QString markerPath(const QString &folder)
{
    return QDir(folder).filePath(installMarkerFileName());
}

// Text of a member that may also be given as a number.
QString markerText(const QJsonObject &marker, const QString &key)
{
    return jsonScalarText(marker.value(key)).trimmed();
}

// Text of a member that must be a string; anything else reads as empty.
QString markerString(const QJsonObject &marker, const QString &key)
{
    const QJsonValue value = marker.value(key);
    return value.isString() ? value.toString().trimmed() : QString();
}

bool saveWhole(const QString &path, const QByteArray &content, QString *error)
{
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(content) == content.size() && file.commit())
        return true;
    if (error)
        *error = QCoreApplication::translate("MainWindow", "Die Datei %1 konnte nicht geschrieben werden: %2")
                     .arg(QDir::toNativeSeparators(path), file.errorString());
    file.cancelWriting();
    return false;
}

} // namespace

QString installMarkerFileName()
{
    return QStringLiteral(".fx3modmanager.json");
}

QString modIoFileIdFileName()
{
    return QStringLiteral("mod.io_fileid.txt");
}

QJsonObject repositoryInstallMarker(const RepoMod &mod, const QString &contentVersion)
{
    QJsonObject marker;
    marker.insert(QStringLiteral("repo_entry_id"), mod.id);
    marker.insert(QStringLiteral("name"), mod.name);
    marker.insert(QStringLiteral("version"), mod.version);
    const QString content = contentVersion.trimmed();
    if (!content.isEmpty())
        marker.insert(QStringLiteral("content_version"), content);
    marker.insert(QStringLiteral("archive_filename"), mod.fileName);
    marker.insert(QStringLiteral("source"), mod.repositoryName);
    marker.insert(QStringLiteral("repository_name"), mod.repositoryName);
    marker.insert(QStringLiteral("repository_url"), mod.repositoryJsonUrl);
    if (mod.parts.size() >= 2) {
        QJsonArray volumes;
        for (const RepoModPart &part : mod.parts)
            volumes.append(part.fileName);
        marker.insert(QStringLiteral("archive_volumes"), volumes);
    }
    return marker;
}

QJsonObject modIoInstallMarker(const ModIoMarkerInfo &info)
{
    QJsonObject marker;
    marker.insert(QStringLiteral("source"), QStringLiteral("mod.io"));
    marker.insert(QStringLiteral("name"), info.name);
    marker.insert(QStringLiteral("version"), info.version);
    marker.insert(QStringLiteral("modio_id"), info.modioId);
    marker.insert(QStringLiteral("modio_file_id"), info.fileId);
    marker.insert(QStringLiteral("profile_url"), info.profileUrl);
    marker.insert(QStringLiteral("preview_url"), info.previewUrl);
    return marker;
}

bool writeInstallMarker(const QString &folder, const QJsonObject &marker, QString *error)
{
    return saveWhole(markerPath(folder), QJsonDocument(marker).toJson(QJsonDocument::Indented), error);
}

std::optional<QJsonObject> readInstallMarker(const QString &folder)
{
    return readInstallMarkerFile(markerPath(folder));
}

std::optional<QJsonObject> readInstallMarkerFile(const QString &filePath)
{
    QByteArray data;
    if (filePath.isEmpty() || !readSmallFile(filePath, maxMarkerSize, &data))
        return std::nullopt;
    const QJsonDocument document = QJsonDocument::fromJson(data);
    if (!document.isObject())
        return std::nullopt;
    return document.object();
}

bool writeModIoFileIdFile(const QString &folder, const QString &fileId, QString *error)
{
    return saveWhole(QDir(folder).filePath(modIoFileIdFileName()), fileId.trimmed().toUtf8() + '\n', error);
}

QString readModIoFileIdFile(const QString &folder)
{
    return readModIoFileIdText(QDir(folder).filePath(modIoFileIdFileName()));
}

QString readModIoFileIdText(const QString &filePath)
{
    QByteArray data;
    if (filePath.isEmpty() || !readSmallFile(filePath, maxFileIdFileSize, &data))
        return QString();
    return QString::fromUtf8(data).trimmed();
}

QString markerModIoFileId(const QJsonObject &marker)
{
    return markerString(marker, QStringLiteral("modio_file_id"));
}

void applyInstallMarker(LocalMod &mod, const QJsonObject &marker, MarkerUse use)
{
    mod.repoEntryId = markerText(marker, QStringLiteral("repo_entry_id"));
    const QJsonValue repositoryName = marker.value(QStringLiteral("repository_name"));
    const QJsonValue source = marker.value(QStringLiteral("source"));
    if (repositoryName.isString())
        mod.repositoryName = repositoryName.toString().trimmed();
    else if (source.isString())
        mod.repositoryName = source.toString().trimmed();
    else
        mod.repositoryName.clear();
    mod.repositoryUrl = markerString(marker, QStringLiteral("repository_url"));

    if (use == MarkerUse::Scan) {
        const QString name = markerString(marker, QStringLiteral("name"));
        if (!name.isEmpty() && (mod.name.isEmpty() || mod.name == mod.folderName))
            mod.name = name;
    }

    const QString version = markerText(marker, QStringLiteral("version"));
    if (!version.isEmpty()) {
        mod.markerVersion = version;
        mod.version = version;
        mod.versionFromMarker = true;
    }
    // The catalog writes versions its own way ("1.2" where the files say "1.2.0"), so the marker's form is
    // shown while the files still declare what was installed, and the files' own version once they changed.
    const QString contentVersion = markerText(marker, QStringLiteral("content_version"));
    if (!contentVersion.isEmpty() && compareVersions(contentVersion, mod.filesVersion) != 0) {
        mod.version = mod.filesVersion;
        mod.versionFromMarker = false;
    }

    if (use == MarkerUse::Scan) {
        const QString modioId = markerText(marker, QStringLiteral("modio_id"));
        if (!modioId.isEmpty())
            mod.modioId = modioId;
        const QString previewUrl = markerString(marker, QStringLiteral("preview_url"));
        if (!previewUrl.isEmpty() && mod.previewUrl.isEmpty())
            mod.previewUrl = previewUrl;
    }
}
