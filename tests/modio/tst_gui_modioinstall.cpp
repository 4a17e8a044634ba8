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
    void linkInstallsItsOwnRecord();
};

void MainWindowTest::linkInstallsItsOwnRecord()
{
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
#include "tst_gui_modioinstall.moc"
