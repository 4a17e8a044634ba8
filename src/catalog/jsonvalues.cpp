#include "catalog/jsonvalues.h"

#include <QJsonArray>
#include <QUrl>

#include <cmath>
#include <limits>

namespace {

// Ids arrive as integers; QJsonValue keeps them exactly up to 64 bits, which a detour over double would
// not for very large ids.
bool integralValue(const QJsonValue &value, qint64 *result)
{
    const double number = value.toDouble();
    if (!std::isfinite(number) || std::trunc(number) != number)
        return false;
    constexpr qint64 missing = std::numeric_limits<qint64>::min();
    const qint64 integer = value.toInteger(missing);
    if (integer == missing)
        return false;
    *result = integer;
    return true;
}

// The name of a category or tag object: "name", "title" or "label" when it is a string, else its id.
QString objectName(const QJsonObject &object)
{
    for (const char *key : {"name", "title", "label"}) {
        const QJsonValue value = object.value(QLatin1String(key));
        if (value.isString())
            return value.toString();
    }
    return jsonValueText(object.value(QLatin1String("id")));
}

QString integerText(const QJsonValue &value)
{
    qint64 integer = 0;
    if (integralValue(value, &integer))
        return QString::number(integer);
    const double number = std::trunc(value.toDouble());
    if (!std::isfinite(number) || std::fabs(number) >= 9.2e18)
        return QString();
    return QString::number(qint64(number));
}

void appendName(QStringList &names, const QString &text, const QHash<QString, QString> &table)
{
    QString name = text.trimmed();
    const auto mapped = table.constFind(name);
    if (mapped != table.constEnd())
        name = mapped.value();
    if (!name.isEmpty() && !names.contains(name, Qt::CaseInsensitive))
        names.append(name);
}

} // namespace

QString jsonValueText(const QJsonValue &value)
{
    switch (value.type()) {
    case QJsonValue::String:
        return value.toString();
    case QJsonValue::Double: {
        qint64 integer = 0;
        if (integralValue(value, &integer))
            return QString::number(integer);
        return QString::number(value.toDouble(), 'g', QLocale::FloatingPointShortest);
    }
    case QJsonValue::Bool:
        return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    default:
        return QString();
    }
}

namespace {

template <typename Keys> QString firstText(const QJsonObject &object, const Keys &keys, bool trim)
{
    for (const auto &key : keys) {
        QString text = jsonValueText(object.value(key));
        if (trim)
            text = std::move(text).trimmed();
        if (!text.isEmpty())
            return text;
    }
    return QString();
}

} // namespace

QString firstJsonText(const QJsonObject &object, const QStringList &keys)
{
    return firstText(object, keys, false);
}

QString firstJsonTextTrimmed(const QJsonObject &object, const QStringList &keys)
{
    return firstText(object, keys, true);
}

QString firstJsonText(const QJsonObject &object, const QList<QLatin1String> &keys)
{
    return firstText(object, keys, false);
}

QString firstJsonTextTrimmed(const QJsonObject &object, const QList<QLatin1String> &keys)
{
    return firstText(object, keys, true);
}

QStringList jsonTextList(const QJsonValue &value, const QHash<QString, QString> &table)
{
    QStringList names;
    switch (value.type()) {
    case QJsonValue::String: {
        // Sites write the ampersand of "Werkzeuge & Tools" as "&amp;"; its ";" is not a list separator.
        QString text = value.toString();
        if (text.contains(u'&'))
            text.replace(QLatin1String("&amp;"), QLatin1String("&"));
        qsizetype start = 0;
        for (qsizetype i = 0; i <= text.size(); ++i) {
            if (i == text.size() || text[i] == u',' || text[i] == u';' || text[i] == u'|') {
                if (i > start)
                    appendName(names, text.mid(start, i - start), table);
                start = i + 1;
            }
        }
        break;
    }
    case QJsonValue::Double:
        appendName(names, integerText(value), table);
        break;
    case QJsonValue::Array: {
        const QJsonArray array = value.toArray();
        for (const QJsonValue &element : array) {
            if (element.isString())
                appendName(names, element.toString(), table);
            else if (element.isDouble())
                appendName(names, jsonValueText(element), table);
            else if (element.isObject())
                appendName(names, objectName(element.toObject()), table);
        }
        break;
    }
    case QJsonValue::Object:
        appendName(names, objectName(value.toObject()), table);
        break;
    default:
        break;
    }
    return names;
}

QUrl repositoryBaseUrl(const RepositoryConfig &repository)
{
    const QString baseText = repository.baseUrl.trimmed();
    QUrl base(baseText);
    if (baseText.isEmpty() || !base.isValid())
        base = QUrl(repository.jsonUrl.trimmed());
    return base;
}

QString resolveRepositoryUrl(const QString &url, const QUrl &base)
{
    const QString text = url.trimmed();
    if (text.isEmpty())
        return QString();
    const QUrl parsed(text, QUrl::TolerantMode);
    if (parsed.isValid() && !parsed.isRelative())
        return parsed.toString();
    if (base.isValid() && !base.isEmpty())
        return base.resolved(parsed).toString();
    return text;
}

QString resolveRepositoryUrl(const QString &url, const RepositoryConfig &repository)
{
    if (url.trimmed().isEmpty())
        return QString();
    return resolveRepositoryUrl(url, repositoryBaseUrl(repository));
}
