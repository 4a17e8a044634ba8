#include "localmods/modtranslations.h"

#include <QByteArray>

namespace {

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

bool isLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

int hexValue(char c)
{
    if (isDigit(c))
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

void appendUtf8(QByteArray *out, char32_t code)
{
    out->append(QString::fromUcs4(&code, 1).toUtf8());
}

enum class TokenKind
{
    End,
    Name,
    String,
    Symbol,
    Other,
    Error
};

struct Token
{
    TokenKind kind = TokenKind::End;
    // A name, the decoded bytes of a string, or the symbol ("{", "=", "==", …).
    QByteArray text;
};

class Lexer
{
public:
    explicit Lexer(QByteArrayView data) : m_data(data)
    {
        if (m_data.startsWith("\xEF\xBB\xBF"))
            m_pos = 3;
    }

    Token next()
    {
        if (!skipSpaceAndComments())
            return {TokenKind::Error, {}};
        if (m_pos >= m_data.size())
            return {};
        const char c = m_data[m_pos];
        const qsizetype start = m_pos;
        if (isLetter(c)) {
            while (m_pos < m_data.size() && (isLetter(m_data[m_pos]) || isDigit(m_data[m_pos])))
                ++m_pos;
            return {TokenKind::Name, m_data.sliced(start, m_pos - start).toByteArray()};
        }
        if (isDigit(c) || (c == '.' && m_pos + 1 < m_data.size() && isDigit(m_data[m_pos + 1]))) {
            readNumber();
            return {TokenKind::Other, {}};
        }
        Token token{TokenKind::String, {}};
        if (c == '"' || c == '\'') {
            ++m_pos;
            return readQuoted(c, &token.text) ? token : Token{TokenKind::Error, {}};
        }
        const qsizetype level = longBracketLevel(m_pos);
        if (level >= 0) {
            m_pos += level + 2;
            return readLongBracket(level, &token.text) ? token : Token{TokenKind::Error, {}};
        }
        ++m_pos;
        if (c == '=' && m_pos < m_data.size() && m_data[m_pos] == '=')
            ++m_pos;
        return {TokenKind::Symbol, m_data.sliced(start, m_pos - start).toByteArray()};
    }

private:
    // The level of a long bracket "[", "="*, "[" at index at, or -1 when there is none.
    qsizetype longBracketLevel(qsizetype at) const
    {
        if (at >= m_data.size() || m_data[at] != '[')
            return -1;
        qsizetype i = at + 1;
        while (i < m_data.size() && m_data[i] == '=')
            ++i;
        return i < m_data.size() && m_data[i] == '[' ? i - at - 1 : -1;
    }

    bool skipSpaceAndComments()
    {
        for (;;) {
            while (m_pos < m_data.size() && isSpace(m_data[m_pos]))
                ++m_pos;
            if (m_pos + 1 >= m_data.size() || m_data[m_pos] != '-' || m_data[m_pos + 1] != '-')
                return true;
            m_pos += 2;
            const qsizetype level = longBracketLevel(m_pos);
            if (level >= 0) {
                m_pos += level + 2;
                if (!readLongBracket(level, nullptr))
                    return false;
                continue;
            }
            while (m_pos < m_data.size() && m_data[m_pos] != '\n')
                ++m_pos;
        }
    }

    void readNumber()
    {
        while (m_pos < m_data.size()) {
            const char c = m_data[m_pos];
            const bool exponentSign =
                (c == '+' || c == '-') && m_pos > 0 && QByteArrayView("eEpP").contains(m_data[m_pos - 1]);
            if (!isLetter(c) && !isDigit(c) && c != '.' && !exponentSign)
                return;
            ++m_pos;
        }
    }

    // The body of a long string or comment whose opening bracket was just read, up to its closing bracket.
    bool readLongBracket(qsizetype level, QByteArray *content)
    {
        // A line break right after the opening bracket is not part of the text.
        if (m_pos < m_data.size() && (m_data[m_pos] == '\r' || m_data[m_pos] == '\n')) {
            const char first = m_data[m_pos++];
            if (m_pos < m_data.size() && (m_data[m_pos] == '\r' || m_data[m_pos] == '\n') &&
                m_data[m_pos] != first)
                ++m_pos;
        }
        for (qsizetype i = m_pos; i < m_data.size(); ++i) {
            if (m_data[i] != ']')
                continue;
            qsizetype j = i + 1;
            while (j < m_data.size() && m_data[j] == '=')
                ++j;
            if (j - i - 1 == level && j < m_data.size() && m_data[j] == ']') {
                if (content)
                    *content = m_data.sliced(m_pos, i - m_pos).toByteArray();
                m_pos = j + 1;
                return true;
            }
        }
        return false;
    }

    // A quoted string whose opening quote was just read, with its escapes decoded.
    bool readQuoted(char quote, QByteArray *content)
    {
        while (m_pos < m_data.size()) {
            const char c = m_data[m_pos++];
            if (c == quote)
                return true;
            if (c == '\n' || c == '\r')
                return false;
            if (c != '\\') {
                content->append(c);
            } else if (!readEscape(content)) {
                return false;
            }
        }
        return false;
    }

    bool readEscape(QByteArray *content)
    {
        if (m_pos >= m_data.size())
            return false;
        const char e = m_data[m_pos++];
        switch (e) {
        case 'n':
            content->append('\n');
            return true;
        case 't':
            content->append('\t');
            return true;
        case 'r':
            content->append('\r');
            return true;
        case 'a':
            content->append('\a');
            return true;
        case 'b':
            content->append('\b');
            return true;
        case 'f':
            content->append('\f');
            return true;
        case 'v':
            content->append('\v');
            return true;
        case '\\':
        case '"':
        case '\'':
            content->append(e);
            return true;
        case '\n':
        case '\r':
            // A backslash before a line break keeps the line break.
            if (m_pos < m_data.size() && (m_data[m_pos] == '\n' || m_data[m_pos] == '\r') &&
                m_data[m_pos] != e)
                ++m_pos;
            content->append('\n');
            return true;
        case 'z':
            while (m_pos < m_data.size() && isSpace(m_data[m_pos]))
                ++m_pos;
            return true;
        case 'x': {
            if (m_pos + 1 >= m_data.size())
                return false;
            const int high = hexValue(m_data[m_pos]);
            const int low = hexValue(m_data[m_pos + 1]);
            if (high < 0 || low < 0)
                return false;
            m_pos += 2;
            content->append(char(high * 16 + low));
            return true;
        }
        case 'u': {
            if (m_pos >= m_data.size() || m_data[m_pos] != '{')
                return false;
            char32_t code = 0;
            qsizetype i = m_pos + 1;
            while (i < m_data.size() && hexValue(m_data[i]) >= 0 && code <= 0x10ffff)
                code = code * 16 + char32_t(hexValue(m_data[i++]));
            if (i == m_pos + 1 || i >= m_data.size() || m_data[i] != '}' || code > 0x10ffff)
                return false;
            m_pos = i + 1;
            appendUtf8(content, code);
            return true;
        }
        default:
            break;
        }
        if (!isDigit(e))
            return false;
        int value = e - '0';
        for (int digits = 1; digits < 3 && m_pos < m_data.size() && isDigit(m_data[m_pos]); ++digits)
            value = value * 10 + (m_data[m_pos++] - '0');
        if (value > 255)
            return false;
        content->append(char(value));
        return true;
    }

    QByteArrayView m_data;
    qsizetype m_pos = 0;
};

class TranslationParser
{
public:
    explicit TranslationParser(QByteArrayView data) : m_lexer(data) { advance(); }

    bool parse(ModTranslations *translations)
    {
        // The table that the first return statement gives.
        while (!(isName("return") && nextIsSymbol("{"))) {
            if (m_token.kind == TokenKind::End || m_token.kind == TokenKind::Error)
                return false;
            advance();
        }
        advance();
        advance();
        const bool read = readTable(
            [&](const QString &language) {
                QHash<QString, QString> texts;
                const bool ok =
                    readTable([&](const QString &) { return skipTableRest(); },
                              [&](const QString &key, const QString &text) { texts.insert(key, text); });
                translations->insert(language, texts);
                return ok;
            },
            [](const QString &, const QString &) {});
        if (!read)
            return false;
        // What follows the table must still be Lua as far as the lexer can tell.
        while (m_token.kind != TokenKind::End) {
            if (m_token.kind == TokenKind::Error)
                return false;
            advance();
        }
        return true;
    }

private:
    void advance() { m_token = m_lexer.next(); }

    bool isSymbol(const char *symbol) const
    {
        return m_token.kind == TokenKind::Symbol && m_token.text == symbol;
    }
    bool isName(const char *name) const { return m_token.kind == TokenKind::Name && m_token.text == name; }
    bool nextIsSymbol(const char *symbol) const
    {
        Lexer ahead = m_lexer;
        const Token next = ahead.next();
        return next.kind == TokenKind::Symbol && next.text == symbol;
    }
    bool atFieldEnd() const { return isSymbol(",") || isSymbol(";") || isSymbol("}"); }

    // Skips one expression up to the token that ends it at the same depth: a field separator or the table's
    // closing brace after a value, the "]" after a key.
    bool skipExpression(bool key)
    {
        const auto atEnd = [&] {
            return key ? isSymbol("]") : atFieldEnd();
        };
        if (atEnd())
            return false;
        int depth = 0;
        while (depth > 0 || !atEnd()) {
            if (m_token.kind == TokenKind::End || m_token.kind == TokenKind::Error)
                return false;
            if (isSymbol("{") || isSymbol("(") || isSymbol("["))
                ++depth;
            else if ((isSymbol("}") || isSymbol(")") || isSymbol("]")) && --depth < 0)
                return false;
            advance();
        }
        return true;
    }

    // Skips the rest of a table whose "{" was just read, its "}" included.
    bool skipTableRest()
    {
        int depth = 1;
        while (depth > 0) {
            if (m_token.kind == TokenKind::End || m_token.kind == TokenKind::Error)
                return false;
            if (isSymbol("{"))
                ++depth;
            else if (isSymbol("}"))
                --depth;
            advance();
        }
        return true;
    }

    // Reads the fields of a table whose "{" was just read, its "}" included. A field keyed by a string or a
    // name goes to onTable (with its "{" read) when its value is a table, to onText when its value is a
    // plain string; every other field is skipped.
    template <typename OnTable, typename OnText> bool readTable(OnTable onTable, OnText onText)
    {
        for (;;) {
            if (isSymbol("}")) {
                advance();
                return true;
            }
            QString key;
            bool keyed = false;
            if (isSymbol("[")) {
                advance();
                if (m_token.kind == TokenKind::String && nextIsSymbol("]")) {
                    key = QString::fromUtf8(m_token.text);
                    keyed = true;
                    advance();
                } else if (!skipExpression(true)) {
                    return false;
                }
                if (!isSymbol("]") || !nextIsSymbol("="))
                    return false;
                advance();
                advance();
            } else if (m_token.kind == TokenKind::Name && nextIsSymbol("=")) {
                key = QString::fromUtf8(m_token.text);
                keyed = true;
                advance();
                advance();
            }

            if (keyed && isSymbol("{")) {
                advance();
                if (!onTable(key))
                    return false;
            } else if (keyed && m_token.kind == TokenKind::String) {
                const QString text = QString::fromUtf8(m_token.text);
                advance();
                if (atFieldEnd())
                    onText(key, text);
                else if (!skipExpression(false))
                    return false;
            } else if (!skipExpression(false)) {
                return false;
            }

            if (isSymbol(",") || isSymbol(";"))
                advance();
            else if (!isSymbol("}"))
                return false;
        }
    }

    Lexer m_lexer;
    Token m_token;
};

} // namespace

ModTranslations parseModTranslations(QByteArrayView utf8)
{
    ModTranslations translations;
    TranslationParser parser(utf8);
    if (!parser.parse(&translations))
        return {};
    return translations;
}

QString translatedModText(const ModTranslations &translations, const QString &key, const QString &language)
{
    for (const QString &code : {language, QStringLiteral("en")}) {
        const auto table = translations.constFind(code);
        if (table == translations.constEnd())
            continue;
        const QString text = table->value(key);
        if (!text.isEmpty())
            return text;
    }
    return key;
}
