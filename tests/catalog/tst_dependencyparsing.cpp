#include "catalog/dependencyparsing.h"
#include "testsupport.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

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
QStringList describeAll(const QList<RepoDependency> &dependencies)
{
    QStringList result;
    for (const RepoDependency &d : dependencies)
        result.append(
            QStringList{d.source, d.id, d.name, d.minVersion, d.entryUrl, d.downloadUrl, d.fileName}.join(
                u'|'));
    return result;
}

} // namespace

class TestDependencyParsing : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void entries_data();
    void entries();
    void texts_data();
    void texts();
    void labels();
    void configuredCommunityRoot();

private:
    TestEnvironment m_environment;
};

void TestDependencyParsing::init()
{
    // The compiled-in community site unless a test configures another one.
    m_environment.setEnv("FX3MM_COMMUNITY_URL", QByteArray());
}

void TestDependencyParsing::entries_data()
{
    QTest::addColumn<QByteArray>("entry");
    QTest::addColumn<QStringList>("expected");
    const auto row = [](const char *tag, const QByteArray &entry, const QStringList &expected) {
        QTest::newRow(tag) << entry << expected;
    };

    row("entry_id, minimum_version with a decimal comma",
        R"({"dependencies": [{"entry_id": 55, "name": "Gleisbau", "minimum_version": "v1,2"}]})",
        {"webdisk|55|Gleisbau|1.2|||"});
    row("mod_id, source lower-cased, empty name, version phrase",
        R"({"dependencies": [{"mod_id": 7, "source": " ModIO ", "name": "", "title": "X", "version_requirement": ">= 2.4.1"}]})",
        {"modio|7|X|2.4.1|||"});
    row("url on the community host in the index.php form",
        R"({"dependencies": [{"url": "https://WWW.TRACKHAVEN-COMMUNITY.DE/filebase/index.php/Entry/78/"}]})",
        {"webdisk|78|||https://WWW.TRACKHAVEN-COMMUNITY.DE/filebase/index.php/Entry/78/||"});
    row("host that only ends like ours is foreign",
        R"({"dependencies": [{"name": "G", "url": "https://my-trackhaven-community.de/filebase/entry/55/"}]})",
        {"||G||https://my-trackhaven-community.de/filebase/entry/55/||"});
    row("latest_file does not override the dependency's own fields",
        R"({"dependencies": [{"id": 9, "min_version": "2", "download": "https://x.example/own.zip",
                          "latest_file": {"download": "https://x.example/9.zip", "filename": "nine.zip", "version": "1.1"}}]})",
        {"webdisk|9||2||https://x.example/own.zip|nine.zip"});
    row("fields trimmed, name without markup, version from a phrase",
        R"({"dependencies": [{"source": "  ", "id": " 42 ", "name": " <b>Gleise</b> ",
                         "required_version": "ab Version 1.2", "download_url": " https://x.example/d "}]})",
        {"webdisk|42|Gleise|1.2||https://x.example/d|"});
    row("object naming nothing is dropped",
        R"({"dependencies": [{"source": "webdisk", "min_version": "1.0", "filename": "a.zip",
                         "name": "<i> </i>"}]})",
        {});
    row("array of texts and objects, duplicates merge",
        R"({"dependencies": ["Gleise<br>Signale", {"name": "GLEISE"}, 42, null, "Depot"]})",
        {"||Gleise||||", "||Signale||||", "||Depot||||"});
    row("option14 with link and id reference", R"({"custom_fields": {"option14": {"value":
               "<p><a href=\"https://trackhaven-community.de/filebase/entry/55-gleise/\">Gleise</a> ab Version 1.5</p><br />Signalpaket webdisk:1234"}}})",
        {"webdisk|55|Gleise|1.5|" + site + "/filebase/entry/55-gleise/||",
         "webdisk|1234|Signalpaket||" + site + "/filebase/entry/1234/||"});
    row("label instead of option14, any case",
        R"({"custom_fields": {"option99": {"label": "BENÖTIGTE MODIFIKATIONEN", "value": "Depot"},
                                           "option3": {"label": "Sonstiges", "value": "Nicht dies"}}})",
        {"||Depot||||"});
}

void TestDependencyParsing::entries()
{
    QFETCH(QByteArray, entry);
    QFETCH(QStringList, expected);
    QCOMPARE(describeAll(parseDependencies(objectFrom(entry))), expected);
}

void TestDependencyParsing::texts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("expected");
    const auto row = [](const char *tag, const QString &text, const QStringList &expected) {
        QTest::newRow(tag) << text << expected;
    };

    const QString entry12 = "webdisk|12|Gleise||" + site + "/filebase/entry/12/||";
    // One line, one record.
    row("German phrase with the word Version", "Signalpaket webdisk:1234 mindestens Version 2.1",
        {"webdisk|1234|Signalpaket|2.1|" + site + "/filebase/entry/1234/||"});
    row("mind. Version", "Signalpaket - mind. Version 3", {"||Signalpaket|3|||"});
    row("relative entry link belongs to the community", R"(<a href="/filebase/entry/57/">Depot</a>)",
        {"webdisk|57|Depot||" + site + "/filebase/entry/57/||"});
    row("foreign site's entry path is only a link",
        R"(<a href="https://other.example/filebase/entry/55/">Fremdmod</a>)",
        {"url||Fremdmod||https://other.example/filebase/entry/55/||"});
    row("community host on its default or another port",
        "https://trackhaven-community.de:443/filebase/entry/54/; "
        "https://trackhaven-community.de:8080/filebase/entry/55/",
        {"webdisk|54|||" + site + "/filebase/entry/54/||",
         "url||||https://trackhaven-community.de:8080/filebase/entry/55/||"});
    row("host that only ends like ours", "https://evil-trackhaven-community.de/filebase/entry/55/",
        {"url||||https://evil-trackhaven-community.de/filebase/entry/55/||"});
    row("download link", "Depot https://x.example/filebase/entry-download/3/?x=1 ab Version 2",
        {"url||Depot|2||https://x.example/filebase/entry-download/3/?x=1|"});
    row("English phrase and trailing required", "Tram Pack minimum version 3.0.1 required",
        {"||Tram Pack|3.0.1|||"});
    row("German required, bullet", "\u2022 Stra\u00dfenbahn-Paket ist ben\u00f6tigt!",
        {"||Stra\u00dfenbahn-Paket||||"});
    row("decimal comma", "Gleise ab Version 1,5", {"||Gleise|1.5|||"});
    row("decimal comma after mind.", "Gleise - mind. 2,10", {"||Gleise|2.10|||"});
    // Phrase words inside a longer word belong to the name.
    row("name ending in a number", "Mastermind 3000", {"||Mastermind 3000||||"});
    row("word ending in ab", "Grab Version 2 ben\u00f6tigt", {"||Grab Version 2||||"});
    row("empty tags only", "<p> </p>", QStringList());
    // Splitting into lines.
    row("references do not cut a line, and are decoded",
        "Gleise&nbsp;Nord; Gleise &amp; Weichen;Stra&szlig;enbahn &quot;Nord&quot;;Br&#252;cken&#x21;; "
        "A&foo;B",
        {"||Gleise Nord||||", "||Gleise & Weichen||||", "||Stra\u00dfenbahn \"Nord\"||||",
         "||Br\u00fccken!||||", "||A&foo;B||||"});
    row("; inside a tag does not split",
        R"(<span style="color: red; font-weight: bold">Gleise</span>; Signale)",
        {"||Gleise||||", "||Signale||||"});
    row("empty pieces", "A\n\r\n ;B;", {"||A||||", "||B||||"});
    row("ends of paragraphs and list items",
        "<p>Gleise</p><p>Signale</p><ul>\n<li>Depot</li>\n<li>Br&uuml;cken</LI ></ul>",
        {"||Gleise||||", "||Signale||||", "||Depot||||", "||Br\u00fccken||||"});
    // Two mentions of one mod merge.
    row("same id through link and reference fills the name",
        "https://trackhaven-community.de/filebase/entry/12/; Gleise (webdisk:12)", {entry12});
    row("higher of two minimums wins",
        "Gleise webdisk:12 ab Version 1.9; GLEISE ab Version 1.10; Gleise webdisk:12 ab Version 1.2",
        {"webdisk|12|Gleise|1.10|" + site + "/filebase/entry/12/||"});
    row("same name, different ids stay apart", "Gleise webdisk:12; Gleise webdisk:13",
        {entry12, "webdisk|13|Gleise||" + site + "/filebase/entry/13/||"});
    row("different mods stay apart in order", "B; A; B", {"||B||||", "||A||||"});
}

void TestDependencyParsing::texts()
{
    QFETCH(QString, text);
    QFETCH(QStringList, expected);
    QCOMPARE(describeAll(fromText(text)), expected);
}

void TestDependencyParsing::labels()
{
    RepoDependency d;
    d.id = QStringLiteral("5");
    d.downloadUrl = QStringLiteral("https://x.example/d");
    QCOMPARE(dependencyLabel(d), QStringLiteral("webdisk:5"));
    RepoMod resolved;
    resolved.name = QStringLiteral("Anders");
    QCOMPARE(dependencyLabel(d, &resolved), QStringLiteral("Anders"));
    d.name = QStringLiteral(" Gleise ");
    d.minVersion = QStringLiteral("2.1");
    QCOMPARE(dependencyLabel(d, &resolved), QStringLiteral("Gleise (mindestens Version 2.1)"));
    QCOMPARE(dependencyLabel(RepoDependency()), QStringLiteral("Unbekannte Abh\u00e4ngigkeit"));
}

void TestDependencyParsing::configuredCommunityRoot()
{
    m_environment.setEnv("FX3MM_COMMUNITY_URL", "http://127.0.0.1:47321/");
    const QString local = QStringLiteral("http://127.0.0.1:47321");
    QCOMPARE(describeAll(fromText(
                 QStringLiteral("Depot http://127.0.0.1:47321/filebase/entry/9-depot/; "
                                "http://127.0.0.1:47999/filebase/entry/8/; "
                                "https://trackhaven-community.de/filebase/entry/7/; Gleise webdisk:5"))),
             (QStringList{"webdisk|9|Depot||" + local + "/filebase/entry/9-depot/||",
                          "url||||http://127.0.0.1:47999/filebase/entry/8/||",
                          "url||||https://trackhaven-community.de/filebase/entry/7/||",
                          "webdisk|5|Gleise||" + local + "/filebase/entry/5/||"}));
}

QTEST_GUILESS_MAIN(TestDependencyParsing)
#include "tst_dependencyparsing.moc"
