#include "analysis/luascan.h"

#include <cstring>

namespace {

bool isSpaceChar(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

bool isDigitChar(char c)
{
    return c >= '0' && c <= '9';
}

char foldCase(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c + ('a' - 'A')) : c;
}

// How rare a letter of a searched word is in Lua resources, from letter frequencies; higher is rarer. An
// upper-case letter in a case-sensitive word ("vertexAttr", "numComp") is rarer still.
int letterRarity(char c, Qt::CaseSensitivity cs)
{
    if (c >= 'A' && c <= 'Z') {
        if (cs == Qt::CaseSensitive)
            return 100;
        c = foldCase(c);
    }
    if (c < 'a' || c > 'z')
        return 50; // digits and punctuation are rare, too
    // Rank of each letter a..z in "etaoinsrchlumdfpgwybvkxjqz": English letter frequencies, with the letters
    // of "count", which every mesh attribute has, moved to the common end.
    static constexpr int ranks[26] = {2, 19, 8,  13, 0, 14, 16, 9,  4,  23, 21, 10, 12,
                                      5, 3,  15, 24, 7, 6,  1,  11, 20, 17, 22, 18, 25};
    return ranks[c - 'a'];
}

} // namespace

bool isLuaWordChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

WordFinder::WordFinder(QByteArrayView text, QLatin1String word, Qt::CaseSensitivity cs)
    : m_text(text), m_word(word), m_cs(cs)
{
    const char *letters = word.data();
    int bestRank = -1;
    for (qsizetype k = 0; k < word.size(); ++k) {
        const int rank = letterRarity(letters[k], cs);
        if (rank > bestRank) {
            bestRank = rank;
            m_anchor = k;
        }
    }
    const char anchor = word.isEmpty() ? '\0' : letters[m_anchor];
    m_anchorChars[0] = anchor;
    if (cs == Qt::CaseInsensitive) {
        if (anchor >= 'a' && anchor <= 'z')
            m_anchorChars[1] = char(anchor - ('a' - 'A'));
        else if (anchor >= 'A' && anchor <= 'Z')
            m_anchorChars[1] = foldCase(anchor);
        m_variants = m_anchorChars[1] ? 2 : 1;
    }
}

bool WordFinder::matchesAt(qsizetype i) const
{
    const char *data = m_text.data() + i;
    const char *word = m_word.data();
    if (m_cs == Qt::CaseSensitive) {
        for (qsizetype k = 0; k < m_word.size(); ++k) {
            if (data[k] != word[k])
                return false;
        }
    } else {
        for (qsizetype k = 0; k < m_word.size(); ++k) {
            if (foldCase(data[k]) != foldCase(word[k]))
                return false;
        }
    }
    return i == 0 || !isLuaWordChar(m_text.at(i - 1));
}

qsizetype WordFinder::nextAnchor(int variant, qsizetype from) const
{
    if (from >= m_text.size())
        return -1;
    const void *found =
        std::memchr(m_text.data() + from, m_anchorChars[variant], size_t(m_text.size() - from));
    return found ? static_cast<const char *>(found) - m_text.data() : -1;
}

qsizetype WordFinder::find(qsizetype from)
{
    if (m_word.isEmpty() || from < 0)
        return -1;
    if (from < m_lastFrom) {
        m_cursors[0] = -2;
        m_cursors[1] = -2;
    }
    m_lastFrom = from;
    const qsizetype last = m_text.size() - m_word.size();
    const qsizetype anchorFrom = from + m_anchor;
    for (int v = 0; v < m_variants; ++v) {
        if (m_cursors[v] == -2 || (m_cursors[v] >= 0 && m_cursors[v] < anchorFrom))
            m_cursors[v] = nextAnchor(v, anchorFrom);
    }
    while (true) {
        int v = -1;
        for (int k = 0; k < m_variants; ++k) {
            if (m_cursors[k] >= 0 && (v < 0 || m_cursors[k] < m_cursors[v]))
                v = k;
        }
        if (v < 0)
            return -1;
        const qsizetype candidate = m_cursors[v] - m_anchor;
        if (candidate > last)
            return -1;
        if (matchesAt(candidate))
            return candidate;
        m_cursors[v] = nextAnchor(v, m_cursors[v] + 1);
    }
}

qsizetype skipAssignment(QByteArrayView text, qsizetype i)
{
    const qsizetype size = text.size();
    while (i < size && isSpaceChar(text.at(i)))
        ++i;
    if (i >= size || text.at(i) != '=')
        return -1;
    ++i;
    while (i < size && isSpaceChar(text.at(i)))
        ++i;
    return i;
}

qsizetype findTableAssignment(WordFinder &key, qsizetype from, qsizetype *keyStart)
{
    const QByteArrayView text = key.text();
    for (qsizetype i = key.find(from); i >= 0; i = key.find(i + 1)) {
        const qsizetype value = skipAssignment(text, i + key.word().size());
        if (value >= 0 && value < text.size() && text.at(value) == '{') {
            if (keyStart)
                *keyStart = i;
            return value;
        }
    }
    return -1;
}

qsizetype findTableAssignment(QByteArrayView text, QLatin1String key, qsizetype from, qsizetype *keyStart)
{
    WordFinder finder(text, key);
    return findTableAssignment(finder, from, keyStart);
}

qsizetype findNumberAssignment(WordFinder &key, qsizetype from, QByteArrayView *digits, qsizetype *keyStart)
{
    const QByteArrayView text = key.text();
    for (qsizetype i = key.find(from); i >= 0; i = key.find(i + 1)) {
        const qsizetype value = skipAssignment(text, i + key.word().size());
        if (value < 0)
            continue;
        qsizetype end = value;
        while (end < text.size() && isDigitChar(text.at(end)))
            ++end;
        if (end > value) {
            if (digits)
                *digits = text.sliced(value, end - value);
            if (keyStart)
                *keyStart = i;
            return end;
        }
    }
    return -1;
}

qsizetype findNumberAssignment(QByteArrayView text, QLatin1String key, qsizetype from, QByteArrayView *digits)
{
    WordFinder finder(text, key);
    return findNumberAssignment(finder, from, digits);
}

qint64 countValue(QByteArrayView digits)
{
    bool ok = false;
    const qint64 value = digits.toLongLong(&ok);
    return ok ? value : 0;
}
