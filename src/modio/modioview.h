#pragma once

#include "modio/modioblockedauthor.h"
#include "modio/modioclient.h"
#include "modio/modiolisting.h"
#include "modio/modiomod.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>

#include <memory>

class ModIoListDelegate;
class ModIoListModel;
class QComboBox;
class QLabel;
class QLineEdit;
class QListView;
class QProgressBar;
class QPushButton;
class QTimer;

// The mod.io page: its widgets, the client it talks to the service through, and what it has loaded. The
// window holds one.
struct ModIoView
{
    // Header
    QPushButton *browseButton = nullptr;
    QPushButton *subscriptionsButton = nullptr;
    QPushButton *installedButton = nullptr;
    QLabel *accountLabel = nullptr;
    QPushButton *steamButton = nullptr;
    QPushButton *emailButton = nullptr;
    QPushButton *logoutButton = nullptr;
    // Search bar
    QLineEdit *search = nullptr;
    QComboBox *source = nullptr;
    QComboBox *sort = nullptr;
    QComboBox *rating = nullptr;
    QComboBox *category = nullptr;
    QPushButton *blacklistButton = nullptr;
    QPushButton *reloadButton = nullptr;
    // List
    QListView *list = nullptr;
    ModIoListModel *model = nullptr;
    ModIoListDelegate *delegate = nullptr;
    QLabel *listInfo = nullptr;
    QProgressBar *progress = nullptr;
    QPushButton *cancelButton = nullptr;
    QPushButton *moreButton = nullptr;
    // Detail panel
    QLabel *preview = nullptr;
    QLabel *title = nullptr;
    QLabel *info = nullptr;
    QPushButton *installButton = nullptr;
    QPushButton *subscribeButton = nullptr;
    QPushButton *openButton = nullptr;
    QPushButton *quickCheckButton = nullptr;
    QPushButton *reportButton = nullptr;
    QLabel *communityLabel = nullptr;
    QProgressBar *downloadProgress = nullptr;
    // Every text change of the search restarts it; its end reloads the list.
    QTimer *searchDelay = nullptr;
    // Continues a load the service's rate limit held back.
    QTimer *rateLimitRetry = nullptr;

    std::unique_ptr<ModIoClient> client;
    qint64 gameId = 0;
    // Incremented by every restart and cancel: answers of older requests are dropped.
    int modIoRequestGeneration = 0;
    QSet<QString> modIoSubscribedIds;
    bool subscriptionsLoaded = false;

    // The loaded records in load order; rows name them by index.
    QList<ModIoMod> mods;
    ModIoSearchIndex searchIndex;
    int selectedIndex = -1;
    int nextOffset = 0;
    int total = 0;
    bool loading = false;
    bool moreAvailable = true;
    bool cacheShown = false;
    bool replaceOnFirstPage = false;
    bool modIoAuthorSearchShortened = false;
    int authorSearchExtraPages = 0;
    int modIoSearchStage = 0;

    // The mods in the mod.io mods folder, read from installedFolder.
    QSet<QString> installedIds;
    QHash<QString, QString> installedFileIds;
    QString installedFolder;
    bool installedRead = false;

    QList<ModIoBlockedAuthor> blacklist;
    // The quick check waits for the author's history; its button stays disabled until the report is shown.
    bool quickCheckRunning = false;
};
