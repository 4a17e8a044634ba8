#include "modio/modiolisting.h"

#include "analysis/bytesize.h"
#include "app/settings.h"
#include "community/communityreports.h"
#include "localmods/localscan.h"
#include "modio/modioblacklist.h"
#include "modio/modioclient.h"

#include <QCollator>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QSaveFile>
#include <QStandardPaths>

#include <algorithm>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("MainWindow", text);
}

int jsonInt(const QJsonObject &object, QLatin1String key, int fallback)
{
    const QJsonValue value = object.value(key);
    return value.isDouble() ? value.toInt(fallback) : fallback;
}

QString joinedLower(const QStringList &parts)
{
    return parts.join(QLatin1Char(' ')).toLower();
}

QString authorTextOf(const ModIoMod &record)
{
    return joinedLower({record.author, record.authorUsername, record.authorDisplayName, record.authorNameId});
}

QString missingAsDash(const QString &text)
{
    return text.isEmpty() ? QStringLiteral("–") : text;
}

} // namespace

ModIoSource modIoSourceFromKey(const QString &key)
{
    if (key == QLatin1String("subscribed"))
        return ModIoSource::Subscribed;
    if (key == QLatin1String("installed"))
        return ModIoSource::Installed;
    return ModIoSource::All;
}

ModIoSearch parseModIoSearch(const QString &field)
{
    ModIoSearch search;
    search.text = field.trimmed();
    if (search.text.startsWith(QLatin1Char('@'))) {
        search.author = true;
        search.text = search.text.mid(1).trimmed();
    }
    return search;
}

QString modIoSortParameter(const QString &sortKey)
{
    if (sortKey == QLatin1String("name"))
        return QStringLiteral("name");
    if (sortKey == QLatin1String("downloads"))
        return QStringLiteral("-downloads_total");
    if (sortKey == QLatin1String("updated"))
        return QStringLiteral("-date_updated");
    if (sortKey == QLatin1String("rating"))
        return QStringLiteral("-ratings_weighted_aggregate");
    return QStringLiteral("-subscribers_total");
}

QUrl modIoListUrl(const ModIoListRequest &request)
{
    const QString gameId = QString::number(request.gameId < 1 ? defaultModIoGameId : request.gameId);
    const bool subscribed = request.source == ModIoSource::Subscribed;
    const QString path =
        subscribed ? QStringLiteral("/me/subscribed") : QStringLiteral("/games/%1/mods").arg(gameId);
    QList<QPair<QString, QString>> query{{QStringLiteral("_limit"), QString::number(modIoListPageSize)},
                                         {QStringLiteral("_offset"), QString::number(request.offset)},
                                         {QStringLiteral("_sort"), modIoSortParameter(request.sortKey)}};

    const ModIoSearch search = parseModIoSearch(request.searchField);
    if (!search.text.isEmpty()) {
        const QString pattern = QLatin1Char('*') + search.text + QLatin1Char('*');
        if (subscribed) {
            if (!search.author)
                query.append({QStringLiteral("_q"), search.text});
        } else if (search.author) {
            const QString name =
                request.authorSearchShortened && search.text.size() > 4 ? search.text.left(4) : search.text;
            query.append(
                {QStringLiteral("submitted_by_display_name-lk"), QLatin1Char('*') + name + QLatin1Char('*')});
        } else if (request.searchStage == 1) {
            query.append({QStringLiteral("name-lk"), pattern});
        } else if (request.searchStage == 2) {
            query.append({QStringLiteral("submitted_by_display_name-lk"), pattern});
        } else {
            query.append({QStringLiteral("_q"), search.text});
        }
    }
    const QString category = request.categoryKey.trimmed();
    if (!category.isEmpty())
        query.append({QStringLiteral("tags"), category});
    if (subscribed)
        query.append({QStringLiteral("game_id"), gameId});
    if (!request.blockedAuthorIds.isEmpty())
        query.append(
            {QStringLiteral("submitted_by-not-in"), request.blockedAuthorIds.join(QLatin1Char(','))});
    if (request.source == ModIoSource::Installed) {
        QStringList ids(request.installedIds.cbegin(), request.installedIds.cend());
        std::sort(ids.begin(), ids.end(), [](const QString &a, const QString &b) {
            return a.size() != b.size() ? a.size() < b.size() : a < b;
        });
        query.append(
            {QStringLiteral("id-in"), ids.isEmpty() ? QStringLiteral("0") : ids.join(QLatin1Char(','))});
    }
    return modIoApiUrl(request.apiRoot, path, query);
}

ModIoPaging modIoPaging(const QJsonObject &page, int requestedOffset)
{
    ModIoPaging paging;
    paging.offset = jsonInt(page, QLatin1String("result_offset"), requestedOffset);
    paging.count =
        jsonInt(page, QLatin1String("result_count"), int(page.value(QLatin1String("data")).toArray().size()));
    paging.total = jsonInt(page, QLatin1String("result_total"), paging.offset + paging.count);
    paging.nextOffset = paging.offset + paging.count;
    paging.moreAvailable = paging.count > 0 && paging.nextOffset < paging.total;
    return paging;
}

bool shouldRetryModIoSearch(ModIoSource source, const ModIoSearch &search, int offset, bool dataEmpty,
                            int searchStage)
{
    return source != ModIoSource::Subscribed && !search.author && offset == 0 && !search.text.isEmpty() &&
           dataEmpty && searchStage < 2;
}

ModIoPageStep modIoPageStep(const ModIoPageState &state)
{
    if (state.search.author && !state.search.text.isEmpty()) {
        if (state.offset == 0 && state.authorMatches == 0 && !state.authorSearchShortened &&
            state.search.text.size() >= 5)
            return ModIoPageStep::ShortenAuthorSearch;
        if (state.authorSearchShortened && state.authorMatches == 0 && state.paging.moreAvailable &&
            state.authorExtraPages < modIoAuthorExtraPages)
            return ModIoPageStep::NextAuthorPage;
    }
    if (state.ratingValue != 0 && state.paging.moreAvailable &&
        state.paging.nextOffset < modIoRatingRecordCap && state.ratingMatches < modIoRatingHitTarget)
        return ModIoPageStep::NextRatingPage;
    return ModIoPageStep::Finish;
}

int modIoRatingStars(const ModIoMod &record)
{
    if (record.ratingsTotal < 1 || record.ratingPercentPositive < 0)
        return 0;
    const int percent = qMin(record.ratingPercentPositive, 100);
    if (percent <= 20)
        return 1;
    if (percent <= 40)
        return 2;
    if (percent <= 60)
        return 3;
    if (percent <= 80)
        return 4;
    return 5;
}

QString modIoStarText(int stars)
{
    stars = qBound(0, stars, 5);
    return QString(stars, QChar(0x2605)) + QString(5 - stars, QChar(0x2606));
}

bool passesModIoRating(const ModIoMod &record, int ratingValue)
{
    if (ratingValue == 0)
        return true;
    if (ratingValue == 6)
        return record.ratingsTotal < 1;
    return record.ratingsTotal >= 1 && modIoRatingStars(record) >= ratingValue;
}

QString formatModIoCount(qint64 value)
{
    if (value < 1000)
        return QString::number(value);
    if (value < 1000000)
        return tr("%1 Tsd.").arg(QString::number(double(value) / 1000.0, 'f', value < 100000 ? 1 : 0));
    return tr("%1 Mio.").arg(QString::number(double(value) / 1000000.0, 'f', value < 10000000 ? 1 : 0));
}

int countModIoAuthorMatches(const QList<ModIoMod> &records, const QString &needle)
{
    return int(std::count_if(records.cbegin(), records.cend(), [&needle](const ModIoMod &record) {
        return authorTextOf(record).contains(needle);
    }));
}

void ModIoSearchIndex::update(const QList<ModIoMod> &records)
{
    bool prefixKept = m_ids.size() <= records.size();
    for (int i = 0; prefixKept && i < m_ids.size(); ++i)
        prefixKept = m_ids.at(i) == records.at(i).id;
    if (!prefixKept) {
        m_ids.clear();
        m_plain.clear();
        m_author.clear();
    }
    for (qsizetype i = m_ids.size(); i < records.size(); ++i) {
        const ModIoMod &record = records.at(i);
        const QString author = authorTextOf(record);
        m_ids.append(record.id);
        m_author.append(author);
        m_plain.append(record.name.toLower() + QLatin1Char(' ') + author + QLatin1Char(' ') +
                       record.summary.toLower() + QLatin1Char(' ') + joinedLower(record.tags));
    }
}

QList<int> filterModIoRecords(const QList<ModIoMod> &records, const ModIoSearchIndex &index,
                              const ModIoFilter &filter, const ModIoFilterContext &context)
{
    const ModIoAuthorMatcher blocked(context.blacklist);
    QList<int> shown;
    for (int i = 0; i < records.size(); ++i) {
        const ModIoMod &record = records.at(i);
        if (filter.source == ModIoSource::Subscribed && !context.subscribedIds.contains(record.id))
            continue;
        if (filter.source == ModIoSource::Installed && !context.installedIds.contains(record.id))
            continue;
        if (!blocked.isEmpty() && blocked.blocks(record))
            continue;
        if ((!filter.categoryKey.isEmpty() || !filter.categoryText.isEmpty()) &&
            !(!filter.categoryKey.isEmpty() &&
              record.tagNames.contains(filter.categoryKey, Qt::CaseInsensitive)) &&
            !(!filter.categoryText.isEmpty() &&
              record.tags.contains(filter.categoryText, Qt::CaseInsensitive)))
            continue;
        if (!passesModIoRating(record, filter.ratingValue))
            continue;
        if (!filter.search.text.isEmpty() &&
            !(filter.search.author ? index.authorText(i) : index.plainText(i)).contains(filter.search.text))
            continue;
        shown.append(i);
    }

    QCollator collator;
    const auto byName = [&](int a, int b) {
        return collator.compare(records.at(a).name, records.at(b).name) < 0;
    };
    const auto descending = [](auto a, auto b) {
        return a > b ? -1 : (a < b ? 1 : 0);
    };
    std::function<int(const ModIoMod &, const ModIoMod &)> first;
    if (filter.sortKey == QLatin1String("updated")) {
        first = [&](const ModIoMod &a, const ModIoMod &b) {
            return descending(a.dateUpdated, b.dateUpdated);
        };
    } else if (filter.sortKey == QLatin1String("downloads")) {
        first = [&](const ModIoMod &a, const ModIoMod &b) {
            return descending(a.downloads, b.downloads);
        };
    } else if (filter.sortKey == QLatin1String("rating")) {
        first = [&](const ModIoMod &a, const ModIoMod &b) {
            if (const int order = descending(a.ratingWeighted, b.ratingWeighted))
                return order;
            if (const int order = descending(a.ratingPercentPositive, b.ratingPercentPositive))
                return order;
            return descending(a.ratingsTotal, b.ratingsTotal);
        };
    } else if (filter.sortKey != QLatin1String("name")) {
        first = [&](const ModIoMod &a, const ModIoMod &b) {
            if (const int order = descending(a.subscribers, b.subscribers))
                return order;
            return descending(a.downloads, b.downloads);
        };
    }
    if (!first) {
        // Sort keys are made once per shown record; comparing them is far cheaper than comparing names.
        QList<QCollatorSortKey> keys;
        keys.reserve(records.size());
        for (const ModIoMod &record : records)
            keys.append(collator.sortKey(record.name));
        std::stable_sort(shown.begin(), shown.end(),
                         [&keys](int a, int b) { return keys.at(a).compare(keys.at(b)) < 0; });
        return shown;
    }
    std::stable_sort(shown.begin(), shown.end(), [&](int a, int b) {
        if (const int order = first(records.at(a), records.at(b)))
            return order < 0;
        return byName(a, b);
    });
    return shown;
}

QList<ModIoCategory> modIoCategories(const QList<ModIoMod> &records)
{
    QList<ModIoCategory> categories;
    QSet<QString> seen;
    for (const ModIoMod &record : records) {
        for (int i = 0; i < record.tags.size(); ++i) {
            const ModIoCategory category{record.tagNames.value(i), record.tags.at(i)};
            const QString key = category.name.isEmpty() ? QLatin1Char('#') + category.text.toLower()
                                                        : category.name.toLower();
            if (category.text.isEmpty() || seen.contains(key))
                continue;
            seen.insert(key);
            categories.append(category);
        }
    }
    QCollator collator;
    std::stable_sort(categories.begin(), categories.end(), [&collator](const auto &a, const auto &b) {
        return collator.compare(a.text, b.text) < 0;
    });
    return categories;
}

ModIoInstallState modIoInstallState(const ModIoMod &record, const QSet<QString> &installedIds,
                                    const QHash<QString, QString> &installedFileIds)
{
    if (!installedIds.contains(record.id))
        return ModIoInstallState::NotInstalled;
    const QString installedFile = installedFileIds.value(record.id);
    if (!installedFile.isEmpty() && !record.modfileId.isEmpty() && installedFile != record.modfileId)
        return ModIoInstallState::UpdateAvailable;
    return ModIoInstallState::Installed;
}

ModIoRowTexts modIoRowTexts(const ModIoMod &record, ModIoInstallState installState)
{
    ModIoRowTexts texts;
    texts.byline = tr("von %1").arg(record.author.isEmpty() ? tr("Unbekannt") : record.author);
    const QString summary = record.summary.simplified();
    texts.summary = summary.size() > 115 ? summary.left(112) + QStringLiteral("…") : summary;
    if (installState == ModIoInstallState::UpdateAvailable) {
        texts.pill = tr("Update");
        texts.pillKind = QStringLiteral("update");
    } else if (installState == ModIoInstallState::Installed) {
        texts.pill = tr("installiert");
        texts.pillKind = QStringLiteral("installed");
    } else if (record.subscribed) {
        texts.pill = tr("abonniert");
        texts.pillKind = QStringLiteral("subscribed");
    }
    if (record.quickCheckScore >= 2)
        texts.quickCheckBadge = tr("KI-Indizien %1").arg(record.quickCheckScore);
    texts.communityBadge = communityBadgeText(record);
    texts.communityLevel = communityWarningLevel(record);
    if (record.ratingsTotal >= 1) {
        texts.statistics =
            tr("%1  %2 % positiv   👍 %3   👎 %4   ↓ %5   ★ %6 Abos")
                .arg(modIoStarText(modIoRatingStars(record)))
                .arg(qMax(0, record.ratingPercentPositive))
                .arg(formatModIoCount(record.ratingsPositive), formatModIoCount(record.ratingsNegative),
                     formatModIoCount(record.downloads), formatModIoCount(record.subscribers));
    } else {
        texts.statistics = tr("☆☆☆☆☆  Noch nicht bewertet   ↓ %1   ★ %2 Abos")
                               .arg(formatModIoCount(record.downloads), formatModIoCount(record.subscribers));
    }
    return texts;
}

QString modIoDetailText(const ModIoMod &record)
{
    const QString updated =
        record.dateUpdated > 0
            ? QDateTime::fromSecsSinceEpoch(record.dateUpdated).toString(QStringLiteral("dd.MM.yyyy"))
            : QString();
    QString text =
        tr("von %1  |  Version %2  |  Größe %3  |  Aktualisiert %4\nDownloads %5  |  Abonnenten %6  |  "
           "Kategorien %7")
            .arg(record.author.isEmpty() ? tr("Unbekannt") : record.author, missingAsDash(record.version),
                 record.fileSize > 0 ? formatByteSize(record.fileSize) : QStringLiteral("–"),
                 missingAsDash(updated), formatModIoCount(record.downloads),
                 formatModIoCount(record.subscribers), missingAsDash(record.tags.join(QStringLiteral(", "))));
    if (record.ratingsTotal >= 1) {
        text += tr("\nBewertung %1  |  %2 % positiv  |  👍 %3  |  👎 %4  |  %5 Bewertungen")
                    .arg(modIoStarText(modIoRatingStars(record)))
                    .arg(qMax(0, record.ratingPercentPositive))
                    .arg(formatModIoCount(record.ratingsPositive), formatModIoCount(record.ratingsNegative),
                         formatModIoCount(record.ratingsTotal));
    } else {
        text += tr("\nBewertung ☆☆☆☆☆  |  Noch nicht bewertet");
    }
    if (record.quickCheckScore > 0)
        text +=
            tr("\nKI-Indizien (Schnellprüfung): %1 – nur Hinweise, kein Beweis").arg(record.quickCheckScore);
    return text;
}

QSet<QString> installedModIoIds(const QString &modIoModsFolder)
{
    QSet<QString> ids;
    if (modIoModsFolder.trimmed().isEmpty())
        return ids;
    const QStringList folders = QDir(modIoModsFolder.trimmed()).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &folder : folders) {
        if (isAllDigits(folder))
            ids.insert(folder);
    }
    return ids;
}

QString modIoFolderToDelete(const QString &modIoModsFolder, const QString &modId)
{
    const QString folder = QDir::cleanPath(modIoModsFolder.trimmed());
    if (modIoModsFolder.trimmed().isEmpty() || !isAllDigits(modId) || !QFileInfo(folder).isDir())
        return {};
    const QFileInfo target(folder + QLatin1Char('/') + modId);
    if (!target.isDir() || QDir::cleanPath(target.absolutePath()) != QDir(folder).absolutePath())
        return {};
    return target.absoluteFilePath();
}

QString modIoCatalogCachePath()
{
    QString base = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    if (base.trimmed().isEmpty())
        base = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
    return base + QStringLiteral("/modio-catalog-page0.json");
}

bool readModIoCatalogCache(const QString &path, const QDateTime &now, QJsonObject *page)
{
    const QFileInfo info(path);
    if (!info.isFile() || info.lastModified().secsTo(now) > modIoCacheMaxAgeSeconds)
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll());
    if (!document.isObject() || document.object().value(QLatin1String("data")).toArray().isEmpty())
        return false;
    *page = document.object();
    return true;
}

bool writeModIoCatalogCache(const QString &path, const QJsonDocument &page)
{
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QByteArray bytes = page.toJson(QJsonDocument::Compact);
    return file.write(bytes) == bytes.size() && file.commit();
}

bool isCacheableModIoPage(const ModIoListRequest &request, int categoryIndex, int ratingValue)
{
    return request.offset == 0 && request.source == ModIoSource::All &&
           request.searchField.trimmed().isEmpty() && categoryIndex <= 0 && ratingValue == 0 &&
           request.sortKey == QLatin1String("popular") && !request.authorSearchShortened;
}
