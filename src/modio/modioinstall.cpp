#include "modio/modioinstall.h"

#include "app/settings.h"
#include "environment/discovery.h"
#include "install/extractor.h"
#include "localmods/installmarker.h"
#include "localmods/localscan.h"
#include "modio/modioclient.h"
#include "platform/settingsfile.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSettings>
#include <QTemporaryDir>

#include <utility>

namespace {

constexpr int downloadAttempts = 3;
constexpr int shownTestOutput = 2500;

QString tr(const char *text)
{
    return QCoreApplication::translate("MainWindow", text);
}

QString invalidModIdText()
{
    return tr("Ungültige mod.io-Mod-ID.");
}

QString noWindowsFileText()
{
    return tr("Für diesen mod.io-Mod ist keine aktuelle Windows-Download-Datei verfügbar.");
}

QUrl apiUrl(const QString &path, const QList<QPair<QString, QString>> &query = {})
{
    return modIoApiUrl(modIoApiRoot(), QStringLiteral("/games/%1/mods/").arg(defaultModIoGameId) + path,
                       query);
}

// A file whose "platforms" list is missing or empty was published before the service knew platforms and
// serves all of them; otherwise it needs an approved Windows or all-platform release.
bool isWindowsFile(const QJsonObject &file)
{
    const QJsonArray platforms = file.value(QStringLiteral("platforms")).toArray();
    if (platforms.isEmpty())
        return true;
    for (const QJsonValue &value : platforms) {
        const QJsonObject platform = value.toObject();
        const QString name = platform.value(QStringLiteral("platform")).toString().trimmed();
        const QJsonValue status = platform.value(QStringLiteral("status"));
        const int statusCode = status.isUndefined() ? 1 : status.toVariant().toInt();
        if ((name.compare(QLatin1String("WINDOWS"), Qt::CaseInsensitive) == 0 ||
             name.compare(QLatin1String("ALL"), Qt::CaseInsensitive) == 0) &&
            statusCode == 1)
            return true;
    }
    return false;
}

bool hasDownload(const QJsonObject &file)
{
    return !file.value(QStringLiteral("download"))
                .toObject()
                .value(QStringLiteral("binary_url"))
                .toString()
                .trimmed()
                .isEmpty();
}

// The record with everything about its file taken from file alone. Mixing two files would pair one file's
// address with another's size and checksum, and the download could never pass the check.
ModIoMod withFile(ModIoMod record, const QJsonObject &file)
{
    record.modfileId.clear();
    record.version.clear();
    record.fileName.clear();
    record.md5.clear();
    record.downloadUrl.clear();
    record.fileSize = 0;
    applyModIoModfile(record, file);
    return record;
}

} // namespace

ModIoInstaller::ModIoInstaller(ModIoClient &client, QNetworkAccessManager &manager,
                               QSet<QString> &subscribedIds, ModIoInstallContext context)
    : m_client(client), m_manager(manager), m_subscribedIds(subscribedIds), m_context(std::move(context))
{}

bool ModIoInstaller::installModIoSelection(const ModIoMod &selected, ModIoInstallResult *result)
{
    ModIoInstallResult outcome;
    const auto finish = [&outcome, result](bool ok) {
        if (result)
            *result = outcome;
        return ok;
    };
    const MessagePrompts &messages = m_context.prompts.messages;
    const auto ask = [&messages](const QString &title, const QString &text, DefaultAnswer answer) {
        return messages.question && messages.question(title, text, answer);
    };
    const QString failedTitle = tr("mod.io-Installation fehlgeschlagen");
    const auto critical = [&messages, &failedTitle](const QString &error, const QString &name) {
        if (messages.critical)
            messages.critical(failedTitle, tr("%1\n\nMod: %2").arg(error, name));
    };

    if (modIoApiKey().isEmpty() && modIoAccessToken().isEmpty()) {
        if (messages.information)
            messages.information(QStringLiteral("mod.io"),
                                 tr("Für direkte mod.io-Downloads wird ein API-Key benötigt. Bitte trage ihn "
                                    "unter Einstellungen ein."));
        return finish(false);
    }
    const ModIoMod mod = selected;
    // The id becomes part of request paths and the folder name; the service only uses digits.
    if (!isAllDigits(mod.id)) {
        critical(invalidModIdText(), mod.name);
        return finish(false);
    }
    const bool signedIn = !modIoAccessToken().isEmpty();

    if (signedIn && !m_subscribedIds.contains(mod.id)) {
        QString subscribeError;
        if (m_client.modIoRequest(
                QStringLiteral("POST"), apiUrl(mod.id + QStringLiteral("/subscribe")),
                modIoFormBody({{QStringLiteral("include_dependencies"), QStringLiteral("true")}}), nullptr,
                &subscribeError, true))
            m_subscribedIds.insert(mod.id);
        else if (!ask(tr("mod.io-Abo"),
                      tr("Der Mod konnte nicht abonniert werden:\n%1\n\nTrotzdem direkt installieren?")
                          .arg(subscribeError),
                      DefaultAnswer::Yes))
            return finish(false);
    }

    QList<ModIoMod> installList;
    QString dependencyError;
    if (!fetchModIoDependencies(mod.id, &installList, &dependencyError)) {
        if (!ask(tr("mod.io-Abhängigkeiten"),
                 tr("Die Abhängigkeiten konnten nicht vollständig ermittelt werden:\n%1\n\nNur den "
                    "ausgewählten Mod installieren?")
                     .arg(dependencyError),
                 DefaultAnswer::No))
            return finish(false);
        installList.clear();
    }
    installList.append(mod);

    setInstallEnabled(false);
    for (int i = 0; i < installList.size(); ++i) {
        const ModIoMod &entry = installList.at(i);
        ModIoMod current;
        QString error;
        if (!fetchModIoMod(entry.id, &current, &error)) {
            setInstallEnabled(true);
            critical(error, entry.name);
            return finish(false);
        }
        if (isCurrent(current))
            continue;
        setStatus(tr("Installiere mod.io-Mod %1 von %2: %3")
                      .arg(QString::number(i + 1), QString::number(installList.size()), current.name));
        if (!installModIoRecord(current, &error)) {
            setInstallEnabled(true);
            if (!isInstallCancelled(error))
                critical(error, current.name);
            return finish(false);
        }
        ++outcome.installedCount;
    }

    setInstallEnabled(true);
    if (m_context.prompts.refreshViews)
        m_context.prompts.refreshViews();
    setStatus(tr("mod.io-Installation abgeschlossen: %1").arg(mod.name));
    outcome.warnings = m_warnings;
    outcome.informationTitle = tr("mod.io-Installation abgeschlossen");
    outcome.informationText =
        tr("'%1' wurde installiert. %2 Mod-Datei(en) wurden aktualisiert oder neu installiert.\n\n%3")
            .arg(mod.name, QString::number(outcome.installedCount),
                 signedIn ? tr("Der Mod ist zusätzlich mit deinem mod.io-Konto verknüpft.")
                          : tr("Die Installation erfolgte ohne mod.io-Anmeldung. Sie wurde daher nicht "
                               "automatisch abonniert."));
    for (const QString &warning : std::as_const(m_warnings))
        outcome.informationText += QStringLiteral("\n\n") + warning;
    if (messages.information)
        messages.information(outcome.informationTitle, outcome.informationText);
    return finish(true);
}

bool ModIoInstaller::fetchModIoMod(const QString &modId, ModIoMod *record, QString *error)
{
    const QString id = modId.trimmed();
    if (!isAllDigits(id))
        return fail(error, invalidModIdText());
    QJsonDocument document;
    QString requestError;
    if (!m_client.modIoRequest(QStringLiteral("GET"), apiUrl(id), QByteArray(), &document, &requestError,
                               false))
        return fail(error, requestError);
    ModIoMod fetched = parseModIoMod(document.object(), m_subscribedIds);
    if (fetched.id.isEmpty())
        return fail(error, tr("mod.io hat keine gültigen Daten zu diesem Mod geliefert."));
    if (fetched.downloadUrl.isEmpty() && !resolveModIoWindowsFile(fetched, error))
        return false;
    if (record)
        *record = fetched;
    return true;
}

bool ModIoInstaller::resolveModIoWindowsFile(ModIoMod &record, QString *error)
{
    const QString id = record.id.trimmed();
    if (!isAllDigits(id))
        return fail(error, invalidModIdText());

    QString listError;
    QJsonDocument document;
    if (m_client.modIoRequest(
            QStringLiteral("GET"),
            apiUrl(id + QStringLiteral("/files"), {{QStringLiteral("_sort"), QStringLiteral("-date_added")},
                                                   {QStringLiteral("_limit"), QStringLiteral("100")}}),
            QByteArray(), &document, &listError, false)) {
        QJsonObject live, newestWindows, newest;
        const QJsonArray files = document.object().value(QStringLiteral("data")).toArray();
        for (const QJsonValue &value : files) {
            const QJsonObject file = value.toObject();
            if (file.isEmpty() || !hasDownload(file))
                continue;
            if (newest.isEmpty())
                newest = file;
            if (!isWindowsFile(file))
                continue;
            if (newestWindows.isEmpty())
                newestWindows = file;
            // The newest upload is not always the released one: a file can wait for approval, or the
            // author can have gone back to an older release. The mod's live file is what players get.
            if (!record.modfileId.isEmpty() &&
                modIoIdText(file.value(QStringLiteral("id"))) == record.modfileId)
                live = file;
        }
        for (const QJsonObject &file : {live, newestWindows, newest}) {
            if (!file.isEmpty()) {
                record = withFile(record, file);
                return true;
            }
        }
    }

    QString fileError;
    if (isAllDigits(record.modfileId)) {
        QJsonDocument fileDocument;
        if (m_client.modIoRequest(QStringLiteral("GET"),
                                  apiUrl(id + QStringLiteral("/files/") + record.modfileId), QByteArray(),
                                  &fileDocument, &fileError, false) &&
            hasDownload(fileDocument.object())) {
            record = withFile(record, fileDocument.object());
            return true;
        }
    }

    QString message = tr("mod.io hat für diesen Mod keine freigegebene Windows-Download-Datei geliefert.");
    const QString cause = listError.isEmpty() ? fileError : listError;
    if (!cause.isEmpty())
        message += QStringLiteral("\n\n") + cause;
    return fail(error, message);
}

bool ModIoInstaller::fetchModIoDependencies(const QString &modId, QList<ModIoMod> *mods, QString *error)
{
    const QString id = modId.trimmed();
    if (!isAllDigits(id))
        return fail(error, invalidModIdText());
    return m_client.modIoFetchAllMods(
        apiUrl(id + QStringLiteral("/dependencies"), {{QStringLiteral("recursive"), QStringLiteral("true")}}),
        mods, error, m_subscribedIds);
}

bool ModIoInstaller::installModIoRecord(const ModIoMod &record, QString *error)
{
    if (record.id.trimmed().isEmpty())
        return fail(error, tr("Für diesen mod.io-Mod fehlt die Mod-ID."));
    // The id names the mod's folder; anything but digits could lead out of the mods folder.
    if (!isAllDigits(record.id))
        return fail(error, invalidModIdText());

    ModIoMod working = record;
    QString resolveError;
    if (!resolveModIoWindowsFile(working, &resolveError) && working.downloadUrl.isEmpty())
        return fail(error, resolveError.isEmpty() ? noWindowsFileText() : resolveError);
    if (working.modfileId.isEmpty() || working.downloadUrl.isEmpty())
        return fail(error, noWindowsFileText());

    QString modsFolder;
    if (!chooseModsFolder(&modsFolder, error))
        return false;

    DownloadProgress start;
    start.format = tr("Download: %p%");
    showProgress(start);

    QByteArray bytes;
    if (!downloadVerified(working, &bytes, error))
        return false;

    QTemporaryDir temporary;
    if (!temporary.isValid()) {
        hideProgress();
        return fail(error, tr("Temporärer Downloadordner konnte nicht erstellt werden."));
    }
    const QString archive = temporary.path() + QLatin1Char('/') + modIoDownloadFileName(working);
    QFile file(archive);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size() ||
        !file.flush()) {
        hideProgress();
        return fail(error, tr("Heruntergeladene mod.io-Datei konnte nicht gespeichert werden."));
    }
    file.close();

    bool crcConfirmed = false;
    if (!testArchive(working, archive, temporary.path(), &crcConfirmed, error))
        return false;

    DownloadProgress installing;
    installing.busy = true;
    installing.format = tr("Installiere Mod…");
    showProgress(installing);
    InstallOptions options;
    options.replaceTarget = modsFolder + QLatin1Char('/') + working.id;
    options.replaceSilently = true;
    options.declineKeepsExisting = true;
    options.tolerateCrcWarnings = crcConfirmed;
    InstallResult installed;
    QString installError;
    if (!installFromArchive(archive, options, m_context.prompts.install, &installed, &installError,
                            m_context.hooks)) {
        hideProgress();
        return fail(error, installError);
    }
    if (!installed.warning.isEmpty())
        m_warnings.append(installed.warning);

    // Only a folder that now holds the downloaded content may be marked as this file.
    if (installed.copied) {
        writeModIoFileIdFile(installed.installedPath, working.modfileId);
        ModIoMarkerInfo marker;
        marker.name = working.name;
        marker.version = working.version;
        marker.modioId = working.id;
        marker.fileId = working.modfileId;
        marker.profileUrl = working.profileUrl;
        marker.previewUrl = working.logoUrl;
        writeInstallMarker(installed.installedPath, modIoInstallMarker(marker));
    }
    DownloadProgress done;
    done.value = 100;
    done.format = tr("Installation abgeschlossen");
    showProgress(done);
    if (error)
        error->clear();
    return true;
}

bool ModIoInstaller::chooseModsFolder(QString *folder, QString *error)
{
    const auto store = [this](const QString &path) {
        m_context.modsFolder = path;
        QSettings settings;
        settings.setValue(QStringLiteral("paths/modio"), path);
        syncPrivately(settings);
    };
    QString current = QDir::cleanPath(m_context.modsFolder.trimmed());
    if (current == QLatin1String("."))
        current.clear();
    if (current.isEmpty() && !m_context.storageRoot.trimmed().isEmpty()) {
        const QString created =
            QDir::cleanPath(m_context.storageRoot.trimmed() + QStringLiteral("/73160/mods"));
        if (QDir().mkpath(created)) {
            store(created);
            current = created;
        }
    }
    if (!current.isEmpty() && isModIoModsFolder(current)) {
        *folder = current;
        return true;
    }
    const MessagePrompts &messages = m_context.prompts.messages;
    const QString chosen = messages.chooseFolder
                               ? messages.chooseFolder(tr("mod.io-Modordner auswählen"), current).trimmed()
                               : QString();
    if (chosen.isEmpty())
        return fail(error, tr("Kein mod.io-Modordner ausgewählt."));
    const QString cleaned = QDir::cleanPath(QDir::fromNativeSeparators(chosen));
    if (!isModIoModsFolder(cleaned))
        return fail(error, tr("Der mod.io-Pfad muss auf \\73160\\mods enden und vorhanden sein."));
    store(cleaned);
    *folder = cleaned;
    return true;
}

bool ModIoInstaller::downloadVerified(ModIoMod &working, QByteArray *bytes, QString *error)
{
    DownloadCallbacks callbacks;
    callbacks.progress = [this](const DownloadProgress &state) {
        showProgress(state);
    };
    QString lastError;
    for (int attempt = 1; attempt <= downloadAttempts; ++attempt) {
        if (attempt > 1) {
            setStatus(tr("Beschädigter mod.io-Download – erneuter Versuch %1/%2…")
                          .arg(QString::number(attempt), QString::number(downloadAttempts)));
            // Download addresses of the service expire; a retry asks for a fresh one.
            ModIoMod fresh = working;
            QString resolveError;
            if (resolveModIoWindowsFile(fresh, &resolveError) && !fresh.downloadUrl.isEmpty())
                working = fresh;
            else if (!resolveError.isEmpty())
                lastError = resolveError;
        }
        int status = 0;
        QString downloadError;
        bool ok =
            fetchBytes(m_manager, working.downloadUrl, false, bytes, &status, &downloadError, callbacks);
        if (!ok && (status == 401 || status == 403) && !modIoAccessToken().isEmpty())
            ok = fetchBytes(m_manager, working.downloadUrl, true, bytes, &status, &downloadError, callbacks);
        if (!ok) {
            lastError = tr("Download fehlgeschlagen: %1").arg(downloadError);
            continue;
        }
        QString checkError;
        if (verifyModIoDownload(working, *bytes, &checkError))
            return true;
        lastError = checkError;
    }
    hideProgress();
    QString message =
        tr("Der mod.io-Download konnte auch nach mehreren Versuchen nicht fehlerfrei geladen werden.");
    if (!lastError.isEmpty())
        message += QStringLiteral("\n\n") + lastError;
    message +=
        tr("\n\nDie vorhandene Mod-Installation wurde nicht verändert. Bitte versuche das Update später "
           "erneut.");
    return fail(error, message);
}

bool ModIoInstaller::testArchive(const ModIoMod &record, const QString &archive, const QString &folder,
                                 bool *crcConfirmed, QString *error)
{
    const QString sevenZip = m_context.sevenZip.isEmpty() ? findSevenZip() : m_context.sevenZip;
    if (sevenZip.isEmpty())
        return true;
    const ExternalToolRun run = runExternalTool(
        sevenZip, {QStringLiteral("t"), QStringLiteral("-y"), QDir::toNativeSeparators(archive)}, folder,
        m_context.archiveTest);
    if (run.succeeded())
        return true;
    // Wrong CRC values alone are tolerable only when the MD5 proves the file is the author's exact upload.
    if (run.started && !run.timedOut && run.normalExit && !record.md5.trimmed().isEmpty() &&
        isCrcOnlyExtractionError(run.output)) {
        const ModIoInstallPrompts &prompts = m_context.prompts;
        const bool accepted =
            prompts.crcQuestion &&
            prompts.crcQuestion(
                tr("CRC-Warnung im mod.io-Archiv"),
                tr("Das Archiv entspricht exakt der von mod.io veröffentlichten Datei "
                   "(MD5-Prüfsumme stimmt), enthält aber bei einzelnen Dateien abweichende "
                   "CRC-Werte."),
                tr("Der Download ist damit vollständig und unverändert angekommen. Solche "
                   "fehlerhaften CRC-Angaben kommen bei einigen veröffentlichten ZIP-Dateien "
                   "vor.\n\nDu kannst die Installation trotzdem fortsetzen. Die bestehende Mod "
                   "wird erst nach dem Entpacken ersetzt. Möchtest du fortfahren?"),
                tr("Trotzdem installieren"));
        if (!accepted) {
            hideProgress();
            return fail(error, installCancelledText());
        }
        *crcConfirmed = true;
        setStatus(tr("mod.io-Archiv mit bestätigten CRC-Warnungen wird installiert…"));
        return true;
    }
    hideProgress();
    QString message =
        tr("Das von mod.io geladene Archiv ist beschädigt oder kann nicht sicher verarbeitet werden.") +
        QStringLiteral("\n\n") + tr("Die vorhandene Mod-Installation wurde nicht verändert.");
    if (!run.output.trimmed().isEmpty())
        message += QStringLiteral("\n\n") + run.output.left(shownTestOutput);
    return fail(error, message);
}

bool ModIoInstaller::isCurrent(const ModIoMod &record) const
{
    if (record.modfileId.isEmpty() || m_context.modsFolder.trimmed().isEmpty())
        return false;
    // Read now: the installations of this run changed them.
    return installedModIoFileIds(m_context.modsFolder).value(record.id) == record.modfileId;
}

bool ModIoInstaller::fail(QString *error, const QString &message) const
{
    if (error)
        *error = message;
    return false;
}

void ModIoInstaller::setStatus(const QString &text) const
{
    if (m_context.prompts.status)
        m_context.prompts.status(text);
}

void ModIoInstaller::showProgress(const DownloadProgress &state) const
{
    if (m_context.prompts.progress)
        m_context.prompts.progress(state);
}

void ModIoInstaller::hideProgress() const
{
    if (m_context.prompts.hideProgress)
        m_context.prompts.hideProgress();
}

void ModIoInstaller::setInstallEnabled(bool enabled) const
{
    if (m_context.prompts.setInstallEnabled)
        m_context.prompts.setInstallEnabled(enabled);
}

bool verifyModIoDownload(const ModIoMod &record, const QByteArray &bytes, QString *error)
{
    const auto fail = [error](const QString &message) {
        if (error)
            *error = message;
        return false;
    };
    if (bytes.isEmpty())
        return fail(tr("Die heruntergeladene Datei ist leer."));
    if (record.fileSize >= 1 && bytes.size() != record.fileSize)
        return fail(tr("Die Dateigröße stimmt nicht mit den mod.io-Daten überein. Erwartet: %1 Bytes, "
                       "erhalten: %2 Bytes.")
                        .arg(QString::number(record.fileSize), QString::number(bytes.size())));
    const QString expected = record.md5.trimmed().toLower();
    if (expected.isEmpty())
        return true;
    const QString received =
        QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex());
    if (received != expected)
        return fail(tr("Die MD5-Prüfsumme des Downloads stimmt nicht. Erwartet: %1, erhalten: %2.")
                        .arg(expected, received));
    return true;
}

QString modIoDownloadFileName(const ModIoMod &record)
{
    QString name = cleanDownloadFileName(record.fileName.trimmed());
    if (name.isEmpty())
        name = QStringLiteral("modio_%1.zip").arg(record.id);
    if (QFileInfo(name).suffix().isEmpty())
        name += QStringLiteral(".zip");
    return name;
}
