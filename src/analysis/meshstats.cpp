#include "analysis/meshstats.h"

#include "analysis/luascan.h"
#include "analysis/luatables.h"
#include "analysis/resourcefiles.h"
#include "analysis/saturating.h"

namespace {

// Index of the first "{" or "}" at or after from, or the size of the text.
qsizetype nextBrace(QByteArrayView text, qsizetype from)
{
    for (qsizetype i = from; i < text.size(); ++i) {
        if (text.at(i) == '{' || text.at(i) == '}')
            return i;
    }
    return text.size();
}

// Sum of `\bposition\s*=\s*\{[^{}]*?\bcount\s*=\s*(\d+)` over all matches: the index counts of the
// sub-meshes.
qint64 sumPositionIndexCounts(QByteArrayView block)
{
    WordFinder position(block, QLatin1String("position"));
    WordFinder count(block, QLatin1String("count"));
    qint64 sum = 0;
    qsizetype from = 0;
    while (true) {
        qsizetype keyStart = -1;
        const qsizetype open = findTableAssignment(position, from, &keyStart);
        if (open < 0)
            return sum;
        // The count must lie in the flat part of the table, before any nested or closing brace; an assignment
        // cannot contain a brace, so a count that starts there ends there, too.
        const qsizetype flatEnd = nextBrace(block, open + 1);
        QByteArrayView digits;
        qsizetype countStart = -1;
        const qsizetype end = findNumberAssignment(count, open + 1, &digits, &countStart);
        if (end < 0 || countStart >= flatEnd) {
            from = keyStart + 1;
            continue;
        }
        sum = saturatingAdd(sum, countValue(digits));
        from = end;
    }
}

// The body of the first `\bposition\s*=\s*\{([^{}]*)\}`, or a null view.
QByteArrayView flatPositionTable(QByteArrayView block)
{
    const QLatin1String position("position");
    qsizetype from = 0;
    while (true) {
        qsizetype keyStart = -1;
        const qsizetype open = findTableAssignment(block, position, from, &keyStart);
        if (open < 0)
            return QByteArrayView();
        const qsizetype close = nextBrace(block, open + 1);
        if (close < block.size() && block.at(close) == '}')
            return block.sliced(open + 1, close - open - 1);
        from = keyStart + 1;
    }
}

} // namespace

MeshStats parseMeshText(const QString &path)
{
    MeshStats stats = meshStatsFromText(readResourceText(path));
    stats.path = path;
    return stats;
}

MeshStats meshStatsFromText(QByteArrayView view)
{
    MeshStats stats;
    const QLatin1String vertexAttr("vertexAttr");

    const qsizetype subMeshesOpen = findTableAssignment(view, QLatin1String("subMeshes"), 0);
    if (subMeshesOpen >= 0) {
        qsizetype end = matchingBrace(view, subMeshesOpen);
        if (end < 0) {
            // An unclosed table still yields the sub-meshes that precede the vertex attributes.
            qsizetype attrStart = -1;
            end = findTableAssignment(view, vertexAttr, subMeshesOpen, &attrStart) >= 0 ? attrStart
                                                                                        : view.size();
        } else {
            ++end;
        }
        const QByteArrayView block = view.sliced(subMeshesOpen, end - subMeshesOpen);
        stats.tris = sumPositionIndexCounts(block) / 3;
        WordFinder indices(block, QLatin1String("indices"));
        for (qsizetype open = findTableAssignment(indices, 0); open >= 0;
             open = findTableAssignment(indices, open + 1))
            ++stats.subMeshes;
    }

    const qsizetype attrOpen = findTableAssignment(view, vertexAttr, 0);
    if (attrOpen >= 0) {
        const qsizetype close = matchingBrace(view, attrOpen);
        const qsizetype end = close < 0 ? view.size() : close + 1;
        const QByteArrayView body = flatPositionTable(view.sliced(attrOpen, end - attrOpen));
        if (!body.isNull()) {
            QByteArrayView digits;
            const qint64 count =
                findNumberAssignment(body, QLatin1String("count"), 0, &digits) >= 0 ? countValue(digits) : 0;
            qint64 components = findNumberAssignment(body, QLatin1String("numComp"), 0, &digits) >= 0
                                    ? countValue(digits)
                                    : 3;
            if (components < 2)
                components = 1;
            stats.vertices = count / components;
        }
    }
    return stats;
}
