#pragma once

#include "catalog/repomod.h"

#include <QByteArray>
#include <QHash>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QString>

// Parses one downloaded repository document and appends one record per entry to catalog. Returns the number
// of entries added; on a malformed document or one without an entry list nothing is added, 0 is returned
// and error (if given) receives the reason.
int parseRepositoryDocument(const QByteArray &document, const RepositoryConfig &repository,
                            QList<RepoMod> &catalog, QString *error = nullptr);

// The category table of a document: its "categories" member given as an object (id → name or {name}) or
// as an array of {id, name} objects.
QHash<QString, QString> parseCategoryTable(const QJsonValue &categories);

// One repository entry as a catalog record: loose keys read in a fixed order, the download file chosen to
// match the entry's version, multi-volume sets collected, categories translated through categoryNames and
// every URL made absolute. isTool is left to the document parser.
RepoMod parseMod(const QJsonObject &entry, const QHash<QString, QString> &categoryNames,
                 const RepositoryConfig &repository);

// Whether a category marks the entry as a tool rather than a mod ("Werkzeuge & Tools").
bool isToolCategory(const QString &category);
