#pragma once

#include "modio/modiomod.h"

#include <QJsonDocument>
#include <QString>
#include <QStringList>
#include <QUrl>

// The quick check looks for signs of automated mass production of mod.io mods: a generic account name,
// over-long or promotional descriptions, many language sections, no gallery, generically named mesh and
// material files and a high publishing rate of the author. Every result is worded as indicators, never as
// proof.
//
// Stage one runs for every parsed record (parseModIoMod calls computeModIoQuickCheck). Stage two runs when
// the player asks for the report; the page wires it like this:
//   ModIoQuickCheckReport report = startModIoQuickCheckReport(record, modIoModsFolder);
//   if (needsModIoAuthorHistory(record, hasKeyOrToken))
//       client.modIoGetAsync(modIoAuthorHistoryUrl(apiRoot, gameId, record.submittedById), false,
//           [=](bool ok, const QJsonDocument &answer, const QString &) mutable {
//               if (ok)
//                   addModIoAuthorHistory(report, answer, QDateTime::currentSecsSinceEpoch());
//               show(modIoQuickCheckReportText(record.name, report));
//           });
//   else
//       show(modIoQuickCheckReportText(record.name, report));

// What one report adds up; the record itself keeps its stage-one values.
struct ModIoQuickCheckReport
{
    int score = 0;
    QStringList reasons;
    // Empty when the author's history was not checked or could not be read.
    QString authorNote;
};

// Mesh and material files of one installed mod: all of them, and those with generic names.
struct ModIoGenericFileCount
{
    int total = 0;
    int generic = 0;
};

// Stage one: resets quickCheckScore and quickCheckReasons and adds the indicators found in the record.
void computeModIoQuickCheck(ModIoMod &record);

// Counts the "*.msh" and "*.mtl" files below folder (recursively) and those among them whose base name is
// generic ("m_12", "Material-3", "beton", "Wood"); zero for a folder that does not exist.
ModIoGenericFileCount countModIoGenericFiles(const QString &folder);
// The file indicators for count, added to reasons and score.
void applyModIoGenericFiles(const ModIoGenericFileCount &count, QStringList &reasons, int &score);
// Both for the mod's folder <modIoModsFolder>/<modId>; nothing happens when either is empty or the folder
// does not exist.
void scanModIoGenericFiles(const QString &modIoModsFolder, const QString &modId, QStringList &reasons,
                           int &score);

// The author's public mods, newest first: "/games/<gameId>/mods" with "submitted_by", "_sort" = "-date_live"
// and "_limit" = 100 (no sign-in needed). A game id below 1 is the game's default id.
QUrl modIoAuthorHistoryUrl(const QString &apiRoot, qint64 gameId, const QString &submittedById);
// Whether the report asks for the author's history: the record names its submitter and a key or token is
// configured.
bool needsModIoAuthorHistory(const ModIoMod &record, bool hasKeyOrToken);
// Evaluates the answer to the author-history request at nowSeconds (Unix seconds): the author note and the
// publishing-rate indicators. An answer that is not a JSON object adds nothing.
void addModIoAuthorHistory(ModIoQuickCheckReport &report, const QJsonDocument &answer, qint64 nowSeconds);

// Stage two without the network: a copy of the record's stage-one result plus the file indicators of its
// installed folder (modIoModsFolder may be empty).
ModIoQuickCheckReport startModIoQuickCheckReport(const ModIoMod &record, const QString &modIoModsFolder);

// "wenige oder keine automatischen Auffälligkeiten" (score up to 1), "mehrere Indizien vorhanden" (2–3),
// "auffällige Häufung von Indizien" (4 and more).
QString modIoQuickCheckLevelText(int score);
// The whole report shown to the player.
QString modIoQuickCheckReportText(const QString &modName, const ModIoQuickCheckReport &report);
