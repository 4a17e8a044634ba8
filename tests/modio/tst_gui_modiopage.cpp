#include "app/settings.h"
#include "fakemodio.h"
#include "modio/modiolisting.h"
#include "modio/modiolistmodel.h"
#include "storedzip.h"
#include "windowfixture.h"

#include <QComboBox>
#include <QDateTime>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QProgressBar>
#include <QPushButton>
#include <QUrlQuery>
#include <QtTest>

namespace {
// A small stand-in for the service: 1000 mods "Lok <id>"; even ids by the display name "Gleiswerk", odd ones
// by "Autor<id % 50>"; every 25th mod is rated 90 % positive (five stars), every 10th not rated at all, the
// rest 50 %. "_q" never finds anything, so searches fall back to the "-lk" patterns.
constexpr int catalogSize = 1000;

QJsonObject fakeMod(int id)
{
    const QString author = id % 2 == 0 ? QStringLiteral("Gleiswerk") : QStringLiteral("Autor%1").arg(id % 50);
    const int percent = id % 25 == 0 ? 90 : 50;
    return QJsonObject{
        {"id", id},
        {"name", QStringLiteral("Lok %1").arg(id)},
        {"summary", QStringLiteral("Eine Lok.")},
        {"profile_url", QStringLiteral("https://mod.invalid/lok-%1").arg(id)},
        {"submitted_by", QJsonObject{{"id", 5000 + id % 50}, {"display_name_portal", author}}},
        {"modfile", QJsonObject{{"id", id * 10}}},
        {"stats", QJsonObject{{"subscribers_total", catalogSize - id},
                              {"ratings_total", id % 10 == 0 ? 0 : 10},
                              {"ratings_percentage_positive", percent}}},
    };
}

bool matchesPattern(const QString &text, const QString &pattern)
{
    return text.contains(QString(pattern).remove(QLatin1Char('*')), Qt::CaseInsensitive);
}

QString item(const QUrlQuery &query, const char *name)
{
    return query.queryItemValue(QLatin1String(name), QUrl::FullyDecoded);
}

QByteArray listAnswer(const QUrlQuery &query)
{
    const int offset = item(query, "_offset").toInt();
    const int limit = item(query, "_limit").toInt();
    const QStringList blocked = item(query, "submitted_by-not-in").split(',', Qt::SkipEmptyParts);
    const QStringList only = item(query, "id-in").split(',', Qt::SkipEmptyParts);
    QJsonArray matching;
    for (int id = 1; id <= catalogSize && !query.hasQueryItem("_q"); ++id) {
        const QJsonObject mod = fakeMod(id);
        const QJsonObject by = mod.value("submitted_by").toObject();
        if ((query.hasQueryItem("name-lk") &&
             !matchesPattern(mod.value("name").toString(), item(query, "name-lk"))) ||
            (query.hasQueryItem("submitted_by_display_name-lk") &&
             !matchesPattern(by.value("display_name_portal").toString(),
                             item(query, "submitted_by_display_name-lk"))) ||
            blocked.contains(QString::number(by.value("id").toInt())) ||
            (!only.isEmpty() && !only.contains(QString::number(id))))
            continue;
        matching.append(mod);
    }
    QJsonArray data;
    for (int i = offset; i < qMin(int(matching.size()), offset + limit); ++i)
        data.append(matching.at(i));
    return QJsonDocument(QJsonObject{{"data", data},
                                     {"result_offset", offset},
                                     {"result_count", data.size()},
                                     {"result_total", matching.size()}})
        .toJson();
}

// The search-relevant part of a list request: its offset and the search item it carries.
QString requestSummary(const QUrlQuery &query)
{
    QString summary = query.queryItemValue("_offset");
    for (const char *item : {"_q", "name-lk", "submitted_by_display_name-lk"}) {
        if (query.hasQueryItem(item))
            summary += QStringLiteral(" %1=%2").arg(item, query.queryItemValue(item, QUrl::FullyDecoded));
    }
    return summary;
}
} // namespace

class MainWindowTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void signIn_data();
    void signIn();
    void listRequests_data();
    void listRequests();
    void staleAndCancelledAnswersChangeNothing();
    void firstPageCache_data();
    void firstPageCache();
    void subscriptions_data();
    void subscriptions();
    void quickCheckAndBlacklistTakeTheirOwnRecord();
    void rateLimitContinuesByItself();
    void linkInstallsItsOwnRecord();

private:
    MainWindow &openPage(const QString &token = QString());
    bool waitLoaded();
    QStringList shownNames() const;
    QList<QUrlQuery> listQueries() const;
    void select(const QString &name);

    WindowFixture *fixture = nullptr;
    std::function<bool(const RecordedRequest &, FakeResponse *)> override;
};

void MainWindowTest::init()
{
    fixture = new WindowFixture;
    QSettings settings;
    settings.setValue("modio/api_root", fixture->server.url("/v1/"));
    settings.setValue("modio/api_key", "KEY");
    override = nullptr;
    fixture->server.setHandler([this](const RecordedRequest &request, FakeResponse *response) {
        if (override && override(request, response))
            return true;
        const QUrl url(QString::fromUtf8(request.path));
        if (url.path() == "/v1/games/73160/mods" || url.path() == "/v1/me/subscribed") {
            response->body = listAnswer(QUrlQuery(url));
            return true;
        }
        return false;
    });
}

void MainWindowTest::cleanup()
{
    delete fixture;
    QFile::remove(modIoCatalogCachePath());
}

MainWindow &MainWindowTest::openPage(const QString &token)
{
    storeModIoToken(token);
    MainWindow &window = fixture->open();
    window.showModIo();
    return window;
}

bool MainWindowTest::waitLoaded()
{
    return QTest::qWaitFor(
        [this] {
            const ModIoView &view = fixture->window->modIoView;
            return !view.loading && view.listInfo->text().contains(QLatin1String("geladen"));
        },
        10000);
}

QStringList MainWindowTest::shownNames() const
{
    const ModIoView &view = fixture->window->modIoView;
    QStringList names;
    for (int row = 0; row < view.model->rowCount(); ++row)
        names.append(view.model->index(row).data(ModIoRole::Name).toString());
    return names;
}

QList<QUrlQuery> MainWindowTest::listQueries() const
{
    QList<QUrlQuery> queries;
    for (const RecordedRequest &request : fixture->server.requests()) {
        const QUrl url(QString::fromUtf8(request.path));
        if (url.path() == "/v1/games/73160/mods" && !url.query().contains("submitted_by="))
            queries.append(QUrlQuery(url));
    }
    return queries;
}

void MainWindowTest::select(const QString &name)
{
    ModIoView &view = fixture->window->modIoView;
    const int row = shownNames().indexOf(name);
    QVERIFY2(row >= 0, qPrintable(name));
    view.list->setCurrentIndex(view.model->index(row));
}

void MainWindowTest::signIn_data()
{
    QTest::addColumn<bool>("email");
    QTest::addColumn<QString>("storedKey");
    QTest::addColumn<QString>("storedToken");
    QTest::addColumn<QStringList>("answers"); // text inputs, or the tokens pasted
    QTest::addColumn<QString>("token");
    QTest::addColumn<QString>("expires");
    QTest::addColumn<QString>("label");
    QTest::addColumn<int>("warnings");

    const auto row = [](const char *tag, bool email, const char *storedKey, const char *storedToken,
                        const QStringList &answers, const char *token, const char *expires, const char *label,
                        int warnings) {
        QTest::newRow(tag) << email << QString(storedKey) << QString(storedToken) << answers << QString(token)
                           << QString(expires) << QString(label) << warnings;
    };
    const QString null;
    const char *in = "Angemeldet: Portal Anna";
    const char *out = "Nicht angemeldet";
    row("e-mail, key asked first", true, "", "", {"NEWKEY", "a+b@example.org", "123"}, "FRESH", "1700000000",
        in, 0);
    row("e-mail while a token is stored", true, "KEY", "OLD", {"a+b@example.org", "1"}, "FRESH", "1700000000",
        in, 0);
    row("key kept when the address is cancelled", true, "", "", {"NEWKEY", null}, "", "", out, 0);
    row("key cancelled", true, "", "", {null}, "", "", "Nicht eingerichtet", 0);
    row("wrong code", true, "KEY", "", {"a@b.example", "999"}, "", "", out, 1);
    row("blank, rejected, then good token", false, "KEY", "", {"  ", "BAD", "GOOD"}, "GOOD", "", in, 2);
    // The rejected token replaced the stored one, so the header must stop saying "signed in".
    row("rejected token leaves nothing", false, "KEY", "OLD", {"BAD"}, "", "", out, 1);
}

void MainWindowTest::signIn()
{
    QFETCH(bool, email);
    QFETCH(QString, storedKey);
    QFETCH(QString, storedToken);
    QFETCH(QStringList, answers);
    QSettings().setValue("modio/api_key", storedKey);
    if (!storedToken.isEmpty())
        QSettings().setValue("modio/user_name", "Alt");
    fixture->server.setResponse("/v1/oauth/emailrequest", 200, "{}", "application/json");
    override = [](const RecordedRequest &request, FakeResponse *response) {
        if (request.path.startsWith("/v1/oauth/emailexchange")) {
            const bool right = request.body == "security_code=123" || request.body == "security_code=1";
            response->status = right ? 200 : 422;
            response->body = right ? R"({"access_token": " FRESH ", "date_expires": 1700000000})"
                                   : R"({"error": {"message": "Falscher Code"}})";
            return true;
        }
        if (!request.path.startsWith("/v1/me?") && request.path != "/v1/me")
            return false;
        const QByteArray bearer = request.headers.value("authorization");
        const bool valid = bearer == "Bearer GOOD" || bearer == "Bearer FRESH";
        response->status = valid ? 200 : 401;
        response->body = valid ? R"({"username": "", "display_name_portal": " Portal Anna "})"
                               : R"({"error": {"message": "Token abgelehnt"}})";
        return true;
    };
    MainWindow &window = openPage(storedToken);
    QTRY_VERIFY(!window.modIoView.loading);
    fixture->scripted.messages.clear();
    (email ? fixture->scripted.textAnswers : fixture->scripted.tokenAnswers) = answers;
    email ? window.modIoLoginEmail() : window.modIoLoginSteam();

    QFETCH(QString, token);
    QFETCH(QString, expires);
    QFETCH(QString, label);
    QFETCH(int, warnings);
    const QString expectedToken = token.isEmpty() && email ? storedToken : token;
    QCOMPARE(modIoAccessToken(), expectedToken);
    QCOMPARE(QSettings().value("modio/token_expires").toString(), expires);
    if (token.isEmpty() && !email)
        QVERIFY(!QSettings().contains("modio/user_name"));
    else if (!token.isEmpty())
        QCOMPARE(QSettings().value("modio/user_name").toString(), QStringLiteral("Portal Anna"));
    QCOMPARE(window.modIoView.accountLabel->text(), label);
    QCOMPARE(window.modIoView.logoutButton->isEnabled(), !expectedToken.isEmpty());
    QCOMPARE(fixture->scripted.messages.filter(QRegularExpression("^warning\\|")).size(), warnings);
    if (answers.size() > 1 && email)
        QCOMPARE(QSettings().value("modio/api_key").toString(), storedKey.isEmpty() ? "NEWKEY" : storedKey);
    for (const RecordedRequest &request : fixture->server.requests()) {
        if (!request.path.startsWith("/v1/oauth/"))
            continue;
        QVERIFY2(request.path.endsWith(storedKey.isEmpty() ? "api_key=NEWKEY" : "api_key=KEY"), request.path);
        QVERIFY(!request.headers.contains("authorization"));
        if (request.path.startsWith("/v1/oauth/emailrequest"))
            QVERIFY(request.body == "email=a%2Bb%40example.org" || request.body == "email=a%40b.example");
    }
}

void MainWindowTest::listRequests_data()
{
    QTest::addColumn<QString>("search");
    QTest::addColumn<int>("source");
    QTest::addColumn<int>("rating");
    QTest::addColumn<QStringList>("installed");
    QTest::addColumn<QStringList>("requests");
    QTest::addColumn<int>("shown");
    QTest::addColumn<QString>("listInfo");

    const auto row = [](const char *tag, const QString &search, int source, int rating,
                        const QStringList &requests, int shown, const QString &listInfo,
                        const QStringList &installed = {}) {
        QTest::newRow(tag) << search << source << rating << installed << requests << shown << listInfo;
    };
    row("default listing", "", 0, 0, {"0"}, 60, "60 von 1000 Mods geladen");
    row("name found by pattern", "Lok 77", 0, 0, {"0 _q=Lok 77", "0 name-lk=*Lok 77*"}, 11,
        "11 von 11 Mods geladen");
    row("author found by display name", "autor7", 0, 0,
        {"0 _q=autor7", "0 name-lk=*autor7*", "0 submitted_by_display_name-lk=*autor7*"}, 20,
        "20 von 20 Mods geladen");
    const QString shortened = QStringLiteral(" submitted_by_display_name-lk=*Glei*");
    row("author shortened, four more pages", "@Gleisbauer", 0, 0,
        {"0 submitted_by_display_name-lk=*Gleisbauer*", "0" + shortened, "60" + shortened, "120" + shortened,
         "180" + shortened, "240" + shortened},
        0, "300 von 500 Mods geladen");
    row("short author name never shortened", "@Zug", 0, 0, {"0 submitted_by_display_name-lk=*Zug*"}, 0,
        "0 Mods geladen");
    row("author found at once", "@Autor3", 0, 0, {"0 submitted_by_display_name-lk=*Autor3*"}, 60,
        "60 von 120 Mods geladen");
    const QStringList sixPages{"0", "60", "120", "180", "240", "300"};
    row("rare rating: continues up to 360 records", "", 0, 5, sixPages, 7, "360 von 1000 Mods geladen");
    row("common rating: first page has 40 hits", "", 0, 1, {"0"}, 54, "60 von 1000 Mods geladen");
    row("nothing installed: no request", "", 2, 0, {}, 0, "Keine mod.io-Mods installiert.");
    row("installed mods", "", 2, 0, {"0"}, 2, "2 von 2 Mods geladen", {"12", "5", "notes"});
}

void MainWindowTest::listRequests()
{
    QFETCH(QString, search);
    QFETCH(int, source);
    QFETCH(int, rating);
    QFETCH(QStringList, installed);
    for (const QString &folder : installed)
        QDir().mkpath(fixture->modIoMods + "/" + folder);
    MainWindow &window = fixture->open();
    ModIoView &view = window.modIoView;
    {
        const QSignalBlocker blockSource(view.source), blockRating(view.rating), blockSearch(view.search);
        view.source->setCurrentIndex(source);
        view.rating->setCurrentIndex(rating);
        view.search->setText(search);
    }
    window.showModIo();

    QFETCH(QStringList, requests);
    QFETCH(int, shown);
    QFETCH(QString, listInfo);
    QTRY_COMPARE(view.listInfo->text(), listInfo);
    QStringList sent;
    for (const QUrlQuery &query : listQueries()) {
        sent.append(requestSummary(query));
        if (source == 2)
            QCOMPARE(item(query, "id-in"), "5,12");
    }
    QCOMPARE(sent, requests);
    QCOMPARE(shownNames().size(), shown);
    QVERIFY(!view.loading);
    QVERIFY(view.progress->isHidden());
}

void MainWindowTest::staleAndCancelledAnswersChangeNothing()
{
    MainWindow &window = fixture->open();
    ModIoView &view = window.modIoView;
    QSignalBlocker blocker(view.search);
    // Two restarts before any answer: only the second one's answer may fill the list.
    view.search->setText("Lok 99");
    window.reloadModIo();
    view.search->setText("Lok 77");
    window.reloadModIo();
    QVERIFY(waitLoaded());
    QVERIFY(!shownNames().isEmpty());
    QVERIFY(shownNames().filter("Lok 99").isEmpty());

    view.search->clear();
    window.reloadModIo();
    QVERIFY(waitLoaded());
    override = [](const RecordedRequest &request, FakeResponse *response) {
        response->silent = request.path.contains("_offset=60");
        return response->silent;
    };
    view.moreButton->click();
    QVERIFY(view.loading);
    view.cancelButton->click();
    QCOMPARE(view.listInfo->text(), "Laden abgebrochen – bereits geladene Mods bleiben verfügbar.");
    QCOMPARE(shownNames().size(), 60);
    QVERIFY(view.moreButton->isEnabled());
    QVERIFY(view.reloadButton->isEnabled());
    QVERIFY(view.cancelButton->isHidden());
}

void MainWindowTest::firstPageCache_data()
{
    QTest::addColumn<int>("ageDays");
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("rowsAtOnce");
    QTest::addColumn<QString>("listInfo");
    QTest::addColumn<int>("rowsAfter");

    QTest::newRow("fresh cache, then the service") << 13 << 200 << 2 << "60 von 1000 Mods geladen" << 60;
    QTest::newRow("fresh cache, service down")
        << 1 << 500 << 2 << "Netzwerkfehler – zwischengespeicherter Katalog wird angezeigt." << 2;
    QTest::newRow("cache older than 14 days") << 15 << 200 << 0 << "60 von 1000 Mods geladen" << 60;
    QTest::newRow("old cache, service down") << 15 << 500 << 0 << "Laden fehlgeschlagen." << 0;
}

void MainWindowTest::firstPageCache()
{
    QFETCH(int, ageDays);
    QFETCH(int, status);
    const QString cache = modIoCatalogCachePath();
    QVERIFY(writeModIoCatalogCache(
        cache,
        QJsonDocument(QJsonObject{{"data", QJsonArray{fakeMod(998), fakeMod(999)}}, {"result_total", 2}})));
    QFile file(cache);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(
        file.setFileTime(QDateTime::currentDateTime().addDays(-ageDays), QFileDevice::FileModificationTime));
    file.close();
    if (status != 200) {
        override = [status](const RecordedRequest &, FakeResponse *response) {
            response->status = status;
            return true;
        };
    }
    MainWindow &window = openPage();
    QTEST(int(shownNames().size()), "rowsAtOnce");
    QTRY_VERIFY(!window.modIoView.loading);
    QTEST(window.modIoView.listInfo->text(), "listInfo");
    QTEST(int(shownNames().size()), "rowsAfter");
    QCOMPARE(fixture->scripted.messages.size(), status != 200 && ageDays > 14 ? 1 : 0);
    // A successful first page of the default listing replaces the cache.
    QJsonObject page;
    QCOMPARE(readModIoCatalogCache(cache, QDateTime::currentDateTime(), &page),
             status == 200 || ageDays <= 14);
    QCOMPARE(page.value("data").toArray().size(), status == 200 ? 60 : ageDays <= 14 ? 2 : 0);
}

void MainWindowTest::subscriptions_data()
{
    QTest::addColumn<QString>("mod");
    QTest::addColumn<QList<bool>>("answers");
    QTest::addColumn<QString>("request");
    QTest::addColumn<bool>("subscribed");
    QTest::addColumn<bool>("folderKept");

    QTest::newRow("subscribe") << "Lok 7" << QList<bool>{} << "POST /v1/games/73160/mods/7/subscribe" << true
                               << true;
    QTest::newRow("unsubscribe, keep the files")
        << "Lok 5" << QList<bool>{true, false} << "DELETE /v1/games/73160/mods/5/subscribe" << false << true;
    QTest::newRow("unsubscribe and delete the files")
        << "Lok 5" << QList<bool>{true, true} << "DELETE /v1/games/73160/mods/5/subscribe" << false << false;
    QTest::newRow("unsubscribe declined") << "Lok 5" << QList<bool>{false} << "" << true << true;
    // A mod whose id is no plain number names neither an endpoint nor a folder: ".." would address the game
    // and the mod.io folder's parent.
    QTest::newRow("odd id sends nothing") << "Parent" << QList<bool>{true, true} << "" << true << true;
}

void MainWindowTest::subscriptions()
{
    QFETCH(QString, mod);
    QFETCH(QList<bool>, answers);
    override = [](const RecordedRequest &request, FakeResponse *response) {
        if (request.path.contains("/subscribe?") || request.path.endsWith("/subscribe")) {
            response->body = "{}";
            return true;
        }
        if (request.path.startsWith("/v1/me/subscribed")) {
            response->body = R"({"data": [{"id": 5}, {"id": ".."}], "result_total": 2})";
            return true;
        }
        if (request.path.startsWith("/v1/games/73160/mods?") && !request.path.contains("_offset=0"))
            return false;
        QJsonArray data{fakeMod(5), fakeMod(7)};
        data.append(QJsonObject{{"id", ".."}, {"name", "Parent"}});
        response->body = QJsonDocument(QJsonObject{{"data", data}}).toJson();
        return request.path.startsWith("/v1/games/73160/mods?");
    };
    const QString folder = fixture->modIoMods + "/" + (mod == "Parent" ? "x" : mod.mid(4));
    QVERIFY(QDir().mkpath(folder));
    MainWindow &window = openPage("GOOD");
    ModIoView &view = window.modIoView;
    QTRY_VERIFY(view.subscriptionsLoaded && !view.loading);
    select(mod);
    QCOMPARE(view.subscribeButton->text(), mod == "Lok 7" ? "☆  Abonnieren" : "★  Abo beenden");
    fixture->scripted.questionAnswers = answers;
    const int before = int(fixture->server.requests().size());
    window.modIoToggleSubscription();

    QFETCH(QString, request);
    QFETCH(bool, subscribed);
    QFETCH(bool, folderKept);
    const QList<RecordedRequest> sent = fixture->server.requests().mid(before);
    const QString summary =
        sent.isEmpty() ? QString() : QString::fromUtf8(sent.first().method + ' ' + sent.first().path);
    QVERIFY2(request.isEmpty() ? summary.isEmpty() : summary.startsWith(request), qPrintable(summary));
    if (!sent.isEmpty()) {
        QCOMPARE(sent.first().headers.value("authorization"), "Bearer GOOD");
        QCOMPARE(sent.first().body, subscribed ? "include_dependencies=true" : "");
    }
    QCOMPARE(view.mods.at(view.selectedIndex).subscribed, subscribed);
    QCOMPARE(QFileInfo::exists(folder), folderKept);
    QVERIFY(QFileInfo::exists(fixture->modIoMods));
    // A question about local files only ever names the folder of a plain mod id.
    QCOMPARE(fixture->scripted.messages.filter("Lokale Dateien").size(),
             answers.value(0) && mod == "Lok 5" ? 1 : 0);

    // Signing out forgets every subscription.
    window.modIoLogout();
    QCOMPARE(view.accountLabel->text(), "Nicht angemeldet");
    for (const ModIoMod &record : std::as_const(view.mods))
        QVERIFY(!record.subscribed);
    QCOMPARE(view.subscribeButton->isEnabled(), false);
}

void MainWindowTest::rateLimitContinuesByItself()
{
    int answered = 0;
    override = [&answered](const RecordedRequest &request, FakeResponse *response) {
        if (!request.path.startsWith("/v1/games/73160/mods?") || answered++ > 0)
            return false;
        response->status = 429;
        response->headers.append({QByteArray("retry-after"), QByteArray("1")});
        response->body = R"({"error": {"message": "Too many requests"}})";
        return true;
    };
    MainWindow &window = openPage();
    QTRY_VERIFY(window.modIoView.listInfo->text().contains("Weitere Anfragen sind erst in 1 Sekunden"));
    QVERIFY(!window.modIoView.cancelButton->isHidden());
    QVERIFY(waitLoaded());
    QCOMPARE(window.modIoView.listInfo->text(), "60 von 1000 Mods geladen");
    QCOMPARE(answered, 2);
    QVERIFY(fixture->scripted.messages.isEmpty());
}

void MainWindowTest::quickCheckAndBlacklistTakeTheirOwnRecord()
{
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    override = [now](const RecordedRequest &request, FakeResponse *response) {
        if (!request.path.contains("submitted_by=5007"))
            return false;
        QJsonArray history;
        for (int i = 0; i < 5; ++i)
            history.append(QJsonObject{{"date_live", now - 86400 * (i + 1)}});
        response->body = QJsonDocument(QJsonObject{{"data", history}}).toJson();
        return true;
    };
    MainWindow &window = openPage();
    ModIoView &view = window.modIoView;
    QVERIFY(waitLoaded());
    select("Lok 7");
    view.quickCheckButton->click();
    QCOMPARE(view.quickCheckButton->text(), "Autorhistorie wird geprüft…");
    select("Lok 8");
    QTRY_COMPARE(fixture->scripted.messages.size(), 1);
    const QString report = fixture->scripted.messages.first();
    QVERIFY2(report.startsWith("information|KI-Indizienprüfung|Schnellprüfung für: Lok 7\n"),
             qPrintable(report));
    QVERIFY(report.contains("Sehr hohe Veröffentlichungsdichte: 5 Mods in den letzten 30 Tagen"));
    QVERIFY(view.quickCheckButton->isEnabled());
    QCOMPARE(view.title->text(), "Lok 8");

    // Hidden authors are left out by the service, by id.
    window.blockModIoAuthorOf(view.model->recordAt(int(shownNames().indexOf("Lok 7"))));
    QCOMPARE(view.blacklistButton->text(), "Blacklist (1)");
    QCOMPARE(QSettings().value("modio/author_blacklist_json").toByteArray(),
             R"([{"id":"5007","name":"Autor7"}])");
    QVERIFY(waitLoaded());
    QCOMPARE(item(listQueries().last(), "submitted_by-not-in"), "5007");
    QVERIFY(shownNames().filter(QRegularExpression("^Lok (7|57|107)$")).isEmpty());

    fixture->scripted.blacklistEdit = [](QList<ModIoBlockedAuthor> &authors) {
        authors.clear();
    };
    window.editModIoBlacklist();
    QCOMPARE(view.blacklistButton->text(), "Blacklist");
    QVERIFY(waitLoaded());
    QVERIFY(!listQueries().last().hasQueryItem("submitted_by-not-in"));
}

// The record an install link names is the one installed, whatever the list shows.
void MainWindowTest::linkInstallsItsOwnRecord()
{
    FakeModIoService service;
    service.configure(QStringLiteral("key"), QString());
    const QString mods = fixture->environment.makeDir(QStringLiteral("storage/73160/mods"));
    QSettings().setValue(QStringLiteral("paths/modio"), mods);
    const QString archive = fixture->environment.root() + QStringLiteral("/seven.zip");
    QVERIFY(writeStoredZip(archive, {{"mod.lua", "name = 'Sieben'"}, {"res/a.mdl", "mesh"}}));
    service.addMod(QStringLiteral("7"), readTestFile(archive));
    service.addMod(QStringLiteral("8"), readTestFile(archive));
    MainWindow &window = fixture->open();
    // Another record is listed and selected, and the search hides the linked one.
    window.modIoView.mods.append(parseModIoMod(FakeModIoService::mod(QStringLiteral("8"), {}), {}));
    window.modIoView.search->setText(QStringLiteral("nichts davon"));

    window.handleInstallLink(
        QUrl(QStringLiteral("FX3MODMANAGER://MODIO/install?mod_id=%207%20"), QUrl::TolerantMode));

    QVERIFY(QFileInfo::exists(mods + QStringLiteral("/7/res/a.mdl")));
    QCOMPARE(readTestFile(mods + QStringLiteral("/7/mod.io_fileid.txt")).trimmed(), QByteArray("700"));
    QVERIFY(!QFileInfo::exists(mods + QStringLiteral("/8")));
    QVERIFY(!window.installRunActive());
    QCOMPARE(window.modIoView.mods.size(), 2);
    QCOMPARE(window.modIoView.mods.at(window.modIoView.selectedIndex).id, QStringLiteral("7"));
    QVERIFY(window.modIoView.installButton->isEnabled());
}

QTEST_MAIN(MainWindowTest)
#include "tst_gui_modiopage.moc"
