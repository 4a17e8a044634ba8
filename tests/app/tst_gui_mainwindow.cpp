#include "app/linkargument.h"
#include "app/mainwindow.h"
#include "app/qttranslation.h"
#include "testsupport.h"

#include <QLabel>
#include <QNetworkDiskCache>
#include <QPushButton>
#include <QStackedWidget>
#include <QTranslator>
#include <QtTest>

namespace {
QPushButton *buttonWithText(QWidget *root, const QString &prefix)
{
    const QList<QPushButton *> buttons = root->findChildren<QPushButton *>();
    for (QPushButton *button : buttons) {
        if (button->text().startsWith(prefix) || button->accessibleName().startsWith(prefix))
            return button;
    }
    return nullptr;
}
} // namespace

class MainWindowTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void frameAfterConstructionAndDelayedSelfUpdateCheck();
    void homePageHoldsUpAtEverySize_data();
    void homePageHoldsUpAtEverySize();
    void qtTextsFollowTheInterfaceLanguage();
    void tilesAndTopButtonsNavigate();
    void catalogIsLoadedOnceAcrossPageVisits();
    void linkArgument_data();
    void linkArgument();
};

void MainWindowTest::frameAfterConstructionAndDelayedSelfUpdateCheck()
{
    TestEnvironment environment;
    MainWindow window;
    QCOMPARE(window.windowTitle(), QStringLiteral("Trackhaven FX3 Mod-Manager v0.5.38"));
    QCOMPARE(window.pages->currentWidget(), window.homePage);
    QVERIFY(window.statusLabel->wordWrap());
    // Nothing is loaded before a page asks for it.
    QVERIFY(!window.catalogLoaded && !window.catalogLoading && !window.localModsLoaded);
    QVERIFY(window.httpCache->cacheDirectory().endsWith(QLatin1String("http-cache/")));
    // The check for a newer manager waits a moment after start, so the first paint is not held up.
    QVERIFY(!window.selfUpdateCheckStarted);
    QTest::qWait(300);
    QVERIFY(!window.selfUpdateCheckStarted);
    QTRY_VERIFY_WITH_TIMEOUT(window.selfUpdateCheckStarted, 3000);
}

void MainWindowTest::homePageHoldsUpAtEverySize_data()
{
    QTest::addColumn<QSize>("size");
    QTest::newRow("smallest") << QSize(900, 620);
    QTest::newRow("full screen") << QSize(1920, 1080);
}

void MainWindowTest::homePageHoldsUpAtEverySize()
{
    QFETCH(QSize, size);
    TestEnvironment environment;
    MainWindow window;
    window.resize(size);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCoreApplication::processEvents();

    QList<QPushButton *> tiles;
    for (QPushButton *button : window.homePage->findChildren<QPushButton *>()) {
        if (button->accessibleName().contains(QLatin1Char('\n')))
            tiles.append(button);
    }
    QCOMPARE(tiles.size(), 5);
    for (QPushButton *tile : std::as_const(tiles)) {
        const QRect area(tile->mapTo(window.homePage, QPoint()), tile->size());
        // No tile lies over another.
        for (QPushButton *other : std::as_const(tiles)) {
            const QRect otherArea(other->mapTo(window.homePage, QPoint()), other->size());
            QVERIFY2(other == tile || !area.intersects(otherArea), qPrintable(tile->accessibleName()));
        }
        // Every line of a tile is shown whole: each label has the height its wrapped text needs, inside the
        // tile.
        for (QLabel *label : tile->findChildren<QLabel *>()) {
            QVERIFY2(label->height() >= label->heightForWidth(label->width()), qPrintable(label->text()));
            QVERIFY2(tile->rect().contains(label->geometry()), qPrintable(label->text()));
        }
    }
}

void MainWindowTest::qtTextsFollowTheInterfaceLanguage()
{
    QTranslator german;
    if (!loadQtTranslation(german, QStringLiteral("de")))
        QSKIP("Qt's German translation is not installed");
    QCOMPARE(german.translate("QFileDialog", "&Open"), QStringLiteral("&Öffnen"));
    QTranslator english;
    QVERIFY(!loadQtTranslation(english, QStringLiteral("en")));
}

void MainWindowTest::tilesAndTopButtonsNavigate()
{
    TestEnvironment environment;
    MainWindow window;
    window.show();
    const struct
    {
        QString text;
        QWidget *page;
    } tiles[] = {{"Trackhaven\n", window.catalogPage},
                 {"mod.io\n", window.modIoPage},
                 {"Installierte Mods\n", window.installedPage},
                 {"Updates\n", window.updatesPage}};
    for (const auto &tile : tiles) {
        window.showHome();
        QPushButton *button = buttonWithText(window.homePage, tile.text);
        QVERIFY2(button, qPrintable(tile.text));
        button->click();
        QCOMPARE(window.pages->currentWidget(), tile.page);
        buttonWithText(window.centralWidget(), "Start")->click();
        QCOMPARE(window.pages->currentWidget(), window.homePage);
    }
    QVERIFY(buttonWithText(window.centralWidget(), "Einstellungen"));
}

void MainWindowTest::catalogIsLoadedOnceAcrossPageVisits()
{
    TestEnvironment environment;
    MainWindow window;
    window.showCatalog();
    // The page is shown at once; loading follows on the next turn of the event loop.
    QCOMPARE(window.pages->currentWidget(), window.catalogPage);
    QTRY_VERIFY(window.localModsLoaded);
    QVERIFY(window.catalogLoaded || window.catalogLoading);
    window.localModsLoaded = true;
    window.showUpdates();
    QCOMPARE(window.pages->currentWidget(), window.updatesPage);
    QTest::qWait(20);
    QVERIFY(window.localModsLoaded);
}

void MainWindowTest::linkArgument_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("link");
    QTest::newRow("program path is skipped") << QStringList{"fx3modmanager://x"} << QString();
    QTest::newRow("first of two, case ignored")
        << QStringList{"app", "--verbose", "FX3ModManager://install/1", "fx3modmanager://install/2"}
        << "FX3ModManager://install/1";
    QTest::newRow("other scheme") << QStringList{"app", "https://fx3modmanager://"} << QString();
}

void MainWindowTest::linkArgument()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, link);
    QCOMPARE(findLinkArgument(arguments), link);
}

QTEST_MAIN(MainWindowTest)
#include "tst_gui_mainwindow.moc"
