#include "analysis/imageheaders.h"

#include <QFile>
#include <QFileInfo>

namespace {

constexpr qint64 headerBytes = 128;
// JPEG files carry metadata (EXIF, colour profiles, thumbnails) before the frame header; a frame header
// further in than this is not looked for.
constexpr qint64 maxJpegScanBytes = 4 * 1024 * 1024;

quint32 le32(const QByteArray &data, qsizetype at)
{
    const auto *p = reinterpret_cast<const uchar *>(data.constData() + at);
    return quint32(p[0]) | (quint32(p[1]) << 8) | (quint32(p[2]) << 16) | (quint32(p[3]) << 24);
}

quint32 le24(const QByteArray &data, qsizetype at)
{
    const auto *p = reinterpret_cast<const uchar *>(data.constData() + at);
    return quint32(p[0]) | (quint32(p[1]) << 8) | (quint32(p[2]) << 16);
}

quint16 le16(const QByteArray &data, qsizetype at)
{
    const auto *p = reinterpret_cast<const uchar *>(data.constData() + at);
    return quint16(p[0] | (p[1] << 8));
}

quint32 be32(const QByteArray &data, qsizetype at)
{
    const auto *p = reinterpret_cast<const uchar *>(data.constData() + at);
    return (quint32(p[0]) << 24) | (quint32(p[1]) << 16) | (quint32(p[2]) << 8) | quint32(p[3]);
}

quint16 be16(const uchar *p)
{
    return quint16((p[0] << 8) | p[1]);
}

QSize sizeIfPositive(qint64 width, qint64 height)
{
    if (width <= 0 || height <= 0 || width > INT_MAX || height > INT_MAX)
        return QSize();
    return QSize(int(width), int(height));
}

QSize pngSize(const QByteArray &head)
{
    // Signature, then the IHDR chunk: length, type, width, height (big-endian).
    if (head.size() < 24 || !head.startsWith("\x89PNG\r\n\x1a\n") || head.mid(12, 4) != "IHDR")
        return QSize();
    return sizeIfPositive(be32(head, 16), be32(head, 20));
}

QSize gifSize(const QByteArray &head)
{
    if (head.size() < 10 || !(head.startsWith("GIF87a") || head.startsWith("GIF89a")))
        return QSize();
    return sizeIfPositive(le16(head, 6), le16(head, 8));
}

QSize bmpSize(const QByteArray &head)
{
    if (head.size() < 26 || !head.startsWith("BM"))
        return QSize();
    const quint32 infoSize = le32(head, 14);
    if (infoSize == 12) // OS/2 BITMAPCOREHEADER: 16-bit sizes
        return sizeIfPositive(le16(head, 18), le16(head, 20));
    if (infoSize < 40)
        return QSize();
    // Heights are negative for top-down bitmaps.
    const qint32 width = qint32(le32(head, 18));
    const qint32 height = qint32(le32(head, 22));
    return sizeIfPositive(width, height < 0 ? -qint64(height) : height);
}

QSize webpSize(const QByteArray &head)
{
    if (head.size() < 30 || !head.startsWith("RIFF") || head.mid(8, 4) != "WEBP")
        return QSize();
    const QByteArray chunk = head.mid(12, 4);
    const auto *p = reinterpret_cast<const uchar *>(head.constData());
    if (chunk == "VP8X")
        return sizeIfPositive(qint64(le24(head, 24)) + 1, qint64(le24(head, 27)) + 1);
    if (chunk == "VP8L") {
        if (p[20] != 0x2f)
            return QSize();
        const quint32 bits = le32(head, 21);
        return sizeIfPositive(qint64(bits & 0x3fff) + 1, qint64((bits >> 14) & 0x3fff) + 1);
    }
    if (chunk == "VP8 ") {
        // Frame tag (3 bytes) and start code 9d 01 2a precede the 14-bit sizes.
        if (p[23] != 0x9d || p[24] != 0x01 || p[25] != 0x2a)
            return QSize();
        return sizeIfPositive(le16(head, 26) & 0x3fff, le16(head, 28) & 0x3fff);
    }
    return QSize();
}

QSize jpegSize(QFile &file)
{
    if (!file.seek(2))
        return QSize();
    while (file.pos() < maxJpegScanBytes) {
        uchar marker[2];
        if (file.read(reinterpret_cast<char *>(marker), 2) != 2 || marker[0] != 0xff)
            return QSize();
        // Fill bytes: any number of 0xff may precede a marker code.
        while (marker[1] == 0xff) {
            if (!file.getChar(reinterpret_cast<char *>(&marker[1])))
                return QSize();
        }
        const uchar code = marker[1];
        if (code == 0xd9 || code == 0xda) // end of image, start of scan: no frame header came
            return QSize();
        if (code == 0x01 || (code >= 0xd0 && code <= 0xd7)) // markers without a length
            continue;
        uchar lengthBytes[2];
        if (file.read(reinterpret_cast<char *>(lengthBytes), 2) != 2)
            return QSize();
        const quint16 length = be16(lengthBytes);
        if (length < 2)
            return QSize();
        const bool isFrame = code >= 0xc0 && code <= 0xcf && code != 0xc4 && code != 0xc8 && code != 0xcc;
        if (isFrame) {
            uchar frame[5];
            if (length < 7 || file.read(reinterpret_cast<char *>(frame), 5) != 5)
                return QSize();
            return sizeIfPositive(be16(frame + 3), be16(frame + 1));
        }
        if (!file.seek(file.pos() + length - 2))
            return QSize();
    }
    return QSize();
}

} // namespace

QSize readImageSize(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QSize();
    const QByteArray head = file.read(headerBytes);

    if (head.size() >= 20 && head.startsWith("DDS ")) {
        const qint32 height = qint32(le32(head, 12));
        const qint32 width = qint32(le32(head, 16));
        return sizeIfPositive(width, height);
    }
    if (head.size() >= 18 &&
        QFileInfo(path).suffix().compare(QLatin1String("tga"), Qt::CaseInsensitive) == 0) {
        const quint16 width = le16(head, 12);
        const quint16 height = le16(head, 14);
        return sizeIfPositive(width, height);
    }
    if (head.startsWith("\x89PNG"))
        return pngSize(head);
    if (head.startsWith("\xff\xd8\xff"))
        return jpegSize(file);
    if (head.startsWith("BM"))
        return bmpSize(head);
    if (head.startsWith("GIF8"))
        return gifSize(head);
    if (head.startsWith("RIFF"))
        return webpSize(head);
    return QSize();
}
