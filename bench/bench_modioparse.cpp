#include "benchharness.h"
#include "modio/modiomod.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QSet>

#include <cstdio>
#include <iterator>

// One page of the mod.io list (100 mods, the largest page the program asks for) read into records, against
// what reading the same bytes costs anyway: the JSON parser plus one visit of every value. The difference is
// the price of the record rules and the quick check's first stage.
namespace {

const char *const vocabulary[] = {"Die",    "Lok",      "fährt",       "mit",     "einer",   "neuen",
                                  "Textur", "und",      "stunning",    "details", "Version", "LOD",
                                  "Wagen",  "Baureihe", "einzigartig", "Sound",   "Strecke", "the",
                                  "train",  "iconic",   "Kapazität",   "Bahnhof", "Signal",  "Mesh"};

QString description(QRandomGenerator &random, int words, bool sections)
{
    QString text;
    for (int i = 0; i < words; ++i) {
        if (sections && i % 90 == 0)
            text += QStringLiteral("\n## ") +
                    QStringList{"Deutsch", "English", "Français", "Polski"}.at(i / 90 % 4) +
                    QLatin1Char('\n');
        text += QString::fromUtf8(vocabulary[random.bounded(int(std::size(vocabulary)))]) + QLatin1Char(' ');
    }
    return text;
}

QJsonObject modObject(QRandomGenerator &random, int index)
{
    const int id = 4000000 + index;
    const bool longText = index % 3 == 0;
    const QString plain = description(random, longText ? 700 : 150, index % 4 == 0);
    QJsonArray images;
    for (int i = 0; i < index % 4; ++i)
        images.append(QJsonObject{
            {"filename", "shot.png"},
            {"original", QStringLiteral("https://image.modcdn.io/%1/%2.png").arg(id).arg(i)},
            {"thumb_320x180", QStringLiteral("https://thumb.modcdn.io/%1/%2.png").arg(id).arg(i)}});
    QJsonArray tags;
    for (const char *tag : {"Fahrzeuge", "Züge", "Epoche III"})
        tags.append(QJsonObject{{"name", tag}, {"name_localized", tag}, {"date_added", 1700000000}});
    return QJsonObject{
        {"id", id},
        {"game_id", 73160},
        {"status", 1},
        {"visible", 1},
        {"submitted_by",
         QJsonObject{{"id", 100 + index % 17},
                     {"name_id", QStringLiteral("autor-%1").arg(index % 17)},
                     {"username", index % 5 == 0 ? QStringLiteral("modio_user%1").arg(index)
                                                 : QStringLiteral("Autor %1").arg(index % 17)},
                     {"display_name_portal", QJsonValue::Null},
                     {"date_online", 1700000000},
                     {"profile_url", "https://mod.io/u/autor"}}},
        {"date_added", 1690000000 + index},
        {"date_updated", 1700000000 + index},
        {"date_live", 1695000000 + index},
        {"logo",
         QJsonObject{{"filename", "logo.png"},
                     {"original", QStringLiteral("https://image.modcdn.io/%1/logo.png").arg(id)},
                     {"thumb_320x180", QStringLiteral("https://thumb.modcdn.io/%1/logo_320.png").arg(id)},
                     {"thumb_640x360", QStringLiteral("https://thumb.modcdn.io/%1/logo_640.png").arg(id)}}},
        {"name", QStringLiteral("Baureihe %1 – Paket").arg(100 + index)},
        {"name_id", QStringLiteral("baureihe-%1").arg(100 + index)},
        {"summary", QStringLiteral("Eine Lok der Baureihe %1 mit Sound und Varianten.").arg(100 + index)},
        {"description", QString(QStringLiteral("<p>") + plain + QStringLiteral("</p>"))},
        {"description_plaintext", plain},
        {"profile_url", QStringLiteral("https://mod.io/g/ferroline3/m/baureihe-%1").arg(100 + index)},
        {"media", QJsonObject{{"youtube", QJsonArray()}, {"sketchfab", QJsonArray()}, {"images", images}}},
        {"modfile",
         QJsonObject{{"id", 5000000 + index},
                     {"mod_id", id},
                     {"date_added", 1700000000},
                     {"date_updated", 1700000500 + index},
                     {"filesize", 15000000 + index},
                     {"filehash", QJsonObject{{"md5", "2D4A0E2D7273DB6B0A94B0740A88AD0D"}}},
                     {"filename", QStringLiteral("baureihe_%1.zip").arg(100 + index)},
                     {"version", QStringLiteral("1.%1").arg(index % 9)},
                     {"changelog", "Fehler behoben."},
                     {"download",
                      QJsonObject{{"binary_url", QStringLiteral("https://g-73160.modapi.io/v1/games/73160/"
                                                                "mods/%1/files/%2/download")
                                                     .arg(id)
                                                     .arg(5000000 + index)},
                                  {"date_expires", 1700100000}}},
                     {"platforms", QJsonArray{QJsonObject{{"platform", "windows"}, {"status", 1}}}}}},
        {"platforms", QJsonArray{QJsonObject{{"platform", "windows"}, {"modfile_live", 5000000 + index}}}},
        {"tags", tags},
        {"stats", QJsonObject{{"mod_id", id},
                              {"downloads_total", 1000 + index * 37},
                              {"subscribers_total", 300 + index * 11},
                              {"ratings_total", index * 3},
                              {"ratings_positive", index * 2},
                              {"ratings_negative", index},
                              {"ratings_percentage_positive", 66},
                              {"ratings_weighted_aggregate", 0.61},
                              {"ratings_display_text", "Mostly Positive"}}},
    };
}

qint64 visit(const QJsonValue &value)
{
    switch (value.type()) {
    case QJsonValue::Object: {
        const QJsonObject object = value.toObject();
        qint64 sum = 0;
        for (auto it = object.constBegin(); it != object.constEnd(); ++it)
            sum += it.key().size() + visit(it.value());
        return sum + 1;
    }
    case QJsonValue::Array: {
        qint64 sum = 0;
        const QJsonArray array = value.toArray();
        for (const QJsonValue &element : array)
            sum += visit(element);
        return sum + 1;
    }
    case QJsonValue::String:
        return value.toString().size();
    case QJsonValue::Double:
        return qint64(value.toDouble()) & 1;
    default:
        return 1;
    }
}

} // namespace

int main()
{
    const int mods = 100;
    QRandomGenerator random(73160);
    QJsonArray data;
    for (int i = 0; i < mods; ++i)
        data.append(modObject(random, i));
    const QByteArray page = QJsonDocument(QJsonObject{{"data", data},
                                                      {"result_count", mods},
                                                      {"result_offset", 0},
                                                      {"result_limit", mods},
                                                      {"result_total", 5400}})
                                .toJson(QJsonDocument::Compact);
    const QSet<QString> subscribed = {QStringLiteral("4000003"), QStringLiteral("4000050")};

    qint64 flagged = 0;
    const QJsonArray parsed = QJsonDocument::fromJson(page).object().value("data").toArray();
    for (const QJsonValue &element : parsed)
        flagged += parseModIoMod(element.toObject(), subscribed).quickCheckScore >= 2;

    bench::Result parseResult;
    bench::Result jsonResult;
    bench::fastestAlternating(
        [&] {
            const QJsonArray list = QJsonDocument::fromJson(page).object().value("data").toArray();
            QList<ModIoMod> records;
            records.reserve(list.size());
            for (const QJsonValue &element : list)
                records.append(parseModIoMod(element.toObject(), subscribed));
            bench::keep(records.size());
        },
        [&] {
            const QJsonDocument json = QJsonDocument::fromJson(page);
            bench::keep(visit(json.object()));
        },
        200, &parseResult, &jsonResult);

    std::printf("page: %d mods, %.1f KiB, %lld with a quick-check badge\n", mods,
                double(page.size()) / 1024.0, static_cast<long long>(flagged));
    std::printf("fromJson + parseModIoMod: %.2f ms %s time per page (fastest of 200; target < 5 ms)\n",
                parseResult.nanosecondsPerOperation() / 1e6, parseResult.clockName());
    std::printf("fromJson + walk:          %.2f ms %s time per page (fastest of 200)\n",
                jsonResult.nanosecondsPerOperation() / 1e6, jsonResult.clockName());
    std::printf("ratio parse / (fromJson + walk): %.2f\n", bench::ratio(parseResult, jsonResult));
    return 0;
}
