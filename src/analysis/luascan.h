#pragma once

#include <QByteArrayView>
#include <QString>

// Small scanners for the assignments the performance check looks for in the game's Lua resources. Each one
// matches exactly what the pattern in its comment describes, anywhere in the raw text (comments included, as
// a regular expression would); a word boundary (\b) and \s, \d, \w are the ASCII ones, and "any case" folds
// ASCII letters. They work on the UTF-8 bytes: every pattern is ASCII, and UTF-8 never uses ASCII bytes
// inside a multi-byte character. Written by hand because a large mod has tens of thousands of files, and a
// regular expression call per small match costs more than the whole scan.

bool isLuaWordChar(char c);

// `\bword` in text, for repeated searches with growing start positions. It jumps between occurrences of the
// word's rarest letter with memchr and remembers where they are.
class WordFinder
{
public:
    WordFinder(QByteArrayView text, QLatin1String word, Qt::CaseSensitivity cs = Qt::CaseSensitive);

    // Index of the first occurrence at or after from that does not follow a word character, or -1.
    qsizetype find(qsizetype from);
    QByteArrayView text() const { return m_text; }
    QLatin1String word() const { return m_word; }

private:
    bool matchesAt(qsizetype i) const;
    qsizetype nextAnchor(int variant, qsizetype from) const;

    QByteArrayView m_text;
    QLatin1String m_word;
    Qt::CaseSensitivity m_cs;
    qsizetype m_anchor = 0; // position of the searched letter in the word
    char m_anchorChars[2] = {0, 0};
    int m_variants = 1;                // two when the letter is searched in both cases
    qsizetype m_cursors[2] = {-2, -2}; // next occurrence of each variant; -1 none left, -2 not searched yet
    qsizetype m_lastFrom = 0;
};

// `\s*=\s*` at i: the index behind it, or -1.
qsizetype skipAssignment(QByteArrayView text, qsizetype i);

// `\bkey\s*=\s*\{` at or after from: the index of the "{", or -1. keyStart receives where the match begins.
qsizetype findTableAssignment(WordFinder &key, qsizetype from, qsizetype *keyStart = nullptr);
qsizetype findTableAssignment(QByteArrayView text, QLatin1String key, qsizetype from,
                              qsizetype *keyStart = nullptr);

// `\bkey\s*=\s*(\d+)` at or after from: the index behind the digits, or -1; digits receives the number and
// keyStart where the match begins.
qsizetype findNumberAssignment(WordFinder &key, qsizetype from, QByteArrayView *digits,
                               qsizetype *keyStart = nullptr);
qsizetype findNumberAssignment(QByteArrayView text, QLatin1String key, qsizetype from,
                               QByteArrayView *digits);

// A decimal count; 0 when it does not fit.
qint64 countValue(QByteArrayView digits);
