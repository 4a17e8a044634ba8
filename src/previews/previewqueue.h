#pragma once

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

// The order in which preview images are fetched and the progress of the current batch. Lists ask for many
// images while they scroll; only a few transfers run at once so that image hosts do not refuse us and the
// picture the player just selected does not wait behind a whole page of logos.
inline constexpr int maxPreviewTransfers = 4;

struct PreviewQueue
{
    QStringList queue;     // waiting, front = next
    QSet<QString> pending; // waiting or being transferred
    QHash<QString, QString> referers;
    int running = 0;
    // A batch lasts from a request while everything is idle until its last image is finished.
    QSet<QString> batchUrls;
    int batchTotal = 0;
    int batchDone = 0;
};

enum class PreviewEnqueued
{
    Added,         // new in the queue
    MovedToFront,  // was waiting, now next
    AlreadyQueued, // was waiting and stays where it is
    Transferring,  // being transferred already
};

// Queues url (trimmed, not empty) for a transfer; a high-priority request goes to the front.
PreviewEnqueued enqueuePreview(PreviewQueue &queue, const QString &url, const QString &referer,
                               bool highPriority);
// The next URL to transfer when a transfer slot is free; the transfer counts as running from now on.
bool takeNextPreview(PreviewQueue &queue, QString *url, QString *referer);
// A transfer ended, with or without an image.
void finishPreviewTransfer(PreviewQueue &queue, const QString &url);
// Every image of the batch is finished and nothing waits or runs.
bool previewBatchComplete(const PreviewQueue &queue);
// "Vorschaubilder werden geladen: 3 / 10" while the batch runs, "Vorschaubilder geladen: ..." at its end.
QString previewProgressText(const PreviewQueue &queue);
