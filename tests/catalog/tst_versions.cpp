#include "catalog/versions.h"

#include <QRegularExpression>
#include <QtTest>

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

    // Each row is "a <order> b". Spellings of one version; suffixes, which count only where neither side has
    // numbers; compact versions (two or three bare digits against as many single-digit pieces); numbers
    // beyond 64 bits, which count as 0 instead of wrapping.
    for (const char *row : {"1.10 > 1.9",
                            "  V 1,2\t = 1.2",
                            "1_2-3 = 1.2.3",
                            "1.2.0 = 1.02",
                            "0.0 = 0",
                            "1.2.0.1 > 1.2",
                            "1..5 = 1",
                            "v = 1",
                            "vv1 > 1",
                            "\u00a01.2\u0085 = 1.2",
                            "1\u00a0.2 = 1\u00a0.3",
                            " = 3.0",
                            "1.2-beta = 1.2",
                            "2.0rc1 > 1.9",
                            "final > 1.0",
                            "beta > alpha",
                            "Beta = beta",
                            "V1.2\u00c4 = 1.2",
                            "12 = 1.2",
                            "13 > 1.2",
                            "10 < 1.9",
                            "120 = 1.2.0",
                            "10 > 9",
                            "1234 > 1.2.3.4",
                            "12 > 1.2.3",
                            "12 > 1.23",
                            "10 > 1.a",
                            "1a < 1.2",
                            "9223372036854775807 > 9223372036854775806",
                            "99999999999999999999 = 0"}) {
        static const QRegularExpression order(QStringLiteral(" ([<=>]) "));
        const QString text = QString::fromUtf8(row);
        const QRegularExpressionMatch match = order.match(text);
        QTest::newRow(row) << text.left(match.capturedStart()) << text.mid(match.capturedEnd())
                           << int(QByteArrayLiteral("<=>").indexOf(match.captured(1).toLatin1()) - 1);
    }
}

void TestVersions::compare()
{
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(int, expected);

    // Only the sign counts. The order must be antisymmetric, or sorting and "is outdated" checks disagree.
    QCOMPARE(qBound(-1, compareVersions(a, b), 1), expected);
    QCOMPARE(qBound(-1, compareVersions(b, a), 1), -expected);
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

    // Each row is "text|minimum-version phrase|version from text". The phrase words must start a word: the
    // last rows are names that end in a number.
    for (const char *row :
         {"mindestens Version 2.1|2.1|2.1", "Mind.Version v2.2.1|2.2.1|2.2.1",
          "Required version = v2.1|2.1|2.1", "ab Version 1.2.3.4.5|1.2.3.4|1.2.3.4", "Version >= 4|4|4",
          "needs V2.0 or newer|2.0|2.0", "dev2.0||2.0", "Version 1.2||1.2",
          "v3.0 oder neuer, mindestens 2.0|2.0|2.0", "Teil 2, mindestens Version 1.5|1.5|1.5",
          "  neueste  ||neueste", "Mastermind 3000||3000", "Grab Version 2||2", "Gro\u00dfmindestens 7||7",
          "Subversion ab 3||3"}) {
        const QStringList columns = QString::fromUtf8(row).split(u'|');
        QTest::newRow(row) << columns[0] << columns[1] << columns[2];
    }
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

    // Each row is "entry version|file name|release version|newer than the running program".
    for (const char *row :
         {"0.5.40|FX3ModManager_0.5.38.zip|0.5.40|1", "0.5|FX3ModManager_v0.5.39.zip|0.5.39|1",
          "0.5.38|mm-0.5.38.zip|0.5.38|0", "0.5.4||0.5.4|0", "0.5.38-beta||0.5.38-beta|0",
          "0.5.30|mm_2024.zip|0.5.30|0", "0.5.1|mm_0.6.0.0.1.zip|0.6.0.0|1", "|manager.zip||0"}) {
        const QStringList columns = QString::fromUtf8(row).split(u'|');
        QTest::newRow(row) << columns[0] << columns[1] << columns[2] << (columns[3] == u'1');
    }
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
