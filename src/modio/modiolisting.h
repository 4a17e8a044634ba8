#pragma once

#include "modio/modioblockedauthor.h"
#include "modio/modiomod.h"

#include <QDateTime>
#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QUrl>

// The mod.io page's list without widgets: the request of every page, what the page does after an answer
// (search fallbacks, continuations), the local filter and order, the cached first page and the texts of a
// row. The page calls these and only moves their results into widgets.

inline constexpr int modIoListPageSize = 60;
// Continuations stop here: pages fetched after an author search was shortened, and the records and hits
// the rating filter looks for.
inline constexpr int modIoAuthorExtraPages = 4;
inline constexpr int modIoRatingRecordCap = 6 * modIoListPageSize;
inline constexpr int modIoRatingHitTarget = 40;
inline constexpr qint64 modIoCacheMaxAgeSeconds = 14 * 24 * 3600;

enum class ModIoSource
{
    All,
    Subscribed,
    Installed,
};
// "all", "subscribed", "installed"; anything else is All.
ModIoSource modIoSourceFromKey(const QString &key);

// The search field as the list reads it: trimmed; a leading "@" makes it an author search, the rest trimmed
// again.
struct ModIoSearch
{
    QString text;
    bool author = false;
};
ModIoSearch parseModIoSearch(const QString &field);

// Everything one list request depends on.
struct ModIoListRequest
{
    QString apiRoot;
    qint64 gameId = 0;
    ModIoSource source = ModIoSource::All;
    int offset = 0;
    QString sortKey;
    QString searchField;
    // 0: free text ("_q"), 1: name pattern, 2: author display-name pattern.
    int searchStage = 0;
    bool authorSearchShortened = false;
    QString categoryKey;
    QStringList blockedAuthorIds;
    QSet<QString> installedIds;
};
QUrl modIoListUrl(const ModIoListRequest &request);
// The "_sort" value of a sort key ("popular", "updated", "downloads", "rating", "name").
QString modIoSortParameter(const QString &sortKey);

// Where the next page starts, read from an answer to a request at requestedOffset.
struct ModIoPaging
{
    int offset = 0;
    int count = 0;
    int total = 0;
    int nextOffset = 0;
    bool moreAvailable = false;
};
ModIoPaging modIoPaging(const QJsonObject &page, int requestedOffset);

// An empty first answer to a plain search is asked again with a looser query: "_q", then the name pattern,
// then the author's display name. True when the answer calls for the next stage.
bool shouldRetryModIoSearch(ModIoSource source, const ModIoSearch &search, int offset, bool dataEmpty,
                            int searchStage);

// What the page does once an answer's records are in the list.
enum class ModIoPageStep
{
    ShortenAuthorSearch, // ask again with the first four letters of the author
    NextAuthorPage,      // the shortened author search has not found the author yet
    NextRatingPage,      // too few records pass the rating filter yet
    Finish,
};
struct ModIoPageState
{
    ModIoSearch search;
    int offset = 0;
    bool authorSearchShortened = false;
    int authorExtraPages = 0;
    // Loaded records whose author texts hold the author search's needle.
    int authorMatches = 0;
    ModIoPaging paging;
    int ratingValue = 0;
    // Loaded, not hidden records that pass the rating filter.
    int ratingMatches = 0;
};
ModIoPageStep modIoPageStep(const ModIoPageState &state);

// Stars from the share of positive ratings: 0 without ratings, else 1 (up to 20 %) to 5 (above 80 %).
int modIoRatingStars(const ModIoMod &record);
// "★★★☆☆" for 3.
QString modIoStarText(int stars);
// Whether the rating filter value (0 all, 1–5 at least that many stars, 6 not rated yet) lets record pass.
bool passesModIoRating(const ModIoMod &record, int ratingValue);
// 999, "1.2 Tsd.", "120 Tsd.", "3.4 Mio.", "12 Mio." (the number part in the program's locale-free form).
QString formatModIoCount(qint64 value);

// The records whose author texts (author, username, display name, name id) hold needle (lower case).
int countModIoAuthorMatches(const QList<ModIoMod> &records, const QString &needle);

// The local filter: which loaded records the list shows, in the chosen order.
struct ModIoFilter
{
    ModIoSearch search; // text in lower case
    ModIoSource source = ModIoSource::All;
    QString categoryKey;
    QString categoryText;
    int ratingValue = 0;
    QString sortKey;
};
struct ModIoFilterContext
{
    QSet<QString> subscribedIds;
    QSet<QString> installedIds;
    QList<ModIoBlockedAuthor> blacklist;
};
// The texts the search runs over, made once per record and kept while the records stay the same.
class ModIoSearchIndex
{
public:
    // Rebuilds what changed: records appended since the last call are added; any other change (fewer
    // records, different ids) rebuilds all.
    void update(const QList<ModIoMod> &records);
    const QString &plainText(int record) const { return m_plain.at(record); }
    const QString &authorText(int record) const { return m_author.at(record); }

private:
    QStringList m_ids;
    QStringList m_plain;
    QStringList m_author;
};
// Record indexes in the order shown. index must be up to date for records.
QList<int> filterModIoRecords(const QList<ModIoMod> &records, const ModIoSearchIndex &index,
                              const ModIoFilter &filter, const ModIoFilterContext &context);

// One entry of the category box per distinct tag, sorted by its text.
struct ModIoCategory
{
    QString name; // the tag's name, empty for a tag that only has a display text
    QString text;
};
QList<ModIoCategory> modIoCategories(const QList<ModIoMod> &records);

// How the installed copy of a mod relates to the record: not installed, installed, or installed with another
// file than the service's current one.
enum class ModIoInstallState
{
    NotInstalled,
    Installed,
    UpdateAvailable,
};
ModIoInstallState modIoInstallState(const ModIoMod &record, const QSet<QString> &installedIds,
                                    const QHash<QString, QString> &installedFileIds);

// The texts of one list row.
struct ModIoRowTexts
{
    QString byline;
    QString summary;
    QString statistics;
    QString pill;
    QString pillKind; // "update", "installed", "subscribed" or empty
    QString quickCheckBadge;
    QString communityBadge;
    QString communityLevel; // "high", "medium", "low" or empty
};
ModIoRowTexts modIoRowTexts(const ModIoMod &record, ModIoInstallState installState);

// The detail panel's text below the title.
QString modIoDetailText(const ModIoMod &record);

// The ids of the mod folders (named by id: digits only) directly inside the mod.io mods folder.
QSet<QString> installedModIoIds(const QString &modIoModsFolder);
// The folder an unsubscribed mod may be deleted from: <modIoModsFolder>/<modId> when the id is digits only
// and that folder exists directly inside the mods folder; empty otherwise, so nothing else is ever deleted.
QString modIoFolderToDelete(const QString &modIoModsFolder, const QString &modId);

// The cached first page of the default listing.
QString modIoCatalogCachePath();
// The page when the file is at most 14 days older than now and holds an object with a non-empty "data".
bool readModIoCatalogCache(const QString &path, const QDateTime &now, QJsonObject *page);
// Written whole or not at all; false when it could not be written.
bool writeModIoCatalogCache(const QString &path, const QJsonDocument &page);
// Only the first page of the unfiltered default listing is cached.
bool isCacheableModIoPage(const ModIoListRequest &request, int categoryIndex, int ratingValue);
