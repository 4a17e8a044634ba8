#include "storedzip.h"

#include <QFile>
#include <QtEndian>

namespace {
quint32 crc32(const QByteArray &data)
{
    quint32 crc = 0xFFFFFFFFu;
    for (const char byte : data) {
        crc ^= quint8(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void put16(QByteArray &out, quint16 value)
{
    char bytes[2];
    qToLittleEndian(value, bytes);
    out.append(bytes, 2);
}

void put32(QByteArray &out, quint32 value)
{
    char bytes[4];
    qToLittleEndian(value, bytes);
    out.append(bytes, 4);
}

// The fields local and central headers share, from "version needed" to the name length.
void putCommon(QByteArray &out, const StoredZipEntry &entry, quint16 flags)
{
    put16(out, 20);    // version needed: 2.0
    put16(out, flags); // bit 11: the name is UTF-8
    put16(out, 0);     // method: stored
    put32(out, 0);     // time and date
    put32(out, crc32(entry.data));
    put32(out, quint32(entry.data.size()));
    put32(out, quint32(entry.data.size()));
    put16(out, quint16(entry.name.size()));
}
} // namespace

bool writeStoredZip(const QString &path, const QList<StoredZipEntry> &entries, bool utf8Flag)
{
    const quint16 flags = utf8Flag ? 0x0800 : 0;
    QByteArray local;
    QByteArray central;
    for (const StoredZipEntry &entry : entries) {
        const quint32 offset = quint32(local.size());
        put32(local, 0x04034b50);
        putCommon(local, entry, flags);
        put16(local, 0); // extra field length
        local += entry.name + entry.data;

        put32(central, 0x02014b50);
        put16(central, 20); // made by: MS-DOS, 2.0
        putCommon(central, entry, flags);
        for (int field = 0; field < 4; ++field) // extra, comment, disk, internal attributes
            put16(central, 0);
        put32(central, entry.name.endsWith('/') ? 0x10 : 0); // DOS folder attribute
        put32(central, offset);
        central += entry.name;
    }
    QByteArray end;
    put32(end, 0x06054b50);
    put32(end, 0); // disk numbers
    put16(end, quint16(entries.size()));
    put16(end, quint16(entries.size()));
    put32(end, quint32(central.size()));
    put32(end, quint32(local.size()));
    put16(end, 0); // comment length

    QFile file(path);
    return file.open(QIODevice::WriteOnly) &&
           file.write(local + central + end) == local.size() + central.size() + end.size();
}
