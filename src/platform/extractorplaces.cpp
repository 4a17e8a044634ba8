#include "platform/extractorplaces.h"

#ifdef Q_OS_WIN
#include <QSettings>

namespace {
void appendBelowVariable(QStringList &folders, const char *variable, const QString &relative)
{
    const QString base = qEnvironmentVariable(variable).trimmed();
    if (!base.isEmpty())
        folders.append(base + QLatin1Char('/') + relative);
}
} // namespace

QStringList windowsSevenZipFolders()
{
    QStringList folders;
    appendBelowVariable(folders, "ProgramFiles", QStringLiteral("7-Zip"));
    appendBelowVariable(folders, "ProgramFiles(x86)", QStringLiteral("7-Zip"));
    appendBelowVariable(folders, "LOCALAPPDATA", QStringLiteral("Programs/7-Zip"));
    appendBelowVariable(folders, "LOCALAPPDATA", QStringLiteral("7-Zip"));

    const char *const keys[] = {"HKEY_LOCAL_MACHINE\\SOFTWARE\\7-Zip",
                                "HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\7-Zip",
                                "HKEY_CURRENT_USER\\SOFTWARE\\7-Zip"};
    for (const char *key : keys) {
        const QSettings registry(QString::fromLatin1(key), QSettings::NativeFormat);
        for (const char *name : {"Path", "Path64"}) {
            const QString folder = registry.value(QString::fromLatin1(name)).toString().trimmed();
            if (!folder.isEmpty())
                folders.append(folder);
        }
    }
    return folders;
}

QStringList windowsWinRarFolders()
{
    QStringList folders;
    appendBelowVariable(folders, "ProgramFiles", QStringLiteral("WinRAR"));
    appendBelowVariable(folders, "ProgramFiles(x86)", QStringLiteral("WinRAR"));
    return folders;
}
#endif
