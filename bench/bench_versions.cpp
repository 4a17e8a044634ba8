#include "benchharness.h"
#include "catalog/versions.h"

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include <cstdio>

// compareVersions runs for every catalog row on every filter pass; this measures it on a mix of the
// spellings found in repositories against plain text comparison of the same pairs.
int main()
{
    const QStringList versions = {
        "1.0",      "1.0.0",     "1.2",        "1.10",      "1.9.3",     "2.0.1.4",    "v1.2",
        "V2.3.1",   "v 0.9",     "1,5",        "2,0,1",     "12",        "120",        "13",
        "1.2-beta", "2.0rc1",    "1.4_hotfix", "3.1-final", "beta",      "alpha",      "Final",
        "neueste",  "  1.3  ",   "2024.06.01", "0.5.38",    "0.5.4",     "1_2_3",      "10",
        "1.2.0.0",  "4.2 (Fix)", "v3",         "2.1b",      "Version 2", "",           "0.0.1",
        "1.02",     "7.0.0.12",  "5.4.3.2",    "1.1.1.1.1", "ä-Version", "v1.0-beta2", "9.99",
    };
    QList<QPair<QString, QString>> pairs;
    for (qsizetype i = 0; i < versions.size(); ++i) {
        for (qsizetype j = 0; j < versions.size(); j += 3)
            pairs.append({versions.at(i), versions.at((i + j) % versions.size())});
    }
    const qint64 count = pairs.size();

    const bench::Result versionResult = bench::measure(
        [&] {
            qint64 sum = 0;
            for (const auto &pair : pairs)
                sum += compareVersions(pair.first, pair.second);
            bench::keep(sum);
        },
        count);
    const bench::Result textResult = bench::measure(
        [&] {
            qint64 sum = 0;
            for (const auto &pair : pairs)
                sum += QString::compare(pair.first, pair.second);
            bench::keep(sum);
        },
        count);

    std::printf("%lld version pairs\n", static_cast<long long>(count));
    bench::report("compareVersions", versionResult, "cmp");
    bench::report("QString::compare", textResult, "cmp");
    std::printf("compareVersions / QString::compare time ratio: %.1f\n",
                bench::ratio(versionResult, textResult));
    std::printf("target of 1,000,000 comparisons/s: %s\n",
                versionResult.perSecond() >= 1e6 ? "met" : "MISSED");
    return 0;
}
