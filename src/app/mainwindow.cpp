#include "app/mainwindow.h"

#include "app/appinfo.h"
#include "app/hometilewidget.h"
#include "app/logowidget.h"

#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QNetworkDiskCache>
#include <QPixmap>
#include <QPushButton>
#include <QStackedWidget>
#include <QStandardPaths>
#include <QTimer>
#include <QVBoxLayout>

namespace {
constexpr int largeTileHeight = 138;
constexpr int smallTileHeight = 96;
} // namespace

MainWindow::MainWindow(QWidget *parent) : QMainWindow(parent)
{
    httpCache = new QNetworkDiskCache(this);
    QString cacheBase = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    if (cacheBase.trimmed().isEmpty())
        cacheBase = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
    const QString cacheDir = cacheBase + QStringLiteral("/http-cache");
    QDir().mkpath(cacheDir);
    httpCache->setCacheDirectory(cacheDir);
    httpCache->setMaximumCacheSize(134217728);
    network.setCache(httpCache);

    setWindowTitle(tr("Trackhaven FX3 Mod-Manager v%1").arg(QString::fromLatin1(AppInfo::version)));
    setWindowIcon(QIcon(QString::fromLatin1(AppInfo::appIconResource)));
    resize(1180, 760);
    setMinimumSize(900, 620);

    prompts = dialogPrompts();
    buildFrame();
    runFirstRunSetup();
    setStatus(tr("Bereit. Katalog und lokale Mods werden bei Bedarf geladen."));
    QTimer::singleShot(800, this, [this] { startSelfUpdateCheck(); });
}

MainWindow::~MainWindow() = default;

void MainWindow::buildFrame()
{
    auto *central = new QWidget(this);
    auto *layout = new QVBoxLayout(central);
    layout->setContentsMargins(18, 18, 18, 14);
    layout->setSpacing(12);

    auto *topBar = new QHBoxLayout;
    auto *iconLabel = new QLabel(central);
    iconLabel->setFixedSize(28, 28);
    iconLabel->setPixmap(QPixmap(QString::fromLatin1(AppInfo::appIconResource))
                             .scaled(24, 24, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    auto *titleLabel = new QLabel(tr("Trackhaven FX3 Mod-Manager"), central);
    QFont titleFont = font();
    titleFont.setPointSize(18);
    titleFont.setWeight(QFont::Bold);
    titleLabel->setFont(titleFont);
    auto *homeButton = new QPushButton(tr("Start"), central);
    auto *settingsButton = new QPushButton(tr("Einstellungen"), central);
    for (QPushButton *button : {homeButton, settingsButton}) {
        button->setMinimumHeight(38);
        button->setMinimumWidth(button->sizeHint().width() + 28);
    }
    connect(homeButton, &QPushButton::clicked, this, &MainWindow::showHome);
    connect(settingsButton, &QPushButton::clicked, this, &MainWindow::openSettings);
    topBar->addWidget(iconLabel);
    topBar->addWidget(titleLabel);
    topBar->addStretch();
    topBar->addWidget(homeButton);
    topBar->addWidget(settingsButton);
    layout->addLayout(topBar);

    pages = new QStackedWidget(central);
    homePage = buildHomePage();
    catalogPage = buildCatalogPage();
    installedPage = buildInstalledPage();
    updatesPage = buildUpdatesPage();
    modIoPage = buildModIoPage();
    modIoPage->setObjectName(QStringLiteral("modIoPage"));
    for (QWidget *page : {homePage, catalogPage, installedPage, updatesPage, modIoPage})
        pages->addWidget(page);
    pages->setCurrentWidget(homePage);
    layout->addWidget(pages, 1);

    statusLabel = new QLabel(tr("Bereit."), central);
    statusLabel->setWordWrap(true);
    statusLabel->setStyleSheet(QStringLiteral("QLabel{padding:8px;border-top:1px solid palette(mid);}"));
    layout->addWidget(statusLabel);

    setCentralWidget(central);
}

QWidget *MainWindow::buildHomePage()
{
    auto *page = new QWidget;
    QWidget *content = page;
    auto *layout = new QVBoxLayout(content);
    layout->setContentsMargins(30, 24, 30, 24);
    layout->setSpacing(18);

    layout->addWidget(
        new LogoWidget(QPixmap(QString::fromLatin1(AppInfo::brandingLogoResource)), 520, content));

    auto *heading = new QLabel(tr("Mods einfach verwalten"), content);
    QFont headingFont = font();
    headingFont.setPointSize(22);
    headingFont.setWeight(QFont::Bold);
    heading->setFont(headingFont);
    layout->addWidget(heading);

    auto *subheading = new QLabel(tr("Installieren, aktualisieren oder eigene Mod-Archive hinzufügen – ohne "
                                     "manuell Ordner verschieben zu "
                                     "müssen."),
                                  content);
    subheading->setWordWrap(true);
    layout->addWidget(subheading);

    auto *largeRow = new QHBoxLayout;
    largeRow->setSpacing(16);
    auto *catalogTile = new HomeTile(QStringLiteral("Trackhaven"), tr("Mod-Katalog öffnen"),
                                     {true, QStringLiteral("#f7fafc"), QStringLiteral("#cfd8e3"),
                                      QStringLiteral("#e9f0f7"), QStringLiteral("#dce6f0")},
                                     largeTileHeight, content);
    auto *modIoTile =
        new HomeTile(QStringLiteral("mod.io"), tr("Mods durchsuchen, abonnieren und installieren"),
                     {true, QStringLiteral("#eef8f1"), QStringLiteral("#bfd1c4"), QStringLiteral("#e1f1e6"),
                      QStringLiteral("#d3e9da")},
                     largeTileHeight, content);
    connect(catalogTile, &QPushButton::clicked, this, &MainWindow::showCatalog);
    connect(modIoTile, &QPushButton::clicked, this, &MainWindow::showModIo);
    largeRow->addWidget(catalogTile);
    largeRow->addWidget(modIoTile);
    layout->addLayout(largeRow);

    auto *smallRow = new QHBoxLayout;
    smallRow->setSpacing(16);
    const HomeTile::Look plain{false, QStringLiteral("#ffffff"), QStringLiteral("#d9dde3"),
                               QStringLiteral("#f3f5f8"), QStringLiteral("#e8ebf0")};
    auto *installedTile = new HomeTile(tr("Installierte Mods"), tr("Lokale Mods anzeigen und verwalten"),
                                       plain, smallTileHeight, content);
    auto *updatesTile =
        new HomeTile(tr("Updates"), tr("Nach neueren Versionen suchen"), plain, smallTileHeight, content);
    auto *manualTile = new HomeTile(tr("Mod manuell installieren"), tr("ZIP, 7z oder RAR auswählen"), plain,
                                    smallTileHeight, content);
    connect(installedTile, &QPushButton::clicked, this, &MainWindow::showInstalled);
    connect(updatesTile, &QPushButton::clicked, this, &MainWindow::showUpdates);
    connect(manualTile, &QPushButton::clicked, this, &MainWindow::installManualMod);
    for (HomeTile *tile : {installedTile, updatesTile, manualTile})
        smallRow->addWidget(tile, 1);
    layout->addLayout(smallRow);
    // The tiles keep the height their text needs; a tall window's spare room goes below them.
    layout->addStretch(1);

    return page;
}

void MainWindow::setStatus(const QString &text)
{
    statusLabel->setText(text);
}

void MainWindow::showHome()
{
    pages->setCurrentWidget(homePage);
}

void MainWindow::showCatalog()
{
    pages->setCurrentWidget(catalogPage);
    QTimer::singleShot(0, this, [this] {
        if (!catalogLoaded && !catalogLoading)
            reloadCatalog();
        ensureLocalModsLoaded();
    });
}

void MainWindow::showInstalled()
{
    pages->setCurrentWidget(installedPage);
    QTimer::singleShot(0, this, [this] { ensureLocalModsLoaded(); });
}

void MainWindow::showUpdates()
{
    pages->setCurrentWidget(updatesPage);
    QTimer::singleShot(0, this, [this] {
        if (!catalogLoaded && !catalogLoading)
            reloadCatalog();
        ensureLocalModsLoaded();
    });
}

void MainWindow::showModIo()
{
    pages->setCurrentWidget(modIoPage);
    updateModIoAccountLabel();
    if (modIoView.mods.isEmpty()) {
        showCachedModIoCatalog();
        reloadModIo();
    }
}

void MainWindow::ensureLocalModsLoaded()
{
    if (localModsLoaded)
        return;
    setStatus(tr("Lese lokale Mods ein…"));
    rescanLocalMods();
}
