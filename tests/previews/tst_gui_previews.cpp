#include "app/listroles.h"
#include "install/requestconventions.h"
#include "modio/modiolistmodel.h"
#include "previews/previewcache.h"
#include "windowfixture.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QIcon>
#include <QImageWriter>
#include <QLabel>
#include <QListView>
#include <QtTest>

namespace {
QByteArray imageBytes(const char *format, const QColor &colour, QImageIOHandler::Transformation turn = {})
{
    QImage image(64, 36, QImage::Format_RGB32);
    image.fill(colour);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setTransformation(turn);
    writer.write(image);
    return buffer.data();
}

QColor centreOf(const QPixmap &pixmap)
{
    return pixmap.toImage().pixelColor(pixmap.width() / 2, pixmap.height() / 2);
}

ModIoMod logoRecord(const QString &id, const QString &logoUrl, qint64 dateUpdated)
{
    ModIoMod record;
    record.id = id;
    record.logoUrl = logoUrl;
    record.profileUrl = "https://mod.invalid/lok-" + id;
    record.dateUpdated = dateUpdated;
    return record;
}
} // namespace

class MainWindowTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void detailPanelShowsPictureOrReason_data();
    void detailPanelShowsPictureOrReason();
    void catalogListsShowServedPictures();
    void secondModIoSelectionWins();
    void modIoLogoRenewedAfterAWeekAndUpdate();

private:
    static bool idle(const MainWindow &window) { return window.previews.queue.pending.isEmpty(); }
    static void showModIoRecords(MainWindow &window, const QList<ModIoMod> &records)
    {
        window.modIoView.mods = records;
        window.modIoView.model->setShownRecords(QList<int>{0, 1}.mid(0, records.size()));
    }
};

// curl: "" leaves the search path as it is (real curl), "none" takes curl away, else the body of a fake curl
// that records its arguments in "curl-args".
void MainWindowTest::detailPanelShowsPictureOrReason_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QByteArray>("served");
    QTest::addColumn<QString>("curl");
    QTest::addColumn<QString>("tooltip"); // empty: the picture is shown
    const QByteArray webp = imageBytes("webp", Qt::blue);
    QTest::newRow("png over http") << "/a.png" << imageBytes("png", Qt::blue) << ""
                                   << "";
    QTest::newRow("webp over http without curl") << "/a.webp" << webp << "none"
                                                 << "";
    QTest::newRow("broken png") << "/b.png" << QByteArray("xx") << ""
                                << "Bild wurde geladen, konnte aber nicht dekodiert werden.";
    QTest::newRow("broken webp without curl") << "/b.webp" << QByteArray("xx") << "none"
                                              << "curl.exe wurde für den WebP-Fallback nicht gefunden.";
    QTest::newRow("fake curl delivers") << "/a.webp" << QByteArray() << "/bin/cat \"$OUT\""
                                        << "";
    QTest::newRow("fake curl delivers garbage")
        << "/a.webp" << QByteArray() << "echo garbage"
        << "WebP-Bild wurde heruntergeladen, konnte aber nicht dekodiert werden.";
    QTest::newRow("curl reports") << "/a.webp" << QByteArray() << "echo ' curl: (22) 404 ' >&2; exit 22"
                                  << "curl: (22) 404";
    QTest::newRow("curl silent failure") << "/a.webp" << QByteArray() << "exit 7"
                                         << "WebP-Download fehlgeschlagen (curl Exit-Code 7).";
    QTest::newRow("local file never read") << "file" << QByteArray() << "/bin/cat \"$OUT\""
                                           << "Nur Bilder von http- und https-Adressen werden geladen.";
}

void MainWindowTest::detailPanelShowsPictureOrReason()
{
    QFETCH(QString, path);
    QFETCH(QByteArray, served);
    QFETCH(QString, curl);
    QFETCH(QString, tooltip);
    WindowFixture fixture;
    const QString out = fixture.environment.writeFile("out.webp", imageBytes("webp", Qt::blue));
    const QString args = fixture.environment.root() + "/curl-args";
    if (!curl.isEmpty()) {
        const QString bin = fixture.environment.makeDir("bin");
        fixture.environment.setEnv("PATH", bin.toUtf8());
        fixture.environment.setEnv("OUT", out.toUtf8());
        if (curl != "none") {
            QVERIFY(writeTestFile(bin + "/curl", "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + args.toUtf8() +
                                                     "'\n" + curl.toUtf8()));
            QFile(bin + "/curl").setPermissions(QFileDevice::ExeOwner | QFileDevice::ReadOwner);
        }
    }
    fixture.server.setResponse(path.toUtf8(), 200, served, "image/png");
    const QString url = path == "file" ? QUrl::fromLocalFile(out).toString() : fixture.server.url(path);
    MainWindow &window = fixture.open();
    window.showCatalogDetailPreview(url);
    QTRY_VERIFY_WITH_TIMEOUT(idle(window), 10000);
    QLabel *label = window.catalogView.preview;
    QCOMPARE(label->toolTip(), tooltip);
    QCOMPARE(label->pixmap().isNull(), !tooltip.isEmpty());
    QCOMPARE(QFile::exists(previewUrlCacheFile(previewCacheDirectory(), url)), tooltip.isEmpty());
    if (tooltip.isEmpty())
        QCOMPARE(centreOf(label->pixmap()), QColor(Qt::blue));
    else
        QCOMPARE(label->text(), QString("Vorschau konnte nicht geladen werden"));
    if (path == "file")
        QVERIFY(!QFile::exists(args));
    if (curl.startsWith("/bin/cat") && path != "file")
        QCOMPARE(
            QString::fromUtf8(readTestFile(args)).split('\n', Qt::SkipEmptyParts),
            (QStringList{"-L", "--fail", "--silent", "--show-error", "--connect-timeout", "8", "--max-time",
                         "20", "-A", QString::fromLatin1(browserUserAgent()), "-H",
                         "Accept: image/avif,image/webp,image/apng,image/svg+xml,image/*,*/*;q=0.8", url}));
}

void MainWindowTest::catalogListsShowServedPictures()
{
    WindowFixture fixture(R"({"files": [
        {"id": "1", "name": "Rot", "preview_url": "img/a.png", "download_url": "a.zip"},
        {"id": "2", "name": "Grün", "preview_url": "img/b.jpg", "download_url": "b.zip"},
        {"id": "3", "name": "Blau", "preview_url": "img/c.webp", "download_url": "c.zip"},
        {"id": "4", "name": "Ohne", "download_url": "d.zip"}]})");
    fixture.server.setResponse("/img/a.png", 200, imageBytes("png", Qt::red), "image/png");
    fixture.server.setResponse("/img/b.jpg", 200,
                               imageBytes("jpeg", Qt::green, QImageIOHandler::TransformationRotate90),
                               "image/jpeg");
    fixture.server.setResponse("/img/c.webp", 200, imageBytes("webp", Qt::blue), "image/webp");
    QVERIFY(fixture.openLoaded());
    MainWindow &window = *fixture.window;
    window.showCatalog();
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QAbstractItemModel *model = window.catalogView.table->model();
    QCOMPARE(model->rowCount(), 4);
    const auto icon = [model](int row) {
        return model->index(row, 0).data(Qt::DecorationRole).value<QIcon>();
    };
    QTRY_VERIFY_WITH_TIMEOUT(!icon(0).isNull() && !icon(1).isNull() && !icon(2).isNull(), 10000);
    QVERIFY(icon(3).isNull());
    // Turned upright as the JPEG says; cut to the card's size.
    QCOMPARE(window.previews.memory.value(fixture.server.url("/img/b.jpg")).size(), QSize(36, 64));
    QCOMPARE(model->index(1, 0).data(ListRole::CardPicture).value<QPixmap>().size(), previewCardSize);
    for (const RecordedRequest &request : fixture.server.requests()) {
        if (request.path.startsWith("/img/")) // the WebP came through curl, which sends no language
            QCOMPARE(request.headers.contains("accept-language"), !request.path.endsWith(".webp"));
    }
    QCOMPARE(fixture.server.requestCount("/img/a.png"), 1);
}

void MainWindowTest::secondModIoSelectionWins()
{
    WindowFixture fixture;
    fixture.server.setResponse("/7.png", 200, imageBytes("png", Qt::red), "image/png");
    // The second picture is on disk already, so the first one's download ends after it was shown.
    QVERIFY(writeTestFile(previewUrlCacheFile(previewCacheDirectory(), fixture.server.url("/8.png")),
                          imageBytes("png", Qt::blue)));
    MainWindow &window = fixture.open();
    showModIoRecords(window, {logoRecord("7", fixture.server.url("/7.png"), 100),
                              logoRecord("8", fixture.server.url("/8.png"), 0)});
    window.modIoView.list->setCurrentIndex(window.modIoView.model->index(0));
    QCOMPARE(window.modIoView.preview->text(), QString("Vorschau wird geladen…"));
    window.modIoView.list->setCurrentIndex(window.modIoView.model->index(1));
    QTRY_VERIFY_WITH_TIMEOUT(idle(window), 10000);
    QCOMPARE(centreOf(window.modIoView.preview->pixmap()), QColor(Qt::blue));
    QVERIFY(QFile::exists(previewCacheDirectory() + "/modio/7_100.png"));
    const QPixmap icon = window.modIoView.model->index(0).data(Qt::DecorationRole).value<QPixmap>();
    QCOMPARE(icon.size(), previewListSize);
    QTRY_VERIFY_WITH_TIMEOUT(window.previews.progressLabel->isHidden(), 3000);
}

// The age limit of the address cache itself is checked without a window; here a logo older than that is
// fetched again and stored under the mod's new update time.
void MainWindowTest::modIoLogoRenewedAfterAWeekAndUpdate()
{
    WindowFixture fixture;
    const QString url = fixture.server.url("/7.png");
    fixture.server.setResponse("/7.png", 200, imageBytes("png", Qt::red), "image/png");
    showModIoRecords(fixture.open(), {logoRecord("7", url, 100)});
    fixture.window->showModIoDetails(0);
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(previewCacheDirectory() + "/modio/7_100.png"), 10000);

    QFile cached(previewUrlCacheFile(previewCacheDirectory(), url));
    QVERIFY(
        cached.open(QIODevice::ReadWrite) &&
        cached.setFileTime(QDateTime::currentDateTime().addSecs(-604801), QFileDevice::FileModificationTime));
    cached.close();
    MainWindow &next = fixture.open(); // a new run: nothing in memory
    showModIoRecords(next, {logoRecord("7", url, 200)});
    next.scheduleVisiblePreviews();
    QTRY_VERIFY_WITH_TIMEOUT(idle(next), 10000);
    QCOMPARE(fixture.server.requestCount("/7.png"), 2);
    QCOMPARE(QDir(previewCacheDirectory() + "/modio").entryList(QDir::Files), QStringList{"7_200.png"});
    QVERIFY(!next.modIoView.model->index(0).data(Qt::DecorationRole).value<QPixmap>().isNull());
}

QTEST_MAIN(MainWindowTest)
#include "tst_gui_previews.moc"
