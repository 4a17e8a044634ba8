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
    void repositoryMarkerIsWrittenWholeAndReadBack();
    void writeFailsCleanlyAndBrokenMarkersCountAsMissing();
    void modIoMarkerAndFileIdFile();
    void applyChoosesTheShownVersion();
    void applyReadsOriginLeniently();
};

namespace {

RepoMod sampleEntry(int volumes)
{
    RepoMod mod;
    mod.id = QStringLiteral("8094");
    mod.name = QStringLiteral("Preußische P 2 – Dampflok");
    mod.version = QStringLiteral("1.2");
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

void InstallMarkerTest::repositoryMarkerIsWrittenWholeAndReadBack()
{
    // Every key the program reads back later; files without a version of their own leave content_version out
    // instead of writing an empty one, and a single archive has no volume list.
    const QJsonObject single{{"repo_entry_id", "8094"},
                             {"name", "Preußische P 2 – Dampflok"},
                             {"version", "1.2"},
                             {"archive_filename", ""},
                             {"source", "Trackhaven"},
                             {"repository_name", "Trackhaven"},
                             {"repository_url", "https://example.invalid/filebase/repos/fx3-v3.json"}};
    QCOMPARE(repositoryInstallMarker(sampleEntry(1), QStringLiteral("   ")), single);
    const QJsonObject marker = repositoryInstallMarker(sampleEntry(2), QStringLiteral("  1.1 "));
    QCOMPARE(marker.value("content_version").toString(), QStringLiteral("1.1"));
    QCOMPARE(marker.value("archive_volumes").toArray(), QJsonArray({"P2-1.2.part1.rar", "P2-1.2.part2.rar"}));

    TestEnvironment env;
    const QString folder = env.makeDir("mods/p2");
    const QString path = folder + "/.fx3modmanager.json";
    // A longer old marker must not leave a tail behind the new, shorter one.
    writeTestFile(path, QByteArray("{\"name\": \"") + QByteArray(4000, 'x') + "\"}");
    QString error;
    QVERIFY2(writeInstallMarker(folder, marker, &error), qPrintable(error));
    QVERIFY(readTestFile(path).contains("Preußische")); // UTF-8, not escaped
    const std::optional<QJsonObject> read = readInstallMarker(folder);
    QVERIFY(read.has_value());
    QCOMPARE(*read, marker);
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{".fx3modmanager.json"});

    LocalMod mod = scanned(QStringLiteral("p2_folder"), QStringLiteral("1.1"));
    applyInstallMarker(mod, *read);
    QCOMPARE(mod.repoEntryId, sampleEntry(0).id);
    QCOMPARE(mod.repositoryUrl, sampleEntry(0).repositoryJsonUrl);
    QCOMPARE(mod.repositoryName, sampleEntry(0).repositoryName);
    QCOMPARE(mod.version, sampleEntry(0).version);
}

void InstallMarkerTest::writeFailsCleanlyAndBrokenMarkersCountAsMissing()
{
    TestEnvironment env;
    // A folder occupying the marker's name cannot be replaced by a file.
    const QString folder = env.makeDir("mods/blocked");
    env.makeDir("mods/blocked/.fx3modmanager.json");
    QString error;
    QVERIFY(!writeInstallMarker(folder, QJsonObject{{"name", "x"}}, &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(QFileInfo(folder + "/.fx3modmanager.json").isDir());
    QVERIFY(!readInstallMarker(folder).has_value());

    const QString other = env.makeDir("mod");
    QVERIFY(!readInstallMarker(other).has_value());
    for (const QByteArray &broken :
         {QByteArray("[{\"repo_entry_id\": \"1\"}]"), QByteArray("{\"repo_entry_id\": \"1\""),
          QByteArray("\x00\xff\xfe{}", 5)}) {
        env.writeFile("mod/.fx3modmanager.json", broken);
        QVERIFY2(!readInstallMarker(other).has_value(), broken.constData());
    }
}

void InstallMarkerTest::modIoMarkerAndFileIdFile()
{
    TestEnvironment env;
    const QString folder = env.makeDir("modio/2750123");
    ModIoMarkerInfo info;
    info.name = QStringLiteral("Signal Pack");
    info.modioId = QStringLiteral("2750123");
    info.fileId = QStringLiteral("5512345");
    info.previewUrl = QStringLiteral("https://thumbnails.mod.io/signal.png");
    const QJsonObject marker = modIoInstallMarker(info);
    QCOMPARE(markerModIoFileId(marker), info.fileId);
    QCOMPARE(markerModIoFileId(json("{\"modio_file_id\": 77}")), QString()); // not a string
    LocalMod mod = scanned(QString(), QString());
    applyInstallMarker(mod, marker);
    QCOMPARE(mod.modioId, info.modioId);
    QCOMPARE(mod.name, info.name);
    QCOMPARE(mod.previewUrl, info.previewUrl);

    QVERIFY(writeModIoFileIdFile(folder, info.fileId));
    QCOMPARE(readModIoFileIdFile(folder), info.fileId);
    env.writeFile("modio/2750123/mod.io_fileid.txt", " 991 \r\n");
    QCOMPARE(readModIoFileIdFile(folder), QStringLiteral("991"));
}

void InstallMarkerTest::applyChoosesTheShownVersion()
{
    struct Row
    {
        const char *marker, *filesVersion, *version;
        bool fromMarker;
        const char *markerVersion;
    };
    const char *recorded = R"({"version": "1.2", "content_version": "1.1"})";
    const Row rows[] = {
        {recorded, "1.1", "1.2", true, "1.2"},  // files unchanged since installation
        {recorded, "1.3", "1.3", false, "1.2"}, // files replaced by another release
        {recorded, "", "1.2", true, "1.2"},     // files without a version
        {R"({"version": "1.2", "content_version": "1.1.0"})", "v1.1", "1.2", true, "1.2"}, // spelling
        {R"({"version": 1.25})", "", "1.25", true, "1.25"},
        {R"({"version": true})", "0.9", "0.9", false, ""},
    };
    for (const Row &row : rows) {
        LocalMod mod = scanned(QStringLiteral("P 2"), QString::fromLatin1(row.filesVersion));
        applyInstallMarker(mod, json(row.marker));
        QCOMPARE(mod.version, QString::fromLatin1(row.version));
        QCOMPARE(mod.versionFromMarker, row.fromMarker);
        QCOMPARE(mod.markerVersion, QString::fromLatin1(row.markerVersion));
        QCOMPARE(mod.filesVersion, QString::fromLatin1(row.filesVersion));
    }
}

void InstallMarkerTest::applyReadsOriginLeniently()
{
    LocalMod mod = scanned(QStringLiteral("Files Name"), QString());
    applyInstallMarker(mod, json(R"({"repo_entry_id": 8094, "source": "Extern", "name": "Marker Name",
                                     "repository_url": " https://x.invalid/r.json "})"));
    QCOMPARE(mod.repoEntryId, QStringLiteral("8094"));
    QCOMPARE(mod.repositoryName, QStringLiteral("Extern"));
    QCOMPARE(mod.repositoryUrl, QStringLiteral("https://x.invalid/r.json"));
    QCOMPARE(mod.name, QStringLiteral("Files Name")); // the files' own name is kept
    mod = scanned(QStringLiteral("Own Name"), QString());
    applyInstallMarker(mod, json(R"({"repo_entry_id": true, "repository_name": 5, "source": [1]})"));
    QVERIFY(mod.repoEntryId.isEmpty());
    QVERIFY(mod.repositoryName.isEmpty());

    // An installed copy takes only origin and version from its marker.
    const QJsonObject marker = json(R"({"repo_entry_id": "12", "name": "Marker Name", "version": "2.0",
                                        "modio_id": "55", "preview_url": "https://x.invalid/p.png"})");
    LocalMod copy = scanned(QStringLiteral("p2_folder"), QStringLiteral("1.0"));
    applyInstallMarker(copy, marker, MarkerUse::InstalledCopy);
    QCOMPARE(copy.repoEntryId, QStringLiteral("12"));
    QCOMPARE(copy.version, QStringLiteral("2.0"));
    QCOMPARE(copy.name, QStringLiteral("p2_folder"));
    QVERIFY(copy.modioId.isEmpty() && copy.previewUrl.isEmpty());
    mod = scanned(QStringLiteral("p2_folder"), QString());
    mod.previewUrl = QStringLiteral("https://state.invalid/keep.png");
    applyInstallMarker(mod, marker);
    QCOMPARE(mod.name, QStringLiteral("Marker Name"));
    QCOMPARE(mod.modioId, QStringLiteral("55"));
    QCOMPARE(mod.previewUrl, QStringLiteral("https://state.invalid/keep.png"));
}

QTEST_GUILESS_MAIN(InstallMarkerTest)
#include "tst_installmarker.moc"
