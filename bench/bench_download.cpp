// Throughput of the download paths over loopback: a repository archive streamed to disk, with and without
// a declared SHA-256 to check on the way, and a mod file fetched into memory. All receive the same body from
// an in-process server, so the ratios show what streaming to disk and hashing cost.

#include "benchharness.h"
#include "install/download.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QNetworkAccessManager>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <cstdio>

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#endif

namespace {

constexpr int bodyMebibytes = 64;

// Peak resident memory of the process in KiB, or -1.
long peakResidentKiB()
{
#ifdef Q_OS_UNIX
    rusage usage{};
    if (getrusage(RUSAGE_SELF, &usage) == 0)
        return usage.ru_maxrss;
#endif
    return -1;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);

    QByteArray body(bodyMebibytes * 1024 * 1024, Qt::Uninitialized);
    for (qsizetype i = 0; i < body.size(); ++i)
        body[i] = char((i * 131) ^ (i >> 9));
    body.replace(0, 4, QByteArray::fromHex("504B0304"));
    const QByteArray response =
        "HTTP/1.1 200 OK\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body;

    QTcpServer server;
    QObject::connect(&server, &QTcpServer::newConnection, &server, [&server, &response] {
        while (QTcpSocket *socket = server.nextPendingConnection()) {
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [socket, &response] {
                socket->readAll();
                socket->write(response);
            });
            QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
    if (!server.listen(QHostAddress::LocalHost, 0)) {
        std::printf("cannot listen on 127.0.0.1\n");
        return 1;
    }
    const QString url = QStringLiteral("http://127.0.0.1:%1/pack.zip").arg(server.serverPort());

    QNetworkAccessManager manager;
    RepoMod entry;
    entry.name = QStringLiteral("Bench");
    entry.downloadUrl = url;
    entry.fileName = QStringLiteral("pack.zip");
    entry.sha256 = QString::fromLatin1(QCryptographicHash::hash(body, QCryptographicHash::Sha256).toHex());

    RepoMod unchecked = entry;
    unchecked.sha256.clear();

    bool ok = true;
    auto streamedWith = [&](const RepoMod &download) {
        QTemporaryDir folder;
        QString first;
        QString error;
        if (!downloadRepositoryArchives(manager, download, folder.path(), {}, &first, &error)) {
            std::printf("download failed: %s\n", qPrintable(error));
            ok = false;
        }
    };
    auto streamed = [&] {
        streamedWith(unchecked);
    };
    auto checked = [&] {
        streamedWith(entry);
    };
    auto inMemory = [&] {
        QByteArray data;
        if (!fetchBytes(manager, url, false, &data) || data.size() != body.size()) {
            std::printf("fetch failed\n");
            ok = false;
        }
        bench::keep(data.size());
    };

    const long baseKiB = peakResidentKiB();
    streamed();
    const long afterStreamKiB = peakResidentKiB();
    inMemory();
    const long afterFetchKiB = peakResidentKiB();

    bench::Result streamResult;
    bench::Result memoryResult;
    bench::Result checkedResult;
    bench::Result streamAgainResult;
    bench::fastestAlternating(streamed, inMemory, 5, &streamResult, &memoryResult, bodyMebibytes);
    bench::fastestAlternating(checked, streamed, 3, &checkedResult, &streamAgainResult, bodyMebibytes);
    if (!ok)
        return 1;

    std::printf("%d MiB body over loopback, fastest of several rounds each\n", bodyMebibytes);
    bench::report("archive streamed to disk", streamResult, "MiB");
    bench::report("mod file fetched into memory", memoryResult, "MiB");
    bench::report("archive streamed, SHA-256 checked", checkedResult, "MiB");
    std::printf("streamed / in-memory time: %.2f\n", bench::ratio(streamResult, memoryResult));
    std::printf("checked / unchecked stream time: %.2f\n", bench::ratio(checkedResult, streamAgainResult));
    // Both figures include the in-process server's copy of the body in its send buffer.
    if (baseKiB >= 0) {
        std::printf("peak memory growth: streamed %ld KiB, in-memory %ld KiB more\n",
                    afterStreamKiB - baseKiB, afterFetchKiB - afterStreamKiB);
    }
    return 0;
}
