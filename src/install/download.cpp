#include "install/download.h"

#include "app/settings.h"
#include "install/archivevolumes.h"
#include "install/installer.h"
#include "install/requestconventions.h"
#include "localmods/installmarker.h"
#include "localmods/modmetadata.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryFile>
#include <QTimer>

#include <algorithm>

namespace {

constexpr int cancelPollIntervalMs = 100;
// The same limit Qt applies to the redirects it follows itself.
constexpr int maxRedirects = 50;
// Enough for every signature that is sniffed.
constexpr int headSize = 8;

QString tr(const char *text)
{
    return QCoreApplication::translate("MainWindow", text);
}

QString unknownFileText()
{
    return tr("unbekannte Datei");
}

QString volumeDisplayName(const RepoModPart &volume)
{
    const QString name = cleanDownloadFileName(volume.fileName);
    return name.isEmpty() ? unknownFileText() : name;
}

bool isWindowsDeviceName(const QString &name)
{
    static const QRegularExpression device(
        QStringLiteral("^(?:con|prn|aux|nul|com[0-9]|lpt[0-9])(?:\\..*)?$"),
        QRegularExpression::CaseInsensitiveOption);
    return device.match(name).hasMatch();
}

bool isForbiddenNameCharacter(QChar c)
{
    switch (c.unicode()) {
    case u'<':
    case u'>':
    case u':':
    case u'"':
    case u'|':
    case u'?':
    case u'*':
        return true;
    default:
        break;
    }
    // Format characters include the direction overrides that make "gpj.exe" display as "exe.jpg".
    return c.category() == QChar::Other_Control || c.category() == QChar::Other_Format;
}

// Waits for reply in a local event loop; true when the player cancelled and the reply was aborted.
bool awaitReply(QNetworkReply *reply, const DownloadCallbacks &callbacks)
{
    QEventLoop loop;
    bool cancelled = false;
    auto checkCancel = [&] {
        if (!cancelled && !reply->isFinished() && callbacks.isCancelled && callbacks.isCancelled()) {
            cancelled = true;
            reply->abort();
        }
    };
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QObject::connect(reply, &QNetworkReply::downloadProgress, &loop, checkCancel);
    QTimer poll;
    poll.setInterval(cancelPollIntervalMs);
    QObject::connect(&poll, &QTimer::timeout, &loop, checkCancel);
    checkCancel();
    if (!reply->isFinished()) {
        poll.start();
        loop.exec();
    }
    return cancelled;
}

int httpStatusOf(const QNetworkReply *reply)
{
    return reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
}

int effectivePort(const QUrl &url)
{
    return url.port(url.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0 ? 443 : 80);
}

bool sameOrigin(const QUrl &a, const QUrl &b)
{
    return a.scheme().compare(b.scheme(), Qt::CaseInsensitive) == 0 &&
           a.host().compare(b.host(), Qt::CaseInsensitive) == 0 && effectivePort(a) == effectivePort(b);
}

bool isHttpScheme(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    return scheme == QLatin1String("http") || scheme == QLatin1String("https");
}

QString checksumMismatchText(const QString &fileName, const QString &expected, const QString &received)
{
    return tr("Die Prüfsumme von %1 stimmt nicht mit dem Repository überein.\n\n"
              "Erwartet: %2\nErhalten: %3\n\n"
              "Die Datei wurde aus Sicherheitsgründen nicht installiert.")
        .arg(fileName, expected, received);
}

// One volume on its way to disk: the body is written to a staging file while it arrives, so even large
// archives never sit in memory, and it gets its final name only once it is complete and checked. Qt's SHA-256
// is slower than a fast line, so the sum is only computed for volumes that declare one.
class VolumeSink
{
public:
    VolumeSink(const QString &folder, bool computeSha256)
        : m_computeSha256(computeSha256),
          m_file(QDir(folder).filePath(QStringLiteral("fx3-download-XXXXXX.part")))
    {
        m_open = m_file.open();
        // The file is renamed to its final name below; it must not be removed behind that name later.
        m_file.setAutoRemove(false);
    }
    ~VolumeSink()
    {
        if (!m_committed)
            QFile::remove(m_file.fileName());
    }
    VolumeSink(const VolumeSink &) = delete;
    VolumeSink &operator=(const VolumeSink &) = delete;

    bool isOpen() const { return m_open; }
    bool writeFailed() const { return m_writeFailed; }
    qint64 size() const { return m_size; }
    QByteArray head() const { return m_head; }
    QString sha256() const { return QString::fromLatin1(m_hash.result().toHex()); }

    bool append(const QByteArray &chunk)
    {
        if (m_writeFailed || chunk.isEmpty())
            return !m_writeFailed;
        if (m_head.size() < headSize)
            m_head += chunk.left(headSize - m_head.size());
        if (m_computeSha256)
            m_hash.addData(chunk);
        m_size += chunk.size();
        if (m_file.write(chunk) != chunk.size())
            m_writeFailed = true;
        return !m_writeFailed;
    }

    bool commit(const QString &targetPath)
    {
        if (!m_file.flush()) {
            m_writeFailed = true;
            return false;
        }
        m_file.close();
        if (QFileInfo(targetPath).isFile() && !QFile::remove(targetPath))
            return false;
        if (!QFile::rename(m_file.fileName(), targetPath))
            return false;
        m_committed = true;
        return true;
    }

private:
    bool m_computeSha256 = false;
    QTemporaryFile m_file;
    QCryptographicHash m_hash{QCryptographicHash::Sha256};
    QByteArray m_head;
    qint64 m_size = 0;
    bool m_open = false;
    bool m_writeFailed = false;
    bool m_committed = false;
};

} // namespace

QString networkErrorText(const QNetworkReply *reply)
{
    // Qt ends a request whose transfer time-out ran out as if it had been cancelled; the player did not
    // cancel anything, and "Operation canceled" would say so.
    const int timeout = reply->request().transferTimeout();
    if (reply->error() == QNetworkReply::OperationCanceledError && timeout > 0)
        return tr("Zeitüberschreitung: Der Server hat %1 Sekunden lang keine Daten gesendet.")
            .arg(qMax(1, (timeout + 999) / 1000));
    return reply->errorString();
}

QString cleanDownloadFileName(const QString &candidate)
{
    QString name = candidate;
    const qsizetype cut = qMax(name.lastIndexOf(u'/'), name.lastIndexOf(u'\\'));
    if (cut >= 0)
        name = name.mid(cut + 1);
    for (QChar &c : name) {
        if (isForbiddenNameCharacter(c))
            c = u'_';
    }
    name = name.trimmed();
    // "." and ".." end here as well: Windows would silently strip the dots and land on the folder itself.
    while (name.endsWith(u'.') || name.endsWith(u' '))
        name.chop(1);
    if (name.isEmpty())
        return {};
    if (isWindowsDeviceName(name))
        name.prepend(u'_');
    return name;
}

QString contentDispositionFileName(const QByteArray &header)
{
    static const QRegularExpression fileName(QStringLiteral("filename\\*?=(?:UTF-8''|\\\")?([^\\\";]+)"),
                                             QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = fileName.match(QString::fromUtf8(header));
    if (!match.hasMatch())
        return {};
    return cleanDownloadFileName(QUrl::fromPercentEncoding(match.captured(1).trimmed().toUtf8()));
}

QString sniffArchiveType(const QByteArray &head)
{
    static const QByteArray sevenZip = QByteArray::fromHex("377ABCAF271C");
    static const QByteArray zipLocal = QByteArray::fromHex("504B0304");
    static const QByteArray zipEmpty = QByteArray::fromHex("504B0506");
    static const QByteArray zipSpanned = QByteArray::fromHex("504B0708");
    static const QByteArray rar = QByteArray::fromHex("526172211A07");
    if (head.startsWith(sevenZip))
        return QStringLiteral("7z");
    if (head.startsWith(zipLocal) || head.startsWith(zipEmpty) || head.startsWith(zipSpanned))
        return QStringLiteral("zip");
    if (head.size() >= 7 && head.startsWith(rar))
        return QStringLiteral("rar");
    return {};
}

QString chooseDownloadFileName(const QString &declaredName, const QByteArray &contentDisposition,
                               const QUrl &url, const QString &entryName, int index, int count)
{
    QString name = cleanDownloadFileName(declaredName);
    if (name.isEmpty())
        name = contentDispositionFileName(contentDisposition);
    if (name.isEmpty())
        name = cleanDownloadFileName(url.fileName(QUrl::FullyDecoded));
    if (name.isEmpty()) {
        name = cleanDownloadFileName(
            count < 2 ? entryName : QStringLiteral("%1.part%2.rar").arg(entryName).arg(index + 1));
    }
    if (name.isEmpty())
        name = QStringLiteral("download");
    return name;
}

QString withArchiveExtension(const QString &fileName, const QString &sniffedType)
{
    if (parseArchiveVolumeName(fileName).isMultiVolume)
        return fileName;
    const QFileInfo info(fileName);
    const QString suffix = info.suffix().toLower();
    if (!sniffedType.isEmpty() && suffix != sniffedType) {
        QString base = info.completeBaseName();
        if (base.isEmpty())
            base = fileName;
        return base + u'.' + sniffedType;
    }
    if (suffix.isEmpty())
        return fileName + QStringLiteral(".zip");
    return fileName;
}

QList<RepoModPart> repositoryDownloadVolumes(const RepoMod &entry)
{
    if (!entry.parts.isEmpty())
        return entry.parts;
    RepoModPart single;
    single.url = entry.downloadUrl;
    single.fileName = cleanDownloadFileName(entry.fileName);
    single.sha256 = entry.sha256;
    return {single};
}

int firstMissingVolume(const QList<RepoModPart> &volumes, const QString &firstArchiveName)
{
    if (volumes.size() < 2)
        return 0;
    const ArchiveVolumeInfo first = parseArchiveVolumeName(firstArchiveName);
    if (!first.isMultiVolume)
        return 0;
    QSet<int> present;
    int highest = 0;
    for (const RepoModPart &volume : volumes) {
        const ArchiveVolumeInfo info = parseArchiveVolumeName(cleanDownloadFileName(volume.fileName));
        if (!info.isMultiVolume || info.groupKey != first.groupKey)
            continue;
        present.insert(info.partNumber);
        highest = qMax(highest, info.partNumber);
    }
    // Stops at the first gap, so an absurd declared number costs no more than the parts that exist.
    for (int k = 1; k <= highest; ++k) {
        if (!present.contains(k))
            return k;
    }
    return 0;
}

QString mebibytesText(qint64 bytes)
{
    return QString::number(double(bytes) * 9.5367431640625e-7, 'f', 1);
}

int overallDownloadValue(qint64 received, qint64 total, int index, int count)
{
    if (total < 1 || count < 1)
        return 0;
    const qint64 percent = std::clamp<qint64>(received * 100 / total, 0, 100);
    const qint64 overall = (percent + qint64(index) * 100) / count;
    return int(std::clamp<qint64>(overall, 0, 100));
}

DownloadProgress volumeStartProgress(const QString &entryName, int index, int count)
{
    DownloadProgress progress;
    progress.value = count > 0 ? qBound(0, index * 100 / count, 100) : 0;
    if (count < 2) {
        progress.format = tr("Download: %p%");
        progress.label = tr("Download: %1").arg(entryName);
    } else {
        progress.format = tr("Teil %1/%2: %p%").arg(index + 1).arg(count);
        progress.label = tr("Download: %1 (Teil %2/%3)").arg(entryName).arg(index + 1).arg(count);
    }
    return progress;
}

DownloadProgress volumeProgress(const QString &entryName, int index, int count, qint64 received, qint64 total)
{
    DownloadProgress progress = volumeStartProgress(entryName, index, count);
    progress.received = received;
    progress.total = total;
    if (total < 1) {
        progress.busy = true;
        progress.value = 0;
        progress.format = count < 2 ? tr("Download läuft…")
                                    : tr("Teil %1/%2 wird heruntergeladen…").arg(index + 1).arg(count);
        return progress;
    }
    progress.value = overallDownloadValue(received, total, index, count);
    progress.format = count < 2 ? tr("%1 / %2 MiB  (%p%)").arg(mebibytesText(received), mebibytesText(total))
                                : tr("Teil %1/%2: %3 / %4 MiB  (%p%)")
                                      .arg(index + 1)
                                      .arg(count)
                                      .arg(mebibytesText(received), mebibytesText(total));
    return progress;
}

DownloadProgress fetchProgress(qint64 received, qint64 total)
{
    DownloadProgress progress = volumeProgress(QString(), 0, 1, received, total);
    progress.label.clear();
    return progress;
}

namespace {

QString cancelledText(const DownloadCallbacks &callbacks)
{
    return callbacks.cancelledText.isEmpty() ? installCancelledText() : callbacks.cancelledText;
}

bool fetchInto(QNetworkAccessManager &manager, RequestKind kind, const QString &url, RequestExtras extras,
               QByteArray *data, int *httpStatus, QString *errorText, const DownloadCallbacks &callbacks)
{
    if (httpStatus)
        *httpStatus = 0;
    if (errorText)
        errorText->clear();
    if (!data)
        return false;
    data->clear();

    // Qt hands every header of a request on to wherever a redirect leads. A signed-in player's token must not
    // reach another site that way, so redirects of a request that carries it are followed here.
    const bool followRedirectsHere = !extras.bearerToken.isEmpty();

    QUrl current = requestUrl(url);
    for (int redirects = 0;; ++redirects) {
        QNetworkRequest request = buildRequest(kind, current, extras);
        if (followRedirectsHere)
            request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                                 QNetworkRequest::ManualRedirectPolicy);
        QNetworkReply *reply = manager.get(request);
        QObject::connect(reply, &QNetworkReply::downloadProgress, reply,
                         [&callbacks](qint64 received, qint64 total) {
                             if (callbacks.progress)
                                 callbacks.progress(fetchProgress(received, total));
                         });
        const bool cancelled = awaitReply(reply, callbacks);
        const int status = httpStatusOf(reply);
        const QNetworkReply::NetworkError networkError = reply->error();
        const QString replyError = networkErrorText(reply);
        const QUrl redirectTarget = reply->attribute(QNetworkRequest::RedirectionTargetAttribute).toUrl();
        const QUrl replyUrl = reply->url();
        QByteArray body;
        if (networkError == QNetworkReply::NoError)
            body = reply->readAll();
        reply->deleteLater();

        if (httpStatus)
            *httpStatus = status;
        if (cancelled) {
            if (errorText)
                *errorText = cancelledText(callbacks);
            return false;
        }
        if (followRedirectsHere && networkError == QNetworkReply::NoError && status >= 300 && status < 400 &&
            redirectTarget.isValid()) {
            const QUrl target = replyUrl.resolved(redirectTarget);
            QString refusal;
            if (redirects >= maxRedirects)
                refusal = tr("Zu viele Weiterleitungen.");
            else if (!isHttpScheme(target) ||
                     (current.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0 &&
                      target.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) != 0))
                refusal = tr("Unsichere Weiterleitung abgelehnt: %1").arg(target.toDisplayString());
            if (!refusal.isEmpty()) {
                if (errorText)
                    *errorText = refusal;
                return false;
            }
            if (!sameOrigin(current, target))
                extras.bearerToken.clear();
            current = target;
            continue;
        }
        if (errorText)
            *errorText = networkError == QNetworkReply::NoError ? QString() : replyError;
        if (networkError != QNetworkReply::NoError)
            return false;
        *data = body;
        return true;
    }
}

} // namespace

bool fetchBytes(QNetworkAccessManager &manager, const QString &url, bool withAuthorization, QByteArray *data,
                int *httpStatus, QString *errorText, const DownloadCallbacks &callbacks)
{
    RequestExtras extras;
    if (withAuthorization)
        extras.bearerToken = modIoAccessToken();
    return fetchInto(manager, RequestKind::ModIoFile, url, extras, data, httpStatus, errorText, callbacks);
}

bool fetchUrl(QNetworkAccessManager &manager, RequestKind kind, const QString &url, QByteArray *data,
              int *httpStatus, QString *errorText, const DownloadCallbacks &callbacks)
{
    return fetchInto(manager, kind, url, {}, data, httpStatus, errorText, callbacks);
}

bool downloadRepositoryArchives(QNetworkAccessManager &manager, const RepoMod &entry,
                                const QString &targetDir, const DownloadCallbacks &callbacks,
                                QString *firstVolumePath, QString *error)
{
    auto fail = [error](const QString &message) {
        if (error)
            *error = message;
        return false;
    };
    if (firstVolumePath)
        firstVolumePath->clear();

    if (entry.downloadUrl.trimmed().isEmpty() && entry.parts.isEmpty())
        return fail(tr("Für diesen Eintrag ist keine Download-URL hinterlegt."));
    if (targetDir.isEmpty() || !QFileInfo(targetDir).isDir())
        return fail(tr("Temporärer Downloadordner konnte nicht erstellt werden."));

    const QList<RepoModPart> volumes = repositoryDownloadVolumes(entry);
    const int count = int(volumes.size());
    const QDir folder(targetDir);
    QString firstPath;
    QString firstName;

    for (int index = 0; index < count; ++index) {
        const RepoModPart &volume = volumes.at(index);
        const QString url = volume.url.trimmed();
        if (url.isEmpty())
            return fail(tr("Ein Teil des mehrteiligen Archivs besitzt keine Download-URL: %1")
                            .arg(volumeDisplayName(volume)));
        if (callbacks.isCancelled && callbacks.isCancelled())
            return fail(cancelledText(callbacks));
        if (callbacks.progress)
            callbacks.progress(volumeStartProgress(entry.name, index, count));

        const QString expectedSha256 = volume.sha256.trimmed().toLower();
        VolumeSink sink(targetDir, !expectedSha256.isEmpty());
        if (!sink.isOpen()) {
            return fail(
                tr("Heruntergeladene Datei konnte nicht gespeichert werden: %1")
                    .arg(QDir::toNativeSeparators(folder.filePath(cleanDownloadFileName(volume.fileName)))));
        }

        QNetworkReply *reply = manager.get(buildRequest(RequestKind::ArchiveVolume, url));
        QObject::connect(reply, &QNetworkReply::readyRead, reply, [reply, &sink] {
            if (!sink.append(reply->readAll()))
                reply->abort();
        });
        QObject::connect(reply, &QNetworkReply::downloadProgress, reply,
                         [&callbacks, &entry, index, count](qint64 received, qint64 total) {
                             if (callbacks.progress)
                                 callbacks.progress(
                                     volumeProgress(entry.name, index, count, received, total));
                         });
        const bool cancelled = awaitReply(reply, callbacks);
        if (reply->error() == QNetworkReply::NoError)
            sink.append(reply->readAll());
        const QNetworkReply::NetworkError networkError = reply->error();
        const QString replyError = networkErrorText(reply);
        const QByteArray disposition = reply->rawHeader("Content-Disposition");
        const QUrl finalUrl = reply->url();
        reply->deleteLater();

        const QString chosen =
            chooseDownloadFileName(volume.fileName, disposition, finalUrl, entry.name, index, count);
        const QString fileName = withArchiveExtension(chosen, sniffArchiveType(sink.head()));
        const QString filePath = folder.filePath(fileName);
        const QString saveFailure = tr("Heruntergeladene Datei konnte nicht gespeichert werden: %1")
                                        .arg(QDir::toNativeSeparators(filePath));

        if (cancelled)
            return fail(cancelledText(callbacks));
        if (sink.writeFailed())
            return fail(saveFailure);
        if (networkError != QNetworkReply::NoError) {
            if (count < 2)
                return fail(tr("Download fehlgeschlagen: %1").arg(replyError));
            return fail(tr("Download von Archivteil %1/%2 fehlgeschlagen (%3): %4")
                            .arg(index + 1)
                            .arg(count)
                            .arg(volumeDisplayName(volume), replyError));
        }
        if (sink.size() == 0) {
            if (count < 2)
                return fail(tr("Der Server hat eine leere Datei geliefert."));
            return fail(tr("Der Server hat für Archivteil %1/%2 eine leere Datei geliefert.")
                            .arg(index + 1)
                            .arg(count));
        }
        if (!expectedSha256.isEmpty() && expectedSha256 != sink.sha256())
            return fail(checksumMismatchText(fileName, expectedSha256, sink.sha256()));
        if (!sink.commit(filePath))
            return fail(saveFailure);

        if (index == 0) {
            firstPath = filePath;
            firstName = fileName;
        }
    }

    if (firstPath.isEmpty())
        return fail(tr("Es wurde kein Archiv für die Installation heruntergeladen."));
    if (count >= 2) {
        if (const int missing = firstMissingVolume(volumes, firstName)) {
            return fail(
                tr("Das Repository liefert ein unvollständiges mehrteiliges Archiv. Archivteil %1 fehlt.")
                    .arg(missing));
        }
    }
    if (firstVolumePath)
        *firstVolumePath = firstPath;
    return true;
}

bool writeRepositoryInstallMarker(const QString &installedFolder, const RepoMod &entry, QString *error)
{
    const QString contentVersion = metadataVersion(findModRoot(installedFolder)).trimmed();
    return writeInstallMarker(installedFolder, repositoryInstallMarker(entry, contentVersion), error);
}
