#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// A ZIP archive written byte by byte, for entry names no packing tool on this system writes: old Windows
// tools stored names in the DOS code page and left the UTF-8 flag unset, and 7-Zip on Linux always sets it.
struct StoredZipEntry
{
    QByteArray name; // exactly the bytes stored; a name ending in '/' is a folder
    QByteArray data;
};

// Writes entries uncompressed. With utf8Flag every entry carries the flag that marks its name as UTF-8.
bool writeStoredZip(const QString &path, const QList<StoredZipEntry> &entries, bool utf8Flag = false);
