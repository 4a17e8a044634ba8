#include "app/listroles.h"
#include "app/listwidgets.h"
#include "app/mainwindow.h"
#include "app/recordtablemodel.h"
#include "install/requestconventions.h"
#include "modio/modiolistmodel.h"
#include "previews/previewcache.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QListView>
#include <QNetworkDiskCache>
#include <QNetworkReply>
#include <QProcess>
#include <QProgressBar>
#include <QStandardPaths>
#include <QTableView>
#include <QTimer>

namespace {
constexpr int progressHideDelayMs = 1400;

QString curlProgram()
{
    const QString program = QStandardPaths::findExecutable(QStringLiteral("curl.exe"));
    return program.isEmpty() ? QStandardPaths::findExecutable(QStringLiteral("curl")) : program;
}

QString curlMissingText()
{
    return QCoreApplication::translate("MainWindow", "curl.exe wurde für den WebP-Fallback nicht gefunden.");
}

// A cache file that cannot be read any more is removed, so that the picture is fetched anew.
QPixmap loadPreviewFile(const QString &path)
{
    if (path.isEmpty() || !QFile::exists(path))
        return {};
    QPixmap pixmap(path);
    if (pixmap.isNull())
        QFile::remove(path);
    return pixmap;
}

void showPreviewIn(QLabel *label, const QPixmap &pixmap, const QString &error)
{
    if (!pixmap.isNull()) {
        label->setPixmap(coverCropped(pixmap, previewDetailSize));
        label->setToolTip(QString());
        return;
    }
    label->setPixmap(QPixmap());
    label->setText(QCoreApplication::translate("MainWindow", "Vorschau konnte nicht geladen werden"));
    label->setToolTip(error);
}
} // namespace

void MainWindow::requestPreview(const QString &url, const QString &referer, bool highPriority)
{
    const QString address = url.trimmed();
    if (address.isEmpty())
        return;
    // From memory or the URL cache: shown at once, nothing is queued.
    const QPixmap cached = cachedPreview(address, nullptr);
    if (!cached.isNull()) {
        refreshPreviewRows(address);
        if (previews.catalogDetailUrl == address)
            showPreviewIn(catalogView.preview, cached, QString());
        return;
    }
    if (enqueuePreview(previews.queue, address, referer, highPriority) != PreviewEnqueued::Added)
        return;
    updatePreviewProgress();
    startPreviewTransfers();
}

QPixmap MainWindow::cachedPreview(const QString &url, const ModIoMod *record)
{
    const auto found = previews.memory.constFind(url);
    if (found != previews.memory.constEnd())
        return *found;
    const QString directory = previewCacheDirectory();
    QPixmap pixmap;
    if (record)
        pixmap = loadPreviewFile(modIoPreviewFile(directory, record->id, record->dateUpdated));
    if (pixmap.isNull()) {
        const QString file = previewUrlCacheFile(directory, url);
        if (previewUrlCacheFileFresh(file, QDateTime::currentDateTime()))
            pixmap = loadPreviewFile(file);
        else
            QFile::remove(file);
    }
    if (!pixmap.isNull())
        rememberPreview(url, pixmap);
    return pixmap;
}

void MainWindow::rememberPreview(const QString &url, const QPixmap &pixmap)
{
    previews.memory.insert(url, pixmap);
    previews.listIcons.remove(url);
    previews.tableIcons.remove(url);
    previews.cardPictures.remove(url);
    previews.failed.remove(url);
}

void MainWindow::startPreviewTransfers()
{
    QString url;
    QString referer;
    while (takeNextPreview(previews.queue, &url, &referer)) {
        if (!isFetchablePreviewUrl(url)) {
            // Answered on the next turn like a reply, so the queue is never re-entered from inside this loop.
            QTimer::singleShot(0, this, [this, url] {
                finishPreview(url, QPixmap(), tr("Nur Bilder von http- und https-Adressen werden geladen."));
            });
        } else if (isWebpPreviewUrl(url) && !curlProgram().isEmpty()) {
            startCurlPreview(url, referer);
        } else {
            startPreviewDownload(url, referer);
        }
    }
}

void MainWindow::startPreviewDownload(const QString &url, const QString &referer)
{
    RequestExtras extras;
    extras.referer = referer;
    QNetworkReply *reply = network.get(buildRequest(RequestKind::PreviewImage, url, extras));
    connect(reply, &QNetworkReply::finished, this, [this, reply, url] {
        QString error;
        QByteArray body;
        if (reply->error() != QNetworkReply::NoError)
            error = reply->errorString();
        else
            body = reply->readAll();
        reply->deleteLater();
        const QPixmap pixmap = decodePreviewImage(body, url);
        if (pixmap.isNull() && !body.isEmpty() && error.isEmpty())
            error = tr("Bild wurde geladen, konnte aber nicht dekodiert werden.");
        // Without curl a WebP picture had only this one way; say what would have helped.
        if (pixmap.isNull() && isWebpPreviewUrl(url) && curlProgram().isEmpty())
            error = curlMissingText();
        finishPreview(url, pixmap, error);
    });
}

void MainWindow::startCurlPreview(const QString &url, const QString &referer)
{
    const QString program = curlProgram();
    if (program.isEmpty()) {
        finishPreview(url, QPixmap(), curlMissingText());
        return;
    }
    QStringList arguments{QStringLiteral("-L"),
                          QStringLiteral("--fail"),
                          QStringLiteral("--silent"),
                          QStringLiteral("--show-error"),
                          QStringLiteral("--connect-timeout"),
                          QStringLiteral("8"),
                          QStringLiteral("--max-time"),
                          QStringLiteral("20"),
                          QStringLiteral("-A"),
                          QString::fromLatin1(browserUserAgent()),
                          QStringLiteral("-H"),
                          QStringLiteral("Accept: ") + QString::fromLatin1(imageAcceptHeader())};
    if (!referer.trimmed().isEmpty())
        arguments << QStringLiteral("-e") << referer.trimmed();
    arguments << url;

    auto *process = new QProcess(this);
    // A process that fails to start reports an error and no end; one that crashes may report both.
    const auto handle = [this, process, url] {
        if (process->property("fx3PreviewFinished").toBool())
            return;
        process->setProperty("fx3PreviewFinished", true);
        const QByteArray output = process->readAllStandardOutput();
        const QString errorOutput = QString::fromLocal8Bit(process->readAllStandardError()).trimmed();
        process->deleteLater();
        QPixmap pixmap;
        QString error;
        if (process->exitStatus() == QProcess::NormalExit && process->exitCode() == 0 && !output.isEmpty()) {
            pixmap = decodePreviewImage(output, url);
            if (pixmap.isNull())
                error = imageReaderSupportsWebp()
                            ? tr("WebP-Bild wurde heruntergeladen, konnte aber nicht dekodiert werden.")
                            : tr("WebP-Unterstützung fehlt (qwebp.dll nicht verfügbar).");
        } else {
            error = !errorOutput.isEmpty()
                        ? errorOutput
                        : tr("WebP-Download fehlgeschlagen (curl Exit-Code %1).").arg(process->exitCode());
        }
        finishPreview(url, pixmap, error);
    };
    connect(process, &QProcess::finished, this, handle);
    connect(process, &QProcess::errorOccurred, this, handle);
    process->start(program, arguments);
}

void MainWindow::finishPreview(const QString &url, const QPixmap &pixmap, const QString &error)
{
    if (!pixmap.isNull()) {
        rememberPreview(url, pixmap);
        const QString directory = previewCacheDirectory();
        if (!url.isEmpty() && QDir().mkpath(directory))
            pixmap.save(previewUrlCacheFile(directory, url), "PNG");
        for (const ModIoMod &mod : std::as_const(modIoView.mods)) {
            if (mod.id.isEmpty() || mod.logoUrl.trimmed() != url)
                continue;
            const QString file = modIoPreviewFile(directory, mod.id, mod.dateUpdated);
            if (file.isEmpty())
                continue;
            removeModIoPreviewFiles(directory, mod.id);
            if (QDir().mkpath(QFileInfo(file).path()))
                pixmap.save(file, "PNG");
        }
    } else {
        previews.failed.insert(url);
    }
    finishPreviewTransfer(previews.queue, url);
    refreshPreviewRows(url);
    if (catalogView.preview && previews.catalogDetailUrl == url)
        showPreviewIn(catalogView.preview, pixmap, error);
    if (modIoView.preview && previews.modIoDetailUrl == url)
        showPreviewIn(modIoView.preview, pixmap, error);
    updatePreviewProgress();
    startPreviewTransfers();
}

void MainWindow::refreshPreviewRows(const QString &url)
{
    if (ModIoListModel *model = modIoView.model) {
        for (int row = 0; row < model->rowCount(); ++row) {
            const int record = model->recordAt(row);
            if (record >= 0 && record < modIoView.mods.size() &&
                modIoView.mods.at(record).logoUrl.trimmed() == url) {
                const QModelIndex index = model->index(row);
                Q_EMIT model->dataChanged(index, index, {Qt::DecorationRole});
            }
        }
    }
    if (RecordTableModel *model = catalogView.model) {
        for (int row = 0; row < model->rowCount(); ++row) {
            const int record = model->recordAt(row);
            if (record >= 0 && record < catalog.size() && catalog.at(record).previewUrl.trimmed() == url) {
                const QModelIndex index = model->index(row, 0);
                Q_EMIT model->dataChanged(index, index, {Qt::DecorationRole, ListRole::CardPicture});
            }
        }
    }
}

QVariant MainWindow::modIoRowIcon(int record)
{
    if (record < 0 || record >= modIoView.mods.size())
        return {};
    return scaledPreview(modIoView.mods.at(record).logoUrl.trimmed(), previews.listIcons, previewListSize);
}

QVariant MainWindow::catalogPreview(int record, int role)
{
    if (record < 0 || record >= catalog.size())
        return {};
    const QString url = catalog.at(record).previewUrl.trimmed();
    const QVariant picture = role == Qt::DecorationRole
                                 ? scaledPreview(url, previews.tableIcons, previewTableSize)
                                 : scaledPreview(url, previews.cardPictures, previewCardSize);
    // Only rows a view paints ask, so scrolling through a long catalog fetches what the player sees.
    if (picture.isNull() && !url.isEmpty() && !previews.failed.contains(url) &&
        !previews.queue.pending.contains(url) && !previews.wanted.contains(url)) {
        if (previews.wanted.isEmpty())
            QTimer::singleShot(0, this, [this] {
                const QSet<QString> wanted = std::exchange(previews.wanted, {});
                for (const QString &address : wanted)
                    requestPreview(address, QString(), false);
            });
        previews.wanted.insert(url);
    }
    // An icon, not a pixmap: the table shows icons at its own icon size, pixmaps at theirs.
    if (role == Qt::DecorationRole && !picture.isNull())
        return QIcon(picture.value<QPixmap>());
    return picture;
}

QVariant MainWindow::scaledPreview(const QString &url, QHash<QString, QPixmap> &sized, const QSize &size)
{
    if (url.isEmpty())
        return {};
    auto found = sized.constFind(url);
    if (found == sized.constEnd()) {
        const auto original = previews.memory.constFind(url);
        if (original == previews.memory.constEnd())
            return {};
        found = sized.insert(url, coverCropped(*original, size));
    }
    return *found;
}

void MainWindow::scheduleVisiblePreviews()
{
    ModIoView &view = modIoView;
    if (!view.model || !view.list)
        return;
    const int count = view.model->rowCount();
    if (count == 0)
        return;
    const int first = qMax(0, view.list->indexAt(QPoint(6, 6)).row());
    int last = view.list->indexAt(QPoint(6, view.list->viewport()->height() - 6)).row();
    if (last < 0)
        last = qMin(first + 8, count - 1);
    for (int row = qMax(first - 2, 0); row <= qMin(count - 1, last + 3); ++row) {
        const int record = view.model->recordAt(row);
        if (record < 0 || record >= view.mods.size())
            continue;
        const ModIoMod &mod = view.mods.at(record);
        const QString url = mod.logoUrl.trimmed();
        if (url.isEmpty() || previews.queue.pending.contains(url) || previews.failed.contains(url))
            continue;
        const bool known = previews.memory.contains(url);
        if (known || !cachedPreview(url, &mod).isNull()) {
            if (!known) {
                const QModelIndex index = view.model->index(row);
                Q_EMIT view.model->dataChanged(index, index, {Qt::DecorationRole});
            }
            continue;
        }
        requestPreview(url, mod.profileUrl, false);
    }
}

void MainWindow::showModIoDetailPreview(const QString &url)
{
    QLabel *label = modIoView.preview;
    const QString address = url.trimmed();
    previews.modIoDetailUrl = address;
    label->setToolTip(QString());
    if (address.isEmpty()) {
        label->setPixmap(QPixmap());
        label->setText(tr("Keine Vorschau verfügbar"));
        return;
    }
    const int index = modIoView.selectedIndex;
    const ModIoMod *record =
        index >= 0 && index < modIoView.mods.size() ? &modIoView.mods.at(index) : nullptr;
    if (record && record->logoUrl.trimmed() != address)
        record = nullptr;
    const QPixmap cached = cachedPreview(address, record);
    if (!cached.isNull()) {
        label->setPixmap(coverCropped(cached, previewDetailSize));
        return;
    }
    label->setText(tr("Vorschau wird geladen…"));
    requestPreview(address, record ? record->profileUrl : QString(), true);
}

void MainWindow::showCatalogDetailPreview(const QString &url)
{
    QLabel *label = catalogView.preview;
    previews.catalogDetailUrl = url.trimmed();
    label->setToolTip(QString());
    if (previews.catalogDetailUrl.isEmpty()) {
        label->setPixmap(QPixmap());
        label->setText(tr("Keine Vorschau verfügbar"));
        return;
    }
    label->setText(tr("Vorschau wird geladen…"));
    requestPreview(previews.catalogDetailUrl, QString(), true);
}

void MainWindow::buildPreviewProgress(QWidget *parent, QHBoxLayout *row)
{
    previews.progressLabel = new QLabel(parent);
    previews.progressLabel->setObjectName(QStringLiteral("modIoPreviewProgressLabel"));
    previews.progressBar = new QProgressBar(parent);
    previews.progressBar->setObjectName(QStringLiteral("modIoPreviewProgress"));
    previews.progressBar->setMaximumWidth(120);
    previews.progressBar->setTextVisible(false);
    previews.progressLabel->hide();
    previews.progressBar->hide();
    row->addWidget(previews.progressLabel);
    row->addWidget(previews.progressBar);
}

void MainWindow::updatePreviewProgress()
{
    QLabel *label = previews.progressLabel;
    QProgressBar *bar = previews.progressBar;
    if (!label || !bar)
        return;
    const PreviewQueue &queue = previews.queue;
    if (queue.batchTotal <= 0) {
        label->hide();
        bar->hide();
        return;
    }
    bar->setRange(0, queue.batchTotal);
    bar->setValue(qMin(queue.batchDone, queue.batchTotal));
    label->setText(previewProgressText(queue));
    label->show();
    bar->show();
    if (!previewBatchComplete(queue))
        return;
    const int serial = ++previews.batchSerial;
    QTimer::singleShot(progressHideDelayMs, this, [this, serial] {
        if (serial != previews.batchSerial || !previewBatchComplete(previews.queue))
            return;
        previews.progressLabel->hide();
        previews.progressBar->hide();
    });
}

QString MainWindow::previewCacheInfoText() const
{
    return ::previewCacheInfoText(previewCacheUsage(previewCacheDirectory()));
}

bool MainWindow::clearPreviewCache()
{
    if (!clearPreviewCacheDirectory(previewCacheDirectory(), fileHooks))
        return false;
    previews.memory.clear();
    previews.listIcons.clear();
    previews.tableIcons.clear();
    previews.cardPictures.clear();
    previews.failed.clear();
    if (httpCache)
        httpCache->clear();
    for (QAbstractItemView *view : {static_cast<QAbstractItemView *>(catalogView.table),
                                    static_cast<QAbstractItemView *>(catalogView.gallery),
                                    static_cast<QAbstractItemView *>(modIoView.list)}) {
        if (view)
            view->viewport()->update();
    }
    return true;
}
