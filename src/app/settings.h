#pragma once

#include "modio/modioblockedauthor.h"

#include <QList>
#include <QString>
#include <QStringList>

// Accessors of the per-user settings store. Every call opens its own QSettings, so a value written anywhere
// is seen by the next read; nothing is cached.

inline constexpr qint64 defaultModIoGameId = 73160;
// The API root of this game and the general root that is never used for it.
QString gameModIoApiRoot();
QString generalModIoApiRoot();
QString defaultCommunityApiUrl();

QString storedGamePath();
QString storedUserModsPath();
// The automatically found mod.io folder when there is one, else the stored fallback "paths/modio".
QString modIoModsPath(const QString &detectedPath);
QStringList customModPaths();

QString modIoApiKey();
QString modIoApiRoot();
// Raises the game id to the default when it is below 1 and mirrors it into the store. Always true.
bool ensureModIoGameId(qint64 &gameId);

// Where a stored token is kept: the desktop's vault ("keychain:" plus the entry's name), encrypted by Windows
// ("dpapi:"), or readable in the settings file ("base64:" or a plain text).
enum class TokenPlace
{
    SystemVault,
    WindowsDataProtection,
    SettingsFile
};

// Puts the token into the vault when one answers, else encrypts it on Windows, else Base64-encodes it.
QString protectToken(const QString &plain);
QString unprotectToken(const QString &stored);
TokenPlace tokenPlace(const QString &stored);
QString modIoAccessToken();
TokenPlace modIoTokenPlace();
// Stores the token protected, or removes it when it is blank. Callers forget their subscription state.
void storeModIoToken(const QString &token);
void clearModIoSignIn();

// Empty when community reports are switched off.
QString communityApiUrl();
QString reporterId();

QList<ModIoBlockedAuthor> loadAuthorBlacklist();
void saveAuthorBlacklist(const QList<ModIoBlockedAuthor> &authors);

QStringList installedDependencyIds();
void rememberInstalledDependency(const QString &id);

bool performanceAutoCheckEnabled();
bool showCleanPerformanceReports();

// "de" or "en". A stored "de"/"en" (in any case, with blanks) wins; otherwise the language is chosen from
// the system's (German → "de", anything else → "en") and stored.
QString chooseInterfaceLanguage(bool systemIsGerman);
