#pragma once

#include "app/messageprompts.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QMap>
#include <QString>
#include <QTemporaryDir>

#include <functional>

class QTcpServer;
class QTcpSocket;

// A private world for one test: temporary HOME and XDG folders, an optional LOCALAPPDATA, a settings store
// of its own (with the first-run setup done) and the application's names. Everything is restored when the
// object goes away, so no test ever reads or writes the developer's real settings, caches or Steam folders.
class TestEnvironment
{
public:
    TestEnvironment();
    ~TestEnvironment();
    TestEnvironment(const TestEnvironment &) = delete;
    TestEnvironment &operator=(const TestEnvironment &) = delete;

    QString root() const { return m_dir.path(); }
    QString home() const;
    // Sets LOCALAPPDATA to <root>/localappdata (created) and returns it.
    QString useLocalAppData();
    // The settings file that QSettings() writes in this environment.
    QString settingsFilePath() const;
    // Creates <root>/<relativePath> with its parents and returns its absolute path.
    QString makeDir(const QString &relativePath) const;
    // Writes a file below root (parents created) and returns its absolute path.
    QString writeFile(const QString &relativePath, const QByteArray &content) const;
    // Sets an environment variable for the lifetime of this object.
    void setEnv(const char *name, const QByteArray &value);

private:
    QTemporaryDir m_dir;
    QHash<QByteArray, QByteArray> m_saved;
    QList<QByteArray> m_unset;
};

// Writes a file with parents created; returns false when it could not.
bool writeTestFile(const QString &path, const QByteArray &content);
QByteArray readTestFile(const QString &path);
// Every entry directly in folder, hidden ones included, by name.
QStringList entriesOf(const QString &folder);
// Every file below folder, hidden ones included, relative to it and sorted.
QStringList filesBelow(const QString &folder);
QString sha256Of(const QByteArray &data);

// One request as the fake server received it.
struct RecordedRequest
{
    QByteArray method;
    QByteArray path;                      // including the query
    QMap<QByteArray, QByteArray> headers; // names in lower case
    QByteArray body;
};

// Aggregate on purpose: FakeResponse{404, {}, "gone"} is a whole answer.
struct FakeResponse
{
    int status = 200;
    QList<QPair<QByteArray, QByteArray>> headers;
    QByteArray body;
    bool dropConnection = false; // close without answering
    bool silent = false;         // keep the connection open and never answer
};

// A small HTTP/1.1 server on 127.0.0.1 that answers canned responses by path and records every request.
// Paths are matched without the query first, then with it; unknown paths get 404.
class FakeHttpServer
{
public:
    FakeHttpServer();
    ~FakeHttpServer();
    FakeHttpServer(const FakeHttpServer &) = delete;
    FakeHttpServer &operator=(const FakeHttpServer &) = delete;

    bool isListening() const;
    quint16 port() const;
    // "http://127.0.0.1:<port>" followed by path.
    QString url(const QString &path = QString()) const;

    void setResponse(const QByteArray &path, const FakeResponse &response);
    void setResponse(const QByteArray &path, int status, const QByteArray &body,
                     const QByteArray &contentType = "application/octet-stream");
    // Computes the answer for any request; takes precedence over fixed responses when it returns true.
    void setHandler(std::function<bool(const RecordedRequest &, FakeResponse *)> handler);

    QList<RecordedRequest> requests() const { return m_requests; }
    int requestCount(const QByteArray &path) const;

private:
    void onConnection();
    void onReadyRead(QTcpSocket *socket);

    QTcpServer *m_server = nullptr;
    QHash<QByteArray, FakeResponse> m_responses;
    std::function<bool(const RecordedRequest &, FakeResponse *)> m_handler;
    QList<RecordedRequest> m_requests;
    QHash<QTcpSocket *, QByteArray> m_buffers;
};

// Scripted answers for the main window's message boxes. Every message is recorded as "<kind>|<title>|<text>";
// questions take the next queued answer, else the default button, as a player pressing Enter would (choices:
// button 0). questionDefaults records each question's default, true for Yes.
class ScriptedPrompts
{
public:
    MessagePrompts prompts();
    QStringList messages;
    QList<bool> questionAnswers;
    QList<bool> questionDefaults;
    QList<int> choiceAnswers;
    // Answers of text inputs in order; a null text cancels. Inputs are recorded as "input|<title>|<label>".
    QStringList textAnswers;
    // The tokens pasted into the access-token dialog, one per try; the dialog is closed when they run out.
    QStringList tokenAnswers;
    QStringList openedUrls;
    // Answers of the folder and file pickers in order; none left cancels. Each request is recorded in
    // pickRequests as "folder|<title>|<start>" or "file|<title>|<start>".
    QStringList pickAnswers;
    QStringList pickRequests;
    // Each restart as program, working folder, then the arguments.
    QList<QStringList> restarts;
    bool restartSucceeds = true;
    // Applied by the author blacklist editor.
    std::function<void(QList<ModIoBlockedAuthor> &)> blacklistEdit;
};
