#include "platform/rawnames.h"

#ifdef Q_OS_WIN

QList<QByteArray> undecodableEntries(const QString &)
{
    return {};
}

bool renameUndecodableEntry(const QString &, const QByteArray &, const QString &)
{
    return false;
}

#else

#include <QFile>

#include <cstdio>
#include <dirent.h>
#include <sys/stat.h>

namespace {
bool isText(const QByteArray &name)
{
    return QFile::encodeName(QFile::decodeName(name)) == name;
}

void collect(const QByteArray &root, const QByteArray &relative, QList<QByteArray> *found)
{
    const QByteArray path = relative.isEmpty() ? root : QByteArray(root + '/' + relative);
    DIR *dir = ::opendir(path.constData());
    if (!dir)
        return;
    QList<QByteArray> names;
    while (const dirent *entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (name != "." && name != "..")
            names.append(name);
    }
    ::closedir(dir);

    for (const QByteArray &name : std::as_const(names)) {
        const QByteArray child = relative.isEmpty() ? name : relative + '/' + name;
        struct stat info;
        if (::lstat(QByteArray(root + '/' + child).constData(), &info) == 0 && S_ISDIR(info.st_mode))
            collect(root, child, found);
        if (!isText(name))
            found->append(child);
    }
}
} // namespace

QList<QByteArray> undecodableEntries(const QString &folder)
{
    QList<QByteArray> found;
    collect(QFile::encodeName(folder), QByteArray(), &found);
    return found;
}

bool renameUndecodableEntry(const QString &folder, const QByteArray &relativePath, const QString &newName)
{
    const QByteArray root = QFile::encodeName(folder);
    const qsizetype slash = relativePath.lastIndexOf('/');
    const QByteArray parent = slash < 0 ? root : QByteArray(root + '/' + relativePath.left(slash));
    const QByteArray to = parent + '/' + QFile::encodeName(newName);
    const QByteArray from = root + '/' + relativePath;
    // rename() would silently replace an entry of the new name.
    struct stat existing;
    if (newName.isEmpty() || newName.contains(QLatin1Char('/')) || ::lstat(to.constData(), &existing) == 0)
        return false;
    return ::rename(from.constData(), to.constData()) == 0;
}

#endif
