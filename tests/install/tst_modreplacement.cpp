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

    void replacementUnderFaults_data();
    void replacementUnderFaults();
    void uninstall_data();
    void uninstall();

private:
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

// Whatever fails, the player keeps the old version (hidden files and links included), or the new one with a
// word about the backup left over, or is told where the backup lies.
void TestModReplacement::replacementUnderFaults_data()
{
    QTest::addColumn<QString>("outcome");
    QTest::addColumn<bool>("silently"); // a clean update; else the overwrite the player agreed to
    QTest::addColumn<int>("failCopyOfFile");
    QTest::addColumn<QString>("fault"); // "rename " or "remove " and the text of the paths that fail so
    // A clean update copies the 4 new files; an overwrite first copies the 4 old ones to its backup. The
    // third new file stays locked when two are in place.
    QTest::newRow("old version restored") << "restored" << true << 3 << "";
    QTest::newRow("backup cannot be renamed back") << "backup kept" << true << 3 << "rename .fx3mm_backup_";
    QTest::newRow("partial copy cannot be removed") << "backup kept" << true << 3 << "remove /Mod";
    QTest::newRow("no backup possible") << "untouched" << true << 0 << "rename /Mod";
    QTest::newRow("backup cannot be removed") << "warning" << true << 0 << "remove .fx3mm_backup_";
    QTest::newRow("overwrite: old version restored") << "restored" << false << 7 << "";
    QTest::newRow("overwrite: partial copy cannot be removed")
        << "backup kept" << false << 7 << "remove /Mod";
    QTest::newRow("overwrite: backup copy fails") << "untouched" << false << 2 << "";
    QTest::newRow("overwrite: backup cannot be removed")
        << "warning" << false << 0 << "remove .fx3mm_backup_";
    // The question before an overwrite: Yes, No, and No where the caller keeps the existing folder.
    QTest::newRow("overwrite") << "overwritten" << false << 0 << "";
    QTest::newRow("overwrite declined") << "declined" << false << 0 << "";
    QTest::newRow("overwrite declined, existing folder kept") << "kept" << false << 0 << "";
}

void TestModReplacement::replacementUnderFaults()
{
    QFETCH(QString, outcome);
    QFETCH(bool, silently);
    QFETCH(int, failCopyOfFile);
    QFETCH(QString, fault);
    const QString target = m_box->mods + "/Mod";
    writeTree(target, oldVersion);
    QFile::link("models/a.mdl", target + "/res/alias.mdl");
    const Tree before = treeOf(target);
    const QString path = m_box->archive("Mod.zip", below("Mod/", newVersion));

    Faults faults;
    faults.failCopyOfFile = failCopyOfFile;
    faults.failRenameOf = fault.startsWith("rename ") ? fault.mid(7) : QString();
    faults.failRemovalOf = fault.startsWith("remove ") ? fault.mid(7) : QString();
    // Part of a folder is already gone when its removal gives up, as with a file locked half-way through.
    faults.beforeFailedRemoval = [](const QString &folder) {
        QFile::remove(folder + "/mod.lua");
    };
    PlayerAnswers answers;
    answers.overwrite = outcome != "declined" && outcome != "kept";
    InstallOptions options;
    options.replaceTarget = target;
    options.replaceSilently = silently;
    options.declineKeepsExisting = outcome == "kept";
    InstallResult result;
    QString error;
    const bool ok = installFromArchive(path, options, answers.prompts(), &result, &error, faults.hooks());
    QCOMPARE(ok, outcome == "warning" || outcome == "overwritten" || outcome == "kept");
    QCOMPARE(result.copied, outcome == "warning" || outcome == "overwritten");
    QCOMPARE(result.installedPath, ok ? target : QString());
    QCOMPARE(answers.questions,
             silently ? QStringList()
                      : QStringList{"Mod bereits vorhanden: Der Mod 'Mod' ist bereits "
                                    "vorhanden.\n\nVorhandene Dateien aktualisieren/überschreiben?"});
    // The copy stops at the first file that stays locked.
    if (!result.copied)
        QCOMPARE(faults.copiedFiles.size(), failCopyOfFile);

    const QStringList backups = QDir(m_box->mods).entryList({".fx3mm_backup_*"}, QDir::Dirs | QDir::Hidden);
    QCOMPARE(backups.size(), outcome == "warning" || outcome == "backup kept" ? 1 : 0);
    if (outcome == "overwritten" || outcome == "declined" || outcome == "kept") {
        QCOMPARE(treeOf(target), outcome == "overwritten" ? merged(before, newVersion) : before);
        QCOMPARE(error, outcome == "declined" ? "Installation abgebrochen." : "");
        return;
    }
    const QString backup = m_box->mods + '/' + backups.value(0);
    QVERIFY(backups.isEmpty() ||
            QRegularExpression("^\\.fx3mm_backup_Mod_\\d{13}$").match(backups[0]).hasMatch());
    const QString copyError = "Datei konnte nach mehreren Versuchen nicht kopiert werden:\n" +
                              QDir::toNativeSeparators(faults.copiedFiles.value(failCopyOfFile - 1)) +
                              "\n\n" + systemReports() + injected;
    if (outcome == "warning") {
        // An overwrite keeps the files the new version does not bring.
        QCOMPARE(treeOf(target), silently ? newVersion : merged(before, newVersion));
        QCOMPARE(error,
                 "Das Update wurde installiert, aber die Sicherung der alten Version konnte nicht "
                 "vollständig entfernt werden. Bitte lösche den verbliebenen Sicherungsordner von Hand, "
                 "damit die Mod nicht doppelt geladen wird:\n" +
                     QDir::toNativeSeparators(backup) + "\n\n" + injected);
        QCOMPARE(result.warning, error);
        Tree leftover = moved(before, target, backup);
        leftover.remove("mod.lua");
        QCOMPARE(treeOf(backup), leftover);
        QCOMPARE(faults.pauses, (QList<int>{180, 360, 540, 720}));
    } else if (outcome == "untouched") {
        QCOMPARE(error,
                 QString(silently ? "Der vorhandene Mod-Ordner konnte für das saubere Update nicht gesichert "
                                    "werden:\n%1\n\n%2\n\nDie bestehende Installation wurde nicht verändert."
                                  : "Der vorhandene Mod-Ordner konnte vor dem Überschreiben nicht gesichert "
                                    "werden:\n%1\n\n%2\n\nDie bestehende Installation wurde nicht verändert.")
                     .arg(QDir::toNativeSeparators(target), silently ? injected : copyError));
        QCOMPARE(treeOf(target), before);
    } else if (outcome == "restored") {
        QCOMPARE(error, copyError + "\n\nDie vorherige Mod-Version wurde wiederhergestellt.");
        QCOMPARE(treeOf(target), before);
        QCOMPARE(faults.pauses, (QList<int>{180, 360}));
    } else {
        QCOMPARE(error,
                 copyError +
                     "\n\nACHTUNG: Die vorherige Mod-Version konnte nicht automatisch wiederhergestellt "
                     "werden. Sicherung: " +
                     QDir::toNativeSeparators(backup) + '\n' +
                     (fault.startsWith("rename ") ? injected : "Ordner konnte nicht umbenannt werden."));
        QCOMPARE(treeOf(backup), moved(before, target, backup));
    }
}

void TestModReplacement::uninstall_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<int>("expected");
    QTest::addColumn<QString>("layout");
    QTest::newRow("mod.io in another spelling")
        << "MOD.IO (Abo)" << int(UninstallResult::ModIoCopy) << "folder";
    QTest::newRow("folder is a link") << "Manuell" << int(UninstallResult::Removed) << "link";
    QTest::newRow("locked") << "Manuell" << int(UninstallResult::Failed) << "locked";
    QTest::newRow("file-system root") << "Manuell" << int(UninstallResult::Failed) << "root";
}

void TestModReplacement::uninstall()
{
    QFETCH(QString, source);
    QFETCH(int, expected);
    QFETCH(QString, layout);
    const QString outside = m_box->env.makeDir("elsewhere");
    writeTestFile(outside + "/keep.txt", "keep");
    LocalMod mod;
    mod.source = source;
    mod.path = m_box->mods + "/Mod";
    if (layout == "link")
        QVERIFY(QFile::link(outside, mod.path));
    else
        writeTree(mod.path, oldVersion);
    if (layout == "root")
        mod.path = "/";

    Faults faults;
    if (layout == "locked")
        faults.failRemovalOf = "/Mod";
    QString error;
    QCOMPARE(int(uninstallLocalMod(mod, &error, faults.hooks())), expected);
    const bool removed = expected == int(UninstallResult::Removed);
    QCOMPARE(error,
             expected == int(UninstallResult::Failed) ? "Der Modordner konnte nicht gelöscht werden." : "");
    QVERIFY(faults.pauses.isEmpty());
    QCOMPARE(treeOf(m_box->mods + "/Mod"), removed ? Tree() : oldVersion);
    QCOMPARE(QFileInfo::exists(m_box->mods + "/Mod"), !removed);
    QCOMPARE(readTestFile(outside + "/keep.txt"), QByteArray("keep"));
}

QTEST_GUILESS_MAIN(TestModReplacement)
#include "tst_modreplacement.moc"
