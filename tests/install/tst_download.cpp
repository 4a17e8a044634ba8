#include "app/settings.h"
#include "install/download.h"
#include "install/installer.h"
#include "install/requestconventions.h"
#include "localmods/installmarker.h"
#include "testsupport.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QJsonArray>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

namespace {

const QByteArray zipBytes = QByteArray::fromHex("504B0304") + QByteArray("zip payload", 11);
const QByteArray sevenZipBytes = QByteArray::fromHex("377ABCAF271C0004") + QByteArray("7z payload");
const QByteArray rarBytes = QByteArray::fromHex("526172211A0700") + QByteArray("rar payload");

FakeResponse answer(const QByteArray &body, const QList<QPair<QByteArray, QByteArray>> &headers = {},
                    int status = 200)
{
    FakeResponse response;
    response.status = status;
    response.body = body;
    response.headers = headers;
    return response;
}

QPair<QByteArray, QByteArray> header(const char *name, const QByteArray &value)
{
    return qMakePair(QByteArray(name), value);
}

RepoMod singleEntry(const QString &url, const QString &fileName = QString(),
                    const QString &sha256 = QString())
{
    RepoMod mod;
    mod.id = QStringLiteral("77");
    mod.name = QStringLiteral("Ferro Lok");
    mod.version = QStringLiteral("1.2");
    mod.downloadUrl = url;
    mod.fileName = fileName;
    mod.sha256 = sha256;
    mod.repositoryName = QStringLiteral("Trackhaven");
    mod.repositoryJsonUrl = QStringLiteral("https://example.invalid/repo.json");
    return mod;
}

RepoModPart part(const QString &url, const QString &fileName, const QString &sha256 = QString())
{
    RepoModPart volume;
    volume.url = url;
    volume.fileName = fileName;
    volume.sha256 = sha256;
    return volume;
}

QString sha256Of(const QByteArray &data)
{
    return QString::fromLatin1(QCryptographicHash::hash(data, QCryptographicHash::Sha256).toHex());
}

// Every file below folder, relative to it, sorted.
QStringList filesBelow(const QString &folder)
{
    QStringList files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext())
        files.append(QDir(folder).relativeFilePath(it.next()));
    files.sort();
    return files;
}

// Answers every request with a fixed raw response, and a moment later with its tail, without closing: a
// response shorter than its announced length stalls the transfer, so only a cancel or a time-out ends it.
class RawHttpServer
{
public:
    RawHttpServer(const QByteArray &response, const QByteArray &tail)
    {
        QObject::connect(&m_server, &QTcpServer::newConnection, &m_server, [this, response, tail] {
            while (QTcpSocket *socket = m_server.nextPendingConnection()) {
                QObject::connect(socket, &QTcpSocket::readyRead, socket, [socket, response, tail] {
                    socket->readAll();
                    socket->write(response);
                    QTimer::singleShot(300, socket, [socket, tail] { socket->write(tail); });
                });
            }
        });
        m_server.listen(QHostAddress::LocalHost, 0);
    }
    QString url(const QString &path) const
    {
        return QStringLiteral("http://127.0.0.1:%1").arg(m_server.serverPort()) + path;
    }

private:
    QTcpServer m_server;
};

} // namespace

class DownloadTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void cleansHostileFileNames_data();
    void cleansHostileFileNames();
    void correctsExtensionFromContent_data();
    void correctsExtensionFromContent();
    void findsMissingVolumes_data();
    void findsMissingVolumes();
    void sendsHeadersPerRequestKind_data();
    void sendsHeadersPerRequestKind();

    void namesDownloadedFileInsideTheFolder_data();
    void namesDownloadedFileInsideTheFolder();
    void downloadsMultiPartSet();
    void refusesFailedDownloads_data();
    void refusesFailedDownloads();
    void refusesIncompleteSets();
    void checksSha256();
    void cancelsStalledDownload();
    void explainsTimeouts();
    void reportsUnsavableFile();

    void fetchesBytes();
    void fetchKeepsTokenOnItsOwnSite();
    void fetchRefusesBadRedirects();
    void writesRepositoryMarker();

private:
    std::unique_ptr<TestEnvironment> m_env;
    std::unique_ptr<QTemporaryDir> m_download;
    std::unique_ptr<QNetworkAccessManager> m_manager;
};

void DownloadTest::init()
{
    m_env = std::make_unique<TestEnvironment>();
    // The download folder lies one level down, so anything written beside it would show up in its parent.
    m_download = std::make_unique<QTemporaryDir>(m_env->makeDir(QStringLiteral("tmp")) + "/dl-XXXXXX");
    QVERIFY(m_download->isValid());
    m_manager = std::make_unique<QNetworkAccessManager>();
}

void DownloadTest::cleanup()
{
    m_manager.reset();
    m_download.reset();
    m_env.reset();
}

void DownloadTest::cleansHostileFileNames_data()
{
    QTest::addColumn<bool>("fromHeader"); // the candidate is a Content-Disposition value
    QTest::addColumn<QStringList>("candidateAndExpected");

    QTest::newRow("absolute windows") << false << QStringList{"C:\\Windows\\System32\\evil.dll", "evil.dll"};
    QTest::newRow("drive relative") << false << QStringList{"C:evil.zip", "C_evil.zip"};
    QTest::newRow("reserved characters") << false << QStringList{"mod<1>|\"?*.zip", "mod_1_____.zip"};
    QTest::newRow("direction override") << false << QStringList{"evil\u202Egpj.exe", "evil_gpj.exe"};
    QTest::newRow("trailing dots and blanks") << false << QStringList{"mod.zip. . ", "mod.zip"};
    QTest::newRow("header extended utf-8")
        << true << QStringList{"attachment; filename*=UTF-8''Gr%C3%BCne%20Lok.7z", "Grüne Lok.7z"};
    QTest::newRow("header, parameters after it")
        << true << QStringList{"attachment; filename=pack.7z; size=3", "pack.7z"};
    QTest::newRow("header encoded parent folders")
        << true << QStringList{"attachment; filename*=UTF-8''..%2F..%2Fescape.zip", "escape.zip"};
    QTest::newRow("header encoded nul")
        << true << QStringList{"attachment; filename=\"a%00b.zip\"", "a_b.zip"};
    QTest::newRow("header dot dot") << true << QStringList{"attachment; filename=\"..\"", ""};
    QTest::newRow("header without file name") << true << QStringList{"inline", ""};
}

void DownloadTest::cleansHostileFileNames()
{
    QFETCH(bool, fromHeader);
    QFETCH(QStringList, candidateAndExpected);
    const QString candidate = candidateAndExpected.at(0);
    QCOMPARE(fromHeader ? contentDispositionFileName(candidate.toUtf8()) : cleanDownloadFileName(candidate),
             candidateAndExpected.at(1));
}

void DownloadTest::correctsExtensionFromContent_data()
{
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<QStringList>("nameTypeExpected");

    QTest::newRow("zip name, 7z bytes") << sevenZipBytes << QStringList{"mod.zip", "7z", "mod.7z"};
    QTest::newRow("volume name kept") << zipBytes << QStringList{"mod.part2.rar", "zip", "mod.part2.rar"};
    QTest::newRow("nothing known") << QByteArray("plain text") << QStringList{"mod", "", "mod.zip"};
    QTest::newRow("unknown bytes keep extension")
        << QByteArray("MZ......") << QStringList{"mod.exe", "", "mod.exe"};
    QTest::newRow("rar signature needs 7 bytes")
        << QByteArray::fromHex("526172211A07") << QStringList{"r.bin", "", "r.bin"};
}

void DownloadTest::correctsExtensionFromContent()
{
    QFETCH(QByteArray, head);
    QFETCH(QStringList, nameTypeExpected);
    QCOMPARE(sniffArchiveType(head), nameTypeExpected.at(1));
    QCOMPARE(withArchiveExtension(nameTypeExpected.at(0), nameTypeExpected.at(1)), nameTypeExpected.at(2));
}

void DownloadTest::findsMissingVolumes_data()
{
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QString>("first");
    QTest::addColumn<int>("missing");

    QTest::newRow("gap in part set") << QStringList{"x.part1.rar", "x.part3.rar"} << "x.part1.rar" << 2;
    QTest::newRow("numbered set") << QStringList{"x.7z.001", "x.7z.002", "x.7z.004"} << "x.7z.001" << 3;
    QTest::newRow("old-style set") << QStringList{"x.rar", "x.r00", "x.r02"} << "x.rar" << 3;
    QTest::newRow("other set ignored") << QStringList{"x.part1.rar", "y.part3.rar"} << "x.part1.rar" << 0;
    QTest::newRow("absurd number") << QStringList{"x.part1.rar", "x.part2000000000.rar"} << "x.part1.rar"
                                   << 2;
}

void DownloadTest::findsMissingVolumes()
{
    QFETCH(QStringList, names);
    QFETCH(QString, first);
    QFETCH(int, missing);
    QList<RepoModPart> volumes;
    for (const QString &name : std::as_const(names))
        volumes.append(part(QStringLiteral("http://127.0.0.1/") + name, name));
    QCOMPARE(firstMissingVolume(volumes, first), missing);
}

void DownloadTest::sendsHeadersPerRequestKind_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<bool>("hasBody");
    QTest::addColumn<QString>("token");
    QTest::addColumn<QStringList>("expected"); // "name: value", names in lower case
    QTest::addColumn<QStringList>("absent");

    const QString agent = QStringLiteral("user-agent: Trackhaven-FX3-Mod-Manager/0.5.38");
    QTest::newRow("catalog document")
        << int(RequestKind::CatalogDocument) << false << ""
        << QStringList{agent, "cache-control: no-cache", "pragma: no-cache"} << QStringList{"authorization"};
    QTest::newRow("mod.io file without token")
        << int(RequestKind::ModIoFile) << false << "" << QStringList{agent} << QStringList{"authorization"};
    QTest::newRow("mod.io api post") << int(RequestKind::ModIoApi) << true << "tok-2"
                                     << QStringList{agent,
                                                    "accept: application/json",
                                                    "x-modio-platform: windows",
                                                    "x-modio-portal: steam",
                                                    "authorization: Bearer tok-2",
                                                    "content-type: application/x-www-form-urlencoded"}
                                     << QStringList{};
}

void DownloadTest::sendsHeadersPerRequestKind()
{
    QFETCH(int, kind);
    QFETCH(bool, hasBody);
    QFETCH(QString, token);
    QFETCH(QStringList, expected);
    QFETCH(QStringList, absent);

    FakeHttpServer server;
    server.setResponse("/r", 200, "ok");
    RequestExtras extras;
    extras.hasBody = hasBody;
    extras.bearerToken = token;
    const QNetworkRequest request = buildRequest(RequestKind(kind), server.url(QStringLiteral("/r")), extras);
    QCOMPARE(request.attribute(QNetworkRequest::RedirectPolicyAttribute).toInt(),
             int(QNetworkRequest::NoLessSafeRedirectPolicy));
    QNetworkReply *reply = hasBody ? m_manager->post(request, QByteArray("a=1")) : m_manager->get(request);
    QTRY_VERIFY(reply->isFinished());
    QCOMPARE(reply->error(), QNetworkReply::NoError);
    reply->deleteLater();

    const RecordedRequest recorded = server.requests().first();
    for (const QString &line : std::as_const(expected)) {
        const QByteArray name = line.section(QStringLiteral(": "), 0, 0).toUtf8();
        QVERIFY2(recorded.headers.contains(name), name.constData());
        QCOMPARE(recorded.headers.value(name), line.section(QStringLiteral(": "), 1).toUtf8());
    }
    for (const QString &name : std::as_const(absent))
        QVERIFY2(!recorded.headers.contains(name.toUtf8()), qPrintable(name));
}

void DownloadTest::namesDownloadedFileInsideTheFolder_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QStringList>("names"); // declared file name, entry name, URL path, disposition, saved as

    QTest::newRow("declared name first")
        << zipBytes << QStringList{"Lok.zip", "Lok", "/f/1", "attachment; filename=other.zip", "Lok.zip"};
    QTest::newRow("url segment, decoded")
        << sevenZipBytes << QStringList{"", "Lok", "/files/Gr%C3%BCn%20Pack.7z", "", "Grün Pack.7z"};
    QTest::newRow("declared zip, 7z content")
        << sevenZipBytes << QStringList{"mod.zip", "Lok", "/f/1", "", "mod.7z"};
    QTest::newRow("disposition parents")
        << zipBytes
        << QStringList{"", "Lok", "/f", "attachment; filename=\"../../escape.zip\"", "escape.zip"};
    QTest::newRow("url encoded parents")
        << zipBytes << QStringList{"", "Lok", "/f/..%2F..%2Fescape.zip", "", "escape.zip"};
    QTest::newRow("entry name with folders")
        << zipBytes << QStringList{"", "../../Escape", "/dl/", "", "Escape.zip"};
    QTest::newRow("entry name of dots") << zipBytes << QStringList{"", "..", "/dl/", "", "download.zip"};
}

void DownloadTest::namesDownloadedFileInsideTheFolder()
{
    QFETCH(QByteArray, body);
    QFETCH(QStringList, names);
    const QByteArray disposition = names.at(3).toUtf8();
    const QString savedAs = names.at(4);

    FakeHttpServer server;
    server.setHandler([&](const RecordedRequest &, FakeResponse *response) {
        *response = answer(body);
        if (!disposition.isEmpty())
            response->headers.append(header("Content-Disposition", disposition));
        return true;
    });
    RepoMod entry = singleEntry(server.url(names.at(2)), names.at(0));
    entry.name = names.at(1);
    const QString parent = QFileInfo(m_download->path()).absolutePath();
    const QStringList before = filesBelow(parent);

    QString first;
    QString error;
    QVERIFY2(downloadRepositoryArchives(*m_manager, entry, m_download->path(), {}, &first, &error),
             qPrintable(error));
    QCOMPARE(first, QDir(m_download->path()).filePath(savedAs));
    QCOMPARE(readTestFile(first), body);
    QCOMPARE(filesBelow(m_download->path()), QStringList{savedAs});
    QStringList after = filesBelow(parent);
    after.removeAll(QDir(parent).relativeFilePath(first));
    QCOMPARE(after, before);
    QVERIFY(!QFileInfo::exists(QStringLiteral("/tmp/escape.zip")));
}

void DownloadTest::downloadsMultiPartSet()
{
    FakeHttpServer server;
    // Volume names of a set are kept as the repository declares them, whatever the server or the content
    // suggests.
    const QByteArray first = rarBytes + "1";
    server.setResponse("/v/1",
                       answer(first, {header("Content-Disposition", "attachment; filename=other.rar")}));
    server.setResponse("/v/2", answer("second volume"));
    server.setResponse("/v/3", answer(zipBytes));
    RepoMod entry = singleEntry(QString());
    entry.parts = {part(server.url("/v/1"), "Pack.part1.rar", sha256Of(first)),
                   part(server.url("/v/2"), "Pack.part2.rar"), part(server.url("/v/3"), "Pack.part3.rar")};

    QList<DownloadProgress> events;
    DownloadCallbacks callbacks;
    callbacks.progress = [&events](const DownloadProgress &progress) {
        events.append(progress);
    };
    QString firstPath;
    QString error;
    QVERIFY2(downloadRepositoryArchives(*m_manager, entry, m_download->path(), callbacks, &firstPath, &error),
             qPrintable(error));
    QCOMPARE(firstPath, QDir(m_download->path()).filePath("Pack.part1.rar"));
    QCOMPARE(filesBelow(m_download->path()),
             (QStringList{"Pack.part1.rar", "Pack.part2.rar", "Pack.part3.rar"}));
    QCOMPARE(readTestFile(m_download->path() + "/Pack.part3.rar"), zipBytes);

    // Each volume starts at its share of the bar.
    QStringList starts;
    for (const DownloadProgress &event : std::as_const(events)) {
        if (event.total == 0 && !event.busy)
            starts.append(QStringLiteral("%1 %2 %3").arg(event.value).arg(event.format, event.label));
    }
    QCOMPARE(starts, (QStringList{"0 Teil 1/3: %p% Download: Ferro Lok (Teil 1/3)",
                                  "33 Teil 2/3: %p% Download: Ferro Lok (Teil 2/3)",
                                  "66 Teil 3/3: %p% Download: Ferro Lok (Teil 3/3)"}));
    QCOMPARE(events.last().value, 100);
}

void DownloadTest::refusesFailedDownloads_data()
{
    QTest::addColumn<int>("volumes");
    QTest::addColumn<int>("failingVolume");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("message"); // prefix of the error text

    QTest::newRow("single, not found") << 1 << 0 << 404 << QByteArray("gone") << "Download fehlgeschlagen: ";
    QTest::newRow("single, empty body")
        << 1 << 0 << 200 << QByteArray() << "Der Server hat eine leere Datei geliefert.";
    QTest::newRow("part 2 of 3, not found")
        << 3 << 1 << 404 << QByteArray() << "Download von Archivteil 2/3 fehlgeschlagen (Set.part2.rar): ";
    QTest::newRow("connection dropped") << 1 << 0 << -1 << QByteArray() << "Download fehlgeschlagen: ";
}

void DownloadTest::refusesFailedDownloads()
{
    QFETCH(int, volumes);
    QFETCH(int, failingVolume);
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(QString, message);

    FakeHttpServer server;
    RepoMod entry = singleEntry(server.url("/v/0"), "Set.zip");
    for (int i = 0; i < volumes; ++i) {
        const QByteArray path = "/v/" + QByteArray::number(i);
        FakeResponse response = answer(rarBytes);
        if (i == failingVolume) {
            response = answer(body, {}, status);
            response.dropConnection = status < 0;
        }
        server.setResponse(path, response);
        if (volumes > 1)
            entry.parts.append(
                part(server.url(QString::fromLatin1(path)), QStringLiteral("Set.part%1.rar").arg(i + 1)));
    }
    QString first = QStringLiteral("stale");
    QString error;
    QVERIFY(!downloadRepositoryArchives(*m_manager, entry, m_download->path(), {}, &first, &error));
    QVERIFY2(error.startsWith(message), qPrintable(error));
    QVERIFY(first.isEmpty());
    // Nothing after the failing volume is requested.
    for (const RecordedRequest &request : server.requests())
        QVERIFY2(request.path.mid(3).toInt() <= failingVolume, request.path.constData());
    for (const QString &file : filesBelow(m_download->path()))
        QVERIFY2(!file.endsWith(QLatin1String(".part")), qPrintable(file));
}

void DownloadTest::refusesIncompleteSets()
{
    FakeHttpServer server;
    server.setResponse("/x1", answer(rarBytes));
    server.setResponse("/x3", answer(rarBytes));
    RepoMod entry = singleEntry(QString());
    entry.parts = {part(server.url("/x1"), "x.part1.rar"), part(server.url("/x3"), "x.part3.rar")};
    QString error;
    QString first;
    QVERIFY(!downloadRepositoryArchives(*m_manager, entry, m_download->path(), {}, &first, &error));
    QCOMPARE(error,
             QStringLiteral(
                 "Das Repository liefert ein unvollständiges mehrteiliges Archiv. Archivteil 2 fehlt."));
    QCOMPARE(server.requests().size(), 2);

    // A volume without a URL is named in the message.
    entry.parts = {part(server.url("/x1"), "x.part1.rar"), part(QStringLiteral(" "), "x.part2.rar")};
    QVERIFY(!downloadRepositoryArchives(*m_manager, entry, m_download->path(), {}, &first, &error));
    QCOMPARE(error,
             QStringLiteral("Ein Teil des mehrteiligen Archivs besitzt keine Download-URL: x.part2.rar"));
}

void DownloadTest::checksSha256()
{
    FakeHttpServer server;
    server.setResponse("/a.zip", answer(zipBytes));
    QString first;
    QString error;

    const QString good = sha256Of(zipBytes);
    QVERIFY2(downloadRepositoryArchives(*m_manager,
                                        singleEntry(server.url("/a.zip"), "a.zip", good.toUpper() + " "),
                                        m_download->path(), {}, &first, &error),
             qPrintable(error));

    const QString wrong = sha256Of("something else");
    QTemporaryDir other(m_env->root() + "/dl2-XXXXXX");
    QVERIFY(!downloadRepositoryArchives(*m_manager, singleEntry(server.url("/a.zip"), "a.zip", wrong),
                                        other.path(), {}, &first, &error));
    QCOMPARE(error, QStringLiteral("Die Prüfsumme von a.zip stimmt nicht mit dem Repository überein.\n\n"
                                   "Erwartet: %1\nErhalten: %2\n\n"
                                   "Die Datei wurde aus Sicherheitsgründen nicht installiert.")
                        .arg(wrong, good));
    QVERIFY(first.isEmpty());
    QVERIFY(filesBelow(other.path()).isEmpty());

    // A wrong checksum on a later volume stops the set as well.
    RepoMod entry = singleEntry(QString());
    entry.parts = {part(server.url("/a.zip"), "s.part1.rar", good),
                   part(server.url("/a.zip"), "s.part2.rar", wrong)};
    QTemporaryDir third(m_env->root() + "/dl3-XXXXXX");
    QVERIFY(!downloadRepositoryArchives(*m_manager, entry, third.path(), {}, &first, &error));
    QVERIFY2(error.startsWith(QStringLiteral("Die Prüfsumme von s.part2.rar ")), qPrintable(error));
    QCOMPARE(filesBelow(third.path()), QStringList{"s.part1.rar"});
}

void DownloadTest::cancelsStalledDownload()
{
    // Part of the file arrives, then nothing more: the player's cancel must still end the wait.
    RawHttpServer server("HTTP/1.1 200 OK\r\nContent-Length: 1000000\r\n\r\n" + zipBytes,
                         QByteArray(4000, 'x'));
    int asked = 0;
    DownloadCallbacks callbacks;
    callbacks.isCancelled = [&asked] {
        return ++asked > 8;
    };

    QString first;
    QString error;
    QVERIFY(!downloadRepositoryArchives(*m_manager, singleEntry(server.url("/stall.zip")), m_download->path(),
                                        callbacks, &first, &error));
    QCOMPARE(error, installCancelledText());
    QVERIFY(isInstallCancelled(error));
    QVERIFY(first.isEmpty());
    QVERIFY(filesBelow(m_download->path()).isEmpty());
}

void DownloadTest::explainsTimeouts()
{
    RawHttpServer server("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n" + zipBytes, QByteArray());
    QNetworkRequest request = buildRequest(RequestKind::ArchiveVolume, server.url("/slow.zip"));
    request.setTransferTimeout(600);
    QNetworkReply *stalled = m_manager->get(request);
    QTRY_VERIFY_WITH_TIMEOUT(stalled->isFinished(), 10000);
    QCOMPARE(networkErrorText(stalled),
             QStringLiteral("Zeitüberschreitung: Der Server hat 1 Sekunden lang keine Daten gesendet."));
    stalled->deleteLater();
}

void DownloadTest::reportsUnsavableFile()
{
    FakeHttpServer server;
    server.setResponse("/a", answer(zipBytes));
    // A folder already has the name the file needs.
    QVERIFY(QDir(m_download->path()).mkdir("mod.zip"));
    QString first;
    QString error;
    QVERIFY(!downloadRepositoryArchives(*m_manager, singleEntry(server.url("/a"), "mod.zip"),
                                        m_download->path(), {}, &first, &error));
    QCOMPARE(error, QStringLiteral("Heruntergeladene Datei konnte nicht gespeichert werden: %1")
                        .arg(QDir::toNativeSeparators(m_download->path() + "/mod.zip")));
    QVERIFY(filesBelow(m_download->path()).isEmpty());
}

void DownloadTest::fetchesBytes()
{
    FakeHttpServer server;
    server.setResponse("/file", answer("payload"));
    server.setResponse("/missing", answer("no such file", {}, 404));
    QByteArray data = "old";
    int status = -1;
    QString error = QStringLiteral("old");
    QVERIFY(fetchBytes(*m_manager, server.url("/file"), false, &data, &status, &error));
    QCOMPARE(data, QByteArray("payload"));
    QCOMPARE(status, 200);
    QVERIFY(error.isEmpty());

    QVERIFY(!fetchBytes(*m_manager, server.url("/missing"), false, &data, &status, &error));
    QVERIFY(data.isEmpty());
    QCOMPARE(status, 404);
    QVERIFY(!error.isEmpty());

    // The token goes out only when asked for and stored.
    QVERIFY(fetchBytes(*m_manager, server.url("/file"), true, &data));
    QVERIFY(!server.requests().last().headers.contains("authorization"));
    storeModIoToken(QStringLiteral("  secret-token  "));
    QVERIFY(fetchBytes(*m_manager, server.url("/file"), false, &data));
    QVERIFY(!server.requests().last().headers.contains("authorization"));
    QVERIFY(fetchBytes(*m_manager, server.url("/file"), true, &data));
    QCOMPARE(server.requests().last().headers.value("authorization"), QByteArray("Bearer secret-token"));
}

void DownloadTest::fetchKeepsTokenOnItsOwnSite()
{
    storeModIoToken(QStringLiteral("secret-token"));
    FakeHttpServer api;
    FakeHttpServer cdn;
    cdn.setResponse("/blob", answer("from the cdn"));
    api.setResponse("/local", answer("from the api"));
    api.setResponse("/away", answer(QByteArray(), {header("Location", cdn.url("/blob").toUtf8())}, 302));
    api.setResponse("/away-and-back",
                    answer(QByteArray(), {header("Location", cdn.url("/back").toUtf8())}, 307));
    cdn.setResponse("/back", answer(QByteArray(), {header("Location", api.url("/local").toUtf8())}, 302));

    QByteArray data;
    QVERIFY(fetchBytes(*m_manager, api.url("/away"), true, &data));
    QCOMPARE(data, QByteArray("from the cdn"));
    QCOMPARE(api.requests().last().headers.value("authorization"), QByteArray("Bearer secret-token"));
    QVERIFY(!cdn.requests().last().headers.contains("authorization"));

    // Once handed to another site, the request stays without the token.
    QVERIFY(fetchBytes(*m_manager, api.url("/away-and-back"), true, &data));
    QCOMPARE(data, QByteArray("from the api"));
    QCOMPARE(api.requests().last().path, QByteArray("/local"));
    QVERIFY(!api.requests().last().headers.contains("authorization"));
    for (const RecordedRequest &request : cdn.requests())
        QVERIFY(!request.headers.contains("authorization"));
}

void DownloadTest::fetchRefusesBadRedirects()
{
    storeModIoToken(QStringLiteral("secret-token"));
    FakeHttpServer server;
    server.setResponse("/file-scheme", answer(QByteArray(), {header("Location", "file:///etc/passwd")}, 302));
    server.setResponse("/loop", answer(QByteArray(), {header("Location", "/loop")}, 302));

    QByteArray data = "old";
    int status = 0;
    QString error;
    QVERIFY(!fetchBytes(*m_manager, server.url("/file-scheme"), true, &data, &status, &error));
    QCOMPARE(error, QStringLiteral("Unsichere Weiterleitung abgelehnt: file:///etc/passwd"));
    QCOMPARE(status, 302);
    QVERIFY(data.isEmpty());

    QVERIFY(!fetchBytes(*m_manager, server.url("/loop"), true, &data, &status, &error));
    QCOMPARE(error, QStringLiteral("Zu viele Weiterleitungen."));
    QCOMPARE(server.requestCount("/loop"), 51);
}

void DownloadTest::writesRepositoryMarker()
{
    const QString folder = m_env->makeDir(QStringLiteral("mods/Ferro Lok"));
    QVERIFY(writeTestFile(folder + "/mod.json", R"({"name": "Ferro Lok", "version": " 1.1 "})"));
    RepoMod entry =
        singleEntry(QStringLiteral("https://example.invalid/a"), QStringLiteral("Ferro.part1.rar"));
    entry.parts = {part("https://example.invalid/1", "Ferro.part1.rar"),
                   part("https://example.invalid/2", "Ferro.part2.rar")};

    QString error;
    QVERIFY2(writeRepositoryInstallMarker(folder, entry, &error), qPrintable(error));
    const std::optional<QJsonObject> marker = readInstallMarker(folder);
    QVERIFY(marker.has_value());
    QCOMPARE(marker->value("repo_entry_id").toString(), QStringLiteral("77"));
    QCOMPARE(marker->value("version").toString(), QStringLiteral("1.2"));
    QCOMPARE(marker->value("content_version").toString(), QStringLiteral("1.1"));
    QCOMPARE(marker->value("archive_filename").toString(), QStringLiteral("Ferro.part1.rar"));
    QCOMPARE(marker->value("repository_url").toString(), QStringLiteral("https://example.invalid/repo.json"));
    QCOMPARE(marker->value("archive_volumes").toArray(),
             (QJsonArray{QStringLiteral("Ferro.part1.rar"), QStringLiteral("Ferro.part2.rar")}));
}

QTEST_GUILESS_MAIN(DownloadTest)
#include "tst_download.moc"
