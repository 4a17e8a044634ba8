#include "app/listroles.h"
#include "app/listwidgets.h"
#include "app/mainwindow.h"
#include "app/recordtablemodel.h"
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
#include <QNetworkReply>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QStackedWidget>
#include <QTableView>
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

constexpr int galleryPictureHeight = 126;
constexpr int smallestNameColumn = 220;

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
    CatalogView &view = catalogView;
    auto *page = new QWidget;
    auto *layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(10);

    auto *filterRow = new QHBoxLayout;
    view.search = new QLineEdit(page);
    view.search->setPlaceholderText(tr("Mods, Autor, Tags, Kategorien oder Quelle durchsuchen…"));
    view.search->setClearButtonEnabled(true);
    view.search->setMinimumHeight(32);
    view.categoryFilter = new QComboBox(page);
    view.categoryFilter->addItem(tr("Alle Kategorien"), QString());
    view.categoryFilter->setMinimumWidth(150);
    view.categoryFilter->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    view.categoryFilter->setMinimumContentsLength(12);
    view.repositoryFilter = new QComboBox(page);
    view.repositoryFilter->addItem(tr("Alle Repositorys"), QString());
    view.repositoryFilter->setMinimumWidth(140);
    view.repositoryFilter->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    view.repositoryFilter->setMinimumContentsLength(10);
    view.listButton = makeToggle(tr("Liste"), page);
    view.galleryButton = makeToggle(tr("Galerie"), page);
    view.listButton->setChecked(true);
    view.reloadButton = new QPushButton(tr("Katalog aktualisieren"), page);
    view.reloadButton->setMinimumHeight(32);
    filterRow->addWidget(view.search, 1);
    filterRow->addWidget(view.categoryFilter);
    filterRow->addWidget(view.repositoryFilter);
    filterRow->addWidget(view.listButton);
    filterRow->addWidget(view.galleryButton);
    filterRow->addWidget(view.reloadButton);
    layout->addLayout(filterRow);

    const auto entry = [this](int index) -> const RepoMod & {
        return catalog.at(index);
    };
    view.model = new RecordTableModel(
        {{tr("Mod"),
          [entry](int i) {
              return entry(i).name;
          }},
         {tr("Kategorie"),
          [entry](int i) {
              return entry(i).categories.join(QStringLiteral(", "));
          }},
         {tr("Autor"),
          [entry](int i) {
              return entry(i).author;
          }},
         {tr("Quelle"),
          [entry](int i) {
              return entry(i).repositoryName;
          }},
         {tr("Version"), [entry](int i) { return entry(i).version; }, RecordTableModel::SortAs::Version},
         {tr("Status"),
          [this](int i) {
              return catalogInstallStatusText(catalogStatusOf(i).state);
          }}},
        [this, entry](int i, int column, int role) -> QVariant {
            switch (role) {
            case Qt::UserRole:
                return i;
            case Qt::ToolTipRole:
                return column == NameColumn ? QVariant(entry(i).description.left(500)) : QVariant();
            case ListRole::CardTitle:
                return entry(i).name;
            case ListRole::CardLines:
                return QStringList{
                    QStringLiteral("%1 • %2").arg(entry(i).author, entry(i).version),
                    QStringLiteral("%1 • %2").arg(entry(i).repositoryName,
                                                  catalogView.model->cellText(i, StatusColumn))};
            case ListRole::CardToolTip:
                return entry(i).description.left(700);
            case Qt::DecorationRole:
                return column == NameColumn ? catalogPreview(i, role) : QVariant();
            case ListRole::CardPicture:
                return catalogPreview(i, role);
            default:
                return {};
            }
        },
        this);

    auto *splitter = new QSplitter(Qt::Horizontal, page);
    view.views = new QStackedWidget(splitter);
    // Catalog order (the order the repositories answered in) until the player picks a column.
    view.table = makeRecordTable(view.model, -1, view.views);
    view.columns = new ColumnFiller(view.table, NameColumn, smallestNameColumn);
    // The preview stays within the one row height of the table.
    const int iconHeight = view.table->verticalHeader()->defaultSectionSize() - 4;
    view.table->setIconSize(QSize(iconHeight * 16 / 9, iconHeight));
    view.gallery = new CardGridView(240, galleryPictureHeight, view.views);
    view.gallery->setModel(view.model);
    // One selection for both: the gallery shows the row the table has selected, and the other way round.
    view.gallery->setSelectionModel(view.table->selectionModel());
    view.emptyLabel = makeEmptyListLabel(view.views);
    view.views->addWidget(view.table);
    view.views->addWidget(view.gallery);
    view.views->addWidget(view.emptyLabel);

    auto *detail = new QWidget(splitter);
    auto *detailLayout = new QVBoxLayout(detail);
    detailLayout->setContentsMargins(12, 0, 0, 0);
    view.preview = new QLabel(detail);
    view.preview->setFixedSize(288, 162);
    view.preview->setWordWrap(true);
    view.preview->setAlignment(Qt::AlignCenter);
    // Pictures come cut to 16:9 and are shown at the label's size.
    view.preview->setScaledContents(true);
    view.preview->setStyleSheet(QStringLiteral(
        "QLabel{background:#f3f5f8;border:1px solid #d9dde3;border-radius:8px;color:#5d6d7e;}"));
    view.title = new QLabel(detail);
    view.title->setWordWrap(true);
    QFont titleFont = font();
    titleFont.setPointSize(15);
    titleFont.setWeight(QFont::Bold);
    view.title->setFont(titleFont);
    view.info = new QLabel(detail);
    view.info->setWordWrap(true);
    view.info->setTextInteractionFlags(Qt::TextSelectableByMouse);
    view.description = new QTextBrowser(detail);
    view.description->setOpenExternalLinks(false);
    view.installButton = new QPushButton(tr("Mod installieren"), detail);
    view.installButton->setMinimumHeight(38);
    view.installButton->setEnabled(false);
    view.installProgress = new QProgressBar(detail);
    view.installProgress->setVisible(false);
    detailLayout->addWidget(view.preview, 0, Qt::AlignHCenter);
    detailLayout->addWidget(view.title);
    detailLayout->addWidget(view.info);
    detailLayout->addWidget(view.description, 1);
    detailLayout->addWidget(view.installProgress);
    detailLayout->addWidget(view.installButton);
    splitter->addWidget(view.views);
    splitter->addWidget(detail);
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 1);
    splitter->setCollapsible(0, false);
    splitter->setCollapsible(1, false);
    splitter->setSizes({780, 360});
    detail->setMinimumWidth(300);
    layout->addWidget(splitter, 1);

    connect(view.search, &QLineEdit::textChanged, this, &MainWindow::applyCatalogFilter);
    connect(view.categoryFilter, &QComboBox::currentIndexChanged, this, &MainWindow::applyCatalogFilter);
    connect(view.repositoryFilter, &QComboBox::currentIndexChanged, this, &MainWindow::applyCatalogFilter);
    connect(view.reloadButton, &QPushButton::clicked, this, &MainWindow::reloadCatalog);
    connect(view.listButton, &QPushButton::clicked, this, [this] { setCatalogGalleryMode(false); });
    connect(view.galleryButton, &QPushButton::clicked, this, [this] { setCatalogGalleryMode(true); });
    connect(view.table->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &MainWindow::catalogSelectionChanged);
    connect(view.installButton, &QPushButton::clicked, this, &MainWindow::installSelectedRepositoryMod);
    clearCatalogDetails();
    return page;
}

void MainWindow::setCatalogGalleryMode(bool gallery)
{
    catalogView.galleryButton->setChecked(gallery);
    catalogView.listButton->setChecked(!gallery);
    if (catalogView.views->currentWidget() != catalogView.emptyLabel)
        showCatalogList(QString());
}

void MainWindow::showCatalogList(const QString &emptyText)
{
    CatalogView &view = catalogView;
    if (!emptyText.isEmpty()) {
        view.emptyLabel->setText(emptyText);
        view.views->setCurrentWidget(view.emptyLabel);
        return;
    }
    QAbstractItemView *shown =
        view.galleryButton->isChecked() ? static_cast<QAbstractItemView *>(view.gallery) : view.table;
    view.views->setCurrentWidget(shown);
    if (view.table->selectionModel()->currentIndex().isValid())
        shown->scrollTo(view.table->selectionModel()->currentIndex());
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
    // A reload is the player's way to try pictures again that failed before.
    previews.failed.clear();
    const quint32 generation = ++loadGeneration;
    catalogView.reloadButton->setEnabled(false);
    catalogView.installButton->setEnabled(false);
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
    catalogView.reloadButton->setEnabled(!installRunActive());

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
    catalogView.searchTexts = catalogSearchTexts(catalog);
    catalogView.matchIndex = CatalogMatchIndex(catalog);
    const QSignalBlocker blocker(catalogView.table->selectionModel());
    catalogView.model->resetRecords(int(catalog.size()));
}

void MainWindow::refreshCatalogStatuses()
{
    catalogView.model->invalidateColumn(StatusColumn);
}

void MainWindow::rebuildCatalogFilterLists()
{
    refillFilter(catalogView.categoryFilter, tr("Alle Kategorien"), catalogCategories(catalog));
    refillFilter(catalogView.repositoryFilter, tr("Alle Repositorys"), catalogRepositoryNames(catalog));
}

CatalogInstallStatus MainWindow::catalogStatusOf(int index) const
{
    if (index < 0 || index >= catalog.size())
        return {};
    if (index < catalogView.matchIndex.size())
        return installedIndex.status(catalog.at(index), catalogView.matchIndex.keys(index));
    return installedIndex.status(catalog.at(index));
}

void MainWindow::applyCatalogFilter()
{
    CatalogView &view = catalogView;
    const CatalogFilter filter{view.search->text().trimmed(), view.categoryFilter->currentData().toString(),
                               view.repositoryFilter->currentData().toString()};
    const QList<int> shown = filterCatalog(catalog, view.searchTexts, filter);
    {
        // The selection is restored below by the entry it stands for, not by what the reset leaves.
        const QSignalBlocker blocker(view.table->selectionModel());
        view.model->setShownRecords(shown);
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
            view.preview->setText(emptyText);
        }
        showCatalogList(emptyText);
        return;
    }
    view.columns->fitToSample();
    if (view.model->rowOfRecord(selectedCatalogIndex) < 0)
        selectedCatalogIndex = view.model->recordAt(0);
    selectCatalogRow(view.model->rowOfRecord(selectedCatalogIndex));
    showCatalogList(QString());
    showCatalogDetails(selectedCatalogIndex);
}

void MainWindow::selectCatalogRow(int row)
{
    CatalogView &view = catalogView;
    const QModelIndex index = view.model->index(row, NameColumn);
    const QSignalBlocker blocker(view.table->selectionModel());
    view.table->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                             QItemSelectionModel::Rows);
    // Both views repaint the rows whose selection changed; the signals stayed blocked.
    view.table->viewport()->update();
    view.gallery->viewport()->update();
}

void MainWindow::catalogSelectionChanged()
{
    const int index = catalogView.model->recordAt(catalogView.table->selectionModel()->currentIndex().row());
    if (index < 0)
        return;
    selectedCatalogIndex = index;
    showCatalogDetails(selectedCatalogIndex);
}

void MainWindow::gallerySelectionChanged()
{
    // Table and gallery share one selection; whichever view changed it, the details follow.
    catalogSelectionChanged();
}

void MainWindow::clearCatalogDetails()
{
    catalogView.title->clear();
    catalogView.info->clear();
    catalogView.description->clear();
    previews.catalogDetailUrl.clear();
    catalogView.preview->setPixmap(QPixmap());
    catalogView.preview->setToolTip(QString());
    catalogView.preview->setText(tr("Keine Vorschau verfügbar"));
    catalogView.installButton->setText(tr("Mod installieren"));
    catalogView.installButton->setToolTip(QString());
    catalogView.installButton->setEnabled(false);
}

void MainWindow::showCatalogDetails(int index)
{
    if (index < 0 || index >= catalog.size()) {
        clearCatalogDetails();
        return;
    }
    const RepoMod &mod = catalog.at(index);
    catalogView.title->setText(mod.name);
    catalogView.info->setText(
        tr("Autor: %1   •   Version: %2   •   Kategorie: %3   •   Quelle: %4\nTags: %5%6")
            .arg(mod.author, mod.version, mod.categories.join(QStringLiteral(", ")), mod.repositoryName,
                 mod.tags.join(QStringLiteral(", ")), catalogDependencyLine(mod)));
    catalogView.description->setPlainText(mod.description);
    showCatalogDetailPreview(mod.previewUrl);

    const CatalogInstallStatus status = catalogStatusOf(index);
    if (status.modIoMatch < 0) {
        const bool hasDownload = !mod.downloadUrl.isEmpty();
        catalogView.installButton->setEnabled(hasDownload && !installRunActive() && !catalogLoading);
        catalogView.installButton->setText(hasDownload ? tr("Mod installieren") : tr("Kein Download"));
        catalogView.installButton->setToolTip(QString());
        return;
    }
    catalogView.installButton->setEnabled(false);
    if (status.plainMatch >= 0) {
        catalogView.installButton->setText(tr("Doppelt installiert"));
        catalogView.installButton->setToolTip(tr(
            "Diese Mod ist bereits über mod.io und zusätzlich in einem weiteren Mod-Ordner installiert. Die "
            "mod.io-Version wird bevorzugt; eine weitere Repository-Installation ist gesperrt."));
        return;
    }
    catalogView.installButton->setText(status.state == CatalogInstallState::ModIoUpdateAvailable
                                           ? tr("Update über mod.io")
                                           : tr("Über mod.io installiert"));
    catalogView.installButton->setToolTip(tr(
        "Diese Mod ist bereits über mod.io installiert. Die Installation aus Trackhaven oder einem anderen "
        "Repository ist deshalb gesperrt. Bitte verwalte diese Mod über mod.io bzw. den Mod Hub in Ferroline "
        "3."));
}
