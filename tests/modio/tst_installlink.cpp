#include "fakemodio.h"
#include "modio/installlink.h"
#include "modio/modioclient.h"
#include "modio/modioinstall.h"

#include <QNetworkAccessManager>
#include <QTest>

namespace {
const QString unsupported =
    QStringLiteral("warning|FX3 ModManager-Link|Dieser FX3-ModManager-Link wird nicht "
                   "unterstützt.");
const QString invalidId =
    QStringLiteral("warning|FX3 ModManager-Link|Der Link enthält keine gültige mod.io-Mod-ID.");
const QString install =
    QStringLiteral("question|Mit FX3 ModManager installieren|'Mod 7' (Version 1.700) wurde "
                   "aus dem Mod Portal geöffnet.\n\nJetzt herunterladen, Abhängigkeiten "
                   "prüfen und installieren?");
} // namespace

class InstallLinkTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void parse_data();
    void parse();
    void open_data();
    void open();
};

void InstallLinkTest::parse_data()
{
    QTest::addColumn<QString>("link");
    QTest::addColumn<InstallLinkCheck>("check");
    QTest::addColumn<QString>("modId");
    QTest::addColumn<QString>("fileId");

    const auto accepted = InstallLinkCheck::Accepted;
    QTest::newRow("mod only") << "fx3modmanager://modio/install?mod_id=7" << accepted << "7"
                              << "";
    QTest::newRow("mod and file") << "fx3modmanager://modio/install?mod_id=7&file_id=700" << accepted << "7"
                                  << "700";
    QTest::newRow("upper-case scheme, host and path")
        << "FX3MODMANAGER://MODIO/INSTALL?mod_id=7" << accepted << "7"
        << "";
    QTest::newRow("blanks around the ids")
        << "fx3modmanager://modio/install?mod_id=%207%20&file_id= 700 " << accepted << "7"
        << "700";
    QTest::newRow("other items ignored")
        << "fx3modmanager://modio/install?ref=portal&mod_id=7" << accepted << "7"
        << "";
    QTest::newRow("trailing slash") << "fx3modmanager://modio/install/?mod_id=7"
                                    << InstallLinkCheck::Unsupported << ""
                                    << "";
    QTest::newRow("other host") << "fx3modmanager://steam/install?mod_id=7" << InstallLinkCheck::Unsupported
                                << ""
                                << "";
    QTest::newRow("letters in the mod id")
        << "fx3modmanager://modio/install?mod_id=7a" << InstallLinkCheck::InvalidModId << ""
        << "";
    QTest::newRow("no mod id") << "fx3modmanager://modio/install?file_id=700"
                               << InstallLinkCheck::InvalidModId << ""
                               << "";
    QTest::newRow("letters in the file id")
        << "fx3modmanager://modio/install?mod_id=7&file_id=x" << InstallLinkCheck::InvalidModId << ""
        << "";
    QTest::newRow("negative mod id") << "fx3modmanager://modio/install?mod_id=-7"
                                     << InstallLinkCheck::InvalidModId << ""
                                     << "";
    QTest::newRow("other scheme") << "https://modio/install?mod_id=7" << InstallLinkCheck::NotOurs << ""
                                  << "";
}

void InstallLinkTest::parse()
{
    QFETCH(QString, link);
    QFETCH(InstallLinkCheck, check);
    QFETCH(QString, modId);
    QFETCH(QString, fileId);

    InstallLink parsed;
    QCOMPARE(parseInstallLink(QUrl(link, QUrl::TolerantMode), &parsed), check);
    QCOMPARE(parsed.modId, modId);
    QCOMPARE(parsed.fileId, fileId);
}

void InstallLinkTest::open_data()
{
    QTest::addColumn<QString>("link");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("token");
    QTest::addColumn<QList<bool>>("answers");
    QTest::addColumn<bool>("opened");
    QTest::addColumn<int>("requests");
    QTest::addColumn<QStringList>("messages");

    const QString link = QStringLiteral("fx3modmanager://modio/install?mod_id=7");
    const QString changed =
        QStringLiteral("question|Mod-Version geändert|Das Mod Portal hat Dateiversion 650 "
                       "angefordert. Auf mod.io ist inzwischen Dateiversion 700 aktuell.\n\n"
                       "Die aktuelle Version installieren?");
    QTest::newRow("player agrees") << link << "KEY"
                                   << "" << QList<bool>() << true << 1 << QStringList{install};
    QTest::newRow("token alone is enough") << link << ""
                                           << "TOKEN" << QList<bool>() << true << 1 << QStringList{install};
    QTest::newRow("player declines") << link << "KEY"
                                     << "" << QList<bool>{false} << false << 1 << QStringList{install};
    QTest::newRow("current file asked for") << link + "&file_id=700"
                                            << "KEY"
                                            << "" << QList<bool>() << true << 1 << QStringList{install};
    QTest::newRow("older file asked for, player takes the current one")
        << link + "&file_id=650"
        << "KEY"
        << "" << QList<bool>() << true << 1 << QStringList{changed, install};
    QTest::newRow("older file asked for, player stops")
        << link + "&file_id=650"
        << "KEY"
        << "" << QList<bool>{false} << false << 1 << QStringList{changed};
    QTest::newRow("no key and no token")
        << link << ""
        << "" << QList<bool>() << false << 0
        << QStringList{"information|mod.io|Für die Installation aus dem Mod Portal wird ein mod.io-API-Key "
                       "benötigt. Bitte trage ihn unter Einstellungen ein."};
    QTest::newRow("unknown mod") << "fx3modmanager://modio/install?mod_id=8"
                                 << "KEY"
                                 << "" << QList<bool>() << false << 1
                                 << QStringList{
                                        "critical|Mod Portal|Der angeforderte mod.io-Mod konnte nicht "
                                        "geladen werden:\nFehler 404"};
    QTest::newRow("unsupported") << "fx3modmanager://modio/open?mod_id=7"
                                 << "KEY"
                                 << "" << QList<bool>() << false << 0 << QStringList{unsupported};
    QTest::newRow("invalid id") << "fx3modmanager://modio/install?mod_id=abc"
                                << "KEY"
                                << "" << QList<bool>() << false << 0 << QStringList{invalidId};
    QTest::newRow("not ours") << "https://example.invalid/install?mod_id=7"
                              << "KEY"
                              << "" << QList<bool>() << false << 0 << QStringList();
}

void InstallLinkTest::open()
{
    QFETCH(QString, link);
    QFETCH(QString, key);
    QFETCH(QString, token);
    QFETCH(QList<bool>, answers);
    QFETCH(bool, opened);
    QFETCH(int, requests);
    QFETCH(QStringList, messages);

    TestEnvironment env;
    FakeModIoService service;
    service.addMod("7", "archive bytes");
    service.configure(key, token);
    QNetworkAccessManager manager;
    QObject owner;
    ModIoClient client(manager, &owner);
    QSet<QString> subscribed;
    ScriptedPrompts prompts;
    prompts.questionAnswers = answers;
    ModIoInstallContext context;
    context.prompts.messages = prompts.prompts();
    QStringList status;
    context.prompts.status = [&status](const QString &text) {
        status.append(text);
    };
    ModIoInstaller installer(client, manager, subscribed, context);

    ModIoMod record;
    QCOMPARE(openInstallLink(installer, QUrl(link, QUrl::TolerantMode), &record), opened);
    QCOMPARE(prompts.messages, messages);
    QCOMPARE(service.server.requests().size(), requests);
    QCOMPARE(status.isEmpty(), requests == 0);
    QCOMPARE(record.id, opened ? QStringLiteral("7") : QString());
    // The record to install is the current one, whatever file the link named.
    QCOMPARE(record.modfileId, opened ? QStringLiteral("700") : QString());
}

QTEST_GUILESS_MAIN(InstallLinkTest)
#include "tst_installlink.moc"
