#include "app/mainwindow.h"
#include "benchharness.h"
#include "modio/modiolisting.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QRandomGenerator>
#include <QSettings>
#include <QStackedWidget>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

// One keystroke on the mod.io page with 5,000 loaded records: the filter and order alone, and the whole
// keystroke up to the end of the paint that shows it. A plain scan of the names from the same run is the
// baseline the filter is compared with. Run offscreen; figures are CPU times.
struct PageBenchmark
{
    MainWindow &window;

    void load(const QList<ModIoMod> &records)
    {
        window.pages->setCurrentWidget(window.modIoPage);
        window.modIoView.mods = records;
        window.applyModIoFilter();
        QCoreApplication::processEvents();
    }
    qint64 type(const QString &text, const QString &sortKey)
    {
        ModIoView &view = window.modIoView;
        const qint64 start = bench::cpuNanoseconds();
        {
            // The reload the search field would start is the network's part; the page's part is this.
            const QSignalBlocker blockSearch(view.search), blockSort(view.sort);
            view.search->setText(text);
            view.sort->setCurrentIndex(view.sort->findData(sortKey));
        }
        window.applyModIoFilter();
        QCoreApplication::processEvents();
        window.repaint();
        QCoreApplication::processEvents();
        return bench::cpuNanoseconds() - start;
    }
};

namespace {
const char *const words[] = {"Lok",    "Wagen", "Brücke", "Station", "Signal", "Tram",
                             "Fabrik", "Halle", "Depot",  "Tunnel",  "Kran",   "Ärmelkanal"};

QList<ModIoMod> generateRecords(int count)
{
    QRandomGenerator random(4711);
    QList<ModIoMod> records;
    records.reserve(count);
    for (int i = 0; i < count; ++i) {
        ModIoMod mod;
        mod.id = QString::number(100000 + i);
        mod.name = QStringLiteral("%1 %2 %3")
                       .arg(QString::fromUtf8(words[random.bounded(12)]),
                            QString::fromUtf8(words[random.bounded(12)]))
                       .arg(i);
        mod.author = QStringLiteral("Autor%1").arg(random.bounded(400));
        mod.authorDisplayName = mod.author + QStringLiteral(" Portal");
        mod.submittedById = QString::number(random.bounded(400));
        mod.summary =
            QStringLiteral("Ein Modell für Ferroline 3 mit eigenen Texturen und Varianten, Nummer %1.")
                .arg(i);
        mod.tags = QStringList{QStringLiteral("Züge"), QStringLiteral("Epoche %1").arg(random.bounded(6))};
        mod.tagNames = mod.tags;
        mod.subscribers = random.bounded(20000);
        mod.downloads = random.bounded(100000);
        mod.ratingsTotal = random.bounded(50);
        mod.ratingPercentPositive = random.bounded(101);
        mod.ratingWeighted = random.bounded(1.0);
        mod.dateUpdated = 1600000000 + random.bounded(100000000);
        records.append(mod);
    }
    return records;
}

double ms(qint64 nanoseconds)
{
    return double(nanoseconds) / 1e6;
}

double median(QList<qint64> times)
{
    std::sort(times.begin(), times.end());
    return ms(times.at(times.size() / 2));
}

const QStringList keystrokes{"t", "tu", "tun", "tunn", "tunne", "tunnel", "", "@a", "@au", "@aut", ""};
const QStringList sortKeys{"popular", "name", "rating"};

void benchmarkFilter(const QList<ModIoMod> &records)
{
    ModIoSearchIndex index;
    index.update(records);
    const ModIoFilterContext context;
    QStringList lowerNames;
    for (const ModIoMod &record : records)
        lowerNames.append(record.name.toLower());
    for (const QString &sortKey : sortKeys) {
        QList<qint64> filterTimes, baselineTimes;
        for (int round = 0; round < 5; ++round) {
            for (const QString &text : keystrokes) {
                ModIoFilter filter;
                filter.search = parseModIoSearch(text);
                filter.sortKey = sortKey;
                filterTimes.append(bench::timeOnce([&] {
                                       bench::keep(
                                           filterModIoRecords(records, index, filter, context).size());
                                   }).time());
                // The least any keystroke costs: one substring test per record.
                baselineTimes.append(bench::timeOnce([&] {
                                         qint64 hits = 0;
                                         for (const QString &name : std::as_const(lowerNames))
                                             hits += name.contains(filter.search.text);
                                         bench::keep(hits);
                                     }).time());
            }
        }
        std::printf("  filter and order, sort %-9s median %7.2f ms  (baseline name scan %6.2f ms)\n",
                    qPrintable(sortKey), median(filterTimes), median(baselineTimes));
    }
}

void benchmarkPage(const QList<ModIoMod> &records)
{
    MainWindow window;
    window.resize(1180, 760);
    window.show();
    PageBenchmark page{window};
    page.load(records);
    for (const QString &sortKey : sortKeys) {
        QList<qint64> times;
        for (int round = 0; round < 3; ++round) {
            for (const QString &text : keystrokes)
                times.append(page.type(text, sortKey));
        }
        std::printf("  whole keystroke with paint, sort %-9s median %7.2f ms  max %7.2f ms\n",
                    qPrintable(sortKey), median(times), ms(*std::max_element(times.cbegin(), times.cend())));
    }
}
} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    qputenv("HOME", home.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/config")).toLocal8Bit());
    qputenv("XDG_CACHE_HOME", (home.path() + QStringLiteral("/cache")).toLocal8Bit());
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("TrackhavenBenchmark"));
    QCoreApplication::setApplicationName(QStringLiteral("bench_modiolist"));
    QStandardPaths::setTestModeEnabled(true);
    QSettings().setValue(QStringLiteral("setup/completed"), true);

    const QList<ModIoMod> records = generateRecords(5000);
    std::printf("mod.io list, %lld records\n", static_cast<long long>(records.size()));
    benchmarkFilter(records);
    benchmarkPage(records);
    return 0;
}
