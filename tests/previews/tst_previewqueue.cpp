#include "install/fileoperations.h"
#include "previews/previewcache.h"
#include "previews/previewqueue.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QtTest>

class PreviewQueueTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void queueOrderAndBatch_data();
    void queueOrderAndBatch();
    void cacheFileRules();
    void onlyWebAddressesAreFetched();
    void clearingReportsLeftovers();
};

// Steps: "+url" normal request, "!url" high priority, "take" starts a transfer, "done:url" ends one.
void PreviewQueueTest::queueOrderAndBatch_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("queue");
    QTest::addColumn<int>("running");
    QTest::addColumn<QString>("progress");
    QTest::newRow("duplicate queued once") << QStringList{"+a", "+b", "+b", "+a"} << QStringList{"a", "b"}
                                           << 0 << "Vorschaubilder werden geladen: 0 / 2";
    QTest::newRow("high priority moves to the front")
        << QStringList{"+a", "+b", "+c", "!c", "!d"} << QStringList{"d", "c", "a", "b"} << 0
        << "Vorschaubilder werden geladen: 0 / 4";
    QTest::newRow("at most four run")
        << QStringList{"+a", "+b", "+c", "+d", "+e", "take", "take", "take", "take", "take"}
        << QStringList{"e"} << 4 << "Vorschaubilder werden geladen: 0 / 5";
    QTest::newRow("running url is not queued again") << QStringList{"+a", "take", "+a", "!a"} << QStringList{}
                                                     << 1 << "Vorschaubilder werden geladen: 0 / 1";
    QTest::newRow("finished batch") << QStringList{"+a", "+b", "take", "take", "done:a", "done:b"}
                                    << QStringList{} << 0 << "Vorschaubilder geladen: 2 / 2";
    QTest::newRow("request while busy joins the batch")
        << QStringList{"+a", "take", "+b", "done:a", "+c"} << QStringList{"b", "c"} << 0
        << "Vorschaubilder werden geladen: 1 / 3";
    QTest::newRow("request when idle starts a new batch")
        << QStringList{"+a", "take", "done:a", "+b"} << QStringList{"b"} << 0
        << "Vorschaubilder werden geladen: 0 / 1";
    QTest::newRow("done counts once per url")
        << QStringList{"+a", "+b", "take", "done:a", "done:a"} << QStringList{"b"} << 0
        << "Vorschaubilder werden geladen: 2 / 2";
}

void PreviewQueueTest::queueOrderAndBatch()
{
    QFETCH(QStringList, steps);
    PreviewQueue state;
    for (const QString &step : steps) {
        QString url, referer;
        if (step == "take")
            QVERIFY(takeNextPreview(state, &url, &referer) || state.running == maxPreviewTransfers);
        else if (step.startsWith("done:"))
            finishPreviewTransfer(state, step.mid(5));
        else
            enqueuePreview(state, step.mid(1), "https://site/" + step.mid(1), step.startsWith('!'));
    }
    QFETCH(QStringList, queue);
    QFETCH(int, running);
    QFETCH(QString, progress);
    QCOMPARE(state.queue, queue);
    QCOMPARE(state.running, running);
    QCOMPARE(previewProgressText(state), progress);
}

void PreviewQueueTest::cacheFileRules()
{
    TestEnvironment environment;
    const QString file = previewUrlCacheFile(environment.root(), "https://img/a.png");
    QCOMPARE(QFileInfo(file).fileName(),
             QStringLiteral("14844c5adfa9c3a0a1b84a5e776808694c8b665672cd089748bfed7ccdc339b0.png"));
    QVERIFY(writeTestFile(file, "x"));
    const QDateTime modified = QFileInfo(file).lastModified();
    QVERIFY(previewUrlCacheFileFresh(file, modified.addSecs(604800)));
    QVERIFY(!previewUrlCacheFileFresh(file, modified.addSecs(604801)));
    QVERIFY(!previewUrlCacheFileFresh(file + "x", modified));

    const QString dir = environment.root();
    QCOMPARE(modIoPreviewFile(dir, " 1/2 ", 0), dir + "/modio/12_current.png");
    QCOMPARE(modIoPreviewFile(dir, "../", 5), QString());
    for (const char *name : {"12_100.png", "12_current.png", "12_3_100.png", "123_100.png", "12_100.jpg"})
        QVERIFY(writeTestFile(dir + "/modio/" + name, "x"));
    QCOMPARE(removeModIoPreviewFiles(dir, "12"), 2);
    QCOMPARE(QDir(dir + "/modio").entryList(QDir::Files),
             (QStringList{"123_100.png", "12_100.jpg", "12_3_100.png"}));
}

void PreviewQueueTest::onlyWebAddressesAreFetched()
{
    for (const char *url : {" https://img.example/a.webp ", "HTTP://img.example/a.png"})
        QVERIFY2(isFetchablePreviewUrl(url), url);
    for (const char *url : {"file:///etc/passwd", "images/a.png", "http:///a.png"})
        QVERIFY2(!isFetchablePreviewUrl(url), url);
}

void PreviewQueueTest::clearingReportsLeftovers()
{
    TestEnvironment environment;
    const QString dir = environment.root() + "/preview-cache";
    QVERIFY(writeTestFile(dir + "/modio/7_1.png", "12345"));
    QVERIFY(writeTestFile(dir + "/a.png", "123"));
    QCOMPARE(
        previewCacheInfoText(previewCacheUsage(dir)),
        QString("Vorschaubild-Cache: 2 Bilder, 0.0 MiB – URL-Cache 7 Tage; mod.io-Bilder werden bei einer "
                "Mod-Aktualisierung erneuert"));
    FileOperationHooks locked;
    // Half of the folder goes, then a locked file stops the removal.
    locked.failAttempt = [&dir](FileOperation, const QString &) {
        QFile::remove(dir + "/a.png");
        return QStringLiteral("gesperrt");
    };
    QVERIFY(!clearPreviewCacheDirectory(dir, locked));
    QVERIFY(QFile::exists(dir + "/modio/7_1.png"));
    QVERIFY(clearPreviewCacheDirectory(dir, {}));
    QVERIFY(QDir(dir).exists());
    QCOMPARE(previewCacheUsage(dir).files, 0);
}

QTEST_GUILESS_MAIN(PreviewQueueTest)
#include "tst_previewqueue.moc"
