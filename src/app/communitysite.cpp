#include "app/communitysite.h"

#include <QtGlobal>

namespace {
constexpr char defaultCommunityRoot[] = "https://trackhaven-community.de/";
}

QUrl communityRootUrl()
{
    QString root = qEnvironmentVariable("FX3MM_COMMUNITY_URL").trimmed();
    QUrl url(root, QUrl::StrictMode);
    if (root.isEmpty() || !url.isValid() || url.host().isEmpty() ||
        (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https")))
        url = QUrl(QString::fromLatin1(defaultCommunityRoot));
    url.setPath(QStringLiteral("/"));
    url.setQuery(QString());
    url.setFragment(QString());
    return url;
}

QString communityRootText()
{
    QString text = communityRootUrl().toString(QUrl::FullyEncoded);
    while (text.endsWith(QLatin1Char('/')))
        text.chop(1);
    return text;
}

QString communityHostName()
{
    QString host = communityRootUrl().host().toLower();
    if (host.startsWith(QLatin1String("www.")))
        host = host.mid(4);
    return host;
}

QString communityUrl(const QString &path)
{
    if (path.startsWith(QLatin1Char('/')))
        return communityRootText() + path;
    return communityRootText() + QLatin1Char('/') + path;
}
