#include "testsupport.h"

#include "app/appinfo.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>

namespace {
const char *const isolatedVariables[] = {"HOME",           "XDG_CONFIG_HOME", "XDG_DATA_HOME",
                                         "XDG_CACHE_HOME", "LOCALAPPDATA",    "DBUS_SESSION_BUS_ADDRESS"};
}

TestEnvironment::TestEnvironment()
{
    for (const char *name : isolatedVariables) {
        if (qEnvironmentVariableIsSet(name))
            m_saved.insert(name, qgetenv(name));
        else
            m_unset.append(name);
    }
    QDir(root()).mkpath(QStringLiteral("home"));
    QDir(root()).mkpath(QStringLiteral("config"));
    QDir(root()).mkpath(QStringLiteral("data"));
    QDir(root()).mkpath(QStringLiteral("cache"));
    qputenv("HOME", home().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (root() + QStringLiteral("/config")).toLocal8Bit());
    qputenv("XDG_DATA_HOME", (root() + QStringLiteral("/data")).toLocal8Bit());
    qputenv("XDG_CACHE_HOME", (root() + QStringLiteral("/cache")).toLocal8Bit());
    qunsetenv("LOCALAPPDATA");
    // Nor the user's keyring: a session bus that does not exist makes the vault fail at once.
    qputenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + root() + "/no-session-bus").toLocal8Bit());
    // No test may reach the real community site: a window that loads its catalog gets a refused connection
    // on this machine instead. Tests that serve the site set their own root.
    setEnv("FX3MM_COMMUNITY_URL", "http://127.0.0.1:9/");

    QCoreApplication::setOrganizationName(QString::fromLatin1(AppInfo::organizationName));
    QCoreApplication::setApplicationName(QString::fromLatin1(AppInfo::applicationName));
    QStandardPaths::setTestModeEnabled(true);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, root() + QStringLiteral("/config"));
    // A window built here must never stop at the first-run setup; its own tests remove the key.
    QSettings().setValue(QStringLiteral("setup/completed"), true);
}

TestEnvironment::~TestEnvironment()
{
    for (auto it = m_saved.cbegin(); it != m_saved.cend(); ++it)
        qputenv(it.key().constData(), it.value());
    for (const QByteArray &name : std::as_const(m_unset))
        qunsetenv(name.constData());
}

QString TestEnvironment::home() const
{
    return root() + QStringLiteral("/home");
}

QString TestEnvironment::useLocalAppData()
{
    QString path = makeDir(QStringLiteral("localappdata"));
    qputenv("LOCALAPPDATA", path.toLocal8Bit());
    return path;
}

QString TestEnvironment::settingsFilePath() const
{
    return QSettings().fileName();
}

QString TestEnvironment::makeDir(const QString &relativePath) const
{
    QString path = QDir::cleanPath(root() + QLatin1Char('/') + relativePath);
    QDir().mkpath(path);
    return path;
}

QString TestEnvironment::writeFile(const QString &relativePath, const QByteArray &content) const
{
    QString path = QDir::cleanPath(root() + QLatin1Char('/') + relativePath);
    writeTestFile(path, content);
    return path;
}

void TestEnvironment::setEnv(const char *name, const QByteArray &value)
{
    if (!m_saved.contains(name) && !m_unset.contains(name)) {
        if (qEnvironmentVariableIsSet(name))
            m_saved.insert(name, qgetenv(name));
        else
            m_unset.append(name);
    }
    qputenv(name, value);
}

bool writeTestFile(const QString &path, const QByteArray &content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return file.write(content) == content.size();
}

QByteArray readTestFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

QStringList entriesOf(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                  QDir::Name);
}

QStringList filesBelow(const QString &folder)
{
    QStringList files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext())
        files.append(QDir(folder).relativeFilePath(it.next()));
    files.sort();
    return files;
}

QString sha256Of(const QByteArray &data)
{
    return QString::fromLatin1(QCryptographicHash::hash(data, QCryptographicHash::Sha256).toHex());
}

FakeHttpServer::FakeHttpServer() : m_server(new QTcpServer)
{
    QObject::connect(m_server, &QTcpServer::newConnection, m_server, [this] { onConnection(); });
    m_server->listen(QHostAddress(QHostAddress::LocalHost), 0);
}

FakeHttpServer::~FakeHttpServer()
{
    delete m_server;
}

bool FakeHttpServer::isListening() const
{
    return m_server->isListening();
}

quint16 FakeHttpServer::port() const
{
    return m_server->serverPort();
}

QString FakeHttpServer::url(const QString &path) const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(port()) + path;
}

void FakeHttpServer::setResponse(const QByteArray &path, const FakeResponse &response)
{
    m_responses.insert(path, response);
}

void FakeHttpServer::setResponse(const QByteArray &path, int status, const QByteArray &body,
                                 const QByteArray &contentType)
{
    FakeResponse response;
    response.status = status;
    response.body = body;
    response.headers.append({"Content-Type", contentType});
    setResponse(path, response);
}

void FakeHttpServer::setHandler(std::function<bool(const RecordedRequest &, FakeResponse *)> handler)
{
    m_handler = std::move(handler);
}

int FakeHttpServer::requestCount(const QByteArray &path) const
{
    int count = 0;
    for (const RecordedRequest &request : m_requests) {
        if (request.path == path || request.path.split('?').first() == path)
            ++count;
    }
    return count;
}

void FakeHttpServer::onConnection()
{
    while (QTcpSocket *socket = m_server->nextPendingConnection()) {
        QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { onReadyRead(socket); });
        QObject::connect(socket, &QTcpSocket::disconnected, socket, [this, socket] {
            m_buffers.remove(socket);
            socket->deleteLater();
        });
    }
}

void FakeHttpServer::onReadyRead(QTcpSocket *socket)
{
    QByteArray &buffer = m_buffers[socket];
    buffer += socket->readAll();
    for (;;) {
        int headerEnd = buffer.indexOf("\r\n\r\n");
        if (headerEnd < 0)
            return;
        const QList<QByteArray> lines = buffer.left(headerEnd).split('\n');
        RecordedRequest request;
        const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
        request.method = requestLine.value(0);
        request.path = requestLine.value(1);
        for (int i = 1; i < lines.size(); ++i) {
            int colon = lines[i].indexOf(':');
            if (colon > 0)
                request.headers.insert(lines[i].left(colon).trimmed().toLower(),
                                       lines[i].mid(colon + 1).trimmed());
        }
        int length = request.headers.value("content-length").toInt();
        if (buffer.size() < headerEnd + 4 + length)
            return;
        request.body = buffer.mid(headerEnd + 4, length);
        buffer.remove(0, headerEnd + 4 + length);
        m_requests.append(request);

        FakeResponse response;
        bool found = m_handler && m_handler(request, &response);
        if (!found) {
            const QByteArray plainPath = request.path.split('?').first();
            if (m_responses.contains(request.path)) {
                response = m_responses.value(request.path);
            } else if (m_responses.contains(plainPath)) {
                response = m_responses.value(plainPath);
            } else {
                response.status = 404;
                response.body = "not found";
            }
        }
        if (response.dropConnection) {
            socket->abort();
            return;
        }
        if (response.silent)
            continue;
        QByteArray reply = "HTTP/1.1 " + QByteArray::number(response.status) + " Status\r\n";
        bool hasLength = false;
        for (const auto &header : std::as_const(response.headers)) {
            if (header.first.compare("content-length", Qt::CaseInsensitive) == 0)
                hasLength = true;
            reply += header.first + ": " + header.second + "\r\n";
        }
        if (!hasLength)
            reply += "Content-Length: " + QByteArray::number(response.body.size()) + "\r\n";
        reply += "Connection: keep-alive\r\n\r\n";
        if (request.method != "HEAD")
            reply += response.body;
        socket->write(reply);
    }
}

MessagePrompts ScriptedPrompts::prompts()
{
    MessagePrompts prompts;
    auto record = [this](const char *kind) {
        return [this, kind](const QString &title, const QString &text) {
            messages.append(QLatin1String(kind) + QLatin1Char('|') + title + QLatin1Char('|') + text);
        };
    };
    prompts.information = record("information");
    prompts.warning = record("warning");
    prompts.critical = record("critical");
    prompts.question = [this](const QString &title, const QString &text, DefaultAnswer defaultAnswer) {
        messages.append(QStringLiteral("question|") + title + QLatin1Char('|') + text);
        questionDefaults.append(defaultAnswer == DefaultAnswer::Yes);
        return questionAnswers.isEmpty() ? defaultAnswer == DefaultAnswer::Yes : questionAnswers.takeFirst();
    };
    prompts.choice = [this](const QString &title, const QString &text, const QString &informativeText,
                            const QStringList &, int) {
        messages.append(QStringLiteral("choice|") + title + QLatin1Char('|') + text + QLatin1Char('|') +
                        informativeText);
        return choiceAnswers.isEmpty() ? 0 : choiceAnswers.takeFirst();
    };
    prompts.textInput = [this](const QString &title, const QString &label, bool, QString *text) {
        messages.append(QStringLiteral("input|") + title + QLatin1Char('|') + label);
        *text = textAnswers.isEmpty() ? QString() : textAnswers.takeFirst();
        return !text->isNull();
    };
    prompts.accessTokenDialog = [this](const std::function<void()> &openAccessPage,
                                       const std::function<bool(const QString &)> &accept) {
        openAccessPage();
        while (!tokenAnswers.isEmpty()) {
            if (accept(tokenAnswers.takeFirst()))
                return true;
        }
        return false;
    };
    prompts.openUrl = [this](const QUrl &url) {
        openedUrls.append(url.toString());
    };
    prompts.chooseFolder = [this](const QString &title, const QString &startFolder) {
        pickRequests.append(QStringLiteral("folder|") + title + QLatin1Char('|') + startFolder);
        return pickAnswers.isEmpty() ? QString() : pickAnswers.takeFirst();
    };
    prompts.chooseFileIn = [this](const QString &title, const QString &, const QString &startFolder) {
        pickRequests.append(QStringLiteral("file|") + title + QLatin1Char('|') + startFolder);
        return pickAnswers.isEmpty() ? QString() : pickAnswers.takeFirst();
    };
    prompts.restartProgram = [this](const QString &program, const QStringList &arguments,
                                    const QString &workingFolder) {
        restarts.append(QStringList{program, workingFolder} + arguments);
        return restartSucceeds;
    };
    prompts.editAuthorBlacklist = [this](QList<ModIoBlockedAuthor> &authors) {
        if (blacklistEdit)
            blacklistEdit(authors);
    };
    return prompts;
}
