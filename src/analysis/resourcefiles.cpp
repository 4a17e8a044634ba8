#include "analysis/resourcefiles.h"

#include <QFile>

QByteArray readResourceText(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    // Asking for the cap itself would allocate 8 MiB for every small file; regular files know their size.
    const qint64 size = file.size();
    if (size <= 0)
        return QByteArray();
    return file.read(qMin(size, maxResourceTextBytes));
}

QString normalizeResourcePath(const QString &text)
{
    QString path = text;
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    qsizetype leading = 0;
    while (leading < path.size() && path.at(leading) == QLatin1Char('/'))
        ++leading;
    path.remove(0, leading);
    return path.toLower();
}

QString meshKey(const QString &path)
{
    QString lower = path.toLower();
    lower.replace(QLatin1Char('\\'), QLatin1Char('/'));
    const QLatin1String marker("/res/models/mesh/");
    const qsizetype at = lower.indexOf(marker);
    if (at >= 0)
        return normalizeResourcePath(lower.mid(at + marker.size()));
    const qsizetype slash = lower.lastIndexOf(QLatin1Char('/'));
    return normalizeResourcePath(slash >= 0 ? lower.mid(slash + 1) : lower);
}
