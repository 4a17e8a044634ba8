#include "app/appinfo.h"
#include "catalog/versions.h"

#include <QRandomGenerator>
#include <QRegularExpression>
#include <QtTest>

namespace {

// The comparison written straight from its rules with regular expressions and temporary strings. The
// program's own version scans by hand for speed; both must agree on every input.
QString referenceNormalise(const QString &text)
{
    QString t = text.trimmed().toLower();
    if (t.startsWith(u'v'))
        t.remove(0, 1);
    t.replace(u',', u'.');
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    t.remove(blanks);
    return t;
}

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
    const QStringList pieces = m.captured(1).split(separators, Qt::SkipEmptyParts);
    for (const QString &piece : pieces)
        parts.append(piece.toLongLong());
    return referenceTrim(parts);
}

QList<qint64> referenceCompact(const QString &side, const QString &other, const QList<qint64> &parts)
{
    static const QRegularExpression separators(QStringLiteral("[._-]"));
    static const QRegularExpression compact(QStringLiteral("^\\d{2,3}$"));
    static const QRegularExpression oneDigit(QStringLiteral("^\\d$"));
    if (side.contains(separators) || !other.contains(separators))
        return parts;
    if (!compact.match(side).hasMatch())
        return parts;
    const QStringList pieces = other.split(separators, Qt::SkipEmptyParts);
    if (pieces.size() < 2 || pieces.size() > 4 || pieces.size() != side.size())
        return parts;
    for (const QString &piece : pieces) {
        if (!oneDigit.match(piece).hasMatch())
            return parts;
    }
    QList<qint64> digits;
    for (QChar c : side)
        digits.append(c.digitValue());
    return referenceTrim(digits);
}

int referenceCompare(const QString &a, const QString &b)
{
    const QString na = referenceNormalise(a);
    const QString nb = referenceNormalise(b);
    if (na.isEmpty() || nb.isEmpty())
        return 0;
    const QList<qint64> pa = referenceCompact(na, nb, referenceComponents(na));
    const QList<qint64> pb = referenceCompact(nb, na, referenceComponents(nb));
    if (!pa.isEmpty() && !pb.isEmpty()) {
        for (qsizetype i = 0; i < qMax(pa.size(), pb.size()); ++i) {
            const qint64 x = pa.value(i, 0);
            const qint64 y = pb.value(i, 0);
            if (x != y)
                return x < y ? -1 : 1;
        }
        return 0;
    }
    const int c = QString::compare(na, nb, Qt::CaseInsensitive);
    return (c > 0) - (c < 0);
}

QStringList referenceArchiveNameVersions(const QString &fileName)
{
    static const QRegularExpression archiveExtension(QStringLiteral("(?:\\.(?:zip|7z|rar))(?:\\.\\d{3,})?$"),
                                                     QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression partSuffix(QStringLiteral("\\.part\\d+$"),
                                               QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression trailingVersion(QStringLiteral("(?:^|[^0-9])v?((?:\\d+[._-])+\\d+)$"),
                                                    QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression separators(QStringLiteral("[._-]"));

    QString name = fileName.mid(qMax(fileName.lastIndexOf(u'/'), fileName.lastIndexOf(u'\\')) + 1);
    if (name.isEmpty())
        return {};
    name.remove(archiveExtension);
    name.remove(partSuffix);
    const QRegularExpressionMatch match = trailingVersion.match(name);
    if (!match.hasMatch())
        return {};
    const QStringList pieces = match.captured(1).split(separators, Qt::SkipEmptyParts);
    QStringList versions;
    for (qsizetype k = qMin<qsizetype>(pieces.size(), 4); k >= 2; --k) {
        QStringList numbers;
        for (qsizetype i = pieces.size() - k; i < pieces.size(); ++i)
            numbers.append(QString::number(pieces.at(i).toLongLong()));
        if (!versions.contains(numbers.join(u'.')))
            versions.append(numbers.join(u'.'));
    }
    return versions;
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
    void minimumVersionPhrase_data();
    void minimumVersionPhrase();
    void versionFromText_data();
    void versionFromText();
    void managerRelease_data();
    void managerRelease();
};

void TestVersions::compare_data()
{
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<int>("expected");

    QTest::newRow("1.10 newer than 1.9") << "1.10"
                                         << "1.9" << 1;
    QTest::newRow("1.9 older than 1.10") << "1.9"
                                         << "1.10" << -1;
    QTest::newRow("leading v") << "v1.2"
                               << "1.2" << 0;
    QTest::newRow("leading capital V") << "V1.2"
                                       << "1.2" << 0;
    QTest::newRow("comma") << "1,2"
                           << "1.2" << 0;
    QTest::newRow("surrounding blanks") << "  1.2\t"
                                        << "1.2" << 0;
    QTest::newRow("blanks inside") << "1 . 2"
                                   << "1.2" << 0;
    QTest::newRow("v after blanks") << "  v 1.2"
                                    << "1.2" << 0;
    QTest::newRow("underscore and dash") << "1_2-3"
                                         << "1.2.3" << 0;
    QTest::newRow("trailing zero") << "1.2.0"
                                   << "1.2" << 0;
    QTest::newRow("all zeros") << "0.0"
                               << "0" << 0;
    QTest::newRow("leading zeros in pieces") << "1.02"
                                             << "1.2" << 0;
    QTest::newRow("suffix ignored") << "1.2-beta"
                                    << "1.2" << 0;
    QTest::newRow("suffix after number") << "2.0rc1"
                                         << "1.9" << 1;
    QTest::newRow("dangling separator") << "1.2."
                                        << "1.2" << 0;
    QTest::newRow("double separator ends run") << "1..5"
                                               << "1" << 0;
    QTest::newRow("missing counts as zero") << "1.2.0.1"
                                            << "1.2" << 1;
    QTest::newRow("five pieces") << "1.2.3.4.5"
                                 << "1.2.3.4" << 1;
    QTest::newRow("empty against number") << ""
                                          << "3.0" << 0;
    QTest::newRow("number against blank") << "3.0"
                                          << "   " << 0;
    QTest::newRow("lone v is empty") << "v"
                                     << "1" << 0;
    QTest::newRow("text beta after alpha") << "beta"
                                           << "alpha" << 1;
    QTest::newRow("text ignores case") << "Beta"
                                       << "beta" << 0;
    QTest::newRow("text against number") << "final"
                                         << "1.0" << 1;
    QTest::newRow("second v stays") << "vv1"
                                    << "1" << 1;
    QTest::newRow("compact 12 is 1.2") << "12"
                                       << "1.2" << 0;
    QTest::newRow("compact 13 newer than 1.2") << "13"
                                               << "1.2" << 1;
    QTest::newRow("compact 10 is 1.0") << "10"
                                       << "1.9" << -1;
    QTest::newRow("both compact: plain numbers") << "10"
                                                 << "9" << 1;
    QTest::newRow("four digits are not compact") << "1234"
                                                 << "1.2.3.4" << 1;
    QTest::newRow("compact three digits") << "120"
                                          << "1.2.0" << 0;
    QTest::newRow("compact leading zero") << "012"
                                          << "0.1.2" << 0;
    QTest::newRow("compact on the right") << "1.2"
                                          << "12" << 0;
    QTest::newRow("compact against underscores") << "12"
                                                 << "1_2" << 0;
    QTest::newRow("compact needs equal piece count") << "12"
                                                     << "1.2.3" << 1;
    QTest::newRow("compact needs single digits") << "12"
                                                 << "1.20" << 1;
    QTest::newRow("compact needs pure digits") << "12"
                                               << "1.2-beta" << 1;
    QTest::newRow("compact needs digits only on its side") << "12a"
                                                           << "1.2" << 1;
    QTest::newRow("64-bit pieces") << "9223372036854775807"
                                   << "9223372036854775806" << 1;
    QTest::newRow("overflowing piece counts as zero") << "99999999999999999999"
                                                      << "0" << 0;
    QTest::newRow("non-ASCII lower case") << QString::fromUtf8("Ä") << QString::fromUtf8("ä") << 0;
    QTest::newRow("non-ASCII text with number") << QString::fromUtf8("1.3 Über") << "1.2" << 1;
    QTest::newRow("non-breaking space is not removed")
        << QString::fromUtf8("1\u00a0.2") << QString::fromUtf8("1\u00a0.3") << 0;
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
    // Random texts from the characters that matter to the rules, plus some that must not count as blanks
    // inside a version (no-break space, next line) although they are trimmed at the ends.
    const QString alphabet =
        QStringLiteral("0123456789012345.._-,vV \t\v\nab") + QChar(0x00c4) + QChar(0x00a0) + QChar(0x0085);
    const QStringList separators = {".", ".", "_", "-", ",", "..", " . "};
    const QStringList suffixes = {"", "", "", "-beta", "a", ".", " rc1", "\u00a0x"};
    QRandomGenerator random(20240607);
    const auto pick = [&](const QStringList &list) {
        return list.at(random.bounded(int(list.size())));
    };
    const auto randomText = [&]() {
        QString text;
        const int length = random.bounded(0, 9);
        for (int i = 0; i < length; ++i)
            text.append(alphabet.at(random.bounded(int(alphabet.size()))));
        return text;
    };
    // Dotted, compact and suffixed versions, so that the compact rule and the numeric runs get hit often.
    const auto randomVersion = [&]() {
        QString text = random.bounded(4) == 0 ? QStringLiteral("v") : QString();
        const int groups = random.bounded(1, 5);
        for (int g = 0; g < groups; ++g) {
            if (g > 0)
                text += pick(separators);
            const int digits = random.bounded(1, random.bounded(6) == 0 ? 22 : 4);
            for (int d = 0; d < digits; ++d)
                text.append(QChar(u'0' + random.bounded(10)));
        }
        return QString(text + pick(suffixes));
    };
    for (int i = 0; i < 30000; ++i) {
        const QString a = random.bounded(3) == 0 ? randomText() : randomVersion();
        const QString b = random.bounded(3) == 0 ? randomText() : randomVersion();
        if (sign(compareVersions(a, b)) != referenceCompare(a, b))
            QFAIL(qPrintable(QStringLiteral("'%1' against '%2'").arg(a, b)));
    }
}

void TestVersions::archiveNameVersions_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("underscores") << "mod_2_10_3.zip" << QStringList{"2.10.3", "10.3"};
    QTest::newRow("dots with v") << "Bahnhof-v1.4.7z" << QStringList{"1.4"};
    QTest::newRow("capitals") << "MOD_V2.0.ZIP" << QStringList{"2.0"};
    QTest::newRow("at most four pieces") << "mod-1.2.3.4.5.rar" << QStringList{"2.3.4.5", "3.4.5", "4.5"};
    QTest::newRow("leading zeros dropped") << "mod_01_002.zip" << QStringList{"1.2"};
    QTest::newRow("zero stays zero") << "mod_1_00.zip" << QStringList{"1.0"};
    QTest::newRow("huge piece is not wrapped")
        << "mod_1.000000000000000000000000000001.zip" << QStringList{"1.1"};
    QTest::newRow("rar part volume") << "mod_v1.2.part1.rar" << QStringList{"1.2"};
    QTest::newRow("numbered volume") << "Mod_1.3.7z.001" << QStringList{"1.3"};
    QTest::newRow("part suffix without archive extension") << "mod_1.3.part2" << QStringList{"1.3"};
    QTest::newRow("no extension") << "mod_3.1" << QStringList{"3.1"};
    QTest::newRow("whole name is the version") << "1.2.zip" << QStringList{"1.2"};
    QTest::newRow("single number") << "mod12.zip" << QStringList();
    QTest::newRow("single number after separator") << "mod_12.zip" << QStringList();
    QTest::newRow("no digits") << "mod.zip" << QStringList();
    QTest::newRow("empty") << "" << QStringList();
    QTest::newRow("folder only") << "mods/" << QStringList();
    QTest::newRow("version not at the end") << "mod 1.2 final.zip" << QStringList();
    QTest::newRow("folders ignored") << "releases_2.0/mod_1.5.zip" << QStringList{"1.5"};
    QTest::newRow("version only in folder") << "releases_2.0/mod.zip" << QStringList();
    QTest::newRow("backslash folders") << "C:\\mods_9.9\\mod_1.6.zip" << QStringList{"1.6"};
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
    // Names assembled from the pieces that matter to the rules, including letter case, folders and line
    // breaks, against the rules written with regular expressions.
    const QStringList tokens = {"mod", "v",    "V",    "_",    "-",    ".",     "1",     "23",    "0",
                                "007", ".zip", ".ZIP", ".7z",  ".rar", ".Rar",  ".part", ".PART", "\n",
                                "/",   "\\",   " ",    ".001", ".12",  ".0003", "x",     "z",     "\u00df"};
    QRandomGenerator random(777);
    for (int i = 0; i < 30000; ++i) {
        QString name;
        const int count = random.bounded(0, 10);
        for (int t = 0; t < count; ++t)
            name += tokens.at(random.bounded(int(tokens.size())));
        const QStringList expected = referenceArchiveNameVersions(name);
        if (::archiveNameVersions(name) != expected)
            QFAIL(qPrintable(QStringLiteral("'%1': expected '%2', got '%3'")
                                 .arg(name, expected.join(u'|'), ::archiveNameVersions(name).join(u'|'))));
    }
}

void TestVersions::minimumVersionPhrase_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");

    QTest::newRow("ab Version") << "ab Version 1.2"
                                << "1.2";
    QTest::newRow("mind.") << "mind. 2.0"
                           << "2.0";
    QTest::newRow("mindestens") << "mindestens 3"
                                << "3";
    QTest::newRow("mindestens Version") << "mindestens Version 2.1"
                                        << "2.1";
    QTest::newRow("mind. Version") << "mind. Version 1.5"
                                   << "1.5";
    QTest::newRow("Mind.Version without blank") << "Mind.Version 1.6"
                                                << "1.6";
    QTest::newRow("mindestens Version with v") << "Mindestens Version v2.2.1"
                                               << "2.2.1";
    QTest::newRow("minimum version colon") << "minimum version: 1.4.2"
                                           << "1.4.2";
    QTest::newRow("minimum") << "Minimum 7"
                             << "7";
    QTest::newRow("required version") << "Required version = v2.1"
                                      << "2.1";
    QTest::newRow("version >=") << "Version >= 1.5"
                                << "1.5";
    QTest::newRow("version ab") << "Version ab 4.1"
                                << "4.1";
    QTest::newRow("bare >=") << ">= 2"
                             << "2";
    QTest::newRow("at most four pieces") << "ab Version 1.2.3.4.5"
                                         << "1.2.3.4";
    QTest::newRow("underscores kept") << "ab version 1_2"
                                      << "1_2";
    QTest::newRow("oder neuer") << "v1.3 oder neuer"
                                << "1.3";
    QTest::newRow("or newer") << "needs V2.0 or newer"
                              << "2.0";
    QTest::newRow("plus") << "v2.0+"
                          << "2.0";
    QTest::newRow("v needs a word boundary") << "dev2.0"
                                             << "";
    QTest::newRow("v needs two pieces") << "v1"
                                        << "";
    QTest::newRow("plain version") << "Version 1.2"
                                   << "";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("first pattern wins") << "v3.0 oder neuer, mindestens 2.0"
                                        << "2.0";
}

void TestVersions::minimumVersionPhrase()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(::minimumVersionPhrase(text), expected);
}

void TestVersions::versionFromText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");

    QTest::newRow("plain") << "  1.4  "
                           << "1.4";
    QTest::newRow("with v and blank") << "v 1.2"
                                      << "1.2";
    QTest::newRow("inside prose") << "Version 2.3 beta"
                                  << "2.3";
    QTest::newRow("phrase wins over earlier number") << "Teil 2, mindestens Version 1.5"
                                                     << "1.5";
    QTest::newRow("first of two phrases") << "ab Version 1.2, empfohlen 1.5"
                                          << "1.2";
    QTest::newRow("at most four pieces") << "1.2.3.4.5"
                                         << "1.2.3.4";
    QTest::newRow("no number") << "  neueste  "
                               << "neueste";
    QTest::newRow("empty") << ""
                           << "";
}

void TestVersions::versionFromText()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(::versionFromText(text), expected);
}

void TestVersions::managerRelease_data()
{
    QTest::addColumn<QString>("entryVersion");
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<bool>("newer");

    QTest::newRow("entry newer than name") << "0.5.40"
                                           << "FX3ModManager_0.5.38.zip"
                                           << "0.5.40" << true;
    QTest::newRow("name newer than entry") << "0.5"
                                           << "FX3ModManager_v0.5.39.zip"
                                           << "0.5.39" << true;
    QTest::newRow("only name") << ""
                               << "FX3ModManager-v0.6.0-win64.zip"
                               << "0.6.0" << true;
    QTest::newRow("only entry, trimmed") << " 1.0 "
                                         << ""
                                         << "1.0" << true;
    QTest::newRow("same as running") << "0.5.38"
                                     << "mm-0.5.38.zip"
                                     << "0.5.38" << false;
    QTest::newRow("38 is newer than 4") << "0.5.4"
                                        << ""
                                        << "0.5.4" << false;
    QTest::newRow("suffix does not make newer") << "0.5.38-beta"
                                                << ""
                                                << "0.5.38-beta" << false;
    QTest::newRow("fourth piece") << ""
                                  << "mm_0.5.38.1.zip"
                                  << "0.5.38.1" << true;
    QTest::newRow("name needs a dot") << "0.5.30"
                                      << "mm_2024.zip"
                                      << "0.5.30" << false;
    QTest::newRow("at most four pieces from the name") << "0.5.1"
                                                       << "mm_0.6.0.0.1.zip"
                                                       << "0.6.0.0" << true;
    QTest::newRow("nothing known") << ""
                                   << "manager.zip"
                                   << "" << false;
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
