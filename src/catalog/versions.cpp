#include "catalog/versions.h"

#include "app/appinfo.h"

#include <QRegularExpression>
#include <QStringView>
#include <QVarLengthArray>
#include <QtNumeric>

namespace {

// Comparisons run for every catalog row on every filter pass, so a version is normalised into a stack
// buffer and scanned by hand instead of going through temporary strings and regular expressions. The
// scans follow the rules of the patterns they replace exactly: "\s" and "\d" are the ASCII classes that
// QRegularExpression uses without Unicode properties.
using CharBuffer = QVarLengthArray<char16_t, 64>;
using Components = QVarLengthArray<qint64, 8>;

bool isPatternSpace(char16_t c)
{
    return c == u' ' || (c >= 0x09 && c <= 0x0d);
}

bool isDigit(char16_t c)
{
    return c >= u'0' && c <= u'9';
}

bool isSeparator(char16_t c)
{
    return c == u'.' || c == u'_' || c == u'-';
}

bool hasSeparator(const CharBuffer &text)
{
    for (char16_t c : text) {
        if (isSeparator(c))
            return true;
    }
    return false;
}

// Trimmed, lower case, one leading "v" removed, commas as dots, no blanks.
void normaliseVersion(QStringView text, CharBuffer &out)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin].isSpace())
        ++begin;
    while (end > begin && text[end - 1].isSpace())
        --end;
    QStringView source = text.mid(begin, end - begin);

    bool ascii = true;
    for (QChar c : source) {
        if (c.unicode() >= 0x80) {
            ascii = false;
            break;
        }
    }
    QString lowered;
    if (!ascii) {
        lowered = source.toString().toLower();
        source = lowered;
    }

    out.clear();
    const qsizetype size = source.size();
    for (qsizetype i = 0; i < size; ++i) {
        char16_t c = source[i].unicode();
        if (ascii && c >= u'A' && c <= u'Z')
            c = char16_t(c + (u'a' - u'A'));
        if (i == 0 && c == u'v')
            continue;
        if (c == u',')
            c = u'.';
        else if (isPatternSpace(c))
            continue;
        out.append(c);
    }
}

void dropTrailingZeros(Components &components)
{
    while (components.size() > 1 && components.back() == 0)
        components.removeLast();
}

// The leading run "\d+([._-]\d+)*" split into numbers. A piece too large for 64 bits counts as 0, as a
// failed string-to-number conversion would give.
void leadingComponents(const CharBuffer &text, Components &out)
{
    out.clear();
    const qsizetype size = text.size();
    if (size == 0 || !isDigit(text[0]))
        return;
    qsizetype i = 0;
    for (;;) {
        qint64 value = 0;
        bool overflow = false;
        while (i < size && isDigit(text[i])) {
            const int digit = text[i] - u'0';
            if (!overflow &&
                (qMulOverflow(value, qint64(10), &value) || qAddOverflow(value, qint64(digit), &value)))
                overflow = true;
            ++i;
        }
        out.append(overflow ? 0 : value);
        if (i + 1 < size && isSeparator(text[i]) && isDigit(text[i + 1])) {
            ++i;
            continue;
        }
        break;
    }
    dropTrailingZeros(out);
}

// "12" against "1.2" means 1.2: authors who drop the dots of a dotted single-digit version. Only two or
// three bare digits qualify, and only when the other side has as many single-digit pieces.
void applyCompactRule(const CharBuffer &side, const CharBuffer &other, Components &components)
{
    const qsizetype digits = side.size();
    if (digits < 2 || digits > 3 || hasSeparator(side) || !hasSeparator(other))
        return;
    for (char16_t c : side) {
        if (!isDigit(c))
            return;
    }

    qsizetype pieces = 0;
    qsizetype pieceLength = 0;
    for (qsizetype i = 0; i <= other.size(); ++i) {
        if (i == other.size() || isSeparator(other[i])) {
            if (pieceLength == 0)
                continue;
            if (pieceLength != 1 || !isDigit(other[i - 1]))
                return;
            ++pieces;
            pieceLength = 0;
        } else {
            ++pieceLength;
        }
    }
    if (pieces < 2 || pieces > 4 || pieces != digits)
        return;

    components.clear();
    for (char16_t c : side)
        components.append(c - u'0');
    dropTrailingZeros(components);
}

int sign(int value)
{
    return (value > 0) - (value < 0);
}

QString lastPathComponent(const QString &path)
{
    const qsizetype slash = qMax(path.lastIndexOf(u'/'), path.lastIndexOf(u'\\'));
    return slash < 0 ? path : path.mid(slash + 1);
}

bool containsDigit(const QString &text)
{
    for (QChar c : text) {
        if (isDigit(c.unicode()))
            return true;
    }
    return false;
}

QStringView withoutLeadingZeros(QStringView digits)
{
    qsizetype start = 0;
    while (start + 1 < digits.size() && digits[start] == u'0')
        ++start;
    return digits.mid(start);
}

// Whether text[0, end) ends with suffix, ignoring ASCII case.
bool endsWithAt(QStringView text, qsizetype end, QLatin1String suffix)
{
    return end >= suffix.size() &&
           text.mid(end - suffix.size(), suffix.size()).compare(suffix, Qt::CaseInsensitive) == 0;
}

qsizetype digitRunStart(QStringView text, qsizetype end)
{
    qsizetype start = end;
    while (start > 0 && isDigit(text[start - 1].unicode()))
        --start;
    return start;
}

// The end of text[0, end) without a trailing ".zip", ".7z" or ".rar", optionally followed by a volume
// number of at least three digits.
qsizetype withoutArchiveExtension(QStringView text, qsizetype end)
{
    static const QLatin1String extensions[] = {QLatin1String(".zip"), QLatin1String(".7z"),
                                               QLatin1String(".rar")};
    qsizetype extensionEnd = end;
    const qsizetype digits = digitRunStart(text, end);
    if (end - digits >= 3 && digits > 0 && text[digits - 1] == u'.')
        extensionEnd = digits - 1;
    for (qsizetype candidate : {extensionEnd, end}) {
        for (const QLatin1String &extension : extensions) {
            if (endsWithAt(text, candidate, extension))
                return candidate - extension.size();
        }
        if (candidate == end)
            break;
    }
    return end;
}

// The end of text[0, end) without a trailing ".part<digits>".
qsizetype withoutPartSuffix(QStringView text, qsizetype end)
{
    const qsizetype digits = digitRunStart(text, end);
    if (digits < end && endsWithAt(text, digits, QLatin1String(".part")))
        return digits - 5;
    return end;
}

// Start of the longest run "\d+([._-]\d+)+" that ends at end, or -1. Every separator in the run sits
// between two digits; the run starts after a non-digit, so it is what the leftmost match captures.
qsizetype trailingVersionRunStart(QStringView text, qsizetype end)
{
    if (end == 0 || !isDigit(text[end - 1].unicode()))
        return -1;
    qsizetype start = end - 1;
    bool separated = false;
    while (start > 0) {
        const char16_t previous = text[start - 1].unicode();
        if (isDigit(previous)) {
            --start;
        } else if (isSeparator(previous) && start >= 2 && isDigit(text[start - 2].unicode())) {
            start -= 2;
            separated = true;
        } else {
            break;
        }
    }
    return separated ? start : -1;
}

} // namespace

int compareVersions(const QString &a, const QString &b)
{
    CharBuffer left;
    CharBuffer right;
    normaliseVersion(a, left);
    normaliseVersion(b, right);
    if (left.isEmpty() || right.isEmpty())
        return 0;

    Components leftParts;
    Components rightParts;
    leadingComponents(left, leftParts);
    leadingComponents(right, rightParts);
    applyCompactRule(left, right, leftParts);
    applyCompactRule(right, left, rightParts);

    if (!leftParts.isEmpty() && !rightParts.isEmpty()) {
        const qsizetype count = qMax(leftParts.size(), rightParts.size());
        for (qsizetype i = 0; i < count; ++i) {
            const qint64 x = i < leftParts.size() ? leftParts[i] : 0;
            const qint64 y = i < rightParts.size() ? rightParts[i] : 0;
            if (x != y)
                return x < y ? -1 : 1;
        }
        return 0;
    }
    const QStringView leftText(left.constData(), left.size());
    const QStringView rightText(right.constData(), right.size());
    return sign(leftText.compare(rightText, Qt::CaseInsensitive));
}

QStringList archiveNameVersions(const QString &fileName)
{
    const QString name = lastPathComponent(fileName);
    // Most names carry no number at all; they cannot end in a version.
    if (name.isEmpty() || !containsDigit(name))
        return {};

    // The trailing archive extension "(\.(zip|7z|rar))(\.\d{3,})?$", then "\.part\d+$", then the version
    // run "(^|[^0-9])v?((\d+[._-])+\d+)$". Scanned by hand because this runs for every file of every
    // entry while a repository loads; the scans keep the patterns' rule that "$" also matches before a
    // final line break.
    const QStringView text(name);
    qsizetype end = text.size();
    bool lineBreakFollows = false;
    const auto settleEnd = [&] {
        if (!lineBreakFollows && end > 0 && text[end - 1] == u'\n') {
            --end;
            lineBreakFollows = true;
        }
    };
    settleEnd();
    for (const auto strip : {withoutArchiveExtension, withoutPartSuffix}) {
        const qsizetype stripped = strip(text, end);
        if (stripped != end) {
            end = stripped;
            settleEnd();
        }
    }

    const qsizetype start = trailingVersionRunStart(text, end);
    if (start < 0)
        return {};
    const QStringView run = text.mid(start, end - start);

    QVarLengthArray<QStringView, 8> pieces;
    qsizetype pieceStart = 0;
    for (qsizetype i = 0; i <= run.size(); ++i) {
        if (i == run.size() || isSeparator(run[i].unicode())) {
            if (i > pieceStart)
                pieces.append(run.mid(pieceStart, i - pieceStart));
            pieceStart = i + 1;
        }
    }
    const qsizetype count = pieces.size();
    if (count < 2)
        return {};

    // Numbers in file names are written with leading zeros ("mod_01_02"); the version is the plain numbers.
    // Zeros are stripped as text so that an absurdly long piece cannot overflow into a wrong version.
    QStringList versions;
    for (qsizetype k = qMin<qsizetype>(count, 4); k >= 2; --k) {
        QString version;
        for (qsizetype i = count - k; i < count; ++i) {
            if (i > count - k)
                version.append(u'.');
            version.append(withoutLeadingZeros(pieces[i]));
        }
        if (!versions.contains(version))
            versions.append(version);
    }
    return versions;
}

QString minimumVersionPhrase(const QString &text)
{
    // "mind." and "mindestens" may be followed by the word "Version", as German authors usually write it. The
    // words must start a word of their own: "Mastermind 3000" is a name, not a minimum version of 3000.
    static const QRegularExpression explicitPhrase(
        QStringLiteral("(?:(?<![\\p{L}\\p{N}_])(?:ab\\s+version|mind(?:estens)?\\.?(?:\\s*version)?|"
                       "minimum(?:\\s+version)?|required\\s+version|version\\s*(?:>=|ab))|>=)"
                       "\\s*[:=]?\\s*v?\\s*(\\d+(?:[._-]\\d+){0,3})"),
        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression orNewer(
        QStringLiteral("\\bv(\\d+(?:[._-]\\d+){1,3})\\s*(?:oder\\s+neuer|or\\s+newer|\\+)?"),
        QRegularExpression::CaseInsensitiveOption);

    for (const QRegularExpression *pattern : {&explicitPhrase, &orNewer}) {
        const QRegularExpressionMatch match = pattern->match(text);
        if (match.hasMatch())
            return match.captured(1).trimmed();
    }
    return {};
}

QString versionFromText(const QString &text)
{
    static const QRegularExpression anyVersion(QStringLiteral("v?\\s*(\\d+(?:[._-]\\d+){0,3})"),
                                               QRegularExpression::CaseInsensitiveOption);

    const QString trimmed = text.trimmed();
    const QString minimum = minimumVersionPhrase(trimmed);
    if (!minimum.isEmpty())
        return minimum;
    const QRegularExpressionMatch match = anyVersion.match(trimmed);
    if (match.hasMatch())
        return match.captured(1).trimmed();
    return trimmed;
}

QString managerReleaseVersion(const QString &entryVersion, const QString &fileName)
{
    static const QRegularExpression releaseInName(
        QStringLiteral("(?:^|[^0-9])v?(\\d+\\.\\d+(?:\\.\\d+){0,2})(?:[^0-9]|$)"),
        QRegularExpression::CaseInsensitiveOption);

    const QString entry = entryVersion.trimmed();
    const QString fromName = releaseInName.match(fileName).captured(1);
    if (entry.isEmpty())
        return fromName;
    if (!fromName.isEmpty() && compareVersions(fromName, entry) > 0)
        return fromName;
    return entry;
}

bool isNewerManagerRelease(const QString &available)
{
    return compareVersions(QString::fromLatin1(AppInfo::version), available) < 0;
}
