#pragma once

#include "community/communityreports.h"

#include <QSet>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <functional>

// What the window keeps for the community reports beside the mod.io records, which hold the counts.
struct CommunityView
{
    // A summaries request is on its way; only one at a time.
    bool communitySummariesInFlight = false;
    // Seconds since the epoch: no summaries request before this time (set after a network failure).
    qint64 communitySummariesRetryAt = 0;
    // Own summaries on their way, so that showing the panel again does not ask twice.
    QSet<CommunityKey> ownRequestsInFlight;
    // The report dialog for a mod: true with the chosen category keys when the player saved. Empty means
    // the real dialog; tests answer it themselves, since it is modal.
    std::function<bool(const QString &modName, const QStringList &ownTypes, QStringList *chosen)>
        reportDialog;
};
