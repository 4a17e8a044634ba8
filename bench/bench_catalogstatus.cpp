#include "benchharness.h"
#include "catalog/catalogfilter.h"
#include "localmods/installstatus.h"
#include "localmods/matchindex.h"
#include "localmods/modmatching.h"

#include <QList>
#include <QRandomGenerator>
#include <QString>
#include <QStringList>

#include <cstdio>

// Every filter pass of the catalog page computes the install status of every shown entry. With 20,000
// entries and 2,000 installed mods that must stay well below a frame budget of interaction (target: under
// 50 ms per pass). For scale, the pass is compared with what the filter does anyway: a case-insensitive
// substring search over each entry's search text. The pair-by-pair rule is timed on a sample to show what
// the indexes save.
namespace {

constexpr int entryCount = 20000;
constexpr int localCount = 2000;

const QStringList vocabulary = {"Steam", "Loco",     "Wagon",       "Signal",    "Station",  "Bridge",
                                "Güter", "Straße",   "Express",     "Freight",   "Tram",     "Bus",
                                "Depot", "Track",    "Modern",      "Old",       "BR",       "DB",
                                "KPEV",  "Großraum", "Kesselwagen", "Container", "Terminal", "Hafen"};

QString words(QRandomGenerator &random, int count)
{
    QStringList picked;
    for (int i = 0; i < count; ++i)
        picked.append(vocabulary.at(random.bounded(int(vocabulary.size()))));
    return picked.join(QLatin1Char(' '));
}

// Real mod names are distinctive; a made-up word stands in for what sets one apart from the others.
QString token(QRandomGenerator &random)
{
    QString text;
    for (int i = 0; i < 5; ++i)
        text.append(QChar(char16_t(u'a' + random.bounded(26))));
    text[0] = text[0].toUpper();
    return text;
}

QList<RepoMod> makeCatalog(QRandomGenerator &random)
{
    const QStringList repositories = {QStringLiteral("https://trackhaven.invalid/filebase/repos/fx3-v3.json"),
                                      QStringLiteral("https://external.invalid/mods.json")};
    QList<RepoMod> catalog;
    catalog.reserve(entryCount);
    for (int i = 0; i < entryCount; ++i) {
        RepoMod mod;
        mod.id = QString::number(1000 + i);
        mod.name = words(random, 1 + random.bounded(3)) + QLatin1Char(' ') + token(random);
        mod.author = QStringLiteral("Author %1").arg(i % 300);
        mod.version = QStringLiteral("1.%1").arg(random.bounded(12));
        mod.fileName = QString(mod.name).replace(QLatin1Char(' '), QLatin1Char('-')) + QLatin1Char('-') +
                       mod.version + QStringLiteral(".zip");
        mod.description = words(random, 30);
        mod.categories = {words(random, 1), words(random, 1)};
        mod.tags = {words(random, 1)};
        mod.modioId = random.bounded(4) == 0 ? QString::number(2000000 + i) : QString();
        mod.repositoryJsonUrl = repositories.at(i % 10 == 0 ? 1 : 0);
        mod.repositoryName = i % 10 == 0 ? QStringLiteral("Extern") : QStringLiteral("Trackhaven");
        catalog.append(mod);
    }
    return catalog;
}

QList<LocalMod> makeLocalMods(QRandomGenerator &random, const QList<RepoMod> &catalog)
{
    QList<LocalMod> mods;
    mods.reserve(localCount);
    for (int i = 0; i < localCount; ++i) {
        const RepoMod &entry = catalog.at(random.bounded(int(catalog.size())));
        LocalMod mod;
        switch (i % 5) {
        case 0: // installed by the manager: marker with entry id
            mod.folderName = QString(entry.name).replace(QLatin1Char(' '), QLatin1Char('_'));
            mod.repoEntryId = entry.id;
            mod.repositoryUrl = entry.repositoryJsonUrl;
            break;
        case 1: // mod.io copy
            mod.folderName = entry.modioId.isEmpty() ? QString::number(3000000 + i) : entry.modioId;
            mod.modioId = mod.folderName;
            mod.source = QStringLiteral("mod.io");
            break;
        case 2: // unpacked by hand, folder named like the archive
            mod.folderName = entry.fileName.left(entry.fileName.size() - 4);
            break;
        case 3: // unknown mod
            mod.folderName =
                words(random, 3).replace(QLatin1Char(' '), QLatin1Char('-')) + QString::number(i);
            break;
        default: // named like the catalog entry
            mod.folderName = QStringLiteral("mod%1").arg(i);
            mod.name = entry.name;
            break;
        }
        if (mod.name.isEmpty())
            mod.name = mod.folderName;
        if (mod.source.isEmpty())
            mod.source = QStringLiteral("Manuell / Lokal");
        mod.path = QStringLiteral("/games/mods/") + mod.folderName;
        mod.version = QStringLiteral("1.%1").arg(random.bounded(12));
        mods.append(mod);
    }
    return mods;
}

} // namespace

int main()
{
    QRandomGenerator random(1948260);
    const QList<RepoMod> catalog = makeCatalog(random);
    const QList<LocalMod> mods = makeLocalMods(random, catalog);
    QList<LocalMod> copies = mods.mid(0, 500);

    CatalogMatchIndex catalogIndex;
    const bench::Result catalogBuild = bench::timeOnce([&] { catalogIndex = CatalogMatchIndex(catalog); });
    InstalledModsIndex installed;
    const bench::Result localBuild = bench::timeOnce([&] { installed = InstalledModsIndex(mods, copies); });

    const QStringList searchTexts = catalogSearchTexts(catalog);
    const QString phrase = QStringLiteral("kesselwagen hafen");

    int counts[6] = {};
    const bench::Result statusPass = bench::measure(
        [&] {
            std::fill(std::begin(counts), std::end(counts), 0);
            for (qsizetype i = 0; i < catalog.size(); ++i)
                ++counts[int(installed.status(catalog.at(i), catalogIndex.keys(i)).state)];
        },
        1, 2.0);
    const bench::Result searchPass = bench::measure(
        [&] {
            qint64 hits = 0;
            for (const QString &text : std::as_const(searchTexts))
                hits += text.contains(phrase, Qt::CaseInsensitive) ? 1 : 0;
            bench::keep(hits);
        },
        1, 2.0);

    constexpr int sample = 100;
    const bench::Result plainSample = bench::timeOnce(
        [&] {
            qint64 states = 0;
            for (int i = 0; i < sample; ++i)
                states += int(catalogInstallStatus(catalog.at(i * 200), mods, copies).state);
            bench::keep(states);
        },
        sample);
    const double plainPerEntryNs = plainSample.nanosecondsPerOperation();

    std::printf("%d catalog entries, %d local mods, %lld folder copies\n", entryCount, localCount,
                static_cast<long long>(copies.size()));
    std::printf(
        "statuses: not installed %d, installed %d, update %d, mod.io %d, mod.io update %d, twice %d\n",
        counts[0], counts[1], counts[2], counts[3], counts[4], counts[5]);
    std::printf("index builds (once per load / scan): catalog %.1f ms, local %.1f ms (%s)\n",
                catalogBuild.nanosecondsPerOperation() / 1e6, localBuild.nanosecondsPerOperation() / 1e6,
                catalogBuild.clockName());
    bench::report("status pass (all entries, indexed)", statusPass, "pass");
    bench::report("substring search pass (all entries)", searchPass, "pass");
    const double passMs = statusPass.nanosecondsPerOperation() / 1e6;
    std::printf("status pass: %.2f ms %s, %.2f ms wall (target < 50 ms): %s\n", passMs,
                statusPass.clockName(), double(statusPass.nanoseconds) / 1e6 / double(statusPass.operations),
                passMs < 50.0 ? "met" : "MISSED");
    std::printf("status pass / substring search pass time ratio: %.2f\n",
                bench::ratio(statusPass, searchPass));
    std::printf(
        "pair-by-pair rule: %.2f ms per entry, a full pass would take %.1f s (%.0fx the indexed pass)\n",
        plainPerEntryNs / 1e6, plainPerEntryNs * entryCount / 1e9,
        plainPerEntryNs * entryCount / statusPass.nanosecondsPerOperation());
    return 0;
}
