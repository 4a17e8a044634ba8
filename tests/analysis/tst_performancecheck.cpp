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
    int visibleTo = 100;
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
    void findingsCap();
    void lodsAndReferences();
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
    QCOMPARE(stats.path, path);
    QCOMPARE(parseMeshText(dir.filePath(QStringLiteral("missing.msh"))).tris, qint64(0));
}

void TestPerformanceCheck::modelLevels_data()
{
    QTest::addColumn<QList<ModelPerformance>>("input");
    QTest::addColumn<int>("score");
    QTest::addColumn<QStringList>("findings");
    QTest::addColumn<QList<int>>("counters"); // manyDrawCalls, withoutLods, weakSteps, detailedLast

    const QString m = QStringLiteral("m.mdl");
    auto row = [&](const char *name, const QList<ModelPerformance> &input, int score,
                   const QStringList &findings, const QList<int> &counters) {
        QTest::newRow(name) << input << score << findings << counters;
    };
    row("quiet", {model(m, {10000, 4000, 1000}, 20, 12)}, 0, {}, {0, 0, 0, 0});
    row("21 draw calls", {model(m, {100, 10}, 21)}, 1, {}, {1, 0, 0, 0});
    row("vehicle of 160,000", {model(m, {160000, 1000}, 1, 1, true)}, 3,
        {"Hoher LOD0-Polycount: 160000 Tris in m.mdl"}, {0, 0, 0, 0});
    row("asset of 160,000", {model(m, {160000, 1000})}, 2, {"Erhöhter LOD0-Polycount: 160000 Tris in m.mdl"},
        {0, 0, 0, 0});
    row("61 draw calls", {model(m, {100, 10}, 61)}, 3,
        {"Sehr viele potenzielle Draw Calls in LOD0: 61 in m.mdl"}, {1, 0, 0, 0});
    row("five busy models add a point", models(5, {100, 10}, 25), 2, {}, {5, 0, 0, 0});
    row("single LOD of 20,001", {model(m, {20001})}, 1,
        {"Detailreiches Modell ohne zusätzliche LOD-Stufen: m.mdl (20001 Tris)"}, {0, 1, 0, 0});
    row("ratio 0.83", {model(m, {12000, 10000, 1000})}, 2,
        {"Kaum Polygon-Reduktion von LOD0 zu LOD1 in m.mdl (12000 → 10000 Tris)"}, {0, 0, 1, 0});
    row("LODs below 1,001 are not compared", {model(m, {900, 850})}, 0, {}, {0, 0, 0, 0});
    row("last LOD of 15,001", {model(m, {40000, 15001})}, 2,
        {"Letzte LOD-Stufe bleibt sehr detailliert: 15001 Tris in m.mdl"}, {0, 0, 0, 1});
    row("13 draw calls in the last LOD", {model(m, {2000, 500}, 13, 13)}, 1,
        {"Letzte LOD-Stufe verwendet weiterhin viele potenzielle Draw Calls: 13 in m.mdl"}, {0, 0, 0, 0});
    row("levels add up to rating 3", {model(m, {500000, 450000, 20000}, 70, 14)}, 4 + 3 + 2 + 2 + 1,
        {"Sehr hoher LOD0-Polycount: 500000 Tris in m.mdl",
         "Sehr viele potenzielle Draw Calls in LOD0: 70 in m.mdl",
         "Kaum Polygon-Reduktion von LOD0 zu LOD1 in m.mdl (500000 → 450000 Tris)",
         "Letzte LOD-Stufe bleibt sehr detailliert: 20000 Tris in m.mdl",
         "Letzte LOD-Stufe verwendet weiterhin viele potenzielle Draw Calls: 14 in m.mdl"},
        {1, 0, 1, 1});
}

void TestPerformanceCheck::modelLevels()
{
    QFETCH(QList<ModelPerformance>, input);
    QFETCH(int, score);
    QFETCH(QStringList, findings);
    QFETCH(QList<int>, counters);

    PerformanceReport report;
    report.models = input;
    for (int pass = 0; pass < 2; ++pass) { // rating again must not count the models twice
        ratePerformanceReport(report);
        QCOMPARE(report.findings, findings);
        QCOMPARE(report.score, score);
        QCOMPARE(report.rating, score >= 8 ? 3 : score >= 5 ? 2 : score >= 2 ? 1 : 0);
        QCOMPARE(QList<int>({report.manyDrawCallModels, report.modelsWithoutLods, report.weakReductionSteps,
                             report.detailedLastLods}),
                 counters);
    }
}

void TestPerformanceCheck::modLevels_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<qint64>("value");
    QTest::addColumn<int>("score");
    QTest::addColumn<QString>("finding");
    auto row = [](const char *field, qint64 value, int score, const char *finding) {
        QTest::addRow("%s %lld", field, value) << field << value << score << QString::fromUtf8(finding);
    };
    row("sorted", 16, 2, "Sehr viele Materialien verwenden sorted=true: 16");
    row("huge", 5, 2, "Viele sehr große Texturen (8192 px oder größer): 5");
    row("samplers", 4, 1,
        "Texture-Streaming ist bei mehreren Samplern deaktiviert: 4× scaleDownAllowed=false");
    row("textureBytes", 536870912, 0, "");
    row("textureBytes", 1288490189, 2, "Sehr hoher Texturspeicher im Mod: 1.20 GiB");
    row("totalBytes", 2147483649LL, 1, "Sehr großer entpackter Mod: 2.00 GiB");
    row("largestMesh", 250000, 0, "");
    row("largestMesh", 250001, 2, "Sehr großes Einzel-Mesh: 250001 Tris (big.msh)");
    row("largestMeshInModel", 600000, 0, "");
}

void TestPerformanceCheck::modLevels()
{
    QFETCH(QString, field);
    QFETCH(qint64, value);
    QFETCH(int, score);
    QFETCH(QString, finding);

    PerformanceReport report;
    const QStringList fields{"sorted", "samplers", "huge", "textureBytes", "totalBytes", "largestMesh"};
    int *counts[] = {&report.sortedMaterials, &report.noScaleDownSamplers, &report.texturesFrom8192};
    qint64 *sizes[] = {&report.textureBytes, &report.totalBytes, &report.largestMeshTris};
    const qsizetype index =
        fields.indexOf(field.startsWith(QLatin1String("largestMesh")) ? "largestMesh" : field);
    QVERIFY(index >= 0);
    if (index < 3)
        *counts[index] = int(value);
    else
        *sizes[index - 3] = value;
    if (field == QLatin1String("largestMeshInModel"))
        report.models << model(QStringLiteral("s.mdl"), {10});
    report.largestMeshName = QStringLiteral("big.msh");
    ratePerformanceReport(report);
    QCOMPARE(report.score, score);
    QCOMPARE(report.findings, finding.isEmpty() ? QStringList() : QStringList{finding});
}

void TestPerformanceCheck::findingsCap()
{
    // At most 18 hints are listed, the blob hint first; the rest is counted in a last line.
    PerformanceReport report;
    report.models = models(25, {100, 10}, 40);
    report.meshesWithoutBlob = 2;
    ratePerformanceReport(report);
    QCOMPARE(report.findings.size(), 19);
    QCOMPARE(report.findings.constFirst(),
             QStringLiteral("2 Mesh-Dateien besitzen keine gleichnamige .msh.blob-Datei."));
    QCOMPARE(report.findings.at(17), QStringLiteral("Viele potenzielle Draw Calls in LOD0: 40 in m16.mdl"));
    QCOMPARE(report.findings.constLast(), QStringLiteral("… und 8 weitere Hinweise."));
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
        150};
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
             QList<double>({0.0, 150.0, 2500.0}));
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

    // A folder given relative to the working folder yields the same names and blob lookups.
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(QFileInfo(root).path()));
    const PerformanceReport relative = analyzeModPerformance(QFileInfo(root).fileName());
    QDir::setCurrent(previous);
    QCOMPARE(relative.models.at(0).name, house.name);
    QCOMPARE(relative.meshesWithoutBlob, 0);
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
             QList<qint64>({4, 1000 + 82 + 29 + 4, 2, 1}));
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
    for (int i = 0; i < 10; ++i)
        report.models << model(QStringLiteral("m%1.mdl").arg(i), {qint64(i) * 1000, 10}, 40);
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
                          "Hinweise:", "• Viele potenzielle Draw Calls in LOD0: 40 in m0.mdl"}));
    const qsizetype heading = lines.indexOf(QStringLiteral("Modelle mit den höchsten LOD0-Werten:"));
    QVERIFY(heading > 10);
    QCOMPARE(lines.at(heading + 1), QStringLiteral("1. m9.mdl — 9000 Tris, ca. 40 Draw Calls, 2 LOD(s)"));
    QCOMPARE(lines.at(heading + 8), QStringLiteral("8. m2.mdl — 2000 Tris, ca. 40 Draw Calls, 2 LOD(s)"));
    QCOMPARE(lines.at(heading + 9), QString());
    QVERIFY(
        lines.constLast().startsWith(QStringLiteral("Der Performance-Check ist eine statische Vorprüfung.")));

    PerformanceReport clean;
    clean.meshCount = 1;
    QVERIFY(performanceReportText(clean, "x")
                .contains("\nHinweise:\n• Keine auffälligen Werte in den statisch "
                          "auswertbaren Ressourcen gefunden.\n\nDer Performance-Check"));
    const QString empty = performanceReportText(PerformanceReport(), "x");
    QVERIFY(empty.contains(QStringLiteral("• Keine auswertbaren 3D-Modellressourcen gefunden.")));
    QVERIFY(!empty.contains(QStringLiteral("LOD0")));
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
