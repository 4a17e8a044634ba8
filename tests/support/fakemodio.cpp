#include "fakemodio.h"

#include "app/settings.h"

#include <QCryptographicHash>
#include <QJsonDocument>
#include <QSettings>

namespace {
FakeResponse json(int status, const QJsonObject &object)
{
    FakeResponse response;
    response.status = status;
    response.headers.append({QByteArray("content-type"), QByteArray("application/json")});
    response.body = QJsonDocument(object).toJson(QJsonDocument::Compact);
    return response;
}
} // namespace

QString modIoPath(const QString &modId, const QString &below)
{
    return QStringLiteral("/v1/games/73160/mods/") + modId + below;
}

FakeModIoService::FakeModIoService()
{
    server.setHandler([this](const RecordedRequest &request, FakeResponse *response) {
        const QStringList parts = QString::fromUtf8(request.path.split('?').first()).split('/');
        if (parts.size() == 4 && parts.at(1) == QLatin1String("dl")) {
            response->status = downloads.contains(parts.at(2)) ? 200 : 404;
            response->body = downloads.value(parts.at(2));
            return true;
        }
        // "", "v1", "games", "73160", "mods", <id>, [what], [file id]
        if (parts.size() < 6 || parts.at(4) != QLatin1String("mods"))
            return false;
        const QString id = parts.at(5);
        const QString what = parts.value(6);
        const int failed = what.isEmpty() && !mods.contains(id)                  ? 404
                           : what == QLatin1String("files") && parts.size() == 7 ? filesStatus
                           : what == QLatin1String("dependencies")               ? dependenciesStatus
                           : what == QLatin1String("subscribe")                  ? subscribeStatus
                                                                                 : 200;
        if (failed != 200) {
            *response =
                json(failed, {{"error", QJsonObject{{"message", QStringLiteral("Fehler %1").arg(failed)}}}});
            return true;
        }
        QJsonArray data;
        if (what.isEmpty()) {
            *response = json(200, mods.value(id));
        } else if (what == QLatin1String("files") && parts.size() == 8) {
            *response = json(404, {});
            for (const QJsonValue &file : files.value(id)) {
                if (file.toObject().value("id").toVariant().toString() == parts.at(7))
                    *response = json(200, served(file.toObject()));
            }
        } else if (what == QLatin1String("files") || what == QLatin1String("dependencies")) {
            for (const QJsonValue &entry : (what == QLatin1String("files") ? files : dependencies).value(id))
                data.append(what == QLatin1String("files") ? served(entry.toObject()) : entry);
            *response = json(200, {{"data", data}, {"result_total", data.size()}});
        } else if (what == QLatin1String("subscribe")) {
            *response = json(201, mods.value(id));
        } else {
            return false;
        }
        return true;
    });
}

QJsonObject FakeModIoService::modfile(const QString &fileId, const QByteArray &bytes, bool withMd5,
                                      const QList<QPair<QString, int>> &platforms)
{
    QJsonObject file{{"id", fileId.toLongLong()},
                     {"filename", QStringLiteral("file%1.zip").arg(fileId)},
                     {"filesize", bytes.size()},
                     {"version", QStringLiteral("1.%1").arg(fileId)},
                     {"download", QJsonObject{{"binary_url", "set when served"}}}};
    if (withMd5)
        file.insert(
            "filehash",
            QJsonObject{{"md5", QString::fromLatin1(
                                    QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex())}});
    QJsonArray list;
    for (const auto &platform : platforms)
        list.append(QJsonObject{{"platform", platform.first}, {"status", platform.second}});
    if (!list.isEmpty())
        file.insert("platforms", list);
    return file;
}

QJsonObject FakeModIoService::mod(const QString &id, const QJsonObject &file)
{
    return {{"id", id.toLongLong()},
            {"name", QStringLiteral("Mod %1").arg(id)},
            {"profile_url", QStringLiteral("https://example.invalid/m/%1").arg(id)},
            // Windows fetch logos: a closed port on this machine refuses them at once, no name is looked up.
            {"logo", QJsonObject{{"thumb_320x180", QStringLiteral("http://127.0.0.1:9/l/%1.png").arg(id)}}},
            {"modfile", file}};
}

void FakeModIoService::addMod(const QString &id, const QByteArray &bytes, bool withMd5)
{
    const QString fileId = id + QStringLiteral("00");
    const QJsonObject file = modfile(fileId, bytes, withMd5);
    mods.insert(id, mod(id, served(file)));
    files.insert(id, QJsonArray{file});
    downloads.insert(fileId, bytes);
}

void FakeModIoService::configure(const QString &key, const QString &token) const
{
    QSettings().setValue(QStringLiteral("modio/api_root"), server.url(QStringLiteral("/v1")));
    QSettings().setValue(QStringLiteral("modio/api_key"), key);
    storeModIoToken(token);
}

QStringList FakeModIoService::downloadPaths() const
{
    QStringList paths;
    for (const RecordedRequest &request : server.requests()) {
        if (request.path.startsWith("/dl/"))
            paths.append(QString::fromUtf8(request.path));
    }
    return paths;
}

int FakeModIoService::count(const QString &method, const QString &pathWithoutQuery) const
{
    int n = 0;
    for (const RecordedRequest &request : server.requests())
        n +=
            request.method == method.toUtf8() && request.path.split('?').first() == pathWithoutQuery.toUtf8();
    return n;
}

QJsonObject FakeModIoService::served(QJsonObject file)
{
    const QString fileId = file.value("id").toVariant().toString();
    file.insert(
        "download",
        QJsonObject{{"binary_url", server.url(QStringLiteral("/dl/%1/%2").arg(fileId).arg(++m_addresses))}});
    return file;
}
