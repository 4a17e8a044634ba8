#pragma once

#include "app/messageprompts.h"
#include "catalog/catalogview.h"
#include "catalog/repomod.h"
#include "community/communityview.h"
#include "install/fileoperations.h"
#include "install/installer.h"
#include "install/updatesview.h"
#include "localmods/installedview.h"
#include "localmods/installstatus.h"
#include "localmods/localmod.h"
#include "modio/modioinstall.h"
#include "modio/modioview.h"
#include "modio/quickcheck.h"
#include "previews/previewimage.h"
#include "selfupdate/selfupdaterun.h"

#include <QHash>
#include <QList>
#include <QMainWindow>
#include <QNetworkAccessManager>
#include <QSet>
#include <QStringList>

class QHBoxLayout;
class QLabel;
class QNetworkDiskCache;
class QNetworkReply;
class QPoint;
class QProgressBar;
class QStackedWidget;
class QUrl;
class QJsonDocument;
class QJsonObject;

// The one window of the program. It owns all state of the run; its methods gather that state, call the
// GUI-free operations of fx3core and update the widgets. Definitions are split by subsystem: this file's
// companion builds the frame and navigation, the pages' own files build and drive each page.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // Hands a link of the program's scheme to the link handler once the window is shown.
    // A link the program was started with; an install link installs its mod from mod.io.
    void handleInstallLink(const QUrl &link);

    // The order of these slots is part of the program's interface; new slots go after them.
public Q_SLOTS:
    void showHome();
    void showCatalog();
    void showInstalled();
    void showUpdates();
    void showModIo();
    void reloadCatalog();
    void reloadModIo();
    void applyModIoFilter();
    void modIoSelectionChanged();
    void modIoLoginSteam();
    void modIoLoginEmail();
    void modIoLogout();
    void modIoToggleSubscription();
    void installSelectedModIo();
    void applyCatalogFilter();
    void catalogSelectionChanged();
    void gallerySelectionChanged();
    void installSelectedRepositoryMod();
    void installManualMod();
    void rescanLocalMods();
    void uninstallSelectedLocalMod();
    void openSelectedLocalFolder();
    void openSettings();
    void updateSelectedMod();
    void updateAllMods();

private:
    // Frame
    MessagePrompts dialogPrompts();
    void buildFrame();
    QWidget *buildHomePage();
    void setStatus(const QString &text);
    void ensureLocalModsLoaded();
    void startSelfUpdateCheck();

    // Pages built by their subsystems
    QWidget *buildCatalogPage();
    QWidget *buildInstalledPage();
    QWidget *buildUpdatesPage();
    QWidget *buildModIoPage();

    // Catalog
    RepoMod parseMod(const QJsonObject &entry, const QHash<QString, QString> &categoryNames,
                     const RepositoryConfig &repository) const;
    void handleRepositoryReply(QNetworkReply *reply, const RepositoryConfig &repository, quint32 generation);
    void finishCatalogLoad();
    void rebuildCatalogFilterLists();
    void refreshCatalogIndexes();
    // The install statuses changed with the local mods.
    void refreshCatalogStatuses();
    void selectCatalogRow(int row);
    void showCatalogDetails(int index);
    void clearCatalogDetails();
    void setCatalogGalleryMode(bool gallery);
    // Shows the list or gallery, or, when emptyText is set, that text where the list would be.
    void showCatalogList(const QString &emptyText);
    // Why the catalog holds nothing: every repository failed to load (with the reasons); empty otherwise.
    QString catalogUnavailableText() const;
    CatalogInstallStatus catalogStatusOf(int index) const;
    void startManagerUpdateCheck(const RepoMod &managerEntry);

    // First-run setup and settings
    // Shows the setup dialog until it was once saved.
    void runFirstRunSetup();
    // After a language change: a new process in the new language replaces this one.
    void restartForLanguageChange();

    // Self-update
    void checkSelfUpdate(const RepoMod &entry);
    void installSelfUpdate(const RepoMod &entry);
    // The window's dialogs and the running program's folder, for the self-update.
    SelfUpdateHooks selfUpdateHooks();
    // True while an install or update run waits in its nested loops; the catalog must not change then.
    bool installRunActive() const;
    // Refuses, with a note in the status line, an action that needs the complete catalog while it loads.
    bool refuseWhileCatalogLoads();

    // Updates
    void refreshUpdateList();
    void refreshUpdateButtons();
    void refreshUpdatesEmptyState();
    // The candidate of the selected update row, or null.
    const UpdateCandidate *selectedUpdateCandidate() const;
    void setUpdateButtonsEnabled(bool enabled);
    void finishUpdateRun();

    // Installation: the dependency-aware install of a catalog entry. replaceFolder names the installed folder
    // an update replaces (empty for a new installation); progress shows the download.
    bool runRepositoryInstall(const RepoMod &entry, const QString &replaceFolder, QProgressBar *progress,
                              QString *error);
    InstallPrompts installPrompts();

    // mod.io page
    void loadNextModIoPage(bool reset);
    void loadModIoSubscriptionsAsync(int generation, int offset);
    void handleModIoPage(int generation, int offset, ModIoSource source, bool ok,
                         const QJsonDocument &document, const QString &error);
    bool handleFailedModIoPage(int offset, const QString &error);
    // Continues a load with the next page on the next turn of the event loop, unless it was restarted.
    void continueModIoLoading(bool reset);
    void endModIoLoading();
    void cancelModIoLoading();
    void showCachedModIoCatalog();
    ModIoListRequest modIoListRequest(int offset) const;
    ModIoFilter currentModIoFilter() const;
    void refreshModIoInstalledIds(bool force);
    ModIoInstallState modIoInstallStateOf(int index) const;
    void setModIoListInfo(const QString &text);
    void resetModIoDetails();
    void showModIoDetails(int index);
    void rebuildModIoCategories();
    void selectModIoSource(int sourceIndex);
    void scrollModIoList(int value);
    void showModIoListMenu(const QPoint &position);
    void blockModIoAuthorOf(int index);
    void editModIoBlacklist();
    void updateModIoBlacklistButton();
    void showModIoAiReport(int index);
    void showQuickCheckReport(const QString &modName, const ModIoQuickCheckReport &report);
    // Installs the record at index with its dependencies (a link names its record by index, not by row).
    void installModIoRecordAt(int index);
    ModIoInstallContext modIoInstallContext();
    // Filled by the preview images and the community reports.
    void scheduleVisiblePreviews();
    void requestCommunitySummaries();

    // Community reports on the mod.io page (community/mainwindow_community.cpp)
    void requestOwnCommunityReport(int index);
    void updateCommunityPanel(const ModIoMod &record, bool installed);
    void refreshSelectedCommunityPanel();
    void showCommunityUnreachable(const CommunityKey &key);
    void reportSelectedModIoMod();
    void setCommunityReports(int index, const QStringList &types);

    // Preview images: one queue for every list and detail panel, pictures kept in memory and on disk.
    void requestPreview(const QString &url, const QString &referer, bool highPriority);
    // The picture from memory, else from the mod's own file (record may be null), else from the URL cache.
    QPixmap cachedPreview(const QString &url, const ModIoMod *record);
    void rememberPreview(const QString &url, const QPixmap &pixmap);
    void startPreviewTransfers();
    void startPreviewDownload(const QString &url, const QString &referer);
    void startCurlPreview(const QString &url, const QString &referer);
    void finishPreview(const QString &url, const QPixmap &pixmap, const QString &error);
    void refreshPreviewRows(const QString &url);
    QVariant modIoRowIcon(int record);
    // A catalog row's picture for role (table icon or gallery card); asks for it when it is not there yet.
    QVariant catalogPreview(int record, int role);
    QVariant scaledPreview(const QString &url, QHash<QString, QPixmap> &sized, const QSize &size);
    void showModIoDetailPreview(const QString &url);
    void showCatalogDetailPreview(const QString &url);
    void buildPreviewProgress(QWidget *parent, QHBoxLayout *row);
    void updatePreviewProgress();
    // For the settings dialog, which shows the messages.
    QString previewCacheInfoText() const;
    bool clearPreviewCache();

    // mod.io sign-in
    void updateModIoAccountLabel();
    void requestModIoUserName();
    bool acceptModIoToken(const QString &token);
    void storeModIoUserName(const QJsonDocument &me);
    // The token changed: the subscriptions of the old identity are forgotten.
    void forgetModIoSubscriptions();

    // Local mods
    QString effectiveModIoModsPath() const;
    LocalModFolders localModFolders() const;
    void rebuildInstalledView();
    // Table, gallery or the empty-state text, whichever fits.
    void showInstalledViews();
    void relinkLocalMods();
    void warnAboutDuplicates();
    void setInstalledGalleryMode(bool gallery);
    int selectedLocalModIndex() const;

    QNetworkAccessManager network;
    QNetworkDiskCache *httpCache = nullptr;
    QStackedWidget *pages = nullptr;
    QWidget *homePage = nullptr;
    QWidget *catalogPage = nullptr;
    QWidget *installedPage = nullptr;
    QWidget *updatesPage = nullptr;
    QWidget *modIoPage = nullptr;
    QLabel *statusLabel = nullptr;
    // Message boxes and simple questions; tests replace them with scripted answers.
    MessagePrompts prompts;
    // Consulted by every file operation on mod folders; tests make chosen operations fail.
    FileOperationHooks fileHooks;

    bool localModsLoaded = false;
    bool catalogLoaded = false;
    bool catalogLoading = false;
    bool selfUpdateCheckStarted = false;

    bool installInProgress = false;
    bool updateInProgress = false;

    // Catalog
    QList<RepoMod> catalog;
    // The entries of a load in progress. The shown catalog stays as it is until the load is complete, so
    // the positions the pages hold keep naming the entries the player sees.
    QList<RepoMod> pendingCatalog;
    quint32 loadGeneration = 0;
    int pendingRepositories = 0;
    int loadedRepositories = 0;
    QStringList loadErrors;
    int selectedCatalogIndex = -1;
    CatalogView catalogView;

    // Local mods
    QList<LocalMod> localMods;
    QList<LocalMod> localFolderCopies;
    InstalledModsIndex installedIndex;
    QSet<int> duplicateLocalMods;
    QStringList duplicateDescriptions;
    QString lastDuplicateWarning;
    QHash<QString, QString> installedModIoFileIds;
    InstalledView installedView;

    // Updates
    UpdatesView updatesView;

    // mod.io
    ModIoView modIoView;
    CommunityView communityView;

    PreviewImages previews;

    friend class MainWindowTest;
    friend struct WindowProbe;
    friend struct WindowFixture;
    friend struct PageBenchmark;
};
