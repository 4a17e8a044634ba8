#include "selfupdate/selfupdate.h"
#include "selfupdate/selfupdaterun.h"
#include "selfupdate/updaterlaunch.h"
#include "testsupport.h"
#include "tlsfrontend.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QNetworkAccessManager>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>

namespace {

const QString programName = QStringLiteral("Prog 'O\u2019 \u00dc");

QByteArray managerDocument(const QString &id, const QString &name, const QString &version,
                           const QString &fileName, const QString &url)
{
    return QStringLiteral(
               R"({"files": [{"id": "%1", "name": "%2", "version": "%3", "filename": "%4", "download_url": "%5"},
        {"id": "1", "name": "Andere Mod", "version": "9.0", "download_url": "%5"}]})")
        .arg(id, name, version, fileName, url)
        .toUtf8();
}

// Every file and link below folder, hidden ones included, with its bytes and whether it may be executed.
QMap<QString, QByteArray> snapshot(const QString &folder)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const bool executable = QFileInfo(path).isExecutable();
        files.insert(QDir(folder).relativeFilePath(path), readTestFile(path) + (executable ? "+x" : ""));
    }
    return files;
}

// A stand-in program that notes each start, with its name and working folder, in $FX3MM_TEST_RECORD.
QByteArray standIn(const QByteArray &name)
{
    return "#!/bin/sh\nprintf '%s %s\\n' '" + name + "' \"$PWD\" >> \"$FX3MM_TEST_RECORD\"\n";
}

// Writes files (names relative to the archive root; "*" at the end marks an executable) into a ZIP with
// 7-Zip.
bool makeRelease(const QString &zipPath, const QStringList &files)
{
    QTemporaryDir content;
    for (QString name : files) {
        const bool executable = name.endsWith(QLatin1Char('*'));
        if (executable)
            name.chop(1);
        const QString path = content.filePath(name);
        if (!writeTestFile(path, executable ? standIn("new") : "new " + name.toUtf8()))
            return false;
        if (executable)
            QFile::setPermissions(path, QFile::permissions(path) | QFile::ExeOwner);
    }
    QProcess zip;
    zip.setWorkingDirectory(content.path());
    zip.start(QStringLiteral("7zz"),
              {QStringLiteral("a"), QStringLiteral("-tzip"), zipPath, QStringLiteral(".")});
    return zip.waitForFinished(30000) && zip.exitCode() == 0;
}

// The answers and records of one self-update run; the player takes the offer and answers Yes.
struct Player
{
    ScriptedPrompts scripted;
    QStringList status;
    QStringList opened;
    QList<QPair<QString, QStringList>> started;
    int quits = 0;
    // A write whose path ends so fails; "start" makes the updater not start, "cancel" cancels the download.
    QString fault;

    SelfUpdateHooks hooks(const QString &temp, const QString &programFolder, bool posix)
    {
        SelfUpdateHooks hooks;
        hooks.prompts = scripted.prompts();
        hooks.prompts.offer = [this](const QString &, const QString &, const QString &, const QStringList &,
                                     int) {
            scripted.messages.append(QStringLiteral("offer"));
            return 0;
        };
        hooks.progress.wasCancelled = [this] {
            return fault == QLatin1String("cancel");
        };
        hooks.status = [this](const QString &text) {
            status.append(text);
        };
        hooks.openUrl = [this](const QString &url) {
            opened.append(url);
        };
        hooks.quit = [this] {
            ++quits;
        };
        hooks.place.programFolder = programFolder;
        hooks.place.programFile = programFolder + QStringLiteral("/FX3ModManager");
        hooks.place.processId = 4242;
        hooks.place.tempFolder = temp;
        hooks.place.sevenZip = QStandardPaths::findExecutable(QStringLiteral("7zz"));
        hooks.place.failWrite = [this](const QString &path) {
            return fault.startsWith(u'.') && path.endsWith(fault);
        };
        hooks.place.startDetached = [this](const QString &program, const QStringList &arguments,
                                           const QString &) {
            started.append({program, arguments});
            return fault != QLatin1String("start");
        };
        hooks.posixUpdater = posix;
        return hooks;
    }
};

} // namespace

class SelfUpdateTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void offeredRelease_data();
    void offeredRelease();
    void download_data();
    void download();
    void installRun_data();
    void installRun();
    void powerShellUpdaterText();
    void posixUpdaterRuns_data();
    void posixUpdaterRuns();
};

void SelfUpdateTest::offeredRelease_data()
{
    QTest::addColumn<QByteArray>("document");
    QTest::addColumn<QString>("offered");

    const QString url = QStringLiteral("https://example.invalid/mm.zip");
    QTest::newRow("found by name, any case")
        << managerDocument("7", " trackhaven - fx3 MODMANAGER ", "0.7", "", url) << "0.7";
    QTest::newRow("same version") << managerDocument("8094", "x", "0.5.38", "mm.zip", url) << "";
    QTest::newRow("no download address") << managerDocument("8094", "x", "0.6", "mm.zip", " ") << "";
    QTest::newRow("other entries only")
        << managerDocument("8095", "FX3 ModManager", "0.9", "", url) << "none";
    QTest::newRow("not JSON") << QByteArray("<html>") << "none";
}

void SelfUpdateTest::offeredRelease()
{
    QFETCH(QByteArray, document);
    QFETCH(QString, offered);
    RepoMod entry;
    const bool found = managerEntryFromDocument(document, &entry);
    QCOMPARE(found ? offeredSelfUpdateVersion(entry) : QStringLiteral("none"), offered);
}

void SelfUpdateTest::download_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("sha256");
    QTest::addColumn<QString>("scheme");
    QTest::addColumn<QString>("situation");
    QTest::addColumn<QString>("error");

    const QByteArray release = "PK\x03\x04 release";
    const QString good = sha256Of(release);
    const auto row = [&](const char *tag, const QString &sha256, const char *scheme, const char *situation,
                         const QString &error, const QByteArray &body = "PK\x03\x04 release") {
        QTest::newRow(tag) << body << sha256 << scheme << situation << error;
    };
    row("checksum matches", " " + good.toUpper(), "http", "", "");
    row("checksum differs", sha256Of("other"), "http", "",
        "Die Prüfsumme des Updates stimmt nicht mit dem Repository überein.\n\nErwartet: " +
            sha256Of("other") + "\nErhalten: " + good + "\n\n");
    row("no checksum over https", "", "https", "", "");
    row("no checksum over http", "", "http", "", "Für das ModManager-Update ist im Repository keine SHA-256");
    row("no address", good, "", "", "Im Repository ist keine Download-URL für den ModManager hinterlegt.");
    row("not found", good, "http", "404", "Update konnte nicht heruntergeladen werden: ");
    row("empty body", good, "http", "", "Der Update-Download ist leer.", QByteArray());
    row("cancelled", good, "http", "cancel", "Update abgebrochen.");
    row("temporary folder unusable", good, "http", "no temp",
        "Das Update konnte nicht im temporären Ordner gespeichert werden.");
}

void SelfUpdateTest::download()
{
    QFETCH(QByteArray, body);
    QFETCH(QString, sha256);
    QFETCH(QString, scheme);
    QFETCH(QString, situation);
    QFETCH(QString, error);

    TestEnvironment environment;
    FakeHttpServer server;
    TlsFrontend tls(server);
    QNetworkAccessManager manager;
    trustTlsFrontend(manager);
    FakeResponse response;
    response.status = situation == QLatin1String("404") ? 404 : 200;
    response.body = body;
    response.silent = situation == QLatin1String("cancel");
    server.setResponse("/release.zip", response);

    RepoMod entry;
    entry.sha256 = sha256;
    entry.downloadUrl = scheme == QLatin1String("https") ? tls.url(QStringLiteral("/release.zip"))
                        : scheme.isEmpty()               ? QString()
                                                         : server.url(QStringLiteral("/release.zip"));
    const QString temp = situation == QLatin1String("no temp")
                             ? environment.writeFile(QStringLiteral("not-a-folder"), "x")
                             : environment.makeDir(QStringLiteral("temp"));
    SelfUpdateDownloadCallbacks callbacks;
    callbacks.isCancelled = [&situation] {
        return situation == QLatin1String("cancel");
    };
    SelfUpdateProgress last;
    callbacks.progress = [&last](const SelfUpdateProgress &progress) {
        last = progress;
    };
    QString path, message;
    const bool downloaded = downloadSelfUpdate(manager, entry, temp, callbacks, &path, &message);

    QVERIFY2(error.isEmpty() ? message.isEmpty() : message.startsWith(error), qPrintable(message));
    QCOMPARE(downloaded, error.isEmpty());
    if (downloaded) {
        QCOMPARE(QFileInfo(path).absolutePath(), temp);
        QVERIFY(QRegularExpression(QStringLiteral("^FX3ModManager_Update_\\d{13}\\.zip$"))
                    .match(QFileInfo(path).fileName())
                    .hasMatch());
        QCOMPARE(readTestFile(path), body);
        QCOMPARE(last.value, 100);
        QCOMPARE(last.label, "ModManager-Update wird heruntergeladen…\n0.0 / 0.0 MiB");
    } else {
        QVERIFY(path.isEmpty());
        if (QFileInfo(temp).isDir())
            QCOMPARE(entriesOf(temp), QStringList());
    }
    // Without a checksum a plain http address is refused before anything is fetched.
    if (message.startsWith(QStringLiteral("Für das")))
        QCOMPARE(server.requestCount("/release.zip"), 0);
}

void SelfUpdateTest::installRun_data()
{
    QTest::addColumn<bool>("posix");
    QTest::addColumn<QStringList>("release");
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("message");

    const QStringList windows{"FX3 ModManager/FX3ModManager.exe"};
    const QStringList posixRelease{"FX3 ModManager/FX3ModManager*"};
    const auto row = [](const char *tag, bool posix, const QStringList &release, const char *fault,
                        const QString &message) {
        QTest::newRow(tag) << posix << release << fault << message;
    };
    const QString started = QStringLiteral("information|Update wird installiert|Der ModManager");
    const QString failed = QStringLiteral("critical|Update fehlgeschlagen|");
    const QString manual = QStringLiteral("question|Update nicht automatisch installierbar|");
    row("windows updater started", false, windows, "", started + " wird jetzt");
    row("linux updater started", true, posixRelease, "", started + " wird jetzt");
    row("folder named like the program", true, {"pkg/FX3ModManager/readme"}, "", manual);
    row("program folder not writable", false, windows, ".fx3modmanager_update_test",
        failed + "Der ModManager kann sein Programmverzeichnis nicht beschreiben:\n");
    row("script not writable", true, posixRelease, ".sh",
        failed + "Das Updater-Skript konnte nicht erstellt");
    row("updater does not start", false, windows, "start", failed + "Der Updater-Prozess konnte nicht");
    row("download cancelled, no failure shown", false, windows, "cancel", "");
    row("release without linux program", true, windows, "",
        manual + "Das Update-Paket enthält kein Linux-Programm.");
    row("two linux programs, no program folder", true, {"a/FX3ModManager*", "b/FX3ModManager*"}, "",
        manual + "Das Update-Paket enthält kein Linux-Programm.");
}

void SelfUpdateTest::installRun()
{
    QFETCH(bool, posix);
    QFETCH(QStringList, release);
    QFETCH(QString, fault);
    QFETCH(QString, message);

    TestEnvironment environment;
    FakeHttpServer server;
    const QString releaseZip = environment.root() + QStringLiteral("/release.zip");
    QVERIFY(makeRelease(releaseZip, release));
    server.setResponse("/mm_v0.6.zip", 200, readTestFile(releaseZip));
    const QString temp = environment.makeDir(QStringLiteral("temp"));
    const QString program = environment.makeDir(programName);

    Player player;
    player.fault = fault;
    RepoMod entry;
    entry.id = QStringLiteral("8094");
    entry.version = QStringLiteral("0.5.38");
    entry.fileName = QStringLiteral("mm_v0.6.zip");
    entry.downloadUrl = server.url(QStringLiteral("/mm_v0.6.zip"));
    entry.sha256 = sha256Of(readTestFile(releaseZip));
    QNetworkAccessManager manager;
    checkSelfUpdate(manager, entry, player.hooks(temp, program, posix));

    const QStringList shown = player.scripted.messages;
    QCOMPARE(shown.value(0), QStringLiteral("offer"));
    QCOMPARE(shown.value(1).left(message.size()), message);
    QCOMPARE(shown.size(), message.isEmpty() ? 1 : 2);
    if (message.isEmpty())
        QCOMPARE(player.status.last(), QStringLiteral("Update abgebrochen."));
    QCOMPARE(player.status.value(0), QStringLiteral("Lade ModManager-Update v0.6…"));
    const bool launched = message.startsWith(QLatin1String("information"));
    QCOMPARE(player.quits, int(launched));
    QCOMPARE(player.opened,
             message.startsWith(QLatin1String("question")) ? QStringList{entry.downloadUrl} : QStringList());
    // Nothing stays in the temporary folder unless the updater runs, and nothing is written into the program.
    QCOMPARE(entriesOf(program), QStringList());
    const QStringList left = entriesOf(temp);
    QCOMPARE(left.size(), launched ? 2 : 0);
    if (!launched)
        return;
    const QString script = temp + u'/' + left.filter(QStringLiteral("_Updater_")).value(0);
    QCOMPARE(player.started.size(), 1);
    QCOMPARE(player.started.first().first,
             posix ? QStringLiteral("/bin/sh") : QStringLiteral("powershell.exe"));
    const QStringList powerShellArguments{"-NoProfile", "-ExecutionPolicy", "Bypass", "-File", script};
    QCOMPARE(player.started.first().second, posix ? QStringList{script} : powerShellArguments);
}

void SelfUpdateTest::powerShellUpdaterText()
{
    TestEnvironment environment;
    const QString temp = environment.makeDir(QStringLiteral("temp"));
    const QString program = environment.makeDir(QStringLiteral("Bob's \u2018\u00dc\u2019 \u201aMod\u201b"));
    Player player;
    UpdaterPlace place = player.hooks(temp, program, false).place;
    place.programFile = program + QStringLiteral("/FX3ModManager.exe");
    place.processId = 31337;
    QString error;
    QVERIFY2(launchPowerShellUpdater(temp + QStringLiteral("/FX3ModManager_Update_1.zip"), place, &error),
             qPrintable(error));

    const QString script = player.started.value(0).second.value(4);
    const QByteArray bytes = readTestFile(script);
    QVERIFY(bytes.startsWith("\xEF\xBB\xBF"));
    QVERIFY(bytes.endsWith("}\r\n"));
    QCOMPARE(bytes.count("\r\n"), bytes.count('\n'));
    const QStringList lines = QString::fromUtf8(bytes.mid(3)).split(QStringLiteral("\r\n"));
    const QString log = QString(script)
                            .replace(QStringLiteral("_Updater_"), QStringLiteral("_Update_"))
                            .replace(QStringLiteral(".ps1"), QStringLiteral(".log"));
    QStringList expected =
        QString::fromUtf8(readTestFile(QStringLiteral(FX3_TEST_DATA_DIR "/selfupdate/updater.ps1")))
            .replace(QStringLiteral("@PID@"), QStringLiteral("31337"))
            .replace(QStringLiteral("@TEMP@"), temp)
            .replace(QStringLiteral("@ROOT@"), environment.root())
            .replace(QStringLiteral("@LOG@"), log)
            .split(u'\n');
    while (expected.first().startsWith(u'#'))
        expected.removeFirst();
    QCOMPARE(lines.size(), expected.size());
    for (int i = 0; i < lines.size(); ++i)
        QCOMPARE(lines.at(i), expected.at(i));
}

void SelfUpdateTest::posixUpdaterRuns_data()
{
    QTest::addColumn<QStringList>("release");
    QTest::addColumn<QString>("failCopy");
    QTest::addColumn<QString>("outcome");

    const QStringList full{"FX3 ModManager/FX3ModManager*", "FX3 ModManager/data/b.dat",
                           "FX3 ModManager/.hidden", "FX3 ModManager/added.txt", "readme.txt"};
    const auto row = [](const char *tag, const QStringList &release, const char *failCopy,
                        const char *outcome) {
        QTest::newRow(tag) << release << failCopy << outcome;
    };
    row("updated", full, "", "updated");
    row("program folder elsewhere", {"pkg/bin/FX3ModManager*", "pkg/bin/data/b.dat"}, "", "updated");
    row("copy fails part-way, old folder restored", full, "*_Update_Stage_*/data/b.dat", "restored");
    row("restoring fails too, backup kept", full, "*_Update_*/data/b.dat", "backup kept");
    row("no program in the release", {"FX3 ModManager/FX3ModManager.exe"}, "", "untouched");
}

void SelfUpdateTest::posixUpdaterRuns()
{
    QFETCH(QStringList, release);
    QFETCH(QString, failCopy);
    QFETCH(QString, outcome);

    TestEnvironment environment;
    const QString temp = environment.makeDir(QStringLiteral("temp"));
    const QString program = environment.makeDir(programName);
    const QString record = environment.root() + QStringLiteral("/started.txt");
    writeTestFile(program + QStringLiteral("/FX3ModManager"), standIn("old"));
    QFile::setPermissions(program + QStringLiteral("/FX3ModManager"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    writeTestFile(program + QStringLiteral("/a.txt"), "old a");
    writeTestFile(program + QStringLiteral("/data/b.dat"), "old b");
    writeTestFile(program + QStringLiteral("/data/c.dat"), "old c");
    writeTestFile(program + QStringLiteral("/settings/keep.ini"), "mine");
    const QMap<QString, QByteArray> before = snapshot(program);
    const QString zip = temp + QStringLiteral("/FX3ModManager_Update_1.zip");
    QVERIFY(makeRelease(zip, release));

    // The program the updater waits for has already ended.
    QProcess ended;
    ended.start(QStringLiteral("true"), QStringList());
    QVERIFY(ended.waitForStarted());
    const qint64 endedPid = ended.processId();
    QVERIFY(ended.waitForFinished());

    QProcess updater;
    Player player;
    UpdaterPlace place = player.hooks(temp, program, true).place;
    place.processId = endedPid;
    place.startDetached = [&](const QString &shell, const QStringList &arguments, const QString &folder) {
        QProcessEnvironment variables = QProcessEnvironment::systemEnvironment();
        variables.remove(QStringLiteral("DISPLAY"));
        variables.remove(QStringLiteral("WAYLAND_DISPLAY"));
        variables.insert(QStringLiteral("FX3MM_TEST_RECORD"), record);
        if (!failCopy.isEmpty())
            variables.insert(QStringLiteral("FX3MM_UPDATER_FAIL_COPY"), failCopy);
        updater.setProcessEnvironment(variables);
        updater.setWorkingDirectory(folder);
        updater.start(shell, arguments);
        return updater.waitForStarted();
    };
    QString error;
    QVERIFY2(launchPosixUpdater(zip, place, &error), qPrintable(error));
    QVERIFY(updater.waitForFinished(60000));
    QCOMPARE(updater.exitCode(), int(outcome != QLatin1String("updated")));
    QTRY_VERIFY(QFileInfo::exists(record));
    QTest::qWait(100);

    const QStringList left = entriesOf(temp);
    const QString log = temp + u'/' + left.filter(QStringLiteral(".log")).value(0);
    const QString backup = temp + u'/' + left.filter(QStringLiteral("_Backup_")).value(0);
    const QMap<QString, QByteArray> after = snapshot(program);
    if (outcome == QLatin1String("updated")) {
        QCOMPARE(readTestFile(record), "new " + program.toUtf8() + '\n');
        QCOMPARE(left, QStringList());
        QMap<QString, QByteArray> expected = before;
        const QString base = release.first().section(u'/', 0, -2) + u'/';
        for (QString name : release) {
            const bool executable = name.endsWith(u'*');
            name.chop(executable ? 1 : 0);
            if (name.startsWith(base))
                expected[name.mid(base.size())] =
                    executable ? QByteArray(standIn("new") + "+x") : QByteArray("new " + name.toUtf8());
        }
        QCOMPARE(after, expected);
        return;
    }
    // A failed update starts the old program again and keeps its log and the backup, if one was made.
    QCOMPARE(readTestFile(record), "old " + program.toUtf8() + '\n');
    QVERIFY(!QFileInfo::exists(zip));
    QCOMPARE(left.filter(QStringLiteral("_Updater_")), QStringList());
    QVERIFY(readTestFile(log).contains("Update fehlgeschlagen: "));
    if (outcome == QLatin1String("backup kept")) {
        QCOMPARE(snapshot(backup), before);
        QVERIFY(readTestFile(log).contains(QByteArray("Backup: " + backup.toUtf8())));
        QVERIFY(after != before);
    } else {
        QCOMPARE(after, before);
        QCOMPARE(left.filter(QStringLiteral("_Backup_")).size(), int(outcome == QLatin1String("restored")));
    }
}

QTEST_GUILESS_MAIN(SelfUpdateTest)
#include "tst_selfupdate.moc"
