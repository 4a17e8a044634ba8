#include "app/settings.h"
#include "modio/modioclient.h"
#include "testsupport.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QSettings>
#include <QTest>
#include <QUrlQuery>

#include <memory>

namespace {

struct Outcome
{
    bool ok = false;
    QJsonDocument document;
    QString error;
    int callbacks = 0;
    bool calledInsideTheCall = false;
};

// One request as the player's settings and the service make it. sentPath, when given, is what must reach the
// service; an error starting with "…" only has to start with the rest.
struct Case
{
    bool async = false;
    QString key, token, path, sentPath, authorization, error;
    bool requireSignIn = false, apiKeyOnly = false;
    int status = 200;
    QByteArray body;
    QString apiRoot;
    bool object = false;
};

const QString keyMissing =
    QStringLiteral("Bitte zuerst einen mod.io-API-Key in den Einstellungen eintragen.");
const QString signIn = QStringLiteral("Für diese mod.io-Funktion musst du angemeldet sein.");
const QString pathHint =
    QStringLiteral("\n\nWenn du einen persönlichen API-Key verwendest, übernimm bitte auch "
                   "den persönlichen API-Pfad, der auf https://mod.io/me/access angezeigt "
                   "wird, in die Einstellungen („mod.io API-Pfad:“).");
const QString wait =
    QStringLiteral("mod.io hat zu viele Anfragen in kurzer Zeit gemeldet. Weitere Anfragen sind "
                   "erst in %1 Sekunden wieder möglich.");

QByteArray example(const char *name)
{
    return readTestFile(QStringLiteral(FX3_TEST_DATA_DIR "/modio/") + QLatin1String(name));
}

void addRow(const char *name, bool bothStyles, Case row)
{
    for (const bool async : {false, true}) {
        row.async = async;
        if (!async || bothStyles)
            QTest::addRow("%s%s", async ? "async: " : "", name) << row;
    }
}

} // namespace

Q_DECLARE_METATYPE(Case)

class ModIoClientTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void methodsHeadersAndBodies_data();
    void methodsHeadersAndBodies();
    void requests_data();
    void requests();
    void rateLimitHoldsEveryRequest_data();
    void rateLimitHoldsEveryRequest();
    void fetchAllModsPages_data();
    void fetchAllModsPages();
    void goneContextSilencesTheCallbacks();
    void stalledAnswersTimeOutApart();
    void urlsAndFormBodiesAreFullyEncoded();

private:
    void configure(const QString &key, const QString &token);
    Outcome request(bool async, const QString &path, bool requireSignIn = false, bool apiKeyOnly = false,
                    const QString &method = QStringLiteral("GET"), const QByteArray &body = {});

    std::unique_ptr<TestEnvironment> m_env;
    std::unique_ptr<FakeHttpServer> m_server;
    std::unique_ptr<QNetworkAccessManager> m_manager;
    std::unique_ptr<QObject> m_context;
    std::unique_ptr<ModIoClient> m_client;
    qint64 m_now = 0;
};

void ModIoClientTest::init()
{
    m_env = std::make_unique<TestEnvironment>();
    m_server = std::make_unique<FakeHttpServer>();
    m_manager = std::make_unique<QNetworkAccessManager>();
    m_context = std::make_unique<QObject>();
    m_now = 5000000;
    ModIoClientTiming timing;
    timing.requestTimeoutMs = 5000;
    timing.nowMs = [this] {
        return m_now;
    };
    m_client = std::make_unique<ModIoClient>(*m_manager, m_context.get(), timing);
    configure(QStringLiteral("KEY"), QString());
}

void ModIoClientTest::cleanup()
{
    m_client.reset();
    m_context.reset();
    m_manager.reset();
    m_server.reset();
    m_env.reset();
}

void ModIoClientTest::configure(const QString &key, const QString &token)
{
    QSettings().setValue(QStringLiteral("modio/api_key"), key);
    storeModIoToken(token);
}

Outcome ModIoClientTest::request(bool async, const QString &path, bool requireSignIn, bool apiKeyOnly,
                                 const QString &method, const QByteArray &body)
{
    Outcome outcome;
    const QUrl url(m_server->url(path));
    if (!async) {
        outcome.ok = m_client->modIoRequest(method, url, body, &outcome.document, &outcome.error,
                                            requireSignIn, apiKeyOnly);
        return outcome;
    }
    bool inside = true;
    m_client->modIoGetAsync(url, requireSignIn,
                            [&](bool ok, const QJsonDocument &document, const QString &error) {
                                outcome = {ok, document, error, outcome.callbacks + 1, inside};
                            });
    inside = false;
    if (!QTest::qWaitFor([&] { return outcome.callbacks > 0; }, 5000))
        outcome.error = QStringLiteral("no callback");
    QTest::qWait(20);
    return outcome;
}

void ModIoClientTest::methodsHeadersAndBodies_data()
{
    QTest::addColumn<QString>("method");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QByteArray>("sentMethod"); // empty: refused before sending
    const QByteArray form = modIoFormBody({{"email", "a+b c@x.de"}});
    QTest::newRow("GET") << "GET" << QByteArray() << QByteArray("GET");
    QTest::newRow("post in lower case with form body") << "post" << form << QByteArray("POST");
    QTest::newRow("DELETE with empty body") << "Delete" << QByteArray() << QByteArray("DELETE");
    QTest::newRow("PUT is refused") << "PUT" << form << QByteArray();
}

void ModIoClientTest::methodsHeadersAndBodies()
{
    QFETCH(QString, method);
    QFETCH(QByteArray, body);
    QFETCH(QByteArray, sentMethod);
    configure(QString(), QStringLiteral("TOK"));
    m_server->setResponse("/games/1/mods/5/subscribe", 201, "{\"id\":5}");

    const Outcome outcome =
        request(false, QStringLiteral("/games/1/mods/5/subscribe"), true, false, method, body);
    if (sentMethod.isEmpty()) {
        QCOMPARE(outcome.error, QStringLiteral("Nicht unterstützte HTTP-Methode: PUT"));
        QCOMPARE(m_server->requests().size(), 0);
        return;
    }
    QCOMPARE(outcome.document.object().value("id").toInt(), 5);
    const RecordedRequest sent = m_server->requests().value(0);
    QCOMPARE(sent.method, sentMethod);
    QCOMPARE(sent.body, body);
    QCOMPARE(sent.headers.value("content-type"),
             QByteArray(sentMethod == "GET" ? "" : "application/x-www-form-urlencoded"));
    const QList<QPair<QByteArray, QByteArray>> fixed = {{"accept", "application/json"},
                                                        {"accept-language", "de-DE,de;q=0.9,en;q=0.8"},
                                                        {"x-modio-platform", "windows"},
                                                        {"x-modio-portal", "steam"},
                                                        {"user-agent", "Trackhaven-FX3-Mod-Manager/0.5.38"},
                                                        {"authorization", "Bearer TOK"}};
    for (const auto &header : fixed)
        QCOMPARE(sent.headers.value(header.first), header.second);
}

void ModIoClientTest::requests_data()
{
    QTest::addColumn<Case>("row");
    const auto sent = [](const char *key, const char *token, const char *path, const char *sentPath,
                         const char *authorization, const QString &error, bool signIn = false,
                         bool keyOnly = false) {
        Case c{false, key, token, path, sentPath, authorization, error, signIn, keyOnly, 200, "{}", "", true};
        c.object = c.error.isEmpty();
        return c;
    };
    addRow("no key, no token", true, sent("", "", "/m", "", "", keyMissing));
    addRow("sign-in message first", true, sent("", "", "/me", "", "", signIn, true));
    addRow("sign-in with a key only", true, sent("KEY", "", "/me", "", "", signIn, true));
    addRow("key as query item", true, sent(" K+1 ", "", "/m?a=1", "/m?a=1&api_key=K%2B1", "", ""));
    addRow("token wins over key", true, sent("KEY", " TOK ", "/me", "/me", "Bearer TOK", "", true));
    addRow("own api_key is kept", true, sent("KEY", "", "/m?api_key=own", "/m?api_key=own", "", ""));
    addRow("apiKeyOnly ignores the token", false,
           sent("KEY", "TOK", "/o", "/o?api_key=KEY", "", "", false, true));
    addRow("apiKeyOnly without key", false, sent("", "TOK", "/o", "", "", keyMissing, false, true));

    const auto reply = [](int status, const QByteArray &body, const QString &error, const char *apiRoot = "",
                          const char *token = "", bool async = false) {
        const bool object = error.isEmpty() && body.startsWith('{');
        return Case{async, "KEY", token, "/r", "", "", error, false, false, status, body, apiRoot, object};
    };
    addRow("object", true, reply(200, "{\"a\":1}", "", "", ""));
    addRow("empty 200", true, reply(200, " \n", ""));
    addRow("204", true, reply(204, "", ""));
    addRow("invalid JSON", true,
           reply(200, "{\"a\":", "…mod.io hat eine ungültige JSON-Antwort geliefert: "));
    addRow("message and error lines", true,
           reply(422,
                 "{\"error\":{\"message\":\" x \",\"errors\":{\"e\":[\"a\",\"b\"],\"n\":\" \",\"z\":7}}}",
                 "x\n\ne: a, b\nz: 7"));
    addRow("top-level message", true, reply(400, "{\"message\":\" m \"}", "m"));
    addRow("422 as published is no JSON", true,
           reply(422, example("error-422-validation.current-docs.raw.txt"), "…Error transferring"));
    addRow("403 as published", true,
           reply(403, example("error-403.current-docs.json"),
                 "You do not have the required permissions to access this resource.",
                 "https://own.modapi.io/v1"));
    addRow(
        "401 with a key on the default root adds the path hint", false,
        reply(401, example("error-401-malformed-api-key.response.json"),
              "We cannot complete your request due to a malformed/missing api_key in your request. Refer to "
              "documentation at https://docs.mod.io" +
                  pathHint));
    const QByteArray no("{\"message\":\"no\"}");
    addRow("the default root in capitals", false,
           reply(403, no, "no" + pathHint, "HTTPS://G-73160.MODAPI.IO/V1"));
    addRow("no hint with a token", false, reply(401, no, "no", "", "TOK"));
    addRow("no hint for other errors", false, reply(404, no, "no"));
    const QByteArray deprecated("{\"error\":{\"message\":\"API.MOD.IO is Deprecated\"}}");
    addRow(
        "old general endpoint", false,
        reply(
            410, deprecated,
            "mod.io unterstützt den alten allgemeinen API-Endpunkt (api.mod.io) nicht mehr. Bitte öffne die "
            "Einstellungen und trage unter „mod.io API-Pfad:“ die spielspezifische Adresse ein, die auf "
            "https://mod.io/me/access angezeigt wird."));
    addRow("old endpoint text needs both words", false,
           reply(410, "{\"message\":\"api.mod.io\"}", "api.mod.io"));
    // Both hints belong to the blocking requests of sign-in, settings and installation only.
    QTest::newRow("async: no path hint") << reply(401, no, "no", "", "", true);
    QTest::newRow("async: no old endpoint text")
        << reply(410, deprecated, "API.MOD.IO is Deprecated", "", "", true);
}

void ModIoClientTest::requests()
{
    QFETCH(Case, row);
    QSettings().setValue(QStringLiteral("modio/api_root"), row.apiRoot);
    configure(row.key, row.token);
    m_server->setResponse(QUrl(row.path).path().toUtf8(), row.status, row.body);

    const Outcome outcome = request(row.async, row.path, row.requireSignIn, row.apiKeyOnly);
    QCOMPARE(outcome.ok, row.error.isEmpty());
    if (row.error.startsWith(u'…'))
        QVERIFY2(outcome.error.startsWith(row.error.mid(1)), qPrintable(outcome.error));
    else
        QCOMPARE(outcome.error, row.error);
    QCOMPARE(outcome.document.isObject(), row.object);
    QCOMPARE(outcome.callbacks, row.async ? 1 : 0);
    QVERIFY(!outcome.calledInsideTheCall);
    const QList<RecordedRequest> sent = m_server->requests();
    QCOMPARE(sent.size(), row.error == keyMissing || row.error == signIn ? 0 : 1);
    if (!row.sentPath.isEmpty()) {
        QCOMPARE(QString::fromUtf8(sent.first().path), row.sentPath);
        QCOMPARE(QString::fromUtf8(sent.first().headers.value("authorization")), row.authorization);
    }
}

void ModIoClientTest::rateLimitHoldsEveryRequest_data()
{
    QTest::addColumn<QByteArray>("retryAfter"); // null: no header
    QTest::addColumn<int>("seconds");
    QTest::newRow("as the service says") << QByteArray(" 30 ") << 30;
    QTest::newRow("missing") << QByteArray() << 60;
    QTest::newRow("rolling limit") << QByteArray("0") << 60;
}

void ModIoClientTest::rateLimitHoldsEveryRequest()
{
    QFETCH(QByteArray, retryAfter);
    QFETCH(int, seconds);
    FakeResponse limited{429, {}, example("error-429-rate-limited.response.json")};
    if (!retryAfter.isNull())
        limited.headers.append({"retry-after", retryAfter});
    m_server->setResponse("/limited", limited);
    m_server->setResponse("/other", 200, "{}");

    QCOMPARE(
        request(false, QStringLiteral("/limited")).error,
        "You have made too many requests in a short period of time, please wait and try again soon.\n\n" +
            wait.arg(seconds));
    QCOMPARE(m_client->rateLimitSecondsLeft(), seconds);
    m_now += qint64(seconds) * 1000 - 1001;
    QCOMPARE(m_client->rateLimitSecondsLeft(), 2);
    QCOMPARE(request(false, QStringLiteral("/other")).error, wait.arg(2));
    m_now += 2;
    const Outcome held = request(true, QStringLiteral("/other"));
    QCOMPARE(held.error, wait.arg(1));
    QVERIFY(!held.calledInsideTheCall);
    QCOMPARE(m_server->requests().size(), 1);

    m_now += 999;
    QCOMPARE(m_client->rateLimitSecondsLeft(), 0);
    QVERIFY(request(true, QStringLiteral("/other")).ok);
    QVERIFY(request(false, QStringLiteral("/other")).ok);
    QCOMPARE(m_server->requests().size(), 3);
}

void ModIoClientTest::fetchAllModsPages_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("total"); // served mods; below 0: "result_total" is left out
    QTest::addColumn<int>("mods");  // below 0: the fetch fails
    QTest::addColumn<int>("requests");
    QTest::newRow("three pages") << "/games/1/mods/2/dependencies?recursive=true" << 250 << 250 << 3;
    QTest::newRow("exactly one page") << "/games/1/mods" << 100 << 100 << 1;
    QTest::newRow("capped at 3000") << "/games/1/mods?_limit=7&tags=a%2Bb&_offset=9" << 7000 << 3000 << 30;
    QTest::newRow("without total, one page") << "/games/1/mods" << -250 << 100 << 1;
    QTest::newRow("empty list") << "/games/1/mods" << 0 << 0 << 1;
    QTest::newRow("own list needs sign-in") << "/me/subscribed" << 5 << -1 << 0;
}

void ModIoClientTest::fetchAllModsPages()
{
    QFETCH(QString, path);
    QFETCH(int, total);
    QFETCH(int, mods);
    QFETCH(int, requests);
    m_server->setHandler([total](const RecordedRequest &request, FakeResponse *response) {
        const QUrlQuery query(QUrl(QString::fromUtf8(request.path)));
        const int offset = query.queryItemValue(QStringLiteral("_offset")).toInt();
        QJsonArray data;
        for (int id = offset + 1; id <= qMin(qAbs(total), offset + 100); ++id)
            data.append(QJsonObject{{"id", id}});
        QJsonObject page{{"data", data}};
        if (total >= 0)
            page.insert("result_total", total);
        *response = FakeResponse{200, {}, QJsonDocument(page).toJson()};
        return true;
    });

    QList<ModIoMod> list{ModIoMod()};
    QString error;
    QCOMPARE(m_client->modIoFetchAllMods(QUrl(m_server->url(path)), &list, &error, {QStringLiteral("3")}),
             mods >= 0);
    QCOMPARE(error, mods >= 0 ? QString() : signIn);
    QCOMPARE(list.size(), qMax(0, mods));
    QCOMPARE(m_server->requests().size(), requests);
    if (mods > 2) {
        QCOMPARE(list.last().id, QString::number(mods));
        QVERIFY(list.at(2).subscribed && !list.at(1).subscribed);
    }
    if (requests > 1) {
        const QByteArray second = m_server->requests().at(1).path;
        QVERIFY2(second.contains("_limit=100&_offset=100") && second.count("_limit") == 1 &&
                     second.count("_offset") == 1,
                 second.constData());
        QCOMPARE(second.contains("tags=a%2Bb"), path.contains("tags"));
    }
}

void ModIoClientTest::goneContextSilencesTheCallbacks()
{
    int calls = 0;
    const auto count = [&calls](bool, const QJsonDocument &, const QString &) {
        ++calls;
    };
    m_server->setResponse("/r", 200, "{}");
    m_client->modIoGetAsync(QUrl(m_server->url("/r")), false, count);
    configure(QString(), QString());
    m_client->modIoGetAsync(QUrl(m_server->url("/r")), false, count);
    m_context.reset();
    m_client->modIoGetAsync(QUrl(m_server->url("/r")), false, count);
    // The client may go first, too: answers still in flight must not reach it.
    m_client.reset();
    QTest::qWait(300);
    QCOMPARE(calls, 0);
}

void ModIoClientTest::stalledAnswersTimeOutApart()
{
    FakeResponse silent;
    silent.silent = true;
    m_server->setResponse("/hang", silent);
    m_server->setResponse("/fast", 404, "{\"message\":\"fast\"}");
    ModIoClientTiming timing;
    timing.requestTimeoutMs = 300;
    m_client = std::make_unique<ModIoClient>(*m_manager, m_context.get(), timing);

    const QString error = request(false, QStringLiteral("/hang")).error;
    QVERIFY2(error.startsWith(QStringLiteral("Zeitüberschreitung")), qPrintable(error));

    // A later, quicker answer goes to its own callback; the stalled one ends in its time-out.
    QStringList results;
    const auto record = [&results](const QString &name) {
        return [&results, name](bool, const QJsonDocument &, const QString &error) {
            results.append(name + QLatin1Char('|') + error.left(18));
        };
    };
    m_client->modIoGetAsync(QUrl(m_server->url("/hang")), false, record("hang"));
    m_client->modIoGetAsync(QUrl(m_server->url("/fast")), false, record("fast"));
    QTRY_COMPARE_WITH_TIMEOUT(results.size(), 2, 3000);
    QTest::qWait(50);
    QCOMPARE(results, QStringList({"fast|fast", "hang|Zeitüberschreitung"}));
}

void ModIoClientTest::urlsAndFormBodiesAreFullyEncoded()
{
    const QString root = QStringLiteral("https://g-1.modapi.io/v1");
    QCOMPARE(modIoApiUrl(root, "/games/1/mods", {{"_q", "C++ & Co"}, {"name-lk", "*ä,ö*"}, {"tags", ""}})
                 .toString(QUrl::FullyEncoded),
             root + "/games/1/mods?_q=C%2B%2B%20%26%20Co&name-lk=%2A%C3%A4%2C%C3%B6%2A&tags=");
    QCOMPARE(modIoApiUrl(root, "/me").toString(), root + "/me");
    QCOMPARE(modIoFormBody({{"security_code", "A+ 1/="}, {"include_dependencies", "true"}}),
             QByteArray("security_code=A%2B%201%2F%3D&include_dependencies=true"));
}

QTEST_GUILESS_MAIN(ModIoClientTest)
#include "tst_modioclient.moc"
