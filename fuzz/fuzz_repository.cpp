// Repository documents as any external repository may serve them, with the dependency texts of their
// entries.

#include "catalog/dependencyparsing.h"
#include "catalog/dependencyresolution.h"
#include "catalog/repositoryparser.h"
#include "fuzzinput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input = fuzzBytes(data, size);
    RepositoryConfig repository;
    repository.name = QStringLiteral("Fuzz");
    repository.jsonUrl = QStringLiteral("https://repo.example.org/data/mods.json");
    repository.baseUrl = QStringLiteral("https://repo.example.org/files/");
    repository.websiteUrl = QStringLiteral("https://repo.example.org/");

    QList<RepoMod> catalog;
    QString error;
    parseRepositoryDocument(input, repository, catalog, &error);
    for (const RepoMod &mod : std::as_const(catalog)) {
        for (const RepoDependency &dependency : mod.dependencies) {
            const int found = findDependencyEntry(dependency, catalog);
            dependencyLabel(dependency, found >= 0 ? &catalog.at(found) : nullptr);
            dependencyEntryPageUrl(dependency);
            directDownloadUrl(dependency);
        }
    }

    // The same bytes as the free text of an entry's required mods.
    QList<RepoDependency> dependencies;
    parseDependencyText(QString::fromUtf8(input), &dependencies);
    for (const RepoDependency &dependency : std::as_const(dependencies))
        dependencyLabel(dependency);
    return 0;
}
