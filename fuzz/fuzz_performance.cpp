// The performance check's scanners over the game's Lua resources, the mesh statistics and the rating of a
// whole mod. The input is a mesh, a model and a material separated by NUL bytes. Each part is scanned in
// memory; then a small mod made of them (the mesh twice, one copy without its blob) is analysed as a whole.

#include "analysis/luatables.h"
#include "analysis/meshstats.h"
#include "analysis/performancecheck.h"
#include "analysis/performancereport.h"
#include "fuzzinput.h"

namespace {

// The byte and the text versions of the brace matching must see the same structure: every piece of Lua
// syntax is ASCII, which neither UTF-8 nor its decoding ever changes.
void scanBothWays(QByteArrayView bytes)
{
    const QString text = QString::fromUtf8(bytes);
    for (const char *key : {"lods", "subMeshes", "children"}) {
        if (childTables(bytes, QLatin1String(key)).size() !=
            childTables(text, QString::fromLatin1(key)).size())
            std::abort();
    }
    const qsizetype byteOpen = bytes.indexOf('{');
    const qsizetype textOpen = text.indexOf(QLatin1Char('{'));
    if ((matchingBrace(bytes, byteOpen) < 0) != (matchingBrace(text, textOpen) < 0))
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QList<QByteArray> parts = fuzzParts(fuzzBytes(data, size), 3);
    for (const QByteArray &part : parts) {
        scanBothWays(part);
        const MeshStats stats = meshStatsFromText(part);
        if (stats.tris < 0 || stats.vertices < 0 || stats.subMeshes < 0)
            std::abort();
    }

    const QString root = fuzzFolder() + QStringLiteral("/mod");
    const QString mesh = root + QStringLiteral("/res/models/mesh/");
    writeFuzzFile(mesh + QStringLiteral("a/part.msh"), parts.at(0));
    writeFuzzFile(mesh + QStringLiteral("a/part.msh.blob"), QByteArrayLiteral("blob"));
    writeFuzzFile(mesh + QStringLiteral("b/part.msh"), parts.at(0));
    writeFuzzFile(root + QStringLiteral("/res/models/model/vehicle/train.mdl"), parts.at(1));
    writeFuzzFile(root + QStringLiteral("/res/models/material/part.mtl"), parts.at(2));
    const PerformanceReport report = analyzeModPerformance(root);
    if (report.rating < 0 || report.rating > 3 || report.topLod0Tris < 0)
        std::abort();
    for (const ModelPerformance &model : report.models) {
        for (const LodStats &lod : model.lods) {
            if (lod.tris < 0 || lod.vertices < 0)
                std::abort();
        }
    }
    performanceReportText(report, QStringLiteral("Fuzz"));
    return 0;
}
