#include "app/settings.h"
#include "environment/discovery.h"
#include "environment/pathverdicts.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QScopeGuard>
#include <QTest>

#include <memory>

// Fake Steam, Proton and mod.io trees are built below the test's private root; its HOME is <root>/home.
// "%ROOT%" in table texts stands for that root.
class DiscoveryTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void findSteamRoot();
    void findSteamLibraries();
    void gameFolder();
    void findSteamUserModsPath();
    void folderChecks();
    void modIoGlobalSettingsPath();
    void modIoFolderFromSettings_data();
    void modIoFolderFromSettings();

    void moveRefuses_data();
    void moveRefuses();
    void moveKeepsOtherMembersAndBacksUp();

    void verdicts_data();
    void verdicts();
    void refusals_data();
    void refusals();
    void storageRootFromModsPath_data();
    void storageRootFromModsPath();

private:
    QString at(const QString &relative) const
    {
        return QDir::cleanPath(m_root + QLatin1Char('/') + relative);
    }
    QString expand(QString text) const { return text.replace(QStringLiteral("%ROOT%"), m_root); }
    // A Steam installation at ~/.local/share/Steam, reached also through the usual ~/.steam/steam link.
    QString makeSteam();
    QString settingsFile() const { return at(QStringLiteral("localappdata/mod.io/globalsettings.json")); }
    // A game folder, a mod folder, a mod.io tree with upper-case letters and a few would-be extractors.
    void makePathTree() const;

    std::unique_ptr<TestEnvironment> m_env;
    QString m_root; // resolved, as discovery reports paths reached through links
};

namespace {
void verdictRow(const char *name, const char *kind, const char *input, const char *bundled,
                const QString &text, const QString &style)
{
    QTest::newRow(name) << kind << input << bundled << text << style;
}

void refusalRow(const char *name, const char *kind, const char *input, const QString &title)
{
    QTest::newRow(name) << kind << input << title;
}
} // namespace

void DiscoveryTest::init()
{
    m_env = std::make_unique<TestEnvironment>();
    m_root = QFileInfo(m_env->root()).canonicalFilePath();
}

void DiscoveryTest::cleanup()
{
    m_env.reset();
}

void DiscoveryTest::findSteamRoot()
{
    QCOMPARE(::findSteamRoot(), QString());
    const QString flatpak =
        m_env->makeDir(QStringLiteral("home/.var/app/com.valvesoftware.Steam/.local/share/Steam"));
    QCOMPARE(::findSteamRoot(), QFileInfo(flatpak).canonicalFilePath());
    // A dangling ~/.steam/steam link is passed over; the native install then wins over flatpak.
    m_env->makeDir(QStringLiteral("home/.steam"));
    QVERIFY(
        QFile::link(at(QStringLiteral("home/.local/share/Steam")), at(QStringLiteral("home/.steam/steam"))));
    QCOMPARE(::findSteamRoot(), QFileInfo(flatpak).canonicalFilePath());
    m_env->makeDir(QStringLiteral("home/.local/share/Steam"));
    QCOMPARE(::findSteamRoot(), at(QStringLiteral("home/.local/share/Steam")));
}

QString DiscoveryTest::makeSteam()
{
    const QString steam = m_env->makeDir(QStringLiteral("home/.local/share/Steam"));
    m_env->makeDir(QStringLiteral("home/.steam"));
    QFile::link(steam, at(QStringLiteral("home/.steam/steam")));
    return steam;
}

void DiscoveryTest::makePathTree() const
{
    m_env->writeFile(QStringLiteral("game/ferroline3.exe"), {});
    m_env->makeDir(QStringLiteral("notgame"));
    m_env->makeDir(QStringLiteral("store/73160/MODS"));
    m_env->makeDir(QStringLiteral("store/73161/mods"));
    for (const char *tool : {"tools/unrar.exe", "tools/tar.exe", "tools/7zz"})
        m_env->writeFile(QLatin1String(tool), {});
    m_env->makeDir(QStringLiteral("tools/7z.exe"));
}

void DiscoveryTest::findSteamLibraries()
{
    QCOMPARE(::findSteamLibraries(), QStringList());
    const QString steam = makeSteam();
    QCOMPARE(::findSteamLibraries(), QStringList{steam});
    for (const char *library : {"libs/two", "libs/Two", "libs/back\\slash", "contentid"})
        m_env->makeDir(QString::fromUtf8(library));
    // A relative value must not be taken from our own working folder.
    const QString workingFolder = QDir::currentPath();
    const auto restoreWorkingFolder = qScopeGuard([&] { QDir::setCurrent(workingFolder); });
    QVERIFY(QDir::setCurrent(m_root));
    // Links, missing folders, blank values and untidy spellings add nothing; letter case tells folders apart.
    QVERIFY(writeTestFile(steam + QStringLiteral("/steamapps/libraryfolders.vdf"),
                          expand(QStringLiteral("\"0\" { \"path\" \"%ROOT%/home/.steam/steam\" }\n"
                                                "\"2\"\n{\n\t\"path\"\n\t\"%ROOT%/libs/two\"\n}\n"
                                                "\"1\" { \"path\" \"\" }\n"
                                                "\"3\" { \"path\" \"%ROOT%/libs/missing\" }\n"
                                                "\"4\" { \"path\" \"%ROOT%/libs/./two/\" }\n"
                                                "\"5\" { \"path\" \"%ROOT%/libs/Two\" }\n"
                                                "\"6\" { \"path\" \"%ROOT%/libs/back\\\\slash\" }\n"
                                                "\"7\" { \"label\" \"path\" \"contentid\" \"libs\" }\n"))
                              .toUtf8()));
    QCOMPARE(::findSteamLibraries(),
             (QStringList{steam, at(QStringLiteral("libs/two")), at(QStringLiteral("libs/Two")),
                          at(QStringLiteral("libs/back\\slash"))}));
}

void DiscoveryTest::gameFolder()
{
    m_env->writeFile(QStringLiteral("game/readme.txt"), "x");
    m_env->makeDir(QStringLiteral("folder/ferroline3.exe"));
    m_env->writeFile(QStringLiteral("upper/Ferroline3.EXE"), "x");
    QVERIFY(!::isGameFolder(QStringLiteral("   ")));
    QVERIFY(!::isGameFolder(at(QStringLiteral("game"))));
    QVERIFY(!::isGameFolder(at(QStringLiteral("folder"))));
    QVERIFY(::isGameFolder(QStringLiteral("  ") + m_root + QStringLiteral("/x/../upper/  ")));

    QCOMPARE(::detectGamePath(), QString());
    const QString steam = makeSteam();
    // A folder of the right name without the executable is not the game; the first library holding it wins.
    m_env->makeDir(QStringLiteral("home/.local/share/Steam/steamapps/common/Ferroline 3"));
    writeTestFile(steam + QStringLiteral("/steamapps/libraryfolders.vdf"),
                  expand(QStringLiteral("\"path\" \"%ROOT%/lib1\"\n\"path\" \"%ROOT%/lib2\"")).toUtf8());
    m_env->makeDir(QStringLiteral("lib1"));
    m_env->writeFile(QStringLiteral("lib2/steamapps/common/Ferroline 3/ferroline3.exe"), "x");
    QCOMPARE(::detectGamePath(), at(QStringLiteral("lib2/steamapps/common/Ferroline 3")));
    m_env->writeFile(QStringLiteral("lib1/steamapps/common/Ferroline 3/ferroline3.exe"), "x");
    QCOMPARE(::detectGamePath(), at(QStringLiteral("lib1/steamapps/common/Ferroline 3")));
}

void DiscoveryTest::findSteamUserModsPath()
{
    QCOMPARE(::findSteamUserModsPath(), QString());
    const QString userData = makeSteam() + QStringLiteral("/userdata/");
    // A file where a user folder might be must not count; name order decides, users without mods are passed.
    writeTestFile(userData + QStringLiteral("050"), "x");
    for (const char *folder : {"100/1948260/local", "200/1948260/local/mods", "1000/1948260/local/mods"})
        QVERIFY(QDir().mkpath(userData + QString::fromUtf8(folder)));
    QCOMPARE(::findSteamUserModsPath(),
             QDir::cleanPath(userData + QStringLiteral("1000/1948260/local/mods")));
}

void DiscoveryTest::folderChecks()
{
    // A file where the folder should be counts as neither; a blank entry means "not set" and passes both.
    m_env->writeFile(QStringLiteral("f/73160/mods"), "x");
    QVERIFY(!::isModIoModsFolder(at(QStringLiteral("f/73160/mods"))));
    QVERIFY(!::isExistingOrEmptyFolder(at(QStringLiteral("f/73160/mods"))));
    QVERIFY(::isModIoModsFolder(QStringLiteral("  ")) && ::isExistingOrEmptyFolder(QStringLiteral("  ")));
}

void DiscoveryTest::modIoGlobalSettingsPath()
{
    m_env->setEnv("LOCALAPPDATA", "local");
    QCOMPARE(::modIoGlobalSettingsPath(), QString()); // a relative LOCALAPPDATA is not used
    // The game's Proton prefix in a second library.
    m_env->makeDir(QStringLiteral("lib2/steamapps/compatdata/1948260/pfx/drive_c"));
    writeTestFile(makeSteam() + QStringLiteral("/steamapps/libraryfolders.vdf"),
                  expand(QStringLiteral("\"path\" \"%ROOT%/lib2\"")).toUtf8());
    m_env->setEnv("LOCALAPPDATA", "  ");
    const QString protonFile = at(QStringLiteral("lib2/steamapps/compatdata/1948260/pfx/drive_c/users/"
                                                 "steamuser/AppData/Local/mod.io/globalsettings.json"));
    QCOMPARE(::modIoGlobalSettingsPath(), protonFile);
    // The game inside the prefix reads Windows paths: the host folder is written through drive Z:.
    QString error;
    QVERIFY2(::moveModIoStorage(at(QStringLiteral("store")), &error), qPrintable(error));
    QCOMPARE(QJsonDocument::fromJson(readTestFile(protonFile)).object(),
             QJsonObject({{QStringLiteral("RootLocalStoragePath"),
                           QString("Z:" + at(QStringLiteral("store")) + "/")}}));
    QCOMPARE(::detectModIoModsPath(), at(QStringLiteral("store/73160/mods")));
    m_env->setEnv("LOCALAPPDATA", (QStringLiteral("  ") + m_root + QStringLiteral("/local/  ")).toUtf8());
    QCOMPARE(::modIoGlobalSettingsPath(), at(QStringLiteral("local/mod.io/globalsettings.json")));
}

void DiscoveryTest::modIoFolderFromSettings_data()
{
    QTest::addColumn<QByteArray>("settings"); // null: no file
    QTest::addColumn<QString>("expectedRoot");
    QTest::addColumn<QString>("expectedMods");

    const QString store = QStringLiteral("%ROOT%/store");
    const QString mods = QStringLiteral("%ROOT%/store/73160/mods");
    QTest::newRow("no file") << QByteArray() << QString() << QString();
    QTest::newRow("byte order mark, padded")
        << QByteArray("\xEF\xBB\xBF{\"RootLocalStoragePath\": \"  %ROOT%/store/ \"}") << store << mods;
    QTest::newRow("exact key empty, other case used")
        << QByteArray("{\"RootLocalStoragePath\": \"\", \"rootLocalStoragePath\": \"%ROOT%/store\"}") << store
        << mods;
    QTest::newRow("root without game folder") << QByteArray("{\"RootLocalStoragePath\": \"%ROOT%/bare\"}")
                                              << QStringLiteral("%ROOT%/bare") << QString();
    QTest::newRow("missing root") << QByteArray("{\"RootLocalStoragePath\": \"%ROOT%/gone\"}") << QString()
                                  << QString();
    QTest::newRow("malformed") << QByteArray("{\"RootLocalStoragePath\": \"%ROOT%/store\"") << QString()
                               << QString();
}

void DiscoveryTest::modIoFolderFromSettings()
{
    QFETCH(QByteArray, settings);
    QFETCH(QString, expectedRoot);
    QFETCH(QString, expectedMods);
    m_env->useLocalAppData();
    m_env->makeDir(QStringLiteral("store/73160/mods"));
    m_env->makeDir(QStringLiteral("bare"));
    if (!settings.isNull())
        QVERIFY(writeTestFile(settingsFile(), expand(QString::fromUtf8(settings)).toUtf8()));
    QCOMPARE(::modIoRootStoragePath(), expand(expectedRoot));
    QCOMPARE(::detectModIoModsPath(), expand(expectedMods));
}

void DiscoveryTest::moveRefuses_data()
{
    QTest::addColumn<QByteArray>("settings"); // null: the settings file cannot be located
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("fault");    // the file operation that fails
    QTest::addColumn<QString>("expected"); // %FILE% is the settings file, %STORE% the new mods folder
    QTest::addColumn<bool>("backupWritten");

    const QByteArray valid = "{\"RootLocalStoragePath\": \"C:/old/\"}";
    const QString invalid = QStringLiteral(
        "globalsettings.json enthält kein gültiges JSON. Die Datei wurde deshalb nicht verändert.\n\n");
    const auto row = [](const char *tag, const QByteArray &settings, const char *target, const char *fault,
                        const QString &expected, bool backup = false) {
        QTest::newRow(tag) << settings << QString::fromUtf8(target) << QString::fromUtf8(fault) << expected
                           << backup;
    };
    row("no settings file", QByteArray(), "%ROOT%/store", "",
        "Der Pfad zu mod.io/globalsettings.json konnte nicht ermittelt werden.");
    row("blank target", valid, " \t ", "", "Der neue mod.io-Speicherort ist leer.");
    row("relative target", valid, "store", "", "Der neue mod.io-Speicherort muss ein absoluter Pfad sein.");
    row("unterminated JSON", "{\"RootLocalStoragePath\": ", "%ROOT%/store", "",
        invalid + "unterminated object");
    row("JSON array", "[1, 2]", "%ROOT%/store", "", invalid + "Das oberste JSON-Element ist kein Objekt.");
    row("mods folder", valid, "%ROOT%/store", "makeMods",
        "Der neue mod.io-Speicherort konnte nicht erstellt werden:\n%STORE%");
    row("read", valid, "%ROOT%/store", "read", "globalsettings.json konnte nicht gelesen werden:\n%FILE%");
    row("backup", valid, "%ROOT%/store", "backup",
        "Sicherung von globalsettings.json konnte nicht erstellt werden:\n%FILE%.bak");
    row("write", valid, "%ROOT%/store", "write",
        "globalsettings.json konnte nicht gespeichert werden:\n%FILE%", true);
}

void DiscoveryTest::moveRefuses()
{
    QFETCH(QByteArray, settings);
    QFETCH(QString, target);
    QFETCH(QString, fault);
    QFETCH(QString, expected);
    QFETCH(bool, backupWritten);
    if (!settings.isNull()) {
        m_env->useLocalAppData();
        QVERIFY(writeTestFile(settingsFile(), settings));
    }
    const QString modsFolder = at(QStringLiteral("store/73160/mods"));

    int saves = 0;
    ModIoStorageFileOps ops;
    ops.makeFolder = [&](const QString &folder) {
        return !(fault == QLatin1String("makeMods") && folder == modsFolder) && QDir().mkpath(folder);
    };
    ops.readFile = [&](const QString &file, QByteArray *content) {
        *content = readTestFile(file);
        return fault != QLatin1String("read");
    };
    ops.replaceCopy = [&](const QString &source, const QString &target) {
        return fault != QLatin1String("backup") && QFile::copy(source, target);
    };
    ops.saveFile = [&](const QString &, const QByteArray &) {
        ++saves;
        return ModIoSaveResult::WriteFailed;
    };

    QString error;
    QVERIFY(!::moveModIoStorage(expand(target), &error, ops));
    QCOMPARE(error, QString(expected)
                        .replace(QStringLiteral("%FILE%"), settingsFile())
                        .replace(QStringLiteral("%STORE%"), modsFolder));
    // The game's own file is never left changed or broken.
    QCOMPARE(readTestFile(settingsFile()), settings.isNull() ? QByteArray() : settings);
    QCOMPARE(QFileInfo::exists(settingsFile() + QStringLiteral(".bak")), backupWritten);
    QCOMPARE(saves, backupWritten ? 1 : 0);
}

void DiscoveryTest::moveKeepsOtherMembersAndBacksUp()
{
    m_env->useLocalAppData();
    const QByteArray original = "{\n  \"Counter\": 9007199254740993,\n  \"Nested\": {\"a\": [1, \"b\"]},\n"
                                "  \"rootLocalStoragePath\": \"C:/old/\",\n  \"Text\": \"äö\"\n}\n";
    QVERIFY(writeTestFile(settingsFile(), original));
    QVERIFY(writeTestFile(settingsFile() + QStringLiteral(".bak"), "an older backup"));

    const QString newRoot = at(QStringLiteral("store"));
    QString error;
    QVERIFY2(::moveModIoStorage(QStringLiteral("  ") + newRoot + QStringLiteral("// "), &error),
             qPrintable(error));

    QCOMPARE(readTestFile(settingsFile() + QStringLiteral(".bak")), original);
    QJsonObject expected = QJsonDocument::fromJson(original).object();
    expected.insert(QStringLiteral("rootLocalStoragePath"), QString(newRoot + QLatin1Char('/')));
    const QJsonObject after = QJsonDocument::fromJson(readTestFile(settingsFile())).object();
    QCOMPARE(after, expected);
    QCOMPARE(after.value(QStringLiteral("Counter")).toInteger(), Q_INT64_C(9007199254740993));
    QCOMPARE(::detectModIoModsPath(), newRoot + QStringLiteral("/73160/mods"));
}

void DiscoveryTest::verdicts_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("bundled"); // extractor rows: the shipped 7-Zip
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("style");

    const QString green = QStringLiteral("color:#16813a;");
    const QString red = QStringLiteral("color:#b42318;");
    const QString amber = QStringLiteral("color:#b7791f;");
    verdictRow("game found", "game", " %ROOT%/game/ ", "", "✓ Gültig – ferroline3.exe gefunden", green);
    verdictRow("game missing, setup", "game", "%ROOT%/notgame", "",
               "✗ Ungültig – in diesem Ordner wurde ferroline3.exe nicht gefunden", red);
    verdictRow("game missing, settings", "game settings", "", "", "✗ Ungültig – ferroline3.exe fehlt", red);
    verdictRow("mods exist", "usermods", "%ROOT%/notgame", "", "✓ Gültiger Modordner", green);
    verdictRow("mods missing", "usermods", "%ROOT%/nowhere", "",
               "✗ Ungültig – der gewählte Modordner existiert nicht", red);
    verdictRow("mod.io upper case", "modio", "%ROOT%/store/73160/MODS/", "",
               "✓ Gültiger mod.io-Modordner (.../73160/mods)", green);
    verdictRow("mod.io other game", "modio", "%ROOT%/store/73161/mods", "",
               "✗ Ungültig – erwartet wird .../73160/mods", red);
    verdictRow("mod.io not yet there, settings", "modio settings", "%ROOT%/new/73160/mods", "",
               "Zielordner: %ROOT%/new/73160/mods", green);
    verdictRow("mod.io empty, settings", "modio settings", "", "", "Optional – nicht eingerichtet", green);
    verdictRow("root empty", "storage", "", "", "Optional – der mod.io-Speicherort wird nicht geändert",
               green);
    verdictRow("root new folder", "storage", "%ROOT%/new/", "",
               "✓ ModHub und ModManager verwenden: %ROOT%/new", green);
    verdictRow("root relative", "storage", "mod.io", "",
               "✗ Bitte einen absoluten Ordnerpfad als mod.io-Speicherort wählen", red);
    verdictRow("custom all there", "custom", "%ROOT%/game|%ROOT%/notgame", "",
               "✓ 2 individuelle Mod-Pfade eingerichtet", green);
    verdictRow("custom one missing", "custom", "%ROOT%/game|%ROOT%/gone", "",
               "✗ 1 individueller Mod-Pfad bzw. Pfade existieren nicht", red);
    verdictRow("extractor bundled", "extractor", "", "/app/7z.exe",
               "✓ Integriertes 7-Zip wird verwendet: " + QDir::toNativeSeparators("/app/7z.exe"), green);
    verdictRow("extractor fallback", "extractor", "", "",
               "Integriertes 7-Zip fehlt – Fallback gefunden: " + QDir::toNativeSeparators("/usr/bin/7zz"),
               amber);
    verdictRow("extractor nothing", "extractor none", "", "",
               "⚠ Integriertes 7-Zip fehlt – kein alternativer Entpacker gefunden", red);
    verdictRow("unrar.exe lower case beside bundled", "extractor", "%ROOT%/tools/unrar.exe", "/app/7z.exe",
               "✓ Alternative gespeichert – integriertes 7-Zip hat Vorrang", green);
    verdictRow("7zz without .exe", "extractor", "%ROOT%/tools/7zz", "",
               "✓ Gültiger alternativer Entpacker gefunden", green);
    verdictRow("7z.exe is a folder", "extractor", "%ROOT%/tools/7z.exe", "",
               "✗ Ungültig – bitte 7z.exe, 7zz.exe, 7za.exe, WinRAR.exe, RAR.exe oder UnRAR.exe wählen", red);
}

void DiscoveryTest::verdicts()
{
    QFETCH(QString, kind);
    QFETCH(QString, input);
    QFETCH(QString, bundled);
    QFETCH(QString, text);
    QFETCH(QString, style);
    makePathTree();
    input = expand(input);
    // A path in the text is shown with the system's separators.
    const qsizetype path = text.indexOf(QLatin1String("%ROOT%"));
    if (path >= 0)
        text = text.left(path) + QDir::toNativeSeparators(expand(text.mid(path)));
    const PathDialog dialog =
        kind.endsWith(QLatin1String(" settings")) ? PathDialog::Settings : PathDialog::Setup;
    bool fallbackAsked = false;
    const auto fallback = [&] {
        fallbackAsked = true;
        return kind == QLatin1String("extractor none") ? QString() : QStringLiteral("/usr/bin/7zz");
    };
    PathVerdict verdict;
    if (kind.startsWith(QLatin1String("game")))
        verdict = gameFolderVerdict(input, dialog);
    else if (kind == QLatin1String("usermods"))
        verdict = userModsVerdict(input);
    else if (kind.startsWith(QLatin1String("modio")))
        verdict = modIoModsVerdict(input, dialog);
    else if (kind == QLatin1String("storage"))
        verdict = storageRootVerdict(input);
    else if (kind == QLatin1String("custom"))
        verdict = customPathsVerdict(input.split(QLatin1Char('|')));
    else
        verdict = extractorVerdict(input, bundled, fallback);
    QCOMPARE(verdict.text, text);
    QCOMPARE(verdictStyleSheet(verdict.tone), style);
    // Looking for other tools costs a search of the system; only an empty field without 7-Zip needs it.
    QCOMPARE(fallbackAsked,
             kind.startsWith(QLatin1String("extractor")) && input.isEmpty() && bundled.isEmpty());
}

void DiscoveryTest::refusals_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("title"); // empty: accepted

    refusalRow("game, setup", "game", "%ROOT%/notgame", "Ungültiger Spielordner");
    refusalRow("mods missing", "usermods", "%ROOT%/gone", "Ungültiger Modordner");
    refusalRow("mods empty", "usermods", "", "");
    refusalRow("mod.io missing", "modio", "%ROOT%/new/73160/mods", "Ungültiger mod.io-Ordner");
    refusalRow("tar.exe", "extractor", "%ROOT%/tools/tar.exe", "Ungültiger Entpacker");
    refusalRow("custom missing", "custom", "%ROOT%/game|%ROOT%/gone", "Ungültiger individueller Modpfad");
    const QString badApi = QStringLiteral("Ungültiger mod.io API-Pfad");
    refusalRow("api game root", "api", "https://g-73160.modapi.io/v1", "");
    refusalRow("api domain itself, upper case", "api", "HTTPS://MODAPI.IO/v1", "");
    refusalRow("api http", "api", "http://g-73160.modapi.io/v1", badApi);
    refusalRow("api general root", "api", "https://api.mod.io/v1", badApi);
    refusalRow("api look-alike host", "api", "https://evilmodapi.io/v1", badApi);
    const QString badCommunity = QStringLiteral("Ungültige Community-API");
    refusalRow("community http", "community", "http://127.0.0.1:8080/reports.php", "");
    refusalRow("community ftp", "community", "ftp://site.example/r", badCommunity);
    refusalRow("community no host", "community", "http://", badCommunity);
    const QString badRoot = QStringLiteral("Ungültiger mod.io-Speicherort");
    refusalRow("root empty", "storage", "", "");
    refusalRow("root relative", "storage", "new", badRoot);
    refusalRow("root a file", "storage", "%ROOT%/tools/tar.exe", badRoot);
}

void DiscoveryTest::refusals()
{
    QFETCH(QString, kind);
    QFETCH(QString, input);
    QFETCH(QString, title);
    makePathTree();
    input = expand(input);
    Refusal refusal;
    if (kind == QLatin1String("game"))
        refusal = refuseGameFolder(input, PathDialog::Setup);
    else if (kind == QLatin1String("usermods"))
        refusal = refuseUserMods(input, PathDialog::Setup);
    else if (kind == QLatin1String("modio"))
        refusal = refuseModIoMods(input);
    else if (kind == QLatin1String("extractor"))
        refusal = refuseExtractor(input);
    else if (kind == QLatin1String("custom"))
        refusal = refuseCustomPaths(input.split(QLatin1Char('|')), nullptr);
    else if (kind == QLatin1String("api"))
        refusal = refuseModIoApiRoot(input);
    else if (kind == QLatin1String("community"))
        refusal = refuseCommunityUrl(input);
    else
        refusal = refuseStorageRoot(input);
    QCOMPARE(refusal.title, title);
    QCOMPARE(refusal.refused(), !refusal.text.isEmpty());
    if (kind == QLatin1String("custom"))
        QVERIFY(refusal.text.endsWith(QDir::toNativeSeparators(at(QStringLiteral("gone")))));
}

void DiscoveryTest::storageRootFromModsPath_data()
{
    QTest::addColumn<QString>("modsPath");
    QTest::addColumn<QString>("root");

    QTest::newRow("upper case, trailing slash, dots") << " /games/x/../mod.io/73160/MODS/ "
                                                      << "/games/mod.io";
    QTest::newRow("directly below the file-system root") << "/73160/mods"
                                                         << "/";
    QTest::newRow("other game") << "/games/mod.io/73161/mods"
                                << "";
    QTest::newRow("id only as suffix") << "/games/mod.io/173160/mods"
                                       << "";
    QTest::newRow("no mods folder") << "/games/mod.io/73160"
                                    << "";
    QTest::newRow("empty") << ""
                           << "";
}

void DiscoveryTest::storageRootFromModsPath()
{
    QFETCH(QString, modsPath);
    QFETCH(QString, root);
    QCOMPARE(::storageRootFromModsPath(modsPath), root);
    if (!root.isEmpty())
        QCOMPARE(
            modsPathFromStorageRoot(root).compare(QDir::cleanPath(modsPath.trimmed()), Qt::CaseInsensitive),
            0);
}

QTEST_GUILESS_MAIN(DiscoveryTest)
#include "tst_discovery.moc"
