// What the safe copy of a mod folder costs against a plain recursive copy: the safe one checks every entry
// for links and every target folder for links before it writes, and retries. Also the price of the link check
// of an unpacked tree and of the removal that does not follow links.

#include "benchharness.h"
#include "install/fileoperations.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>

namespace {
constexpr int folderCount = 25;
constexpr int filesPerFolder = 20;
constexpr int largeFiles = 5;

void writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(content);
}

// A mod-like tree: 500 small files in 25 folders two levels deep, and 5 textures of 256 KiB.
void makeModTree(const QString &root)
{
    const QByteArray small(1024, 'x');
    for (int folder = 0; folder < folderCount; ++folder) {
        const QString dir = root + QStringLiteral("/res/models/group%1/set%2").arg(folder % 10).arg(folder);
        QDir().mkpath(dir);
        for (int file = 0; file < filesPerFolder; ++file)
            writeFile(dir + QStringLiteral("/part%1.mdl").arg(file), small);
    }
    QDir().mkpath(root + QStringLiteral("/res/textures"));
    const QByteArray large(256 * 1024, 't');
    for (int file = 0; file < largeFiles; ++file)
        writeFile(root + QStringLiteral("/res/textures/t%1.dds").arg(file), large);
    writeFile(root + QStringLiteral("/mod.lua"), "function data() return {} end\n");
}

// The copy a program without any of the safeguards would do.
bool plainCopy(const QString &source, const QString &target)
{
    QDir().mkpath(target);
    const QDir sourceDir(source);
    QDirIterator it(source, QDir::AllEntries | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString destination = target + QLatin1Char('/') + sourceDir.relativeFilePath(path);
        if (it.fileInfo().isDir()) {
            if (!QDir().mkpath(destination))
                return false;
        } else {
            QFile::remove(destination);
            if (!QFile::copy(path, destination))
                return false;
        }
    }
    return true;
}
} // namespace

int main()
{
    QTemporaryDir work;
    if (!work.isValid())
        return 1;
    const QString source = work.path() + QStringLiteral("/source");
    makeModTree(source);
    const qint64 files = qint64(folderCount) * filesPerFolder + largeFiles + 1;
    std::printf("Mod tree: %lld files, %d folders\n\n", static_cast<long long>(files), folderCount);

    int round = 0;
    bench::Result safeFresh;
    bench::Result plainFresh;
    bench::fastestAlternating(
        [&] {
            const QString target = work.path() + QStringLiteral("/safe%1").arg(++round);
            bench::keep(copyDirectoryWithRetries(source, target));
            removeDirectoryTree(target);
        },
        [&] {
            const QString target = work.path() + QStringLiteral("/plain%1").arg(++round);
            bench::keep(plainCopy(source, target));
            QDir(target).removeRecursively();
        },
        3, &safeFresh, &plainFresh, files);
    bench::report("copy + remove, safe (fresh target)", safeFresh, "files");
    bench::report("copy + remove, plain Qt (fresh target)", plainFresh, "files");
    std::printf("  safe / plain: %.2fx\n\n", bench::ratio(safeFresh, plainFresh));

    // Overwriting an installed version replaces every file.
    const QString safeTarget = work.path() + QStringLiteral("/safe-merge");
    const QString plainTarget = work.path() + QStringLiteral("/plain-merge");
    copyDirectoryWithRetries(source, safeTarget);
    plainCopy(source, plainTarget);
    bench::Result safeMerge;
    bench::Result plainMerge;
    bench::fastestAlternating([&] { bench::keep(copyDirectoryWithRetries(source, safeTarget)); },
                              [&] { bench::keep(plainCopy(source, plainTarget)); }, 3, &safeMerge,
                              &plainMerge, files);
    bench::report("overwrite every file, safe", safeMerge, "files");
    bench::report("overwrite every file, plain Qt", plainMerge, "files");
    std::printf("  safe / plain: %.2fx\n\n", bench::ratio(safeMerge, plainMerge));

    const bench::Result check =
        bench::measure([&] { bench::keep(firstEntryLeavingFolder(source).size()); }, files, 0.5);
    bench::report("link check of the unpacked tree", check, "files");
    std::printf("  link check / safe fresh copy: %.3f of the copy time\n",
                check.nanosecondsPerOperation() / safeFresh.nanosecondsPerOperation());
    return 0;
}
