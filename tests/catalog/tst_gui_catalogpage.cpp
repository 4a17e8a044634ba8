#include "windowfixture.h"

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSettings>
#include <QStackedWidget>
#include <QTableWidget>
#include <QtTest>

namespace {
QByteArray builtInDocument()
{
    return R"({
      "categories": {"1": "Lokomotiven", "2": {"name": "Werkzeuge &amp; Tools"}, "3": "Bahnhöfe"},
      "files": [
        {"id": "101", "name": "BR 218 Diesellok", "author": "Anna", "version": "1.2",
         "categories": ["1"], "tags": ["Diesel", "DB"], "description": "Eine <b>robuste</b> Lok.",
         "download_url": "files/br218.zip", "filename": "br218.zip"},
        {"id": "102", "name": "Kleiner Bahnhof", "author": "Bernd", "version": "2.0",
         "categories": ["3"], "description": "Ein Bahnhof für Nebenbahnen.",
         "download_url": "files/bahnhof.zip"},
        {"id": "103", "name": "Mod-Werkzeug", "author": "Anna", "version": "1.0", "categories": ["2"],
         "download_url": "files/tool.zip"},
        {"id": "104", "name": "Ohne Download", "author": "Clara", "version": "0.1", "categories": ["1", "3"]}
      ]
    })";
}

QByteArray externalDocument()
{
    return R"([{"id": "ext-1", "name": "Gleisbau Paket", "author": "Dora", "version": "3.1",
                "category": "Gleise", "download_url": "https://example.invalid/gleis.zip"}])";
}
} // namespace

class MainWindowTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void loadsAllRepositoriesAndReportsFailures();
    void reloadWhileLoadingIsRefused();
    void repliesOfAnOlderLoadAreIgnored();
    void filtersSearchCategoryAndRepository();
    void selectionFollowsTheEntryAcrossReloads();
    void unreachableSiteIsNotAnEmptySearch();
    void installStatusAndButtonFollowLocalMods();
    void galleryFollowsTheTableSelection();
    void duplicateWarningIsShownOncePerSet();

private:
    void configureRepositories(bool withFailingExternal);
    MainWindow *makeLoadedWindow();
    QStringList shownNames(MainWindow &window) const;

    WindowFixture *fixture = nullptr;
    FakeHttpServer *server = nullptr;
    ScriptedPrompts *scripted = nullptr;
    QString userMods;
    QString modIoMods;
};

void MainWindowTest::init()
{
    fixture = new WindowFixture(builtInDocument());
    server = &fixture->server;
    scripted = &fixture->scripted;
    userMods = fixture->userMods;
    modIoMods = fixture->modIoMods;
    server->setResponse("/external.json", 200, externalDocument(), "application/json");
}

void MainWindowTest::cleanup()
{
    delete fixture;
}

void MainWindowTest::configureRepositories(bool withFailingExternal)
{
    QList<RepositoryConfig> external;
    external.append(
        {QStringLiteral("Extern"), server->url("/external.json"), QString(), QString(), true, false});
    external.append(
        {QStringLiteral("Aus"), server->url("/disabled.json"), QString(), QString(), false, false});
    if (withFailingExternal)
        external.append(
            {QStringLiteral("Kaputt"), server->url("/missing.json"), QString(), QString(), true, false});
    saveExternalRepositories(external);
}

MainWindow *MainWindowTest::makeLoadedWindow()
{
    auto *window = new MainWindow;
    window->prompts = scripted->prompts();
    window->reloadCatalog();
    if (!QTest::qWaitFor([window] { return window->catalogLoaded; }, 10000))
        qWarning("catalog did not load");
    return window;
}

QStringList MainWindowTest::shownNames(MainWindow &window) const
{
    QStringList names = WindowProbe::catalogNames(window);
    names.sort();
    return names;
}

void MainWindowTest::loadsAllRepositoriesAndReportsFailures()
{
    configureRepositories(true);
    std::unique_ptr<MainWindow> window(makeLoadedWindow());
    QVERIFY(window->catalogLoaded);
    QVERIFY(!window->catalogLoading);
    // The built-in repository is requested first; a disabled external one is never requested.
    QCOMPARE(server->requests().first().path, QByteArray("/filebase/repos/fx3-v3.json"));
    QCOMPARE(server->requestCount("/disabled.json"), 0);
    QCOMPARE(server->requests().first().headers.value("cache-control"), QByteArray("no-cache"));
    QCOMPARE(server->requests().first().headers.value("pragma"), QByteArray("no-cache"));

    // Four listed mods (the tool is not counted) from two repositories; the failing one is named.
    const QString status = window->statusLabel->text();
    QVERIFY2(status.startsWith(QLatin1String("4 Mods aus 2 Repositorys geladen. Fehler: Kaputt: ")),
             qPrintable(status));
    QCOMPARE(window->catalog.size(), 5);
    QVERIFY(!shownNames(*window).contains(QLatin1String("Mod-Werkzeug")));
    QVERIFY(window->reloadCatalogButton->isEnabled());

    // The filter lists: tools never appear as a category; sorted, with "all" first.
    QStringList categories;
    for (int i = 0; i < window->categoryFilter->count(); ++i)
        categories.append(window->categoryFilter->itemText(i));
    QCOMPARE(categories, (QStringList{"Alle Kategorien", "Bahnhöfe", "Gleise", "Lokomotiven"}));
    QCOMPARE(window->repositoryFilter->count(), 3);
}

void MainWindowTest::reloadWhileLoadingIsRefused()
{
    configureRepositories(false);
    MainWindow window;
    window.prompts = scripted->prompts();
    window.reloadCatalog();
    QVERIFY(window.catalogLoading);
    QVERIFY(!window.reloadCatalogButton->isEnabled());
    QCOMPARE(window.statusLabel->text(), QStringLiteral("Lade Repositorys…"));
    const quint32 generation = window.loadGeneration;
    window.reloadCatalog();
    QCOMPARE(window.statusLabel->text(), QStringLiteral("Repositorys werden bereits geladen…"));
    QCOMPARE(window.loadGeneration, generation);
    QTRY_VERIFY_WITH_TIMEOUT(window.catalogLoaded, 10000);
    QCOMPARE(server->requestCount("/filebase/repos/fx3-v3.json"), 1);
}

void MainWindowTest::repliesOfAnOlderLoadAreIgnored()
{
    configureRepositories(false);
    MainWindow window;
    window.prompts = scripted->prompts();
    window.reloadCatalog();
    // A newer load begins before the replies arrive, as when the window resets its state.
    window.catalogLoading = false;
    window.reloadCatalog();
    QTRY_VERIFY_WITH_TIMEOUT(window.catalogLoaded, 10000);
    QTest::qWait(100);
    // Only the second load's replies were taken: every entry is there once.
    QCOMPARE(window.catalog.size(), 5);
    QVERIFY(window.statusLabel->text().startsWith(QLatin1String("4 Mods aus 2 Repositorys geladen.")));
}

void MainWindowTest::filtersSearchCategoryAndRepository()
{
    configureRepositories(false);
    std::unique_ptr<MainWindow> window(makeLoadedWindow());
    QCOMPARE(shownNames(*window),
             (QStringList{"BR 218 Diesellok", "Gleisbau Paket", "Kleiner Bahnhof", "Ohne Download"}));

    window->catalogSearch->setText(QStringLiteral("  anna "));
    QCOMPARE(shownNames(*window), QStringList{"BR 218 Diesellok"});
    window->catalogSearch->setText(QStringLiteral("Lok robuste"));
    QCOMPARE(shownNames(*window), QStringList{}); // one phrase: the words are not searched apart
    QCOMPARE(window->catalogPreview->text(), QStringLiteral("Keine Treffer gefunden"));
    QVERIFY(!window->installButton->isEnabled());
    QCOMPARE(window->selectedCatalogIndex, -1);
    window->catalogSearch->setText(QStringLiteral("DIESEL"));
    QCOMPARE(shownNames(*window), QStringList{"BR 218 Diesellok"});
    window->catalogSearch->clear();

    window->categoryFilter->setCurrentIndex(window->categoryFilter->findData(QStringLiteral("Bahnhöfe")));
    QCOMPARE(shownNames(*window), (QStringList{"Kleiner Bahnhof", "Ohne Download"}));
    window->categoryFilter->setCurrentIndex(0);
    window->repositoryFilter->setCurrentIndex(window->repositoryFilter->findData(QStringLiteral("Extern")));
    QCOMPARE(shownNames(*window), QStringList{"Gleisbau Paket"});

    // A reload keeps the chosen filter when it is still offered.
    window->reloadCatalog();
    QTRY_VERIFY_WITH_TIMEOUT(window->catalogLoaded, 10000);
    QCOMPARE(window->repositoryFilter->currentData().toString(), QStringLiteral("Extern"));
}

void MainWindowTest::selectionFollowsTheEntryAcrossReloads()
{
    configureRepositories(false);
    std::unique_ptr<MainWindow> window(makeLoadedWindow());
    QVERIFY(WindowProbe::selectCatalogEntry(*window, "Gleisbau Paket"));
    QCOMPARE(WindowProbe::selectedCatalogName(*window), QStringLiteral("Gleisbau Paket"));

    // The next load brings new entries first, so every position changes.
    server->setResponse(
        "/filebase/repos/fx3-v3.json", 200,
        builtInDocument().replace("\"files\": [",
                                  R"("files": [{"id": "99", "name": "Neu A", "download_url": "a.zip"},
                                                       {"id": "98", "name": "Neu B", "download_url": "b.zip"},)"),
        "application/json");
    window->reloadCatalog();
    // While it loads, nothing can be installed from the list.
    QVERIFY(!window->installButton->isEnabled());
    window->installSelectedRepositoryMod();
    QVERIFY(scripted->messages.isEmpty());
    QCOMPARE(window->statusLabel->text(),
             QStringLiteral("Der Katalog wird gerade geladen. Bitte warte, bis er vollständig ist."));
    QTRY_VERIFY_WITH_TIMEOUT(window->catalogLoaded, 10000);
    QCOMPARE(WindowProbe::selectedCatalogName(*window), QStringLiteral("Gleisbau Paket"));
    QCOMPARE(window->catalogTitle->text(), QStringLiteral("Gleisbau Paket"));
    QVERIFY(window->installButton->isEnabled());
}

void MainWindowTest::unreachableSiteIsNotAnEmptySearch()
{
    server->setResponse("/filebase/repos/fx3-v3.json", FakeResponse{0, {}, {}, true});
    std::unique_ptr<MainWindow> window(makeLoadedWindow());
    QCOMPARE(window->catalogViews->currentWidget(), window->catalogEmptyLabel);
    const QString text = window->catalogEmptyLabel->text();
    QVERIFY2(text.startsWith(QStringLiteral("Der Katalog konnte nicht geladen werden.\n\nTrackhaven: ")),
             qPrintable(text));
    QVERIFY(!text.contains(QStringLiteral("Keine Treffer")));
    QVERIFY(!window->catalogPreview->text().contains(QStringLiteral("Keine Treffer")));

    // Once the site answers, a search that finds nothing says just that.
    server->setResponse("/filebase/repos/fx3-v3.json", 200, builtInDocument(), "application/json");
    window->reloadCatalog();
    QTRY_VERIFY_WITH_TIMEOUT(window->catalogLoaded, 10000);
    QCOMPARE(window->catalogViews->currentWidget(), window->catalogTable);
    window->catalogSearch->setText(QStringLiteral("gibt es nicht"));
    QCOMPARE(window->catalogEmptyLabel->text(), QStringLiteral("Keine Treffer gefunden"));
    QCOMPARE(window->catalogViews->currentWidget(), window->catalogEmptyLabel);
}

void MainWindowTest::installStatusAndButtonFollowLocalMods()
{
    configureRepositories(false);
    // An older copy of the locomotive installed from the catalog, and the station through mod.io.
    writeTestFile(userMods + "/br218/mod.lua",
                  "function data() return { info = { name = _(\"BR 218\") } } end");
    RepoMod installed;
    installed.id = QStringLiteral("101");
    installed.name = QStringLiteral("BR 218 Diesellok");
    installed.version = QStringLiteral("1.1");
    installed.repositoryJsonUrl = builtInRepository().jsonUrl;
    installed.repositoryName = QStringLiteral("Trackhaven");
    QVERIFY(writeInstallMarker(userMods + "/br218", repositoryInstallMarker(installed, QString())));
    writeTestFile(modIoMods + "/4711/mod.lua",
                  "function data() return { info = { name = _(\"Kleiner Bahnhof\") } } end");

    std::unique_ptr<MainWindow> window(makeLoadedWindow());
    window->rescanLocalMods();
    QHash<QString, QString> statusByName;
    for (int row = 0; row < window->catalogTable->rowCount(); ++row)
        statusByName.insert(window->catalogTable->item(row, 0)->text(),
                            window->catalogTable->item(row, 5)->text());
    QCOMPARE(statusByName.value("BR 218 Diesellok"), QStringLiteral("Update verfügbar"));
    QCOMPARE(statusByName.value("Kleiner Bahnhof"), QStringLiteral("mod.io – installiert"));
    QCOMPARE(statusByName.value("Gleisbau Paket"), QStringLiteral("Nicht installiert"));

    window->catalogSearch->setText(QStringLiteral("Kleiner Bahnhof"));
    QVERIFY(!window->installButton->isEnabled());
    QCOMPARE(window->installButton->text(), QStringLiteral("Über mod.io installiert"));
    window->catalogSearch->setText(QStringLiteral("Ohne Download"));
    QVERIFY(!window->installButton->isEnabled());
    QCOMPARE(window->installButton->text(), QStringLiteral("Kein Download"));
    window->catalogSearch->setText(QStringLiteral("BR 218"));
    QVERIFY(window->installButton->isEnabled());
    QCOMPARE(window->installButton->text(), QStringLiteral("Mod installieren"));
    QVERIFY2(window->catalogInfo->text().startsWith(QStringLiteral("Autor: Anna   •   Version: 1.2")),
             qPrintable(window->catalogInfo->text()));
}

void MainWindowTest::galleryFollowsTheTableSelection()
{
    configureRepositories(false);
    std::unique_ptr<MainWindow> window(makeLoadedWindow());
    QCOMPARE(window->catalogGallery->count(), window->catalogTable->rowCount());
    window->catalogGalleryButton->click();
    QCOMPARE(window->catalogViews->currentWidget(), window->catalogGallery);
    window->catalogGallery->setCurrentRow(2);
    const int chosen = window->catalogGallery->currentItem()->data(Qt::UserRole).toInt();
    QCOMPARE(window->selectedCatalogIndex, chosen);
    QCOMPARE(window->catalogTitle->text(), window->catalog.at(chosen).name);
    const QList<QTableWidgetItem *> selected = window->catalogTable->selectedItems();
    QVERIFY(!selected.isEmpty());
    QCOMPARE(window->catalogTable->item(selected.first()->row(), 0)->data(Qt::UserRole).toInt(), chosen);
}

void MainWindowTest::duplicateWarningIsShownOncePerSet()
{
    configureRepositories(false);
    const QByteArray lua = "function data() return { info = { name = _(\"Kleiner Bahnhof\") } } end";
    writeTestFile(userMods + "/kleiner_bahnhof/mod.lua", lua);
    writeTestFile(modIoMods + "/4711/mod.lua", lua);

    std::unique_ptr<MainWindow> window(makeLoadedWindow());
    window->rescanLocalMods();
    window->rescanLocalMods();
    window->reloadCatalog();
    QTRY_VERIFY_WITH_TIMEOUT(window->catalogLoaded, 10000);
    QCOMPARE(scripted->messages.size(), 1);
    QVERIFY(
        scripted->messages.first().startsWith(QStringLiteral("warning|Doppelt installierte Mods erkannt|")));
    QVERIFY(scripted->messages.first().contains(QDir::toNativeSeparators(userMods + "/kleiner_bahnhof")));

    // The station's status tells the player, and the catalog refuses a second installation.
    window->catalogSearch->setText(QStringLiteral("Kleiner Bahnhof"));
    QCOMPARE(window->catalogTable->item(0, 5)->text(), QStringLiteral("⚠ Doppelt installiert"));
    QCOMPARE(window->installButton->text(), QStringLiteral("Doppelt installiert"));
    QVERIFY(!window->installButton->isEnabled());

    // A changed set is reported again.
    writeTestFile(userMods + "/br_218/mod.lua",
                  "function data() return { info = { name = _(\"BR 218 Diesellok\") } } end");
    writeTestFile(modIoMods + "/4712/mod.lua",
                  "function data() return { info = { name = _(\"BR 218 Diesellok\") } } end");
    window->rescanLocalMods();
    QCOMPARE(scripted->messages.size(), 2);
}

QTEST_MAIN(MainWindowTest)
#include "tst_gui_catalogpage.moc"
