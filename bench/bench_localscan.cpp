#include "benchharness.h"
#include "localmods/localscan.h"

#include <QByteArray>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

// The local scan runs when a page first needs the installed mods and after every installation. It should
// cost little more than touching the files it must read: this lists and reads the same files of 3,000 mod
// folders (mod.lua, a JSON metadata file and the install marker each) and compares.
namespace {

constexpr int modCount = 3000;

bool writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

bool createMods(const QString &root)
{
    const char *const words[] = {"Steam", "Loco", "Wagon", "Signal", "Station", "Bridge", "Freight", "Tram"};
    for (int i = 0; i < modCount; ++i) {
        const QString name = QStringLiteral("%1 %2 %3").arg(words[i % 8], words[(i / 8) % 8]).arg(i);
        const QString folder = root + QStringLiteral("/mod_%1_1").arg(i, 5, 10, QLatin1Char('0'));
        if (!QDir().mkpath(folder + QStringLiteral("/res")))
            return false;
        // The JSON gives the name but no version, so mod.lua must be read as well: all three files count.
        const QByteArray lua =
            "function data()\nreturn {\n  info = {\n    minorVersion = " + QByteArray::number(i % 7) +
            ",\n    severityAdd = \"NONE\",\n    name = _(\"" + name.toUtf8() +
            "\"),\n    description = _(\"desc\"),\n    authors = {{ name = " +
            "\"Author\", role = \"CREATOR\" }},\n    tags = { \"europe\", \"train\" },\n  },\n" + "}\nend\n";
        const QByteArray json = "{\n  \"name\": \"" + name.toUtf8() +
                                "\",\n  \"author\": \"Author\",\n  \"tags\": [\"europe\", \"train\"]\n}\n";
        const QByteArray marker =
            "{\n    \"archive_filename\": \"mod_" + QByteArray::number(i) + "-1.0.zip\",\n    \"name\": \"" +
            name.toUtf8() + "\",\n    \"repo_entry_id\": \"" + QByteArray::number(10000 + i) +
            "\",\n    \"repository_name\": \"Trackhaven\",\n    \"repository_url\": " +
            "\"https://trackhaven.invalid/filebase/repos/fx3-v3.json\",\n    \"source\": " +
            "\"Trackhaven\",\n    \"version\": \"1.0\"\n}\n";
        if (!writeFile(folder + QStringLiteral("/mod.lua"), lua) ||
            !writeFile(folder + QStringLiteral("/mod.json"), json) ||
            !writeFile(folder + QStringLiteral("/.fx3modmanager.json"), marker))
            return false;
    }
    return true;
}

// The floor: list the mod folders, list each one, and read its three files.
qint64 listAndRead(const QString &root)
{
    qint64 bytes = 0;
    QDirIterator mods(root, QDir::Dirs | QDir::NoDotAndDotDot);
    while (mods.hasNext()) {
        const QString folder = mods.next();
        QDirIterator entries(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
        while (entries.hasNext()) {
            const QString path = entries.next();
            if (!entries.fileInfo().isFile())
                continue;
            QFile file(path);
            if (file.open(QIODevice::ReadOnly))
                bytes += file.readAll().size();
        }
    }
    return bytes;
}

} // namespace

int main()
{
    QTemporaryDir dir;
    if (!dir.isValid() || !createMods(dir.path())) {
        std::printf("could not create the mod folders\n");
        return 1;
    }

    LocalModFolders folders;
    folders.userModsPath = dir.path();
    qsizetype found = 0;
    bench::Result scanBest;
    bench::Result floorBest;
    // Alternating rounds, fastest of each: both sides see the same file cache and machine load.
    bench::fastestAlternating(
        [&] {
            const LocalScanResult result = scanLocalMods(folders);
            found = result.mods.size();
            bench::keep(found);
        },
        [&] { bench::keep(listAndRead(dir.path())); }, 7, &scanBest, &floorBest, modCount);

    std::printf("%d mod folders (mod.lua, mod.json, marker each); %lld found by the scan\n", modCount,
                static_cast<long long>(found));
    bench::report("scanLocalMods", scanBest, "mod");
    bench::report("list and read the same files", floorBest, "mod");
    std::printf("one scan: %.1f ms %s, listing and reading: %.1f ms\n",
                scanBest.nanosecondsPerOperation() * modCount / 1e6, scanBest.clockName(),
                floorBest.nanosecondsPerOperation() * modCount / 1e6);
    const double ratio = bench::ratio(scanBest, floorBest);
    std::printf("scan / list-and-read time ratio: %.2f (target <= 2): %s\n", ratio,
                ratio <= 2.0 ? "met" : "MISSED");
    return found == modCount ? 0 : 1;
}
