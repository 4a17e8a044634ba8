#include "windowfixture.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QtTest>

namespace {
// Catalog: one entry per situation the updates page tells apart.
const QByteArray catalogDocument = R"({"files": [
  {"id": "201", "name": "Marker Lok", "version": "1.10", "download_url": "files/marker.zip"},
  {"id": "202", "name": "Handarbeit Bahnhof", "version": "2.0", "download_url": "files/hand.zip"},
  {"id": "203", "name": "Hub Wagen", "version": "3.0", "modio_id": "555", "download_url": "files/hub.zip"},
  {"id": "204", "name": "Ohne Datei", "version": "5.0"},
  {"id": "205", "name": "Aktuell", "version": "1.0", "download_url": "files/current.zip"},
  {"id": "206", "name": "Werkzeugkasten", "version": "9.0", "category": "Werkzeuge & Tools",
   "download_url": "files/tool.zip"}
]})";

enum Column
{
    Name,
    Status = 4
};
} // namespace

class MainWindowTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void listsOutdatedModsWithTheirStatus();
    void updateAllGroupsWhatCannotBeUpdated();
    void actionsWaitForACatalogLoad();
    void emptyListSaysWhy();

private:
    MainWindow &window() { return *fixture->window; }
    QList<QStringList> rows() { return WindowProbe::updateRows(window()); }

    WindowFixture *fixture = nullptr;
};

void MainWindowTest::init()
{
    fixture = new WindowFixture(catalogDocument);
    fixture->installFromCatalog("marker_lok", "201", "Marker Lok", "1.2");   // 1.2 is older than 1.10
    fixture->installFromCatalog("aktuell", "205", "Aktuell", "1.0");         // up to date
    fixture->installFromCatalog("werkzeug", "206", "Werkzeugkasten", "1.0"); // tools are never listed
    fixture->installFromCatalog("ohne_datei", "204", "Ohne Datei", "4.0");
    // Installed by hand without any version: listed, the repository version is taken over.
    WindowFixture::writeModLua(fixture->userMods + "/handarbeit_bahnhof", "Handarbeit Bahnhof");
    // A mod.io copy of an outdated entry.
    WindowFixture::writeModLua(fixture->modIoMods + "/555", "Hub Wagen", ", minorVersion = 1");
    QVERIFY(fixture->openLoaded());
}

void MainWindowTest::cleanup()
{
    delete fixture;
}

void MainWindowTest::listsOutdatedModsWithTheirStatus()
{
    // Sorted by name, A to Z, from the start.
    QCOMPARE(WindowProbe::column(rows(), Name),
             (QStringList{"Handarbeit Bahnhof", "Hub Wagen", "Marker Lok", "Ohne Datei"}));
    QCOMPARE(WindowProbe::rowNamed(rows(), "Marker Lok"),
             (QStringList{"Marker Lok", "Trackhaven", "1.2", "1.10", "Update verfügbar"}));
    QCOMPARE(WindowProbe::rowNamed(rows(), "Handarbeit Bahnhof"),
             (QStringList{"Handarbeit Bahnhof", "Trackhaven", "Unbekannt", "2.0",
                          "Repository-Version übernehmen"}));
    QCOMPARE(WindowProbe::rowNamed(rows(), "Hub Wagen").value(Status),
             QStringLiteral("mod.io – Update über mod.io"));
    QCOMPARE(WindowProbe::rowNamed(rows(), "Ohne Datei").value(Status),
             QStringLiteral("⚠ Download-Link fehlt"));
    QVERIFY(window().updatesView.updateAllButton->isEnabled());

    QVERIFY(WindowProbe::selectUpdate(window(), "Hub Wagen"));
    QVERIFY(!window().updatesView.updateSelectedButton->isEnabled());
    QVERIFY(window().updatesView.updateSelectedButton->toolTip().contains(QLatin1String("mod.io")));
    // Asked all the same, the page refuses a mod.io copy and an entry without a download.
    window().updateSelectedMod();
    QVERIFY(WindowProbe::selectUpdate(window(), "Ohne Datei"));
    window().updateSelectedMod();
    QVERIFY(WindowProbe::selectUpdate(window(), "Marker Lok"));
    QVERIFY(window().updatesView.updateSelectedButton->isEnabled());
    QVERIFY(window().updatesView.updateSelectedButton->toolTip().isEmpty());

    // Taking over the repository version is asked with Yes preselected; No leaves everything as it was.
    QVERIFY(WindowProbe::selectUpdate(window(), "Handarbeit Bahnhof"));
    fixture->scripted.questionAnswers = {false};
    window().updateSelectedMod();
    const QStringList &messages = fixture->scripted.messages;
    QCOMPARE(messages.size(), 3);
    QVERIFY(messages[0].startsWith(QStringLiteral("information|Update über mod.io|")));
    QVERIFY(messages[1].startsWith(QStringLiteral("warning|Download nicht verfügbar|")));
    QVERIFY(messages[2].startsWith(
        QStringLiteral("question|Repository-Version verwenden|Die lokale Mod meldet die Version 'Unbekannt', "
                       "das Repository führt Version '2.0'.")));
    QCOMPARE(fixture->scripted.questionDefaults, QList<bool>{true});
    QVERIFY(!window().updateInProgress);
}

void MainWindowTest::updateAllGroupsWhatCannotBeUpdated()
{
    // While a run is active, neither a second one nor a catalog reload starts.
    window().updateInProgress = true;
    window().updateAllMods();
    QVERIFY(WindowProbe::selectUpdate(window(), "Marker Lok"));
    window().updateSelectedMod();
    QCOMPARE(fixture->scripted.messages.size(), 2);
    for (const QString &message : std::as_const(fixture->scripted.messages))
        QVERIFY(message.startsWith(QStringLiteral("information|Update läuft bereits|")));
    const quint32 generation = window().loadGeneration;
    window().reloadCatalog();
    QCOMPARE(window().loadGeneration, generation);
    QVERIFY(!window().catalogLoading);
    window().updateInProgress = false;
    fixture->scripted.messages.clear();

    fixture->scripted.questionAnswers = {false};
    window().updateAllMods();
    QCOMPARE(fixture->scripted.messages.size(), 1);
    QCOMPARE(fixture->scripted.questionDefaults, QList<bool>{true});
    const QString confirmation = fixture->scripted.messages.first();
    QVERIFY(confirmation.startsWith(
        QStringLiteral("question|Alle Mods aktualisieren|Es werden 2 Mods aktualisiert:\n\n")));
    QVERIFY(confirmation.contains(QStringLiteral("Handarbeit Bahnhof\nMarker Lok")));
    QVERIFY(confirmation.contains(QStringLiteral("im Mod Hub des Spiels:\n\nHub Wagen")));
    QVERIFY(confirmation.contains(QStringLiteral("sie werden übersprungen:\n\nOhne Datei")));
    QVERIFY(confirmation.contains(QStringLiteral("Handarbeit Bahnhof: lokal Unbekannt → Repository 2.0")));
    QVERIFY(confirmation.endsWith(QStringLiteral("\n\nFortfahren?")));
    QVERIFY(!window().updateInProgress);

    // With only mods that cannot be updated directly nothing starts.
    for (const char *folder : {"/marker_lok", "/handarbeit_bahnhof"})
        QVERIFY(QDir(fixture->userMods + QLatin1String(folder)).removeRecursively());
    window().rescanLocalMods();
    fixture->scripted.messages.clear();
    window().updateAllMods();
    QCOMPARE(
        fixture->scripted.messages,
        QStringList{"information|Keine direkt ausführbaren Updates|Über mod.io aktualisieren:\nHub Wagen\n\n"
                    "Keine Download-Datei im Repository:\nOhne Datei"});
    QVERIFY(!window().updateInProgress);
}

void MainWindowTest::actionsWaitForACatalogLoad()
{
    // The second load answers in another order: the rows would point at other entries.
    fixture->serveCatalog(R"({"files": [
      {"id": "209", "name": "Neu dabei", "version": "1.0", "download_url": "files/new.zip"},
      {"id": "205", "name": "Aktuell", "version": "1.0", "download_url": "files/current.zip"},
      {"id": "201", "name": "Marker Lok", "version": "1.10", "download_url": "files/marker.zip"},
      {"id": "202", "name": "Handarbeit Bahnhof", "version": "2.0", "download_url": "files/hand.zip"}
    ]})");
    QVERIFY(WindowProbe::selectUpdate(window(), "Marker Lok"));
    window().reloadCatalog();
    QVERIFY(window().catalogLoading);
    for (QPushButton *button : {window().updatesView.updateSelectedButton,
                                window().updatesView.updateAllButton, window().updatesView.checkButton})
        QVERIFY(!button->isEnabled());
    window().updateSelectedMod();
    window().updateAllMods();
    QVERIFY(fixture->scripted.messages.isEmpty());
    QVERIFY(!window().updateInProgress);

    QTRY_VERIFY_WITH_TIMEOUT(!window().catalogLoading, 10000);
    // The list is rebuilt from the new catalog: every row names its own entry.
    for (const QString &name : {QStringLiteral("Handarbeit Bahnhof"), QStringLiteral("Marker Lok")})
        QCOMPARE(WindowProbe::updateTargetOf(window(), name), name);
    QCOMPARE(WindowProbe::column(rows(), Name), (QStringList{"Handarbeit Bahnhof", "Marker Lok"}));
    QVERIFY(window().updatesView.updateAllButton->isEnabled());
    QVERIFY(WindowProbe::selectUpdate(window(), "Marker Lok"));
    QVERIFY(window().updatesView.updateSelectedButton->isEnabled());
}

void MainWindowTest::emptyListSaysWhy()
{
    QCOMPARE(window().updatesView.views->currentWidget(), window().updatesView.table);
    // Everything current: the page says so instead of showing an empty table.
    fixture->serveCatalog(R"({"files": [{"id": "201", "name": "Marker Lok", "version": "1.2"}]})");
    QVERIFY(fixture->reload());
    QCOMPARE(window().updatesView.views->currentWidget(), window().updatesView.emptyLabel);
    QCOMPARE(window().updatesView.emptyLabel->text(),
             QStringLiteral("Alle installierten Mods sind auf dem neuesten Stand."));
    // Nothing installed at all: neither "up to date" nor an empty table.
    QVERIFY(QDir(fixture->userMods).removeRecursively() && QDir(fixture->modIoMods).removeRecursively());
    window().rescanLocalMods();
    QCOMPARE(window().updatesView.emptyLabel->text(), QStringLiteral("Es sind noch keine Mods installiert."));
    QCOMPARE(window().installedView.views->currentWidget(), window().installedView.emptyLabel);
    window().setInstalledGalleryMode(true);
    QCOMPARE(window().installedView.views->currentWidget(), window().installedView.emptyLabel);
    // An unreachable site is not "up to date".
    fixture->server.setResponse("/filebase/repos/fx3-v3.json", 500, "kaputt");
    QVERIFY(fixture->reload());
    QVERIFY2(window().updatesView.emptyLabel->text().startsWith(
                 QStringLiteral("Der Katalog konnte nicht geladen werden.\n\nTrackhaven: ")),
             qPrintable(window().updatesView.emptyLabel->text()));
}

QTEST_MAIN(MainWindowTest)
#include "tst_gui_updatespage.moc"
