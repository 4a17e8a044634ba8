#include "modio/modioblacklist.h"

#include "catalog/jsonvalues.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {
QString comparableName(const QString &name)
{
    return name.simplified().toCaseFolded();
}
} // namespace

QList<ModIoBlockedAuthor> parseAuthorBlacklist(const QByteArray &stored)
{
    QList<ModIoBlockedAuthor> authors;
    const QJsonDocument document = QJsonDocument::fromJson(stored.trimmed());
    if (!document.isArray())
        return authors;
    const QJsonArray elements = document.array();
    for (const QJsonValue &element : elements) {
        const QJsonObject object = element.toObject();
        ModIoBlockedAuthor author{jsonValueText(object.value(QLatin1String("id"))).trimmed(),
                                  jsonValueText(object.value(QLatin1String("name"))).trimmed()};
        if (!author.id.isEmpty() || !author.name.isEmpty())
            authors.append(author);
    }
    return authors;
}

QByteArray authorBlacklistJson(const QList<ModIoBlockedAuthor> &authors)
{
    QJsonArray elements;
    for (const ModIoBlockedAuthor &author : authors)
        elements.append(
            QJsonObject{{QStringLiteral("id"), author.id}, {QStringLiteral("name"), author.name}});
    return QJsonDocument(elements).toJson(QJsonDocument::Compact);
}

ModIoAuthorMatcher::ModIoAuthorMatcher(const QList<ModIoBlockedAuthor> &authors)
{
    for (const ModIoBlockedAuthor &author : authors) {
        if (!author.id.isEmpty())
            m_ids.append(author.id);
        const QString name = comparableName(author.name);
        if (!name.isEmpty())
            m_names.append(name);
    }
}

bool ModIoAuthorMatcher::blocks(const ModIoMod &record) const
{
    if (!record.submittedById.isEmpty() && m_ids.contains(record.submittedById))
        return true;
    return !m_names.isEmpty() && m_names.contains(comparableName(record.author));
}

bool isModIoAuthorBlocked(const QList<ModIoBlockedAuthor> &authors, const ModIoMod &record)
{
    return ModIoAuthorMatcher(authors).blocks(record);
}

QStringList blockedAuthorIds(const QList<ModIoBlockedAuthor> &authors)
{
    QStringList ids;
    for (const ModIoBlockedAuthor &author : authors) {
        const QString id = author.id.trimmed();
        if (!id.isEmpty() && !ids.contains(id))
            ids.append(id);
    }
    return ids;
}

bool blockModIoAuthor(QList<ModIoBlockedAuthor> &authors, const ModIoMod &record)
{
    const ModIoBlockedAuthor author{record.submittedById.trimmed(), record.author.trimmed()};
    if ((author.id.isEmpty() && author.name.isEmpty()) || isModIoAuthorBlocked(authors, record))
        return false;
    authors.append(author);
    return true;
}
