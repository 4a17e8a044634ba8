#include "app/apptranslator.h"

#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QtTest>

namespace {
// Undoes the C++ escapes a source text may carry inside its string literal.
QString unescapeCpp(const QString &literal)
{
    QString text;
    for (qsizetype i = 0; i < literal.size(); ++i) {
        QChar c = literal.at(i);
        if (c == u'\\' && i + 1 < literal.size()) {
            c = literal.at(++i);
            if (c == u'u') {
                c = QChar(literal.mid(i + 1, 4).toUShort(nullptr, 16));
                i += 4;
            } else if (c == u'n' || c == u't') {
                c = c == u'n' ? u'\n' : u'\t';
            }
        }
        text += c;
    }
    return text;
}

QString joinLiterals(const QString &literals)
{
    static const QRegularExpression literal(QStringLiteral("\"((?:[^\"\\\\]|\\\\.)*)\""));
    QString text;
    for (auto it = literal.globalMatch(literals); it.hasNext();)
        text += unescapeCpp(it.next().captured(1));
    return text;
}

// Every source text handed to tr(), translate() or a translation marker anywhere in src/.
QMap<QString, QString> translatableTexts()
{
    static const QRegularExpression call(
        QStringLiteral("\\b(?:tr|QT_TR_NOOP)\\s*\\(\\s*((?:\"(?:[^\"\\\\]|\\\\.)*\"\\s*)+)[,)]"
                       "|\\b(?:translate|QT_TRANSLATE_NOOP)\\s*\\(\\s*\"[^\"]*\"\\s*,\\s*((?:\"(?:[^\"\\\\]|"
                       "\\\\.)*\"\\s*)+)[,)]"));
    QMap<QString, QString> texts; // text -> first place it was seen
    QDirIterator files(QStringLiteral(FX3_SOURCE_DIR "/src"), {"*.cpp", "*.h"}, QDir::Files,
                       QDirIterator::Subdirectories);
    while (files.hasNext()) {
        const QString path = files.next();
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QString content = QString::fromUtf8(file.readAll());
        for (auto it = call.globalMatch(content); it.hasNext();) {
            const QRegularExpressionMatch match = it.next();
            const QString literals = match.captured(1).isEmpty() ? match.captured(2) : match.captured(1);
            const QString text = joinLiterals(literals);
            if (!text.isEmpty() && !texts.contains(text))
                texts.insert(text, path.mid(QStringLiteral(FX3_SOURCE_DIR).size() + 1));
        }
    }
    return texts;
}
} // namespace

class AppTranslatorTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void englishTableTranslatesExactTextsOnly();
    void germanTableTranslatesStandardButtons();
    void installedTranslatorReachesTr();
    void tableRowsAreWellFormed();
    void everyInterfaceTextIsEnglishOrGermanOnly();
};

void AppTranslatorTest::englishTableTranslatesExactTextsOnly()
{
    AppTranslator english(QStringLiteral("EN"));
    QCOMPARE(english.translate("MainWindow", "Einstellungen"), QStringLiteral("Settings"));
    QCOMPARE(english.translate("OtherContext", "Einstellungen", "any", 3), QStringLiteral("Settings"));
    QVERIFY(english.translate("MainWindow", "Einstellungen ").isNull());
    QVERIFY(english.translate("MainWindow", "einstellungen").isNull());
    QVERIFY(english.translate("MainWindow", nullptr).isNull());
    QVERIFY(english.translate("QPlatformTheme", "&Yes").isNull());
    // Texts with line breaks and placeholders come through whole.
    QCOMPARE(english.translate("MainWindow", "Der Mod '%1' ist bereits vorhanden.\n\nVorhandene Dateien "
                                             "aktualisieren/\u00fcberschreiben?"),
             QStringLiteral("The mod '%1' is already installed.\n\nUpdate/overwrite the existing files?"));
}

void AppTranslatorTest::germanTableTranslatesStandardButtons()
{
    AppTranslator german(QStringLiteral("de"));
    QCOMPARE(german.translate("QPlatformTheme", "&Yes"), QStringLiteral("&Ja"));
    QCOMPARE(german.translate("QPlatformTheme", "Close"), QStringLiteral("Schließen"));
    QCOMPARE(german.translate("QPlatformTheme", "&Abort"), QStringLiteral("&Abbrechen"));
    QVERIFY(german.translate("MainWindow", "Einstellungen").isNull());
}

void AppTranslatorTest::installedTranslatorReachesTr()
{
    AppTranslator english(QStringLiteral("en"));
    QCoreApplication::installTranslator(&english);
    QCOMPARE(QCoreApplication::translate("MainWindow", "Start"), QStringLiteral("Home"));
    QCOMPARE(QCoreApplication::translate("MainWindow", "Nicht übersetzt"), QStringLiteral("Nicht übersetzt"));
    QCoreApplication::removeTranslator(&english);
    QCOMPARE(QCoreApplication::translate("MainWindow", "Start"), QStringLiteral("Start"));
}

void AppTranslatorTest::tableRowsAreWellFormed()
{
    static const QRegularExpression placeholder(QStringLiteral("%\\d+"));
    QSet<QString> seen;
    for (const auto &row : englishTableRows()) {
        QVERIFY2(!row.second.isEmpty(), qPrintable("no English text for: " + row.first));
        QVERIFY2(!seen.contains(row.first), qPrintable("row given twice: " + row.first));
        seen.insert(row.first);
        QStringList germanPlaceholders, englishPlaceholders;
        for (auto it = placeholder.globalMatch(row.first); it.hasNext();)
            germanPlaceholders.append(it.next().captured());
        for (auto it = placeholder.globalMatch(row.second); it.hasNext();)
            englishPlaceholders.append(it.next().captured());
        germanPlaceholders.sort();
        englishPlaceholders.sort();
        QVERIFY2(germanPlaceholders == englishPlaceholders,
                 qPrintable("placeholders differ: " + row.first + " -> " + row.second));
    }
}

void AppTranslatorTest::everyInterfaceTextIsEnglishOrGermanOnly()
{
    QSet<QString> translated;
    for (const auto &row : englishTableRows())
        translated.insert(row.first);
    QStringList germanOnly;
    QFile list(QStringLiteral(FX3_TEST_DATA_DIR "/german_only.txt"));
    QVERIFY(list.open(QIODevice::ReadOnly));
    for (const QByteArray &line : list.readAll().split('\n')) {
        if (!line.trimmed().isEmpty() && !line.startsWith('#'))
            germanOnly.append(QString::fromUtf8(line).replace(QLatin1String("\\n"), QLatin1String("\n")));
    }

    const QMap<QString, QString> texts = translatableTexts();
    QVERIFY(texts.size() > 10);
    QStringList faults;
    for (auto it = texts.cbegin(); it != texts.cend(); ++it) {
        if (!translated.contains(it.key()) && !germanOnly.contains(it.key()))
            faults.append("no English row: " + it.value() + ": " + it.key());
    }
    for (const QString &text : std::as_const(germanOnly)) {
        if (translated.contains(text))
            faults.append("German-only text with an English row: " + text);
        if (!texts.contains(text))
            faults.append("German-only text no longer used: " + text);
    }
    // One line each: a single failure message would be cut off.
    for (const QString &fault : std::as_const(faults))
        qWarning("%s", qPrintable(QString(fault).replace('\n', QLatin1String("\\n"))));
    QVERIFY2(faults.isEmpty(), qPrintable(QStringLiteral("%1 texts in the wrong table").arg(faults.size())));
}

QTEST_GUILESS_MAIN(AppTranslatorTest)
#include "tst_apptranslator.moc"
