#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// Names the program cannot hold as text. Windows keeps every name in Unicode. Elsewhere a name is a string of
// bytes, and an extractor writes the bytes of any entry name it could not convert; when they are not UTF-8,
// Qt sees the name with replacement characters and can neither open nor copy that entry.

// The paths below folder ('/'-separated, relative to it) of the entries whose own name is not UTF-8, every
// entry before the folder holding it, so renaming them in this order keeps the later paths valid. Links are
// not entered. Always empty on Windows.
QList<QByteArray> undecodableEntries(const QString &folder);

// Renames the entry at relativePath below folder (a path from undecodableEntries) to newName in the same
// folder. Fails, changing nothing, when an entry of that name exists already.
bool renameUndecodableEntry(const QString &folder, const QByteArray &relativePath, const QString &newName);
