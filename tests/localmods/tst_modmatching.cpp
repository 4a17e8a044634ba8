#include "localmods/installstatus.h"
#include "localmods/matchindex.h"
#include "localmods/modmatching.h"
#include "testsupport.h"

#include <QRandomGenerator>
#include <QRegularExpression>
#include <QtTest>

Q_DECLARE_METATYPE(CatalogInstallState)
Q_DECLARE_METATYPE(LocalMod)
Q_DECLARE_METATYPE(RepoMod)

class ModMatchingTest : public QObject
{
    Q_OBJECT

private slots:
    void normalizeModKeyKeepsOnlyLettersAndDigits_data();
    void normalizeModKeyKeepsOnlyLettersAndDigits();
    void normalizeModKeyAgreesWithThePattern();
    void aliasKeysFromTheArchiveName_data();
    void aliasKeysFromTheArchiveName();
    void aliasKeysAgreeWithThePatterns();
    void matchingRule_data();
    void matchingRule();
    void findCatalogIndexPrefersTheModsOwnRepository();
    void linkingTakesOriginNameAndVersion_data();
    void linkingTakesOriginNameAndVersion();
    void linkingLeavesModIoCopiesAlone();
    void duplicateInstallations();
    void installStatus_data();
    void installStatus();
    void installedCopyOnDiskLooksOnlyAtTopLevels();
    void indexesAgreeWithThePlainRule();
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
    mod.repositoryName = repositoryUrl == repoA ? QStringLiteral("Trackhaven") : QStringLiteral("Extern");
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

void ModMatchingTest::normalizeModKeyKeepsOnlyLettersAndDigits_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("key");
    QTest::newRow("blanks and dots") << "My Mod 1.2"
                                     << "mymod12";
    QTest::newRow("separators") << " my_mod-1_2 "
                                << "mymod12";
    QTest::newRow("german letters stay") << "Größe ÄÖÜ Straße"
                                         << "größeäöüstraße";
    QTest::newRow("other letters go") << "Café Ørsted Łódź"
                                      << "cafrstedd";
    QTest::newRow("symbols only") << "--- ___ !!!"
                                  << "";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("emoji and surrogates") << "Lok🚂Zug"
                                          << "lokzug";
}

void ModMatchingTest::normalizeModKeyKeepsOnlyLettersAndDigits()
{
    QFETCH(QString, text);
    QFETCH(QString, key);
    QCOMPARE(normalizeModKey(text), key);
}

void ModMatchingTest::normalizeModKeyAgreesWithThePattern()
{
    const QRegularExpression outside(QStringLiteral("[^a-z0-9äöüß]+"));
    // Whole code points, so the texts stay valid UTF-16.
    const QStringList alphabet = {"a", "Z", "0", "9",  " ",      "_", "-",  ".", "ä", "Ä",
                                  "ö", "Ö", "ü", "Ü",  "ß",      "ẞ", "é",  "É", "İ", "ı",
                                  "Σ", "σ", "🚂", "\t", "\u00a0", "/", "\\", "'"};
    QRandomGenerator random(4711);
    for (int round = 0; round < 5000; ++round) {
        QString text;
        const int length = random.bounded(0, 24);
        for (int i = 0; i < length; ++i)
            text.append(alphabet.at(random.bounded(int(alphabet.size()))));
        const QString expected = text.toLower().trimmed().remove(outside);
        QCOMPARE(normalizeModKey(text), expected);
    }
}

void ModMatchingTest::aliasKeysFromTheArchiveName_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QStringList>("keys");
    QTest::newRow("version at the end") << "My-Mod-1.2.zip" << QStringList{"mymod12", "mymod1", "mymod"};
    QTest::newRow("no version") << "Signals.7z" << QStringList{"signals"};
    QTest::newRow("v-version with underscore") << "BR01_v2.rar" << QStringList{"br01v2", "br01"};
    QTest::newRow("trailing number only") << "Pack.2.zip" << QStringList{"pack2", "pack"};
    QTest::newRow("nothing but a version") << "1.0.zip" << QStringList{"10", "1"};
    QTest::newRow("no extension") << "  Plain_Name  " << QStringList{"plainname"};
    QTest::newRow("only an extension") << ".zip" << QStringList{"zip"};
    QTest::newRow("volume name") << "Lok-2.0.part1.rar" << QStringList{"lok20part1"};
    QTest::newRow("empty") << "   " << QStringList{};
}

void ModMatchingTest::aliasKeysFromTheArchiveName()
{
    QFETCH(QString, fileName);
    QFETCH(QStringList, keys);
    QCOMPARE(catalogAliasKeys(entry("1", "x", fileName)), keys);
}

// The archive-name rule written with the patterns themselves, to check the hand-written reading against.
static QStringList aliasKeysByPattern(const QString &fileName)
{
    const QString trimmed = fileName.trimmed();
    if (trimmed.isEmpty())
        return {};
    const qsizetype dot = trimmed.lastIndexOf('.');
    QString base = dot >= 0 ? trimmed.left(dot) : trimmed;
    if (base.isEmpty())
        base = trimmed;
    QStringList keys = {normalizeModKey(base)};
    QString withoutNumber = base;
    withoutNumber.remove(QRegularExpression(QStringLiteral(R"(\.\d+$)")));
    if (withoutNumber != base)
        keys.append(normalizeModKey(withoutNumber));
    QString withoutVersion = withoutNumber;
    withoutVersion.remove(QRegularExpression(QStringLiteral(R"((?:[._-]v?\d+(?:[._-]\d+)*)$)"),
                                             QRegularExpression::CaseInsensitiveOption));
    if (!withoutVersion.isEmpty() && withoutVersion != base)
        keys.append(normalizeModKey(withoutVersion));
    keys.removeAll(QString());
    keys.removeDuplicates();
    return keys;
}

void ModMatchingTest::aliasKeysAgreeWithThePatterns()
{
    const QStringList pieces = {"Mod", "lok", "v",  "V",  "1",    "2",   "10",     "007", ".", "_",   "-",
                                " ",   "x",   "..", "-v", ".zip", ".7z", ".part1", "ä",   "٣", "v1.2"};
    QRandomGenerator random(815);
    for (int round = 0; round < 20000; ++round) {
        QString name;
        const int count = random.bounded(0, 8);
        for (int i = 0; i < count; ++i)
            name.append(pieces.at(random.bounded(int(pieces.size()))));
        QCOMPARE(catalogAliasKeys(entry("1", "x", name)), aliasKeysByPattern(name));
    }
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
    QTest::newRow("entry id, entry without repository url")
        << installed << entry("8094", "Other", QString(), "") << true;
    QTest::newRow("entry id from another repository, name still matches")
        << installed << entry("8094", "Something-Else") << true;

    LocalMod fromModIo = local("whatever", "Something Else");
    fromModIo.modioId = QStringLiteral("2750123");
    RepoMod withModIo = entry("1", "Other");
    withModIo.modioId = QStringLiteral(" 2750123 ");
    QTest::newRow("mod.io id") << fromModIo << withModIo << true;
    withModIo.modioId = QStringLiteral("2750124");
    QTest::newRow("different mod.io id") << fromModIo << withModIo << false;
    QTest::newRow("empty ids never match") << local("a", "b") << entry("", "") << false;

    QTest::newRow("folder against entry id") << local("8094") << entry("8094", "Other") << true;
    QTest::newRow("name against entry name")
        << local("x", "Big Steam Loco") << entry("1", "big_steam-loco") << true;
    QTest::newRow("folder against entry name")
        << local("BigSteamLoco", "Other") << entry("1", "Big Steam Loco") << true;
    QTest::newRow("folder with version against archive name")
        << local("my_mod_1_2") << entry("1", "Other", "My-Mod-1.2.zip") << true;
    QTest::newRow("folder without version against archive name")
        << local("mymod") << entry("1", "Other", "My-Mod-1.2.zip") << true;
    QTest::newRow("name against archive alias")
        << local("folder", "My Mod") << entry("1", "Other", "My-Mod-1.2.zip") << true;
    QTest::newRow("long folder key begins with the alias")
        << local("freightwagons_extra") << entry("1", "Other", "FreightWagons-2.0.zip") << true;
    QTest::newRow("long alias begins with the folder key")
        << local("freightwag") << entry("1", "Other", "FreightWagons-2.0.zip") << true;
    QTest::newRow("prefix of a short folder key does not count")
        << local("freight") << entry("1", "Other", "FreightWagons-2.0.zip") << false;
    QTest::newRow("prefix of a short alias does not count")
        << local("signalsextended") << entry("1", "Other", "Signals-1.0.zip") << false;
    QTest::newRow("prefix rule is for the folder, not the name")
        << local("x", "freightwagons_extra") << entry("1", "Other", "FreightWagons-2.0.zip") << false;
    QTest::newRow("no relation") << local("tram_pack") << entry("2", "Bus Pack", "Bus-Pack.zip") << false;
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
    QCOMPARE(findCatalogIndex(mod, {}), -1);
}

void ModMatchingTest::linkingTakesOriginNameAndVersion_data()
{
    QTest::addColumn<QString>("filesVersion");
    QTest::addColumn<QString>("markerVersion");
    QTest::addColumn<QString>("catalogVersion");
    QTest::addColumn<QString>("version");
    QTest::addColumn<bool>("fromMarker");

    // The marker recorded 1.1; files and catalog moved on to 1.2: the catalog's spelling is shown.
    QTest::newRow("files at the catalog version") << "1.2"
                                                  << "1.1"
                                                  << "1.2"
                                                  << "1.2" << true;
    QTest::newRow("files newer than the catalog") << "1.3"
                                                  << "1.1"
                                                  << "1.2"
                                                  << "1.3" << false;
    // Equal as versions compare: the files are at the catalog's release, shown in the catalog's spelling.
    QTest::newRow("files equal but spelled differently") << "1.2.0"
                                                         << "1.1"
                                                         << "1.2"
                                                         << "1.2" << true;
    QTest::newRow("files older than the catalog") << "1.1.5"
                                                  << "1.1"
                                                  << "1.2"
                                                  << "1.1" << true;
    QTest::newRow("marker already agrees with the files") << "1.2"
                                                          << "1.2"
                                                          << "1.2"
                                                          << "1.2" << true;
    QTest::newRow("files without a version") << ""
                                             << "1.1"
                                             << "1.2"
                                             << "1.1" << true;
    QTest::newRow("catalog without a version") << "1.3"
                                               << "1.1"
                                               << ""
                                               << "1.1" << true;
}

void ModMatchingTest::linkingTakesOriginNameAndVersion()
{
    QFETCH(QString, filesVersion);
    QFETCH(QString, markerVersion);
    QFETCH(QString, catalogVersion);
    QFETCH(QString, version);
    QFETCH(bool, fromMarker);

    RepoMod catalogEntry = entry("8094", "P 2 Dampflok", "P2.zip", repoB);
    catalogEntry.version = catalogVersion;
    catalogEntry.previewUrl = QStringLiteral("  https://img.invalid/p2.png ");
    LocalMod mod = local("p2");
    mod.filesVersion = filesVersion;
    mod.markerVersion = markerVersion;
    mod.version = markerVersion;
    mod.versionFromMarker = true;
    mod.repositoryName = QStringLiteral("Kept");
    QList<LocalMod> mods = {mod, local("unrelated")};
    linkLocalModsToCatalog(mods, {entry("1", "Other"), catalogEntry});

    QCOMPARE(mods[0].repoEntryId, QStringLiteral("8094"));
    QCOMPARE(mods[0].repositoryName, QStringLiteral("Kept"));
    QCOMPARE(mods[0].repositoryUrl, repoB);
    QCOMPARE(mods[0].name, QStringLiteral("P 2 Dampflok"));
    QCOMPARE(mods[0].previewUrl, QStringLiteral("https://img.invalid/p2.png"));
    QCOMPARE(mods[0].version, version);
    QCOMPARE(mods[0].versionFromMarker, fromMarker);
    QVERIFY(mods[1].repoEntryId.isEmpty());
    QCOMPARE(mods[1].name, QStringLiteral("unrelated"));
}

void ModMatchingTest::linkingLeavesModIoCopiesAlone()
{
    const RepoMod catalogEntry = entry("8094", "Signals", "Signals.zip");
    QList<LocalMod> mods = {modIoCopy("2750123", "Signals")};
    const QList<LocalMod> before = mods;
    linkLocalModsToCatalog(mods, {catalogEntry});
    QCOMPARE(mods[0].repoEntryId, before[0].repoEntryId);
    QCOMPARE(mods[0].repositoryUrl, before[0].repositoryUrl);
    // Nothing happens without a catalog either.
    QList<LocalMod> plain = {local("signals")};
    linkLocalModsToCatalog(plain, {});
    QVERIFY(plain[0].repoEntryId.isEmpty());
}

void ModMatchingTest::duplicateInstallations()
{
    const QList<RepoMod> catalog = {entry("8094", "Big Steam Loco", "BigSteamLoco-1.0.zip"),
                                    entry("12", "Tram", "Tram.zip")};
    QList<LocalMod> mods;
    mods << modIoCopy("2750123", "Big Steam Loco")      // 0: mod.io copy of entry 8094
         << local("big_steam_loco")                     // 1: manual copy of entry 8094
         << local("bigsteamloco_old", "Big Steam Loco") // 2: second manual copy, same entry and name key
         << modIoCopy("2750200", "Tram")                // 3: short name key, but the same catalog entry
         << local("tram")                               // 4
         << modIoCopy("2750300", "Bus")                 // 5: short name, no catalog entry
         << local("bus")                                // 6
         << modIoCopy("2750400", "Container Terminal")  // 7: no catalog entry, name key of 17 characters
         << local("terminal", "Container-Terminal");    // 8
    // The mod.io folder also entered as a custom folder: the same folder twice is no duplicate.
    LocalMod sameFolder = mods[0];
    sameFolder.source = QStringLiteral("Individuell");
    sameFolder.path = mods[0].path.toUpper();
    mods << sameFolder; // 9

    const DuplicateInstallations found = detectDuplicateInstallations(mods, catalog);
    QCOMPARE(found.indexes, (QSet<int>{0, 1, 2, 3, 4, 7, 8}));
    QCOMPARE(found.descriptions.size(), 4); // 0+1, 0+2, 3+4, 7+8, each once though found twice
    QStringList sorted = found.descriptions;
    sorted.sort();
    QCOMPARE(found.descriptions, sorted);
    QCOMPARE(found.descriptions[0], QStringLiteral("Big Steam Loco\n  mod.io: /games/modio/mods/2750123\n"
                                                   "  Weitere Installation: /games/mods/big_steam_loco"));
    QVERIFY(
        found.descriptions.join('\n').contains("Container Terminal\n  mod.io: /games/modio/mods/2750400\n"));

    // The display name falls back to the other copy's name, then to the folder name.
    QList<LocalMod> unnamed = {modIoCopy("555", "555"), local("station_modules", "Station Modules")};
    unnamed[1].repoEntryId = QStringLiteral("1");
    RepoMod station = entry("1", "X");
    station.modioId = QStringLiteral("555");
    QCOMPARE(detectDuplicateInstallations(unnamed, {station}).descriptions,
             QStringList{"Station Modules\n  mod.io: /games/modio/mods/555\n"
                         "  Weitere Installation: /games/mods/station_modules"});

    QVERIFY(detectDuplicateInstallations({}, catalog).descriptions.isEmpty());
    QVERIFY(detectDuplicateInstallations(mods.mid(1, 2), catalog).indexes.isEmpty());
}

void ModMatchingTest::installStatus_data()
{
    QTest::addColumn<QList<LocalMod>>("mods");
    QTest::addColumn<QList<LocalMod>>("copies");
    QTest::addColumn<QString>("catalogVersion");
    QTest::addColumn<CatalogInstallState>("state");
    QTest::addColumn<QString>("text");

    auto withVersion = [](LocalMod mod, const QString &version) {
        mod.version = version;
        return mod;
    };
    const LocalMod plain = local("signals");
    const LocalMod modIo = modIoCopy("2750123", "Signals");
    const LocalMod other = local("tram");

    QTest::newRow("nothing installed") << QList<LocalMod>{other} << QList<LocalMod>{} << "1.0"
                                       << CatalogInstallState::NotInstalled << "Nicht installiert";
    QTest::newRow("installed") << QList<LocalMod>{other, withVersion(plain, "1.0")} << QList<LocalMod>{}
                               << "1.0" << CatalogInstallState::Installed << "Installiert";
    QTest::newRow("outdated") << QList<LocalMod>{withVersion(plain, "0.9")} << QList<LocalMod>{} << "1.0"
                              << CatalogInstallState::UpdateAvailable << "Update verfügbar";
    QTest::newRow("newer than the catalog") << QList<LocalMod>{withVersion(plain, "1.1")} << QList<LocalMod>{}
                                            << "1.0" << CatalogInstallState::Installed << "Installiert";
    QTest::newRow("no local version") << QList<LocalMod>{plain} << QList<LocalMod>{} << "1.0"
                                      << CatalogInstallState::Installed << "Installiert";
    QTest::newRow("mod.io copy") << QList<LocalMod>{withVersion(modIo, "1.0")} << QList<LocalMod>{} << "1.0"
                                 << CatalogInstallState::ModIoInstalled << "mod.io – installiert";
    QTest::newRow("outdated mod.io copy")
        << QList<LocalMod>{withVersion(modIo, "0.1")} << QList<LocalMod>{} << "1.0"
        << CatalogInstallState::ModIoUpdateAvailable << "mod.io – Update über mod.io";
    QTest::newRow("both, whatever the versions")
        << QList<LocalMod>{withVersion(plain, "0.1"), withVersion(modIo, "9.0")} << QList<LocalMod>{} << "1.0"
        << CatalogInstallState::InstalledTwice << "⚠ Doppelt installiert";
    QTest::newRow("only a folder copy, outdated")
        << QList<LocalMod>{other} << QList<LocalMod>{other, withVersion(plain, "0.5")} << "1.0"
        << CatalogInstallState::UpdateAvailable << "Update verfügbar";
    QTest::newRow("only a folder copy, current")
        << QList<LocalMod>{} << QList<LocalMod>{withVersion(plain, "1.0")} << "1.0"
        << CatalogInstallState::Installed << "Installiert";
    QTest::newRow("scanned match wins over folder copy")
        << QList<LocalMod>{withVersion(plain, "1.0")} << QList<LocalMod>{withVersion(plain, "0.1")} << "1.0"
        << CatalogInstallState::Installed << "Installiert";
}

void ModMatchingTest::installStatus()
{
    QFETCH(QList<LocalMod>, mods);
    QFETCH(QList<LocalMod>, copies);
    QFETCH(QString, catalogVersion);
    QFETCH(CatalogInstallState, state);
    QFETCH(QString, text);

    RepoMod catalogEntry = entry("8094", "Signals", "Signals-1.0.zip");
    catalogEntry.modioId = QStringLiteral("2750123");
    catalogEntry.version = catalogVersion;
    const CatalogInstallStatus plain = catalogInstallStatus(catalogEntry, mods, copies);
    const CatalogInstallStatus indexed = InstalledModsIndex(mods, copies).status(catalogEntry);
    QCOMPARE(plain.state, state);
    QCOMPARE(indexed.state, state);
    QCOMPARE(indexed.modIoMatch, plain.modIoMatch);
    QCOMPARE(indexed.plainMatch, plain.plainMatch);
    QCOMPARE(indexed.copy.version, plain.copy.version);
    QCOMPARE(indexed.copy.path, plain.copy.path);
    QCOMPARE(catalogInstallStatusText(state), text);
}

void ModMatchingTest::installedCopyOnDiskLooksOnlyAtTopLevels()
{
    TestEnvironment env;
    // The scan links this folder by its nested marker; the direct look sees only the top level.
    env.writeFile("manual/p2_renamed/inner/mod.lua", "name = 'Something'");
    env.writeFile("manual/p2_renamed/inner/.fx3modmanager.json",
                  R"({"repo_entry_id": "8094", "version": "1.0"})");
    env.writeFile("custom/folder_x/.fx3modmanager.json", R"({"repo_entry_id": "77", "version": "2.0"})");
    env.writeFile("modio/mods/2750/mod.json", R"({"name": "Tram Pack", "version": "3"})");

    LocalModFolders folders;
    folders.userModsPath = env.root() + "/manual";
    folders.customModPaths = {env.root() + "/custom"};
    folders.modIoModsPath = env.root() + "/modio/mods";

    const InstalledCopy nested = findInstalledCopyOnDisk(entry("8094", "P2"), {}, folders);
    QVERIFY(!nested.found);
    const LocalScanResult scan = scanLocalMods(folders);
    QVERIFY(findInstalledCopyOnDisk(entry("8094", "P2"), scan.mods, folders).found);

    const InstalledCopy byMarker = findInstalledCopyOnDisk(entry("77", "X"), {}, folders);
    QVERIFY(byMarker.found);
    QCOMPARE(byMarker.version, QStringLiteral("2.0"));
    QCOMPARE(byMarker.path, env.root() + "/custom/folder_x");
    const InstalledCopy byName = findInstalledCopyOnDisk(entry("5", "Tram Pack"), {}, folders);
    QVERIFY(byName.found);
    QCOMPARE(byName.version, QStringLiteral("3"));
    QCOMPARE(findInstalledCopy(entry("77", "X"), {}, scan.folderCopies).path, byMarker.path);
    QVERIFY(!findInstalledCopy(entry("8094", "P2"), {}, scan.folderCopies).found);
}

namespace {

// Records built to collide: few words, ids and mod.io ids from small pools, names spelled with different
// separators and letter case, archive names with and without versions, prefixes and extensions of other
// records' keys, and the same repository URL in different case.
class RecordGenerator
{
public:
    explicit RecordGenerator(quint32 seed) : m_random(seed) {}

    RepoMod catalogEntry()
    {
        RepoMod mod;
        mod.id = chance(10)   ? QString()
                 : chance(15) ? spelled(words(1, 2))
                              : QString::number(pick(400) + 100);
        mod.name = chance(5) ? QString() : spelled(words(1, 4));
        mod.fileName = chance(20) ? QString() : archiveName(chance(50) ? mod.name : spelled(words(1, 4)));
        mod.modioId = chance(60) ? QString() : QString::number(pick(300) + 1000);
        mod.repositoryJsonUrl = repositoryUrl();
        mod.version = version();
        return mod;
    }

    LocalMod localMod(const QList<RepoMod> &catalog, bool modIo)
    {
        LocalMod mod;
        const RepoMod *related =
            catalog.isEmpty() || chance(30) ? nullptr : &catalog.at(pick(catalog.size()));
        QString base = related ? (chance(50) ? related->name : related->fileName) : spelled(words(1, 4));
        if (related && chance(30))
            base = variant(base);
        mod.folderName = chance(50) ? spelled(base) : base;
        if (mod.folderName.trimmed().isEmpty())
            mod.folderName = QString::number(pick(100000));
        mod.name = chance(40) ? mod.folderName : chance(50) ? spelled(words(1, 4)) : spelled(base);
        mod.repoEntryId = chance(50)              ? QString()
                          : related && chance(50) ? related->id
                                                  : QString::number(pick(400) + 100);
        if (chance(10))
            mod.repoEntryId = QLatin1Char(' ') + mod.repoEntryId + QLatin1Char(' ');
        mod.modioId = chance(60) ? QString() : QString::number(pick(300) + 1000);
        mod.repositoryUrl = repositoryUrl();
        mod.source = modIo        ? QStringLiteral("mod.io")
                     : chance(50) ? QStringLiteral("Manuell / Lokal")
                                  : QStringLiteral("Individuell");
        mod.path =
            QStringLiteral("/mods/") + QString::number(m_counter++) + QLatin1Char('/') + mod.folderName;
        mod.version = version();
        return mod;
    }

private:
    bool chance(int percent) { return int(m_random.bounded(100)) < percent; }
    int pick(qsizetype count) { return int(m_random.bounded(quint32(count))); }

    QStringList words(int least, int most)
    {
        static const QStringList vocabulary = {
            "Steam",  "Loco",    "Wagon",   "Signal", "Station", "Bridge",   "Güter",
            "Straße", "Express", "Freight", "Tram",   "Bus",     "Depot",    "Track",
            "Modern", "Old",     "BR",      "DB",     "KPEV",    "Großraum", "Kesselwagen"};
        QStringList picked;
        const int count = least + pick(most - least + 1);
        for (int i = 0; i < count; ++i)
            picked.append(vocabulary.at(pick(vocabulary.size())));
        return picked;
    }

    QString spelled(const QStringList &parts)
    {
        static const QStringList separators = {" ", "_", "-", "", "."};
        QString text = parts.join(separators.at(pick(separators.size())));
        switch (pick(4)) {
        case 0:
            text = text.toLower();
            break;
        case 1:
            text = text.toUpper();
            break;
        default:
            break;
        }
        return chance(10) ? QStringLiteral("  ") + text + QStringLiteral(" ") : text;
    }

    QString spelled(const QString &text) { return spelled(QStringList{text}); }

    // A text whose key is a prefix or an extension of the original's.
    QString variant(const QString &text)
    {
        if (chance(50) && text.size() > 4)
            return text.left(text.size() - 1 - pick(qMin<qsizetype>(4, text.size() - 2)));
        return text + spelled(words(1, 1));
    }

    QString version()
    {
        static const QStringList versions = {"", "1.0", "1.2", "1.10", "2.0", "v1.2", "0.9", "1.2.0", "12"};
        return versions.at(pick(versions.size()));
    }

    QString archiveName(const QString &name)
    {
        static const QStringList versions = {"", "-1.2", "_1_2", "-v2", ".3", "-2.0.1", "_V3"};
        static const QStringList extensions = {".zip", ".7z", ".rar", ".part1.rar", ""};
        QString base = name;
        base.replace(QLatin1Char(' '), chance(50) ? QLatin1Char('-') : QLatin1Char('_'));
        return base + versions.at(pick(versions.size())) + extensions.at(pick(extensions.size()));
    }

    QString repositoryUrl()
    {
        static const QStringList urls = {repoA, repoA.toUpper(), repoB, QString(), " " + repoB + " "};
        return urls.at(pick(urls.size()));
    }

    QRandomGenerator m_random;
    int m_counter = 0;
};

} // namespace

void ModMatchingTest::indexesAgreeWithThePlainRule()
{
    RecordGenerator generator(20240607);
    QList<RepoMod> catalog;
    for (int i = 0; i < 1500; ++i)
        catalog.append(generator.catalogEntry());
    QList<LocalMod> mods;
    for (int i = 0; i < 900; ++i)
        mods.append(generator.localMod(catalog, i % 3 == 0));
    QList<LocalMod> copies;
    for (int i = 0; i < 300; ++i)
        copies.append(generator.localMod(catalog, false));

    const CatalogMatchIndex catalogIndex(catalog);
    const LocalModIndex modIndex(mods);
    const InstalledModsIndex installed(mods, copies);

    qsizetype matchedPairs = 0;
    QHash<int, int> states;
    for (qsizetype r = 0; r < catalog.size(); ++r) {
        QList<int> expected;
        for (qsizetype l = 0; l < mods.size(); ++l) {
            if (matchLocalToCatalog(mods.at(l), catalog.at(r)))
                expected.append(int(l));
        }
        matchedPairs += expected.size();
        const QList<int> actual = modIndex.matchingMods(catalogIndex.keys(r));
        if (actual != expected)
            QFAIL(qPrintable(QStringLiteral("entry %1 (%2 / %3 / %4): index %5, rule %6")
                                 .arg(r)
                                 .arg(catalog.at(r).id, catalog.at(r).name, catalog.at(r).fileName)
                                 .arg(actual.size())
                                 .arg(expected.size())));

        const CatalogInstallStatus plain = catalogInstallStatus(catalog.at(r), mods, copies);
        const CatalogInstallStatus indexed = installed.status(catalog.at(r), catalogIndex.keys(r));
        QCOMPARE(indexed.state, plain.state);
        QCOMPARE(indexed.modIoMatch, plain.modIoMatch);
        QCOMPARE(indexed.plainMatch, plain.plainMatch);
        QCOMPARE(indexed.copy.path, plain.copy.path);
        states[int(plain.state)] += 1;
    }

    qsizetype linked = 0;
    for (const LocalMod &mod : std::as_const(mods)) {
        const int expected = findCatalogIndex(mod, catalog);
        QCOMPARE(catalogIndex.findCatalogIndex(mod), expected);
        linked += expected >= 0 ? 1 : 0;
    }

    // The data must exercise the rules, not pass by matching nothing or everything.
    QVERIFY2(matchedPairs > 1000 && matchedPairs < catalog.size() * mods.size() / 20,
             qPrintable(QString::number(matchedPairs)));
    QVERIFY(linked > mods.size() / 4 && linked < mods.size());
    for (const CatalogInstallState state :
         {CatalogInstallState::NotInstalled, CatalogInstallState::Installed,
          CatalogInstallState::UpdateAvailable, CatalogInstallState::ModIoInstalled,
          CatalogInstallState::ModIoUpdateAvailable, CatalogInstallState::InstalledTwice})
        QVERIFY2(states.value(int(state)) > 5, qPrintable(catalogInstallStatusText(state)));
}

QTEST_GUILESS_MAIN(ModMatchingTest)
#include "tst_modmatching.moc"
