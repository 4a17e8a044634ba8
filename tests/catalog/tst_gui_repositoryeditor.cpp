#include "app/mainwindow.h"
#include "catalog/externalrepositoriesdialog.h"
#include "catalog/repositorydialog.h"
#include "catalog/repositorylist.h"
#include "environment/settingsdialog.h"
#include "modaldriver.h"
#include "testsupport.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QStackedWidget>
#include <QTableWidget>
#include <QTcpServer>
#include <QTimer>
#include <QtTest>

namespace {
// Plays the user in the repository dialogs: every dialog that would be shown modally goes to the next step
// instead, which fills and clicks its widgets; the dialog's result is what the step left behind.
struct ScriptedEditor
{
    QList<std::function<void(QDialog &)>> steps;
    QStringList warnings;
    int dialogsRun = 0;
    QLabel *summary = nullptr;

    RepositoryEditorHooks hooks()
    {
        RepositoryEditorHooks hooks;
        hooks.warning = [this](QWidget *, const QString &title, const QString &text) {
            warnings.append(title + QLatin1Char('|') + text);
        };
        hooks.runDialog = [this](QDialog &dialog) {
            ++dialogsRun;
            if (!steps.isEmpty())
                steps.takeFirst()(dialog);
            return dialog.result();
        };
        return hooks;
    }
};

// The dialog a step was handed, as the type the step expects; a different dialog ends the test run.
template <typename T> T &as(QDialog &dialog)
{
    auto *typed = qobject_cast<T *>(&dialog);
    if (!typed)
        qFatal("unexpected dialog: %s", dialog.metaObject()->className());
    return *typed;
}

void fill(QDialog &dialog, const QString &name, const QString &jsonUrl, const QString &baseUrl = QString(),
          bool enabled = true)
{
    auto *repositoryDialog = qobject_cast<RepositoryDialog *>(&dialog);
    QVERIFY(repositoryDialog);
    repositoryDialog->nameEdit()->setText(name);
    repositoryDialog->jsonUrlEdit()->setText(jsonUrl);
    repositoryDialog->baseUrlEdit()->setText(baseUrl);
    repositoryDialog->enabledCheckBox()->setChecked(enabled);
}

void clickSave(QDialog &dialog)
{
    as<RepositoryDialog>(dialog).saveButton()->click();
}

RepositoryConfig external(const QString &name, bool enabled = true)
{
    const QString url = QStringLiteral("https://%1.example/repo.json").arg(name.toLower());
    return RepositoryConfig{name, url, QString(), QString(), enabled, false};
}

QString storedRepositories()
{
    return QString::fromUtf8(QSettings().value(QStringLiteral("repositories/external")).toByteArray());
}

} // namespace

// Named so the window lets the test look at its loading state.
class MainWindowTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void editorAddsEditsAndRemoves();
    void openSettings_data();
    void openSettings();
};

void MainWindowTest::editorAddsEditsAndRemoves()
{
    ScriptedEditor script;
    ExternalRepositoriesDialog editor({external(QStringLiteral("Nord"))}, script.hooks());
    editor.show();
    QVERIFY(QTest::qWaitForWindowExposed(&editor));
    QSignalSpy changed(&editor, &ExternalRepositoriesDialog::repositoriesChanged);
    QTableWidget *table = editor.table();
    // Nothing is selected yet, so nothing can be edited or removed by accident.
    QVERIFY(!editor.editButton()->isEnabled());
    QVERIFY(!editor.removeButton()->isEnabled());

    // Add: a refused entry stays open as typed and is corrected there; then a cancelled add changes nothing.
    script.steps.append([&script](QDialog &dialog) {
        fill(dialog, QStringLiteral("West"), QStringLiteral("https://west.example/r.json"),
             QStringLiteral("ftp://west.example/"));
        clickSave(dialog);
        QCOMPARE(script.warnings, QStringList{QStringLiteral("Ungültiges Repository|Basis-URL und Webseite "
                                                             "müssen HTTP- oder HTTPS-URLs sein.")});
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QCOMPARE(as<RepositoryDialog>(dialog).baseUrlEdit()->text(), QStringLiteral("ftp://west.example/"));
        fill(dialog, QStringLiteral(" West "), QStringLiteral(" http://west.example/repo.json "), QString(),
             false);
        clickSave(dialog);
    });
    script.steps.append([](QDialog &dialog) {
        fill(dialog, QStringLiteral("Ost"), QStringLiteral("https://ost.example/repo.json"));
        as<RepositoryDialog>(dialog).cancelButton()->click();
    });
    editor.addButton()->click();
    editor.addButton()->click();
    QCOMPARE(changed.count(), 1);
    QCOMPARE(table->rowCount(), 2);
    QCOMPARE(editor.repositories().at(1).name, QStringLiteral("West"));
    QCOMPARE(editor.repositories().at(1).jsonUrl, QStringLiteral("http://west.example/repo.json"));
    QCOMPARE(table->item(1, 4)->text(), QStringLiteral("Nein"));

    // Edit through a double-click on the first row; the dialog starts with the stored values.
    script.steps.append([](QDialog &dialog) {
        auto &repositoryDialog = as<RepositoryDialog>(dialog);
        QCOMPARE(repositoryDialog.nameEdit()->text(), QStringLiteral("Nord"));
        repositoryDialog.nameEdit()->setText(QStringLiteral("Nordbahn"));
        clickSave(dialog);
    });
    const QRect cell = table->visualItemRect(table->item(0, 0));
    QTest::mouseClick(table->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
    QTest::mouseDClick(table->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
    QCOMPARE(script.dialogsRun, 3);
    QCOMPARE(changed.count(), 2);
    QCOMPARE(table->item(0, 0)->text(), QStringLiteral("Nordbahn"));
    QCOMPARE(editor.repositories().first().jsonUrl, QStringLiteral("https://nord.example/repo.json"));

    // Remove the first row; the next one moves up and stays selected.
    editor.removeButton()->click();
    QCOMPARE(changed.count(), 3);
    QCOMPARE(editor.repositories().size(), 1);
    QCOMPARE(editor.repositories().first().name, QStringLiteral("West"));
    QCOMPARE(table->selectedItems().first()->row(), 0);
}

void MainWindowTest::openSettings_data()
{
    QTest::addColumn<QString>("action"); // "save", "cancel", or "busy" while an install runs
    QTest::newRow("saved") << "save";
    QTest::newRow("cancelled") << "cancel";
    QTest::newRow("during an install") << "busy";
}

void MainWindowTest::openSettings()
{
    QFETCH(QString, action);
    TestEnvironment environment;
    // A community site that takes requests and never answers keeps a catalog load in flight.
    QTcpServer silent;
    QVERIFY(silent.listen(QHostAddress::LocalHost));
    environment.setEnv("FX3MM_COMMUNITY_URL",
                       QStringLiteral("http://127.0.0.1:%1/").arg(silent.serverPort()).toUtf8());
    saveExternalRepositories({external(QStringLiteral("Nord")), external(QStringLiteral("Süd"), false)});
    // The settings are saved only with a game folder that holds the game.
    QSettings().setValue(QStringLiteral("paths/game"),
                         QFileInfo(environment.writeFile(QStringLiteral("game/ferroline3.exe"), {})).path());
    const QString before = storedRepositories();

    MainWindow window;
    ScriptedPrompts scripted;
    window.prompts = scripted.prompts();
    window.pages->setCurrentWidget(window.catalogPage);
    window.reloadCatalog();
    QVERIFY(window.catalogLoading);
    window.catalog.append(RepoMod());
    window.catalogLoaded = true;
    window.localModsLoaded = true;
    window.installInProgress = action == QLatin1String("busy");
    const quint32 generation = window.loadGeneration;

    // The settings dialog works on a copy: its summary follows the editor, the stored list only the save.
    ScriptedEditor script;
    script.steps.append([&script](QDialog &editorDialog) {
        auto &editor = as<ExternalRepositoriesDialog>(editorDialog);
        editor.table()->selectRow(0);
        editor.removeButton()->click();
        QCOMPARE(script.summary->text(), QStringLiteral("Externe Repositorys: 1 eingerichtet, 0 aktiv"));
    });
    ModalDriver<SettingsDialog> driver([&script, before, action](SettingsDialog *dialog) {
        dialog->setRepositoryEditorHooks(script.hooks());
        script.summary = dialog->repositorySummaryLabel();
        dialog->manageRepositoriesButton()->click();
        QCOMPARE(storedRepositories(), before);
        (action == QLatin1String("save") ? dialog->saveButton() : dialog->cancelButton())->click();
    });
    window.openSettings();
    if (action == QLatin1String("busy"))
        QTest::qWait(30);
    QCOMPARE(driver.seen, action == QLatin1String("busy") ? 0 : 1);
    if (action != QLatin1String("save")) {
        QCOMPARE(storedRepositories(), before);
        QCOMPARE(window.catalog.size(), 1);
        QCOMPARE(window.loadGeneration, generation);
        if (action == QLatin1String("busy"))
            QCOMPARE(window.statusLabel->text(),
                     QStringLiteral("Die Einstellungen können während einer Installation oder eines Updates "
                                    "nicht geändert werden."));
        return;
    }
    const QList<RepositoryConfig> saved = loadExternalRepositories();
    QCOMPARE(saved.size(), 1);
    QCOMPARE(saved[0].name, QStringLiteral("Süd"));
    QVERIFY(!window.catalogLoaded && !window.localModsLoaded && window.catalog.isEmpty());
    QCOMPARE(window.statusLabel->text(),
             QStringLiteral(
                 "Einstellungen gespeichert. Daten werden beim Öffnen des jeweiligen Bereichs neu geladen."));
    // The abandoned load never finishes, so its buttons must not stay disabled, and the catalog page on
    // screen loads anew instead of being refused as "already loading".
    QVERIFY(window.catalogView.reloadButton->isEnabled());
    QTRY_VERIFY(window.catalogLoading);
    QCOMPARE(window.loadGeneration, generation + 2);
}

QTEST_MAIN(MainWindowTest)
#include "tst_gui_repositoryeditor.moc"
