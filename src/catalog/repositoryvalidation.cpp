#include "catalog/repositoryvalidation.h"

#include "catalog/repositorylist.h"

#include <QCoreApplication>

QString validateRepositoryConfig(const RepositoryConfig &repository)
{
    if (repository.name.trimmed().isEmpty())
        return QCoreApplication::translate("MainWindow", "Bitte gib einen Namen für das Repository an.");
    if (!isValidRepositoryUrl(repository.jsonUrl))
        return QCoreApplication::translate(
            "MainWindow", "Bitte gib eine gültige HTTP- oder HTTPS-URL zur Repository-JSON an.");
    for (const QString &optional : {repository.baseUrl, repository.websiteUrl}) {
        if (!optional.trimmed().isEmpty() && !isValidRepositoryUrl(optional))
            return QCoreApplication::translate("MainWindow",
                                               "Basis-URL und Webseite müssen HTTP- oder HTTPS-URLs sein.");
    }
    return QString();
}

RepositoryConfig trimmedRepositoryConfig(const RepositoryConfig &repository)
{
    RepositoryConfig trimmed = repository;
    trimmed.name = repository.name.trimmed();
    trimmed.jsonUrl = repository.jsonUrl.trimmed();
    trimmed.baseUrl = repository.baseUrl.trimmed();
    trimmed.websiteUrl = repository.websiteUrl.trimmed();
    return trimmed;
}

QString externalRepositoriesSummary(const QList<RepositoryConfig> &repositories)
{
    qsizetype enabled = 0;
    for (const RepositoryConfig &repository : repositories) {
        if (repository.enabled)
            ++enabled;
    }
    return QCoreApplication::translate("MainWindow", "Externe Repositorys: %1 eingerichtet, %2 aktiv")
        .arg(repositories.size())
        .arg(enabled);
}
