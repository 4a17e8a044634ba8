#include "install/requestconventions.h"

#include "app/appinfo.h"

namespace {

// Host fragments of mod.io: the site itself, the per-game API hosts (g-<id>.modapi.io) and the CDN hosts
// of downloads and images (*.modcdn.io).
const char *const modIoHostMarkers[] = {"mod.io", "modapi.io", "modcdn"};

void setUserAgent(QNetworkRequest &request, const QByteArray &agent)
{
    request.setRawHeader("User-Agent", agent);
}

void setBearer(QNetworkRequest &request, const QString &token)
{
    if (!token.isEmpty())
        request.setRawHeader("Authorization", "Bearer " + token.toUtf8());
}

} // namespace

QByteArray managerUserAgent()
{
    return QByteArray("Trackhaven-FX3-Mod-Manager/") + AppInfo::version;
}

QByteArray communityUserAgent()
{
    return QByteArray(AppInfo::userAgent);
}

QByteArray browserUserAgent()
{
    return "Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) Chrome/136.0 "
           "Safari/537.36";
}

QByteArray imageAcceptHeader()
{
    return "image/avif,image/webp,image/apng,image/svg+xml,image/*,*/*;q=0.8";
}

QByteArray acceptLanguageHeader()
{
    return "de-DE,de;q=0.9,en;q=0.8";
}

QUrl requestUrl(const QString &text)
{
    return QUrl(text, QUrl::TolerantMode);
}

QNetworkRequest buildRequest(RequestKind kind, const QUrl &url, const RequestExtras &extras)
{
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);

    switch (kind) {
    case RequestKind::CatalogDocument:
        setUserAgent(request, managerUserAgent());
        request.setRawHeader("Cache-Control", "no-cache");
        request.setRawHeader("Pragma", "no-cache");
        request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
        request.setTransferTimeout(catalogTimeoutMs);
        break;
    case RequestKind::ArchiveVolume:
        setUserAgent(request, managerUserAgent());
        request.setTransferTimeout(archiveStallTimeoutMs);
        break;
    case RequestKind::ModIoFile:
        setUserAgent(request, managerUserAgent());
        request.setRawHeader("Accept", "application/octet-stream,*/*;q=0.8");
        setBearer(request, extras.bearerToken);
        request.setTransferTimeout(modIoFileTimeoutMs);
        break;
    case RequestKind::EntryPage:
        setUserAgent(request, managerUserAgent());
        request.setTransferTimeout(entryPageTimeoutMs);
        break;
    case RequestKind::ModIoApi:
        request.setRawHeader("Accept", "application/json");
        request.setRawHeader("Accept-Language", acceptLanguageHeader());
        request.setRawHeader("X-Modio-Platform", "windows");
        request.setRawHeader("X-Modio-Portal", "steam");
        setUserAgent(request, managerUserAgent());
        request.setTransferTimeout(modIoApiTimeoutMs);
        setBearer(request, extras.bearerToken);
        if (extras.hasBody)
            request.setRawHeader("Content-Type", "application/x-www-form-urlencoded");
        break;
    case RequestKind::CommunityReports:
        request.setRawHeader("Accept", "application/json");
        setUserAgent(request, communityUserAgent());
        request.setTransferTimeout(communityReportsTimeoutMs);
        if (extras.hasBody)
            request.setRawHeader("Content-Type", "application/json");
        break;
    case RequestKind::PreviewImage:
        applyImageRequestHeaders(request, url.toString(QUrl::FullyEncoded), extras.referer);
        break;
    }
    return request;
}

QNetworkRequest buildRequest(RequestKind kind, const QString &url, const RequestExtras &extras)
{
    return buildRequest(kind, requestUrl(url), extras);
}

QString imageReferer(const QString &url, const QString &referer)
{
    const QString given = referer.trimmed();
    if (!given.isEmpty())
        return given;
    QUrl root = requestUrl(url.trimmed());
    // A relative or host-less address has no site whose root could be named.
    if (!root.isValid() || root.host().isEmpty())
        return {};
    root.setUserInfo(QString());
    root.setPath(QStringLiteral("/"));
    root.setQuery(QString());
    root.setFragment(QString());
    return root.toString(QUrl::FullyEncoded);
}

void applyImageRequestHeaders(QNetworkRequest &request, const QString &url, const QString &referer)
{
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    setUserAgent(request, browserUserAgent());
    request.setRawHeader("Accept", imageAcceptHeader());
    request.setRawHeader("Accept-Language", acceptLanguageHeader());
    const QString refererText = imageReferer(url, referer);
    if (!refererText.isEmpty())
        request.setRawHeader("Referer", refererText.toUtf8());
    request.setTransferTimeout(previewImageTimeoutMs);
    if (isModIoHost(requestUrl(url))) {
        request.setAttribute(QNetworkRequest::Http2AllowedAttribute, true);
        request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::PreferCache);
    } else {
        // Previews outside mod.io come from many different small sites, one or two images each: a fresh
        // copy over a plain connection that is not kept open suits them better than cache and HTTP/2.
        request.setRawHeader("Cache-Control", "no-cache");
        request.setRawHeader("Connection", "close");
        request.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
    }
}

bool isModIoHost(const QUrl &url)
{
    const QString host = url.host().toLower();
    if (host.isEmpty())
        return false;
    for (const char *marker : modIoHostMarkers) {
        if (host.contains(QLatin1String(marker)))
            return true;
    }
    return false;
}
