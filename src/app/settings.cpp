#include "app/settings.h"

#include "app/communitysite.h"
#include "modio/modioblacklist.h"
#include "platform/secretvault.h"
#include "platform/settingsfile.h"
#include "platform/tokenprotection.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QSettings>
#include <QUuid>

namespace {
const QString dpapiPrefix = QStringLiteral("dpapi:");
const QString base64Prefix = QStringLiteral("base64:");
const QString keychainPrefix = QStringLiteral("keychain:");
// The one vault entry of the token; the stored value names it so that a reader finds it again.
const QString tokenVaultEntry = QStringLiteral("modio/access_token");
const QString tokenKey = QStringLiteral("modio/access_token_protected");

// Removes the vault entry a stored value points to, if it points to one.
void forgetVaultEntry(const QString &stored)
{
    if (stored.startsWith(keychainPrefix))
        removeFromSecretVault(stored.mid(keychainPrefix.size()));
}

QString trimmedSetting(const char *key)
{
    return QSettings().value(QLatin1String(key)).toString().trimmed();
}

} // namespace

QString gameModIoApiRoot()
{
    return QStringLiteral("https://g-73160.modapi.io/v1");
}

QString generalModIoApiRoot()
{
    return QStringLiteral("https://api.mod.io/v1");
}

QString defaultCommunityApiUrl()
{
    return communityUrl(QStringLiteral("/api/fx3-modmanager/reports.php"));
}

QString storedGamePath()
{
    return QSettings().value(QStringLiteral("paths/game")).toString();
}

QString storedUserModsPath()
{
    return QSettings().value(QStringLiteral("paths/usermods")).toString();
}

QString modIoModsPath(const QString &detectedPath)
{
    if (!detectedPath.isEmpty())
        return detectedPath;
    return trimmedSetting("paths/modio");
}

QStringList customModPaths()
{
    const QStringList stored = QSettings().value(QStringLiteral("paths/custommods")).toStringList();
    QStringList kept;
    for (const QString &entry : stored) {
        const QString path = QDir::cleanPath(entry.trimmed());
        if (entry.trimmed().isEmpty() || !QFileInfo(path).isDir())
            continue;
        if (!kept.contains(path, Qt::CaseInsensitive))
            kept.append(path);
    }
    return kept;
}

QString modIoApiKey()
{
    return trimmedSetting("modio/api_key");
}

QString modIoApiRoot()
{
    QString root = trimmedSetting("modio/api_root");
    if (root.isEmpty())
        root = gameModIoApiRoot();
    // Trailing slashes go first: a general root written with one must still be recognised and replaced.
    while (root.endsWith(QLatin1Char('/')))
        root.chop(1);
    if (root.compare(generalModIoApiRoot(), Qt::CaseInsensitive) == 0)
        root = gameModIoApiRoot();
    return root;
}

bool ensureModIoGameId(qint64 &gameId)
{
    if (gameId < 1)
        gameId = defaultModIoGameId;
    QSettings settings;
    if (settings.value(QStringLiteral("modio/game_id")).toLongLong() != gameId) {
        settings.setValue(QStringLiteral("modio/game_id"), gameId);
        syncPrivately(settings);
    }
    return true;
}

QString protectToken(const QString &plain)
{
    if (plain.isEmpty())
        return {};
    const QByteArray bytes = plain.toUtf8();
    if (storeInSecretVault(tokenVaultEntry, bytes))
        return keychainPrefix + tokenVaultEntry;
    if (const std::optional<QByteArray> encrypted = protectForCurrentUser(bytes))
        return dpapiPrefix + QString::fromLatin1(encrypted->toBase64());
    return base64Prefix + QString::fromLatin1(bytes.toBase64());
}

QString unprotectToken(const QString &stored)
{
    if (stored.isEmpty())
        return {};
    if (stored.startsWith(dpapiPrefix)) {
        const QByteArray encrypted = QByteArray::fromBase64(stored.mid(dpapiPrefix.size()).toLatin1());
        if (const std::optional<QByteArray> plain = unprotectForCurrentUser(encrypted))
            return QString::fromUtf8(*plain);
        return {};
    }
    if (stored.startsWith(keychainPrefix)) {
        // An entry removed behind our back, or a vault that does not answer, is like a failed decryption.
        if (const std::optional<QByteArray> plain = readFromSecretVault(stored.mid(keychainPrefix.size())))
            return QString::fromUtf8(*plain);
        return {};
    }
    if (stored.startsWith(base64Prefix))
        return QString::fromUtf8(QByteArray::fromBase64(stored.mid(base64Prefix.size()).toLatin1()));
    return stored;
}

TokenPlace tokenPlace(const QString &stored)
{
    if (stored.startsWith(keychainPrefix))
        return TokenPlace::SystemVault;
    if (stored.startsWith(dpapiPrefix))
        return TokenPlace::WindowsDataProtection;
    return TokenPlace::SettingsFile;
}

QString modIoAccessToken()
{
    return unprotectToken(QSettings().value(tokenKey).toString()).trimmed();
}

TokenPlace modIoTokenPlace()
{
    return tokenPlace(QSettings().value(tokenKey).toString());
}

void storeModIoToken(const QString &token)
{
    const QString trimmed = token.trimmed();
    QSettings settings;
    if (trimmed.isEmpty()) {
        forgetVaultEntry(settings.value(tokenKey).toString());
        settings.remove(tokenKey);
    } else {
        const QString previous = settings.value(tokenKey).toString();
        const QString stored = protectToken(trimmed);
        // A token that had to go to the settings file leaves no older one in the vault.
        if (!stored.startsWith(keychainPrefix))
            forgetVaultEntry(previous);
        settings.setValue(tokenKey, stored);
    }
    syncPrivately(settings);
}

void clearModIoSignIn()
{
    QSettings settings;
    forgetVaultEntry(settings.value(tokenKey).toString());
    settings.remove(tokenKey);
    settings.remove(QStringLiteral("modio/token_expires"));
    settings.remove(QStringLiteral("modio/user_name"));
    syncPrivately(settings);
}

QString communityApiUrl()
{
    QSettings settings;
    if (!settings.value(QStringLiteral("community/enabled"), true).toBool())
        return {};
    const QString url = settings.value(QStringLiteral("community/api_url")).toString().trimmed();
    return url.isEmpty() ? defaultCommunityApiUrl() : url;
}

QString reporterId()
{
    QSettings settings;
    QString id = settings.value(QStringLiteral("community/installation_id")).toString().trimmed();
    if (id.isEmpty()) {
        id = QUuid::createUuid().toString(QUuid::WithoutBraces).toLower();
        settings.setValue(QStringLiteral("community/installation_id"), id);
        syncPrivately(settings);
    }
    return QString::fromLatin1(QCryptographicHash::hash(id.toUtf8(), QCryptographicHash::Sha256).toHex());
}

QList<ModIoBlockedAuthor> loadAuthorBlacklist()
{
    return parseAuthorBlacklist(
        QSettings().value(QStringLiteral("modio/author_blacklist_json")).toByteArray());
}

void saveAuthorBlacklist(const QList<ModIoBlockedAuthor> &authors)
{
    QSettings settings;
    settings.setValue(QStringLiteral("modio/author_blacklist_json"), authorBlacklistJson(authors));
    syncPrivately(settings);
}

QStringList installedDependencyIds()
{
    return QSettings().value(QStringLiteral("installedDependencyIds")).toStringList();
}

void rememberInstalledDependency(const QString &id)
{
    if (id.trimmed().isEmpty())
        return;
    QSettings settings;
    QStringList ids = settings.value(QStringLiteral("installedDependencyIds")).toStringList();
    if (ids.contains(id))
        return;
    ids.append(id);
    settings.setValue(QStringLiteral("installedDependencyIds"), ids);
    syncPrivately(settings);
}

bool performanceAutoCheckEnabled()
{
    return QSettings().value(QStringLiteral("performance/auto_check"), true).toBool();
}

bool showCleanPerformanceReports()
{
    return QSettings().value(QStringLiteral("performance/show_clean_reports"), false).toBool();
}

QString chooseInterfaceLanguage(bool systemIsGerman)
{
    QSettings settings;
    const QString stored = settings.value(QStringLiteral("ui/language")).toString().trimmed().toLower();
    if (stored == QLatin1String("de") || stored == QLatin1String("en"))
        return stored;
    const QString chosen = systemIsGerman ? QStringLiteral("de") : QStringLiteral("en");
    settings.setValue(QStringLiteral("ui/language"), chosen);
    syncPrivately(settings);
    return chosen;
}
