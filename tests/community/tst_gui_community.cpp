#include "community/communityreports.h"
#include "modio/modiolistmodel.h"
#include "windowfixture.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

namespace {
ModIoMod record(int id, int fileId)
{
    ModIoMod mod;
    mod.id = QString::number(id);
    mod.modfileId = QString::number(fileId);
    mod.name = QStringLiteral("Lok %1").arg(id);
    return mod;
}

QJsonObject body(const RecordedRequest &request)
{
    return QJsonDocument::fromJson(request.body).object();
}
} // namespace

Q_DECLARE_METATYPE(FakeResponse)

// The reports service on the fake server: summaries answer every item with performance = mod id % 13, in
// reverse order, file ids as numbers, plus a decoy for a file version nobody asked about.
class MainWindowTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup() { delete fixture; }
    void warningLevels_data();
    void warningLevels();
    void summariesInBatches();
    void failedSummaries_data();
    void failedSummaries();
    void ownSummary_data();
    void ownSummary();
    void saving_data();
    void saving();

private:
    MainWindow &openWith(const QList<ModIoMod> &mods, const QString &installedFile = QString());

    WindowFixture *fixture = nullptr;
    FakeResponse next; // when its status is not 0, the answer to the next request
};

void MainWindowTest::init()
{
    fixture = new WindowFixture;
    QSettings settings;
    settings.setValue("community/enabled", true);
    settings.setValue("community/api_url", fixture->server.url("/reports.php?site=fx3"));
    next = FakeResponse{0, {}, {}};
    fixture->server.setHandler([this](const RecordedRequest &request, FakeResponse *response) {
        // Every request carries the same headers; a POST says that its body is JSON.
        if (request.headers.value("accept") != "application/json" ||
            request.headers.value("user-agent") != "FX3ModManager/0.5.38" ||
            request.headers.value("content-type") != (request.method == "POST" ? "application/json" : "")) {
            response->status = 400;
            return true;
        }
        if (next.status != 0) {
            *response = std::exchange(next, FakeResponse{0, {}, {}});
            return true;
        }
        if (request.method == "GET")
            return false; // own states are unknown unless a test gives one
        QJsonArray items{
            QJsonObject{{"mod_id", "1"}, {"file_id", "999"}, {"counts", QJsonObject{{"ai", 50}}}}};
        for (const QJsonValue &item : body(request).value("items").toArray()) {
            const int id = item["mod_id"].toString().toInt();
            items.prepend(QJsonObject{{"mod_id", item["mod_id"]},
                                      {"file_id", item["file_id"].toString().toInt()},
                                      {"counts", QJsonObject{{"performance", id % 13}}}});
        }
        response->body = QJsonDocument(QJsonObject{{"ok", true}, {"items", items}}).toJson();
        return true;
    });
}

MainWindow &MainWindowTest::openWith(const QList<ModIoMod> &mods, const QString &installedFile)
{
    MainWindow &window = fixture->open();
    ModIoView &view = window.modIoView;
    view.mods = mods;
    if (!installedFile.isEmpty()) {
        view.installedIds = {mods.first().id};
        view.installedFileIds = {{mods.first().id, installedFile}};
    }
    return window;
}

void MainWindowTest::warningLevels_data()
{
    QTest::addColumn<QList<int>>("counts");
    QTest::addColumn<QString>("level");
    QTest::addColumn<QString>("text"); // without the closing line

    const QString none = "Keine bestätigte Community-Warnung für diese Mod-Version.\n";
    const QString low = "⚠ Community-Hinweis zu dieser Mod-Version\n";
    const QString medium = "⚠ Mehrere Nutzer melden Probleme mit dieser Mod-Version\n";
    QTest::newRow("nothing") << QList<int>{0, 0, 0} << ""
                             << none + "Bisher wurden für diese Dateiversion keine Probleme gemeldet.";
    QTest::newRow("2 spread") << QList<int>{2, 1, 2} << ""
                              << none +
                                     "Performanceprobleme: 2\nMögliche KI-/Automatisierungs-Indizien: 1\n"
                                     "Technische Probleme: 2\nEine öffentliche Warnung erscheint erst ab 3 "
                                     "gleichartigen Meldungen.";
    QTest::newRow("3") << QList<int>{3, 0, 0} << "low" << low + "Performanceprobleme: 3";
    QTest::newRow("5") << QList<int>{0, 5, 1} << "low"
                       << low + "Mögliche KI-/Automatisierungs-Indizien: 5\nTechnische Probleme: 1";
    QTest::newRow("6") << QList<int>{0, 6, 0} << "medium"
                       << medium + "Mögliche KI-/Automatisierungs-Indizien: 6";
    QTest::newRow("10") << QList<int>{10, 0, 9} << "medium"
                        << medium + "Performanceprobleme: 10\nTechnische Probleme: 9";
    QTest::newRow("11") << QList<int>{0, 0, 11} << "high"
                        << "⚠ Häufig gemeldete Probleme für diese Mod-Version\nTechnische Probleme: 11";
}

// The level and the panel text follow the largest count.
void MainWindowTest::warningLevels()
{
    QFETCH(QList<int>, counts);
    QFETCH(QString, level);
    QFETCH(QString, text);
    ModIoMod mod = record(1, 10);
    QCOMPARE(communityWarningText(mod), "Community-Hinweise werden geladen…");
    mod.communitySummaryLoaded = mod.communityOwnLoaded = true;
    mod.communityPerformanceCount = counts.at(0);
    mod.communityAiCount = counts.at(1);
    mod.communityTechnicalCount = counts.at(2);
    QCOMPARE(communityWarningLevel(mod), level);
    QCOMPARE(communityWarningText(mod),
             text + "\nCommunity-Meldungen sind Hinweise, keine abschließende Bewertung.");
}

void MainWindowTest::summariesInBatches()
{
    QList<ModIoMod> mods;
    for (int id = 1; id <= 253; ++id)
        mods.append(record(id, id * 10));
    mods[1].modfileId.clear(); // without a file version there is nothing to ask for
    mods[2].communitySummaryLoaded = true;
    mods[3].id.clear();
    MainWindow &window = openWith(mods);
    window.requestCommunitySummaries();
    QTRY_VERIFY(!communitySummariesPending(window.modIoView.mods) &&
                !window.communityView.communitySummariesInFlight);

    QList<int> sizes;
    QStringList sent; // "mod/file" in the order asked
    const QList<RecordedRequest> requests = fixture->server.requests();
    for (const RecordedRequest &request : requests) {
        if (request.method != "POST")
            continue; // the own state of the row the answers selected
        QCOMPARE(request.path, "/reports.php?site=fx3");
        QCOMPARE(body(request).value("action").toString(), "summaries");
        const QJsonArray items = body(request).value("items").toArray();
        sizes.append(int(items.size()));
        for (const QJsonValue &item : items)
            sent.append(item["mod_id"].toString() + '/' + item["file_id"].toString());
    }
    QStringList expected;
    for (const ModIoMod &mod : mods) {
        if (!mod.id.isEmpty() && !mod.modfileId.isEmpty() && !mod.communitySummaryLoaded)
            expected.append(mod.id + '/' + mod.modfileId);
    }
    QCOMPARE(sizes, (QList<int>{100, 100, 50}));
    QCOMPARE(sent, expected);
    for (const ModIoMod &mod : window.modIoView.mods) {
        const bool asked = expected.contains(mod.id + '/' + mod.modfileId);
        QCOMPARE(mod.communitySummaryLoaded, asked || mod.id == "3");
        QCOMPARE(mod.communityPerformanceCount + mod.communityAiCount, asked ? mod.id.toInt() % 13 : 0);
    }
}

void MainWindowTest::failedSummaries_data()
{
    QTest::addColumn<FakeResponse>("answer");
    QTest::addColumn<bool>("paused");

    QTest::newRow("server error") << FakeResponse{500, {}, R"({"ok": false})"} << true;
    QTest::newRow("not ok") << FakeResponse{200, {}, R"({"ok": "yes", "items": []})"} << false;
}

// After a network failure no batch is sent for 60 s; an unusable answer is only ignored.
void MainWindowTest::failedSummaries()
{
    QFETCH(FakeResponse, answer);
    QFETCH(bool, paused);
    MainWindow &window = openWith({record(7, 70)});
    next = answer;
    const qint64 before = QDateTime::currentSecsSinceEpoch();
    window.requestCommunitySummaries();
    window.requestCommunitySummaries(); // one batch at a time
    QTRY_VERIFY(!window.communityView.communitySummariesInFlight);
    const qint64 retryAt = window.communityView.communitySummariesRetryAt;
    QVERIFY(paused ? retryAt >= before + 60 && retryAt <= QDateTime::currentSecsSinceEpoch() + 60
                   : retryAt == 0);
    QVERIFY(!window.modIoView.mods.first().communitySummaryLoaded);

    QCOMPARE(fixture->server.requests().size(), 1);
    window.requestCommunitySummaries();
    QCOMPARE(window.communityView.communitySummariesInFlight, !paused);
    window.communityView.communitySummariesRetryAt = 0;
    window.requestCommunitySummaries();
    QTRY_VERIFY(window.modIoView.mods.first().communitySummaryLoaded);
}

void MainWindowTest::ownSummary_data()
{
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<QString>("installedFile");
    QTest::addColumn<FakeResponse>("answer");
    QTest::addColumn<QString>("label"); // its first line
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("toolTip"); // its start; empty when the button is enabled

    const FakeResponse own{200, {}, R"({"ok": true, "counts": {"ai": 4}, "own": [" ai ", ""]})"};
    const QString low = "⚠ Community-Hinweis zu dieser Mod-Version";
    QTest::newRow("installed") << true << "70" << own << low << "Meldung verwalten (1)"
                               << "";
    QTest::newRow("older file installed") << true << "60" << own << low << "Meldung verwalten (1)"
                                          << "Für die angezeigte Mod-Version ist ein Update verfügbar.";
    QTest::newRow("not installed") << true << "" << own << low << "Meldung verwalten (1)"
                                   << "Melden ist erst möglich";
    QTest::newRow("unreachable") << true << "70" << FakeResponse{404, {}, R"({"ok": true})"}
                                 << "Community-Hinweise sind derzeit nicht erreichbar."
                                 << "Community-API nicht erreichbar"
                                 << "Der eigene Meldestatus";
    QTest::newRow("switched off") << false << "70" << own
                                  << "Community-Hinweise sind in den Einstellungen deaktiviert."
                                  << "Mod melden"
                                  << "Community-Meldungen sind in den Einstellungen deaktiviert.";
}

// Selecting a mod asks for the own report state of its file version; reporting is offered only for the
// installed one.
void MainWindowTest::ownSummary()
{
    QFETCH(bool, enabled);
    QFETCH(QString, installedFile);
    QFETCH(FakeResponse, answer);
    QSettings().setValue("community/enabled", enabled);
    MainWindow &window = openWith({record(7, 70)}, installedFile);
    next = answer;
    window.applyModIoFilter();
    QTRY_VERIFY(window.communityView.ownRequestsInFlight.isEmpty());

    const QList<RecordedRequest> requests = fixture->server.requests();
    QCOMPARE(requests.size(), enabled ? 1 : 0);
    const QString path = QString::fromUtf8(requests.value(0).path);
    QCOMPARE(path.section("&reporter=", 0, 0),
             enabled ? "/reports.php?site=fx3&action=summary&mod_id=7&file_id=70" : "");
    QCOMPARE(path.section("&reporter=", 1).size(), enabled ? 64 : 0);
    const ModIoView &view = window.modIoView;
    QFETCH(QString, label);
    QFETCH(QString, button);
    QFETCH(QString, toolTip);
    QCOMPARE(view.communityLabel->text().section('\n', 0, 0), label);
    QCOMPARE(view.model->index(0).data(ModIoRole::CommunityBadge).toString(),
             label.startsWith("⚠") ? "⚠ Community 4" : "");
    QCOMPARE(view.reportButton->text(), button);
    QCOMPARE(view.reportButton->isEnabled(), toolTip.isEmpty());
    QVERIFY2(view.reportButton->toolTip().startsWith(toolTip.isEmpty() ? "Meldung für genau" : toolTip),
             qPrintable(view.reportButton->toolTip()));

    QStringList offered;
    window.communityView.reportDialog = [&offered](const QString &name, const QStringList &own,
                                                   QStringList *) {
        offered = QStringList{name} + own;
        return false;
    };
    window.reportSelectedModIoMod();
    const bool matches = enabled && installedFile == "70";
    const QStringList own = button.startsWith("Meldung verwalten") ? QStringList{"ai"} : QStringList();
    QCOMPARE(offered, matches ? QStringList{"Lok 7"} + own : QStringList());
    QCOMPARE(fixture->scripted.messages.size(), enabled && !matches ? 1 : 0);
    QTest::qWait(50);
    QCOMPARE(fixture->server.requests().size(), requests.size());
}

void MainWindowTest::saving_data()
{
    QTest::addColumn<QStringList>("chosen");
    QTest::addColumn<FakeResponse>("answer");
    QTest::addColumn<QString>("warning");
    QTest::addColumn<QString>("button");

    const QStringList both{"technical", "ai"}; // sent in table order
    QTest::newRow("withdraw all") << QStringList() << FakeResponse{200, {}, R"({"ok": true, "own": []})"}
                                  << ""
                                  << "Mod melden";
    QTest::newRow("two") << both << FakeResponse{200, {}, R"({"ok": true, "own": ["ai", "technical"]})"} << ""
                         << "Meldung verwalten (2)";
    QTest::newRow("server set-up")
        << both << FakeResponse{500, {}, R"({"ok": false, "error": "Interner Serverfehler."})"}
        << "Interner Serverfehler. Bitte prüfe auf dem Server, ob pdo_sqlite aktiv ist "
           "und das Datenverzeichnis der Community-API Schreibrechte besitzt."
        << "Meldung verwalten (1)";
    QTest::newRow("refused") << both << FakeResponse{403, {}, R"({"ok": false, "error": " Gesperrt "})"}
                             << "Gesperrt"
                             << "Meldung verwalten (1)";
    QTest::newRow("garbage") << both << FakeResponse{200, {}, R"({"ok": 1, "own": ["ai"]})"}
                             << "Die Community-API hat keine gültige Antwort geliefert."
                             << "Meldung verwalten (1)";
}

void MainWindowTest::saving()
{
    QFETCH(QStringList, chosen);
    QFETCH(FakeResponse, answer);
    ModIoMod mod = record(7, 70);
    mod.communitySummaryLoaded = mod.communityOwnLoaded = true;
    mod.communityOwnTypes = {"performance"};
    MainWindow &window = openWith({mod}, "70");
    window.applyModIoFilter();
    window.communityView.reportDialog = [chosen](const QString &, const QStringList &, QStringList *result) {
        *result = chosen;
        return true;
    };
    next = answer;
    window.reportSelectedModIoMod();
    QCOMPARE(window.modIoView.reportButton->text(), "Meldung wird gespeichert…");
    QTRY_VERIFY(window.modIoView.reportButton->text() != "Meldung wird gespeichert…");

    const QList<RecordedRequest> requests = fixture->server.requests();
    QCOMPARE(requests.size(), 1);
    const QJsonObject sent = body(requests.first());
    QCOMPARE(sent.value("action").toString() + sent.value("mod_id").toString() +
                 sent.value("file_id").toString(),
             "set_reports770");
    QCOMPARE(sent.value("reporter").toString().size(), 64);
    QCOMPARE(sent.value("types"),
             QJsonArray::fromStringList(chosen.isEmpty() ? chosen : QStringList{"ai", "technical"}));

    QFETCH(QString, warning);
    QFETCH(QString, button);
    QCOMPARE(fixture->scripted.messages,
             warning.isEmpty() ? QStringList()
                               : QStringList{"warning|Meldung konnte nicht gespeichert werden|" + warning});
    QCOMPARE(window.statusLabel->text() == "Community-Meldung gespeichert.", warning.isEmpty());
    QCOMPARE(window.modIoView.reportButton->text(), button);
    QVERIFY(window.modIoView.reportButton->isEnabled());
}

QTEST_MAIN(MainWindowTest)
#include "tst_gui_community.moc"
