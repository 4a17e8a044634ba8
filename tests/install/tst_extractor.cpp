#include "app/apptranslator.h"
#include "install/extractor.h"
#include "installfixtures.h"
#include "storedzip.h"

#include <QCoreApplication>

namespace {
const QString missingToolText = QStringLiteral(
    "Das integrierte 7-Zip fehlt in dieser ModManager-Installation und es wurde kein alternativer Entpacker "
    "gefunden.\n\nBitte installiere den ModManager vollständig neu oder wähle unter Einstellungen einen "
    "alternativen Entpacker aus.");

void setConfiguredExtractor(const QString &path)
{
    QSettings().setValue(QStringLiteral("tools/7zip"), path);
}

// A mod with nested folders, a blank in a name and an incompressible file big enough to be split.
const Tree modTree = {
    {QStringLiteral("Cool Mod/mod.lua"), "function data() return {} end\n"},
    {QStringLiteral("Cool Mod/res/textures/deep/er/tex.dds"), noise(300000)},
    {QStringLiteral("Cool Mod/strings.lua"), "strings ä ö ü\n"},
};
} // namespace

class TestExtractor : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void configuredToolDecides_data();
    void configuredToolDecides();
    void powerShellCommand();
    void recordedCommandLines_data();
    void recordedCommandLines();
    void realArchives_data();
    void realArchives();
    void realFailures_data();
    void realFailures();
    void unpackedSizeLimit_data();
    void unpackedSizeLimit();
    void judgement_data();
    void judgement();
    void errorText_data();
    void errorText();
    void timeOutKillsTool();
    void toolThatCannotStart();
    void missingExtractor();
};

void TestExtractor::initTestCase()
{
    QVERIFY2(!realSevenZip().isEmpty(), "the tests need 7zz (Debian package 7zip) on the search path");
}

void TestExtractor::configuredToolDecides_data()
{
    // The configured tool relative to the test's tools folder ("" = unset), then the 7-Zip and the RAR tool
    // found, relative to it ("path:" marks the search-path tools, "app:" the program's folder), then the
    // files put into the program's folder.
    QTest::addColumn<QStringList>("row");
    QTest::newRow("unset: search path") << QStringList{"", "path:7zz", "path:unrar"};
    QTest::newRow("bundled 7-Zip beats the setting")
        << QStringList{"7za", "app:tools/7zip/7z.exe", "", "7z.exe", "tools/7zip/7z.exe", "7zip/7z.exe"};
    QTest::newRow("7-Zip") << QStringList{"7za", "7za", ""};
    QTest::newRow("UnRAR.exe") << QStringList{"UnRAR.exe", "", "UnRAR.exe"};
    QTest::newRow("missing 7-Zip blocks the search path") << QStringList{"gone/7z", "", ""};
    QTest::newRow("unknown tool") << QStringList{"unpack.exe", "", ""};
}

void TestExtractor::configuredToolDecides()
{
    QFETCH(QStringList, row);
    const QString configured = row.at(0);
    TestEnvironment env;
    const QString tools = env.makeDir(QStringLiteral("tools"));
    const QString bin = env.makeDir(QStringLiteral("bin"));
    const QString app = env.makeDir(QStringLiteral("app"));
    for (const QString &bundled : row.mid(3))
        writeTestFile(app + QLatin1Char('/') + bundled, "MZ");
    env.setEnv("PATH", bin.toLocal8Bit());
    for (const char *name : {"7za", "UnRAR.exe", "unpack.exe"})
        writeTool(tools, QString::fromLatin1(name), "exit 0\n");
    writeTool(bin, QStringLiteral("7zz"), "exit 0\n");
    writeTool(bin, QStringLiteral("unrar"), "exit 0\n");
    if (!configured.isEmpty())
        setConfiguredExtractor(QStringLiteral("  ") + tools + QLatin1Char('/') + configured +
                               QStringLiteral("  "));

    const auto resolve = [&](const QString &expected) -> QString {
        if (expected.isEmpty())
            return QString();
        if (expected.startsWith(QLatin1String("path:")))
            return bin + QLatin1Char('/') + expected.mid(5);
        if (expected.startsWith(QLatin1String("app:")))
            return app + QLatin1Char('/') + expected.mid(4);
        return tools + QLatin1Char('/') + expected;
    };
    QCOMPARE(findSevenZip(app), resolve(row.at(1)));
    QCOMPARE(findRarTool(), resolve(row.at(2)));
}

void TestExtractor::powerShellCommand()
{
    const QString destination = QStringLiteral("/tmp/x y");
    const ExtractorCommand powerShell =
        powerShellExpandCommand(QStringLiteral("/mods/Bob's.zip"), destination);
    QCOMPARE(powerShell.program, QStringLiteral("powershell.exe"));
    QCOMPARE(powerShell.arguments,
             (QStringList{"-NoProfile", "-ExecutionPolicy", "Bypass", "-Command",
                          "Expand-Archive -LiteralPath '" + QDir::toNativeSeparators("/mods/Bob''s.zip") +
                              "' -DestinationPath '" + QDir::toNativeSeparators(destination) + "' -Force"}));
    // PowerShell also ends a literal at typographic quotes, and must not expand anything inside it.
    QCOMPARE(powerShellLiteral(QStringLiteral("Bob\u2019s $env:x `n")),
             QStringLiteral("'Bob\u2019\u2019s $env:x `n'"));
}

void TestExtractor::recordedCommandLines_data()
{
    QTest::addColumn<QString>("toolName");
    QTest::addColumn<bool>("sevenZipStyle");
    QTest::newRow("7-Zip") << "7zz" << true;
    QTest::newRow("WinRAR family") << "unrar" << false;
}

void TestExtractor::recordedCommandLines()
{
    QFETCH(QString, toolName);
    QFETCH(bool, sevenZipStyle);
    TestEnvironment env;
    const QString log = env.root() + QStringLiteral("/calls.log");
    const QString tool =
        writeTool(env.makeDir(QStringLiteral("tools")), toolName,
                  "pwd > '" + log.toUtf8() + "'\nfor a in \"$@\"; do printf '%s\\n' \"$a\" >> '" +
                      log.toUtf8() + "'; done\nexit 0\n");
    setConfiguredExtractor(tool);
    const QString archive = env.writeFile(QStringLiteral("in/Bob's \"Mod\" -x.part2.rar"), "x");
    const QString destination = env.makeDir(QStringLiteral("out dir"));

    QString error = QStringLiteral("stale");
    QVERIFY(extractArchive(archive, destination, false, &error));
    QVERIFY(error.isEmpty());

    QStringList lines = QString::fromUtf8(readTestFile(log)).split(QLatin1Char('\n'));
    QCOMPARE(lines.takeLast(), QString());
    QCOMPARE(QFileInfo(lines.takeFirst()).canonicalFilePath(), QFileInfo(destination).canonicalFilePath());
    const QStringList expected = sevenZipStyle
                                     ? QStringList{"x", "-y", "-o" + destination, archive}
                                     : QStringList{"x", "-y", archive, destination + QLatin1Char('/')};
    QCOMPARE(lines, expected);
}

void TestExtractor::realArchives_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("archiveName");
    QTest::addColumn<QString>("extractName"); // the file handed to the extractor
    QTest::newRow("zip, quotes in the name") << QStringList{"-tzip"} << "Bob's Mod (v2).zip"
                                             << "Bob's Mod (v2).zip";
    QTest::newRow("7z in volumes") << QStringList{"-t7z", "-v100k"} << "mod.7z"
                                   << "mod.7z.001";
}

void TestExtractor::realArchives()
{
    QFETCH(QStringList, options);
    QFETCH(QString, archiveName);
    QFETCH(QString, extractName);
    TestEnvironment env;
    setConfiguredExtractor(realSevenZip());
    const QString source = env.makeDir(QStringLiteral("source"));
    writeTree(source, modTree);
    const QString archives = env.makeDir(QStringLiteral("archives"));
    QVERIFY(packFolder(source, archives + QLatin1Char('/') + archiveName, options));
    if (options.contains(QStringLiteral("-v100k")))
        QVERIFY(QFileInfo::exists(archives + QLatin1Char('/') + archiveName + QStringLiteral(".003")));

    const QString destination = env.makeDir(QStringLiteral("out"));
    QString error;
    QVERIFY2(extractArchive(archives + QLatin1Char('/') + extractName, destination, false, &error),
             qPrintable(error));
    QCOMPARE(treeOf(destination), modTree);
}

// One plain sentence before the tool's output names the cause the player can act on.
void TestExtractor::realFailures_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("cause");
    const QString password = QStringLiteral(
        "Das Archiv ist mit einem Passwort geschützt. Der ModManager kann verschlüsselte Archive nicht "
        "entpacken.");
    // 7-Zip asks for the password on its input; with nobody answering, this must fail, not hang.
    QTest::newRow("encrypted 7z") << "-t7z" << password;
    QTest::newRow("encrypted zip") << "-tzip" << password;
    QTest::newRow("last volume missing")
        << "volume" << QStringLiteral("Ein Teil des mehrteiligen Archivs fehlt oder ist unvollständig.");
    QTest::newRow("web page instead of an archive")
        << "html"
        << QStringLiteral("Die Datei ist kein Archiv, das entpackt werden kann (zum Beispiel eine Webseite "
                          "statt der Mod-Datei).");
    QTest::newRow("name too long for the system")
        << "long" << QStringLiteral("Ein Name im Archiv ist für dieses System zu lang.");
    // Some published ZIPs carry wrong CRCs; only a confirmed download may pass with them.
    QTest::newRow("wrong CRC") << "crc" << QString();
}

void TestExtractor::realFailures()
{
    QFETCH(QString, kind);
    QFETCH(QString, cause);
    TestEnvironment env;
    setConfiguredExtractor(realSevenZip());
    const QString source = env.makeDir(QStringLiteral("source"));
    writeTree(source, modTree);
    QString archive =
        env.makeDir(QStringLiteral("archives")) +
        (kind == QLatin1String("-t7z") || kind == QLatin1String("volume") ? QStringLiteral("/mod.7z")
                                                                          : QStringLiteral("/mod.zip"));
    if (kind.startsWith(QLatin1Char('-'))) {
        QVERIFY(packFolder(source, archive, {kind, QStringLiteral("-pSecret")}));
    } else if (kind == QLatin1String("volume")) {
        QVERIFY(packFolder(source, archive, {QStringLiteral("-v100k")}));
        QVERIFY(QFile::remove(archive + QStringLiteral(".003")));
        archive += QStringLiteral(".001");
    } else if (kind == QLatin1String("html")) {
        writeTestFile(archive, "<!DOCTYPE html><html><body>Not found</body></html>");
    } else {
        // Stored uncompressed, so one changed byte leaves a readable archive with a wrong CRC.
        QVERIFY(writeStoredZip(
            archive, {{kind == QLatin1String("long") ? QByteArray(300, 'a') : "readme.txt", "hello world"}}));
        QByteArray bytes = readTestFile(archive);
        bytes[bytes.indexOf("hello")] = 'j';
        QVERIFY(kind == QLatin1String("long") || writeTestFile(archive, bytes));
    }

    ExtractionLimits limits;
    limits.tool.finishTimeoutMs = 30000;
    QString error;
    QVERIFY(!extractArchive(archive, env.makeDir(QStringLiteral("out")), false, &error, limits));
    const QString head = (cause.isEmpty() ? QString() : cause + QStringLiteral("\n\n")) +
                         QStringLiteral("Archiv konnte nicht entpackt werden.\nProgramm: ") + realSevenZip() +
                         QStringLiteral("\nExit-Code: ");
    QVERIFY2(error.startsWith(head), qPrintable(error));
    QVERIFY2(!error.contains(QStringLiteral("Zeitüberschreitung")), qPrintable(error));
    QVERIFY(!error.startsWith(head + QLatin1Char('0')));

    const QString tolerant = env.makeDir(QStringLiteral("tolerant"));
    QCOMPARE(extractArchive(archive, tolerant, true, &error, limits), kind == QLatin1String("crc"));
    if (kind == QLatin1String("crc"))
        QCOMPARE(readTestFile(tolerant + QStringLiteral("/readme.txt")), QByteArray("jello world"));
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
        << QStringLiteral(
               "Das Archiv ist entpackt 8.0 MiB groß, auf dem Laufwerk des temporären Ordners (%1) "
               "sind aber nur 72.0 MiB frei. Zum Entpacken wird etwas mehr Platz gebraucht, als die "
               "Dateien selbst belegen.\n\nBitte schaffe dort Platz und versuche es erneut.");
    QTest::newRow("room with the margin") << true << 73 * mib << QString();
    QTest::newRow("free space unknown") << true << qint64(-1) << QString();
    QTest::newRow("no listing: nothing guessed") << false << qint64(0) << QString();
}

void TestExtractor::unpackedSizeLimit()
{
    QFETCH(bool, listing);
    QFETCH(qint64, freeSpace);
    QFETCH(QString, error);
    TestEnvironment env;
    const QString source = env.makeDir(QStringLiteral("source"));
    writeTestFile(source + QStringLiteral("/Mod/zeros.bin"), QByteArray(8 * 1024 * 1024, '\0'));
    const QString archive = env.root() + QStringLiteral("/big.7z");
    QVERIFY(packFolder(source, archive));
    QVERIFY(QFileInfo(archive).size() < 100000);
    setConfiguredExtractor(
        listing ? realSevenZip()
                : writeTool(env.makeDir(QStringLiteral("tools")), QStringLiteral("7zz"),
                            "[ \"$1\" = x ] || exit 2\nexec '" + realSevenZip().toUtf8() + "' \"$@\"\n"));
    ExtractionLimits limits;
    QStringList asked;
    limits.freeSpace = [&](const QString &folder) {
        asked.append(folder);
        return freeSpace;
    };
    const QString out = env.makeDir(QStringLiteral("out"));
    QString actual;
    QCOMPARE(extractArchive(archive, out, false, &actual, limits), error.isEmpty());
    QCOMPARE(actual, error.isEmpty() ? QString() : error.arg(QDir::toNativeSeparators(out)));
    QCOMPARE(QFileInfo::exists(out + QStringLiteral("/Mod/zeros.bin")), error.isEmpty());
    QCOMPARE(asked, listing ? QStringList{out} : QStringList());
}

void TestExtractor::judgement_data()
{
    QTest::addColumn<QByteArray>("script");
    QTest::addColumn<bool>("tolerateCrc");
    QTest::addColumn<bool>("ok");
    QTest::newRow("exit 0 with CRC text") << QByteArray("echo 'CRC Failed' >&2\nexit 0\n") << false << true;
    QTest::newRow("exit 1, tolerated, no CRC text")
        << QByteArray("echo 'Data Error' >&2\nexit 1\n") << true << false;
    QTest::newRow("CRC only, not tolerated")
        << QByteArray("echo 'ERROR: CRC Failed : a' >&2\nexit 2\n") << false << false;
    QTest::newRow("CRC on stdout, tolerated") << QByteArray("echo 'crc failed'\nexit 2\n") << true << true;
    QTest::newRow("CRC and wrong password")
        << QByteArray("echo 'CRC Failed' >&2\necho 'Wrong password'\nexit 2\n") << true << false;
    QTest::newRow("CRC but crashed") << QByteArray("echo 'CRC Failed' >&2\nkill -SEGV $$\n") << true << false;
}

void TestExtractor::judgement()
{
    QFETCH(QByteArray, script);
    QFETCH(bool, tolerateCrc);
    QFETCH(bool, ok);
    TestEnvironment env;
    setConfiguredExtractor(writeTool(env.makeDir(QStringLiteral("tools")), QStringLiteral("7z"), script));
    QString error;
    QCOMPARE(extractArchive(env.writeFile(QStringLiteral("a.zip"), "x"), env.makeDir(QStringLiteral("out")),
                            tolerateCrc, &error),
             ok);
    QCOMPARE(error.isEmpty(), ok);
}

void TestExtractor::errorText_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<bool>("timedOut");
    QTest::addColumn<QString>("output");
    QTest::addColumn<QString>("expected");
    const QString plain = QStringLiteral("Archiv konnte nicht entpackt werden.");
    QTest::newRow("blank output left out")
        << "/usr/bin/7zz" << false << " \n\t " << plain + "\nProgramm: /usr/bin/7zz\nExit-Code: 9";
    QTest::newRow("timed out")
        << "/x/unrar" << true << ""
        << plain + "\nProgramm: /x/unrar\nZeitüberschreitung beim Entpacken (120 Sekunden).\nExit-Code: 9";
    QTest::newRow("missing volume, any case")
        << "7z" << false << "ERROR: Missing VOLUME : a.part2.rar"
        << "Das mehrteilige Archiv ist unvollständig. Mindestens ein weiterer Archivteil fehlt.\n\nBei "
           "gesplitteten Archiven müssen alle Teile (z. B. .part1.rar, .part2.rar, …) im selben Ordner "
           "vorhanden "
           "sein. Bei Repository-Installationen müssen alle Teile vom Repository bereitgestellt werden."
           "\nProgramm: 7z\nExit-Code: 9\n\nERROR: Missing VOLUME : a.part2.rar";
    const QString surrogateAtCut = QString(3499, QLatin1Char('a')) + QStringLiteral("\U0001F600tail");
    QTest::newRow("output cut at 3500, no half character")
        << "7z" << false << surrogateAtCut
        << plain + "\nProgramm: 7z\nExit-Code: 9\n\n" + surrogateAtCut.left(3499);
}

void TestExtractor::errorText()
{
    QFETCH(QString, program);
    QFETCH(bool, timedOut);
    QFETCH(QString, output);
    QFETCH(QString, expected);
    ExternalToolRun run;
    run.started = true;
    run.timedOut = timedOut;
    run.exitCode = 9;
    run.output = output;
    QCOMPARE(extractionErrorText(program, run), expected);
}

void TestExtractor::timeOutKillsTool()
{
    TestEnvironment env;
    const QString pidFile = env.root() + QStringLiteral("/pid");
    setConfiguredExtractor(
        writeTool(env.makeDir(QStringLiteral("tools")), QStringLiteral("7za"),
                  "echo $$ > '" + pidFile.toUtf8() +
                      "'\necho 'Extracting archive' \necho 'working' >&2\nexec /bin/sleep 60\n"));
    ExtractionLimits limits;
    limits.tool.finishTimeoutMs = 300;
    QString error;
    QVERIFY(!extractArchive(env.writeFile(QStringLiteral("a.7z"), "x"), env.makeDir(QStringLiteral("out")),
                            false, &error, limits));
    QVERIFY2(
        error.contains(QStringLiteral("\nZeitüberschreitung beim Entpacken (120 Sekunden).\nExit-Code: ")),
        qPrintable(error));
    // What the tool said before it hung is shown, error text first.
    QVERIFY2(error.endsWith(QLatin1String("\n\nworking\nExtracting archive\n")), qPrintable(error));
    const QByteArray pid = readTestFile(pidFile).trimmed();
    QVERIFY(!pid.isEmpty());
    QVERIFY2(!QFileInfo::exists(QStringLiteral("/proc/") + QString::fromLatin1(pid)), "the tool still runs");
}

void TestExtractor::toolThatCannotStart()
{
    TestEnvironment env;
    const QString tool = env.writeFile(QStringLiteral("tools/7zz"), "not a program");
    QFile::setPermissions(tool, QFile::ReadOwner | QFile::WriteOwner);
    setConfiguredExtractor(tool);
    QString error;
    QVERIFY(!extractArchive(env.writeFile(QStringLiteral("a.7z"), "x"), env.makeDir(QStringLiteral("out")),
                            false, &error));
    // A tool that never ran has no exit code; "0" would read like success.
    QCOMPARE(error, QStringLiteral("Archiv konnte nicht entpackt werden.\nProgramm: ") + tool +
                        QStringLiteral("\nExit-Code: -1"));
}

void TestExtractor::missingExtractor()
{
    TestEnvironment env;
    env.setEnv("PATH", env.makeDir(QStringLiteral("emptybin")).toLocal8Bit());
    const QString archive = env.writeFile(QStringLiteral("mod.7z"), "x");
    const QString destination = env.makeDir(QStringLiteral("out"));
    QVERIFY(chooseExtractorCommand(archive, destination).program.isEmpty());
    QString error;
    QVERIFY(!extractArchive(archive, destination, false, &error));
    QCOMPARE(error, missingToolText);

    AppTranslator english(QStringLiteral("en"));
    QCoreApplication::installTranslator(&english);
    extractArchive(archive, destination, false, &error);
    QCoreApplication::removeTranslator(&english);
    QCOMPARE(error, QStringLiteral("The bundled 7-Zip is missing from this Mod Manager installation and no "
                                   "alternative extractor was found.\n\nPlease reinstall the Mod Manager "
                                   "completely or select an alternative extractor in Settings."));
}

QTEST_GUILESS_MAIN(TestExtractor)
#include "tst_extractor.moc"
