#include "community/communityreports.h"

#include <QCoreApplication>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QUrlQuery>

#include <tuple>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("MainWindow", text);
}

// The service sends ids as strings or numbers; both are compared as text.
QString idText(const QJsonValue &value)
{
    return value.isString() ? value.toString() : modIoIdText(value);
}

void takeCounts(ModIoMod &record, const QJsonObject &counts)
{
    record.communityPerformanceCount = counts.value(QLatin1String("performance")).toInt();
    record.communityAiCount = counts.value(QLatin1String("ai")).toInt();
    record.communityTechnicalCount = counts.value(QLatin1String("technical")).toInt();
    record.communitySummaryLoaded = true;
}

QJsonObject keyObject(const CommunityKey &key)
{
    return QJsonObject{{QStringLiteral("mod_id"), key.first}, {QStringLiteral("file_id"), key.second}};
}

QByteArray compact(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

} // namespace

QList<CommunityCategory> communityCategories()
{
    return {
        {QStringLiteral("performance"), tr("Performanceprobleme"),
         tr("Zum Beispiel starke FPS-Einbrüche, ungewöhnlich hohe Draw Calls oder sehr hoher "
            "Speicherbedarf.")},
        {QStringLiteral("ai"), tr("Möglicherweise stark KI-/automatisiert erstellt"),
         tr("Nur als Hinweis auf auffällige Merkmale. Diese Meldung ist kein Beweis für den Einsatz von "
            "KI.")},
        {QStringLiteral("technical"), tr("Technische Probleme"),
         tr("Zum Beispiel Fehler, Abstürze, kaputte Modelle oder andere gravierende technische Probleme.")},
    };
}

QList<CommunityKey> pendingCommunitySummaries(const QList<ModIoMod> &records, int limit)
{
    QList<CommunityKey> items;
    for (const ModIoMod &record : records) {
        if (items.size() >= limit)
            break;
        if (!record.communitySummaryLoaded && !record.id.isEmpty() && !record.modfileId.isEmpty())
            items.append({record.id, record.modfileId});
    }
    return items;
}

bool communitySummariesPending(const QList<ModIoMod> &records)
{
    return !pendingCommunitySummaries(records, 1).isEmpty();
}

QByteArray communitySummariesBody(const QList<CommunityKey> &items)
{
    QJsonArray array;
    for (const CommunityKey &key : items)
        array.append(keyObject(key));
    return compact(
        {{QStringLiteral("action"), QStringLiteral("summaries")}, {QStringLiteral("items"), array}});
}

QByteArray communitySetReportsBody(const CommunityKey &key, const QString &reporter, const QStringList &types)
{
    QJsonArray chosen;
    for (const CommunityCategory &category : communityCategories()) {
        if (types.contains(category.key))
            chosen.append(category.key);
    }
    QJsonObject body = keyObject(key);
    body.insert(QStringLiteral("action"), QStringLiteral("set_reports"));
    body.insert(QStringLiteral("reporter"), reporter);
    body.insert(QStringLiteral("types"), chosen);
    return compact(body);
}

QUrl communityOwnSummaryUrl(const QString &endpoint, const CommunityKey &key, const QString &reporter)
{
    QUrl url(endpoint, QUrl::TolerantMode);
    QUrlQuery query(url);
    query.addQueryItem(QStringLiteral("action"), QStringLiteral("summary"));
    query.addQueryItem(QStringLiteral("mod_id"), key.first);
    query.addQueryItem(QStringLiteral("file_id"), key.second);
    query.addQueryItem(QStringLiteral("reporter"), reporter);
    url.setQuery(query);
    return url;
}

bool communityAnswer(const QByteArray &body, QJsonObject *answer)
{
    const QJsonDocument document = QJsonDocument::fromJson(body);
    if (!document.isObject() || document.object().value(QLatin1String("ok")) != QJsonValue(true))
        return false;
    *answer = document.object();
    return true;
}

QList<int> applyCommunitySummaries(QList<ModIoMod> &records, const QJsonObject &answer)
{
    QHash<CommunityKey, QList<int>> byKey;
    for (int i = 0; i < records.size(); ++i)
        byKey[{records.at(i).id, records.at(i).modfileId}].append(i);
    QList<int> changed;
    for (const QJsonValue &element : answer.value(QLatin1String("items")).toArray()) {
        const QJsonObject item = element.toObject();
        const CommunityKey key{idText(item.value(QLatin1String("mod_id"))),
                               idText(item.value(QLatin1String("file_id")))};
        if (key.first.isEmpty() || key.second.isEmpty())
            continue;
        for (int index : byKey.value(key)) {
            ModIoMod &record = records[index];
            const auto counts = [&record] {
                return std::make_tuple(record.communitySummaryLoaded, record.communityPerformanceCount,
                                       record.communityAiCount, record.communityTechnicalCount);
            };
            const auto before = counts();
            takeCounts(record, item.value(QLatin1String("counts")).toObject());
            // Only news counts: a service that repeats itself must not keep the batches going.
            if (counts() != before)
                changed.append(index);
        }
    }
    return changed;
}

QList<int> applyCommunityOwnAnswer(QList<ModIoMod> &records, const CommunityKey &key,
                                   const QJsonObject &answer)
{
    QStringList own;
    for (const QJsonValue &value : answer.value(QLatin1String("own")).toArray()) {
        const QString type = value.toString().trimmed();
        if (!type.isEmpty())
            own.append(type);
    }
    QList<int> changed;
    for (int i = 0; i < records.size(); ++i) {
        ModIoMod &record = records[i];
        if (key.first.isEmpty() || record.id != key.first || record.modfileId != key.second)
            continue;
        takeCounts(record, answer.value(QLatin1String("counts")).toObject());
        record.communityOwnTypes = own;
        record.communityOwnLoaded = true;
        changed.append(i);
    }
    return changed;
}

int communityLargestCount(const ModIoMod &record)
{
    return qMax(record.communityPerformanceCount,
                qMax(record.communityAiCount, record.communityTechnicalCount));
}

QString communityWarningLevel(const ModIoMod &record)
{
    const int largest = communityLargestCount(record);
    if (largest >= 11)
        return QStringLiteral("high");
    if (largest >= 6)
        return QStringLiteral("medium");
    if (largest >= 3)
        return QStringLiteral("low");
    return {};
}

QString communityWarningText(const ModIoMod &record)
{
    if (!record.communitySummaryLoaded)
        return tr("Community-Hinweise werden geladen…");
    const QString level = communityWarningLevel(record);
    QStringList lines;
    lines.append(
        level == QLatin1String("high")     ? tr("⚠ Häufig gemeldete Probleme für diese Mod-Version")
        : level == QLatin1String("medium") ? tr("⚠ Mehrere Nutzer melden Probleme mit dieser Mod-Version")
        : level == QLatin1String("low")    ? tr("⚠ Community-Hinweis zu dieser Mod-Version")
                                        : tr("Keine bestätigte Community-Warnung für diese Mod-Version."));
    if (record.communityPerformanceCount > 0)
        lines.append(tr("Performanceprobleme: %1").arg(record.communityPerformanceCount));
    if (record.communityAiCount > 0)
        lines.append(tr("Mögliche KI-/Automatisierungs-Indizien: %1").arg(record.communityAiCount));
    if (record.communityTechnicalCount > 0)
        lines.append(tr("Technische Probleme: %1").arg(record.communityTechnicalCount));
    const int largest = communityLargestCount(record);
    if (largest <= 0)
        lines.append(tr("Bisher wurden für diese Dateiversion keine Probleme gemeldet."));
    else if (largest < 3)
        lines.append(tr("Eine öffentliche Warnung erscheint erst ab 3 gleichartigen Meldungen."));
    lines.append(tr("Community-Meldungen sind Hinweise, keine abschließende Bewertung."));
    return lines.join(QLatin1Char('\n'));
}

QString communityWarningStyle(const QString &level)
{
    if (level == QLatin1String("high"))
        return QStringLiteral(
            "QLabel{background:#fff0ee;border:1px solid #e6aaa3;border-radius:7px;padding:9px "
            "10px;color:#8f1f17;font-weight:600;}");
    if (level == QLatin1String("medium"))
        return QStringLiteral(
            "QLabel{background:#fff5e8;border:1px solid #e7c18b;border-radius:7px;padding:9px "
            "10px;color:#8a4b08;font-weight:600;}");
    if (level == QLatin1String("low"))
        return QStringLiteral("QLabel{background:#fff9eb;border:1px solid "
                              "#ead8a5;border-radius:7px;padding:9px 10px;color:#725d18;}");
    return QStringLiteral("QLabel{background:#f8f4ee;border:1px solid #e2d8cb;border-radius:7px;padding:9px "
                          "10px;color:#5f554a;}");
}

QString communityBadgeText(const ModIoMod &record)
{
    const int largest = communityLargestCount(record);
    return largest >= 3 ? tr("⚠ Community %1").arg(largest) : QString();
}

bool communityReportMatchesInstalled(const ModIoMod &record, bool installed, const QString &installedFileId)
{
    return installed && !record.modfileId.isEmpty() && record.modfileId == installedFileId;
}

CommunityPanelState communityPanelState(bool enabled, const ModIoMod &record, bool installed,
                                        const QString &installedFileId)
{
    CommunityPanelState state;
    if (enabled) {
        state.text = communityWarningText(record);
        state.style = communityWarningStyle(communityWarningLevel(record));
    } else {
        state.text = tr("Community-Hinweise sind in den Einstellungen deaktiviert.");
        state.style = QStringLiteral("QLabel{background:#f8f4ee;border:1px solid #e2d8cb;border-radius:7px;"
                                     "padding:9px 10px;color:#756c62;}");
    }
    const bool matches = communityReportMatchesInstalled(record, installed, installedFileId);
    state.buttonEnabled = enabled && matches && record.communityOwnLoaded;
    if (enabled && matches && !record.communityOwnLoaded)
        state.buttonText = tr("Meldestatus wird geladen…");
    else if (record.communityOwnTypes.isEmpty())
        state.buttonText = tr("Mod melden");
    else
        state.buttonText = tr("Meldung verwalten (%1)").arg(record.communityOwnTypes.size());

    if (!enabled)
        state.buttonToolTip = tr("Community-Meldungen sind in den Einstellungen deaktiviert.");
    else if (!installed)
        state.buttonToolTip = tr("Melden ist erst möglich, nachdem dieser mod.io-Mod installiert wurde.");
    else if (!matches)
        state.buttonToolTip =
            tr("Für die angezeigte Mod-Version ist ein Update verfügbar. Community-Meldungen "
               "sind versionsgebunden; bitte zuerst die aktuelle Version installieren.");
    else if (!record.communityOwnLoaded)
        state.buttonToolTip = tr("Der eigene Meldestatus wird gerade von der Community-API geladen.");
    else
        state.buttonToolTip =
            tr("Meldung für genau diese installierte mod.io-Dateiversion abgeben, ändern oder "
               "zurücknehmen.");
    return state;
}

QString communityUnreachableText()
{
    return tr("Community-Hinweise sind derzeit nicht erreichbar.");
}

QString communityUnreachableButtonText()
{
    return tr("Community-API nicht erreichbar");
}

QString communitySaveFailureText(const QString &networkError, int httpStatus, const QByteArray &body)
{
    QString message =
        !networkError.isEmpty() ? networkError : tr("Die Community-API hat keine gültige Antwort geliefert.");
    const QJsonDocument document = QJsonDocument::fromJson(body);
    const QString serviceError = document.object().value(QLatin1String("error")).toString().trimmed();
    if (document.isObject() && !serviceError.isEmpty())
        message = serviceError;
    if (httpStatus >= 500 && message == QLatin1String("Interner Serverfehler."))
        message = tr("Interner Serverfehler. Bitte prüfe auf dem Server, ob pdo_sqlite aktiv ist und das "
                     "Datenverzeichnis der Community-API Schreibrechte besitzt.");
    return message;
}
