#include "analysis/performancecheck.h"

#include "analysis/bytesize.h"
#include "analysis/imageheaders.h"
#include "analysis/luascan.h"
#include "analysis/luatables.h"
#include "analysis/meshstats.h"
#include "analysis/resourcefiles.h"
#include "analysis/saturating.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QHash>

#include <algorithm>

namespace {

constexpr qint64 oneGiB = 1073741824;
constexpr qint64 halfGiB = 536870912;
constexpr qint64 twoGiB = 2147483648LL;

QString tr(const char *text)
{
    return QCoreApplication::translate("MainWindow", text);
}

// Meshes by the key models use to reference them. The file-name index keeps the fallback lookup of partial
// references from comparing against every mesh of a large mod.
struct MeshTable
{
    QHash<QString, MeshStats> byKey;
    QHash<QString, QStringList> keysByFileName; // keys in insertion order

    static QString fileNameOf(const QString &key)
    {
        const qsizetype slash = key.lastIndexOf(QLatin1Char('/'));
        return slash < 0 ? key : key.mid(slash + 1);
    }

    void insert(const QString &key, const MeshStats &stats)
    {
        if (!byKey.contains(key))
            keysByFileName[fileNameOf(key)].append(key);
        byKey.insert(key, stats);
    }

    const MeshStats *resolve(const QString &reference) const
    {
        QString ref = normalizeResourcePath(reference);
        const QLatin1String meshFolder("models/mesh/");
        if (ref.startsWith(meshFolder))
            ref.remove(0, meshFolder.size());
        const auto direct = byKey.constFind(ref);
        if (direct != byKey.cend())
            return &direct.value();
        // Keys and references are both lower case; a key that ends with "/<ref>" has ref's file name.
        const auto candidates = keysByFileName.constFind(fileNameOf(ref));
        if (candidates == keysByFileName.cend())
            return nullptr;
        const QString tail = QLatin1Char('/') + ref;
        for (const QString &key : candidates.value()) {
            if (key == ref || key.endsWith(tail))
                return &byKey.find(key).value();
        }
        return nullptr;
    }
};

bool isQuote(char c)
{
    return c == '"' || c == '\'';
}

qsizetype nextQuote(QByteArrayView text, qsizetype from)
{
    for (qsizetype i = from; i < text.size(); ++i) {
        if (isQuote(text.at(i)))
            return i;
    }
    return -1;
}

bool equalsAnyCase(QByteArrayView text, QLatin1String word)
{
    return text.compare(QByteArrayView(word.data(), word.size()), Qt::CaseInsensitive) == 0;
}

// Whether the quoted text from open to close (both quotes) names a file with the suffix, like
// `["']([^"']+\.mtl)["']` (any case): at least one character before the suffix.
bool quotedFileWithSuffix(QByteArrayView text, qsizetype open, qsizetype close, QLatin1String suffix)
{
    const qsizetype length = close - open - 1;
    return length > suffix.size() && equalsAnyCase(text.sliced(close - suffix.size(), suffix.size()), suffix);
}

// Every match of `\bmesh\s*=\s*["']([^"']+\.msh)["']` (any case), given the captured reference.
template <typename Visit> void forEachMeshReference(QByteArrayView block, Visit visit)
{
    const QLatin1String key("mesh");
    const QLatin1String suffix(".msh");
    WordFinder finder(block, key, Qt::CaseInsensitive);
    qsizetype i = finder.find(0);
    while (i >= 0) {
        const qsizetype value = skipAssignment(block, i + key.size());
        if (value >= 0 && value < block.size() && isQuote(block.at(value))) {
            const qsizetype close = nextQuote(block, value + 1);
            if (close >= 0 && quotedFileWithSuffix(block, value, close, suffix)) {
                visit(block.sliced(value + 1, close - value - 1));
                i = finder.find(close + 1);
                continue;
            }
        }
        i = finder.find(i + 1);
    }
}

bool hasMeshReference(QByteArrayView text)
{
    bool found = false;
    forEachMeshReference(text, [&found](QByteArrayView) { found = true; });
    return found;
}

// Number of matches of `["']([^"']+\.mtl)["']` (any case). As with the pattern, a quote that does not open a
// material name may close one.
int countMaterialReferences(QByteArrayView block)
{
    const QLatin1String suffix(".mtl");
    int count = 0;
    qsizetype open = nextQuote(block, 0);
    while (open >= 0) {
        const qsizetype close = nextQuote(block, open + 1);
        if (close < 0)
            break;
        if (quotedFileWithSuffix(block, open, close, suffix)) {
            ++count;
            open = nextQuote(block, close + 1);
        } else {
            open = close;
        }
    }
    return count;
}

// The value of the first `\bkey\s*=\s*(-?\d+(?:\.\d+)?)`, or -1.
double distanceValue(QByteArrayView block, QLatin1String key)
{
    const auto isDigit = [](char c) {
        return c >= '0' && c <= '9';
    };
    WordFinder finder(block, key);
    for (qsizetype i = finder.find(0); i >= 0; i = finder.find(i + 1)) {
        const qsizetype value = skipAssignment(block, i + key.size());
        if (value < 0)
            continue;
        qsizetype end = value;
        if (end < block.size() && block.at(end) == '-')
            ++end;
        const qsizetype digits = end;
        while (end < block.size() && isDigit(block.at(end)))
            ++end;
        if (end == digits)
            continue;
        if (end + 1 < block.size() && block.at(end) == '.' && isDigit(block.at(end + 1))) {
            end += 2;
            while (end < block.size() && isDigit(block.at(end)))
                ++end;
        }
        bool ok = false;
        const double result = block.sliced(value, end - value).toDouble(&ok);
        return ok ? result : -1.0;
    }
    return -1.0;
}

ModelPerformance analyzeModel(const QString &name, QByteArrayView text, const MeshTable &meshes)
{
    ModelPerformance model;
    model.name = name;
    const QString normalized = normalizeResourcePath(name);
    model.isVehicle = normalized.contains(QLatin1String("/vehicle/")) ||
                      normalized.startsWith(QLatin1String("res/models/model/vehicle/"));

    QList<QByteArrayView> blocks = childTables(text, QLatin1String("lods"));
    if (blocks.isEmpty() && hasMeshReference(text))
        blocks.append(text);

    for (qsizetype i = 0; i < blocks.size(); ++i) {
        const QByteArrayView block = blocks.at(i);
        LodStats lod;
        lod.index = int(i);
        forEachMeshReference(block, [&](QByteArrayView reference) {
            ++lod.meshRefs;
            if (const MeshStats *stats = meshes.resolve(QString::fromUtf8(reference))) {
                lod.tris = saturatingAdd(lod.tris, stats->tris);
                lod.vertices = saturatingAdd(lod.vertices, stats->vertices);
            }
        });
        lod.materialRefs = countMaterialReferences(block);
        lod.visibleFrom = distanceValue(block, QLatin1String("visibleFrom"));
        lod.visibleTo = distanceValue(block, QLatin1String("visibleTo"));
        model.lods.append(lod);
    }
    return model;
}

// Matches of `\bkey\s*=\s*value\b` (any case).
int countFlagAssignments(QByteArrayView text, QLatin1String key, QLatin1String value)
{
    int count = 0;
    WordFinder finder(text, key, Qt::CaseInsensitive);
    qsizetype i = finder.find(0);
    while (i >= 0) {
        const qsizetype at = skipAssignment(text, i + key.size());
        if (at >= 0) {
            const qsizetype end = at + value.size();
            if (end <= text.size() && equalsAnyCase(text.sliced(at, value.size()), value) &&
                (end == text.size() || !isLuaWordChar(text.at(end)))) {
                ++count;
                i = finder.find(end);
                continue;
            }
        }
        i = finder.find(i + 1);
    }
    return count;
}

bool isTextureSuffix(const QString &suffix)
{
    static const char *const suffixes[] = {"dds", "tga", "png", "jpg", "jpeg", "webp", "bmp"};
    for (const char *candidate : suffixes) {
        if (suffix == QLatin1String(candidate))
            return true;
    }
    return false;
}

} // namespace

int performanceRatingForScore(int score)
{
    if (score >= 8)
        return 3;
    if (score >= 5)
        return 2;
    if (score >= 2)
        return 1;
    return 0;
}

PerformanceReport analyzeModPerformance(const QString &folder)
{
    PerformanceReport report;
    if (folder.trimmed().isEmpty())
        return report;
    // Relative paths in the report and the blob lookups need an absolute root, whatever the working folder.
    const QString root = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    if (!QFileInfo(root).isDir())
        return report;
    const QDir rootDir(root);

    MeshTable meshes;
    QStringList modelFiles;
    QStringList materialFiles;
    QStringList textureFiles;

    QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QFileInfo info = it.fileInfo();
        const qint64 size = info.size();
        report.totalBytes = saturatingAdd(report.totalBytes, size);
        const QString lowerName = info.fileName().toLower();
        const qsizetype dot = lowerName.lastIndexOf(QLatin1Char('.'));
        const QString suffix = dot < 0 ? QString() : lowerName.mid(dot + 1);

        if (lowerName.endsWith(QLatin1String(".msh.blob"))) {
            ++report.meshBlobCount;
            report.meshBlobBytes = saturatingAdd(report.meshBlobBytes, size);
        } else if (suffix == QLatin1String("msh")) {
            ++report.meshCount;
            MeshStats stats = parseMeshText(path);
            stats.path = rootDir.relativeFilePath(path);
            QString key = meshKey(path);
            if (meshes.byKey.contains(key))
                key = normalizeResourcePath(stats.path);
            meshes.insert(key, stats);
            if (stats.tris > report.largestMeshTris) {
                report.largestMeshTris = stats.tris;
                report.largestMeshName = stats.path;
            }
            if (stats.vertices > report.mostVerticesCount) {
                report.mostVerticesCount = stats.vertices;
                report.mostVerticesName = stats.path;
            }
        } else if (suffix == QLatin1String("mdl")) {
            ++report.modelCount;
            modelFiles.append(path);
        } else if (suffix == QLatin1String("mtl")) {
            ++report.materialCount;
            materialFiles.append(path);
        } else if (isTextureSuffix(suffix)) {
            ++report.textureCount;
            report.textureBytes = saturatingAdd(report.textureBytes, size);
            textureFiles.append(path);
        }
    }

    for (const MeshStats &stats : std::as_const(meshes.byKey)) {
        if (!QFileInfo::exists(root + QLatin1Char('/') + stats.path + QLatin1String(".blob")))
            ++report.meshesWithoutBlob;
    }

    for (const QString &path : std::as_const(materialFiles)) {
        const QByteArray text = readResourceText(path);
        if (countFlagAssignments(text, QLatin1String("sorted"), QLatin1String("true")) > 0)
            ++report.sortedMaterials;
        report.noScaleDownSamplers = saturatingAdd(
            report.noScaleDownSamplers,
            countFlagAssignments(text, QLatin1String("scaleDownAllowed"), QLatin1String("false")));
    }

    for (const QString &path : std::as_const(textureFiles)) {
        const QSize size = readImageSize(path);
        if (!size.isValid())
            continue;
        const int larger = qMax(size.width(), size.height());
        if (larger > 4096)
            ++report.texturesOver4096;
        if (larger >= 8192)
            ++report.texturesFrom8192;
    }

    for (const QString &path : std::as_const(modelFiles)) {
        const QByteArray text = readResourceText(path);
        if (text.isEmpty())
            continue;
        ModelPerformance model = analyzeModel(rootDir.relativeFilePath(path), text, meshes);
        if (!model.lods.isEmpty())
            report.models.append(model);
    }

    ratePerformanceReport(report);
    return report;
}

void ratePerformanceReport(PerformanceReport &report)
{
    report.topLod0Tris = 0;
    report.topLod0DrawCalls = 0;
    report.topLod0Model.clear();
    report.modelsWithoutLods = 0;
    report.weakReductionSteps = 0;
    report.detailedLastLods = 0;
    report.manyDrawCallModels = 0;
    int polycountLevel = 0;
    int drawCallLevel = 0;
    int noLodLevel = 0;
    int reductionLevel = 0;
    int lastLodLevel = 0;
    int lastLodDrawCallLevel = 0;
    QStringList findings;

    for (const ModelPerformance &model : std::as_const(report.models)) {
        if (model.lods.isEmpty())
            continue;
        const LodStats &lod0 = model.lods.constFirst();
        const LodStats &last = model.lods.constLast();
        const int lod0DrawCalls = lod0.potentialDrawCalls();

        if (lod0.tris > report.topLod0Tris ||
            (lod0.tris == report.topLod0Tris && lod0DrawCalls > report.topLod0DrawCalls)) {
            report.topLod0Tris = lod0.tris;
            report.topLod0DrawCalls = lod0DrawCalls;
            report.topLod0Model = model.name;
        }

        const qint64 veryHighLimit = model.isVehicle ? 250000 : 400000;
        const qint64 highLimit = model.isVehicle ? 150000 : 250000;
        const qint64 raisedLimit = model.isVehicle ? 100000 : 150000;
        const QString tris = QString::number(lod0.tris);
        if (lod0.tris > veryHighLimit) {
            polycountLevel = qMax(polycountLevel, 4);
            findings.append(tr("Sehr hoher LOD0-Polycount: %1 Tris in %2").arg(tris, model.name));
        } else if (lod0.tris > highLimit) {
            polycountLevel = qMax(polycountLevel, 3);
            findings.append(tr("Hoher LOD0-Polycount: %1 Tris in %2").arg(tris, model.name));
        } else if (lod0.tris > raisedLimit) {
            polycountLevel = qMax(polycountLevel, 2);
            findings.append(tr("Erhöhter LOD0-Polycount: %1 Tris in %2").arg(tris, model.name));
        }

        if (lod0DrawCalls >= 61) {
            drawCallLevel = qMax(drawCallLevel, 3);
            findings.append(tr("Sehr viele potenzielle Draw Calls in LOD0: %1 in %2")
                                .arg(QString::number(lod0DrawCalls), model.name));
        } else if (lod0DrawCalls >= 36) {
            drawCallLevel = qMax(drawCallLevel, 2);
            findings.append(tr("Viele potenzielle Draw Calls in LOD0: %1 in %2")
                                .arg(QString::number(lod0DrawCalls), model.name));
        } else if (lod0DrawCalls >= 21) {
            drawCallLevel = qMax(drawCallLevel, 1);
        }
        if (lod0DrawCalls >= 21)
            ++report.manyDrawCallModels;

        if (model.lods.size() == 1 && lod0.tris > 20000) {
            noLodLevel = qMax(noLodLevel, lod0.tris > 50000 ? 2 : 1);
            ++report.modelsWithoutLods;
            findings.append(
                tr("Detailreiches Modell ohne zusätzliche LOD-Stufen: %1 (%2 Tris)").arg(model.name, tris));
        }

        for (qsizetype k = 1; k < model.lods.size(); ++k) {
            const qint64 previous = model.lods.at(k - 1).tris;
            const qint64 current = model.lods.at(k).tris;
            if (previous < 1001 || current < 1001)
                continue;
            const double ratio = double(current) / double(previous);
            if (ratio > 0.75) {
                reductionLevel = qMax(reductionLevel, 2);
                ++report.weakReductionSteps;
                findings.append(tr("Kaum Polygon-Reduktion von LOD%1 zu LOD%2 in %3 (%4 → %5 Tris)")
                                    .arg(QString::number(k - 1), QString::number(k), model.name,
                                         QString::number(previous), QString::number(current)));
            } else if (ratio > 0.55) {
                reductionLevel = qMax(reductionLevel, 1);
                ++report.weakReductionSteps;
            }
        }

        if (model.lods.size() >= 2) {
            if (last.tris > 15000) {
                lastLodLevel = qMax(lastLodLevel, 2);
                ++report.detailedLastLods;
                findings.append(tr("Letzte LOD-Stufe bleibt sehr detailliert: %1 Tris in %2")
                                    .arg(QString::number(last.tris), model.name));
            } else if (last.tris > 5000) {
                lastLodLevel = qMax(lastLodLevel, 1);
                ++report.detailedLastLods;
            }
            if (last.potentialDrawCalls() >= 13) {
                lastLodDrawCallLevel = qMax(lastLodDrawCallLevel, 1);
                findings.append(
                    tr("Letzte LOD-Stufe verwendet weiterhin viele potenzielle Draw Calls: %1 in %2")
                        .arg(QString::number(last.potentialDrawCalls()), model.name));
            }
        }
    }

    int score =
        polycountLevel + drawCallLevel + noLodLevel + reductionLevel + lastLodLevel + lastLodDrawCallLevel;
    if (report.manyDrawCallModels >= 5)
        ++score;
    if (report.modelsWithoutLods >= 5)
        ++score;

    if (report.meshesWithoutBlob > 0) {
        score += 3;
        findings.prepend(
            tr("%1 Mesh-Dateien besitzen keine gleichnamige .msh.blob-Datei.").arg(report.meshesWithoutBlob));
    }
    if (report.sortedMaterials >= 16) {
        score += 2;
        findings.append(tr("Sehr viele Materialien verwenden sorted=true: %1").arg(report.sortedMaterials));
    } else if (report.sortedMaterials >= 6) {
        score += 1;
        findings.append(tr("Mehrere Materialien verwenden sorted=true: %1").arg(report.sortedMaterials));
    }
    if (report.noScaleDownSamplers >= 11) {
        score += 2;
        findings.append(
            tr("Texture-Streaming ist bei vielen Samplern deaktiviert: %1× scaleDownAllowed=false")
                .arg(report.noScaleDownSamplers));
    } else if (report.noScaleDownSamplers >= 4) {
        score += 1;
        findings.append(
            tr("Texture-Streaming ist bei mehreren Samplern deaktiviert: %1× scaleDownAllowed=false")
                .arg(report.noScaleDownSamplers));
    }
    if (report.texturesFrom8192 >= 5) {
        score += 2;
        findings.append(
            tr("Viele sehr große Texturen (8192 px oder größer): %1").arg(report.texturesFrom8192));
    } else if (report.texturesFrom8192 >= 1) {
        score += 1;
        findings.append(
            tr("Sehr große Texturen (8192 px oder größer) gefunden: %1").arg(report.texturesFrom8192));
    }
    if (report.textureBytes > oneGiB) {
        score += 2;
        findings.append(tr("Sehr hoher Texturspeicher im Mod: %1").arg(formatByteSize(report.textureBytes)));
    } else if (report.textureBytes > halfGiB) {
        score += 1;
        findings.append(tr("Hoher Texturspeicher im Mod: %1").arg(formatByteSize(report.textureBytes)));
    }
    if (report.totalBytes > twoGiB) {
        score += 1;
        findings.append(tr("Sehr großer entpackter Mod: %1").arg(formatByteSize(report.totalBytes)));
    }
    // Without any model the largest mesh is the only hint at the geometry's weight.
    if (report.topLod0Tris == 0 && report.largestMeshTris > 250000) {
        score += report.largestMeshTris > 500000 ? 3 : 2;
        findings.append(tr("Sehr großes Einzel-Mesh: %1 Tris (%2)")
                            .arg(QString::number(report.largestMeshTris), report.largestMeshName));
    }

    report.score = score;
    report.rating = performanceRatingForScore(score);

    if (findings.size() > maxShownFindings) {
        const qsizetype removed = findings.size() - maxShownFindings;
        findings.resize(maxShownFindings);
        findings.append(tr("… und %1 weitere Hinweise.").arg(removed));
    }
    report.findings = findings;

    std::stable_sort(report.models.begin(), report.models.end(),
                     [](const ModelPerformance &a, const ModelPerformance &b) {
                         const qint64 aTris = a.lods.isEmpty() ? 0 : a.lods.constFirst().tris;
                         const qint64 bTris = b.lods.isEmpty() ? 0 : b.lods.constFirst().tris;
                         return aTris > bTris;
                     });
}
