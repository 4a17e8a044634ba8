#include "platform/secretvault.h"

#ifdef Q_OS_LINUX
#include "app/appinfo.h"

#include <QEventLoop>
#include <QTimer>
#include <qt6keychain/keychain.h>

#include <functional>

namespace {
// Long enough for a vault that has to start on demand, short enough that a hung bus is noticed.
constexpr int vaultAnswerMs = 4000;

// Runs the job and waits for its answer: the job's error, or nothing when the vault did not answer in time.
// A late job is left to itself; it deletes itself when it finishes after all, and nothing of this call is
// touched then. takeResult sees the finished job before it is deleted.
std::optional<QKeychain::Error> runVaultJob(QKeychain::Job *job,
                                            const std::function<void(QKeychain::Job *)> &takeResult = {})
{
    job->setAutoDelete(true);
    job->setInsecureFallback(false);
    QEventLoop loop;
    std::optional<QKeychain::Error> error;
    QObject::connect(job, &QKeychain::Job::finished, &loop, [&](QKeychain::Job *finished) {
        error = finished->error();
        if (takeResult)
            takeResult(finished);
        loop.quit();
    });
    QTimer::singleShot(vaultAnswerMs, &loop, &QEventLoop::quit);
    job->start();
    if (!error)
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    return error;
}

QString serviceName()
{
    return QString::fromLatin1(AppInfo::applicationName);
}
} // namespace

bool storeInSecretVault(const QString &entry, const QByteArray &secret)
{
    auto *job = new QKeychain::WritePasswordJob(serviceName());
    job->setKey(entry);
    job->setBinaryData(secret);
    return runVaultJob(job) == QKeychain::NoError;
}

std::optional<QByteArray> readFromSecretVault(const QString &entry)
{
    auto *job = new QKeychain::ReadPasswordJob(serviceName());
    job->setKey(entry);
    QByteArray secret;
    const std::optional<QKeychain::Error> error = runVaultJob(job, [&secret](QKeychain::Job *finished) {
        secret = static_cast<QKeychain::ReadPasswordJob *>(finished)->binaryData();
    });
    if (error != QKeychain::NoError)
        return std::nullopt;
    return secret;
}

bool removeFromSecretVault(const QString &entry)
{
    auto *job = new QKeychain::DeletePasswordJob(serviceName());
    job->setKey(entry);
    const std::optional<QKeychain::Error> error = runVaultJob(job);
    return error == QKeychain::NoError || error == QKeychain::EntryNotFound;
}

#else

// Windows protects the token with its data protection API instead; other systems have no vault here.

bool storeInSecretVault(const QString &, const QByteArray &)
{
    return false;
}

std::optional<QByteArray> readFromSecretVault(const QString &)
{
    return std::nullopt;
}

bool removeFromSecretVault(const QString &)
{
    return true;
}

#endif
