#include "analysis/imageheaders.h"
#include "analysis/luatables.h"
#include "analysis/meshstats.h"
#include "analysis/performancecheck.h"
#include "analysis/performanceprecheck.h"
#include "analysis/performancereport.h"
#include "analysis/resourcefiles.h"
#include "testsupport.h"

#include <QDir>
#include <QDirIterator>
#include <QSettings>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <limits>

namespace {

// A mesh file as the game writes it: one "indices" table per sub-mesh, then the vertex attributes.
QByteArray meshText(const QList<qint64> &indexCounts, qint64 positionCount, int numComp = 3)
{
    QByteArray text = "function data()\nreturn {\n\tsubMeshes = {\n";
    for (qint64 count : indexCounts)
        text +=
            "\t\t{\n\t\t\tindices = {\n\t\t\t\tnormal = { count = " + QByteArray::number(count) +
            ", offset = 0, },\n\t\t\t\tposition = {\n\t\t\t\t\tcount = " + QByteArray::number(count) +
            ",\n\t\t\t\t\toffset = 12,\n\t\t\t\t},\n\t\t\t},\n\t\t\tmaterials = { \"a.mtl\", },\n\t\t},\n";
    text += "\t},\n\tvertexAttr = {\n\t\tnormal = { count = 999, numComp = 3, },\n\t\tposition = "
            "{\n\t\t\tcount = " +
            QByteArray::number(positionCount) + ",\n";
    if (numComp >= 0)
        text += "\t\t\tnumComp = " + QByteArray::number(numComp) + ",\n";
    return text + "\t\t\toffset = 0,\n\t\t},\n\t},\n}\nend\n";
}

QByteArray meshWithTris(qint64 tris)
{
    return meshText({tris * 3}, tris * 3); // as many vertices as triangles
}

struct TestLod
{
    QStringList meshes;
    QStringList materials; // one per mesh child, as far as given
    double visibleTo = 100;
};

QByteArray modelText(const QList<TestLod> &lods)
{
    QByteArray text = "function data()\nreturn {\n\tlods = {\n";
    for (const TestLod &lod : lods) {
        text += "\t\t{\n\t\t\tnode = {\n\t\t\t\tchildren = {\n";
        for (qsizetype i = 0; i < lod.meshes.size(); ++i) {
            const QByteArray material = i < lod.materials.size()
                                            ? QByteArray("\"" + lod.materials.at(i).toUtf8() + "\", ")
                                            : QByteArray();
            text += "\t\t\t\t\t{ materials = { " + material + "}, mesh = \"" + lod.meshes.at(i).toUtf8() +
                    "\", },\n";
        }
        text += "\t\t\t\t},\n\t\t\t},\n\t\t\tvisibleFrom = 0,\n\t\t\tvisibleTo = " +
                QByteArray::number(lod.visibleTo) + ",\n\t\t},\n";
    }
    return text + "\t},\n}\nend\n";
}

template <typename T> QByteArray bytes(T value, bool bigEndian = false)
{
    QByteArray data(sizeof(T), '\0');
    if (bigEndian)
        qToBigEndian(value, data.data());
    else
        qToLittleEndian(value, data.data());
    return data;
}

QByteArray ddsHeader(quint32 width, quint32 height)
{
    return QByteArray("DDS " + bytes<quint32>(124) + bytes<quint32>(0x1007) + bytes(height) + bytes(width))
        .leftJustified(128, '\0');
}

QByteArray tgaHeader(quint16 width, quint16 height)
{
    return QByteArray(12, '\0') + bytes(width) + bytes(height) + QByteArray(66, '\0');
}

QByteArray pngHeader(quint32 width, quint32 height)
{
    return "\x89PNG\r\n\x1a\n" + bytes<quint32>(13, true) + "IHDR" + bytes(width, true) +
           bytes(height, true) + QByteArray(5, '\x08');
}

ModelPerformance model(const QString &name, const QList<qint64> &lodTris, int lod0DrawCalls = 1,
                       int lastDrawCalls = 1, bool vehicle = false)
{
    ModelPerformance result{name, vehicle, {}};
    for (qsizetype i = 0; i < lodTris.size(); ++i) {
        LodStats lod;
        lod.index = int(i);
        lod.tris = lodTris.at(i);
        lod.meshRefs = i == 0 ? lod0DrawCalls : (i == lodTris.size() - 1 ? lastDrawCalls : 1);
        result.lods.append(lod);
    }
    return result;
}

QList<ModelPerformance> models(int count, const QList<qint64> &lodTris, int lod0DrawCalls = 1)
{
    QList<ModelPerformance> result;
    for (int i = 0; i < count; ++i)
        result << model(QStringLiteral("m%1.mdl").arg(i), lodTris, lod0DrawCalls);
    return result;
}

void writeFiles(const QString &root, const QMap<QString, QByteArray> &files)
{
    for (auto it = files.cbegin(); it != files.cend(); ++it)
        QVERIFY2(writeTestFile(root + QLatin1Char('/') + it.key(), it.value()), qPrintable(it.key()));
}

} // namespace

class TestPerformanceCheck : public QObject
{
    Q_OBJECT

private slots:
    void matchingBrace_data();
    void matchingBrace();
    void childTables_data();
    void childTables();
    void meshes_data();
    void meshes();
    void modelLevels_data();
    void modelLevels();
    void modLevels_data();
    void modLevels();
    void findingsCap_data();
    void findingsCap();
    void lodsAndReferences();
    void absurdCounts();
    void blobsTexturesMaterials();
    void reportText();
    void preCheck_data();
    void preCheck();
};

void TestPerformanceCheck::matchingBrace_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("open");
    QTest::addColumn<int>("expected");
    QTest::newRow("nested") << "x = { { }, { { } } } y" << 4 << 19;
    QTest::newRow("unbalanced") << "{ { }" << 0 << -1;
    QTest::newRow("line comment") << "{ -- } closes nothing\n}" << 0 << 22;
    QTest::newRow("escaped quote") << "{ s = \"a\\\"}\" }" << 0 << 13;
    QTest::newRow("block comment") << "{ --[[ } \n } ]] }" << 0 << 16;
    QTest::newRow("long string with level") << "{ s = [==[ ]] } ]==] }" << 0 << 21;
    QTest::newRow("non-ASCII text") << "{ name = \"Gepäck}\", -- Übergänge {\n ü = { } }" << 0 << 44;
}

void TestPerformanceCheck::matchingBrace()
{
    QFETCH(QString, text);
    QFETCH(int, open);
    QFETCH(int, expected);
    QCOMPARE(::matchingBrace(text, open), qsizetype(expected));

    // The byte version used on files finds the same brace, counted in UTF-8 bytes.
    const QByteArray utf8 = text.toUtf8();
    const qsizetype byteOpen = open <= text.size() ? text.left(open).toUtf8().size() : utf8.size() + 1;
    const qsizetype byteExpected = expected < 0 ? -1 : text.left(expected).toUtf8().size();
    QCOMPARE(::matchingBrace(QByteArrayView(utf8), byteOpen), byteExpected);
}

void TestPerformanceCheck::childTables_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("three children") << "lods = { { a = 1 }, { b = { 2 } }, {} }"
                                    << QStringList{"{ a = 1 }", "{ b = { 2 } }", "{}"};
    QTest::newRow("longer name") << "maxlods = { { 1 } } lods = { { 2 } }" << QStringList{"{ 2 }"};
    QTest::newRow("key in comment or string")
        << "-- lods = { {0} }\ns = 'lods = {{0}}'\nlods = { { 1 } }" << QStringList{"{ 1 }"};
    QTest::newRow("braces in comments between children")
        << "lods = { {1}, -- { old }\n {2} --[[ { ]] }" << QStringList{"{1}", "{2}"};
}

void TestPerformanceCheck::childTables()
{
    QFETCH(QString, text);
    QFETCH(QStringList, expected);
    QCOMPARE(::childTables(text, QStringLiteral("lods")), expected);
    const QByteArray utf8 = text.toUtf8();
    QStringList fromBytes;
    for (QByteArrayView child : ::childTables(QByteArrayView(utf8), QLatin1String("lods")))
        fromBytes << QString::fromUtf8(child);
    QCOMPARE(fromBytes, expected);
}

void TestPerformanceCheck::meshes_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<qint64>("tris");
    QTest::addColumn<qint64>("vertices");
    QTest::addColumn<int>("subMeshes");
    QTest::newRow("three sub-meshes") << meshText({300, 600, 901}, 30) << qint64(600) << qint64(10) << 3;
    QTest::newRow("numComp 0 divides by 1") << meshText({3}, 99, 0) << qint64(1) << qint64(99) << 1;
    QByteArray unclosed = meshText({30, 60}, 12);
    unclosed.replace("\t},\n\tvertexAttr", "\tvertexAttr").replace("}\nend\n", "end\n");
    QTest::newRow("unclosed sub-meshes end at vertexAttr") << unclosed << qint64(30) << qint64(4) << 2;
    QTest::newRow("overlong number counts 0")
        << meshText({3}, 0).replace("count = 0,", "count = 99999999999999999999999,") << qint64(1)
        << qint64(0) << 1;
    QTest::newRow("sum stops at the largest count")
        << meshText({7173778250887047850, 7173778250887047850}, 30) << std::numeric_limits<qint64>::max() / 3
        << qint64(10) << 2;
}

void TestPerformanceCheck::meshes()
{
    QFETCH(QByteArray, content);
    QFETCH(qint64, tris);
    QFETCH(qint64, vertices);
    QFETCH(int, subMeshes);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Mesh Ü.msh"));
    QVERIFY(writeTestFile(path, content));
    const MeshStats stats = parseMeshText(path);
    QCOMPARE(stats.tris, tris);
    QCOMPARE(stats.vertices, vertices);
    QCOMPARE(stats.subMeshes, subMeshes);
}

void TestPerformanceCheck::modelLevels_data()
{
    QTest::addColumn<QList<ModelPerformance>>("input");
    QTest::addColumn<int>("score");
    QTest::addColumn<QList<int>>("counters"); // manyDrawCalls, withoutLods, weakSteps, detailedLast
    QTest::addColumn<QStringList>("findings");

    // Each row sits at one edge of one limit; the other levels stay quiet: LOD0 of 1 draw call, a last LOD of
    // at most 1,000 triangles, which is also too small for the reduction check.
    const auto row = [](const char *tag, const QList<ModelPerformance> &input, int score,
                        const QList<int> &counters, const QStringList &findings = {}) {
        QTest::newRow(tag) << input << score << counters << findings;
    };
    const auto asset = [](qint64 lod0) {
        return QList<ModelPerformance>{model("a.mdl", {lod0, 1000})};
    };
    const auto vehicle = [](qint64 lod0) {
        return QList<ModelPerformance>{model("v.mdl", {lod0, 1000}, 1, 1, true)};
    };
    const QList<int> none{0, 0, 0, 0};
    row("vehicle 100,000", vehicle(100000), 0, none);
    row("vehicle 100,001", vehicle(100001), 2, none, {"Erhöhter LOD0-Polycount: 100001 Tris in v.mdl"});
    row("vehicle 150,000", vehicle(150000), 2, none, {"Erhöhter LOD0-Polycount: 150000 Tris in v.mdl"});
    row("vehicle 150,001", vehicle(150001), 3, none, {"Hoher LOD0-Polycount: 150001 Tris in v.mdl"});
    row("vehicle 250,000", vehicle(250000), 3, none, {"Hoher LOD0-Polycount: 250000 Tris in v.mdl"});
    row("vehicle 250,001", vehicle(250001), 4, none, {"Sehr hoher LOD0-Polycount: 250001 Tris in v.mdl"});
    row("asset 150,000", asset(150000), 0, none);
    row("asset 150,001", asset(150001), 2, none, {"Erhöhter LOD0-Polycount: 150001 Tris in a.mdl"});
    row("asset 250,000", asset(250000), 2, none, {"Erhöhter LOD0-Polycount: 250000 Tris in a.mdl"});
    row("asset 250,001", asset(250001), 3, none, {"Hoher LOD0-Polycount: 250001 Tris in a.mdl"});
    row("asset 400,000", asset(400000), 3, none, {"Hoher LOD0-Polycount: 400000 Tris in a.mdl"});
    row("asset 400,001", asset(400001), 4, none, {"Sehr hoher LOD0-Polycount: 400001 Tris in a.mdl"});
    row("the highest level of all models counts",
        {model("w.mdl", {250001, 1000}, 1, 1, true), model("v.mdl", {100001, 1000}, 1, 1, true)}, 4, none,
        {"Sehr hoher LOD0-Polycount: 250001 Tris in w.mdl", "Erhöhter LOD0-Polycount: 100001 Tris in v.mdl"});

    row("20 draw calls", {model("m.mdl", {100, 10}, 20)}, 0, none);
    row("21 draw calls", {model("m.mdl", {100, 10}, 21)}, 1, {1, 0, 0, 0});
    row("35 draw calls", {model("m.mdl", {100, 10}, 35)}, 1, {1, 0, 0, 0});
    row("36 draw calls", {model("m.mdl", {100, 10}, 36)}, 2, {1, 0, 0, 0},
        {"Viele potenzielle Draw Calls in LOD0: 36 in m.mdl"});
    row("60 draw calls", {model("m.mdl", {100, 10}, 60)}, 2, {1, 0, 0, 0},
        {"Viele potenzielle Draw Calls in LOD0: 60 in m.mdl"});
    row("61 draw calls", {model("m.mdl", {100, 10}, 61)}, 3, {1, 0, 0, 0},
        {"Sehr viele potenzielle Draw Calls in LOD0: 61 in m.mdl"});
    row("four busy models", models(4, {100, 10}, 21), 1, {4, 0, 0, 0});
    row("five busy models add a point", models(5, {100, 10}, 21), 2, {5, 0, 0, 0});

    const QString single =
        QStringLiteral("Detailreiches Modell ohne zusätzliche LOD-Stufen: m%1.mdl (%2 Tris)");
    row("single LOD of 20,000", {model("m.mdl", {20000})}, 0, none);
    row("single LOD of 20,001", {model("m.mdl", {20001})}, 1, {0, 1, 0, 0},
        {single.arg(QString()).arg(20001)});
    row("single LOD of 50,000", {model("m.mdl", {50000})}, 1, {0, 1, 0, 0},
        {single.arg(QString()).arg(50000)});
    row("single LOD of 50,001", {model("m.mdl", {50001})}, 2, {0, 1, 0, 0},
        {single.arg(QString()).arg(50001)});
    QStringList four;
    for (int i = 0; i < 5; ++i)
        four << single.arg(i).arg(20001);
    const QStringList five = four;
    four.removeLast();
    row("four models without LODs", models(4, {20001}), 1, {0, 4, 0, 0}, four);
    row("five models without LODs add a point", models(5, {20001}), 2, {0, 5, 0, 0}, five);
    row("13 draw calls in a single LOD", {model("m.mdl", {500}, 13)}, 0, none);

    row("ratio 0.55", {model("m.mdl", {10000, 5500, 1000})}, 0, none);
    row("ratio 0.5501", {model("m.mdl", {10000, 5501, 1000})}, 1, {0, 0, 1, 0});
    row("ratio 0.75", {model("m.mdl", {10000, 7500, 1000})}, 1, {0, 0, 1, 0});
    row("ratio 0.7501", {model("m.mdl", {10000, 7501, 1000})}, 2, {0, 0, 1, 0},
        {"Kaum Polygon-Reduktion von LOD0 zu LOD1 in m.mdl (10000 → 7501 Tris)"});
    row("both LODs of 1,001 are compared", {model("m.mdl", {1001, 1001})}, 2, {0, 0, 1, 0},
        {"Kaum Polygon-Reduktion von LOD0 zu LOD1 in m.mdl (1001 → 1001 Tris)"});
    row("later LOD of 1,000 is not compared", {model("m.mdl", {1001, 1000})}, 0, none);
    row("earlier LOD of 1,000 is not compared", {model("m.mdl", {1000, 1001})}, 0, none);

    row("last LOD of 5,000", {model("m.mdl", {100000, 5000})}, 0, none);
    row("last LOD of 5,001", {model("m.mdl", {100000, 5001})}, 1, {0, 0, 0, 1});
    row("last LOD of 15,000", {model("m.mdl", {100000, 15000})}, 1, {0, 0, 0, 1});
    row("last LOD of 15,001", {model("m.mdl", {100000, 15001})}, 2, {0, 0, 0, 1},
        {"Letzte LOD-Stufe bleibt sehr detailliert: 15001 Tris in m.mdl"});
    row("12 draw calls in the last LOD", {model("m.mdl", {2000, 500}, 1, 12)}, 0, none);
    row("13 draw calls in the last LOD", {model("m.mdl", {2000, 500}, 1, 13)}, 1, none,
        {"Letzte LOD-Stufe verwendet weiterhin viele potenzielle Draw Calls: 13 in m.mdl"});
}

void TestPerformanceCheck::modelLevels()
{
    QFETCH(QList<ModelPerformance>, input);
    QFETCH(int, score);
    QFETCH(QList<int>, counters);
    QFETCH(QStringList, findings);

    PerformanceReport report;
    report.models = input;
    for (int pass = 0; pass < 2; ++pass) { // rating again must not count the models twice
        ratePerformanceReport(report);
        QCOMPARE(report.score, score);
        QCOMPARE(report.findings, findings);
        QCOMPARE(QList<int>({report.manyDrawCallModels, report.modelsWithoutLods, report.weakReductionSteps,
                             report.detailedLastLods}),
                 counters);
    }
}

void TestPerformanceCheck::modLevels_data()
{
    QTest::addColumn<QString>("fields"); // "name=value" pairs of the report's counters
    QTest::addColumn<int>("score");
    QTest::addColumn<int>("rating");
    QTest::addColumn<QStringList>("findings");
    const auto row = [](const char *fields, int score, int rating, const QStringList &findings = {}) {
        QTest::newRow(fields) << QString::fromLatin1(fields) << score << rating << findings;
    };
    const QString blob = QStringLiteral("1 Mesh-Dateien besitzen keine gleichnamige .msh.blob-Datei.");
    const QString sorted16 = QStringLiteral("Sehr viele Materialien verwenden sorted=true: 16");
    const QString samplers11 =
        QStringLiteral("Texture-Streaming ist bei vielen Samplern deaktiviert: 11× scaleDownAllowed=false");
    row("blob=1", 3, 1, {blob});
    row("sorted=5", 0, 0);
    row("sorted=6", 1, 0, {"Mehrere Materialien verwenden sorted=true: 6"});
    row("sorted=15", 1, 0, {"Mehrere Materialien verwenden sorted=true: 15"});
    row("sorted=16", 2, 1, {sorted16});
    row("samplers=3", 0, 0);
    row("samplers=4", 1, 0,
        {"Texture-Streaming ist bei mehreren Samplern deaktiviert: 4× scaleDownAllowed=false"});
    row("samplers=10", 1, 0,
        {"Texture-Streaming ist bei mehreren Samplern deaktiviert: 10× scaleDownAllowed=false"});
    row("samplers=11", 2, 1, {samplers11});
    row("huge=1", 1, 0, {"Sehr große Texturen (8192 px oder größer) gefunden: 1"});
    row("huge=4", 1, 0, {"Sehr große Texturen (8192 px oder größer) gefunden: 4"});
    row("huge=5", 2, 1, {"Viele sehr große Texturen (8192 px oder größer): 5"});
    row("textures=536870912", 0, 0);
    row("textures=536870913", 1, 0, {"Hoher Texturspeicher im Mod: 512 MiB"});
    row("textures=1073741824", 1, 0, {"Hoher Texturspeicher im Mod: 1.00 GiB"});
    row("textures=1288490189", 2, 1, {"Sehr hoher Texturspeicher im Mod: 1.20 GiB"});
    row("total=2147483648", 0, 0);
    row("total=2147483649", 1, 0, {"Sehr großer entpackter Mod: 2.00 GiB"});
    row("mesh=250000", 0, 0);
    row("mesh=250001", 2, 1, {"Sehr großes Einzel-Mesh: 250001 Tris (big.msh)"});
    row("mesh=500000", 2, 1, {"Sehr großes Einzel-Mesh: 500000 Tris (big.msh)"});
    row("mesh=500001", 3, 1, {"Sehr großes Einzel-Mesh: 500001 Tris (big.msh)"});
    row("mesh=600000 model=10", 0, 0); // with a model the mesh's weight shows there
    // The edges of the rating: 4 → 1, 5 → 2, 7 → 2, 8 → 3.
    row("blob=1 sorted=6", 4, 1, {blob, "Mehrere Materialien verwenden sorted=true: 6"});
    row("blob=1 sorted=16", 5, 2, {blob, sorted16});
    row("blob=1 sorted=16 samplers=11", 7, 2, {blob, sorted16, samplers11});
    row("blob=1 sorted=16 samplers=11 huge=1", 8, 3,
        {blob, sorted16, samplers11, "Sehr große Texturen (8192 px oder größer) gefunden: 1"});
}

void TestPerformanceCheck::modLevels()
{
    QFETCH(QString, fields);
    QFETCH(int, score);
    QFETCH(int, rating);
    QFETCH(QStringList, findings);

    PerformanceReport report;
    report.largestMeshName = QStringLiteral("big.msh");
    const QHash<QString, int *> counts{{"blob", &report.meshesWithoutBlob},
                                       {"sorted", &report.sortedMaterials},
                                       {"samplers", &report.noScaleDownSamplers},
                                       {"huge", &report.texturesFrom8192}};
    const QHash<QString, qint64 *> sizes{
        {"textures", &report.textureBytes}, {"total", &report.totalBytes}, {"mesh", &report.largestMeshTris}};
    for (const QString &field : fields.split(QLatin1Char(' '))) {
        const QString name = field.section(QLatin1Char('='), 0, 0);
        const qint64 value = field.section(QLatin1Char('='), 1).toLongLong();
        if (name == QLatin1String("model"))
            report.models << model(QStringLiteral("s.mdl"), {value});
        else if (counts.contains(name))
            *counts.value(name) = int(value);
        else
            *sizes.value(name) = value;
    }
    ratePerformanceReport(report);
    QCOMPARE(report.score, score);
    QCOMPARE(report.rating, rating);
    QCOMPARE(report.findings, findings);
}

void TestPerformanceCheck::findingsCap_data()
{
    QTest::addColumn<int>("busyModels"); // each gives one finding
    QTest::addColumn<int>("shown");
    QTest::addColumn<QString>("last");
    QTest::newRow("18 findings, all shown")
        << 18 << 18 << "Viele potenzielle Draw Calls in LOD0: 40 in m17.mdl";
    QTest::newRow("19 findings") << 19 << 19 << "… und 1 weitere Hinweise.";
    QTest::newRow("26 findings") << 26 << 19 << "… und 8 weitere Hinweise.";
}

void TestPerformanceCheck::findingsCap()
{
    QFETCH(int, busyModels);
    QFETCH(int, shown);
    QFETCH(QString, last);
    PerformanceReport report;
    report.models = models(busyModels, {100, 10}, 40);
    ratePerformanceReport(report);
    QCOMPARE(report.findings.size(), shown);
    QCOMPARE(report.findings.constLast(), last);
    // The levels are the highest of the models, so the rating stays "increased" however many there are.
    QCOMPARE(QList<int>({report.score, report.rating}), QList<int>({3, 1}));
}

void TestPerformanceCheck::lodsAndReferences()
{
    QTemporaryDir dir;
    const QString root = dir.path();
    const QString mesh = QStringLiteral("res/models/mesh/");
    // References as mods write them: with the mesh folder, with backslashes and other case, or only a tail.
    const TestLod lod0{
        {"models/mesh/bld/house_lod0.msh", "BLD\\house_roof.msh", "deep/lamp.msh", "gone/x.msh"},
        {"bld/a.mtl", "bld/b.mtl"},
        150.25};
    writeFiles(
        root,
        {{mesh + "bld/house_lod0.msh", meshWithTris(12000)},
         {mesh + "bld/house_lod1.msh", meshWithTris(10000)},
         {mesh + "bld/House_Roof.msh", meshWithTris(500)},
         {mesh + "other/deep/lamp.msh", meshWithTris(900)},
         {"res/models/model/asset/house.mdl", modelText({lod0, {{"bld/house_lod1.msh"}, {}, 2500}})},
         // Without a lods table the whole text is the one LOD.
         {"res/models/model/Vehicle/lamp.mdl", "return { mesh = 'other/deep/lamp.msh', mat = {'x.mtl'} }"},
         {"res/models/model/asset/script.mdl", "return require('x').make('sign')"},
         {"res/models/model/asset/empty.mdl", ""}});
    for (const char *blob : {"bld/house_lod0", "bld/house_lod1", "bld/House_Roof", "other/deep/lamp"})
        QVERIFY(writeTestFile(root + "/" + mesh + blob + ".msh.blob", "b"));

    const PerformanceReport report = analyzeModPerformance(root + QStringLiteral("/./"));
    QCOMPARE(
        QList<int>({report.modelCount, report.meshCount, report.meshBlobCount, report.meshesWithoutBlob}),
        QList<int>({4, 4, 4, 0}));
    QCOMPARE(report.models.size(), 2);
    const ModelPerformance &house = report.models.at(0);
    QCOMPARE(house.name, QStringLiteral("res/models/model/asset/house.mdl"));
    QVERIFY(!house.isVehicle);
    QCOMPARE(house.lods.size(), 2);
    const LodStats &first = house.lods.at(0);
    QCOMPARE(QList<qint64>({first.tris, first.vertices, first.meshRefs, first.materialRefs,
                            first.potentialDrawCalls()}),
             QList<qint64>({13400, 13400, 4, 2, 4}));
    QCOMPARE(QList<double>({first.visibleFrom, first.visibleTo, house.lods.at(1).visibleTo}),
             QList<double>({0.0, 150.25, 2500.0}));
    QCOMPARE(house.lods.at(1).index, 1);
    QCOMPARE(house.lods.at(1).tris, qint64(10000));
    const ModelPerformance &lamp = report.models.at(1);
    QVERIFY(lamp.isVehicle);
    QCOMPARE(lamp.lods.size(), 1);
    QCOMPARE(QList<qint64>({lamp.lods.at(0).tris, lamp.lods.at(0).materialRefs}), QList<qint64>({900, 1}));
    QCOMPARE(lamp.lods.at(0).visibleFrom, -1.0);

    QCOMPARE(report.topLod0Tris, qint64(13400));
    QCOMPARE(report.topLod0Model, house.name);
    QCOMPARE(report.largestMeshName, QStringLiteral("res/models/mesh/bld/house_lod0.msh"));
    // 10000 / 13400 = 0.746: a weak step without a finding (1); the last LOD keeps 10,000 triangles (1).
    QCOMPARE(report.score, 2);
    QVERIFY(report.findings.isEmpty());
}

// Four references to a mesh that claims about a third of the largest count each: the LOD sums stop at the
// largest count, and the model counts as very heavy instead of wrapping around.
void TestPerformanceCheck::absurdCounts()
{
    QTemporaryDir dir;
    const QString huge = QStringLiteral("big.msh");
    const TestLod lod{{huge, huge, huge, huge}, {}, 100};
    writeFiles(dir.path(), {{"res/models/mesh/big.msh", meshText({7173778250887047850, 2}, 3)},
                            {"res/models/mesh/big.msh.blob", "b"},
                            {"res/models/model/big.mdl", modelText({lod, lod})}});
    const PerformanceReport report = analyzeModPerformance(dir.path());
    QCOMPARE(report.models.size(), 1);
    for (const LodStats &stats : report.models.at(0).lods)
        QCOMPARE(stats.tris, std::numeric_limits<qint64>::max());
    QCOMPARE(report.rating, 3);
}

void TestPerformanceCheck::blobsTexturesMaterials()
{
    QTemporaryDir dir;
    const QString root = dir.path();
    writeFiles(root,
               {{"res/models/mesh/a/one.msh", meshWithTris(10)},
                {"res/models/mesh/a/two.msh", meshWithTris(20)},
                {"res/models/mesh/a/two.msh.blob", QByteArray(1000, 'b')},
                // The same key again: kept under its own path and checked for its own blob.
                {"copy/res/models/mesh/a/two.msh", meshWithTris(30)},
                {"res/textures/huge.dds", ddsHeader(8192, 4096) + QByteArray(872, 't')},
                {"res/textures/big.tga", tgaHeader(4097, 16)},
                {"res/textures/plain.png", pngHeader(4096, 4096)},
                {"res/textures/broken.dds", "DDS "},
                {"res/textures/a.JPG", "jpg"},
                {"res/textures/c.webp", "web"},
                {"res/textures/e.ktx", "not counted"},
                {"res/models/material/a.mtl",
                 "sorted = TRUE,\n{ scaleDownAllowed = false }, {ScaleDownAllowed=False}"},
                {"res/models/material/b.mtl", "sorted = false, notsorted = true, scaleDownAllowed = falsely"},
                {".hidden/readme.txt", QByteArray(50, 'r')}});

    const PerformanceReport report = analyzeModPerformance(root);
    QCOMPARE(QList<qint64>(
                 {report.meshCount, report.meshBlobCount, report.meshBlobBytes, report.meshesWithoutBlob}),
             QList<qint64>({3, 1, 1000, 2}));
    QCOMPARE(QList<qint64>({report.textureCount, report.textureBytes, report.texturesOver4096,
                            report.texturesFrom8192}),
             QList<qint64>({6, 1000 + 82 + 29 + 4 + 2 * 3, 2, 1}));
    QCOMPARE(QList<int>({report.materialCount, report.sortedMaterials, report.noScaleDownSamplers}),
             QList<int>({2, 1, 2}));
    qint64 total = 0;
    for (QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories); it.hasNext();)
        total += QFileInfo(it.next()).size();
    QCOMPARE(report.totalBytes, total);
    QCOMPARE(report.largestMeshName, QStringLiteral("copy/res/models/mesh/a/two.msh"));
    QCOMPARE(report.score, 3 + 1);
    QCOMPARE(report.rating, 1);
    QCOMPARE(report.findings, QStringList({"2 Mesh-Dateien besitzen keine gleichnamige .msh.blob-Datei.",
                                           "Sehr große Texturen (8192 px oder größer) gefunden: 1"}));

    QCOMPARE(analyzeModPerformance(dir.filePath(QStringLiteral("missing"))).totalBytes, qint64(0));
    QCOMPARE(analyzeModPerformance(QString()).rating, 0);
}

void TestPerformanceCheck::reportText()
{
    PerformanceReport report;
    report.modelCount = 10;
    report.meshCount = 2;
    report.textureBytes = 1536;
    report.totalBytes = 153600;
    // The top model: of equal triangle counts the one with more draw calls, and of those the first.
    report.models << model(QStringLiteral("first.mdl"), {9000, 10}, 39);
    for (int i = 0; i < 10; ++i)
        report.models << model(QStringLiteral("m%1.mdl").arg(i), {qint64(i) * 1000, 10}, 40);
    report.models << model(QStringLiteral("late.mdl"), {9000, 10}, 40);
    report.models << model(QStringLiteral("small.mdl"), {100, 10},
                           41); // more draw calls do not beat triangles
    report.texturesFrom8192 = 1;
    report.largestMeshTris = 9000;
    report.largestMeshName = QStringLiteral("big.msh");
    ratePerformanceReport(report);

    const QStringList lines =
        performanceReportText(report, QStringLiteral("My Mod")).split(QLatin1Char('\n'));
    QCOMPARE(lines.mid(0, 11),
             QStringList({"Mod: My Mod", "Bewertung: 🟡 Erhöhte Anforderungen", "",
                          "Analysiert: 10 Modelle • 2 Meshes • 0 Materialien • 0 Texturen",
                          "Entpackte Größe: 150 KiB • Mesh-Daten: 0 B • Texturen: 1.5 KiB",
                          "Höchster LOD0-Wert: 9000 Tris • ca. 40 Draw Calls • m9.mdl",
                          "Größtes Einzel-Mesh: 9000 Tris • big.msh",
                          "Große Texturen: 0 über 4096 px, davon 1 mit 8192 px oder mehr", "",
                          "Hinweise:", "• Viele potenzielle Draw Calls in LOD0: 39 in first.mdl"}));
    const qsizetype heading = lines.indexOf(QStringLiteral("Modelle mit den höchsten LOD0-Werten:"));
    QVERIFY(heading > 10);
    QCOMPARE(lines.at(heading + 1), QStringLiteral("1. first.mdl — 9000 Tris, ca. 39 Draw Calls, 2 LOD(s)"));
    QCOMPARE(lines.at(heading + 8), QStringLiteral("8. m4.mdl — 4000 Tris, ca. 40 Draw Calls, 2 LOD(s)"));
    QCOMPARE(lines.at(heading + 9), QString());

    // Lines without a value to show are left out.
    PerformanceReport clean;
    clean.meshCount = 1;
    const QString closing = QStringLiteral(
        "\n\nDer Performance-Check ist eine statische Vorprüfung. Er kann problematische Modelle, LODs, "
        "Materialien und Texturen erkennen, ersetzt aber keinen Test im Spiel und ist kein Qualitätsurteil "
        "über "
        "den Mod.");
    QCOMPARE(
        performanceReportText(clean, "x"),
        "Mod: x\nBewertung: 🟢 Unauffällig\n\nAnalysiert: 0 Modelle • 1 Meshes • 0 Materialien • 0 "
        "Texturen\n"
        "Entpackte Größe: 0 B • Mesh-Daten: 0 B • Texturen: 0 B\n\nHinweise:\n• Keine auffälligen Werte in "
        "den statisch auswertbaren Ressourcen gefunden." +
            closing);
}

void TestPerformanceCheck::preCheck_data()
{
    QTest::addColumn<QString>("mod");           // "script", "clean" or "missingBlob"
    QTest::addColumn<QVariantList>("settings"); // auto_check, show_clean_reports; invalid = not stored
    QTest::addColumn<QList<bool>>("answer");    // install, disable
    QTest::addColumn<bool>("dialog");
    QTest::addColumn<bool>("result");
    QTest::addColumn<QString>("status");
    QTest::addColumn<bool>("autoCheckAfter");
    const QVariant unset;
    const QString analysing = QStringLiteral("Performance-Check: Mod X wird analysiert…");
    QTest::newRow("switched off") << "missingBlob" << QVariantList{false, unset} << QList<bool>{false, false}
                                  << false << true << QString() << false;
    QTest::newRow("script-only mod") << "script" << QVariantList{unset, unset} << QList<bool>{false, false}
                                     << false << true
                                     << "Performance-Check: Mod X enthält keine auswertbaren 3D-Ressourcen."
                                     << true;
    QTest::newRow("clean mod") << "clean" << QVariantList{unset, false} << QList<bool>{false, false} << false
                               << true << "Performance-Check: Mod X ist unauffällig." << true;
    QTest::newRow("clean mod, clean reports shown")
        << "clean" << QVariantList{unset, true} << QList<bool>{true, false} << true << true << analysing
        << true;
    QTest::newRow("warning, cancelled") << "missingBlob" << QVariantList{unset, unset}
                                        << QList<bool>{false, false} << true << false << analysing << true;
    QTest::newRow("installed, switched off") << "missingBlob" << QVariantList{unset, unset}
                                             << QList<bool>{true, true} << true << true << analysing << false;
}

void TestPerformanceCheck::preCheck()
{
    QFETCH(QString, mod);
    QFETCH(QVariantList, settings);
    QFETCH(QList<bool>, answer);
    QFETCH(bool, dialog);
    QFETCH(bool, result);
    QFETCH(QString, status);
    QFETCH(bool, autoCheckAfter);

    TestEnvironment env;
    {
        QSettings store;
        if (settings.at(0).isValid())
            store.setValue(QStringLiteral("performance/auto_check"), settings.at(0));
        if (settings.at(1).isValid())
            store.setValue(QStringLiteral("performance/show_clean_reports"), settings.at(1));
    }
    const QString folder = env.makeDir(QStringLiteral("unpacked/ModX"));
    QVERIFY(writeTestFile(folder + "/mod.lua", "function data() return {} end"));
    if (mod != QLatin1String("script"))
        writeFiles(folder, {{"res/models/mesh/a.msh", meshWithTris(100)},
                            {"res/models/model/a.mdl", modelText({{{"a.msh"}, {}}})}});
    if (mod == QLatin1String("clean"))
        QVERIFY(writeTestFile(folder + "/res/models/mesh/a.msh.blob", "b"));

    QStringList statuses;
    QList<int> shownRatings;
    PerformanceCheckPrompts prompts;
    prompts.setStatus = [&](const QString &text) {
        statuses << text;
    };
    prompts.showReport = [&](const PerformanceReport &report, const QString &modName) {
        shownRatings << report.rating;
        [&] {
            QCOMPARE(modName, QStringLiteral("Mod X"));
        }();
        return PerformanceReportDecision{answer.at(0), answer.at(1)};
    };

    QString error = QStringLiteral("untouched");
    QCOMPARE(performancePreCheck(folder, QStringLiteral("Mod X"), prompts, &error), result);
    QCOMPARE(shownRatings, dialog ? QList<int>{mod == QLatin1String("clean") ? 0 : 1} : QList<int>());
    QCOMPARE(statuses.isEmpty() ? QString() : statuses.constLast(), status);
    QCOMPARE(error, result ? QStringLiteral("untouched") : QStringLiteral("Installation abgebrochen."));
    QCOMPARE(QSettings().value(QStringLiteral("performance/auto_check"), true).toBool(), autoCheckAfter);
    // With nobody to ask, the check does not stop an install on its own.
    QVERIFY(performancePreCheck(folder, QStringLiteral("Mod X"), PerformanceCheckPrompts(), nullptr));
}

QTEST_GUILESS_MAIN(TestPerformanceCheck)
#include "tst_performancecheck.moc"
