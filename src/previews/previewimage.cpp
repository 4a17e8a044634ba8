#include "previews/previewimage.h"

#include "previews/previewcache.h"

#include <QBuffer>
#include <QImage>
#include <QImageReader>

QPixmap decodePreviewImage(const QByteArray &bytes, const QString &url)
{
    if (bytes.isEmpty())
        return {};
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(true);
    if (reader.format().isEmpty() && isWebpPreviewUrl(url))
        reader.setFormat("webp");
    const QImage image = reader.read();
    return image.isNull() ? QPixmap() : QPixmap::fromImage(image);
}

QPixmap coverCropped(const QPixmap &pixmap, const QSize &size)
{
    if (pixmap.isNull() || size.isEmpty())
        return {};
    const QPixmap scaled = pixmap.scaled(size, Qt::KeepAspectRatioByExpanding, Qt::SmoothTransformation);
    return scaled.copy((scaled.width() - size.width()) / 2, (scaled.height() - size.height()) / 2,
                       size.width(), size.height());
}

bool imageReaderSupportsWebp()
{
    return QImageReader::supportedImageFormats().contains("webp");
}
