#pragma once

#include <QMainWindow>
#include <QNetworkAccessManager>

class QLabel;
class QNetworkDiskCache;
class QPushButton;
class QStackedWidget;
class QUrl;

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
    void handleLink(const QUrl &link);

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
    void buildFrame();
    QWidget *buildHomePage();
    QPushButton *makeTile(const QString &title, const QString &subtitle, bool large, const QString &background,
                          const QString &border, const QString &hover, const QString &pressed);
    void setStatus(const QString &text);
    void ensureLocalModsLoaded();
    void startSelfUpdateCheck();

    // Pages built by their subsystems
    QWidget *buildCatalogPage();
    QWidget *buildInstalledPage();
    QWidget *buildUpdatesPage();
    QWidget *buildModIoPage();
    QWidget *buildPlaceholderPage(const QString &title, const QString &text);

    QNetworkAccessManager network;
    QNetworkDiskCache *httpCache = nullptr;
    QStackedWidget *pages = nullptr;
    QWidget *homePage = nullptr;
    QWidget *catalogPage = nullptr;
    QWidget *installedPage = nullptr;
    QWidget *updatesPage = nullptr;
    QWidget *modIoPage = nullptr;
    QLabel *statusLabel = nullptr;

    bool localModsLoaded = false;
    bool catalogLoaded = false;
    bool catalogLoading = false;
    bool selfUpdateCheckStarted = false;
    bool modIoLoaded = false;

    friend class MainWindowTest;
};
