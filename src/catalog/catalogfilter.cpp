#include "catalog/catalogfilter.h"

#include <QCollator>
#include <QLocale>
#include <QSet>

#include <algorithm>

namespace {
// Keeps the first spelling of every text, compared ignoring case, and sorts them ignoring case.
class CaseInsensitiveSet
{
public:
    void add(const QString &text)
    {
        if (text.isEmpty())
            return;
        const QString key = text.toCaseFolded();
        if (m_seen.contains(key))
            return;
        m_seen.insert(key);
        m_texts.append(text);
    }
    // German collation, so "Äpfel" sorts beside "Apfel" and not after "Z".
    QStringList sorted()
    {
        QCollator collator{QLocale(QLocale::German, QLocale::Germany)};
        collator.setCaseSensitivity(Qt::CaseInsensitive);
        collator.setNumericMode(true);
        std::stable_sort(m_texts.begin(), m_texts.end(), [&collator](const QString &a, const QString &b) {
            return collator.compare(a, b) < 0;
        });
        return m_texts;
    }

private:
    QSet<QString> m_seen;
    QStringList m_texts;
};
} // namespace

QString catalogSearchText(const RepoMod &mod)
{
    return QStringList{mod.name,
                       mod.author,
                       mod.repositoryName,
                       mod.categories.join(QLatin1Char(' ')),
                       mod.tags.join(QLatin1Char(' ')),
                       mod.description}
        .join(QLatin1Char(' '));
}

QStringList catalogSearchTexts(const QList<RepoMod> &catalog)
{
    QStringList texts;
    texts.reserve(catalog.size());
    for (const RepoMod &mod : catalog)
        texts.append(catalogSearchText(mod));
    return texts;
}

QList<int> filterCatalog(const QList<RepoMod> &catalog, const QStringList &searchTexts,
                         const CatalogFilter &filter)
{
    const QString search = filter.search.trimmed();
    QList<int> shown;
    for (qsizetype i = 0; i < catalog.size(); ++i) {
        const RepoMod &mod = catalog[i];
        if (mod.isTool)
            continue;
        if (!search.isEmpty()) {
            const QString text = i < searchTexts.size() ? searchTexts[i] : catalogSearchText(mod);
            if (!text.contains(search, Qt::CaseInsensitive))
                continue;
        }
        if (!filter.category.isEmpty() && !mod.categories.contains(filter.category, Qt::CaseInsensitive))
            continue;
        if (!filter.repository.isEmpty() &&
            mod.repositoryName.compare(filter.repository, Qt::CaseInsensitive) != 0)
            continue;
        shown.append(int(i));
    }
    return shown;
}

QStringList catalogCategories(const QList<RepoMod> &catalog)
{
    CaseInsensitiveSet categories;
    for (const RepoMod &mod : catalog) {
        if (mod.isTool)
            continue;
        for (const QString &category : mod.categories)
            categories.add(category);
    }
    return categories.sorted();
}

QStringList catalogRepositoryNames(const QList<RepoMod> &catalog)
{
    CaseInsensitiveSet names;
    for (const RepoMod &mod : catalog) {
        if (!mod.isTool)
            names.add(mod.repositoryName.trimmed());
    }
    return names.sorted();
}

int countListedEntries(const QList<RepoMod> &catalog)
{
    return int(
        std::count_if(catalog.cbegin(), catalog.cend(), [](const RepoMod &mod) { return !mod.isTool; }));
}

QString catalogEntryKey(const RepoMod &mod)
{
    const QString repository = mod.repositoryJsonUrl.trimmed().toLower();
    const QString id = mod.id.trimmed();
    if (!id.isEmpty())
        return repository + QStringLiteral("|id|") + id;
    return repository + QStringLiteral("|name|") + mod.name.trimmed().toLower();
}

int findCatalogEntry(const QList<RepoMod> &catalog, const QString &key)
{
    if (key.isEmpty())
        return -1;
    for (int i = 0; i < catalog.size(); ++i) {
        if (catalogEntryKey(catalog.at(i)) == key)
            return i;
    }
    return -1;
}
