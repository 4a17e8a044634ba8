#include "app/appinfo.h"
#include "catalog/catalogfilter.h"
#include "catalog/htmltext.h"
#include "catalog/jsonvalues.h"
#include "catalog/repositorylist.h"
#include "catalog/repositoryparser.h"
#include "testsupport.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QSet>
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

// The named fields of a record joined by "|", so one table row states what it is about; "parts" gives each
// volume as "index file url", "categories" and "tags" their names joined by ",".
QString describe(const RepoMod &mod, const QString &fieldNames)
{
    QStringList parts;
    for (const RepoModPart &part : mod.parts)
        parts.append(QStringLiteral("%1 %2 %3").arg(part.index).arg(part.fileName, part.url));
    const QHash<QString, QString> fields = {{"id", mod.id},
                                            {"name", mod.name},
                                            {"description", mod.description},
                                            {"version", mod.version},
                                            {"modioId", mod.modioId},
                                            {"previewUrl", mod.previewUrl},
                                            {"downloadUrl", mod.downloadUrl},
                                            {"fileName", mod.fileName},
                                            {"sha256", mod.sha256},
                                            {"parts", parts.join(QStringLiteral(", "))},
                                            {"categories", mod.categories.join(u',')},
                                            {"tags", mod.tags.join(u',')},
                                            {"isTool", mod.isTool ? "tool" : "mod"}};
    QStringList values;
    for (const QString &name : fieldNames.split(u',')) {
        if (!fields.contains(name))
            qFatal("unknown field %s", qPrintable(name));
        values.append(fields.value(name));
    }
    return values.join(u'|');
}

} // namespace

class TestRepositoryParser : public QObject
{
    Q_OBJECT

private slots:
    void documentShapes_data();
    void documentShapes();
    void entries_data();
    void entries();
    void urlResolution_data();
    void urlResolution();
    void stripHtml_data();
    void stripHtml();
    void exampleDocuments_data();
    void exampleDocuments();
};

void TestRepositoryParser::documentShapes_data()
{
    QTest::addColumn<QByteArray>("document");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QString>("errorStart");
    const auto row = [](const char *tag, const QByteArray &document, const QStringList &names,
                        const QString &errorStart) {
        QTest::newRow(tag) << document << names << errorStart;
    };

    const QString noList =
        QStringLiteral("Keine Mod-Liste im Repository gefunden. Erwartet werden 'files', 'mods', "
                       "'entries', 'items' oder 'data'.");
    row("top-level array", R"([{"name":"Z"},{"name":"a"}])", {"Z", "a"}, QString());
    row("files before mods", R"({"mods":[{"name":"M"}],"files":[{"name":"F"}]})", {"F"}, QString());
    row("first list that is an array", R"({"files":{"name":"X"},"mods":"none","entries":[{"name":"E"}]})",
        {"E"}, QString());
    row("non-objects skipped", R"({"data":[1,"x",null,[],{"name":"A"},true]})", {"A"}, QString());
    row("truncated", R"({"files":[{"name":"A"},)", QStringList(), "JSON-Fehler: ");
    row("list of wrong kind", R"({"files":{"a":{"name":"A"}}})", QStringList(), noList);
    row("list named otherwise", R"({"Mods":[{"name":"A"}]})", QStringList(), noList);
}

void TestRepositoryParser::documentShapes()
{
    QFETCH(QByteArray, document);
    QFETCH(QStringList, names);
    QFETCH(QString, errorStart);

    // A failed document must leave what earlier repositories added untouched.
    QList<RepoMod> catalog(1);
    catalog[0].name = QStringLiteral("earlier");
    QString error = QStringLiteral("stale");
    QCOMPARE(parseRepositoryDocument(document, testRepository(), catalog, &error), names.size());
    if (errorStart.isEmpty()) {
        QVERIFY(error.isEmpty());
    } else {
        QVERIFY2(error.startsWith(errorStart), qPrintable(error));
        QVERIFY(error.size() > QStringLiteral("JSON-Fehler: ").size());
        // Callers may leave the error text out.
        QCOMPARE(parseRepositoryDocument(document, testRepository(), catalog), 0);
    }
    QCOMPARE(catalog.size(), names.size() + 1);
    QCOMPARE(catalog.first().name, QStringLiteral("earlier"));
    for (qsizetype i = 0; i < names.size(); ++i) {
        QCOMPARE(catalog.at(i + 1).name, names.at(i));
        QCOMPARE(catalog.at(i + 1).repositoryName, QStringLiteral("Testrepo"));
        QCOMPARE(catalog.at(i + 1).repositoryJsonUrl, QStringLiteral("https://repo.example/fx3/repo.json"));
        QCOMPARE(catalog.at(i + 1).repositoryWebsiteUrl, QStringLiteral("https://repo.example/"));
    }
}

void TestRepositoryParser::entries_data()
{
    QTest::addColumn<QByteArray>("document");
    QTest::addColumn<QString>("fields");
    QTest::addColumn<QString>("expected");

    // A document with one entry; entry() writes only the entry.
    const auto document = [](const char *name, const QByteArray &json, const char *fields,
                             const char *expected) {
        QTest::newRow(name) << json << fields << QString::fromUtf8(expected);
    };
    const auto entry = [&](const char *name, const QByteArray &json, const char *fields,
                           const char *expected) {
        document(name, "{\"files\":[" + json + "]}", fields, expected);
    };
    // Simple fields
    entry("null and empty ids fall through", R"({"modid":null,"mod_id":"","entry_id":7})", "id", "7");
    entry("large id exact", R"({"id":9007199254740993,"title":"X"})", "id,name", "9007199254740993|X");
    entry("unnamed", R"({"description":"x"})", "name", "Unbenannter Mod");
    entry("declared version beats custom field",
          R"({"revision":"3","custom_fields":{"option8":{"value":"2.4"}}})", "version", "3");
    entry("description as plain text",
          R"({"summary":"<p>Eine <b>Lok</b> f&uuml;r 80&nbsp;km/h</p><p>Zweite</p> "})", "description",
          "Eine Lok f\u00fcr 80\u00a0km/h\nZweite");
    entry("modio id from custom field", R"({"custom_fields":{"option20":{"value":" 99 "}}})", "modioId",
          "99");
    entry(
        "images preview wins",
        R"({"preview_url":"https://a/p.png","images":{"large":"https://a/l.png","preview":"https://a/s.png"}})",
        "previewUrl", "https://a/s.png");
    // The download file chosen by version
    const char *file = "downloadUrl,fileName,sha256,version,parts";
    entry("declared version beats larger file id", R"({"version":"1.2","files":[
            {"file_id":9,"version":"1.1","download_url":"https://d/11.zip","filename":"m.zip","sha256":"AA"},
            {"file_id":5,"version":"1.2","download_url":"https://d/12.zip","filename":"m.zip","sha256":"BB"}]})",
          file, "https://d/12.zip|m.zip|bb|1.2|");
    entry("same version: larger integer file id, then later date", R"({"version":"1.2","files":[
            {"file_id":7.5,"version":"1.2","download_url":"https://d/a.zip"},
            {"file_id":" 1 ","version":"1.2","published_at":"2024-03-01","download_url":"https://d/b.zip"},
            {"file_id":1,"version":"1.2","published_at":"2024-05-01","download_url":"https://d/c.zip"}]})",
          file, "https://d/c.zip|||1.2|");
    entry("no file of the declared version clears the download",
          R"({"version":"2.0","download_url":"https://d/entry.zip","filename":"entry.zip","sha256":"cc",
            "files":[{"version":"1.9","download_url":"https://d/19.zip"}]})",
          file, "|||2.0|");
    entry("newest without declared version", R"({"files":[
            {"version":"1.9","download_url":"https://d/19.zip","filename":"m19.zip"},
            {"version":"1.10","download_url":"https://d/110.zip","filename":"m110.zip"}]})",
          file, "https://d/110.zip|m110.zip||1.10|");
    entry("version field contradicted by archive name",
          R"({"version":"1.2","files":[{"version":"1.2","name":"m_1.1.zip","download_url":"https://d/x"}]})",
          file, "|||1.2|");
    entry("no files keeps the entry's own download",
          R"({"version":"1.0","downloadUrl":"https://d/own.zip","file_name":"own.zip","sha256":"Ab"})", file,
          "https://d/own.zip|own.zip|ab|1.0|");
    // Multi-volume downloads
    entry("old-style rar set sorted",
          R"({"filename":"Set.rar","download_url":"https://d/rar","archive_parts":[
            {"filename":"Set.r01","download_url":"https://d/r01"},
            {"filename":"Set.rar","download_url":"https://d/rar","sha256":"AB"},
            {"filename":"Set.r00","download_url":"https://d/r00"}]})",
          file,
          "https://d/rar|Set.rar|ab||1 Set.rar https://d/rar, 2 Set.r00 https://d/r00, 3 Set.r01 "
          "https://d/r01");
    entry("other set, other version and repeats left out", R"({"version":"2.0","files":[
            {"version":"2.0","filename":"A.part1.rar","download_url":"https://d/a1"},
            {"version":"1.0","filename":"A.part2.rar","download_url":"https://d/old2"},
            {"filename":"B.part2.rar","download_url":"https://d/b2"},
            {"filename":"a.PART2.rar","download_url":"https://d/a2"},
            {"filename":"A.part2.rar","download_url":"https://d/again"},
            {"filename":"A.part3.rar"}]})",
          file, "https://d/a1|A.part1.rar||2.0|1 A.part1.rar https://d/a1, 2 a.PART2.rar https://d/a2");
    entry("cleared download has no volumes", R"({"version":"2.0","files":[
            {"version":"1.0","filename":"G.part1.rar","download_url":"https://d/g1"},
            {"version":"1.0","filename":"G.part2.rar","download_url":"https://d/g2"}]})",
          file, "|||2.0|");
    // Categories, tags and tools
    const char *sorting = "categories,tags,isTool";
    entry("split string, case-insensitive repeats", R"({"categories":"A; B|a, ,C"})", sorting, "A,B,C||mod");
    document("ids through an object table",
             R"({"categories":{"3":"Loks","4":{"title":"Wagen"}},"files":[{"category_ids":[3,4,5]}]})",
             sorting, "Loks,Wagen,5||mod");
    document("tags are not translated",
             R"({"categories":{"3":"Loks"},"files":[{"tags":"3;dampf","tagNames":["Dampf","neu"]}]})",
             sorting, "|3,dampf,neu|mod");
    entry("tool category with entity in a list", R"({"categories":"Skripte; Werkzeuge &amp; Tools"})",
          sorting, "Skripte,Werkzeuge & Tools||tool");
    entry("tool category with entity in an array", R"({"categories":[" werkzeuge &amp; tools "]})", sorting,
          "werkzeuge &amp; tools||tool");
    entry("a tag does not make a tool", R"({"tags":"Werkzeuge & Tools"})", sorting, "|Werkzeuge & Tools|mod");
}

void TestRepositoryParser::entries()
{
    QFETCH(QByteArray, document);
    QFETCH(QString, fields);
    QFETCH(QString, expected);
    QList<RepoMod> catalog;
    QCOMPARE(parseRepositoryDocument(document, testRepository(), catalog), 1);
    QCOMPARE(describe(catalog.first(), fields), expected);
}

void TestRepositoryParser::urlResolution_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("baseUrl");
    QTest::addColumn<QString>("jsonUrl");
    QTest::addColumn<QString>("expected");
    const auto row = [](const char *tag, const QString &url, const QString &baseUrl, const QString &jsonUrl,
                        const QString &expected) {
        QTest::newRow(tag) << url << baseUrl << jsonUrl << expected;
    };

    const QString json = QStringLiteral("https://repo.example/fx3/repo.json");
    row("absolute normalised", " HTTPS://CDN.example/a b.zip ", QString(), json,
        "https://cdn.example/a b.zip");
    row("relative to the document", "mods/a.zip", QString(), json, "https://repo.example/fx3/mods/a.zip");
    row("base url wins", "a.zip", " https://files.example/dl/ ", json, "https://files.example/dl/a.zip");
    row("invalid base falls back", "/a.zip", "http://[bad", json, "https://repo.example/a.zip");
    row("no base at all", " a.zip ", QString(), QString(), "a.zip");
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

    // Every URL of an entry goes through the same rule, those of its dependencies included.
    const QJsonObject urls{{"id", "12"}, {"entry_url", url}, {"download_url", url}, {"preview_url", url}};
    const RepoMod mod = parseMod(QJsonObject{{"entry_url", url},
                                             {"download_url", url},
                                             {"preview_url", url},
                                             {"dependencies", QJsonArray{urls}}},
                                 {}, repository);
    QCOMPARE(QStringList({mod.entryUrl, mod.downloadUrl, mod.previewUrl}), QStringList(3, expected));
    QCOMPARE(mod.dependencies.size(), 1);
    const RepoDependency &dependency = mod.dependencies.first();
    QCOMPARE(QStringList({dependency.entryUrl, dependency.downloadUrl}), QStringList(2, expected));
    QCOMPARE(dependency.repositoryUrl, jsonUrl);
}

void TestRepositoryParser::stripHtml_data()
{
    QTest::addColumn<QString>("html");
    QTest::addColumn<QString>("text");

    const auto row = [](const char *name, const char *html, const char *text) {
        QTest::newRow(name) << QString::fromUtf8(html) << QString::fromUtf8(text);
    };
    // Markup
    row("line break tags", "a<br>b<BR />c<br/>d<br class=\"x\">e", "a\nb\nc\nd\ne");
    row("ends of blocks", "<h2>Titel</h2><div>Eins</div><p>Zwei</P ><ul><li>x</li><li>y</li></ul>",
        "Titel\nEins\nZwei\nx\ny");
    row("markup's own line breaks", "<p>A</p>\n<ul>\n  <li>x</li>\n  <li>y</li>\n</ul>\nB<br>\r\nC",
        "A\nx\ny\nB\nC");
    row("other tags and words like tags", "<b>a</b><brx>b</pre>c<!-- d -->e<a href='f'>g</a>", "abceg");
    row("angle brackets", "1 < 2 > 0, 3 <b", "1  0, 3 <b");
    row("blank lines at most one, trimmed",
        " <p>A  </p><br>\n\n<p>B</p>x\t\n \n\n C\r\n\r\nD<br><br><br><br>E \n", "A\n\nB\nx\n\nC\n\nD\n\nE");
    // Character references
    row("markup characters", "&lt;b&gt; &amp;lt; &quot;x&quot; &apos;y&apos;", "<b> &lt; \"x\" 'y'");
    row("no-break space", "80&nbsp;m", "80\u00a0m");
    row("German and accented letters",
        "&Auml;&Ouml;&Uuml;&auml;&ouml;&uuml;&szlig; &eacute;&Egrave;&ccedil;&ntilde;&oslash;&aring;",
        "\u00c4\u00d6\u00dc\u00e4\u00f6\u00fc\u00df \u00e9\u00c8\u00e7\u00f1\u00f8\u00e5");
    row("punctuation and signs", "&bdquo;a&ldquo; &ndash; b&hellip; 5&euro; &copy;&deg;&times;",
        "\u201ea\u201c \u2013 b\u2026 5\u20ac \u00a9\u00b0\u00d7");
    row("numeric references", "&#252;&#xFC;&#XfC;&#128512;&#9;x&#160;&#x2013;",
        "\u00fc\u00fc\u00fc\U0001F600 x\u00a0\u2013");
    row("unknown and malformed stay", "&foo; &amp &#; &#x; &#0; &#55296; &#1114112; &#12345678; &x; &AMP;",
        "&foo; &amp &#; &#x; &#0; &#55296; &#1114112; &#12345678; &x; &AMP;");
    row("decoded once, after the tags are gone", "&amp;amp; &lt;br&gt;x &amp;#65;", "&amp; <br>x &#65;");
}

void TestRepositoryParser::stripHtml()
{
    QFETCH(QString, html);
    QFETCH(QString, text);
    QCOMPARE(::stripHtml(html), text);
}

// The demo catalog in examples/ must fit the program: its documents are parsed as the program parses them.
void TestRepositoryParser::exampleDocuments_data()
{
    QTest::addColumn<QString>("document");
    QTest::addColumn<int>("entries");
    QTest::addColumn<int>("listed");
    QTest::addColumn<QStringList>("tools");
    QTest::newRow("trackhaven") << "fx3-v3.json" << 33 << 29 << QStringList{"8094", "1028", "1029", "1030"};
    QTest::newRow("external") << "external.json" << 5 << 4 << QStringList{"ext-105"};
}

void TestRepositoryParser::exampleDocuments()
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

QTEST_GUILESS_MAIN(TestRepositoryParser)
#include "tst_repositoryparser.moc"
