// The demo catalog in examples/: its two repository documents, the archives make-demo-archives.sh builds
// and the pages serve-demo.py answers must fit together and fit the program. The documents are parsed as
// the program parses them; the last test builds the archives, starts the demo server and installs every
// listed mod from it.

#include "app/appinfo.h"
#include "catalog/catalogfilter.h"
#include "catalog/repositorylist.h"
#include "catalog/repositoryparser.h"
#include "catalog/versions.h"
#include "install/archivevolumes.h"
#include "install/installer.h"
#include "localmods/modmetadata.h"
#include "testsupport.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QScopedPointer>
#include <QSet>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// The address the documents are written for; serve-demo.py replaces it when it runs on another port.
const QString demoRoot = QStringLiteral("http://127.0.0.1:8765/");

QString examplesPath(const QString &relative)
{
    return QStringLiteral(FX3_SOURCE_DIR "/examples/") + relative;
}

QByteArray readExample(const QString &relative)
{
    QFile file(examplesPath(relative));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", qPrintable(file.fileName()));
    return file.readAll();
}

// What run-demo.sh configures as the external repository.
RepositoryConfig externalRepository(const QString &root)
{
    RepositoryConfig repository;
    repository.name = QStringLiteral("Demo-Extern");
    repository.jsonUrl = root + QStringLiteral("external/external.json");
    repository.websiteUrl = root + QStringLiteral("external/");
    return repository;
}

// The file names make-demo-archives.sh promises to build (its "expected" list).
QStringList builtFiles()
{
    const QString script = QString::fromUtf8(readExample(QStringLiteral("make-demo-archives.sh")));
    static const QRegularExpression list(QStringLiteral("\\nexpected=\\(\\n(.*?)\\n\\)"),
                                         QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch match = list.match(script);
    if (!match.hasMatch())
        qFatal("make-demo-archives.sh has no expected=( … ) list");
    QStringList names;
    const QStringList lines = match.captured(1).split(QLatin1Char('\n'));
    for (const QString &line : lines) {
        if (!line.trimmed().isEmpty())
            names.append(line.trimmed());
    }
    return names;
}

// Entries offered only on entry pages of the demo server, by id.
QJsonObject entryPages()
{
    return QJsonDocument::fromJson(readExample(QStringLiteral("entry-pages.json"))).object();
}

const RepoMod *findEntry(const QList<RepoMod> &catalog, const QString &id)
{
    for (const RepoMod &mod : catalog) {
        if (mod.id == id)
            return &mod;
    }
    return nullptr;
}

QString lastSegment(const QString &url)
{
    return url.mid(url.lastIndexOf(QLatin1Char('/')) + 1);
}

// The archives one entry's download consists of.
QList<RepoModPart> volumesOf(const RepoMod &mod)
{
    if (!mod.parts.isEmpty())
        return mod.parts;
    RepoModPart single;
    single.url = mod.downloadUrl;
    single.fileName = mod.fileName.isEmpty() ? lastSegment(mod.downloadUrl) : lastSegment(mod.fileName);
    return {single};
}

// The entry that is listed on purpose with a file the server does not have.
const QString missingDownloadEntry = QStringLiteral("1027");

struct Fetched
{
    int status = 0;
    QByteArray body;
    QByteArray disposition;
};

Fetched fetch(QNetworkAccessManager &network, const QString &url)
{
    QNetworkRequest request{QUrl(url)};
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setTransferTimeout(20000);
    QNetworkReply *reply = network.get(request);
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    loop.exec();
    Fetched result;
    result.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    result.body = reply->readAll();
    result.disposition = reply->rawHeader("Content-Disposition");
    reply->deleteLater();
    return result;
}

} // namespace

class TestExampleRepository : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void documents_data();
    void documents();
    void categories_data();
    void categories();
    void chosenFiles_data();
    void chosenFiles();
    void volumes_data();
    void volumes();
    void dependencies_data();
    void dependencies();
    void dependenciesCanBeResolved();
    void everyDownloadIsBuilt();
    void everyAddressIsOnTheDemoServer();
    void demoServerInstallsTheCatalog();

private:
    const QList<RepoMod> &catalogOf(const QString &document) const
    {
        return document == QLatin1String("external") ? m_external : m_trackhaven;
    }

    QScopedPointer<TestEnvironment> m_env;
    QString m_pythonFolder;
    QList<RepoMod> m_trackhaven;
    QList<RepoMod> m_external;
};

void TestExampleRepository::initTestCase()
{
    // A pyenv shim finds its interpreter through HOME, which the test environment replaces: remember the
    // real interpreter's folder while HOME is still the real one.
    QProcess python;
    python.start(QStringLiteral("python3"),
                 {QStringLiteral("-c"), QStringLiteral("import sys; print(sys.executable)")});
    if (python.waitForFinished(20000) && python.exitCode() == 0)
        m_pythonFolder =
            QFileInfo(QString::fromLocal8Bit(python.readAllStandardOutput().trimmed())).absolutePath();

    m_env.reset(new TestEnvironment);
    m_env->setEnv("FX3MM_COMMUNITY_URL", demoRoot.toUtf8());
    QCOMPARE(builtInRepository().jsonUrl, demoRoot + QStringLiteral("filebase/repos/fx3-v3.json"));

    QString error = QStringLiteral("unset");
    QCOMPARE(parseRepositoryDocument(readExample(QStringLiteral("repository/fx3-v3.json")),
                                     builtInRepository(), m_trackhaven, &error),
             33);
    QCOMPARE(error, QString());
    error = QStringLiteral("unset");
    QCOMPARE(parseRepositoryDocument(readExample(QStringLiteral("repository/external.json")),
                                     externalRepository(demoRoot), m_external, &error),
             5);
    QCOMPARE(error, QString());
}

void TestExampleRepository::cleanupTestCase()
{
    m_env.reset();
}

void TestExampleRepository::documents_data()
{
    QTest::addColumn<QString>("document");
    QTest::addColumn<int>("listed");
    QTest::addColumn<QStringList>("tools");

    QTest::newRow("trackhaven") << "trackhaven" << 29 << QStringList{"8094", "1028", "1029", "1030"};
    QTest::newRow("external") << "external" << 4 << QStringList{"ext-105"};
}

void TestExampleRepository::documents()
{
    QFETCH(QString, document);
    QFETCH(int, listed);
    QFETCH(QStringList, tools);
    const QList<RepoMod> &catalog = catalogOf(document);

    QCOMPARE(countListedEntries(catalog), listed);
    QSet<QString> ids;
    QStringList flagged;
    for (const RepoMod &mod : catalog) {
        QVERIFY2(!mod.id.isEmpty() && !ids.contains(mod.id), qPrintable(mod.name));
        ids.insert(mod.id);
        QVERIFY2(!mod.name.isEmpty() && mod.name != mod.id, qPrintable(mod.id));
        QVERIFY2(!mod.version.isEmpty(), qPrintable(mod.id));
        QVERIFY2(!mod.author.isEmpty(), qPrintable(mod.id));
        // Descriptions come with HTML; the catalog shows plain text.
        QVERIFY2(!mod.description.contains(QRegularExpression(QStringLiteral("<[a-zA-Z/]"))),
                 qPrintable(mod.id));
        if (mod.isTool)
            flagged.append(mod.id);
    }
    QCOMPARE(flagged, tools);
    if (document == QLatin1String("trackhaven")) {
        const int manager = findManagerEntry(catalog);
        QVERIFY(manager >= 0);
        // The demo must never offer the running program an update of itself.
        QCOMPARE(catalog.at(manager).version, QString::fromLatin1(AppInfo::version));
    }
}

void TestExampleRepository::categories_data()
{
    QTest::addColumn<QString>("document");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("trackhaven") << "trackhaven"
                                << QStringList{"Bahnhöfe",      "Bibliotheken", "Gleise & Signale",
                                               "Landschaft",    "Lokomotiven",  "Skripte",
                                               "Straßenbahnen", "Wagen"};
    QTest::newRow("external") << "external"
                              << QStringList{"Gleise & Signale", "Landschaft", "Lokomotiven", "Reskins"};
}

void TestExampleRepository::categories()
{
    QFETCH(QString, document);
    QFETCH(QStringList, expected);
    // Every category id of the documents is in their category tables: no bare number reaches the filter.
    QCOMPARE(catalogCategories(catalogOf(document)), expected);
}

void TestExampleRepository::chosenFiles_data()
{
    QTest::addColumn<QString>("document");
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("version");
    QTest::addColumn<QString>("fileName");

    QTest::newRow("latest of two files") << "trackhaven"
                                         << "1001"
                                         << "1.3"
                                         << "br52_kriegslok_1_3.zip";
    // Its id comes from "mod_id", after an empty "modid".
    QTest::newRow("1.10 beats 1.9") << "trackhaven"
                                    << "1005"
                                    << "1.10"
                                    << "vt98_schienenbus_1_10.zip";
    QTest::newRow("announced version without file") << "trackhaven"
                                                    << "1009"
                                                    << "3.0"
                                                    << "";
    QTest::newRow("release_version") << "trackhaven"
                                     << "1020"
                                     << "1.4.2"
                                     << "fx3_basisbibliothek_1_4_2.zip";
    QTest::newRow("version in custom field") << "trackhaven"
                                             << "1011"
                                             << "2.4"
                                             << "altenbrueck_bahnhof_2_4.zip";
    QTest::newRow("direct 7z") << "trackhaven"
                               << "1002"
                               << "2.0.1"
                               << "e44_elektrolok_2_0_1.7z";
    QTest::newRow("other key spellings") << "trackhaven"
                                         << "1031"
                                         << "3.1"
                                         << "stellwerk_rangier_3_1.zip";
    QTest::newRow("external absolute") << "external"
                                       << "ext-102"
                                       << "1.2"
                                       << "koef2_rangierlok_1_2.zip";
}

void TestExampleRepository::chosenFiles()
{
    QFETCH(QString, document);
    QFETCH(QString, id);
    QFETCH(QString, version);
    QFETCH(QString, fileName);

    const RepoMod *mod = findEntry(catalogOf(document), id);
    QVERIFY(mod);
    QCOMPARE(mod->version, version);
    QCOMPARE(mod->fileName, fileName);
    QCOMPARE(mod->downloadUrl,
             fileName.isEmpty() ? QString() : demoRoot + QStringLiteral("files/") + fileName);
}

void TestExampleRepository::volumes_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<QStringList>("parts");

    QTest::newRow("7z.001") << "1003"
                            << QStringList{"1 v200_diesellok_1_1.7z.001", "2 v200_diesellok_1_1.7z.002",
                                           "3 v200_diesellok_1_1.7z.003"};
    QTest::newRow("partN.rar") << "1006"
                               << QStringList{"1 eaos_hochbordwagen_2_2.part1.rar",
                                              "2 eaos_hochbordwagen_2_2.part2.rar"};
    QTest::newRow("rar r00 r01, listed out of order")
        << "1012"
        << QStringList{"1 erzhafen_gueterbahnhof_1_0.rar", "2 erzhafen_gueterbahnhof_1_0.r00",
                       "3 erzhafen_gueterbahnhof_1_0.r01"};
    QTest::newRow("zip.001 in latest_file parts")
        << "1032"
        << QStringList{"1 containerterminal_hafen_1_0.zip.001", "2 containerterminal_hafen_1_0.zip.002"};
    QTest::newRow("single archive") << "1001" << QStringList{};
}

void TestExampleRepository::volumes()
{
    QFETCH(QString, id);
    QFETCH(QStringList, parts);

    const RepoMod *mod = findEntry(m_trackhaven, id);
    QVERIFY(mod);
    QStringList found;
    for (const RepoModPart &part : mod->parts) {
        found.append(QString::number(part.index) + QLatin1Char(' ') + part.fileName);
        QCOMPARE(part.url, demoRoot + QStringLiteral("files/") + part.fileName);
        QCOMPARE(parseArchiveVolumeName(part.fileName).groupKey,
                 parseArchiveVolumeName(mod->parts.first().fileName).groupKey);
    }
    QCOMPARE(found, parts);
    if (!parts.isEmpty()) {
        QCOMPARE(mod->downloadUrl, mod->parts.first().url);
        QVERIFY(parseArchiveVolumeName(mod->fileName).isFirst);
    }
}

void TestExampleRepository::dependencies_data()
{
    QTest::addColumn<QString>("document");
    QTest::addColumn<QString>("id");
    QTest::addColumn<QStringList>("expected"); // source|id|name|minimum version

    QTest::newRow("structured, two key sets")
        << "trackhaven"
        << "1004"
        << QStringList{"webdisk|1020|FX3 Basisbibliothek|1.4", "webdisk|1022|Sound-Bibliothek Diesel|2.0"};
    QTest::newRow("custom field with relative entry link")
        << "trackhaven"
        << "1006" << QStringList{"webdisk|1020|FX3 Basisbibliothek|1.2"};
    QTest::newRow("text list with <br> and a name only")
        << "trackhaven"
        << "1007" << QStringList{"webdisk|1020|FX3 Basisbibliothek|1.4", "||Kupplungs-Skriptpaket|"};
    QTest::newRow("labelled field, English phrase, absolute link")
        << "trackhaven"
        << "1011" << QStringList{"webdisk|1010|Modularer Inselbahnsteig|1.1"};
    QTest::newRow("webdisk id outside the catalog")
        << "trackhaven"
        << "1013" << QStringList{"webdisk|9001|Signalbrücken-Paket|1.0"};
    QTest::newRow("field array: filebase id and link")
        << "trackhaven"
        << "1015" << QStringList{"webdisk|9002||", "webdisk|1020|FX3 Basisbibliothek|"};
    QTest::newRow("entry URL only") << "trackhaven"
                                    << "1016" << QStringList{"webdisk|1014||1.1"};
    QTest::newRow("version requirement >=") << "trackhaven"
                                            << "1019" << QStringList{"||FX3 Basisbibliothek|1.3"};
    QTest::newRow("mind. and webdisk") << "trackhaven"
                                       << "1021" << QStringList{"webdisk|1020||1.4"};
    QTest::newRow("by name into another repository") << "external"
                                                     << "ext-101" << QStringList{"||E 44 Elektrolok|2.0"};
    QTest::newRow("none") << "trackhaven"
                          << "1020" << QStringList{};
}

void TestExampleRepository::dependencies()
{
    QFETCH(QString, document);
    QFETCH(QString, id);
    QFETCH(QStringList, expected);

    const RepoMod *mod = findEntry(catalogOf(document), id);
    QVERIFY(mod);
    QStringList found;
    for (const RepoDependency &dependency : mod->dependencies) {
        found.append(
            QStringList{dependency.source, dependency.id, dependency.name, dependency.minVersion}.join(
                QLatin1Char('|')));
        QCOMPARE(dependency.repositoryUrl, mod->repositoryJsonUrl);
    }
    QCOMPARE(found, expected);
}

void TestExampleRepository::dependenciesCanBeResolved()
{
    // Every required mod is in the catalog (by id, else by name, across both repositories) or is offered on
    // an entry page of the demo server, with a download link in one of the forms the program searches for.
    const QJsonObject pages = entryPages();
    const QList<RepoMod> all = m_trackhaven + m_external;
    for (const RepoMod &mod : all) {
        for (const RepoDependency &dependency : mod.dependencies) {
            const QString what = mod.id + QStringLiteral(" needs ") + dependency.id + dependency.name;
            const RepoMod *target = nullptr;
            if (!dependency.id.isEmpty()) {
                target = findEntry(all, dependency.id);
            } else {
                for (const RepoMod &candidate : all) {
                    if (candidate.name.compare(dependency.name, Qt::CaseInsensitive) == 0)
                        target = &candidate;
                }
            }
            if (target) {
                QVERIFY2(!target->downloadUrl.isEmpty(), qPrintable(what));
                QVERIFY2(dependency.minVersion.isEmpty() ||
                             compareVersions(target->version, dependency.minVersion) >= 0,
                         qPrintable(what));
                continue;
            }
            QVERIFY2(pages.contains(dependency.id), qPrintable(what));
            const QString link =
                pages.value(dependency.id).toObject().value(QLatin1String("download")).toString();
            const QRegularExpression pattern(
                QStringLiteral("^(?:http://127\\.0\\.0\\.1:8765)?/filebase/"
                               "(?:entry-download/%1/|index\\.php/EntryDownload/%1/)")
                    .arg(dependency.id));
            QVERIFY2(pattern.match(link).hasMatch(), qPrintable(link));
        }
    }
}

void TestExampleRepository::everyDownloadIsBuilt()
{
    const QStringList built = builtFiles();
    QSet<QString> offered;
    const QList<RepoMod> all = m_trackhaven + m_external;
    for (const RepoMod &mod : all) {
        if (mod.isTool || mod.downloadUrl.isEmpty() || mod.id == missingDownloadEntry)
            continue;
        const QList<RepoModPart> volumes = volumesOf(mod);
        for (const RepoModPart &volume : volumes) {
            QVERIFY2(built.contains(volume.fileName),
                     qPrintable(mod.id + QLatin1Char(' ') + volume.fileName));
            QCOMPARE(lastSegment(volume.url), volume.fileName);
            offered.insert(volume.fileName);
        }
    }
    const QJsonObject pages = entryPages();
    for (auto it = pages.constBegin(); it != pages.constEnd(); ++it) {
        const QString file = it.value().toObject().value(QLatin1String("file")).toString();
        QVERIFY2(built.contains(file), qPrintable(file));
        offered.insert(file);
    }
    QVERIFY(!built.contains(lastSegment(findEntry(m_trackhaven, missingDownloadEntry)->downloadUrl)));

    // Nothing is built that no document mentions (older versions count: they are listed as files).
    const QString documents = QString::fromUtf8(readExample(QStringLiteral("repository/fx3-v3.json")) +
                                                readExample(QStringLiteral("repository/external.json")));
    for (const QString &file : built)
        QVERIFY2(offered.contains(file) || documents.contains(QLatin1Char('"') + file + QLatin1Char('"')),
                 qPrintable(file));
}

void TestExampleRepository::everyAddressIsOnTheDemoServer()
{
    // Relative addresses of both documents, also "../files/…" of the external one, end up on the server.
    const QList<RepoMod> all = m_trackhaven + m_external;
    for (const RepoMod &mod : all) {
        QStringList urls{mod.downloadUrl, mod.previewUrl, mod.entryUrl};
        for (const RepoModPart &part : mod.parts)
            urls.append(part.url);
        for (const RepoDependency &dependency : mod.dependencies)
            urls << dependency.entryUrl << dependency.downloadUrl;
        for (const QString &url : std::as_const(urls)) {
            if (!url.isEmpty())
                QVERIFY2(url.startsWith(demoRoot) && !url.contains(QLatin1String("/../")),
                         qPrintable(mod.id + QLatin1Char(' ') + url));
        }
        if (!mod.isTool && mod.id != missingDownloadEntry)
            QVERIFY2(mod.previewUrl.startsWith(demoRoot + QStringLiteral("files/previews/")),
                     qPrintable(mod.id));
    }
}

void TestExampleRepository::demoServerInstallsTheCatalog()
{
    if (m_pythonFolder.isEmpty() || QStandardPaths::findExecutable(QStringLiteral("7zz")).isEmpty())
        QSKIP("needs python3 and 7zz");

    QTemporaryDir work;
    QVERIFY(work.isValid());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("PATH"),
                       m_pythonFolder + QLatin1Char(':') + environment.value(QStringLiteral("PATH")));

    QProcess build;
    build.setProcessEnvironment(environment);
    build.setProcessChannelMode(QProcess::MergedChannels);
    build.start(QStringLiteral("bash"), {examplesPath(QStringLiteral("make-demo-archives.sh")),
                                         work.filePath(QStringLiteral("files"))});
    QVERIFY(build.waitForFinished(240000));
    QVERIFY2(build.exitCode() == 0, build.readAll().constData());

    QProcess server;
    server.setProcessEnvironment(environment);
    server.setStandardErrorFile(QProcess::nullDevice());
    server.start(QStringLiteral("python3"),
                 {examplesPath(QStringLiteral("serve-demo.py")), QStringLiteral("0"),
                  QStringLiteral("--files"), work.filePath(QStringLiteral("files"))});
    QVERIFY(server.waitForStarted(20000));
    auto stopServer = qScopeGuard([&server] {
        server.kill();
        server.waitForFinished(5000);
    });
    while (!server.canReadLine() && server.waitForReadyRead(20000)) {
    }
    const QString announced = QString::fromUtf8(server.readLine()).trimmed();
    const QRegularExpressionMatch port =
        QRegularExpression(QStringLiteral("http://127\\.0\\.0\\.1:(\\d+)/$")).match(announced);
    QVERIFY2(port.hasMatch(), qPrintable(announced));
    const QString root = QStringLiteral("http://127.0.0.1:%1/").arg(port.captured(1));
    m_env->setEnv("FX3MM_COMMUNITY_URL", root.toUtf8());

    QNetworkAccessManager network;
    QList<RepoMod> catalog;
    const Fetched trackhaven = fetch(network, builtInRepository().jsonUrl);
    QCOMPARE(trackhaven.status, 200);
    QCOMPARE(parseRepositoryDocument(trackhaven.body, builtInRepository(), catalog), 33);
    const Fetched external = fetch(network, root + QStringLiteral("external/external.json"));
    QCOMPARE(external.status, 200);
    QCOMPARE(parseRepositoryDocument(external.body, externalRepository(root), catalog), 5);

    const QString mods = m_env->makeDir(QStringLiteral("mods"));
    QSettings().setValue(QStringLiteral("paths/usermods"), mods);

    // Installs one downloaded mod and checks that it is the mod the catalog promised.
    auto install = [&](const QString &archive, const QString &name, const QString &version) -> bool {
        InstallResult result;
        QString error;
        if (!installFromArchive(archive, InstallOptions(), InstallPrompts(), &result, &error)) {
            qWarning("%s: %s", qPrintable(name), qPrintable(error));
            return false;
        }
        const QString folder = findModRoot(result.installedPath);
        return QFileInfo(result.installedPath).absolutePath() == QDir(mods).absolutePath() &&
               metadataName(folder) == name && metadataVersion(folder) == version;
    };

    int installed = 0;
    for (const RepoMod &mod : std::as_const(catalog)) {
        if (mod.isTool || mod.downloadUrl.isEmpty())
            continue;
        const QString folder = work.filePath(QStringLiteral("download-") + mod.id);
        QVERIFY(QDir().mkpath(folder));
        QString first;
        const QList<RepoModPart> volumes = volumesOf(mod);
        for (const RepoModPart &volume : volumes) {
            const Fetched file = fetch(network, volume.url);
            if (mod.id == missingDownloadEntry) {
                QCOMPARE(file.status, 404);
                break;
            }
            QVERIFY2(file.status == 200 && !file.body.isEmpty(), qPrintable(volume.url));
            QVERIFY(writeTestFile(folder + QLatin1Char('/') + volume.fileName, file.body));
            if (first.isEmpty())
                first = folder + QLatin1Char('/') + volume.fileName;
        }
        // Debian's 7-Zip comes without the RAR codec; the RAR sets are checked up to their download.
        if (first.isEmpty() || first.endsWith(QLatin1String(".rar")))
            continue;
        QVERIFY2(install(first, mod.name, mod.version), qPrintable(mod.id));
        ++installed;
    }
    QCOMPARE(installed, 29);

    // The entries outside the catalog: their pages link the download the way the program looks for it.
    const QJsonObject pages = entryPages();
    for (auto it = pages.constBegin(); it != pages.constEnd(); ++it) {
        const QJsonObject page = it.value().toObject();
        const Fetched html = fetch(network, root + QStringLiteral("filebase/entry/%1/").arg(it.key()));
        QCOMPARE(html.status, 200);
        const QRegularExpression link(
            QStringLiteral("(?:https?://127\\.0\\.0\\.1:%1)?(/filebase/(?:entry-download/%2/|index\\.php/"
                           "EntryDownload/%2/)[^\"'<>\\s]*)")
                .arg(port.captured(1), it.key()));
        const QRegularExpressionMatch found =
            link.match(QString::fromUtf8(html.body).replace(QLatin1String("&amp;"), QLatin1String("&")));
        QVERIFY2(found.hasMatch(), html.body.constData());
        const Fetched file = fetch(network, root.chopped(1) + found.captured(1));
        QCOMPARE(file.status, 200);
        const QString fileName = page.value(QLatin1String("file")).toString();
        QCOMPARE(file.disposition, QByteArray("attachment; filename=\"" + fileName.toUtf8() + '"'));
        const QString archive = work.filePath(fileName);
        QVERIFY(writeTestFile(archive, file.body));
        QVERIFY(install(archive, page.value(QLatin1String("name")).toString(),
                        page.value(QLatin1String("version")).toString()));
    }

    QCOMPARE(fetch(network, root + QStringLiteral("filebase/entry/4242/")).status, 404);
    QCOMPARE(fetch(network, root + QStringLiteral("files/..%2Frepository%2Ffx3-v3.json")).status, 404);
}

QTEST_GUILESS_MAIN(TestExampleRepository)
#include "tst_examplerepository.moc"
