#include "app/settings.h"
#include "installfixtures.h"
#include "windowfixture.h"

#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QTableWidget>
#include <QtTest>

// The window's install and update actions, end to end: catalog from a fake server on 127.0.0.1, archives
// packed by the real 7-Zip, the player's answers scripted->
class MainWindowTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void catalogInstallBringsItsDependencyFirst();
    void declinedDependenciesLeaveNothingInstalled();
    void updateReplacesTheFolderAndNamesALeftoverBackup();
    void manualInstallIntoAChosenFolder();
    void uninstallAsksAndRefusesModIoCopies();

private:
    QByteArray archiveOf(const QString &folderName, const QByteArray &name, const QByteArray &version);
    void selectCatalogEntry(const QString &name);
    void installOutdatedBasislok();

    WindowFixture *fixture = nullptr;
    TestEnvironment *environment = nullptr;
    ScriptedPrompts *scripted = nullptr;
    MainWindow *window = nullptr;
    QString userMods;
};

QByteArray MainWindowTest::archiveOf(const QString &folderName, const QByteArray &name,
                                     const QByteArray &version)
{
    const QString source = environment->makeDir("packing/" + folderName);
    WindowFixture::writeModLua(source + "/" + folderName, name, ", version = \"" + version + "\"");
    writeTestFile(source + "/" + folderName + "/res/models/model.mdl", "model");
    const QString archive = environment->root() + "/" + folderName + ".zip";
    if (!packFolder(source, archive))
        return {};
    return readTestFile(archive);
}

void MainWindowTest::init()
{
    if (realSevenZip().isEmpty())
        QSKIP("7zz is not installed");
    fixture = new WindowFixture(R"({"files": [
        {"id": "301", "name": "Reskin Blau", "version": "1.0", "download_url": "files/reskin.zip",
         "dependencies": [{"id": "302", "name": "Basislok", "min_version": "2.0"}]},
        {"id": "302", "name": "Basislok", "version": "2.1", "download_url": "files/basis.zip"}
    ]})");
    environment = &fixture->environment;
    scripted = &fixture->scripted;
    userMods = fixture->userMods;
    fixture->server.setResponse("/files/reskin.zip", 200, archiveOf("reskin_blau", "Reskin Blau", "1.0"));
    fixture->server.setResponse("/files/basis.zip", 200, archiveOf("basislok", "Basislok", "2.1"));
    QVERIFY(fixture->openLoaded());
    window = fixture->window.get();
}

void MainWindowTest::cleanup()
{
    delete fixture;
}

void MainWindowTest::selectCatalogEntry(const QString &name)
{
    window->catalogView.search->setText(name);
    QCOMPARE(window->catalog.at(window->selectedCatalogIndex).name, name);
}

void MainWindowTest::catalogInstallBringsItsDependencyFirst()
{
    selectCatalogEntry("Reskin Blau");
    scripted->choiceAnswers = {0}; // install the missing mod first
    window->installSelectedRepositoryMod();

    QCOMPARE(scripted->messages.size(), 2);
    QVERIFY(scripted->messages[0].startsWith(QStringLiteral("choice|Benötigte Modifikationen|")));
    QVERIFY(scripted->messages[0].contains(QStringLiteral("Basislok")));
    QCOMPARE(scripted->messages[1],
             QStringLiteral("information|Mod installiert|'Reskin Blau' und alle benötigten "
                            "Modifikationen wurden erfolgreich installiert."));
    QVERIFY(QFile::exists(userMods + "/basislok/mod.lua"));
    QVERIFY(QFile::exists(userMods + "/reskin_blau/mod.lua"));
    QVERIFY(!window->installInProgress);
    QVERIFY(window->catalogView.reloadButton->isEnabled());
    QCOMPARE(WindowProbe::catalogRows(*window).first().value(5), QStringLiteral("Installiert"));
}

void MainWindowTest::declinedDependenciesLeaveNothingInstalled()
{
    selectCatalogEntry("Reskin Blau");
    scripted->choiceAnswers = {2}; // cancel
    window->installSelectedRepositoryMod();
    // A cancel is the player's own choice: no failure message, only the status line.
    QCOMPARE(scripted->messages.size(), 1);
    QCOMPARE(window->statusLabel->text(), QStringLiteral("Installation abgebrochen."));
    QVERIFY(QDir(userMods).entryList(QDir::Dirs | QDir::NoDotAndDotDot).isEmpty());
    QVERIFY(window->catalogView.installButton->isEnabled());
}

void MainWindowTest::installOutdatedBasislok()
{
    // Basislok 2.0 installed from the catalog, with a file the new version no longer has.
    WindowFixture::writeModLua(userMods + "/basislok", "Basislok", ", version = \"2.0\"");
    writeTestFile(userMods + "/basislok/res/old_file.txt", "stale");
    RepoMod installed = window->catalog.at(1);
    installed.version = QStringLiteral("2.0");
    QVERIFY(writeInstallMarker(userMods + "/basislok", repositoryInstallMarker(installed, QString())));
    window->rescanLocalMods();
    QVERIFY(WindowProbe::selectUpdate(*window, "Basislok"));
}

// What an update leaves in the mod folder, under faults too, is the install run's business; the page must
// pass it the installed folder and tell the player what came of it.
void MainWindowTest::updateReplacesTheFolderAndNamesALeftoverBackup()
{
    installOutdatedBasislok();
    window->updateSelectedMod();
    QVERIFY(!window->updateInProgress);
    QCOMPARE(scripted->messages.last(),
             QStringLiteral("information|Update abgeschlossen|'Basislok' wurde erfolgreich aktualisiert."));
    QVERIFY(!QFile::exists(userMods + "/basislok/res/old_file.txt"));
    QVERIFY(WindowProbe::updateRows(*window).isEmpty());
    QCOMPARE(window->updatesView.statusLabel->text(), QStringLiteral("Update abgeschlossen: Basislok"));

    // The old version's backup cannot be deleted after the new one is in place.
    window->fileHooks.failAttempt = [](FileOperation operation, const QString &path) {
        return operation == FileOperation::RemoveDirectory && path.contains(QLatin1String(".fx3mm_backup_"))
                   ? QStringLiteral("gesperrt")
                   : QString();
    };
    window->fileHooks.sleep = [](int) {
    };
    for (const bool all : {false, true}) {
        installOutdatedBasislok();
        all ? window->updateAllMods() : window->updateSelectedMod();
        const QString message = scripted->messages.last();
        QVERIFY2(message.startsWith(all ? QStringLiteral("information|Updates abgeschlossen|")
                                        : QStringLiteral("information|Update abgeschlossen|")),
                 qPrintable(message));
        QVERIFY2(message.contains(QDir::toNativeSeparators(userMods + "/.fx3mm_backup_basislok_")),
                 qPrintable(message));
        // The leftover is not offered as a mod of its own.
        QCOMPARE(WindowProbe::column(WindowProbe::installedRows(*window), 0), QStringList{"Basislok"});
        QDir(userMods).removeRecursively();
        QDir().mkpath(userMods);
    }
}

void MainWindowTest::manualInstallIntoAChosenFolder()
{
    QSettings().remove("paths/usermods");
    const QString chosen = environment->makeDir("chosen mods");
    const QString archive = environment->root() + "/basis-manual.zip";
    QVERIFY(QFile::copy(environment->root() + "/basislok.zip", archive));
    window->prompts.chooseOpenFile = [&archive](const QString &, const QString &) {
        return archive;
    };
    window->prompts.chooseFolder = [&chosen](const QString &, const QString &) {
        return chosen;
    };
    window->installManualMod();
    QVERIFY(QFile::exists(chosen + "/basislok/mod.lua"));
    QCOMPARE(QSettings().value("paths/usermods").toString(), chosen);
    // Manual installations carry no marker.
    QVERIFY(!readInstallMarker(chosen + "/basislok").has_value());
    QCOMPARE(scripted->messages.last(),
             QStringLiteral("information|Mod installiert|Der Mod wurde erfolgreich installiert."));
}

void MainWindowTest::uninstallAsksAndRefusesModIoCopies()
{
    WindowFixture::writeModLua(userMods + "/basislok", "Basislok");
    const QString modIoMods = fixture->modIoMods;
    WindowFixture::writeModLua(modIoMods + "/777", "Hub Mod");
    window->rescanLocalMods();
    scripted->messages.clear();
    QCOMPARE(window->localMods.size(), 2);

    QVERIFY(WindowProbe::selectInstalled(*window, "Hub Mod"));
    window->uninstallSelectedLocalMod();
    QVERIFY(scripted->messages.last().startsWith(QStringLiteral("information|mod.io-Mod|")));
    QVERIFY(QFile::exists(modIoMods + "/777/mod.lua"));

    QVERIFY(WindowProbe::selectInstalled(*window, "Basislok"));
    // Deleting is asked with No preselected.
    window->uninstallSelectedLocalMod();
    QCOMPARE(scripted->questionDefaults, QList<bool>{false});
    QVERIFY(QFile::exists(userMods + "/basislok"));
    scripted->questionAnswers = {true};
    window->uninstallSelectedLocalMod();
    QVERIFY(!QFile::exists(userMods + "/basislok"));
    QCOMPARE(window->localMods.size(), 1);
}

QTEST_MAIN(MainWindowTest)
#include "tst_gui_installflow.moc"
