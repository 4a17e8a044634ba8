#include "installfixtures.h"

#include <QRegularExpression>

// Replacing an existing mod folder under injected file faults, and uninstalling.
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

    void failedCopyRollsBack_data();
    void failedCopyRollsBack();
    void backupRemovalFailsPartWay_data();
    void backupRemovalFailsPartWay();
    void uninstall_data();
    void uninstall();

private:
    // Puts oldVersion, with a relative link in it, into mods/Mod and returns what that looks like.
    Tree installOldVersion()
    {
        const QString target = m_box->mods + QStringLiteral("/Mod");
        writeTree(target, oldVersion);
        QFile::link(QStringLiteral("models/a.mdl"), target + QStringLiteral("/res/alias.mdl"));
        return treeOf(target);
    }

    // Replaces mods/Mod with newVersion: silently as a clean update, else as the overwrite the player agreed
    // to.
    bool replaceMod(Faults &faults, bool silently, InstallResult *result, QString *error)
    {
        const QString path =
            m_box->archive(QStringLiteral("Mod.zip"), below(QStringLiteral("Mod/"), newVersion));
        PlayerAnswers answers;
        answers.overwrite = true;
        InstallOptions options;
        options.replaceTarget = m_box->mods + QStringLiteral("/Mod");
        options.replaceSilently = silently;
        return installFromArchive(path, options, answers.prompts(), result, error, faults.hooks());
    }

    InstallSandbox *m_box = nullptr;
};

namespace {
// tree as read again after its folder moved from one place to another: links show the new place.
Tree moved(Tree tree, const QString &from, const QString &to)
{
    for (QByteArray &value : tree) {
        if (value.startsWith("-> "))
            value = QString::fromUtf8(value).replace(from, to).toUtf8();
    }
    return tree;
}
} // namespace

// Whatever fails, the player keeps the old version (hidden files and links included) or is told where its
// backup lies.
void TestModReplacement::failedCopyRollsBack_data()
{
    QTest::addColumn<bool>("silently");
    QTest::addColumn<int>("failCopyOfFile");
    QTest::addColumn<QString>("failRename");
    QTest::addColumn<QString>("failRemoval");
    QTest::addColumn<QString>("outcome");
    // A clean update copies the 4 new files; an overwrite first copies the 4 old files to its backup.
    QTest::newRow("old version restored") << true << 3 << ""
                                          << ""
                                          << "restored";
    QTest::newRow("backup cannot be renamed back") << true << 3 << ".fx3mm_backup_"
                                                   << ""
                                                   << "backup kept";
    QTest::newRow("partial copy cannot be removed") << true << 3 << ""
                                                    << "/Mod"
                                                    << "backup kept";
    QTest::newRow("no backup possible") << true << 3 << "/Mod"
                                        << ""
                                        << "untouched";
    QTest::newRow("overwrite: old version restored") << false << 7 << ""
                                                     << ""
                                                     << "restored";
    QTest::newRow("overwrite: partial copy cannot be removed") << false << 7 << ""
                                                               << "/Mod"
                                                               << "backup kept";
    QTest::newRow("overwrite: backup copy fails") << false << 2 << ""
                                                  << ""
                                                  << "untouched";
}

void TestModReplacement::failedCopyRollsBack()
{
    QFETCH(bool, silently);
    QFETCH(int, failCopyOfFile);
    QFETCH(QString, failRename);
    QFETCH(QString, failRemoval);
    QFETCH(QString, outcome);
    const QString target = m_box->mods + QStringLiteral("/Mod");
    const Tree before = installOldVersion();

    Faults faults;
    // Two new files are in place when the third stays locked.
    faults.failCopyOfFile = failCopyOfFile;
    faults.failRenameOf = failRename;
    faults.failRemovalOf = failRemoval;
    InstallResult result;
    QString error;
    QVERIFY(!replaceMod(faults, silently, &result, &error));
    QVERIFY(!result.copied);

    const QStringList backups = backupFolders(m_box->mods);
    const QString copyError =
        QStringLiteral("Datei konnte nach mehreren Versuchen nicht kopiert werden:\n%1\n\n") +
        systemReports() + injected;
    const QString failedFile =
        faults.copiedFiles.isEmpty() ? QString() : QDir::toNativeSeparators(faults.copiedFiles.last());
    if (outcome == QLatin1String("untouched")) {
        QCOMPARE(error,
                 (silently ? QStringLiteral("Der vorhandene Mod-Ordner konnte für das saubere Update "
                                            "nicht gesichert werden:\n%1\n\n%2\n\nDie bestehende "
                                            "Installation wurde nicht verändert.")
                           : QStringLiteral("Der vorhandene Mod-Ordner konnte vor dem Überschreiben "
                                            "nicht gesichert werden:\n%1\n\n%2\n\nDie bestehende "
                                            "Installation wurde nicht verändert."))
                     .arg(QDir::toNativeSeparators(target), silently ? injected : copyError.arg(failedFile)));
        QCOMPARE(faults.copiedFiles.size(), silently ? 0 : 2);
        QCOMPARE(treeOf(target), before);
        QVERIFY(backups.isEmpty());
        return;
    }

    QCOMPARE(faults.copiedFiles.size(), failCopyOfFile);
    if (outcome == QLatin1String("restored")) {
        QCOMPARE(error, copyError.arg(failedFile) +
                            QStringLiteral("\n\nDie vorherige Mod-Version wurde wiederhergestellt."));
        QCOMPARE(treeOf(target), before);
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
             copyError.arg(failedFile) +
                 QStringLiteral("\n\nACHTUNG: Die vorherige Mod-Version konnte nicht automatisch "
                                "wiederhergestellt werden. Sicherung: %1\n%2")
                     .arg(QDir::toNativeSeparators(backup),
                          failRename.isEmpty() ? QStringLiteral("Ordner konnte nicht umbenannt werden.")
                                               : injected));
    QCOMPARE(treeOf(backup), moved(before, target, backup));
}

void TestModReplacement::backupRemovalFailsPartWay_data()
{
    QTest::addColumn<bool>("silently");
    QTest::newRow("clean update") << true;
    QTest::newRow("overwrite") << false;
}

void TestModReplacement::backupRemovalFailsPartWay()
{
    QFETCH(bool, silently);
    const QString target = m_box->mods + QStringLiteral("/Mod");
    const Tree before = installOldVersion();

    Faults faults;
    faults.failRemovalOf = QStringLiteral(".fx3mm_backup_");
    // Part of the backup is already gone when the removal gives up, as with a file locked half-way through.
    faults.beforeFailedRemoval = [](const QString &backup) {
        QFile::remove(backup + QStringLiteral("/mod.lua"));
    };
    InstallResult result;
    QString error;
    QVERIFY(replaceMod(faults, silently, &result, &error));
    QVERIFY(result.copied);
    QCOMPARE(result.installedPath, target);
    // An overwrite keeps the files the new version does not bring.
    QCOMPARE(treeOf(target), silently ? newVersion : merged(before, newVersion));

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
    Tree leftover = moved(before, target, backup);
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
    QTest::newRow("mod.io in another spelling") << "MOD.IO (Abo)"
                                                << "folder" << modIo;
    QTest::newRow("folder is a link") << "Manuell"
                                      << "link" << removed;
    QTest::newRow("locked") << "Manuell"
                            << "locked" << failed;
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
    else
        writeTree(mod.path, oldVersion);
    if (layout == QLatin1String("root"))
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
