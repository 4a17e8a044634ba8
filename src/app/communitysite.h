#pragma once

#include <QString>
#include <QUrl>

// The community site hosts the built-in repository, the entry pages searched for download links and the
// reports service. Its root is compiled in and can be replaced through the environment variable
// FX3MM_COMMUNITY_URL (a root URL), so a local demo or a test can serve it from 127.0.0.1.

// The site root with path "/", e.g. "https://trackhaven-community.de/".
QUrl communityRootUrl();
// Scheme and host (and port) without a trailing slash, for making site paths absolute.
QString communityRootText();
// The host name without a leading "www.", lower case.
QString communityHostName();
// A path on the community site made absolute ("/filebase/entry/5/" → "https://…/filebase/entry/5/").
QString communityUrl(const QString &path);
