#pragma once

#include <QByteArrayView>
#include <QString>

// What a mesh file (".msh") says about its geometry.
struct MeshStats
{
    qint64 tris = 0;
    qint64 vertices = 0;
    int subMeshes = 0;
    QString path; // relative to the analysed folder, with '/' separators
};

// Triangles from the position index counts of all sub-meshes, vertices from the position attribute. The
// returned path is the given one; callers that know the analysed folder replace it by the relative path.
MeshStats parseMeshText(const QString &path);
MeshStats meshStatsFromText(QByteArrayView utf8);
