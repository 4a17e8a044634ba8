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
    const QStringList keys{"paths/game",        "paths/usermods",         "paths/custommods",
                           "tools/7zip",        "modio/api_key",          "community/enabled",
                           "community/api_url", "performance/auto_check", "performance/show_clean_reports"};
    const QVariantList before{gameFolder(environment),
                              environment.makeDir(QStringLiteral("mods")),
                              QStringList{environment.makeDir(QStringLiteral("custom"))},
                              environment.writeFile(QStringLiteral("tools/UnRAR.exe"), {}),
                              "key",
                              false,
                              "https://old.example/api",
                              false,
                              true};
    for (int i = 0; i < keys.size(); ++i)
        QSettings().setValue(keys.at(i), before.at(i));
    const auto storedTexts = [&keys] {
        QStringList texts;
        for (const QString &key : keys) {
            const QVariant value = QSettings().value(key);
            texts << (value.typeId() == QMetaType::QStringList ? value.toStringList().join(';')
                                                               : value.toString());
        }
        return texts;
    };

    ScriptedPrompts scripted;
    SettingsDialog dialog(scripted.prompts());
    const SettingsDialog::Fields &f = dialog.fields();
    const auto shownTexts = [&f] {
        const auto text = [](bool on) {
            return QString::fromLatin1(on ? "true" : "false");
        };
        return QStringList{f.game.edit->text(),
                           f.userMods.edit->text(),
                           f.customPaths->paths().join(';'),
                           f.extractor.edit->text(),
                           f.apiKey->text(),
                           text(f.communityEnabled->isChecked()),
                           f.communityUrl->text(),
                           text(f.autoCheck->isChecked()),
                           text(f.showCleanReports->isChecked())};
    };
    QCOMPARE(shownTexts(), storedTexts());

    // A refused API root keeps the dialog open and the store as it was.
    f.apiRoot->setText(QStringLiteral("http://g-73160.modapi.io/v1"));
    f.apiKey->clear();
    QVERIFY(!dialog.save());
    QVERIFY(scripted.messages.value(0).startsWith(QStringLiteral("warning|Ungültiger mod.io API-Pfad|")));
    QCOMPARE(QSettings().value(QStringLiteral("modio/api_key")), QVariant("key"));

    f.apiRoot->setText(QStringLiteral(" https://g-73160.modapi.io/v1/ "));
    f.extractor.edit->clear();
    f.userMods.edit->clear();
    f.communityEnabled->setChecked(true);
    f.communityUrl->setText(QStringLiteral("https://reports.example/api"));
    f.autoCheck->setChecked(true);
    f.showCleanReports->setChecked(false);
    QVERIFY(dialog.save());
    QCOMPARE(scripted.messages.size(), 1);
    QCOMPARE(storedTexts(), shownTexts());
    QVERIFY(!QSettings().contains(QStringLiteral("modio/api_key")) &&
            !QSettings().contains(QStringLiteral("tools/7zip")));
    QCOMPARE(stored("modio/api_root").toString(), QStringLiteral("https://g-73160.modapi.io/v1"));
    QCOMPARE(stored("ui/language").toString(), QStringLiteral("de"));
    QVERIFY(stored("setup/completed").toBool() && !dialog.languageChanged());
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

void MainWindowTest::languageChangeRestarts()
{
    TestEnvironment environment;
    QSettings().setValue(QStringLiteral("paths/game"), gameFolder(environment));
    MainWindow window;
    ScriptedPrompts scripted;
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
    QCOMPARE(scripted.messages.size(), 1);
    QVERIFY(scripted.messages.first().startsWith(QStringLiteral("information|Sprache geändert|")));
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
