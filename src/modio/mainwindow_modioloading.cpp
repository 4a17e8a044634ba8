#include "app/mainwindow.h"
#include "app/settings.h"
#include "modio/modioblacklist.h"
#include "modio/modiolistmodel.h"

#include <QComboBox>
#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QTimer>

namespace {
// A little past the client's limit, so the continuation is not refused for the last milliseconds.
constexpr int rateLimitMarginMs = 250;
} // namespace

void MainWindow::reloadModIo()
{
    ModIoView &view = modIoView;
    if (!view.model)
        return;
    // A reload is the player's way to try pictures again that failed before.
    previews.failed.clear();
    const QString token = modIoAccessToken();
    if (token.isEmpty() && modIoApiKey().isEmpty()) {
        updateModIoAccountLabel();
        setStatus(tr("mod.io: Bitte zuerst API-Key oder Zugriffstoken einrichten."));
        return;
    }
    ensureModIoGameId(view.gameId);
    setStatus(tr("Verbinde mit mod.io…"));
    updateModIoAccountLabel();
    view.modIoAuthorSearchShortened = false;
    view.authorSearchExtraPages = 0;
    view.modIoSearchStage = 0;
    loadNextModIoPage(true);
    const bool subscribedSource =
        modIoSourceFromKey(view.source->currentData().toString()) == ModIoSource::Subscribed;
    if (!token.isEmpty() && !view.subscriptionsLoaded && !subscribedSource)
        loadModIoSubscriptionsAsync(view.modIoRequestGeneration, 0);
    if (!token.isEmpty() &&
        QSettings().value(QStringLiteral("modio/user_name")).toString().trimmed().isEmpty())
        requestModIoUserName();
}

ModIoListRequest MainWindow::modIoListRequest(int offset) const
{
    const ModIoView &view = modIoView;
    ModIoListRequest request;
    request.apiRoot = modIoApiRoot();
    request.gameId = view.gameId;
    request.source = modIoSourceFromKey(view.source->currentData().toString());
    request.offset = offset;
    request.sortKey = view.sort->currentData().toString();
    request.searchField = view.search->text();
    request.searchStage = view.modIoSearchStage;
    request.authorSearchShortened = view.modIoAuthorSearchShortened;
    request.categoryKey = view.category->currentData().toString();
    request.blockedAuthorIds = blockedAuthorIds(view.blacklist);
    request.installedIds = view.installedIds;
    return request;
}

void MainWindow::setModIoListInfo(const QString &text)
{
    modIoView.listInfo->setText(text);
}

void MainWindow::loadNextModIoPage(bool reset)
{
    ModIoView &view = modIoView;
    if (!view.list)
        return;
    if (reset) {
        ++view.modIoRequestGeneration;
        view.rateLimitRetry->stop();
        const bool keep = view.cacheShown && !view.mods.isEmpty();
        view.nextOffset = 0;
        view.total = 0;
        view.loading = false;
        view.moreAvailable = true;
        view.replaceOnFirstPage = keep;
        if (!keep) {
            view.mods.clear();
            view.selectedIndex = -1;
            view.model->setShownRecords({});
            resetModIoDetails();
        }
    }
    if (view.loading || !view.moreAvailable)
        return;
    refreshModIoInstalledIds(false);
    const ModIoSource source = modIoSourceFromKey(view.source->currentData().toString());
    if (source == ModIoSource::Subscribed && modIoAccessToken().isEmpty()) {
        view.moreAvailable = false;
        setModIoListInfo(tr("Für 'Meine Abos' bitte bei mod.io anmelden."));
        setStatus(tr("Zum Anzeigen der mod.io-Abonnements bitte anmelden."));
        return;
    }
    if (source == ModIoSource::Installed && view.installedIds.isEmpty()) {
        view.moreAvailable = false;
        setModIoListInfo(tr("Keine mod.io-Mods installiert."));
        return;
    }

    const int offset = view.nextOffset;
    const QUrl url = modIoListUrl(modIoListRequest(offset));
    view.loading = true;
    view.reloadButton->setEnabled(false);
    view.progress->setVisible(true);
    view.cancelButton->setVisible(true);
    view.moreButton->setVisible(true);
    view.moreButton->setEnabled(false);
    view.moreButton->setText(tr("Lädt…"));
    setModIoListInfo(offset > 0 ? tr("Weitere Mods werden geladen…")
                                : tr("mod.io-Katalog wird aktualisiert…"));
    const int generation = view.modIoRequestGeneration;
    view.client->modIoGetAsync(
        url, source == ModIoSource::Subscribed,
        [this, generation, offset, source](bool ok, const QJsonDocument &document, const QString &error) {
            handleModIoPage(generation, offset, source, ok, document, error);
        });
}

void MainWindow::endModIoLoading()
{
    ModIoView &view = modIoView;
    view.progress->setVisible(false);
    view.cancelButton->setVisible(false);
    view.reloadButton->setEnabled(true);
    view.moreButton->setText(tr("Weitere Mods laden"));
    view.moreButton->setVisible(view.moreAvailable);
    view.moreButton->setEnabled(view.moreAvailable);
}

void MainWindow::continueModIoLoading(bool reset)
{
    const int generation = modIoView.modIoRequestGeneration;
    QTimer::singleShot(0, this, [this, generation, reset] {
        if (generation == modIoView.modIoRequestGeneration)
            loadNextModIoPage(reset);
    });
}

bool MainWindow::handleFailedModIoPage(int offset, const QString &error)
{
    ModIoView &view = modIoView;
    // The service asked for a pause: the load goes on by itself once it has passed.
    const int secondsLeft = view.client->rateLimitSecondsLeft();
    if (secondsLeft > 0) {
        const QString text = modIoRateLimitText(secondsLeft);
        setModIoListInfo(text);
        setStatus(text);
        view.progress->setVisible(true);
        view.cancelButton->setVisible(true);
        view.moreButton->setVisible(false);
        const int generation = view.modIoRequestGeneration;
        view.rateLimitRetry->disconnect();
        connect(view.rateLimitRetry, &QTimer::timeout, this, [this, generation] {
            if (generation != modIoView.modIoRequestGeneration)
                return;
            if (modIoView.client->rateLimitSecondsLeft() > 0)
                handleFailedModIoPage(modIoView.nextOffset, QString());
            else
                loadNextModIoPage(false);
        });
        view.rateLimitRetry->start(secondsLeft * 1000 + rateLimitMarginMs);
        return true;
    }
    endModIoLoading();
    if (view.cacheShown && !view.mods.isEmpty()) {
        applyModIoFilter();
        setModIoListInfo(tr("Netzwerkfehler – zwischengespeicherter Katalog wird angezeigt."));
        view.moreButton->setVisible(false);
        setStatus(tr("mod.io konnte nicht aktualisiert werden: %1").arg(error));
        return false;
    }
    view.moreAvailable = false;
    view.moreButton->setVisible(false);
    setModIoListInfo(tr("Laden fehlgeschlagen."));
    setStatus(error);
    if (offset == 0)
        prompts.warning(QStringLiteral("mod.io"), error);
    return false;
}

void MainWindow::handleModIoPage(int generation, int offset, ModIoSource source, bool ok,
                                 const QJsonDocument &document, const QString &error)
{
    ModIoView &view = modIoView;
    if (generation != view.modIoRequestGeneration)
        return;
    view.loading = false;
    if (!ok || !document.isObject()) {
        handleFailedModIoPage(offset, ok ? tr("mod.io hat keine Mod-Liste geliefert.") : error);
        return;
    }
    const QJsonObject page = document.object();
    const QJsonArray data = page.value(QLatin1String("data")).toArray();
    const ModIoSearch search = parseModIoSearch(view.search->text());
    if (shouldRetryModIoSearch(source, search, offset, data.isEmpty(), view.modIoSearchStage)) {
        ++view.modIoSearchStage;
        setModIoListInfo(view.modIoSearchStage == 1 ? tr("Suche wird mit Teilbegriff wiederholt…")
                                                    : tr("Keine Mod gefunden – Benutzername wird geprüft…"));
        continueModIoLoading(true);
        return;
    }
    const bool replacing = offset == 0 && view.replaceOnFirstPage;
    if (replacing) {
        view.mods.clear();
        view.replaceOnFirstPage = false;
        view.cacheShown = false;
        view.selectedIndex = -1;
    }

    QSet<QString> known;
    for (const ModIoMod &mod : std::as_const(view.mods))
        known.insert(mod.id);
    const ModIoAuthorMatcher blocked(view.blacklist);
    for (const QJsonValue &element : data) {
        ModIoMod record = parseModIoMod(element.toObject(), view.modIoSubscribedIds);
        if (record.id.isEmpty() || known.contains(record.id) || blocked.blocks(record))
            continue;
        if (source == ModIoSource::Subscribed) {
            view.modIoSubscribedIds.insert(record.id);
            record.subscribed = true;
        }
        known.insert(record.id);
        view.mods.append(record);
    }
    // The rows name records by position: once the cached ones are replaced, they must be rebuilt now, not
    // only after the continuations that may follow.
    if (replacing)
        applyModIoFilter();

    const ModIoListRequest request = modIoListRequest(offset);
    if (isCacheableModIoPage(request, view.category->currentIndex(), view.rating->currentData().toInt()))
        writeModIoCatalogCache(modIoCatalogCachePath(), document);

    ModIoPageState state;
    state.search = search;
    state.offset = offset;
    state.authorSearchShortened = view.modIoAuthorSearchShortened;
    state.authorExtraPages = view.authorSearchExtraPages;
    if (search.author)
        state.authorMatches = countModIoAuthorMatches(view.mods, search.text.toLower());
    state.paging = modIoPaging(page, offset);
    state.ratingValue = view.rating->currentData().toInt();
    if (state.ratingValue != 0) {
        for (const ModIoMod &mod : std::as_const(view.mods))
            state.ratingMatches += !blocked.blocks(mod) && passesModIoRating(mod, state.ratingValue);
    }
    const ModIoPageStep step = modIoPageStep(state);
    if (step == ModIoPageStep::ShortenAuthorSearch) {
        view.modIoAuthorSearchShortened = true;
        view.authorSearchExtraPages = 0;
        setModIoListInfo(tr("Autor wird über mod.io-Kontonamen gesucht…"));
        continueModIoLoading(true);
        return;
    }
    view.nextOffset = state.paging.nextOffset;
    view.total = state.paging.total;
    view.moreAvailable = state.paging.moreAvailable;
    if (step == ModIoPageStep::NextAuthorPage) {
        ++view.authorSearchExtraPages;
        setModIoListInfo(tr("Autorensuche: %1 Mods geprüft…").arg(view.mods.size()));
        continueModIoLoading(false);
        return;
    }
    if (step == ModIoPageStep::NextRatingPage) {
        setModIoListInfo(tr("Bewertungsfilter: %1 Mods geprüft, %2 Treffer…")
                             .arg(view.mods.size())
                             .arg(state.ratingMatches));
        continueModIoLoading(false);
        return;
    }

    rebuildModIoCategories();
    applyModIoFilter();
    requestCommunitySummaries();
    setModIoListInfo(view.total < 1 ? tr("%1 Mods geladen").arg(view.mods.size())
                                    : tr("%1 von %2 Mods geladen").arg(view.mods.size()).arg(view.total));
    endModIoLoading();
    setStatus(tr("%1 Mods von mod.io geladen.").arg(view.mods.size()));
    QTimer::singleShot(0, this, [this] { scheduleVisiblePreviews(); });
}

void MainWindow::cancelModIoLoading()
{
    ModIoView &view = modIoView;
    ++view.modIoRequestGeneration;
    view.rateLimitRetry->stop();
    view.loading = false;
    endModIoLoading();
    setModIoListInfo(tr("Laden abgebrochen – bereits geladene Mods bleiben verfügbar."));
    setStatus(tr("mod.io-Ladevorgang abgebrochen."));
}

void MainWindow::showCachedModIoCatalog()
{
    ModIoView &view = modIoView;
    QJsonObject page;
    if (!view.model || !readModIoCatalogCache(modIoCatalogCachePath(), QDateTime::currentDateTime(), &page))
        return;
    QSet<QString> known;
    const ModIoAuthorMatcher blocked(view.blacklist);
    for (const QJsonValue &element : page.value(QLatin1String("data")).toArray()) {
        const ModIoMod record = parseModIoMod(element.toObject(), view.modIoSubscribedIds);
        if (record.id.isEmpty() || known.contains(record.id) || blocked.blocks(record))
            continue;
        known.insert(record.id);
        view.mods.append(record);
    }
    if (view.mods.isEmpty())
        return;
    const ModIoPaging paging = modIoPaging(page, 0);
    view.nextOffset = paging.nextOffset;
    view.total = paging.total;
    view.moreAvailable = paging.moreAvailable;
    view.cacheShown = true;
    view.replaceOnFirstPage = true;
    rebuildModIoCategories();
    applyModIoFilter();
    requestCommunitySummaries();
    setModIoListInfo(tr("Zwischengespeicherter Katalog – Aktualisierung läuft im Hintergrund…"));
}

void MainWindow::loadModIoSubscriptionsAsync(int generation, int offset)
{
    ModIoView &view = modIoView;
    if (modIoAccessToken().isEmpty() || generation != view.modIoRequestGeneration)
        return;
    ensureModIoGameId(view.gameId);
    const QUrl url = modIoApiUrl(modIoApiRoot(), QStringLiteral("/me/subscribed"),
                                 {{QStringLiteral("game_id"), QString::number(view.gameId)},
                                  {QStringLiteral("_limit"), QStringLiteral("100")},
                                  {QStringLiteral("_offset"), QString::number(offset)}});
    // An answer for a token that was replaced or removed meanwhile belongs to someone else.
    view.client->modIoGetAsync(
        url, true,
        [this, generation, offset, token = modIoAccessToken()](bool ok, const QJsonDocument &document,
                                                               const QString &error) {
            ModIoView &view = modIoView;
            if (generation != view.modIoRequestGeneration || token != modIoAccessToken())
                return;
            if (!ok) {
                if (!error.isEmpty())
                    setStatus(tr("mod.io-Abos konnten nicht gelesen werden: %1").arg(error));
                return;
            }
            const QJsonObject page = document.object();
            for (const QJsonValue &element : page.value(QLatin1String("data")).toArray()) {
                const QString id = modIoIdText(element.toObject().value(QLatin1String("id"))).trimmed();
                if (!id.isEmpty())
                    view.modIoSubscribedIds.insert(id);
            }
            const ModIoPaging paging = modIoPaging(page, offset);
            if (paging.count >= 1 && paging.offset + paging.count < paging.total) {
                loadModIoSubscriptionsAsync(generation, paging.nextOffset);
                return;
            }
            view.subscriptionsLoaded = true;
            for (ModIoMod &mod : view.mods)
                mod.subscribed = view.modIoSubscribedIds.contains(mod.id);
            if (!view.loading)
                applyModIoFilter();
        });
}
