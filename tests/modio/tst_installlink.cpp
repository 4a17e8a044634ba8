#include "fakemodio.h"
#include "modio/installlink.h"
#include "modio/modioclient.h"
#include "modio/modioinstall.h"

#include <QNetworkAccessManager>
#include <QTest>

namespace {
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

Q_DECLARE_METATYPE(Parsed)
Q_DECLARE_METATYPE(Opened)

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
    QTest::addColumn<Parsed>("row");
    const auto ok = InstallLinkCheck::Accepted, no = InstallLinkCheck::Unsupported,
               invalid = InstallLinkCheck::InvalidModId;
    QTest::newRow("mod only") << Parsed{link, ok, "7", ""};
    QTest::newRow("mod and file") << Parsed{link + "&file_id=700", ok, "7", "700"};
    QTest::newRow("upper-case scheme, host and path")
        << Parsed{"FX3MODMANAGER://MODIO/INSTALL?mod_id=7", ok, "7", ""};
    QTest::newRow("blanks around the ids")
        << Parsed{"fx3modmanager://modio/install?mod_id=%207%20&file_id= 700 ", ok, "7", "700"};
    QTest::newRow("other items ignored")
        << Parsed{"fx3modmanager://modio/install?ref=x&mod_id=7", ok, "7", ""};
    QTest::newRow("trailing slash") << Parsed{"fx3modmanager://modio/install/?mod_id=7", no, "", ""};
    QTest::newRow("other host") << Parsed{"fx3modmanager://steam/install?mod_id=7", no, "", ""};
    QTest::newRow("letters in the mod id") << Parsed{link + "a", invalid, "", ""};
    QTest::newRow("negative mod id") << Parsed{"fx3modmanager://modio/install?mod_id=-7", invalid, "", ""};
    QTest::newRow("no mod id") << Parsed{"fx3modmanager://modio/install?file_id=700", invalid, "", ""};
    QTest::newRow("letters in the file id") << Parsed{link + "&file_id=x", invalid, "", ""};
    QTest::newRow("other scheme") << Parsed{"https://modio/install?mod_id=7", InstallLinkCheck::NotOurs, "",
                                            ""};
}

void InstallLinkTest::parse()
{
    QFETCH(Parsed, row);
    InstallLink parsed;
    QCOMPARE(parseInstallLink(QUrl(row.link, QUrl::TolerantMode), &parsed), row.check);
    QCOMPARE(parsed.modId, row.modId);
    QCOMPARE(parsed.fileId, row.fileId);
}

void InstallLinkTest::open_data()
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

void InstallLinkTest::open()
{
    QFETCH(Opened, row);
    TestEnvironment env;
    FakeModIoService service;
    service.addMod("7", "archive bytes");
    service.configure(row.key, row.token);
    QNetworkAccessManager manager;
    QObject owner;
    ModIoClient client(manager, &owner);
    QSet<QString> subscribed;
    ScriptedPrompts prompts;
    prompts.questionAnswers = row.answers;
    ModIoInstallContext context;
    context.prompts.messages = prompts.prompts();
    QStringList status;
    context.prompts.status = [&status](const QString &text) {
        status.append(text);
    };
    ModIoInstaller installer(client, manager, subscribed, context);

    ModIoMod record;
    QCOMPARE(openInstallLink(installer, QUrl(row.link, QUrl::TolerantMode), &record), row.opened);
    QCOMPARE(prompts.messages, row.messages);
    QCOMPARE(service.server.requests().size(), row.requests);
    QCOMPARE(status.isEmpty(), row.requests == 0);
    // The record to install is the current one, whatever file the link named.
    QCOMPARE(record.modfileId, row.opened ? QStringLiteral("700") : QString());
}

QTEST_GUILESS_MAIN(InstallLinkTest)
#include "tst_installlink.moc"
