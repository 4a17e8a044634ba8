#include "modio/installlink.h"

#include "app/settings.h"
#include "localmods/localscan.h"
#include "modio/modioinstall.h"

#include <QCoreApplication>
#include <QUrlQuery>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("MainWindow", text);
}

bool equalsIgnoringCase(const QString &text, const char *expected)
{
    return text.compare(QLatin1String(expected), Qt::CaseInsensitive) == 0;
}

} // namespace

InstallLinkCheck parseInstallLink(const QUrl &url, InstallLink *link)
{
    if (!url.isValid() || !equalsIgnoringCase(url.scheme(), "fx3modmanager"))
        return InstallLinkCheck::NotOurs;
    if (!equalsIgnoringCase(url.host(), "modio") || !equalsIgnoringCase(url.path(), "/install"))
        return InstallLinkCheck::Unsupported;
    const QUrlQuery query(url);
    const QString modId = query.queryItemValue(QStringLiteral("mod_id"), QUrl::FullyDecoded).trimmed();
    const QString fileId = query.queryItemValue(QStringLiteral("file_id"), QUrl::FullyDecoded).trimmed();
    if (!isAllDigits(modId) || (!fileId.isEmpty() && !isAllDigits(fileId)))
        return InstallLinkCheck::InvalidModId;
    if (link)
        *link = {modId, fileId};
    return InstallLinkCheck::Accepted;
}

bool openInstallLink(ModIoInstaller &installer, const QUrl &url, ModIoMod *record)
{
    const ModIoInstallPrompts &prompts = installer.context().prompts;
    const MessagePrompts &messages = prompts.messages;
    const QString linkTitle = tr("FX3 ModManager-Link");
    const auto warn = [&messages, &linkTitle](const QString &text) {
        if (messages.warning)
            messages.warning(linkTitle, text);
        return false;
    };
    const auto ask = [&messages](const QString &title, const QString &text) {
        return messages.question && messages.question(title, text, DefaultAnswer::Yes);
    };

    InstallLink link;
    switch (parseInstallLink(url, &link)) {
    case InstallLinkCheck::NotOurs:
        return false;
    case InstallLinkCheck::Unsupported:
        return warn(tr("Dieser FX3-ModManager-Link wird nicht unterstützt."));
    case InstallLinkCheck::InvalidModId:
        return warn(tr("Der Link enthält keine gültige mod.io-Mod-ID."));
    case InstallLinkCheck::Accepted:
        break;
    }

    if (modIoApiKey().isEmpty() && modIoAccessToken().isEmpty()) {
        if (messages.information)
            messages.information(
                QStringLiteral("mod.io"),
                tr("Für die Installation aus dem Mod Portal wird ein mod.io-API-Key benötigt. "
                   "Bitte trage ihn unter Einstellungen ein."));
        return false;
    }
    if (prompts.status)
        prompts.status(tr("Lade mod.io-Mod %1 aus dem Mod Portal …").arg(link.modId));

    ModIoMod fetched;
    QString error;
    if (!installer.fetchModIoMod(link.modId, &fetched, &error)) {
        if (messages.critical)
            messages.critical(tr("Mod Portal"),
                              tr("Der angeforderte mod.io-Mod konnte nicht geladen werden:\n%1").arg(error));
        return false;
    }
    if (!link.fileId.isEmpty() && !fetched.modfileId.isEmpty() && link.fileId != fetched.modfileId &&
        !ask(tr("Mod-Version geändert"),
             tr("Das Mod Portal hat Dateiversion %1 angefordert. Auf mod.io ist inzwischen Dateiversion %2 "
                "aktuell.\n\nDie aktuelle Version installieren?")
                 .arg(link.fileId, fetched.modfileId)))
        return false;
    const QString version = fetched.version.isEmpty() ? QStringLiteral("–") : fetched.version;
    if (!ask(tr("Mit FX3 ModManager installieren"),
             tr("'%1' (Version %2) wurde aus dem Mod Portal geöffnet.\n\nJetzt herunterladen, Abhängigkeiten "
                "prüfen und installieren?")
                 .arg(fetched.name, version)))
        return false;
    if (record)
        *record = fetched;
    return true;
}
