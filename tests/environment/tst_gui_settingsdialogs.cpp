#include "app/mainwindow.h"
#include "environment/settingsdialog.h"
#include "environment/setupdialog.h"
#include "modaldriver.h"
#include "testsupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QtTest>

namespace {
QVariant stored(const char *key)
{
    return QSettings().value(QLatin1String(key));
}

QString gameFolder(const TestEnvironment &environment)
{
    return QFileInfo(environment.writeFile(QStringLiteral("game/ferroline3.exe"), {})).path();
}
} // namespace

// Named so the window lets the test hand it scripted prompts.
class MainWindowTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void setupDialog_data();
    void setupDialog();
    void settingsRoundTrip();
    void storageRoot_data();
    void storageRoot();
    void languageChangeRestarts_data();
    void languageChangeRestarts();
    void previewCache_data();
    void previewCache();
};

void MainWindowTest::setupDialog_data()
{
    QTest::addColumn<QString>("game"); // picked through "Durchsuchen…"; "%GAME%" is a prepared game folder
    QTest::addColumn<bool>("save");
    QTest::addColumn<QString>("message");

    QTest::newRow("no game") << "%ROOT%" << true
                             << "warning|Ungültiger Spielordner|Im gewählten Ferroline-3-Ordner wurde keine "
                                "ferroline3.exe gefunden.\n\nBitte wähle den Hauptordner des Spiels aus.";
    QTest::newRow("game, empty mod folders") << "%GAME%/" << true << "";
    QTest::newRow("cancelled") << "%GAME%" << false << "";
}

void MainWindowTest::setupDialog()
{
    QFETCH(QString, game);
    QFETCH(bool, save);
    QFETCH(QString, message);
    TestEnvironment environment;
    QSettings().remove(QStringLiteral("setup/completed"));
    const QString gamePath = gameFolder(environment);
    game.replace(QStringLiteral("%GAME%"), gamePath).replace(QStringLiteral("%ROOT%"), environment.root());
    ScriptedPrompts scripted;
    scripted.pickAnswers = {game};
    SetupDialog dialog(SetupValues{QString(), QString(), QString(), QString(), {}}, scripted.prompts());
    const SetupDialog::Fields &fields = dialog.fields();
    QCOMPARE(fields.game.verdict->styleSheet(), QStringLiteral("color:#b42318;"));
    fields.game.browseButton->click();
    QCOMPARE(fields.game.edit->text(), QDir::cleanPath(game));
    (save ? fields.saveButton : fields.cancelButton)->click();

    const bool accepted = save && message.isEmpty();
    QCOMPARE(scripted.messages, message.isEmpty() ? QStringList() : QStringList{message});
    QCOMPARE(dialog.result(), accepted ? QDialog::Accepted : QDialog::Rejected);
    QCOMPARE(stored("setup/completed").toBool(), accepted);
    QCOMPARE(stored("paths/game").toString(), accepted ? gamePath : QString());
    QCOMPARE(QSettings().contains(QStringLiteral("paths/usermods")), accepted);
    QVERIFY(!QSettings().contains(QStringLiteral("tools/7zip")));
}

void MainWindowTest::settingsRoundTrip()
{
    TestEnvironment environment;
    const QString game = gameFolder(environment);
    const QString mods = environment.makeDir(QStringLiteral("mods"));
    const QString custom = environment.makeDir(QStringLiteral("custom"));
    const QString tool = environment.writeFile(QStringLiteral("tools/UnRAR.exe"), {});
    QSettings settings;
    settings.setValue(QStringLiteral("paths/game"), game);
    settings.setValue(QStringLiteral("paths/usermods"), mods);
    settings.setValue(QStringLiteral("paths/custommods"), QStringList{custom});
    settings.setValue(QStringLiteral("tools/7zip"), tool);
    settings.setValue(QStringLiteral("modio/api_key"), QStringLiteral("key"));
    settings.setValue(QStringLiteral("community/enabled"), false);
    settings.setValue(QStringLiteral("community/api_url"), QStringLiteral("https://old.example/api"));
    settings.setValue(QStringLiteral("performance/auto_check"), false);
    settings.setValue(QStringLiteral("performance/show_clean_reports"), true);
    settings.sync();

    ScriptedPrompts scripted;
    SettingsDialog dialog(scripted.prompts());
    const SettingsDialog::Fields &fields = dialog.fields();
    QCOMPARE(fields.game.edit->text(), game);
    QCOMPARE(fields.userMods.edit->text(), mods);
    QCOMPARE(fields.customPaths->paths(), QStringList{custom});
    QCOMPARE(fields.extractor.edit->text(), tool);
    QCOMPARE(fields.apiKey->text(), QStringLiteral("key"));
    QCOMPARE(fields.apiRoot->text(), QStringLiteral("https://g-73160.modapi.io/v1"));
    QVERIFY(!fields.communityEnabled->isChecked() && !fields.autoCheck->isChecked());
    QVERIFY(fields.showCleanReports->isChecked());
    fields.apiAccessButton->click();
    QCOMPARE(scripted.openedUrls, QStringList{QStringLiteral("https://mod.io/me/access")});

    // A refused API root keeps the dialog open and the store as it was.
    fields.apiRoot->setText(QStringLiteral("http://g-73160.modapi.io/v1"));
    QVERIFY(!dialog.save());
    QVERIFY(scripted.messages.value(0).startsWith(QStringLiteral("warning|Ungültiger mod.io API-Pfad|")));
    QCOMPARE(stored("modio/api_key").toString(), QStringLiteral("key"));

    fields.apiRoot->setText(QStringLiteral(" https://g-73160.modapi.io/v1/ "));
    fields.apiKey->clear();
    fields.extractor.edit->clear();
    fields.userMods.edit->clear();
    fields.communityEnabled->setChecked(true);
    fields.communityUrl->setText(QStringLiteral("https://reports.example/api"));
    fields.autoCheck->setChecked(true);
    fields.showCleanReports->setChecked(false);
    QVERIFY(dialog.save());
    QCOMPARE(scripted.messages.size(), 1);
    QVERIFY(!dialog.languageChanged());
    QCOMPARE(stored("modio/api_root").toString(), QStringLiteral("https://g-73160.modapi.io/v1"));
    QVERIFY(!QSettings().contains(QStringLiteral("modio/api_key")));
    QVERIFY(!QSettings().contains(QStringLiteral("tools/7zip")));
    QCOMPARE(stored("paths/usermods").toString(), QString());
    QCOMPARE(stored("paths/game").toString(), game);
    QCOMPARE(stored("paths/custommods").toStringList(), QStringList{custom});
    QCOMPARE(stored("community/enabled").toBool(), true);
    QCOMPARE(stored("community/api_url").toString(), QStringLiteral("https://reports.example/api"));
    QCOMPARE(stored("performance/auto_check").toBool(), true);
    QCOMPARE(stored("performance/show_clean_reports").toBool(), false);
    QCOMPARE(stored("ui/language").toString(), QStringLiteral("de"));
    QVERIFY(stored("setup/completed").toBool());
}

void MainWindowTest::storageRoot_data()
{
    QTest::addColumn<QString>("root"); // typed into the field; %OLD% is the root in use
    QTest::addColumn<bool>("answer");
    QTest::addColumn<bool>("asked");
    QTest::addColumn<QString>("clientRoot"); // in globalsettings.json after the save
    QTest::addColumn<QString>("modIoPath");  // "paths/modio" after the save; "-" for removed

    QTest::newRow("same root, other case") << "%OLD%/../STORE" << true << false << "%OLD%/"
                                           << "%OLD%/../STORE/73160/mods";
    QTest::newRow("new root, declined") << "%NEW%" << false << true << "%OLD%/"
                                        << "unchanged";
    QTest::newRow("new root, confirmed") << "%NEW%/" << true << true << "%NEW%/"
                                         << "%NEW%/73160/mods";
    QTest::newRow("root cleared") << "" << true << false << "%OLD%/"
                                  << "-";
}

void MainWindowTest::storageRoot()
{
    QFETCH(QString, root);
    QFETCH(bool, answer);
    QFETCH(bool, asked);
    QFETCH(QString, clientRoot);
    QFETCH(QString, modIoPath);
    TestEnvironment environment;
    const QString localAppData = environment.useLocalAppData();
    // The case of "store" shows that a root typed in other letters is still the one in use.
    const QString oldRoot = environment.makeDir(QStringLiteral("old/store"));
    const QString newRoot = environment.root() + QStringLiteral("/new");
    const auto expand = [&](QString text) {
        return text.replace(QStringLiteral("%OLD%"), oldRoot).replace(QStringLiteral("%NEW%"), newRoot);
    };
    const QString settingsFile = localAppData + QStringLiteral("/mod.io/globalsettings.json");
    writeTestFile(settingsFile, "{\"RootLocalStoragePath\": \"" + oldRoot.toUtf8() + "/\"}");
    QSettings().setValue(QStringLiteral("paths/game"), gameFolder(environment));
    QSettings().setValue(QStringLiteral("paths/modio"), QStringLiteral("unchanged"));

    ScriptedPrompts scripted;
    scripted.questionAnswers = {answer};
    SettingsDialog dialog(scripted.prompts());
    const SettingsDialog::Fields &fields = dialog.fields();
    QCOMPARE(fields.storageRoot.edit->text(), oldRoot);
    fields.storageRoot.edit->setText(expand(root));
    QCOMPARE(fields.modIoMods.edit->text(),
             root.isEmpty() ? QString() : QDir::cleanPath(expand(root)) + "/73160/mods");
    QCOMPARE(dialog.save(), !asked || answer);
    QCOMPARE(scripted.questionDefaults, asked ? QList<bool>{false} : QList<bool>());
    const QJsonObject client = QJsonDocument::fromJson(readTestFile(settingsFile)).object();
    QCOMPARE(client.value(QStringLiteral("RootLocalStoragePath")).toString(), expand(clientRoot));
    QCOMPARE(QFileInfo(newRoot + "/73160/mods").isDir(), asked && answer);
    QCOMPARE(stored("paths/modio").toString(),
             modIoPath == QLatin1String("-") ? QString() : QDir::cleanPath(expand(modIoPath)));
}

void MainWindowTest::languageChangeRestarts_data()
{
    QTest::addColumn<bool>("restartSucceeds");
    QTest::newRow("restarted") << true;
    QTest::newRow("restart failed") << false;
}

void MainWindowTest::languageChangeRestarts()
{
    QFETCH(bool, restartSucceeds);
    TestEnvironment environment;
    QSettings().setValue(QStringLiteral("paths/game"), gameFolder(environment));
    MainWindow window;
    ScriptedPrompts scripted;
    scripted.restartSucceeds = restartSucceeds;
    window.prompts = scripted.prompts();
    ModalDriver<SettingsDialog> driver([](SettingsDialog *dialog) {
        dialog->fields().language->setCurrentIndex(dialog->fields().language->findData(QStringLiteral("en")));
        dialog->saveButton()->click();
    });
    window.openSettings();
    QCOMPARE(driver.seen, 1);
    QCOMPARE(stored("ui/language").toString(), QStringLiteral("en"));
    QCOMPARE(scripted.restarts, (QList<QStringList>{QStringList{QCoreApplication::applicationFilePath(),
                                                                QCoreApplication::applicationDirPath()} +
                                                    QCoreApplication::arguments().mid(1)}));
    QStringList messages{
        QStringLiteral("information|Sprache geändert|Die Sprache wurde geändert. Der ModManager "
                       "wird jetzt neu gestartet.")};
    if (!restartSucceeds)
        messages << QStringLiteral(
            "warning|Fehler|Der ModManager konnte nicht neu gestartet werden. Bitte starte "
            "ihn manuell neu.");
    QCOMPARE(scripted.messages, messages);
}

void MainWindowTest::previewCache_data()
{
    QTest::addColumn<bool>("cleared");
    QTest::addColumn<QString>("info");
    QTest::addColumn<QString>("message");
    QTest::newRow("cleared")
        << true << "after"
        << "information|Cache geleert|Der Vorschaubild-Cache wurde geleert. Bilder werden bei "
           "Bedarf neu geladen.";
    QTest::newRow("incomplete") << false << "before"
                                << "warning|Cache konnte nicht geleert werden|Der Vorschaubild-Cache konnte "
                                   "nicht vollständig gelöscht werden.";
}

void MainWindowTest::previewCache()
{
    QFETCH(bool, cleared);
    QFETCH(QString, info);
    QFETCH(QString, message);
    TestEnvironment environment;
    ScriptedPrompts scripted;
    SettingsDialog dialog(scripted.prompts());
    QVERIFY(!dialog.fields().clearPreviewCacheButton->isEnabled());
    QString state = QStringLiteral("before");
    dialog.setPreviewCacheHooks({[&state] { return state; },
                                 [&state, cleared] {
                                     state = QStringLiteral("after");
                                     return cleared;
                                 }});
    QCOMPARE(dialog.fields().previewCacheInfo->text(), QStringLiteral("before"));
    dialog.fields().clearPreviewCacheButton->click();
    QCOMPARE(dialog.fields().previewCacheInfo->text(), info);
    QCOMPARE(scripted.messages, QStringList{message});
}

QTEST_MAIN(MainWindowTest)
#include "tst_gui_settingsdialogs.moc"
