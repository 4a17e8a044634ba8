#include "localmods/installmarker.h"
#include "localmods/localscan.h"
#include "localmods/modmetadata.h"
#include "testsupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QtTest>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <sys/types.h>
#endif

using FileMap = QMap<QString, QByteArray>;
Q_DECLARE_METATYPE(FileMap)

class LocalScanTest : public QObject
{
    Q_OBJECT

private slots:
    void modRootIsFoundUpToTwoLevelsDown_data();
    void modRootIsFoundUpToTwoLevelsDown();
    void nameAndVersionFromModLua_data();
    void nameAndVersionFromModLua();
    void nameAndVersionFromJsonMetadata_data();
    void nameAndVersionFromJsonMetadata();
    void previewFileIsChosenInOrder_data();
    void previewFileIsChosenInOrder();
    void markersOfNestedAndTopLevelFolders();
    void filesChangedAfterInstallationShowTheirOwnVersion();
    void foldersThatAreNoModsAreSkipped();
    void modIoFolderUsesTheClientState();
    void modIoFileIdsOfInstalledMods();
    void scanOfAllFoldersKeepsOrderAndDescribesTopLevels();
    void unreadableAndHostileFilesDoNotStopTheScan();
    void realModFolders();
};

namespace {

void writeFiles(const TestEnvironment &env, const QString &base, const FileMap &files)
{
    for (auto it = files.cbegin(); it != files.cend(); ++it) {
        if (it.key().endsWith('/'))
            env.makeDir(base + '/' + it.key());
        else
            env.writeFile(base + '/' + it.key(), it.value());
    }
}

const LocalMod *byFolder(const QList<LocalMod> &mods, const QString &folderName)
{
    for (const LocalMod &mod : mods) {
        if (mod.folderName == folderName)
            return &mod;
    }
    return nullptr;
}

QStringList folderNames(const QList<LocalMod> &mods)
{
    QStringList names;
    for (const LocalMod &mod : mods)
        names.append(mod.folderName);
    return names;
}

QString relative(const TestEnvironment &env, const QString &path)
{
    return QDir(env.root()).relativeFilePath(path);
}

} // namespace

void LocalScanTest::modRootIsFoundUpToTwoLevelsDown_data()
{
    QTest::addColumn<FileMap>("files");
    QTest::addColumn<QString>("root");
    QTest::addColumn<QString>("name");

    QTest::newRow("the folder itself") << FileMap{{"mod.lua", "name = \"Top\""}} << "mods/m"
                                       << "Top";
    QTest::newRow("res folder marks a root")
        << FileMap{{"res/", {}}, {"x/mod.lua", "name = 'Inner'"}} << "mods/m"
        << "m";
    QTest::newRow("only a sub-folder with mod.lua")
        << FileMap{{"Lok_v2/mod.lua", "info = { name = _(\"Inner Lok\") }"}} << "mods/m/Lok_v2"
        << "Inner Lok";
    QTest::newRow("first sub-folder by name")
        << FileMap{{"beta/mod.lua", "name = 'B'"}, {"Alpha/metadata.json", "{\"name\": \"A\"}"}}
        << "mods/m/Alpha"
        << "A";
    QTest::newRow("direct sub-folder before deeper ones")
        << FileMap{{"a/deep/mod.lua", "name = 'Deep'"}, {"b/mod.json", "{\"name\": \"Direct\"}"}}
        << "mods/m/b"
        << "Direct";
    QTest::newRow("two levels down") << FileMap{{"a/readme.txt", "x"},
                                                {"b/x/notes.txt", "x"},
                                                {"b/y/res/", {}},
                                                {"b/y/mod.lua", "name='Y'"}}
                                     << "mods/m/b/y"
                                     << "Y";
    QTest::newRow("three levels down is too deep") << FileMap{{"a/b/c/mod.lua", "name = 'Deep'"}} << "mods/m"
                                                   << "m";
    QTest::newRow("a file named res is enough") << FileMap{{"res", "x"}} << "mods/m"
                                                << "m";
}

void LocalScanTest::modRootIsFoundUpToTwoLevelsDown()
{
    QFETCH(FileMap, files);
    QFETCH(QString, root);
    QFETCH(QString, name);
    TestEnvironment env;
    env.makeDir("mods/m");
    writeFiles(env, "mods/m", files);
    const QList<LocalMod> mods = scanModFolder(env.root() + "/mods", manualSourceLabel());
    QCOMPARE(mods.size(), 1);
    QCOMPARE(relative(env, mods.first().contentRoot), root);
    QCOMPARE(relative(env, mods.first().path), QStringLiteral("mods/m"));
    QCOMPARE(mods.first().name, name);
    QCOMPARE(relative(env, findModRoot(env.root() + "/mods/m")), root);
}

void LocalScanTest::nameAndVersionFromModLua_data()
{
    QTest::addColumn<QByteArray>("lua");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("version");

    QTest::newRow("translation call")
        << QByteArray("info = { minorVersion = 0, name = _(\"Invisible Dam\") }") << "Invisible Dam"
        << "0";
    QTest::newRow("translation call with blanks and single quotes")
        << QByteArray("name   =   _(  ' Spaced Name '  ),") << "Spaced Name"
        << "";
    QTest::newRow("plain string") << QByteArray("name = \"Auto Line Namer 0.2.0\",")
                                  << "Auto Line Namer 0.2.0"
                                  << "";
    QTest::newRow("translated name wins over an earlier plain one")
        << QByteArray("authors = {{ name = \"Jan\" }},\nname = _(\"Real Name\"),") << "Real Name"
        << "";
    QTest::newRow("byte order mark") << QByteArray("\xEF\xBB\xBF"
                                                   "function data() name = _(\"mod_name\") end")
                                     << "mod_name"
                                     << "";
    QTest::newRow("name must be a word of its own")
        << QByteArray("myname = \"Hidden\"\nrealname = 'x'") << "m"
        << "";
    QTest::newRow("version string") << QByteArray("version = \"2.1.3-beta\", name = 'V'") << "V"
                                    << "2.1.3-beta";
    QTest::newRow("minorVersion number") << QByteArray("minorVersion = 12,\nseverity = 1") << "m"
                                         << "12";
    QTest::newRow("minGameVersion is not a version")
        << QByteArray("minGameVersion = 3,\nminorVersion = 1") << "m"
        << "1";
    QTest::newRow("version must start with a digit") << QByteArray("version = \"v1.0\"") << "m"
                                                     << "";
    QTest::newRow("umlauts in UTF-8") << QByteArray("name = \"Güterwagen Großraum\"") << "Güterwagen Großraum"
                                      << "";
}

void LocalScanTest::nameAndVersionFromModLua()
{
    QFETCH(QByteArray, lua);
    QFETCH(QString, name);
    QFETCH(QString, version);
    TestEnvironment env;
    env.writeFile("mods/m/mod.lua", lua);
    const QList<LocalMod> mods = scanModFolder(env.root() + "/mods", manualSourceLabel());
    QCOMPARE(mods.size(), 1);
    QCOMPARE(mods.first().name, name);
    QCOMPARE(mods.first().version, version);
    QCOMPARE(mods.first().filesVersion, version);
    QVERIFY(!mods.first().versionFromMarker);
    QCOMPARE(metadataVersion(env.root() + "/mods/m"), version);
}

void LocalScanTest::nameAndVersionFromJsonMetadata_data()
{
    QTest::addColumn<FileMap>("files");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("version");

    QTest::newRow("mod.json") << FileMap{{"mod.json", R"({"name": " Json Mod ", "version": "1.4"})"}}
                              << "Json Mod"
                              << "1.4";
    QTest::newRow("title and numeric version")
        << FileMap{{"mod.json", R"({"title": "T", "revision": 3})"}} << "T"
        << "3";
    QTest::newRow("non-string name is skipped")
        << FileMap{{"mod.json", R"({"name": 5, "displayName": "Shown", "version_string": " 2.0 "})"}}
        << "Shown"
        << "2.0";
    QTest::newRow("nested profile") << FileMap{{"metadata.json",
                                                R"({"profile": {"display_name": "Profiled"}})"}}
                                    << "Profiled"
                                    << "";
    QTest::newRow("profile before metadata")
        << FileMap{{"mod.json", R"({"metadata": {"name": "M"}, "profile": {"title": "P"}})"}} << "P"
        << "";
    QTest::newRow("broken first file, valid second")
        << FileMap{{"mod.json", "{broken"}, {"metadata.json", R"({"name": "Second"})"}} << "Second"
        << "";
    QTest::newRow("array is not metadata")
        << FileMap{{"mod.json", R"([{"name": "No"}])"}, {"info.json", R"({"mod_name": "Info"})"}} << "Info"
        << "";
    QTest::newRow("name and version from different files")
        << FileMap{{"mod.json", R"({"version": "7"})"}, {"mod.io.json", R"({"name": "Last File"})"}}
        << "Last File"
        << "7";
    QTest::newRow("json before mod.lua")
        << FileMap{{"mod.json", R"({"name": "Json"})"}, {"mod.lua", "name = 'Lua'\nversion = '9.1'"}}
        << "Json"
        << "9.1";
    QTest::newRow("blank names fall through to mod.lua")
        << FileMap{{"modio.json", R"({"name": "   ", "title": ""})"}, {"mod.lua", "name = 'Lua'"}} << "Lua"
        << "";
    QTest::newRow("letter case of file names is ignored")
        << FileMap{{"Mod.JSON", R"({"name": "Upper"})"}} << "Upper"
        << "";
}

void LocalScanTest::nameAndVersionFromJsonMetadata()
{
    QFETCH(FileMap, files);
    QFETCH(QString, name);
    QFETCH(QString, version);
    TestEnvironment env;
    writeFiles(env, "mods/m", files);
    const QList<LocalMod> mods = scanModFolder(env.root() + "/mods", manualSourceLabel());
    QCOMPARE(mods.size(), 1);
    QCOMPARE(mods.first().name, name.isEmpty() ? QStringLiteral("m") : name);
    QCOMPARE(mods.first().version, version);
    QCOMPARE(metadataName(env.root() + "/mods/m"), name);
}

void LocalScanTest::previewFileIsChosenInOrder_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QString>("preview");

    QTest::newRow("none") << QStringList{"mod.lua", "readme.txt"} << "";
    QTest::newRow("well-known names in order")
        << QStringList{"mod.lua", "logo.png", "thumbnail.jpg", "image.png", "preview.jpeg"} << "preview.jpeg";
    QTest::newRow("well-known name before image folders")
        << QStringList{"mod.lua", "mod.png", "images/a.png"} << "mod.png";
    QTest::newRow("first image by name in images")
        << QStringList{"mod.lua", "images/b.jpg", "images/a.webp", "images/0.txt"} << "images/a.webp";
    QTest::newRow("screenshots before preview folder")
        << QStringList{"mod.lua", "preview/p.png", "screenshots/s.JPG"} << "screenshots/s.JPG";
    QTest::newRow("images folder without images")
        << QStringList{"mod.lua", "images/readme.md", "zzz.jpg"} << "zzz.jpg";
    QTest::newRow("any image in the folder itself") << QStringList{"mod.lua", "b.png", "A.jpeg"} << "A.jpeg";
}

void LocalScanTest::previewFileIsChosenInOrder()
{
    QFETCH(QStringList, files);
    QFETCH(QString, preview);
    TestEnvironment env;
    for (const QString &file : files)
        env.writeFile("mods/m/" + file, "x");
    const QList<LocalMod> mods = scanModFolder(env.root() + "/mods", manualSourceLabel());
    QCOMPARE(mods.size(), 1);
    QCOMPARE(mods.first().previewFile.isEmpty() ? QString() : relative(env, mods.first().previewFile),
             preview.isEmpty() ? QString() : "mods/m/" + preview);
}

void LocalScanTest::markersOfNestedAndTopLevelFolders()
{
    TestEnvironment env;
    // Marker in the nested root with an entry id: the top-level marker is not read.
    env.writeFile("mods/a/inner/mod.lua", "name = 'Inner A'");
    env.writeFile("mods/a/inner/.fx3modmanager.json",
                  R"({"repo_entry_id": "11", "repository_name": "Nested", "version": "1.0"})");
    env.writeFile("mods/a/.fx3modmanager.json", R"({"repo_entry_id": "99", "repository_name": "Top"})");
    // Nested marker without ids: the top-level one is read as well and overwrites its origin.
    env.writeFile("mods/b/inner/mod.lua", "name = 'Inner B'");
    env.writeFile("mods/b/inner/.fx3modmanager.json", R"({"repository_name": "Nested", "version": "1.0"})");
    env.writeFile("mods/b/.fx3modmanager.json", R"({"repo_entry_id": 42, "source": "Top"})");
    // A broken marker counts as none; the name falls back to the marker's only when the files give none.
    env.writeFile("mods/c/mod.lua", "version = '3'");
    env.writeFile("mods/c/.fx3modmanager.json", "{not json");
    env.writeFile("mods/d/res/x.txt", "x");
    env.writeFile("mods/d/.fx3modmanager.json", R"({"name": "From Marker", "repo_entry_id": "5"})");

    const QList<LocalMod> mods = scanModFolder(env.root() + "/mods", manualSourceLabel());
    QCOMPARE(folderNames(mods), (QStringList{"a", "b", "c", "d"}));
    QCOMPARE(mods[0].repoEntryId, QStringLiteral("11"));
    QCOMPARE(mods[0].repositoryName, QStringLiteral("Nested"));
    QCOMPARE(mods[0].name, QStringLiteral("Inner A"));
    QCOMPARE(mods[1].repoEntryId, QStringLiteral("42"));
    QCOMPARE(mods[1].repositoryName, QStringLiteral("Top"));
    QCOMPARE(mods[1].version, QStringLiteral("1.0"));
    QVERIFY(mods[1].versionFromMarker);
    QVERIFY(mods[2].repoEntryId.isEmpty());
    QCOMPARE(mods[2].version, QStringLiteral("3"));
    QCOMPARE(mods[3].name, QStringLiteral("From Marker"));
    for (const LocalMod &mod : mods)
        QCOMPARE(mod.source, manualSourceLabel());
}

void LocalScanTest::filesChangedAfterInstallationShowTheirOwnVersion()
{
    TestEnvironment env;
    env.writeFile("mods/p2/mod.lua", "name = 'P 2'\nversion = '1.1'");
    env.writeFile("mods/p2/.fx3modmanager.json",
                  R"({"repo_entry_id": "8094", "version": "1.2", "content_version": "1.1"})");
    QList<LocalMod> mods = scanModFolder(env.root() + "/mods", manualSourceLabel());
    QCOMPARE(mods.first().version, QStringLiteral("1.2"));
    QCOMPARE(mods.first().markerVersion, QStringLiteral("1.2"));
    QVERIFY(mods.first().versionFromMarker);

    env.writeFile("mods/p2/mod.lua", "name = 'P 2'\nversion = '1.3'");
    mods = scanModFolder(env.root() + "/mods", manualSourceLabel());
    QCOMPARE(mods.first().version, QStringLiteral("1.3"));
    QCOMPARE(mods.first().filesVersion, QStringLiteral("1.3"));
    QVERIFY(!mods.first().versionFromMarker);
}

void LocalScanTest::foldersThatAreNoModsAreSkipped()
{
    TestEnvironment env;
    const QString program = env.makeDir("mods/FX3ModManager");
    env.makeDir("mods/FX3ModManager/platforms");
    env.makeDir("mods/Texture_Cache");
    env.makeDir("mods/texture_cache2");
    env.writeFile("mods/loose_file.lua", "name = 'not a folder'");
    env.makeDir("mods/.hidden_mod");

    QList<LocalMod> mods = scanModFolder(env.root() + "/mods", manualSourceLabel(), program);
    QCOMPARE(folderNames(mods), (QStringList{".hidden_mod", "texture_cache2"}));
    // Without knowing the program folder it is just another folder.
    mods = scanModFolder(env.root() + "/mods", manualSourceLabel());
    QCOMPARE(folderNames(mods), (QStringList{".hidden_mod", "FX3ModManager", "texture_cache2"}));

    // Scanning the program folder itself also leaves out its Qt plug-in folders.
    for (const char *name : {"imageformats", "Styles", "translations", "iconengines", "real_mod"})
        env.makeDir(QStringLiteral("mods/FX3ModManager/") + name);
    mods = scanModFolder(program + "/", manualSourceLabel(), program);
    QCOMPARE(folderNames(mods), QStringList{"real_mod"});

    QVERIFY(scanModFolder(env.root() + "/missing", manualSourceLabel()).isEmpty());
    QVERIFY(scanModFolder("   ", manualSourceLabel()).isEmpty());
    QVERIFY(scanModFolder(env.root() + "/mods/loose_file.lua", manualSourceLabel()).isEmpty());
}

void LocalScanTest::modIoFolderUsesTheClientState()
{
    TestEnvironment env;
    const QString modsFolder = env.makeDir("modio/73160/mods");
    env.writeFile("modio/73160/metadata/state.json", R"({
        "Mods": [
            {"ID": 100, "Profile": {"name": "State Name", "logo": {"thumb_640x360": "https://img.invalid/100.png"}},
             "modfile": {"version": "3.1", "id": 5001}},
            {"id": "100", "profile": {"name": "Second object for the same id is ignored"}},
            {"nested": [[{"mod_id": "200", "title": "Deep", "image_url": "ftp://img.invalid/200.png"}]]}
        ]
    })");
    // Readable but broken: ignored, the metadata file still counts.
    env.writeFile("modio/73160/state.json", "{broken");

    env.makeDir("modio/73160/mods/100/res");
    env.writeFile("modio/73160/mods/200/mod.lua", "name = _('Lua Name')\nversion = '0.5'");
    env.writeFile("modio/73160/mods/300/State.json",
                  R"([{"id": 1}, {"modId": 300, "name": "Own State", "versionString": "9"}])");
    env.writeFile("modio/73160/mods/300/res/x.txt", "x");
    // The nested root has no preview; the top-level folder's is taken.
    env.writeFile("modio/73160/mods/400/inner/mod.lua", "version = '1'");
    env.writeFile("modio/73160/mods/400/preview.png", "x");
    env.writeFile("modio/73160/mods/400/info.json", R"({"name": "Top Level Info"})");
    env.writeFile("modio/73160/mods/400/.fx3modmanager.json",
                  R"({"source": "mod.io", "modio_id": "400", "preview_url": "https://img.invalid/400.png"})");

    const QList<LocalMod> mods = scanModFolder(modsFolder, modIoSourceLabel());
    QCOMPARE(folderNames(mods), (QStringList{"100", "200", "300", "400"}));

    QCOMPARE(mods[0].modioId, QStringLiteral("100"));
    QCOMPARE(mods[0].name, QStringLiteral("State Name"));
    QCOMPARE(mods[0].version, QStringLiteral("3.1"));
    QCOMPARE(mods[0].previewUrl, QStringLiteral("https://img.invalid/100.png"));
    QVERIFY(isModIoCopy(mods[0]));

    // The files' own name stays; a preview that is no web address is not taken.
    QCOMPARE(mods[1].name, QStringLiteral("Lua Name"));
    QCOMPARE(mods[1].version, QStringLiteral("0.5"));
    QVERIFY(mods[1].previewUrl.isEmpty());

    QCOMPARE(mods[2].name, QStringLiteral("Own State"));
    QCOMPARE(mods[2].version, QStringLiteral("9"));

    QCOMPARE(mods[3].name, QStringLiteral("Top Level Info"));
    QCOMPARE(relative(env, mods[3].contentRoot), QStringLiteral("modio/73160/mods/400/inner"));
    QCOMPARE(relative(env, mods[3].previewFile), QStringLiteral("modio/73160/mods/400/preview.png"));
    QCOMPARE(mods[3].previewUrl, QStringLiteral("https://img.invalid/400.png"));

    // The same folder scanned as a manual folder knows nothing of mod.io.
    const QList<LocalMod> manual = scanModFolder(modsFolder, manualSourceLabel());
    QCOMPARE(manual[0].name, QStringLiteral("100"));
    QVERIFY(manual[0].modioId.isEmpty());
}

void LocalScanTest::modIoFileIdsOfInstalledMods()
{
    TestEnvironment env;
    const QString modsFolder = env.makeDir("modio/mods");
    env.writeFile("modio/state.json",
                  R"({"mods": [{"id": 3, "modfile_id": 3003}, {"id": 4, "current_modfile": {"id": 4004}},
                               {"id": 6, "modfile": {"id": 6006}}, {"id": 7}]})");
    env.writeFile("modio/mods/1/mod.io_fileid.txt", " 1001\n");
    env.writeFile("modio/mods/1/.fx3modmanager.json", R"({"modio_file_id": "1111"})");
    env.writeFile("modio/mods/2/mod.io_fileid.txt", "  \n");
    env.writeFile("modio/mods/2/.fx3modmanager.json", R"({"modio_file_id": "2002"})");
    env.makeDir("modio/mods/3");
    env.makeDir("modio/mods/4");
    env.writeFile("modio/mods/5/state.json", R"({"data": {"id": 5, "file": {"fileId": 5005}}})");
    env.makeDir("modio/mods/6");
    env.makeDir("modio/mods/7");
    env.writeFile("modio/mods/texture_cache/mod.io_fileid.txt", "8008");
    env.writeFile("modio/mods/12a/mod.io_fileid.txt", "9009");

    const QHash<QString, QString> expected = {{"1", "1001"}, {"2", "2002"}, {"3", "3003"},
                                              {"4", "4004"}, {"5", "5005"}, {"6", "6006"}};
    QCOMPARE(installedModIoFileIds(modsFolder), expected);

    LocalModFolders folders;
    folders.modIoModsPath = modsFolder;
    QCOMPARE(scanLocalMods(folders).modIoFileIds, expected);
    // Only the mod.io folder has file ids.
    folders.modIoModsPath.clear();
    folders.userModsPath = modsFolder;
    QVERIFY(scanLocalMods(folders).modIoFileIds.isEmpty());
}

void LocalScanTest::scanOfAllFoldersKeepsOrderAndDescribesTopLevels()
{
    TestEnvironment env;
    env.writeFile("manual/b/mod.lua", "name = 'B'");
    env.writeFile("manual/a/mod.lua", "name = 'A'");
    env.writeFile("manual/texture_cache/mod.lua", "name = 'Cache'");
    env.writeFile("modio/mods/77/mod.lua", "name = 'M'");
    env.writeFile("custom1/c/wrapper/mod.lua", "name = 'Nested C'\nversion = '2'");
    env.writeFile("custom1/c/.fx3modmanager.json",
                  R"({"repo_entry_id": "5", "repository_url": "https://r.invalid/x.json", "name": "Marker C",
                      "version": "2.5", "modio_id": "999"})");
    env.writeFile("custom2/d/mod.json", R"({"name": "D", "version": "4"})");

    LocalModFolders folders;
    folders.userModsPath = env.root() + "/manual";
    folders.modIoModsPath = env.root() + "/modio/mods";
    folders.customModPaths = {env.root() + "/custom1", "", env.root() + "/missing", env.root() + "/custom2",
                              env.root() + "/custom1"};
    const LocalScanResult result = scanLocalMods(folders);

    // A folder reachable through two settings is listed twice.
    QCOMPARE(folderNames(result.mods), (QStringList{"a", "b", "77", "c", "d", "c"}));
    QCOMPARE(result.mods[2].source, QStringLiteral("mod.io"));
    QCOMPARE(result.mods[3].source, customSourceLabel());
    QCOMPARE(result.mods[3].name, QStringLiteral("Nested C"));
    QCOMPARE(result.mods[3].version, QStringLiteral("2.5"));
    QCOMPARE(result.mods[3].modioId, QStringLiteral("999"));

    // Folder copies: manual, custom, then mod.io; every sub-folder, described by its top level only.
    QCOMPARE(folderNames(result.folderCopies), (QStringList{"a", "b", "texture_cache", "c", "d", "c", "77"}));
    const LocalMod *copy = byFolder(result.folderCopies, "c");
    QVERIFY(copy);
    QCOMPARE(copy->name, QStringLiteral("c")); // the nested mod.lua is not looked at
    QCOMPARE(copy->repoEntryId, QStringLiteral("5"));
    QCOMPARE(copy->repositoryUrl, QStringLiteral("https://r.invalid/x.json"));
    QCOMPARE(copy->version, QStringLiteral("2.5"));
    QVERIFY(copy->modioId.isEmpty());
    QCOMPARE(byFolder(result.folderCopies, "d")->version, QStringLiteral("4"));
    QCOMPARE(listFolderCopies(env.root() + "/custom2").size(), 1);

    LocalModFolders empty;
    const LocalScanResult nothing = scanLocalMods(empty);
    QVERIFY(nothing.mods.isEmpty());
    QVERIFY(nothing.folderCopies.isEmpty());
}

void LocalScanTest::unreadableAndHostileFilesDoNotStopTheScan()
{
    TestEnvironment env;
    // Metadata names taken by folders.
    env.makeDir("mods/dirs/mod.json");
    env.makeDir("mods/dirs/.fx3modmanager.json");
    env.writeFile("mods/dirs/mod.lua", "name = 'Dirs'");
    // A huge metadata file is not read into memory; the next source of the name is used.
    QByteArray huge = "{\"name\": \"Huge\", \"pad\": \"";
    huge.append(QByteArray(maxMetadataFileSize, 'x'));
    huge.append("\"}");
    env.writeFile("mods/huge/mod.json", huge);
    env.writeFile("mods/huge/mod.lua", "name = 'Small'");
#ifdef Q_OS_UNIX
    // A FIFO with a metadata name would block a reader forever.
    env.makeDir("mods/pipe");
    QCOMPARE(::mkfifo(QFile::encodeName(env.root() + "/mods/pipe/mod.lua").constData(), 0600), 0);
    QCOMPARE(::mkfifo(QFile::encodeName(env.root() + "/mods/pipe/.fx3modmanager.json").constData(), 0600), 0);
    QCOMPARE(::mkfifo(QFile::encodeName(env.root() + "/mods/pipe/preview.png").constData(), 0600), 0);
#endif

    QElapsedTimer timer;
    timer.start();
    const QList<LocalMod> mods = scanModFolder(env.root() + "/mods", manualSourceLabel());
    QVERIFY(timer.elapsed() < 20000);
    QCOMPARE(byFolder(mods, "dirs")->name, QStringLiteral("Dirs"));
    QVERIFY(byFolder(mods, "dirs")->repoEntryId.isEmpty());
    QCOMPARE(byFolder(mods, "huge")->name, QStringLiteral("Small"));
#ifdef Q_OS_UNIX
    QCOMPARE(byFolder(mods, "pipe")->name, QStringLiteral("pipe"));
    QVERIFY(byFolder(mods, "pipe")->previewFile.isEmpty());
    QVERIFY(!readInstallMarker(env.root() + "/mods/pipe").has_value());
#endif
}

void LocalScanTest::realModFolders()
{
    const QString root = QStringLiteral("/work/shared/realdata/mods");
    if (!QFileInfo(root).isDir())
        QSKIP("The collection of real mod folders is not available.");
    const QList<LocalMod> mods = scanModFolder(root, manualSourceLabel());

    struct Expected
    {
        const char *folder;
        const char *name;
        const char *version;
        const char *contentRoot; // relative to the mod folder, empty for the folder itself
    };
    const Expected expected[] = {
        // The game translates these keys through strings.lua; the key itself is what mod.lua says.
        {"01_vehicle-loco-and-coach", "mod_name", "0", ""},
        {"02_vehicle-freight-wagons", "mod_name", "1", ""},
        {"03_station-modules", "Invisible Dam Modules for elevated Train Stations", "0",
         "jan_invisible-dam-station-modules_1"},
        {"04_asset-roadsigns-scripted-models", "UK Road Signs", "0", ""},
        {"05_script-only", "Auto Line Namer 0.2.0", "", ""},
        {"06_reskin-requires-other-mod", "JNR 485 Variation Name", "", "yourname_jnr_485_varname_1"},
    };
    for (const Expected &e : expected) {
        const LocalMod *mod = byFolder(mods, QString::fromLatin1(e.folder));
        QVERIFY2(mod, e.folder);
        QCOMPARE(mod->name, QString::fromUtf8(e.name));
        QCOMPARE(mod->version, QString::fromLatin1(e.version));
        QString contentRoot = root + '/' + QString::fromLatin1(e.folder);
        if (*e.contentRoot)
            contentRoot += '/' + QString::fromLatin1(e.contentRoot);
        QCOMPARE(mod->contentRoot, contentRoot);
        QVERIFY(mod->repoEntryId.isEmpty());
    }
}

QTEST_GUILESS_MAIN(LocalScanTest)
#include "tst_localscan.moc"
