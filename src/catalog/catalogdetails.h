#pragma once

#include "catalog/repomod.h"

#include <QString>

// The line the catalog's detail area adds for an entry's required mods ("\nBenötigte Modifikationen: …"),
// each listed once with a short minimum-version suffix; empty without dependencies.
QString catalogDependencyLine(const RepoMod &mod);
