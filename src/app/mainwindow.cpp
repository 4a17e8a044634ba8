#include "app/mainwindow.h"

#include "app/appinfo.h"

#include <QDir>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QNetworkDiskCache>
#include <QPixmap>
#include <QPushButton>
#include <QStackedWidget>
#include <QStandardPaths>
#include <QTimer>
#include <QVBoxLayout>

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
    auto *layout = new QVBoxLayout(page);
    layout->setContentsMargins(30, 24, 30, 24);
    layout->setSpacing(18);

    auto *logo = new QLabel(page);
    logo->setPixmap(QPixmap(QString::fromLatin1(AppInfo::brandingLogoResource))
                        .scaledToWidth(520, Qt::SmoothTransformation));
    logo->setAlignment(Qt::AlignCenter);
    layout->addWidget(logo);

    auto *heading = new QLabel(tr("Mods einfach verwalten"), page);
    QFont headingFont = font();
    headingFont.setPointSize(22);
    headingFont.setWeight(QFont::Bold);
    heading->setFont(headingFont);
    layout->addWidget(heading);

    auto *subheading = new QLabel(tr("Installieren, aktualisieren oder eigene Mod-Archive hinzufügen – ohne "
                                     "manuell Ordner verschieben zu "
                                     "müssen."),
                                  page);
    subheading->setWordWrap(true);
    layout->addWidget(subheading);

    auto *largeRow = new QHBoxLayout;
    largeRow->setSpacing(16);
    QPushButton *catalogTile =
        makeTile(QStringLiteral("Trackhaven"), tr("Mod-Katalog öffnen"), true, QStringLiteral("#f7fafc"),
                 QStringLiteral("#cfd8e3"), QStringLiteral("#e9f0f7"), QStringLiteral("#dce6f0"));
    QPushButton *modIoTile =
        makeTile(QStringLiteral("mod.io"), tr("Mods durchsuchen, abonnieren und installieren"), true,
                 QStringLiteral("#eef8f1"), QStringLiteral("#bfd1c4"), QStringLiteral("#e1f1e6"),
                 QStringLiteral("#d3e9da"));
    catalogTile->setFixedHeight(138);
    modIoTile->setFixedHeight(138);
    connect(catalogTile, &QPushButton::clicked, this, &MainWindow::showCatalog);
    connect(modIoTile, &QPushButton::clicked, this, &MainWindow::showModIo);
    largeRow->addWidget(catalogTile);
    largeRow->addWidget(modIoTile);
    layout->addLayout(largeRow);

    auto *grid = new QGridLayout;
    grid->setSpacing(16);
    const QString white = QStringLiteral("#ffffff");
    const QString grey = QStringLiteral("#d9dde3");
    const QString hover = QStringLiteral("#f3f5f8");
    const QString pressed = QStringLiteral("#e8ebf0");
    QPushButton *installedTile = makeTile(tr("Installierte Mods"), tr("Lokale Mods anzeigen und verwalten"),
                                          false, white, grey, hover, pressed);
    QPushButton *updatesTile =
        makeTile(tr("Updates"), tr("Nach neueren Versionen suchen"), false, white, grey, hover, pressed);
    QPushButton *manualTile = makeTile(tr("Mod manuell installieren"), tr("ZIP, 7z oder RAR auswählen"),
                                       false, white, grey, hover, pressed);
    for (QPushButton *tile : {installedTile, updatesTile, manualTile})
        tile->setFixedHeight(96);
    connect(installedTile, &QPushButton::clicked, this, &MainWindow::showInstalled);
    connect(updatesTile, &QPushButton::clicked, this, &MainWindow::showUpdates);
    connect(manualTile, &QPushButton::clicked, this, &MainWindow::installManualMod);
    grid->addWidget(installedTile, 0, 0);
    grid->addWidget(updatesTile, 0, 1);
    grid->addWidget(manualTile, 0, 2);
    for (int column = 0; column < 3; ++column)
        grid->setColumnStretch(column, 1);
    // The tiles keep their height; the empty row below them takes the room a tall window has to spare.
    grid->setRowStretch(1, 1);
    layout->addLayout(grid, 1);
    return page;
}

QPushButton *MainWindow::makeTile(const QString &title, const QString &subtitle, bool large,
                                  const QString &background, const QString &border, const QString &hover,
                                  const QString &pressed)
{
    // A push button cannot wrap its text, and the sub-titles are cut off in narrow windows or with wide
    // fonts; the tile therefore shows its two lines in word-wrapped labels that let clicks through.
    auto *tile = new QPushButton;
    tile->setAccessibleName(QStringLiteral("%1\n%2").arg(title, subtitle));
    tile->setMinimumHeight(118);
    tile->setCursor(Qt::PointingHandCursor);
    tile->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    tile->setStyleSheet(
        QStringLiteral("QPushButton{background:%1;border:1px solid %2;border-radius:%3px;}"
                       "QPushButton:hover{background:%4;}"
                       "QPushButton:pressed{background:%5;}")
            .arg(background, border, large ? QStringLiteral("16") : QStringLiteral("14"), hover, pressed));
    auto *layout = new QVBoxLayout(tile);
    if (large)
        layout->setContentsMargins(24, 24, 24, 24);
    else
        layout->setContentsMargins(22, 20, 22, 20);
    layout->setSpacing(2);
    layout->addStretch();
    const QString fontCss = large ? QStringLiteral("font-size:18px;") : QStringLiteral("font-size:17px;");
    auto *titleLabel = new QLabel(title, tile);
    titleLabel->setStyleSheet(
        QStringLiteral("QLabel{%1font-weight:700;color:#1d2733;background:transparent;}").arg(fontCss));
    auto *subtitleLabel = new QLabel(subtitle, tile);
    subtitleLabel->setStyleSheet(
        QStringLiteral("QLabel{%1font-weight:%2;color:#3d4a58;background:transparent;}")
            .arg(fontCss, large ? QStringLiteral("700") : QStringLiteral("600")));
    for (QLabel *label : {titleLabel, subtitleLabel}) {
        label->setWordWrap(true);
        label->setAttribute(Qt::WA_TransparentForMouseEvents);
        layout->addWidget(label);
    }
    layout->addStretch();
    return tile;
}

void MainWindow::setStatus(const QString &text)
{
    statusLabel->setText(text);
}

QWidget *MainWindow::buildPlaceholderPage(const QString &title, const QString &text)
{
    auto *page = new QWidget;
    auto *layout = new QVBoxLayout(page);
    layout->setContentsMargins(30, 24, 30, 24);
    auto *heading = new QLabel(title, page);
    QFont headingFont = font();
    headingFont.setPointSize(18);
    headingFont.setWeight(QFont::Bold);
    heading->setFont(headingFont);
    auto *body = new QLabel(text, page);
    body->setWordWrap(true);
    layout->addWidget(heading);
    layout->addWidget(body);
    layout->addStretch();
    return page;
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
    if (!modIoLoaded)
        reloadModIo();
}

void MainWindow::ensureLocalModsLoaded()
{
    if (localModsLoaded)
        return;
    setStatus(tr("Lese lokale Mods ein…"));
    rescanLocalMods();
}
