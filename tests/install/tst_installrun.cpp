#include "app/settings.h"
#include "catalog/dependencyresolution.h"
#include "catalog/repositorylist.h"
#include "install/installrun.h"
#include "installfixtures.h"
#include "localmods/installmarker.h"
#include "localmods/modmatching.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>

#include <memory>

namespace {

Tree modFiles(const QString &name, const QString &version, const QByteArray &extra = QByteArray())
{
    Tree tree;
    tree.insert(QStringLiteral("mod.json"), QJsonDocument(QJsonObject{{QStringLiteral("name"), name},
                                                                      {QStringLiteral("version"), version}})
                                                .toJson());
    tree.insert(QStringLiteral("mod.lua"), "function data() return {} end\n");
    tree.insert(QStringLiteral("res/models/") + version + QStringLiteral(".mdl"),
                "model " + version.toUtf8());
    if (!extra.isEmpty())
        tree.insert(QStringLiteral("res/extra.txt"), extra);
    return tree;
}

QJsonObject markerOf(const QString &folder)
{
    return readInstallMarker(folder).value_or(QJsonObject());
}

// One player, one catalog, one community site on 127.0.0.1, and a fresh mods folder.
struct Fixture
{
    InstallSandbox box;
    FakeHttpServer server;
    QNetworkAccessManager manager;
    QString modsDir = box.mods;
    QString modIoDir = box.env.makeDir(QStringLiteral("modio"));
    QString tempDir = box.env.makeDir(QStringLiteral("tmp"));
    QList<RepoMod> catalog;

    int hiddenBars = 0;
    QList<DependencyQuestion> questions;
    QStringList overwriteQuestions;
    bool cancelled = false;
    QString cancelledText;

    Fixture()
    {
        box.env.setEnv("FX3MM_COMMUNITY_URL", server.url(QStringLiteral("/")).toUtf8());
        QSettings().setValue(QStringLiteral("performance/auto_check"), false);
    }

    // A 7z archive holding one folder with the mod's files, made by the real 7-Zip.
    QByteArray archive(const QString &folder, const Tree &files)
    {
        return readTestFile(
            box.archive(folder + QStringLiteral(".7z"), below(folder + QLatin1Char('/'), files)));
    }

    RepoMod addEntry(const QString &id, const QString &name, const QString &version,
                     const QList<RepoDependency> &dependencies = {})
    {
        RepoMod mod;
        mod.id = id;
        mod.name = name;
        mod.version = version;
        mod.fileName = name + QStringLiteral(".7z");
        mod.downloadUrl = server.url(QStringLiteral("/files/%1.7z").arg(id));
        mod.repositoryName = QStringLiteral("Trackhaven");
        mod.repositoryJsonUrl = builtInRepository().jsonUrl;
        mod.dependencies = dependencies;
        server.setResponse(QStringLiteral("/files/%1.7z").arg(id).toUtf8(), 200,
                           archive(name, modFiles(name, version)));
        catalog.append(mod);
        return mod;
    }

    std::unique_ptr<RepositoryInstallRun> run()
    {
        RepositoryInstallContext context;
        context.catalog = catalog;
        context.hideProgress = [this] {
            ++hiddenBars;
        };
        context.download.isCancelled = [this] {
            return cancelled;
        };
        context.download.cancelledText = cancelledText;
        context.askAboutDependencies = [this](const DependencyQuestion &question) {
            questions.append(question);
            return DependencyAnswer::InstallMissing;
        };
        context.prompts.confirmOverwrite = [this](const QString &, const QString &text) {
            overwriteQuestions.append(text);
            return false;
        };
        const QList<RepoMod> snapshot = catalog;
        context.rescanLocalMods = [this, snapshot] {
            LocalModFolders folders;
            folders.userModsPath = modsDir;
            folders.modIoModsPath = modIoDir;
            LocalScanResult result = scanLocalMods(folders);
            linkLocalModsToCatalog(result.mods, snapshot);
            return result;
        };
        context.temporaryFolder = tempDir;
        return std::make_unique<RepositoryInstallRun>(manager, context);
    }

    // Paths below /files/ and the community's download links, in request order.
    QStringList downloads() const
    {
        QStringList paths;
        for (const RecordedRequest &request : server.requests()) {
            if (!request.path.startsWith("/filebase/entry/"))
                paths.append(QString::fromUtf8(request.path));
        }
        return paths;
    }
};

RepoMod catalogEntry(const QString &id, const QString &name, const QString &repository = QString())
{
    RepoMod mod;
    mod.id = id;
    mod.name = name;
    mod.repositoryJsonUrl = repository;
    return mod;
}

RepoDependency dependency(const QString &id, const QString &name = QString(),
                          const QString &minVersion = QString())
{
    RepoDependency d;
    d.source = id.isEmpty() ? QString() : QStringLiteral("webdisk");
    d.id = id;
    d.name = name;
    d.minVersion = minVersion;
    d.repositoryUrl = builtInRepository().jsonUrl;
    return d;
}

} // namespace

class InstallRunTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();

    void findsCatalogEntries_data();
    void findsCatalogEntries();
    void checksInstalledDependencies_data();
    void checksInstalledDependencies();

    void findsDirectDownloads();
    void findsCommunityLinks_data();
    void findsCommunityLinks();
    void installsDependenciesFirst();
    void resolvesThroughTheEntryPage();
    void blocksOnMissingDependencies_data();
    void blocksOnMissingDependencies();
    void replacesTooOldDependency_data();
    void replacesTooOldDependency();
    void cancelWhileReadingEntryPage();
    void keepsIdlessDependencies();
    void writesMarkerOnlyForCopiedContent();
    void failedInstallHidesProgress_data();
    void failedInstallHidesProgress();
};

void InstallRunTest::initTestCase()
{
    if (QStandardPaths::findExecutable(QStringLiteral("7zz")).isEmpty())
        QSKIP("7zz is not installed");
}

void InstallRunTest::findsCatalogEntries_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("repository");
    QTest::addColumn<int>("expected");

    // Catalog: 0 "7" of the external repository, 1 "7" of the community, 2 a long name that contains the
    // next one, 3 the exact name, 4 a short name.
    const auto row = [](const char *tag, const char *id, const char *name, const char *repository,
                        int expected) {
        QTest::newRow(tag) << id << name << repository << expected;
    };
    row("id, own repository preferred", "7", "", "community", 1);
    row("id of another repository: the first in catalog order", "7", "", "other", 0);
    row("exact name beats an earlier containing name", "", "Stadtbahn Basis", "", 3);
    row("unknown id falls back to the name", "99", "<b>Kurz</b>", "", 4);
    row("key of 8 contained", "", "Stadtbah", "", 2);
    row("key of 7 not contained", "", "Stadtba", "", -1);
    row("containing key of 8", "", "Kurz Stadtbahn Basis Erweiterung Extra", "", 2);
}

void InstallRunTest::findsCatalogEntries()
{
    QFETCH(QString, id);
    QFETCH(QString, name);
    QFETCH(QString, repository);
    QFETCH(int, expected);

    TestEnvironment env;
    const QString community = builtInRepository().jsonUrl;
    const QList<RepoMod> catalog = {
        catalogEntry(QStringLiteral("7"), QStringLiteral("Extern"),
                     QStringLiteral("https://other.example/repo.json")),
        catalogEntry(QStringLiteral("7"), QStringLiteral("Gemeinschaft"), community),
        catalogEntry(QStringLiteral("30"), QStringLiteral("Stadtbahn Basis Erweiterung"), community),
        catalogEntry(QStringLiteral("31"), QStringLiteral("Stadtbahn-Basis"), community),
        catalogEntry(QStringLiteral("32"), QStringLiteral("Kurz"), community),
    };
    RepoDependency d = dependency(id, name);
    d.repositoryUrl = repository == QLatin1String("community") ? community.toUpper()
                      : repository == QLatin1String("other")   ? QStringLiteral("https://x.example/r.json")
                                                               : QString();
    QCOMPARE(findDependencyEntry(d, catalog), expected);
}

void InstallRunTest::checksInstalledDependencies_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("minVersion");
    QTest::addColumn<QString>("repository"); // empty: the community's
    QTest::addColumn<QStringList>("remembered");
    QTest::addColumn<bool>("installed");

    // Local mods: "Signal Pack" 1.0 (folder signal_pack), "Signal Pack Deluxe" 3.0, an unnamed folder
    // "bruecke_alt" 2.0, "Tunnel Set" 1.0, "Gleisbau Paket" 1.0 and "Signalbr" 1.0. The catalog knows entry
    // 40 "Tunnel Set", installed, and 41 "Bahnsteig Set", which is not.
    const QStringList none;
    const auto row = [](const char *tag, const char *id, const char *name, const char *minVersion,
                        const QString &repository, const QStringList &remembered, bool installed) {
        QTest::newRow(tag) << id << name << minVersion << repository << remembered << installed;
    };
    row("catalog entry installed", "40", "", "", "", none, true);
    row("catalog entry installed, too old", "40", "", "1.0.1", "", none, false);
    row("catalog entry not installed, same name key elsewhere", "41", "Signal Pack", "", "", none, false);
    row("folder name, minimum met", "", "bruecke alt", "2.0", "", none, true);
    row("equal version is enough", "", "Signal Pack Deluxe", "3.0", "", none, true);
    row("exact name too old, longer name newer", "", "Signal Pack", "2.0", "", none, false);
    row("key of 8 contained in a local name", "", "Gleisbau", "", "", none, true);
    row("key of 7 is not", "", "Gleisba", "", "", none, false);
    row("local name of 8 contained in the key", "", "Signalbrücke Nord", "", "", none, true);
    row("remembered id without catalog entry", "55", "", "", "", {"55"}, true);
    row("remembered id does not satisfy a minimum version", "55", "", "1.0", "", {"55"}, false);
    row("remembered id ignored with catalog entry", "41", "", "", "", {"41"}, false);
    row("remembered id, the community's address spelled otherwise", "55", "", "", "COMMUNITY", {"55"}, true);
    row("remembered id of another repository", "55", "", "", "https://x.example/r.json", {"55"}, false);
    row("remembered key with its repository", "55", "", "", "https://x.example/r.json",
        {"https://x.example/r.json|55"}, true);
}

void InstallRunTest::checksInstalledDependencies()
{
    QFETCH(QString, id);
    QFETCH(QString, name);
    QFETCH(QString, minVersion);
    QFETCH(QString, repository);
    QFETCH(QStringList, remembered);
    QFETCH(bool, installed);

    TestEnvironment env;
    auto local = [](const QString &folder, const QString &modName, const QString &version) {
        LocalMod mod;
        mod.folderName = folder;
        mod.name = modName;
        mod.path = QStringLiteral("/mods/") + folder;
        mod.version = mod.filesVersion = version;
        return mod;
    };
    const QString one = QStringLiteral("1.0");
    const QList<LocalMod> mods = {
        local(QStringLiteral("signal_pack"), QStringLiteral("Signal Pack"), one),
        local(QStringLiteral("spd"), QStringLiteral("Signal Pack Deluxe"), QStringLiteral("3.0")),
        local(QStringLiteral("bruecke_alt"), QStringLiteral("bruecke_alt"), QStringLiteral("2.0")),
        local(QStringLiteral("ts"), QStringLiteral("Tunnel Set"), one),
        local(QStringLiteral("gp"), QStringLiteral("Gleisbau Paket"), one),
        local(QStringLiteral("sb"), QStringLiteral("Signalbr"), one),
    };
    const QList<RepoMod> catalog = {catalogEntry(QStringLiteral("40"), QStringLiteral("Tunnel Set")),
                                    catalogEntry(QStringLiteral("41"), QStringLiteral("Bahnsteig Set"))};
    RepoDependency d = dependency(id, name, minVersion);
    if (!repository.isEmpty())
        d.repositoryUrl =
            repository == QLatin1String("COMMUNITY")
                ? QStringLiteral(" ") + builtInRepository().jsonUrl.toUpper() + QStringLiteral(" ")
                : repository;
    QCOMPARE(isDependencyInstalled(d, catalog, mods, remembered), installed);
}

void InstallRunTest::findsDirectDownloads()
{
    RepoDependency d = dependency(QStringLiteral("7"), QString(), QStringLiteral("2.0"));
    d.entryUrl = QStringLiteral(" https://c.example/filebase/entry/7/ ");
    QCOMPARE(directDownloadUrl(d), QString());
    d.entryUrl = QStringLiteral("https://c.example/filebase/index.php/EntryDownload/7/");
    QCOMPARE(directDownloadUrl(d), d.entryUrl);
    d.entryUrl = QStringLiteral("https://c.example/filebase/ENTRY-DOWNLOAD/7/");
    QCOMPARE(directDownloadUrl(d), d.entryUrl);
    d.downloadUrl = QStringLiteral(" https://c.example/f.zip ");
    QCOMPARE(directDownloadUrl(d), QStringLiteral("https://c.example/f.zip"));
    // Installed in the version the dependency asks for, under a name even when the repository gave none.
    const RepoMod mod = modFromDirectDownload(d, directDownloadUrl(d));
    QCOMPARE(QStringList({mod.id, mod.name, mod.version, mod.downloadUrl}),
             QStringList({"7", "Benötigte Modifikation", "2.0", "https://c.example/f.zip"}));
}

void InstallRunTest::findsCommunityLinks_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("expected"); // below the community site http://127.0.0.1:8765

    const auto row = [](const char *tag, const char *page, const char *expected) {
        QTest::newRow(tag) << page << expected;
    };
    row("relative link, &amp; decoded", "<a href=\"/filebase/entry-download/500/?t=1&amp;s=2\">",
        "/filebase/entry-download/500/?t=1&s=2");
    row("absolute link, older form", "href='http://127.0.0.1:8765/filebase/index.php/EntryDownload/500/?f=3'",
        "/filebase/index.php/EntryDownload/500/?f=3");
    row("after another site's link",
        "https://mirror.example/filebase/entry-download/500/ /filebase/entry-download/500/x",
        "/filebase/entry-download/500/x");
    row("other site only", "<a href=\"https://mirror.example/filebase/entry-download/500/\">", "");
    row("community host on another port", "http://127.0.0.1:9999/filebase/entry-download/500/", "");
    row("path inside another link", "https://x.example/a/filebase/entry-download/500/", "");
    row("another entry's download", "<a href=\"/filebase/entry-download/5001/\">", "");
}

void InstallRunTest::findsCommunityLinks()
{
    QFETCH(QString, page);
    QFETCH(QString, expected);
    TestEnvironment env;
    env.setEnv("FX3MM_COMMUNITY_URL", "http://127.0.0.1:8765/");
    QCOMPARE(findEntryDownloadLink(page, QStringLiteral("500")),
             expected.isEmpty() ? QString() : QStringLiteral("http://127.0.0.1:8765") + expected);
}

void InstallRunTest::installsDependenciesFirst()
{
    Fixture fixture;
    // Alpha needs the requested mod and itself: the cycle ends without a second question or download.
    const RepoMod alpha =
        fixture.addEntry(QStringLiteral("11"), QStringLiteral("Alpha Track Kit"), "1.0",
                         {dependency(QStringLiteral("10")), dependency(QStringLiteral("11"))});
    fixture.addEntry(QStringLiteral("12"), QStringLiteral("Beta Signal Pack"), "2.0");
    const RepoMod main = fixture.addEntry(
        QStringLiteral("10"), QStringLiteral("Main Line"), "3.0",
        {dependency(QStringLiteral("11")), dependency(QString(), QStringLiteral("beta signal-pack"))});

    QString error;
    const auto run = fixture.run();
    QVERIFY2(run->install(main, &error), qPrintable(error));
    QVERIFY(run->warnings().isEmpty());
    QCOMPARE(fixture.downloads(), (QStringList{"/files/11.7z", "/files/12.7z", "/files/10.7z"}));
    QCOMPARE(fixture.questions.size(), 1);
    QCOMPARE(fixture.questions.first().text,
             QStringLiteral("Dieser Mod benötigt zusätzlich folgende Modifikationen:\n\n"
                            "Alpha Track Kit\nbeta signal-pack"));
    QCOMPARE(entriesOf(fixture.modsDir), (QStringList{"Alpha Track Kit", "Beta Signal Pack", "Main Line"}));
    // Only the dependency with an id can be remembered.
    QCOMPARE(installedDependencyIds(), QStringList{alpha.id});
    QVERIFY(entriesOf(fixture.tempDir).isEmpty());
}

void InstallRunTest::resolvesThroughTheEntryPage()
{
    // A link to another site is not read as the entry's page; the community's page of the id is. On it, only
    // the community's own download link of this entry counts.
    const QByteArray page = "/filebase/entry/500/";
    Fixture fixture;
    fixture.server.setResponse(
        page, 200,
        "<html><a href=\"https://mirror.example/filebase/entry-download/500/\">Mirror</a>"
        "<a href=\"/filebase/entry-download/5001/\">Another entry</a>"
        "<a class=\"button\" href=\"/filebase/entry-download/500/?t=9&amp;x=1\">Download</a>",
        "text/html");
    fixture.server.setResponse(
        "/filebase/entry-download/500/", 200,
        fixture.archive(QStringLiteral("Gamma Bridge"),
                        modFiles(QStringLiteral("Gamma Bridge"), QStringLiteral("4.0"))));
    RepoDependency gamma = dependency(QStringLiteral("500"));
    gamma.entryUrl = QStringLiteral("https://mirror.example/filebase/entry/500/");
    const RepoMod main = fixture.addEntry(QStringLiteral("10"), QStringLiteral("Main Line"), "1.0", {gamma});

    QString error;
    QVERIFY2(fixture.run()->install(main, &error), qPrintable(error));
    QCOMPARE(fixture.server.requestCount(page), 1);
    QCOMPARE(fixture.downloads(), (QStringList{"/filebase/entry-download/500/?t=9&x=1", "/files/10.7z"}));
    QCOMPARE(fixture.questions.first().text.section(QLatin1Char('\n'), 2),
             QStringLiteral("Benötigte Modifikation 500"));
    const QJsonObject marker = markerOf(fixture.modsDir + QStringLiteral("/Gamma Bridge"));
    QCOMPARE(marker.value(QStringLiteral("repo_entry_id")).toString(), QStringLiteral("500"));
    QCOMPARE(marker.value(QStringLiteral("name")).toString(), QStringLiteral("Benötigte Modifikation 500"));
    QCOMPARE(installedDependencyIds(), QStringList{"500"});
}

void InstallRunTest::blocksOnMissingDependencies_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("line");

    QTest::newRow("failing entry page") << "page404"
                                        << "webdisk:500 – Abhängigkeit 500 konnte nicht aufgelöst werden: ";
    QTest::newRow("repository offers an older version")
        << "older"
        << "Alpha Track Kit (mindestens Version 2.5) – Repository bietet nur Version 2.1";
    // An update run has a cancel text of its own; a failing page is still no cancel.
    QTest::newRow("failing entry page, update")
        << "page404 update"
        << "webdisk:500 – Abhängigkeit 500 konnte nicht aufgelöst werden: ";
    QTest::newRow("catalog entry without file") << "noFile"
                                                << "Alpha Track Kit – keine Download-Datei im Repository";
}

void InstallRunTest::blocksOnMissingDependencies()
{
    QFETCH(QString, kind);
    QFETCH(QString, line);

    Fixture fixture;
    RepoDependency required = dependency(QStringLiteral("500"));
    if (kind == QLatin1String("older") || kind == QLatin1String("noFile")) {
        fixture.addEntry(QStringLiteral("11"), QStringLiteral("Alpha Track Kit"), QStringLiteral("2.1"));
        required = dependency(QStringLiteral("11"), QString(), kind == QLatin1String("older") ? "2.5" : "");
        if (kind == QLatin1String("noFile")) {
            fixture.catalog.last().downloadUrl.clear();
            // The community page has no file either.
            fixture.server.setResponse("/filebase/entry/11/", 200, "<p>-</p>", "text/html");
        }
    }
    const RepoMod main =
        fixture.addEntry(QStringLiteral("10"), QStringLiteral("Main Line"), "1.0", {required});

    QString error;
    if (kind.endsWith(QLatin1String("update"))) {
        fixture.cancelledText = QStringLiteral("Update abgebrochen.");
        QVERIFY(!fixture.run()->update(main, fixture.modsDir + QStringLiteral("/Main Line"), &error));
    } else {
        QVERIFY(!fixture.run()->install(main, &error));
    }
    const QString intro =
        QStringLiteral("Folgende benötigte Modifikationen fehlen und konnten nicht automatisch "
                       "aufgelöst werden:\n\n");
    QVERIFY2(error.startsWith(intro + line), qPrintable(error));
    QCOMPARE(error.count(QLatin1Char('\n')), 2);
    QVERIFY(fixture.questions.isEmpty());
    QVERIFY(fixture.downloads().isEmpty());
    QVERIFY(entriesOf(fixture.modsDir).isEmpty());
    QVERIFY(installedDependencyIds().isEmpty());
}

void InstallRunTest::replacesTooOldDependency_data()
{
    QTest::addColumn<QString>("installedVersion");
    QTest::addColumn<bool>("inModIoFolder");
    QTest::addColumn<bool>("replaced");

    QTest::newRow("too old: replaced") << "1.0" << false << true;
    QTest::newRow("just new enough: kept") << "2.0" << false << false;
    QTest::newRow("too old in the mod.io folder: refused") << "1.0" << true << false;
}

void InstallRunTest::replacesTooOldDependency()
{
    QFETCH(QString, installedVersion);
    QFETCH(bool, inModIoFolder);
    QFETCH(bool, replaced);

    Fixture fixture;
    const QString folder = inModIoFolder ? fixture.modIoDir + QStringLiteral("/4711")
                                         : fixture.modsDir + QStringLiteral("/Alpha Track Kit");
    writeTree(folder, modFiles(QStringLiteral("Alpha Track Kit"), installedVersion, "only in the old copy"));
    QVERIFY(writeInstallMarker(folder, QJsonObject{{QStringLiteral("repo_entry_id"), QStringLiteral("11")},
                                                   {QStringLiteral("version"), installedVersion}}));
    const Tree before = treeOf(folder);
    fixture.addEntry(QStringLiteral("11"), QStringLiteral("Alpha Track Kit"), QStringLiteral("2.0"));
    const RepoMod main =
        fixture.addEntry(QStringLiteral("10"), QStringLiteral("Main Line"), "1.0",
                         {dependency(QStringLiteral("11"), QString(), QStringLiteral("2.0"))});

    QString error;
    const bool ok = fixture.run()->install(main, &error);
    QVERIFY(fixture.overwriteQuestions.isEmpty());
    if (inModIoFolder) {
        QVERIFY(!ok);
        QVERIFY2(error.contains(QStringLiteral("über mod.io installiert")), qPrintable(error));
        QVERIFY(fixture.downloads().isEmpty());
        QCOMPARE(treeOf(folder), before);
        QVERIFY(entriesOf(fixture.modsDir).isEmpty());
        return;
    }
    QVERIFY2(ok, qPrintable(error));
    QCOMPARE(entriesOf(fixture.modsDir), (QStringList{"Alpha Track Kit", "Main Line"}));
    if (replaced) {
        QCOMPARE(fixture.questions.first().text.section(QLatin1Char('\n'), 2),
                 QStringLiteral("Alpha Track Kit (mindestens Version 2.0)"));
        const Tree after = treeOf(folder);
        QVERIFY(!after.contains(QStringLiteral("res/extra.txt")));
        QVERIFY(after.contains(QStringLiteral("res/models/2.0.mdl")));
        QCOMPARE(markerOf(folder).value(QStringLiteral("version")).toString(), QStringLiteral("2.0"));
        QCOMPARE(fixture.downloads(), (QStringList{"/files/11.7z", "/files/10.7z"}));
    } else {
        QVERIFY(fixture.questions.isEmpty());
        QCOMPARE(treeOf(folder), before);
        QCOMPARE(fixture.downloads(), QStringList{"/files/10.7z"});
    }
}

void InstallRunTest::cancelWhileReadingEntryPage()
{
    Fixture fixture;
    fixture.server.setResponse("/filebase/entry/500/", 200,
                               "<a href=\"/filebase/entry-download/500/\">x</a>");
    const RepoMod main =
        fixture.addEntry(QStringLiteral("10"), QStringLiteral("Main Line"), "1.0",
                         {dependency(QStringLiteral("500")), dependency(QStringLiteral("501"))});
    fixture.cancelled = true;
    fixture.cancelledText = QStringLiteral("Update abgebrochen.");

    // The cancel ends the whole request at once; it is not reported as an unresolved dependency.
    QString error;
    QVERIFY(!fixture.run()->update(main, fixture.modsDir + QStringLiteral("/Main Line"), &error));
    QCOMPARE(error, fixture.cancelledText);
    QVERIFY(fixture.questions.isEmpty());
    QVERIFY(fixture.downloads().isEmpty());
    QVERIFY(fixture.server.requestCount("/filebase/entry/501/") == 0);
}

void InstallRunTest::keepsIdlessDependencies()
{
    Fixture fixture;
    auto direct = [&fixture](const QString &name, const QString &path) {
        RepoDependency d = dependency(QString(), name);
        d.repositoryUrl = QStringLiteral("https://other.example/repo.json");
        d.downloadUrl = fixture.server.url(path);
        return d;
    };
    for (const QString &name : {QStringLiteral("Delta Depot"), QStringLiteral("Echo Bridge")})
        fixture.server.setResponse("/direct/" + name.left(1).toUtf8() + ".7z", 200,
                                   fixture.archive(name, modFiles(name, QStringLiteral("1.0"))));
    const RepoMod main =
        fixture.addEntry(QStringLiteral("10"), QStringLiteral("Main Line"), "1.0",
                         {direct(QStringLiteral("Delta Depot"), QStringLiteral("/direct/D.7z")),
                          direct(QStringLiteral("Echo Bridge"), QStringLiteral("/direct/E.7z")),
                          direct(QStringLiteral("Delta Depot (Mirror)"), QStringLiteral("/direct/D.7z"))});

    QString error;
    QVERIFY2(fixture.run()->install(main, &error), qPrintable(error));
    QCOMPARE(fixture.questions.first().text.section(QLatin1Char('\n'), 2),
             QStringLiteral("Delta Depot\nEcho Bridge"));
    QCOMPARE(fixture.downloads(), (QStringList{"/direct/D.7z", "/direct/E.7z", "/files/10.7z"}));
    QCOMPARE(entriesOf(fixture.modsDir), (QStringList{"Delta Depot", "Echo Bridge", "Main Line"}));
    QVERIFY(installedDependencyIds().isEmpty());
}

// A folder the player keeps holds the old version; a marker would claim the new one.
void InstallRunTest::writesMarkerOnlyForCopiedContent()
{
    Fixture fixture;
    const QString folder = fixture.modsDir + QStringLiteral("/Main Line");
    writeTree(folder, modFiles(QStringLiteral("Main Line"), QStringLiteral("0.9")));
    const Tree before = treeOf(folder);
    const RepoMod main = fixture.addEntry(QStringLiteral("10"), QStringLiteral("Main Line"), "1.0");

    QString error;
    QVERIFY(fixture.run()->downloadAndInstallRepositoryMod(main, &error, true, QString(), false));
    QVERIFY(error.isEmpty());
    QCOMPARE(fixture.overwriteQuestions.size(), 1);
    QVERIFY(!readInstallMarker(folder));
    QCOMPARE(treeOf(folder), before);
    QVERIFY(entriesOf(fixture.tempDir).isEmpty());
}

void InstallRunTest::failedInstallHidesProgress_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("error");
    QTest::newRow("download fails") << 404 << "Download fehlgeschlagen: ";
    QTest::newRow("archive does not unpack") << 200 << "";
}

void InstallRunTest::failedInstallHidesProgress()
{
    QFETCH(int, status);
    QFETCH(QString, error);
    Fixture fixture;
    const RepoMod main = fixture.addEntry(QStringLiteral("10"), QStringLiteral("Main Line"), "1.0");
    fixture.server.setResponse("/files/10.7z", status, "not an archive");

    QString message;
    QVERIFY(!fixture.run()->install(main, &message));
    QVERIFY2(!message.isEmpty() && message.startsWith(error), qPrintable(message));
    QCOMPARE(fixture.hiddenBars, 1);
    QVERIFY(entriesOf(fixture.modsDir).isEmpty());
    QVERIFY(entriesOf(fixture.tempDir).isEmpty());
}

QTEST_GUILESS_MAIN(InstallRunTest)
#include "tst_installrun.moc"
