#pragma once

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>

// Brace matching over the game's Lua resource files (models, meshes, materials). Braces inside comments
// ("--" to the end of the line, "--[[ ... ]]" blocks) and strings ('…', "…" with backslash escapes, and long
// strings "[[ ... ]]", also with "=" levels) are not counted, so a commented-out block or a texture name with
// a brace does not shift the structure.
//
// Each function exists for decoded text and for the raw UTF-8 bytes of a file. All the syntax involved is
// ASCII, which UTF-8 never uses inside a multi-byte character, so both give the same structure; the byte
// versions spare the analysis of a large mod the decoding.

// Index of the "}" that closes the "{" at openIndex, or -1 when text[openIndex] is not "{" or the text ends
// before the table is closed.
qsizetype matchingBrace(const QString &text, qsizetype openIndex);
qsizetype matchingBrace(QByteArrayView utf8, qsizetype openIndex);

// The direct child tables of the first table assigned to key ("key = { {…}, {…} }") outside comments and
// strings, each with its braces, in order. Empty when the key is missing or its table is not closed.
QStringList childTables(const QString &text, const QString &key);
QList<QByteArrayView> childTables(QByteArrayView utf8, QLatin1String key);
