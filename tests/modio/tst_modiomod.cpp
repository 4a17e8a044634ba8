#include "modio/modioblacklist.h"
#include "modio/modiolisting.h"
#include "modio/modiomod.h"
#include "modio/quickcheck.h"
#include "testsupport.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLocale>
#include <QTest>

#include <limits>

namespace {

// Inline JSON is written with single quotes.
QJsonObject objectOf(QByteArray json, bool singleQuotes = true)
{
    if (singleQuotes)
        json.replace('\'', '"');
    return QJsonDocument::fromJson(json).object();
}

QByteArray example(const QString &name)
{
    return readTestFile(QStringLiteral(FX3_TEST_DATA_DIR "/modio/") + name);
}

// Checks the fields named in expected ("name=value"), so a row names only the fields it is about.
void compareFields(const ModIoMod &m, const QStringList &expected)
{
    static const QStringList names =
        QStringLiteral(
            "id modfileId name author submittedById authorNameId authorDisplayName version summary "
            "description profileUrl logoUrl downloadUrl fileName md5 tags tagNames stats fileSize "
            "dateUpdated gallery subscribed score")
            .split(' ');
    const QString ratings = QStringList({QString::number(m.ratingsTotal), QString::number(m.ratingsPositive),
                                         QString::number(m.ratingsNegative)})
                                .join('/');
    const QString stats =
        QStringLiteral("%1 %2 %3 %4% %5 %6")
            .arg(QString::number(m.downloads), QString::number(m.subscribers), ratings,
                 QString::number(m.ratingPercentPositive), QString::number(m.ratingWeighted), m.ratingText);
    const QStringList values =
        QStringList() << m.id << m.modfileId << m.name << m.author << m.submittedById << m.authorNameId
                      << m.authorDisplayName << m.version << m.summary << m.description << m.profileUrl
                      << m.logoUrl << m.downloadUrl << m.fileName << m.md5 << m.tags.join('/')
                      << m.tagNames.join('/') << stats << QString::number(m.fileSize)
                      << QString::number(m.dateUpdated) << QString::number(m.galleryImageCount)
                      << QString::number(m.subscribed) << QString::number(m.quickCheckScore);
    for (const QString &pair : expected) {
        const QString name = pair.section('=', 0, 0);
        QVERIFY2(names.contains(name), qPrintable(name));
        QCOMPARE(name + '=' + values.at(names.indexOf(name)), pair);
    }
}

// count filler words that contain none of the promotional or technical words.
QString words(int count, const QString &tail = QString())
{
    QStringList list;
    for (int i = 0; i < count; ++i)
        list.append(i % 7 == 3 ? QStringLiteral("zz\t") : QStringLiteral("zz"));
    return list.join(' ') + tail;
}

const QString rogueMd5 = QStringLiteral("md5=2d4a0e2d7273db6b0a94b0740a88ad0d");
const QString rogueUrl = QStringLiteral(
    "downloadUrl=https://*.modapi.io/v1/games/1/mods/1/files/1/download/c489a0354111a4d76640d47f0cdcb294");
const QString noGallery = QStringLiteral("Keine zusätzlichen Galerie-Screenshots auf mod.io");
const QString promotional =
    QStringLiteral("Beschreibung wirkt stark werblich, enthält aber wenig technische Mod-Informationen");
const QString account = QStringLiteral("Generischer mod.io-Accountname (%1)");
constexpr qint64 now = 1700000000;

// A record as the list sees it; name, author and counts are what the filter and the order look at.
ModIoMod record(const QString &id, const QString &name, const QString &author, qint64 subscribers,
                qint64 downloads, int percent = -1, qint64 ratings = 0)
{
    ModIoMod mod;
    mod.id = id;
    mod.name = name;
    mod.author = author;
    mod.submittedById = QStringLiteral("u") + author;
    mod.subscribers = subscribers;
    mod.downloads = downloads;
    mod.ratingPercentPositive = percent;
    mod.ratingsTotal = ratings;
    mod.ratingWeighted = percent / 100.0;
    mod.dateUpdated = downloads;
    return mod;
}

QList<ModIoMod> sample()
{
    QList<ModIoMod> mods{record("1", "Zugspitzbahn", "anna", 50, 900, 95, 40),
                         record("2", "Ärmelkanal Fähre", "Bernd", 50, 900, 95, 40),
                         record("3", "Bahnhof Nord", "anna", 700, 100, 30, 3),
                         record("4", "Tunnelportal", "Clara", 10, 5000, -1, 0),
                         record("5", "bahnhof süd", "dora", 700, 100, 61, 2)};
    mods[0].tags = QStringList{"Züge"};
    mods[0].tagNames = QStringList{"trains"};
    mods[2].tags = QStringList{"Bahnhöfe"};
    mods[2].tagNames = QStringList{"stations"};
    mods[3].summary = QStringLiteral("Ein Portal für Tunnel.");
    mods[3].authorDisplayName = QStringLiteral("Clara Tunnelbau");
    return mods;
}

} // namespace

class ModIoModTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Names sort by the German rules in every environment.
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany)); }
    void counts_data();
    void counts();
    void starsAndRatingFilter_data();
    void starsAndRatingFilter();
    void filterAndOrder_data();
    void filterAndOrder();
    void blacklist();
    void installStateAndRowPill_data();
    void installStateAndRowPill();
    void foldersToDelete_data();
    void foldersToDelete();
    void publishedExamples_data();
    void publishedExamples();
    void looseMembers_data();
    void looseMembers();
    void quickCheckStageOne_data();
    void quickCheckStageOne();
    void fileIndicators_data();
    void fileIndicators();
    void reportScansTheModFolder();
    void authorHistory_data();
    void authorHistory();
    void reportText();
};

void ModIoModTest::publishedExamples_data()
{
    QTest::addColumn<QJsonObject>("mod");
    QTest::addColumn<QStringList>("fields");
    const QStringList rogue =
        QStringLiteral(
            "id=2|name=Rogue Knight HD Pack|author=XanT|submittedById=1|authorNameId=xant|"
            "authorDisplayName=|modfileId=2|version=1.3|fileName=rogue-knight-v1.zip|fileSize=15181|"
            "dateUpdated=1499841487|logoUrl=https://assets.modcdn.io/images/placeholder/card.png|"
            "gallery=1|tags=Unity|tagNames=Unity|subscribed=1|"
            "stats=27492 16394 1230/1047/183 91% 87.38 Very Positive|"
            "description=Rogue HD Pack does exactly what you thi...|"
            "summary=It's time to bask in the glory of beautiful 4k textures!|"
            "profileUrl=https://mod.io/g/rogue-knight/m/rogue-knight-hd-pack")
            .split('|') +
        QStringList{rogueMd5};
    QTest::newRow("mod") << objectOf(example("get-mod.response.json"), false)
                         << rogue + QStringList{rogueUrl};
    QTest::newRow("mod of the current docs")
        << objectOf(example("mod-object.sample.json"), false)
        << rogue + QStringList{"downloadUrl=https://api.mod.io/v1/games/1/mods/1/files/1/download/"
                               "c489a0354111a4d76640d47f0cdcb294"};
    QJsonObject withModfile = objectOf(example("mod-object.sample.json"), false);
    withModfile.insert("modfile", objectOf(example("get-modfile.response.json"), false));
    QTest::newRow("published modfile") << withModfile << rogue + QStringList{rogueUrl};
    QTest::newRow("dependency list")
        << objectOf(example("get-mod-dependencies.response.cleaned.json"), false).value("data")[0].toObject()
        << rogue;
}

void ModIoModTest::publishedExamples()
{
    QFETCH(QJsonObject, mod);
    QFETCH(QStringList, fields);
    compareFields(parseModIoMod(mod, {"1", "2"}), fields);
    QCOMPARE(modIoUserName(objectOf(example("me.response.json"), false)), QStringLiteral("XanT"));
}

void ModIoModTest::looseMembers_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QStringList>("fields");
    const auto row = [](const char *name, const char *json, const QStringList &fields) {
        QTest::newRow(name) << QByteArray(json) << fields;
    };
    row("empty object", "{}",
        {"id=", "name=Unbenannter Mod", "author=", "modfileId=", "fileSize=0", "stats=0 0 0/0/0 -1% 0 ",
         "gallery=0", "subscribed=0"});
    row("name must be a string", "{'name':17}", {"name=Unbenannter Mod"});
    row("empty name stays empty", "{'name':''}", {"name="});
    row("large ids without exponent", "{'id':12345678901234,'submitted_by':{'id':9007199254740993}}",
        {"id=12345678901234", "submittedById=9007199254740993"});
    row("ids as text", "{'id':'77','submitted_by':{'id':' 5 '}}",
        {"id=77", "submittedById=5", "subscribed=1"});
    row("display name before name id",
        "{'submitted_by':{'username':' ','display_name_portal':' D ','name_id':'n'}}",
        {"author=D", "authorNameId=n"});
    row("name id last", "{'submitted_by':{'name_id':' n '}}", {"author=n"});
    row("HTML description", "{'description_plaintext':' ','description':'<p>a<BR />b</p> ','summary':'s'}",
        {"description=a\nb", "summary=s"});
    row("summary as description", "{'description':'<p></p>','summary':' s '}", {"description=s"});
    row("logo chain",
        "{'logo':{'thumb_320x180':'','thumb_1280x720':'big','original':'o'},'media':{"
        "'images':[{}]}}",
        {"logoUrl=big", "gallery=1"});
    row("gallery image as logo", "{'logo':{},'media':{'images':[{'thumb_320x180':'','original':'i'},{}]}}",
        {"logoUrl=i", "gallery=2"});
    row("Windows release wins",
        "{'platforms':[{'platform':'linux','modfile_live':5},{'platform':'windows'},"
        "{'platform':' Windows ','modfile_live':'7'},{'platform':'ALL','modfile_live':8}]}",
        {"modfileId=7"});
    row("all platforms",
        "{'modfile':{},'platforms':[{'platform':'source','modfile_live':5},{'platform':'all',"
        "'modfile_live':6}]}",
        {"modfileId=6"});
    row("first live file otherwise",
        "{'platforms':[{'platform':'PS5','modfile_live':' "
        "'},{'platform':'PS5','modfile_live':4},"
        "{'platform':'mac','modfile_live':9}]}",
        {"modfileId=4"});
    row("live modfile before platforms",
        "{'modfile':{'id':3},'platforms':[{'platform':'WINDOWS','modfile_live':4}]}", {"modfileId=3"});
    row("later file date raises the date",
        "{'date_updated':100,'modfile':{'date_updated':150,'filesize':-4}}",
        {"dateUpdated=150", "fileSize=0"});
    row("earlier file date keeps it", "{'date_updated':100,'modfile':{'date_updated':50}}",
        {"dateUpdated=100"});
    row("stats with null share",
        "{'stats':{'downloads_total':'12','ratings_percentage_positive':null,'ratings_display_"
        "text':' ok '}}",
        {"stats=12 0 0/0/0 -1% 0 ok"});
    row("md5 in capitals", "{'modfile':{'filehash':{'md5':' AB12 '}}}", {"md5=ab12"});
    row("zero share is a share", "{'stats':{'ratings_percentage_positive':0}}", {"stats=0 0 0/0/0 0% 0 "});
    row("tags",
        "{'tags':[{'name':'a','name_localized':'A'},{'name':''},{'name':'b'},"
        "{'name_localized':'C'}]}",
        {"tags=A/b/C", "tagNames=a/b/"});
    row("quick check runs", "{'submitted_by':{'username':'modio_user77'}}", {"score=4"});
}

void ModIoModTest::looseMembers()
{
    QFETCH(QByteArray, json);
    QFETCH(QStringList, fields);
    compareFields(parseModIoMod(objectOf(json), {"77"}), fields);
}

void ModIoModTest::quickCheckStageOne_data()
{
    QTest::addColumn<QString>("username");
    QTest::addColumn<QString>("author");
    QTest::addColumn<QString>("description");
    QTest::addColumn<int>("gallery");
    QTest::addColumn<int>("score");
    QTest::addColumn<QStringList>("reasons");
    const auto row = [](const char *name, const QString &username, const QString &author,
                        const QString &description, int gallery, int score, const QStringList &reasons) {
        QTest::newRow(name) << username << author << description << gallery << score << reasons;
    };
    const QString buzz = QStringLiteral(" Stunning ICONIC einzigartig Atemberaubend");
    row("nothing", "Lok", "Lok", "Eine Lok.", 2, 0, {});
    row("no gallery", "", "", "", 0, 1, {noGallery});
    row("generic account", " modio_user123 ", "x", "", 1, 3, {account.arg("modio_user123")});
    row("generic account, any case and dash", "MODIOUSER-x", "", "", 1, 3, {account.arg("MODIOUSER-x")});
    row("letters of any script", "modio-userÄ9", "", "", 1, 3, {account.arg("modio-userÄ9")});
    row("something must follow user", "modio_user", "", "", 1, 0, {});
    row("no other characters", "modio_user 1", "", "", 1, 0, {});
    row("author without username", "", "modio_user_7", "", 1, 3, {account.arg("modio_user_7")});
    row("username before author", "Lok", "modio_user_7", "", 1, 0, {});
    row("319 words", "", "", words(319), 1, 0, {});
    row("320 words", "", "", words(320), 1, 1, {"Lange Beschreibung (320 Wörter)"});
    row("649 words", "", "", " " + words(649) + "\n", 1, 1, {"Lange Beschreibung (649 Wörter)"});
    row("650 words", "", "", words(650), 1, 2, {"Sehr lange Beschreibung (650 Wörter)"});
    row("a no-break space joins words", "", "", words(318, QStringLiteral(" zz\u00a0zz")), 1, 0, {});
    row("three language sections", "", "", "## Deutsch\nText\nEnglish:\nText\n  Français —  \nTexte\nDEUTSCH",
        1, 1, {"Mindestens 3 klar getrennte Sprachabschnitte"});
    row("four sections, headings of up to four #", "", "", "#### русский\n中文\nPolski -\nespañol", 1, 1,
        {"Mindestens 4 klar getrennte Sprachabschnitte"});
    row("same language twice counts once", "", "", "Deutsch\nEnglish\ndeutsch:", 1, 0, {});
    row("a language inside a line is no heading", "", "", "Deutsch\nEnglish\nauf Français\n##### Dutch", 1, 0,
        {});
    row("promotional", "", "", words(116, buzz + " 😀 Version Mesh"), 1, 1, {promotional});
    row("three technical words", "", "", words(115, buzz + " Version KAPAZITÄT 😀 LOD0"), 1, 0, {});
    row("three promotional words", "", "", words(117, " unique UNIQUE stunning iconic"), 1, 0, {});
    row("119 words are never promotional", "", "", words(115, buzz), 1, 0, {});
    row("all in order", "modio_userX", "", words(700, "\nEnglish\nDeutsch\nFrench\n" + buzz), 0, 8,
        {account.arg("modio_userX"), "Sehr lange Beschreibung (707 Wörter)",
         "Mindestens 3 klar getrennte Sprachabschnitte", noGallery, promotional});
}

void ModIoModTest::quickCheckStageOne()
{
    QFETCH(QString, username);
    QFETCH(QString, author);
    QFETCH(QString, description);
    QFETCH(int, gallery);
    QFETCH(int, score);
    QFETCH(QStringList, reasons);
    ModIoMod record;
    record.authorUsername = username;
    record.author = author;
    record.description = description;
    record.galleryImageCount = gallery;
    record.quickCheckScore = 9;
    record.quickCheckReasons = QStringList{"old"};
    computeModIoQuickCheck(record);
    QCOMPARE(record.quickCheckReasons, reasons);
    QCOMPARE(record.quickCheckScore, score);
}

void ModIoModTest::fileIndicators_data()
{
    QTest::addColumn<int>("total");
    QTest::addColumn<int>("generic");
    QTest::addColumn<QStringList>("reasons"); // each worth its points: "2|text" or "1|text"
    const QString many = QStringLiteral("2|%1 sehr generisch benannte Mesh-/Materialdateien gefunden");
    const QString some = QStringLiteral("1|%1 generisch benannte Mesh-/Materialdateien gefunden");
    const QString share = QStringLiteral("1|Hoher Anteil generischer Namen bei %1 Mesh-/Materialdateien");
    QTest::newRow("7 generic") << 7 << 7 << QStringList();
    QTest::newRow("8 generic") << 8 << 8 << QStringList{some.arg(8)};
    QTest::newRow("15 generic") << 40 << 15 << QStringList{some.arg(15)};
    QTest::newRow("16 generic") << 40 << 16 << QStringList{many.arg(16)};
    QTest::newRow("35 of 100") << 100 << 35 << QStringList{many.arg(35), share.arg(100)};
    QTest::newRow("34 of 100") << 100 << 34 << QStringList{many.arg(34)};
    QTest::newRow("28 of 80") << 80 << 28 << QStringList{many.arg(28), share.arg(80)};
    QTest::newRow("27 of 79") << 79 << 27 << QStringList{many.arg(27)};
}

void ModIoModTest::fileIndicators()
{
    QFETCH(int, total);
    QFETCH(int, generic);
    QFETCH(QStringList, reasons);
    QStringList found{"stage one"};
    int score = 1;
    applyModIoGenericFiles({total, generic}, found, score);
    int expectedScore = 1;
    for (QString &reason : reasons) {
        expectedScore += reason.section('|', 0, 0).toInt();
        reason = reason.section('|', 1);
    }
    QCOMPARE(found, QStringList{"stage one"} + reasons);
    QCOMPARE(score, expectedScore);
}

void ModIoModTest::reportScansTheModFolder()
{
    TestEnvironment env;
    const QStringList generic = {"m_1.msh",   "Mesh-22.mtl", "MAT3.msh",     "material_4.MTL",
                                 "beton.msh", "Grün.mtl",    "a/b/wood.msh", "Red.msh"};
    const QStringList other = {"wooden.msh", "m_1a.msh", "m.msh", "red.txt", "blue.msh.bak", "rot.old.mtl"};
    for (const QString &name : generic + other)
        QVERIFY(writeTestFile(env.root() + "/mods/4711/" + name, "x"));
    const ModIoGenericFileCount count = countModIoGenericFiles(env.root() + "/mods/4711");
    QCOMPARE(count.generic, 8);
    QCOMPARE(count.total, 12);

    ModIoMod record;
    record.id = QStringLiteral("4711");
    record.quickCheckScore = 2;
    record.quickCheckReasons = QStringList{"a"};
    QCOMPARE(startModIoQuickCheckReport(record, env.root() + "/mods").reasons.size(), 2);
    QCOMPARE(startModIoQuickCheckReport(record, env.root() + "/mods").score, 3);
    QCOMPARE(startModIoQuickCheckReport(record, QString()).score, 2);
    QCOMPARE(startModIoQuickCheckReport(record, env.root() + "/none").score, 2);
    record.id.clear();
    QCOMPARE(startModIoQuickCheckReport(record, env.root() + "/mods/4711").score, 2);

    QCOMPARE(modIoAuthorHistoryUrl("https://g-1.modapi.io/v1", 0, "12").toString(),
             QStringLiteral(
                 "https://g-1.modapi.io/v1/games/73160/mods?submitted_by=12&_sort=-date_live&_limit=100"));
    record.submittedById = QStringLiteral("12");
    QVERIFY(needsModIoAuthorHistory(record, true));
    QVERIFY(!needsModIoAuthorHistory(record, false));
    QVERIFY(!needsModIoAuthorHistory(ModIoMod(), true));
}

void ModIoModTest::authorHistory_data()
{
    QTest::addColumn<QList<qint64>>("ages"); // seconds before now; from now on date_live is 0
    QTest::addColumn<int>("score");
    QTest::addColumn<QString>("reason");
    const QString last30 =
        QStringLiteral("Sehr hohe Veröffentlichungsdichte: %1 Mods in den letzten 30 Tagen");
    const QString last90 = QStringLiteral("Hohe Veröffentlichungsdichte: %1 Mods in den letzten 90 Tagen");
    QTest::newRow("none") << QList<qint64>() << 0 << "";
    QTest::newRow("5 in 30 days") << QList<qint64>{0, 1, 2592000, 2592000, 5, 9000000} << 2 << last30.arg(5);
    QTest::newRow("30 days end at 2592001 s") << QList<qint64>{0, 1, 2, 3, 2592001} << 0 << "";
    QTest::newRow("5 in 30 days hide the 90-day count")
        << QList<qint64>{0, 1, 2, 3, 4, 3000000, 3000000, 3000000} << 2 << last30.arg(5);
    QTest::newRow("4 in 30 and 4 more in 90 days")
        << QList<qint64>{0, 1, 2, 3, 2592001, 4000000, 7776000, 7776000} << 1 << last90.arg(8);
    QTest::newRow("90 days end at 7776001 s")
        << QList<qint64>{0, 1, 2, 3, 2592001, 4000000, 7776000, 7776001} << 0 << "";
    QTest::newRow("future and missing dates do not count")
        << QList<qint64>{-1, -50, now, now + 1, 0, 1, 2, 3} << 0 << "";
}

void ModIoModTest::authorHistory()
{
    QFETCH(QList<qint64>, ages);
    QFETCH(int, score);
    QFETCH(QString, reason);
    QJsonArray data;
    for (const qint64 age : ages)
        data.append(QJsonObject{{"id", 1}, {"date_live", qMax<qint64>(0, now - age)}});
    // A missing date and the earliest one a number holds (which must not overflow the age) do not count.
    data.append(QJsonObject{{"id", 2}});
    data.append(QJsonObject{{"id", 3}, {"date_live", std::numeric_limits<qint64>::min()}});
    ModIoQuickCheckReport report{1, {"x"}, {}};
    addModIoAuthorHistory(report, QJsonDocument(QJsonObject{{"data", data}}), now);
    QCOMPARE(report.authorNote,
             QStringLiteral("Öffentliche Mod-Historie des Autors: %1 Einträge in der geprüften Auswahl.")
                 .arg(ages.size() + 2));
    QCOMPARE(report.score, 1 + score);
    QCOMPARE(report.reasons, QStringList({"x", reason}).mid(0, reason.isEmpty() ? 1 : 2));

    // An answer that is no object adds nothing.
    ModIoQuickCheckReport untouched{1, {"x"}, {}};
    addModIoAuthorHistory(untouched, QJsonDocument(data), now);
    QCOMPARE(untouched.authorNote, QString());
    QCOMPARE(untouched.score, 1);
}

void ModIoModTest::reportText()
{
    const QStringList levels = {"wenige oder keine automatischen Auffälligkeiten",
                                "mehrere Indizien vorhanden", "auffällige Häufung von Indizien"};
    for (const int score : {-1, 0, 1, 2, 3, 4, 9})
        QCOMPARE(modIoQuickCheckLevelText(score), levels.at(score < 2 ? 0 : score < 4 ? 1 : 2));

    const QString text = modIoQuickCheckReportText(QStringLiteral("Lok %2"), {2, {"a", "b"}, "Notiz."});
    QVERIFY2(text.startsWith("Schnellprüfung für: Lok %2\n\nErgebnis: mehrere Indizien vorhanden\n"
                             "Indizien-Punktwert: 2\n\nNotiz.\n\nGefundene Hinweise:\n- a\n- b\n\nNicht "
                             "automatisch geprüft"),
             qPrintable(text));
}

void ModIoModTest::counts_data()
{
    QTest::addColumn<qint64>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("plain") << qint64(999) << "999";
    QTest::newRow("thousand") << qint64(1000) << "1.0 Tsd.";
    QTest::newRow("one decimal below 100 thousand") << qint64(99949) << "99.9 Tsd.";
    QTest::newRow("none from 100 thousand") << qint64(100000) << "100 Tsd.";
    QTest::newRow("just below a million") << qint64(999999) << "1000 Tsd.";
    QTest::newRow("million") << qint64(1250000) << "1.3 Mio.";
    QTest::newRow("none from 10 million") << qint64(12500000) << "13 Mio.";
}

void ModIoModTest::counts()
{
    QFETCH(qint64, value);
    QTEST(formatModIoCount(value), "text");
}

void ModIoModTest::starsAndRatingFilter_data()
{
    QTest::addColumn<int>("percent");
    QTest::addColumn<qint64>("ratings");
    QTest::addColumn<QString>("stars");
    QTest::addColumn<QString>("passes"); // filter values 0–6 that let the record through
    const auto row = [](const char *tag, int percent, qint64 ratings, const QString &stars,
                        const QString &passes) {
        QTest::newRow(tag) << percent << ratings << stars << passes;
    };
    row("no ratings", 90, qint64(0), "☆☆☆☆☆", "06");
    row("share unknown", -1, qint64(4), "☆☆☆☆☆", "0");
    row("0 %", 0, qint64(4), "★☆☆☆☆", "01");
    row("20 %", 20, qint64(4), "★☆☆☆☆", "01");
    row("21 %", 21, qint64(4), "★★☆☆☆", "012");
    row("60 %", 60, qint64(4), "★★★☆☆", "0123");
    row("80 %", 80, qint64(4), "★★★★☆", "01234");
    row("81 %", 81, qint64(4), "★★★★★", "012345");
    row("above 100 %", 140, qint64(1), "★★★★★", "012345");
}

void ModIoModTest::starsAndRatingFilter()
{
    QFETCH(int, percent);
    QFETCH(qint64, ratings);
    const ModIoMod mod = record("1", "x", "y", 0, 0, percent, ratings);
    QTEST(modIoStarText(modIoRatingStars(mod)), "stars");
    QString passes;
    for (int value = 0; value <= 6; ++value) {
        if (passesModIoRating(mod, value))
            passes += QString::number(value);
    }
    QTEST(passes, "passes");
}

void ModIoModTest::filterAndOrder_data()
{
    QTest::addColumn<QString>("search");
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("category");
    QTest::addColumn<int>("rating");
    QTest::addColumn<QString>("sort");
    QTest::addColumn<QStringList>("ids");
    const auto row = [](const char *tag, const QString &search, const QString &source,
                        const QString &category, int rating, const QString &sort, const QStringList &ids) {
        QTest::newRow(tag) << search << source << category << rating << sort << ids;
    };

    row("popular: subscribers, downloads, then name", "", "all", "", 0, "popular",
        QStringList{"3", "5", "2", "1", "4"});
    row("name, umlauts by the locale", "", "all", "", 0, "name", QStringList{"2", "3", "5", "4", "1"});
    row("downloads", "", "all", "", 0, "downloads", QStringList{"4", "2", "1", "3", "5"});
    row("updated", "", "all", "", 0, "updated", QStringList{"4", "2", "1", "3", "5"});
    row("rating: weighted, share, count, name", "", "all", "", 0, "rating",
        QStringList{"2", "1", "5", "3", "4"});
    row("search in summary and tags", "tunnel", "all", "", 0, "popular", QStringList{"4"});
    row("search ignores case", "BAHNHOF", "all", "", 0, "popular", QStringList{"3", "5"});
    row("author search looks at authors only", "@tunnelbau", "all", "", 0, "popular", QStringList{"4"});
    row("author search does not look at names", "@bahnhof", "all", "", 0, "popular", QStringList{});
    row("category by tag name", "", "all", "TRAINS", 0, "popular", QStringList{"1"});
    row("category by display text", "", "all", "|bahnhöfe", 0, "popular", QStringList{"3"});
    row("at least four stars", "", "all", "", 4, "popular", QStringList{"5", "2", "1"});
    row("not rated", "", "all", "", 6, "popular", QStringList{"4"});
    row("subscribed only", "", "subscribed", "", 0, "popular", QStringList{"3", "1"});
    row("installed only", "", "installed", "", 0, "popular", QStringList{"5", "4"});
}

void ModIoModTest::filterAndOrder()
{
    QFETCH(QString, search);
    QFETCH(QString, source);
    QFETCH(QString, category);
    QFETCH(int, rating);
    QFETCH(QString, sort);
    const QList<ModIoMod> mods = sample();
    ModIoSearchIndex index;
    index.update(mods);
    ModIoFilter filter;
    filter.search = parseModIoSearch(search.toLower());
    filter.source = modIoSourceFromKey(source);
    filter.categoryKey = category.section(QLatin1Char('|'), 0, 0);
    filter.categoryText = category.section(QLatin1Char('|'), 1);
    filter.ratingValue = rating;
    filter.sortKey = sort;
    // Dora is hidden by name, whatever the spelling; her record only shows where the blacklist is empty.
    ModIoFilterContext context{{"1", "3"}, {"4", "5"}, {}};
    QStringList ids;
    for (const int i : filterModIoRecords(mods, index, filter, context))
        ids.append(mods.at(i).id);
    QTEST(ids, "ids");

    context.blacklist = {{QString(), QStringLiteral("  DORA ")}};
    ids.clear();
    for (const int i : filterModIoRecords(mods, index, filter, context))
        ids.append(mods.at(i).id);
    QVERIFY(!ids.contains("5"));
}

void ModIoModTest::blacklist()
{
    const QList<ModIoBlockedAuthor> read = parseAuthorBlacklist(
        R"(  [{"id": 77, "name": " Anna "}, {"id": "", "name": ""}, {"name": "Bernd  Bauer"}, 5, {"id": " 77 "}] )");
    QCOMPARE(read.size(), 3);
    QCOMPARE(read.at(0).id, "77");
    QCOMPARE(read.at(0).name, "Anna");
    QVERIFY(parseAuthorBlacklist(R"({"id": "1"})").isEmpty());
    QCOMPARE(blockedAuthorIds(read), QStringList{"77"});

    ModIoMod mod = record("1", "x", "bernd bauer", 0, 0);
    mod.author = QStringLiteral(" BERND   bauer ");
    QVERIFY(isModIoAuthorBlocked(read, mod));
    mod.author = QStringLiteral("Bernd");
    QVERIFY(!isModIoAuthorBlocked(read, mod));
    mod.submittedById = QStringLiteral("77");
    QVERIFY(isModIoAuthorBlocked(read, mod));

    QList<ModIoBlockedAuthor> list;
    QVERIFY(blockModIoAuthor(list, record("2", "y", " Clara ", 0, 0)));
    QCOMPARE(list.last().name, "Clara");
    QVERIFY(!blockModIoAuthor(list, record("3", "z", "clara", 0, 0)));
    ModIoMod nobody;
    QVERIFY(!blockModIoAuthor(list, nobody));
    QCOMPARE(list.size(), 1);
}

void ModIoModTest::installStateAndRowPill_data()
{
    QTest::addColumn<bool>("installed");
    QTest::addColumn<QString>("installedFile");
    QTest::addColumn<QString>("modfile");
    QTest::addColumn<bool>("subscribed");
    QTest::addColumn<QString>("pill");
    const auto row = [](const char *tag, bool installed, const QString &installedFile, const QString &modfile,
                        bool subscribed, const QString &pill) {
        QTest::newRow(tag) << installed << installedFile << modfile << subscribed << pill;
    };
    row("other file installed", true, "10", "11", true, "Update");
    row("same file", true, "11", "11", true, "installiert");
    row("installed file unknown", true, "", "11", false, "installiert");
    row("current file unknown", true, "10", "", false, "installiert");
    row("subscribed only", false, "10", "11", true, "abonniert");
    row("neither", false, "", "11", false, "");
}

void ModIoModTest::installStateAndRowPill()
{
    QFETCH(bool, installed);
    QFETCH(QString, installedFile);
    QFETCH(QString, modfile);
    QFETCH(bool, subscribed);
    ModIoMod mod = record("9", "x", QString(), 1500, 20, 50, 2);
    mod.modfileId = modfile;
    mod.subscribed = subscribed;
    mod.summary = QString(120, QLatin1Char('a'));
    const QSet<QString> ids = installed ? QSet<QString>{"9"} : QSet<QString>{};
    const ModIoRowTexts texts =
        modIoRowTexts(mod, modIoInstallState(mod, ids, {{QStringLiteral("9"), installedFile}}));
    QTEST(texts.pill, "pill");
    QCOMPARE(texts.byline, "von Unbekannt");
    QCOMPARE(texts.summary.size(), 113);
    QVERIFY2(texts.statistics.startsWith("★★★☆☆  50 % positiv") &&
                 texts.statistics.endsWith("★ 1.5 Tsd. Abos"),
             qPrintable(texts.statistics));
}

void ModIoModTest::foldersToDelete_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<bool>("deleted");
    QTest::newRow("mod id") << "123" << true;
    QTest::newRow("no such folder") << "124" << false;
    QTest::newRow("parent") << ".." << false;
    QTest::newRow("nested path") << "123/sub" << false;
    QTest::newRow("letters") << "abc" << false;
    QTest::newRow("empty") << "" << false;
}

void ModIoModTest::foldersToDelete()
{
    TestEnvironment environment;
    const QString mods = environment.makeDir("modio/mods");
    environment.makeDir("modio/mods/123/sub");
    environment.makeDir("modio/mods/abc");
    QFETCH(QString, id);
    QFETCH(bool, deleted);
    const QString folder = modIoFolderToDelete(mods, id);
    QCOMPARE(folder, deleted ? QDir(mods).absoluteFilePath(id) : QString());
    QVERIFY(modIoFolderToDelete(QString(), id).isEmpty());
}

QTEST_GUILESS_MAIN(ModIoModTest)
#include "tst_modiomod.moc"
