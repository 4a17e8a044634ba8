#include "modio/modioblacklist.h"
#include "modio/modiolisting.h"
#include "testsupport.h"

#include <QDir>
#include <QJsonArray>
#include <QLocale>
#include <QTest>

namespace {
// A record as the list sees it; name, author and counts are what the filter and the order look at.
ModIoMod record(const QString &id, const QString &name, const QString &author, qint64 subscribers,
                qint64 downloads, int percent = -1, qint64 ratings = 0)
{
    ModIoMod mod;
    mod.id = id;
    mod.name = name;
    mod.author = author;
    mod.submittedById = QStringLiteral("u") + author;
    mod.subscribers = subscribers;
    mod.downloads = downloads;
    mod.ratingPercentPositive = percent;
    mod.ratingsTotal = ratings;
    mod.ratingWeighted = percent / 100.0;
    mod.dateUpdated = downloads;
    return mod;
}

QList<ModIoMod> sample()
{
    QList<ModIoMod> mods{record("1", "Zugspitzbahn", "anna", 50, 900, 95, 40),
                         record("2", "Ärmelkanal Fähre", "Bernd", 50, 900, 95, 40),
                         record("3", "Bahnhof Nord", "anna", 700, 100, 30, 3),
                         record("4", "Tunnelportal", "Clara", 10, 5000, -1, 0),
                         record("5", "bahnhof süd", "dora", 700, 100, 61, 2)};
    mods[0].tags = QStringList{"Züge"};
    mods[0].tagNames = QStringList{"trains"};
    mods[2].tags = QStringList{"Bahnhöfe"};
    mods[2].tagNames = QStringList{"stations"};
    mods[3].summary = QStringLiteral("Ein Portal für Tunnel.");
    mods[3].authorDisplayName = QStringLiteral("Clara Tunnelbau");
    return mods;
}
} // namespace

class ModIoListingTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Names sort by the German rules in every environment.
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany)); }
    void counts_data();
    void counts();
    void starsAndRatingFilter_data();
    void starsAndRatingFilter();
    void filterAndOrder_data();
    void filterAndOrder();
    void blacklist();
    void installStateAndRowPill_data();
    void installStateAndRowPill();
    void foldersToDelete_data();
    void foldersToDelete();
    void categoriesAreDistinctAndSorted();
};

void ModIoListingTest::counts_data()
{
    QTest::addColumn<qint64>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("plain") << qint64(999) << "999";
    QTest::newRow("thousand") << qint64(1000) << "1.0 Tsd.";
    QTest::newRow("one decimal below 100 thousand") << qint64(99949) << "99.9 Tsd.";
    QTest::newRow("none from 100 thousand") << qint64(100000) << "100 Tsd.";
    QTest::newRow("just below a million") << qint64(999999) << "1000 Tsd.";
    QTest::newRow("million") << qint64(1250000) << "1.3 Mio.";
    QTest::newRow("none from 10 million") << qint64(12500000) << "13 Mio.";
}

void ModIoListingTest::counts()
{
    QFETCH(qint64, value);
    QTEST(formatModIoCount(value), "text");
}

void ModIoListingTest::starsAndRatingFilter_data()
{
    QTest::addColumn<int>("percent");
    QTest::addColumn<qint64>("ratings");
    QTest::addColumn<QString>("stars");
    QTest::addColumn<QString>("passes"); // filter values 0–6 that let the record through
    const auto row = [](const char *tag, int percent, qint64 ratings, const QString &stars,
                        const QString &passes) {
        QTest::newRow(tag) << percent << ratings << stars << passes;
    };
    row("no ratings", 90, qint64(0), "☆☆☆☆☆", "06");
    row("share unknown", -1, qint64(4), "☆☆☆☆☆", "0");
    row("0 %", 0, qint64(4), "★☆☆☆☆", "01");
    row("20 %", 20, qint64(4), "★☆☆☆☆", "01");
    row("21 %", 21, qint64(4), "★★☆☆☆", "012");
    row("60 %", 60, qint64(4), "★★★☆☆", "0123");
    row("80 %", 80, qint64(4), "★★★★☆", "01234");
    row("81 %", 81, qint64(4), "★★★★★", "012345");
    row("above 100 %", 140, qint64(1), "★★★★★", "012345");
}

void ModIoListingTest::starsAndRatingFilter()
{
    QFETCH(int, percent);
    QFETCH(qint64, ratings);
    const ModIoMod mod = record("1", "x", "y", 0, 0, percent, ratings);
    QTEST(modIoStarText(modIoRatingStars(mod)), "stars");
    QString passes;
    for (int value = 0; value <= 6; ++value) {
        if (passesModIoRating(mod, value))
            passes += QString::number(value);
    }
    QTEST(passes, "passes");
}

void ModIoListingTest::filterAndOrder_data()
{
    QTest::addColumn<QString>("search");
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("category");
    QTest::addColumn<int>("rating");
    QTest::addColumn<QString>("sort");
    QTest::addColumn<QStringList>("ids");
    const auto row = [](const char *tag, const QString &search, const QString &source,
                        const QString &category, int rating, const QString &sort, const QStringList &ids) {
        QTest::newRow(tag) << search << source << category << rating << sort << ids;
    };

    row("popular: subscribers, downloads, then name", "", "all", "", 0, "popular",
        QStringList{"3", "5", "2", "1", "4"});
    row("name, umlauts by the locale", "", "all", "", 0, "name", QStringList{"2", "3", "5", "4", "1"});
    row("downloads", "", "all", "", 0, "downloads", QStringList{"4", "2", "1", "3", "5"});
    row("updated", "", "all", "", 0, "updated", QStringList{"4", "2", "1", "3", "5"});
    row("rating: weighted, share, count, name", "", "all", "", 0, "rating",
        QStringList{"2", "1", "5", "3", "4"});
    row("search in summary and tags", "tunnel", "all", "", 0, "popular", QStringList{"4"});
    row("search ignores case", "BAHNHOF", "all", "", 0, "popular", QStringList{"3", "5"});
    row("author search looks at authors only", "@tunnelbau", "all", "", 0, "popular", QStringList{"4"});
    row("author search does not look at names", "@bahnhof", "all", "", 0, "popular", QStringList{});
    row("category by tag name", "", "all", "TRAINS", 0, "popular", QStringList{"1"});
    row("category by display text", "", "all", "|bahnhöfe", 0, "popular", QStringList{"3"});
    row("at least four stars", "", "all", "", 4, "popular", QStringList{"5", "2", "1"});
    row("not rated", "", "all", "", 6, "popular", QStringList{"4"});
    row("subscribed only", "", "subscribed", "", 0, "popular", QStringList{"3", "1"});
    row("installed only", "", "installed", "", 0, "popular", QStringList{"5", "4"});
}

void ModIoListingTest::filterAndOrder()
{
    QFETCH(QString, search);
    QFETCH(QString, source);
    QFETCH(QString, category);
    QFETCH(int, rating);
    QFETCH(QString, sort);
    const QList<ModIoMod> mods = sample();
    ModIoSearchIndex index;
    index.update(mods);
    ModIoFilter filter;
    filter.search = parseModIoSearch(search.toLower());
    filter.source = modIoSourceFromKey(source);
    filter.categoryKey = category.section(QLatin1Char('|'), 0, 0);
    filter.categoryText = category.section(QLatin1Char('|'), 1);
    filter.ratingValue = rating;
    filter.sortKey = sort;
    // Dora is hidden by name, whatever the spelling; her record only shows where the blacklist is empty.
    ModIoFilterContext context{{"1", "3"}, {"4", "5"}, {}};
    QStringList ids;
    for (const int i : filterModIoRecords(mods, index, filter, context))
        ids.append(mods.at(i).id);
    QTEST(ids, "ids");

    context.blacklist = {{QString(), QStringLiteral("  DORA ")}};
    ids.clear();
    for (const int i : filterModIoRecords(mods, index, filter, context))
        ids.append(mods.at(i).id);
    QVERIFY(!ids.contains("5"));
}

void ModIoListingTest::blacklist()
{
    const QList<ModIoBlockedAuthor> read = parseAuthorBlacklist(
        R"(  [{"id": 77, "name": " Anna "}, {"id": "", "name": ""}, {"name": "Bernd  Bauer"}, 5, {"id": " 77 "}] )");
    QCOMPARE(read.size(), 3);
    QCOMPARE(read.at(0).id, "77");
    QCOMPARE(read.at(0).name, "Anna");
    QCOMPARE(parseAuthorBlacklist(authorBlacklistJson(read)).size(), 3);
    QVERIFY(parseAuthorBlacklist(R"({"id": "1"})").isEmpty());
    QCOMPARE(blockedAuthorIds(read), QStringList{"77"});

    ModIoMod mod = record("1", "x", "bernd bauer", 0, 0);
    mod.author = QStringLiteral(" BERND   bauer ");
    QVERIFY(isModIoAuthorBlocked(read, mod));
    mod.author = QStringLiteral("Bernd");
    QVERIFY(!isModIoAuthorBlocked(read, mod));
    mod.submittedById = QStringLiteral("77");
    QVERIFY(isModIoAuthorBlocked(read, mod));

    QList<ModIoBlockedAuthor> list;
    QVERIFY(blockModIoAuthor(list, record("2", "y", " Clara ", 0, 0)));
    QCOMPARE(list.last().name, "Clara");
    QVERIFY(!blockModIoAuthor(list, record("3", "z", "clara", 0, 0)));
    ModIoMod nobody;
    QVERIFY(!blockModIoAuthor(list, nobody));
    QCOMPARE(list.size(), 1);
}

void ModIoListingTest::installStateAndRowPill_data()
{
    QTest::addColumn<bool>("installed");
    QTest::addColumn<QString>("installedFile");
    QTest::addColumn<QString>("modfile");
    QTest::addColumn<bool>("subscribed");
    QTest::addColumn<QString>("pill");
    const auto row = [](const char *tag, bool installed, const QString &installedFile, const QString &modfile,
                        bool subscribed, const QString &pill) {
        QTest::newRow(tag) << installed << installedFile << modfile << subscribed << pill;
    };
    row("other file installed", true, "10", "11", true, "Update");
    row("same file", true, "11", "11", true, "installiert");
    row("installed file unknown", true, "", "11", false, "installiert");
    row("current file unknown", true, "10", "", false, "installiert");
    row("subscribed only", false, "10", "11", true, "abonniert");
    row("neither", false, "", "11", false, "");
}

void ModIoListingTest::installStateAndRowPill()
{
    QFETCH(bool, installed);
    QFETCH(QString, installedFile);
    QFETCH(QString, modfile);
    QFETCH(bool, subscribed);
    ModIoMod mod = record("9", "x", QString(), 1500, 20, 50, 2);
    mod.modfileId = modfile;
    mod.subscribed = subscribed;
    mod.summary = QString(120, QLatin1Char('a'));
    const QSet<QString> ids = installed ? QSet<QString>{"9"} : QSet<QString>{};
    const ModIoRowTexts texts =
        modIoRowTexts(mod, modIoInstallState(mod, ids, {{QStringLiteral("9"), installedFile}}));
    QTEST(texts.pill, "pill");
    QCOMPARE(texts.byline, "von Unbekannt");
    QCOMPARE(texts.summary.size(), 113);
    QVERIFY2(texts.statistics.startsWith("★★★☆☆  50 % positiv") &&
                 texts.statistics.endsWith("★ 1.5 Tsd. Abos"),
             qPrintable(texts.statistics));
}

void ModIoListingTest::foldersToDelete_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<bool>("deleted");
    QTest::newRow("mod id") << "123" << true;
    QTest::newRow("no such folder") << "124" << false;
    QTest::newRow("parent") << ".." << false;
    QTest::newRow("nested path") << "123/sub" << false;
    QTest::newRow("letters") << "abc" << false;
    QTest::newRow("empty") << "" << false;
}

void ModIoListingTest::foldersToDelete()
{
    TestEnvironment environment;
    const QString mods = environment.makeDir("modio/mods");
    environment.makeDir("modio/mods/123/sub");
    environment.makeDir("modio/mods/abc");
    QFETCH(QString, id);
    QFETCH(bool, deleted);
    const QString folder = modIoFolderToDelete(mods, id);
    QCOMPARE(folder, deleted ? QDir(mods).absoluteFilePath(id) : QString());
    QVERIFY(modIoFolderToDelete(QString(), id).isEmpty());
}

void ModIoListingTest::categoriesAreDistinctAndSorted()
{
    QList<ModIoMod> mods = sample();
    mods[1].tags = QStringList{"züge", "Ältere", "Brücken"};
    mods[1].tagNames = QStringList{"TRAINS", "", ""};
    mods[4].tags = QStringList{"ÄLTERE"};
    QStringList texts;
    for (const ModIoCategory &category : modIoCategories(mods))
        texts.append(category.text + QLatin1Char('=') + category.name);
    QCOMPARE(texts, (QStringList{"Ältere=", "Bahnhöfe=stations", "Brücken=", "Züge=trains"}));
}

QTEST_GUILESS_MAIN(ModIoListingTest)
#include "tst_modiolisting.moc"
