#include "app/appinfo.h"
#include "catalog/versions.h"

#include <QRandomGenerator>
#include <QRegularExpression>
#include <QtTest>

namespace {

// The comparison written straight from its rules with regular expressions and temporary strings. The
// program's own version scans by hand for speed; both must agree on every input.
QList<qint64> referenceTrim(QList<qint64> parts)
{
    while (parts.size() > 1 && parts.last() == 0)
        parts.removeLast();
    return parts;
}

QList<qint64> referenceComponents(const QString &normalised)
{
    static const QRegularExpression leadingRun(QStringLiteral("^(\\d+(?:[._-]\\d+)*)"));
    static const QRegularExpression separators(QStringLiteral("[._-]"));
    const QRegularExpressionMatch m = leadingRun.match(normalised);
    if (!m.hasMatch())
        return {};
    QList<qint64> parts;
    for (const QString &piece : m.captured(1).split(separators, Qt::SkipEmptyParts))
        parts.append(piece.toLongLong());
    return referenceTrim(parts);
}

QList<qint64> referenceCompact(const QString &side, const QString &other, const QList<qint64> &parts)
{
    static const QRegularExpression separators(QStringLiteral("[._-]"));
    static const QRegularExpression compact(QStringLiteral("^\\d{2,3}$"));
    if (side.contains(separators) || !other.contains(separators) || !compact.match(side).hasMatch())
        return parts;
    const QStringList pieces = other.split(separators, Qt::SkipEmptyParts);
    if (pieces.size() != side.size())
        return parts;
    for (const QString &piece : pieces) {
        if (piece.size() != 1 || !piece.at(0).isDigit())
            return parts;
    }
    QList<qint64> digits;
    for (QChar c : side)
        digits.append(c.digitValue());
    return referenceTrim(digits);
}

int referenceCompare(const QString &a, const QString &b)
{
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    const auto normalise = [](const QString &text) {
        QString t = text.trimmed().toLower();
        if (t.startsWith(u'v'))
            t.remove(0, 1);
        return t.replace(u',', u'.').remove(blanks);
    };
    const QString na = normalise(a);
    const QString nb = normalise(b);
    if (na.isEmpty() || nb.isEmpty())
        return 0;
    const QList<qint64> pa = referenceCompact(na, nb, referenceComponents(na));
    const QList<qint64> pb = referenceCompact(nb, na, referenceComponents(nb));
    if (!pa.isEmpty() && !pb.isEmpty()) {
        for (qsizetype i = 0; i < qMax(pa.size(), pb.size()); ++i) {
            if (pa.value(i, 0) != pb.value(i, 0))
                return pa.value(i, 0) < pb.value(i, 0) ? -1 : 1;
        }
        return 0;
    }
    const int c = QString::compare(na, nb, Qt::CaseInsensitive);
    return (c > 0) - (c < 0);
}

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
    void compareAgreesWithPlainRules();
    void archiveNameVersions_data();
    void archiveNameVersions();
    void archiveNameVersionsAgreeWithPlainRules();
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
        {"1.10", "1.9", 1},
        {"  V 1,2\t", "1.2", 0},
        {"1_2-3", "1.2.3", 0},
        {"1.2.0", "1.02", 0},
        {"2.0rc1", "1.9", 1},
        {"1.2.0.1", "1.2", 1},
        {"", "3.0", 0},
        {"final", "1.0", 1},
        {"13", "1.2", 1},
        {"1234", "1.2.3.4", 1},
        {"12", "1.2.3", 1},
        {"1..5", "1", 0},
        {"9223372036854775807", "9223372036854775806", 1},
        {"99999999999999999999", "0", 0},
    };
    for (const auto &row : rows)
        QTest::addRow("%s vs %s", row.a, row.b)
            << QString::fromUtf8(row.a) << QString::fromUtf8(row.b) << row.expected;
    QTest::newRow("non-breaking space is not removed")
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
    QCOMPARE(sign(referenceCompare(a, b)), expected);
}

void TestVersions::compareAgreesWithPlainRules()
{
    // Dotted, compact and suffixed versions, so that the compact rule and the numeric runs get hit often,
    // plus characters that must not count as blanks inside a version (no-break space, next line).
    const QStringList tokens = {"1",      "2",      "12",    "0",  "007", "99999999999999999999",
                                ".",      ".",      "_",     "-",  ",",   "..",
                                " ",      "v",      "V",     "\t", "a",   "-beta",
                                "\u00c4", "\u00a0", "\u0085"};
    QRandomGenerator random(20240607);
    const auto randomText = [&]() {
        QString text;
        for (int t = random.bounded(0, 7); t > 0; --t)
            text += tokens.at(random.bounded(int(tokens.size())));
        return text;
    };
    for (int i = 0; i < 5000; ++i) {
        const QString a = randomText();
        const QString b = randomText();
        if (sign(compareVersions(a, b)) != referenceCompare(a, b))
            QFAIL(qPrintable(QStringLiteral("'%1' against '%2'").arg(a, b)));
    }
}

void TestVersions::archiveNameVersions_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("underscores") << "mod_2_10_3.zip" << QStringList{"2.10.3", "10.3"};
    QTest::newRow("at most four pieces") << "MOD-1.2.3.4.5.RAR" << QStringList{"2.3.4.5", "3.4.5", "4.5"};
    QTest::newRow("leading zeros, huge piece not wrapped")
        << "mod_01_000000000000000000000000000002.zip" << QStringList{"1.2"};
    QTest::newRow("rar part volume") << "mod_v1.2.part1.rar" << QStringList{"1.2"};
    QTest::newRow("numbered volume") << "Mod_1.3.7z.001" << QStringList{"1.3"};
    QTest::newRow("single number") << "mod_12.zip" << QStringList();
    QTest::newRow("version not at the end") << "mod 1.2 final.zip" << QStringList();
    QTest::newRow("version only in folder") << "releases_2.0\\mod.zip" << QStringList();
    QTest::newRow("other extension stays") << "mod_1.2.tar" << QStringList();
}

void TestVersions::archiveNameVersions()
{
    QFETCH(QString, fileName);
    QFETCH(QStringList, expected);
    QCOMPARE(::archiveNameVersions(fileName), expected);
}

void TestVersions::archiveNameVersionsAgreeWithPlainRules()
{
    // The hand-written scan against its rules written with regular expressions, on names assembled from the
    // pieces that matter: letter case, folders, volume suffixes and line breaks.
    static const QRegularExpression extension(QStringLiteral("(?:\\.(?:zip|7z|rar))(?:\\.\\d{3,})?$"),
                                              QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression part(QStringLiteral("\\.part\\d+$"),
                                         QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression trailing(QStringLiteral("(?:^|[^0-9])v?((?:\\d+[._-])+\\d+)$"),
                                             QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression separators(QStringLiteral("[._-]"));
    const QStringList tokens = {"mod", "v",    "V",     "_",  "-", ".",  "1", "23",   "0",   "007", ".zip",
                                ".7Z", ".rar", ".PART", "\n", "/", "\\", " ", ".001", ".12", "x",   "\u00df"};
    QRandomGenerator random(777);
    for (int i = 0; i < 5000; ++i) {
        QString name;
        for (int t = random.bounded(0, 10); t > 0; --t)
            name += tokens.at(random.bounded(int(tokens.size())));
        QString base = name.mid(qMax(name.lastIndexOf(u'/'), name.lastIndexOf(u'\\')) + 1);
        base.remove(extension).remove(part);
        const QRegularExpressionMatch match = trailing.match(base);
        const QStringList pieces = match.captured(1).split(separators, Qt::SkipEmptyParts);
        QStringList expected;
        for (qsizetype k = qMin<qsizetype>(pieces.size(), 4); match.hasMatch() && k >= 2; --k) {
            QStringList numbers;
            for (qsizetype j = pieces.size() - k; j < pieces.size(); ++j)
                numbers.append(QString::number(pieces.at(j).toLongLong()));
            if (!expected.contains(numbers.join(u'.')))
                expected.append(numbers.join(u'.'));
        }
        if (::archiveNameVersions(name) != expected)
            QFAIL(qPrintable(QStringLiteral("'%1': expected '%2'").arg(name, expected.join(u'|'))));
    }
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
        {"needs V2.0 or newer", "2.0", "2.0"},
        {"dev2.0", "", "2.0"},
        {"Version 1.2", "", "1.2"},
        {"v3.0 oder neuer, mindestens 2.0", "2.0", "2.0"},
        {"Teil 2, mindestens Version 1.5", "1.5", "1.5"},
        {"  neueste  ", "", "neueste"},
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
