#include "app/mainwindow.h"
#include "catalog/repositorylist.h"
#include "localmods/installmarker.h"
#include "testsupport.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QTableWidget>
#include <QtTest>

namespace {
// Catalog: one entry per situation the updates page tells apart.
QByteArray catalogDocument()
{
    return R"({"files": [
      {"id": "201", "name": "Marker Lok", "version": "1.10", "download_url": "files/marker.zip"},
      {"id": "202", "name": "Handarbeit Bahnhof", "version": "2.0", "download_url": "files/hand.zip"},
      {"id": "203", "name": "Hub Wagen", "version": "3.0", "modio_id": "555", "download_url": "files/hub.zip"},
      {"id": "204", "name": "Ohne Datei", "version": "5.0"},
      {"id": "205", "name": "Aktuell", "version": "1.0", "download_url": "files/current.zip"},
      {"id": "206", "name": "Werkzeugkasten", "version": "9.0", "category": "Werkzeuge & Tools",
       "download_url": "files/tool.zip"}
    ]})";
}
} // namespace

class MainWindowTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void listsOutdatedModsWithTheirStatus();
    void updateAllGroupsWhatCannotBeUpdated();
    void updateSelectedRefusesModIoAndMissingDownloads();
    void secondRunIsRefusedWhileOneIsActive();

private:
    void installFromCatalog(const QString &folder, const QString &id, const QString &name,
                            const QString &version);
    QString rowStatus(const QString &name) const;
    int rowOf(const QString &name) const;

    TestEnvironment *environment = nullptr;
    FakeHttpServer *server = nullptr;
    ScriptedPrompts scripted;
    MainWindow *window = nullptr;
    QString userMods;
    QString modIoMods;
};

void MainWindowTest::init()
{
    environment = new TestEnvironment;
    server = new FakeHttpServer;
    environment->setEnv("FX3MM_COMMUNITY_URL", server->url("/").toUtf8());
    server->setResponse("/filebase/repos/fx3-v3.json", 200, catalogDocument(), "application/json");
    userMods = environment->makeDir("usermods");
    modIoMods = environment->makeDir("modio/mods");
    QSettings settings;
    settings.setValue("paths/usermods", userMods);
    settings.setValue("paths/modio", modIoMods);

    installFromCatalog("marker_lok", "201", "Marker Lok", "1.2");   // 1.2 is older than 1.10
    installFromCatalog("aktuell", "205", "Aktuell", "1.0");         // up to date
    installFromCatalog("werkzeug", "206", "Werkzeugkasten", "1.0"); // tools are never listed
    installFromCatalog("ohne_datei", "204", "Ohne Datei", "4.0");
    // Installed by hand without any version: listed, the repository version is taken over.
    writeTestFile(userMods + "/handarbeit_bahnhof/mod.lua",
                  "function data() return { info = { name = _(\"Handarbeit Bahnhof\") } } end");
    // A mod.io copy of an outdated entry.
    writeTestFile(modIoMods + "/555/mod.lua",
                  "function data() return { info = { name = _(\"Hub Wagen\"), minorVersion = 1 } } end");

    window = new MainWindow;
    window->prompts = scripted.prompts();
    window->reloadCatalog();
    QVERIFY(QTest::qWaitFor([this] { return window->catalogLoaded; }, 10000));
    window->rescanLocalMods();
    scripted.messages.clear();
}

void MainWindowTest::cleanup()
{
    delete window;
    delete server;
    delete environment;
}

void MainWindowTest::installFromCatalog(const QString &folder, const QString &id, const QString &name,
                                        const QString &version)
{
    writeTestFile(userMods + "/" + folder + "/mod.lua",
                  "function data() return { info = { name = _(\"" + name.toUtf8() + "\") } } end");
    RepoMod mod;
    mod.id = id;
    mod.name = name;
    mod.version = version;
    mod.repositoryName = QStringLiteral("Trackhaven");
    mod.repositoryJsonUrl = builtInRepository().jsonUrl;
    QVERIFY(writeInstallMarker(userMods + "/" + folder, repositoryInstallMarker(mod, QString())));
}

int MainWindowTest::rowOf(const QString &name) const
{
    for (int row = 0; row < window->updatesTable->rowCount(); ++row) {
        if (window->updatesTable->item(row, 0)->text() == name)
            return row;
    }
    return -1;
}

QString MainWindowTest::rowStatus(const QString &name) const
{
    const int row = rowOf(name);
    return row < 0 ? QString() : window->updatesTable->item(row, 4)->text();
}

void MainWindowTest::listsOutdatedModsWithTheirStatus()
{
    QCOMPARE(window->updatesTable->rowCount(), 4);
    QCOMPARE(rowStatus("Marker Lok"), QStringLiteral("Update verfügbar"));
    QCOMPARE(window->updatesTable->item(rowOf("Marker Lok"), 2)->text(), QStringLiteral("1.2"));
    QCOMPARE(window->updatesTable->item(rowOf("Marker Lok"), 3)->text(), QStringLiteral("1.10"));
    QCOMPARE(rowStatus("Handarbeit Bahnhof"), QStringLiteral("Repository-Version übernehmen"));
    QCOMPARE(window->updatesTable->item(rowOf("Handarbeit Bahnhof"), 2)->text(), QStringLiteral("Unbekannt"));
    QCOMPARE(rowStatus("Hub Wagen"), QStringLiteral("mod.io – Update über mod.io"));
    QCOMPARE(rowStatus("Ohne Datei"), QStringLiteral("⚠ Download-Link fehlt"));
    QCOMPARE(rowOf("Aktuell"), -1);
    QCOMPARE(rowOf("Werkzeugkasten"), -1);
    QVERIFY(window->updateAllButton->isEnabled());

    window->updatesTable->selectRow(rowOf("Hub Wagen"));
    QVERIFY(!window->updateSelectedButton->isEnabled());
    QVERIFY(window->updateSelectedButton->toolTip().contains(QLatin1String("mod.io")));
    window->updatesTable->selectRow(rowOf("Marker Lok"));
    QVERIFY(window->updateSelectedButton->isEnabled());
    QVERIFY(window->updateSelectedButton->toolTip().isEmpty());
}

void MainWindowTest::updateAllGroupsWhatCannotBeUpdated()
{
    scripted.questionAnswers = {false};
    window->updateAllMods();
    QCOMPARE(scripted.messages.size(), 1);
    const QString confirmation = scripted.messages.first();
    QVERIFY(confirmation.startsWith(
        QStringLiteral("question|Alle Mods aktualisieren|Es werden 2 Mods aktualisiert:\n\n")));
    QVERIFY(confirmation.contains(QStringLiteral("Marker Lok\nHandarbeit Bahnhof")));
    QVERIFY(confirmation.contains(QStringLiteral("im Mod Hub des Spiels:\n\nHub Wagen")));
    QVERIFY(confirmation.contains(QStringLiteral("sie werden übersprungen:\n\nOhne Datei")));
    QVERIFY(confirmation.contains(QStringLiteral("Handarbeit Bahnhof: lokal Unbekannt → Repository 2.0")));
    QVERIFY(confirmation.endsWith(QStringLiteral("\n\nFortfahren?")));
    QVERIFY(!window->updateInProgress);

    // With only mods that cannot be updated directly nothing starts.
    for (const char *name : {"Marker Lok", "Handarbeit Bahnhof"})
        window->updatesTable->removeRow(rowOf(QString::fromUtf8(name)));
    scripted.messages.clear();
    window->updateAllMods();
    QCOMPARE(
        scripted.messages,
        QStringList{"information|Keine direkt ausführbaren Updates|Über mod.io aktualisieren:\nHub Wagen\n\n"
                    "Keine Download-Datei im Repository:\nOhne Datei"});
    QVERIFY(!window->updateInProgress);
}

void MainWindowTest::updateSelectedRefusesModIoAndMissingDownloads()
{
    window->updatesTable->selectRow(rowOf("Hub Wagen"));
    window->updateSelectedMod();
    window->updatesTable->selectRow(rowOf("Ohne Datei"));
    window->updateSelectedMod();
    QCOMPARE(scripted.messages.size(), 2);
    QVERIFY(scripted.messages[0].startsWith(QStringLiteral("information|Update über mod.io|")));
    QVERIFY(scripted.messages[1].startsWith(QStringLiteral("warning|Download nicht verfügbar|")));
    QVERIFY(!window->updateInProgress);
}

void MainWindowTest::secondRunIsRefusedWhileOneIsActive()
{
    window->updateInProgress = true;
    window->updateAllMods();
    window->updatesTable->selectRow(rowOf("Marker Lok"));
    window->updateSelectedMod();
    QCOMPARE(scripted.messages.size(), 2);
    for (const QString &message : std::as_const(scripted.messages))
        QVERIFY(message.startsWith(QStringLiteral("information|Update läuft bereits|")));
    // The catalog cannot be reloaded under a running update either.
    const quint32 generation = window->loadGeneration;
    window->reloadCatalog();
    QCOMPARE(window->loadGeneration, generation);
    QVERIFY(!window->catalogLoading);
    window->updateInProgress = false;
}

QTEST_MAIN(MainWindowTest)
#include "tst_gui_updatespage.moc"
