#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// One configured repository. Persisted as "name", "json_url", "base_url", "website_url", "enabled";
// builtIn is never stored.
struct RepositoryConfig
{
    QString name;
    QString jsonUrl;
    QString baseUrl;
    QString websiteUrl;
    bool enabled = true;
    bool builtIn = false;
};

// One required mod of a catalog entry.
struct RepoDependency
{
    QString source; // "webdisk", "url" or what the repository wrote, lower case
    QString id;
    QString name;
    QString minVersion;
    QString entryUrl;
    QString downloadUrl;
    QString fileName;
    QString repositoryUrl;
};

// One archive volume of a multi-volume download.
struct RepoModPart
{
    QString url;
    QString fileName;
    QString sha256;
    int index = 0;
};

// One catalog entry.
struct RepoMod
{
    QString id;
    QString name;
    QString author;
    QString version;
    QString description;
    QString entryUrl;
    QString downloadUrl;
    QString fileName;
    QString sha256;
    QString previewUrl;
    QString modioId;
    QStringList categories;
    QStringList tags;
    QString repositoryName;
    QString repositoryJsonUrl;
    QString repositoryBaseUrl;
    QString repositoryWebsiteUrl;
    QList<RepoModPart> parts;
    QList<RepoDependency> dependencies;
    bool isTool = false;
};
