#include "analysis/performancereport.h"

#include "analysis/bytesize.h"

#include <QCoreApplication>
#include <QStringList>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("MainWindow", text);
}

int clampedRating(int rating)
{
    return qBound(0, rating, 3);
}

} // namespace

QString performanceRatingLabel(int rating)
{
    switch (clampedRating(rating)) {
    case 0:
        return tr("Unauffällig");
    case 1:
        return tr("Erhöhte Anforderungen");
    case 2:
        return tr("Performancekritisch");
    default:
        return tr("Sehr performanceintensiv");
    }
}

QString performanceRatingMark(int rating)
{
    switch (clampedRating(rating)) {
    case 0:
        return QStringLiteral("🟢");
    case 1:
        return QStringLiteral("🟡");
    case 2:
        return QStringLiteral("🟠");
    default:
        return QStringLiteral("🔴");
    }
}

QString performanceReportText(const PerformanceReport &report, const QString &modName)
{
    QStringList lines;
    lines << tr("Mod: %1").arg(modName);
    lines << tr("Bewertung: %1 %2")
                 .arg(performanceRatingMark(report.rating), performanceRatingLabel(report.rating));
    lines << QString();
    lines << tr("Analysiert: %1 Modelle • %2 Meshes • %3 Materialien • %4 Texturen")
                 .arg(report.modelCount)
                 .arg(report.meshCount)
                 .arg(report.materialCount)
                 .arg(report.textureCount);
    lines << tr("Entpackte Größe: %1 • Mesh-Daten: %2 • Texturen: %3")
                 .arg(formatByteSize(report.totalBytes), formatByteSize(report.meshBlobBytes),
                      formatByteSize(report.textureBytes));
    if (report.topLod0Tris > 0)
        lines << tr("Höchster LOD0-Wert: %1 Tris • ca. %2 Draw Calls • %3")
                     .arg(QString::number(report.topLod0Tris), QString::number(report.topLod0DrawCalls),
                          report.topLod0Model);
    if (report.largestMeshTris > 0)
        lines << tr("Größtes Einzel-Mesh: %1 Tris • %2")
                     .arg(QString::number(report.largestMeshTris), report.largestMeshName);
    if (report.mostVerticesCount > 0)
        lines << tr("Höchste Vertex-Zahl eines Meshes: %1 • %2")
                     .arg(QString::number(report.mostVerticesCount), report.mostVerticesName);
    if (report.texturesOver4096 > 0 || report.texturesFrom8192 > 0)
        lines << tr("Große Texturen: %1 über 4096 px, davon %2 mit 8192 px oder mehr")
                     .arg(report.texturesOver4096)
                     .arg(report.texturesFrom8192);
    if (report.sortedMaterials > 0)
        lines << tr("Materialien mit sorted=true: %1").arg(report.sortedMaterials);
    if (report.noScaleDownSamplers > 0)
        lines << tr("Sampler mit scaleDownAllowed=false: %1").arg(report.noScaleDownSamplers);

    lines << QString() << tr("Hinweise:");
    if (!report.findings.isEmpty()) {
        for (const QString &finding : report.findings)
            lines << QStringLiteral("• ") + finding;
    } else if (report.modelCount > 0 || report.meshCount > 0) {
        lines << QStringLiteral("• ") +
                     tr("Keine auffälligen Werte in den statisch auswertbaren Ressourcen gefunden.");
    } else {
        lines
            << QStringLiteral("• ") +
                   tr("Keine auswertbaren 3D-Modellressourcen gefunden. Script-/Datenmods können mit diesem "
                      "Grafik-Check nur eingeschränkt bewertet werden.");
    }

    if (!report.models.isEmpty()) {
        lines << QString() << tr("Modelle mit den höchsten LOD0-Werten:");
        const qsizetype shown = qMin<qsizetype>(report.models.size(), reportedTopModels);
        for (qsizetype i = 0; i < shown; ++i) {
            const ModelPerformance &model = report.models.at(i);
            const LodStats lod0 = model.lods.isEmpty() ? LodStats() : model.lods.constFirst();
            lines << tr("%1. %2 — %3 Tris, ca. %4 Draw Calls, %5 LOD(s)")
                         .arg(QString::number(i + 1), model.name, QString::number(lod0.tris),
                              QString::number(lod0.potentialDrawCalls()), QString::number(model.lods.size()));
        }
    }

    lines << QString()
          << tr("Der Performance-Check ist eine statische Vorprüfung. Er kann problematische Modelle, LODs, "
                "Materialien und Texturen erkennen, ersetzt aber keinen Test im Spiel und ist kein "
                "Qualitätsurteil über den Mod.");
    return lines.join(QLatin1Char('\n'));
}
