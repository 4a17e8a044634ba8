#include "installfixtures.h"

#include <QRegularExpression>

// Installing over an existing mod folder: the question, the clean replacement with its backup, rollback
// under injected file faults, and uninstalling.
class TestModReplacement : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY2(!realSevenZip().isEmpty(), "the tests need 7zz (Debian package 7zip) on the search path");
    }
    void init() { m_box = new InstallSandbox; }
    void cleanup()
    {
        // Nothing of an extraction survives the call, whatever its outcome.
        QCOMPARE(m_box->temporaryLeftovers(), QStringList());
        delete m_box;
        m_box = nullptr;
    }

    void existingFolderQuestion_data();
    void existingFolderQuestion();
    void preCheckDeclineLeavesFolderAlone();
    void cleanReplacement();
    void failedCopyRollsBack_data();
    void failedCopyRollsBack();
    void backupRemovalFailsPartWay();
    void uninstall_data();
    void uninstall();

private:
    InstallSandbox *m_box = nullptr;
};

void TestModReplacement::existingFolderQuestion_data()
{
    QTest::addColumn<bool>("overwrite");
    QTest::addColumn<bool>("declineKeepsExisting");
    QTest::addColumn<bool>("succeeds");
    QTest::newRow("yes: merge") << true << false << true;
    QTest::newRow("no: cancelled") << false << false << false;
    QTest::newRow("no: keep the folder") << false << true << true;
}

void TestModReplacement::existingFolderQuestion()
{
    QFETCH(bool, overwrite);
    QFETCH(bool, declineKeepsExisting);
    QFETCH(bool, succeeds);
    const QString target = m_box->mods + QStringLiteral("/MyMod");
    writeTree(target, oldVersion);
    const Tree archived = below(QStringLiteral("MyMod/"), newVersion);
    const QString path = m_box->archive(QStringLiteral("MyMod-2.0.zip"), archived);

    PlayerAnswers answers;
    answers.overwrite = overwrite;
    InstallOptions options;
    options.declineKeepsExisting = declineKeepsExisting;
    InstallResult result;
    QString error = QStringLiteral("stale");
    QCOMPARE(installFromArchive(path, options, answers.prompts(), &result, &error), succeeds);
    QCOMPARE(answers.questions,
             QStringList{QStringLiteral("Mod bereits vorhanden: Der Mod 'MyMod' ist bereits "
                                        "vorhanden.\n\nVorhandene Dateien "
                                        "aktualisieren/überschreiben?")});
    QCOMPARE(result.copied, overwrite);
    QCOMPARE(result.installedPath, succeeds ? target : QString());
    QCOMPARE(error, succeeds ? QString() : cancelText);
    QVERIFY(isInstallCancelled(error) != succeeds);
    if (overwrite) {
        // Overwritten file by file: files only the old version had stay.
        Tree mergedTree = oldVersion;
        mergedTree.insert(newVersion);
        QCOMPARE(treeOf(target), mergedTree);
    } else {
        QCOMPARE(treeOf(target), oldVersion);
    }
    QVERIFY(backupFolders(m_box->mods).isEmpty());
}

void TestModReplacement::preCheckDeclineLeavesFolderAlone()
{
    const QString target = m_box->mods + QStringLiteral("/Heavy");
    writeTree(target, oldVersion);
    // A mesh without its data file is enough for the report to ask.
    const QString path =
        m_box->archive(QStringLiteral("Heavy.7z"), {{QStringLiteral("Heavy/mod.lua"), "lua"},
                                                    {QStringLiteral("Heavy/res/models/mesh/a.msh"), "x"}});
    Faults faults;
    PlayerAnswers answers;
    answers.installAfterReport = false;
    answers.overwrite = true;
    InstallOptions options;
    options.replaceTarget = target;
    options.replaceSilently = true;
    InstallResult result;
    QString error;
    QVERIFY(!installFromArchive(path, options, answers.prompts(), &result, &error, faults.hooks()));
    QCOMPARE(error, cancelText);
    QCOMPARE(answers.reports, 1);
    QCOMPARE(treeOf(target), oldVersion);
    QVERIFY(backupFolders(m_box->mods).isEmpty());
    QVERIFY(faults.copiedFiles.isEmpty());
    QVERIFY(!result.copied);
}

void TestModReplacement::cleanReplacement()
{
    const QString target = m_box->mods + QStringLiteral("/Installed Name");
    writeTree(target, oldVersion);
    writeTestFile(m_box->mods + QStringLiteral("/Neighbour/mod.lua"), "neighbour");
    const Tree archived = below(QStringLiteral("Renamed In Archive/"), newVersion);
    const QString path = m_box->archive(QStringLiteral("update.zip"), archived);

    Faults faults;
    PlayerAnswers answers;
    InstallOptions options;
    options.replaceTarget = QDir::toNativeSeparators(target) + QStringLiteral("/ ");
    options.replaceSilently = true;
    InstallResult result;
    QString error;
    QVERIFY2(installFromArchive(path, options, answers.prompts(), &result, &error, faults.hooks()),
             qPrintable(error));
    QCOMPARE(result.installedPath, target);
    QVERIFY(result.copied);
    QVERIFY(error.isEmpty());
    // Nothing of the old version is left, nothing was asked, the neighbour is untouched.
    QCOMPARE(treeOf(target), newVersion);
    QVERIFY(answers.questions.isEmpty());
    QVERIFY(backupFolders(m_box->mods).isEmpty());
    QCOMPARE(readTestFile(m_box->mods + QStringLiteral("/Neighbour/mod.lua")), QByteArray("neighbour"));
    QVERIFY(faults.pauses.isEmpty());
}

void TestModReplacement::failedCopyRollsBack_data()
{
    QTest::addColumn<QString>("failRename");
    QTest::addColumn<QString>("failRemoval");
    QTest::addColumn<QString>("outcome");
    QTest::newRow("old version restored") << ""
                                          << ""
                                          << "restored";
    QTest::newRow("backup cannot be renamed back") << ".fx3mm_backup_"
                                                   << ""
                                                   << "backup kept";
    QTest::newRow("partial copy cannot be removed") << ""
                                                    << "/Mod"
                                                    << "backup kept";
    QTest::newRow("no backup possible") << "/Mod"
                                        << ""
                                        << "untouched";
}

void TestModReplacement::failedCopyRollsBack()
{
    QFETCH(QString, failRename);
    QFETCH(QString, failRemoval);
    QFETCH(QString, outcome);
    const QString target = m_box->mods + QStringLiteral("/Mod");
    writeTree(target, oldVersion);
    const Tree archived = below(QStringLiteral("Mod/"), newVersion);
    const QString path = m_box->archive(QStringLiteral("Mod.zip"), archived);

    Faults faults;
    // Two files are in place when the third stays locked.
    faults.failCopyOfFile = 3;
    faults.failRenameOf = failRename;
    faults.failRemovalOf = failRemoval;
    PlayerAnswers answers;
    InstallOptions options;
    options.replaceTarget = target;
    options.replaceSilently = true;
    InstallResult result;
    QString error;
    QVERIFY(!installFromArchive(path, options, answers.prompts(), &result, &error, faults.hooks()));
    QVERIFY(!result.copied);

    const QStringList backups = backupFolders(m_box->mods);
    if (outcome == QLatin1String("untouched")) {
        QCOMPARE(error,
                 QStringLiteral("Der vorhandene Mod-Ordner konnte für das saubere Update nicht gesichert "
                                "werden:\n%1\n\n%2\n\nDie bestehende Installation wurde nicht verändert.")
                     .arg(QDir::toNativeSeparators(target), injected));
        QVERIFY(faults.copiedFiles.isEmpty());
        QCOMPARE(treeOf(target), oldVersion);
        QVERIFY(backups.isEmpty());
        return;
    }

    QCOMPARE(faults.copiedFiles.size(), 3);
    const QString copyError =
        QStringLiteral("Datei konnte nach mehreren Versuchen nicht kopiert werden:\n%1\n\n"
                       "Windows meldet: %2")
            .arg(QDir::toNativeSeparators(faults.copiedFiles.last()), injected);
    if (outcome == QLatin1String("restored")) {
        QCOMPARE(error, copyError + QStringLiteral("\n\nDie vorherige Mod-Version wurde wiederhergestellt."));
        QCOMPARE(treeOf(target), oldVersion);
        QVERIFY(backups.isEmpty());
        QCOMPARE(faults.pauses, (QList<int>{180, 360}));
        return;
    }

    QCOMPARE(backups.size(), 1);
    QVERIFY(QRegularExpression(QStringLiteral("^\\.fx3mm_backup_Mod_\\d{13}$"))
                .match(backups.first())
                .hasMatch());
    const QString backup = m_box->mods + QLatin1Char('/') + backups.first();
    QCOMPARE(error,
             copyError + QStringLiteral("\n\nACHTUNG: Die vorherige Mod-Version konnte nicht automatisch "
                                        "wiederhergestellt werden. Sicherung: %1\n%2")
                             .arg(QDir::toNativeSeparators(backup),
                                  failRename.isEmpty()
                                      ? QStringLiteral("Ordner konnte nicht umbenannt werden.")
                                      : injected));
    QCOMPARE(treeOf(backup), oldVersion);
}

void TestModReplacement::backupRemovalFailsPartWay()
{
    const QString target = m_box->mods + QStringLiteral("/Mod");
    writeTree(target, oldVersion);
    const Tree archived = below(QStringLiteral("Mod/"), newVersion);
    const QString path = m_box->archive(QStringLiteral("Mod.zip"), archived);

    Faults faults;
    faults.failRemovalOf = QStringLiteral(".fx3mm_backup_");
    // Part of the backup is already gone when the removal gives up, as with a file locked half-way through.
    faults.beforeFailedRemoval = [](const QString &backup) {
        QFile::remove(backup + QStringLiteral("/mod.lua"));
    };
    PlayerAnswers answers;
    InstallOptions options;
    options.replaceTarget = target;
    options.replaceSilently = true;
    InstallResult result;
    QString error;
    QVERIFY(installFromArchive(path, options, answers.prompts(), &result, &error, faults.hooks()));
    QVERIFY(result.copied);
    QCOMPARE(result.installedPath, target);
    QCOMPARE(treeOf(target), newVersion);

    const QStringList backups = backupFolders(m_box->mods);
    QCOMPARE(backups.size(), 1);
    const QString backup = m_box->mods + QLatin1Char('/') + backups.first();
    QCOMPARE(result.warning,
             QStringLiteral(
                 "Das Update wurde installiert, aber die Sicherung der alten Version konnte nicht "
                 "vollständig entfernt werden. Bitte lösche den verbliebenen Sicherungsordner von Hand, "
                 "damit die Mod nicht doppelt geladen wird:\n%1\n\n%2")
                 .arg(QDir::toNativeSeparators(backup), injected));
    QCOMPARE(error, result.warning);
    Tree leftover = oldVersion;
    leftover.remove(QStringLiteral("mod.lua"));
    QCOMPARE(treeOf(backup), leftover);
    QCOMPARE(faults.pauses, (QList<int>{180, 360, 540, 720}));
}

void TestModReplacement::uninstall_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("layout");
    QTest::addColumn<int>("expected");
    const int removed = int(UninstallResult::Removed);
    const int modIo = int(UninstallResult::ModIoCopy);
    const int failed = int(UninstallResult::Failed);
    QTest::newRow("manual mod") << "Manuell"
                                << "folder" << removed;
    QTest::newRow("mod.io copy") << "mod.io"
                                 << "folder" << modIo;
    QTest::newRow("mod.io in another spelling") << "MOD.IO (Abo)"
                                                << "folder" << modIo;
    QTest::newRow("already gone") << "Manuell"
                                  << "missing" << removed;
    QTest::newRow("folder is a link") << "Manuell"
                                      << "link" << removed;
    QTest::newRow("locked") << "Manuell"
                            << "locked" << failed;
    QTest::newRow("no folder") << "Manuell"
                               << "empty path" << failed;
    QTest::newRow("file-system root") << "Manuell"
                                      << "root" << failed;
}

void TestModReplacement::uninstall()
{
    QFETCH(QString, source);
    QFETCH(QString, layout);
    QFETCH(int, expected);
    const QString outside = m_box->env.makeDir(QStringLiteral("elsewhere"));
    writeTestFile(outside + QStringLiteral("/keep.txt"), "keep");
    LocalMod mod;
    mod.source = source;
    mod.path = m_box->mods + QStringLiteral("/Mod");
    if (layout == QLatin1String("link"))
        QVERIFY(QFile::link(outside, mod.path));
    else if (layout != QLatin1String("missing"))
        writeTree(mod.path, oldVersion);
    if (layout == QLatin1String("empty path"))
        mod.path.clear();
    else if (layout == QLatin1String("root"))
        mod.path = QStringLiteral("/");

    Faults faults;
    if (layout == QLatin1String("locked"))
        faults.failRemovalOf = QStringLiteral("/Mod");
    QString error;
    QCOMPARE(int(uninstallLocalMod(mod, &error, faults.hooks())), expected);
    QCOMPARE(error, expected == int(UninstallResult::Failed)
                        ? QStringLiteral("Der Modordner konnte nicht gelöscht werden.")
                        : QString());
    QVERIFY(faults.pauses.isEmpty());
    if (expected != int(UninstallResult::Removed))
        QCOMPARE(treeOf(m_box->mods + QStringLiteral("/Mod")), oldVersion);
    else
        QVERIFY(!QFileInfo::exists(m_box->mods + QStringLiteral("/Mod")));
    QCOMPARE(readTestFile(outside + QStringLiteral("/keep.txt")), QByteArray("keep"));
}

QTEST_GUILESS_MAIN(TestModReplacement)
#include "tst_modreplacement.moc"
