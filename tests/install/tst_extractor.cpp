#include "install/extractor.h"
#include "installfixtures.h"
#include "storedzip.h"

#include <QRegularExpression>

namespace {
void setConfiguredExtractor(const QString &path)
{
    QSettings().setValue("tools/7zip", path);
}

// A mod with nested folders, a blank in a name and an incompressible file big enough to be split.
const Tree modTree = {{"Cool Mod/mod.lua", "function data() return {} end\n"},
                      {"Cool Mod/res/textures/deep/er/tex.dds", noise(300000)}};
} // namespace

class TestExtractor : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY2(!realSevenZip().isEmpty(), "the tests need 7zz (Debian package 7zip) on the search path");
    }
    void toolLookup_data();
    void toolLookup();
    void powerShellCommand();
    void recordedCommandLines_data();
    void recordedCommandLines();
    void standInRuns_data();
    void standInRuns();
    void realFailures_data();
    void realFailures();
    void unpackedSizeLimit_data();
    void unpackedSizeLimit();
    void missingExtractor();
};

void TestExtractor::toolLookup_data()
{
    // The configured tool relative to the test's tools folder ("" = unset), then the 7-Zip and the RAR tool
    // found, relative to it ("path:" marks the search-path tools, "app:" the program's folder), then the
    // files put into the program's folder.
    QTest::addColumn<QStringList>("row");
    QTest::newRow("unset: search path") << QStringList{"", "path:7zz", "path:unrar"};
    QTest::newRow("bundled 7-Zip beats the setting")
        << QStringList{"7za", "app:tools/7zip/7z.exe", "", "7z.exe", "tools/7zip/7z.exe", "7zip/7z.exe"};
    QTest::newRow("UnRAR.exe") << QStringList{"UnRAR.exe", "", "UnRAR.exe"};
    QTest::newRow("missing 7-Zip blocks the search path") << QStringList{"gone/7z", "", ""};
    QTest::newRow("unknown tool") << QStringList{"unpack.exe", "", ""};
}

void TestExtractor::toolLookup()
{
    QFETCH(QStringList, row);
    TestEnvironment env;
    const QString tools = env.makeDir("tools");
    const QString bin = env.makeDir("bin");
    const QString app = env.makeDir("app");
    for (const QString &bundled : row.mid(3))
        writeTestFile(app + '/' + bundled, "MZ");
    env.setEnv("PATH", bin.toLocal8Bit());
    for (const char *name : {"7za", "UnRAR.exe", "unpack.exe"})
        writeTool(tools, name, "exit 0\n");
    writeTool(bin, "7zz", "exit 0\n");
    writeTool(bin, "unrar", "exit 0\n");
    if (!row.at(0).isEmpty())
        setConfiguredExtractor("  " + tools + '/' + row.at(0) + "  ");

    const auto resolve = [&](const QString &expected) {
        return expected.isEmpty() ? expected
                                  : QString(expected)
                                        .replace("path:", bin + '/')
                                        .replace("app:", app + '/')
                                        .prepend(expected.contains(':') ? QString() : tools + '/');
    };
    QCOMPARE(findSevenZip(app), resolve(row.at(1)));
    QCOMPARE(findRarTool(), resolve(row.at(2)));
}

void TestExtractor::powerShellCommand()
{
    const ExtractorCommand powerShell = powerShellExpandCommand("/mods/Bob's.zip", "/tmp/x y");
    QCOMPARE(powerShell.program, QString("powershell.exe"));
    QCOMPARE(powerShell.arguments,
             (QStringList{"-NoProfile", "-ExecutionPolicy", "Bypass", "-Command",
                          "Expand-Archive -LiteralPath '" + QDir::toNativeSeparators("/mods/Bob''s.zip") +
                              "' -DestinationPath '" + QDir::toNativeSeparators("/tmp/x y") + "' -Force"}));
    // PowerShell also ends a literal at typographic quotes, and must not expand anything inside it.
    QCOMPARE(powerShellLiteral("Bob\u2019s $env:x `n"), QString("'Bob\u2019\u2019s $env:x `n'"));
}

void TestExtractor::recordedCommandLines_data()
{
    QTest::addColumn<QString>("toolName");
    QTest::newRow("7-Zip: listing, then extraction") << "7zz";
    QTest::newRow("WinRAR family") << "unrar";
}

void TestExtractor::recordedCommandLines()
{
    QFETCH(QString, toolName);
    TestEnvironment env;
    const QByteArray log = env.root().toUtf8() + "/calls.log";
    setConfiguredExtractor(writeTool(env.makeDir("tools"), toolName,
                                     "pwd >> '" + log + "'\nfor a in \"$@\"; do printf '%s\\n' \"$a\" >> '" +
                                         log + "'; done\nexit 0\n"));
    const QString archive = env.writeFile("in/Bob's \"Mod\" -x.part2.rar", "x");
    const QString destination = env.makeDir("out dir");

    QString error = "stale";
    QVERIFY(extractArchive(archive, destination, false, &error));
    QVERIFY(error.isEmpty());
    const QString folder = QFileInfo(destination).canonicalFilePath();
    const QStringList expected =
        toolName == "7zz"
            ? QStringList{folder, "l", "-slt", archive, folder, "x", "-y", "-o" + destination, archive}
            : QStringList{folder, "x", "-y", archive, destination + '/'};
    QCOMPARE(QString::fromUtf8(readTestFile(log)).split('\n', Qt::SkipEmptyParts), expected);
}

// How a run of the tool is judged. Every stand-in leaves its process id behind: no tool may outlive its run.
void TestExtractor::standInRuns_data()
{
    QTest::addColumn<QByteArray>("script"); // empty: a file that cannot be started
    QTest::addColumn<bool>("tolerateCrc");
    QTest::addColumn<QString>("error"); // a pattern for the whole error text; empty: success
    const auto row = [](const char *tag, const QByteArray &script, bool tolerateCrc, const QString &error) {
        QTest::newRow(tag) << script << tolerateCrc << error;
    };
    const QString tail = "\\nProgramm: .+/7z\\n";
    const QString head = "Archiv konnte nicht entpackt werden\\." + tail;
    row("exit 0 with CRC text", "echo 'CRC Failed' >&2\nexit 0\n", false, "");
    row("exit 1, tolerated, no CRC text", "echo 'Data Error' >&2\nexit 1\n", true,
        head + "Exit-Code: 1\\n\\nData Error\\n");
    row("CRC only, not tolerated", "echo 'ERROR: CRC Failed : a' >&2\nexit 2\n", false,
        head + "Exit-Code: 2\\n\\nERROR: CRC Failed : a\\n");
    row("CRC on stdout, tolerated", "echo 'crc failed'\nexit 2\n", true, "");
    row("CRC and wrong password", "echo 'CRC Failed' >&2\necho 'Wrong password'\nexit 2\n", true,
        "Das Archiv ist mit einem Passwort geschützt\\. .*\\n\\n" + head + "Exit-Code: 2\\n\\n.*");
    row("CRC but crashed", "echo 'CRC Failed' >&2\nkill -SEGV $$\n", true,
        head + "Exit-Code: -?\\d+\\n\\nCRC Failed\\n");
    row("blank output left out", "echo ' '\nexit 3\n", false, head + "Exit-Code: 3");
    row("missing volume, any case", "echo 'ERROR: Missing VOLUME : a.part2.rar'\nexit 2\n", false,
        QRegularExpression::escape(
            "Das mehrteilige Archiv ist unvollständig. Mindestens ein weiterer Archivteil fehlt.\n\nBei "
            "gesplitteten Archiven müssen alle Teile (z. B. .part1.rar, .part2.rar, …) im selben Ordner "
            "vorhanden sein. Bei Repository-Installationen müssen alle Teile vom Repository bereit"
            "gestellt werden.") +
            tail + "Exit-Code: 2\n\nERROR: Missing VOLUME : a.part2.rar\n");
    row("output cut at 3500, no half character",
        "/usr/bin/head -c 3499 /dev/zero | /usr/bin/tr '\\0' a\nprintf '\\360\\237\\230\\200tail'\n"
        "exit 2\n",
        false, head + "Exit-Code: 2\n\na{3499}");
    // A tool that never ran has no exit code; "0" would read like success.
    row("cannot start", QByteArray(), false, head + "Exit-Code: -1");
    // What the tool said before it hung is shown after the error text.
    const QByteArray hang = "echo 'Extracting archive'\necho 'working' >&2\nexec /bin/sleep 60\n";
    row("hangs", hang, false,
        head + "Zeitüberschreitung beim Entpacken \\(120 Sekunden\\)\\.\nExit-Code: -?\\d+\n\n"
               "working\nExtracting archive\n");
}

void TestExtractor::standInRuns()
{
    QFETCH(QByteArray, script);
    QFETCH(bool, tolerateCrc);
    QFETCH(QString, error);
    TestEnvironment env;
    const QByteArray pids = env.root().toUtf8() + "/pids";
    const QString tool = writeTool(env.makeDir("tools"), "7z", "echo $$ >> '" + pids + "'\n" + script);
    if (script.isEmpty())
        QFile::setPermissions(tool, QFile::ReadOwner | QFile::WriteOwner);
    setConfiguredExtractor(tool);
    ExtractionLimits limits;
    limits.tool.finishTimeoutMs = 1000;
    QString actual;
    QCOMPARE(extractArchive(env.writeFile("a.zip", "x"), env.makeDir("out"), tolerateCrc, &actual, limits),
             error.isEmpty());
    QVERIFY2(QRegularExpression('^' + error + '$', QRegularExpression::DotMatchesEverythingOption)
                 .match(actual)
                 .hasMatch(),
             qPrintable(actual));
    for (const QByteArray &pid : readTestFile(pids).split('\n'))
        QVERIFY2(pid.isEmpty() || !QFileInfo::exists(QString("/proc/" + pid)), "the tool still runs");
}

// One plain sentence before the tool's output names the cause the player can act on.
void TestExtractor::realFailures_data()
{
    QTest::addColumn<QStringList>("kindAndCause"); // no cause: no sentence before the message
    const QString password =
        "Das Archiv ist mit einem Passwort geschützt. Der ModManager kann verschlüsselte "
        "Archive nicht entpacken.";
    // 7-Zip asks for the password on its input; with nobody answering, this must fail, not hang.
    QTest::newRow("encrypted 7z") << QStringList{"-t7z", password};
    QTest::newRow("encrypted zip") << QStringList{"-tzip", password};
    QTest::newRow("last volume missing")
        << QStringList{"volume", "Ein Teil des mehrteiligen Archivs fehlt oder ist unvollständig."};
    QTest::newRow("web page instead of an archive") << QStringList{
        "html", "Die Datei ist kein Archiv, das entpackt werden kann (zum Beispiel eine Webseite "
                "statt der Mod-Datei)."};
    QTest::newRow("name too long for the system")
        << QStringList{"long", "Ein Name im Archiv ist für dieses System zu lang."};
    // A single archive that ends too early is damaged, not a set with a part missing.
    QTest::newRow("download cut off") << QStringList{"cut"};
    // Some published ZIPs carry wrong CRCs; only a confirmed download may pass with them.
    QTest::newRow("wrong CRC") << QStringList{"crc"};
}

void TestExtractor::realFailures()
{
    QFETCH(QStringList, kindAndCause);
    const QString kind = kindAndCause[0];
    const QString cause = kindAndCause.value(1);
    TestEnvironment env;
    setConfiguredExtractor(realSevenZip());
    const QString source = env.makeDir("source");
    writeTree(source, modTree);
    QString archive = env.makeDir("archives") +
                      (kind == "-t7z" || kind == "volume" || kind == "cut" ? "/mod.7z" : "/mod.zip");
    if (kind.startsWith('-')) {
        QVERIFY(packFolder(source, archive, {kind, "-pSecret"}));
    } else if (kind == "volume") {
        QVERIFY(packFolder(source, archive, {"-v100k"}));
        QVERIFY(QFile::remove(archive + ".003"));
        archive += ".001";
    } else if (kind == "cut") {
        QVERIFY(packFolder(source, archive) && QFile::resize(archive, QFileInfo(archive).size() / 2));
    } else if (kind == "html") {
        writeTestFile(archive, "<!DOCTYPE html><html><body>Not found</body></html>");
    } else {
        QVERIFY(
            writeStoredZip(archive, {{kind == "long" ? QByteArray(300, 'a') : "readme.txt", "hello world"}}));
        // Stored uncompressed, so one changed byte leaves a readable archive with a wrong CRC.
        QByteArray bytes = readTestFile(archive);
        bytes[bytes.indexOf("hello")] = 'j';
        QVERIFY(kind == "long" || writeTestFile(archive, bytes));
    }

    QString error;
    QVERIFY(!extractArchive(archive, env.makeDir("out"), false, &error));
    const QString head = (cause.isEmpty() ? cause : cause + "\n\n") +
                         "Archiv konnte nicht entpackt werden.\nProgramm: " + realSevenZip() +
                         "\nExit-Code: ";
    QVERIFY2(error.startsWith(head) && !error.startsWith(head + '0'), qPrintable(error));
    QVERIFY2(!error.contains("Zeitüberschreitung"), qPrintable(error));

    const QString tolerant = env.makeDir("tolerant");
    QCOMPARE(extractArchive(archive, tolerant, true, &error), kind == "crc");
    if (kind == "crc")
        QCOMPARE(readTestFile(tolerant + "/readme.txt"), QByteArray("jello world"));
}

void TestExtractor::unpackedSizeLimit_data()
{
    QTest::addColumn<bool>("listing");
    QTest::addColumn<qint64>("freeSpace");
    QTest::addColumn<QString>("error"); // empty: extracted
    const qint64 mib = 1024 * 1024;
    // 8 MiB of zeros pack into a few kilobytes; with the margin (a tenth plus 64 MiB) they need 72.8 MiB.
    QTest::newRow("too little room")
        << true << 72 * mib
        << "Das Archiv ist entpackt 8.0 MiB groß, auf dem Laufwerk des temporären Ordners (%1) sind aber nur "
           "72.0 MiB frei. Zum Entpacken wird etwas mehr Platz gebraucht, als die Dateien selbst belegen.\n\n"
           "Bitte schaffe dort Platz und versuche es erneut.";
    QTest::newRow("room with the margin") << true << 73 * mib << "";
    QTest::newRow("free space unknown") << true << qint64(-1) << "";
    QTest::newRow("no listing: nothing guessed") << false << qint64(0) << "";
}

void TestExtractor::unpackedSizeLimit()
{
    QFETCH(bool, listing);
    QFETCH(qint64, freeSpace);
    QFETCH(QString, error);
    TestEnvironment env;
    const QString source = env.makeDir("source");
    writeTestFile(source + "/Mod/zeros.bin", QByteArray(8 * 1024 * 1024, '\0'));
    const QString archive = env.root() + "/big.7z";
    QVERIFY(packFolder(source, archive));
    QVERIFY(QFileInfo(archive).size() < 100000);
    setConfiguredExtractor(
        listing ? realSevenZip()
                : writeTool(env.makeDir("tools"), "7zz",
                            "[ \"$1\" = x ] || exit 2\nexec '" + realSevenZip().toUtf8() + "' \"$@\"\n"));
    ExtractionLimits limits;
    QStringList asked;
    limits.freeSpace = [&](const QString &folder) {
        asked.append(folder);
        return freeSpace;
    };
    const QString out = env.makeDir("out");
    QString actual;
    QCOMPARE(extractArchive(archive, out, false, &actual, limits), error.isEmpty());
    QCOMPARE(actual, error.isEmpty() ? QString() : error.arg(QDir::toNativeSeparators(out)));
    QCOMPARE(QFileInfo::exists(out + "/Mod/zeros.bin"), error.isEmpty());
    QCOMPARE(asked, listing ? QStringList{out} : QStringList());
}

void TestExtractor::missingExtractor()
{
    TestEnvironment env;
    env.setEnv("PATH", env.makeDir("emptybin").toLocal8Bit());
    const QString archive = env.writeFile("mod.7z", "x");
    const QString destination = env.makeDir("out");
    QVERIFY(chooseExtractorCommand(archive, destination).program.isEmpty());
    QString error;
    QVERIFY(!extractArchive(archive, destination, false, &error));
    QCOMPARE(error,
             "Das integrierte 7-Zip fehlt in dieser ModManager-Installation und es wurde kein alternativer "
             "Entpacker gefunden.\n\nBitte installiere den ModManager vollständig neu oder wähle unter "
             "Einstellungen einen alternativen Entpacker aus.");
}

QTEST_GUILESS_MAIN(TestExtractor)
#include "tst_extractor.moc"
