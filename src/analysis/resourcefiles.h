#pragma once

#include <QByteArray>
#include <QString>

// Text resources are read only up to this many bytes; larger files are generated data the check need not see
// in full.
inline constexpr qint64 maxResourceTextBytes = 8 * 1024 * 1024;

// The first maxResourceTextBytes of a text resource as UTF-8 bytes; the checks scan the bytes and decode only
// the names they take out. A file that cannot be opened reads as empty.
QByteArray readResourceText(const QString &path);

// A resource reference as the game resolves it: forward slashes, no leading slash, lower case.
QString normalizeResourcePath(const QString &text);

// The key under which models find a mesh: the normalised part behind "/res/models/mesh/" when the path has
// one, else the normalised file name.
QString meshKey(const QString &path);
