#include "catalog/jsonvalues.h"
#include "catalog/repositoryparser.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QtTest>

namespace {

RepositoryConfig testRepository()
{
    RepositoryConfig repository;
    repository.name = QStringLiteral("Testrepo");
    repository.jsonUrl = QStringLiteral("https://repo.example/fx3/repo.json");
    repository.websiteUrl = QStringLiteral("https://repo.example/");
    return repository;
}

QJsonObject object(const QByteArray &json)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError)
        qFatal("bad test JSON: %s in %s", qPrintable(error.errorString()), json.constData());
    return document.object();
}

RepoMod parseEntry(const QByteArray &entryJson, const QHash<QString, QString> &table = {},
                   const RepositoryConfig &repository = testRepository())
{
    return parseMod(object(entryJson), table, repository);
}

QString field(const RepoMod &mod, const QString &name)
{
    const QHash<QString, QString> fields = {
        {"id", mod.id},
        {"name", mod.name},
        {"author", mod.author},
        {"version", mod.version},
        {"description", mod.description},
        {"entryUrl", mod.entryUrl},
        {"downloadUrl", mod.downloadUrl},
        {"fileName", mod.fileName},
        {"sha256", mod.sha256},
        {"previewUrl", mod.previewUrl},
        {"modioId", mod.modioId},
        {"categories", mod.categories.join(u'|')},
        {"tags", mod.tags.join(u'|')},
    };
    if (!fields.contains(name))
        qFatal("unknown field %s", qPrintable(name));
    return fields.value(name);
}

QString partsText(const RepoMod &mod)
{
    QStringList texts;
    for (const RepoModPart &part : mod.parts)
        texts.append(QStringLiteral("%1 %2 %3").arg(part.index).arg(part.fileName, part.url));
    return texts.join(QStringLiteral(", "));
}

} // namespace

class TestRepositoryParser : public QObject
{
    Q_OBJECT

private slots:
    void documentShapes_data();
    void documentShapes();
    void failedDocumentAddsNothing_data();
    void failedDocumentAddsNothing();
    void entryFields_data();
    void entryFields();
    void fileChoice_data();
    void fileChoice();
    void volumes_data();
    void volumes();
    void categoryTable_data();
    void categoryTable();
    void categoriesAndTools_data();
    void categoriesAndTools();
    void urlResolution_data();
    void urlResolution();
    void dependenciesCarryRepository();
    void jsonValueRules_data();
    void jsonValueRules();
    void stripHtmlRules_data();
    void stripHtmlRules();
    void stripHtmlAgreesWithPlainRules();
};

void TestRepositoryParser::documentShapes_data()
{
    QTest::addColumn<QByteArray>("document");
    QTest::addColumn<QStringList>("names");

    QTest::newRow("top-level array") << QByteArray(R"([{"name":"A"},{"name":"B"}])") << QStringList{"A", "B"};
    QTest::newRow("files") << QByteArray(R"({"files":[{"name":"A"}]})") << QStringList{"A"};
    QTest::newRow("mods") << QByteArray(R"({"mods":[{"name":"A"}]})") << QStringList{"A"};
    QTest::newRow("entries") << QByteArray(R"({"entries":[{"name":"A"}]})") << QStringList{"A"};
    QTest::newRow("items") << QByteArray(R"({"items":[{"name":"A"}]})") << QStringList{"A"};
    QTest::newRow("data") << QByteArray(R"({"data":[{"name":"A"}]})") << QStringList{"A"};
    QTest::newRow("files before mods")
        << QByteArray(R"({"mods":[{"name":"M"}],"files":[{"name":"F"}]})") << QStringList{"F"};
    QTest::newRow("first list that is an array")
        << QByteArray(R"({"files":{"name":"X"},"mods":"none","entries":[{"name":"E"}]})") << QStringList{"E"};
    QTest::newRow("empty list") << QByteArray(R"({"data":[]})") << QStringList();
    QTest::newRow("non-objects skipped")
        << QByteArray(R"({"files":[1,"x",null,[],{"name":"A"},true]})") << QStringList{"A"};
    QTest::newRow("document order kept")
        << QByteArray(R"([{"name":"Z"},{"name":"a"},{"name":"M"}])") << QStringList{"Z", "a", "M"};
}

void TestRepositoryParser::documentShapes()
{
    QFETCH(QByteArray, document);
    QFETCH(QStringList, names);

    QList<RepoMod> catalog(1);
    catalog[0].name = QStringLiteral("earlier");
    QString error = QStringLiteral("stale");
    QCOMPARE(parseRepositoryDocument(document, testRepository(), catalog, &error), names.size());
    QVERIFY(error.isEmpty());

    QCOMPARE(catalog.size(), names.size() + 1);
    QCOMPARE(catalog.first().name, QStringLiteral("earlier"));
    for (qsizetype i = 0; i < names.size(); ++i) {
        QCOMPARE(catalog.at(i + 1).name, names.at(i));
        QCOMPARE(catalog.at(i + 1).repositoryName, QStringLiteral("Testrepo"));
        QCOMPARE(catalog.at(i + 1).repositoryJsonUrl, QStringLiteral("https://repo.example/fx3/repo.json"));
        QCOMPARE(catalog.at(i + 1).repositoryWebsiteUrl, QStringLiteral("https://repo.example/"));
    }
}

void TestRepositoryParser::failedDocumentAddsNothing_data()
{
    QTest::addColumn<QByteArray>("document");
    QTest::addColumn<QString>("errorStart");

    const QString noList =
        QStringLiteral("Keine Mod-Liste im Repository gefunden. Erwartet werden 'files', 'mods', "
                       "'entries', 'items' oder 'data'.");
    QTest::newRow("truncated") << QByteArray(R"({"files":[{"name":"A"},)") << "JSON-Fehler: ";
    QTest::newRow("empty body") << QByteArray() << "JSON-Fehler: ";
    QTest::newRow("HTML error page") << QByteArray("<html><body>502</body></html>") << "JSON-Fehler: ";
    QTest::newRow("trailing garbage") << QByteArray(R"({"files":[]} x)") << "JSON-Fehler: ";
    QTest::newRow("no list") << QByteArray(R"({"name":"repo","categories":{}})") << noList;
    QTest::newRow("list of wrong kind") << QByteArray(R"({"files":{"a":{"name":"A"}}})") << noList;
    QTest::newRow("list named otherwise") << QByteArray(R"({"Mods":[{"name":"A"}]})") << noList;
}

void TestRepositoryParser::failedDocumentAddsNothing()
{
    QFETCH(QByteArray, document);
    QFETCH(QString, errorStart);

    QList<RepoMod> catalog(2);
    QString error;
    QCOMPARE(parseRepositoryDocument(document, testRepository(), catalog, &error), 0);
    QCOMPARE(catalog.size(), 2);
    QVERIFY2(error.startsWith(errorStart), qPrintable(error));
    QVERIFY(error.size() > QStringLiteral("JSON-Fehler: ").size());
    // Callers may leave the error text out.
    QCOMPARE(parseRepositoryDocument(document, testRepository(), catalog), 0);
}

void TestRepositoryParser::entryFields_data()
{
    QTest::addColumn<QByteArray>("entry");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("expected");

    QTest::newRow("numeric id, title") << QByteArray(R"({"id":8094,"title":"X"})") << "id"
                                       << "8094";
    QTest::newRow("title as name") << QByteArray(R"({"id":8094,"title":"X"})") << "name"
                                   << "X";
    QTest::newRow("empty modid falls through") << QByteArray(R"({"modid":"","mod_id":12})") << "id"
                                               << "12";
    QTest::newRow("null modid falls through") << QByteArray(R"({"modid":null,"entry_id":"7"})") << "id"
                                              << "7";
    QTest::newRow("modid first") << QByteArray(R"({"id":1,"modid":"m"})") << "id"
                                 << "m";
    QTest::newRow("array id skipped") << QByteArray(R"({"modid":[1],"id":true})") << "id"
                                      << "true";
    QTest::newRow("large id exact") << QByteArray(R"({"id":9007199254740993})") << "id"
                                    << "9007199254740993";
    QTest::newRow("name from id") << QByteArray(R"({"id":55})") << "name"
                                  << "55";
    QTest::newRow("unnamed") << QByteArray(R"({"description":"x"})") << "name"
                             << "Unbenannter Mod";
    QTest::newRow("mod_name") << QByteArray(R"({"name":"","mod_name":"N"})") << "name"
                              << "N";
    QTest::newRow("author string") << QByteArray(R"({"author":"Anna","username":"u"})") << "author"
                                   << "Anna";
    QTest::newRow("author object") << QByteArray(R"({"author":{"name":"Bert"},"username":"u"})") << "author"
                                   << "Bert";
    QTest::newRow("author object without name")
        << QByteArray(R"({"author":{"id":3},"creator":"c"})") << "author"
        << "c";
    QTest::newRow("version kept as written") << QByteArray(R"({"version":" v1.2 "})") << "version"
                                             << " v1.2 ";
    QTest::newRow("numeric version") << QByteArray(R"({"version_string":1.5})") << "version"
                                     << "1.5";
    QTest::newRow("version from custom field")
        << QByteArray(R"({"custom_fields":{"option8":{"value":"2.4"}}})") << "version"
        << "2.4";
    QTest::newRow("declared version beats custom field")
        << QByteArray(R"({"revision":"3","custom_fields":{"option8":{"value":"2.4"}}})") << "version"
        << "3";
    QTest::newRow("description without HTML")
        << QByteArray(R"({"summary":"<p>Eine <b>Lok</b><BR/>Zweite Zeile</p> "})") << "description"
        << "Eine Lok\nZweite Zeile";
    QTest::newRow("sha256 trimmed and lower") << QByteArray(R"({"checksum_sha256":" ABCdef "})") << "sha256"
                                              << "abcdef";
    QTest::newRow("file name") << QByteArray(R"({"archive_filename":"a.zip"})") << "fileName"
                               << "a.zip";
    QTest::newRow("modio id trimmed") << QByteArray(R"({"mod_io_id":" 4711 "})") << "modioId"
                                      << "4711";
    QTest::newRow("modio id from custom field")
        << QByteArray(R"({"custom_fields":{"option20":{"value":" 99 "}}})") << "modioId"
        << "99";
    QTest::newRow("empty custom field object")
        << QByteArray(R"({"custom_fields":{"option20":{}}})") << "modioId"
        << "";
    QTest::newRow("preview keys") << QByteArray(R"({"thumbnail":"https://img.example/t.png"})")
                                  << "previewUrl"
                                  << "https://img.example/t.png";
    QTest::newRow("images preview wins")
        << QByteArray(
               R"({"preview_url":"https://a/p.png","images":{"large":"https://a/l.png","preview":"https://a/s.png"}})")
        << "previewUrl"
        << "https://a/s.png";
    QTest::newRow("images large")
        << QByteArray(R"({"preview_url":"https://a/p.png","images":{"large":"https://a/l.png"}})")
        << "previewUrl"
        << "https://a/l.png";
    QTest::newRow("images without strings")
        << QByteArray(R"({"preview_url":"https://a/p.png","images":{"large":5}})") << "previewUrl"
        << "https://a/p.png";
}

void TestRepositoryParser::entryFields()
{
    QFETCH(QByteArray, entry);
    QFETCH(QString, field);
    QFETCH(QString, expected);
    QCOMPARE(::field(parseEntry(entry), field), expected);
}

void TestRepositoryParser::fileChoice_data()
{
    QTest::addColumn<QByteArray>("entry");
    QTest::addColumn<QString>("downloadUrl");
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QString>("sha256");
    QTest::addColumn<QString>("version");

    QTest::newRow("declared version beats larger file id") << QByteArray(R"({"version":"1.2","files":[
            {"file_id":9,"version":"1.1","download_url":"https://d/11.zip","filename":"m.zip","sha256":"AA"},
            {"file_id":5,"version":"1.2","download_url":"https://d/12.zip","filename":"m.zip","sha256":"BB"}]})")
                                                           << "https://d/12.zip"
                                                           << "m.zip"
                                                           << "bb"
                                                           << "1.2";
    QTest::newRow("same version: larger file id") << QByteArray(R"({"version":"1.2","files":[
            {"file_id":5,"version":"1.2","download_url":"https://d/a.zip"},
            {"file_id":"6","version":"1.2","download_url":"https://d/b.zip"},
            {"file_id":4,"version":"1.2","download_url":"https://d/c.zip"}]})")
                                                  << "https://d/b.zip"
                                                  << ""
                                                  << ""
                                                  << "1.2";
    QTest::newRow("file ids that are no integers count as zero") << QByteArray(R"({"version":"1.2","files":[
            {"file_id":7.5,"version":"1.2","download_url":"https://d/a.zip"},
            {"file_id":"x9","version":"1.2","download_url":"https://d/b.zip"},
            {"file_id":" 1 ","version":"1.2","download_url":"https://d/c.zip"},
            {"file_id":true,"version":"1.2","download_url":"https://d/d.zip"}]})")
                                                                 << "https://d/c.zip"
                                                                 << ""
                                                                 << ""
                                                                 << "1.2";
    QTest::newRow("same file id: later date") << QByteArray(R"({"version":"1.2","files":[
            {"version":"1.2","published_at":"2024-03-01","download_url":"https://d/a.zip"},
            {"version":"1.2","published_at":"2024-05-01","download_url":"https://d/b.zip"},
            {"version":"1.2","updated_at":"2024-04-01","download_url":"https://d/c.zip"}]})")
                                              << "https://d/b.zip"
                                              << ""
                                              << ""
                                              << "1.2";
    QTest::newRow("equal dates keep the first") << QByteArray(R"({"version":"1.2","files":[
            {"version":"1.2","date":"2024","download_url":"https://d/a.zip"},
            {"version":"1.2","date":"2024","download_url":"https://d/b.zip"}]})")
                                                << "https://d/a.zip"
                                                << ""
                                                << ""
                                                << "1.2";
    QTest::newRow("no file of the declared version clears the download")
        << QByteArray(
               R"({"version":"2.0","download_url":"https://d/entry.zip","filename":"entry.zip","sha256":"cc",
            "files":[{"version":"1.9","download_url":"https://d/19.zip"}]})")
        << ""
        << ""
        << ""
        << "2.0";
    QTest::newRow("newest without declared version") << QByteArray(R"({"files":[
            {"version":"1.9","download_url":"https://d/19.zip","filename":"m19.zip"},
            {"version":"1.10","download_url":"https://d/110.zip","filename":"m110.zip"}]})")
                                                     << "https://d/110.zip"
                                                     << "m110.zip"
                                                     << ""
                                                     << "1.10";
    QTest::newRow("newest by archive name") << QByteArray(R"({"files":[
            {"download_url":"https://d/a","name":"Mod_2_1.zip"},
            {"download_url":"https://d/b","name":"Mod_2_0_5.zip"}]})")
                                            << "https://d/a"
                                            << "Mod_2_1.zip"
                                            << ""
                                            << "";
    QTest::newRow("newest: equal versions by file id") << QByteArray(R"({"files":[
            {"file_id":1,"release_version":"3.0","download_url":"https://d/a"},
            {"file_id":2,"version":"3","download_url":"https://d/b"},
            {"file_id":3,"download_url":"https://d/c"}]})")
                                                       << "https://d/b"
                                                       << ""
                                                       << ""
                                                       << "3";
    QTest::newRow("no versions anywhere: preferable file") << QByteArray(R"({"files":[
            {"file_id":1,"download_url":"https://d/a"},{"file_id":8,"download_url":"https://d/b"}]})")
                                                           << "https://d/b"
                                                           << ""
                                                           << ""
                                                           << "";
    QTest::newRow("latest_file gives the target version")
        << QByteArray(
               R"({"latest_file":{"version":"2.0","download_url":"https://d/20.zip","filename":"l.zip"},
            "files":[{"file_id":99,"version":"1.0","download_url":"https://d/10.zip"}]})")
        << "https://d/20.zip"
        << "l.zip"
        << ""
        << "2.0";
    QTest::newRow("release version rule first") << QByteArray(R"({"version":"1.2","files":[
            {"file_id":9,"name":"m_1.2.zip","download_url":"https://d/byname"},
            {"file_id":1,"release_version":"v1.2","download_url":"https://d/byrelease"}]})")
                                                << "https://d/byrelease"
                                                << ""
                                                << ""
                                                << "1.2";
    QTest::newRow("archive name rule before version field") << QByteArray(R"({"version":"1.2","files":[
            {"file_id":9,"version":"1.2","name":"m.zip","download_url":"https://d/byfield"},
            {"file_id":1,"name":"m_1_2.zip","download_url":"https://d/byname"}]})")
                                                            << "https://d/byname"
                                                            << "m_1_2.zip"
                                                            << ""
                                                            << "1.2";
    QTest::newRow("version field contradicted by archive name")
        << QByteArray(
               R"({"version":"1.2","files":[{"version":"1.2","name":"m_1.1.zip","download_url":"https://d/x"}]})")
        << ""
        << ""
        << ""
        << "1.2";
    QTest::newRow("unversioned file for a versioned entry")
        << QByteArray(R"({"version":"1.2","files":[{"filename":"m.zip","download_url":"https://d/m.zip"}]})")
        << "https://d/m.zip"
        << "m.zip"
        << ""
        << "1.2";
    QTest::newRow("file without download is no candidate")
        << QByteArray(
               R"({"version":"1.2","files":[{"version":"1.2"},{"version":"1.1","download":"https://d/11"}]})")
        << ""
        << ""
        << ""
        << "1.2";
    QTest::newRow("only parts keeps the entry's own download")
        << QByteArray(R"({"version":"1.2","download_url":"https://d/own.zip","filename":"own.zip",
            "files":[{"version":"1.2","parts":[{"name":"x"}]}]})")
        << "https://d/own.zip"
        << "own.zip"
        << ""
        << "1.2";
    QTest::newRow("no files keeps the entry's own download")
        << QByteArray(
               R"({"version":"1.0","downloadUrl":"https://d/own.zip","file_name":"own.zip","sha256":"Ab"})")
        << "https://d/own.zip"
        << "own.zip"
        << "ab"
        << "1.0";
    QTest::newRow("compact entry version matches dotted file")
        << QByteArray(R"({"version":"12","files":[{"version":"1.2","download_url":"https://d/12"}]})")
        << "https://d/12"
        << ""
        << ""
        << "12";
    QTest::newRow("file version fills an empty entry version")
        << QByteArray(R"({"files":[{"release_version":"4.1","download_url":"https://d/r"}]})")
        << "https://d/r"
        << ""
        << ""
        << "4.1";
}

void TestRepositoryParser::fileChoice()
{
    QFETCH(QByteArray, entry);
    QFETCH(QString, downloadUrl);
    QFETCH(QString, fileName);
    QFETCH(QString, sha256);
    QFETCH(QString, version);

    const RepoMod mod = parseEntry(entry);
    QCOMPARE(mod.downloadUrl, downloadUrl);
    QCOMPARE(mod.fileName, fileName);
    QCOMPARE(mod.sha256, sha256);
    QCOMPARE(mod.version, version);
    QVERIFY(mod.parts.isEmpty());
}

void TestRepositoryParser::volumes_data()
{
    QTest::addColumn<QByteArray>("entry");
    QTest::addColumn<QString>("parts");
    QTest::addColumn<QString>("downloadUrl");
    QTest::addColumn<QString>("fileName");

    QTest::newRow("two rar volumes sorted")
        << QByteArray(R"({"version":"1.0","files":[
            {"version":"1.0","filename":"Bahnhof.part2.rar","download_url":"https://d/2"},
            {"version":"1.0","filename":"Bahnhof.part1.rar","download_url":"https://d/1","sha256":"AB"}]})")
        << "1 Bahnhof.part1.rar https://d/1, 2 Bahnhof.part2.rar https://d/2"
        << "https://d/1"
        << "Bahnhof.part1.rar";
    QTest::newRow("single plain rar")
        << QByteArray(R"({"files":[{"filename":"Bahnhof.rar","download_url":"https://d/1"}]})") << ""
        << "https://d/1"
        << "Bahnhof.rar";
    QTest::newRow("old-style rar set")
        << QByteArray(R"({"filename":"Set.rar","download_url":"https://d/rar","archive_parts":[
            {"filename":"Set.r01","download_url":"https://d/r01"},
            {"filename":"Set.rar","download_url":"https://d/rar"},
            {"filename":"Set.r00","download_url":"https://d/r00"}]})")
        << "1 Set.rar https://d/rar, 2 Set.r00 https://d/r00, 3 Set.r01 https://d/r01"
        << "https://d/rar"
        << "Set.rar";
    QTest::newRow("numbered set from entry parts, relative urls")
        << QByteArray(R"({"filename":"dl/Mod.7z.001","parts":[
            {"name":"Mod.7z.002","url":"x","download":"parts/Mod.7z.002"},
            {"name":"dl/Mod.7z.001","download":"parts/Mod.7z.001"}]})")
        << "1 Mod.7z.001 https://repo.example/fx3/parts/Mod.7z.001, 2 Mod.7z.002 "
           "https://repo.example/fx3/parts/Mod.7z.002"
        << "https://repo.example/fx3/parts/Mod.7z.001"
        << "Mod.7z.001";
    QTest::newRow("other set, other version and repeats left out") << QByteArray(R"({"version":"2.0","files":[
            {"version":"2.0","filename":"A.part1.rar","download_url":"https://d/a1"},
            {"version":"1.0","filename":"A.part2.rar","download_url":"https://d/old2"},
            {"filename":"B.part2.rar","download_url":"https://d/b2"},
            {"filename":"a.PART2.rar","download_url":"https://d/a2"},
            {"filename":"A.part2.rar","download_url":"https://d/again"},
            {"filename":"A.part3.rar"}]})") << "1 A.part1.rar https://d/a1, 2 a.PART2.rar https://d/a2"
                                                                   << "https://d/a1"
                                                                   << "A.part1.rar";
    QTest::newRow("volumes of the chosen file")
        << QByteArray(
               R"({"files":[{"version":"3.0","filename":"C.part1.rar","download_url":"https://d/c1","parts":[
            {"filename":"C.part2.rar","download_url":"https://d/c2","version":"3.0"},
            {"filename":"C.part3.rar","download_url":"https://d/c3"}]}]})")
        << "1 C.part1.rar https://d/c1, 2 C.part2.rar https://d/c2, 3 C.part3.rar https://d/c3"
        << "https://d/c1"
        << "C.part1.rar";
    QTest::newRow("file offered only as unnamed volumes")
        << QByteArray(R"({"version":"1.0","files":[{"version":"1.0","parts":[
            {"filename":"D.part2.rar","download_url":"https://d/d2"},
            {"filename":"D.part1.rar","download_url":"https://d/d1"}]}]})")
        << "1 D.part1.rar https://d/d1, 2 D.part2.rar https://d/d2"
        << "https://d/d1"
        << "D.part1.rar";
    QTest::newRow("one volume is no set")
        << QByteArray(R"({"files":[{"filename":"E.part1.rar","download_url":"https://d/e1"}]})") << ""
        << "https://d/e1"
        << "E.part1.rar";
    QTest::newRow("equal numbers by name")
        << QByteArray(R"({"filename":"F.part1.rar","download_url":"https://d/f1","parts":[
            {"filename":"f.part01.rar","download_url":"https://d/f01"},
            {"filename":"F.part1.rar","download_url":"https://d/f1"},
            {"filename":"F.part2.rar","download_url":"https://d/f2"}]})")
        << "1 f.part01.rar https://d/f01, 1 F.part1.rar https://d/f1, 2 F.part2.rar https://d/f2"
        << "https://d/f01"
        << "f.part01.rar";
    QTest::newRow("cleared download has no volumes") << QByteArray(R"({"version":"2.0","files":[
            {"version":"1.0","filename":"G.part1.rar","download_url":"https://d/g1"},
            {"version":"1.0","filename":"G.part2.rar","download_url":"https://d/g2"}]})")
                                                     << ""
                                                     << ""
                                                     << "";
}

void TestRepositoryParser::volumes()
{
    QFETCH(QByteArray, entry);
    QFETCH(QString, parts);
    QFETCH(QString, downloadUrl);
    QFETCH(QString, fileName);

    const RepoMod mod = parseEntry(entry);
    QCOMPARE(partsText(mod), parts);
    QCOMPARE(mod.downloadUrl, downloadUrl);
    QCOMPARE(mod.fileName, fileName);
    if (!mod.parts.isEmpty())
        QCOMPARE(mod.sha256, mod.parts.first().sha256);
}

void TestRepositoryParser::categoryTable_data()
{
    QTest::addColumn<QByteArray>("categories");
    QTest::addColumn<QStringList>("pairs");

    QTest::newRow("object of names") << QByteArray(R"({"3":"Loks","5":7})") << QStringList{"3=Loks", "5=7"};
    QTest::newRow("object of objects")
        << QByteArray(R"({"3":{"name":"Loks","title":"T"},"4":{"title":"Wagen"},"5":{"name":1}})")
        << QStringList{"3=Loks", "4=Wagen", "5=5"};
    QTest::newRow("array")
        << QByteArray(R"([{"id":3,"name":"Loks"},{"id":"4","title":"Wagen"},{"id":6},{"name":"no id"},
            {"id":"","name":"empty"},7,{"id":3,"name":"Lokomotiven"}])")
        << QStringList{"3=Lokomotiven", "4=Wagen", "6=6"};
    QTest::newRow("other kind") << QByteArray(R"("3=Loks")") << QStringList();
}

void TestRepositoryParser::categoryTable()
{
    QFETCH(QByteArray, categories);
    QFETCH(QStringList, pairs);

    const QJsonDocument document = QJsonDocument::fromJson("[" + categories + "]");
    const QHash<QString, QString> table = parseCategoryTable(document.array().first());
    QStringList actual;
    for (auto it = table.cbegin(); it != table.cend(); ++it)
        actual.append(it.key() + u'=' + it.value());
    actual.sort();
    QCOMPARE(actual, pairs);
}

void TestRepositoryParser::categoriesAndTools_data()
{
    QTest::addColumn<QByteArray>("document");
    QTest::addColumn<QString>("categories");
    QTest::addColumn<QString>("tags");
    QTest::addColumn<bool>("isTool");

    QTest::newRow("split string, case-insensitive repeats")
        << QByteArray(R"({"files":[{"categories":"A; B|a, ,C"}]})") << "A|B|C"
        << "" << false;
    QTest::newRow("ids through the table")
        << QByteArray(R"({"categories":{"3":"Loks"},"files":[{"category_ids":[3,5]}]})") << "Loks|5"
        << "" << false;
    QTest::newRow("numeric category id")
        << QByteArray(R"({"categories":[{"id":3,"name":"Loks"}],"files":[{"category_id":3}]})") << "Loks"
        << "" << false;
    QTest::newRow("all members in order, repeats removed ignoring case")
        << QByteArray(
               R"({"files":[{"category_path":"Z","category":"Y","categories":["X","Y"],"category_name":"x"}]})")
        << "X|Y|Z"
        << "" << false;
    QTest::newRow("objects in arrays")
        << QByteArray(
               R"({"files":[{"categories":[{"title":"T"},{"label":"L"},{"id":4},{"name":1,"id":9},[1],null]}]})")
        << "T|L|4|9"
        << "" << false;
    QTest::newRow("one object") << QByteArray(R"({"files":[{"category":{"name":"Signale"}}]})") << "Signale"
                                << "" << false;
    QTest::newRow("tags are not translated")
        << QByteArray(
               R"({"categories":{"3":"Loks"},"files":[{"tags":"3;dampf","tagNames":["Dampf","neu"]}]})")
        << ""
        << "3|dampf|neu" << false;
    QTest::newRow("tool category") << QByteArray(R"({"files":[{"category":"Werkzeuge & Tools"}]})")
                                   << "Werkzeuge & Tools"
                                   << "" << true;
    QTest::newRow("tool category with entity in a list")
        << QByteArray(R"({"files":[{"categories":"Skripte; Werkzeuge &amp; Tools"}]})")
        << "Skripte|Werkzeuge & Tools"
        << "" << true;
    QTest::newRow("tool category with entity in an array")
        << QByteArray(R"({"files":[{"categories":[" werkzeuge &amp; tools "]}]})") << "werkzeuge &amp; tools"
        << "" << true;
    QTest::newRow("tool category through the table")
        << QByteArray(R"({"categories":{"9":"Werkzeuge &amp; Tools"},"files":[{"category_id":9}]})")
        << "Werkzeuge &amp; Tools"
        << "" << true;
    QTest::newRow("a tag does not make a tool")
        << QByteArray(R"({"files":[{"tags":"Werkzeuge & Tools"}]})") << ""
        << "Werkzeuge & Tools" << false;
    QTest::newRow("similar category is no tool")
        << QByteArray(R"({"files":[{"category":"Werkzeuge & Tools 2"}]})") << "Werkzeuge & Tools 2"
        << "" << false;
}

void TestRepositoryParser::categoriesAndTools()
{
    QFETCH(QByteArray, document);
    QFETCH(QString, categories);
    QFETCH(QString, tags);
    QFETCH(bool, isTool);

    QList<RepoMod> catalog;
    QCOMPARE(parseRepositoryDocument(document, testRepository(), catalog), 1);
    QCOMPARE(catalog.first().categories.join(u'|'), categories);
    QCOMPARE(catalog.first().tags.join(u'|'), tags);
    QCOMPARE(catalog.first().isTool, isTool);
}

void TestRepositoryParser::urlResolution_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("baseUrl");
    QTest::addColumn<QString>("jsonUrl");
    QTest::addColumn<QString>("expected");

    const QString json = QStringLiteral("https://repo.example/fx3/repo.json");
    QTest::newRow("empty") << " "
                           << "" << json << "";
    QTest::newRow("absolute kept") << " https://cdn.example/a.zip "
                                   << "" << json << "https://cdn.example/a.zip";
    QTest::newRow("absolute normalised") << "HTTPS://CDN.example/a b.zip"
                                         << "" << json << "https://cdn.example/a b.zip";
    QTest::newRow("relative to the document") << "mods/a.zip"
                                              << "" << json << "https://repo.example/fx3/mods/a.zip";
    QTest::newRow("rooted path") << "/files/a.zip"
                                 << "" << json << "https://repo.example/files/a.zip";
    QTest::newRow("parent folder") << "../a.zip"
                                   << "" << json << "https://repo.example/a.zip";
    QTest::newRow("host-relative") << "//cdn.example/a.zip"
                                   << "" << json << "https://cdn.example/a.zip";
    QTest::newRow("base url wins") << "a.zip"
                                   << " https://files.example/dl/ " << json
                                   << "https://files.example/dl/a.zip";
    QTest::newRow("base without slash replaces its last segment")
        << "a.zip"
        << "https://files.example/dl" << json << "https://files.example/a.zip";
    QTest::newRow("invalid base falls back") << "a.zip"
                                             << "http://[bad" << json << "https://repo.example/fx3/a.zip";
    QTest::newRow("no base at all") << " a.zip "
                                    << ""
                                    << ""
                                    << "a.zip";
}

void TestRepositoryParser::urlResolution()
{
    QFETCH(QString, url);
    QFETCH(QString, baseUrl);
    QFETCH(QString, jsonUrl);
    QFETCH(QString, expected);

    RepositoryConfig repository = testRepository();
    repository.baseUrl = baseUrl;
    repository.jsonUrl = jsonUrl;
    QCOMPARE(resolveRepositoryUrl(url, repository), expected);

    // Every URL of an entry goes through the same rule.
    QJsonObject entry{{"entry_url", url}, {"download_url", url}, {"preview_url", url}};
    const RepoMod mod = parseMod(entry, {}, repository);
    QCOMPARE(mod.entryUrl, expected);
    QCOMPARE(mod.downloadUrl, expected);
    QCOMPARE(mod.previewUrl, expected);
}

void TestRepositoryParser::dependenciesCarryRepository()
{
    const RepoMod mod = parseEntry(R"({"name":"Mod","dependencies":[
        {"id":"12","name":"Basis","entry_url":"entries/12/","download_url":"/dl/12.zip"}]})");
    QCOMPARE(mod.dependencies.size(), 1);
    const RepoDependency &dependency = mod.dependencies.first();
    QCOMPARE(dependency.id, QStringLiteral("12"));
    QCOMPARE(dependency.repositoryUrl, QStringLiteral("https://repo.example/fx3/repo.json"));
    QCOMPARE(dependency.entryUrl, QStringLiteral("https://repo.example/fx3/entries/12/"));
    QCOMPARE(dependency.downloadUrl, QStringLiteral("https://repo.example/dl/12.zip"));
}

void TestRepositoryParser::jsonValueRules_data()
{
    QTest::addColumn<QByteArray>("object");
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("firstTrimmed");

    // Keys tried: "a", "b", "c".
    QTest::newRow("string") << QByteArray(R"({"a":"x"})") << "x"
                            << "x";
    QTest::newRow("integer") << QByteArray(R"({"a":8094})") << "8094"
                             << "8094";
    QTest::newRow("negative integer") << QByteArray(R"({"a":-3})") << "-3"
                                      << "-3";
    QTest::newRow("fraction") << QByteArray(R"({"a":1.25})") << "1.25"
                              << "1.25";
    QTest::newRow("integral double") << QByteArray(R"({"a":2.0})") << "2"
                                     << "2";
    QTest::newRow("booleans") << QByteArray(R"({"a":false})") << "false"
                              << "false";
    QTest::newRow("null skipped") << QByteArray(R"({"a":null,"b":"y"})") << "y"
                                  << "y";
    QTest::newRow("empty skipped") << QByteArray(R"({"a":"","b":"y"})") << "y"
                                   << "y";
    QTest::newRow("array and object skipped") << QByteArray(R"({"a":["x"],"b":{"x":1},"c":"z"})") << "z"
                                              << "z";
    QTest::newRow("blank counts untrimmed") << QByteArray(R"({"a":"  ","b":" y "})") << "  "
                                            << "y";
    QTest::newRow("other keys ignored") << QByteArray(R"({"d":"x"})") << ""
                                        << "";
}

void TestRepositoryParser::jsonValueRules()
{
    QFETCH(QByteArray, object);
    QFETCH(QString, first);
    QFETCH(QString, firstTrimmed);

    const QStringList keys{"a", "b", "c"};
    QCOMPARE(firstJsonText(::object(object), keys), first);
    QCOMPARE(firstJsonTextTrimmed(::object(object), keys), firstTrimmed);
}

void TestRepositoryParser::stripHtmlRules_data()
{
    QTest::addColumn<QString>("html");
    QTest::addColumn<QString>("expected");

    QTest::newRow("plain") << " Text "
                           << "Text";
    QTest::newRow("line breaks") << "a<br>b<BR />c<br/>d"
                                 << "a\nb\nc\nd";
    QTest::newRow("tags with attributes") << "<a href=\"x\">Link</a> <img src='y'>"
                                          << "Link";
    QTest::newRow("unclosed tag stays") << "1 < 2"
                                        << "1 < 2";
    QTest::newRow("entities stay") << "A &amp; B"
                                   << "A &amp; B";
}

void TestRepositoryParser::stripHtmlRules()
{
    QFETCH(QString, html);
    QFETCH(QString, expected);
    QCOMPARE(stripHtml(html), expected);
}

void TestRepositoryParser::stripHtmlAgreesWithPlainRules()
{
    // The markup is removed by hand for speed; random markup fragments must give what the two plain
    // rules give.
    static const QRegularExpression lineBreak(QStringLiteral("<br\\s*/?>"),
                                              QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression tag(QStringLiteral("<[^>]*>"));
    const QStringList tokens = {"<", ">",    "br",  "BR",   "bR",     "/",      " ",   "\t",    "\n",
                                "a", "<br>", "<p>", "</p>", "<br />", "\u00a0", "x y", "&amp;", "<b"};
    QRandomGenerator random(99);
    for (int i = 0; i < 30000; ++i) {
        QString html;
        const int count = random.bounded(0, 12);
        for (int t = 0; t < count; ++t)
            html += tokens.at(random.bounded(int(tokens.size())));
        QString expected = html;
        expected.replace(lineBreak, QStringLiteral("\n"));
        expected.remove(tag);
        expected = expected.trimmed();
        if (stripHtml(html) != expected)
            QFAIL(qPrintable(
                QStringLiteral("'%1': expected '%2', got '%3'").arg(html, expected, stripHtml(html))));
    }
}

QTEST_GUILESS_MAIN(TestRepositoryParser)
#include "tst_repositoryparser.moc"
