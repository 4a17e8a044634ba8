#pragma once

#include <QDateTime>
#include <QString>

struct FileOperationHooks;

// The preview images on disk. Two kinds of file live in the preview cache folder:
// - one per image address, "<sha-256 of the address>.png", trusted for a week (image hosts replace pictures
//   under the same address now and then);
// - one per mod.io mod below "modio/", "<mod id>_<date of the mod's last update>.png", trusted until the mod
//   changes, so that a long list of logos is not fetched again every week.

// A URL cache file modified this many seconds ago or earlier is stale.
inline constexpr qint64 previewUrlCacheMaxAgeSeconds = 604801;

// "preview-cache" in the application's cache folder (its local data folder when there is none).
QString previewCacheDirectory();
QString previewUrlCacheFile(const QString &directory, const QString &url);
// Whether the file exists and was modified less than a week before now.
bool previewUrlCacheFileFresh(const QString &path, const QDateTime &now);

// The mod id reduced to letters, digits, '_' and '-'; empty when nothing is left.
QString modIoPreviewKey(const QString &modId);
// "<directory>/modio/<key>_<dateUpdated or 'current'>.png"; empty when the id gives no key.
QString modIoPreviewFile(const QString &directory, const QString &modId, qint64 dateUpdated);
// Removes every per-mod file of the mod, whatever its date; returns how many were removed.
int removeModIoPreviewFiles(const QString &directory, const QString &modId);

// Only web addresses are fetched: a preview address comes from a repository or from mod.io, and must not
// make the program read local files or network shares.
bool isFetchablePreviewUrl(const QString &url);
bool isWebpPreviewUrl(const QString &url);

struct PreviewCacheUsage
{
    int files = 0;
    qint64 bytes = 0;
};
PreviewCacheUsage previewCacheUsage(const QString &directory);
QString previewCacheInfoText(const PreviewCacheUsage &usage);
// Removes the folder with everything in it and creates it again empty; false when something stayed.
bool clearPreviewCacheDirectory(const QString &directory, const FileOperationHooks &hooks);
