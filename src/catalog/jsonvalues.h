#pragma once

#include "catalog/repomod.h"

#include <QHash>
#include <QJsonObject>
#include <QJsonValue>
#include <QLatin1String>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

// Repository documents and mod metadata files spell their members in many ways and put numbers where
// texts are expected. These rules read such loose JSON without ever failing.

// A JSON value as text: a string unchanged, a number in its shortest decimal form ("8094", "1.5"),
// "true"/"false"; null, missing, arrays and objects give an empty text.
QString jsonValueText(const QJsonValue &value);

// The first member among keys, in order, whose text is not empty.
QString firstJsonText(const QJsonObject &object, const QStringList &keys);
// As firstJsonText, but each candidate is trimmed before it is tested and returned.
QString firstJsonTextTrimmed(const QJsonObject &object, const QStringList &keys);
// The same with keys as Latin-1 literals, which the JSON object compares without conversion; for parsers
// that read thousands of objects.
QString firstJsonText(const QJsonObject &object, const QList<QLatin1String> &keys);
QString firstJsonTextTrimmed(const QJsonObject &object, const QList<QLatin1String> &keys);

// Names from a string list ("A; B|C"), a number, an array of strings, numbers or objects, or one object.
// Every text is trimmed and translated through table (ids to names); empty texts and texts already taken
// (ignoring case) are left out.
QStringList jsonTextList(const QJsonValue &value, const QHash<QString, QString> &table = {});

// A URL from a repository document made absolute against the repository's base URL, or against the
// document's own URL when the repository has no usable base.
QString resolveRepositoryUrl(const QString &url, const RepositoryConfig &repository);
// The base that resolveRepositoryUrl uses, for resolving many URLs of one repository with one parse.
QUrl repositoryBaseUrl(const RepositoryConfig &repository);
QString resolveRepositoryUrl(const QString &url, const QUrl &base);
