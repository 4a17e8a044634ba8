#include "app/settings.h"
#include "testsupport.h"

#include <QProcess>
#include <QSettings>
#include <QtTest>

// Runs plainly, where no vault answers, and inside run_with_keyring.sh, which sets FX3_TEST_VAULT_BUS to the
// session bus of a keyring of its own.
class SecretVaultTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void tokenIsKeptInTheVaultWhenOneAnswers();
};

namespace {
// Looks up or clears the vault entry as another program does; the entry's secret or nothing.
QByteArray vaultEntry(const QString &action)
{
    QProcess tool;
    tool.start("secret-tool", {action, "server", "Trackhaven FX3 Mod-Manager", "user", "modio/access_token"});
    tool.waitForFinished();
    return tool.readAllStandardOutput();
}
} // namespace

void SecretVaultTest::tokenIsKeptInTheVaultWhenOneAnswers()
{
    const QByteArray vaultBus = qgetenv("FX3_TEST_VAULT_BUS");
    TestEnvironment environment;
    if (!vaultBus.isEmpty())
        environment.setEnv("DBUS_SESSION_BUS_ADDRESS", vaultBus);
    const QString token = QStringLiteral("vault-token-4711");
    storeModIoToken(token);
    const QString stored = QSettings().value("modio/access_token_protected").toString();
    QCOMPARE(modIoAccessToken(), token);
    QVERIFY2(stored.startsWith(vaultBus.isEmpty() ? "base64:" : "keychain:"), qPrintable(stored));
    QCOMPARE(modIoTokenPlace(), vaultBus.isEmpty() ? TokenPlace::SettingsFile : TokenPlace::SystemVault);
    if (vaultBus.isEmpty())
        return;
    QVERIFY(!readTestFile(environment.settingsFilePath()).contains(token.toUtf8()));
    QVERIFY(!vaultEntry("lookup").isEmpty());
    vaultEntry("clear");
    QCOMPARE(modIoAccessToken(), QString());

    storeModIoToken(token);
    QCOMPARE(modIoAccessToken(), token);
    clearModIoSignIn();
    QVERIFY(vaultEntry("lookup").isEmpty());
    storeModIoToken(token);
    storeModIoToken(QStringLiteral("  "));
    QVERIFY(vaultEntry("lookup").isEmpty());
}

QTEST_GUILESS_MAIN(SecretVaultTest)
#include "tst_secretvault.moc"
