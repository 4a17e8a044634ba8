#pragma once

#include <QJsonObject>
#include <QJsonValue>
#include <QSet>
#include <QString>
#include <QStringList>

// One mod on mod.io as every mod.io view, the direct installation and the quick check see it. Texts are
// empty when the service did not send them; a fresh record has every number 0 except
// ratingPercentPositive (-1: no ratings share known) and every flag false.
struct ModIoMod
{
    QString id;
    // The file to download: the mod's live modfile, else the live file of its Windows (or all-platform)
    // release, else the first live file of any platform.
    QString modfileId;
    QString name;
    // Shown as the author: username, else portal display name, else name id.
    QString author;
    QString submittedById;
    QString authorNameId;
    QString authorUsername;
    QString authorDisplayName;
    QString version;
    QString summary;
    // Plain text: the service's plain description, else the HTML one without tags, else the summary.
    QString description;
    QString profileUrl;
    QString logoUrl;
    QString downloadUrl;
    QString fileName;
    // Lower case.
    QString md5;
    // Display names of the tags, and their plain names at the same positions.
    QStringList tags;
    QStringList tagNames;
    qint64 downloads = 0;
    qint64 subscribers = 0;
    qint64 ratingsTotal = 0;
    qint64 ratingsPositive = 0;
    qint64 ratingsNegative = 0;
    int ratingPercentPositive = -1;
    double ratingWeighted = 0.0;
    QString ratingText;
    qint64 fileSize = 0;
    // Unix seconds: the later of the mod's and its file's last change.
    qint64 dateUpdated = 0;
    int galleryImageCount = 0;
    // Indicators of automated mass production found in the mod object alone (see quickcheck.h).
    int quickCheckScore = 0;
    QStringList quickCheckReasons;
    // Reports of other players for this mod id and file id (see community/communityreports.h). They live
    // only in memory: a reload of the list starts them over as not received.
    qint32 communityPerformanceCount = 0;
    qint32 communityAiCount = 0;
    qint32 communityTechnicalCount = 0;
    // The categories this installation has reported for this file version.
    QStringList communityOwnTypes;
    bool communitySummaryLoaded = false;
    bool communityOwnLoaded = false;
    bool subscribed = false;
};

// An id as text: a string as it is, a whole number without exponent or fraction; empty for anything else.
QString modIoIdText(const QJsonValue &value);

// Reads one mod object of the service. Missing or mistyped members leave their field at its fresh value;
// the parse never fails. subscribed is set when the id is among subscribedIds; the quick check's first
// stage is computed at the end.
ModIoMod parseModIoMod(const QJsonObject &mod, const QSet<QString> &subscribedIds = {});

// Takes over what a modfile object says about the file to download. Only non-empty texts and positive
// numbers replace what the record has, and dateUpdated only ever grows; an empty object changes nothing.
void applyModIoModfile(ModIoMod &record, const QJsonObject &modfile);

// The name a user object ("/me", "submitted_by") is shown by: "username", else "display_name_portal", each
// trimmed.
QString modIoUserName(const QJsonObject &user);

// Descriptions arrive as HTML: line breaks for <br>, every other tag removed, trimmed.
QString htmlToPlainText(const QString &html);

// isModIoHost lives with the request conventions (install/requestconventions.h), beside the image requests
// that use it.
