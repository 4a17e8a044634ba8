#include "app/apptranslator.h"

#include <QStringView>

extern const char *const englishTableData;

namespace {
// The table file writes a line break as \n, a tab as \t and a backslash as \\.
QString unescapeTableText(QStringView text)
{
    QString result;
    result.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c != QLatin1Char('\\') || i + 1 == text.size()) {
            result.append(c);
            continue;
        }
        const QChar next = text.at(++i);
        if (next == QLatin1Char('n'))
            result.append(QLatin1Char('\n'));
        else if (next == QLatin1Char('t'))
            result.append(QLatin1Char('\t'));
        else
            result.append(next);
    }
    return result;
}

const QPair<const char *, const char *> germanButtonTexts[] = {
    {"&Yes", "&Ja"},          {"Yes", "Ja"},
    {"&No", "&Nein"},         {"No", "Nein"},
    {"Cancel", "Abbrechen"},  {"&Cancel", "&Abbrechen"},
    {"Close", "Schließen"},   {"&Close", "&Schließen"},
    {"Open", "Öffnen"},       {"&Open", "&Öffnen"},
    {"Save", "Speichern"},    {"&Save", "&Speichern"},
    {"Apply", "Übernehmen"},  {"&Apply", "&Übernehmen"},
    {"Retry", "Wiederholen"}, {"&Retry", "&Wiederholen"},
    {"Ignore", "Ignorieren"}, {"&Ignore", "&Ignorieren"},
    {"Abort", "Abbrechen"},   {"&Abort", "&Abbrechen"},
};
} // namespace

QList<QPair<QString, QString>> englishTableRows()
{
    QList<QPair<QString, QString>> rows;
    const QString data = QString::fromUtf8(englishTableData);
    for (QStringView line : QStringView(data).split(QLatin1Char('\n'))) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const qsizetype tab = line.indexOf(QLatin1Char('\t'));
        if (tab <= 0)
            continue;
        rows.append({unescapeTableText(line.left(tab)), unescapeTableText(line.mid(tab + 1))});
    }
    return rows;
}

AppTranslator::AppTranslator(const QString &language, QObject *parent) : QTranslator(parent)
{
    if (language.compare(QLatin1String("en"), Qt::CaseInsensitive) == 0) {
        const QList<QPair<QString, QString>> rows = englishTableRows();
        m_table.reserve(rows.size());
        for (const auto &row : rows)
            m_table.insert(row.first, row.second);
    } else {
        for (const auto &row : germanButtonTexts)
            m_table.insert(QString::fromUtf8(row.first), QString::fromUtf8(row.second));
    }
}

AppTranslator::~AppTranslator() = default;

QString AppTranslator::translate(const char *, const char *sourceText, const char *, int) const
{
    const QString source = sourceText ? QString::fromUtf8(sourceText) : QString();
    const auto found = m_table.constFind(source);
    return found == m_table.cend() ? QString() : found.value();
}
