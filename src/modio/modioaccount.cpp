#include "modio/modioaccount.h"

#include <QCoreApplication>

namespace {
QString tr(const char *text)
{
    return QCoreApplication::translate("MainWindow", text);
}
} // namespace

ModIoAccountLabel modIoAccountLabel(const QString &token, const QString &apiKey, const QString &userName,
                                    TokenPlace place)
{
    ModIoAccountLabel label;
    if (!token.isEmpty()) {
        const QString name = userName.trimmed();
        label.text = name.isEmpty() ? tr("Angemeldet") : tr("Angemeldet: %1").arg(name);
        switch (place) {
        case TokenPlace::SystemVault:
            label.toolTip = tr("Der persönliche mod.io-Zugriffstoken liegt im Schlüsselbund des Systems.");
            break;
        case TokenPlace::WindowsDataProtection:
            label.toolTip = tr("Der persönliche mod.io-Zugriffstoken ist lokal mit Windows DPAPI geschützt "
                               "gespeichert.");
            break;
        case TokenPlace::SettingsFile:
            label.toolTip = tr("Der persönliche mod.io-Zugriffstoken liegt nur Base64-kodiert, also "
                               "unverschlüsselt, in der Einstellungsdatei.");
            break;
        }
        label.styleSheet = QStringLiteral("QLabel{color:#a9e9c5;padding:4px 7px;font-weight:600;}");
        label.signedIn = true;
    } else if (!apiKey.isEmpty()) {
        label.text = tr("Nicht angemeldet");
        label.toolTip =
            tr("Der Katalog und direkte Downloads funktionieren mit dem API-Key auch ohne Anmeldung. "
               "Für Abonnements bitte mit Steam oder E-Mail anmelden.");
        label.styleSheet = QStringLiteral("QLabel{color:#c7d3df;padding:4px 7px;}");
    } else {
        label.text = tr("Nicht eingerichtet");
        label.toolTip = tr("Bitte unter Einstellungen einen mod.io-API-Key eintragen.");
        label.styleSheet = QStringLiteral("QLabel{color:#f3c98b;padding:4px 7px;}");
    }
    return label;
}
