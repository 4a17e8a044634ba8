// The demo catalog in examples/ must fit the program: its documents are parsed as the program parses them,
// and the last test builds the archives, starts the demo server and installs every listed mod from it.

#include "app/appinfo.h"
#include "catalog/catalogfilter.h"
#include "catalog/dependencyresolution.h"
#include "catalog/repositorylist.h"
#include "catalog/repositoryparser.h"
#include "install/download.h"
#include "install/installer.h"
#include "localmods/modmetadata.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
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

// The entry that is listed on purpose with a file the server does not have.
const QString missingDownloadEntry = QStringLiteral("1027");

// A GET as the catalog sends it: the body, empty when the request failed.
QByteArray fetch(QNetworkAccessManager &network, const QString &url, int *status = nullptr)
{
    QByteArray body;
    fetchUrl(network, RequestKind::CatalogDocument, url, &body, status);
    return body;
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
    QCOMPARE(
        parseRepositoryDocument(fetch(network, builtInRepository().jsonUrl), builtInRepository(), catalog),
        33);
    QCOMPARE(parseRepositoryDocument(fetch(network, root + QStringLiteral("external/external.json")),
                                     externalRepository(root), catalog),
             5);

    const QString mods = m_env->makeDir(QStringLiteral("mods"));
    QSettings().setValue(QStringLiteral("paths/usermods"), mods);
    // Downloads and installs one mod the way the program does, and checks that it is the promised one.
    auto install = [&](const RepoMod &mod, const QString &name, const QString &version) -> QString {
        const QString folder = m_env->makeDir(QStringLiteral("download-") + mod.id);
        QString first;
        QString error;
        if (!downloadRepositoryArchives(network, mod, folder, {}, &first, &error))
            return error;
        // Debian's 7-Zip comes without the RAR codec; the RAR sets are checked up to their download.
        if (first.endsWith(QLatin1String(".rar")))
            return QStringLiteral("rar");
        InstallResult result;
        if (!installFromArchive(first, InstallOptions(), InstallPrompts(), &result, &error))
            return error;
        const QString root = findModRoot(result.installedPath);
        if (QFileInfo(result.installedPath).absolutePath() != QDir(mods).absolutePath() ||
            metadataName(root) != name || metadataVersion(root) != version)
            return QStringLiteral("wrong mod: ") + root;
        return QFileInfo(first).fileName();
    };

    int installed = 0;
    for (const RepoMod &mod : std::as_const(catalog)) {
        if (mod.isTool || mod.downloadUrl.isEmpty())
            continue;
        const QString outcome = install(mod, mod.name, mod.version);
        if (mod.id == missingDownloadEntry) {
            QVERIFY2(outcome.startsWith(QStringLiteral("Download fehlgeschlagen: ")), qPrintable(outcome));
            continue;
        }
        QVERIFY2(outcome == QLatin1String("rar") ||
                     outcome == repositoryDownloadVolumes(mod).first().fileName,
                 qPrintable(mod.id + QStringLiteral(": ") + outcome));
        installed += outcome == QLatin1String("rar") ? 0 : 1;
    }
    QCOMPARE(installed, 29);

    // The entries outside the catalog: their pages link the download the way the program looks for it, and
    // the server names the file.
    const QJsonObject pages = entryPages();
    for (auto it = pages.constBegin(); it != pages.constEnd(); ++it) {
        const QJsonObject page = it.value().toObject();
        const QString link = findEntryDownloadLink(
            QString::fromUtf8(fetch(network, root + QStringLiteral("filebase/entry/%1/").arg(it.key()))),
            it.key());
        QVERIFY2(!link.isEmpty(), qPrintable(it.key()));
        RepoMod mod;
        mod.id = it.key();
        mod.name = page.value(QLatin1String("name")).toString();
        mod.downloadUrl = link;
        QCOMPARE(install(mod, mod.name, page.value(QLatin1String("version")).toString()),
                 page.value(QLatin1String("file")).toString());
    }

    int status = 0;
    fetch(network, root + QStringLiteral("filebase/entry/4242/"), &status);
    QCOMPARE(status, 404);
    fetch(network, root + QStringLiteral("files/..%2Frepository%2Ffx3-v3.json"), &status);
    QCOMPARE(status, 404);
}

QTEST_GUILESS_MAIN(TestExampleRepository)
#include "tst_examplerepository.moc"
