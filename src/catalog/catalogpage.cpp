#include "app/emptylistwidget.h"
#include "app/mainwindow.h"
#include "catalog/catalogdetails.h"
#include "catalog/catalogfilter.h"
#include "catalog/repositorylist.h"
#include "catalog/repositoryparser.h"
#include "install/requestconventions.h"
#include "localmods/modmatching.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QNetworkReply>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QStackedWidget>
#include <QTableWidget>
#include <QTextBrowser>
#include <QTimer>
#include <QVBoxLayout>

namespace {
enum CatalogColumn
{
    NameColumn,
    CategoryColumn,
    AuthorColumn,
    SourceColumn,
    VersionColumn,
    StatusColumn
};

QPushButton *makeToggle(const QString &text, QWidget *parent)
{
    auto *button = new QPushButton(text, parent);
    button->setCheckable(true);
    button->setAutoExclusive(true);
    button->setMinimumHeight(32);
    return button;
}

// Refills a filter box and keeps the chosen item when it is still offered.
void refillFilter(QComboBox *box, const QString &allText, const QStringList &values)
{
    const QString previous = box->currentData().toString();
    const QSignalBlocker blocker(box);
    box->clear();
    box->addItem(allText, QString());
    for (const QString &value : values)
        box->addItem(value, value);
    for (int i = 1; i < box->count(); ++i) {
        if (!previous.isEmpty() && box->itemData(i).toString().compare(previous, Qt::CaseInsensitive) == 0) {
            box->setCurrentIndex(i);
            return;
        }
    }
    box->setCurrentIndex(0);
}
} // namespace

RepoMod MainWindow::parseMod(const QJsonObject &entry, const QHash<QString, QString> &categoryNames,
                             const RepositoryConfig &repository) const
{
    return ::parseMod(entry, categoryNames, repository);
}

QWidget *MainWindow::buildCatalogPage()
{
    auto *page = new QWidget;
    auto *layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(10);

    auto *filterRow = new QHBoxLayout;
    catalogSearch = new QLineEdit(page);
    catalogSearch->setPlaceholderText(tr("Mods, Autor, Tags, Kategorien oder Quelle durchsuchen…"));
    catalogSearch->setClearButtonEnabled(true);
    catalogSearch->setMinimumHeight(32);
    categoryFilter = new QComboBox(page);
    categoryFilter->addItem(tr("Alle Kategorien"), QString());
    categoryFilter->setMinimumWidth(170);
    repositoryFilter = new QComboBox(page);
    repositoryFilter->addItem(tr("Alle Repositorys"), QString());
    repositoryFilter->setMinimumWidth(150);
    catalogListButton = makeToggle(tr("Liste"), page);
    catalogGalleryButton = makeToggle(tr("Galerie"), page);
    catalogListButton->setChecked(true);
    reloadCatalogButton = new QPushButton(tr("Katalog aktualisieren"), page);
    reloadCatalogButton->setMinimumHeight(32);
    filterRow->addWidget(catalogSearch, 1);
    filterRow->addWidget(categoryFilter);
    filterRow->addWidget(repositoryFilter);
    filterRow->addWidget(catalogListButton);
    filterRow->addWidget(catalogGalleryButton);
    filterRow->addWidget(reloadCatalogButton);
    layout->addLayout(filterRow);

    auto *splitter = new QSplitter(Qt::Horizontal, page);
    catalogViews = new QStackedWidget(splitter);
    catalogTable = new QTableWidget(0, 6, catalogViews);
    catalogTable->setHorizontalHeaderLabels(
        {tr("Mod"), tr("Kategorie"), tr("Autor"), tr("Quelle"), tr("Version"), tr("Status")});
    catalogTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    catalogTable->setSelectionMode(QAbstractItemView::SingleSelection);
    catalogTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    catalogTable->setSortingEnabled(true);
    catalogTable->setWordWrap(false);
    catalogTable->verticalHeader()->hide();
    catalogTable->horizontalHeader()->setSectionResizeMode(NameColumn, QHeaderView::Stretch);
    catalogTable->horizontalHeader()->setSectionResizeMode(StatusColumn, QHeaderView::ResizeToContents);
    catalogTable->horizontalHeader()->setMinimumSectionSize(48);
    catalogTable->setColumnWidth(CategoryColumn, 120);
    catalogTable->setColumnWidth(AuthorColumn, 120);
    catalogTable->setColumnWidth(SourceColumn, 95);
    catalogTable->setColumnWidth(VersionColumn, 62);
    catalogTable->sortByColumn(-1, Qt::AscendingOrder);
    catalogGallery = new QListWidget(catalogViews);
    catalogGallery->setViewMode(QListView::IconMode);
    catalogGallery->setResizeMode(QListView::Adjust);
    catalogGallery->setMovement(QListView::Static);
    catalogGallery->setIconSize(QSize(224, 126));
    catalogGallery->setWordWrap(true);
    catalogGallery->setSpacing(8);
    catalogEmptyLabel = makeEmptyListLabel(catalogViews);
    catalogViews->addWidget(catalogTable);
    catalogViews->addWidget(catalogGallery);
    catalogViews->addWidget(catalogEmptyLabel);

    auto *detail = new QWidget(splitter);
    auto *detailLayout = new QVBoxLayout(detail);
    detailLayout->setContentsMargins(12, 0, 0, 0);
    catalogPreview = new QLabel(detail);
    catalogPreview->setFixedSize(320, 180);
    catalogPreview->setWordWrap(true);
    catalogPreview->setAlignment(Qt::AlignCenter);
    catalogPreview->setStyleSheet(QStringLiteral(
        "QLabel{background:#f3f5f8;border:1px solid #d9dde3;border-radius:8px;color:#5d6d7e;}"));
    catalogTitle = new QLabel(detail);
    catalogTitle->setWordWrap(true);
    QFont titleFont = font();
    titleFont.setPointSize(15);
    titleFont.setWeight(QFont::Bold);
    catalogTitle->setFont(titleFont);
    catalogInfo = new QLabel(detail);
    catalogInfo->setWordWrap(true);
    catalogInfo->setTextInteractionFlags(Qt::TextSelectableByMouse);
    catalogDescription = new QTextBrowser(detail);
    catalogDescription->setOpenExternalLinks(false);
    installButton = new QPushButton(tr("Mod installieren"), detail);
    installButton->setMinimumHeight(38);
    installButton->setEnabled(false);
    installProgress = new QProgressBar(detail);
    installProgress->setVisible(false);
    detailLayout->addWidget(catalogPreview, 0, Qt::AlignHCenter);
    detailLayout->addWidget(catalogTitle);
    detailLayout->addWidget(catalogInfo);
    detailLayout->addWidget(catalogDescription, 1);
    detailLayout->addWidget(installProgress);
    detailLayout->addWidget(installButton);
    splitter->addWidget(catalogViews);
    splitter->addWidget(detail);
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({780, 360});
    detail->setMinimumWidth(340);
    layout->addWidget(splitter, 1);

    connect(catalogSearch, &QLineEdit::textChanged, this, &MainWindow::applyCatalogFilter);
    connect(categoryFilter, &QComboBox::currentIndexChanged, this, &MainWindow::applyCatalogFilter);
    connect(repositoryFilter, &QComboBox::currentIndexChanged, this, &MainWindow::applyCatalogFilter);
    connect(reloadCatalogButton, &QPushButton::clicked, this, &MainWindow::reloadCatalog);
    connect(catalogListButton, &QPushButton::clicked, this, [this] { setCatalogGalleryMode(false); });
    connect(catalogGalleryButton, &QPushButton::clicked, this, [this] { setCatalogGalleryMode(true); });
    connect(catalogTable, &QTableWidget::itemSelectionChanged, this, &MainWindow::catalogSelectionChanged);
    connect(catalogGallery, &QListWidget::itemSelectionChanged, this, &MainWindow::gallerySelectionChanged);
    connect(installButton, &QPushButton::clicked, this, &MainWindow::installSelectedRepositoryMod);
    clearCatalogDetails();
    return page;
}

void MainWindow::setCatalogGalleryMode(bool gallery)
{
    catalogGalleryButton->setChecked(gallery);
    catalogListButton->setChecked(!gallery);
    if (catalogViews->currentWidget() != catalogEmptyLabel)
        showCatalogList(QString());
}

void MainWindow::showCatalogList(const QString &emptyText)
{
    if (!emptyText.isEmpty()) {
        catalogEmptyLabel->setText(emptyText);
        catalogViews->setCurrentWidget(catalogEmptyLabel);
        return;
    }
    const bool gallery = catalogGalleryButton->isChecked();
    catalogViews->setCurrentWidget(gallery ? static_cast<QWidget *>(catalogGallery) : catalogTable);
}

QString MainWindow::catalogUnavailableText() const
{
    if (!catalogLoaded || loadedRepositories > 0 || loadErrors.isEmpty())
        return {};
    return tr("Der Katalog konnte nicht geladen werden.\n\n%1").arg(loadErrors.join(QLatin1Char('\n')));
}

void MainWindow::reloadCatalog()
{
    if (catalogLoading) {
        setStatus(tr("Repositorys werden bereits geladen…"));
        return;
    }
    if (installRunActive()) {
        setStatus(
            tr("Der Katalog kann während einer Installation oder eines Updates nicht neu geladen werden."));
        return;
    }
    catalogLoading = true;
    catalogLoaded = false;
    const quint32 generation = ++loadGeneration;
    reloadCatalogButton->setEnabled(false);
    installButton->setEnabled(false);
    if (checkUpdatesButton)
        refreshUpdateButtons();
    setStatus(tr("Lade Repositorys…"));

    if (catalog.isEmpty())
        showCatalogList(tr("Lade Repositorys…"));
    const QList<RepositoryConfig> repositories = repositoriesToLoad();
    pendingCatalog.clear();
    loadErrors.clear();
    loadedRepositories = 0;
    pendingRepositories = int(repositories.size());
    for (const RepositoryConfig &repository : repositories) {
        QNetworkReply *reply =
            network.get(buildRequest(RequestKind::CatalogDocument, QUrl(repository.jsonUrl)));
        connect(reply, &QNetworkReply::finished, this, [this, reply, repository, generation] {
            handleRepositoryReply(reply, repository, generation);
        });
    }
    if (repositories.isEmpty())
        finishCatalogLoad();
}

void MainWindow::handleRepositoryReply(QNetworkReply *reply, const RepositoryConfig &repository,
                                       quint32 generation)
{
    reply->deleteLater();
    if (generation != loadGeneration)
        return;
    if (reply->error() != QNetworkReply::NoError) {
        loadErrors.append(QStringLiteral("%1: %2").arg(repository.name, reply->errorString()));
    } else {
        QString error;
        parseRepositoryDocument(reply->readAll(), repository, pendingCatalog, &error);
        if (!error.isEmpty())
            loadErrors.append(QStringLiteral("%1: %2").arg(repository.name, error));
        else
            ++loadedRepositories;
    }
    if (--pendingRepositories == 0)
        finishCatalogLoad();
}

void MainWindow::finishCatalogLoad()
{
    const QString selectedKey = selectedCatalogIndex >= 0 && selectedCatalogIndex < catalog.size()
                                    ? catalogEntryKey(catalog.at(selectedCatalogIndex))
                                    : QString();
    catalog = std::move(pendingCatalog);
    pendingCatalog.clear();
    selectedCatalogIndex = findCatalogEntry(catalog, selectedKey);
    catalogLoaded = true;
    catalogLoading = false;
    reloadCatalogButton->setEnabled(!installRunActive());

    refreshCatalogIndexes();
    rebuildCatalogFilterLists();
    relinkLocalMods();
    rebuildInstalledView();
    applyCatalogFilter();
    refreshUpdateList();

    QString status =
        tr("%1 Mods aus %2 Repositorys geladen.").arg(countListedEntries(catalog)).arg(loadedRepositories);
    if (!loadErrors.isEmpty())
        status += tr(" Fehler: %1").arg(loadErrors.join(QStringLiteral(" | ")));
    setStatus(status);
    warnAboutDuplicates();

    if (!selfUpdateCheckStarted) {
        selfUpdateCheckStarted = true;
        QTimer::singleShot(0, this, [this] {
            const int manager = findManagerEntry(catalog);
            if (manager >= 0)
                startManagerUpdateCheck(catalog.at(manager));
        });
    }
}

void MainWindow::refreshCatalogIndexes()
{
    catalogSearchTextCache = catalogSearchTexts(catalog);
    catalogMatchIndex = CatalogMatchIndex(catalog);
}

void MainWindow::rebuildCatalogFilterLists()
{
    refillFilter(categoryFilter, tr("Alle Kategorien"), catalogCategories(catalog));
    refillFilter(repositoryFilter, tr("Alle Repositorys"), catalogRepositoryNames(catalog));
}

CatalogInstallStatus MainWindow::catalogStatusOf(int index) const
{
    if (index < 0 || index >= catalog.size())
        return {};
    if (index < catalogMatchIndex.size())
        return installedIndex.status(catalog.at(index), catalogMatchIndex.keys(index));
    return installedIndex.status(catalog.at(index));
}

void MainWindow::applyCatalogFilter()
{
    const CatalogFilter filter{catalogSearch->text().trimmed(), categoryFilter->currentData().toString(),
                               repositoryFilter->currentData().toString()};
    const bool sorting = catalogTable->isSortingEnabled();
    const int sortColumn = catalogTable->horizontalHeader()->sortIndicatorSection();
    const Qt::SortOrder sortOrder = catalogTable->horizontalHeader()->sortIndicatorOrder();
    catalogTable->setSortingEnabled(false);
    const QSignalBlocker tableBlocker(catalogTable);
    const QSignalBlocker galleryBlocker(catalogGallery);
    catalogTable->clearContents();
    catalogGallery->clear();

    const QList<int> shown = filterCatalog(catalog, catalogSearchTextCache, filter);
    catalogTable->setRowCount(int(shown.size()));
    int row = 0;
    for (int index : shown) {
        const RepoMod &mod = catalog.at(index);
        const QString status = catalogInstallStatusText(catalogStatusOf(index).state);
        auto *nameItem = new QTableWidgetItem(mod.name);
        nameItem->setData(Qt::UserRole, index);
        nameItem->setToolTip(mod.description.left(500));
        catalogTable->setItem(row, NameColumn, nameItem);
        catalogTable->setItem(row, CategoryColumn,
                              new QTableWidgetItem(mod.categories.join(QStringLiteral(", "))));
        catalogTable->setItem(row, AuthorColumn, new QTableWidgetItem(mod.author));
        catalogTable->setItem(row, SourceColumn, new QTableWidgetItem(mod.repositoryName));
        catalogTable->setItem(row, VersionColumn, new QTableWidgetItem(mod.version));
        catalogTable->setItem(row, StatusColumn, new QTableWidgetItem(status));
        ++row;

        auto *galleryItem =
            new QListWidgetItem(QStringLiteral("%1\n%2 • %3\n%4 • %5")
                                    .arg(mod.name, mod.author, mod.version, mod.repositoryName, status));
        galleryItem->setData(Qt::UserRole, index);
        galleryItem->setSizeHint(QSize(270, 225));
        galleryItem->setTextAlignment(Qt::AlignTop | Qt::AlignHCenter);
        galleryItem->setToolTip(mod.description.left(700));
        catalogGallery->addItem(galleryItem);
    }
    if (sorting) {
        catalogTable->setSortingEnabled(true);
        catalogTable->sortByColumn(sortColumn < 0 ? NameColumn : sortColumn, sortOrder);
    }

    if (shown.isEmpty()) {
        selectedCatalogIndex = -1;
        clearCatalogDetails();
        // An unreachable site is not a search without results.
        QString emptyText = catalogUnavailableText();
        if (emptyText.isEmpty() && catalogLoading && catalog.isEmpty())
            emptyText = tr("Lade Repositorys…");
        if (emptyText.isEmpty()) {
            emptyText = tr("Keine Treffer gefunden");
            catalogPreview->setText(emptyText);
        }
        showCatalogList(emptyText);
        return;
    }
    showCatalogList(QString());
    if (!shown.contains(selectedCatalogIndex))
        selectedCatalogIndex = shown.first();
    for (int r = 0; r < catalogTable->rowCount(); ++r) {
        if (catalogTable->item(r, NameColumn)->data(Qt::UserRole).toInt() == selectedCatalogIndex) {
            catalogTable->selectRow(r);
            break;
        }
    }
    for (int r = 0; r < catalogGallery->count(); ++r) {
        if (catalogGallery->item(r)->data(Qt::UserRole).toInt() == selectedCatalogIndex) {
            catalogGallery->setCurrentRow(r);
            break;
        }
    }
    showCatalogDetails(selectedCatalogIndex);
}

void MainWindow::catalogSelectionChanged()
{
    const QList<QTableWidgetItem *> selected = catalogTable->selectedItems();
    if (selected.isEmpty())
        return;
    const QTableWidgetItem *nameItem = catalogTable->item(selected.first()->row(), NameColumn);
    if (!nameItem)
        return;
    selectedCatalogIndex = nameItem->data(Qt::UserRole).toInt();
    const QSignalBlocker blocker(catalogGallery);
    for (int r = 0; r < catalogGallery->count(); ++r) {
        if (catalogGallery->item(r)->data(Qt::UserRole).toInt() == selectedCatalogIndex)
            catalogGallery->setCurrentRow(r);
    }
    showCatalogDetails(selectedCatalogIndex);
}

void MainWindow::gallerySelectionChanged()
{
    const QListWidgetItem *item = catalogGallery->currentItem();
    if (!item)
        return;
    selectedCatalogIndex = item->data(Qt::UserRole).toInt();
    const QSignalBlocker blocker(catalogTable);
    for (int r = 0; r < catalogTable->rowCount(); ++r) {
        if (catalogTable->item(r, NameColumn)->data(Qt::UserRole).toInt() == selectedCatalogIndex)
            catalogTable->selectRow(r);
    }
    showCatalogDetails(selectedCatalogIndex);
}

void MainWindow::clearCatalogDetails()
{
    catalogTitle->clear();
    catalogInfo->clear();
    catalogDescription->clear();
    catalogPreview->setPixmap(QPixmap());
    catalogPreview->setText(tr("Keine Vorschau verfügbar"));
    installButton->setText(tr("Mod installieren"));
    installButton->setToolTip(QString());
    installButton->setEnabled(false);
}

void MainWindow::showCatalogDetails(int index)
{
    if (index < 0 || index >= catalog.size()) {
        clearCatalogDetails();
        return;
    }
    const RepoMod &mod = catalog.at(index);
    catalogTitle->setText(mod.name);
    catalogInfo->setText(tr("Autor: %1   •   Version: %2   •   Kategorie: %3   •   Quelle: %4\nTags: %5%6")
                             .arg(mod.author, mod.version, mod.categories.join(QStringLiteral(", ")),
                                  mod.repositoryName, mod.tags.join(QStringLiteral(", ")),
                                  catalogDependencyLine(mod)));
    catalogDescription->setPlainText(mod.description);
    catalogPreview->setPixmap(QPixmap());
    catalogPreview->setText(tr("Keine Vorschau verfügbar"));

    const CatalogInstallStatus status = catalogStatusOf(index);
    if (status.modIoMatch < 0) {
        const bool hasDownload = !mod.downloadUrl.isEmpty();
        installButton->setEnabled(hasDownload && !installRunActive() && !catalogLoading);
        installButton->setText(hasDownload ? tr("Mod installieren") : tr("Kein Download"));
        installButton->setToolTip(QString());
        return;
    }
    installButton->setEnabled(false);
    if (status.plainMatch >= 0) {
        installButton->setText(tr("Doppelt installiert"));
        installButton->setToolTip(tr(
            "Diese Mod ist bereits über mod.io und zusätzlich in einem weiteren Mod-Ordner installiert. Die "
            "mod.io-Version wird bevorzugt; eine weitere Repository-Installation ist gesperrt."));
        return;
    }
    installButton->setText(status.state == CatalogInstallState::ModIoUpdateAvailable
                               ? tr("Update über mod.io")
                               : tr("Über mod.io installiert"));
    installButton->setToolTip(tr(
        "Diese Mod ist bereits über mod.io installiert. Die Installation aus Trackhaven oder einem anderen "
        "Repository ist deshalb gesperrt. Bitte verwalte diese Mod über mod.io bzw. den Mod Hub in Ferroline "
        "3."));
}
