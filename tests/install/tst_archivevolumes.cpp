#include "install/archivevolumes.h"

#include <QtTest>

class TestArchiveVolumes : public QObject
{
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
};

void TestArchiveVolumes::parse_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<int>("part");
    QTest::addColumn<bool>("first");
    QTest::addColumn<QString>("groupKey"); // empty: not multi-volume

    QTest::newRow("part1 any case") << "Mod.Part1.RAR" << 1 << true << "rar-part|mod";
    QTest::newRow("part02") << "mod.part02.rar" << 2 << false << "rar-part|mod";
    QTest::newRow("part001 is first") << "mod.part001.rar" << 1 << true << "rar-part|mod";
    QTest::newRow("part10 with dots in base") << "My.Mod.part10.rar" << 10 << false << "rar-part|my.mod";
    QTest::newRow("part zero is never first") << "mod.part0.rar" << 0 << false << "rar-part|mod";
    QTest::newRow("7z.001") << "mod.7z.001" << 1 << true << "numbered|mod.7z";
    QTest::newRow("zip.002") << "Mod.ZIP.002" << 2 << false << "numbered|mod.zip";
    QTest::newRow("rar.0001") << "mod.rar.0001" << 1 << true << "numbered|mod.rar";
    QTest::newRow("numbered part set wins over rar part")
        << "mod.part1.rar.001" << 1 << true << "numbered|mod.part1.rar";
    QTest::newRow("zip.12 has too few digits") << "mod.zip.12" << 0 << false << "";
    QTest::newRow("tar.001 is not a known archive") << "mod.tar.001" << 0 << false << "";
    // name.rar is volume 1 of an old-style set, so name.r00 is volume 2.
    QTest::newRow("r00") << "mod.r00" << 2 << false << "rar-old|mod";
    QTest::newRow("r01") << "mod.r01" << 3 << false << "rar-old|mod";
    QTest::newRow("R100") << "MOD.R100" << 102 << false << "rar-old|mod";
    QTest::newRow("r1 has too few digits") << "mod.r1" << 0 << false << "";
    QTest::newRow("r0000 has too many digits") << "mod.r0000" << 0 << false << "";
    QTest::newRow("plain rar starts an old set") << "Mod.RAR" << 1 << true << "rar-old|mod";
    QTest::newRow("plain zip") << "mod.zip" << 0 << false << "";
    QTest::newRow("part of a zip") << "mod.part1.zip" << 0 << false << "";
    QTest::newRow("empty") << "" << 0 << false << "";
    QTest::newRow("folders ignored") << "downloads/set.part1.rar/mod.7z.003" << 3 << false
                                     << "numbered|mod.7z";
    QTest::newRow("file-system root") << "/mod.7z.001" << 1 << true << "numbered|mod.7z";
    QTest::newRow("folder named like a volume") << "mod.r00/readme.txt" << 0 << false << "";
    QTest::newRow("backslash folders") << "C:\\Temp\\x.rar\\Mod.part1.rar" << 1 << true << "rar-part|mod";
}

void TestArchiveVolumes::parse()
{
    QFETCH(QString, fileName);
    QFETCH(int, part);
    QFETCH(bool, first);
    QFETCH(QString, groupKey);
    const ArchiveVolumeInfo info = parseArchiveVolumeName(fileName);
    QCOMPARE(info.isMultiVolume, !groupKey.isEmpty());
    QCOMPARE(info.groupKey, groupKey);
    QCOMPARE(info.partNumber, part);
    QCOMPARE(info.isFirst, first);
}

QTEST_GUILESS_MAIN(TestArchiveVolumes)
#include "tst_archivevolumes.moc"
