#include "install/archivevolumes.h"

#include <QRegularExpression>

namespace {

QString lastPathComponent(const QString &path)
{
    const qsizetype slash = qMax(path.lastIndexOf(u'/'), path.lastIndexOf(u'\\'));
    return slash < 0 ? path : path.mid(slash + 1);
}

ArchiveVolumeInfo volume(const QString &scheme, const QString &baseName, int partNumber, bool isFirst)
{
    ArchiveVolumeInfo info;
    info.isMultiVolume = true;
    info.groupKey = scheme + u'|' + baseName.toLower();
    info.partNumber = partNumber;
    info.isFirst = isFirst;
    return info;
}

} // namespace

ArchiveVolumeInfo parseArchiveVolumeName(const QString &fileName)
{
    static const QRegularExpression rarPart(QStringLiteral("^(.+)\\.part(\\d+)\\.rar$"),
                                            QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression numbered(QStringLiteral("^(.+\\.(?:7z|zip|rar))\\.(\\d{3,})$"),
                                             QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression rarOld(QStringLiteral("^(.+)\\.r(\\d{2,3})$"),
                                           QRegularExpression::CaseInsensitiveOption);

    const QString name = lastPathComponent(fileName);

    QRegularExpressionMatch match = rarPart.match(name);
    if (match.hasMatch()) {
        const int part = match.captured(2).toInt();
        return volume(QStringLiteral("rar-part"), match.captured(1), part, part == 1);
    }
    match = numbered.match(name);
    if (match.hasMatch()) {
        const int part = match.captured(2).toInt();
        return volume(QStringLiteral("numbered"), match.captured(1), part, part == 1);
    }
    match = rarOld.match(name);
    if (match.hasMatch()) {
        // name.rar is volume 1, so name.r00 is volume 2.
        return volume(QStringLiteral("rar-old"), match.captured(1), match.captured(2).toInt() + 2, false);
    }
    if (name.endsWith(QLatin1String(".rar"), Qt::CaseInsensitive))
        return volume(QStringLiteral("rar-old"), name.chopped(4), 1, true);
    return {};
}
