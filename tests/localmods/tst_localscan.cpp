#include "localmods/installmarker.h"
#include "localmods/installstatus.h"
#include "localmods/localscan.h"
#include "localmods/matchindex.h"
#include "localmods/modmatching.h"
#include "localmods/modmetadata.h"
#include "testsupport.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <sys/types.h>
#endif

using FileMap = QMap<QString, QByteArray>;
Q_DECLARE_METATYPE(FileMap)
Q_DECLARE_METATYPE(CatalogInstallState)
Q_DECLARE_METATYPE(LocalMod)
Q_DECLARE_METATYPE(RepoMod)

class LocalScanTest : public QObject
{
    Q_OBJECT

private slots:
    void nameVersionAndRootOfOneFolder_data();
    void nameVersionAndRootOfOneFolder();
    void namesFromTheTranslationFile_data();
    void namesFromTheTranslationFile();
    void previewFileIsChosenInOrder();
    void markersOfNestedAndTopLevelFolders();
    void foldersThatAreNoModsAreSkipped();
    void modIoFolderUsesTheClientState();
    void scanOfAllFoldersKeepsOrderAndDescribesTopLevels();
    void unreadableAndHostileFilesDoNotStopTheScan();
    void repositoryMarkerIsWrittenWholeAndReadBack();
    void writeFailsCleanlyAndBrokenMarkersCountAsMissing();
    void modIoMarkerAndFileIdFile();
    void applyChoosesTheShownVersion();
    void applyReadsOriginLeniently();
    void keysFromNamesAndArchiveNames();
    void matchingRule_data();
    void matchingRule();
    void findCatalogIndexPrefersTheModsOwnRepository();
    void linkingTakesOriginNameAndVersion();
    void duplicateInstallations();
    void installStatus_data();
    void installStatus();
    void installedCopyOnDiskLooksOnlyAtTopLevels();
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

// What the scan learnt about each mod: "folder|name|version|entry id|repository|mod.io id", and "*" after the
// version when it comes from the install marker.
QStringList describe(const QList<LocalMod> &mods)
{
    QStringList result;
    for (const LocalMod &mod : mods)
        result.append(QStringList{mod.folderName, mod.name, mod.version + (mod.versionFromMarker ? "*" : ""),
                                  mod.repoEntryId, mod.repositoryName, mod.modioId}
                          .join(u'|'));
    return result;
}

QString relative(const TestEnvironment &env, const QString &path)
{
    return QDir(env.root()).relativeFilePath(path);
}

void addRow(const char *tag, const FileMap &files, const QString &name, const QString &version,
            const QString &root = QStringLiteral("mods/m"))
{
    QTest::newRow(tag) << files << name << version << root;
}

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

const QString repoA = QStringLiteral("https://trackhaven.invalid/filebase/repos/fx3-v3.json");
const QString repoB = QStringLiteral("https://external.invalid/mods.json");

RepoMod entry(const QString &id, const QString &name, const QString &fileName = QString(),
              const QString &repositoryUrl = repoA)
{
    RepoMod mod;
    mod.id = id;
    mod.name = name;
    mod.fileName = fileName;
    mod.repositoryJsonUrl = repositoryUrl;
    return mod;
}

LocalMod local(const QString &folderName, const QString &name = QString(),
               const QString &source = "Manuell / Lokal")
{
    LocalMod mod;
    mod.folderName = folderName;
    mod.name = name.isEmpty() ? folderName : name;
    mod.path = QStringLiteral("/games/mods/") + folderName;
    mod.contentRoot = mod.path;
    mod.source = source;
    return mod;
}

LocalMod modIoCopy(const QString &modioId, const QString &name)
{
    LocalMod mod = local(modioId, name, QStringLiteral("mod.io"));
    mod.path = QStringLiteral("/games/modio/mods/") + modioId;
    mod.modioId = modioId;
    return mod;
}

} // namespace

void LocalScanTest::nameVersionAndRootOfOneFolder_data()
{
    QTest::addColumn<FileMap>("files");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("version");
    QTest::addColumn<QString>("root");

    // Where the mod's content starts.
    addRow("res folder marks a root", {{"res/", {}}, {"x/mod.lua", "name = 'Inner'"}}, "m", "");
    addRow("only a sub-folder with mod.lua", {{"Lok_v2/mod.lua", "info = { name = _(\"Inner Lok\") }"}},
           "Inner Lok", "", "mods/m/Lok_v2");
    addRow("first sub-folder by name",
           {{"beta/mod.lua", "name = 'B'"}, {"Alpha/metadata.json", R"({"name": "A"})"}}, "A", "",
           "mods/m/Alpha");
    addRow("two levels down", {{"a/readme.txt", "x"}, {"b/y/mod.lua", "name='Y'"}}, "Y", "", "mods/m/b/y");
    addRow("three levels down is too deep", {{"a/b/c/mod.lua", "name = 'Deep'"}}, "m", "");
    // mod.lua
    addRow("translation call", {{"mod.lua", "info = { minorVersion = 0, name = _(\"Invisible Dam\") }"}},
           "Invisible Dam", "0");
    addRow("translated name wins over an earlier plain one",
           {{"mod.lua", "authors = {{ name = \"Jan\" }},\nname = _(\"Real Name\"),"}}, "Real Name", "");
    addRow("byte order mark", {{"mod.lua", "\xEF\xBB\xBFname = _(' Spaced ')"}}, "Spaced", "");
    addRow("name and version must be words of their own",
           {{"mod.lua", "myname = \"Hidden\"\nminGameVersion = 3,\nminorVersion = 1"}}, "m", "1");
    // JSON metadata
    addRow("non-string name is skipped",
           {{"mod.json", R"({"name": 5, "displayName": "Shown", "version_string": " 2.0 "})"}}, "Shown",
           "2.0");
    addRow("broken first file, array second, valid third",
           {{"mod.json", "{broken"},
            {"metadata.json", R"([{"name": "No"}])"},
            {"info.json", R"({"mod_name": "I"})"}},
           "I", "");
    addRow("mod.lua fills what json leaves open",
           {{"mod.json", R"({"version": "2"})"}, {"mod.lua", "name = 'Lua'\nversion = '9.1'"}}, "Lua", "2");
    addRow("json before mod.lua",
           {{"Mod.JSON", R"({"name": "Json"})"}, {"mod.lua", "name = 'Lua'\nversion = '9.1'"}}, "Json",
           "9.1");
}

void LocalScanTest::nameVersionAndRootOfOneFolder()
{
    QFETCH(FileMap, files);
    QFETCH(QString, name);
    QFETCH(QString, version);
    QFETCH(QString, root);
    TestEnvironment env;
    env.makeDir("mods/m");
    writeFiles(env, "mods/m", files);
    const QList<LocalMod> mods = scanModFolder(env.root() + "/mods", manualSourceLabel());
    QCOMPARE(mods.size(), 1);
    QCOMPARE(relative(env, mods.first().contentRoot), root);
    QCOMPARE(mods.first().name, name);
    QCOMPARE(mods.first().version, version);
    QCOMPARE(mods.first().filesVersion, version);
    QVERIFY(!mods.first().versionFromMarker);
    QCOMPARE(relative(env, findModRoot(env.root() + "/mods/m")), root);
}

void LocalScanTest::namesFromTheTranslationFile_data()
{
    QTest::addColumn<QByteArray>("strings");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("name");

    const auto row = [](const char *tag, const QByteArray &strings, const char *key, const char *language,
                        const char *name) {
        QTest::newRow(tag) << strings << QString::fromUtf8(key) << language << QString::fromUtf8(name);
    };
    const QByteArray both = R"(function data() return { de = { ["mod_name"] = "Mein Mod" },
        en = { ["mod_name"] = "My Mod" } } end)";
    row("German", both, "mod_name", "de", "Mein Mod");
    row("English", both, "mod_name", "en", "My Mod");
    row("English when German lacks it",
        "return { de = { other = 'x', mod_name = '' }, en = { mod_name = ' My Mod ' } }", "mod_name", "de",
        "My Mod");
    row("key when no language has it", both, "other", "de", "other");
    row("English text as key", R"(return { de = { ["Invisible Dam"] = "Unsichtbarer Damm" } })",
        "Invisible Dam", "en", "Invisible Dam");
    row("escapes", R"(return { de = { mod_name = 'Gr\195\188ne \"Welle\" \\ Nord\x21\u{2013}\z
                      Ost\'' } })",
        "mod_name", "de", "Gr\u00fcne \"Welle\" \\ Nord!\u2013Ost'");
    row("comments and long strings",
        "-- return { de = { mod_name = 'Zeile' } }\n--[==[ return { de = { mod_name = 'Block' } } ]==]\n"
        "function data() return { --[[ } ]] de = { mod_name -- ]]\n = [==[\nLang ]] Name]==]; } } end",
        "mod_name", "de", "Lang ]] Name");
    row("other fields passed over",
        "return { 1, f('de'), de = { 'pos', [1] = 'n', [k('x')] = 'y', nested = { mod_name = 'tief' }, "
        "mod_name = 'A' .. 'B', x = 5 }, en = { mod_name = \"English\" } }",
        "mod_name", "de", "English");
    // Broken files give nothing, not part of what they hold.
    for (const char *broken :
         {"return { en = { mod_name = 'My Mod' }, de = { x = 'a } }",
          "return { en = { mod_name = 'My Mod', x = '\\q' } }", "return { en = { mod_name = 'My Mod' }",
          "return { en = { mod_name = 'My Mod' } de = {} }",
          "return { en = { mod_name = 'My Mod' } } --[[ end",
          "return { en = { mod_name = 'My Mod', ['k'] 'v' } }", "en = { mod_name = 'My Mod' }"})
        row(broken, broken, "mod_name", "en", "mod_name");
}

void LocalScanTest::namesFromTheTranslationFile()
{
    QFETCH(QByteArray, strings);
    QFETCH(QString, key);
    QFETCH(QString, language);
    QFETCH(QString, name);
    TestEnvironment env;
    env.writeFile("mods/m/mod.lua", QStringLiteral("info = { name = _(\"%1\") }").arg(key).toUtf8());
    env.writeFile("mods/m/Strings.lua", strings);
    QCOMPARE(scanModFolder(env.root() + "/mods", manualSourceLabel(), QString(), language).first().name,
             name);
    QCOMPARE(metadataName(env.root() + "/mods/m", language), name);
}

void LocalScanTest::previewFileIsChosenInOrder()
{
    const QList<QPair<QStringList, QString>> rows = {
        {{"readme.txt"}, ""},
        {{"logo.png", "thumbnail.jpg", "image.png", "preview.jpeg", "images/a.png"}, "preview.jpeg"},
        {{"images/b.jpg", "images/a.webp", "images/0.txt", "preview/p.png"}, "images/a.webp"},
        {{"preview/p.png", "screenshots/s.JPG"}, "screenshots/s.JPG"},
        {{"images/readme.md", "b.png", "A.jpeg"}, "A.jpeg"},
    };
    for (const auto &[files, preview] : rows) {
        TestEnvironment env;
        env.writeFile("mods/m/mod.lua", "x");
        for (const QString &file : files)
            env.writeFile("mods/m/" + file, "x");
        const QList<LocalMod> mods = scanModFolder(env.root() + "/mods", manualSourceLabel());
        QCOMPARE(mods.first().previewFile.isEmpty() ? QString() : relative(env, mods.first().previewFile),
                 preview.isEmpty() ? QString() : "mods/m/" + preview);
    }
}

void LocalScanTest::markersOfNestedAndTopLevelFolders()
{
    TestEnvironment env;
    // Marker in the nested root with an entry id: the top-level marker is not read.
    env.writeFile("mods/a/inner/mod.lua", "name = 'Inner A'");
    env.writeFile("mods/a/inner/.fx3modmanager.json",
                  R"({"repo_entry_id": "11", "repository_name": "Nested"})");
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
    // Files changed after installation show their own version.
    env.writeFile("mods/e/mod.lua", "version = '1.3'");
    env.writeFile("mods/e/.fx3modmanager.json", R"({"version": "1.2", "content_version": "1.1"})");
    env.writeFile("mods/f/mod.lua", "version = '1.1'");
    env.writeFile("mods/f/.fx3modmanager.json", R"({"version": "1.2", "content_version": "1.1"})");

    QCOMPARE(describe(scanModFolder(env.root() + "/mods", manualSourceLabel())),
             (QStringList{"a|Inner A||11|Nested|", "b|Inner B|1.0*|42|Top|", "c|c|3|||", "d|From Marker||5||",
                          "e|e|1.3|||", "f|f|1.2*|||"}));
}

void LocalScanTest::foldersThatAreNoModsAreSkipped()
{
    TestEnvironment env;
    const QString program = env.makeDir("mods/FX3ModManager");
    env.makeDir("mods/Texture_Cache");
    env.makeDir("mods/texture_cache2");
    env.writeFile("mods/loose_file.lua", "name = 'not a folder'");
    env.makeDir("mods/.hidden_mod");
    QCOMPARE(folderNames(scanModFolder(env.root() + "/mods", manualSourceLabel(), program)),
             (QStringList{".hidden_mod", "texture_cache2"}));
    // Scanning the program folder itself also leaves out its Qt plug-in folders.
    for (const char *name : {"imageformats", "Styles", "translations", "real_mod"})
        env.makeDir(QStringLiteral("mods/FX3ModManager/") + name);
    QCOMPARE(folderNames(scanModFolder(program + "/", manualSourceLabel(), program)),
             QStringList{"real_mod"});
}

void LocalScanTest::modIoFolderUsesTheClientState()
{
    TestEnvironment env;
    const QString modsFolder = env.makeDir("modio/73160/mods");
    env.writeFile("modio/73160/metadata/state.json", R"({"Mods": [
        {"ID": 100, "Profile": {"name": "State Name", "logo": {"thumb_640x360": "https://img.invalid/100.png"}},
         "modfile": {"version": "3.1", "id": 5001}},
        {"id": "100", "profile": {"name": "Second object for the same id is ignored"}},
        {"nested": [[{"mod_id": "200", "title": "Deep", "image_url": "ftp://img.invalid/200.png"}]]},
        {"id": 3, "modfile_id": 3003}]})");
    env.writeFile("modio/73160/state.json", "{broken");
    env.makeDir("modio/73160/mods/100/res");
    env.writeFile("modio/73160/mods/100/mod.io_fileid.txt", " 1001\n");
    env.writeFile("modio/73160/mods/200/mod.lua", "name = _('Lua Name')\nversion = '0.5'");
    env.writeFile("modio/73160/mods/200/.fx3modmanager.json", R"({"modio_file_id": "2002"})");
    env.makeDir("modio/73160/mods/3");
    env.writeFile("modio/73160/mods/texture_cache/mod.io_fileid.txt", "8008");

    const QList<LocalMod> mods = scanModFolder(modsFolder, modIoSourceLabel());
    // The files' own name stays; a preview that is no web address is not taken.
    QCOMPARE(describe(mods), (QStringList{"100|State Name|3.1|||100", "200|Lua Name|0.5|||200", "3|3||||3"}));
    QCOMPARE(mods[0].previewUrl, QStringLiteral("https://img.invalid/100.png"));
    QVERIFY(isModIoCopy(mods[0]));
    QVERIFY(mods[1].previewUrl.isEmpty());

    const QHash<QString, QString> fileIds = {{"100", "1001"}, {"200", "2002"}, {"3", "3003"}};
    QCOMPARE(installedModIoFileIds(modsFolder), fileIds);
    LocalModFolders folders;
    folders.modIoModsPath = modsFolder;
    QCOMPARE(scanLocalMods(folders).modIoFileIds, fileIds);
    // The same folder scanned as a manual folder knows nothing of mod.io.
    folders.modIoModsPath.clear();
    folders.userModsPath = modsFolder;
    const LocalScanResult manual = scanLocalMods(folders);
    QVERIFY(manual.modIoFileIds.isEmpty());
    QCOMPARE(manual.mods[0].name, QStringLiteral("100"));
    QVERIFY(manual.mods[0].modioId.isEmpty());
}

void LocalScanTest::scanOfAllFoldersKeepsOrderAndDescribesTopLevels()
{
    TestEnvironment env;
    env.writeFile("manual/b/mod.lua", "name = _('b_name')");
    env.writeFile("manual/b/strings.lua", "return { de = { b_name = 'B' } }");
    env.writeFile("manual/a/mod.lua", "name = 'A'");
    // A backup left beside a mod (also after a failed clean-up) is neither a mod nor a copy to update.
    env.writeFile("manual/.fx3mm_backup_a_1700000000123/mod.lua", "name = 'A'");
    env.writeFile("manual/texture_cache/mod.lua", "name = 'Cache'");
    env.writeFile("modio/mods/77/mod.lua", "name = 'M'");
    env.writeFile("custom1/c/wrapper/mod.lua", "name = 'Nested C'\nversion = '2'");
    env.writeFile("custom1/c/.fx3modmanager.json",
                  R"({"repo_entry_id": "5", "name": "Marker C", "version": "2.5", "modio_id": "999"})");
    env.writeFile("custom2/d/mod.json", R"({"name": "D", "version": "4"})");

    LocalModFolders folders;
    folders.userModsPath = env.root() + "/manual";
    folders.modIoModsPath = env.root() + "/modio/mods";
    folders.customModPaths = {env.root() + "/custom1", "", env.root() + "/missing", env.root() + "/custom2",
                              env.root() + "/custom1"};
    folders.language = QStringLiteral("de");
    const LocalScanResult result = scanLocalMods(folders);
    // A folder reachable through two settings is listed twice.
    QCOMPARE(describe(result.mods), (QStringList{"a|A||||", "b|B||||", "77|M||||77", "c|Nested C|2.5*|5||999",
                                                 "d|D|4|||", "c|Nested C|2.5*|5||999"}));
    QCOMPARE(result.mods[2].source, QStringLiteral("mod.io"));
    QCOMPARE(result.mods[3].source, customSourceLabel());

    // Folder copies: manual, custom, then mod.io; every sub-folder, described by its top level only.
    // The nested mod.lua of c is not looked at; the mod.io id of a marker is not taken for a copy.
    QCOMPARE(describe(result.folderCopies),
             (QStringList{"a|A||||", "b|B||||", "texture_cache|Cache||||", "c|c|2.5*|5||", "d|D|4|||",
                          "c|c|2.5*|5||", "77|M||||"}));
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
    env.writeFile("mods/hugestrings/mod.lua", "name = _('key')");
    env.writeFile("mods/hugestrings/strings.lua", "return { en = { key = 'Big' } } --" + huge);
#ifdef Q_OS_UNIX
    // A FIFO with a metadata name would block a reader forever.
    env.makeDir("mods/pipe");
    for (const char *name : {"mod.lua", ".fx3modmanager.json", "preview.png"})
        QCOMPARE(::mkfifo(QFile::encodeName(env.root() + "/mods/pipe/" + name).constData(), 0600), 0);
#endif
    const QList<LocalMod> mods = scanModFolder(env.root() + "/mods", manualSourceLabel());
    QCOMPARE(byFolder(mods, "dirs")->name, QStringLiteral("Dirs"));
    QCOMPARE(byFolder(mods, "huge")->name, QStringLiteral("Small"));
    QCOMPARE(byFolder(mods, "hugestrings")->name, QStringLiteral("key"));
#ifdef Q_OS_UNIX
    QCOMPARE(byFolder(mods, "pipe")->name, QStringLiteral("pipe"));
    QVERIFY(byFolder(mods, "pipe")->previewFile.isEmpty());
    QVERIFY(!readInstallMarker(env.root() + "/mods/pipe").has_value());
#endif
}

void LocalScanTest::repositoryMarkerIsWrittenWholeAndReadBack()
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

void LocalScanTest::writeFailsCleanlyAndBrokenMarkersCountAsMissing()
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

void LocalScanTest::modIoMarkerAndFileIdFile()
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

void LocalScanTest::applyChoosesTheShownVersion()
{
    struct Row
    {
        const char *marker, *filesVersion, *version;
        bool fromMarker;
        const char *markerVersion;
    };
    const Row rows[] = {
        // files without a version
        {R"({"version": "1.2", "content_version": "1.1"})", "", "1.2", true, "1.2"},
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

void LocalScanTest::applyReadsOriginLeniently()
{
    LocalMod mod = scanned(QStringLiteral("Own Name"), QString());
    applyInstallMarker(mod, json(R"({"repo_entry_id": true, "repository_name": 5, "source": [1],
                                     "repository_url": " https://x.invalid/r.json "})"));
    QVERIFY(mod.repoEntryId.isEmpty());
    QVERIFY(mod.repositoryName.isEmpty());
    QCOMPARE(mod.repositoryUrl, QStringLiteral("https://x.invalid/r.json"));

    // Files that name nothing but their folder take the marker's name; a preview already known is kept.
    mod = scanned(QStringLiteral("p2_folder"), QString());
    mod.previewUrl = QStringLiteral("https://state.invalid/keep.png");
    applyInstallMarker(mod, json(R"({"name": "Marker Name", "modio_id": "55",
                                     "preview_url": "https://x.invalid/p.png"})"));
    QCOMPARE(mod.name, QStringLiteral("Marker Name"));
    QCOMPARE(mod.modioId, QStringLiteral("55"));
    QCOMPARE(mod.previewUrl, QStringLiteral("https://state.invalid/keep.png"));
}

void LocalScanTest::keysFromNamesAndArchiveNames()
{
    QCOMPARE(normalizeModKey(" my_mod-1.2 "), QStringLiteral("mymod12"));
    QCOMPARE(normalizeModKey("Größe ÄÖÜ Straße"), QStringLiteral("größeäöüstraße"));
    QCOMPARE(normalizeModKey("Café Ørsted Łódź"), QStringLiteral("cafrstedd"));
    QCOMPARE(normalizeModKey("--- ___ !!!"), QString());

    const QList<QPair<QString, QStringList>> aliases = {
        {"My-Mod-1.2.zip", {"mymod12", "mymod1", "mymod"}},
        {"BR01_v2.rar", {"br01v2", "br01"}},
        {"1.0.zip", {"10", "1"}},
        {".zip", {"zip"}},
        {"Lok-2.0.part1.rar", {"lok20part1"}},
        {"   ", {}},
    };
    for (const auto &[fileName, keys] : aliases)
        QCOMPARE(catalogAliasKeys(entry("1", "x", fileName)), keys);
}

void LocalScanTest::matchingRule_data()
{
    QTest::addColumn<LocalMod>("mod");
    QTest::addColumn<RepoMod>("catalogEntry");
    QTest::addColumn<bool>("matches");

    LocalMod installed = local("whatever", "Something Else");
    installed.repoEntryId = QStringLiteral(" 8094 ");
    QTest::newRow("entry id") << installed << entry("8094", "Other") << true;
    installed.repositoryUrl = repoB;
    QTest::newRow("entry id from another repository") << installed << entry("8094", "Other") << false;
    QTest::newRow("entry id, repository spelled differently")
        << installed << entry("8094", "Other", QString(), repoB.toUpper()) << true;

    LocalMod fromModIo = local("whatever", "Something Else");
    fromModIo.modioId = QStringLiteral("2750123");
    RepoMod withModIo = entry("1", "Other");
    withModIo.modioId = QStringLiteral(" 2750123 ");
    QTest::newRow("mod.io id") << fromModIo << withModIo << true;
    QTest::newRow("empty ids never match") << local("a", "b") << entry("", "") << false;

    QTest::newRow("name against entry name")
        << local("x", "Big Steam Loco") << entry("1", "big_steam-loco") << true;
    QTest::newRow("folder without version against archive name")
        << local("mymod") << entry("1", "Other", "My-Mod-1.2.zip") << true;
    QTest::newRow("long folder key begins with the alias")
        << local("freightwagons_extra") << entry("1", "Other", "FreightWagons-2.0.zip") << true;
    QTest::newRow("prefix of a short folder key does not count")
        << local("freight") << entry("1", "Other", "FreightWagons-2.0.zip") << false;
    QTest::newRow("alias of 8 begins the folder key")
        << local("freightwagon") << entry("1", "O", "FreightW.zip") << true;
    QTest::newRow("alias of 7 does not") << local("freightwagon") << entry("1", "O", "Freight.zip") << false;
    QTest::newRow("folder key of 8 begins the alias")
        << local("freightw") << entry("1", "O", "FreightWagon.zip") << true;
    QTest::newRow("prefix rule is for the folder, not the name")
        << local("x", "freightwagons_extra") << entry("1", "Other", "FreightWagons-2.0.zip") << false;
}

void LocalScanTest::matchingRule()
{
    QFETCH(LocalMod, mod);
    QFETCH(RepoMod, catalogEntry);
    QFETCH(bool, matches);
    QCOMPARE(matchLocalToCatalog(mod, catalogEntry), matches);
    QCOMPARE(keysMatch(localMatchKeys(mod), catalogMatchKeys(catalogEntry)), matches);
    QCOMPARE(!LocalModIndex({mod}).matchingMods(catalogMatchKeys(catalogEntry)).isEmpty(), matches);
    QCOMPARE(CatalogMatchIndex({catalogEntry}).findCatalogIndex(mod), matches ? 0 : -1);
}

void LocalScanTest::findCatalogIndexPrefersTheModsOwnRepository()
{
    const QList<RepoMod> catalog = {entry("1", "Steam Loco", "", repoA), entry("7", "Steam Loco", "", repoB),
                                    entry("8", "Steam Loco", "", repoB)};
    LocalMod mod = local("steam_loco");
    QCOMPARE(findCatalogIndex(mod, catalog), 0);
    mod.repositoryUrl = repoB.toUpper() + "  ";
    QCOMPARE(findCatalogIndex(mod, catalog), 1);
    QCOMPARE(CatalogMatchIndex(catalog).findCatalogIndex(mod), 1);
    // Nothing of the own repository matches: the first match of all is taken.
    mod.repositoryUrl = QStringLiteral("https://third.invalid/r.json");
    QCOMPARE(findCatalogIndex(mod, catalog), 0);
    QCOMPARE(CatalogMatchIndex(catalog).findCatalogIndex(mod), 0);
    QCOMPARE(findCatalogIndex(local("unrelated"), catalog), -1);
}

void LocalScanTest::linkingTakesOriginNameAndVersion()
{
    struct Row
    {
        const char *filesVersion, *catalogVersion, *version;
        bool fromMarker;
    };
    // The marker recorded 1.1; the catalog's spelling is shown once the files are at its release.
    const Row rows[] = {
        {"1.2.0", "1.2", "1.2", true}, {"1.3", "1.2", "1.3", false}, {"", "1.2", "1.1", true}};
    for (const Row &row : rows) {
        RepoMod catalogEntry = entry("8094", "P 2 Dampflok", "P2.zip", repoB);
        catalogEntry.version = QString::fromLatin1(row.catalogVersion);
        catalogEntry.previewUrl = QStringLiteral("  https://img.invalid/p2.png ");
        LocalMod mod = local("p2");
        mod.filesVersion = QString::fromLatin1(row.filesVersion);
        mod.markerVersion = mod.version = QStringLiteral("1.1");
        mod.versionFromMarker = true;
        mod.repositoryName = QStringLiteral("Kept");
        QList<LocalMod> mods = {mod, local("unrelated"), modIoCopy("2750123", "P 2 Dampflok")};
        linkLocalModsToCatalog(mods, {entry("1", "Other"), catalogEntry});
        QCOMPARE(mods[0].repoEntryId, QStringLiteral("8094"));
        QCOMPARE(mods[0].repositoryName, QStringLiteral("Kept"));
        QCOMPARE(mods[0].repositoryUrl, repoB);
        QCOMPARE(mods[0].name, QStringLiteral("P 2 Dampflok"));
        QCOMPARE(mods[0].previewUrl, QStringLiteral("https://img.invalid/p2.png"));
        QCOMPARE(mods[0].version, QString::fromLatin1(row.version));
        QCOMPARE(mods[0].versionFromMarker, row.fromMarker);
        QVERIFY(mods[1].repoEntryId.isEmpty());
        // mod.io copies are left alone.
        QVERIFY(mods[2].repoEntryId.isEmpty() && mods[2].repositoryUrl.isEmpty());
    }
}

void LocalScanTest::duplicateInstallations()
{
    const QList<RepoMod> catalog = {entry("8094", "Big Steam Loco", "BigSteamLoco-1.0.zip"),
                                    entry("12", "Tram", "Tram.zip")};
    QList<LocalMod> mods;
    mods << modIoCopy("2750123", "Big Steam Loco")     // 0: mod.io copy of entry 8094
         << local("big_steam_loco")                    // 1: manual copy of entry 8094
         << modIoCopy("2750200", "Tram")               // 2: short name key, but the same catalog entry
         << local("tram")                              // 3
         << modIoCopy("2750300", "Bus")                // 4: short name, no catalog entry
         << local("bus")                               // 5
         << modIoCopy("2750400", "Container Terminal") // 6: no catalog entry, name key of 17 characters
         << local("terminal", "Container-Terminal");   // 7
    // The mod.io folder also entered as a custom folder: the same folder twice is no duplicate.
    LocalMod sameFolder = mods[0];
    sameFolder.source = QStringLiteral("Individuell");
    sameFolder.path = mods[0].path.toUpper();
    mods << sameFolder; // 8

    const DuplicateInstallations found = detectDuplicateInstallations(mods, catalog);
    QCOMPARE(found.indexes, (QSet<int>{0, 1, 2, 3, 6, 7}));
    QCOMPARE(found.descriptions.size(), 3); // 0+1, 2+3, 6+7, each once though found twice
    QCOMPARE(found.descriptions[0], QStringLiteral("Big Steam Loco\n  mod.io: /games/modio/mods/2750123\n"
                                                   "  Weitere Installation: /games/mods/big_steam_loco"));
}

void LocalScanTest::installStatus_data()
{
    QTest::addColumn<QList<LocalMod>>("mods");
    QTest::addColumn<QList<LocalMod>>("copies");
    QTest::addColumn<CatalogInstallState>("state");
    QTest::addColumn<QString>("text");

    auto withVersion = [](LocalMod mod, const QString &version) {
        mod.version = version;
        return mod;
    };
    const LocalMod plain = local("signals");
    const LocalMod modIo = modIoCopy("2750123", "Signals");
    using Mods = QList<LocalMod>;
    QTest::newRow("newer than the catalog")
        << Mods{withVersion(plain, "1.1")} << Mods{} << CatalogInstallState::Installed << "Installiert";
    QTest::newRow("outdated mod.io copy")
        << Mods{withVersion(modIo, "0.1")} << Mods{} << CatalogInstallState::ModIoUpdateAvailable
        << "mod.io – Update über mod.io";
    QTest::newRow("both, whatever the versions")
        << Mods{withVersion(plain, "0.1"), withVersion(modIo, "9.0")} << Mods{}
        << CatalogInstallState::InstalledTwice << "⚠ Doppelt installiert";
    QTest::newRow("only a folder copy, outdated")
        << Mods{} << Mods{local("tram"), withVersion(plain, "0.5")} << CatalogInstallState::UpdateAvailable
        << "Update verfügbar";
    QTest::newRow("scanned match wins over folder copy")
        << Mods{withVersion(plain, "1.0")} << Mods{withVersion(plain, "0.1")}
        << CatalogInstallState::Installed << "Installiert";
}

void LocalScanTest::installStatus()
{
    QFETCH(QList<LocalMod>, mods);
    QFETCH(QList<LocalMod>, copies);
    QFETCH(CatalogInstallState, state);
    QFETCH(QString, text);

    RepoMod catalogEntry = entry("8094", "Signals", "Signals-1.0.zip");
    catalogEntry.modioId = QStringLiteral("2750123");
    catalogEntry.version = QStringLiteral("1.0");
    const CatalogInstallStatus plain = catalogInstallStatus(catalogEntry, mods, copies);
    const CatalogInstallStatus indexed = InstalledModsIndex(mods, copies).status(catalogEntry);
    QCOMPARE(plain.state, state);
    QCOMPARE(indexed.state, state);
    QCOMPARE(indexed.copy.path, plain.copy.path);
    QCOMPARE(catalogInstallStatusText(state), text);
}

void LocalScanTest::installedCopyOnDiskLooksOnlyAtTopLevels()
{
    TestEnvironment env;
    // The scan links this folder by its nested marker; the direct look sees only the top level.
    env.writeFile("manual/p2_renamed/inner/mod.lua", "name = 'Something'");
    env.writeFile("manual/p2_renamed/inner/.fx3modmanager.json", R"({"repo_entry_id": "8094"})");
    env.writeFile("custom/folder_x/.fx3modmanager.json", R"({"repo_entry_id": "77", "version": "2.0"})");
    env.writeFile("modio/mods/2750/mod.json", R"({"name": "Tram Pack", "version": "3"})");
    LocalModFolders folders;
    folders.userModsPath = env.root() + "/manual";
    folders.customModPaths = {env.root() + "/custom"};
    folders.modIoModsPath = env.root() + "/modio/mods";

    QVERIFY(!findInstalledCopyOnDisk(entry("8094", "P2"), {}, folders).found);
    const LocalScanResult scan = scanLocalMods(folders);
    QVERIFY(findInstalledCopyOnDisk(entry("8094", "P2"), scan.mods, folders).found);
    const InstalledCopy byMarker = findInstalledCopyOnDisk(entry("77", "X"), {}, folders);
    QVERIFY(byMarker.found);
    QCOMPARE(byMarker.version, QStringLiteral("2.0"));
    QCOMPARE(byMarker.path, env.root() + "/custom/folder_x");
    QCOMPARE(findInstalledCopyOnDisk(entry("5", "Tram Pack"), {}, folders).version, QStringLiteral("3"));
}

QTEST_GUILESS_MAIN(LocalScanTest)
#include "tst_localscan.moc"
