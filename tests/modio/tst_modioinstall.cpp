#include "../install/installfixtures.h"
#include "fakemodio.h"
#include "localmods/installmarker.h"
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

} // namespace

class ModIoInstallTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void installSelection_data();
    void installSelection();
    void chooseWindowsFile_data();
    void chooseWindowsFile();
    void checkDownload_data();
    void checkDownload();
    void modsFolder_data();
    void modsFolder();

private:
    ModIoInstaller &installer();
    QByteArray zipOf(const Tree &content);

    std::unique_ptr<InstallSandbox> m_box;
    std::unique_ptr<FakeModIoService> m_service;
    std::unique_ptr<QNetworkAccessManager> m_manager;
    std::unique_ptr<QObject> m_owner;
    std::unique_ptr<ModIoClient> m_client;
    std::unique_ptr<ModIoInstaller> m_installer;
    ModIoInstallContext m_context;
    QSet<QString> m_subscribed;
    ScriptedPrompts m_prompts;
    PlayerAnswers m_player;
    QList<bool> m_crcAnswers;
    int m_crcQuestions = 0;
    QString m_modsFolder;
};

void ModIoInstallTest::init()
{
    m_box = std::make_unique<InstallSandbox>();
    m_service = std::make_unique<FakeModIoService>();
    m_manager = std::make_unique<QNetworkAccessManager>();
    m_owner = std::make_unique<QObject>();
    m_client = std::make_unique<ModIoClient>(*m_manager, m_owner.get());
    m_service->configure(QStringLiteral("KEY"), QString());
    m_modsFolder = m_box->env.makeDir(QStringLiteral("storage/73160/mods"));
    m_prompts = ScriptedPrompts();
    m_crcAnswers.clear();
    m_crcQuestions = 0;
    m_subscribed.clear();
    m_context = ModIoInstallContext();
    m_context.prompts.messages = m_prompts.prompts();
    m_context.prompts.crcQuestion = [this](const QString &, const QString &, const QString &,
                                           const QString &) {
        ++m_crcQuestions;
        return !m_crcAnswers.isEmpty() && m_crcAnswers.takeFirst();
    };
    m_context.prompts.install = m_player.prompts();
    m_context.modsFolder = m_modsFolder;
    m_context.sevenZip = realSevenZip();
}

void ModIoInstallTest::cleanup()
{
    m_installer.reset();
    m_client.reset();
    m_owner.reset();
    m_manager.reset();
    m_service.reset();
    m_box.reset();
}

ModIoInstaller &ModIoInstallTest::installer()
{
    m_installer = std::make_unique<ModIoInstaller>(*m_client, *m_manager, m_subscribed, m_context);
    return *m_installer;
}

QByteArray ModIoInstallTest::zipOf(const Tree &content)
{
    static int n = 0;
    return readTestFile(m_box->archive(QStringLiteral("m%1.zip").arg(++n), content));
}

void ModIoInstallTest::installSelection_data()
{
    QTest::addColumn<QString>("token");
    QTest::addColumn<int>("subscribeStatus");
    QTest::addColumn<int>("dependenciesStatus");
    QTest::addColumn<QStringList>("dependencies");
    QTest::addColumn<QStringList>("current");
    QTest::addColumn<QList<bool>>("answers");
    QTest::addColumn<int>("installed");
    QTest::addColumn<QStringList>("downloads");
    QTest::addColumn<QStringList>("messages");

    const QString done = QStringLiteral("information|mod.io-Installation abgeschlossen");
    const QString subscribeFailed = QStringLiteral("question|mod.io-Abo|Der Mod konnte nicht abonniert "
                                                   "werden:\nFehler 500\n\nTrotzdem direkt installieren?");
    QTest::newRow("without token only installed")
        << "" << 200 << 200 << QStringList() << QStringList() << QList<bool>() << 1 << QStringList{"100"}
        << QStringList{done};
    QTest::newRow("subscribed with token") << "TOKEN" << 200 << 200 << QStringList() << QStringList()
                                           << QList<bool>() << 1 << QStringList{"100"} << QStringList{done};
    QTest::newRow("failed subscription, player goes on")
        << "TOKEN" << 500 << 200 << QStringList() << QStringList() << QList<bool>() << 1 << QStringList{"100"}
        << QStringList{subscribeFailed, done};
    QTest::newRow("failed subscription, player stops")
        << "TOKEN" << 500 << 200 << QStringList() << QStringList() << QList<bool>{false} << -1
        << QStringList() << QStringList{subscribeFailed};
    QTest::newRow("dependencies first, in the service's order")
        << "" << 200 << 200 << QStringList{"3", "2"} << QStringList() << QList<bool>() << 3
        << QStringList{"300", "200", "100"} << QStringList{done};
    QTest::newRow("current dependency skipped and not counted")
        << "" << 200 << 200 << QStringList{"3", "2"} << QStringList{"3"} << QList<bool>() << 2
        << QStringList{"200", "100"} << QStringList{done};
    QTest::newRow("selected mod current") << "" << 200 << 200 << QStringList() << QStringList{"1"}
                                          << QList<bool>() << 0 << QStringList() << QStringList{done};
    const QString unknownDependencies = QStringLiteral(
        "question|mod.io-Abhängigkeiten|Die Abhängigkeiten konnten nicht vollständig ermittelt "
        "werden:\nFehler 500\n\nNur den ausgewählten Mod installieren?");
    QTest::newRow("unknown dependencies, selected only")
        << "" << 200 << 500 << QStringList{"2"} << QStringList() << QList<bool>{true} << 1
        << QStringList{"100"} << QStringList{unknownDependencies, done};
    QTest::newRow("unknown dependencies, default stops")
        << "" << 200 << 500 << QStringList{"2"} << QStringList() << QList<bool>() << -1 << QStringList()
        << QStringList{unknownDependencies};
    QTest::newRow("missing dependency ends the run, earlier ones stay")
        << "" << 200 << 200 << QStringList{"2", "9"} << QStringList() << QList<bool>() << -1
        << QStringList{"200"}
        << QStringList{"critical|mod.io-Installation fehlgeschlagen|Fehler 404\n\nMod: Mod 9"};
}

void ModIoInstallTest::installSelection()
{
    QFETCH(QString, token);
    QFETCH(int, subscribeStatus);
    QFETCH(int, dependenciesStatus);
    QFETCH(QStringList, dependencies);
    QFETCH(QStringList, current);
    QFETCH(QList<bool>, answers);
    QFETCH(int, installed);
    QFETCH(QStringList, downloads);
    QFETCH(QStringList, messages);

    for (const QString &id : QStringList{"1", "2", "3"})
        m_service->addMod(id, zipOf({{"mod.lua", "name = 'Mod " + id.toUtf8() + "'"}}));
    for (const QString &id : dependencies)
        m_service->dependencies["1"].append(FakeModIoService::mod(id, {}));
    m_service->subscribeStatus = subscribeStatus;
    m_service->dependenciesStatus = dependenciesStatus;
    m_service->configure(QStringLiteral("KEY"), token);
    for (const QString &id : current)
        writeTestFile(m_modsFolder + '/' + id + "/mod.io_fileid.txt", id.toUtf8() + "00\n");
    m_prompts.questionAnswers = answers;
    QList<bool> enabled;
    m_context.prompts.setInstallEnabled = [&enabled](bool on) {
        enabled.append(on);
    };

    ModIoMod selected;
    selected.id = QStringLiteral("1");
    selected.name = QStringLiteral("Mod 1");
    ModIoInstallResult result;
    const bool ok = installer().installModIoSelection(selected, &result);

    QStringList kinds;
    for (const QString &message : std::as_const(m_prompts.messages))
        kinds.append(message.startsWith(QLatin1String("information")) ? message.section('|', 0, 1) : message);
    QCOMPARE(kinds, messages);
    QCOMPARE(ok, installed >= 0);
    QStringList fetched;
    for (const QString &path : m_service->downloadPaths())
        fetched.append(path.section('/', 2, 2));
    QCOMPARE(fetched, downloads);
    QCOMPARE(m_service->count("POST", modIoPath("1", "/subscribe")), token.isEmpty() ? 0 : 1);
    QCOMPARE(m_subscribed.contains("1"), !token.isEmpty() && subscribeStatus == 200);
    // The button is off while mods are installed and on again however the run ends.
    if (!enabled.isEmpty())
        QCOMPARE(enabled, (QList<bool>{false, true}));
    if (installed < 0)
        return;
    QCOMPARE(result.installedCount, installed);
    QCOMPARE(result.informationText,
             QStringLiteral("'Mod 1' wurde installiert. %1 Mod-Datei(en) wurden aktualisiert oder neu "
                            "installiert.\n\n%2")
                 .arg(installed)
                 .arg(token.isEmpty() ? "Die Installation erfolgte ohne mod.io-Anmeldung. Sie wurde daher "
                                        "nicht automatisch abonniert."
                                      : "Der Mod ist zusätzlich mit deinem mod.io-Konto verknüpft."));
    for (const QString &id : downloads)
        QCOMPARE(readTestFile(m_modsFolder + '/' + id.chopped(2) + "/mod.io_fileid.txt"), id.toUtf8() + '\n');
}

void ModIoInstallTest::chooseWindowsFile_data()
{
    QTest::addColumn<QString>("modId");
    QTest::addColumn<QString>("live");
    QTest::addColumn<QList<Platforms>>("listed"); // files 503, 502, 501 (newest first), as many as given
    QTest::addColumn<int>("filesStatus");
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("error");

    const Platforms windows{{"WINDOWS", 1}}, linuxOnly{{"LINUX", 1}}, none;
    QTest::newRow("live file released for Windows beats a newer upload")
        << "5"
        << "502" << QList<Platforms>{windows, windows} << 200 << "502"
        << "";
    QTest::newRow("live file not for Windows: newest Windows file")
        << "5"
        << "501" << QList<Platforms>{linuxOnly, windows, linuxOnly} << 200 << "502"
        << "";
    QTest::newRow("newest Linux only, second Windows released")
        << "5"
        << "" << QList<Platforms>{linuxOnly, windows} << 200 << "502"
        << "";
    QTest::newRow("Windows waiting for approval passed over")
        << "5"
        << "" << QList<Platforms>{Platforms{{"WINDOWS", 0}}, Platforms{{"linux", 1}, {"all", 1}}} << 200 << "502"
        << "";
    QTest::newRow("no Windows or ALL: newest file")
        << "5"
        << "" << QList<Platforms>{linuxOnly, Platforms{{"MAC", 1}}} << 200 << "503"
        << "";
    QTest::newRow("no platform list serves Windows") << "5"
                                                     << "" << QList<Platforms>{linuxOnly, none} << 200 << "502"
                                                     << "";
    QTest::newRow("list failed: the live file by id") << "5"
                                                      << "503" << QList<Platforms>{linuxOnly} << 500 << "503"
                                                      << "";
    QTest::newRow("nothing usable")
        << "5"
        << "" << QList<Platforms>{} << 500 << ""
        << "mod.io hat für diesen Mod keine freigegebene Windows-Download-Datei geliefert.\n\nFehler 500";
    QTest::newRow("empty id") << " "
                              << "" << QList<Platforms>{} << 200 << ""
                              << "Ungültige mod.io-Mod-ID.";
    QTest::newRow("id with letters") << "5a"
                                     << "" << QList<Platforms>{} << 200 << ""
                                     << "Ungültige mod.io-Mod-ID.";
}

void ModIoInstallTest::chooseWindowsFile()
{
    QFETCH(QString, modId);
    QFETCH(QString, live);
    QFETCH(QList<Platforms>, listed);
    QFETCH(int, filesStatus);
    QFETCH(QString, chosen);
    QFETCH(QString, error);

    QHash<QString, QByteArray> bytes;
    for (int i = 0; i < listed.size(); ++i) {
        const QString id = QString::number(503 - i);
        bytes.insert(id, "file " + id.toUtf8());
        // The Windows files carry no checksum: a chosen one must not keep the live file's.
        const bool withMd5 = !listed.at(i).contains({"WINDOWS", 1});
        m_service->files["5"].append(FakeModIoService::modfile(id, bytes.value(id), withMd5, listed.at(i)));
    }
    QJsonObject liveFile = FakeModIoService::modfile(live, "live file");
    liveFile.remove("download");
    m_service->mods.insert("5", FakeModIoService::mod("5", live.isEmpty() ? QJsonObject() : liveFile));
    m_service->filesStatus = filesStatus;

    ModIoMod record;
    QString message;
    QCOMPARE(installer().fetchModIoMod(modId, &record, &message), error.isEmpty());
    QCOMPARE(message, error);
    // A mod id that is not one never reaches the service.
    QCOMPARE(m_service->server.requests().isEmpty(), error.startsWith("Ungültige"));
    if (!error.isEmpty())
        return;
    QCOMPARE(record.modfileId, chosen);
    const bool listedWithMd5 = !listed.value(503 - chosen.toInt()).contains({"WINDOWS", 1});
    QCOMPARE(record.md5, listedWithMd5 ? md5(bytes.value(chosen, "file " + chosen.toUtf8())) : QString());
    QVERIFY(record.downloadUrl.contains("/dl/" + chosen + '/'));
}

void ModIoInstallTest::checkDownload_data()
{
    QTest::addColumn<QString>("archive");
    QTest::addColumn<QString>("served"); // as published, "changed byte", "one byte more"
    QTest::addColumn<bool>("withMd5");
    QTest::addColumn<QList<bool>>("crcAnswers");
    QTest::addColumn<QString>("error"); // a trailing "…" compares only the start

    QTest::newRow("published file") << "7-Zip"
                                    << "as published" << true << QList<bool>() << "";
    QTest::newRow("wrong MD5 three times")
        << "7-Zip"
        << "changed byte" << true << QList<bool>()
        << downloadFailed.arg("Die MD5-Prüfsumme des Downloads stimmt nicht. "
                              "Erwartet: %1, erhalten: %2.");
    QTest::newRow("wrong size") << "7-Zip"
                                << "one byte more" << false << QList<bool>()
                                << downloadFailed.arg(
                                       "Die Dateigröße stimmt nicht mit den mod.io-Daten überein. "
                                       "Erwartet: %3 Bytes, erhalten: %4 Bytes.");
    QTest::newRow("CRC errors with MD5, accepted") << "CRC"
                                                   << "as published" << true << QList<bool>{true} << "";
    QTest::newRow("CRC errors with MD5, cancelled")
        << "CRC"
        << "as published" << true << QList<bool>{false} << "Installation abgebrochen.";
    QTest::newRow("CRC errors without MD5") << "CRC"
                                            << "as published" << false << QList<bool>() << corrupt + "…";
    QTest::newRow("not an archive") << "text"
                                    << "as published" << true << QList<bool>() << corrupt + "…";
}

void ModIoInstallTest::checkDownload()
{
    QFETCH(QString, archive);
    QFETCH(QString, served);
    QFETCH(bool, withMd5);
    QFETCH(QList<bool>, crcAnswers);
    QFETCH(QString, error);

    QByteArray published;
    if (archive == QLatin1String("7-Zip")) {
        published = zipOf(newVersion);
    } else if (archive == QLatin1String("CRC")) {
        const QString path = m_box->env.root() + "/crc.zip";
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
    m_service->addMod("1", published, withMd5);
    m_service->downloads["100"] = sent;
    const QString target = m_modsFolder + "/1";
    writeTree(target, oldVersion);
    m_crcAnswers = crcAnswers;
    DownloadProgress last;
    bool hidden = false;
    m_context.prompts.progress = [&](const DownloadProgress &state) {
        last = state;
        hidden = false;
    };
    m_context.prompts.hideProgress = [&hidden] {
        hidden = true;
    };

    ModIoMod record;
    QString message;
    QVERIFY(installer().fetchModIoMod("1", &record, &message));
    const bool ok = m_installer->installModIoRecord(record, &message);

    QString expected = error;
    expected.replace("%1", md5(published)).replace("%2", md5(sent));
    expected.replace("%3", QString::number(published.size())).replace("%4", QString::number(sent.size()));
    if (expected.endsWith("…"))
        QVERIFY2(message.startsWith(expected.chopped(1)), qPrintable(message));
    else
        QCOMPARE(message, expected);
    QCOMPARE(ok, error.isEmpty());
    QCOMPARE(m_crcQuestions, withMd5 && archive == QLatin1String("CRC") ? 1 : 0);
    // Every attempt asked for a fresh address, and each address was used once.
    const int attempts = served == QLatin1String("as published") ? 1 : 3;
    QCOMPARE(m_service->count("GET", modIoPath("1", "/files")), attempts);
    const QStringList downloads = m_service->downloadPaths();
    QCOMPARE(downloads.size(), attempts);
    QCOMPARE(QSet<QString>(downloads.cbegin(), downloads.cend()).size(), attempts);
    QCOMPARE(hidden, !ok);
    if (!ok) {
        QCOMPARE(treeOf(target), oldVersion);
        return;
    }
    QCOMPARE(last.format, QStringLiteral("Installation abgeschlossen"));
    QCOMPARE(readTestFile(target + "/mod.io_fileid.txt"), QByteArray("100\n"));
    const QJsonObject marker{{"source", "mod.io"},
                             {"name", "Mod 1"},
                             {"version", "1.100"},
                             {"modio_id", "1"},
                             {"modio_file_id", "100"},
                             {"profile_url", "https://example.invalid/m/1"},
                             {"preview_url", "https://example.invalid/l/1.png"}};
    QCOMPARE(readInstallMarker(target).value_or(QJsonObject()), marker);
    QVERIFY(!QFileInfo::exists(target + "/res/old-only.txt"));
    QVERIFY(m_box->temporaryLeftovers().isEmpty());
}

void ModIoInstallTest::modsFolder_data()
{
    QTest::addColumn<QString>("known");    // the folder the window knows
    QTest::addColumn<bool>("storageRoot"); // the mod.io client's storage root is known
    QTest::addColumn<QString>("chosen");   // the player's answer, relative to the test's root
    QTest::addColumn<QString>("used");     // relative to the test's root; empty: the install fails
    QTest::addColumn<QString>("error");

    QTest::newRow("known folder") << "storage/73160/mods" << false << ""
                                  << "storage/73160/mods"
                                  << "";
    QTest::newRow("created below the storage root") << "" << true << ""
                                                    << "root/73160/mods"
                                                    << "";
    QTest::newRow("no folder, player picks one") << "" << false << "storage/73160/mods"
                                                 << "storage/73160/mods"
                                                 << "";
    QTest::newRow("wrong folder, player picks one") << "storage/73160" << false << "storage/73160/mods/"
                                                    << "storage/73160/mods"
                                                    << "";
    QTest::newRow("player picks none") << "" << false << ""
                                       << ""
                                       << "Kein mod.io-Modordner ausgewählt.";
    QTest::newRow("player picks a wrong one")
        << "" << false << "storage"
        << ""
        << "Der mod.io-Pfad muss auf \\73160\\mods enden und vorhanden sein.";
}

void ModIoInstallTest::modsFolder()
{
    QFETCH(QString, known);
    QFETCH(bool, storageRoot);
    QFETCH(QString, chosen);
    QFETCH(QString, used);
    QFETCH(QString, error);

    const QString root = m_box->env.root() + '/';
    m_service->addMod("1", zipOf(newVersion));
    m_context.modsFolder = known.isEmpty() ? QString() : root + known;
    m_context.storageRoot = storageRoot ? m_box->env.makeDir("root") : QString();
    QStringList asked;
    m_context.prompts.messages.chooseFolder = [&](const QString &title, const QString &start) {
        asked.append(title + " @ " + start);
        return chosen.isEmpty() ? QString() : root + chosen;
    };
    ModIoMod record;
    record.id = "1";
    QString message;
    QCOMPARE(installer().installModIoRecord(record, &message), error.isEmpty());
    QCOMPARE(message, error);
    const bool asks = known.isEmpty() ? !storageRoot : known != "storage/73160/mods";
    QCOMPARE(asked,
             asks ? QStringList{"mod.io-Modordner auswählen @ " + m_context.modsFolder} : QStringList());
    const QString stored = QSettings().value("paths/modio").toString();
    QCOMPARE(stored, used.isEmpty() || used == known ? QString() : root + used);
    if (used.isEmpty())
        return;
    QCOMPARE(treeOf(root + used + "/1").value("mod.lua"), newVersion.value("mod.lua"));
    QCOMPARE(m_installer->context().modsFolder, root + used);
}

QTEST_GUILESS_MAIN(ModIoInstallTest)
#include "tst_modioinstall.moc"
