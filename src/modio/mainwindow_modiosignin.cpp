#include "app/mainwindow.h"
#include "app/settings.h"
#include "modio/modioaccount.h"

#include <QJsonObject>
#include <QLabel>
#include <QPushButton>
#include <QSettings>

namespace {
QString storedUserName()
{
    return QSettings().value(QStringLiteral("modio/user_name")).toString().trimmed();
}
} // namespace

void MainWindow::updateModIoAccountLabel()
{
    ModIoView &view = modIoView;
    if (!view.accountLabel)
        return;
    const ModIoAccountLabel label =
        modIoAccountLabel(modIoAccessToken(), modIoApiKey(), storedUserName(), modIoTokenPlace());
    view.accountLabel->setText(label.text);
    view.accountLabel->setToolTip(label.toolTip);
    view.accountLabel->setStyleSheet(label.styleSheet);
    view.logoutButton->setEnabled(label.signedIn);
}

void MainWindow::forgetModIoSubscriptions()
{
    modIoView.modIoSubscribedIds.clear();
    modIoView.subscriptionsLoaded = false;
}

void MainWindow::storeModIoUserName(const QJsonDocument &me)
{
    const QString name = modIoUserName(me.object());
    if (name.isEmpty())
        return;
    QSettings settings;
    settings.setValue(QStringLiteral("modio/user_name"), name);
    settings.sync();
}

void MainWindow::requestModIoUserName()
{
    const int generation = modIoView.modIoRequestGeneration;
    modIoView.client->modIoGetAsync(
        modIoApiUrl(modIoApiRoot(), QStringLiteral("/me")), true,
        [this, generation, token = modIoAccessToken()](bool ok, const QJsonDocument &me, const QString &) {
            if (!ok || generation != modIoView.modIoRequestGeneration || !me.isObject() ||
                token != modIoAccessToken())
                return;
            storeModIoUserName(me);
            updateModIoAccountLabel();
        });
}

void MainWindow::modIoLoginEmail()
{
    const QString failed = tr("mod.io-Anmeldung fehlgeschlagen");
    QString answer;
    if (modIoApiKey().isEmpty()) {
        if (!prompts.textInput(tr("mod.io API-Key"),
                               tr("Für die E-Mail-Anmeldung wird ein mod.io-API-Key benötigt:"), true,
                               &answer) ||
            answer.trimmed().isEmpty())
            return;
        QSettings settings;
        settings.setValue(QStringLiteral("modio/api_key"), answer.trimmed());
        settings.sync();
        // The key stays even when the player stops below; the header must not keep saying it is missing.
        updateModIoAccountLabel();
    }
    if (!prompts.textInput(tr("Bei mod.io anmelden"), tr("E-Mail-Adresse:"), false, &answer) ||
        answer.trimmed().isEmpty())
        return;
    const QString root = modIoApiRoot();
    QString error;
    if (!modIoView.client->modIoRequest(
            QStringLiteral("POST"), modIoApiUrl(root, QStringLiteral("/oauth/emailrequest")),
            modIoFormBody({{QStringLiteral("email"), answer.trimmed()}}), nullptr, &error, false, true)) {
        prompts.warning(failed, error);
        return;
    }
    if (!prompts.textInput(tr("mod.io Sicherheitscode"),
                           tr("Bitte den von mod.io per E-Mail gesendeten Sicherheitscode eingeben:"), false,
                           &answer) ||
        answer.trimmed().isEmpty())
        return;
    QJsonDocument exchange;
    if (!modIoView.client->modIoRequest(QStringLiteral("POST"),
                                        modIoApiUrl(root, QStringLiteral("/oauth/emailexchange")),
                                        modIoFormBody({{QStringLiteral("security_code"), answer.trimmed()}}),
                                        &exchange, &error, false, true)) {
        prompts.warning(failed, error);
        return;
    }
    const QJsonObject tokenAnswer = exchange.object();
    const QString token = tokenAnswer.value(QLatin1String("access_token")).toString().trimmed();
    if (token.isEmpty()) {
        prompts.warning(failed, tr("mod.io hat keinen Zugriffstoken zurückgegeben."));
        return;
    }
    storeModIoToken(token);
    forgetModIoSubscriptions();
    {
        QSettings settings;
        settings.setValue(QStringLiteral("modio/token_expires"),
                          qint64(tokenAnswer.value(QLatin1String("date_expires")).toDouble()));
        settings.sync();
    }
    QJsonDocument me;
    if (modIoView.client->modIoRequest(QStringLiteral("GET"), modIoApiUrl(root, QStringLiteral("/me")),
                                       QByteArray(), &me, nullptr, true))
        storeModIoUserName(me);
    updateModIoAccountLabel();
    reloadModIo();
}

bool MainWindow::acceptModIoToken(const QString &text)
{
    const QString token = text.trimmed();
    if (token.isEmpty()) {
        prompts.warning(QStringLiteral("mod.io"), tr("Bitte einen persönlichen Zugriffstoken einfügen."));
        return false;
    }
    storeModIoToken(token);
    forgetModIoSubscriptions();
    QJsonDocument me;
    QString error;
    if (!modIoView.client->modIoRequest(QStringLiteral("GET"),
                                        modIoApiUrl(modIoApiRoot(), QStringLiteral("/me")), QByteArray(), &me,
                                        &error, true)) {
        clearModIoSignIn();
        forgetModIoSubscriptions();
        // The label must not keep showing the rejected token as signed in.
        updateModIoAccountLabel();
        prompts.warning(tr("mod.io-Anmeldung fehlgeschlagen"), error);
        return false;
    }
    storeModIoUserName(me);
    return true;
}

void MainWindow::modIoLoginSteam()
{
    const bool accepted =
        prompts.accessTokenDialog([this] { prompts.openUrl(QUrl(modIoAccessPageUrl())); },
                                  [this](const QString &token) { return acceptModIoToken(token); });
    if (!accepted)
        return;
    updateModIoAccountLabel();
    reloadModIo();
}

void MainWindow::modIoLogout()
{
    ModIoView &view = modIoView;
    clearModIoSignIn();
    forgetModIoSubscriptions();
    for (ModIoMod &mod : view.mods)
        mod.subscribed = false;
    updateModIoAccountLabel();
    applyModIoFilter();
    setStatus(tr("Von mod.io abgemeldet."));
}
