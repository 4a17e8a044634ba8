#pragma once

#include "localmods/localmod.h"

#include <QHash>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <QStringList>

class FolderListing;

// The game's mod.io client keeps what it knows about subscribed mods in "state.json" files whose layout has
// changed between client versions. Nothing about their shape is assumed: objects are found by any of the
// usual id keys wherever they sit, and values by searching nested objects.

// The mod id of one object: the first non-empty of "ID", "id", "modId", "mod_id", "ModId", "modID".
QString modIoStateId(const QJsonObject &object);

// Adds every object below value (at most 14 levels deep) to table under its mod id; the first object met for
// an id wins.
void collectModIoStateObjects(const QJsonValue &value, QHash<QString, QJsonObject> *table);
// The first object below value whose mod id is modId, searched like collectModIoStateObjects; empty if none.
QJsonObject findModIoStateObject(const QJsonValue &value, const QString &modId);

// The first non-empty text for keys in value: an object's own keys first, then its "profile", "mod",
// "metadata" and "logo" members, then all other nested members; array elements in order. Nothing is found
// more than 8 levels down.
QString deepJsonText(const QJsonValue &value, const QStringList &keys);

// The state table of a mod.io mods folder, read from the state files next to it ("metadata/state.json" and
// "state.json" in its parent folder).
QHash<QString, QJsonObject> readModIoStateTable(const QString &modsFolder);
// The state object of one mod from the state files inside its own folder; empty if none names it.
QJsonObject readOwnModIoState(const FolderListing &modFolder, const QString &modId);

// Takes name, version and a remote preview from a state object into mod (see the scan).
void applyModIoState(LocalMod &mod, const QJsonObject &state);
// The installed file id a state object records, or empty.
QString modIoStateFileId(const QJsonObject &state);
