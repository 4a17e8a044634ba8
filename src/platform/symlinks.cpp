#include "platform/symlinks.h"

#ifdef Q_OS_WIN

bool copySymbolicLink(const QString &, const QString &)
{
    return false;
}

#else

#include <QFile>

#include <unistd.h>

bool copySymbolicLink(const QString &link, const QString &copy)
{
    const QByteArray from = QFile::encodeName(link);
    QByteArray text(4096, '\0');
    const ssize_t length = ::readlink(from.constData(), text.data(), size_t(text.size()));
    if (length <= 0 || length >= text.size())
        return false;
    text.truncate(length);
    return ::symlink(text.constData(), QFile::encodeName(copy).constData()) == 0;
}

#endif
