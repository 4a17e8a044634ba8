#include "app/apptranslator.h"
#include "catalog/repositorylist.h"
#include "catalog/repositoryvalidation.h"
#include "testsupport.h"

#include <QCoreApplication>
#include <QSettings>
#include <QtTest>

namespace {
const QString nameError = QStringLiteral("Bitte gib einen Namen für das Repository an.");
const QString urlError =
    QStringLiteral("Bitte gib eine gültige HTTP- oder HTTPS-URL zur Repository-JSON an.");
const QString optionalError = QStringLiteral("Basis-URL und Webseite müssen HTTP- oder HTTPS-URLs sein.");

RepositoryConfig repository(const QString &name, const QString &jsonUrl, const QString &baseUrl = QString(),
                            const QString &websiteUrl = QString(), bool enabled = true)
{
    return RepositoryConfig{name, jsonUrl, baseUrl, websiteUrl, enabled, false};
}

void addColumns()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("jsonUrl");
    QTest::addColumn<QString>("baseUrl");
    QTest::addColumn<QString>("websiteUrl");
    QTest::addColumn<QString>("error");
}

void row(const char *tag, const QString &name, const QString &jsonUrl, const QString &baseUrl,
         const QString &websiteUrl, const QString &error = QString())
{
    QTest::newRow(tag) << name << jsonUrl << baseUrl << websiteUrl << error;
}

void addUsableRows()
{
    const QString json = QStringLiteral("https://repo.example/fx3/repo.json");
    row("https, nothing optional", "Nord", json, "", "");
    row("plain http", "Nord", "http://repo.example/repo.json", "", "");
    row("scheme in capitals", "Nord", "HTTPS://Repo.Example/repo.json", "", "");
    row("port and query", "Nord", "http://127.0.0.1:8080/repo.json?v=2", "", "");
    row("blanks around everything", "  Nord  ", "  " + json + "\t", " https://repo.example/files/ ",
        "\thttps://repo.example/ ");
    row("blank optional fields", "Nord", json, "   ", "\t");
    row("all fields", "Nord", json, "https://cdn.example/fx3/", "http://repo.example/");
}

void addRefusedRows()
{
    const QString json = QStringLiteral("https://repo.example/fx3/repo.json");
    row("empty name", "", json, "", "", nameError);
    row("blank name", " \t ", json, "", "", nameError);
    row("name is checked before a bad URL", "", "no url", "ftp://x.example/", "", nameError);

    row("empty URL", "Nord", "", "", "", urlError);
    row("blank URL", "Nord", "   ", "", "", urlError);
    row("no scheme", "Nord", "repo.example/repo.json", "", "", urlError);
    row("plain words", "Nord", "mein repository", "", "", urlError);
    row("ftp", "Nord", "ftp://repo.example/repo.json", "", "", urlError);
    row("local file", "Nord", "file:///home/anna/repo.json", "", "", urlError);
    row("https without host", "Nord", "https:///repo.json", "", "", urlError);
    row("scheme only", "Nord", "https://", "", "", urlError);
    row("http with a path only", "Nord", "http:repo.json", "", "", urlError);
    row("blank inside the host", "Nord", "https://repo example/repo.json", "", "", urlError);
    row("script", "Nord", "javascript:alert(1)", "", "", urlError);
    row("URL is checked before the base", "Nord", "ftp://a.example/", "ftp://b.example/", "", urlError);

    row("base without scheme", "Nord", json, "repo.example/files/", "", optionalError);
    row("base ftp", "Nord", json, "ftp://repo.example/files/", "", optionalError);
    row("base without host", "Nord", json, "https:///files/", "", optionalError);
    row("website mail", "Nord", json, "", "mailto:anna@repo.example", optionalError);
    row("website without scheme", "Nord", json, "https://repo.example/", "www.repo.example", optionalError);
}
} // namespace

class TestRepositoryValidation : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void validation_data();
    void validation();
    void acceptedRepositoriesSurviveTheSettings_data();
    void acceptedRepositoriesSurviveTheSettings();
    void trimming();
    void summary_data();
    void summary();
    void englishTexts();
};

void TestRepositoryValidation::validation_data()
{
    addColumns();
    addUsableRows();
    addRefusedRows();
}

void TestRepositoryValidation::validation()
{
    QFETCH(QString, name);
    QFETCH(QString, jsonUrl);
    QFETCH(QString, baseUrl);
    QFETCH(QString, websiteUrl);
    QFETCH(QString, error);
    QCOMPARE(validateRepositoryConfig(repository(name, jsonUrl, baseUrl, websiteUrl)), error);
}

void TestRepositoryValidation::acceptedRepositoriesSurviveTheSettings_data()
{
    addColumns();
    addUsableRows();
}

// Whatever the dialog lets through must come back when the list is read at the next start; otherwise a
// repository the user saved would disappear without a word.
void TestRepositoryValidation::acceptedRepositoriesSurviveTheSettings()
{
    QFETCH(QString, name);
    QFETCH(QString, jsonUrl);
    QFETCH(QString, baseUrl);
    QFETCH(QString, websiteUrl);

    TestEnvironment environment;
    const RepositoryConfig entered = repository(name, jsonUrl, baseUrl, websiteUrl, false);
    saveExternalRepositories({trimmedRepositoryConfig(entered)});
    const QList<RepositoryConfig> loaded = loadExternalRepositories();
    QCOMPARE(loaded.size(), 1);
    QCOMPARE(loaded.first().name, name.trimmed());
    QCOMPARE(loaded.first().jsonUrl, jsonUrl.trimmed());
    QCOMPARE(loaded.first().baseUrl, baseUrl.trimmed());
    QCOMPARE(loaded.first().websiteUrl, websiteUrl.trimmed());
    QCOMPARE(loaded.first().enabled, false);
}

void TestRepositoryValidation::trimming()
{
    RepositoryConfig entered =
        repository(QStringLiteral(" Süd\t"), QStringLiteral("\n https://s.example/r.json "),
                   QStringLiteral("  "), QStringLiteral(" https://s.example/ "), false);
    entered.builtIn = true;
    const RepositoryConfig trimmed = trimmedRepositoryConfig(entered);
    QCOMPARE(trimmed.name, QStringLiteral("Süd"));
    QCOMPARE(trimmed.jsonUrl, QStringLiteral("https://s.example/r.json"));
    QCOMPARE(trimmed.baseUrl, QString());
    QCOMPARE(trimmed.websiteUrl, QStringLiteral("https://s.example/"));
    QCOMPARE(trimmed.enabled, false);
    QCOMPARE(trimmed.builtIn, true);
}

void TestRepositoryValidation::summary_data()
{
    QTest::addColumn<QList<bool>>("enabled");
    QTest::addColumn<QString>("text");
    QTest::newRow("none") << QList<bool>{} << "Externe Repositorys: 0 eingerichtet, 0 aktiv";
    QTest::newRow("one disabled") << QList<bool>{false} << "Externe Repositorys: 1 eingerichtet, 0 aktiv";
    QTest::newRow("mixed") << QList<bool>{true, false, true}
                           << "Externe Repositorys: 3 eingerichtet, 2 aktiv";
    QTest::newRow("all enabled") << QList<bool>(12, true) << "Externe Repositorys: 12 eingerichtet, 12 aktiv";
}

void TestRepositoryValidation::summary()
{
    QFETCH(QList<bool>, enabled);
    QFETCH(QString, text);
    QList<RepositoryConfig> repositories;
    for (bool on : std::as_const(enabled))
        repositories.append(repository(QStringLiteral("R"), QStringLiteral("https://r.example/r.json"),
                                       QString(), QString(), on));
    QCOMPARE(externalRepositoriesSummary(repositories), text);
}

void TestRepositoryValidation::englishTexts()
{
    AppTranslator english(QStringLiteral("en"));
    QCoreApplication::installTranslator(&english);
    QCOMPARE(validateRepositoryConfig(repository(QString(), QString())),
             QStringLiteral("Please enter a name for the repository."));
    QCOMPARE(validateRepositoryConfig(repository(QStringLiteral("N"), QStringLiteral("x"))),
             QStringLiteral("Please enter a valid HTTP or HTTPS URL for the repository JSON."));
    QCOMPARE(validateRepositoryConfig(
                 repository(QStringLiteral("N"), QStringLiteral("https://r.example/"), QStringLiteral("x"))),
             QStringLiteral("Base URL and website must be HTTP or HTTPS URLs."));
    QCOMPARE(
        externalRepositoriesSummary({repository(QStringLiteral("N"), QStringLiteral("https://r.example/"))}),
        QStringLiteral("External repositories: 1 configured, 1 enabled"));
    QCoreApplication::removeTranslator(&english);
}

QTEST_GUILESS_MAIN(TestRepositoryValidation)
#include "tst_repositoryvalidation.moc"
