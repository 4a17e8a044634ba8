#include "analysis/luatables.h"

#include <QtAlgorithms>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#endif

namespace {

inline unsigned code(char16_t c)
{
    return c;
}

inline unsigned code(char c)
{
    return uchar(c);
}

template <typename Char> bool isWordChar(Char ch)
{
    const unsigned c = code(ch);
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

template <typename Char> bool isSpace(Char ch)
{
    const unsigned c = code(ch);
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

// Level of a Lua long bracket "[", "="*, "[" starting at i, or -1 when there is none.
template <typename Char> qsizetype longBracketLevel(const Char *data, qsizetype size, qsizetype i)
{
    if (i >= size || code(data[i]) != '[')
        return -1;
    qsizetype j = i + 1;
    while (j < size && code(data[j]) == '=')
        ++j;
    if (j < size && code(data[j]) == '[')
        return j - i - 1;
    return -1;
}

// Index just behind the "]"="*"]" that closes a long bracket of the given level, searching from i.
template <typename Char>
qsizetype skipLongBracketBody(const Char *data, qsizetype size, qsizetype i, qsizetype level)
{
    for (; i < size; ++i) {
        if (code(data[i]) != ']')
            continue;
        qsizetype j = i + 1;
        while (j < size && j - i - 1 < level && code(data[j]) == '=')
            ++j;
        if (j - i - 1 == level && j < size && code(data[j]) == ']')
            return j + 1;
    }
    return size;
}

// When a comment or string starts at i, the index just behind it (size when it is never closed); otherwise i.
template <typename Char> qsizetype skipCommentOrString(const Char *data, qsizetype size, qsizetype i)
{
    if (i >= size)
        return i;
    const unsigned c = code(data[i]);
    if (c == '-') {
        if (i + 1 >= size || code(data[i + 1]) != '-')
            return i;
        const qsizetype level = longBracketLevel(data, size, i + 2);
        if (level >= 0)
            return skipLongBracketBody(data, size, i + 2 + level + 2, level);
        for (qsizetype j = i + 2; j < size; ++j) {
            if (code(data[j]) == '\n')
                return j + 1;
        }
        return size;
    }
    if (c == '"' || c == '\'') {
        for (qsizetype j = i + 1; j < size; ++j) {
            const unsigned d = code(data[j]);
            if (d == '\\')
                ++j;
            else if (d == c)
                return j + 1;
        }
        return size;
    }
    if (c == '[') {
        const qsizetype level = longBracketLevel(data, size, i);
        if (level >= 0)
            return skipLongBracketBody(data, size, i + level + 2, level);
    }
    return i;
}

// Characters that can change the brace depth or start a comment or string.
template <typename Char> bool isSignificant(Char ch)
{
    const unsigned c = code(ch);
    return c == '{' || c == '}' || c == '-' || c == '"' || c == '\'' || c == '[';
}

// Index of the next significant character at or after i, or size. Most of a resource file is names and
// numbers, so where the processor has SSE2 (every x86-64) a whole block is passed over at once.
qsizetype nextSignificant(const char16_t *data, qsizetype i, qsizetype size)
{
#if defined(__SSE2__) || defined(_M_X64)
    const __m128i openBrace = _mm_set1_epi16('{');
    const __m128i closeBrace = _mm_set1_epi16('}');
    const __m128i minus = _mm_set1_epi16('-');
    const __m128i doubleQuote = _mm_set1_epi16('"');
    const __m128i singleQuote = _mm_set1_epi16('\'');
    const __m128i bracket = _mm_set1_epi16('[');
    for (; i + 8 <= size; i += 8) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i *>(data + i));
        const __m128i braces =
            _mm_or_si128(_mm_cmpeq_epi16(chunk, openBrace), _mm_cmpeq_epi16(chunk, closeBrace));
        const __m128i quotes =
            _mm_or_si128(_mm_cmpeq_epi16(chunk, doubleQuote), _mm_cmpeq_epi16(chunk, singleQuote));
        const __m128i others = _mm_or_si128(_mm_cmpeq_epi16(chunk, minus), _mm_cmpeq_epi16(chunk, bracket));
        const int mask = _mm_movemask_epi8(_mm_or_si128(_mm_or_si128(braces, quotes), others));
        if (mask != 0)
            return i + qCountTrailingZeroBits(quint32(mask)) / 2;
    }
#endif
    for (; i < size; ++i) {
        if (isSignificant(data[i]))
            return i;
    }
    return size;
}

qsizetype nextSignificant(const char *data, qsizetype i, qsizetype size)
{
#if defined(__SSE2__) || defined(_M_X64)
    const __m128i openBrace = _mm_set1_epi8('{');
    const __m128i closeBrace = _mm_set1_epi8('}');
    const __m128i minus = _mm_set1_epi8('-');
    const __m128i doubleQuote = _mm_set1_epi8('"');
    const __m128i singleQuote = _mm_set1_epi8('\'');
    const __m128i bracket = _mm_set1_epi8('[');
    for (; i + 16 <= size; i += 16) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i *>(data + i));
        const __m128i braces =
            _mm_or_si128(_mm_cmpeq_epi8(chunk, openBrace), _mm_cmpeq_epi8(chunk, closeBrace));
        const __m128i quotes =
            _mm_or_si128(_mm_cmpeq_epi8(chunk, doubleQuote), _mm_cmpeq_epi8(chunk, singleQuote));
        const __m128i others = _mm_or_si128(_mm_cmpeq_epi8(chunk, minus), _mm_cmpeq_epi8(chunk, bracket));
        const int mask = _mm_movemask_epi8(_mm_or_si128(_mm_or_si128(braces, quotes), others));
        if (mask != 0)
            return i + qCountTrailingZeroBits(quint32(mask));
    }
#endif
    for (; i < size; ++i) {
        if (isSignificant(data[i]))
            return i;
    }
    return size;
}

// Walks the table that opens at openIndex. onChild(open, close) is called for each direct child table.
// Returns the index of the closing brace, or -1 when the text ends first.
template <typename Char, typename OnChild>
qsizetype walkTable(const Char *data, qsizetype size, qsizetype openIndex, OnChild onChild)
{
    qsizetype depth = 0;
    qsizetype childOpen = -1;
    qsizetype i = openIndex;
    while ((i = nextSignificant(data, i, size)) < size) {
        const unsigned c = code(data[i]);
        if (c == '{') {
            if (++depth == 2)
                childOpen = i;
        } else if (c == '}') {
            if (--depth == 0)
                return i;
            if (depth == 1)
                onChild(childOpen, i);
        } else {
            const qsizetype skipped = skipCommentOrString(data, size, i);
            if (skipped != i) {
                i = skipped;
                continue;
            }
        }
        ++i;
    }
    return -1;
}

// Index of the "{" of the first "key = {" outside comments and strings, or -1.
template <typename Char, typename KeyChar>
qsizetype findTableOpening(const Char *data, qsizetype size, const KeyChar *key, qsizetype keySize)
{
    if (keySize == 0)
        return -1;
    const unsigned first = code(key[0]);
    const bool keyStartsWithWord = isWordChar(key[0]);
    qsizetype i = 0;
    while (i < size) {
        const qsizetype skipped = skipCommentOrString(data, size, i);
        if (skipped != i) {
            i = skipped;
            continue;
        }
        if (code(data[i]) == first && i + keySize <= size) {
            qsizetype k = 1;
            while (k < keySize && code(data[i + k]) == code(key[k]))
                ++k;
            const bool previousIsWord = i > 0 && isWordChar(data[i - 1]);
            if (k == keySize && previousIsWord != keyStartsWithWord) {
                qsizetype j = i + keySize;
                while (j < size && isSpace(data[j]))
                    ++j;
                if (j < size && code(data[j]) == '=') {
                    ++j;
                    while (j < size && isSpace(data[j]))
                        ++j;
                    if (j < size && code(data[j]) == '{')
                        return j;
                }
            }
        }
        ++i;
    }
    return -1;
}

const char16_t *chars(const QString &text)
{
    return reinterpret_cast<const char16_t *>(text.constData());
}

} // namespace

qsizetype matchingBrace(const QString &text, qsizetype openIndex)
{
    if (openIndex < 0 || openIndex >= text.size() || text.at(openIndex) != u'{')
        return -1;
    return walkTable(chars(text), text.size(), openIndex, [](qsizetype, qsizetype) {});
}

qsizetype matchingBrace(QByteArrayView utf8, qsizetype openIndex)
{
    if (openIndex < 0 || openIndex >= utf8.size() || utf8.at(openIndex) != '{')
        return -1;
    return walkTable(utf8.data(), utf8.size(), openIndex, [](qsizetype, qsizetype) {});
}

QStringList childTables(const QString &text, const QString &key)
{
    const qsizetype open = findTableOpening(chars(text), text.size(), chars(key), key.size());
    if (open < 0)
        return QStringList();
    QStringList children;
    const qsizetype close =
        walkTable(chars(text), text.size(), open, [&](qsizetype childOpen, qsizetype childClose) {
            children.append(text.mid(childOpen, childClose - childOpen + 1));
        });
    return close < 0 ? QStringList() : children;
}

QList<QByteArrayView> childTables(QByteArrayView utf8, QLatin1String key)
{
    const qsizetype open = findTableOpening(utf8.data(), utf8.size(), key.data(), key.size());
    if (open < 0)
        return QList<QByteArrayView>();
    QList<QByteArrayView> children;
    const qsizetype close =
        walkTable(utf8.data(), utf8.size(), open, [&](qsizetype childOpen, qsizetype childClose) {
            children.append(utf8.sliced(childOpen, childClose - childOpen + 1));
        });
    return close < 0 ? QList<QByteArrayView>() : children;
}
