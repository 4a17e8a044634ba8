#pragma once

#include <QByteArray>
#include <QNetworkRequest>
#include <QString>
#include <QUrl>

// Every request the program sends is built here, so headers, redirect and cache policy and time-outs stay
// the same for one kind of request wherever it is sent from. Redirects are always followed unless they lead
// from https to http.

enum class RequestKind
{
    // A repository's catalog document; also the self-update archive. Always from the network.
    CatalogDocument,
    // One archive volume of a repository download.
    ArchiveVolume,
    // A mod file fetched into memory (the direct mod.io installation).
    ModIoFile,
    // A community entry page searched for the download link of a required mod.
    EntryPage,
    // The mod.io REST API.
    ModIoApi,
    // The community reports service.
    CommunityReports,
    // A preview image; see applyImageRequestHeaders.
    PreviewImage,
};

// What some kinds of request need beyond the URL.
struct RequestExtras
{
    // ModIoFile, ModIoApi: sent as "Authorization: Bearer <token>" when not empty.
    QString bearerToken;
    // ModIoApi: the form content type of a request with a body (anything but GET). CommunityReports: the
    // JSON content type of a POST.
    bool hasBody = false;
    // PreviewImage: the page the image is shown for.
    QString referer;
};

// "Trackhaven-FX3-Mod-Manager/0.5.38": repository, catalog, mod.io and entry-page requests.
QByteArray managerUserAgent();
// "FX3ModManager/0.5.38": the community reports service.
QByteArray communityUserAgent();
// The desktop browser identity of preview images; image hosts refuse unknown clients. The curl fallback of
// the previews sends the same.
QByteArray browserUserAgent();
QByteArray imageAcceptHeader();
QByteArray acceptLanguageHeader();

// Limits on how long a transfer may go without receiving anything. Qt restarts the timer whenever bytes
// arrive, so a large download over a slow line is not cut off; only a stalled one ends, as a network error.
inline constexpr int modIoFileTimeoutMs = 180000;
inline constexpr int modIoApiTimeoutMs = 30000;
inline constexpr int previewImageTimeoutMs = 15000;
// A stalled server would otherwise keep a blocking archive download, an install run waiting for an entry
// page, or the catalog's "loading" state alive until the operating system gives up on the connection.
inline constexpr int archiveStallTimeoutMs = 120000;
inline constexpr int entryPageTimeoutMs = 60000;
inline constexpr int catalogTimeoutMs = 60000;
// Without a limit a stalled reports service would keep its batch "in flight" for the rest of the run.
inline constexpr int communityReportsTimeoutMs = 30000;

// A URL typed or found anywhere, read tolerantly like every request URL.
QUrl requestUrl(const QString &text);

QNetworkRequest buildRequest(RequestKind kind, const QUrl &url, const RequestExtras &extras = {});
QNetworkRequest buildRequest(RequestKind kind, const QString &url, const RequestExtras &extras = {});

// Prepares the request of a preview image: browser headers, the Referer (the given one, else the image
// host's root), 15 s time-out; mod.io's image hosts may serve from the cache and over HTTP/2, other hosts are
// asked for a fresh copy over a plain connection.
void applyImageRequestHeaders(QNetworkRequest &request, const QString &url, const QString &referer);

// The Referer an image request carries: referer trimmed; when empty, the root of the image's own site;
// empty when neither is known. Credentials in the URL are never passed on.
QString imageReferer(const QString &url, const QString &referer);

// Whether the URL points at mod.io: its own site, its per-game API hosts or its download and image CDN.
bool isModIoHost(const QUrl &url);
