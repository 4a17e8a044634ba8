#include "environment/discovery.h"
#include "environment/externalpaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QSaveFile>

#ifdef Q_OS_WIN
#include "platform/steamplaces.h"
#endif

// The game's mod.io client keeps its settings in "mod.io/globalsettings.json" below the local application
// data folder; the member "RootLocalStoragePath" names the folder below which it stores mods per game
// ("<root>/73160/mods").

namespace {
constexpr char rootStorageKey[] = "RootLocalStoragePath";
constexpr char settingsBelowLocalAppData[] = "/mod.io/globalsettings.json";
constexpr char modsBelowRoot[] = "/73160/mods";
constexpr char localAppDataInPrefix[] = "/drive_c/users/steamuser/AppData/Local";
constexpr char publicModsInPrefix[] = "/drive_c/users/Public/mod.io/73160/mods";

// Under Proton the mod.io client is a Windows program inside a Wine prefix: it writes drive-letter paths and
// only understands those. A settings file below "<prefix>/drive_c/" marks that case.
QString winePrefixOf(const QString &settingsFile)
{
#ifdef Q_OS_WIN
    Q_UNUSED(settingsFile);
    return {};
#else
    const int at = settingsFile.lastIndexOf(QStringLiteral("/drive_c/"));
    return at > 0 ? settingsFile.left(at) : QString();
#endif
}

bool isDrivePath(const QString &path)
{
    return path.size() >= 3 && path.at(0).isLetter() && path.at(0).unicode() < 128 &&
           path.at(1) == QLatin1Char(':') &&
           (path.at(2) == QLatin1Char('/') || path.at(2) == QLatin1Char('\\'));
}

// A path as the mod.io client wrote it, as a path of this system. Wine maps drive letters through the
// prefix's "dosdevices" links; C: and Z: exist in every prefix, so they are known even without the links.
QString fromClientPath(const QString &value, const QString &winePrefix)
{
    if (winePrefix.isEmpty() || !isDrivePath(value))
        return cleanExternalPath(value);
    QString path = value;
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    const QChar drive = path.at(0).toLower();
    const QString rest = path.mid(2);
    const QFileInfo device(winePrefix + QStringLiteral("/dosdevices/") + drive + QLatin1Char(':'));
    QString base;
    if (device.isDir())
        base = device.canonicalFilePath();
    else if (drive == QLatin1Char('c'))
        base = winePrefix + QStringLiteral("/drive_c");
    else if (drive == QLatin1Char('z'))
        base = QStringLiteral("/");
    else
        return {};
    if (base.endsWith(QLatin1Char('/')))
        base.chop(1);
    return QDir::cleanPath(base + rest);
}

QString toClientPath(const QString &path, const QString &winePrefix)
{
    if (winePrefix.isEmpty())
        return path;
    // Wine shows the whole Unix file system as drive Z:.
    return QStringLiteral("Z:") + path;
}

// The settings may spell the key in another letter case. The exact spelling wins when it holds a value;
// otherwise the first other spelling with a value.
QString rootStorageValue(const QJsonObject &settings)
{
    const QString key = QLatin1String(rootStorageKey);
    const QString exact = settings.value(key).toString().trimmed();
    if (!exact.isEmpty())
        return exact;
    for (auto it = settings.constBegin(); it != settings.constEnd(); ++it) {
        if (it.key().compare(key, Qt::CaseInsensitive) != 0)
            continue;
        const QString value = it.value().toString().trimmed();
        if (!value.isEmpty())
            return value;
    }
    return {};
}

// Rewrites the member the client reads rather than adding a second spelling beside it.
QString rootStorageKeyToWrite(const QJsonObject &settings)
{
    const QString key = QLatin1String(rootStorageKey);
    if (settings.contains(key))
        return key;
    const QStringList keys = settings.keys();
    for (const QString &existing : keys) {
        if (existing.compare(key, Qt::CaseInsensitive) == 0)
            return existing;
    }
    return key;
}

bool makeFolderOnDisk(const QString &folder)
{
    return QDir().mkpath(folder);
}

bool readFileFromDisk(const QString &path, QByteArray *content)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    *content = file.readAll();
    return file.error() == QFileDevice::NoError;
}

bool replaceCopyOnDisk(const QString &source, const QString &target)
{
    if (QFileInfo::exists(target) && !QFile::remove(target))
        return false;
    return QFile::copy(source, target);
}

ModIoSaveResult saveFileToDisk(const QString &path, const QByteArray &content)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return ModIoSaveResult::OpenFailed;
    if (file.write(content) != content.size()) {
        file.cancelWriting();
        return ModIoSaveResult::WriteFailed;
    }
    return file.commit() ? ModIoSaveResult::Saved : ModIoSaveResult::WriteFailed;
}

bool fail(QString *errorText, const QString &message)
{
    if (errorText)
        *errorText = message;
    return false;
}
} // namespace

QString modIoGlobalSettingsPath()
{
    // A relative value cannot name the folder of another program, so it counts as unset.
    const QString localAppData = cleanExternalPath(qEnvironmentVariable("LOCALAPPDATA"));
    if (!localAppData.isEmpty() && QDir::isAbsolutePath(localAppData))
        return QDir::cleanPath(localAppData + QLatin1String(settingsBelowLocalAppData));
    const QString prefix = findProtonPrefix();
    if (prefix.isEmpty())
        return {};
    return QDir::cleanPath(prefix + QLatin1String(localAppDataInPrefix) +
                           QLatin1String(settingsBelowLocalAppData));
}

QString modIoRootStoragePath()
{
    const QString settingsFile = modIoGlobalSettingsPath();
    if (settingsFile.isEmpty())
        return {};
    QFile file(settingsFile);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject())
        return {};
    const QString value = rootStorageValue(document.object());
    if (value.isEmpty())
        return {};
    const QString root = fromClientPath(value, winePrefixOf(settingsFile));
    return isFolder(root) ? root : QString();
}

QString detectModIoModsPath()
{
    const QString root = modIoRootStoragePath();
    if (!root.isEmpty()) {
        const QString candidate = QDir::cleanPath(root + QLatin1String(modsBelowRoot));
        if (isModIoModsFolder(candidate))
            return candidate;
    }
#ifdef Q_OS_WIN
    const QString publicFolder = windowsPublicModIoModsFolder();
#else
    const QString prefix = findProtonPrefix();
    const QString publicFolder = prefix.isEmpty() ? QString() : prefix + QLatin1String(publicModsInPrefix);
#endif
    // An empty path passes the folder check as "no mod.io folder"; here it must not count as found.
    if (!publicFolder.isEmpty() && isModIoModsFolder(publicFolder))
        return QDir::cleanPath(publicFolder);
    return {};
}

bool isModIoModsFolder(const QString &path)
{
    const QString folder = cleanExternalPath(path);
    if (folder.isEmpty())
        return true;
    return isFolder(folder) && folder.endsWith(QLatin1String(modsBelowRoot), Qt::CaseInsensitive);
}

QString storageRootFromModsPath(const QString &modsPath)
{
    const QString folder = cleanExternalPath(modsPath);
    if (!folder.endsWith(QLatin1String(modsBelowRoot), Qt::CaseInsensitive))
        return {};
    QString root = folder.left(folder.size() - int(qstrlen(modsBelowRoot)));
    // "/73160/mods" and "C:/73160/mods" leave a bare root or drive behind.
    if (root.isEmpty() || root.endsWith(QLatin1Char(':')))
        root += QLatin1Char('/');
    return QDir::cleanPath(QFileInfo(root).absoluteFilePath());
}

QString modsPathFromStorageRoot(const QString &root)
{
    const QString folder = cleanExternalPath(root);
    return folder.isEmpty() ? QString() : QDir::cleanPath(folder + QLatin1String(modsBelowRoot));
}

bool moveModIoStorage(const QString &newRoot, QString *errorText)
{
    return moveModIoStorage(newRoot, errorText, ModIoStorageFileOps());
}

bool moveModIoStorage(const QString &newRoot, QString *errorText, const ModIoStorageFileOps &fileOps)
{
    const auto makeFolder = fileOps.makeFolder ? fileOps.makeFolder : makeFolderOnDisk;
    const auto readFile = fileOps.readFile ? fileOps.readFile : readFileFromDisk;
    const auto replaceCopy = fileOps.replaceCopy ? fileOps.replaceCopy : replaceCopyOnDisk;
    const auto saveFile = fileOps.saveFile ? fileOps.saveFile : saveFileToDisk;

    const QString root = cleanExternalPath(newRoot);
    if (root.isEmpty())
        return fail(errorText,
                    QCoreApplication::translate("MainWindow", "Der neue mod.io-Speicherort ist leer."));
    // The client resolves a relative path against its own working folder, not ours.
    if (!QDir::isAbsolutePath(root))
        return fail(errorText,
                    QCoreApplication::translate("MainWindow",
                                                "Der neue mod.io-Speicherort muss ein absoluter Pfad sein."));

    const QString modsFolder = QDir::cleanPath(root + QLatin1String(modsBelowRoot));
    if (!makeFolder(modsFolder))
        return fail(errorText,
                    QCoreApplication::translate(
                        "MainWindow", "Der neue mod.io-Speicherort konnte nicht erstellt werden:\n%1")
                        .arg(QDir::toNativeSeparators(modsFolder)));

    const QString settingsFile = modIoGlobalSettingsPath();
    if (settingsFile.isEmpty())
        return fail(errorText, QCoreApplication::translate(
                                   "MainWindow",
                                   "Der Pfad zu mod.io/globalsettings.json konnte nicht ermittelt werden."));
    if (!makeFolder(QFileInfo(settingsFile).absolutePath()))
        return fail(errorText,
                    QCoreApplication::translate(
                        "MainWindow", "Der mod.io-Einstellungsordner konnte nicht erstellt werden."));

    QJsonObject settings;
    const bool existed = QFileInfo::exists(settingsFile);
    if (existed) {
        QByteArray content;
        if (!readFile(settingsFile, &content))
            return fail(errorText, QCoreApplication::translate(
                                       "MainWindow", "globalsettings.json konnte nicht gelesen werden:\n%1")
                                       .arg(QDir::toNativeSeparators(settingsFile)));
        QJsonParseError parseError;
        const QJsonDocument document = QJsonDocument::fromJson(content, &parseError);
        if (parseError.error != QJsonParseError::NoError || !document.isObject()) {
            const QString reason =
                parseError.error != QJsonParseError::NoError
                    ? parseError.errorString()
                    : QCoreApplication::translate("MainWindow", "Das oberste JSON-Element ist kein Objekt.");
            return fail(errorText, QCoreApplication::translate(
                                       "MainWindow", "globalsettings.json enthält kein gültiges JSON. "
                                                     "Die Datei wurde deshalb nicht verändert.\n\n%1")
                                       .arg(reason));
        }
        settings = document.object();
    }

    QString value = toClientPath(root, winePrefixOf(settingsFile));
    if (!value.endsWith(QLatin1Char('/')))
        value += QLatin1Char('/');
    settings.insert(rootStorageKeyToWrite(settings), value);

    if (existed) {
        const QString backup = settingsFile + QStringLiteral(".bak");
        if (!replaceCopy(settingsFile, backup))
            return fail(errorText, QCoreApplication::translate(
                                       "MainWindow",
                                       "Sicherung von globalsettings.json konnte nicht erstellt werden:\n%1")
                                       .arg(QDir::toNativeSeparators(backup)));
    }

    switch (saveFile(settingsFile, QJsonDocument(settings).toJson(QJsonDocument::Indented))) {
    case ModIoSaveResult::Saved:
        return true;
    case ModIoSaveResult::OpenFailed:
        return fail(errorText,
                    QCoreApplication::translate(
                        "MainWindow", "globalsettings.json konnte nicht zum Schreiben geöffnet werden:\n%1")
                        .arg(QDir::toNativeSeparators(settingsFile)));
    case ModIoSaveResult::WriteFailed:
        break;
    }
    return fail(errorText, QCoreApplication::translate(
                               "MainWindow", "globalsettings.json konnte nicht gespeichert werden:\n%1")
                               .arg(QDir::toNativeSeparators(settingsFile)));
}
