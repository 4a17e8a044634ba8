#include "app/settings.h"
#include "install/archivevolumes.h"
#include "install/download.h"
#include "install/installer.h"
#include "install/requestconventions.h"
#include "testsupport.h"
#include "tlsfrontend.h"

#include <QDir>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSslSocket>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

const QByteArray zipBytes = QByteArray::fromHex("504B0304") + QByteArray("zip payload", 11);
const QByteArray sevenZipBytes = QByteArray::fromHex("377ABCAF271C0004") + QByteArray("7z payload");
const QByteArray rarBytes = QByteArray::fromHex("526172211A0700") + QByteArray("rar payload");

RepoMod singleEntry(const QString &url, const QString &fileName = QString(),
                    const QString &sha256 = QString())
{
    RepoMod mod;
    mod.name = QStringLiteral("Ferro Lok");
    mod.downloadUrl = url;
    mod.fileName = fileName;
    mod.sha256 = sha256;
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
    void parsesVolumeNames_data();
    void parsesVolumeNames();
    void findsMissingVolumes_data();
    void findsMissingVolumes();
    void sendsHeadersPerRequestKind_data();
    void sendsHeadersPerRequestKind();
    void showsProgress_data();
    void showsProgress();

    void namesDownloadedFileInsideTheFolder_data();
    void namesDownloadedFileInsideTheFolder();
    void downloadsMultiPartSet();
    void refusesFailedDownloads_data();
    void refusesFailedDownloads();
    void refusesIncompleteSets();
    void checksSha256_data();
    void checksSha256();
    void cancelsStalledDownload();
    void reportsUnsavableFile();

    void sendsTokenOnlyWhenAsked();
    void bearerTokenOnRedirects_data();
    void bearerTokenOnRedirects();

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
    QTest::newRow("device name") << false << QStringList{"NUL.zip", "_NUL.zip"};
    QTest::newRow("numbered device") << false << QStringList{"com1", "_com1"};
    QTest::newRow("device name inside a word") << false << QStringList{"console.zip", "console.zip"};
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
    QTest::newRow("header in capitals")
        << true << QStringList{"Attachment; FILENAME=\"Big Lok.7z\"", "Big Lok.7z"};
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
    QTest::newRow("rar of 7 bytes") << QByteArray::fromHex("526172211A0700")
                                    << QStringList{"r", "rar", "r.rar"};
    QTest::newRow("7z signature of 6 bytes")
        << QByteArray::fromHex("377ABCAF271C") << QStringList{"a.zip", "7z", "a.7z"};
    QTest::newRow("7z signature cut short")
        << QByteArray::fromHex("377ABCAF27") << QStringList{"a", "", "a.zip"};
    QTest::newRow("empty zip") << QByteArray::fromHex("504B0506") << QStringList{"a.7z", "zip", "a.zip"};
    QTest::newRow("spanned zip") << QByteArray::fromHex("504B0708") << QStringList{"A.ZIP", "zip", "A.ZIP"};
}

void DownloadTest::correctsExtensionFromContent()
{
    QFETCH(QByteArray, head);
    QFETCH(QStringList, nameTypeExpected);
    QCOMPARE(sniffArchiveType(head), nameTypeExpected.at(1));
    QCOMPARE(withArchiveExtension(nameTypeExpected.at(0), nameTypeExpected.at(1)), nameTypeExpected.at(2));
}

void DownloadTest::parsesVolumeNames_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<int>("part");
    QTest::addColumn<bool>("first");
    QTest::addColumn<QString>("groupKey"); // empty: not multi-volume

    QTest::newRow("part1 any case") << "Mod.Part1.RAR" << 1 << true << "rar-part|mod";
    QTest::newRow("part001 is first") << "mod.part001.rar" << 1 << true << "rar-part|mod";
    QTest::newRow("part10 with dots in base") << "My.Mod.part10.rar" << 10 << false << "rar-part|my.mod";
    QTest::newRow("part zero is never first") << "mod.part0.rar" << 0 << false << "rar-part|mod";
    QTest::newRow("7z.001") << "mod.7z.001" << 1 << true << "numbered|mod.7z";
    QTest::newRow("zip.002") << "Mod.ZIP.002" << 2 << false << "numbered|mod.zip";
    QTest::newRow("rar.0001") << "mod.rar.0001" << 1 << true << "numbered|mod.rar";
    QTest::newRow("numbered part set wins over rar part")
        << "mod.part1.rar.001" << 1 << true << "numbered|mod.part1.rar";
    QTest::newRow("zip.12 has too few digits") << "mod.zip.12" << 0 << false << "";
    QTest::newRow("tar.001 is not a known archive") << "mod.tar.001" << 0 << false << "";
    // name.rar is volume 1 of an old-style set, so name.r00 is volume 2.
    QTest::newRow("r00") << "mod.r00" << 2 << false << "rar-old|mod";
    QTest::newRow("R100") << "MOD.R100" << 102 << false << "rar-old|mod";
    QTest::newRow("r1 has too few digits") << "mod.r1" << 0 << false << "";
    QTest::newRow("r0000 has too many digits") << "mod.r0000" << 0 << false << "";
    QTest::newRow("plain rar starts an old set") << "Mod.RAR" << 1 << true << "rar-old|mod";
    QTest::newRow("plain zip") << "mod.zip" << 0 << false << "";
    QTest::newRow("part of a zip") << "mod.part1.zip" << 0 << false << "";
    QTest::newRow("empty") << "" << 0 << false << "";
    QTest::newRow("folders ignored") << "downloads/set.part1.rar/mod.7z.003" << 3 << false
                                     << "numbered|mod.7z";
    QTest::newRow("file-system root") << "/mod.7z.001" << 1 << true << "numbered|mod.7z";
    QTest::newRow("folder named like a volume") << "mod.r00/readme.txt" << 0 << false << "";
    QTest::newRow("backslash folders") << "C:\\Temp\\x.rar\\Mod.part1.rar" << 1 << true << "rar-part|mod";
}

void DownloadTest::parsesVolumeNames()
{
    QFETCH(QString, fileName);
    QFETCH(int, part);
    QFETCH(bool, first);
    QFETCH(QString, groupKey);
    const ArchiveVolumeInfo info = parseArchiveVolumeName(fileName);
    QCOMPARE(info.isMultiVolume, !groupKey.isEmpty());
    QCOMPARE(info.groupKey, groupKey);
    QCOMPARE(info.partNumber, part);
    QCOMPARE(info.isFirst, first);
}

void DownloadTest::findsMissingVolumes_data()
{
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QString>("first");
    QTest::addColumn<int>("missing");

    QTest::newRow("gap in part set") << QStringList{"x.part1.rar", "x.part3.rar"} << "x.part1.rar" << 2;
    QTest::newRow("first part missing") << QStringList{"x.part2.rar", "x.part3.rar"} << "x.part2.rar" << 1;
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
    QTest::addColumn<QString>("url");
    QTest::addColumn<QStringList>("extras");   // bearer token, "body" for a request with one, referer
    QTest::addColumn<QStringList>("expected"); // "Name: value"; no other header is set
    QTest::addColumn<int>("cache");

    const auto row = [](const char *tag, RequestKind kind, const char *url, const QStringList &extras,
                        const QStringList &expected, int cache = QNetworkRequest::PreferNetwork) {
        QTest::newRow(tag) << int(kind) << QString::fromLatin1(url) << extras << expected << cache;
    };
    const QString agent = QStringLiteral("User-Agent: Trackhaven-FX3-Mod-Manager/0.5.38");
    const QString file = QStringLiteral("Accept: application/octet-stream,*/*;q=0.8");
    row("catalog document", RequestKind::CatalogDocument, "https://a.example/r", {"tok"},
        {agent, "Cache-Control: no-cache", "Pragma: no-cache"}, QNetworkRequest::AlwaysNetwork);
    row("archive volume", RequestKind::ArchiveVolume, "https://a.example/r", {"tok"}, {agent});
    row("entry page", RequestKind::EntryPage, "https://a.example/r", {"tok"}, {agent});
    row("mod.io file without token", RequestKind::ModIoFile, "https://a.example/r", {""}, {agent, file});
    row("mod.io file with token", RequestKind::ModIoFile, "https://a.example/r", {"tok-2"},
        {agent, file, "Authorization: Bearer tok-2"});
    row("community report", RequestKind::CommunityReports, "https://a.example/r", {"tok", "body"},
        {"Accept: application/json", "User-Agent: FX3ModManager/0.5.38", "Content-Type: application/json"});
    const QStringList image = {
        "User-Agent: Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) "
        "Chrome/136.0 Safari/537.36",
        "Accept: image/avif,image/webp,image/apng,image/svg+xml,image/*,*/*;q=0.8",
        "Accept-Language: de-DE,de;q=0.9,en;q=0.8"};
    row("preview elsewhere, the site's root as referer", RequestKind::PreviewImage,
        "https://user:pw@img.example:8443/a/b.png?s=1#f", {"tok"},
        image + QStringList{"Referer: https://img.example:8443/", "Cache-Control: no-cache",
                            "Connection: close"});
    row("preview on mod.io, given referer", RequestKind::PreviewImage, "https://thumb.modcdn.io/a.png",
        {"", "", " https://mod.io/g/x "}, image + QStringList{"Referer: https://mod.io/g/x"},
        QNetworkRequest::PreferCache);
    row("preview without a site", RequestKind::PreviewImage, "a/b.png", {},
        image + QStringList{"Cache-Control: no-cache", "Connection: close"});
}

void DownloadTest::sendsHeadersPerRequestKind()
{
    QFETCH(int, kind);
    QFETCH(QString, url);
    QFETCH(QStringList, extras);
    QFETCH(QStringList, expected);
    QFETCH(int, cache);

    RequestExtras with;
    with.bearerToken = extras.value(0);
    with.hasBody = extras.value(1) == QLatin1String("body");
    with.referer = extras.value(2);
    const QNetworkRequest request = buildRequest(RequestKind(kind), url, with);
    QStringList headers;
    for (const QByteArray &name : request.rawHeaderList())
        headers.append(QString::fromUtf8(name + ": " + request.rawHeader(name)));
    headers.sort();
    expected.sort();
    QCOMPARE(headers, expected);
    // https never falls back to http on a redirect.
    QCOMPARE(request.attribute(QNetworkRequest::RedirectPolicyAttribute).toInt(),
             int(QNetworkRequest::NoLessSafeRedirectPolicy));
    QCOMPARE(
        request.attribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::PreferNetwork).toInt(),
        cache);
    if (kind == int(RequestKind::PreviewImage))
        QCOMPARE(request.attribute(QNetworkRequest::Http2AllowedAttribute).toBool(),
                 cache == QNetworkRequest::PreferCache);
}

void DownloadTest::showsProgress_data()
{
    QTest::addColumn<QList<qint64>>("partOfAt"); // index, count, received, total
    QTest::addColumn<int>("value");              // -1: busy
    QTest::addColumn<QString>("format");

    QTest::newRow("single, size unknown") << QList<qint64>{0, 1, 500, 0} << -1 << "Download läuft…";
    QTest::newRow("first of two, size unknown")
        << QList<qint64>{0, 2, 500, -1} << -1 << "Teil 1/2 wird heruntergeladen…";
    QTest::newRow("single, half") << QList<qint64>{0, 1, 1572864, 3145728} << 50 << "1.5 / 3.0 MiB  (%p%)";
    QTest::newRow("part 2 of 4 at 50 %")
        << QList<qint64>{1, 4, 524288, 1048576} << 37 << "Teil 2/4: 0.5 / 1.0 MiB  (%p%)";
    QTest::newRow("more than announced")
        << QList<qint64>{1, 2, 300, 100} << 100 << "Teil 2/2: 0.0 / 0.0 MiB  (%p%)";
}

void DownloadTest::showsProgress()
{
    QFETCH(QList<qint64>, partOfAt);
    QFETCH(int, value);
    QFETCH(QString, format);
    const DownloadProgress progress = volumeProgress(QStringLiteral("Lok"), int(partOfAt.at(0)),
                                                     int(partOfAt.at(1)), partOfAt.at(2), partOfAt.at(3));
    QCOMPARE(progress.busy ? -1 : progress.value, value);
    QCOMPARE(progress.format, format);
}

void DownloadTest::namesDownloadedFileInsideTheFolder_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QStringList>("names"); // declared file name, entry name, URL path, disposition, saved as

    const auto row = [](const char *tag, const QByteArray &body, const QStringList &names) {
        QTest::newRow(tag) << body << names;
    };
    row("declared name first", zipBytes,
        {"Lok.zip", "Lok", "/f/1", "attachment; filename=other.zip", "Lok.zip"});
    row("url segment, decoded", sevenZipBytes, {"", "Lok", "/files/Gr%C3%BCn%20Pack.7z", "", "Grün Pack.7z"});
    row("declared zip, 7z content", sevenZipBytes, {"mod.zip", "Lok", "/f/1", "", "mod.7z"});
    row("disposition parents", zipBytes,
        {"", "Lok", "/f", "attachment; filename=\"../../escape.zip\"", "escape.zip"});
    row("url encoded parents", zipBytes, {"", "Lok", "/f/..%2F..%2Fescape.zip", "", "escape.zip"});
    row("entry name with folders", zipBytes, {"", "../../Escape", "/dl/", "", "Escape.zip"});
    row("entry name of dots", zipBytes, {"", "..", "/dl/", "", "download.zip"});
}

void DownloadTest::namesDownloadedFileInsideTheFolder()
{
    QFETCH(QByteArray, body);
    QFETCH(QStringList, names);
    const QByteArray disposition = names.at(3).toUtf8();
    const QString savedAs = names.at(4);

    FakeHttpServer server;
    server.setHandler([&](const RecordedRequest &, FakeResponse *response) {
        *response = FakeResponse{200, {}, body};
        if (!disposition.isEmpty())
            response->headers.append({"Content-Disposition", disposition});
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
                       FakeResponse{200, {{"Content-Disposition", "attachment; filename=other.rar"}}, first});
    server.setResponse("/v/2", 200, "second volume");
    server.setResponse("/v/3", 200, zipBytes);
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

    const auto row = [](const char *tag, int volumes, int failingVolume, int status, const QByteArray &body,
                        const QString &message) {
        QTest::newRow(tag) << volumes << failingVolume << status << body << message;
    };
    const QString failed = QStringLiteral("Download fehlgeschlagen: ");
    row("single, not found", 1, 0, 404, "gone", failed);
    row("single, empty body", 1, 0, 200, {}, "Der Server hat eine leere Datei geliefert.");
    row("part 2 of 3, not found", 3, 1, 404, {},
        "Download von Archivteil 2/3 fehlgeschlagen (Set.part2.rar): ");
    row("part 2 of 3, empty body", 3, 1, 200, {},
        "Der Server hat für Archivteil 2/3 eine leere Datei geliefert.");
    row("connection dropped", 1, 0, -1, {}, failed);
    // Status 0: the volume has no URL at all.
    row("part 2 of 2 without URL", 2, 1, 0, {},
        "Ein Teil des mehrteiligen Archivs besitzt keine Download-URL: Set.part2.rar");
    row("entry without URL", 0, 0, 0, {}, "Für diesen Eintrag ist keine Download-URL hinterlegt.");
}

void DownloadTest::refusesFailedDownloads()
{
    QFETCH(int, volumes);
    QFETCH(int, failingVolume);
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(QString, message);

    FakeHttpServer server;
    RepoMod entry = singleEntry(volumes == 0 ? QString() : server.url("/v/0"), "Set.zip");
    for (int i = 0; i < volumes; ++i) {
        const QByteArray path = "/v/" + QByteArray::number(i);
        FakeResponse response{200, {}, rarBytes};
        if (i == failingVolume) {
            response = FakeResponse{status, {}, body};
            response.dropConnection = status < 0;
        }
        server.setResponse(path, response);
        const QString url = i == failingVolume && status == 0 ? QStringLiteral(" ") : server.url(path);
        if (volumes > 1)
            entry.parts.append(part(url, QStringLiteral("Set.part%1.rar").arg(i + 1)));
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
    server.setResponse("/x1", 200, rarBytes);
    server.setResponse("/x3", 200, rarBytes);
    RepoMod entry = singleEntry(QString());
    entry.parts = {part(server.url("/x1"), "x.part1.rar"), part(server.url("/x3"), "x.part3.rar")};
    QString error;
    QString first;
    QVERIFY(!downloadRepositoryArchives(*m_manager, entry, m_download->path(), {}, &first, &error));
    QCOMPARE(error,
             QStringLiteral(
                 "Das Repository liefert ein unvollständiges mehrteiliges Archiv. Archivteil 2 fehlt."));
    // Found only once every volume is there, before anything is unpacked.
    QCOMPARE(server.requests().size(), 2);
    QVERIFY(first.isEmpty());
}

void DownloadTest::checksSha256_data()
{
    QTest::addColumn<QStringList>("sums"); // per volume: "good", "GOOD " (other case, blank), "wrong", ""
    QTest::addColumn<QString>("error");    // "{good}" and "{wrong}" stand for the sums
    QTest::addColumn<QStringList>("saved");

    QTest::newRow("matching, any case") << QStringList{"GOOD "} << "" << QStringList{"a.zip"};
    QTest::newRow("none declared") << QStringList{""} << "" << QStringList{"a.zip"};
    QTest::newRow("not matching")
        << QStringList{"wrong"}
        << "Die Prüfsumme von a.zip stimmt nicht mit dem Repository überein.\n\nErwartet: {wrong}\n"
           "Erhalten: {good}\n\nDie Datei wurde aus Sicherheitsgründen nicht installiert."
        << QStringList{};
    QTest::newRow("second volume not matching")
        << QStringList{"good", "wrong", "good"} << "Die Prüfsumme von s.part2.rar stimmt nicht"
        << QStringList{"s.part1.rar"};
}

void DownloadTest::checksSha256()
{
    QFETCH(QStringList, sums);
    QFETCH(QString, error);
    QFETCH(QStringList, saved);

    FakeHttpServer server;
    server.setResponse("/a.zip", 200, zipBytes);
    const QString good = sha256Of(zipBytes);
    const QString wrong = sha256Of("something else");
    auto sum = [&](const QString &kind) {
        return kind == QLatin1String("good")    ? good
               : kind == QLatin1String("GOOD ") ? good.toUpper() + QLatin1Char(' ')
               : kind == QLatin1String("wrong") ? wrong
                                                : QString();
    };
    RepoMod entry = singleEntry(server.url("/a.zip"), "a.zip", sum(sums.first()));
    for (qsizetype i = 0; sums.size() > 1 && i < sums.size(); ++i)
        entry.parts.append(
            part(server.url("/a.zip"), QStringLiteral("s.part%1.rar").arg(i + 1), sum(sums.at(i))));

    QString first;
    QString message;
    const bool ok = downloadRepositoryArchives(*m_manager, entry, m_download->path(), {}, &first, &message);
    QCOMPARE(ok, error.isEmpty());
    QVERIFY2(error.isEmpty()
                 ? message.isEmpty()
                 : message.startsWith(QString(error).replace("{good}", good).replace("{wrong}", wrong)),
             qPrintable(message));
    QCOMPARE(first.isEmpty(), !ok);
    QCOMPARE(filesBelow(m_download->path()), saved);
    // A refused volume ends the run: nothing after it is fetched.
    QCOMPARE(server.requests().size(), ok ? int(sums.size()) : int(saved.size()) + 1);
}

void DownloadTest::cancelsStalledDownload()
{
    // Part of the file arrives, then nothing more: the player's cancel must still end the wait.
    FakeHttpServer server;
    server.setResponse("/stall.zip", FakeResponse{200, {{"Content-Length", "1000000"}}, zipBytes});
    int asked = 0;
    DownloadCallbacks callbacks;
    callbacks.isCancelled = [&asked] {
        return ++asked > 8;
    };

    QString first;
    QString error;
    QVERIFY(!downloadRepositoryArchives(*m_manager, singleEntry(server.url("/stall.zip")), m_download->path(),
                                        callbacks, &first, &error));
    QCOMPARE(error, QStringLiteral("Installation abgebrochen."));
    QVERIFY(isInstallCancelled(error));
    QVERIFY(first.isEmpty());
    QVERIFY(filesBelow(m_download->path()).isEmpty());
}

void DownloadTest::reportsUnsavableFile()
{
    FakeHttpServer server;
    server.setResponse("/a", 200, zipBytes);
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

// The token goes out only when asked for and stored.
void DownloadTest::sendsTokenOnlyWhenAsked()
{
    FakeHttpServer server;
    server.setResponse("/file", 200, "payload");
    QByteArray data;
    QVERIFY(fetchBytes(*m_manager, server.url("/file"), true, &data));
    QCOMPARE(data, QByteArray("payload"));
    QVERIFY(!server.requests().last().headers.contains("authorization"));
    storeModIoToken(QStringLiteral("  secret-token  "));
    QVERIFY(fetchBytes(*m_manager, server.url("/file"), false, &data));
    QVERIFY(!server.requests().last().headers.contains("authorization"));
    QVERIFY(fetchBytes(*m_manager, server.url("/file"), true, &data));
    QCOMPARE(server.requests().last().headers.value("authorization"), QByteArray("Bearer secret-token"));
}

void DownloadTest::bearerTokenOnRedirects_data()
{
    // {api} and {cdn} are two sites on 127.0.0.1 (other ports), {apiTls} and {cdnTls} the same over https;
    // {apiTlsName} reaches the api site under the host name localhost.
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("location"); // where the start redirects to
    QTest::addColumn<bool>("tokenKept");   // the final request for /file carries the token
    QTest::addColumn<QString>("error");

    const auto row = [](const char *tag, const char *start, const char *location, bool tokenKept,
                        const char *error = "") {
        QTest::newRow(tag) << QString::fromUtf8(start) << QString::fromUtf8(location) << tokenKept
                           << QString::fromUtf8(error);
    };
    row("https, same site", "{apiTls}", "{apiTls}/file", true);
    row("https, relative", "{apiTls}", "/file", true);
    row("https, other port", "{apiTls}", "{cdnTls}/file", false);
    row("https, other host", "{apiTls}", "{apiTlsName}/file", false);
    row("https to http, same host and port", "{apiTls}", "{apiTlsPlain}/file", false,
        "Unsichere Weiterleitung abgelehnt: {apiTlsPlain}/file");
    row("https to http", "{apiTls}", "{api}/file", false, "Unsichere Weiterleitung abgelehnt: {api}/file");
    row("http, same site", "{api}", "{api}/file", true);
    row("http to https, same host", "{api}", "{apiTls}/file", false);
    row("back on its own site after another", "{api}", "{cdn}/back", false);
    row("file scheme", "{api}", "file:///etc/passwd", false,
        "Unsichere Weiterleitung abgelehnt: file:///etc/passwd");
    row("endless", "{api}", "{api}/away", false, "Zu viele Weiterleitungen.");
}

void DownloadTest::bearerTokenOnRedirects()
{
    QFETCH(QString, start);
    QFETCH(QString, location);
    QFETCH(bool, tokenKept);
    QFETCH(QString, error);

    if (!QSslSocket::supportsSsl())
        QSKIP("Qt has no TLS backend here");
    storeModIoToken(QStringLiteral("secret-token"));
    FakeHttpServer api;
    FakeHttpServer cdn;
    TlsFrontend apiTls(api);
    TlsFrontend cdnTls(cdn);
    QVERIFY(apiTls.isListening() && cdnTls.isListening());
    trustTlsFrontend(*m_manager);
    auto expand = [&](QString text) {
        const QString tlsPort = apiTls.url().section(QLatin1Char(':'), 2);
        return text.replace("{apiTlsPlain}", QStringLiteral("http://127.0.0.1:") + tlsPort)
            .replace("{apiTlsName}", QStringLiteral("https://localhost:") + tlsPort)
            .replace("{apiTls}", apiTls.url())
            .replace("{cdnTls}", cdnTls.url())
            .replace("{api}", api.url())
            .replace("{cdn}", cdn.url());
    };
    api.setResponse("/away", FakeResponse{302, {{"Location", expand(location).toUtf8()}}, {}});
    cdn.setResponse("/back", FakeResponse{307, {{"Location", api.url("/file").toUtf8()}}, {}});
    api.setResponse("/file", 200, "from the api");
    cdn.setResponse("/file", 200, "from the cdn");

    QByteArray data = "old";
    int status = 0;
    QString message;
    const bool ok = fetchBytes(*m_manager, expand(start) + "/away", true, &data, &status, &message);
    QCOMPARE(message, expand(error));
    QCOMPARE(ok, error.isEmpty());
    QCOMPARE(status, ok ? 200 : 302);
    QCOMPARE(api.requests().first().headers.value("authorization"), QByteArray("Bearer secret-token"));
    QList<RecordedRequest> files;
    for (const RecordedRequest &request : api.requests() + cdn.requests()) {
        if (request.path == "/file")
            files.append(request);
        else if (request.path != "/away")
            QVERIFY2(!request.headers.contains("authorization"), request.path.constData());
    }
    QCOMPARE(files.size(), ok ? 1 : 0);
    if (ok) {
        QVERIFY(data.startsWith("from the "));
        QCOMPARE(files.first().headers.contains("authorization"), tokenKept);
    } else {
        QVERIFY(data.isEmpty());
    }
    if (location.endsWith(QLatin1String("/away")))
        QCOMPARE(api.requestCount("/away"), 51);
}

QTEST_GUILESS_MAIN(DownloadTest)
#include "tst_download.moc"
