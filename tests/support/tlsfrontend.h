#pragma once

#include <QSslServer>
#include <QString>

class FakeHttpServer;
class QNetworkAccessManager;

// Serves a FakeHttpServer over https: terminates TLS on 127.0.0.1 with a self-signed certificate and passes
// the plain bytes on to the server, so redirects between https and http can be tested against one recorder.
class TlsFrontend
{
public:
    explicit TlsFrontend(const FakeHttpServer &backend);
    TlsFrontend(const TlsFrontend &) = delete;
    TlsFrontend &operator=(const TlsFrontend &) = delete;

    bool isListening() const { return m_server.isListening(); }
    // "https://127.0.0.1:<port>" followed by path.
    QString url(const QString &path = QString()) const;

private:
    void onEncrypted();

    QSslServer m_server;
    quint16 m_backendPort = 0;
};

// Lets every request of manager accept the front end's self-signed certificate.
void trustTlsFrontend(QNetworkAccessManager &manager);
