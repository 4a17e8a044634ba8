#include "../install/installfixtures.h"
#include "fakemodio.h"
#include "localmods/installmarker.h"
#include "modio/installlink.h"
#include "modio/modioclient.h"
#include "modio/modioinstall.h"
#include "storedzip.h"

#include <QCryptographicHash>
#include <QNetworkAccessManager>

#include <memory>

namespace {

const QString downloadFailed = QStringLiteral(
    "Der mod.io-Download konnte auch nach mehreren Versuchen nicht fehlerfrei geladen werden.\n\n%1\n\nDie "
    "vorhandene Mod-Installation wurde nicht verändert. Bitte versuche das Update später erneut.");
const QString corrupt = QStringLiteral("Das von mod.io geladene Archiv ist beschädigt oder kann nicht sicher "
                                       "verarbeitet werden.\n\nDie vorhandene Mod-Installation wurde nicht "
                                       "verändert.\n\n");

QString md5(const QByteArray &bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex());
}

using Platforms = QList<QPair<QString, int>>;

// One run of the install action for mod 1.
struct Flow
{
    QString account;          // "none", "key", "token" or "token, subscription fails"
    QStringList dependencies; // ids of mod 1's dependencies; "!" first: the list cannot be read
    QStringList current;      // mods installed with their current file beforehand
    QList<bool> answers;
    int installed;         // -1: the run stops
    QStringList downloads; // file ids, in order
    QStringList messages;  // information boxes by kind and title only
};

// The files of mod 5, listed newest first as 503, 502, 501 (as many as given), and the file chosen.
struct Files
{
    QString modId, live;
    QList<Platforms> listed;
    int listStatus;
    QString chosen, error;
};

// One download of mod 1 over an installed older version.
struct Download
{
    QString archive; // "7-Zip", "CRC" (only CRC errors) or "text"
    QString served;  // "as published", "changed byte" or "one byte more"
    bool withMd5;
    QList<bool> crcAnswers;
    QString error; // %1/%2: MD5 published/served, %3/%4: their sizes; a trailing "…" compares the start
};

// Paths relative to the test's root.
struct Folder
{
    QString known;    // the mods folder the window knows
    bool storageRoot; // the mod.io client's storage root is known
    QString chosen;   // the player's answer
    QString used;     // empty: the install fails with error
    QString error;
};

// A link as the portal writes it and what it stands for.
struct Parsed
{
    QString link;
    InstallLinkCheck check;
    QString modId, fileId;
};

// A link handed to the program, the player's settings and answers, and what the player saw.
struct Opened
{
    QString link, key, token;
    QList<bool> answers;
    bool opened;
    int requests;
    QStringList messages;
};

const QString link = QStringLiteral("fx3modmanager://modio/install?mod_id=7");
const QString install =
    QStringLiteral("question|Mit FX3 ModManager installieren|'Mod 7' (Version 1.700) wurde "
                   "aus dem Mod Portal geöffnet.\n\nJetzt herunterladen, Abhängigkeiten "
                   "prüfen und installieren?");
const QString changed = QStringLiteral("question|Mod-Version geändert|Das Mod Portal hat Dateiversion 650 "
                                       "angefordert. Auf mod.io ist inzwischen Dateiversion 700 aktuell.\n\n"
                                       "Die aktuelle Version installieren?");
const QString noKey = QStringLiteral("information|mod.io|Für die Installation aus dem Mod Portal wird ein "
                                     "mod.io-API-Key benötigt. Bitte trage ihn unter Einstellungen ein.");
const QString notLoaded =
    QStringLiteral("critical|Mod Portal|Der angeforderte mod.io-Mod konnte nicht geladen "
                   "werden:\nFehler 404");
const QString unsupported =
    QStringLiteral("warning|FX3 ModManager-Link|Dieser FX3-ModManager-Link wird nicht unterstützt.");
const QString invalidId =
    QStringLiteral("warning|FX3 ModManager-Link|Der Link enthält keine gültige mod.io-Mod-ID.");
} // namespace

Q_DECLARE_METATYPE(Flow)
Q_DECLARE_METATYPE(Files)
Q_DECLARE_METATYPE(Download)
Q_DECLARE_METATYPE(Folder)
Q_DECLARE_METATYPE(Parsed)
Q_DECLARE_METATYPE(Opened)

// One test's world: a sandbox with a mod.io mods folder, the fake service, a client, and the installer's
// context with scripted answers.
struct World
{
    World()
    {
        service.configure(QStringLiteral("KEY"), QString());
        context.prompts.messages = prompts.prompts();
        context.prompts.crcQuestion = [this](const QString &, const QString &, const QString &,
                                             const QString &) {
            ++crcQuestions;
            return !crcAnswers.isEmpty() && crcAnswers.takeFirst();
        };
        context.prompts.install = player.prompts();
        context.modsFolder = mods;
        context.sevenZip = realSevenZip();
    }
    ModIoInstaller &installer()
    {
        made = std::make_unique<ModIoInstaller>(client, manager, subscribed, context);
        return *made;
    }
    QByteArray zipOf(const Tree &content)
    {
        return readTestFile(box.archive(QStringLiteral("m%1.zip").arg(++archives), content));
    }

    InstallSandbox box;
    FakeModIoService service;
    QNetworkAccessManager manager;
    QObject owner;
    ModIoClient client{manager, &owner};
    QSet<QString> subscribed;
    ScriptedPrompts prompts;
    PlayerAnswers player;
    QList<bool> crcAnswers;
    int crcQuestions = 0;
    int archives = 0;
    const QString mods = box.env.makeDir(QStringLiteral("storage/73160/mods"));
    ModIoInstallContext context;
    std::unique_ptr<ModIoInstaller> made;
};

class ModIoInstallTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void installSelection_data();
    void installSelection();
    void chooseWindowsFile_data();
    void chooseWindowsFile();
    void checkDownload_data();
    void checkDownload();
    void modsFolder_data();
    void modsFolder();
    void parseLink_data();
    void parseLink();
    void openLink_data();
    void openLink();
};

void ModIoInstallTest::installSelection_data()
{
    QTest::addColumn<Flow>("flow");
    const QString done = QStringLiteral("information|mod.io-Installation abgeschlossen");
    const QString noSubscription = QStringLiteral("question|mod.io-Abo|Der Mod konnte nicht abonniert "
                                                  "werden:\nFehler 500\n\nTrotzdem direkt installieren?");
    const QString noDependencies =
        QStringLiteral("question|mod.io-Abhängigkeiten|Die Abhängigkeiten konnten "
                       "nicht vollständig ermittelt werden:\nFehler 500\n\nNur den "
                       "ausgewählten Mod installieren?");
    QTest::newRow("no key, no token: nothing requested")
        << Flow{"none", {}, {}, {}, -1, {}, {"information|mod.io"}};
    QTest::newRow("key only: installed, not subscribed") << Flow{"key", {}, {}, {}, 1, {"100"}, {done}};
    QTest::newRow("token: subscribed first") << Flow{"token", {}, {}, {}, 1, {"100"}, {done}};
    QTest::newRow("failed subscription, player goes on")
        << Flow{"token, subscription fails", {}, {}, {}, 1, {"100"}, {noSubscription, done}};
    QTest::newRow("failed subscription, player stops")
        << Flow{"token, subscription fails", {}, {}, {false}, -1, {}, {noSubscription}};
    QTest::newRow("dependencies first, in the service's order")
        << Flow{"key", {"3", "2"}, {}, {}, 3, {"300", "200", "100"}, {done}};
    QTest::newRow("current dependency skipped, not counted")
        << Flow{"key", {"3", "2"}, {"3"}, {}, 2, {"200", "100"}, {done}};
    QTest::newRow("selected mod current") << Flow{"key", {}, {"1"}, {}, 0, {}, {done}};
    QTest::newRow("unknown dependencies, selected only")
        << Flow{"key", {"!", "2"}, {}, {true}, 1, {"100"}, {noDependencies, done}};
    QTest::newRow("unknown dependencies, default stops")
        << Flow{"key", {"!", "2"}, {}, {}, -1, {}, {noDependencies}};
    const QString missing =
        QStringLiteral("critical|mod.io-Installation fehlgeschlagen|Fehler 404\n\nMod: Mod 9");
    QTest::newRow("missing dependency ends the run, earlier ones stay")
        << Flow{"key", {"2", "9"}, {}, {}, -1, {"200"}, {missing}};
}

void ModIoInstallTest::installSelection()
{
    QFETCH(Flow, flow);
    World w;
    for (const QString &id : QStringList{"1", "2", "3"})
        w.service.addMod(id, w.zipOf({{"mod.lua", "name = 'Mod " + id.toUtf8() + "'"}}));
    for (const QString &id : flow.dependencies)
        w.service.dependencies["1"].append(FakeModIoService::mod(id, {}));
    w.service.dependenciesStatus = flow.dependencies.value(0) == "!" ? 500 : 200;
    const bool signedIn = flow.account.startsWith("token");
    w.service.subscribeStatus = flow.account.endsWith("fails") ? 500 : 200;
    w.service.configure(flow.account == "none" ? "" : "KEY", signedIn ? "TOKEN" : "");
    for (const QString &id : flow.current)
        writeTestFile(w.mods + '/' + id + "/mod.io_fileid.txt", id.toUtf8() + "00\n");
    w.prompts.questionAnswers = flow.answers;
    QList<bool> enabled;
    w.context.prompts.setInstallEnabled = [&enabled](bool on) {
        enabled.append(on);
    };

    ModIoInstallResult result;
    const bool ok =
        w.installer().installModIoSelection(parseModIoMod({{"id", 1}, {"name", "Mod 1"}}), &result);

    QStringList kinds;
    for (const QString &message : std::as_const(w.prompts.messages))
        kinds.append(message.startsWith(QLatin1String("information")) ? message.section('|', 0, 1) : message);
    QCOMPARE(kinds, flow.messages);
    QCOMPARE(ok, flow.installed >= 0);
    QStringList fetched;
    for (const QString &path : w.service.downloadPaths())
        fetched.append(path.section('/', 2, 2));
    QCOMPARE(fetched, flow.downloads);
    if (flow.account == "none")
        QVERIFY(w.service.server.requests().isEmpty());
    QCOMPARE(w.service.count("POST", modIoPath("1", "/subscribe")), signedIn ? 1 : 0);
    QCOMPARE(w.subscribed.contains("1"), flow.account == "token");
    // The button is off while mods are installed and on again however the run ends.
    if (!enabled.isEmpty())
        QCOMPARE(enabled, (QList<bool>{false, true}));
    if (flow.installed < 0)
        return;
    QCOMPARE(result.installedCount, flow.installed);
    QVERIFY(result.informationText.contains(signedIn ? "mit deinem mod.io-Konto verknüpft"
                                                     : "nicht automatisch abonniert"));
    for (const QString &id : flow.downloads)
        QCOMPARE(readTestFile(w.mods + '/' + id.chopped(2) + "/mod.io_fileid.txt"), id.toUtf8() + '\n');
}

void ModIoInstallTest::chooseWindowsFile_data()
{
    QTest::addColumn<Files>("files");
    const Platforms windows{{"WINDOWS", 1}}, linuxOnly{{"LINUX", 1}}, none;
    const Platforms waiting{{"WINDOWS", 0}}, all{{"linux", 1}, {"all", 1}}, mac{{"MAC", 1}};
    const QString invalid = QStringLiteral("Ungültige mod.io-Mod-ID.");
    QTest::newRow("live file released for Windows beats a newer upload")
        << Files{"5", "502", {windows, windows}, 200, "502", ""};
    QTest::newRow("live file not for Windows: newest Windows file")
        << Files{"5", "501", {linuxOnly, windows, linuxOnly}, 200, "502", ""};
    QTest::newRow("Windows waiting for approval passed over")
        << Files{"5", "", {waiting, all}, 200, "502", ""};
    QTest::newRow("no Windows or ALL: newest file") << Files{"5", "", {linuxOnly, mac}, 200, "503", ""};
    QTest::newRow("no platform list serves Windows") << Files{"5", "", {linuxOnly, none}, 200, "502", ""};
    QTest::newRow("list failed: the live file by id") << Files{"5", "503", {linuxOnly}, 500, "503", ""};
    QTest::newRow("nothing usable") << Files{
        "5", "",
        {},  500,
        "",  "mod.io hat für diesen Mod keine freigegebene Windows-Download-Datei geliefert.\n\nFehler 500"};
    QTest::newRow("empty id") << Files{" ", "", {}, 200, "", invalid};
    QTest::newRow("id with letters") << Files{"5a", "", {}, 200, "", invalid};
}

void ModIoInstallTest::chooseWindowsFile()
{
    QFETCH(Files, files);
    World w;
    const QString live = files.live, chosen = files.chosen, error = files.error;
    const QList<Platforms> listed = files.listed;
    QHash<QString, QByteArray> bytes;
    for (int i = 0; i < listed.size(); ++i) {
        const QString id = QString::number(503 - i);
        bytes.insert(id, "file " + id.toUtf8());
        // The Windows files carry no checksum: a chosen one must not keep the live file's.
        const bool withMd5 = !listed.at(i).contains({"WINDOWS", 1});
        w.service.files["5"].append(FakeModIoService::modfile(id, bytes.value(id), withMd5, listed.at(i)));
    }
    QJsonObject liveFile = FakeModIoService::modfile(live, "live file");
    liveFile.remove("download");
    w.service.mods.insert("5", FakeModIoService::mod("5", live.isEmpty() ? QJsonObject() : liveFile));
    w.service.filesStatus = files.listStatus;

    ModIoMod record;
    QString message;
    QCOMPARE(w.installer().fetchModIoMod(files.modId, &record, &message), error.isEmpty());
    QCOMPARE(message, error);
    // A mod id that is not one never reaches the service.
    QCOMPARE(w.service.server.requests().isEmpty(), error.startsWith("Ungültige"));
    if (!error.isEmpty())
        return;
    QCOMPARE(record.modfileId, chosen);
    const bool listedWithMd5 = !listed.value(503 - chosen.toInt()).contains({"WINDOWS", 1});
    QCOMPARE(record.md5, listedWithMd5 ? md5(bytes.value(chosen, "file " + chosen.toUtf8())) : QString());
    QVERIFY(record.downloadUrl.contains("/dl/" + chosen + '/'));
}

void ModIoInstallTest::checkDownload_data()
{
    QTest::addColumn<Download>("download");
    const QString md5Wrong = downloadFailed.arg("Die MD5-Prüfsumme des Downloads stimmt nicht. Erwartet: %1, "
                                                "erhalten: %2.");
    const QString sizeWrong = downloadFailed.arg("Die Dateigröße stimmt nicht mit den mod.io-Daten überein. "
                                                 "Erwartet: %3 Bytes, erhalten: %4 Bytes.");
    QTest::newRow("published file") << Download{"7-Zip", "as published", true, {}, ""};
    QTest::newRow("wrong MD5 three times") << Download{"7-Zip", "changed byte", true, {}, md5Wrong};
    QTest::newRow("wrong size") << Download{"7-Zip", "one byte more", false, {}, sizeWrong};
    QTest::newRow("CRC errors with MD5, accepted") << Download{"CRC", "as published", true, {true}, ""};
    QTest::newRow("CRC errors with MD5, cancelled")
        << Download{"CRC", "as published", true, {false}, "Installation abgebrochen."};
    QTest::newRow("CRC errors without MD5") << Download{"CRC", "as published", false, {}, corrupt + "…"};
    QTest::newRow("not an archive") << Download{"text", "as published", true, {}, corrupt + "…"};
}

void ModIoInstallTest::checkDownload()
{
    QFETCH(Download, download);
    World w;
    const QString archive = download.archive, served = download.served, error = download.error;
    const bool withMd5 = download.withMd5;
    QByteArray published;
    if (archive == QLatin1String("7-Zip")) {
        published = w.zipOf(newVersion);
    } else if (archive == QLatin1String("CRC")) {
        const QString path = w.box.env.root() + "/crc.zip";
        QVERIFY(writeStoredZip(path, {{"mod.lua", "name = 'Mod 1'"}, {"res/data.bin", noise(3000)}}));
        published = readTestFile(path);
        published[published.indexOf(noise(3000)) + 1000] ^= 0x5a;
    } else {
        published = "no archive at all";
    }
    QByteArray sent = published;
    if (served == QLatin1String("changed byte"))
        sent[sent.size() / 2] ^= 1;
    else if (served == QLatin1String("one byte more"))
        sent += 'x';
    w.service.addMod("1", published, withMd5);
    w.service.downloads["100"] = sent;
    const QString target = w.mods + "/1";
    writeTree(target, oldVersion);
    w.crcAnswers = download.crcAnswers;

    ModIoMod record;
    QString message;
    QVERIFY(w.installer().fetchModIoMod("1", &record, &message));
    const bool ok = w.made->installModIoRecord(record, &message);

    QString expected = error;
    expected.replace("%1", md5(published)).replace("%2", md5(sent));
    expected.replace("%3", QString::number(published.size())).replace("%4", QString::number(sent.size()));
    if (expected.endsWith("…"))
        QVERIFY2(message.startsWith(expected.chopped(1)), qPrintable(message));
    else
        QCOMPARE(message, expected);
    QCOMPARE(ok, error.isEmpty());
    QCOMPARE(w.crcQuestions, withMd5 && archive == QLatin1String("CRC") ? 1 : 0);
    // Every attempt asked for a fresh address, and each address was used once.
    const int attempts = served == QLatin1String("as published") ? 1 : 3;
    QCOMPARE(w.service.count("GET", modIoPath("1", "/files")), attempts);
    const QStringList downloads = w.service.downloadPaths();
    QCOMPARE(downloads.size(), attempts);
    QCOMPARE(QSet<QString>(downloads.cbegin(), downloads.cend()).size(), attempts);
    if (!ok) {
        QCOMPARE(treeOf(target), oldVersion);
        return;
    }
    QCOMPARE(readTestFile(target + "/mod.io_fileid.txt"), QByteArray("100\n"));
    const QJsonObject marker{{"source", "mod.io"},
                             {"name", "Mod 1"},
                             {"version", "1.100"},
                             {"modio_id", "1"},
                             {"modio_file_id", "100"},
                             {"profile_url", "https://example.invalid/m/1"},
                             {"preview_url", "http://127.0.0.1:9/l/1.png"}};
    QCOMPARE(readInstallMarker(target).value_or(QJsonObject()), marker);
    QVERIFY(!QFileInfo::exists(target + "/res/old-only.txt"));
    QVERIFY(w.box.temporaryLeftovers().isEmpty());
}

void ModIoInstallTest::modsFolder_data()
{
    QTest::addColumn<Folder>("folder");
    const QString mods = QStringLiteral("storage/73160/mods");
    QTest::newRow("created below the storage root") << Folder{"", true, "", "root/73160/mods", ""};
    QTest::newRow("no folder, player picks one") << Folder{"", false, mods, mods, ""};
    QTest::newRow("wrong folder, player picks one") << Folder{"storage/73160", false, mods + '/', mods, ""};
    QTest::newRow("player picks none") << Folder{"", false, "", "", "Kein mod.io-Modordner ausgewählt."};
    QTest::newRow("player picks a wrong one") << Folder{
        "", false, "storage", "", "Der mod.io-Pfad muss auf \\73160\\mods enden und vorhanden sein."};
}

void ModIoInstallTest::modsFolder()
{
    QFETCH(Folder, folder);
    World w;
    const QString known = folder.known, chosen = folder.chosen, used = folder.used, error = folder.error;
    const bool storageRoot = folder.storageRoot;
    const QString root = w.box.env.root() + '/';
    w.service.addMod("1", w.zipOf(newVersion));
    w.context.modsFolder = known.isEmpty() ? QString() : root + known;
    w.context.storageRoot = storageRoot ? w.box.env.makeDir("root") : QString();
    QStringList asked;
    w.context.prompts.messages.chooseFolder = [&](const QString &title, const QString &start) {
        asked.append(title + " @ " + start);
        return chosen.isEmpty() ? QString() : root + chosen;
    };
    ModIoMod record;
    record.id = "1";
    QString message;
    QCOMPARE(w.installer().installModIoRecord(record, &message), error.isEmpty());
    QCOMPARE(message, error);
    const bool asks = known.isEmpty() ? !storageRoot : known != "storage/73160/mods";
    QCOMPARE(asked,
             asks ? QStringList{"mod.io-Modordner auswählen @ " + w.context.modsFolder} : QStringList());
    const QString stored = QSettings().value("paths/modio").toString();
    QCOMPARE(stored, used.isEmpty() || used == known ? QString() : root + used);
    if (used.isEmpty())
        return;
    QCOMPARE(treeOf(root + used + "/1").value("mod.lua"), newVersion.value("mod.lua"));
    QCOMPARE(w.made->context().modsFolder, root + used);
}

void ModIoInstallTest::parseLink_data()
{
    QTest::addColumn<Parsed>("row");
    const auto ok = InstallLinkCheck::Accepted, no = InstallLinkCheck::Unsupported,
               invalid = InstallLinkCheck::InvalidModId;
    QTest::newRow("upper-case scheme, host and path")
        << Parsed{"FX3MODMANAGER://MODIO/INSTALL?mod_id=7", ok, "7", ""};
    QTest::newRow("blanks around the ids")
        << Parsed{"fx3modmanager://modio/install?mod_id=%207%20&file_id= 700 ", ok, "7", "700"};
    QTest::newRow("other items ignored")
        << Parsed{"fx3modmanager://modio/install?ref=x&mod_id=7", ok, "7", ""};
    QTest::newRow("trailing slash") << Parsed{"fx3modmanager://modio/install/?mod_id=7", no, "", ""};
    QTest::newRow("other host") << Parsed{"fx3modmanager://steam/install?mod_id=7", no, "", ""};
    QTest::newRow("negative mod id") << Parsed{"fx3modmanager://modio/install?mod_id=-7", invalid, "", ""};
    QTest::newRow("no mod id") << Parsed{"fx3modmanager://modio/install?file_id=700", invalid, "", ""};
    QTest::newRow("letters in the file id") << Parsed{link + "&file_id=x", invalid, "", ""};
}

void ModIoInstallTest::parseLink()
{
    QFETCH(Parsed, row);
    InstallLink parsed;
    QCOMPARE(parseInstallLink(QUrl(row.link, QUrl::TolerantMode), &parsed), row.check);
    QCOMPARE(parsed.modId, row.modId);
    QCOMPARE(parsed.fileId, row.fileId);
}

void ModIoInstallTest::openLink_data()
{
    QTest::addColumn<Opened>("row");
    QTest::newRow("player agrees") << Opened{link, "KEY", "", {}, true, 1, {install}};
    QTest::newRow("token alone is enough") << Opened{link, "", "TOKEN", {}, true, 1, {install}};
    QTest::newRow("player declines") << Opened{link, "KEY", "", {false}, false, 1, {install}};
    QTest::newRow("current file asked for")
        << Opened{link + "&file_id=700", "KEY", "", {}, true, 1, {install}};
    QTest::newRow("older file asked for, player takes the current one")
        << Opened{link + "&file_id=650", "KEY", "", {}, true, 1, {changed, install}};
    QTest::newRow("older file asked for, player stops")
        << Opened{link + "&file_id=650", "KEY", "", {false}, false, 1, {changed}};
    QTest::newRow("no key and no token") << Opened{link, "", "", {}, false, 0, {noKey}};
    QTest::newRow("unknown mod") << Opened{
        "fx3modmanager://modio/install?mod_id=8", "KEY", "", {}, false, 1, {notLoaded}};
    QTest::newRow("unsupported") << Opened{
        "fx3modmanager://modio/open?mod_id=7", "KEY", "", {}, false, 0, {unsupported}};
    QTest::newRow("invalid id") << Opened{link + "x", "KEY", "", {}, false, 0, {invalidId}};
    QTest::newRow("not ours") << Opened{
        "https://example.invalid/install?mod_id=7", "KEY", "", {}, false, 0, {}};
}

void ModIoInstallTest::openLink()
{
    QFETCH(Opened, row);
    World w;
    w.service.addMod("7", "archive bytes");
    w.service.configure(row.key, row.token);
    w.prompts.questionAnswers = row.answers;

    ModIoMod record;
    QCOMPARE(openInstallLink(w.installer(), QUrl(row.link, QUrl::TolerantMode), &record), row.opened);
    QCOMPARE(w.prompts.messages, row.messages);
    QCOMPARE(w.service.server.requests().size(), row.requests);
    // The record to install is the current one, whatever file the link named.
    QCOMPARE(record.modfileId, row.opened ? QStringLiteral("700") : QString());
}

QTEST_GUILESS_MAIN(ModIoInstallTest)
#include "tst_modioinstall.moc"
