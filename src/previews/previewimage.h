#pragma once

#include "previews/previewqueue.h"

#include <QByteArray>
#include <QHash>
#include <QPixmap>
#include <QSet>
#include <QSize>
#include <QString>

class QLabel;
class QProgressBar;

// Picture sizes: mod.io list rows, the detail panels, catalog table rows and gallery cards. Pictures are cut
// to these, not squeezed, so that logos of any shape fill their frame.
inline constexpr QSize previewListSize(160, 90);
inline constexpr QSize previewDetailSize(320, 180);
inline constexpr QSize previewTableSize(112, 63);
inline constexpr QSize previewCardSize(224, 126);

// The window's preview images: the queue, the pictures decoded in this run and the two detail panels' wishes.
struct PreviewImages
{
    PreviewQueue queue;
    // Every picture decoded since the start, full size, by address.
    QHash<QString, QPixmap> memory;
    // The same cut to the list sizes, made when a row first shows them.
    QHash<QString, QPixmap> listIcons;
    QHash<QString, QPixmap> tableIcons;
    QHash<QString, QPixmap> cardPictures;
    // Addresses that failed in this run. Lists do not ask for them again (each failure would repaint the rows
    // and ask anew); a detail panel does.
    QSet<QString> failed;
    // Addresses the catalog's visible rows asked for, requested together on the next turn of the event loop.
    QSet<QString> wanted;
    QString catalogDetailUrl;
    QString modIoDetailUrl;
    // The batch progress on the mod.io page; its own pair, so the list's load info stays readable.
    QLabel *progressLabel = nullptr;
    QProgressBar *progressBar = nullptr;
    // Counts finished batches, so a hide timer of an old batch leaves a new batch's progress alone.
    int batchSerial = 0;
};

// Reads an image whatever its file type, turned upright as its orientation says. A ".webp" address whose
// bytes the reader does not recognise is read as WebP.
QPixmap decodePreviewImage(const QByteArray &bytes, const QString &url);
// Scales the picture to cover size and cuts out the centre.
QPixmap coverCropped(const QPixmap &pixmap, const QSize &size);
bool imageReaderSupportsWebp();
