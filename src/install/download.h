#pragma once

#include "catalog/repomod.h"
#include "install/requestconventions.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>

#include <functional>

class QNetworkAccessManager;
class QNetworkReply;

// Blocking downloads: the caller waits in a local event loop while the window keeps painting. Repository
// archives are streamed to disk volume by volume; mod.io files are fetched into memory.

// What a progress bar and a status label show during a download.
struct DownloadProgress
{
    qint64 received = 0;
    // Below 1 while the size is unknown.
    qint64 total = 0;
    // The size is unknown: the bar shows its busy state instead of a value.
    bool busy = false;
    // 0..100 over all volumes of the download.
    int value = 0;
    // The bar's format; "%p%" is the bar's own percentage.
    QString format;
    // The status label of the page that has one; empty for single-file fetches.
    QString label;
};

struct DownloadCallbacks
{
    std::function<void(const DownloadProgress &)> progress;
    // Asked whenever data arrives and a few times a second while nothing does, so a stalled transfer can
    // still be cancelled. True ends the download with cancelledText.
    std::function<bool()> isCancelled;
    // The error text of a cancel; empty means the installation's "Installation abgebrochen.".
    QString cancelledText;
};

// A file name offered by a repository or a server, reduced to a plain name inside the download folder: only
// the part after the last "/" or "\" is kept, characters Windows does not allow in names and control and
// direction-override characters become "_", trailing dots and blanks go (Windows drops them anyway), and a
// device name like "NUL.zip" gets a leading "_". Empty when nothing usable remains ("", ".", "..").
QString cleanDownloadFileName(const QString &candidate);

// The file name in a Content-Disposition header (plain or RFC 5987 form), percent-decoded and cleaned;
// empty when there is none.
QString contentDispositionFileName(const QByteArray &header);

// "7z", "zip" or "rar" from the first bytes of a file; empty when they say nothing.
QString sniffArchiveType(const QByteArray &head);

// The name a download is saved under: the first of the declared name, the Content-Disposition name, the
// last segment of the URL's path and the entry name (for a volume of several "<entry>.part<i+1>.rar"), each
// cleaned. Never empty.
QString chooseDownloadFileName(const QString &declaredName, const QByteArray &contentDisposition,
                               const QUrl &url, const QString &entryName, int index, int count);

// Makes the name's extension agree with the sniffed type, or gives an extension-less name ".zip". Volume
// names of multi-part archives are kept exactly: their extension is part of the set's numbering.
QString withArchiveExtension(const QString &fileName, const QString &sniffedType);

// The volumes to download: the entry's parts, or one volume made of its downloadUrl, fileName and sha256.
QList<RepoModPart> repositoryDownloadVolumes(const RepoMod &entry);

// When firstArchiveName is a volume of a multi-part set, the lowest part number of that set missing among
// the declared volume names; 0 when the set is complete or there is no set.
int firstMissingVolume(const QList<RepoModPart> &volumes, const QString &firstArchiveName);

// Bytes as MiB with one decimal, e.g. "1.5".
QString mebibytesText(qint64 bytes);
// The overall bar value for part index of count at received of total bytes (0..100).
int overallDownloadValue(qint64 received, qint64 total, int index, int count);
// Progress of volume index of count when its transfer starts.
DownloadProgress volumeStartProgress(const QString &entryName, int index, int count);
// Progress of volume index of count at received of total bytes.
DownloadProgress volumeProgress(const QString &entryName, int index, int count, qint64 received,
                                qint64 total);
// Progress of a single-file fetch.
DownloadProgress fetchProgress(qint64 received, qint64 total);

// The reply's error text for the player; a transfer that timed out says so instead of "Operation canceled".
// Only for replies that the program did not abort itself.
QString networkErrorText(const QNetworkReply *reply);

// GETs url into data (cleared first; filled only when the reply ended without a network error). With
// withAuthorization and a stored mod.io token the request carries it as a bearer token, but only as far as
// the URL's own site: redirects are then followed here, and the token is dropped at the first redirect to
// another scheme, host or port. httpStatus (0 when none) and errorText are set in every case.
bool fetchBytes(QNetworkAccessManager &manager, const QString &url, bool withAuthorization, QByteArray *data,
                int *httpStatus = nullptr, QString *errorText = nullptr,
                const DownloadCallbacks &callbacks = {});

// A blocking GET of url into data with the conventions of kind (an entry page, the self-update archive),
// otherwise like fetchBytes without a token.
bool fetchUrl(QNetworkAccessManager &manager, RequestKind kind, const QString &url, QByteArray *data,
              int *httpStatus = nullptr, QString *errorText = nullptr,
              const DownloadCallbacks &callbacks = {});

// Downloads every archive volume of entry into targetDir (an existing, empty folder the caller owns and
// removes): names and checks each file (extension from the content, SHA-256 when the repository declares
// one, a complete multi-part set) and returns the path of the first volume, which is the one to install.
// A cancel ends with the callbacks' cancel text. Files saved before a failure stay in targetDir.
bool downloadRepositoryArchives(QNetworkAccessManager &manager, const RepoMod &entry,
                                const QString &targetDir, const DownloadCallbacks &callbacks,
                                QString *firstVolumePath, QString *error = nullptr);

// Writes the install marker of a repository installation into the installed folder, with the version the
// installed files declare as content version.
bool writeRepositoryInstallMarker(const QString &installedFolder, const RepoMod &entry,
                                  QString *error = nullptr);
