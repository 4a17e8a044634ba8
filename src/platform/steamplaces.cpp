#include "platform/steamplaces.h"

#ifdef Q_OS_WIN
#include <QDir>
#include <QSettings>

QStringList windowsSteamRootCandidates()
{
    QStringList candidates;
    const QSettings registry(QStringLiteral("HKEY_CURRENT_USER\\Software\\Valve\\Steam"),
                             QSettings::NativeFormat);
    const QString registered =
        QDir::fromNativeSeparators(registry.value(QStringLiteral("SteamPath")).toString().trimmed());
    if (!registered.isEmpty())
        candidates.append(registered);
    candidates.append(QStringLiteral("C:/Program Files (x86)/Steam"));
    candidates.append(QStringLiteral("C:/Program Files/Steam"));
    return candidates;
}

QStringList windowsSteamLibraryFallbacks()
{
    QStringList folders;
    for (char drive = 'D'; drive <= 'H'; ++drive)
        folders.append(QStringLiteral("%1:/SteamLibrary").arg(QLatin1Char(drive)));
    return folders;
}

QString windowsPublicModIoModsFolder()
{
    return QStringLiteral("C:/Users/Public/mod.io/73160/mods");
}
#endif
