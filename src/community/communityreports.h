#pragma once

#include "modio/modiomod.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QUrl>

// Players report problems with one exact file version of a mod.io mod to the community site's reports
// service, under an anonymous reporter id; the aggregated reports of others are shown as a warning beside
// each mod. Reports are bound to the pair mod id + file id (the record's modfileId), so every answer is
// matched to records by that pair, never by list position: the list may have changed while it was on its
// way.

// One category a player can report; keys are sent and received as they stand.
struct CommunityCategory
{
    QString key;
    QString label;
    QString description;
};
// "performance", "ai", "technical", in this order, with their check box labels and descriptions.
QList<CommunityCategory> communityCategories();

// The most one summaries request asks for.
inline constexpr int communityBatchLimit = 100;
// No further summaries request for this long after one failed on the network.
inline constexpr qint64 communityRetryPauseSeconds = 60;

// The pair a record is reported under.
using CommunityKey = QPair<QString, QString>; // mod id, file id

// Up to limit pairs of records without a received summary and with both ids, in list order.
QList<CommunityKey> pendingCommunitySummaries(const QList<ModIoMod> &records,
                                              int limit = communityBatchLimit);
// True when some record with both ids still waits for its summary.
bool communitySummariesPending(const QList<ModIoMod> &records);

// Compact JSON bodies of the service's two POST requests. types keeps only known keys, in table order.
QByteArray communitySummariesBody(const QList<CommunityKey> &items);
QByteArray communitySetReportsBody(const CommunityKey &key, const QString &reporter,
                                   const QStringList &types);
// The own summary of one file version: endpoint with "action", "mod_id", "file_id" and "reporter" added
// after the query items it already has.
QUrl communityOwnSummaryUrl(const QString &endpoint, const CommunityKey &key, const QString &reporter);

// The answer object when body is a JSON object whose "ok" is true; false for anything else.
bool communityAnswer(const QByteArray &body, QJsonObject *answer);
// Takes over the counts of a summaries answer; returns the indexes of the records whose counts are new.
QList<int> applyCommunitySummaries(QList<ModIoMod> &records, const QJsonObject &answer);
// Takes over counts and own categories of an own-summary or save answer for the records with key; marks
// both received. Returns the indexes of the records that changed.
QList<int> applyCommunityOwnAnswer(QList<ModIoMod> &records, const CommunityKey &key,
                                   const QJsonObject &answer);

// The largest of the three counts.
int communityLargestCount(const ModIoMod &record);
// "high" (11 and more), "medium" (6 to 10), "low" (3 to 5) or empty.
QString communityWarningLevel(const ModIoMod &record);
// Headline and one line per reported category; a loading text before the summary arrived.
QString communityWarningText(const ModIoMod &record);
QString communityWarningStyle(const QString &level);
// "⚠ Community <count>" for a list row once a level is reached; empty below.
QString communityBadgeText(const ModIoMod &record);

// A report is only possible for the file version that is installed.
bool communityReportMatchesInstalled(const ModIoMod &record, bool installed, const QString &installedFileId);

// What the detail panel shows for a record: the warning label and the report button.
struct CommunityPanelState
{
    QString text;
    QString style;
    bool buttonEnabled = false;
    QString buttonText;
    QString buttonToolTip;
};
// enabled: an endpoint is configured. installedFileId: the file recorded for the installed copy.
CommunityPanelState communityPanelState(bool enabled, const ModIoMod &record, bool installed,
                                        const QString &installedFileId);

// The warning label while the service cannot be reached.
QString communityUnreachableText();
QString communityUnreachableButtonText();

// The message of a failed save: the network error, else a fixed text; an "error" the service sent replaces
// either, and a server error with the service's short message gets a hint about the server set-up.
QString communitySaveFailureText(const QString &networkError, int httpStatus, const QByteArray &body);
