#include "app/apptranslator.h"
#include "install/fileoperations.h"
#include "installfixtures.h"
#include "storedzip.h"

#include <QCoreApplication>
#include <QRegularExpression>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

// From the archive to the installed folder: volumes, mod root and name, entry names, archives that must
// install nothing; replacing an existing mod folder under injected file faults, uninstalling, and the file
// operations beneath.
class TestInstaller : public QObject
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

    void modNames_data();
    void modNames();
    void modRootAndName_data();
    void modRootAndName();
    void zipEntryNames_data();
    void zipEntryNames();
    void archivesThatInstallNothing_data();
    void archivesThatInstallNothing();
    void baseFolder_data();
    void baseFolder();
    void englishTexts();
    void replacementUnderFaults_data();
    void replacementUnderFaults();
    void uninstall_data();
    void uninstall();
    void hookReachesEveryRetryLoop_data();
    void hookReachesEveryRetryLoop();
    void copyAndLinks();
    void exactCopy_data();
    void exactCopy();
    void removeKeepsLinkTargets();
    void renameWithinParentOnly();
    void entriesLeavingFolder_data();
    void entriesLeavingFolder();

private:
    InstallSandbox *m_box = nullptr;
};

void TestInstaller::modNames_data()
{
    QTest::addColumn<QStringList>("archiveAndName");
    QTest::newRow("dots in the name") << QStringList{"My.Mod.v2.7z", "My.Mod.v2"};
    QTest::newRow("first rar part, padded") << QStringList{"Pack.PART001.rar", "Pack"};
    QTest::newRow("blank") << QStringList{" .zip", "manual_mod"};
    // Named "..", the mod would go into the parent of the mods folder.
    QTest::newRow("parent folder") << QStringList{"...zip", "manual_mod"};
    QTest::newRow("same folder") << QStringList{"..zip", "manual_mod"};
}

void TestInstaller::modNames()
{
    QFETCH(QStringList, archiveAndName);
    QCOMPARE(safeModFolderName(archiveModName(archiveAndName[0])), archiveAndName[1]);
    QCOMPARE(backupFolderName("Mod%2", 1700000000123), QString(".fx3mm_backup_Mod%2_1700000000123"));
}

void TestInstaller::modRootAndName_data()
{
    QTest::addColumn<QString>("chosen"); // the file the player picks; the archive is made as its first volume
    QTest::addColumn<Tree>("content");
    QTest::addColumn<QString>("folderName");
    QTest::addColumn<Tree>("installed");

    const Tree mod = {{"mod.lua", "lua"}, {"res/a.txt", "a"}};
    QTest::newRow("single folder, any name") << "download-123.zip" << below("MyMod/", mod) << "MyMod" << mod;
    QTest::newRow("readme beside the mod folder")
        << "bundle.zip" << merged(below("Cool_1/", mod), {{"readme.txt", "read me"}}) << "Cool_1" << mod;
    QTest::newRow("first mod folder by name")
        << "two.zip" << merged(below("b_mod/", mod), below("a_mod/", mod)) << "a_mod" << mod;
    const Tree loose = {{"one/x.txt", "x"}, {"two/y.txt", "y"}};
    QTest::newRow("no mod folder: everything, named after the archive")
        << "Pack.part1.zip" << loose << "Pack" << loose;
    const Tree big = {{"mod.lua", "lua"}, {"res/big.dds", noise(300000)}};
    QTest::newRow("second volume chosen") << "pack.7z.002" << big << "pack" << big;
}

void TestInstaller::modRootAndName()
{
    QFETCH(QString, chosen);
    QFETCH(Tree, content);
    QFETCH(QString, folderName);
    QFETCH(Tree, installed);
    const bool volumes = chosen.endsWith(".002");
    const QString first = m_box->archive(volumes ? chosen.chopped(4) : chosen, content,
                                         volumes ? QStringList{"-v100k"} : QStringList());
    QVERIFY(QFile::exists(volumes ? first + ".003" : first));

    PlayerAnswers answers;
    InstallResult result;
    QString error;
    QVERIFY2(
        installFromArchive(QFileInfo(first).path() + '/' + chosen, {}, answers.prompts(), &result, &error),
        qPrintable(error));
    QCOMPARE(result.installedPath, m_box->mods + '/' + folderName);
    QVERIFY(result.copied && result.warning.isEmpty());
    QCOMPARE(treeOf(m_box->mods), below(folderName + '/', installed));
    QVERIFY(answers.questions.isEmpty());
}

// A ZIP made by an old Windows tool stores "ö" as one byte of the DOS code page and leaves the UTF-8 flag
// unset; the mod must still arrive with the names Windows shows.
void TestInstaller::zipEntryNames_data()
{
    QTest::addColumn<QByteArray>("o");     // "ö" as stored
    QTest::addColumn<QByteArray>("sharp"); // "ß" as stored
    QTest::addColumn<bool>("utf8Flag");
    QTest::newRow("DOS code page 850, no UTF-8 flag") << QByteArray("\x94") << QByteArray("\xE1") << false;
    QTest::newRow("UTF-8 without the flag") << QByteArray("\xC3\xB6") << QByteArray("\xC3\x9F") << false;
    QTest::newRow("UTF-8 with the flag") << QByteArray("\xC3\xB6") << QByteArray("\xC3\x9F") << true;
}

void TestInstaller::zipEntryNames()
{
    QFETCH(QByteArray, o);
    QFETCH(QByteArray, sharp);
    QFETCH(bool, utf8Flag);
    const QString path = m_box->env.makeDir("downloads") + "/Mod.zip";
    QVERIFY(writeStoredZip(path,
                           {{"Mod/mod.lua", "lua"},
                            {"Mod/Bahnh" + o + "fe.mdl", "model"},
                            {"Mod/Stra" + sharp + "e/", ""},
                            {"Mod/Stra" + sharp + "e/Gr" + o + sharp + "e.txt", "size"}},
                           utf8Flag));
    PlayerAnswers answers;
    InstallResult result;
    QString error;
    QVERIFY2(installFromArchive(path, {}, answers.prompts(), &result, &error), qPrintable(error));
    QCOMPARE(treeOf(result.installedPath),
             (Tree{{"mod.lua", "lua"}, {"Bahnhöfe.mdl", "model"}, {"Straße/Größe.txt", "size"}}));
}

// Archives that must install nothing, and leave the installed version as it was. Some are played by a
// stand-in for extractors other than 7-Zip, which honour links and ".." entries, or leave names this system
// cannot hold as text (7-Zip on Linux writes the bytes of any name it cannot convert).
void TestInstaller::archivesThatInstallNothing_data()
{
    QTest::addColumn<QByteArray>("standIn"); // what the stand-in extractor does; empty: the real 7-Zip
    QTest::addColumn<Tree>("content");       // packed with 7-Zip; empty: a damaged 7z file
    QTest::addColumn<QStringList>("links");  // link path, then its target
    QTest::addColumn<QString>("errorStart");
    const Tree modLua = {{"Mod/mod.lua", "lua"}};
    const QString noFiles = "Das Archiv enthält keine Mod-Dateien";
    const QString unsafe =
        "Das Archiv enthält unsichere Einträge, die aus dem Mod-Ordner herausführen (z. B. "
        "symbolische Links oder Pfade mit \"..\"). Aus Sicherheitsgründen wurde nichts "
        "installiert.\n\nBetroffener Eintrag: ";
    const QStringList none;
    QTest::newRow("corrupt 7z") << QByteArray() << Tree() << none << "Die Datei ist kein Archiv";
    QTest::newRow("absolute link (7-Zip re-roots it into nothing)")
        << QByteArray() << modLua << QStringList{"Mod/res", "$ROOT/secret.txt"} << unsafe + "Mod/res";
    QTest::newRow("only an empty folder") << QByteArray() << Tree{{"Mod/", ""}} << none << noFiles;
    QTest::newRow("only hidden files")
        << QByteArray() << Tree{{"Mod/.git/config", "x"}, {"Mod/.hidden", "h"}, {"Mod/res/", ""}} << none
        << noFiles;
    QTest::newRow("volumes, the first one missing")
        << QByteArray() << Tree{{"Mod/res/big.dds", noise(300000)}} << none
        << "Dies ist nicht der erste Teil eines mehrteiligen Archivs.\n\nBitte stelle alle Archivteile im "
           "selben Ordner bereit und wähle den ersten Teil aus.";
    QTest::newRow("link to a system folder")
        << QByteArray("/bin/ln -s /etc \"$dest/Mod/res/etc\"\n") << Tree() << none
        << unsafe + QDir::toNativeSeparators("Mod/res/etc");
    // 7-Zip 26 refuses every link with ".." in it; older versions and other tools do not.
    QTest::newRow("link leaving the mod folder but not the archive")
        << QByteArray("/bin/mkdir \"$dest/Other\"\necho x > \"$dest/Other/x.txt\"\n"
                      "/bin/ln -s ../../Other \"$dest/Mod/res/other\"\n")
        << Tree() << none << unsafe + QDir::toNativeSeparators("Mod/res/other");
    QTest::newRow("entry written beside the folder")
        << QByteArray("echo evil > \"$dest/../escaped.txt\"\n") << Tree() << none
        << unsafe + QDir::toNativeSeparators("../escaped.txt");
    QTest::newRow("name that is not UTF-8, not from a ZIP")
        << QByteArray("echo x > \"$dest/Mod/res/Bahnh$(printf '\\224')fe.mdl\"\n") << Tree() << none
        << "Das Archiv enthält einen Namen, der auf diesem System nicht dargestellt werden kann. Es wurde "
           "nichts installiert.\n\nBetroffener Eintrag: " +
               QDir::toNativeSeparators("Mod/res/Bahnh\uFFFDfe.mdl");
}

void TestInstaller::archivesThatInstallNothing()
{
    QFETCH(QByteArray, standIn);
    QFETCH(Tree, content);
    QFETCH(QStringList, links);
    QFETCH(QString, errorStart);
    writeTree(m_box->mods + "/Mod", oldVersion);
    QString path = m_box->env.makeDir("downloads") + "/Mod.7z";
    const QString source = m_box->env.makeDir("source");
    writeTree(source, content);
    m_box->env.writeFile("secret.txt", "s");
    for (int i = 0; i + 1 < links.size(); i += 2)
        QVERIFY(
            QFile::link(QString(links[i + 1]).replace("$ROOT", m_box->env.root()), source + '/' + links[i]));
    if (!standIn.isEmpty()) {
        useStandInExtractor(m_box->env,
                            "/bin/mkdir -p \"$dest/Mod/res\"\necho lua > \"$dest/Mod/mod.lua\"\n" + standIn);
        writeTestFile(path, "stand-in");
    } else if (content.isEmpty()) {
        writeTestFile(path, QByteArray("7z\xBC\xAF\x27\x1C", 6) + noise(2000));
    } else if (content.contains("Mod/res/big.dds")) {
        QVERIFY(packFolder(source, path, {"-v100k"}));
        QVERIFY(QFile::remove(path + ".001"));
        path += ".002";
    } else {
        QVERIFY(packFolder(source, path, {"-snl"}));
    }

    Faults faults;
    PlayerAnswers answers;
    InstallOptions options;
    options.replaceTarget = m_box->mods + "/Mod";
    options.replaceSilently = true;
    InstallResult result;
    QString error;
    QVERIFY(!installFromArchive(path, options, answers.prompts(), &result, &error, faults.hooks()));
    QVERIFY2(error.startsWith(errorStart), qPrintable(error));
    QVERIFY(!result.copied && result.installedPath.isEmpty());
    QCOMPARE(treeOf(m_box->mods), below("Mod/", oldVersion));
    QVERIFY(faults.copiedFiles.isEmpty());
    QCOMPARE(answers.reports, 0);
}

// Where a mod goes: into the stored mods folder, else into one the player chooses, which is then stored. An
// update goes beside the folder it replaces, whatever is stored, and nobody is asked.
void TestInstaller::baseFolder_data()
{
    // The stored mods folder, the player's choice and the folder to replace, below the test's root ("":
    // none), then where the mod lands or the error ("%1": the test's root).
    QTest::addColumn<QStringList>("row");
    QTest::newRow("stored folder") << QStringList{"mods", "", "", "mods/Mod"};
    QTest::newRow("stored folder gone: asked") << QStringList{"gone", "picked", "", "picked/Mod"};
    QTest::newRow("nothing chosen") << QStringList{"", "", "", "Kein Zielordner ausgewählt."};
    QTest::newRow("update of a folder that is gone")
        << QStringList{"mods", "picked", "unplugged/mods/Mod",
                       "Der Ordner der zu ersetzenden Mod existiert nicht mehr:\n%1/unplugged/mods"};
}

void TestInstaller::baseFolder()
{
    QFETCH(QStringList, row);
    const QString root = m_box->env.root();
    const auto at = [&root](const QString &relative) {
        return relative.isEmpty() ? relative : root + '/' + relative;
    };
    m_box->env.makeDir("picked");
    QSettings().setValue("paths/usermods", at(row[0]));
    PlayerAnswers answers;
    answers.chosenFolder = at(row[1]);
    InstallOptions options;
    options.replaceTarget = at(row[2]);
    options.replaceSilently = true;
    InstallResult result;
    QString error;
    const bool ok = installFromArchive(m_box->archive("Mod.zip", {{"Mod/mod.lua", "lua"}}), options,
                                       answers.prompts(), &result, &error);
    const bool asked = row[0] != "mods";
    QCOMPARE(answers.questions,
             asked ? QStringList{"Zielordner für Mods auswählen @ " + at(row[0])} : QStringList());
    QCOMPARE(error, ok ? QString() : QDir::toNativeSeparators(QString(row[3]).replace("%1", root)));
    QCOMPARE(treeOf(root + "/mods").size() + treeOf(root + "/picked").size(), ok ? 1 : 0);
    QVERIFY(!ok || treeOf(at(row[3])).contains("mod.lua"));
    QCOMPARE(QSettings().value("paths/usermods").toString(), asked && ok ? at(row[1]) : at(row[0]));
    QVERIFY(!QFileInfo::exists(root + "/unplugged"));
}

// The cancel must still be recognised as one when its text is shown in English.
void TestInstaller::englishTexts()
{
    AppTranslator english("en");
    QCoreApplication::installTranslator(&english);
    const QString cancelled = installCancelledText();
    const bool recognised = isInstallCancelled(cancelled) && isInstallCancelled("Installation abgebrochen.");
    QCoreApplication::removeTranslator(&english);
    QCOMPARE(cancelled, QString("Installation cancelled."));
    QVERIFY(recognised && !isInstallCancelled("Update abgebrochen."));
}

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
void TestInstaller::replacementUnderFaults_data()
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

void TestInstaller::replacementUnderFaults()
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

void TestInstaller::uninstall_data()
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

void TestInstaller::uninstall()
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

// Every retried operation asks the hook before each attempt, gives up after its number of attempts with the
// growing pauses in between, and succeeds as soon as an attempt is let through.
void TestInstaller::hookReachesEveryRetryLoop_data()
{
    QTest::addColumn<int>("operation");
    QTest::addColumn<int>("failures");
    QTest::addColumn<bool>("succeeds");
    QTest::addColumn<QList<int>>("pauses");
    const QList<int> four = {180, 360, 540, 720};
    QTest::newRow("copy: third attempt") << int(FileOperation::CopyFile) << 2 << true << QList<int>{180, 360};
    QTest::newRow("copy: locked") << int(FileOperation::CopyFile) << 3 << false << QList<int>{180, 360};
    QTest::newRow("remove file: locked") << int(FileOperation::RemoveFile) << 5 << false << four;
    QTest::newRow("rename: second attempt")
        << int(FileOperation::RenameDirectory) << 1 << true << QList<int>{180};
    QTest::newRow("rename: locked") << int(FileOperation::RenameDirectory) << 5 << false << four;
    QTest::newRow("remove tree: fifth attempt") << int(FileOperation::RemoveDirectory) << 4 << true << four;
}

void TestInstaller::hookReachesEveryRetryLoop()
{
    QFETCH(int, operation);
    QFETCH(int, failures);
    QFETCH(bool, succeeds);
    QFETCH(QList<int>, pauses);
    const TestEnvironment &env = m_box->env;
    const QString source = env.makeDir("source");
    writeTestFile(source + "/mod.lua", "new");
    const QString target = env.makeDir("mods/Mod");
    const QString file = target + "/mod.lua";
    writeTestFile(file, "old");

    Faults script;
    script.counted = FileOperation(operation);
    script.failFirst = failures;
    QString error;
    bool ok = false;
    switch (*script.counted) {
    case FileOperation::CopyFile:
        // The file in the target is replaced first (that removal succeeds), then the copy is retried.
        ok = copyDirectoryWithRetries(source, target, &error, script.hooks());
        QCOMPARE(QFile::exists(file), succeeds);
        break;
    case FileOperation::RemoveFile:
        ok = removeFileWithRetries(file, &error, script.hooks());
        QCOMPARE(QFile::exists(file), !succeeds);
        break;
    case FileOperation::RenameDirectory:
        ok = renameDirectory(target, env.root() + "/mods/Renamed", &error, script.hooks());
        QCOMPARE(QFileInfo::exists(target), !succeeds);
        break;
    case FileOperation::RemoveDirectory:
        ok = removeDirectoryTree(target, &error, script.hooks());
        QCOMPARE(QFileInfo::exists(target), !succeeds);
        break;
    }
    QCOMPARE(ok, succeeds);
    const bool onFile =
        *script.counted == FileOperation::CopyFile || *script.counted == FileOperation::RemoveFile;
    QCOMPARE(script.attempts, QStringList(succeeds ? failures + 1 : failures, onFile ? file : target));
    QCOMPARE(script.pauses, pauses);
    if (succeeds || operation != int(FileOperation::CopyFile))
        QCOMPARE(error, succeeds ? QString() : injected);
    else
        QCOMPARE(error, "Datei konnte nach mehreren Versuchen nicht kopiert werden:\n" +
                            QDir::toNativeSeparators(file) + "\n\n" + systemReports() + injected);
}

// The copy never reads or writes through a link: a file link inside the source becomes a plain file, a
// folder link inside it is not copied a second time, a link leading out of it fails the copy, and a link in
// the target is replaced rather than written through.
void TestInstaller::copyAndLinks()
{
    const TestEnvironment &env = m_box->env;
    const QString outside = env.makeDir("outside");
    writeTestFile(outside + "/keep.txt", "keep");
    const QString source = env.makeDir("source");
    writeTree(source, {{"mod.lua", "lua"}, {"res/real/a.txt", "a"}});
    QVERIFY(QFile::link("mod.lua", source + "/alias.lua"));
    QVERIFY(QFile::link("real", source + "/res/linked"));
    const QString target = env.makeDir("mods/Mod");
    QVERIFY(QFile::link(outside, target + "/res"));
    QVERIFY(QFile::link(outside + "/keep.txt", target + "/mod.lua"));

    QString error;
    QVERIFY2(copyDirectoryWithRetries(source, target, &error), qPrintable(error));
    QCOMPARE(treeOf(target), (Tree{{"alias.lua", "lua"}, {"mod.lua", "lua"}, {"res/real/a.txt", "a"}}));
    QVERIFY(!QFileInfo(target + "/res").isSymbolicLink() && !QFileInfo(target + "/mod.lua").isSymbolicLink());
    QCOMPARE(treeOf(outside), (Tree{{"keep.txt", "keep"}}));

    QVERIFY(QFile::link(outside + "/keep.txt", source + "/res/token.txt"));
    QVERIFY(!copyDirectoryWithRetries(source, env.root() + "/mods/Other", &error));
    QCOMPARE(error, "Symbolischer Link zeigt aus dem Quellordner heraus: " +
                        QDir::toNativeSeparators(source + "/res/token.txt"));
    QVERIFY(!QFileInfo::exists(env.root() + "/mods/Other/res/token.txt"));
}

// The backup of a folder: everything, hidden entries and links as they are, or a failure naming what it
// cannot take along; a backup missing an entry would lose it when it is put back.
void TestInstaller::exactCopy_data()
{
    QTest::addColumn<QString>("odd"); // an entry the copy cannot take along
    QTest::newRow("hidden entries and links") << "";
    QTest::newRow("pipe") << "res/pipe";
    QTest::newRow("name that is not UTF-8") << "res/Bahnh\uFFFDfe.mdl";
}

void TestInstaller::exactCopy()
{
    QFETCH(QString, odd);
    const TestEnvironment &env = m_box->env;
    const QString source = env.makeDir("mods/Mod");
    writeTree(source,
              {{".fx3modmanager.json", "{}"}, {".git/HEAD", "x"}, {"res/a.mdl", "a"}, {"empty/", ""}});
    QVERIFY(QFile::link("a.mdl", source + "/res/alias.mdl"));
    QVERIFY(QFile::link(env.makeDir("outside"), source + "/outside"));
#ifdef Q_OS_UNIX
    const QByteArray odd8 = QFile::encodeName(source) + (odd.contains(u'\uFFFD') ? "/res/Bahnh\x94"
                                                                                   "fe.mdl"
                                                                                 : "/res/pipe");
    if (!odd.isEmpty())
        QVERIFY(odd.endsWith("pipe") ? ::mkfifo(odd8.constData(), 0600) == 0
                                     : ::close(::creat(odd8.constData(), 0600)) == 0);
#endif
    const QString target = env.root() + "/mods/.backup";

    QString error;
    QCOMPARE(copyDirectoryExactly(source, target, &error), odd.isEmpty());
    if (odd.isEmpty()) {
        QCOMPARE(treeOf(target), (Tree{{".fx3modmanager.json", "{}"},
                                       {".git/HEAD", "x"},
                                       {"res/a.mdl", "a"},
                                       {"res/alias.mdl", "-> " + target.toUtf8() + "/res/a.mdl"}}));
        QCOMPARE(QFileInfo(target + "/outside").symLinkTarget(), env.root() + "/outside");
        QVERIFY(QFileInfo(target + "/empty").isDir());
    } else {
        QCOMPARE(error,
                 "Eintrag konnte nicht gesichert werden: " + QDir::toNativeSeparators(source + '/' + odd));
    }
#ifdef Q_OS_UNIX
    ::unlink(odd8.constData()); // a name the temporary folder's clean-up cannot remove
#endif
}

// Removing a link removes only the link: neither the target's content nor its write protection changes.
void TestInstaller::removeKeepsLinkTargets()
{
    const TestEnvironment &env = m_box->env;
    const QString outside = env.makeDir("outside");
    const QString outsideFile = env.writeFile("outside/data.txt", "data");
    QFile::setPermissions(outsideFile, QFileDevice::ReadOwner);
    const QString tree = env.makeDir("mods/Mod");
    writeTestFile(tree + "/sub/.hidden", "h");
    QFile::setPermissions(tree + "/sub/.hidden", QFileDevice::ReadOwner);
    QVERIFY(QFile::link(outside, tree + "/sub/out"));
    QVERIFY(QFile::link(outsideFile, tree + "/file"));
    QVERIFY(removeDirectoryTree(tree) && !QFileInfo::exists(tree));

    const QString fileLink = env.root() + "/mods/entry";
    QVERIFY(QFile::link(outsideFile, fileLink));
    QString error = "stale";
    QVERIFY(removeFileWithRetries(fileLink, &error));
    QVERIFY(error.isEmpty() && !QFileInfo(fileLink).isSymbolicLink());

    // A mod folder that is itself a link loses only the link.
    const QString linkedMod = env.root() + "/mods/Linked";
    QVERIFY(QFile::link(outside, linkedMod));
    QVERIFY(removeDirectoryTree(linkedMod) && !QFileInfo(linkedMod).isSymbolicLink());
    QCOMPARE(treeOf(outside), (Tree{{"data.txt", "data"}}));
    // The owner bits, not the "user" ones: those describe the running user, and root may write anything.
    QVERIFY(!(QFile::permissions(outsideFile) & QFileDevice::WriteOwner));

    // The place must be free afterwards, not merely "no folder there".
    const QString file = env.writeFile("mods/NotAFolder", "x");
    QVERIFY(removeDirectoryTree(file) && !QFileInfo::exists(file));
}

// A backup beside the mod folder only: a rename elsewhere could become a slow copy across drives.
void TestInstaller::renameWithinParentOnly()
{
    const TestEnvironment &env = m_box->env;
    const QString from = env.makeDir("mods/Mod");
    writeTestFile(from + "/mod.lua", "lua");
    writeTestFile(env.root() + "/mods/Existing/keep.txt", "keep");
    Faults script;
    QString error;
    QVERIFY(!renameDirectory(from, env.makeDir("elsewhere") + "/.b", &error, script.hooks()));
    QCOMPARE(error, QString("Sicherungsordner liegt nicht auf demselben Pfad."));
    QVERIFY(!renameDirectory(from, env.root() + "/mods/Existing", &error, script.hooks()));
    QCOMPARE(error, QString("Ordner konnte nicht umbenannt werden."));
    QCOMPARE(readTestFile(env.root() + "/mods/Existing/keep.txt"), QByteArray("keep"));
    // Refusals are decided before any attempt: there is nothing to wait for.
    QVERIFY(script.pauses.isEmpty());
    // A mod folder that is a link is renamed as a link; what it points at keeps its write protection.
    const QString outside = env.makeDir("outside");
    QFile::setPermissions(outside, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    QVERIFY(QFile::link(outside, env.root() + "/mods/Linked"));
    QVERIFY(
        renameDirectory(env.root() + "/mods/Linked", env.root() + "/mods/.linked", &error, script.hooks()));
    QVERIFY(!(QFile::permissions(outside) & QFileDevice::WriteOwner));
    QVERIFY(renameDirectory(from, env.root() + "/mods/./x/../.backup", &error, script.hooks()));
    QVERIFY(readTestFile(env.root() + "/mods/.backup/mod.lua") == "lua" && !QFileInfo::exists(from));
}

void TestInstaller::entriesLeavingFolder_data()
{
    QTest::addColumn<QString>("linkPath");
    QTest::addColumn<bool>("leaves");
    QTest::addColumn<QString>("linkTarget");
    QTest::newRow("folder link inside") << "Mod/res/again" << false << "../res";
    QTest::newRow("relative link climbing out") << "Mod/up" << true << "../../..";
    QTest::newRow("hidden absolute link deep down") << "Mod/res/a/b/.x" << true << "/tmp";
    QTest::newRow("sibling folder starting with the same name")
        << "Mod/twin" << true << "../../unpacked-twin";
}

void TestInstaller::entriesLeavingFolder()
{
    QFETCH(QString, linkPath);
    QFETCH(bool, leaves);
    QFETCH(QString, linkTarget);
    const TestEnvironment &env = m_box->env;
    const QString folder = env.makeDir("unpacked");
    env.makeDir("unpacked-twin");
    writeTestFile(folder + "/Mod/mod.lua", "lua");
    QDir().mkpath(folder + "/Mod/res/a/b");
    QVERIFY(QFile::link(linkTarget, folder + '/' + linkPath));
    QCOMPARE(firstEntryLeavingFolder(folder), leaves ? linkPath : QString());
}

QTEST_GUILESS_MAIN(TestInstaller)
#include "tst_installer.moc"
