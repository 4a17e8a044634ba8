#pragma once

class QSettings;

// Writes pending changes and, where the store is a file, keeps it readable by its owner only: it can hold
// the mod.io token. On Windows the store is the registry and only the sync happens.
void syncPrivately(QSettings &settings);
