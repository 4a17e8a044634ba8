#pragma once

#include "catalog/repomod.h"

#include <QList>
#include <QString>

// The community repository that is always loaded first and cannot be switched off.
RepositoryConfig builtInRepository();

// An http or https URL with a host. Tolerant URL parsing alone would accept almost any text.
bool isValidRepositoryUrl(const QString &text);

// The external repositories of "repositories/external": malformed values read as an empty list, elements
// without a name or a valid document URL are dropped.
QList<RepositoryConfig> loadExternalRepositories();
void saveExternalRepositories(const QList<RepositoryConfig> &repositories);

// The repositories one catalog load requests: the built-in one, then every enabled external one.
QList<RepositoryConfig> repositoriesToLoad();

// The manager's own entry in the catalog, or -1. Only entries of the built-in repository count: an external
// repository may carry the same name.
int findManagerEntry(const QList<RepoMod> &catalog);
