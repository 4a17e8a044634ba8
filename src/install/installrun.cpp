#include "install/installrun.h"

#include "app/settings.h"
#include "catalog/dependencyparsing.h"
#include "catalog/dependencyresolution.h"
#include "catalog/versions.h"
#include "install/requestconventions.h"
#include "localmods/installstatus.h"

#include <QCoreApplication>
#include <QDir>
#include <QNetworkAccessManager>
#include <QTemporaryDir>

#include <optional>
#include <utility>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("MainWindow", text);
}

QString unresolvableText()
{
    return tr("Die benötigte Modifikation konnte nicht automatisch aufgelöst werden.");
}

bool setError(QString *error, const QString &message)
{
    if (error)
        *error = message;
    return false;
}

// The later of two minimum versions; an empty one asks for nothing.
QString higherMinimum(const QString &a, const QString &b)
{
    if (a.trimmed().isEmpty())
        return b;
    if (b.trimmed().isEmpty())
        return a;
    return compareVersions(b, a) > 0 ? b : a;
}

} // namespace

DependencyQuestion dependencyQuestion(const QStringList &labels)
{
    DependencyQuestion question;
    question.title = tr("Benötigte Modifikationen");
    question.text =
        tr("Dieser Mod benötigt zusätzlich folgende Modifikationen:\n\n%1").arg(labels.join('\n'));
    question.informativeText =
        tr("Der ModManager kann die fehlenden Modifikationen zuerst automatisch installieren.");
    question.buttons =
        QStringList{tr("Fehlende installieren"), tr("Nur Hauptmod installieren"), tr("Abbrechen")};
    question.defaultButton = 0;
    return question;
}

DependencyAnswer dependencyAnswerForButton(int index)
{
    switch (index) {
    case 0:
        return DependencyAnswer::InstallMissing;
    case 1:
        return DependencyAnswer::MainOnly;
    default:
        return DependencyAnswer::Cancel;
    }
}

RepositoryInstallRun::RepositoryInstallRun(QNetworkAccessManager &manager, RepositoryInstallContext context)
    : m_manager(manager), m_context(std::move(context))
{}

bool RepositoryInstallRun::install(const RepoMod &entry, QString *error)
{
    QSet<QString> visited;
    InstallRequest request;
    request.topLevel = true;
    return installWithDependencies(entry, request, visited, error);
}

bool RepositoryInstallRun::update(const RepoMod &entry, const QString &installedFolder, QString *error)
{
    QSet<QString> visited;
    InstallRequest request;
    request.topLevel = true;
    request.replaceFolder = installedFolder;
    return installWithDependencies(entry, request, visited, error);
}

bool RepositoryInstallRun::installWithDependencies(const RepoMod &mod, const InstallRequest &request,
                                                   QSet<QString> &visited, QString *error)
{
    Outcome outcome = Outcome::Installed;
    return installMod(mod, request, visited, &outcome, error);
}

bool RepositoryInstallRun::installMod(const RepoMod &mod, const InstallRequest &request,
                                      QSet<QString> &visited, Outcome *outcome, QString *error)
{
    // Required mods of an entry that cannot be downloaded would be installed for nothing.
    if (!hasRepositoryDownload(mod))
        return setError(error, tr("Für diesen Eintrag ist keine Download-URL hinterlegt."));

    QString replaceTarget = request.topLevel ? request.replaceFolder.trimmed() : QString();
    if (request.topLevel) {
        rescan();
    } else {
        const InstalledCopy copy = findInstalledCopy(mod, m_installed.mods, m_installed.folderCopies);
        if (copy.found) {
            const LocalMod *record = installedRecord(copy.path);
            LocalMod described;
            described.version = copy.version;
            if (satisfiesMinimumVersion(record ? *record : described, request.minVersion)) {
                *outcome = Outcome::AlreadyPresent;
                return true;
            }
            // The Mod Hub owns its copies and would undo a replacement; only the player can update it there.
            if (record && isModIoCopy(*record)) {
                return setError(error, tr("Die benötigte Modifikation '%1' ist über mod.io installiert, aber "
                                          "älter als die benötigte Version %2. Bitte aktualisiere sie im "
                                          "Bereich mod.io oder über den Mod Hub in Ferroline 3.")
                                           .arg(mod.name, request.minVersion));
            }
            // Installing beside it would leave two copies of the mod; the old one is replaced like an update.
            replaceTarget = copy.path;
        }
    }

    const QString key = modVisitKey(mod);
    if (!key.isEmpty()) {
        if (visited.contains(key)) {
            *outcome = Outcome::AlreadyVisited;
            return true;
        }
        visited.insert(key);
    }

    struct Item
    {
        RepoDependency dependency;
        RepoMod mod;
        QString key;
    };
    QList<Item> items;
    QStringList unresolved;
    const QStringList remembered = installedDependencyIds();
    for (const RepoDependency &dependency : mod.dependencies) {
        if (::isDependencyInstalled(dependency, m_context.catalog, m_installed.mods, remembered))
            continue;
        RepoMod resolved;
        QString reason;
        if (!resolveDependency(dependency, &resolved, &reason)) {
            if (isCancel(reason))
                return setError(error, reason);
            const QString label = dependencyLabel(dependency);
            // A failed entry page or a page without download says more than the label alone.
            unresolved.append(reason == unresolvableText() ? label : label + QStringLiteral(" – ") + reason);
            continue;
        }
        const QString label = dependencyLabel(dependency, &resolved);
        if (!hasRepositoryDownload(resolved)) {
            unresolved.append(tr("%1 – keine Download-Datei im Repository").arg(label));
            continue;
        }
        if (!dependency.minVersion.trimmed().isEmpty() &&
            compareVersions(resolved.version, dependency.minVersion) < 0) {
            unresolved.append(tr("%1 – Repository bietet nur Version %2").arg(label, resolved.version));
            continue;
        }
        const QString itemKey = modVisitKey(resolved);
        // Already being installed further up this request (a cycle, or the requested mod itself).
        if (!itemKey.isEmpty() && visited.contains(itemKey))
            continue;
        bool merged = false;
        for (Item &item : items) {
            if (!itemKey.isEmpty() && item.key == itemKey) {
                item.dependency.minVersion = higherMinimum(item.dependency.minVersion, dependency.minVersion);
                merged = true;
                break;
            }
        }
        if (!merged)
            items.append(Item{dependency, resolved, itemKey});
    }

    if (!unresolved.isEmpty()) {
        return setError(error, tr("Folgende benötigte Modifikationen fehlen und konnten nicht automatisch "
                                  "aufgelöst werden:\n\n%1")
                                   .arg(unresolved.join('\n')));
    }

    bool withDependencies = true;
    if (!items.isEmpty() && request.topLevel) {
        QStringList labels;
        for (const Item &item : std::as_const(items))
            labels.append(dependencyLabel(item.dependency, &item.mod));
        const DependencyAnswer answer = m_context.askAboutDependencies
                                            ? m_context.askAboutDependencies(dependencyQuestion(labels))
                                            : DependencyAnswer::Cancel;
        if (answer == DependencyAnswer::Cancel) {
            setStatus(installCancelledText());
            return setError(error, installCancelledText());
        }
        withDependencies = answer == DependencyAnswer::InstallMissing;
    }

    if (withDependencies) {
        const int count = int(items.size());
        for (int i = 0; i < count; ++i) {
            const Item &item = items.at(i);
            setStatus(tr("Installiere benötigte Modifikation %1 von %2: %3")
                          .arg(i + 1)
                          .arg(count)
                          .arg(item.mod.name));
            InstallRequest itemRequest;
            itemRequest.minVersion = item.dependency.minVersion;
            Outcome itemOutcome = Outcome::Installed;
            if (!installMod(item.mod, itemRequest, visited, &itemOutcome, error))
                return false;
            // A mod met again in a cycle is installed only further up, and only if that succeeds.
            if (itemOutcome != Outcome::AlreadyVisited)
                rememberInstalledDependency(dependencyMemoryKey(item.dependency));
        }
    }

    setStatus(request.topLevel ? tr("Lade '%1' herunter und installiere den Mod…").arg(mod.name)
                               : tr("Lade benötigte Modifikation '%1' herunter…").arg(mod.name));
    if (!downloadAndInstallRepositoryMod(mod, error, false, replaceTarget, !replaceTarget.isEmpty()))
        return false;
    *outcome = Outcome::Installed;
    return true;
}

bool RepositoryInstallRun::resolveDependency(const RepoDependency &dependency, RepoMod *resolved,
                                             QString *error)
{
    auto found = [resolved, error](const RepoMod &mod) {
        if (resolved)
            *resolved = mod;
        if (error)
            error->clear();
        return true;
    };

    // A catalog entry without a file is kept back: the entry page or a direct link may still offer one, and
    // only when nothing does is the missing file what the player is told.
    std::optional<RepoMod> withoutDownload;
    for (const int index : {findDependencyEntryById(dependency, m_context.catalog),
                            findDependencyEntryByName(dependency, m_context.catalog)}) {
        if (index < 0)
            continue;
        const RepoMod &entry = m_context.catalog.at(index);
        if (hasRepositoryDownload(entry))
            return found(entry);
        if (!withoutDownload)
            withoutDownload = entry;
    }

    const QString direct = directDownloadUrl(dependency);
    if (!direct.isEmpty())
        return found(modFromDirectDownload(dependency, direct));

    if (usesCommunityEntryPage(dependency)) {
        const QString id = dependency.id.trimmed();
        const QString page = dependencyEntryPageUrl(dependency);
        QByteArray body;
        QString reason;
        if (!fetchEntryPage(page, &body, &reason)) {
            if (isCancel(reason))
                return setError(error, reason);
            if (withoutDownload)
                return found(*withoutDownload);
            return setError(error, tr("Abhängigkeit %1 konnte nicht aufgelöst werden: %2").arg(id, reason));
        }
        const QString link = findEntryDownloadLink(QString::fromUtf8(body), id);
        if (!link.isEmpty())
            return found(modFromEntryPage(dependency, page, link));
        if (withoutDownload)
            return found(*withoutDownload);
        return setError(error, tr("Für die benötigte Modifikation webdisk:%1 wurde kein Download im "
                                  "Repository bzw. auf der Eintragsseite gefunden.")
                                   .arg(id));
    }

    if (withoutDownload)
        return found(*withoutDownload);
    return setError(error, unresolvableText());
}

bool RepositoryInstallRun::isDependencyInstalled(const RepoDependency &dependency) const
{
    return ::isDependencyInstalled(dependency, m_context.catalog, m_installed.mods, installedDependencyIds());
}

bool RepositoryInstallRun::downloadAndInstallRepositoryMod(const RepoMod &entry, QString *error,
                                                           bool declineKeepsExisting,
                                                           const QString &replaceTarget, bool replaceSilently)
{
    if (!hasRepositoryDownload(entry))
        return setError(error, tr("Für diesen Eintrag ist keine Download-URL hinterlegt."));

    const QString base = m_context.temporaryFolder.isEmpty() ? QDir::tempPath() : m_context.temporaryFolder;
    // Removed when this call returns, whatever the result: downloaded archives are never kept.
    QTemporaryDir folder(QDir(base).filePath(QStringLiteral("fx3mm-download-XXXXXX")));
    if (!folder.isValid())
        return setError(error, tr("Temporärer Downloadordner konnte nicht erstellt werden."));

    QString firstVolume;
    if (!downloadRepositoryArchives(m_manager, entry, folder.path(), m_context.download, &firstVolume,
                                    error)) {
        hideProgress();
        return false;
    }

    if (m_context.download.progress) {
        DownloadProgress installing;
        installing.busy = true;
        installing.format = tr("Installiere Mod…");
        installing.label = tr("Installiere: %1").arg(entry.name);
        m_context.download.progress(installing);
    }

    InstallOptions options;
    options.replaceTarget = replaceTarget;
    options.replaceSilently = replaceSilently;
    options.declineKeepsExisting = declineKeepsExisting;
    InstallResult result;
    QString installError;
    if (!installFromArchive(firstVolume, options, m_context.prompts, &result, &installError,
                            m_context.hooks)) {
        hideProgress();
        return setError(error, installError);
    }

    // A folder the player chose to keep still holds the old version; a marker would claim the new one.
    if (result.copied && !result.installedPath.isEmpty())
        writeRepositoryInstallMarker(result.installedPath, entry);
    if (!result.warning.isEmpty())
        m_warnings.append(result.warning);

    if (m_context.download.progress) {
        DownloadProgress done;
        done.value = 100;
        done.format = tr("Installation abgeschlossen");
        m_context.download.progress(done);
    }
    if (error)
        error->clear();
    rescan();
    return true;
}

bool RepositoryInstallRun::fetchEntryPage(const QString &url, QByteArray *body, QString *error)
{
    // A page is no archive: it may be cancelled like the download, but it does not drive the download bar.
    DownloadCallbacks callbacks;
    callbacks.isCancelled = m_context.download.isCancelled;
    callbacks.cancelledText = m_context.download.cancelledText;
    return fetchUrl(m_manager, RequestKind::EntryPage, url, body, nullptr, error, callbacks);
}

bool RepositoryInstallRun::isCancel(const QString &error) const
{
    return isInstallCancelled(error) ||
           (!m_context.download.cancelledText.isEmpty() && error == m_context.download.cancelledText);
}

void RepositoryInstallRun::setStatus(const QString &text) const
{
    if (m_context.setStatus)
        m_context.setStatus(text);
}

void RepositoryInstallRun::hideProgress() const
{
    if (m_context.hideProgress)
        m_context.hideProgress();
}

void RepositoryInstallRun::rescan()
{
    if (m_context.rescanLocalMods)
        m_installed = m_context.rescanLocalMods();
}

const LocalMod *RepositoryInstallRun::installedRecord(const QString &path) const
{
    for (const QList<LocalMod> *list : {&m_installed.mods, &m_installed.folderCopies}) {
        for (const LocalMod &mod : *list) {
            if (mod.path == path)
                return &mod;
        }
    }
    return nullptr;
}
