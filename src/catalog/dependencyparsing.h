#pragma once

#include "catalog/repomod.h"

#include <QJsonObject>
#include <QList>
#include <QString>

// Reads the required mods of one repository entry: the structured "dependencies" member (array or text)
// and the community file base's custom field of required modifications. The records come back normalised
// and merged, but without repositoryUrl and with URLs as written; the entry parser completes both.
QList<RepoDependency> parseDependencies(const QJsonObject &entry);

// Splits a free dependency text (lines, ";" or <br>) and appends one record per recognised mod through
// addDependency.
void parseDependencyText(const QString &text, QList<RepoDependency> *dependencies);

// Normalises the record and merges it into a record of the same mod already in the list, or appends it.
// Records that name nothing (no id, links or name) are dropped.
void addDependency(QList<RepoDependency> *dependencies, RepoDependency dependency);

// The text that names a dependency to the user: its name, else the resolved entry's name, else its
// community id or download link, followed by its minimum version when there is one.
QString dependencyLabel(const RepoDependency &dependency, const RepoMod *resolved = nullptr);
