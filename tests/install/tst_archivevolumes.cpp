#include "install/archivevolumes.h"

#include <QtTest>

class TestArchiveVolumes : public QObject
{
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
    void volumesOfOneSetShareOneFirst();
};

void TestArchiveVolumes::parse_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<bool>("multi");
    QTest::addColumn<QString>("groupKey");
    QTest::addColumn<int>("part");
    QTest::addColumn<bool>("first");

    QTest::newRow("part1 any case") << "Mod.Part1.RAR" << true << "rar-part|mod" << 1 << true;
    QTest::newRow("part02") << "mod.part02.rar" << true << "rar-part|mod" << 2 << false;
    QTest::newRow("part001 is first") << "mod.part001.rar" << true << "rar-part|mod" << 1 << true;
    QTest::newRow("part10 with dots in base")
        << "My.Mod.part10.rar" << true << "rar-part|my.mod" << 10 << false;
    QTest::newRow("part zero is never first") << "mod.part0.rar" << true << "rar-part|mod" << 0 << false;
    QTest::newRow("7z.001") << "mod.7z.001" << true << "numbered|mod.7z" << 1 << true;
    QTest::newRow("zip.002") << "Mod.ZIP.002" << true << "numbered|mod.zip" << 2 << false;
    QTest::newRow("rar.0001") << "mod.rar.0001" << true << "numbered|mod.rar" << 1 << true;
    QTest::newRow("numbered part set wins over rar part")
        << "mod.part1.rar.001" << true << "numbered|mod.part1.rar" << 1 << true;
    QTest::newRow("zip.12 has too few digits") << "mod.zip.12" << false << "" << 0 << false;
    QTest::newRow("tar.001 is not a known archive") << "mod.tar.001" << false << "" << 0 << false;
    QTest::newRow("r00") << "mod.r00" << true << "rar-old|mod" << 2 << false;
    QTest::newRow("r01") << "mod.r01" << true << "rar-old|mod" << 3 << false;
    QTest::newRow("R100") << "MOD.R100" << true << "rar-old|mod" << 102 << false;
    QTest::newRow("r1 has too few digits") << "mod.r1" << false << "" << 0 << false;
    QTest::newRow("r0000 has too many digits") << "mod.r0000" << false << "" << 0 << false;
    QTest::newRow("plain rar starts an old set") << "mod.rar" << true << "rar-old|mod" << 1 << true;
    QTest::newRow("plain RAR") << "Mod.RAR" << true << "rar-old|mod" << 1 << true;
    QTest::newRow("plain zip") << "mod.zip" << false << "" << 0 << false;
    QTest::newRow("plain 7z") << "mod.7z" << false << "" << 0 << false;
    QTest::newRow("part of a zip") << "mod.part1.zip" << false << "" << 0 << false;
    QTest::newRow("empty") << "" << false << "" << 0 << false;
    QTest::newRow("folders ignored") << "downloads/set.part1.rar/mod.7z.003" << true << "numbered|mod.7z" << 3
                                     << false;
    QTest::newRow("folder named like a volume") << "mod.r00/readme.txt" << false << "" << 0 << false;
    QTest::newRow("backslash folders")
        << "C:\\Temp\\x.rar\\Mod.part1.rar" << true << "rar-part|mod" << 1 << true;
}

void TestArchiveVolumes::parse()
{
    QFETCH(QString, fileName);
    QFETCH(bool, multi);
    QFETCH(QString, groupKey);
    QFETCH(int, part);
    QFETCH(bool, first);

    const ArchiveVolumeInfo info = parseArchiveVolumeName(fileName);
    QCOMPARE(info.isMultiVolume, multi);
    QCOMPARE(info.groupKey, groupKey);
    QCOMPARE(info.partNumber, part);
    QCOMPARE(info.isFirst, first);
}

void TestArchiveVolumes::volumesOfOneSetShareOneFirst()
{
    // Each complete set must form one group with distinct numbers 1..n and exactly one first volume;
    // otherwise the installer hands the wrong file to the extractor or splits one archive in two.
    const QList<QStringList> sets = {
        {"Bahnhof.part1.rar", "bahnhof.PART2.rar", "Bahnhof.part3.RAR"},
        {"Bahnhof.7z.001", "Bahnhof.7z.002", "BAHNHOF.7Z.003", "Bahnhof.7z.004"},
        {"Bahnhof.rar", "Bahnhof.r00", "Bahnhof.r01", "bahnhof.R02"},
    };
    QSet<QString> keys;
    for (const QStringList &set : sets) {
        QSet<QString> groupKeys;
        QList<int> numbers;
        int firsts = 0;
        for (const QString &name : set) {
            const ArchiveVolumeInfo info = parseArchiveVolumeName(name);
            QVERIFY2(info.isMultiVolume, qPrintable(name));
            groupKeys.insert(info.groupKey);
            numbers.append(info.partNumber);
            if (info.isFirst) {
                ++firsts;
                QCOMPARE(info.partNumber, 1);
            }
        }
        QCOMPARE(groupKeys.size(), 1);
        QCOMPARE(firsts, 1);
        std::sort(numbers.begin(), numbers.end());
        for (int i = 0; i < numbers.size(); ++i)
            QCOMPARE(numbers.at(i), i + 1);
        keys.unite(groupKeys);
    }
    QCOMPARE(keys.size(), sets.size());
}

QTEST_GUILESS_MAIN(TestArchiveVolumes)
#include "tst_archivevolumes.moc"
