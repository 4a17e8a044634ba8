#include "modio/quickcheck.h"

#include "app/settings.h"
#include "modio/modioclient.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSet>

namespace {

constexpr qint64 thirtyDaysEnd = 2592001;
constexpr qint64 ninetyDaysEnd = 7776001;

QString tr(const char *text)
{
    return QCoreApplication::translate("MainWindow", text);
}

// Words are separated the way "\s+" separates them in Qt's regular expressions: by ASCII blanks only.
bool isWordSeparator(QChar c)
{
    return c == u' ' || (c.unicode() >= 0x09 && c.unicode() <= 0x0d);
}

int wordCount(const QString &text)
{
    int count = 0;
    bool inWord = false;
    for (const QChar c : text) {
        const bool separator = isWordSeparator(c);
        if (!separator && !inWord)
            ++count;
        inWord = !separator;
    }
    return count;
}

int languageSectionCount(const QString &description)
{
    static const QRegularExpression heading(
        QStringLiteral("^\\s*(?:#{1,4}\\s*)?(deutsch|german|english|englisch|fran[cç]ais|french|espa[nñ]ol|"
                       "spanish|italiano|italian|polski|polish|nederlands|dutch|russian|русский|chinese|中文|"
                       "japanese|日本語)\\s*[:\\-–—]?\\s*$"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::MultilineOption);
    QSet<QString> languages;
    for (auto it = heading.globalMatch(description); it.hasNext();)
        languages.insert(it.next().captured(1).toCaseFolded());
    return int(languages.size());
}

// The same as QString::toCaseFolded, which folds code point by code point, with a short way for ASCII:
// descriptions are long, and the general fold costs several times the searches that follow it.
QString foldedText(const QString &text)
{
    QString folded(text.size(), Qt::Uninitialized);
    const QChar *in = text.constData();
    QChar *out = folded.data();
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t c = in[i].unicode();
        if (c < 0x80) {
            out[i] = QChar(c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c);
        } else if (QChar::isHighSurrogate(c) && i + 1 < size && in[i + 1].isLowSurrogate()) {
            const char32_t point = QChar::toCaseFolded(QChar::surrogateToUcs4(c, in[i + 1].unicode()));
            out[i] = QChar(QChar::highSurrogate(point));
            out[++i] = QChar(QChar::lowSurrogate(point));
        } else {
            out[i] = QChar(char16_t(QChar::toCaseFolded(char32_t(c))));
        }
    }
    return folded;
}

// How many of words occur in foldedText, counting no further than enough.
int wordsFound(const QString &foldedText, std::initializer_list<const char16_t *> words, int enough)
{
    int found = 0;
    for (const char16_t *word : words) {
        if (found < enough && foldedText.contains(QStringView(word)))
            ++found;
    }
    return found;
}

void addReason(QStringList &reasons, int &score, int points, const QString &reason)
{
    score += points;
    reasons.append(reason);
}

bool isGenericFileName(const QString &baseName)
{
    static const QRegularExpression numbered(QStringLiteral("^(?:m|mesh|mat|material)[_-]?\\d+$"),
                                             QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression colourOrMaterial(
        QStringLiteral(
            "^(?:rot|red|blau|blue|gelb|yellow|gruen|grün|green|eisen|iron|beton|concrete|holz|wood)$"),
        QRegularExpression::CaseInsensitiveOption);
    return numbered.match(baseName).hasMatch() || colourOrMaterial.match(baseName).hasMatch();
}

} // namespace

void computeModIoQuickCheck(ModIoMod &record)
{
    record.quickCheckScore = 0;
    record.quickCheckReasons.clear();
    int &score = record.quickCheckScore;
    QStringList &reasons = record.quickCheckReasons;

    static const QRegularExpression genericAccount(QStringLiteral("^modio[_-]?user[\\p{L}\\p{N}_-]+$"),
                                                   QRegularExpression::CaseInsensitiveOption);
    QString account = record.authorUsername.trimmed();
    if (account.isEmpty())
        account = record.author.trimmed();
    if (genericAccount.match(account).hasMatch())
        addReason(reasons, score, 3, tr("Generischer mod.io-Accountname (%1)").arg(account));

    const QString description = record.description.trimmed();
    const int words = wordCount(description);
    if (words >= 650)
        addReason(reasons, score, 2, tr("Sehr lange Beschreibung (%1 Wörter)").arg(words));
    else if (words >= 320)
        addReason(reasons, score, 1, tr("Lange Beschreibung (%1 Wörter)").arg(words));

    const int languages = languageSectionCount(description);
    if (languages >= 3)
        addReason(reasons, score, 1, tr("Mindestens %1 klar getrennte Sprachabschnitte").arg(languages));

    if (record.galleryImageCount == 0)
        addReason(reasons, score, 1, tr("Keine zusätzlichen Galerie-Screenshots auf mod.io"));

    if (words >= 120) {
        const QString folded = foldedText(description);
        const int promotional =
            wordsFound(folded,
                       {u"beeindruckend", u"charakteristisch", u"faszinierend", u"einzigartig", u"ikonisch",
                        u"atemberaubend", u"impressive", u"iconic", u"stunning", u"remarkable", u"unique",
                        u"breathtaking"},
                       4);
        // Only a promotional text needs its technical words counted.
        const int technical =
            promotional < 4 ? 0
                            : wordsFound(folded,
                                         {u"version", u"installation", u"dependency", u"abhängigkeit",
                                          u"texture", u"textur", u"mesh", u"lod", u"capacity", u"kapazität",
                                          u"speed", u"geschwindigkeit", u"asset", u"mod.lua"},
                                         3);
        if (promotional >= 4 && technical <= 2)
            addReason(
                reasons, score, 1,
                tr("Beschreibung wirkt stark werblich, enthält aber wenig technische Mod-Informationen"));
    }
}

ModIoGenericFileCount countModIoGenericFiles(const QString &folder)
{
    ModIoGenericFileCount count;
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        return count;
    QDirIterator files(folder, {QStringLiteral("*.msh"), QStringLiteral("*.mtl")}, QDir::Files,
                       QDirIterator::Subdirectories);
    while (files.hasNext()) {
        files.next();
        ++count.total;
        if (isGenericFileName(files.fileInfo().completeBaseName()))
            ++count.generic;
    }
    return count;
}

void applyModIoGenericFiles(const ModIoGenericFileCount &count, QStringList &reasons, int &score)
{
    if (count.generic >= 16)
        addReason(reasons, score, 2,
                  tr("%1 sehr generisch benannte Mesh-/Materialdateien gefunden").arg(count.generic));
    else if (count.generic >= 8)
        addReason(reasons, score, 1,
                  tr("%1 generisch benannte Mesh-/Materialdateien gefunden").arg(count.generic));
    if (count.total >= 80 && count.generic >= 10 && count.generic * 100 / count.total > 34)
        addReason(reasons, score, 1,
                  tr("Hoher Anteil generischer Namen bei %1 Mesh-/Materialdateien").arg(count.total));
}

void scanModIoGenericFiles(const QString &modIoModsFolder, const QString &modId, QStringList &reasons,
                           int &score)
{
    if (modIoModsFolder.isEmpty() || modId.isEmpty())
        return;
    applyModIoGenericFiles(countModIoGenericFiles(QDir(modIoModsFolder).filePath(modId)), reasons, score);
}

QUrl modIoAuthorHistoryUrl(const QString &apiRoot, qint64 gameId, const QString &submittedById)
{
    return modIoApiUrl(apiRoot,
                       QStringLiteral("/games/%1/mods").arg(gameId < 1 ? defaultModIoGameId : gameId),
                       {{QStringLiteral("submitted_by"), submittedById},
                        {QStringLiteral("_sort"), QStringLiteral("-date_live")},
                        {QStringLiteral("_limit"), QStringLiteral("100")}});
}

bool needsModIoAuthorHistory(const ModIoMod &record, bool hasKeyOrToken)
{
    return hasKeyOrToken && !record.submittedById.isEmpty();
}

void addModIoAuthorHistory(ModIoQuickCheckReport &report, const QJsonDocument &answer, qint64 nowSeconds)
{
    if (!answer.isObject())
        return;
    const QJsonArray mods = answer.object().value(QLatin1String("data")).toArray();
    int last30Days = 0;
    int last90Days = 0;
    for (const QJsonValue &element : mods) {
        const qint64 live = element.toObject().value(QLatin1String("date_live")).toInteger();
        // Checked before the subtraction: a date far in the past would overflow it.
        if (live <= 0 || live > nowSeconds)
            continue;
        const qint64 age = nowSeconds - live;
        if (age < thirtyDaysEnd)
            ++last30Days;
        if (age < ninetyDaysEnd)
            ++last90Days;
    }
    report.authorNote =
        tr("Öffentliche Mod-Historie des Autors: %1 Einträge in der geprüften Auswahl.").arg(mods.size());
    if (last30Days >= 5)
        addReason(report.reasons, report.score, 2,
                  tr("Sehr hohe Veröffentlichungsdichte: %1 Mods in den letzten 30 Tagen").arg(last30Days));
    else if (last90Days >= 8)
        addReason(report.reasons, report.score, 1,
                  tr("Hohe Veröffentlichungsdichte: %1 Mods in den letzten 90 Tagen").arg(last90Days));
}

ModIoQuickCheckReport startModIoQuickCheckReport(const ModIoMod &record, const QString &modIoModsFolder)
{
    ModIoQuickCheckReport report;
    report.score = record.quickCheckScore;
    report.reasons = record.quickCheckReasons;
    scanModIoGenericFiles(modIoModsFolder, record.id, report.reasons, report.score);
    return report;
}

QString modIoQuickCheckLevelText(int score)
{
    if (score <= 1)
        return tr("wenige oder keine automatischen Auffälligkeiten");
    if (score <= 3)
        return tr("mehrere Indizien vorhanden");
    return tr("auffällige Häufung von Indizien");
}

QString modIoQuickCheckReportText(const QString &modName, const ModIoQuickCheckReport &report)
{
    QString text = tr("Schnellprüfung für: %1\n\nErgebnis: %2\nIndizien-Punktwert: %3\n")
                       .arg(modName, modIoQuickCheckLevelText(report.score), QString::number(report.score));
    if (!report.authorNote.isEmpty())
        text += QLatin1Char('\n') + report.authorNote + QLatin1Char('\n');
    text += tr("\nGefundene Hinweise:\n");
    for (const QString &reason : report.reasons)
        text += QStringLiteral("- ") + reason + QLatin1Char('\n');
    if (report.reasons.isEmpty())
        text += tr("- Keine der automatisch prüfbaren Regeln hat angeschlagen.\n");
    text +=
        tr("\nNicht automatisch geprüft werden u. a. Modellgeometrie, Mappingfehler, falsche Positionierung "
           "und der tatsächliche Polycount.\n\nWichtig: Diese Prüfung liefert nur Indizien und keinen "
           "Beweis dafür, dass eine Mod mit KI erstellt wurde oder qualitativ schlecht ist.");
    return text;
}
