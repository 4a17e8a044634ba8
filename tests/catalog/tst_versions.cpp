#include "catalog/versions.h"

#include <QtTest>

namespace {

int sign(int value)
{
    return (value > 0) - (value < 0);
}

} // namespace

class TestVersions : public QObject
{
    Q_OBJECT

private slots:
    void compare_data();
    void compare();
    void archiveNameVersions_data();
    void archiveNameVersions();
    void versionPhrases_data();
    void versionPhrases();
    void managerRelease_data();
    void managerRelease();
};

void TestVersions::compare_data()
{
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<int>("expected");

    const struct
    {
        const char *a, *b;
        int expected;
    } rows[] = {
        // Numbers, separators and the spellings of one version.
        {"1.10", "1.9", 1},
        {"  V 1,2\t", "1.2", 0},
        {"1_2-3", "1.2.3", 0},
        {"1.2.0", "1.02", 0},
        {"0.0", "0", 0},
        {"1.2.0.1", "1.2", 1},
        {"1..5", "1", 0},
        {"v", "1", 0},
        {"vv1", "1", 1},
        // Suffixes count only where neither side has numbers.
        {"1.2-beta", "1.2", 0},
        {"2.0rc1", "1.9", 1},
        {"final", "1.0", 1},
        {"beta", "alpha", 1},
        {"Beta", "beta", 0},
        {"\u00c4ra", "\u00e4RA", 0},
        {"", "3.0", 0},
        {"\u00a01.2\u0085", "1.2", 0},
        // Compact versions: two or three bare digits against as many single-digit pieces.
        {"12", "1.2", 0},
        {"13", "1.2", 1},
        {"10", "1.9", -1},
        {"120", "1.2.0", 0},
        {"10", "9", 1},
        {"1234", "1.2.3.4", 1},
        {"12", "1.2.3", 1},
        {"12", "1.23", 1},
        {"10", "1.a", 1},
        {"1a", "1.2", -1},
        // Numbers beyond 64 bits count as 0 instead of wrapping.
        {"9223372036854775807", "9223372036854775806", 1},
        {"99999999999999999999", "0", 0},
    };
    for (const auto &row : rows)
        QTest::addRow("%s vs %s", row.a, row.b)
            << QString::fromUtf8(row.a) << QString::fromUtf8(row.b) << row.expected;
    QTest::newRow("no-break space is not removed")
        << QStringLiteral("1\u00a0.2") << QStringLiteral("1\u00a0.3") << 0;
}

void TestVersions::compare()
{
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(int, expected);

    QCOMPARE(sign(compareVersions(a, b)), expected);
    // The order must be antisymmetric, or sorting and "is outdated" checks disagree with each other.
    QCOMPARE(sign(compareVersions(b, a)), -expected);
}

void TestVersions::archiveNameVersions_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("underscores") << "mod_2_10_3.zip" << QStringList{"2.10.3", "10.3"};
    QTest::newRow("at most four pieces") << "MOD-1.2.3.4.5.RAR" << QStringList{"2.3.4.5", "3.4.5", "4.5"};
    QTest::newRow("leading zeros, huge piece not wrapped")
        << "mod_01_000000000000000000000000000002.zip" << QStringList{"1.2"};
    QTest::newRow("repeated texts once") << "m_1.1.1.zip" << QStringList{"1.1.1", "1.1"};
    QTest::newRow("rar part volume") << "mod_v1.2.part1.rar" << QStringList{"1.2"};
    QTest::newRow("numbered volume") << "Mod_1.3.7z.001" << QStringList{"1.3"};
    QTest::newRow("two-digit number is no volume") << "Mod_1.3.7z.01" << QStringList();
    QTest::newRow("line break at the end") << "mod_1.4.zip\n" << QStringList{"1.4"};
    QTest::newRow("only a version") << "2.5.zip" << QStringList{"2.5"};
    QTest::newRow("digits glued to the version") << "mod1.2.zip" << QStringList{"1.2"};
    QTest::newRow("single number") << "mod_12.zip" << QStringList();
    QTest::newRow("version not at the end") << "mod 1.2 final.zip" << QStringList();
    QTest::newRow("separator at the end") << "mod_1.2_.zip" << QStringList();
    QTest::newRow("version only in folder") << "releases_2.0\\mod.zip" << QStringList();
    QTest::newRow("folder only") << "releases/1.2/" << QStringList();
    QTest::newRow("other extension stays") << "mod_1.2.tar" << QStringList();
}

void TestVersions::archiveNameVersions()
{
    QFETCH(QString, fileName);
    QFETCH(QStringList, expected);
    QCOMPARE(::archiveNameVersions(fileName), expected);
}

void TestVersions::versionPhrases_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("phrase");
    QTest::addColumn<QString>("version");

    const struct
    {
        const char *text, *phrase, *version;
    } rows[] = {
        {"mindestens Version 2.1", "2.1", "2.1"},
        {"Mind.Version v2.2.1", "2.2.1", "2.2.1"},
        {"Required version = v2.1", "2.1", "2.1"},
        {"ab Version 1.2.3.4.5", "1.2.3.4", "1.2.3.4"},
        {"Version >= 4", "4", "4"},
        {"needs V2.0 or newer", "2.0", "2.0"},
        {"dev2.0", "", "2.0"},
        {"Version 1.2", "", "1.2"},
        {"v3.0 oder neuer, mindestens 2.0", "2.0", "2.0"},
        {"Teil 2, mindestens Version 1.5", "1.5", "1.5"},
        {"  neueste  ", "", "neueste"},
        // The phrase words must start a word: these are names that end in a number.
        {"Mastermind 3000", "", "3000"},
        {"Grab Version 2", "", "2"},
        {"Gro\u00dfmindestens 7", "", "7"},
        {"Subversion ab 3", "", "3"},
    };
    for (const auto &row : rows)
        QTest::newRow(row.text) << QString::fromUtf8(row.text) << QString::fromUtf8(row.phrase)
                                << QString::fromUtf8(row.version);
}

void TestVersions::versionPhrases()
{
    QFETCH(QString, text);
    QFETCH(QString, phrase);
    QFETCH(QString, version);
    QCOMPARE(::minimumVersionPhrase(text), phrase);
    QCOMPARE(::versionFromText(text), version);
}

void TestVersions::managerRelease_data()
{
    QTest::addColumn<QString>("entryVersion");
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<bool>("newer");

    const struct
    {
        const char *entryVersion, *fileName, *expected;
        bool newer;
    } rows[] = {
        {"0.5.40", "FX3ModManager_0.5.38.zip", "0.5.40", true},
        {"0.5", "FX3ModManager_v0.5.39.zip", "0.5.39", true},
        {"0.5.38", "mm-0.5.38.zip", "0.5.38", false},
        {"0.5.4", "", "0.5.4", false},
        {"0.5.38-beta", "", "0.5.38-beta", false},
        {"0.5.30", "mm_2024.zip", "0.5.30", false},
        {"0.5.1", "mm_0.6.0.0.1.zip", "0.6.0.0", true},
        {"", "manager.zip", "", false},
    };
    for (const auto &row : rows)
        QTest::addRow("%s / %s", row.entryVersion, row.fileName)
            << QString::fromUtf8(row.entryVersion) << QString::fromUtf8(row.fileName)
            << QString::fromUtf8(row.expected) << row.newer;
}

void TestVersions::managerRelease()
{
    QFETCH(QString, entryVersion);
    QFETCH(QString, fileName);
    QFETCH(QString, expected);
    QFETCH(bool, newer);

    const QString available = managerReleaseVersion(entryVersion, fileName);
    QCOMPARE(available, expected);
    QCOMPARE(isNewerManagerRelease(available), newer);
}

QTEST_GUILESS_MAIN(TestVersions)
#include "tst_versions.moc"
