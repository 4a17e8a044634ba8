#include "environment/discovery.h"

#include "environment/externalpaths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#ifdef Q_OS_WIN
#include "platform/steamplaces.h"
#endif

namespace {
constexpr char libraryFoldersFile[] = "/steamapps/libraryfolders.vdf";
constexpr char gameFolderInLibrary[] = "/steamapps/common/Ferroline 3";
constexpr char gameExecutable[] = "ferroline3.exe";
constexpr char protonPrefixInLibrary[] = "/steamapps/compatdata/1948260/pfx";
constexpr char userModsInUserFolder[] = "/1948260/local/mods";

// Two spellings of one library must not be searched twice. On Windows they differ in letter case; elsewhere
// letter case matters, but one folder is often reached through a link (~/.steam/steam), so the resolved
// path decides.
QString libraryIdentity(const QString &path)
{
#ifdef Q_OS_WIN
    return path.toCaseFolded();
#else
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return canonical.isEmpty() ? path : canonical;
#endif
}

void addLibrary(QStringList *libraries, QStringList *identities, const QString &candidate)
{
    // Steam writes absolute paths only; anything else would be looked up in our own working folder.
    const QString path = cleanExternalPath(candidate);
    if (!QDir::isAbsolutePath(path) || !isFolder(path))
        return;
    const QString identity = libraryIdentity(path);
    if (identities->contains(identity))
        return;
    libraries->append(path);
    identities->append(identity);
}

QStringList steamRootCandidates()
{
#ifdef Q_OS_WIN
    return windowsSteamRootCandidates();
#else
    const QString home = QDir::homePath();
    return {home + QStringLiteral("/.steam/steam"), home + QStringLiteral("/.local/share/Steam"),
            home + QStringLiteral("/.var/app/com.valvesoftware.Steam/.local/share/Steam")};
#endif
}

bool holdsFile(const QString &folder, const QString &fileName)
{
    if (QFileInfo(folder + QLatin1Char('/') + fileName).isFile())
        return true;
#ifdef Q_OS_WIN
    return false;
#else
    // The game's files come from a Windows depot, where letter case carries no meaning; a case-sensitive
    // file system must not reject an installation whose executable is spelled differently.
    const QFileInfoList entries = QDir(folder).entryInfoList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QFileInfo &entry : entries) {
        if (entry.fileName().compare(fileName, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
#endif
}
} // namespace

QString findSteamRoot()
{
    const QStringList candidates = steamRootCandidates();
    for (const QString &candidate : candidates) {
        const QString path = cleanExternalPath(candidate);
        if (!isFolder(path))
            continue;
#ifdef Q_OS_WIN
        return path;
#else
        return QDir::cleanPath(QFileInfo(path).canonicalFilePath());
#endif
    }
    return {};
}

QStringList parseSteamLibraryPaths(const QString &vdfText)
{
    static const QRegularExpression pathEntry(QStringLiteral("\"path\"\\s+\"([^\"]+)\""));
    QStringList paths;
    QRegularExpressionMatchIterator matches = pathEntry.globalMatch(vdfText);
    while (matches.hasNext()) {
        QString value = matches.next().captured(1);
        value.replace(QStringLiteral("\\\\"), QStringLiteral("\\"));
        paths.append(value);
    }
    return paths;
}

QStringList findSteamLibraries()
{
    QStringList libraries;
    QStringList identities;
    const QString root = findSteamRoot();
    if (!root.isEmpty()) {
        addLibrary(&libraries, &identities, root);
        QFile vdf(root + QLatin1String(libraryFoldersFile));
        if (vdf.open(QIODevice::ReadOnly | QIODevice::Text)) {
            const QStringList listed = parseSteamLibraryPaths(QString::fromUtf8(vdf.readAll()));
            for (const QString &path : listed)
                addLibrary(&libraries, &identities, path);
        }
    }
#ifdef Q_OS_WIN
    const QStringList fallbacks = windowsSteamLibraryFallbacks();
    for (const QString &path : fallbacks)
        addLibrary(&libraries, &identities, path);
#endif
    return libraries;
}

bool isGameFolder(const QString &path)
{
    const QString folder = cleanExternalPath(path);
    return isFolder(folder) && holdsFile(folder, QLatin1String(gameExecutable));
}

QString detectGamePath()
{
    const QStringList libraries = findSteamLibraries();
    for (const QString &library : libraries) {
        const QString candidate = QDir::cleanPath(library + QLatin1String(gameFolderInLibrary));
        if (isGameFolder(candidate))
            return candidate;
    }
    return {};
}

QString findSteamUserModsPath()
{
    const QString root = findSteamRoot();
    if (root.isEmpty())
        return {};
    const QString userData = root + QStringLiteral("/userdata");
    if (!isFolder(userData))
        return {};
    const QStringList users = QDir(userData).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString &user : users) {
        const QString candidate =
            QDir::cleanPath(userData + QLatin1Char('/') + user + QLatin1String(userModsInUserFolder));
        if (isFolder(candidate))
            return candidate;
    }
    return {};
}

QString findProtonPrefix()
{
#ifdef Q_OS_WIN
    return {};
#else
    const QStringList libraries = findSteamLibraries();
    for (const QString &library : libraries) {
        const QString candidate = QDir::cleanPath(library + QLatin1String(protonPrefixInLibrary));
        if (isFolder(candidate))
            return candidate;
    }
    return {};
#endif
}

bool isExistingOrEmptyFolder(const QString &path)
{
    const QString folder = cleanExternalPath(path);
    return folder.isEmpty() || isFolder(folder);
}
