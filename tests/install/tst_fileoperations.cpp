#include "install/fileoperations.h"
#include "installfixtures.h"

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

class TestFileOperations : public QObject
{
    Q_OBJECT

private slots:
    void hookReachesEveryRetryLoop_data();
    void hookReachesEveryRetryLoop();
    void copyAndLinks();
    void exactCopy_data();
    void exactCopy();
    void removeKeepsLinkTargets();
    void renameWithinParentOnly();
    void entriesLeavingFolder_data();
    void entriesLeavingFolder();
};

// Every retried operation asks the hook before each attempt, gives up after its number of attempts with the
// growing pauses in between, and succeeds as soon as an attempt is let through.
void TestFileOperations::hookReachesEveryRetryLoop_data()
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

void TestFileOperations::hookReachesEveryRetryLoop()
{
    QFETCH(int, operation);
    QFETCH(int, failures);
    QFETCH(bool, succeeds);
    QFETCH(QList<int>, pauses);
    TestEnvironment env;
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
void TestFileOperations::copyAndLinks()
{
    TestEnvironment env;
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
void TestFileOperations::exactCopy_data()
{
    QTest::addColumn<QString>("odd"); // an entry the copy cannot take along
    QTest::newRow("hidden entries and links") << "";
    QTest::newRow("pipe") << "res/pipe";
    QTest::newRow("name that is not UTF-8") << "res/Bahnh\uFFFDfe.mdl";
}

void TestFileOperations::exactCopy()
{
    QFETCH(QString, odd);
    TestEnvironment env;
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
void TestFileOperations::removeKeepsLinkTargets()
{
    TestEnvironment env;
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
void TestFileOperations::renameWithinParentOnly()
{
    TestEnvironment env;
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

void TestFileOperations::entriesLeavingFolder_data()
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

void TestFileOperations::entriesLeavingFolder()
{
    QFETCH(QString, linkPath);
    QFETCH(bool, leaves);
    QFETCH(QString, linkTarget);
    TestEnvironment env;
    const QString folder = env.makeDir("unpacked");
    env.makeDir("unpacked-twin");
    writeTestFile(folder + "/Mod/mod.lua", "lua");
    QDir().mkpath(folder + "/Mod/res/a/b");
    QVERIFY(QFile::link(linkTarget, folder + '/' + linkPath));
    QCOMPARE(firstEntryLeavingFolder(folder), leaves ? linkPath : QString());
}

QTEST_GUILESS_MAIN(TestFileOperations)
#include "tst_fileoperations.moc"
