#include "localmods/installmarker.h"
#include "testsupport.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

class InstallMarkerTest : public QObject
{
    Q_OBJECT

private slots:
    void repositoryMarkerHasTheRecordedShape();
    void writeReplacesTheWholeFileAndReadsBack();
    void writeFailsCleanlyWhereNoFileCanBeMade();
    void readTreatsBrokenMarkersAsMissing_data();
    void readTreatsBrokenMarkersAsMissing();
    void modIoMarkerAndFileIdFile();
    void applyChoosesTheShownVersion_data();
    void applyChoosesTheShownVersion();
    void applyReadsOriginLeniently_data();
    void applyReadsOriginLeniently();
    void applyForInstalledCopyTakesOnlyOriginAndVersion();
};

namespace {

RepoMod sampleEntry(int volumes)
{
    RepoMod mod;
    mod.id = QStringLiteral("8094");
    mod.name = QStringLiteral("Preußische P 2 – Dampflok");
    mod.version = QStringLiteral("1.2");
    mod.fileName = QStringLiteral("P2-1.2.part1.rar");
    mod.repositoryName = QStringLiteral("Trackhaven");
    mod.repositoryJsonUrl = QStringLiteral("https://example.invalid/filebase/repos/fx3-v3.json");
    for (int i = 1; i <= volumes; ++i)
        mod.parts.append(RepoModPart{QStringLiteral("https://example.invalid/p%1").arg(i),
                                     QStringLiteral("P2-1.2.part%1.rar").arg(i), QString(), i});
    return mod;
}

LocalMod scanned(const QString &name, const QString &filesVersion)
{
    LocalMod mod;
    mod.folderName = QStringLiteral("p2_folder");
    mod.name = name;
    mod.filesVersion = filesVersion;
    mod.version = filesVersion;
    return mod;
}

QJsonObject json(const char *text)
{
    return QJsonDocument::fromJson(QByteArray(text)).object();
}

} // namespace

void InstallMarkerTest::repositoryMarkerHasTheRecordedShape()
{
    const QJsonObject single = repositoryInstallMarker(sampleEntry(0), QStringLiteral("  1.1 "));
    QCOMPARE(single.value("content_version").toString(), QStringLiteral("1.1"));
    QCOMPARE(single.value("repository_name").toString(), single.value("source").toString());
    QVERIFY(!single.contains("archive_volumes"));
    // Files without a version of their own leave the key out instead of writing an empty one.
    QVERIFY(!repositoryInstallMarker(sampleEntry(0), QStringLiteral("   ")).contains("content_version"));
    // A single part is not a multi-volume download.
    QVERIFY(!repositoryInstallMarker(sampleEntry(1), QString()).contains("archive_volumes"));
    const QJsonArray volumes =
        repositoryInstallMarker(sampleEntry(3), QString()).value("archive_volumes").toArray();
    QCOMPARE(volumes.size(), 3);
    QCOMPARE(volumes.at(2).toString(), QStringLiteral("P2-1.2.part3.rar"));

    // What the scan reads back from it ties the folder to its entry and repository.
    LocalMod mod = scanned(QStringLiteral("p2_folder"), QStringLiteral("1.1"));
    applyInstallMarker(mod, single);
    QCOMPARE(mod.repoEntryId, sampleEntry(0).id);
    QCOMPARE(mod.repositoryUrl, sampleEntry(0).repositoryJsonUrl);
    QCOMPARE(mod.repositoryName, sampleEntry(0).repositoryName);
    QCOMPARE(mod.version, sampleEntry(0).version);
}

void InstallMarkerTest::writeReplacesTheWholeFileAndReadsBack()
{
    TestEnvironment env;
    const QString folder = env.makeDir("mods/p2");
    const QString path = folder + "/.fx3modmanager.json";
    // A longer old marker must not leave a tail behind the new, shorter one.
    writeTestFile(path, QByteArray("{\"name\": \"") + QByteArray(4000, 'x') + "\"}");

    const QJsonObject marker = repositoryInstallMarker(sampleEntry(2), QStringLiteral("1.1"));
    QString error;
    QVERIFY2(writeInstallMarker(folder, marker, &error), qPrintable(error));

    const QByteArray written = readTestFile(path);
    QVERIFY(written.contains('\n'));         // indented form
    QVERIFY(written.contains("Preußische")); // UTF-8, not escaped
    const std::optional<QJsonObject> read = readInstallMarker(folder);
    QVERIFY(read.has_value());
    QCOMPARE(*read, marker);
    // Nothing but the marker is left in the folder (no temporary files).
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{".fx3modmanager.json"});
}

void InstallMarkerTest::writeFailsCleanlyWhereNoFileCanBeMade()
{
    TestEnvironment env;
    QString error;
    QVERIFY(!writeInstallMarker(env.root() + "/does/not/exist", QJsonObject{{"name", "x"}}, &error));
    QVERIFY(!error.isEmpty());

    // A folder occupying the marker's name cannot be replaced by a file.
    const QString folder = env.makeDir("mods/blocked");
    env.makeDir("mods/blocked/.fx3modmanager.json");
    error.clear();
    QVERIFY(!writeInstallMarker(folder, QJsonObject{{"name", "x"}}, &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(QFileInfo(folder + "/.fx3modmanager.json").isDir());
    QVERIFY(!readInstallMarker(folder).has_value());
}

void InstallMarkerTest::readTreatsBrokenMarkersAsMissing_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("valid");
    QTest::newRow("object") << QByteArray("{\"repo_entry_id\": \"1\"}") << true;
    QTest::newRow("empty object") << QByteArray("{}") << true;
    QTest::newRow("array") << QByteArray("[{\"repo_entry_id\": \"1\"}]") << false;
    QTest::newRow("string") << QByteArray("\"text\"") << false;
    QTest::newRow("truncated") << QByteArray("{\"repo_entry_id\": \"1\"") << false;
    QTest::newRow("empty file") << QByteArray() << false;
    QTest::newRow("binary") << QByteArray("\x00\xff\xfe{}", 5) << false;
}

void InstallMarkerTest::readTreatsBrokenMarkersAsMissing()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, valid);
    TestEnvironment env;
    const QString folder = env.makeDir("mod");
    QVERIFY(!readInstallMarker(folder).has_value());
    env.writeFile("mod/.fx3modmanager.json", content);
    QCOMPARE(readInstallMarker(folder).has_value(), valid);
}

void InstallMarkerTest::modIoMarkerAndFileIdFile()
{
    TestEnvironment env;
    const QString folder = env.makeDir("modio/2750123");
    ModIoMarkerInfo info;
    info.name = QStringLiteral("Signal Pack");
    info.version = QStringLiteral("3.0");
    info.modioId = QStringLiteral("2750123");
    info.fileId = QStringLiteral("5512345");
    info.profileUrl = QStringLiteral("https://mod.io/g/ferroline3/m/signal-pack");
    info.previewUrl = QStringLiteral("https://thumbnails.mod.io/signal.png");
    const QJsonObject marker = modIoInstallMarker(info);
    QCOMPARE(marker.value("source").toString(), QStringLiteral("mod.io"));
    QCOMPARE(markerModIoFileId(marker), info.fileId);
    QCOMPARE(markerModIoFileId(json("{\"modio_file_id\": 77}")), QString()); // not a string
    LocalMod mod = scanned(QString(), QString());
    applyInstallMarker(mod, marker);
    QCOMPARE(mod.modioId, info.modioId);
    QCOMPARE(mod.name, info.name);
    QCOMPARE(mod.previewUrl, info.previewUrl);

    QVERIFY(writeModIoFileIdFile(folder, info.fileId));
    QCOMPARE(readTestFile(folder + "/mod.io_fileid.txt"), QByteArray("5512345\n"));
    QCOMPARE(readModIoFileIdFile(folder), info.fileId);
    env.writeFile("modio/2750123/mod.io_fileid.txt", " 991 \r\n");
    QCOMPARE(readModIoFileIdFile(folder), QStringLiteral("991"));
    QCOMPARE(readModIoFileIdFile(env.root() + "/nowhere"), QString());
}

void InstallMarkerTest::applyChoosesTheShownVersion_data()
{
    QTest::addColumn<QByteArray>("marker");
    QTest::addColumn<QString>("filesVersion");
    QTest::addColumn<QString>("version");
    QTest::addColumn<bool>("fromMarker");
    QTest::addColumn<QString>("markerVersion");

    QTest::newRow("files unchanged since installation")
        << QByteArray(R"({"version": "1.2", "content_version": "1.1"})") << "1.1"
        << "1.2" << true << "1.2";
    QTest::newRow("files replaced by a newer release")
        << QByteArray(R"({"version": "1.2", "content_version": "1.1"})") << "1.3"
        << "1.3" << false << "1.2";
    QTest::newRow("files replaced by an older release")
        << QByteArray(R"({"version": "1.2", "content_version": "1.1"})") << "1.0"
        << "1.0" << false << "1.2";
    QTest::newRow("same version spelled differently counts as unchanged")
        << QByteArray(R"({"version": "1.2", "content_version": "1.1.0"})") << "v1.1"
        << "1.2" << true << "1.2";
    QTest::newRow("no content version: the marker always wins")
        << QByteArray(R"({"version": "1.2"})") << "1.3"
        << "1.2" << true << "1.2";
    QTest::newRow("files without a version keep the marker's")
        << QByteArray(R"({"version": "1.2", "content_version": "1.1"})") << ""
        << "1.2" << true << "1.2";
    QTest::newRow("numbers are versions too")
        << QByteArray(R"({"version": 2, "content_version": 2})") << "2.0"
        << "2" << true << "2";
    QTest::newRow("fractional number keeps its fraction") << QByteArray(R"({"version": 1.25})") << ""
                                                          << "1.25" << true << "1.25";
    QTest::newRow("blank marker version leaves the files' version")
        << QByteArray(R"({"version": "  "})") << "0.9"
        << "0.9" << false << "";
    QTest::newRow("boolean version is no version") << QByteArray(R"({"version": true})") << "0.9"
                                                   << "0.9" << false << "";
}

void InstallMarkerTest::applyChoosesTheShownVersion()
{
    QFETCH(QByteArray, marker);
    QFETCH(QString, filesVersion);
    QFETCH(QString, version);
    QFETCH(bool, fromMarker);
    QFETCH(QString, markerVersion);
    LocalMod mod = scanned(QStringLiteral("P 2"), filesVersion);
    applyInstallMarker(mod, QJsonDocument::fromJson(marker).object());
    QCOMPARE(mod.version, version);
    QCOMPARE(mod.versionFromMarker, fromMarker);
    QCOMPARE(mod.markerVersion, markerVersion);
    QCOMPARE(mod.filesVersion, filesVersion);
}

void InstallMarkerTest::applyReadsOriginLeniently_data()
{
    QTest::addColumn<QByteArray>("marker");
    QTest::addColumn<QString>("scannedName");
    QTest::addColumn<QString>("entryId");
    QTest::addColumn<QString>("repositoryName");
    QTest::addColumn<QString>("repositoryUrl");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("modioId");

    QTest::newRow("repository installation")
        << QByteArray(R"({"repo_entry_id": " 8094 ", "repository_name": " Trackhaven ", "source": "other",
                          "repository_url": " https://x.invalid/r.json ", "name": "P 2 Lok"})")
        << "p2_folder"
        << "8094"
        << "Trackhaven"
        << "https://x.invalid/r.json"
        << "P 2 Lok"
        << "";
    QTest::newRow("numeric entry id, source as repository name")
        << QByteArray(R"({"repo_entry_id": 8094, "source": "Extern"})") << ""
        << "8094"
        << "Extern"
        << ""
        << ""
        << "";
    QTest::newRow("wrong types read as empty")
        << QByteArray(R"({"repo_entry_id": true, "repository_name": 5, "source": [1],
                          "repository_url": 3, "name": 7})")
        << "Own Name"
        << ""
        << ""
        << ""
        << "Own Name"
        << "";
    QTest::newRow("an empty repository_name string still wins over source")
        << QByteArray(R"({"repository_name": "", "source": "Trackhaven"})") << "Own Name"
        << ""
        << ""
        << ""
        << "Own Name"
        << "";
    QTest::newRow("the files' own name is kept") << QByteArray(R"({"name": "Marker Name"})") << "Files Name"
                                                 << ""
                                                 << ""
                                                 << ""
                                                 << "Files Name"
                                                 << "";
    QTest::newRow("mod.io marker with numeric id")
        << QByteArray(R"({"source": "mod.io", "modio_id": 2750123, "name": "Signals"})") << "p2_folder"
        << ""
        << "mod.io"
        << ""
        << "Signals"
        << "2750123";
}

void InstallMarkerTest::applyReadsOriginLeniently()
{
    QFETCH(QByteArray, marker);
    QFETCH(QString, scannedName);
    QFETCH(QString, entryId);
    QFETCH(QString, repositoryName);
    QFETCH(QString, repositoryUrl);
    QFETCH(QString, name);
    QFETCH(QString, modioId);
    const QJsonDocument document = QJsonDocument::fromJson(marker);
    QVERIFY(document.isObject());
    LocalMod mod = scanned(scannedName, QString());
    applyInstallMarker(mod, document.object());
    QCOMPARE(mod.repoEntryId, entryId);
    QCOMPARE(mod.repositoryName, repositoryName);
    QCOMPARE(mod.repositoryUrl, repositoryUrl);
    QCOMPARE(mod.name, name);
    QCOMPARE(mod.modioId, modioId);
}

void InstallMarkerTest::applyForInstalledCopyTakesOnlyOriginAndVersion()
{
    const QJsonObject marker = json(R"({"repo_entry_id": "12", "repository_url": "https://x.invalid/r.json",
        "name": "Marker Name", "version": "2.0", "modio_id": "55", "preview_url": "https://x.invalid/p.png"})");
    LocalMod copy = scanned(QStringLiteral("p2_folder"), QStringLiteral("1.0"));
    applyInstallMarker(copy, marker, MarkerUse::InstalledCopy);
    QCOMPARE(copy.repoEntryId, QStringLiteral("12"));
    QCOMPARE(copy.repositoryUrl, QStringLiteral("https://x.invalid/r.json"));
    QCOMPARE(copy.version, QStringLiteral("2.0"));
    QCOMPARE(copy.name, QStringLiteral("p2_folder"));
    QVERIFY(copy.modioId.isEmpty());
    QVERIFY(copy.previewUrl.isEmpty());

    LocalMod mod = scanned(QStringLiteral("p2_folder"), QString());
    mod.previewUrl = QStringLiteral("https://state.invalid/keep.png");
    applyInstallMarker(mod, marker);
    QCOMPARE(mod.name, QStringLiteral("Marker Name"));
    QCOMPARE(mod.modioId, QStringLiteral("55"));
    QCOMPARE(mod.previewUrl, QStringLiteral("https://state.invalid/keep.png"));
}

QTEST_GUILESS_MAIN(InstallMarkerTest)
#include "tst_installmarker.moc"
