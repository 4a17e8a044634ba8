#include "app/mainwindow.h"
#include "app/settings.h"
#include "community/communityreports.h"
#include "install/fileoperations.h"
#include "localmods/localscan.h"
#include "modio/modioblacklist.h"
#include "modio/modiolistdelegate.h"
#include "modio/modiolistmodel.h"

#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSplitter>
#include <QTimer>
#include <QVBoxLayout>

namespace {
constexpr int searchDelayMs = 350;
constexpr int categoryTextRole = Qt::UserRole + 1;

QPushButton *makeButton(const QString &text, QWidget *parent, const char *objectName = nullptr)
{
    auto *button = new QPushButton(text, parent);
    button->setMinimumHeight(32);
    if (objectName)
        button->setObjectName(QLatin1String(objectName));
    return button;
}

QComboBox *makeCombo(QWidget *parent, const char *objectName, const QList<QPair<QString, QVariant>> &items)
{
    auto *box = new QComboBox(parent);
    if (objectName)
        box->setObjectName(QLatin1String(objectName));
    for (const auto &item : items)
        box->addItem(item.first, item.second);
    box->setMinimumHeight(32);
    box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    box->setMinimumContentsLength(8);
    return box;
}
} // namespace

QWidget *MainWindow::buildModIoPage()
{
    ModIoView &view = modIoView;
    view.client = std::make_unique<ModIoClient>(network, this);
    view.blacklist = loadAuthorBlacklist();

    auto *page = new QWidget;
    auto *layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    page->setStyleSheet(QStringLiteral(
        "QFrame#modIoHeader{background:#1f2a36;border-radius:8px;}"
        "QFrame#modIoHeader QLabel#modIoServiceLabel{color:#ffffff;font-weight:700;font-size:15px;}"
        "QFrame#modIoHeader QPushButton{color:#e8eef4;background:transparent;border:1px solid #3a4b5c;"
        "border-radius:6px;padding:4px 10px;}"
        "QFrame#modIoHeader QPushButton:hover{background:#2c3b4b;}"
        "QFrame#modIoHeader QPushButton:checked{background:#c86f1f;border-color:#c86f1f;color:#ffffff;}"
        "QFrame#modIoHeader QPushButton:disabled{color:#7d8b99;}"
        "QFrame#modIoDetailPanel{background:#fbf9f6;border:1px solid #e4dbd0;border-radius:8px;}"));

    auto *header = new QFrame(page);
    header->setObjectName(QStringLiteral("modIoHeader"));
    // Two rows: the account and its buttons above the navigation, so that neither is cut at the window's
    // smallest width.
    auto *headerRows = new QVBoxLayout(header);
    headerRows->setContentsMargins(10, 6, 10, 6);
    headerRows->setSpacing(6);
    auto *accountRow = new QHBoxLayout;
    auto *headerRow = new QHBoxLayout;
    headerRows->addLayout(accountRow);
    headerRows->addLayout(headerRow);
    view.browseButton = makeButton(tr("🔍  Durchsuchen"), header);
    view.subscriptionsButton = makeButton(tr("★  Meine Abos"), header);
    view.installedButton = makeButton(tr("↥  Installiert / Updates"), header);
    const QList<QPushButton *> navigation{view.browseButton, view.subscriptionsButton, view.installedButton};
    for (int i = 0; i < navigation.size(); ++i) {
        navigation.at(i)->setProperty("modIoNav", true);
        navigation.at(i)->setCheckable(true);
        navigation.at(i)->setAutoExclusive(true);
        connect(navigation.at(i), &QPushButton::clicked, this, [this, i] { selectModIoSource(i); });
        headerRow->addWidget(navigation.at(i));
    }
    view.browseButton->setChecked(true);
    auto *serviceLabel = new QLabel(tr("Mods auf mod.io"), header);
    serviceLabel->setObjectName(QStringLiteral("modIoServiceLabel"));
    view.accountLabel = new QLabel(header);
    view.steamButton = makeButton(tr("Mit Steam anmelden"), header, "modIoSteam");
    view.emailButton = makeButton(tr("E-Mail"), header, "modIoEmail");
    view.logoutButton = makeButton(tr("Abmelden"), header, "modIoLogout");
    headerRow->addStretch();
    accountRow->addWidget(serviceLabel);
    accountRow->addStretch();
    accountRow->addWidget(view.accountLabel);
    accountRow->addWidget(view.steamButton);
    accountRow->addWidget(view.emailButton);
    accountRow->addWidget(view.logoutButton);
    connect(view.steamButton, &QPushButton::clicked, this, &MainWindow::modIoLoginSteam);
    connect(view.emailButton, &QPushButton::clicked, this, &MainWindow::modIoLoginEmail);
    connect(view.logoutButton, &QPushButton::clicked, this, &MainWindow::modIoLogout);
    layout->addWidget(header);

    auto *searchBar = new QFrame(page);
    searchBar->setObjectName(QStringLiteral("modIoSearchBar"));
    auto *searchRow = new QHBoxLayout(searchBar);
    searchRow->setContentsMargins(0, 0, 0, 0);
    view.search = new QLineEdit(searchBar);
    view.search->setObjectName(QStringLiteral("modIoSearch"));
    view.search->setPlaceholderText(tr("🔍  Mods oder Autoren suchen …  (@Name = nur Autor)"));
    view.search->setClearButtonEnabled(true);
    view.search->setMinimumHeight(32);
    view.search->setMinimumWidth(200);
    view.source = makeCombo(searchBar, nullptr,
                            {{tr("Alle mod.io Mods"), QStringLiteral("all")},
                             {tr("Meine Abonnements"), QStringLiteral("subscribed")},
                             {tr("Installiert / Updates"), QStringLiteral("installed")}});
    view.sort = makeCombo(searchBar, "modIoSort",
                          {{tr("Beliebt"), QStringLiteral("popular")},
                           {tr("Neueste Updates"), QStringLiteral("updated")},
                           {tr("Meiste Downloads"), QStringLiteral("downloads")},
                           {tr("Beste Bewertung"), QStringLiteral("rating")},
                           {tr("Name A–Z"), QStringLiteral("name")}});
    view.rating = makeCombo(searchBar, "modIoRatingFilter",
                            {{tr("Alle Bewertungen"), 0},
                             {tr("Mindestens ★☆☆☆☆"), 1},
                             {tr("Mindestens ★★☆☆☆"), 2},
                             {tr("Mindestens ★★★☆☆"), 3},
                             {tr("Mindestens ★★★★☆"), 4},
                             {tr("Nur ★★★★★"), 5},
                             {tr("Noch nicht bewertet"), 6}});
    view.rating->setToolTip(tr("Sterne basieren auf dem Anteil positiver mod.io-Bewertungen: 1★ 0–20 %, 2★ "
                               ">20–40 %, 3★ >40–60 %, 4★ >60–80 %, 5★ >80–100 %."));
    view.category = makeCombo(searchBar, "modIoCategory", {{tr("Alle Kategorien"), QString()}});
    view.blacklistButton = makeButton(tr("Blacklist"), searchBar);
    view.reloadButton = makeButton(tr("Aktualisieren"), searchBar);
    // A wide window gives the boxes room for their whole texts; a narrow one shortens them first.
    searchRow->addWidget(view.search, 3);
    for (QComboBox *box : {view.source, view.sort, view.rating, view.category})
        searchRow->addWidget(box, 1);
    searchRow->addWidget(view.blacklistButton);
    searchRow->addWidget(view.reloadButton);
    layout->addWidget(searchBar);

    view.searchDelay = new QTimer(this);
    view.searchDelay->setSingleShot(true);
    view.searchDelay->setInterval(searchDelayMs);
    view.rateLimitRetry = new QTimer(this);
    view.rateLimitRetry->setSingleShot(true);
    connect(view.search, &QLineEdit::textChanged, view.searchDelay, qOverload<>(&QTimer::start));
    connect(view.searchDelay, &QTimer::timeout, this, &MainWindow::reloadModIo);
    connect(view.source, &QComboBox::currentIndexChanged, this, [this](int index) {
        const QList<QPushButton *> navigation{modIoView.browseButton, modIoView.subscriptionsButton,
                                              modIoView.installedButton};
        if (index >= 0 && index < navigation.size())
            navigation.at(index)->setChecked(true);
        reloadModIo();
    });
    for (QComboBox *box : {view.sort, view.rating, view.category})
        connect(box, &QComboBox::currentIndexChanged, this, &MainWindow::reloadModIo);
    connect(view.blacklistButton, &QPushButton::clicked, this, &MainWindow::editModIoBlacklist);
    connect(view.reloadButton, &QPushButton::clicked, this, &MainWindow::reloadModIo);
    updateModIoBlacklistButton();

    auto *splitter = new QSplitter(Qt::Horizontal, page);
    auto *listColumn = new QWidget(splitter);
    auto *listLayout = new QVBoxLayout(listColumn);
    listLayout->setContentsMargins(0, 0, 0, 0);
    view.list = new QListView(listColumn);
    view.list->setObjectName(QStringLiteral("modIoList"));
    view.model = new ModIoListModel(
        &view.mods, [this](int index) { return modIoInstallStateOf(index); }, this);
    view.model->setIconSource([this](int record) { return modIoRowIcon(record); });
    view.delegate = new ModIoListDelegate(view.list);
    view.list->setModel(view.model);
    view.list->setItemDelegate(view.delegate);
    view.list->setUniformItemSizes(true);
    view.list->setMouseTracking(true);
    view.list->setSelectionMode(QAbstractItemView::SingleSelection);
    view.list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view.list->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    // Rows are as wide as the list; their texts are cut instead.
    view.list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view.list->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(view.list->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &MainWindow::modIoSelectionChanged);
    connect(view.list->verticalScrollBar(), &QScrollBar::valueChanged, this, &MainWindow::scrollModIoList);
    connect(view.list, &QListView::customContextMenuRequested, this, &MainWindow::showModIoListMenu);
    auto *statusRow = new QHBoxLayout;
    view.listInfo = new QLabel(listColumn);
    view.listInfo->setWordWrap(true);
    view.progress = new QProgressBar(listColumn);
    view.progress->setRange(0, 0);
    view.progress->setMaximumWidth(140);
    view.progress->setVisible(false);
    view.cancelButton = makeButton(tr("Abbrechen"), listColumn);
    view.cancelButton->setVisible(false);
    view.moreButton = makeButton(tr("Weitere Mods laden"), listColumn);
    view.moreButton->setVisible(false);
    statusRow->addWidget(view.listInfo, 1);
    buildPreviewProgress(listColumn, statusRow);
    statusRow->addWidget(view.progress);
    statusRow->addWidget(view.cancelButton);
    statusRow->addWidget(view.moreButton);
    connect(view.cancelButton, &QPushButton::clicked, this, &MainWindow::cancelModIoLoading);
    connect(view.moreButton, &QPushButton::clicked, this, [this] { loadNextModIoPage(false); });
    listLayout->addWidget(view.list, 1);
    listLayout->addLayout(statusRow);

    // The panel scrolls when a small window cannot show all of it, instead of squeezing its parts together.
    auto *detailScroll = new QScrollArea(splitter);
    detailScroll->setWidgetResizable(true);
    detailScroll->setFrameShape(QFrame::NoFrame);
    detailScroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    detailScroll->setMinimumWidth(310);
    auto *detail = new QFrame;
    detail->setObjectName(QStringLiteral("modIoDetailPanel"));
    detailScroll->setWidget(detail);
    auto *detailLayout = new QVBoxLayout(detail);
    detailLayout->setContentsMargins(12, 12, 12, 12);
    view.preview = new QLabel(detail);
    view.preview->setFixedSize(272, 153);
    view.preview->setAlignment(Qt::AlignCenter);
    view.preview->setWordWrap(true);
    // Pictures come cut to 16:9 and are shown at the label's size.
    view.preview->setScaledContents(true);
    view.preview->setStyleSheet(QStringLiteral(
        "QLabel{background:#efe8df;border:1px solid #d8cec1;border-radius:6px;color:#766b5e;}"));
    view.title = new QLabel(detail);
    view.title->setWordWrap(true);
    QFont titleFont = font();
    titleFont.setPointSize(14);
    titleFont.setWeight(QFont::Bold);
    view.title->setFont(titleFont);
    view.info = new QLabel(detail);
    view.info->setWordWrap(true);
    view.info->setTextInteractionFlags(Qt::TextSelectableByMouse);
    view.installButton = makeButton(tr("↓  Installieren"), detail);
    view.subscribeButton = makeButton(tr("☆  Abonnieren"), detail);
    view.openButton = makeButton(tr("🌐  Auf mod.io öffnen"), detail);
    view.quickCheckButton = makeButton(tr("KI-Indizien prüfen"), detail);
    view.quickCheckButton->setToolTip(
        tr("Prüft ausschließlich Indizien. Das Ergebnis ist kein Beweis für oder "
           "gegen den Einsatz von KI."));
    view.reportButton = makeButton(tr("Mod melden"), detail);
    view.communityLabel = new QLabel(detail);
    view.communityLabel->setWordWrap(true);
    view.downloadProgress = new QProgressBar(detail);
    view.downloadProgress->setFormat(tr("Download: %p%"));
    view.downloadProgress->setVisible(false);
    detailLayout->addWidget(view.preview, 0, Qt::AlignHCenter);
    detailLayout->addWidget(view.title);
    detailLayout->addWidget(view.info);
    for (QPushButton *button : {view.installButton, view.subscribeButton, view.openButton,
                                view.quickCheckButton, view.reportButton})
        detailLayout->addWidget(button);
    detailLayout->addWidget(view.communityLabel);
    detailLayout->addWidget(view.downloadProgress);
    detailLayout->addStretch();
    connect(view.installButton, &QPushButton::clicked, this, &MainWindow::installSelectedModIo);
    connect(view.subscribeButton, &QPushButton::clicked, this, &MainWindow::modIoToggleSubscription);
    connect(view.openButton, &QPushButton::clicked, this, [this] {
        const int index = modIoView.selectedIndex;
        if (index >= 0 && index < modIoView.mods.size())
            prompts.openUrl(QUrl(modIoView.mods.at(index).profileUrl));
    });
    connect(view.quickCheckButton, &QPushButton::clicked, this,
            [this] { showModIoAiReport(modIoView.selectedIndex); });
    connect(view.reportButton, &QPushButton::clicked, this, &MainWindow::reportSelectedModIoMod);

    splitter->addWidget(listColumn);
    splitter->addWidget(detailScroll);
    splitter->setStretchFactor(0, 1);
    splitter->setChildrenCollapsible(false);
    layout->addWidget(splitter, 1);

    resetModIoDetails();
    return page;
}

ModIoFilter MainWindow::currentModIoFilter() const
{
    const ModIoView &view = modIoView;
    ModIoFilter filter;
    filter.search = parseModIoSearch(view.search->text());
    filter.search.text = filter.search.text.toLower();
    filter.source = modIoSourceFromKey(view.source->currentData().toString());
    if (view.category->currentIndex() > 0) {
        filter.categoryKey = view.category->currentData().toString().trimmed();
        filter.categoryText = view.category->currentData(categoryTextRole).toString();
        if (filter.categoryText.isEmpty())
            filter.categoryText = view.category->currentText();
    }
    filter.ratingValue = view.rating->currentData().toInt();
    filter.sortKey = view.sort->currentData().toString();
    return filter;
}

void MainWindow::applyModIoFilter()
{
    ModIoView &view = modIoView;
    if (!view.model)
        return;
    for (ModIoMod &mod : view.mods)
        mod.subscribed = view.modIoSubscribedIds.contains(mod.id);
    view.searchIndex.update(view.mods);
    const QString selectedId = view.selectedIndex >= 0 && view.selectedIndex < view.mods.size()
                                   ? view.mods.at(view.selectedIndex).id
                                   : QString();
    QScrollBar *scrollBar = view.list->verticalScrollBar();
    const int scroll = scrollBar->value();
    const QList<int> shown = filterModIoRecords(view.mods, view.searchIndex, currentModIoFilter(),
                                                {view.modIoSubscribedIds, view.installedIds, view.blacklist});

    view.list->setUpdatesEnabled(false);
    int row = -1;
    {
        // The rebuild moves the scroll bar; that is no player scrolling towards the end of the list.
        const QSignalBlocker blockSelection(view.list->selectionModel()), blockScrolling(scrollBar);
        view.model->setShownRecords(shown);
        for (int i = 0; i < shown.size() && row < 0 && !selectedId.isEmpty(); ++i) {
            if (view.mods.at(shown.at(i)).id == selectedId)
                row = i;
        }
        if (row < 0 && !shown.isEmpty())
            row = 0;
        if (row >= 0)
            view.list->setCurrentIndex(view.model->index(row));
        scrollBar->setValue(scroll);
    }
    view.list->setUpdatesEnabled(true);
    view.selectedIndex = view.model->recordAt(row);
    if (view.selectedIndex >= 0)
        showModIoDetails(view.selectedIndex);
    else
        resetModIoDetails();
    // The blocked scroll bar did not tell the previews that other rows are in view now.
    scheduleVisiblePreviews();
}

void MainWindow::modIoSelectionChanged()
{
    ModIoView &view = modIoView;
    if (!view.model)
        return;
    const int record = view.model->recordAt(view.list->currentIndex().row());
    if (record < 0)
        return;
    view.selectedIndex = record;
    showModIoDetails(record);
}

void MainWindow::resetModIoDetails()
{
    ModIoView &view = modIoView;
    view.title->setText(tr("Kein mod.io-Mod ausgewählt"));
    view.info->clear();
    previews.modIoDetailUrl.clear();
    view.preview->setPixmap(QPixmap());
    view.preview->setToolTip(QString());
    view.preview->setText(tr("Keine Vorschau ausgewählt"));
    for (QPushButton *button : {view.installButton, view.subscribeButton, view.openButton,
                                view.quickCheckButton, view.reportButton})
        button->setEnabled(false);
    view.communityLabel->setText(tr("Community-Hinweise werden bei Bedarf geladen."));
    view.communityLabel->setStyleSheet(communityWarningStyle(QString()));
}

void MainWindow::showModIoDetails(int index)
{
    ModIoView &view = modIoView;
    if (index < 0 || index >= view.mods.size())
        return;
    ModIoMod &record = view.mods[index];
    record.subscribed = view.modIoSubscribedIds.contains(record.id);
    const bool signedIn = !modIoAccessToken().isEmpty();
    view.title->setText(record.name);
    view.info->setText(modIoDetailText(record));

    view.subscribeButton->setEnabled(signedIn);
    view.subscribeButton->setText(record.subscribed ? tr("★  Abo beenden") : tr("☆  Abonnieren"));
    view.subscribeButton->setToolTip(signedIn ? QString()
                                              : tr("Für Abonnements bitte mit Steam oder E-Mail bei mod.io "
                                                   "anmelden."));
    const ModIoInstallState state = modIoInstallStateOf(index);
    view.installButton->setText(state == ModIoInstallState::UpdateAvailable ? tr("Update installieren")
                                : state == ModIoInstallState::NotInstalled  ? tr("↓  Installieren")
                                                                            : tr("Erneut herunterladen"));
    view.installButton->setToolTip(signedIn
                                       ? tr("Der Mod wird installiert und – falls noch nicht geschehen – mit "
                                            "deinem mod.io-Konto abonniert.")
                                       : tr("Direkte Installation ist auch ohne Anmeldung möglich. Für ein "
                                            "mod.io-Abo musst du dich anmelden."));
    view.installButton->setEnabled(true);
    view.openButton->setEnabled(!record.profileUrl.isEmpty());
    view.quickCheckButton->setEnabled(!view.quickCheckRunning);
    if (!view.quickCheckRunning)
        view.quickCheckButton->setText(record.quickCheckScore > 0
                                           ? tr("KI-Indizien prüfen (%1)").arg(record.quickCheckScore)
                                           : tr("KI-Indizien prüfen"));
    showModIoDetailPreview(record.logoUrl);
    requestOwnCommunityReport(index);
}

ModIoInstallState MainWindow::modIoInstallStateOf(int index) const
{
    const ModIoView &view = modIoView;
    if (index < 0 || index >= view.mods.size())
        return ModIoInstallState::NotInstalled;
    return modIoInstallState(view.mods.at(index), view.installedIds, view.installedFileIds);
}

void MainWindow::refreshModIoInstalledIds(bool force)
{
    ModIoView &view = modIoView;
    const QString folder = effectiveModIoModsPath();
    if (!force && view.installedRead && folder == view.installedFolder)
        return;
    view.installedFolder = folder;
    view.installedRead = true;
    view.installedIds = installedModIoIds(folder);
    view.installedFileIds = ::installedModIoFileIds(folder);
    if (view.model)
        view.model->refreshTexts();
}

void MainWindow::rebuildModIoCategories()
{
    QComboBox *box = modIoView.category;
    const QString previousName = box->currentIndex() > 0 ? box->currentData().toString() : QString();
    const QString previousText =
        box->currentIndex() > 0 ? box->currentData(categoryTextRole).toString() : QString();
    const QSignalBlocker blocker(box);
    box->clear();
    box->addItem(tr("Alle Kategorien"), QString());
    int chosen = 0;
    for (const ModIoCategory &category : modIoCategories(modIoView.mods)) {
        box->addItem(category.text, category.name);
        box->setItemData(box->count() - 1, category.text, categoryTextRole);
        if (chosen == 0 && !previousName.isEmpty() &&
            category.name.compare(previousName, Qt::CaseInsensitive) == 0)
            chosen = box->count() - 1;
    }
    for (int i = 1; chosen == 0 && !previousText.isEmpty() && i < box->count(); ++i) {
        if (box->itemData(i, categoryTextRole).toString().compare(previousText, Qt::CaseInsensitive) == 0)
            chosen = i;
    }
    box->setCurrentIndex(chosen);
}

void MainWindow::selectModIoSource(int sourceIndex)
{
    if (modIoView.source->currentIndex() != sourceIndex)
        modIoView.source->setCurrentIndex(sourceIndex);
}

void MainWindow::scrollModIoList(int value)
{
    scheduleVisiblePreviews();
    const ModIoView &view = modIoView;
    const QScrollBar *bar = view.list->verticalScrollBar();
    if (view.moreAvailable && !view.loading && value >= bar->maximum() - qMax(bar->pageStep() / 2, 180))
        loadNextModIoPage(false);
}

void MainWindow::showModIoListMenu(const QPoint &position)
{
    const int index = modIoView.model->recordAt(modIoView.list->indexAt(position).row());
    if (index < 0)
        return;
    const ModIoMod &record = modIoView.mods.at(index);
    if (record.author.isEmpty() && record.submittedById.isEmpty())
        return;
    QMenu menu(this);
    menu.addAction(
        tr("Mods von %1 ausblenden").arg(record.author.isEmpty() ? tr("diesem Autor") : record.author), this,
        [this, index] { blockModIoAuthorOf(index); });
    menu.exec(modIoView.list->viewport()->mapToGlobal(position));
}

void MainWindow::blockModIoAuthorOf(int index)
{
    ModIoView &view = modIoView;
    if (index < 0 || index >= view.mods.size())
        return;
    const ModIoMod record = view.mods.at(index);
    blockModIoAuthor(view.blacklist, record);
    saveAuthorBlacklist(view.blacklist);
    updateModIoBlacklistButton();
    setStatus(tr("Mods von %1 werden künftig ausgeblendet.")
                  .arg(record.author.isEmpty() ? tr("diesem Autor") : record.author));
    reloadModIo();
}

void MainWindow::editModIoBlacklist()
{
    prompts.editAuthorBlacklist(modIoView.blacklist);
    saveAuthorBlacklist(modIoView.blacklist);
    updateModIoBlacklistButton();
    reloadModIo();
}

void MainWindow::updateModIoBlacklistButton()
{
    const qsizetype count = modIoView.blacklist.size();
    modIoView.blacklistButton->setText(count > 0 ? tr("Blacklist (%1)").arg(count) : tr("Blacklist"));
}

void MainWindow::modIoToggleSubscription()
{
    ModIoView &view = modIoView;
    if (view.selectedIndex < 0 || view.selectedIndex >= view.mods.size())
        return;
    if (modIoAccessToken().isEmpty()) {
        modIoLoginSteam();
        return;
    }
    // The request waits in a nested loop in which list answers may replace the records: keep what is needed.
    const ModIoMod record = view.mods.at(view.selectedIndex);
    // The id becomes part of the request path: ".." or a slash would address another endpoint.
    if (!isAllDigits(record.id)) {
        prompts.warning(QStringLiteral("mod.io"), tr("Ungültige mod.io-Mod-ID."));
        return;
    }
    ensureModIoGameId(view.gameId);
    const QUrl url = modIoApiUrl(
        modIoApiRoot(), QStringLiteral("/games/%1/mods/%2/subscribe").arg(view.gameId).arg(record.id));
    QString error;
    QString status;
    if (record.subscribed) {
        if (!prompts.question(
                tr("Abo beenden"),
                tr("Soll das mod.io-Abonnement von '%1' wirklich beendet werden?").arg(record.name),
                DefaultAnswer::No))
            return;
        if (!view.client->modIoRequest(QStringLiteral("DELETE"), url, QByteArray(), nullptr, &error, true)) {
            prompts.warning(QStringLiteral("mod.io"), error);
            return;
        }
        view.modIoSubscribedIds.remove(record.id);
        const QString folder = modIoFolderToDelete(effectiveModIoModsPath(), record.id);
        if (!folder.isEmpty() &&
            prompts.question(
                tr("Lokale Dateien"),
                tr("Das Abonnement wurde beendet. Soll der lokal installierte Mod ebenfalls gelöscht "
                   "werden?\n\n%1")
                    .arg(QDir::toNativeSeparators(folder)),
                DefaultAnswer::No)) {
            QString removeError;
            if (!removeDirectoryTree(folder, &removeError, fileHooks))
                prompts.warning(
                    tr("Lokale Dateien"),
                    tr("Der lokale Mod-Ordner konnte nicht gelöscht werden:\n%1").arg(removeError));
        }
        status = tr("mod.io-Abo beendet: %1").arg(record.name);
    } else {
        if (!view.client->modIoRequest(
                QStringLiteral("POST"), url,
                modIoFormBody({{QStringLiteral("include_dependencies"), QStringLiteral("true")}}), nullptr,
                &error, true)) {
            prompts.warning(QStringLiteral("mod.io"), error);
            return;
        }
        view.modIoSubscribedIds.insert(record.id);
        status = tr("mod.io-Mod abonniert: %1").arg(record.name);
    }
    rescanLocalMods();
    refreshModIoInstalledIds(true);
    applyModIoFilter();
    showModIoDetails(view.selectedIndex);
    // After the rescan, which reports its own count.
    setStatus(status);
}

void MainWindow::showModIoAiReport(int index)
{
    ModIoView &view = modIoView;
    if (index < 0 || index >= view.mods.size() || view.quickCheckRunning)
        return;
    const ModIoMod record = view.mods.at(index);
    ModIoQuickCheckReport report = startModIoQuickCheckReport(record, effectiveModIoModsPath());
    if (!needsModIoAuthorHistory(record, !modIoApiKey().isEmpty() || !modIoAccessToken().isEmpty())) {
        showQuickCheckReport(record.name, report);
        return;
    }
    view.quickCheckRunning = true;
    view.quickCheckButton->setEnabled(false);
    view.quickCheckButton->setText(tr("Autorhistorie wird geprüft…"));
    ensureModIoGameId(view.gameId);
    // The answer belongs to this record, whichever row is selected when it arrives.
    view.client->modIoGetAsync(
        modIoAuthorHistoryUrl(modIoApiRoot(), view.gameId, record.submittedById), false,
        [this, name = record.name, report](bool ok, const QJsonDocument &answer, const QString &) mutable {
            if (ok)
                addModIoAuthorHistory(report, answer, QDateTime::currentSecsSinceEpoch());
            showQuickCheckReport(name, report);
        });
}

void MainWindow::showQuickCheckReport(const QString &modName, const ModIoQuickCheckReport &report)
{
    ModIoView &view = modIoView;
    view.quickCheckRunning = false;
    prompts.information(tr("KI-Indizienprüfung"), modIoQuickCheckReportText(modName, report));
    if (view.selectedIndex >= 0 && view.selectedIndex < view.mods.size())
        showModIoDetails(view.selectedIndex);
    else
        view.quickCheckButton->setText(tr("KI-Indizien prüfen"));
}
