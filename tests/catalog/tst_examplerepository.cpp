// The demo catalog in examples/ must fit the program: its documents are parsed as the program parses them.

#include "app/appinfo.h"
#include "catalog/catalogfilter.h"
#include "catalog/repositorylist.h"
#include "catalog/repositoryparser.h"
#include "testsupport.h"

#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QtTest>

class TestExampleRepository : public QObject
{
    Q_OBJECT

private slots:
    void documents_data();
    void documents();
};

void TestExampleRepository::documents_data()
{
    QTest::addColumn<QString>("document");
    QTest::addColumn<int>("entries");
    QTest::addColumn<int>("listed");
    QTest::addColumn<QStringList>("tools");
    QTest::newRow("trackhaven") << "fx3-v3.json" << 33 << 29 << QStringList{"8094", "1028", "1029", "1030"};
    QTest::newRow("external") << "external.json" << 5 << 4 << QStringList{"ext-105"};
}

void TestExampleRepository::documents()
{
    QFETCH(QString, document);
    QFETCH(int, entries);
    QFETCH(int, listed);
    QFETCH(QStringList, tools);

    // The address the documents are written for; serve-demo.py replaces it when it runs on another port.
    TestEnvironment env;
    env.setEnv("FX3MM_COMMUNITY_URL", "http://127.0.0.1:8765/");
    RepositoryConfig repository = builtInRepository();
    if (document == QLatin1String("external.json")) {
        repository.name = QStringLiteral("Demo-Extern");
        repository.jsonUrl = QStringLiteral("http://127.0.0.1:8765/external/external.json");
    }
    QFile file(QStringLiteral(FX3_SOURCE_DIR "/examples/repository/") + document);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QList<RepoMod> catalog;
    QString error = QStringLiteral("unset");
    QCOMPARE(parseRepositoryDocument(file.readAll(), repository, catalog, &error), entries);
    QCOMPARE(error, QString());

    QCOMPARE(countListedEntries(catalog), listed);
    QSet<QString> ids;
    QStringList flagged;
    for (const RepoMod &mod : catalog) {
        QVERIFY2(!mod.id.isEmpty() && !ids.contains(mod.id), qPrintable(mod.name));
        ids.insert(mod.id);
        QVERIFY2(!mod.name.isEmpty() && !mod.version.isEmpty() && !mod.author.isEmpty(), qPrintable(mod.id));
        // Descriptions come with HTML; the catalog shows plain text.
        QVERIFY2(!mod.description.contains(QRegularExpression(QStringLiteral("<[a-zA-Z/]"))),
                 qPrintable(mod.id));
        if (mod.isTool)
            flagged.append(mod.id);
    }
    QCOMPARE(flagged, tools);
    const int manager = findManagerEntry(catalog);
    // The demo must never offer the running program an update of itself.
    if (manager >= 0)
        QCOMPARE(catalog.at(manager).version, QString::fromLatin1(AppInfo::version));
    QCOMPARE(manager >= 0, document == QLatin1String("fx3-v3.json"));
}

QTEST_GUILESS_MAIN(TestExampleRepository)
#include "tst_examplerepository.moc"
