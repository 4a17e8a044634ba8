#include "catalog/repositorylist.h"

#include "app/communitysite.h"
#include "platform/settingsfile.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSettings>
#include <QUrl>

namespace {
const QString externalRepositoriesKey = QStringLiteral("repositories/external");
}

RepositoryConfig builtInRepository()
{
    RepositoryConfig repository;
    repository.name = QStringLiteral("Trackhaven");
    repository.jsonUrl = communityUrl(QStringLiteral("/filebase/repos/fx3-v3.json"));
    repository.baseUrl = communityRootUrl().toString();
    repository.websiteUrl = repository.baseUrl;
    repository.enabled = true;
    repository.builtIn = true;
    return repository;
}

bool isValidRepositoryUrl(const QString &text)
{
    const QUrl url(text.trimmed(), QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    return url.isValid() && !url.host().isEmpty() &&
           (scheme == QLatin1String("http") || scheme == QLatin1String("https"));
}

QList<RepositoryConfig> loadExternalRepositories()
{
    QList<RepositoryConfig> repositories;
    const QJsonDocument document =
        QJsonDocument::fromJson(QSettings().value(externalRepositoriesKey).toByteArray());
    if (!document.isArray())
        return repositories;
    const QJsonArray elements = document.array();
    for (const QJsonValue &element : elements) {
        if (!element.isObject())
            continue;
        const QJsonObject object = element.toObject();
        RepositoryConfig repository;
        repository.name = object.value(QStringLiteral("name")).toString().trimmed();
        repository.jsonUrl = object.value(QStringLiteral("json_url")).toString().trimmed();
        repository.baseUrl = object.value(QStringLiteral("base_url")).toString().trimmed();
        repository.websiteUrl = object.value(QStringLiteral("website_url")).toString().trimmed();
        const QJsonValue enabled = object.value(QStringLiteral("enabled"));
        repository.enabled = enabled.isBool() ? enabled.toBool() : true;
        if (!repository.name.isEmpty() && isValidRepositoryUrl(repository.jsonUrl))
            repositories.append(repository);
    }
    return repositories;
}

void saveExternalRepositories(const QList<RepositoryConfig> &repositories)
{
    QJsonArray elements;
    for (const RepositoryConfig &repository : repositories) {
        if (repository.name.trimmed().isEmpty() || repository.jsonUrl.trimmed().isEmpty())
            continue;
        elements.append(QJsonObject{{QStringLiteral("name"), repository.name.trimmed()},
                                    {QStringLiteral("json_url"), repository.jsonUrl.trimmed()},
                                    {QStringLiteral("base_url"), repository.baseUrl.trimmed()},
                                    {QStringLiteral("website_url"), repository.websiteUrl.trimmed()},
                                    {QStringLiteral("enabled"), repository.enabled}});
    }
    QSettings settings;
    settings.setValue(externalRepositoriesKey, QJsonDocument(elements).toJson(QJsonDocument::Compact));
    syncPrivately(settings);
}

QList<RepositoryConfig> repositoriesToLoad()
{
    QList<RepositoryConfig> repositories{builtInRepository()};
    const QList<RepositoryConfig> external = loadExternalRepositories();
    for (const RepositoryConfig &repository : external) {
        if (repository.enabled)
            repositories.append(repository);
    }
    return repositories;
}

int findManagerEntry(const QList<RepoMod> &catalog)
{
    const QString builtInUrl = builtInRepository().jsonUrl;
    auto isBuiltIn = [&builtInUrl](const RepoMod &mod) {
        return mod.repositoryJsonUrl.compare(builtInUrl, Qt::CaseInsensitive) == 0;
    };
    for (qsizetype i = 0; i < catalog.size(); ++i) {
        if (isBuiltIn(catalog[i]) && catalog[i].id.trimmed() == QLatin1String("8094"))
            return int(i);
    }
    for (qsizetype i = 0; i < catalog.size(); ++i) {
        if (isBuiltIn(catalog[i]) &&
            catalog[i].name.trimmed().compare(QLatin1String("Trackhaven - FX3 ModManager"),
                                              Qt::CaseInsensitive) == 0)
            return int(i);
    }
    return -1;
}
