#include "app/settings.h"
#include "environment/discovery.h"
#include "environment/pathverdicts.h"
#include "testsupport.h"

#include <QDir>
#include <QTest>

// "%ROOT%" in table texts stands for a private folder holding a game folder, a mod folder, a mod.io tree
// with upper-case letters and a few would-be extractors.
class PathVerdictsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void verdicts_data();
    void verdicts();
    void refusals_data();
    void refusals();
    void customPathsKeepEachFolderOnce();
    void apiRootFromInput();
    void storageRootFromModsPath_data();
    void storageRootFromModsPath();

private:
    QString expand(QString text) const { return text.replace(QStringLiteral("%ROOT%"), m_env->root()); }

    std::unique_ptr<TestEnvironment> m_env;
};

void PathVerdictsTest::initTestCase()
{
    m_env = std::make_unique<TestEnvironment>();
    m_env->writeFile(QStringLiteral("game/ferroline3.exe"), {});
    m_env->makeDir(QStringLiteral("notgame"));
    m_env->makeDir(QStringLiteral("store/73160/MODS"));
    m_env->makeDir(QStringLiteral("store/73161/mods"));
    for (const char *tool : {"tools/unrar.exe", "tools/tar.exe", "tools/7zz"})
        m_env->writeFile(QLatin1String(tool), {});
    m_env->makeDir(QStringLiteral("tools/7z.exe"));
}

void PathVerdictsTest::verdicts_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("bundled"); // extractor rows: the shipped 7-Zip
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("style");

    const QString green = QStringLiteral("color:#16813a;");
    const QString red = QStringLiteral("color:#b42318;");
    const QString amber = QStringLiteral("color:#b7791f;");
    QTest::newRow("game found") << "game"
                                << " %ROOT%/game/ "
                                << ""
                                << "✓ Gültig – ferroline3.exe gefunden" << green;
    QTest::newRow("game missing, setup")
        << "game"
        << "%ROOT%/notgame"
        << ""
        << "✗ Ungültig – in diesem Ordner wurde ferroline3.exe nicht gefunden" << red;
    QTest::newRow("game missing, settings") << "game settings"
                                            << ""
                                            << ""
                                            << "✗ Ungültig – ferroline3.exe fehlt" << red;
    QTest::newRow("mods empty") << "usermods"
                                << "  "
                                << ""
                                << "Optional – Zielordner wird bei der ersten Installation abgefragt"
                                << green;
    QTest::newRow("mods exist") << "usermods"
                                << "%ROOT%/notgame"
                                << ""
                                << "✓ Gültiger Modordner" << green;
    QTest::newRow("mods missing") << "usermods"
                                  << "%ROOT%/nowhere"
                                  << ""
                                  << "✗ Ungültig – der gewählte Modordner existiert nicht" << red;
    QTest::newRow("mod.io upper case") << "modio"
                                       << "%ROOT%/store/73160/MODS/"
                                       << ""
                                       << "✓ Gültiger mod.io-Modordner (.../73160/mods)" << green;
    QTest::newRow("mod.io other game") << "modio"
                                       << "%ROOT%/store/73161/mods"
                                       << ""
                                       << "✗ Ungültig – erwartet wird .../73160/mods" << red;
    QTest::newRow("mod.io not yet there, setup") << "modio"
                                                 << "%ROOT%/new/73160/mods"
                                                 << ""
                                                 << "✗ Ungültig – erwartet wird .../73160/mods" << red;
    QTest::newRow("mod.io not yet there, settings")
        << "modio settings"
        << "%ROOT%/new/73160/mods"
        << ""
        << "Zielordner: " + QDir::toNativeSeparators(m_env->root() + "/new/73160/mods") << green;
    QTest::newRow("mod.io empty, settings") << "modio settings"
                                            << ""
                                            << ""
                                            << "Optional – nicht eingerichtet" << green;
    QTest::newRow("root empty") << "storage"
                                << ""
                                << ""
                                << "Optional – der mod.io-Speicherort wird nicht geändert" << green;
    QTest::newRow("root new folder") << "storage"
                                     << "%ROOT%/new/"
                                     << ""
                                     << "✓ ModHub und ModManager verwenden: " +
                                            QDir::toNativeSeparators(m_env->root() + "/new")
                                     << green;
    QTest::newRow("root is a file") << "storage"
                                    << "%ROOT%/game/ferroline3.exe"
                                    << ""
                                    << "✗ Bitte einen absoluten Ordnerpfad als mod.io-Speicherort wählen"
                                    << red;
    QTest::newRow("root relative") << "storage"
                                   << "mod.io"
                                   << ""
                                   << "✗ Bitte einen absoluten Ordnerpfad als mod.io-Speicherort wählen"
                                   << red;
    QTest::newRow("custom all there") << "custom"
                                      << "%ROOT%/game|%ROOT%/notgame"
                                      << ""
                                      << "✓ 2 individuelle Mod-Pfade eingerichtet" << green;
    QTest::newRow("custom one missing") << "custom"
                                        << "%ROOT%/game|%ROOT%/gone"
                                        << ""
                                        << "✗ 1 individueller Mod-Pfad bzw. Pfade existieren nicht" << red;
    QTest::newRow("extractor bundled")
        << "extractor"
        << ""
        << "/app/7z.exe"
        << "✓ Integriertes 7-Zip wird verwendet: " + QDir::toNativeSeparators("/app/7z.exe") << green;
    QTest::newRow("extractor fallback")
        << "extractor"
        << ""
        << ""
        << "Integriertes 7-Zip fehlt – Fallback gefunden: " + QDir::toNativeSeparators("/usr/bin/7zz")
        << amber;
    QTest::newRow("extractor nothing")
        << "extractor none"
        << ""
        << ""
        << "⚠ Integriertes 7-Zip fehlt – kein alternativer Entpacker gefunden" << red;
    QTest::newRow("unrar.exe lower case beside bundled")
        << "extractor"
        << "%ROOT%/tools/unrar.exe"
        << "/app/7z.exe"
        << "✓ Alternative gespeichert – integriertes 7-Zip hat Vorrang" << green;
    QTest::newRow("7zz without .exe") << "extractor"
                                      << "%ROOT%/tools/7zz"
                                      << ""
                                      << "✓ Gültiger alternativer Entpacker gefunden" << green;
    const QString invalidExtractor = QStringLiteral(
        "✗ Ungültig – bitte 7z.exe, 7zz.exe, 7za.exe, WinRAR.exe, RAR.exe oder UnRAR.exe wählen");
    QTest::newRow("tar.exe") << "extractor"
                             << "%ROOT%/tools/tar.exe"
                             << "" << invalidExtractor << red;
    QTest::newRow("7z.exe is a folder") << "extractor"
                                        << "%ROOT%/tools/7z.exe"
                                        << "" << invalidExtractor << red;
    QTest::newRow("7z.exe missing") << "extractor"
                                    << "%ROOT%/gone/7z.exe"
                                    << "/app/7z.exe" << invalidExtractor << red;
}

void PathVerdictsTest::verdicts()
{
    QFETCH(QString, kind);
    QFETCH(QString, input);
    QFETCH(QString, bundled);
    QFETCH(QString, text);
    QFETCH(QString, style);
    input = expand(input);
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

void PathVerdictsTest::refusals_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("title"); // empty: accepted

    QTest::newRow("game, setup") << "game"
                                 << "%ROOT%/notgame"
                                 << "Ungültiger Spielordner";
    QTest::newRow("game there") << "game"
                                << "%ROOT%/game"
                                << "";
    QTest::newRow("mods missing") << "usermods"
                                  << "%ROOT%/gone"
                                  << "Ungültiger Modordner";
    QTest::newRow("mods empty") << "usermods"
                                << ""
                                << "";
    QTest::newRow("mod.io missing") << "modio"
                                    << "%ROOT%/new/73160/mods"
                                    << "Ungültiger mod.io-Ordner";
    QTest::newRow("mod.io empty") << "modio"
                                  << ""
                                  << "";
    QTest::newRow("extractor empty") << "extractor"
                                     << " "
                                     << "";
    QTest::newRow("unrar.exe") << "extractor"
                               << "%ROOT%/tools/unrar.exe"
                               << "";
    QTest::newRow("tar.exe") << "extractor"
                             << "%ROOT%/tools/tar.exe"
                             << "Ungültiger Entpacker";
    QTest::newRow("custom missing") << "custom"
                                    << "%ROOT%/game|%ROOT%/gone"
                                    << "Ungültiger individueller Modpfad";
    const QString badApi = QStringLiteral("Ungültiger mod.io API-Pfad");
    QTest::newRow("api game root") << "api"
                                   << "https://g-73160.modapi.io/v1"
                                   << "";
    QTest::newRow("api domain itself, upper case") << "api"
                                                   << "HTTPS://MODAPI.IO/v1"
                                                   << "";
    QTest::newRow("api http") << "api"
                              << "http://g-73160.modapi.io/v1" << badApi;
    QTest::newRow("api general root") << "api"
                                      << "https://api.mod.io/v1" << badApi;
    QTest::newRow("api look-alike host") << "api"
                                         << "https://evilmodapi.io/v1" << badApi;
    QTest::newRow("api no host") << "api"
                                 << "https:///v1" << badApi;
    const QString badCommunity = QStringLiteral("Ungültige Community-API");
    QTest::newRow("community http") << "community"
                                    << "http://127.0.0.1:8080/reports.php"
                                    << "";
    QTest::newRow("community HTTPS") << "community"
                                     << "HTTPS://site.example/r"
                                     << "";
    QTest::newRow("community ftp") << "community"
                                   << "ftp://site.example/r" << badCommunity;
    QTest::newRow("community no host") << "community"
                                       << "http://" << badCommunity;
    QTest::newRow("community plain word") << "community"
                                          << "reports" << badCommunity;
    const QString badRoot = QStringLiteral("Ungültiger mod.io-Speicherort");
    QTest::newRow("root empty") << "storage"
                                << ""
                                << "";
    QTest::newRow("root new") << "storage"
                              << "%ROOT%/new"
                              << "";
    QTest::newRow("root relative") << "storage"
                                   << "new" << badRoot;
    QTest::newRow("root a file") << "storage"
                                 << "%ROOT%/tools/tar.exe" << badRoot;
}

void PathVerdictsTest::refusals()
{
    QFETCH(QString, kind);
    QFETCH(QString, input);
    QFETCH(QString, title);
    input = expand(input);
    Refusal refusal;
    QStringList kept;
    if (kind == QLatin1String("game"))
        refusal = refuseGameFolder(input, PathDialog::Setup);
    else if (kind == QLatin1String("usermods"))
        refusal = refuseUserMods(input, PathDialog::Setup);
    else if (kind == QLatin1String("modio"))
        refusal = refuseModIoMods(input);
    else if (kind == QLatin1String("extractor"))
        refusal = refuseExtractor(input);
    else if (kind == QLatin1String("custom"))
        refusal = refuseCustomPaths(input.split(QLatin1Char('|')), &kept);
    else if (kind == QLatin1String("api"))
        refusal = refuseModIoApiRoot(input);
    else if (kind == QLatin1String("community"))
        refusal = refuseCommunityUrl(input);
    else
        refusal = refuseStorageRoot(input);
    QCOMPARE(refusal.title, title);
    QCOMPARE(refusal.refused(), !title.isEmpty());
    QCOMPARE(refusal.text.isEmpty(), title.isEmpty());
    if (kind == QLatin1String("custom"))
        QVERIFY(refusal.text.endsWith(QDir::toNativeSeparators(m_env->root() + "/gone")));
}

void PathVerdictsTest::customPathsKeepEachFolderOnce()
{
    QStringList kept;
    const QString game = m_env->root() + QStringLiteral("/game");
    QVERIFY(!refuseCustomPaths({game + "/", " " + game + "/../notgame", game}, &kept).refused());
    QCOMPARE(kept, QStringList({game, m_env->root() + "/notgame"}));
}

void PathVerdictsTest::apiRootFromInput()
{
    QCOMPARE(::apiRootFromInput(QStringLiteral(" https://g-73160.modapi.io/v1// ")),
             QStringLiteral("https://g-73160.modapi.io/v1"));
    QCOMPARE(::apiRootFromInput(QStringLiteral(" / ")), gameModIoApiRoot());
}

void PathVerdictsTest::storageRootFromModsPath_data()
{
    QTest::addColumn<QString>("modsPath");
    QTest::addColumn<QString>("root");

    QTest::newRow("plain") << "/games/mod.io/73160/mods"
                           << "/games/mod.io";
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

void PathVerdictsTest::storageRootFromModsPath()
{
    QFETCH(QString, modsPath);
    QFETCH(QString, root);
    QCOMPARE(::storageRootFromModsPath(modsPath), root);
    if (!root.isEmpty())
        QCOMPARE(
            modsPathFromStorageRoot(root).compare(QDir::cleanPath(modsPath.trimmed()), Qt::CaseInsensitive),
            0);
}

QTEST_GUILESS_MAIN(PathVerdictsTest)
#include "tst_pathverdicts.moc"
