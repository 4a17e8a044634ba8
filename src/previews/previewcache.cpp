#include "previews/previewcache.h"

#include "install/fileoperations.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QUrl>

QString previewCacheDirectory()
{
    QString base = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    if (base.trimmed().isEmpty())
        base = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
    return base + QStringLiteral("/preview-cache");
}

QString previewUrlCacheFile(const QString &directory, const QString &url)
{
    const QByteArray hash = QCryptographicHash::hash(url.toUtf8(), QCryptographicHash::Sha256).toHex();
    return directory + QLatin1Char('/') + QString::fromLatin1(hash) + QStringLiteral(".png");
}

bool previewUrlCacheFileFresh(const QString &path, const QDateTime &now)
{
    const QFileInfo info(path);
    return info.isFile() && info.lastModified().secsTo(now) < previewUrlCacheMaxAgeSeconds;
}

QString modIoPreviewKey(const QString &modId)
{
    static const QRegularExpression unsafe(QStringLiteral("[^A-Za-z0-9_-]"));
    return modId.trimmed().remove(unsafe);
}

QString modIoPreviewFile(const QString &directory, const QString &modId, qint64 dateUpdated)
{
    const QString key = modIoPreviewKey(modId);
    if (key.isEmpty())
        return {};
    const QString stamp = dateUpdated >= 1 ? QString::number(dateUpdated) : QStringLiteral("current");
    return QStringLiteral("%1/modio/%2_%3.png").arg(directory, key, stamp);
}

int removeModIoPreviewFiles(const QString &directory, const QString &modId)
{
    const QString key = modIoPreviewKey(modId);
    if (key.isEmpty())
        return 0;
    // Only "<key>_<stamp>.png": the files of mod "12" must not take those of mod "12_3" with them.
    const QRegularExpression ownFile(
        QStringLiteral("^%1_(\\d+|current)\\.png$").arg(QRegularExpression::escape(key)));
    QDir folder(directory + QStringLiteral("/modio"));
    int removed = 0;
    for (const QString &name : folder.entryList({key + QStringLiteral("_*.png")}, QDir::Files)) {
        if (ownFile.match(name).hasMatch() && folder.remove(name))
            ++removed;
    }
    return removed;
}

bool isFetchablePreviewUrl(const QString &url)
{
    const QUrl parsed(url.trimmed(), QUrl::TolerantMode);
    const QString scheme = parsed.scheme().toLower();
    return parsed.isValid() && (scheme == QLatin1String("http") || scheme == QLatin1String("https")) &&
           !parsed.host().isEmpty();
}

bool isWebpPreviewUrl(const QString &url)
{
    return QUrl(url.trimmed(), QUrl::TolerantMode)
        .path()
        .endsWith(QLatin1String(".webp"), Qt::CaseInsensitive);
}

PreviewCacheUsage previewCacheUsage(const QString &directory)
{
    PreviewCacheUsage usage;
    QDirIterator files(directory, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        files.next();
        ++usage.files;
        usage.bytes += files.fileInfo().size();
    }
    return usage;
}

QString previewCacheInfoText(const PreviewCacheUsage &usage)
{
    return QCoreApplication::translate("MainWindow",
                                       "Vorschaubild-Cache: %1 Bilder, %2 MiB – URL-Cache 7 "
                                       "Tage; mod.io-Bilder werden bei einer Mod-Aktualisierung "
                                       "erneuert")
        .arg(usage.files)
        .arg(double(usage.bytes) / 1048576.0, 0, 'f', 1);
}

bool clearPreviewCacheDirectory(const QString &directory, const FileOperationHooks &hooks)
{
    const bool removed = removeDirectoryTreeOnce(directory, nullptr, hooks);
    const bool created = QDir().mkpath(directory);
    return removed && created;
}
