#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// One level of detail of a model: the sums over the meshes it references.
struct LodStats
{
    int index = 0;
    qint64 tris = 0;
    qint64 vertices = 0;
    int meshRefs = 0;
    int materialRefs = 0;
    double visibleFrom = -1.0; // -1 when the model does not say
    double visibleTo = -1.0;

    // Each mesh and each material may cost a draw call; the larger count is what the LOD may need.
    int potentialDrawCalls() const { return meshRefs > materialRefs ? meshRefs : materialRefs; }
};

struct ModelPerformance
{
    QString name; // relative to the analysed folder, with '/' separators
    bool isVehicle = false;
    QList<LodStats> lods;
};

// The static estimate of how heavy a mod's 3D content is for the game.
struct PerformanceReport
{
    int score = 0;
    int rating = 0; // 0..3
    qint64 totalBytes = 0;
    qint64 meshBlobBytes = 0;
    qint64 textureBytes = 0;
    int modelCount = 0;
    int meshCount = 0;
    int meshBlobCount = 0;
    int materialCount = 0;
    int textureCount = 0;
    int meshesWithoutBlob = 0;
    int sortedMaterials = 0;
    int noScaleDownSamplers = 0;
    int texturesOver4096 = 0;
    int texturesFrom8192 = 0;
    qint64 largestMeshTris = 0;
    QString largestMeshName;
    qint64 mostVerticesCount = 0;
    QString mostVerticesName;
    qint64 topLod0Tris = 0;
    int topLod0DrawCalls = 0;
    QString topLod0Model;
    int modelsWithoutLods = 0;
    int weakReductionSteps = 0;
    int detailedLastLods = 0;
    int manyDrawCallModels = 0;
    QStringList findings;
    QList<ModelPerformance> models; // highest LOD0 triangle count first
};

// Reads every model, mesh, material and texture below folder and rates them. A missing folder gives an
// empty report with rating 0.
PerformanceReport analyzeModPerformance(const QString &folder);

// Completes a report whose file counters and models are filled: derives the top model, the model counters,
// the score, the rating and the findings (capped), and sorts the models. Derived fields are recomputed, so
// calling it again gives the same result. analyzeModPerformance ends with this.
void ratePerformanceReport(PerformanceReport &report);

// 0 below 2 points, 1 up to 4, 2 up to 7, 3 from 8 on.
int performanceRatingForScore(int score);

// The findings list shows at most this many entries before a closing "… and n more" line.
inline constexpr int maxShownFindings = 18;
