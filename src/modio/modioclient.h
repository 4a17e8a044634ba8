#pragma once

#include "install/requestconventions.h"
#include "modio/modiomod.h"

#include <QByteArray>
#include <QJsonDocument>
#include <QList>
#include <QPair>
#include <QSet>
#include <QString>
#include <QUrl>

#include <functional>
#include <memory>

class QNetworkAccessManager;
class QObject;
struct ModIoClientState;

// The one way the program talks to the mod.io REST API (version 1). Every request carries the same headers
// and time-out and either the signed-in user's access token (as a bearer header) or the API key (as the
// query item "api_key"); both are read from the settings store for each request. Answers are evaluated
// alike: a JSON document on success, else one readable message made of the service's error document.
//
// The service demands that a "429 Too Many Requests" answer is respected: after one, no request of this
// client is sent until its "retry-after" time (60 s when missing or unreadable) has passed. Requests in
// that time fail at once with a message that names the seconds left; rateLimitSecondsLeft() tells a page
// when it may continue by itself.

// Called exactly once with the outcome of an asynchronous request, on the GUI thread, and never after the
// context object is gone. On failure the document is empty and error holds the message.
using ModIoCallback = std::function<void(bool ok, const QJsonDocument &document, const QString &error)>;

// The limits of the client; tests shorten them and drive the clock.
struct ModIoClientTiming
{
    // Transfer time-out of every request, and the longest a blocking request waits in all.
    int requestTimeoutMs = modIoApiTimeoutMs;
    // Milliseconds of a steady clock; unset means the system's monotonic clock.
    std::function<qint64()> nowMs;
};

class ModIoClient
{
public:
    // Requests go through manager. context ends asynchronous requests: once it is destroyed, running
    // requests are aborted and their callbacks are never called, and new ones are not started. The manager
    // must outlive the client.
    ModIoClient(QNetworkAccessManager &manager, QObject *context, const ModIoClientTiming &timing = {});
    ~ModIoClient();
    ModIoClient(const ModIoClient &) = delete;
    ModIoClient &operator=(const ModIoClient &) = delete;

    // Sends method ("GET", "POST" or "DELETE", any case) to url with body (form-encoded; see modIoFormBody)
    // and waits in a local event loop. requireSignIn refuses without a token; apiKeyOnly sends the API key
    // even when a token is stored (the e-mail sign-in). A 204 answer succeeds with an empty document, an
    // empty 200 answer with a null one. document and error may be null. Nothing is sent when credentials
    // are missing, the method is unknown or the rate limit is in force.
    bool modIoRequest(const QString &method, const QUrl &url, const QByteArray &body, QJsonDocument *document,
                      QString *error, bool requireSignIn, bool apiKeyOnly = false);

    // Starts a GET and returns at once; callback gets the outcome. Refusals (credentials, rate limit) are
    // delivered from a zero-delay timer, never inside this call.
    void modIoGetAsync(const QUrl &url, bool requireSignIn, ModIoCallback callback);

    // Reads every page of a mod list (100 per request, "_limit" and "_offset" of url replaced) into mods,
    // at most up to the page that reaches 3000 mods. Sign-in is required for lists below "/me/". mods is
    // cleared first; on failure error gets the message of the failing page.
    bool modIoFetchAllMods(const QUrl &url, QList<ModIoMod> *mods, QString *error,
                           const QSet<QString> &subscribedIds = {});

    // Seconds until the client sends requests again after a 429 answer; 0 when it may send now.
    int rateLimitSecondsLeft() const;

private:
    // Shared with the requests in flight, so a reply that arrives after the client is gone is still handled.
    std::shared_ptr<ModIoClientState> m_state;
};

// apiRoot + path with the query items in order; names and values are fully percent-encoded ("+", "*" and
// "," included), so the service reads them exactly as given.
QUrl modIoApiUrl(const QString &apiRoot, const QString &path,
                 const QList<QPair<QString, QString>> &query = {});

// A form body ("email=a%2Bb%40example.org&..."), names and values fully percent-encoded.
QByteArray modIoFormBody(const QList<QPair<QString, QString>> &items);

// The service's page where a player creates API keys and access tokens and finds the API path.
QString modIoAccessPageUrl();

// The message of a request refused because of the rate limit.
QString modIoRateLimitText(int secondsLeft);
