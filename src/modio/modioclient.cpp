#include "modio/modioclient.h"

#include "app/settings.h"
#include "catalog/jsonvalues.h"
#include "install/download.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPointer>
#include <QTimer>

#include <algorithm>

struct ModIoClientState
{
    QNetworkAccessManager *manager = nullptr;
    QPointer<QObject> context;
    int timeoutMs = modIoApiTimeoutMs;
    std::function<qint64()> nowMs;
    // Clock time before which nothing is sent; 0 when no 429 answer holds the client back.
    qint64 blockedUntilMs = 0;

    int secondsLeft() const
    {
        const qint64 left = blockedUntilMs - nowMs();
        return left > 0 ? int((left + 999) / 1000) : 0;
    }
};

namespace {

constexpr int fetchPageSize = 100;
constexpr int fetchCap = 3000;
// The service asks for a minute when it names no time, and when it answers 0 for a rolling limit.
constexpr int defaultRetryAfterSeconds = 60;

QString tr(const char *text)
{
    return QCoreApplication::translate("MainWindow", text);
}

QString encoded(const QString &text)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(text));
}

QString joinedItems(const QList<QPair<QString, QString>> &items)
{
    QString joined;
    for (const auto &item : items) {
        if (!joined.isEmpty())
            joined += QLatin1Char('&');
        joined += encoded(item.first) + QLatin1Char('=') + encoded(item.second);
    }
    return joined;
}

// The query's items in their encoded form. Working on the encoded text keeps every other item byte for
// byte as the caller built it.
QStringList encodedQueryItems(const QUrl &url)
{
    return url.query(QUrl::FullyEncoded).split(QLatin1Char('&'), Qt::SkipEmptyParts);
}

QString itemName(const QString &encodedItem)
{
    return QUrl::fromPercentEncoding(encodedItem.section(QLatin1Char('='), 0, 0).toUtf8());
}

void setEncodedQuery(QUrl &url, const QStringList &items)
{
    url.setQuery(items.join(QLatin1Char('&')), QUrl::StrictMode);
}

QString generalApiHost()
{
    return QUrl(generalModIoApiRoot()).host();
}

struct Credentials
{
    bool ok = false;
    QString bearerToken; // empty when the key is used
    QUrl url;
    QString error;
};

Credentials credentialsFor(const QUrl &url, bool requireSignIn, bool apiKeyOnly)
{
    Credentials result;
    const QString token = modIoAccessToken();
    const QString key = modIoApiKey();
    if (requireSignIn && token.isEmpty()) {
        result.error = tr("Für diese mod.io-Funktion musst du angemeldet sein.");
        return result;
    }
    result.url = url;
    if (!token.isEmpty() && !apiKeyOnly) {
        result.bearerToken = token;
        result.ok = true;
        return result;
    }
    if (key.isEmpty()) {
        result.error = tr("Bitte zuerst einen mod.io-API-Key in den Einstellungen eintragen.");
        return result;
    }
    QStringList items = encodedQueryItems(url);
    const bool hasKey = std::any_of(items.cbegin(), items.cend(), [](const QString &item) {
        return itemName(item) == QLatin1String("api_key");
    });
    if (!hasKey) {
        items.append(QStringLiteral("api_key=") + encoded(key));
        setEncodedQuery(result.url, items);
    }
    result.ok = true;
    return result;
}

int retryAfterSeconds(const QByteArray &header)
{
    bool ok = false;
    const int seconds = header.trimmed().toInt(&ok);
    return ok && seconds > 0 ? seconds : defaultRetryAfterSeconds;
}

QString errorLineText(const QJsonValue &value)
{
    if (!value.isArray())
        return jsonValueText(value).trimmed();
    QStringList parts;
    const QJsonArray elements = value.toArray();
    for (const QJsonValue &element : elements)
        parts.append(jsonValueText(element));
    return parts.join(QStringLiteral(", "));
}

// The service's own words: "error"."message" with one line per field of "error"."errors", else the
// top-level "message".
QString serviceMessage(const QJsonDocument &document)
{
    if (!document.isObject())
        return {};
    const QJsonObject root = document.object();
    const QJsonObject error = root.value(QLatin1String("error")).toObject();
    QString message = error.value(QLatin1String("message")).toString().trimmed();
    const QJsonObject fields = error.value(QLatin1String("errors")).toObject();
    QStringList lines;
    for (auto it = fields.constBegin(); it != fields.constEnd(); ++it) {
        const QString text = errorLineText(it.value());
        if (!text.isEmpty())
            lines.append(QStringLiteral("%1: %2").arg(it.key(), text));
    }
    if (!lines.isEmpty())
        message += QStringLiteral("\n\n") + lines.join(QLatin1Char('\n'));
    if (message.isEmpty())
        message = root.value(QLatin1String("message")).toString().trimmed();
    return message;
}

struct Outcome
{
    bool ok = false;
    QJsonDocument document;
    QString error;
};

// Reads the finished reply; the caller releases it. blocking adds what only the blocking requests say:
// the 204 rule and the two hints about API paths.
Outcome evaluateReply(QNetworkReply *reply, bool blocking, bool keyUsed, ModIoClientState &state)
{
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QByteArray body = reply->readAll();
    const bool networkError = reply->error() != QNetworkReply::NoError;
    const QString errorString = networkErrorText(reply);

    if (status == 429) {
        const qint64 until =
            state.nowMs() + qint64(retryAfterSeconds(reply->rawHeader("retry-after"))) * 1000;
        state.blockedUntilMs = qMax(state.blockedUntilMs, until);
    }

    Outcome outcome;
    if (blocking && status == 204) {
        outcome.ok = true;
        return outcome;
    }
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(body, &parseError);
    if (status >= 200 && status <= 299 && !networkError) {
        if (body.trimmed().isEmpty() || parseError.error == QJsonParseError::NoError) {
            outcome.ok = true;
            outcome.document = document;
        } else {
            outcome.error =
                tr("mod.io hat eine ungültige JSON-Antwort geliefert: %1").arg(parseError.errorString());
        }
        return outcome;
    }

    QString message = serviceMessage(document);
    if (message.isEmpty())
        message = errorString;
    if (blocking && message.contains(generalApiHost(), Qt::CaseInsensitive) &&
        message.contains(QLatin1String("deprecated"), Qt::CaseInsensitive)) {
        message = tr("mod.io unterstützt den alten allgemeinen API-Endpunkt (%1) nicht mehr. Bitte öffne die "
                     "Einstellungen und trage unter „mod.io API-Pfad:“ die spielspezifische Adresse ein, die "
                     "auf %2 angezeigt wird.")
                      .arg(generalApiHost(), modIoAccessPageUrl());
    } else if (blocking && (status == 401 || status == 403) && keyUsed &&
               modIoApiRoot().compare(gameModIoApiRoot(), Qt::CaseInsensitive) == 0) {
        message +=
            tr("\n\nWenn du einen persönlichen API-Key verwendest, übernimm bitte auch den persönlichen "
               "API-Pfad, der auf %1 angezeigt wird, in die Einstellungen („mod.io API-Pfad:“).")
                .arg(modIoAccessPageUrl());
    }
    if (message.isEmpty())
        message = tr("mod.io-Fehler (HTTP %1)").arg(status);
    if (status == 429)
        message += QStringLiteral("\n\n") + modIoRateLimitText(qMax(1, state.secondsLeft()));
    outcome.error = message;
    return outcome;
}

// Credentials and the rate limit, then the request with the conventions of the mod.io API. False with
// error set when nothing may be sent.
bool prepareRequest(const ModIoClientState &state, const QUrl &url, bool requireSignIn, bool apiKeyOnly,
                    bool hasBody, QNetworkRequest *request, bool *keyUsed, QString *error)
{
    const Credentials credentials = credentialsFor(url, requireSignIn, apiKeyOnly);
    if (!credentials.ok) {
        *error = credentials.error;
        return false;
    }
    const int secondsLeft = state.secondsLeft();
    if (secondsLeft > 0) {
        *error = modIoRateLimitText(secondsLeft);
        return false;
    }
    RequestExtras extras;
    extras.bearerToken = credentials.bearerToken;
    extras.hasBody = hasBody;
    *request = buildRequest(RequestKind::ModIoApi, credentials.url, extras);
    request->setTransferTimeout(state.timeoutMs);
    *keyUsed = credentials.bearerToken.isEmpty();
    return true;
}

} // namespace

ModIoClient::ModIoClient(QNetworkAccessManager &manager, QObject *context, const ModIoClientTiming &timing)
    : m_state(std::make_shared<ModIoClientState>())
{
    m_state->manager = &manager;
    m_state->context = context;
    m_state->timeoutMs = timing.requestTimeoutMs;
    m_state->nowMs = timing.nowMs ? timing.nowMs : [] {
        return QDeadlineTimer::current().deadline();
    };
}

ModIoClient::~ModIoClient() = default;

bool ModIoClient::modIoRequest(const QString &method, const QUrl &url, const QByteArray &body,
                               QJsonDocument *document, QString *error, bool requireSignIn, bool apiKeyOnly)
{
    if (document)
        *document = QJsonDocument();
    const QString verb = method.toUpper();
    QNetworkRequest request;
    bool keyUsed = false;
    QString refusal;
    if (!prepareRequest(*m_state, url, requireSignIn, apiKeyOnly, verb != QLatin1String("GET"), &request,
                        &keyUsed, &refusal)) {
        if (error)
            *error = refusal;
        return false;
    }

    QNetworkReply *reply = nullptr;
    if (verb == QLatin1String("GET"))
        reply = m_state->manager->get(request);
    else if (verb == QLatin1String("POST"))
        reply = m_state->manager->post(request, body);
    else if (verb == QLatin1String("DELETE"))
        reply = m_state->manager->sendCustomRequest(request, "DELETE", body);
    if (!reply) {
        if (error)
            *error = tr("Nicht unterstützte HTTP-Methode: %1").arg(method);
        return false;
    }

    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, &loop, [reply, &loop] {
        if (reply->isRunning())
            reply->abort();
        loop.quit();
    });
    limit.start(m_state->timeoutMs);
    if (!reply->isFinished())
        loop.exec();
    limit.stop();

    const Outcome outcome = evaluateReply(reply, true, keyUsed, *m_state);
    reply->deleteLater();
    if (document)
        *document = outcome.document;
    if (error)
        *error = outcome.error;
    return outcome.ok;
}

void ModIoClient::modIoGetAsync(const QUrl &url, bool requireSignIn, ModIoCallback callback)
{
    QObject *context = m_state->context;
    // Without its context nobody is there to hear the answer.
    if (!context)
        return;
    QNetworkRequest request;
    bool keyUsed = false;
    QString refusal;
    if (!prepareRequest(*m_state, url, requireSignIn, false, false, &request, &keyUsed, &refusal)) {
        QTimer::singleShot(0, context, [callback = std::move(callback), refusal] {
            callback(false, QJsonDocument(), refusal);
        });
        return;
    }
    QNetworkReply *reply = m_state->manager->get(request);
    // Once the context is gone nobody waits for the answer: the request ends without a word.
    QObject::connect(context, &QObject::destroyed, reply, [reply] {
        reply->disconnect();
        reply->abort();
        reply->deleteLater();
    });
    QObject::connect(reply, &QNetworkReply::finished, context,
                     [state = m_state, reply, keyUsed, callback = std::move(callback)] {
                         const Outcome outcome = evaluateReply(reply, false, keyUsed, *state);
                         callback(outcome.ok, outcome.document, outcome.error);
                     });
    QObject::connect(reply, &QNetworkReply::finished, reply, &QObject::deleteLater);
}

bool ModIoClient::modIoFetchAllMods(const QUrl &url, QList<ModIoMod> *mods, QString *error,
                                    const QSet<QString> &subscribedIds)
{
    mods->clear();
    const bool requireSignIn = url.path().contains(QLatin1String("/me/"));
    QStringList baseItems = encodedQueryItems(url);
    baseItems.erase(std::remove_if(baseItems.begin(), baseItems.end(),
                                   [](const QString &item) {
                                       const QString name = itemName(item);
                                       return name == QLatin1String("_limit") ||
                                              name == QLatin1String("_offset");
                                   }),
                    baseItems.end());
    int offset = 0;
    int total = -1;
    for (;;) {
        QUrl pageUrl = url;
        setEncodedQuery(pageUrl, baseItems + QStringList{QStringLiteral("_limit=%1").arg(fetchPageSize),
                                                         QStringLiteral("_offset=%1").arg(offset)});
        QJsonDocument document;
        QString pageError;
        if (!modIoRequest(QStringLiteral("GET"), pageUrl, QByteArray(), &document, &pageError,
                          requireSignIn)) {
            if (error)
                *error = pageError;
            return false;
        }
        const QJsonObject page = document.object();
        const QJsonArray data = page.value(QLatin1String("data")).toArray();
        for (const QJsonValue &element : data)
            mods->append(parseModIoMod(element.toObject(), subscribedIds));
        if (total < 0)
            total = page.value(QLatin1String("result_total")).toInt(int(data.size()));
        offset += int(data.size());
        if (data.isEmpty() || offset >= total || offset >= fetchCap)
            return true;
    }
}

int ModIoClient::rateLimitSecondsLeft() const
{
    return m_state->secondsLeft();
}

QUrl modIoApiUrl(const QString &apiRoot, const QString &path, const QList<QPair<QString, QString>> &query)
{
    QUrl url = requestUrl(apiRoot + path);
    if (!query.isEmpty())
        url.setQuery(joinedItems(query), QUrl::StrictMode);
    return url;
}

QByteArray modIoFormBody(const QList<QPair<QString, QString>> &items)
{
    return joinedItems(items).toLatin1();
}

QString modIoAccessPageUrl()
{
    return QStringLiteral("https://mod.io/me/access");
}

QString modIoRateLimitText(int secondsLeft)
{
    return tr("mod.io hat zu viele Anfragen in kurzer Zeit gemeldet. Weitere Anfragen sind erst in %1 "
              "Sekunden "
              "wieder möglich.")
        .arg(secondsLeft);
}
