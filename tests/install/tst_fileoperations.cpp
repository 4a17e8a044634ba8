#include "install/fileoperations.h"
#include "installfixtures.h"

namespace {
// Counts the attempts of one operation and fails the first `failures` of them; records every pause.
struct FaultScript
{
    FileOperation operation = FileOperation::CopyFile;
    int failures = 0;
    int attempts = 0;
    QStringList paths;
    QList<int> pauses;

    FileOperationHooks hooks()
    {
        FileOperationHooks hooks;
        hooks.failAttempt = [this](FileOperation op, const QString &path) {
            if (op != operation)
                return QString();
            ++attempts;
            paths.append(path);
            return attempts <= failures ? injected : QString();
        };
        hooks.sleep = [this](int ms) {
            pauses.append(ms);
        };
        return hooks;
    }
};
} // namespace

class TestFileOperations : public QObject
{
    Q_OBJECT

private slots:
    void hookReachesEveryRetryLoop_data();
    void hookReachesEveryRetryLoop();
    void copyDoesNotFollowLinks();
    void copyReplacesLinksInTarget();
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
    const QString source = env.makeDir(QStringLiteral("source"));
    writeTestFile(source + QStringLiteral("/mod.lua"), "new");
    const QString target = env.makeDir(QStringLiteral("mods/Mod"));
    writeTestFile(target + QStringLiteral("/mod.lua"), "old");

    FaultScript script;
    script.operation = FileOperation(operation);
    script.failures = failures;
    const FileOperationHooks hooks = script.hooks();

    QString error;
    bool ok = false;
    QString expectedPath = target;
    switch (script.operation) {
    case FileOperation::CopyFile:
        // The file in the target is replaced first (that removal succeeds), then the copy is retried.
        ok = copyDirectoryWithRetries(source, target, &error, hooks);
        expectedPath = target + QStringLiteral("/mod.lua");
        QCOMPARE(QFile::exists(expectedPath), succeeds);
        break;
    case FileOperation::RemoveFile:
        expectedPath = target + QStringLiteral("/mod.lua");
        ok = removeFileWithRetries(expectedPath, &error, hooks);
        QCOMPARE(QFile::exists(expectedPath), !succeeds);
        break;
    case FileOperation::RenameDirectory:
        ok = renameDirectory(target, env.root() + QStringLiteral("/mods/Renamed"), &error, hooks);
        QCOMPARE(QFileInfo::exists(target), !succeeds);
        break;
    case FileOperation::RemoveDirectory:
        ok = removeDirectoryTree(target, &error, hooks);
        QCOMPARE(QFileInfo::exists(target), !succeeds);
        break;
    }

    QCOMPARE(ok, succeeds);
    QCOMPARE(script.attempts, succeeds ? failures + 1 : failures);
    QCOMPARE(script.pauses, pauses);
    for (const QString &path : std::as_const(script.paths))
        QCOMPARE(QDir::cleanPath(path), expectedPath);
    if (succeeds) {
        QVERIFY(error.isEmpty());
    } else if (script.operation == FileOperation::CopyFile) {
        QCOMPARE(error, QStringLiteral("Datei konnte nach mehreren Versuchen nicht kopiert werden:\n%1\n\n")
                                .arg(QDir::toNativeSeparators(expectedPath)) +
                            systemReports() + injected);
    } else {
        QCOMPARE(error, injected);
    }
}

void TestFileOperations::copyDoesNotFollowLinks()
{
    TestEnvironment env;
    const QString outside = env.writeFile(QStringLiteral("secret/token.txt"), "secret");
    const QString source = env.makeDir(QStringLiteral("source"));
    writeTestFile(source + QStringLiteral("/mod.lua"), "lua");
    writeTestFile(source + QStringLiteral("/res/real/a.txt"), "a");
    QVERIFY(QFile::link(QStringLiteral("mod.lua"), source + QStringLiteral("/alias.lua")));
    QVERIFY(QFile::link(QStringLiteral("real"), source + QStringLiteral("/res/linked")));
    const QString target = env.root() + QStringLiteral("/mods/Mod");

    QString error;
    QVERIFY2(copyDirectoryWithRetries(source, target, &error), qPrintable(error));
    // A file link inside the tree becomes a plain file; a folder link is not copied a second time.
    QCOMPARE(treeOf(target), (Tree{{QStringLiteral("alias.lua"), "lua"},
                                   {QStringLiteral("mod.lua"), "lua"},
                                   {QStringLiteral("res/real/a.txt"), "a"}}));
    QVERIFY(QFileInfo(target + QStringLiteral("/res/real")).isDir());

    QVERIFY(QFile::link(outside, source + QStringLiteral("/res/token.txt")));
    QVERIFY(!copyDirectoryWithRetries(source, env.root() + QStringLiteral("/mods/Other"), &error));
    QCOMPARE(error, QStringLiteral("Symbolischer Link zeigt aus dem Quellordner heraus: %1")
                        .arg(QDir::toNativeSeparators(source + QStringLiteral("/res/token.txt"))));
    QVERIFY(!QFileInfo::exists(env.root() + QStringLiteral("/mods/Other/res/token.txt")));
}

void TestFileOperations::copyReplacesLinksInTarget()
{
    TestEnvironment env;
    const QString outsideFolder = env.makeDir(QStringLiteral("outside"));
    const QString outsideFile = env.writeFile(QStringLiteral("outside/keep.txt"), "keep");
    const QString source = env.makeDir(QStringLiteral("source"));
    writeTestFile(source + QStringLiteral("/res/a.txt"), "new a");
    writeTestFile(source + QStringLiteral("/mod.lua"), "new lua");
    const QString target = env.makeDir(QStringLiteral("mods/Mod"));
    QVERIFY(QFile::link(outsideFolder, target + QStringLiteral("/res")));
    QVERIFY(QFile::link(outsideFile, target + QStringLiteral("/mod.lua")));

    QString error;
    QVERIFY2(copyDirectoryWithRetries(source, target, &error), qPrintable(error));
    QCOMPARE(treeOf(outsideFolder), (Tree{{QStringLiteral("keep.txt"), "keep"}}));
    QVERIFY(!QFileInfo(target + QStringLiteral("/res")).isSymbolicLink());
    QVERIFY(!QFileInfo(target + QStringLiteral("/mod.lua")).isSymbolicLink());
    QCOMPARE(readTestFile(target + QStringLiteral("/res/a.txt")), QByteArray("new a"));
    QCOMPARE(readTestFile(target + QStringLiteral("/mod.lua")), QByteArray("new lua"));
}

// Removing a link removes only the link: neither the target's content nor its write protection changes.
void TestFileOperations::removeKeepsLinkTargets()
{
    TestEnvironment env;
    const QString outside = env.makeDir(QStringLiteral("outside"));
    const QString outsideFile = env.writeFile(QStringLiteral("outside/data.txt"), "data");
    QFile::setPermissions(outsideFile, QFileDevice::ReadOwner);
    const QString tree = env.makeDir(QStringLiteral("mods/Mod"));
    writeTestFile(tree + QStringLiteral("/sub/.hidden"), "h");
    QFile::setPermissions(tree + QStringLiteral("/sub/.hidden"), QFileDevice::ReadOwner);
    QVERIFY(QFile::link(outside, tree + QStringLiteral("/sub/out")));
    QVERIFY(QFile::link(outsideFile, tree + QStringLiteral("/file")));
    QVERIFY(removeDirectoryTree(tree));
    QVERIFY(!QFileInfo::exists(tree));

    const QString fileLink = env.root() + QStringLiteral("/mods/entry");
    QVERIFY(QFile::link(outsideFile, fileLink));
    QString error = QStringLiteral("stale");
    QVERIFY(removeFileWithRetries(fileLink, &error));
    QVERIFY(error.isEmpty());
    QVERIFY(!QFileInfo(fileLink).isSymbolicLink());

    // A mod folder that is itself a link loses only the link.
    const QString linkedMod = env.root() + QStringLiteral("/mods/Linked");
    QVERIFY(QFile::link(outside, linkedMod));
    QVERIFY(removeDirectoryTree(linkedMod));
    QVERIFY(!QFileInfo(linkedMod).isSymbolicLink());
    QCOMPARE(treeOf(outside), (Tree{{QStringLiteral("data.txt"), "data"}}));
    // The owner bits, not the "user" ones: those describe the running user, and root may write anything.
    QVERIFY(!(QFile::permissions(outsideFile) & QFileDevice::WriteOwner));

    // The place must be free afterwards, not merely "no folder there".
    const QString file = env.writeFile(QStringLiteral("mods/NotAFolder"), "x");
    QVERIFY(removeDirectoryTree(file));
    QVERIFY(!QFileInfo::exists(file));
}

// A backup beside the mod folder only: a rename elsewhere could become a slow copy across drives.
void TestFileOperations::renameWithinParentOnly()
{
    TestEnvironment env;
    const QString from = env.makeDir(QStringLiteral("mods/Mod"));
    writeTestFile(from + QStringLiteral("/mod.lua"), "lua");
    writeTestFile(env.root() + QStringLiteral("/mods/Existing/keep.txt"), "keep");
    FaultScript script;
    QString error;
    QVERIFY(!renameDirectory(from, env.makeDir(QStringLiteral("elsewhere")) + QStringLiteral("/.b"), &error,
                             script.hooks()));
    QCOMPARE(error, QStringLiteral("Sicherungsordner liegt nicht auf demselben Pfad."));
    QVERIFY(!renameDirectory(from, env.root() + QStringLiteral("/mods/Existing"), &error, script.hooks()));
    QCOMPARE(error, QStringLiteral("Ordner konnte nicht umbenannt werden."));
    QCOMPARE(readTestFile(env.root() + QStringLiteral("/mods/Existing/keep.txt")), QByteArray("keep"));
    // Refusals are decided before any attempt: there is nothing to wait for.
    QVERIFY(script.pauses.isEmpty());
    QVERIFY(
        renameDirectory(from, env.root() + QStringLiteral("/mods/./x/../.backup"), &error, script.hooks()));
    QCOMPARE(readTestFile(env.root() + QStringLiteral("/mods/.backup/mod.lua")), QByteArray("lua"));
    QVERIFY(!QFileInfo::exists(from));
}

void TestFileOperations::entriesLeavingFolder_data()
{
    QTest::addColumn<QString>("linkPath");
    QTest::addColumn<QString>("linkTarget");
    QTest::addColumn<bool>("leaves");
    QTest::newRow("folder link inside") << "Mod/res/again"
                                        << "../res" << false;
    QTest::newRow("relative link climbing out") << "Mod/up"
                                                << "../../.." << true;
    QTest::newRow("hidden absolute link deep down") << "Mod/res/a/b/.x"
                                                    << "/tmp" << true;
    QTest::newRow("sibling folder starting with the same name") << "Mod/twin"
                                                                << "../../unpacked-twin" << true;
}

void TestFileOperations::entriesLeavingFolder()
{
    QFETCH(QString, linkPath);
    QFETCH(QString, linkTarget);
    QFETCH(bool, leaves);
    TestEnvironment env;
    const QString folder = env.makeDir(QStringLiteral("unpacked"));
    env.makeDir(QStringLiteral("unpacked-twin"));
    writeTestFile(folder + QStringLiteral("/Mod/mod.lua"), "lua");
    QDir().mkpath(folder + QStringLiteral("/Mod/res/a/b"));
    QVERIFY(QFile::link(linkTarget, folder + QLatin1Char('/') + linkPath));
    QCOMPARE(firstEntryLeavingFolder(folder), leaves ? linkPath : QString());
}

QTEST_GUILESS_MAIN(TestFileOperations)
#include "tst_fileoperations.moc"
