#include "catalog/dependencyparsing.h"
#include "testsupport.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

#include <memory>

namespace {

const QString site = QStringLiteral("https://trackhaven-community.de");

QJsonObject objectFrom(const QByteArray &json)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError)
        qFatal("bad test JSON: %s", qPrintable(error.errorString()));
    return document.object();
}

QList<RepoDependency> fromText(const QString &text)
{
    QList<RepoDependency> dependencies;
    parseDependencyText(text, &dependencies);
    return dependencies;
}

// One record as "source|id|name|minVersion|entryUrl|downloadUrl|fileName", so a table row states all of it.
QString describe(const RepoDependency &d)
{
    return QStringList{d.source, d.id, d.name, d.minVersion, d.entryUrl, d.downloadUrl, d.fileName}.join(
        u'|');
}

QStringList describeAll(const QList<RepoDependency> &dependencies)
{
    QStringList result;
    for (const RepoDependency &d : dependencies)
        result.append(describe(d));
    return result;
}

} // namespace

class TestDependencyParsing : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void structuredObjects_data();
    void structuredObjects();
    void textInDependencyMember_data();
    void textInDependencyMember();
    void customFields_data();
    void customFields();
    void textLines_data();
    void textLines();
    void lineSplitting_data();
    void lineSplitting();
    void versionWordsNeedWordStart();
    void merging_data();
    void merging();
    void normalisation();
    void labels_data();
    void labels();
    void configuredCommunityRoot_data();
    void configuredCommunityRoot();

private:
    std::unique_ptr<TestEnvironment> m_environment;
};

void TestDependencyParsing::init()
{
    // The compiled-in community site unless a test configures another one.
    m_environment = std::make_unique<TestEnvironment>();
    m_environment->setEnv("FX3MM_COMMUNITY_URL", QByteArray());
}

void TestDependencyParsing::structuredObjects_data()
{
    QTest::addColumn<QByteArray>("dependency");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("entry_id number, minimum_version")
        << QByteArray(R"({"entry_id": 55, "name": "Gleisbau", "minimum_version": "v1.2"})")
        << QStringList{"webdisk|55|Gleisbau|1.2|||"};
    QTest::newRow("empty entry_id falls through to id, title, min_version")
        << QByteArray(R"({"entry_id": "", "id": "56", "title": "Signale", "min_version": "2,0"})")
        << QStringList{"webdisk|56|Signale|2.0|||"};
    QTest::newRow("mod_id, source lower-cased, required_version")
        << QByteArray(R"({"mod_id": 7, "source": " ModIO ", "name": "X", "required_version": "3"})")
        << QStringList{"modio|7|X|3|||"};
    QTest::newRow("type when source missing, version_requirement phrase")
        << QByteArray(R"({"id": 8, "type": "Filebase", "name": "Y", "version_requirement": ">= 2.4.1"})")
        << QStringList{"filebase|8|Y|2.4.1|||"};
    QTest::newRow("empty name string falls through to title")
        << QByteArray(R"({"name": "", "title": "Titel"})") << QStringList{"||Titel||||"};
    QTest::newRow("download, archive_filename")
        << QByteArray(R"({"name": "D", "download": "https://x.example/d.zip", "archive_filename": "d.zip"})")
        << QStringList{"||D|||https://x.example/d.zip|d.zip"};
    QTest::newRow("entry_url on the community host gives the entry id")
        << QByteArray(
               R"({"source": "url", "name": "E", "entry_url": "https://www.trackhaven-community.de/filebase/entry/77-e/"})")
        << QStringList{"webdisk|77|E||https://www.trackhaven-community.de/filebase/entry/77-e/||"};
    QTest::newRow("url in the index.php form, host in capitals")
        << QByteArray(R"({"url": "https://TRACKHAVEN-COMMUNITY.DE/filebase/index.php/Entry/78/"})")
        << QStringList{"webdisk|78|||https://TRACKHAVEN-COMMUNITY.DE/filebase/index.php/Entry/78/||"};
    QTest::newRow("empty entry_url falls through to url")
        << QByteArray(R"({"entry_url": "", "url": "https://trackhaven-community.de/filebase/entry/79/"})")
        << QStringList{"webdisk|79|||https://trackhaven-community.de/filebase/entry/79/||"};
    QTest::newRow("an explicit id wins over the link")
        << QByteArray(R"({"id": 5, "url": "https://trackhaven-community.de/filebase/entry/80/"})")
        << QStringList{"webdisk|5|||https://trackhaven-community.de/filebase/entry/80/||"};
    QTest::newRow("foreign host is no community entry")
        << QByteArray(R"({"name": "F", "url": "https://other.example/filebase/entry/55/"})")
        << QStringList{"||F||https://other.example/filebase/entry/55/||"};
    QTest::newRow("host that only ends like ours is foreign")
        << QByteArray(R"({"name": "G", "url": "https://my-trackhaven-community.de/filebase/entry/55/"})")
        << QStringList{"||G||https://my-trackhaven-community.de/filebase/entry/55/||"};
    QTest::newRow("relative entry url of a repository is not ours")
        << QByteArray(R"({"name": "H", "url": "/filebase/entry/55/"})")
        << QStringList{"||H||/filebase/entry/55/||"};
    QTest::newRow("latest_file fills the open fields")
        << QByteArray(R"({"id": 9, "latest_file": {"download_url": "https://x.example/9.zip",
                                                   "filename": "nine.zip", "version": "1.1"}})")
        << QStringList{"webdisk|9||1.1||https://x.example/9.zip|nine.zip"};
    QTest::newRow("latest_file does not override the dependency's own fields")
        << QByteArray(
               R"({"id": 9, "min_version": "2", "download": "https://x.example/own.zip", "filename": "own.zip",
                          "latest_file": {"download": "https://x.example/9.zip", "filename": "nine.zip",
                                          "version": "1.1"}})")
        << QStringList{"webdisk|9||2||https://x.example/own.zip|own.zip"};
    QTest::newRow("install object with minimum_version")
        << QByteArray(R"({"id": 10, "install": {"download": "https://x.example/10.7z", "filename": "ten.7z",
                                                 "minimum_version": "mind. 4.2", "version": "5"}})")
        << QStringList{"webdisk|10||4.2||https://x.example/10.7z|ten.7z"};
    QTest::newRow("object naming nothing is dropped")
        << QByteArray(R"({"source": "webdisk", "min_version": "1.0", "filename": "a.zip"})") << QStringList{};
}

void TestDependencyParsing::structuredObjects()
{
    QFETCH(QByteArray, dependency);
    QFETCH(QStringList, expected);

    const QJsonObject entry = objectFrom("{\"dependencies\": [" + dependency + "]}");
    QCOMPARE(describeAll(parseDependencies(entry)), expected);
}

void TestDependencyParsing::textInDependencyMember_data()
{
    QTest::addColumn<QByteArray>("entry");
    QTest::addColumn<QStringList>("names");

    QTest::newRow("text member split at ; and line breaks")
        << QByteArray(R"({"dependencies": "Gleise; Signale\r\n\nWeichen;;"})")
        << QStringList{"Gleise", "Signale", "Weichen"};
    QTest::newRow("array of texts and objects in order")
        << QByteArray(R"({"dependencies": ["Gleise<br>Signale", {"name": "Weichen"}, 42, null, "Depot"]})")
        << QStringList{"Gleise", "Signale", "Weichen", "Depot"};
    QTest::newRow("duplicates across spellings merge")
        << QByteArray(R"({"dependencies": ["Gleise", {"name": "GLEISE", "id": 3}]})")
        << QStringList{"Gleise"};
}

void TestDependencyParsing::textInDependencyMember()
{
    QFETCH(QByteArray, entry);
    QFETCH(QStringList, names);

    QStringList actual;
    for (const RepoDependency &d : parseDependencies(objectFrom(entry)))
        actual.append(d.name);
    QCOMPARE(actual, names);
}

void TestDependencyParsing::customFields_data()
{
    QTest::addColumn<QByteArray>("entry");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("option14 with links, ids and phrases")
        << QByteArray(R"({"custom_fields": {"option14": {"value":
               "<p><a href=\"https://trackhaven-community.de/filebase/entry/55-gleise/\">Gleise</a> ab Version 1.5</p><br />Signalpaket webdisk:1234 mindestens Version 2.1<br>filebase: 77"}}})")
        << QStringList{"webdisk|55|Gleise|1.5|" + site + "/filebase/entry/55-gleise/||",
                       "webdisk|1234|Signalpaket|2.1|" + site + "/filebase/entry/1234/||",
                       "webdisk|77|||" + site + "/filebase/entry/77/||"};
    QTest::newRow("label instead of option14, any case")
        << QByteArray(
               R"({"custom_fields": {"option99": {"label": "BENÖTIGTE MODIFIKATIONEN", "value": "Depot"},
                                           "option3": {"label": "Sonstiges", "value": "Nicht dies"}}})")
        << QStringList{"||Depot||||"};
    QTest::newRow("value as an array of texts")
        << QByteArray(R"({"custom_fields": {"option14": {"value": ["Gleise", "webdisk:5"]}}})")
        << QStringList{"||Gleise||||", "webdisk|5|||" + site + "/filebase/entry/5/||"};
    QTest::newRow("field that is not an object")
        << QByteArray(R"({"custom_fields": {"option14": "Gleise"}})") << QStringList{};
    QTest::newRow("structured and custom field name the same mod")
        << QByteArray(R"({"dependencies": [{"id": 55, "name": "Gleise"}],
                         "custom_fields": {"option14": {"value": "https://trackhaven-community.de/filebase/entry/55/ mind. 2.0"}}})")
        << QStringList{"webdisk|55|Gleise|2.0|" + site + "/filebase/entry/55/||"};
}

void TestDependencyParsing::customFields()
{
    QFETCH(QByteArray, entry);
    QFETCH(QStringList, expected);

    QCOMPARE(describeAll(parseDependencies(objectFrom(entry))), expected);
}

void TestDependencyParsing::textLines_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("expected");

    QTest::newRow("name, id reference and German phrase with the word Version")
        << "Signalpaket webdisk:1234 mindestens Version 2.1"
        << "webdisk|1234|Signalpaket|2.1|" + site + "/filebase/entry/1234/||";
    QTest::newRow("mind. Version") << "Signalpaket - mind. Version 3"
                                   << "||Signalpaket|3|||";
    QTest::newRow("id reference in brackets") << "Gleisbau (filebase : 99)"
                                              << "webdisk|99|Gleisbau||" + site + "/filebase/entry/99/||";
    QTest::newRow("entry link in HTML, name from the link text")
        << R"(<a href="https://www.trackhaven-community.de/filebase/entry/55-gleise/?x=1">Gleise</a> ab Version 1.5)"
        << "webdisk|55|Gleise|1.5|" + site + "/filebase/entry/55-gleise/?x=1||";
    QTest::newRow("bare link to an entry has no name")
        << "https://trackhaven-community.de/filebase/index.php/Entry/56/"
        << "webdisk|56|||" + site + "/filebase/index.php/Entry/56/||";
    QTest::newRow("protocol-relative link")
        << R"(<a href='//trackhaven-community.de/filebase/entry/58/'>Depot</a>)"
        << "webdisk|58|Depot||" + site + "/filebase/entry/58/||";
    QTest::newRow("relative entry link belongs to the community")
        << R"(<a href="/filebase/entry/57/">Depot</a>)"
        << "webdisk|57|Depot||" + site + "/filebase/entry/57/||";
    QTest::newRow("foreign site's entry path is only a link")
        << "Fremdmod https://other.example/filebase/entry/55/"
        << "url||Fremdmod||https://other.example/filebase/entry/55/||";
    QTest::newRow("foreign entry path in HTML")
        << R"(<a href="https://other.example/filebase/entry/55/">Fremdmod</a>)"
        << "url||Fremdmod||https://other.example/filebase/entry/55/||";
    QTest::newRow("host that only ends like ours")
        << "https://evil-trackhaven-community.de/filebase/entry/55/"
        << "url||||https://evil-trackhaven-community.de/filebase/entry/55/||";
    QTest::newRow("download link")
        << "Gleise https://trackhaven-community.de/filebase/entry-download/12/"
        << "url||Gleise|||https://trackhaven-community.de/filebase/entry-download/12/|";
    QTest::newRow("entry link and download link")
        << "https://trackhaven-community.de/filebase/entry/12/ "
           "https://trackhaven-community.de/filebase/index.php/EntryDownload/3/"
        << "webdisk|12|||" + site +
               "/filebase/entry/12/|https://trackhaven-community.de/filebase/index.php/EntryDownload/3/|";
    QTest::newRow("English phrase and trailing required") << "Tram Pack minimum version 3.0.1 required"
                                                          << "||Tram Pack|3.0.1|||";
    QTest::newRow("required version") << "Tram Pack, required version: v4"
                                      << "||Tram Pack|4|||";
    QTest::newRow("version >=") << "Tram Pack version >= 1.2"
                                << "||Tram Pack|1.2|||";
    QTest::newRow(">= alone") << "Tram Pack >=2"
                              << "||Tram Pack|2|||";
    QTest::newRow("German required, bullet") << "\u2022 Stra\u00dfenbahn-Paket ist ben\u00f6tigt!"
                                             << "||Stra\u00dfenbahn-Paket||||";
    QTest::newRow("erforderlich with dash bullet") << "- Depot erforderlich."
                                                   << "||Depot||||";
    QTest::newRow("decimal comma") << "Depot ab Version 1,5"
                                   << "||Depot|1.5|||";
    QTest::newRow("bare foreign link") << "https://example.com/mod"
                                       << "url||||https://example.com/mod||";
    QTest::newRow("only an id reference") << "webdisk:5"
                                          << "webdisk|5|||" + site + "/filebase/entry/5/||";
    QTest::newRow("empty tags only") << "<p> </p>" << QString();
}

void TestDependencyParsing::textLines()
{
    QFETCH(QString, line);
    QFETCH(QString, expected);

    QCOMPARE(describeAll(fromText(line)), expected.isEmpty() ? QStringList() : QStringList{expected});
}

void TestDependencyParsing::lineSplitting_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("names");

    QTest::newRow("&nbsp; does not cut a name")
        << "Gleise&nbsp;Nord; Signale" << QStringList{"Gleise Nord", "Signale"};
    QTest::newRow("&amp; does not cut a name")
        << "Gleise &amp; Weichen; Signale" << QStringList{"Gleise & Weichen", "Signale"};
    QTest::newRow("escaped entity in HTML") << "Gleise &amp;amp; Weichen" << QStringList{"Gleise & Weichen"};
    QTest::newRow("character references stay whole and are decoded")
        << "Stra&szlig;enbahn &quot;Nord&quot;;Br&#252;cken&#x21;"
        << QStringList{"Stra\u00dfenbahn \"Nord\"", "Br\u00fccken!"};
    QTest::newRow("unknown reference stays as written") << "A&foo;B; C" << QStringList{"A&foo;B", "C"};
    QTest::newRow("; inside a tag does not split")
        << R"(<span style="color: red; font-weight: bold">Gleise</span>; Signale)"
        << QStringList{"Gleise", "Signale"};
    QTest::newRow("blank pieces dropped") << " ;\n\r\n ; A ;  " << QStringList{"A"};
}

void TestDependencyParsing::lineSplitting()
{
    QFETCH(QString, text);
    QFETCH(QStringList, names);

    QStringList actual;
    for (const RepoDependency &d : fromText(text))
        actual.append(d.name);
    QCOMPARE(actual, names);
}

void TestDependencyParsing::versionWordsNeedWordStart()
{
    // "mind" and "ab version" inside a longer word are part of the name, not a version phrase.
    const QList<RepoDependency> dependencies = fromText(QStringLiteral("Mastermind 3000; Grab Version 2"));
    QCOMPARE(dependencies.size(), 2);
    QCOMPARE(dependencies.at(0).name, QStringLiteral("Mastermind 3000"));
    QCOMPARE(dependencies.at(1).name, QStringLiteral("Grab Version 2"));
}

void TestDependencyParsing::merging_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("same id: second line fills the name")
        << "webdisk:12\nGleise webdisk:12 mind. 1.0"
        << QStringList{"webdisk|12|Gleise|1.0|" + site + "/filebase/entry/12/||"};
    QTest::newRow("same id through link and reference")
        << "https://trackhaven-community.de/filebase/entry/12/; Gleise (webdisk:12)"
        << QStringList{"webdisk|12|Gleise||" + site + "/filebase/entry/12/||"};
    QTest::newRow("higher of two minimums wins")
        << "Gleise webdisk:12 ab Version 1.9; Gleise webdisk:12 ab Version 1.10; Gleise webdisk:12 ab "
           "Version 1.2"
        << QStringList{"webdisk|12|Gleise|1.10|" + site + "/filebase/entry/12/||"};
    QTest::newRow("same name ignoring case, name mention keeps the kind")
        << "Gleise webdisk:12; GLEISE mind. 2"
        << QStringList{"webdisk|12|Gleise|2|" + site + "/filebase/entry/12/||"};
    QTest::newRow("same download link")
        << "https://x.example/entry-download/3/; Gleise https://x.example/entry-download/3/"
        << QStringList{"url||Gleise|||https://x.example/entry-download/3/|"};
    QTest::newRow("same page link") << "https://x.example/gleise; Gleise https://x.example/gleise"
                                    << QStringList{"url||Gleise||https://x.example/gleise||"};
    QTest::newRow("same name, different ids stay apart")
        << "Gleise webdisk:12; Gleise webdisk:13"
        << QStringList{"webdisk|12|Gleise||" + site + "/filebase/entry/12/||",
                       "webdisk|13|Gleise||" + site + "/filebase/entry/13/||"};
    QTest::newRow("different mods stay apart in order") << "B; A; B" << QStringList{"||B||||", "||A||||"};
}

void TestDependencyParsing::merging()
{
    QFETCH(QString, text);
    QFETCH(QStringList, expected);

    QCOMPARE(describeAll(fromText(text)), expected);
}

void TestDependencyParsing::normalisation()
{
    QList<RepoDependency> list;
    RepoDependency raw;
    raw.source = QStringLiteral("  ");
    raw.id = QStringLiteral(" 42 ");
    raw.name = QStringLiteral(" <b>Gleise</b> ");
    raw.minVersion = QStringLiteral("ab Version 1.2");
    raw.entryUrl = QStringLiteral(" https://x.example/e ");
    raw.downloadUrl = QStringLiteral(" https://x.example/d ");
    raw.fileName = QStringLiteral(" d.zip ");
    addDependency(&list, raw);
    QCOMPARE(describeAll(list),
             QStringList{"webdisk|42|Gleise|1.2|https://x.example/e|https://x.example/d|d.zip"});

    // Nothing that names a mod: dropped, whatever else it carries.
    RepoDependency empty;
    empty.source = QStringLiteral("url");
    empty.minVersion = QStringLiteral("1.0");
    empty.fileName = QStringLiteral("x.zip");
    empty.name = QStringLiteral("<i> </i>");
    addDependency(&list, empty);
    QCOMPARE(list.size(), 1);

    // A new reference kind replaces "webdisk"; an explicit kind other than that stays.
    RepoDependency again;
    again.id = QStringLiteral("42");
    again.source = QStringLiteral("URL");
    addDependency(&list, again);
    QCOMPARE(list.at(0).source, QStringLiteral("url"));
    again.source = QStringLiteral("modio");
    addDependency(&list, again);
    QCOMPARE(list.at(0).source, QStringLiteral("url"));
    QCOMPARE(list.size(), 1);

    // A version text that holds no number is kept as written.
    RepoDependency textual;
    textual.name = QStringLiteral("Beta");
    textual.minVersion = QStringLiteral(" beta ");
    addDependency(&list, textual);
    QCOMPARE(list.at(1).minVersion, QStringLiteral("beta"));
}

void TestDependencyParsing::labels_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("entryUrl");
    QTest::addColumn<QString>("downloadUrl");
    QTest::addColumn<QString>("minVersion");
    QTest::addColumn<QString>("resolvedName");
    QTest::addColumn<QString>("label");

    QTest::newRow("name") << " Gleise "
                          << "5"
                          << ""
                          << ""
                          << ""
                          << "Anders"
                          << "Gleise";
    QTest::newRow("resolved name") << ""
                                   << "5"
                                   << ""
                                   << ""
                                   << ""
                                   << "Anders"
                                   << "Anders";
    QTest::newRow("id") << ""
                        << "5"
                        << ""
                        << "https://x.example/d"
                        << ""
                        << ""
                        << "webdisk:5";
    QTest::newRow("download link") << ""
                                   << ""
                                   << "https://x.example/e"
                                   << "https://x.example/d"
                                   << ""
                                   << ""
                                   << "https://x.example/d";
    QTest::newRow("page link") << ""
                               << ""
                               << "https://x.example/e"
                               << ""
                               << ""
                               << ""
                               << "https://x.example/e";
    QTest::newRow("nothing") << ""
                             << ""
                             << ""
                             << ""
                             << ""
                             << ""
                             << "Unbekannte Abh\u00e4ngigkeit";
    QTest::newRow("minimum version") << "Gleise"
                                     << ""
                                     << ""
                                     << ""
                                     << "2.1"
                                     << ""
                                     << "Gleise (mindestens Version 2.1)";
    QTest::newRow("id with minimum version") << ""
                                             << "5"
                                             << ""
                                             << ""
                                             << "1.0"
                                             << ""
                                             << "webdisk:5 (mindestens Version 1.0)";
}

void TestDependencyParsing::labels()
{
    QFETCH(QString, name);
    QFETCH(QString, id);
    QFETCH(QString, entryUrl);
    QFETCH(QString, downloadUrl);
    QFETCH(QString, minVersion);
    QFETCH(QString, resolvedName);
    QFETCH(QString, label);

    RepoDependency d;
    d.name = name;
    d.id = id;
    d.entryUrl = entryUrl;
    d.downloadUrl = downloadUrl;
    d.minVersion = minVersion;
    RepoMod resolved;
    resolved.name = resolvedName;
    QCOMPARE(dependencyLabel(d, &resolved), label);
    if (resolvedName.isEmpty())
        QCOMPARE(dependencyLabel(d), label);
}

void TestDependencyParsing::configuredCommunityRoot_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");

    const QString local = QStringLiteral("http://127.0.0.1:47321");
    QTest::newRow("link with the configured port")
        << "Depot http://127.0.0.1:47321/filebase/entry/9-depot/"
        << "webdisk|9|Depot||" + local + "/filebase/entry/9-depot/||";
    QTest::newRow("same address, other port is another site")
        << "http://127.0.0.1:47999/filebase/entry/9/"
        << "url||||http://127.0.0.1:47999/filebase/entry/9/||";
    QTest::newRow("the default site is foreign now")
        << "https://trackhaven-community.de/filebase/entry/9/"
        << "url||||https://trackhaven-community.de/filebase/entry/9/||";
    QTest::newRow("relative link") << R"(<a href="/filebase/entry/9/">Depot</a>)"
                                   << "webdisk|9|Depot||" + local + "/filebase/entry/9/||";
    QTest::newRow("id reference") << "Depot webdisk:5"
                                  << "webdisk|5|Depot||" + local + "/filebase/entry/5/||";
}

void TestDependencyParsing::configuredCommunityRoot()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);

    m_environment->setEnv("FX3MM_COMMUNITY_URL", "http://127.0.0.1:47321/");
    QCOMPARE(describeAll(fromText(text)), QStringList{expected});

    // Structured entry links follow the same site.
    const QJsonObject entry =
        objectFrom(R"({"dependencies": [{"url": "http://127.0.0.1:47321/filebase/entry/9/"},
                                                               {"url": "https://trackhaven-community.de/filebase/entry/10/"}]})");
    const QList<RepoDependency> structured = parseDependencies(entry);
    QCOMPARE(structured.size(), 2);
    QCOMPARE(structured.at(0).id, QStringLiteral("9"));
    QCOMPARE(structured.at(1).id, QString());
}

QTEST_GUILESS_MAIN(TestDependencyParsing)
#include "tst_dependencyparsing.moc"
