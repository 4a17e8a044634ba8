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
               "Zielordner: " + QDir::toNativeSeparators(m_env->root() + "/new/73160/mods"), green);
    verdictRow("mod.io empty, settings", "modio settings", "", "", "Optional – nicht eingerichtet", green);
    verdictRow("root empty", "storage", "", "", "Optional – der mod.io-Speicherort wird nicht geändert",
               green);
    verdictRow("root new folder", "storage", "%ROOT%/new/", "",
               "✓ ModHub und ModManager verwenden: " + QDir::toNativeSeparators(m_env->root() + "/new"),
               green);
    verdictRow("root is a file", "storage", "%ROOT%/game/ferroline3.exe", "",
               "✗ Bitte einen absoluten Ordnerpfad als mod.io-Speicherort wählen", red);
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
    const QString invalidExtractor = QStringLiteral(
        "✗ Ungültig – bitte 7z.exe, 7zz.exe, 7za.exe, WinRAR.exe, RAR.exe oder UnRAR.exe wählen");
    verdictRow("tar.exe", "extractor", "%ROOT%/tools/tar.exe", "", invalidExtractor, red);
    verdictRow("7z.exe is a folder", "extractor", "%ROOT%/tools/7z.exe", "", invalidExtractor, red);
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
    refusalRow("api no host", "api", "https:///v1", badApi);
    const QString badCommunity = QStringLiteral("Ungültige Community-API");
    refusalRow("community http", "community", "http://127.0.0.1:8080/reports.php", "");
    refusalRow("community ftp", "community", "ftp://site.example/r", badCommunity);
    refusalRow("community no host", "community", "http://", badCommunity);
    refusalRow("community plain word", "community", "reports", badCommunity);
    const QString badRoot = QStringLiteral("Ungültiger mod.io-Speicherort");
    refusalRow("root empty", "storage", "", "");
    refusalRow("root relative", "storage", "new", badRoot);
    refusalRow("root a file", "storage", "%ROOT%/tools/tar.exe", badRoot);
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
    QCOMPARE(refusal.refused(), !refusal.text.isEmpty());
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
