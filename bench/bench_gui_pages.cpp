#include "app/mainwindow.h"
#include "benchharness.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSettings>
#include <QStackedWidget>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

// How the catalog and installed pages feel with large lists, on the real window: the time from a change
// (a typed search prefix, the end of a catalog load, the switch to the gallery, a rescan) to the end of the
// paint that shows it. Run offscreen; every figure is the CPU time of one such change.
struct PageBenchmark
{
    MainWindow &window;

    // The pages without their lazy loads: the entries come from here, not from the network.
    void openCatalogPage()
    {
        window.pages->setCurrentWidget(window.catalogPage);
        QCoreApplication::processEvents();
    }
    void openInstalledPage()
    {
        window.pages->setCurrentWidget(window.installedPage);
        QCoreApplication::processEvents();
    }

    // The end of a load: the entries arrive, the page is rebuilt and painted.
    qint64 finishLoad(const QList<RepoMod> &entries)
    {
        return timeToPaint([&] {
            window.pendingCatalog = entries;
            window.catalogLoading = true;
            window.loadedRepositories = 1;
            window.finishCatalogLoad();
        });
    }
    qint64 type(const QString &text)
    {
        return timeToPaint([&] { window.catalogView.search->setText(text); });
    }
    qint64 showGallery(bool gallery)
    {
        return timeToPaint(
            [&] { (gallery ? window.catalogView.galleryButton : window.catalogView.listButton)->click(); });
    }
    qint64 rescan()
    {
        return timeToPaint([&] { window.rescanLocalMods(); });
    }
    QString selectedName() const
    {
        const int index = window.selectedCatalogIndex;
        return index >= 0 && index < window.catalog.size() ? window.catalog.at(index).name : QString();
    }
    void select(const QString &name) { window.catalogView.search->setText(name); }

    // The CPU time of the change and the paint that follows it: the machine's other work does not count.
    template <typename Change> qint64 timeToPaint(Change &&change)
    {
        const qint64 start = bench::cpuNanoseconds();
        change();
        // Layout requests and delayed item layouts run first, as they would before the window paints.
        QCoreApplication::processEvents();
        window.repaint();
        QCoreApplication::processEvents();
        return bench::cpuNanoseconds() - start;
    }
};

namespace {
const char *const adjectives[] = {"Blaue",  "Rote",  "Alte",  "Neue",  "Schnelle", "Schwere",
                                  "Kleine", "Lange", "Grüne", "Graue", "Moderne",  "Klassische"};
const char *const nouns[] = {"Lok",    "Wagen",   "Brücke",     "Station",  "Signalbox",   "Straßenbahn",
                             "Fabrik", "Kaserne", "Lagerhalle", "Kreuzung", "Haltestelle", "Tankstelle"};
const char *const categories[] = {"Lokomotiven", "Wagen",   "Bahnhöfe",   "Gebäude",
                                  "Straßen",     "Signale", "Landschaft", "Industrie"};

QList<RepoMod> generateCatalog(int count)
{
    QRandomGenerator random(4711);
    QList<RepoMod> entries;
    entries.reserve(count);
    for (int i = 0; i < count; ++i) {
        RepoMod mod;
        mod.id = QString::number(10000 + i);
        mod.name = QStringLiteral("%1 %2 %3")
                       .arg(QString::fromUtf8(adjectives[random.bounded(12)]),
                            QString::fromUtf8(nouns[random.bounded(12)]))
                       .arg(i);
        mod.author = QStringLiteral("Autor%1").arg(random.bounded(300));
        mod.version = QStringLiteral("%1.%2").arg(random.bounded(5)).arg(random.bounded(20));
        mod.categories = {QString::fromUtf8(categories[random.bounded(8)])};
        mod.tags = {QStringLiteral("europa"), QStringLiteral("epoche %1").arg(random.bounded(6))};
        mod.description = QStringLiteral("Ein Modell für Ferroline 3 mit eigenen Texturen, Sounds und "
                                         "Varianten. Nummer %1 der Serie.")
                              .arg(i);
        mod.downloadUrl = QStringLiteral("https://trackhaven.invalid/files/%1.zip").arg(i);
        mod.repositoryName = i % 5 == 0 ? QStringLiteral("Extern") : QStringLiteral("Trackhaven");
        mod.repositoryJsonUrl = QStringLiteral("https://trackhaven.invalid/%1.json").arg(mod.repositoryName);
        entries.append(mod);
    }
    return entries;
}

bool createMods(const QString &root, int count)
{
    for (int i = 0; i < count; ++i) {
        const QString folder = root + QStringLiteral("/mod_%1").arg(i, 5, 10, QLatin1Char('0'));
        QFile lua(folder + QStringLiteral("/mod.lua"));
        if (!QDir().mkpath(folder) || !lua.open(QIODevice::WriteOnly))
            return false;
        lua.write("function data() return { info = { minorVersion = 2, name = _(\"Lokale Mod " +
                  QByteArray::number(i) + "\") } } end\n");
    }
    return true;
}

double ms(qint64 nanoseconds)
{
    return double(nanoseconds) / 1e6;
}

struct Series
{
    QList<qint64> times;
    void add(qint64 t) { times.append(t); }
    void print(const char *label) const
    {
        QList<qint64> sorted = times;
        std::sort(sorted.begin(), sorted.end());
        std::printf("  %-44s median %8.1f ms   max %8.1f ms   (%lld samples)\n", label,
                    ms(sorted.at(sorted.size() / 2)), ms(sorted.last()),
                    static_cast<long long>(sorted.size()));
    }
};

void benchmarkCatalog(int count)
{
    MainWindow window;
    window.resize(1180, 760);
    window.show();
    PageBenchmark page{window};
    page.openCatalogPage();
    const QList<RepoMod> entries = generateCatalog(count);

    std::printf("catalog page, %d entries\n", count);
    std::printf("  %-44s %8.1f ms\n", "first paint after a load", ms(page.finishLoad(entries)));

    // Prefixes of the selected entry's name keep the selection; prefixes of other words move it.
    Series keeping;
    Series moving;
    for (int round = 0; round < 3; ++round) {
        page.type(QString());
        page.select(entries.at(count / 2 + round).name);
        const QString name = page.selectedName();
        for (int length = 1; length <= 6; ++length)
            keeping.add(page.type(name.left(length)));
        for (const char *text : {"s", "sc", "sch", "schw", "schwe", "schwer", "k", "kl", "kle"})
            moving.add(page.type(QString::fromUtf8(text)));
        moving.add(page.type(QString()));
    }
    keeping.print("keystroke, selection stays");
    moving.print("keystroke, selection moves");
    std::printf("  %-44s %8.1f ms\n", "switch to the gallery", ms(page.showGallery(true)));
    Series galleryTyping;
    for (const char *text : {"b", "bl", "bla", "blau", ""})
        galleryTyping.add(page.type(QString::fromUtf8(text)));
    galleryTyping.print("keystroke in the gallery");
    std::printf("  %-44s %8.1f ms\n", "switch back to the list", ms(page.showGallery(false)));
}

void benchmarkInstalled(const QString &modsFolder, int count)
{
    MainWindow window;
    window.resize(1180, 760);
    window.show();
    PageBenchmark page{window};
    page.openInstalledPage();
    std::printf("installed page, %d local mods\n", count);
    std::printf("  %-44s %8.1f ms\n", "rescan and paint (first)", ms(page.rescan()));
    std::printf("  %-44s %8.1f ms\n", "rescan and paint (again)", ms(page.rescan()));
    Q_UNUSED(modsFolder);
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
    qputenv("FX3MM_COMMUNITY_URL", "http://127.0.0.1:9/");
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("TrackhavenBenchmark"));
    QCoreApplication::setApplicationName(QStringLiteral("bench_gui_pages"));
    QStandardPaths::setTestModeEnabled(true);
    QSettings().setValue(QStringLiteral("setup/completed"), true);

    const QString modsFolder = home.path() + QStringLiteral("/mods");
    const int localMods = 3000;
    if (!createMods(modsFolder, localMods)) {
        std::fprintf(stderr, "could not create the mod folders\n");
        return 1;
    }
    QSettings().setValue(QStringLiteral("paths/usermods"), modsFolder);

    for (const int count : {2000, 20000})
        benchmarkCatalog(count);
    benchmarkInstalled(modsFolder, localMods);
    return 0;
}
