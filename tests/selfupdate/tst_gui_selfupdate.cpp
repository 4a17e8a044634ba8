#include "windowfixture.h"

#include <QtTest>

class MainWindowTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void managerReleaseIsOfferedOnce_data();
    void managerReleaseIsOfferedOnce();
};

void MainWindowTest::managerReleaseIsOfferedOnce_data()
{
    QTest::addColumn<bool>("catalogFirst");
    QTest::newRow("background check first") << false;
    QTest::newRow("catalog load first") << true;
}

void MainWindowTest::managerReleaseIsOfferedOnce()
{
    QFETCH(bool, catalogFirst);
    WindowFixture fixture(
        R"({"files": [{"id": "8094", "name": "Trackhaven - FX3 ModManager", "version": "0.5.38",
        "filename": "FX3ModManager_v0.6.0.zip", "download_url": "files/mm.zip"}]})");
    MainWindow &window = fixture.open();
    QStringList offers;
    window.prompts.offer = [&offers](const QString &title, const QString &text, const QString &info,
                                     const QStringList &buttons, int defaultButton) {
        offers.append(
            QStringList{title, text, info, buttons.join(u'/'), QString::number(defaultButton)}.join(u'|'));
        return 1;
    };
    if (catalogFirst)
        QVERIFY(fixture.reload());
    QTRY_COMPARE_WITH_TIMEOUT(offers.size(), 1, 5000);
    // Whichever comes second neither asks again nor, as the background check, fetches the document again.
    if (!catalogFirst)
        QVERIFY(fixture.reload());
    QTest::qWait(catalogFirst ? 1200 : 100);
    QCOMPARE(offers,
             QStringList{"Update verfügbar|Eine neue Version des Trackhaven FX3 Mod-Managers ist verfügbar.|"
                         "Installiert: v0.5.38\nVerfügbar: v0.6.0\n\nDas Update kann automatisch in das "
                         "aktuelle Programmverzeichnis installiert werden.|Update installieren/Abbrechen|0"});
    QCOMPARE(fixture.server.requestCount("/filebase/repos/fx3-v3.json"), catalogFirst ? 1 : 2);
    QCOMPARE(fixture.scripted.messages, QStringList());
}

QTEST_MAIN(MainWindowTest)
#include "tst_gui_selfupdate.moc"
