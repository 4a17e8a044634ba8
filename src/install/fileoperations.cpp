#include "install/fileoperations.h"

#include "platform/rawnames.h"
#include "platform/symlinks.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QThread>

#ifdef Q_OS_WIN
#include "platform/fileattributes.h"
#endif

namespace {
constexpr int copyAttempts = 3;
constexpr int removeAttempts = 5;
constexpr int pauseStepMs = 180;

#ifdef Q_OS_WIN
constexpr Qt::CaseSensitivity pathCase = Qt::CaseInsensitive;
#else
constexpr Qt::CaseSensitivity pathCase = Qt::CaseSensitive;
#endif

QString tr(const char *text)
{
    return QCoreApplication::translate("MainWindow", text);
}

QString native(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

// The pause after the given failed attempt: 180 ms, then 360, 540, 720.
void pauseAfter(const FileOperationHooks &hooks, int failedAttempt)
{
    const int milliseconds = pauseStepMs * failedAttempt;
    if (hooks.sleep)
        hooks.sleep(milliseconds);
    else
        QThread::msleep(static_cast<unsigned long>(milliseconds));
}

QString injectedFailure(const FileOperationHooks &hooks, FileOperation operation, const QString &path)
{
    return hooks.failAttempt ? hooks.failAttempt(operation, path) : QString();
}

// Shortcut files (.lnk) are ordinary files here; only real links and junctions redirect.
bool isLinkEntry(const QFileInfo &info)
{
    return info.isSymbolicLink() || info.isJunction();
}

bool existsOrIsLink(const QFileInfo &info)
{
    return info.exists() || isLinkEntry(info);
}

void makeWritable(const QString &path)
{
    QFile::setPermissions(path, QFile::permissions(path) | QFileDevice::WriteOwner | QFileDevice::WriteUser);
#ifdef Q_OS_WIN
    clearReadOnlyAttribute(path);
#endif
}

// Removes a link itself, whether it stands for a file or a folder.
bool removeLink(const QString &path)
{
    return QFile::remove(path) || QDir().rmdir(path);
}

bool isInside(const QString &canonicalRoot, const QString &canonicalPath)
{
    if (canonicalPath.compare(canonicalRoot, pathCase) == 0)
        return true;
    const QString prefix =
        canonicalRoot.endsWith(QLatin1Char('/')) ? canonicalRoot : canonicalRoot + QLatin1Char('/');
    return canonicalPath.startsWith(prefix, pathCase);
}

// Visits the entries below folder, each folder before its content, never entering a link. Stops when visit
// answers false and then returns false.
bool walkTree(const QString &folder, QDir::Filters filters,
              const std::function<bool(const QFileInfo &)> &visit)
{
    QDirIterator it(folder, filters | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        it.next();
        const QFileInfo info = it.fileInfo();
        if (!visit(info))
            return false;
        if (info.isDir() && !isLinkEntry(info) && !walkTree(info.filePath(), filters, visit))
            return false;
    }
    return true;
}

constexpr QDir::Filters everyEntry = QDir::AllEntries | QDir::Hidden | QDir::System;

// Deletes what it can below path and path itself; true when nothing is left.
bool removeTreeWithoutFollowing(const QString &path)
{
    bool complete = true;
    QDirIterator it(path, everyEntry | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        it.next();
        const QFileInfo info = it.fileInfo();
        const QString entry = info.filePath();
        if (isLinkEntry(info))
            complete = removeLink(entry) && complete;
        else if (info.isDir())
            complete = removeTreeWithoutFollowing(entry) && complete;
        else
            complete = QFile::remove(entry) && complete;
    }
    return QDir().rmdir(path) && complete;
}

// Makes sure every folder of relativeFolder below targetRoot is a real folder, creating missing ones and
// replacing links by folders, so that nothing is written through a link. Folders already checked are in
// ready.
bool prepareTargetFolder(const QString &targetRoot, const QString &relativeFolder, QSet<QString> &ready,
                         QString *failedFolder)
{
    QString current = targetRoot;
    const QStringList parts = relativeFolder.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (const QString &part : parts) {
        current += QLatin1Char('/') + part;
        if (ready.contains(current))
            continue;
        if (isLinkEntry(QFileInfo(current)) && !removeLink(current)) {
            *failedFolder = current;
            return false;
        }
        if (!QFileInfo(current).isDir() && !QDir().mkdir(current)) {
            *failedFolder = current;
            return false;
        }
        ready.insert(current);
    }
    return true;
}

QString errorOrUnknown(const QString &error)
{
    return error.isEmpty() ? tr("Unbekannter Dateifehler") : error;
}

// The system's own words about a file that stayed locked are passed on; the name of the system is only said
// where it is known.
QString replaceFailedText(const QString &file, const QString &systemError)
{
#ifdef Q_OS_WIN
    const QString text =
        tr("Datei konnte nach mehreren Versuchen nicht ersetzt werden:\n%1\n\nWindows meldet: "
           "%2\n\nBitte prüfe Schreibrechte bzw. Schreibschutz und ob Virenscanner, "
           "Synchronisationssoftware oder ein anderer Prozess auf die Datei zugreift.");
#else
    const QString text = tr("Datei konnte nach mehreren Versuchen nicht ersetzt werden:\n%1\n\nDas System "
                            "meldet: %2\n\nBitte prüfe Schreibrechte bzw. Schreibschutz und ob Virenscanner, "
                            "Synchronisationssoftware oder ein anderer Prozess auf die Datei zugreift.");
#endif
    return text.arg(native(file), errorOrUnknown(systemError));
}

QString copyFailedText(const QString &file, const QString &systemError)
{
#ifdef Q_OS_WIN
    const QString text =
        tr("Datei konnte nach mehreren Versuchen nicht kopiert werden:\n%1\n\nWindows meldet: %2");
#else
    const QString text =
        tr("Datei konnte nach mehreren Versuchen nicht kopiert werden:\n%1\n\nDas System meldet: %2");
#endif
    return text.arg(native(file), errorOrUnknown(systemError));
}

// Copies one file to a place that is free, with the retries of a copy; the error is the last attempt's.
bool copyFileWithRetries(const QString &from, const QString &to, const FileOperationHooks &hooks,
                         QString *lastError)
{
    for (int attempt = 1; attempt <= copyAttempts; ++attempt) {
        *lastError = injectedFailure(hooks, FileOperation::CopyFile, to);
        if (lastError->isEmpty()) {
            QFile file(from);
            if (file.copy(to))
                return true;
            *lastError = file.errorString();
        }
        if (attempt < copyAttempts)
            pauseAfter(hooks, attempt);
    }
    return false;
}

bool fail(QString *error, const QString &text)
{
    if (error)
        *error = text;
    return false;
}
} // namespace

QString firstEntryLeavingFolder(const QString &folder)
{
    const QString root = QFileInfo(folder).canonicalFilePath();
    if (root.isEmpty())
        return {};
    const QDir rootDir(folder);
    QString offender;
    walkTree(folder, everyEntry, [&](const QFileInfo &info) {
        if (!isLinkEntry(info))
            return true;
        // A dangling link leads nowhere now but would lead wherever its text says once that place exists.
        const QString target = info.canonicalFilePath();
        if (!target.isEmpty() && isInside(root, target))
            return true;
        offender = rootDir.relativeFilePath(info.filePath());
        return false;
    });
    return offender;
}

bool copyDirectoryWithRetries(const QString &source, const QString &target, QString *error,
                              const FileOperationHooks &hooks)
{
    const QFileInfo sourceInfo(source);
    if (!sourceInfo.isDir())
        return fail(error, tr("Quellordner existiert nicht: %1").arg(source));
    const QString sourceRoot = QDir::cleanPath(sourceInfo.absoluteFilePath());
    const QString canonicalSource = sourceInfo.canonicalFilePath();
    const QString targetRoot = QDir::cleanPath(QFileInfo(target).absoluteFilePath());
    if (!QDir().mkpath(targetRoot))
        return fail(error, tr("Zielordner konnte nicht erstellt werden: %1").arg(native(targetRoot)));

    const QDir sourceDir(sourceRoot);
    QSet<QString> readyFolders;
    QString failure;
    // Hidden and system entries of the unpacked mod (tool caches, OS metadata) are not part of the mod.
    walkTree(sourceRoot, QDir::AllEntries, [&](const QFileInfo &info) {
        const QString relative = sourceDir.relativeFilePath(info.filePath());
        const QString destination = targetRoot + QLatin1Char('/') + relative;
        QString readFrom = info.filePath();
        bool isFolder = info.isDir();
        if (isLinkEntry(info)) {
            const QString resolved = info.canonicalFilePath();
            if (resolved.isEmpty() || !isInside(canonicalSource, resolved)) {
                failure =
                    tr("Symbolischer Link zeigt aus dem Quellordner heraus: %1").arg(native(info.filePath()));
                return false;
            }
            if (QFileInfo(resolved).isDir())
                return true;
            readFrom = resolved;
            isFolder = false;
        }

        QString failedFolder;
        if (isFolder) {
            if (!prepareTargetFolder(targetRoot, relative, readyFolders, &failedFolder)) {
                failure = tr("Ordner konnte nicht erstellt werden: %1").arg(native(failedFolder));
                return false;
            }
            return true;
        }

        const qsizetype slash = relative.lastIndexOf(QLatin1Char('/'));
        const QString relativeParent = slash < 0 ? QString() : relative.left(slash);
        if (!prepareTargetFolder(targetRoot, relativeParent, readyFolders, &failedFolder)) {
            failure = tr("Ordner konnte nicht erstellt werden: %1").arg(native(failedFolder));
            return false;
        }
        if (existsOrIsLink(QFileInfo(destination))) {
            QString removeError;
            if (!removeFileWithRetries(destination, &removeError, hooks)) {
                failure = replaceFailedText(destination, removeError);
                return false;
            }
        }

        QString lastError;
        if (copyFileWithRetries(readFrom, destination, hooks, &lastError))
            return true;
        failure = copyFailedText(destination, lastError);
        return false;
    });
    if (!failure.isEmpty())
        return fail(error, failure);
    if (error)
        error->clear();
    return true;
}

bool copyDirectoryExactly(const QString &source, const QString &target, QString *error,
                          const FileOperationHooks &hooks)
{
    const QFileInfo sourceInfo(source);
    if (!sourceInfo.isDir())
        return fail(error, tr("Quellordner existiert nicht: %1").arg(source));
    const QString sourceRoot = QDir::cleanPath(sourceInfo.absoluteFilePath());
    const QString targetRoot = QDir::cleanPath(QFileInfo(target).absoluteFilePath());
    // Qt does not even list an entry whose name it cannot read.
    const QList<QByteArray> unnamed = undecodableEntries(sourceRoot);
    if (!unnamed.isEmpty()) {
        return fail(error,
                    tr("Eintrag konnte nicht gesichert werden: %1")
                        .arg(native(sourceRoot + QLatin1Char('/') + QString::fromUtf8(unnamed.first()))));
    }
    // A folder that exists already would mix its content into the copy.
    if (existsOrIsLink(QFileInfo(targetRoot)) || !QDir().mkdir(targetRoot))
        return fail(error, tr("Zielordner konnte nicht erstellt werden: %1").arg(native(targetRoot)));
    const QDir sourceDir(sourceRoot);
    QString failure;
    walkTree(sourceRoot, everyEntry, [&](const QFileInfo &info) {
        const QString destination =
            targetRoot + QLatin1Char('/') + sourceDir.relativeFilePath(info.filePath());
        if (isLinkEntry(info)) {
            if (copySymbolicLink(info.filePath(), destination))
                return true;
            failure = tr("Eintrag konnte nicht gesichert werden: %1").arg(native(info.filePath()));
            return false;
        }
        if (info.isDir()) {
            if (QDir().mkdir(destination))
                return true;
            failure = tr("Ordner konnte nicht erstellt werden: %1").arg(native(destination));
            return false;
        }
        // Pipes and devices cannot be copied; a backup without them would lose them when it is put back.
        if (!info.isFile()) {
            failure = tr("Eintrag konnte nicht gesichert werden: %1").arg(native(info.filePath()));
            return false;
        }
        QString lastError;
        if (copyFileWithRetries(info.filePath(), destination, hooks, &lastError))
            return true;
        failure = copyFailedText(destination, lastError);
        return false;
    });
    if (!failure.isEmpty())
        return fail(error, failure);
    if (error)
        error->clear();
    return true;
}

bool containsCopiedFile(const QString &folder)
{
    bool found = false;
    walkTree(folder, QDir::AllEntries, [&found](const QFileInfo &info) {
        found = info.isFile();
        return !found;
    });
    return found;
}

bool removeFileWithRetries(const QString &path, QString *error, const FileOperationHooks &hooks)
{
    QString lastError;
    for (int attempt = 1; attempt <= removeAttempts; ++attempt) {
        lastError = injectedFailure(hooks, FileOperation::RemoveFile, path);
        if (lastError.isEmpty()) {
            const QFileInfo info(path);
            if (!existsOrIsLink(info)) {
                if (error)
                    error->clear();
                return true;
            }
            const bool link = isLinkEntry(info);
            // Changing a link's permissions would change those of its target.
            if (!link)
                makeWritable(path);
            QFile file(path);
            if (file.remove() || (link && QDir().rmdir(path))) {
                if (error)
                    error->clear();
                return true;
            }
            lastError = file.errorString();
        }
        if (attempt < removeAttempts)
            pauseAfter(hooks, attempt);
    }
    return fail(error, lastError);
}

bool renameDirectory(const QString &from, const QString &to, QString *error, const FileOperationHooks &hooks)
{
    const QFileInfo fromInfo(QDir::cleanPath(QFileInfo(from).absoluteFilePath()));
    const QFileInfo toInfo(QDir::cleanPath(QFileInfo(to).absoluteFilePath()));
    // Within one parent a rename is a single directory-entry change: it either happens or not, and it never
    // turns into a slow copy across drives that could stop half-way.
    if (fromInfo.absolutePath().compare(toInfo.absolutePath(), Qt::CaseInsensitive) != 0)
        return fail(error, tr("Sicherungsordner liegt nicht auf demselben Pfad."));
    // A rename onto an existing folder would merge into it or replace it on some systems.
    if (existsOrIsLink(toInfo))
        return fail(error, tr("Ordner konnte nicht umbenannt werden."));

    QDir parent(fromInfo.absolutePath());
    QString lastError;
    for (int attempt = 1; attempt <= removeAttempts; ++attempt) {
        lastError = injectedFailure(hooks, FileOperation::RenameDirectory, fromInfo.filePath());
        if (lastError.isEmpty()) {
            clearReadOnlyTree(fromInfo.filePath());
            if (parent.rename(fromInfo.fileName(), toInfo.fileName())) {
                if (error)
                    error->clear();
                return true;
            }
            lastError = tr("Ordner konnte nicht umbenannt werden.");
        }
        if (attempt < removeAttempts)
            pauseAfter(hooks, attempt);
    }
    return fail(error, lastError);
}

namespace {
// One attempt of removeDirectoryTree; the error text is empty on success.
QString removeDirectoryTreeAttempt(const QString &path, const FileOperationHooks &hooks)
{
    const QString injected = injectedFailure(hooks, FileOperation::RemoveDirectory, path);
    if (!injected.isEmpty())
        return injected;
    const QFileInfo info(path);
    bool removed = false;
    if (!existsOrIsLink(info)) {
        removed = true;
    } else if (isLinkEntry(info)) {
        removed = removeLink(path);
    } else if (info.isDir()) {
        clearReadOnlyTree(path);
        removed = removeTreeWithoutFollowing(path);
    } else {
        makeWritable(path);
        removed = QFile::remove(path);
    }
    return removed ? QString() : tr("Ordner konnte nicht vollständig gelöscht werden.");
}
} // namespace

bool removeDirectoryTree(const QString &path, QString *error, const FileOperationHooks &hooks)
{
    QString lastError;
    for (int attempt = 1; attempt <= removeAttempts; ++attempt) {
        lastError = removeDirectoryTreeAttempt(path, hooks);
        if (lastError.isEmpty()) {
            if (error)
                error->clear();
            return true;
        }
        if (attempt < removeAttempts)
            pauseAfter(hooks, attempt);
    }
    return fail(error, lastError);
}

bool removeDirectoryTreeOnce(const QString &path, QString *error, const FileOperationHooks &hooks)
{
    const QString failure = removeDirectoryTreeAttempt(path, hooks);
    if (error)
        *error = failure;
    return failure.isEmpty();
}

void clearReadOnlyTree(const QString &path)
{
    const QFileInfo root(path);
    if (!root.exists() || isLinkEntry(root))
        return;
    makeWritable(path);
    if (!root.isDir())
        return;
    walkTree(path, everyEntry, [](const QFileInfo &info) {
        if (!isLinkEntry(info))
            makeWritable(info.filePath());
        return true;
    });
}
