#include "localmods/installstatus.h"
#include "localmods/matchindex.h"
#include "localmods/modmatching.h"
#include "testsupport.h"

#include <QtTest>

Q_DECLARE_METATYPE(CatalogInstallState)
Q_DECLARE_METATYPE(LocalMod)
Q_DECLARE_METATYPE(RepoMod)

class ModMatchingTest : public QObject
{
    Q_OBJECT

private slots:
    void keysFromNamesAndArchiveNames();
    void matchingRule_data();
    void matchingRule();
    void findCatalogIndexPrefersTheModsOwnRepository();
    void linkingTakesOriginNameAndVersion();
    void duplicateInstallations();
    void installStatus_data();
    void installStatus();
    void installedCopyOnDiskLooksOnlyAtTopLevels();
};

namespace {

const QString repoA = QStringLiteral("https://trackhaven.invalid/filebase/repos/fx3-v3.json");
const QString repoB = QStringLiteral("https://external.invalid/mods.json");

RepoMod entry(const QString &id, const QString &name, const QString &fileName = QString(),
              const QString &repositoryUrl = repoA)
{
    RepoMod mod;
    mod.id = id;
    mod.name = name;
    mod.fileName = fileName;
    mod.repositoryJsonUrl = repositoryUrl;
    return mod;
}

LocalMod local(const QString &folderName, const QString &name = QString(),
               const QString &source = "Manuell / Lokal")
{
    LocalMod mod;
    mod.folderName = folderName;
    mod.name = name.isEmpty() ? folderName : name;
    mod.path = QStringLiteral("/games/mods/") + folderName;
    mod.contentRoot = mod.path;
    mod.source = source;
    return mod;
}

LocalMod modIoCopy(const QString &modioId, const QString &name)
{
    LocalMod mod = local(modioId, name, QStringLiteral("mod.io"));
    mod.path = QStringLiteral("/games/modio/mods/") + modioId;
    mod.modioId = modioId;
    return mod;
}

} // namespace

void ModMatchingTest::keysFromNamesAndArchiveNames()
{
    QCOMPARE(normalizeModKey(" my_mod-1.2 "), QStringLiteral("mymod12"));
    QCOMPARE(normalizeModKey("Größe ÄÖÜ Straße"), QStringLiteral("größeäöüstraße"));
    QCOMPARE(normalizeModKey("Café Ørsted Łódź"), QStringLiteral("cafrstedd"));
    QCOMPARE(normalizeModKey("Lok🚂Zug"), QStringLiteral("lokzug"));
    QCOMPARE(normalizeModKey("--- ___ !!!"), QString());

    const QList<QPair<QString, QStringList>> aliases = {
        {"My-Mod-1.2.zip", {"mymod12", "mymod1", "mymod"}},
        {"BR01_v2.rar", {"br01v2", "br01"}},
        {"1.0.zip", {"10", "1"}},
        {".zip", {"zip"}},
        {"Lok-2.0.part1.rar", {"lok20part1"}},
        {"   ", {}},
    };
    for (const auto &[fileName, keys] : aliases)
        QCOMPARE(catalogAliasKeys(entry("1", "x", fileName)), keys);
}

void ModMatchingTest::matchingRule_data()
{
    QTest::addColumn<LocalMod>("mod");
    QTest::addColumn<RepoMod>("catalogEntry");
    QTest::addColumn<bool>("matches");

    LocalMod installed = local("whatever", "Something Else");
    installed.repoEntryId = QStringLiteral(" 8094 ");
    QTest::newRow("entry id") << installed << entry("8094", "Other") << true;
    installed.repositoryUrl = repoB;
    QTest::newRow("entry id from another repository") << installed << entry("8094", "Other") << false;
    QTest::newRow("entry id, repository spelled differently")
        << installed << entry("8094", "Other", QString(), repoB.toUpper()) << true;

    LocalMod fromModIo = local("whatever", "Something Else");
    fromModIo.modioId = QStringLiteral("2750123");
    RepoMod withModIo = entry("1", "Other");
    withModIo.modioId = QStringLiteral(" 2750123 ");
    QTest::newRow("mod.io id") << fromModIo << withModIo << true;
    QTest::newRow("empty ids never match") << local("a", "b") << entry("", "") << false;

    QTest::newRow("name against entry name")
        << local("x", "Big Steam Loco") << entry("1", "big_steam-loco") << true;
    QTest::newRow("folder without version against archive name")
        << local("mymod") << entry("1", "Other", "My-Mod-1.2.zip") << true;
    QTest::newRow("long folder key begins with the alias")
        << local("freightwagons_extra") << entry("1", "Other", "FreightWagons-2.0.zip") << true;
    QTest::newRow("prefix of a short folder key does not count")
        << local("freight") << entry("1", "Other", "FreightWagons-2.0.zip") << false;
    QTest::newRow("alias of 8 begins the folder key")
        << local("freightwagon") << entry("1", "O", "FreightW.zip") << true;
    QTest::newRow("alias of 7 does not") << local("freightwagon") << entry("1", "O", "Freight.zip") << false;
    QTest::newRow("folder key of 8 begins the alias")
        << local("freightw") << entry("1", "O", "FreightWagon.zip") << true;
    QTest::newRow("prefix rule is for the folder, not the name")
        << local("x", "freightwagons_extra") << entry("1", "Other", "FreightWagons-2.0.zip") << false;
}

void ModMatchingTest::matchingRule()
{
    QFETCH(LocalMod, mod);
    QFETCH(RepoMod, catalogEntry);
    QFETCH(bool, matches);
    QCOMPARE(matchLocalToCatalog(mod, catalogEntry), matches);
    QCOMPARE(keysMatch(localMatchKeys(mod), catalogMatchKeys(catalogEntry)), matches);
    QCOMPARE(!LocalModIndex({mod}).matchingMods(catalogMatchKeys(catalogEntry)).isEmpty(), matches);
    QCOMPARE(CatalogMatchIndex({catalogEntry}).findCatalogIndex(mod), matches ? 0 : -1);
}

void ModMatchingTest::findCatalogIndexPrefersTheModsOwnRepository()
{
    const QList<RepoMod> catalog = {entry("1", "Steam Loco", "", repoA), entry("7", "Steam Loco", "", repoB),
                                    entry("8", "Steam Loco", "", repoB)};
    LocalMod mod = local("steam_loco");
    QCOMPARE(findCatalogIndex(mod, catalog), 0);
    mod.repositoryUrl = repoB.toUpper() + "  ";
    QCOMPARE(findCatalogIndex(mod, catalog), 1);
    QCOMPARE(CatalogMatchIndex(catalog).findCatalogIndex(mod), 1);
    // Nothing of the own repository matches: the first match of all is taken.
    mod.repositoryUrl = QStringLiteral("https://third.invalid/r.json");
    QCOMPARE(findCatalogIndex(mod, catalog), 0);
    QCOMPARE(CatalogMatchIndex(catalog).findCatalogIndex(mod), 0);
    QCOMPARE(findCatalogIndex(local("unrelated"), catalog), -1);
}

void ModMatchingTest::linkingTakesOriginNameAndVersion()
{
    struct Row
    {
        const char *filesVersion, *catalogVersion, *version;
        bool fromMarker;
    };
    // The marker recorded 1.1; the catalog's spelling is shown once the files are at its release.
    const Row rows[] = {
        {"1.2.0", "1.2", "1.2", true}, {"1.3", "1.2", "1.3", false}, {"", "1.2", "1.1", true}};
    for (const Row &row : rows) {
        RepoMod catalogEntry = entry("8094", "P 2 Dampflok", "P2.zip", repoB);
        catalogEntry.version = QString::fromLatin1(row.catalogVersion);
        catalogEntry.previewUrl = QStringLiteral("  https://img.invalid/p2.png ");
        LocalMod mod = local("p2");
        mod.filesVersion = QString::fromLatin1(row.filesVersion);
        mod.markerVersion = mod.version = QStringLiteral("1.1");
        mod.versionFromMarker = true;
        mod.repositoryName = QStringLiteral("Kept");
        QList<LocalMod> mods = {mod, local("unrelated"), modIoCopy("2750123", "P 2 Dampflok")};
        linkLocalModsToCatalog(mods, {entry("1", "Other"), catalogEntry});
        QCOMPARE(mods[0].repoEntryId, QStringLiteral("8094"));
        QCOMPARE(mods[0].repositoryName, QStringLiteral("Kept"));
        QCOMPARE(mods[0].repositoryUrl, repoB);
        QCOMPARE(mods[0].name, QStringLiteral("P 2 Dampflok"));
        QCOMPARE(mods[0].previewUrl, QStringLiteral("https://img.invalid/p2.png"));
        QCOMPARE(mods[0].version, QString::fromLatin1(row.version));
        QCOMPARE(mods[0].versionFromMarker, row.fromMarker);
        QVERIFY(mods[1].repoEntryId.isEmpty());
        // mod.io copies are left alone.
        QVERIFY(mods[2].repoEntryId.isEmpty() && mods[2].repositoryUrl.isEmpty());
    }
}

void ModMatchingTest::duplicateInstallations()
{
    const QList<RepoMod> catalog = {entry("8094", "Big Steam Loco", "BigSteamLoco-1.0.zip"),
                                    entry("12", "Tram", "Tram.zip")};
    QList<LocalMod> mods;
    mods << modIoCopy("2750123", "Big Steam Loco")     // 0: mod.io copy of entry 8094
         << local("big_steam_loco")                    // 1: manual copy of entry 8094
         << modIoCopy("2750200", "Tram")               // 2: short name key, but the same catalog entry
         << local("tram")                              // 3
         << modIoCopy("2750300", "Bus")                // 4: short name, no catalog entry
         << local("bus")                               // 5
         << modIoCopy("2750400", "Container Terminal") // 6: no catalog entry, name key of 17 characters
         << local("terminal", "Container-Terminal");   // 7
    // The mod.io folder also entered as a custom folder: the same folder twice is no duplicate.
    LocalMod sameFolder = mods[0];
    sameFolder.source = QStringLiteral("Individuell");
    sameFolder.path = mods[0].path.toUpper();
    mods << sameFolder; // 8

    const DuplicateInstallations found = detectDuplicateInstallations(mods, catalog);
    QCOMPARE(found.indexes, (QSet<int>{0, 1, 2, 3, 6, 7}));
    QCOMPARE(found.descriptions.size(), 3); // 0+1, 2+3, 6+7, each once though found twice
    QStringList sorted = found.descriptions;
    sorted.sort();
    QCOMPARE(found.descriptions, sorted);
    QCOMPARE(found.descriptions[0], QStringLiteral("Big Steam Loco\n  mod.io: /games/modio/mods/2750123\n"
                                                   "  Weitere Installation: /games/mods/big_steam_loco"));
    QVERIFY(detectDuplicateInstallations(mods.mid(1, 2), catalog).indexes.isEmpty());
}

void ModMatchingTest::installStatus_data()
{
    QTest::addColumn<QList<LocalMod>>("mods");
    QTest::addColumn<QList<LocalMod>>("copies");
    QTest::addColumn<CatalogInstallState>("state");
    QTest::addColumn<QString>("text");

    auto withVersion = [](LocalMod mod, const QString &version) {
        mod.version = version;
        return mod;
    };
    const LocalMod plain = local("signals");
    const LocalMod modIo = modIoCopy("2750123", "Signals");
    using Mods = QList<LocalMod>;
    QTest::newRow("nothing installed")
        << Mods{local("tram")} << Mods{} << CatalogInstallState::NotInstalled << "Nicht installiert";
    QTest::newRow("newer than the catalog")
        << Mods{withVersion(plain, "1.1")} << Mods{} << CatalogInstallState::Installed << "Installiert";
    QTest::newRow("outdated mod.io copy")
        << Mods{withVersion(modIo, "0.1")} << Mods{} << CatalogInstallState::ModIoUpdateAvailable
        << "mod.io – Update über mod.io";
    QTest::newRow("both, whatever the versions")
        << Mods{withVersion(plain, "0.1"), withVersion(modIo, "9.0")} << Mods{}
        << CatalogInstallState::InstalledTwice << "⚠ Doppelt installiert";
    QTest::newRow("only a folder copy, outdated")
        << Mods{} << Mods{local("tram"), withVersion(plain, "0.5")} << CatalogInstallState::UpdateAvailable
        << "Update verfügbar";
    QTest::newRow("scanned match wins over folder copy")
        << Mods{withVersion(plain, "1.0")} << Mods{withVersion(plain, "0.1")}
        << CatalogInstallState::Installed << "Installiert";
}

void ModMatchingTest::installStatus()
{
    QFETCH(QList<LocalMod>, mods);
    QFETCH(QList<LocalMod>, copies);
    QFETCH(CatalogInstallState, state);
    QFETCH(QString, text);

    RepoMod catalogEntry = entry("8094", "Signals", "Signals-1.0.zip");
    catalogEntry.modioId = QStringLiteral("2750123");
    catalogEntry.version = QStringLiteral("1.0");
    const CatalogInstallStatus plain = catalogInstallStatus(catalogEntry, mods, copies);
    const CatalogInstallStatus indexed = InstalledModsIndex(mods, copies).status(catalogEntry);
    QCOMPARE(plain.state, state);
    QCOMPARE(indexed.state, state);
    QCOMPARE(indexed.copy.path, plain.copy.path);
    QCOMPARE(catalogInstallStatusText(state), text);
}

void ModMatchingTest::installedCopyOnDiskLooksOnlyAtTopLevels()
{
    TestEnvironment env;
    // The scan links this folder by its nested marker; the direct look sees only the top level.
    env.writeFile("manual/p2_renamed/inner/mod.lua", "name = 'Something'");
    env.writeFile("manual/p2_renamed/inner/.fx3modmanager.json", R"({"repo_entry_id": "8094"})");
    env.writeFile("custom/folder_x/.fx3modmanager.json", R"({"repo_entry_id": "77", "version": "2.0"})");
    env.writeFile("modio/mods/2750/mod.json", R"({"name": "Tram Pack", "version": "3"})");
    LocalModFolders folders;
    folders.userModsPath = env.root() + "/manual";
    folders.customModPaths = {env.root() + "/custom"};
    folders.modIoModsPath = env.root() + "/modio/mods";

    QVERIFY(!findInstalledCopyOnDisk(entry("8094", "P2"), {}, folders).found);
    const LocalScanResult scan = scanLocalMods(folders);
    QVERIFY(findInstalledCopyOnDisk(entry("8094", "P2"), scan.mods, folders).found);
    const InstalledCopy byMarker = findInstalledCopyOnDisk(entry("77", "X"), {}, folders);
    QVERIFY(byMarker.found);
    QCOMPARE(byMarker.version, QStringLiteral("2.0"));
    QCOMPARE(byMarker.path, env.root() + "/custom/folder_x");
    QCOMPARE(findInstalledCopyOnDisk(entry("5", "Tram Pack"), {}, folders).version, QStringLiteral("3"));
}

QTEST_GUILESS_MAIN(ModMatchingTest)
#include "tst_modmatching.moc"
