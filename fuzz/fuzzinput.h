#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QString>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

// Helpers shared by the fuzz targets. Each target is its own program, so the one folder below is created once
// per process and removed when the fuzzer exits.

// The fuzzer's bytes as an owned array: the functions under test get the same kind of buffer as from a file
// or a network reply.
inline QByteArray fuzzBytes(const uint8_t *data, size_t size)
{
    return QByteArray(reinterpret_cast<const char *>(data), qsizetype(size));
}

// Splits the input at NUL bytes into count parts; the last part keeps any further NUL bytes, missing parts
// are empty. Text formats rarely contain NUL, so one input can carry several files.
inline QList<QByteArray> fuzzParts(const QByteArray &input, int count)
{
    QList<QByteArray> parts;
    qsizetype from = 0;
    for (int i = 0; i < count; ++i) {
        const qsizetype at = i + 1 < count ? input.indexOf('\0', from) : -1;
        if (from > input.size()) {
            parts.append(QByteArray());
        } else if (at < 0) {
            parts.append(input.mid(from));
            from = input.size() + 1;
        } else {
            parts.append(input.mid(from, at - from));
            from = at + 1;
        }
    }
    return parts;
}

// A private folder for functions that read only from files.
inline QString fuzzFolder()
{
    static QTemporaryDir folder;
    return folder.path();
}

// Replaces the file at path (below fuzzFolder()) with content; an empty content removes it, so a part the
// input leaves out stands for a missing file.
inline void writeFuzzFile(const QString &path, const QByteArray &content)
{
    if (content.isEmpty()) {
        QFile::remove(path);
        return;
    }
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(content);
}
