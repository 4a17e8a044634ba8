#pragma once

#include "catalog/repomod.h"

#include <QList>
#include <QString>

// Why a repository cannot be saved as entered, as the text of the warning shown to the user; empty when it
// can be saved. Whatever passes here is also kept when the list is read back from the settings, so a saved
// repository never vanishes silently at the next start.
QString validateRepositoryConfig(const RepositoryConfig &repository);

// The repository with every text trimmed, as the editor stores and shows it.
RepositoryConfig trimmedRepositoryConfig(const RepositoryConfig &repository);

// "Externe Repositorys: <configured>, <enabled>" for the settings dialog.
QString externalRepositoriesSummary(const QList<RepositoryConfig> &repositories);
