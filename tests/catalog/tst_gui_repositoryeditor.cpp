#include "app/apptranslator.h"
#include "app/mainwindow.h"
#include "catalog/externalrepositoriesdialog.h"
#include "catalog/repositorydialog.h"
#include "catalog/repositorylist.h"
#include "environment/settingsdialog.h"
#include "testsupport.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QStackedWidget>
#include <QTabWidget>
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
          const QString &websiteUrl = QString(), bool enabled = true)
{
    auto *repositoryDialog = qobject_cast<RepositoryDialog *>(&dialog);
    QVERIFY(repositoryDialog);
    repositoryDialog->nameEdit()->setText(name);
    repositoryDialog->jsonUrlEdit()->setText(jsonUrl);
    repositoryDialog->baseUrlEdit()->setText(baseUrl);
    repositoryDialog->websiteUrlEdit()->setText(websiteUrl);
    repositoryDialog->enabledCheckBox()->setChecked(enabled);
}

void clickSave(QDialog &dialog)
{
    as<RepositoryDialog>(dialog).saveButton()->click();
}

QStringList rowTexts(QTableWidget *table, int row)
{
    QStringList texts;
    for (int column = 0; column < table->columnCount(); ++column)
        texts.append(table->item(row, column)->text());
    return texts;
}

RepositoryConfig external(const QString &name, bool enabled = true)
{
    return RepositoryConfig{name,      QStringLiteral("https://%1.example/repo.json").arg(name.toLower()),
                            QString(), QString(),
                            enabled,   false};
}

QString storedRepositories()
{
    return QString::fromUtf8(QSettings().value(QStringLiteral("repositories/external")).toByteArray());
}

// Runs action on the next modal dialog of type T as soon as it is up, so a test can answer a dialog that
// the code under test opens with exec().
template <typename T> class ModalDriver
{
public:
    explicit ModalDriver(std::function<void(T *)> action)
    {
        QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this, action] {
            if (auto *dialog = qobject_cast<T *>(QApplication::activeModalWidget())) {
                m_timer.stop();
                ++seen;
                action(dialog);
            }
        });
        m_timer.start(5);
    }
    int seen = 0;

private:
    QTimer m_timer;
};
} // namespace

// Named so the window lets the test look at its loading state.
class MainWindowTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void repositoryDialogChecksBeforeClosing_data();
    void repositoryDialogChecksBeforeClosing();
    void repositoryDialogModes();
    void editorShowsTheList();
    void editorAddsEditsAndRemoves();
    void settingsDialogSavesTheEditedCopy();
    void settingsDialogCancelChangesNothing();
    void englishTexts();
    void openSettingsForgetsLoadedData();
    void openSettingsCancelKeepsEverything();
    void openSettingsRefusedDuringInstall();
};

void MainWindowTest::repositoryDialogChecksBeforeClosing_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("jsonUrl");
    QTest::addColumn<QString>("baseUrl");
    QTest::addColumn<QString>("warning");
    auto row = [](const char *tag, const QString &name, const QString &jsonUrl, const QString &baseUrl,
                  const QString &warning) {
        QTest::newRow(tag) << name << jsonUrl << baseUrl << warning;
    };
    row("usable", " Nord ", " https://nord.example/repo.json ", "", "");
    row("no name", "  ", "https://nord.example/repo.json", "",
        "Bitte gib einen Namen für das Repository an.");
    row("URL without host", "Nord", "https:/repo.json", "",
        "Bitte gib eine gültige HTTP- oder HTTPS-URL zur Repository-JSON an.");
    row("base not http", "Nord", "https://nord.example/repo.json", "ftp://nord.example/",
        "Basis-URL und Webseite müssen HTTP- oder HTTPS-URLs sein.");
}

void MainWindowTest::repositoryDialogChecksBeforeClosing()
{
    QFETCH(QString, name);
    QFETCH(QString, jsonUrl);
    QFETCH(QString, baseUrl);
    QFETCH(QString, warning);

    ScriptedEditor script;
    RepositoryDialog dialog(RepositoryDialog::Mode::Add, RepositoryConfig(), script.hooks());
    dialog.show();
    fill(dialog, name, jsonUrl, baseUrl);
    dialog.saveButton()->click();
    if (warning.isEmpty()) {
        QVERIFY(script.warnings.isEmpty());
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(dialog.repository().name, name.trimmed());
        QCOMPARE(dialog.repository().jsonUrl, jsonUrl.trimmed());
        return;
    }
    QCOMPARE(script.warnings, QStringList{QStringLiteral("Ungültiges Repository|") + warning});
    // The dialog stays open with everything as typed.
    QVERIFY(dialog.isVisible());
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QCOMPARE(dialog.nameEdit()->text(), name);
    QCOMPARE(dialog.jsonUrlEdit()->text(), jsonUrl);
    QCOMPARE(dialog.baseUrlEdit()->text(), baseUrl);
}

void MainWindowTest::repositoryDialogModes()
{
    RepositoryDialog add(RepositoryDialog::Mode::Add, RepositoryConfig(), RepositoryEditorHooks());
    QCOMPARE(add.windowTitle(), QStringLiteral("Repository hinzufügen"));
    QVERIFY(add.nameEdit()->text().isEmpty());
    QVERIFY(add.enabledCheckBox()->isChecked());
    QCOMPARE(add.enabledCheckBox()->text(), QStringLiteral("Repository aktiv"));
    QVERIFY(!add.jsonUrlEdit()->placeholderText().isEmpty());
    QVERIFY(add.saveButton()->isDefault());

    const RepositoryConfig stored{QStringLiteral("Süd"),
                                  QStringLiteral("https://sued.example/r.json"),
                                  QStringLiteral("https://cdn.example/"),
                                  QStringLiteral("https://sued.example/"),
                                  false,
                                  false};
    RepositoryDialog edit(RepositoryDialog::Mode::Edit, stored, RepositoryEditorHooks());
    QCOMPARE(edit.windowTitle(), QStringLiteral("Repository bearbeiten"));
    QCOMPARE(edit.nameEdit()->text(), stored.name);
    QCOMPARE(edit.jsonUrlEdit()->text(), stored.jsonUrl);
    QCOMPARE(edit.baseUrlEdit()->text(), stored.baseUrl);
    QCOMPARE(edit.websiteUrlEdit()->text(), stored.websiteUrl);
    QVERIFY(!edit.enabledCheckBox()->isChecked());
    edit.cancelButton()->click();
    QCOMPARE(edit.result(), int(QDialog::Rejected));
}

void MainWindowTest::editorShowsTheList()
{
    RepositoryConfig full = external(QStringLiteral("Nord"));
    full.baseUrl = QStringLiteral("https://cdn.example/");
    full.websiteUrl = QStringLiteral("https://nord.example/");
    ExternalRepositoriesDialog editor({full, external(QStringLiteral("Süd"), false)},
                                      RepositoryEditorHooks());
    QCOMPARE(editor.windowTitle(), QStringLiteral("Externe Repositorys"));
    QCOMPARE(editor.size(), QSize(980, 480));

    QTableWidget *table = editor.table();
    QStringList headers;
    for (int column = 0; column < table->columnCount(); ++column)
        headers.append(table->horizontalHeaderItem(column)->text());
    QCOMPARE(headers, (QStringList{"Name", "Repository-URL", "Basis-URL", "Webseite", "Aktiv"}));
    QCOMPARE(table->rowCount(), 2);
    QCOMPARE(rowTexts(table, 0), (QStringList{"Nord", "https://nord.example/repo.json",
                                              "https://cdn.example/", "https://nord.example/", "Ja"}));
    QCOMPARE(rowTexts(table, 1), (QStringList{"Süd", "https://süd.example/repo.json", "", "", "Nein"}));
    QCOMPARE(table->editTriggers(), QAbstractItemView::NoEditTriggers);
    QCOMPARE(table->selectionBehavior(), QAbstractItemView::SelectRows);
    QCOMPARE(table->selectionMode(), QAbstractItemView::SingleSelection);
    const QHeaderView *header = table->horizontalHeader();
    QCOMPARE(header->sectionResizeMode(0), QHeaderView::ResizeToContents);
    QCOMPARE(header->sectionResizeMode(2), QHeaderView::Stretch);
    QCOMPARE(header->sectionResizeMode(4), QHeaderView::ResizeToContents);
    QCOMPARE(editor.addButton()->text(), QStringLiteral("Repository hinzufügen…"));
    QCOMPARE(editor.closeButton()->text(), QStringLiteral("Schließen"));
    // Nothing is selected yet, so nothing can be edited or removed by accident.
    QVERIFY(!editor.editButton()->isEnabled());
    QVERIFY(!editor.removeButton()->isEnabled());
    table->selectRow(1);
    QVERIFY(editor.editButton()->isEnabled());
    QVERIFY(editor.removeButton()->isEnabled());
}

void MainWindowTest::editorAddsEditsAndRemoves()
{
    ScriptedEditor script;
    ExternalRepositoriesDialog editor({external(QStringLiteral("Nord"))}, script.hooks());
    editor.show();
    QVERIFY(QTest::qWaitForWindowExposed(&editor));
    QSignalSpy changed(&editor, &ExternalRepositoriesDialog::repositoriesChanged);
    QTableWidget *table = editor.table();

    // Add: a refused entry first, corrected in the same dialog.
    script.steps.append([](QDialog &dialog) {
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Repository hinzufügen"));
        fill(dialog, QStringLiteral("West"), QStringLiteral("west.example/repo.json"));
        clickSave(dialog);
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        fill(dialog, QStringLiteral(" West "), QStringLiteral("http://west.example/repo.json"),
             QStringLiteral("http://west.example/files/"), QString(), false);
        clickSave(dialog);
    });
    editor.addButton()->click();
    QCOMPARE(script.warnings.size(), 1);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(table->rowCount(), 2);
    QCOMPARE(rowTexts(table, 1), (QStringList{"West", "http://west.example/repo.json",
                                              "http://west.example/files/", "", "Nein"}));
    QCOMPARE(table->selectedItems().first()->row(), 1);

    // A cancelled add changes nothing.
    script.steps.append([](QDialog &dialog) {
        fill(dialog, QStringLiteral("Ost"), QStringLiteral("https://ost.example/repo.json"));
        as<RepositoryDialog>(dialog).cancelButton()->click();
    });
    editor.addButton()->click();
    QCOMPARE(changed.count(), 1);
    QCOMPARE(editor.repositories().size(), 2);

    // Edit through a double-click on the first row; the dialog starts with the stored values.
    script.steps.append([](QDialog &dialog) {
        auto &repositoryDialog = as<RepositoryDialog>(dialog);
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Repository bearbeiten"));
        QCOMPARE(repositoryDialog.nameEdit()->text(), QStringLiteral("Nord"));
        repositoryDialog.nameEdit()->setText(QStringLiteral("Nordbahn"));
        repositoryDialog.enabledCheckBox()->setChecked(false);
        clickSave(dialog);
    });
    const QRect cell = table->visualItemRect(table->item(0, 0));
    QTest::mouseClick(table->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
    QTest::mouseDClick(table->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
    QCOMPARE(script.dialogsRun, 3);
    QCOMPARE(changed.count(), 2);
    QCOMPARE(table->item(0, 0)->text(), QStringLiteral("Nordbahn"));
    QCOMPARE(table->item(0, 4)->text(), QStringLiteral("Nein"));
    QCOMPARE(editor.repositories().first().jsonUrl, QStringLiteral("https://nord.example/repo.json"));

    // "Bearbeiten…" edits the selected row: now the second one.
    table->selectRow(1);
    script.steps.append([](QDialog &dialog) {
        QCOMPARE(as<RepositoryDialog>(dialog).nameEdit()->text(), QStringLiteral("West"));
        as<RepositoryDialog>(dialog).enabledCheckBox()->setChecked(true);
        clickSave(dialog);
    });
    editor.editButton()->click();
    QCOMPARE(table->item(1, 4)->text(), QStringLiteral("Ja"));

    // Remove the first row; the next one moves up and stays selected.
    table->selectRow(0);
    editor.removeButton()->click();
    QCOMPARE(changed.count(), 4);
    QCOMPARE(editor.repositories().size(), 1);
    QCOMPARE(editor.repositories().first().name, QStringLiteral("West"));
    QCOMPARE(table->rowCount(), 1);
    QCOMPARE(table->selectedItems().first()->row(), 0);
    editor.removeButton()->click();
    QVERIFY(editor.repositories().isEmpty());
    QCOMPARE(table->rowCount(), 0);
    QVERIFY(!editor.removeButton()->isEnabled());
    editor.removeButton()->click();
    QCOMPARE(changed.count(), 5);

    editor.closeButton()->click();
    QVERIFY(!editor.isVisible());
}

void MainWindowTest::settingsDialogSavesTheEditedCopy()
{
    TestEnvironment environment;
    saveExternalRepositories({external(QStringLiteral("Nord")), external(QStringLiteral("Süd"), false)});

    ScriptedEditor script;
    SettingsDialog dialog;
    dialog.setRepositoryEditorHooks(script.hooks());
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Einstellungen"));
    QCOMPARE(dialog.tabs()->count(), 1);
    QCOMPARE(dialog.tabs()->tabText(0), QStringLiteral("Repositorys & Cache"));
    QCOMPARE(dialog.repositorySummaryLabel()->text(),
             QStringLiteral("Externe Repositorys: 2 eingerichtet, 1 aktiv"));
    QCOMPARE(dialog.manageRepositoriesButton()->text(), QStringLiteral("Externe Repositorys verwalten…"));
    auto *group = qobject_cast<QGroupBox *>(dialog.repositorySummaryLabel()->parentWidget());
    QVERIFY(group);
    QCOMPARE(group->title(), QStringLiteral("Externe Repositorys"));

    QLabel *summary = dialog.repositorySummaryLabel();
    script.steps.append([&](QDialog &editorDialog) {
        auto &editor = as<ExternalRepositoriesDialog>(editorDialog);
        QCOMPARE(editor.repositories().size(), 2);
        editor.addButton()->click();
        // The summary follows while the editor is still open.
        QCOMPARE(summary->text(), QStringLiteral("Externe Repositorys: 3 eingerichtet, 2 aktiv"));
        editor.table()->selectRow(0);
        editor.removeButton()->click();
        QCOMPARE(summary->text(), QStringLiteral("Externe Repositorys: 2 eingerichtet, 1 aktiv"));
        editor.closeButton()->click();
    });
    script.steps.append([](QDialog &repositoryDialog) {
        fill(repositoryDialog, QStringLiteral("West"), QStringLiteral("https://west.example/repo.json"));
        clickSave(repositoryDialog);
    });
    const QString before = storedRepositories();
    dialog.manageRepositoriesButton()->click();
    QCOMPARE(script.dialogsRun, 2);
    // Nothing reaches the settings while the dialog is open.
    QCOMPARE(storedRepositories(), before);

    QVERIFY(dialog.save());
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    const QString expected = QStringLiteral("[{\"base_url\":\"\",\"enabled\":false,\"json_url\":\"https://"
                                            "süd.example/repo.json\",\"name\":\"Süd\","
                                            "\"website_url\":\"\"},{\"base_url\":\"\",\"enabled\":true,"
                                            "\"json_url\":\"https://west.example/repo.json\","
                                            "\"name\":\"West\",\"website_url\":\"\"}]");
    QCOMPARE(storedRepositories(), expected);
    const QList<RepositoryConfig> loaded = loadExternalRepositories();
    QCOMPARE(loaded.size(), 2);
    QCOMPARE(loaded.at(1).name, QStringLiteral("West"));
}

void MainWindowTest::settingsDialogCancelChangesNothing()
{
    TestEnvironment environment;
    saveExternalRepositories({external(QStringLiteral("Nord"))});
    const QString before = storedRepositories();

    ScriptedEditor script;
    SettingsDialog dialog;
    dialog.setRepositoryEditorHooks(script.hooks());
    script.steps.append([](QDialog &editorDialog) {
        auto &editor = as<ExternalRepositoriesDialog>(editorDialog);
        editor.table()->selectRow(0);
        editor.removeButton()->click();
    });
    dialog.manageRepositoriesButton()->click();
    QCOMPARE(dialog.repositorySummaryLabel()->text(),
             QStringLiteral("Externe Repositorys: 0 eingerichtet, 0 aktiv"));
    dialog.cancelButton()->click();
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QCOMPARE(storedRepositories(), before);
    QCOMPARE(loadExternalRepositories().size(), 1);

    // A dialog built anew starts again from the stored list.
    SettingsDialog again;
    QCOMPARE(again.repositorySummaryLabel()->text(),
             QStringLiteral("Externe Repositorys: 1 eingerichtet, 1 aktiv"));
}

void MainWindowTest::englishTexts()
{
    TestEnvironment environment;
    AppTranslator english(QStringLiteral("en"));
    QCoreApplication::installTranslator(&english);
    SettingsDialog dialog;
    RepositoryDialog add(RepositoryDialog::Mode::Add, RepositoryConfig(), RepositoryEditorHooks());
    ExternalRepositoriesDialog editor({}, RepositoryEditorHooks());
    QCoreApplication::removeTranslator(&english);

    QCOMPARE(dialog.windowTitle(), QStringLiteral("Settings"));
    QCOMPARE(dialog.tabs()->tabText(0), QStringLiteral("Repositories & cache"));
    QCOMPARE(dialog.saveButton()->text(), QStringLiteral("Save"));
    QCOMPARE(dialog.cancelButton()->text(), QStringLiteral("Cancel"));
    QCOMPARE(dialog.repositorySummaryLabel()->text(),
             QStringLiteral("External repositories: 0 configured, 0 enabled"));
    QCOMPARE(add.windowTitle(), QStringLiteral("Add repository"));
    QCOMPARE(add.enabledCheckBox()->text(), QStringLiteral("Repository enabled"));
    QCOMPARE(editor.windowTitle(), QStringLiteral("External repositories"));
    QCOMPARE(editor.removeButton()->text(), QStringLiteral("Remove"));
}

void MainWindowTest::openSettingsForgetsLoadedData()
{
    TestEnvironment environment;
    // A community site that takes requests and never answers keeps a catalog load in flight.
    QTcpServer silent;
    QVERIFY(silent.listen(QHostAddress::LocalHost));
    environment.setEnv("FX3MM_COMMUNITY_URL",
                       QStringLiteral("http://127.0.0.1:%1/").arg(silent.serverPort()).toUtf8());

    MainWindow window;
    ScriptedPrompts scripted;
    window.prompts = scripted.prompts();
    window.pages->setCurrentWidget(window.catalogPage);
    window.reloadCatalog();
    QVERIFY(window.catalogLoading);
    QVERIFY(!window.reloadCatalogButton->isEnabled());
    RepoMod held;
    held.name = QStringLiteral("Alte Lok");
    window.catalog.append(held);
    window.catalogLoaded = true;
    window.localModsLoaded = true;
    const quint32 generation = window.loadGeneration;

    ScriptedEditor script;
    script.steps.append(
        [](QDialog &editorDialog) { as<ExternalRepositoriesDialog>(editorDialog).addButton()->click(); });
    script.steps.append([](QDialog &repositoryDialog) {
        fill(repositoryDialog, QStringLiteral("West"), QStringLiteral("https://west.example/repo.json"));
        clickSave(repositoryDialog);
    });
    ModalDriver<SettingsDialog> driver([&script](SettingsDialog *dialog) {
        dialog->setRepositoryEditorHooks(script.hooks());
        dialog->manageRepositoriesButton()->click();
        dialog->saveButton()->click();
    });
    window.openSettings();
    QCOMPARE(driver.seen, 1);

    QCOMPARE(loadExternalRepositories().size(), 1);
    QVERIFY(!window.catalogLoading);
    QVERIFY(!window.catalogLoaded);
    QVERIFY(!window.localModsLoaded);
    QVERIFY(window.catalog.isEmpty());
    QCOMPARE(window.loadGeneration, generation + 1);
    QCOMPARE(window.catalogTable->rowCount(), 0);
    // The abandoned load never finishes, so its buttons must not stay disabled.
    QVERIFY(window.reloadCatalogButton->isEnabled());
    QCOMPARE(window.statusLabel->text(),
             QStringLiteral(
                 "Einstellungen gespeichert. Daten werden beim Öffnen des jeweiligen Bereichs neu geladen."));
    QVERIFY(scripted.messages.isEmpty());

    // The catalog page on screen loads anew on the next turn; the abandoned load does not refuse it as
    // "already loading".
    QTRY_VERIFY(window.catalogLoading);
    QCOMPARE(window.loadGeneration, generation + 2);
}

void MainWindowTest::openSettingsCancelKeepsEverything()
{
    TestEnvironment environment;
    saveExternalRepositories({external(QStringLiteral("Nord"))});
    const QString before = storedRepositories();
    MainWindow window;
    RepoMod held;
    held.name = QStringLiteral("Lok");
    window.catalog.append(held);
    window.catalogLoaded = true;
    window.localModsLoaded = true;
    const quint32 generation = window.loadGeneration;
    const QString status = window.statusLabel->text();

    ScriptedEditor script;
    script.steps.append([](QDialog &editorDialog) {
        auto &editor = as<ExternalRepositoriesDialog>(editorDialog);
        editor.table()->selectRow(0);
        editor.removeButton()->click();
    });
    ModalDriver<SettingsDialog> driver([&script](SettingsDialog *dialog) {
        dialog->setRepositoryEditorHooks(script.hooks());
        dialog->manageRepositoriesButton()->click();
        dialog->cancelButton()->click();
    });
    window.openSettings();
    QCOMPARE(driver.seen, 1);
    QCOMPARE(storedRepositories(), before);
    QCOMPARE(window.catalog.size(), 1);
    QVERIFY(window.catalogLoaded && window.localModsLoaded);
    QCOMPARE(window.loadGeneration, generation);
    QCOMPARE(window.statusLabel->text(), status);
}

void MainWindowTest::openSettingsRefusedDuringInstall()
{
    TestEnvironment environment;
    MainWindow window;
    window.catalog.append(RepoMod());
    window.installInProgress = true;
    ModalDriver<QDialog> driver([](QDialog *dialog) { dialog->reject(); });
    window.openSettings();
    QTest::qWait(30);
    QCOMPARE(driver.seen, 0);
    QCOMPARE(window.catalog.size(), 1);
    QCOMPARE(window.statusLabel->text(),
             QStringLiteral(
                 "Die Einstellungen können während einer Installation oder eines Updates nicht geändert "
                 "werden."));
}

QTEST_MAIN(MainWindowTest)
#include "tst_gui_repositoryeditor.moc"
