#include "catalog/catalogfilter.h"
#include "catalog/repositorylist.h"
#include "catalog/repositoryvalidation.h"
#include "testsupport.h"

#include <QSettings>
#include <QtTest>

class RepositoryListTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void builtInRepositoryFollowsTheCommunityRoot();
    void externalRepositories_data();
    void externalRepositories();
    void saveWritesOnlyNamedRepositoriesAndKeepsDisabledOnes();
    void managerEntryComesOnlyFromTheBuiltInRepository();
    void filterListsIgnoreToolsAndCase();
    void searchIsOnePhraseOverAllTexts();
    void validation_data();
    void validation();
};

void RepositoryListTest::builtInRepositoryFollowsTheCommunityRoot()
{
    TestEnvironment environment;
    environment.setEnv("FX3MM_COMMUNITY_URL", "http://127.0.0.1:4321/some/path?x=1");
    QCOMPARE(builtInRepository().jsonUrl, QStringLiteral("http://127.0.0.1:4321/filebase/repos/fx3-v3.json"));
    // Anything but an http(s) root falls back to the compiled-in site.
    environment.setEnv("FX3MM_COMMUNITY_URL", "ftp://127.0.0.1/");
    QVERIFY(builtInRepository().jsonUrl.startsWith(QLatin1String("https://")));
}

void RepositoryListTest::externalRepositories_data()
{
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<QStringList>("names");
    QTest::newRow("object instead of array")
        << QByteArray(R"({"name":"A","json_url":"https://a.test/r.json"})") << QStringList{};
    QTest::newRow("malformed") << QByteArray("[{") << QStringList{};
    QTest::newRow("invalid entries dropped")
        << QByteArray(R"([{"name":" Gut ","json_url":" https://a.test/r.json "},
                         {"name":"","json_url":"https://b.test/r.json"},
                         {"name":"Ohne Host","json_url":"https:///r.json"},
                         {"name":"Falsches Schema","json_url":"file:///tmp/r.json"},
                         {"name":"Text","json_url":"kein link"},
                         "kein Objekt",
                         {"name":"Aus","json_url":"http://c.test/r.json","enabled":false}])")
        << QStringList{"Gut+", "Aus"};
}

void RepositoryListTest::externalRepositories()
{
    QFETCH(QByteArray, stored);
    QFETCH(QStringList, names);
    TestEnvironment environment;
    QSettings().setValue("repositories/external", stored);
    // Each name with "+" when the repository is enabled: a stored entry without the flag is.
    QStringList loaded;
    for (const RepositoryConfig &repository : loadExternalRepositories())
        loaded.append(repository.name + (repository.enabled ? QStringLiteral("+") : QString()));
    QCOMPARE(loaded, names);
}

void RepositoryListTest::saveWritesOnlyNamedRepositoriesAndKeepsDisabledOnes()
{
    TestEnvironment environment;
    saveExternalRepositories(
        {{" Eins ", " https://a.test/1.json ", "", "", true, false},
         {"  ", "https://a.test/2.json", "", "", true, false},
         {"Zwei", "https://a.test/3.json", "https://a.test/", "https://a.test/", false, false}});
    const QList<RepositoryConfig> loaded = loadExternalRepositories();
    QCOMPARE(loaded.size(), 2);
    QCOMPARE(loaded[0].name, QStringLiteral("Eins"));
    QCOMPARE(loaded[0].jsonUrl, QStringLiteral("https://a.test/1.json"));
    QVERIFY(!loaded[1].enabled);
    // The disabled repository stays stored but is never requested.
    const QList<RepositoryConfig> requested = repositoriesToLoad();
    QCOMPARE(requested.size(), 2);
    QVERIFY(requested[0].builtIn);
    QCOMPARE(requested[1].name, QStringLiteral("Eins"));
}

void RepositoryListTest::managerEntryComesOnlyFromTheBuiltInRepository()
{
    TestEnvironment environment;
    RepoMod foreign;
    foreign.id = QStringLiteral("8094");
    foreign.repositoryName = QStringLiteral("Trackhaven");
    foreign.repositoryJsonUrl = QStringLiteral("https://elsewhere.test/fx3-v3.json");
    RepoMod byName;
    byName.name = QStringLiteral(" trackhaven - fx3 modmanager ");
    byName.repositoryJsonUrl = builtInRepository().jsonUrl.toUpper();
    RepoMod byId;
    byId.id = QStringLiteral(" 8094 ");
    byId.repositoryJsonUrl = builtInRepository().jsonUrl;
    QCOMPARE(findManagerEntry({foreign, byName}), 1);
    QCOMPARE(findManagerEntry({foreign, byName, byId}), 2); // the id wins over the name
}

void RepositoryListTest::filterListsIgnoreToolsAndCase()
{
    QList<RepoMod> catalog(4);
    catalog[0].categories = {"Wagen", "Loks"};
    catalog[0].repositoryName = QStringLiteral(" Trackhaven ");
    catalog[1].categories = {"wagen", "Bahnhöfe"};
    catalog[1].repositoryName = QStringLiteral("trackhaven");
    catalog[2].categories = {"Werkzeuge & Tools"};
    catalog[2].repositoryName = QStringLiteral("Nur Werkzeuge");
    catalog[2].isTool = true;
    catalog[3].categories = {"ähnliches"};
    catalog[3].repositoryName = QStringLiteral("Extern");
    QCOMPARE(catalogCategories(catalog), (QStringList{"ähnliches", "Bahnhöfe", "Loks", "Wagen"}));
    QCOMPARE(catalogRepositoryNames(catalog), (QStringList{"Extern", "Trackhaven"}));
    QCOMPARE(countListedEntries(catalog), 3);
}

void RepositoryListTest::searchIsOnePhraseOverAllTexts()
{
    QList<RepoMod> catalog(3);
    catalog[0].name = QStringLiteral("Rote Lok");
    catalog[0].author = QStringLiteral("Anna");
    catalog[1].name = QStringLiteral("Lok Rot");
    catalog[1].tags = {"Epoche III"};
    catalog[2].name = QStringLiteral("Rote Lok Werkzeug");
    catalog[2].isTool = true;
    const QStringList texts = catalogSearchTexts(catalog);
    QCOMPARE(filterCatalog(catalog, texts, {QStringLiteral(" rote lok "), {}, {}}), QList<int>{0});
    QCOMPARE(filterCatalog(catalog, texts, {QStringLiteral("EPOCHE iii"), {}, {}}), QList<int>{1});
    QCOMPARE(filterCatalog(catalog, texts, {QStringLiteral("anna"), {}, {}}), QList<int>{0});
    QCOMPARE(filterCatalog(catalog, texts, {}), (QList<int>{0, 1}));
    // Category and repository must be equal, ignoring case; a mod in two categories is listed under both.
    catalog[0].categories = {"Loks", "Wagen"};
    catalog[0].repositoryName = QStringLiteral("Trackhaven");
    catalog[1].categories = {"Wagenteile"};
    catalog[1].repositoryName = QStringLiteral("Trackhaven Extra");
    QCOMPARE(filterCatalog(catalog, texts, {{}, QStringLiteral("wagen"), {}}), QList<int>{0});
    QCOMPARE(filterCatalog(catalog, texts, {{}, QStringLiteral("LOKS"), QStringLiteral("trackhaven")}),
             QList<int>{0});
    QCOMPARE(filterCatalog(catalog, texts, {{}, {}, QStringLiteral("Trackhaven extra")}), QList<int>{1});
    QCOMPARE(filterCatalog(catalog, texts, {QStringLiteral("lok"), {}, QStringLiteral("Trackhaven Extra")}),
             QList<int>{1});
}

void RepositoryListTest::validation_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("jsonUrl");
    QTest::addColumn<QString>("baseUrl");
    QTest::addColumn<QString>("websiteUrl");
    QTest::addColumn<QString>("error");
    const QString json = QStringLiteral("https://repo.example/fx3/repo.json");
    const auto row = [](const char *tag, const QString &name, const QString &jsonUrl, const QString &baseUrl,
                        const QString &websiteUrl, const QString &error = QString()) {
        QTest::newRow(tag) << name << jsonUrl << baseUrl << websiteUrl << error;
    };
    row("https, nothing optional", "Nord", json, "", "");
    row("http, capitals, port", "Nord", "HTTP://127.0.0.1:8080/repo.json?v=2", "", "");
    row("blanks around everything", "  Nord  ", "  " + json + "\t", " https://repo.example/files/ ",
        "\thttps://repo.example/ ");
    const QString nameError = QStringLiteral("Bitte gib einen Namen für das Repository an.");
    const QString urlError =
        QStringLiteral("Bitte gib eine gültige HTTP- oder HTTPS-URL zur Repository-JSON an.");
    const QString optionalError = QStringLiteral("Basis-URL und Webseite müssen HTTP- oder HTTPS-URLs sein.");
    row("blank name", " \t ", json, "", "", nameError);
    row("name is checked before a bad URL", "", "no url", "ftp://x.example/", "", nameError);
    row("local file", "Nord", "file:///home/anna/repo.json", "", "", urlError);
    row("https without host", "Nord", "https:///repo.json", "", "", urlError);
    row("blank inside the host", "Nord", "https://repo example/repo.json", "", "", urlError);
    row("base ftp", "Nord", json, "ftp://repo.example/files/", "", optionalError);
    row("website mail", "Nord", json, "", "mailto:anna@repo.example", optionalError);
}

void RepositoryListTest::validation()
{
    QFETCH(QString, name);
    QFETCH(QString, jsonUrl);
    QFETCH(QString, baseUrl);
    QFETCH(QString, websiteUrl);
    QFETCH(QString, error);
    RepositoryConfig entered{name, jsonUrl, baseUrl, websiteUrl, false, false};
    QCOMPARE(validateRepositoryConfig(entered), error);
    if (!error.isEmpty())
        return;

    // Whatever the dialog lets through must come back at the next start, or a saved repository vanishes.
    TestEnvironment environment;
    saveExternalRepositories({trimmedRepositoryConfig(entered)});
    const QList<RepositoryConfig> loaded = loadExternalRepositories();
    QCOMPARE(loaded.size(), 1);
    QCOMPARE(loaded.first().name, name.trimmed());
    QCOMPARE(loaded.first().jsonUrl, jsonUrl.trimmed());
    QCOMPARE(loaded.first().baseUrl, baseUrl.trimmed());
    QCOMPARE(loaded.first().websiteUrl, websiteUrl.trimmed());
    QCOMPARE(loaded.first().enabled, false);
}

QTEST_GUILESS_MAIN(RepositoryListTest)
#include "tst_repositorylist.moc"
