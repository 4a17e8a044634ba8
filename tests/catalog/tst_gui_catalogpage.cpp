#include "app/listwidgets.h"
#include "catalog/externalrepositoriesdialog.h"
#include "catalog/repositorydialog.h"
#include "environment/settingsdialog.h"
#include "modaldriver.h"
#include "windowfixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QStackedWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTcpServer>
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
// Plays the user in the repository dialogs: every dialog that would be shown modally goes to the next step
// instead, which fills and clicks its widgets; the dialog's result is what the step left behind.
struct ScriptedEditor
{
    QList<std::function<void(QDialog &)>> steps;
    QStringList warnings;
    int dialogsRun = 0;
    QLabel *summary = nullptr;

    RepositoryEditorHooks hooks()
    {
        RepositoryEditorHooks hooks;
        hooks.warning = [this](QWidget *, const QString &title, const QString &text) {
            warnings.append(title + QLatin1Char('|') + text);
        };
        hooks.runDialog = [this](QDialog &dialog) {
            ++dialogsRun;
            if (!steps.isEmpty())
                steps.takeFirst()(dialog);
            return dialog.result();
        };
        return hooks;
    }
};

// The dialog a step was handed, as the type the step expects; a different dialog ends the test run.
template <typename T> T &as(QDialog &dialog)
{
    auto *typed = qobject_cast<T *>(&dialog);
    if (!typed)
        qFatal("unexpected dialog: %s", dialog.metaObject()->className());
    return *typed;
}

void fill(QDialog &dialog, const QString &name, const QString &jsonUrl, const QString &baseUrl = QString(),
          bool enabled = true)
{
    auto *repositoryDialog = qobject_cast<RepositoryDialog *>(&dialog);
    QVERIFY(repositoryDialog);
    repositoryDialog->nameEdit()->setText(name);
    repositoryDialog->jsonUrlEdit()->setText(jsonUrl);
    repositoryDialog->baseUrlEdit()->setText(baseUrl);
    repositoryDialog->enabledCheckBox()->setChecked(enabled);
}

void clickSave(QDialog &dialog)
{
    as<RepositoryDialog>(dialog).saveButton()->click();
}

RepositoryConfig external(const QString &name, bool enabled = true)
{
    const QString url = QStringLiteral("https://%1.example/repo.json").arg(name.toLower());
    return RepositoryConfig{name, url, QString(), QString(), enabled, false};
}

QString storedRepositories()
{
    return QString::fromUtf8(QSettings().value(QStringLiteral("repositories/external")).toByteArray());
}

QStringList shownNames(const MainWindow &window)
{
    QStringList names = WindowProbe::catalogNames(window);
    names.sort();
    return names;
}
} // namespace

// Named so the window lets the test look at its loading state.
class MainWindowTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void loadsAllRepositoriesOnceAndReportsFailures();
    void filtersSortAndSelectionFollowTheEntry();
    void unreachableSiteIsNotAnEmptySearch();
    void installStatusAndButtonFollowLocalModsAndDuplicates();
    void galleryFollowsTheTableSelection();
    void listHoldsUpInASmallWindow();
    void editorAddsEditsAndRemoves();
    void openSettings_data();
    void openSettings();

private:
    void configureRepositories(bool withFailingExternal);

    WindowFixture *fixture = nullptr;
};

void MainWindowTest::init()
{
    fixture = new WindowFixture(builtInDocument());
    fixture->server.setResponse("/external.json", 200, externalDocument(), "application/json");
}

void MainWindowTest::cleanup()
{
    delete fixture;
}

void MainWindowTest::configureRepositories(bool withFailingExternal)
{
    QList<RepositoryConfig> external;
    external.append(
        {QStringLiteral("Extern"), fixture->server.url("/external.json"), QString(), QString(), true, false});
    external.append(
        {QStringLiteral("Aus"), fixture->server.url("/disabled.json"), QString(), QString(), false, false});
    if (withFailingExternal)
        external.append({QStringLiteral("Kaputt"), fixture->server.url("/missing.json"), QString(), QString(),
                         true, false});
    saveExternalRepositories(external);
}

void MainWindowTest::loadsAllRepositoriesOnceAndReportsFailures()
{
    configureRepositories(true);
    MainWindow &window = fixture->open();
    window.reloadCatalog();
    QVERIFY(window.catalogLoading);
    QVERIFY(!window.catalogView.reloadButton->isEnabled());
    QCOMPARE(window.statusLabel->text(), QStringLiteral("Lade Repositorys…"));
    const quint32 generation = window.loadGeneration;
    window.reloadCatalog();
    QCOMPARE(window.statusLabel->text(), QStringLiteral("Repositorys werden bereits geladen…"));
    QCOMPARE(window.loadGeneration, generation);

    // A newer load begins before the replies arrive, as when the window resets its state: only its replies
    // are taken, so every entry is there once.
    window.catalogLoading = false;
    window.reloadCatalog();
    QTRY_VERIFY_WITH_TIMEOUT(window.catalogLoaded, 10000);
    QTest::qWait(100);
    QVERIFY(!window.catalogLoading);
    QCOMPARE(fixture->server.requestCount("/filebase/repos/fx3-v3.json"), 2);
    // The built-in repository is requested first; a disabled external one is never requested.
    QCOMPARE(fixture->server.requests().first().path, QByteArray("/filebase/repos/fx3-v3.json"));
    QCOMPARE(fixture->server.requestCount("/disabled.json"), 0);
    QCOMPARE(fixture->server.requests().first().headers.value("cache-control"), QByteArray("no-cache"));

    // Four listed mods (the tool is not counted) from two repositories; the failing one is named.
    const QString status = window.statusLabel->text();
    QVERIFY2(status.startsWith(QLatin1String("4 Mods aus 2 Repositorys geladen. Fehler: Kaputt: ")),
             qPrintable(status));
    QCOMPARE(window.catalog.size(), 5);
    QVERIFY(!shownNames(window).contains(QLatin1String("Mod-Werkzeug")));
    QVERIFY(window.catalogView.reloadButton->isEnabled());

    // The filter lists, each with "all" first: tools never appear as a category.
    QCOMPARE(window.catalogView.categoryFilter->count(), 4);
    QCOMPARE(window.catalogView.repositoryFilter->count(), 3);
}

// How a search, a category or a column orders and filters is the catalog's and the table model's own
// business; here the page must hand them its fields and keep the chosen entry through all of it.
void MainWindowTest::filtersSortAndSelectionFollowTheEntry()
{
    configureRepositories(false);
    QVERIFY(fixture->openLoaded());
    MainWindow &window = *fixture->window;
    CatalogView &view = window.catalogView;
    // Catalog order until a column is chosen: the built-in repository first, in document order.
    QCOMPARE(WindowProbe::catalogNames(window),
             (QStringList{"BR 218 Diesellok", "Kleiner Bahnhof", "Ohne Download", "Gleisbau Paket"}));
    view.search->setText(QStringLiteral("  anna "));
    QCOMPARE(shownNames(window), QStringList{"BR 218 Diesellok"});
    view.search->setText(QStringLiteral("Lok robuste"));
    QCOMPARE(shownNames(window), QStringList{});
    QCOMPARE(view.preview->text(), QStringLiteral("Keine Treffer gefunden"));
    QVERIFY(!view.installButton->isEnabled());
    QCOMPARE(window.selectedCatalogIndex, -1);
    view.search->clear();
    view.categoryFilter->setCurrentIndex(view.categoryFilter->findData(QStringLiteral("Bahnhöfe")));
    QCOMPARE(shownNames(window), (QStringList{"Kleiner Bahnhof", "Ohne Download"}));
    view.categoryFilter->setCurrentIndex(0);

    QVERIFY(WindowProbe::selectCatalogEntry(window, "Kleiner Bahnhof"));
    // Versions by value: 0.1 < 1.2 < 2.0 < 3.1.
    view.table->sortByColumn(4, Qt::AscendingOrder);
    QCOMPARE(WindowProbe::catalogNames(window),
             (QStringList{"Ohne Download", "BR 218 Diesellok", "Kleiner Bahnhof", "Gleisbau Paket"}));
    QCOMPARE(WindowProbe::selectedCatalogName(window), QStringLiteral("Kleiner Bahnhof"));
    // A search keeps the order and the selection while the entry is shown.
    view.search->setText(QStringLiteral("n"));
    QCOMPARE(WindowProbe::catalogNames(window).first(), QStringLiteral("Ohne Download"));
    QCOMPARE(WindowProbe::selectedCatalogName(window), QStringLiteral("Kleiner Bahnhof"));
    view.search->clear();

    // The next load brings new entries first, so every position changes; the chosen repository stays.
    view.repositoryFilter->setCurrentIndex(view.repositoryFilter->findData(QStringLiteral("Extern")));
    QCOMPARE(shownNames(window), QStringList{"Gleisbau Paket"});
    QVERIFY(WindowProbe::selectCatalogEntry(window, "Gleisbau Paket"));
    fixture->server.setResponse(
        "/filebase/repos/fx3-v3.json", 200,
        builtInDocument().replace("\"files\": [",
                                  R"("files": [{"id": "99", "name": "Neu A", "download_url": "a.zip"},
                                                       {"id": "98", "name": "Neu B", "download_url": "b.zip"},)"),
        "application/json");
    window.reloadCatalog();
    // While it loads, nothing can be installed from the list.
    QVERIFY(!view.installButton->isEnabled());
    window.installSelectedRepositoryMod();
    QVERIFY(fixture->scripted.messages.isEmpty());
    QCOMPARE(window.statusLabel->text(),
             QStringLiteral("Der Katalog wird gerade geladen. Bitte warte, bis er vollständig ist."));
    QTRY_VERIFY_WITH_TIMEOUT(window.catalogLoaded, 10000);
    QCOMPARE(view.repositoryFilter->currentData().toString(), QStringLiteral("Extern"));
    QCOMPARE(WindowProbe::selectedCatalogName(window), QStringLiteral("Gleisbau Paket"));
    QCOMPARE(view.title->text(), QStringLiteral("Gleisbau Paket"));
    QVERIFY(view.installButton->isEnabled());
}

void MainWindowTest::unreachableSiteIsNotAnEmptySearch()
{
    fixture->server.setResponse("/filebase/repos/fx3-v3.json", FakeResponse{0, {}, {}, true});
    QVERIFY(fixture->openLoaded());
    MainWindow &window = *fixture->window;
    QCOMPARE(window.catalogView.views->currentWidget(), window.catalogView.emptyLabel);
    const QString text = window.catalogView.emptyLabel->text();
    QVERIFY2(text.startsWith(QStringLiteral("Der Katalog konnte nicht geladen werden.\n\nTrackhaven: ")),
             qPrintable(text));
    QVERIFY(!window.catalogView.preview->text().contains(QStringLiteral("Keine Treffer")));

    // Once the site answers, a search that finds nothing says just that.
    fixture->server.setResponse("/filebase/repos/fx3-v3.json", 200, builtInDocument(), "application/json");
    QVERIFY(fixture->reload());
    QCOMPARE(window.catalogView.views->currentWidget(), window.catalogView.table);
    window.catalogView.search->setText(QStringLiteral("gibt es nicht"));
    QCOMPARE(window.catalogView.emptyLabel->text(), QStringLiteral("Keine Treffer gefunden"));
    QCOMPARE(window.catalogView.views->currentWidget(), window.catalogView.emptyLabel);
}

void MainWindowTest::installStatusAndButtonFollowLocalModsAndDuplicates()
{
    configureRepositories(false);
    // An older copy of the locomotive installed from the catalog, and the station through mod.io.
    fixture->installFromCatalog("br218", "101", "BR 218 Diesellok", "1.1");
    WindowFixture::writeModLua(fixture->userMods + "/br218", "BR 218");
    WindowFixture::writeModLua(fixture->modIoMods + "/4711", "Kleiner Bahnhof");

    QVERIFY(fixture->openLoaded());
    MainWindow &window = *fixture->window;
    const QList<QStringList> rows = WindowProbe::catalogRows(window);
    QCOMPARE(WindowProbe::rowNamed(rows, "BR 218 Diesellok").value(5), QStringLiteral("Update verfügbar"));
    QCOMPARE(WindowProbe::rowNamed(rows, "Kleiner Bahnhof").value(5), QStringLiteral("mod.io – installiert"));

    window.catalogView.search->setText(QStringLiteral("Kleiner Bahnhof"));
    QVERIFY(!window.catalogView.installButton->isEnabled());
    QCOMPARE(window.catalogView.installButton->text(), QStringLiteral("Über mod.io installiert"));
    window.catalogView.search->setText(QStringLiteral("Ohne Download"));
    QVERIFY(!window.catalogView.installButton->isEnabled());
    QCOMPARE(window.catalogView.installButton->text(), QStringLiteral("Kein Download"));
    window.catalogView.search->setText(QStringLiteral("BR 218"));
    QVERIFY(window.catalogView.installButton->isEnabled());
    QCOMPARE(window.catalogView.installButton->text(), QStringLiteral("Mod installieren"));
    QVERIFY2(window.catalogView.info->text().startsWith(QStringLiteral("Autor: Anna   •   Version: 1.2")),
             qPrintable(window.catalogView.info->text()));

    // A second copy of the station: one warning per set of duplicates, however often the mods are read.
    WindowFixture::writeModLua(fixture->userMods + "/kleiner_bahnhof", "Kleiner Bahnhof");
    window.rescanLocalMods();
    window.rescanLocalMods();
    QVERIFY(fixture->reload());
    QCOMPARE(fixture->scripted.messages.size(), 1);
    QVERIFY(fixture->scripted.messages.first().startsWith(
        QStringLiteral("warning|Doppelt installierte Mods erkannt|")));
    QVERIFY(fixture->scripted.messages.first().contains(
        QDir::toNativeSeparators(fixture->userMods + "/kleiner_bahnhof")));

    // The station's status tells the player, and the catalog refuses a second installation.
    window.catalogView.search->setText(QStringLiteral("Kleiner Bahnhof"));
    QCOMPARE(WindowProbe::catalogRows(window).value(0).value(5), QStringLiteral("⚠ Doppelt installiert"));
    QCOMPARE(window.catalogView.installButton->text(), QStringLiteral("Doppelt installiert"));
    QVERIFY(!window.catalogView.installButton->isEnabled());

    // A changed set is reported again.
    WindowFixture::writeModLua(fixture->modIoMods + "/4712", "BR 218 Diesellok");
    window.rescanLocalMods();
    QCOMPARE(fixture->scripted.messages.size(), 2);
}

void MainWindowTest::galleryFollowsTheTableSelection()
{
    configureRepositories(false);
    QVERIFY(fixture->openLoaded());
    MainWindow &window = *fixture->window;
    CatalogView &view = window.catalogView;
    view.galleryButton->click();
    QCOMPARE(view.views->currentWidget(), view.gallery);
    QCOMPARE(view.gallery->model()->rowCount(), 4);
    // A click on the third card selects its entry in both views and shows its details.
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QModelIndex third = view.gallery->model()->index(2, 0);
    QTest::mouseClick(view.gallery->viewport(), Qt::LeftButton, {}, view.gallery->visualRect(third).center());
    const QString chosen = third.data().toString();
    QCOMPARE(WindowProbe::selectedCatalogName(window), chosen);
    QCOMPARE(view.title->text(), chosen);
    QCOMPARE(view.table->selectionModel()->selectedRows().value(0).row(), 2);
    // Keyboard: the next card.
    QTest::keyClick(view.gallery, Qt::Key_Right);
    QCOMPARE(WindowProbe::selectedCatalogName(window), view.gallery->model()->index(3, 0).data().toString());
}

void MainWindowTest::listHoldsUpInASmallWindow()
{
    configureRepositories(false);
    // The window is large before the catalog arrives.
    MainWindow &window = fixture->open();
    window.resize(1900, 1000);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.showCatalog();
    QTRY_VERIFY_WITH_TIMEOUT(window.catalogLoaded, 10000);
    QCoreApplication::processEvents();
    CatalogView &view = window.catalogView;
    // The names take the room the other columns leave.
    int others = 0;
    for (int column = 1; column < 6; ++column)
        others += view.table->columnWidth(column);
    QCOMPARE(view.table->columnWidth(0) + others, view.table->viewport()->width());
    // The gallery fills its width with cards: what is left over is less than a card's growth.
    view.galleryButton->click();
    QCoreApplication::processEvents();
    const int cardWidth = view.gallery->gridSize().width();
    QVERIFY(cardWidth >= 240);
    QVERIFY2(view.gallery->viewport()->width() % cardWidth < cardWidth / 2,
             qPrintable(QStringLiteral("%1 / %2").arg(view.gallery->viewport()->width()).arg(cardWidth)));

    // At the smallest size the name column keeps a readable width; the table scrolls sideways instead.
    view.listButton->click();
    window.resize(window.minimumSize());
    QCoreApplication::processEvents();
    QVERIFY2(view.table->columnWidth(0) >= 200, qPrintable(QString::number(view.table->columnWidth(0))));
}

void MainWindowTest::editorAddsEditsAndRemoves()
{
    ScriptedEditor script;
    ExternalRepositoriesDialog editor({external(QStringLiteral("Nord"))}, script.hooks());
    editor.show();
    QVERIFY(QTest::qWaitForWindowExposed(&editor));
    QSignalSpy changed(&editor, &ExternalRepositoriesDialog::repositoriesChanged);
    QTableWidget *table = editor.table();
    // Nothing is selected yet, so nothing can be edited or removed by accident.
    QVERIFY(!editor.editButton()->isEnabled());
    QVERIFY(!editor.removeButton()->isEnabled());

    // Add: a refused entry stays open as typed and is corrected there; then a cancelled add changes nothing.
    script.steps.append([&script](QDialog &dialog) {
        fill(dialog, QStringLiteral("West"), QStringLiteral("https://west.example/r.json"),
             QStringLiteral("ftp://west.example/"));
        clickSave(dialog);
        QCOMPARE(script.warnings, QStringList{QStringLiteral("Ungültiges Repository|Basis-URL und Webseite "
                                                             "müssen HTTP- oder HTTPS-URLs sein.")});
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QCOMPARE(as<RepositoryDialog>(dialog).baseUrlEdit()->text(), QStringLiteral("ftp://west.example/"));
        fill(dialog, QStringLiteral(" West "), QStringLiteral(" http://west.example/repo.json "), QString(),
             false);
        clickSave(dialog);
    });
    script.steps.append([](QDialog &dialog) {
        fill(dialog, QStringLiteral("Ost"), QStringLiteral("https://ost.example/repo.json"));
        as<RepositoryDialog>(dialog).cancelButton()->click();
    });
    editor.addButton()->click();
    editor.addButton()->click();
    QCOMPARE(changed.count(), 1);
    QCOMPARE(table->rowCount(), 2);
    QCOMPARE(editor.repositories().at(1).name, QStringLiteral("West"));
    QCOMPARE(editor.repositories().at(1).jsonUrl, QStringLiteral("http://west.example/repo.json"));
    QCOMPARE(table->item(1, 4)->text(), QStringLiteral("Nein"));

    // Edit through a double-click on the first row; the dialog starts with the stored values.
    script.steps.append([](QDialog &dialog) {
        auto &repositoryDialog = as<RepositoryDialog>(dialog);
        QCOMPARE(repositoryDialog.nameEdit()->text(), QStringLiteral("Nord"));
        repositoryDialog.nameEdit()->setText(QStringLiteral("Nordbahn"));
        clickSave(dialog);
    });
    const QRect cell = table->visualItemRect(table->item(0, 0));
    QTest::mouseClick(table->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
    QTest::mouseDClick(table->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
    QCOMPARE(script.dialogsRun, 3);
    QCOMPARE(changed.count(), 2);
    QCOMPARE(table->item(0, 0)->text(), QStringLiteral("Nordbahn"));
    QCOMPARE(editor.repositories().first().jsonUrl, QStringLiteral("https://nord.example/repo.json"));

    // Remove the first row; the next one moves up and stays selected.
    editor.removeButton()->click();
    QCOMPARE(changed.count(), 3);
    QCOMPARE(editor.repositories().size(), 1);
    QCOMPARE(editor.repositories().first().name, QStringLiteral("West"));
    QCOMPARE(table->selectedItems().first()->row(), 0);
}

void MainWindowTest::openSettings_data()
{
    QTest::addColumn<QString>("action"); // "save", "cancel", or "busy" while an install runs
    QTest::newRow("saved") << "save";
    QTest::newRow("cancelled") << "cancel";
    QTest::newRow("during an install") << "busy";
}

void MainWindowTest::openSettings()
{
    QFETCH(QString, action);
    // A community site that takes requests and never answers keeps a catalog load in flight.
    QTcpServer silent;
    QVERIFY(silent.listen(QHostAddress::LocalHost));
    fixture->environment.setEnv("FX3MM_COMMUNITY_URL",
                                QStringLiteral("http://127.0.0.1:%1/").arg(silent.serverPort()).toUtf8());
    saveExternalRepositories({external(QStringLiteral("Nord")), external(QStringLiteral("Süd"), false)});
    // The settings are saved only with a game folder that holds the game.
    QSettings().setValue(
        QStringLiteral("paths/game"),
        QFileInfo(fixture->environment.writeFile(QStringLiteral("game/ferroline3.exe"), {})).path());
    const QString before = storedRepositories();

    MainWindow &window = fixture->open();
    window.pages->setCurrentWidget(window.catalogPage);
    window.reloadCatalog();
    QVERIFY(window.catalogLoading);
    window.catalog.append(RepoMod());
    window.catalogLoaded = true;
    window.localModsLoaded = true;
    window.installInProgress = action == QLatin1String("busy");
    const quint32 generation = window.loadGeneration;

    // The settings dialog works on a copy: its summary follows the editor, the stored list only the save.
    ScriptedEditor script;
    script.steps.append([&script](QDialog &editorDialog) {
        auto &editor = as<ExternalRepositoriesDialog>(editorDialog);
        editor.table()->selectRow(0);
        editor.removeButton()->click();
        QCOMPARE(script.summary->text(), QStringLiteral("Externe Repositorys: 1 eingerichtet, 0 aktiv"));
    });
    ModalDriver<SettingsDialog> driver([&script, before, action](SettingsDialog *dialog) {
        dialog->setRepositoryEditorHooks(script.hooks());
        script.summary = dialog->repositorySummaryLabel();
        dialog->manageRepositoriesButton()->click();
        QCOMPARE(storedRepositories(), before);
        (action == QLatin1String("save") ? dialog->saveButton() : dialog->cancelButton())->click();
    });
    window.openSettings();
    if (action == QLatin1String("busy"))
        QTest::qWait(30);
    QCOMPARE(driver.seen, action == QLatin1String("busy") ? 0 : 1);
    if (action != QLatin1String("save")) {
        QCOMPARE(storedRepositories(), before);
        QCOMPARE(window.catalog.size(), 1);
        QCOMPARE(window.loadGeneration, generation);
        if (action == QLatin1String("busy"))
            QCOMPARE(window.statusLabel->text(),
                     QStringLiteral("Die Einstellungen können während einer Installation oder eines Updates "
                                    "nicht geändert werden."));
        return;
    }
    const QList<RepositoryConfig> saved = loadExternalRepositories();
    QCOMPARE(saved.size(), 1);
    QCOMPARE(saved[0].name, QStringLiteral("Süd"));
    QVERIFY(!window.catalogLoaded && !window.localModsLoaded && window.catalog.isEmpty());
    QCOMPARE(window.statusLabel->text(),
             QStringLiteral(
                 "Einstellungen gespeichert. Daten werden beim Öffnen des jeweiligen Bereichs neu geladen."));
    // The abandoned load never finishes, so its buttons must not stay disabled, and the catalog page on
    // screen loads anew instead of being refused as "already loading".
    QVERIFY(window.catalogView.reloadButton->isEnabled());
    QTRY_VERIFY(window.catalogLoading);
    QCOMPARE(window.loadGeneration, generation + 2);
}

QTEST_MAIN(MainWindowTest)
#include "tst_gui_catalogpage.moc"
