#pragma once

#include <QString>

// One installed mod folder as the scan found it. Kept by value in scan order; everything the installed-mods
// page, the catalog status and the updates page know about a local mod is in here.
struct LocalMod
{
    QString folderName;    // last path component of path
    QString name;          // never empty after a scan: falls back to folderName
    QString path;          // absolute path of the mod folder
    QString contentRoot;   // folder holding mod.lua and metadata; path unless the mod is nested deeper
    QString version;       // shown to the user and compared for updates
    QString filesVersion;  // declared by the mod's own files
    QString markerVersion; // recorded in the install marker at installation time
    QString source;        // label of the scanned folder: manual, "mod.io" or custom
    QString previewFile;   // local preview image, may be empty
    QString previewUrl;    // remote preview image, may be empty
    QString modioId;
    QString repoEntryId; // catalog entry it was installed from or linked to
    QString repositoryName;
    QString repositoryUrl;          // document URL of that repository
    bool versionFromMarker = false; // version currently comes from the marker, not from the files
};

// Copies in the mod.io folder are managed by the game's Mod Hub; the manager never overwrites them.
inline bool isModIoSource(const QString &source)
{
    return source.contains(QLatin1String("mod.io"), Qt::CaseInsensitive);
}

inline bool isModIoCopy(const LocalMod &mod)
{
    return isModIoSource(mod.source);
}
