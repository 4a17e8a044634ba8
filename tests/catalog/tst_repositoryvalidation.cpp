#include "catalog/repositorylist.h"
#include "catalog/repositoryvalidation.h"
#include "testsupport.h"

#include <QtTest>

namespace {
RepositoryConfig repository(const QString &name, const QString &jsonUrl, const QString &baseUrl = QString(),
                            const QString &websiteUrl = QString(), bool enabled = true)
{
    return RepositoryConfig{name, jsonUrl, baseUrl, websiteUrl, enabled, false};
}

void addRows(bool withRefused)
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
    if (!withRefused)
        return;
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
} // namespace

class TestRepositoryValidation : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void validation_data() { addRows(true); }
    void validation()
    {
        QFETCH(QString, name);
        QFETCH(QString, jsonUrl);
        QFETCH(QString, baseUrl);
        QFETCH(QString, websiteUrl);
        QFETCH(QString, error);
        QCOMPARE(validateRepositoryConfig(repository(name, jsonUrl, baseUrl, websiteUrl)), error);
    }

    void acceptedRepositoriesSurviveTheSettings_data() { addRows(false); }
    // Whatever the dialog lets through must come back at the next start, or a saved repository vanishes.
    void acceptedRepositoriesSurviveTheSettings()
    {
        QFETCH(QString, name);
        QFETCH(QString, jsonUrl);
        QFETCH(QString, baseUrl);
        QFETCH(QString, websiteUrl);
        TestEnvironment environment;
        RepositoryConfig entered = repository(name, jsonUrl, baseUrl, websiteUrl, false);
        entered.builtIn = true;
        const RepositoryConfig trimmed = trimmedRepositoryConfig(entered);
        QVERIFY(trimmed.builtIn);
        saveExternalRepositories({trimmed});
        const QList<RepositoryConfig> loaded = loadExternalRepositories();
        QCOMPARE(loaded.size(), 1);
        QCOMPARE(loaded.first().name, name.trimmed());
        QCOMPARE(loaded.first().jsonUrl, jsonUrl.trimmed());
        QCOMPARE(loaded.first().baseUrl, baseUrl.trimmed());
        QCOMPARE(loaded.first().websiteUrl, websiteUrl.trimmed());
        QCOMPARE(loaded.first().enabled, false);
    }

    void summary()
    {
        const QString url = QStringLiteral("https://r.example/r.json");
        QCOMPARE(externalRepositoriesSummary({repository("A", url, "", "", true),
                                              repository("B", url, "", "", false), repository("C", url)}),
                 QStringLiteral("Externe Repositorys: 3 eingerichtet, 2 aktiv"));
    }
};

QTEST_GUILESS_MAIN(TestRepositoryValidation)
#include "tst_repositoryvalidation.moc"
