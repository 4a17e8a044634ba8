#pragma once

#include "catalog/repomod.h"
#include "localmods/localmod.h"

#include <QJsonObject>
#include <QString>

#include <optional>

// The install marker ".fx3modmanager.json" in the top level of every mod folder the manager installs. It
// records where the mod came from and which version was installed, so a later scan can tie the folder to its
// catalog entry even when folder and mod name say nothing, and can notice when the mod's files were replaced
// after the installation.

QString installMarkerFileName();
// "mod.io_fileid.txt", written beside the marker of a mod.io installation.
QString modIoFileIdFileName();

// The marker of an installation from a repository. contentVersion is the version the installed files
// declare; it is left out when empty. "archive_volumes" is written only for downloads of two or more volumes.
QJsonObject repositoryInstallMarker(const RepoMod &mod, const QString &contentVersion);

struct ModIoMarkerInfo
{
    QString name;
    QString version;
    QString modioId;
    QString fileId;
    QString profileUrl;
    QString previewUrl;
};
QJsonObject modIoInstallMarker(const ModIoMarkerInfo &info);

// Writes the marker into folder, indented UTF-8 JSON. The file is replaced as a whole or not at all, so an
// interrupted write never leaves a truncated marker that would make the folder look unmanaged.
bool writeInstallMarker(const QString &folder, const QJsonObject &marker, QString *error = nullptr);
// The marker of folder; nothing when the file is missing, unreadable or not a JSON object.
std::optional<QJsonObject> readInstallMarker(const QString &folder);
// The same for a marker file whose path is already known.
std::optional<QJsonObject> readInstallMarkerFile(const QString &filePath);

// Writes the file id followed by a line break into "mod.io_fileid.txt".
bool writeModIoFileIdFile(const QString &folder, const QString &fileId, QString *error = nullptr);
// The trimmed content of "mod.io_fileid.txt" in folder, or empty.
QString readModIoFileIdFile(const QString &folder);
// The same for a file whose path is already known.
QString readModIoFileIdText(const QString &filePath);
// The marker's "modio_file_id", trimmed, or empty.
QString markerModIoFileId(const QJsonObject &marker);

enum class MarkerUse
{
    // The scan takes everything the marker knows.
    Scan,
    // The direct look for an installed copy of a catalog entry takes only origin and version.
    InstalledCopy,
};

// Applies a marker to a record whose name, folderName and filesVersion are already read from the mod's own
// files. The marker's version is shown unless its "content_version" says the files changed since.
void applyInstallMarker(LocalMod &mod, const QJsonObject &marker, MarkerUse use = MarkerUse::Scan);
