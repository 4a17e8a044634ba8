#include "selfupdate/selfupdate.h"

#include "catalog/repositorylist.h"
#include "catalog/repositoryparser.h"
#include "catalog/versions.h"
#include "install/download.h"
#include "install/requestconventions.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QStandardPaths>

#include <algorithm>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("MainWindow", text);
}

bool fail(QString *error, const QString &message)
{
    if (error)
        *error = message;
    return false;
}

} // namespace

QString selfUpdateCancelledText()
{
    return tr("Update abgebrochen.");
}

bool managerEntryFromDocument(const QByteArray &document, RepoMod *entry)
{
    if (document.isEmpty() || !QJsonDocument::fromJson(document).isObject())
        return false;
    QList<RepoMod> entries;
    parseRepositoryDocument(document, builtInRepository(), entries);
    const int index = findManagerEntry(entries);
    if (index < 0)
        return false;
    if (entry)
        *entry = entries.at(index);
    return true;
}

QString offeredSelfUpdateVersion(const RepoMod &entry)
{
    const QString available = managerReleaseVersion(entry.version, entry.fileName);
    if (available.isEmpty() || !isNewerManagerRelease(available) || entry.downloadUrl.trimmed().isEmpty())
        return {};
    return available;
}

QString selfUpdateTempFolder()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::TempLocation);
    return folder.isEmpty() ? QDir::tempPath() : folder;
}

SelfUpdateProgress selfUpdateProgress(qint64 received, qint64 total)
{
    SelfUpdateProgress progress;
    progress.label = tr("ModManager-Update wird heruntergeladen…");
    if (total < 1) {
        progress.busy = true;
        return progress;
    }
    progress.value = int(std::clamp<qint64>(received * 100 / total, 0, 100));
    progress.label = tr("ModManager-Update wird heruntergeladen…\n%1 / %2 MiB")
                         .arg(mebibytesText(received), mebibytesText(total));
    return progress;
}

bool downloadSelfUpdate(QNetworkAccessManager &manager, const RepoMod &entry, const QString &tempFolder,
                        const SelfUpdateDownloadCallbacks &callbacks, QString *filePath, QString *error)
{
    if (filePath)
        filePath->clear();
    const QString url = entry.downloadUrl.trimmed();
    if (url.isEmpty())
        return fail(error, tr("Im Repository ist keine Download-URL für den ModManager hinterlegt."));
    const QString expected = entry.sha256.trimmed().toLower();
    if (expected.isEmpty() && requestUrl(url).scheme().compare(QLatin1String("https"), Qt::CaseInsensitive)) {
        return fail(error,
                    tr("Für das ModManager-Update ist im Repository keine SHA-256-Prüfsumme hinterlegt, "
                       "und die Download-Adresse verwendet kein HTTPS:\n%1\n\nOhne Prüfsumme wird ein "
                       "Update nur über HTTPS geladen, damit es unterwegs nicht ausgetauscht werden "
                       "kann. Das Update wurde nicht installiert.")
                        .arg(url));
    }

    DownloadCallbacks fetchCallbacks;
    fetchCallbacks.cancelledText = selfUpdateCancelledText();
    fetchCallbacks.isCancelled = callbacks.isCancelled;
    fetchCallbacks.progress = [&callbacks](const DownloadProgress &progress) {
        if (callbacks.progress)
            callbacks.progress(selfUpdateProgress(progress.received, progress.total));
    };
    QByteArray body;
    QString fetchError;
    if (!fetchUrl(manager, RequestKind::CatalogDocument, url, &body, nullptr, &fetchError, fetchCallbacks)) {
        if (fetchError == selfUpdateCancelledText())
            return fail(error, fetchError);
        return fail(error, tr("Update konnte nicht heruntergeladen werden: %1").arg(fetchError));
    }
    if (body.isEmpty())
        return fail(error, tr("Der Update-Download ist leer."));

    if (!expected.isEmpty()) {
        const QString received =
            QString::fromLatin1(QCryptographicHash::hash(body, QCryptographicHash::Sha256).toHex());
        if (received != expected) {
            return fail(error,
                        tr("Die Prüfsumme des Updates stimmt nicht mit dem Repository überein.\n\nErwartet: "
                           "%1\nErhalten: %2\n\nDas Update wurde aus Sicherheitsgründen nicht installiert. "
                           "Bitte das Repository neu laden bzw. prüfen, ob Download-Datei und SHA-256 zum "
                           "selben Dateistand gehören.")
                            .arg(entry.sha256.trimmed(), received));
        }
    }

    const QString path =
        QDir(tempFolder)
            .filePath(QStringLiteral("FX3ModManager_Update_%1.zip").arg(QDateTime::currentMSecsSinceEpoch()));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(body) != body.size() ||
        !file.flush()) {
        file.close();
        file.remove();
        return fail(error, tr("Das Update konnte nicht im temporären Ordner gespeichert werden."));
    }
    file.close();
    if (filePath)
        *filePath = path;
    return true;
}
