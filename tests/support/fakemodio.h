#pragma once

#include "testsupport.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QStringList>

// The mod.io endpoints of the direct installation, served on 127.0.0.1: mod objects, file lists and single
// files, dependencies, the subscription, and the downloads themselves. Every file list or file it serves
// carries a fresh download address, "/dl/<file id>/<n>", as the service's expiring addresses do.
class FakeModIoService
{
public:
    FakeModIoService();

    // A modfile object of fileId for bytes; platforms are (name, status) pairs, none for a file without list.
    static QJsonObject modfile(const QString &fileId, const QByteArray &bytes, bool withMd5 = true,
                               const QList<QPair<QString, int>> &platforms = {});
    // A mod object whose live file is file.
    static QJsonObject mod(const QString &id, const QJsonObject &file);

    // Serves mod id with its live file, that file as its only listed file, and bytes as its download.
    void addMod(const QString &id, const QByteArray &bytes, bool withMd5 = true);
    // Points "modio/api_root" here and stores key and token.
    void configure(const QString &key, const QString &token) const;
    // Paths of the download requests, in order.
    QStringList downloadPaths() const;
    int count(const QString &method, const QString &pathWithoutQuery) const;

    FakeHttpServer server;
    QHash<QString, QJsonObject> mods;
    QHash<QString, QJsonArray> files;
    QHash<QString, QJsonArray> dependencies;
    QHash<QString, QByteArray> downloads; // by file id
    int subscribeStatus = 200;
    int filesStatus = 200;
    int dependenciesStatus = 200;

private:
    QJsonObject served(QJsonObject file);
    int m_addresses = 0;
};

// The API path of a mod below the game, e.g. "/v1/games/73160/mods/7/files".
QString modIoPath(const QString &modId, const QString &below = QString());
