#include "previews/previewqueue.h"

#include <QCoreApplication>

PreviewEnqueued enqueuePreview(PreviewQueue &queue, const QString &url, const QString &referer,
                               bool highPriority)
{
    if (!referer.trimmed().isEmpty())
        queue.referers.insert(url, referer);
    const qsizetype position = queue.queue.indexOf(url);
    if (position >= 0) {
        if (!highPriority || position == 0)
            return PreviewEnqueued::AlreadyQueued;
        queue.queue.move(position, 0);
        return PreviewEnqueued::MovedToFront;
    }
    if (queue.pending.contains(url))
        return PreviewEnqueued::Transferring;
    if (queue.running == 0 && queue.queue.isEmpty() && queue.pending.isEmpty()) {
        queue.batchTotal = 0;
        queue.batchDone = 0;
        queue.batchUrls.clear();
    }
    if (!queue.batchUrls.contains(url)) {
        queue.batchUrls.insert(url);
        ++queue.batchTotal;
    }
    queue.pending.insert(url);
    if (highPriority)
        queue.queue.prepend(url);
    else
        queue.queue.append(url);
    return PreviewEnqueued::Added;
}

bool takeNextPreview(PreviewQueue &queue, QString *url, QString *referer)
{
    if (queue.running >= maxPreviewTransfers || queue.queue.isEmpty())
        return false;
    *url = queue.queue.takeFirst();
    *referer = queue.referers.value(*url);
    ++queue.running;
    return true;
}

void finishPreviewTransfer(PreviewQueue &queue, const QString &url)
{
    queue.pending.remove(url);
    queue.referers.remove(url);
    queue.running = qMax(0, queue.running - 1);
    if (queue.batchUrls.contains(url))
        queue.batchDone = qMin(queue.batchDone + 1, queue.batchTotal);
}

bool previewBatchComplete(const PreviewQueue &queue)
{
    return queue.batchDone >= queue.batchTotal && queue.queue.isEmpty() && queue.running == 0;
}

QString previewProgressText(const PreviewQueue &queue)
{
    const QString text =
        previewBatchComplete(queue)
            ? QCoreApplication::translate("MainWindow", "Vorschaubilder geladen: %1 / %2")
            : QCoreApplication::translate("MainWindow", "Vorschaubilder werden geladen: %1 / %2");
    return text.arg(qMin(queue.batchDone, queue.batchTotal)).arg(queue.batchTotal);
}
