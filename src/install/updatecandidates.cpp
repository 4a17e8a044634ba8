#include "install/updatecandidates.h"

#include "catalog/versions.h"
#include "localmods/matchindex.h"

#include <QCoreApplication>

namespace {
QString tr(const char *text)
{
    return QCoreApplication::translate("MainWindow", text);
}
} // namespace

QList<UpdateCandidate> findUpdateCandidates(const QList<LocalMod> &mods, const QList<RepoMod> &catalog,
                                            const CatalogMatchIndex &index, const QSet<int> &duplicates)
{
    QList<UpdateCandidate> candidates;
    for (int i = 0; i < mods.size(); ++i) {
        const LocalMod &mod = mods.at(i);
        const int entryIndex = index.findCatalogIndex(mod);
        if (entryIndex < 0 || entryIndex >= catalog.size())
            continue;
        const RepoMod &entry = catalog.at(entryIndex);
        const QString repositoryVersion = entry.version.trimmed();
        if (entry.isTool || repositoryVersion.isEmpty())
            continue;
        const QString localVersion = mod.version.trimmed();
        const bool older = localVersion.isEmpty() || compareVersions(localVersion, repositoryVersion) < 0;
        const bool versionFromFiles = !mod.versionFromMarker;
        const bool listed = versionFromFiles ? older : (!localVersion.isEmpty() && older);
        if (!listed)
            continue;
        UpdateCandidate candidate;
        candidate.catalogIndex = entryIndex;
        candidate.localIndex = i;
        candidate.folder = mod.path;
        candidate.isModIo = isModIoCopy(mod);
        candidate.isDuplicate = duplicates.contains(i);
        candidate.versionFromFiles = versionFromFiles;
        candidate.hasDownload = !entry.downloadUrl.trimmed().isEmpty() || !entry.parts.isEmpty();
        candidates.append(candidate);
    }
    return candidates;
}

QString installedVersionText(const LocalMod &mod)
{
    return mod.version.isEmpty() ? tr("Unbekannt") : mod.version;
}

UpdateAllPlan planUpdateAll(const QList<UpdateCandidate> &candidates, const QList<LocalMod> &mods,
                            const QList<RepoMod> &catalog)
{
    UpdateAllPlan plan;
    for (const UpdateCandidate &candidate : candidates) {
        if (candidate.catalogIndex < 0 || candidate.catalogIndex >= catalog.size())
            continue;
        const RepoMod &entry = catalog.at(candidate.catalogIndex);
        if (candidate.isDuplicate) {
            plan.duplicateNames.append(entry.name);
        } else if (candidate.isModIo) {
            plan.modIoNames.append(entry.name);
        } else if (!candidate.hasDownload) {
            plan.noDownloadNames.append(entry.name);
        } else if (!candidate.folder.isEmpty()) {
            const QString installed = candidate.localIndex >= 0 && candidate.localIndex < mods.size()
                                          ? installedVersionText(mods.at(candidate.localIndex))
                                          : tr("Unbekannt");
            plan.items.append({entry, candidate.folder, installed});
            plan.names.append(entry.name);
            if (candidate.versionFromFiles)
                plan.versionNotes.append(
                    tr("%1: lokal %2 → Repository %3").arg(entry.name, installed, entry.version));
        }
    }
    return plan;
}

QString nothingToUpdateText(const UpdateAllPlan &plan)
{
    QStringList paragraphs;
    if (!plan.modIoNames.isEmpty())
        paragraphs.append(tr("Über mod.io aktualisieren:\n%1").arg(plan.modIoNames.join(QLatin1Char('\n'))));
    if (!plan.duplicateNames.isEmpty())
        paragraphs.append(tr("Doppelt installiert – zusätzliche Installation zuerst entfernen:\n%1")
                              .arg(plan.duplicateNames.join(QLatin1Char('\n'))));
    if (!plan.noDownloadNames.isEmpty())
        paragraphs.append(
            tr("Keine Download-Datei im Repository:\n%1").arg(plan.noDownloadNames.join(QLatin1Char('\n'))));
    return paragraphs.join(QStringLiteral("\n\n"));
}

QString updateAllConfirmationText(const UpdateAllPlan &plan)
{
    QString text = tr("Es werden %1 Mods aktualisiert:\n\n%2")
                       .arg(plan.items.size())
                       .arg(plan.names.join(QLatin1Char('\n')));
    if (!plan.modIoNames.isEmpty())
        text += tr("\n\nDie folgenden mod.io-Mods werden hier übersprungen. Bitte aktualisiere sie im "
                   "Bereich mod.io "
                   "oder im Mod Hub des Spiels:\n\n%1")
                    .arg(plan.modIoNames.join(QLatin1Char('\n')));
    if (!plan.duplicateNames.isEmpty())
        text += tr("\n\nDie folgenden Mods sind doppelt installiert und werden übersprungen. Bitte behalte "
                   "vorzugsweise die mod.io-Version und entferne die zusätzliche Installation:\n\n%1")
                    .arg(plan.duplicateNames.join(QLatin1Char('\n')));
    if (!plan.noDownloadNames.isEmpty())
        text += tr("\n\nFür folgende Mods fehlt im Repository eine Download-Datei; sie werden "
                   "übersprungen:\n\n%1")
                    .arg(plan.noDownloadNames.join(QLatin1Char('\n')));
    if (!plan.versionNotes.isEmpty())
        text +=
            tr("\n\nBei folgenden manuell/älter installierten Mods weicht die lokale Versionsangabe von der "
               "Repository-Version ab. Die Repository-Version wird als maßgeblich verwendet und der "
               "jeweilige "
               "Mod-Ordner vollständig ersetzt:\n\n%1")
                .arg(plan.versionNotes.join(QLatin1Char('\n')));
    text += tr("\n\nFortfahren?");
    return text;
}
