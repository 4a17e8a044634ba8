#include "fakemodio.h"
#include "storedzip.h"
#include "windowfixture.h"

#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QtTest>

// The window's install link and install button over the fake service: the record a link names is the one
// installed, whatever the list shows.
class MainWindowTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void linkInstallsItsOwnRecord_data();
    void linkInstallsItsOwnRecord();
};

void MainWindowTest::linkInstallsItsOwnRecord_data()
{
    QTest::addColumn<QString>("link");
    QTest::addColumn<bool>("installed");
    QTest::newRow("install link, upper-case scheme and host")
        << "FX3MODMANAGER://MODIO/install?mod_id=%207%20" << true;
    QTest::newRow("trailing slash") << "fx3modmanager://modio/install/?mod_id=7" << false;
    QTest::newRow("letters in the id") << "fx3modmanager://modio/install?mod_id=7a" << false;
}

void MainWindowTest::linkInstallsItsOwnRecord()
{
    QFETCH(QString, link);
    QFETCH(bool, installed);
    WindowFixture fixture;
    FakeModIoService service;
    service.configure(QStringLiteral("key"), QString());
    const QString mods = fixture.environment.makeDir(QStringLiteral("storage/73160/mods"));
    QSettings().setValue(QStringLiteral("paths/modio"), mods);
    const QString archive = fixture.environment.root() + QStringLiteral("/seven.zip");
    QVERIFY(writeStoredZip(archive, {{"mod.lua", "name = 'Sieben'"}, {"res/a.mdl", "mesh"}}));
    service.addMod(QStringLiteral("7"), readTestFile(archive));
    service.addMod(QStringLiteral("8"), readTestFile(archive));
    MainWindow &window = fixture.open();
    // Another record is listed and selected, and the search hides the linked one.
    window.modIoView.mods.append(parseModIoMod(FakeModIoService::mod(QStringLiteral("8"), {}), {}));
    window.modIoView.search->setText(QStringLiteral("nichts davon"));

    window.handleInstallLink(QUrl(link, QUrl::TolerantMode));

    QCOMPARE(QFileInfo::exists(mods + QStringLiteral("/7/res/a.mdl")), installed);
    QCOMPARE(readTestFile(mods + QStringLiteral("/7/mod.io_fileid.txt")).trimmed().isEmpty(), !installed);
    QVERIFY(!QFileInfo::exists(mods + QStringLiteral("/8")));
    QVERIFY(!window.installRunActive());
    if (!installed) {
        QCOMPARE(service.downloadPaths(), QStringList());
        QVERIFY2(fixture.scripted.messages.size() == 1 &&
                     fixture.scripted.messages.constFirst().startsWith(QStringLiteral("warning|")),
                 qPrintable(fixture.scripted.messages.join('\n')));
        return;
    }
    QCOMPARE(window.modIoView.mods.size(), 2);
    QCOMPARE(window.modIoView.mods.at(window.modIoView.selectedIndex).id, QStringLiteral("7"));
    QVERIFY(window.modIoView.installButton->isEnabled());
}

QTEST_MAIN(MainWindowTest)
#include "tst_gui_modioinstall.moc"
