#include "environment/discovery.h"
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

    void parseSteamLibraryPaths_data();
    void parseSteamLibraryPaths();
    void findSteamRoot_data();
    void findSteamRoot();
    void findSteamLibraries_data();
    void findSteamLibraries();
    void isGameFolder_data();
    void isGameFolder();
    void detectGamePath();
    void findSteamUserModsPath_data();
    void findSteamUserModsPath();

    void folderChecks_data();
    void folderChecks();
    void modIoGlobalSettingsPath_data();
    void modIoGlobalSettingsPath();
    void modIoFolderFromSettings_data();
    void modIoFolderFromSettings();
    void modIoFolderInProtonPrefix_data();
    void modIoFolderInProtonPrefix();

    void moveRejectsInput_data();
    void moveRejectsInput();
    void moveCreatesSettingsAndIsFoundAgain();
    void moveKeepsOtherMembersAndBacksUp();
    void moveNeverOverwritesInvalidJson_data();
    void moveNeverOverwritesInvalidJson();
    void moveReportsFileFaults_data();
    void moveReportsFileFaults();
    void moveReportsUnreadableSettings();
    void moveInProtonPrefixWritesDrivePath();

private:
    QString root() const { return m_root; }
    QString at(const QString &relative) const
    {
        return QDir::cleanPath(root() + QLatin1Char('/') + relative);
    }
    QString expand(QString text) const { return text.replace(QStringLiteral("%ROOT%"), root()); }
    // A Steam installation at ~/.local/share/Steam, reached also through the usual ~/.steam/steam link.
    QString makeSteam();
    // A library folder below the root holding the game's Proton prefix; returns the prefix.
    QString makeProtonPrefix(const QString &library);
    QString settingsFile() const { return at(QStringLiteral("localappdata/mod.io/globalsettings.json")); }

    std::unique_ptr<TestEnvironment> m_env;
    QString m_root; // resolved, as discovery reports paths reached through links
};

void DiscoveryTest::init()
{
    m_env = std::make_unique<TestEnvironment>();
    m_root = QFileInfo(m_env->root()).canonicalFilePath();
}

void DiscoveryTest::cleanup()
{
    m_env.reset();
}

QString DiscoveryTest::makeSteam()
{
    const QString steam = m_env->makeDir(QStringLiteral("home/.local/share/Steam"));
    m_env->makeDir(QStringLiteral("home/.steam"));
    QFile::link(steam, at(QStringLiteral("home/.steam/steam")));
    return steam;
}

QString DiscoveryTest::makeProtonPrefix(const QString &library)
{
    const QString steam = makeSteam();
    const QString prefix = m_env->makeDir(library + QStringLiteral("/steamapps/compatdata/1948260/pfx"));
    m_env->makeDir(library + QStringLiteral("/steamapps/compatdata/1948260/pfx/drive_c"));
    writeTestFile(steam + QStringLiteral("/steamapps/libraryfolders.vdf"),
                  "\"libraryfolders\" { \"1\" { \"path\" \"" + at(library).toUtf8() + "\" } }");
    return prefix;
}

void DiscoveryTest::parseSteamLibraryPaths_data()
{
    QTest::addColumn<QString>("vdf");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("empty") << QString() << QStringList();
    QTest::newRow("Steam's layout") << QStringLiteral(
                                           "\"libraryfolders\"\n{\n\t\"0\"\n\t{\n\t\t\"path\"\t\t\"/home/a/"
                                           "Steam\"\n\t\t\"label\"\t\t\"\"\n\t\t\"apps\"\n\t\t{\n\t\t\t"
                                           "\"1948260\"\t\t\"123\"\n\t\t}\n\t}\n\t\"1\"\n\t{\n\t\t\"path\"\t"
                                           "\t\"/mnt/games\"\n\t}\n}\n")
                                    << QStringList{QStringLiteral("/home/a/Steam"),
                                                   QStringLiteral("/mnt/games")};
    QTest::newRow("doubled backslashes") << QStringLiteral("\"path\"\t\t\"D:\\\\Games\\\\SteamLibrary\"")
                                         << QStringList{QStringLiteral("D:\\Games\\SteamLibrary")};
    QTest::newRow("network share") << QStringLiteral("\"path\" \"\\\\\\\\server\\\\share\"")
                                   << QStringList{QStringLiteral("\\\\server\\share")};
    QTest::newRow("value on the next line")
        << QStringLiteral("\"path\"\n\t\"/x\"") << QStringList{QStringLiteral("/x")};
    QTest::newRow("empty value skipped")
        << QStringLiteral("\"path\" \"\"\n\"path\" \"/y\"") << QStringList{QStringLiteral("/y")};
}

void DiscoveryTest::parseSteamLibraryPaths()
{
    QFETCH(QString, vdf);
    QFETCH(QStringList, expected);
    QCOMPARE(::parseSteamLibraryPaths(vdf), expected);
}

void DiscoveryTest::findSteamRoot_data()
{
    QTest::addColumn<QStringList>("folders"); // below HOME
    QTest::addColumn<QString>("steamLink");   // target of ~/.steam/steam below HOME, "" for none
    QTest::addColumn<QString>("expected");    // below HOME, "" for none

    const QString local = QStringLiteral(".local/share/Steam");
    const QString flatpak = QStringLiteral(".var/app/com.valvesoftware.Steam/.local/share/Steam");
    QTest::newRow("no Steam") << QStringList() << QString() << QString();
    QTest::newRow("flatpak only") << QStringList{flatpak} << QString() << flatpak;
    QTest::newRow("native before flatpak") << QStringList{flatpak, local} << QString() << local;
    QTest::newRow("link resolved") << QStringList{flatpak, local} << local << local;
    QTest::newRow("dangling link skipped") << QStringList{flatpak} << local << flatpak;
    QTest::newRow("plain folder first")
        << QStringList{QStringLiteral(".steam/steam"), local} << QString() << QStringLiteral(".steam/steam");
}

void DiscoveryTest::findSteamRoot()
{
    QFETCH(QStringList, folders);
    QFETCH(QString, steamLink);
    QFETCH(QString, expected);

    for (const QString &folder : folders)
        m_env->makeDir(QStringLiteral("home/") + folder);
    if (!steamLink.isEmpty()) {
        m_env->makeDir(QStringLiteral("home/.steam"));
        QVERIFY(
            QFile::link(at(QStringLiteral("home/") + steamLink), at(QStringLiteral("home/.steam/steam"))));
    }
    const QString expectedPath = expected.isEmpty()
                                     ? QString()
                                     : QFileInfo(at(QStringLiteral("home/") + expected)).canonicalFilePath();
    QCOMPARE(::findSteamRoot(), expectedPath);
}

void DiscoveryTest::findSteamLibraries_data()
{
    QTest::addColumn<QByteArray>("vdf"); // null: no file; "<dir>": a folder in its place
    QTest::addColumn<QStringList>("expected");

    const QString steam = QStringLiteral("home/.local/share/Steam");
    QTest::newRow("no list") << QByteArray() << QStringList{steam};
    QTest::newRow("unreadable list") << QByteArray("<dir>") << QStringList{steam};
    QTest::newRow("several libraries")
        << QByteArray("\"libraryfolders\"\n{\n\"0\" { \"path\" \"%ROOT%/home/.steam/steam\" }\n"
                      "\"1\" { \"path\" \"%ROOT%/home/.local/share/Steam\" }\n"
                      "\"2\" { \"path\" \"%ROOT%/libs/two\" }\n"
                      "\"3\" { \"path\" \"%ROOT%/libs/missing\" }\n"
                      "\"4\" { \"path\" \"%ROOT%/libs/./two/\" }\n"
                      "\"5\" { \"path\" \"%ROOT%/libs/back\\\\slash\" }\n"
                      "\"6\" { \"label\" \"path\" \"contentid\" \"libs\" }\n}\n")
        << QStringList{steam, QStringLiteral("libs/two"), QStringLiteral("libs/back\\slash")};
    // Letter case tells folders apart here; both are separate libraries.
    QTest::newRow("case differs") << QByteArray("\"path\" \"%ROOT%/libs/two\"\n\"path\" \"%ROOT%/libs/Two\"")
                                  << QStringList{steam, QStringLiteral("libs/two"),
                                                 QStringLiteral("libs/Two")};
}

void DiscoveryTest::findSteamLibraries()
{
    QFETCH(QByteArray, vdf);
    QFETCH(QStringList, expected);

    QCOMPARE(::findSteamLibraries(), QStringList());
    const QString steam = makeSteam();
    for (const char *library : {"libs/two", "libs/Two", "libs/back\\slash", "contentid"})
        m_env->makeDir(QString::fromUtf8(library));
    // A relative value must not be taken from our own working folder.
    const QString workingFolder = QDir::currentPath();
    const auto restoreWorkingFolder = qScopeGuard([&] { QDir::setCurrent(workingFolder); });
    QVERIFY(QDir::setCurrent(root()));
    const QString vdfPath = steam + QStringLiteral("/steamapps/libraryfolders.vdf");
    if (vdf == "<dir>")
        QDir().mkpath(vdfPath);
    else if (!vdf.isNull())
        QVERIFY(writeTestFile(vdfPath, expand(QString::fromUtf8(vdf)).toUtf8()));

    QStringList expectedPaths;
    for (const QString &relative : std::as_const(expected))
        expectedPaths.append(at(relative));
    QCOMPARE(::findSteamLibraries(), expectedPaths);
}

void DiscoveryTest::isGameFolder_data()
{
    QTest::addColumn<QString>("file"); // created below the root, "" for none
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("expected");

    const QString exe = QStringLiteral("game/ferroline3.exe");
    QTest::newRow("empty") << exe << QString() << false;
    QTest::newRow("blanks") << exe << QStringLiteral("   ") << false;
    QTest::newRow("missing folder") << QString() << QStringLiteral("%ROOT%/game") << false;
    QTest::newRow("without executable")
        << QStringLiteral("game/readme.txt") << QStringLiteral("%ROOT%/game") << false;
    QTest::newRow("executable is a folder")
        << QStringLiteral("game/ferroline3.exe/x") << QStringLiteral("%ROOT%/game") << false;
    QTest::newRow("executable") << exe << QStringLiteral("%ROOT%/game") << true;
    QTest::newRow("untidy spelling") << exe << QStringLiteral("  %ROOT%/x/../game/  ") << true;
    QTest::newRow("executable in other case")
        << QStringLiteral("game/Ferroline3.EXE") << QStringLiteral("%ROOT%/game") << true;
}

void DiscoveryTest::isGameFolder()
{
    QFETCH(QString, file);
    QFETCH(QString, path);
    QFETCH(bool, expected);
    m_env->makeDir(QStringLiteral("game"));
    if (!file.isEmpty())
        QVERIFY(writeTestFile(at(file), "x"));
    QCOMPARE(::isGameFolder(expand(path)), expected);
}

void DiscoveryTest::detectGamePath()
{
    QCOMPARE(::detectGamePath(), QString());
    const QString steam = makeSteam();
    // A folder of the right name without the executable is not the game.
    m_env->makeDir(QStringLiteral("home/.local/share/Steam/steamapps/common/Ferroline 3"));
    writeTestFile(steam + QStringLiteral("/steamapps/libraryfolders.vdf"),
                  expand(QStringLiteral("\"path\" \"%ROOT%/lib1\"\n\"path\" \"%ROOT%/lib2\"")).toUtf8());
    m_env->makeDir(QStringLiteral("lib1"));
    m_env->makeDir(QStringLiteral("lib2"));
    QCOMPARE(::detectGamePath(), QString());

    m_env->writeFile(QStringLiteral("lib2/steamapps/common/Ferroline 3/ferroline3.exe"), "x");
    QCOMPARE(::detectGamePath(), at(QStringLiteral("lib2/steamapps/common/Ferroline 3")));
    m_env->writeFile(QStringLiteral("lib1/steamapps/common/Ferroline 3/ferroline3.exe"), "x");
    QCOMPARE(::detectGamePath(), at(QStringLiteral("lib1/steamapps/common/Ferroline 3")));
}

void DiscoveryTest::findSteamUserModsPath_data()
{
    QTest::addColumn<QStringList>("folders"); // below userdata
    QTest::addColumn<QString>("expected");    // below userdata, "" for none

    QTest::newRow("no userdata") << QStringList() << QString();
    QTest::newRow("user without the game") << QStringList{QStringLiteral("100/1948260/local")} << QString();
    QTest::newRow("name order decides")
        << QStringList{QStringLiteral("200/1948260/local/mods"), QStringLiteral("1000/1948260/local/mods")}
        << QStringLiteral("1000/1948260/local/mods");
    QTest::newRow("first user without mods")
        << QStringList{QStringLiteral("100/1948260/local"), QStringLiteral("200/1948260/local/mods")}
        << QStringLiteral("200/1948260/local/mods");
}

void DiscoveryTest::findSteamUserModsPath()
{
    QFETCH(QStringList, folders);
    QFETCH(QString, expected);
    QCOMPARE(::findSteamUserModsPath(), QString());
    const QString userData = makeSteam() + QStringLiteral("/userdata/");
    for (const QString &folder : folders)
        QDir().mkpath(userData + folder);
    // A file where a user folder might be must not count.
    if (!folders.isEmpty())
        writeTestFile(userData + QStringLiteral("050"), "x");
    QCOMPARE(::findSteamUserModsPath(),
             expected.isEmpty() ? QString() : QDir::cleanPath(userData + expected));
}

void DiscoveryTest::folderChecks_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("modIoMods");
    QTest::addColumn<bool>("existingOrEmpty");

    QTest::newRow("empty") << QString() << true << true;
    QTest::newRow("blanks") << QStringLiteral("  ") << true << true;
    QTest::newRow("mods folder") << QStringLiteral("%ROOT%/a/73160/mods") << true << true;
    QTest::newRow("trailing slash, other case") << QStringLiteral("%ROOT%/b/73160/MODS/") << true << true;
    QTest::newRow("other game") << QStringLiteral("%ROOT%/c/12345/mods") << false << true;
    QTest::newRow("game folder only") << QStringLiteral("%ROOT%/a/73160") << false << true;
    QTest::newRow("missing") << QStringLiteral("%ROOT%/x/73160/mods") << false << false;
    QTest::newRow("file") << QStringLiteral("%ROOT%/f/73160/mods") << false << false;
}

void DiscoveryTest::folderChecks()
{
    QFETCH(QString, path);
    QFETCH(bool, modIoMods);
    QFETCH(bool, existingOrEmpty);
    m_env->makeDir(QStringLiteral("a/73160/mods"));
    m_env->makeDir(QStringLiteral("b/73160/MODS"));
    m_env->makeDir(QStringLiteral("c/12345/mods"));
    m_env->writeFile(QStringLiteral("f/73160/mods"), "x");
    QCOMPARE(::isModIoModsFolder(expand(path)), modIoMods);
    QCOMPARE(::isExistingOrEmptyFolder(expand(path)), existingOrEmpty);
}

void DiscoveryTest::modIoGlobalSettingsPath_data()
{
    QTest::addColumn<QByteArray>("localAppData"); // null: unset
    QTest::addColumn<bool>("withPrefix");
    QTest::addColumn<QString>("expected");

    const QString inPrefix =
        QStringLiteral("%ROOT%/lib2/steamapps/compatdata/1948260/pfx/drive_c/users/steamuser/"
                       "AppData/Local/mod.io/globalsettings.json");
    QTest::newRow("nothing known") << QByteArray() << false << QString();
    QTest::newRow("Proton prefix") << QByteArray() << true << inPrefix;
    QTest::newRow("LOCALAPPDATA wins")
        << QByteArray("%ROOT%/local") << true << QStringLiteral("%ROOT%/local/mod.io/globalsettings.json");
    QTest::newRow("LOCALAPPDATA untidy") << QByteArray("  %ROOT%/local/  ") << false
                                         << QStringLiteral("%ROOT%/local/mod.io/globalsettings.json");
    QTest::newRow("LOCALAPPDATA blank") << QByteArray("  ") << true << inPrefix;
    QTest::newRow("LOCALAPPDATA relative") << QByteArray("local") << false << QString();
}

void DiscoveryTest::modIoGlobalSettingsPath()
{
    QFETCH(QByteArray, localAppData);
    QFETCH(bool, withPrefix);
    QFETCH(QString, expected);
    if (withPrefix)
        makeProtonPrefix(QStringLiteral("lib2"));
    if (!localAppData.isNull())
        m_env->setEnv("LOCALAPPDATA", expand(QString::fromUtf8(localAppData)).toUtf8());
    QCOMPARE(::modIoGlobalSettingsPath(), expand(expected));
}

void DiscoveryTest::modIoFolderFromSettings_data()
{
    QTest::addColumn<QByteArray>("settings"); // null: no file
    QTest::addColumn<QString>("expectedRoot");
    QTest::addColumn<QString>("expectedMods");

    const QString store = QStringLiteral("%ROOT%/store");
    const QString mods = QStringLiteral("%ROOT%/store/73160/mods");
    QTest::newRow("no file") << QByteArray() << QString() << QString();
    QTest::newRow("valid") << QByteArray("{\"Other\": 1, \"RootLocalStoragePath\": \"%ROOT%/store/\"}")
                           << store << mods;
    QTest::newRow("with byte order mark")
        << QByteArray("\xEF\xBB\xBF{\"RootLocalStoragePath\": \"%ROOT%/store\"}") << store << mods;
    QTest::newRow("padded value") << QByteArray("{\"RootLocalStoragePath\": \"  %ROOT%/store  \"}") << store
                                  << mods;
    QTest::newRow("other letter case")
        << QByteArray("{\"rootlocalstoragepath\": \"%ROOT%/store\"}") << store << mods;
    QTest::newRow("exact key empty")
        << QByteArray("{\"ROOTLOCALSTORAGEPATH\": \"\", \"RootLocalStoragePath\": \"\", "
                      "\"rootLocalStoragePath\": \"%ROOT%/store\"}")
        << store << mods;
    QTest::newRow("root without game folder") << QByteArray("{\"RootLocalStoragePath\": \"%ROOT%/bare\"}")
                                              << QStringLiteral("%ROOT%/bare") << QString();
    QTest::newRow("missing root") << QByteArray("{\"RootLocalStoragePath\": \"%ROOT%/gone\"}") << QString()
                                  << QString();
    QTest::newRow("not a text") << QByteArray("{\"RootLocalStoragePath\": 5}") << QString() << QString();
    QTest::newRow("malformed") << QByteArray("{\"RootLocalStoragePath\": \"%ROOT%/store\"") << QString()
                               << QString();
    QTest::newRow("array") << QByteArray("[{\"RootLocalStoragePath\": \"%ROOT%/store\"}]") << QString()
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

void DiscoveryTest::modIoFolderInProtonPrefix_data()
{
    QTest::addColumn<QString>("value"); // "" for no settings file
    QTest::addColumn<QString>("expected");

    const QString publicMods =
        QStringLiteral("%ROOT%/lib/steamapps/compatdata/1948260/pfx/drive_c/users/Public/"
                       "mod.io/73160/mods");
    QTest::newRow("public default") << QString() << publicMods;
    QTest::newRow("drive C with backslashes")
        << QStringLiteral("C:\\\\users\\\\steamuser\\\\mods\\\\")
        << QStringLiteral(
               "%ROOT%/lib/steamapps/compatdata/1948260/pfx/drive_c/users/steamuser/mods/73160/mods");
    QTest::newRow("drive Z") << QStringLiteral("Z:%ROOT%/store") << QStringLiteral("%ROOT%/store/73160/mods");
    QTest::newRow("drive D through its link")
        << QStringLiteral("d:/store") << QStringLiteral("%ROOT%/store/73160/mods");
    QTest::newRow("unmapped drive falls back") << QStringLiteral("E:/store") << publicMods;
    QTest::newRow("Unix path") << QStringLiteral("%ROOT%/store") << QStringLiteral("%ROOT%/store/73160/mods");
}

void DiscoveryTest::modIoFolderInProtonPrefix()
{
    QFETCH(QString, value);
    QFETCH(QString, expected);
    QCOMPARE(::detectModIoModsPath(), QString());
    const QString prefix = makeProtonPrefix(QStringLiteral("lib"));
    QCOMPARE(::detectModIoModsPath(), QString());

    QDir().mkpath(prefix + QStringLiteral("/drive_c/users/Public/mod.io/73160/mods"));
    QDir().mkpath(prefix + QStringLiteral("/drive_c/users/steamuser/mods/73160/mods"));
    QDir().mkpath(prefix + QStringLiteral("/dosdevices"));
    QVERIFY(QFile::link(root(), prefix + QStringLiteral("/dosdevices/d:")));
    m_env->makeDir(QStringLiteral("store/73160/mods"));
    if (!value.isEmpty()) {
        QVERIFY(writeTestFile(::modIoGlobalSettingsPath(),
                              "{\"RootLocalStoragePath\": \"" + expand(value).toUtf8() + "\"}"));
    }
    QCOMPARE(::detectModIoModsPath(), QFileInfo(expand(expected)).canonicalFilePath());
}

void DiscoveryTest::moveRejectsInput_data()
{
    QTest::addColumn<QString>("newRoot");
    QTest::addColumn<bool>("settingsKnown");
    QTest::addColumn<QString>("expected");

    QTest::newRow("empty") << QString() << true << QStringLiteral("Der neue mod.io-Speicherort ist leer.");
    QTest::newRow("blanks") << QStringLiteral(" \t ") << true
                            << QStringLiteral("Der neue mod.io-Speicherort ist leer.");
    QTest::newRow("relative") << QStringLiteral("store") << true
                              << QStringLiteral("Der neue mod.io-Speicherort muss ein absoluter Pfad sein.");
    QTest::newRow("settings unknown")
        << QStringLiteral("%ROOT%/store") << false
        << QStringLiteral("Der Pfad zu mod.io/globalsettings.json konnte nicht ermittelt werden.");
}

void DiscoveryTest::moveRejectsInput()
{
    QFETCH(QString, newRoot);
    QFETCH(bool, settingsKnown);
    QFETCH(QString, expected);
    if (settingsKnown)
        m_env->useLocalAppData();
    QString error;
    QVERIFY(!::moveModIoStorage(expand(newRoot), &error));
    QCOMPARE(error, expected);
    QVERIFY(!::moveModIoStorage(expand(newRoot)));
    QVERIFY(!QFileInfo::exists(settingsFile()));
}

void DiscoveryTest::moveCreatesSettingsAndIsFoundAgain()
{
    m_env->useLocalAppData();
    const QString newRoot = at(QStringLiteral("new store"));
    QString error;
    QVERIFY2(::moveModIoStorage(QStringLiteral("  ") + newRoot + QStringLiteral("// "), &error),
             qPrintable(error));

    const QJsonObject written = QJsonDocument::fromJson(readTestFile(settingsFile())).object();
    QCOMPARE(written,
             QJsonObject({{QStringLiteral("RootLocalStoragePath"), QString(newRoot + QLatin1Char('/'))}}));
    QVERIFY(!QFileInfo::exists(settingsFile() + QStringLiteral(".bak")));
    QCOMPARE(::modIoRootStoragePath(), newRoot);
    QCOMPARE(::detectModIoModsPath(), newRoot + QStringLiteral("/73160/mods"));
}

void DiscoveryTest::moveKeepsOtherMembersAndBacksUp()
{
    m_env->useLocalAppData();
    const QByteArray original = "{\n  \"Counter\": 9007199254740993,\n  \"Nested\": {\"a\": [1, \"b\"]},\n"
                                "  \"rootLocalStoragePath\": \"C:/old/\",\n  \"Text\": \"äö\"\n}\n";
    QVERIFY(writeTestFile(settingsFile(), original));
    QVERIFY(writeTestFile(settingsFile() + QStringLiteral(".bak"), "an older backup"));
    const QJsonObject before = QJsonDocument::fromJson(original).object();

    const QString newRoot = at(QStringLiteral("store"));
    QString error;
    QVERIFY2(::moveModIoStorage(newRoot + QStringLiteral("/"), &error), qPrintable(error));

    QCOMPARE(readTestFile(settingsFile() + QStringLiteral(".bak")), original);
    QJsonObject expected = before;
    expected.insert(QStringLiteral("rootLocalStoragePath"), QString(newRoot + QLatin1Char('/')));
    const QJsonObject after = QJsonDocument::fromJson(readTestFile(settingsFile())).object();
    QCOMPARE(after, expected);
    QCOMPARE(after.value(QStringLiteral("Counter")).toInteger(), Q_INT64_C(9007199254740993));
    QVERIFY(QFileInfo(newRoot + QStringLiteral("/73160/mods")).isDir());
}

void DiscoveryTest::moveNeverOverwritesInvalidJson_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("reason");

    QTest::newRow("broken") << QByteArray("{\"RootLocalStoragePath\": ")
                            << QStringLiteral("unterminated object");
    QTest::newRow("empty file") << QByteArray("") << QStringLiteral("illegal value");
    QTest::newRow("array") << QByteArray("[1, 2]")
                           << QStringLiteral("Das oberste JSON-Element ist kein Objekt.");
}

void DiscoveryTest::moveNeverOverwritesInvalidJson()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, reason);
    m_env->useLocalAppData();
    QVERIFY(writeTestFile(settingsFile(), content));
    QString error;
    QVERIFY(!::moveModIoStorage(at(QStringLiteral("store")), &error));
    QCOMPARE(error,
             QStringLiteral("globalsettings.json enthält kein gültiges JSON. Die Datei wurde deshalb nicht "
                            "verändert.\n\n") +
                 reason);
    QCOMPARE(readTestFile(settingsFile()), content);
    QVERIFY(!QFileInfo::exists(settingsFile() + QStringLiteral(".bak")));
}

void DiscoveryTest::moveReportsFileFaults_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("expected"); // %FILE% is the settings file, %STORE% the new mods folder
    QTest::addColumn<bool>("backupWritten");

    QTest::newRow("mods folder") << QStringLiteral("makeMods")
                                 << QStringLiteral(
                                        "Der neue mod.io-Speicherort konnte nicht erstellt werden:\n%STORE%")
                                 << false;
    QTest::newRow("settings folder") << QStringLiteral("makeSettings")
                                     << QStringLiteral(
                                            "Der mod.io-Einstellungsordner konnte nicht erstellt werden.")
                                     << false;
    QTest::newRow("read") << QStringLiteral("read")
                          << QStringLiteral("globalsettings.json konnte nicht gelesen werden:\n%FILE%")
                          << false;
    QTest::newRow("backup") << QStringLiteral("backup")
                            << QStringLiteral(
                                   "Sicherung von globalsettings.json konnte nicht erstellt werden:\n"
                                   "%FILE%.bak")
                            << false;
    QTest::newRow("open for writing")
        << QStringLiteral("open")
        << QStringLiteral("globalsettings.json konnte nicht zum Schreiben geöffnet werden:\n%FILE%") << true;
    QTest::newRow("write") << QStringLiteral("write")
                           << QStringLiteral("globalsettings.json konnte nicht gespeichert werden:\n%FILE%")
                           << true;
}

void DiscoveryTest::moveReportsFileFaults()
{
    QFETCH(QString, fault);
    QFETCH(QString, expected);
    QFETCH(bool, backupWritten);
    m_env->useLocalAppData();
    const QByteArray original = "{\"RootLocalStoragePath\": \"C:/old/\"}";
    QVERIFY(writeTestFile(settingsFile(), original));
    const QString modsFolder = at(QStringLiteral("store/73160/mods"));
    const QString settingsFolder = QFileInfo(settingsFile()).absolutePath();

    int saves = 0;
    ModIoStorageFileOps ops;
    ops.makeFolder = [&](const QString &folder) {
        if ((fault == QLatin1String("makeMods") && folder == modsFolder) ||
            (fault == QLatin1String("makeSettings") && folder == settingsFolder))
            return false;
        return QDir().mkpath(folder);
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
        return fault == QLatin1String("open") ? ModIoSaveResult::OpenFailed : ModIoSaveResult::WriteFailed;
    };

    QString error;
    QVERIFY(!::moveModIoStorage(at(QStringLiteral("store")), &error, ops));
    QCOMPARE(error, QString(expected)
                        .replace(QStringLiteral("%FILE%"), settingsFile())
                        .replace(QStringLiteral("%STORE%"), modsFolder));
    QCOMPARE(readTestFile(settingsFile()), original);
    QCOMPARE(QFileInfo::exists(settingsFile() + QStringLiteral(".bak")), backupWritten);
    QCOMPARE(saves, backupWritten ? 1 : 0);
}

void DiscoveryTest::moveReportsUnreadableSettings()
{
    m_env->useLocalAppData();
    QVERIFY(QDir().mkpath(settingsFile()));
    QString error;
    QVERIFY(!::moveModIoStorage(at(QStringLiteral("store")), &error));
    QCOMPARE(error, QStringLiteral("globalsettings.json konnte nicht gelesen werden:\n") + settingsFile());
}

void DiscoveryTest::moveInProtonPrefixWritesDrivePath()
{
    const QString prefix = makeProtonPrefix(QStringLiteral("lib"));
    const QString newRoot = at(QStringLiteral("store"));
    QString error;
    QVERIFY2(::moveModIoStorage(newRoot, &error), qPrintable(error));

    const QString file =
        prefix + QStringLiteral("/drive_c/users/steamuser/AppData/Local/mod.io/globalsettings.json");
    const QJsonObject written = QJsonDocument::fromJson(readTestFile(file)).object();
    QCOMPARE(written.value(QStringLiteral("RootLocalStoragePath")).toString(),
             QString(QStringLiteral("Z:") + newRoot + QLatin1Char('/')));
    QCOMPARE(::detectModIoModsPath(), newRoot + QStringLiteral("/73160/mods"));
}

QTEST_GUILESS_MAIN(DiscoveryTest)
#include "tst_discovery.moc"
