#pragma once

#include "modio/modioblockedauthor.h"
#include "modio/modiomod.h"

#include <QByteArray>
#include <QList>
#include <QStringList>

// The authors whose mods the mod.io page hides. An author known by id is also left out by the service
// itself ("submitted_by-not-in"); one known only by name is hidden here.

// The stored form: a compact JSON array of {"id", "name"} objects. Anything but an array reads as an empty
// list; ids of any JSON type are read as text; entries without id and name are dropped.
QList<ModIoBlockedAuthor> parseAuthorBlacklist(const QByteArray &stored);
QByteArray authorBlacklistJson(const QList<ModIoBlockedAuthor> &authors);

// A record is hidden when an entry's id equals its submitter id, or an entry's name equals its author
// (blanks simplified, case folded).
bool isModIoAuthorBlocked(const QList<ModIoBlockedAuthor> &authors, const ModIoMod &record);

// The same question for many records: the entries prepared once.
class ModIoAuthorMatcher
{
public:
    explicit ModIoAuthorMatcher(const QList<ModIoBlockedAuthor> &authors);
    bool blocks(const ModIoMod &record) const;
    bool isEmpty() const { return m_ids.isEmpty() && m_names.isEmpty(); }

private:
    QStringList m_ids;
    QStringList m_names;
};

// The known author ids for the service's filter: trimmed, without empty ones and repeats, in list order.
QStringList blockedAuthorIds(const QList<ModIoBlockedAuthor> &authors);

// Adds the record's author (submitter id and author name, trimmed) unless an entry already hides it or the
// record names no author at all; true when it was added.
bool blockModIoAuthor(QList<ModIoBlockedAuthor> &authors, const ModIoMod &record);
