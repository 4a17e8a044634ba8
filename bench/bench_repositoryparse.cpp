#include "benchharness.h"
#include "catalog/repomod.h"
#include "catalog/repositoryparser.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>

#include <cstdio>

// Parsing a large repository document against what reading the same bytes costs anyway: the JSON parser
// plus one visit of every value. The difference is the price of the catalog rules.
namespace {

QString sha(QRandomGenerator &random)
{
    QString text;
    for (int i = 0; i < 64; ++i)
        text.append(QLatin1Char("0123456789ABCDEF"[random.bounded(16)]));
    return text;
}

QJsonObject fileObject(QRandomGenerator &random, int entry, int fileId, const QString &version,
                       const QString &name)
{
    return QJsonObject{
        {"file_id", fileId},
        {"version", version},
        {"filename", name},
        {"download_url", QStringLiteral("/filebase/entry-download/%1/?fileID=%2").arg(entry).arg(fileId)},
        {"sha256", sha(random)},
        {"published_at", QStringLiteral("2024-%1-%2T10:00:00+00:00")
                             .arg(1 + fileId % 12, 2, 10, QLatin1Char('0'))
                             .arg(1 + fileId % 28, 2, 10, QLatin1Char('0'))},
        {"filesize", 1000000 + fileId * 37},
    };
}

QByteArray makeDocument(int entries)
{
    QRandomGenerator random(4242);
    QJsonObject categories;
    const QStringList categoryNames = {
        "Lokomotiven",           "Wagen",      "Bahnhöfe",      "Signale", "Gebäude", "Skripte",
        "Werkzeuge &amp; Tools", "Landschaft", "Straßenbahnen", "Busse"};
    for (int i = 0; i < categoryNames.size(); ++i)
        categories.insert(QString::number(i + 1), QJsonObject{{"name", categoryNames.at(i)}});

    QJsonArray files;
    for (int i = 0; i < entries; ++i) {
        const int id = 1000 + i;
        const QString version = QStringLiteral("%1.%2.%3").arg(1 + i % 4).arg(i % 13).arg(i % 3);
        const QString base = QStringLiteral("Mod_%1").arg(id);
        QJsonObject entry{
            {"id", id},
            {"name", QStringLiteral("Modell %1 – Baureihe %2").arg(id).arg(100 + i % 900)},
            {"author", QJsonObject{{"name", QStringLiteral("Autor%1").arg(i % 700)}, {"id", i % 700}}},
            {"version", version},
            {"description", QStringLiteral("<p>Eine <b>detaillierte</b> Nachbildung der Baureihe %1.<br/>"
                                           "Mit Sound, Innenraum &amp; Varianten.</p><p>Version %2</p>")
                                .arg(100 + i % 900)
                                .arg(version)},
            {"entry_url", QStringLiteral("/filebase/entry/%1-modell/").arg(id)},
            {"preview_url", QStringLiteral("https://cdn.trackhaven.example/previews/%1.webp").arg(id)},
            {"category_id", 1 + i % categoryNames.size()},
            {"tags", QStringLiteral("dampf; epoche %1|DB, sound").arg(1 + i % 6)},
            {"custom_fields",
             QJsonObject{{"option8", QJsonObject{{"value", version}}},
                         {"option20", QJsonObject{{"value", QString::number(2000000 + i)}}}}},
            {"downloads", 100 + i * 7},
            {"likes", i % 300},
        };
        QJsonArray entryFiles;
        if (i % 10 == 0) {
            // A multi-volume upload of the current version.
            for (int part = 1; part <= 3; ++part) {
                entryFiles.append(
                    fileObject(random, id, id * 10 + part, version,
                               QStringLiteral("%1_%2.part%3.rar").arg(base, version).arg(part)));
            }
        } else {
            entryFiles.append(fileObject(random, id, id * 10 + 1, QStringLiteral("0.9"),
                                         QStringLiteral("%1_0.9.zip").arg(base)));
            entryFiles.append(
                fileObject(random, id, id * 10 + 2, version, QStringLiteral("%1_%2.zip").arg(base, version)));
        }
        entry.insert("files", entryFiles);
        entry.insert("latest_file", entryFiles.last());
        if (i % 8 == 0) {
            entry.insert("dependencies",
                         QJsonArray{QJsonObject{{"id", QString::number(1000 + (i + 17) % entries)},
                                                {"name", QStringLiteral("Basispaket %1").arg(i % 50)},
                                                {"minimum_version", "1.2"}}});
        }
        files.append(entry);
    }
    return QJsonDocument(QJsonObject{{"name", "Benchmark"}, {"categories", categories}, {"files", files}})
        .toJson(QJsonDocument::Compact);
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
    const int entries = 20000;
    const QByteArray document = makeDocument(entries);
    RepositoryConfig repository;
    repository.name = QStringLiteral("Trackhaven");
    repository.jsonUrl = QStringLiteral("https://trackhaven.example/filebase/repos/fx3-v3.json");
    repository.baseUrl = QStringLiteral("https://trackhaven.example/");
    repository.websiteUrl = repository.baseUrl;

    QList<RepoMod> check;
    QString error;
    if (parseRepositoryDocument(document, repository, check, &error) != entries) {
        std::printf("document did not parse: %s\n", qPrintable(error));
        return 1;
    }
    qint64 parts = 0;
    qint64 tools = 0;
    for (const RepoMod &mod : std::as_const(check)) {
        parts += mod.parts.size();
        tools += mod.isTool;
    }

    // One call takes a good part of a second, so each side is timed per call, alternately, and its
    // fastest call counts.
    bench::Result parseResult;
    bench::Result jsonResult;
    bench::fastestAlternating(
        [&] {
            QList<RepoMod> catalog;
            bench::keep(parseRepositoryDocument(document, repository, catalog));
        },
        [&] {
            const QJsonDocument json = QJsonDocument::fromJson(document);
            bench::keep(visit(json.object()));
        },
        7, &parseResult, &jsonResult);

    std::printf("document: %d entries, %.1f MiB, %lld volumes, %lld tools\n", entries,
                double(document.size()) / (1024.0 * 1024.0), static_cast<long long>(parts),
                static_cast<long long>(tools));
    std::printf("parseRepositoryDocument: %.1f ms %s time per document (fastest of 7), %.2f us per entry\n",
                parseResult.nanosecondsPerOperation() / 1e6, parseResult.clockName(),
                parseResult.nanosecondsPerOperation() / 1e3 / entries);
    std::printf("QJsonDocument::fromJson + walk: %.1f ms %s time per document (fastest of 7)\n",
                jsonResult.nanosecondsPerOperation() / 1e6, jsonResult.clockName());
    std::printf("ratio parse / (fromJson + walk): %.2f (target <= 3)\n",
                bench::ratio(parseResult, jsonResult));
    return 0;
}
