// The demo catalog in examples/ must fit the program: its documents are parsed as the program parses them,
// and the last test builds the archives, starts the demo server and installs every listed mod from it.

#include "app/appinfo.h"
#include "catalog/catalogfilter.h"
#include "catalog/repositorylist.h"
#include "catalog/repositoryparser.h"
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
    void downloads_data();
    void downloads();
    void dependencies_data();
    void dependencies();
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
        QVERIFY2(!mod.version.isEmpty() && !mod.author.isEmpty(), qPrintable(mod.id));
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

void TestExampleRepository::downloads_data()
{
    QTest::addColumn<QString>("document");
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("version");
    QTest::addColumn<QStringList>("files"); // one archive, or the volumes of a set in order
    auto row = [](const char *name, const char *document, const char *id, const char *version,
                  const QStringList &files) {
        QTest::newRow(name) << QString::fromLatin1(document) << QString::fromLatin1(id)
                            << QString::fromLatin1(version) << files;
    };
    row("1.10 beats 1.9", "trackhaven", "1005", "1.10", {"vt98_schienenbus_1_10.zip"});
    row("announced version without file", "trackhaven", "1009", "3.0", {});
    row("other key spellings", "trackhaven", "1031", "3.1", {"stellwerk_rangier_3_1.zip"});
    row("external absolute", "external", "ext-102", "1.2", {"koef2_rangierlok_1_2.zip"});
    row("7z.001", "trackhaven", "1003", "1.1",
        {"v200_diesellok_1_1.7z.001", "v200_diesellok_1_1.7z.002", "v200_diesellok_1_1.7z.003"});
    row("rar r00 r01, listed out of order", "trackhaven", "1012", "1.0",
        {"erzhafen_gueterbahnhof_1_0.rar", "erzhafen_gueterbahnhof_1_0.r00",
         "erzhafen_gueterbahnhof_1_0.r01"});
}

void TestExampleRepository::downloads()
{
    QFETCH(QString, document);
    QFETCH(QString, id);
    QFETCH(QString, version);
    QFETCH(QStringList, files);

    const RepoMod *mod = findEntry(catalogOf(document), id);
    QVERIFY(mod);
    QCOMPARE(mod->version, version);
    QStringList parts;
    for (const RepoModPart &part : mod->parts) {
        parts.append(part.fileName);
        QCOMPARE(part.index, int(parts.size()));
        QCOMPARE(part.url, demoRoot + QStringLiteral("files/") + part.fileName);
        QCOMPARE(parseArchiveVolumeName(part.fileName).groupKey,
                 parseArchiveVolumeName(mod->parts.first().fileName).groupKey);
    }
    if (files.size() > 1) {
        QCOMPARE(parts, files);
        QCOMPARE(mod->downloadUrl, mod->parts.first().url);
        QVERIFY(parseArchiveVolumeName(mod->fileName).isFirst);
        return;
    }
    QVERIFY(parts.isEmpty());
    QCOMPARE(mod->fileName, files.value(0));
    QCOMPARE(mod->downloadUrl,
             files.isEmpty() ? QString() : demoRoot + QStringLiteral("files/") + files.first());
}

void TestExampleRepository::dependencies_data()
{
    QTest::addColumn<QString>("document");
    QTest::addColumn<QString>("id");
    QTest::addColumn<QStringList>("expected"); // source|id|name|minimum version
    auto row = [](const char *name, const char *document, const char *id, const QStringList &expected) {
        QTest::newRow(name) << QString::fromLatin1(document) << QString::fromLatin1(id) << expected;
    };
    row("structured, two key sets", "trackhaven", "1004",
        {"webdisk|1020|FX3 Basisbibliothek|1.4", "webdisk|1022|Sound-Bibliothek Diesel|2.0"});
    row("text list with <br> and a name only", "trackhaven", "1007",
        {"webdisk|1020|FX3 Basisbibliothek|1.4", "||Kupplungs-Skriptpaket|"});
    row("field array: filebase id and link", "trackhaven", "1015",
        {"webdisk|9002||", "webdisk|1020|FX3 Basisbibliothek|"});
    row("version requirement >=", "trackhaven", "1019", {"||FX3 Basisbibliothek|1.3"});
    row("by name into another repository", "external", "ext-101", {"||E 44 Elektrolok|2.0"});
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
