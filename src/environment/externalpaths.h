#pragma once

#include <QDir>
#include <QFileInfo>
#include <QString>

// Paths from the registry, Steam's files, the mod.io client or the user are trimmed and may use either
// separator.
inline QString cleanExternalPath(const QString &text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return {};
    return QDir::cleanPath(QDir::fromNativeSeparators(trimmed));
}

inline bool isFolder(const QString &path)
{
    return !path.isEmpty() && QFileInfo(path).isDir();
}
