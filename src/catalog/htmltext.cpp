#include "catalog/htmltext.h"

#include <QHash>
#include <QStringView>

namespace {

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\f' || c == u'\v';
}

bool isAsciiLetter(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

bool isAsciiDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

bool isHexDigit(QChar c)
{
    return isAsciiDigit(c) || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

// The named references that German and English mod descriptions use: markup characters, umlauts and the
// accented letters of names, typographic quotes, dashes and a few signs.
const QHash<QString, char16_t> &namedReferences()
{
    static const QHash<QString, char16_t> table = {
        {QStringLiteral("amp"), u'&'},      {QStringLiteral("lt"), u'<'},
        {QStringLiteral("gt"), u'>'},       {QStringLiteral("quot"), u'"'},
        {QStringLiteral("apos"), u'\''},    {QStringLiteral("nbsp"), 0x00a0},
        {QStringLiteral("auml"), 0x00e4},   {QStringLiteral("ouml"), 0x00f6},
        {QStringLiteral("uuml"), 0x00fc},   {QStringLiteral("Auml"), 0x00c4},
        {QStringLiteral("Ouml"), 0x00d6},   {QStringLiteral("Uuml"), 0x00dc},
        {QStringLiteral("szlig"), 0x00df},  {QStringLiteral("agrave"), 0x00e0},
        {QStringLiteral("aacute"), 0x00e1}, {QStringLiteral("acirc"), 0x00e2},
        {QStringLiteral("atilde"), 0x00e3}, {QStringLiteral("aring"), 0x00e5},
        {QStringLiteral("aelig"), 0x00e6},  {QStringLiteral("ccedil"), 0x00e7},
        {QStringLiteral("egrave"), 0x00e8}, {QStringLiteral("eacute"), 0x00e9},
        {QStringLiteral("ecirc"), 0x00ea},  {QStringLiteral("euml"), 0x00eb},
        {QStringLiteral("igrave"), 0x00ec}, {QStringLiteral("iacute"), 0x00ed},
        {QStringLiteral("icirc"), 0x00ee},  {QStringLiteral("iuml"), 0x00ef},
        {QStringLiteral("ntilde"), 0x00f1}, {QStringLiteral("ograve"), 0x00f2},
        {QStringLiteral("oacute"), 0x00f3}, {QStringLiteral("ocirc"), 0x00f4},
        {QStringLiteral("otilde"), 0x00f5}, {QStringLiteral("oslash"), 0x00f8},
        {QStringLiteral("ugrave"), 0x00f9}, {QStringLiteral("uacute"), 0x00fa},
        {QStringLiteral("ucirc"), 0x00fb},  {QStringLiteral("yacute"), 0x00fd},
        {QStringLiteral("yuml"), 0x00ff},   {QStringLiteral("Agrave"), 0x00c0},
        {QStringLiteral("Aacute"), 0x00c1}, {QStringLiteral("Acirc"), 0x00c2},
        {QStringLiteral("Atilde"), 0x00c3}, {QStringLiteral("Aring"), 0x00c5},
        {QStringLiteral("AElig"), 0x00c6},  {QStringLiteral("Ccedil"), 0x00c7},
        {QStringLiteral("Egrave"), 0x00c8}, {QStringLiteral("Eacute"), 0x00c9},
        {QStringLiteral("Ecirc"), 0x00ca},  {QStringLiteral("Euml"), 0x00cb},
        {QStringLiteral("Igrave"), 0x00cc}, {QStringLiteral("Iacute"), 0x00cd},
        {QStringLiteral("Icirc"), 0x00ce},  {QStringLiteral("Iuml"), 0x00cf},
        {QStringLiteral("Ntilde"), 0x00d1}, {QStringLiteral("Ograve"), 0x00d2},
        {QStringLiteral("Oacute"), 0x00d3}, {QStringLiteral("Ocirc"), 0x00d4},
        {QStringLiteral("Otilde"), 0x00d5}, {QStringLiteral("Oslash"), 0x00d8},
        {QStringLiteral("Ugrave"), 0x00d9}, {QStringLiteral("Uacute"), 0x00da},
        {QStringLiteral("Ucirc"), 0x00db},  {QStringLiteral("Yacute"), 0x00dd},
        {QStringLiteral("oelig"), 0x0153},  {QStringLiteral("OElig"), 0x0152},
        {QStringLiteral("ndash"), 0x2013},  {QStringLiteral("mdash"), 0x2014},
        {QStringLiteral("minus"), 0x2212},  {QStringLiteral("hellip"), 0x2026},
        {QStringLiteral("lsquo"), 0x2018},  {QStringLiteral("rsquo"), 0x2019},
        {QStringLiteral("sbquo"), 0x201a},  {QStringLiteral("ldquo"), 0x201c},
        {QStringLiteral("rdquo"), 0x201d},  {QStringLiteral("bdquo"), 0x201e},
        {QStringLiteral("laquo"), 0x00ab},  {QStringLiteral("raquo"), 0x00bb},
        {QStringLiteral("lsaquo"), 0x2039}, {QStringLiteral("rsaquo"), 0x203a},
        {QStringLiteral("bull"), 0x2022},   {QStringLiteral("middot"), 0x00b7},
        {QStringLiteral("euro"), 0x20ac},   {QStringLiteral("cent"), 0x00a2},
        {QStringLiteral("pound"), 0x00a3},  {QStringLiteral("yen"), 0x00a5},
        {QStringLiteral("copy"), 0x00a9},   {QStringLiteral("reg"), 0x00ae},
        {QStringLiteral("trade"), 0x2122},  {QStringLiteral("deg"), 0x00b0},
        {QStringLiteral("sect"), 0x00a7},   {QStringLiteral("para"), 0x00b6},
        {QStringLiteral("plusmn"), 0x00b1}, {QStringLiteral("times"), 0x00d7},
        {QStringLiteral("divide"), 0x00f7}, {QStringLiteral("frac12"), 0x00bd},
        {QStringLiteral("frac14"), 0x00bc}, {QStringLiteral("frac34"), 0x00be},
        {QStringLiteral("sup2"), 0x00b2},   {QStringLiteral("sup3"), 0x00b3},
        {QStringLiteral("micro"), 0x00b5},  {QStringLiteral("shy"), 0x00ad},
        {QStringLiteral("ensp"), 0x2002},   {QStringLiteral("emsp"), 0x2003},
        {QStringLiteral("thinsp"), 0x2009}, {QStringLiteral("larr"), 0x2190},
        {QStringLiteral("rarr"), 0x2192},   {QStringLiteral("harr"), 0x2194},
        {QStringLiteral("uarr"), 0x2191},   {QStringLiteral("darr"), 0x2193},
        {QStringLiteral("iexcl"), 0x00a1},  {QStringLiteral("iquest"), 0x00bf},
    };
    return table;
}

// The character of a numeric reference, or an empty text for a code that is no character.
QString numericCharacter(QStringView digits, int base)
{
    bool ok = false;
    const uint code = digits.toUInt(&ok, base);
    if (!ok || code == 0 || code > 0x10ffff || (code >= 0xd800 && code <= 0xdfff))
        return QString();
    // A control character would end up inside a name or a description line; it stands for white space there.
    const char32_t character = code < 0x20 ? U' ' : char32_t(code);
    return QString::fromUcs4(&character, 1);
}

// The character of the reference that starts with the "&" at text[at], with *end set behind its ";"; an
// empty text when there is no known, well-formed reference.
QString referenceAt(QStringView text, qsizetype at, qsizetype *end)
{
    const qsizetype size = text.size();
    qsizetype i = at + 1;
    if (i < size && text[i] == u'#') {
        ++i;
        const bool hex = i < size && (text[i] == u'x' || text[i] == u'X');
        if (hex)
            ++i;
        const qsizetype start = i;
        const qsizetype maxDigits = hex ? 6 : 7;
        while (i < size && i - start <= maxDigits && (hex ? isHexDigit(text[i]) : isAsciiDigit(text[i])))
            ++i;
        if (i == start || i - start > maxDigits || i >= size || text[i] != u';')
            return QString();
        *end = i + 1;
        return numericCharacter(text.mid(start, i - start), hex ? 16 : 10);
    }
    const qsizetype start = i;
    if (i >= size || !isAsciiLetter(text[i]))
        return QString();
    while (i < size && i - start <= 32 && (isAsciiLetter(text[i]) || isAsciiDigit(text[i])))
        ++i;
    if (i - start < 2 || i - start > 32 || i >= size || text[i] != u';')
        return QString();
    const auto found = namedReferences().constFind(text.mid(start, i - start).toString());
    if (found == namedReferences().constEnd())
        return QString();
    *end = i + 1;
    return QString(QChar(found.value()));
}

void appendDecoded(QStringView text, QString &out)
{
    qsizetype copied = 0;
    qsizetype amp = text.indexOf(u'&');
    while (amp >= 0) {
        qsizetype end = amp + 1;
        const QString character = referenceAt(text, amp, &end);
        if (character.isEmpty()) {
            amp = text.indexOf(u'&', amp + 1);
            continue;
        }
        out += text.mid(copied, amp - copied);
        out += character;
        copied = end;
        amp = text.indexOf(u'&', end);
    }
    out += text.mid(copied);
}

// Whether the tag between "<" and ">" ends a line: any <br>, and the closing tag of a block element.
bool endsLine(QStringView tag)
{
    qsizetype i = 0;
    const bool closing = !tag.isEmpty() && tag[0] == u'/';
    if (closing)
        ++i;
    const qsizetype start = i;
    while (i < tag.size() && (isAsciiLetter(tag[i]) || isAsciiDigit(tag[i])))
        ++i;
    if (i < tag.size() && !isBlank(tag[i]) && tag[i] != u'\n' && tag[i] != u'/')
        return false;
    const QStringView name = tag.mid(start, i - start);
    if (name.compare(QLatin1String("br"), Qt::CaseInsensitive) == 0)
        return true;
    if (!closing)
        return false;
    for (const char *block : {"p", "li", "div", "h1", "h2", "h3", "h4", "h5", "h6"}) {
        if (name.compare(QLatin1String(block), Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

// Lines without blanks around them, at most one blank line in a row, the whole trimmed.
QString tidyLines(QStringView text)
{
    QString result;
    result.reserve(text.size());
    bool previousBlank = false;
    qsizetype start = 0;
    while (start <= text.size()) {
        qsizetype end = text.indexOf(u'\n', start);
        if (end < 0)
            end = text.size();
        qsizetype lineStart = start;
        qsizetype lineEnd = end;
        while (lineStart < lineEnd && isBlank(text[lineStart]))
            ++lineStart;
        while (lineEnd > lineStart && isBlank(text[lineEnd - 1]))
            --lineEnd;
        const bool blank = lineEnd == lineStart;
        if (!(blank && previousBlank)) {
            if (start > 0)
                result += u'\n';
            result += text.mid(lineStart, lineEnd - lineStart);
        }
        previousBlank = blank;
        start = end + 1;
    }
    return result.trimmed();
}

} // namespace

QString stripHtml(const QString &html)
{
    // Descriptions are long and most carry markup, so the text is taken apart by hand in one pass.
    const QStringView source(html);
    QString text;
    text.reserve(html.size());
    // White space between a line break of the markup and the next text is the markup's own layout
    // ("</li>\n  <li>"), not part of the text.
    bool afterBreak = false;
    const auto appendText = [&](QStringView run) {
        if (afterBreak) {
            qsizetype start = 0;
            while (start < run.size() && (isBlank(run[start]) || run[start] == u'\n'))
                ++start;
            run = run.mid(start);
            afterBreak = run.isEmpty();
        }
        appendDecoded(run, text);
    };
    qsizetype i = 0;
    while (i < source.size()) {
        const qsizetype open = source.indexOf(u'<', i);
        const qsizetype close = open < 0 ? -1 : source.indexOf(u'>', open + 1);
        if (close < 0) {
            appendText(source.mid(i));
            break;
        }
        appendText(source.mid(i, open - i));
        if (endsLine(source.mid(open + 1, close - open - 1))) {
            text += u'\n';
            afterBreak = true;
        }
        i = close + 1;
    }
    return tidyLines(text);
}
