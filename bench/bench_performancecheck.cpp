// Times the performance check of a large generated mod against merely reading the same files, in one run.
// The mod has the shape of a big vehicle pack: meshes with many sub-meshes, models with three LODs of many
// parts, materials, DDS textures and the mesh data files beside the meshes. The data goes to the temporary
// folder (TMPDIR); on a disk that discards freed blocks, writing and removing it can take minutes, and a
// memory file system such as TMPDIR=/dev/shm avoids that without changing the comparison.

#include "analysis/bytesize.h"
#include "analysis/performancecheck.h"
#include "benchharness.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>

namespace {

constexpr int modelCount = 1000;
constexpr int lodCount = 3;
constexpr int meshesPerLod = 4;
constexpr int childrenPerLod = 48; // children reuse the LOD's meshes, like the wheels of a wagon
constexpr int subMeshesPerMesh = 48;
constexpr int materialCount = 4000;
constexpr int textureCount = 1300;
constexpr int textureBytes = 128 * 1024;
constexpr int blobBytes = 512;

struct Volume
{
    qint64 files = 0;
    qint64 bytes = 0;
    qint64 textBytes = 0;
};

bool writeFile(const QString &path, const QByteArray &content, Volume &volume, bool isText)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        return false;
    ++volume.files;
    volume.bytes += content.size();
    if (isText)
        volume.textBytes += content.size();
    return true;
}

QByteArray meshText(int seed)
{
    QByteArray text = "function data()\nreturn {\n\tsubMeshes = {\n";
    for (int s = 0; s < subMeshesPerMesh; ++s) {
        const QByteArray count = QByteArray::number(300 + (seed * 7 + s * 13) % 900);
        text += "\t\t{\n\t\t\tindices = {\n";
        for (const char *attribute : {"normal", "position", "tangent", "uv0"})
            text += QByteArray("\t\t\t\t") + attribute + " = {\n\t\t\t\t\tcount = " + count +
                    ",\n\t\t\t\t\toffset = " + QByteArray::number(s * 4096) + ",\n\t\t\t\t},\n";
        text += "\t\t\t},\n\t\t\tmaterials = { \"vehicle/pack/m" +
                QByteArray::number((seed + s) % materialCount) + ".mtl\", },\n\t\t},\n";
    }
    text += "\t},\n\tvertexAttr = {\n";
    for (const char *attribute : {"normal", "position", "tangent", "uv0"})
        text += QByteArray("\t\t") + attribute +
                " = {\n\t\t\tcount = " + QByteArray::number(9000 + seed % 5000) +
                ",\n\t\t\tnumComp = 3,\n\t\t\toffset = 0,\n\t\t},\n";
    text += "\t},\n}\nend\n";
    return text;
}

QByteArray meshName(int model, int lod, int part)
{
    return "vehicle/pack/model" + QByteArray::number(model) + "/part" + QByteArray::number(part) + "_lod" +
           QByteArray::number(lod) + ".msh";
}

QByteArray modelText(int model)
{
    QByteArray text =
        "function data()\nreturn {\n\tboundingInfo = {\n\t\tbbMax = { 5, 1.5, 4.4, },\n"
        "\t\tbbMin = { -5, -1.5, 0, },\n\t},\n\tcollider = { params = { }, type = \"MESH\", },\n"
        "\tlods = {\n";
    for (int lod = 0; lod < lodCount; ++lod) {
        text += "\t\t{\n\t\t\tnode = {\n\t\t\t\tchildren = {\n";
        for (int child = 0; child < childrenPerLod; ++child) {
            const int part = child % meshesPerLod;
            text +=
                "\t\t\t\t\t{\n\t\t\t\t\t\t_meshId = " + QByteArray::number(part) +
                ",\n\t\t\t\t\t\tanimations = {\n\t\t\t\t\t\t\topen_doors = {\n\t\t\t\t\t\t\t\tparams = {\n"
                "\t\t\t\t\t\t\t\t\tid = \"vehicle/pack/door.ani\", -- opens { the doors\n"
                "\t\t\t\t\t\t\t\t},\n\t\t\t\t\t\t\t\ttype = \"FILE_REF\",\n\t\t\t\t\t\t\t},\n"
                "\t\t\t\t\t\t},\n\t\t\t\t\t\tmaterials = { \"vehicle/pack/m" +
                QByteArray::number((model + part) % materialCount) +
                ".mtl\", \"vehicle/pack/glass.mtl\", },\n" + "\t\t\t\t\t\tmesh = \"" +
                meshName(model, lod, part) + "\",\n\t\t\t\t\t\tname = \"part" + QByteArray::number(part) +
                "\",\n\t\t\t\t\t\ttransf = { 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 2.5441, 0, 0.47, 1, },\n"
                "\t\t\t\t\t},\n";
        }
        text += "\t\t\t\t},\n\t\t\t\tname = \"RootNode\",\n\t\t\t\ttransf = { 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, "
                "1, 0, 0, "
                "0, 0, 1, },\n\t\t\t},\n\t\t\tstatic = false,\n\t\t\tvisibleFrom = " +
                QByteArray::number(lod * 150) +
                ",\n\t\t\tvisibleTo = " + QByteArray::number((lod + 1) * 400) + ",\n\t\t},\n";
    }
    text += "\t},\n\tmetadata = {\n\t\tdescription = { name = _(\"Pack model\"), },\n\t},\n}\nend\n";
    return text;
}

QByteArray materialText(int index)
{
    QByteArray text = "function data()\nreturn {\n\torder = 0,\n\tparams = {\n";
    for (const char *map : {"map_albedo", "map_metal_gloss_ao", "map_normal"})
        text += QByteArray("\t\t") + map + " = {\n\t\t\tfileName = \"vehicle/pack/t" +
                QByteArray::number(index % textureCount) +
                ".dds\",\n\t\t\ttype = \"TWOD\",\n\t\t\twrapS = "
                "\"REPEAT\",\n\t\t\twrapT = \"REPEAT\",\n\t\t\tscaleDownAllowed = " +
                (index % 500 == 0 ? "false" : "true") + ",\n\t\t},\n";
    text += "\t\tpolygon_offset = { factor = 0, forceDepthWrite = false, units = 0, },\n"
            "\t\ttwo_sided = { flipNormal = false, twoSided = false, },\n\t},\n\tsorted = " +
            QByteArray(index % 700 == 0 ? "true" : "false") + ",\n\ttype = \"PHYSICAL_NRML_MAP\",\n}\nend\n";
    return text;
}

QByteArray ddsTexture(int index)
{
    QByteArray data(textureBytes, '\x5a');
    const quint32 side = index % 97 == 0 ? 8192 : 2048;
    data.replace(0, 4, "DDS ");
    for (int i = 0; i < 4; ++i) {
        data[12 + i] = char((side >> (8 * i)) & 0xff);
        data[16 + i] = char((side >> (8 * i)) & 0xff);
    }
    return data;
}

bool generateMod(const QString &root, Volume &volume)
{
    const QString meshRoot = root + QStringLiteral("/res/models/mesh/");
    const QString modelRoot = root + QStringLiteral("/res/models/model/vehicle/pack/");
    const QString materialRoot = root + QStringLiteral("/res/models/material/vehicle/pack/");
    const QString textureRoot = root + QStringLiteral("/res/textures/vehicle/pack/");
    if (!QDir().mkpath(modelRoot) || !QDir().mkpath(materialRoot) || !QDir().mkpath(textureRoot))
        return false;
    const QByteArray blob(blobBytes, '\x01');
    for (int model = 0; model < modelCount; ++model) {
        if (!QDir().mkpath(meshRoot + QStringLiteral("vehicle/pack/model%1").arg(model)))
            return false;
        for (int lod = 0; lod < lodCount; ++lod) {
            for (int part = 0; part < meshesPerLod; ++part) {
                const QString path = meshRoot + QString::fromLatin1(meshName(model, lod, part));
                if (!writeFile(path, meshText(model * 31 + lod * 7 + part), volume, true))
                    return false;
                // A few meshes lack their data file, as in careless packs.
                if ((model + part) % 1000 != 0 &&
                    !writeFile(path + QStringLiteral(".blob"), blob, volume, false))
                    return false;
            }
        }
        if (!writeFile(modelRoot + QStringLiteral("model%1.mdl").arg(model), modelText(model), volume, true))
            return false;
    }
    for (int i = 0; i < materialCount; ++i) {
        if (!writeFile(materialRoot + QStringLiteral("m%1.mtl").arg(i), materialText(i), volume, true))
            return false;
    }
    for (int i = 0; i < textureCount; ++i) {
        if (!writeFile(textureRoot + QStringLiteral("t%1.dds").arg(i), ddsTexture(i), volume, false))
            return false;
    }
    return true;
}

// The floor any analysis has to pay: find every file and read all of it. With textOnly, only the model, mesh
// and material texts are read (still walking the whole tree), the part of the work that has to be parsed.
qint64 readEverything(const QString &root, bool textOnly = false)
{
    qint64 bytes = 0;
    QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (textOnly && !path.endsWith(QLatin1String(".msh")) && !path.endsWith(QLatin1String(".mdl")) &&
            !path.endsWith(QLatin1String(".mtl")))
            continue;
        QFile file(path);
        if (file.open(QIODevice::ReadOnly))
            bytes += file.readAll().size();
    }
    return bytes;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/bench_performancecheck-XXXXXX"));
    if (!dir.isValid()) {
        std::fprintf(stderr, "Could not create a temporary folder.\n");
        return 1;
    }
    const QString root = dir.path() + QStringLiteral("/BigPack");

    QElapsedTimer generation;
    generation.start();
    Volume volume;
    if (!generateMod(root, volume)) {
        std::fprintf(stderr, "Could not write the generated mod below %s.\n", qPrintable(root));
        return 1;
    }
    std::printf("Generated mod: %lld files, %s (%s of .msh/.mdl/.mtl text) in %.1f s\n",
                static_cast<long long>(volume.files), qPrintable(formatByteSize(volume.bytes)),
                qPrintable(formatByteSize(volume.textBytes)), double(generation.elapsed()) / 1000.0);

    // Alternating rounds expose both to the same machine load; each keeps its fastest round.
    PerformanceReport report;
    bench::Result read;
    bench::Result analysis;
    bench::fastestAlternating([&] { bench::keep(readEverything(root)); },
                              [&] { report = analyzeModPerformance(root); }, 3, &read, &analysis);

    bench::Result readText;
    bench::Result analysisAgain;
    bench::fastestAlternating([&] { bench::keep(readEverything(root, true)); },
                              [&] { bench::keep(analyzeModPerformance(root).score); }, 3, &readText,
                              &analysisAgain);

    bench::report("read every file completely", read, "pass");
    bench::report("read only the .msh/.mdl/.mtl texts", readText, "pass");
    bench::report("analyzeModPerformance", analysis, "pass");
    const double mib = double(volume.bytes) / (1024.0 * 1024.0);
    std::printf("throughput: reading %.0f MiB/s, analysis %.0f MiB/s (%s time)\n",
                mib / (read.nanosecondsPerOperation() / 1e9),
                mib / (analysis.nanosecondsPerOperation() / 1e9), analysis.clockName());
    std::printf("analysis / reading ratio: %.2f by %s time, %.2f by wall time (target <= 3)\n",
                bench::ratio(analysis, read), analysis.clockName(),
                read.nanoseconds > 0 ? double(analysis.nanoseconds) / double(read.nanoseconds) : 0.0);
    std::printf("analysis / reading the texts only: %.2f by %s time\n", bench::ratio(analysisAgain, readText),
                analysisAgain.clockName());
    std::printf("report: %d models, %d meshes (%d without data file), %d materials, %d textures, score %d, "
                "rating %d, %lld findings\n",
                report.modelCount, report.meshCount, report.meshesWithoutBlob, report.materialCount,
                report.textureCount, report.score, report.rating,
                static_cast<long long>(report.findings.size()));

    QElapsedTimer cleanup;
    cleanup.start();
    if (!dir.remove()) {
        std::fprintf(stderr, "Could not remove %s.\n", qPrintable(dir.path()));
        return 1;
    }
    std::printf("generated data removed in %.1f s\n", double(cleanup.elapsed()) / 1000.0);
    return 0;
}
