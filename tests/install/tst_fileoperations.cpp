#include "install/fileoperations.h"
#include "testsupport.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QTest>

namespace {
const QString injected = QStringLiteral("Der Prozess kann nicht auf die Datei zugreifen.");

// Relative path → content of every file below folder, hidden ones included; links are listed with their
// target instead of being followed.
QMap<QString, QByteArray> treeOf(const QString &folder)
{
    QMap<QString, QByteArray> tree;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QFileInfo info = it.fileInfo();
        const QString relative = QDir(folder).relativeFilePath(path);
        if (info.isSymbolicLink())
            tree.insert(relative, "-> " + info.symLinkTarget().toUtf8());
        else if (info.isFile())
            tree.insert(relative, readTestFile(path));
        else
            tree.insert(relative + QLatin1Char('/'), QByteArray());
    }
    return tree;
}

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

    void copyMergesIntoTarget();
    void copyFailures_data();
    void copyFailures();
    void copyDoesNotFollowLinks();
    void copyReplacesLinksInTarget();

    void removeFile_data();
    void removeFile();
    void removeTreeKeepsLinkTargets();
    void removeTreeOfAFile();
    void clearReadOnlyTreeSkipsLinks();
    void renameWithinParentOnly_data();
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

    const auto copy = int(FileOperation::CopyFile);
    const auto removeFile = int(FileOperation::RemoveFile);
    const auto rename = int(FileOperation::RenameDirectory);
    const auto removeTree = int(FileOperation::RemoveDirectory);
    QTest::newRow("copy: first attempt") << copy << 0 << true << QList<int>{};
    QTest::newRow("copy: third attempt") << copy << 2 << true << QList<int>{180, 360};
    QTest::newRow("copy: locked") << copy << 3 << false << QList<int>{180, 360};
    QTest::newRow("remove file: fifth attempt") << removeFile << 4 << true << QList<int>{180, 360, 540, 720};
    QTest::newRow("remove file: locked") << removeFile << 5 << false << QList<int>{180, 360, 540, 720};
    QTest::newRow("rename: second attempt") << rename << 1 << true << QList<int>{180};
    QTest::newRow("rename: locked") << rename << 5 << false << QList<int>{180, 360, 540, 720};
    QTest::newRow("remove tree: fifth attempt") << removeTree << 4 << true << QList<int>{180, 360, 540, 720};
    QTest::newRow("remove tree: locked") << removeTree << 5 << false << QList<int>{180, 360, 540, 720};
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
    QString expectedPath;
    switch (script.operation) {
    case FileOperation::CopyFile:
        // The file in the target is replaced first (that removal succeeds), then the copy is retried.
        ok = copyDirectoryWithRetries(source, target, &error, hooks);
        expectedPath = target + QStringLiteral("/mod.lua");
        QCOMPARE(QFile::exists(target + QStringLiteral("/mod.lua")), succeeds);
        break;
    case FileOperation::RemoveFile:
        expectedPath = target + QStringLiteral("/mod.lua");
        ok = removeFileWithRetries(expectedPath, &error, hooks);
        QCOMPARE(QFile::exists(expectedPath), !succeeds);
        break;
    case FileOperation::RenameDirectory:
        expectedPath = target;
        ok = renameDirectory(target, env.root() + QStringLiteral("/mods/Renamed"), &error, hooks);
        QCOMPARE(QFileInfo::exists(target), !succeeds);
        break;
    case FileOperation::RemoveDirectory:
        expectedPath = target;
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
        QCOMPARE(error, QStringLiteral("Datei konnte nach mehreren Versuchen nicht kopiert werden:\n%1\n\n"
                                       "Windows meldet: %2")
                            .arg(QDir::toNativeSeparators(expectedPath), injected));
    } else {
        QCOMPARE(error, injected);
    }
}

void TestFileOperations::copyMergesIntoTarget()
{
    TestEnvironment env;
    const QString source = env.makeDir(QStringLiteral("source"));
    writeTestFile(source + QStringLiteral("/mod.lua"), "new mod.lua");
    writeTestFile(source + QStringLiteral("/res/models/a.mdl"), "model a");
    writeTestFile(source + QStringLiteral("/res/empty/.keep"), "hidden");
    writeTestFile(source + QStringLiteral("/.cache/state"), "tool cache");
    QDir().mkpath(source + QStringLiteral("/res/textures"));
    const QString target = env.root() + QStringLiteral("/mods/Mod");
    writeTestFile(target + QStringLiteral("/mod.lua"), "old mod.lua");
    writeTestFile(target + QStringLiteral("/settings.lua"), "player settings");
    QFile::setPermissions(target + QStringLiteral("/mod.lua"), QFileDevice::ReadOwner);

    QString error;
    QVERIFY2(copyDirectoryWithRetries(source, target, &error), qPrintable(error));
    const QMap<QString, QByteArray> expected = {
        {QStringLiteral("mod.lua"), "new mod.lua"},
        {QStringLiteral("settings.lua"), "player settings"},
        {QStringLiteral("res/"), {}},
        {QStringLiteral("res/empty/"), {}},
        {QStringLiteral("res/models/"), {}},
        {QStringLiteral("res/models/a.mdl"), "model a"},
        {QStringLiteral("res/textures/"), {}},
    };
    QCOMPARE(treeOf(target), expected);

    // An empty source copies nothing and succeeds.
    QVERIFY(copyDirectoryWithRetries(env.makeDir(QStringLiteral("empty")), target, &error));
    QCOMPARE(treeOf(target), expected);
}

void TestFileOperations::copyFailures_data()
{
    QTest::addColumn<QString>("layout");
    QTest::addColumn<QString>("expected");
    QTest::newRow("missing source") << "missing source"
                                    << "Quellordner existiert nicht: %1/nowhere";
    QTest::newRow("target is a file") << "target file"
                                      << "Zielordner konnte nicht erstellt werden: %1/mods/Mod";
    QTest::newRow("folder where a file is") << "file in the way"
                                            << "Ordner konnte nicht erstellt werden: %1/mods/Mod/res";
    QTest::newRow("file where a folder is") << "folder in the way"
                                            << "Datei konnte nach mehreren Versuchen nicht ersetzt "
                                               "werden:\n%1/mods/Mod/mod.lua\n\nWindows meldet: ";
}

void TestFileOperations::copyFailures()
{
    QFETCH(QString, layout);
    QFETCH(QString, expected);
    TestEnvironment env;
    QString source = env.makeDir(QStringLiteral("source"));
    writeTestFile(source + QStringLiteral("/mod.lua"), "x");
    writeTestFile(source + QStringLiteral("/res/a.txt"), "a");
    const QString target = env.root() + QStringLiteral("/mods/Mod");
    if (layout == QLatin1String("missing source"))
        source = env.root() + QStringLiteral("/nowhere");
    else if (layout == QLatin1String("target file"))
        writeTestFile(target, "not a folder");
    else if (layout == QLatin1String("file in the way"))
        writeTestFile(target + QStringLiteral("/res"), "not a folder");
    else
        QDir().mkpath(target + QStringLiteral("/mod.lua/inner"));

    FaultScript script;
    QString error;
    QVERIFY(!copyDirectoryWithRetries(source, target, &error, script.hooks()));
    QVERIFY2(error.startsWith(expected.arg(QDir::toNativeSeparators(env.root()))), qPrintable(error));
    if (layout == QLatin1String("folder in the way"))
        QCOMPARE(script.pauses, (QList<int>{180, 360, 540, 720}));
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
    const QMap<QString, QByteArray> expected = {
        {QStringLiteral("alias.lua"), "lua"},
        {QStringLiteral("mod.lua"), "lua"},
        {QStringLiteral("res/"), {}},
        {QStringLiteral("res/real/"), {}},
        {QStringLiteral("res/real/a.txt"), "a"},
    };
    QCOMPARE(treeOf(target), expected);

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
    QCOMPARE(treeOf(outsideFolder), (QMap<QString, QByteArray>{{QStringLiteral("keep.txt"), "keep"}}));
    QVERIFY(!QFileInfo(target + QStringLiteral("/res")).isSymbolicLink());
    QVERIFY(!QFileInfo(target + QStringLiteral("/mod.lua")).isSymbolicLink());
    QCOMPARE(readTestFile(target + QStringLiteral("/res/a.txt")), QByteArray("new a"));
    QCOMPARE(readTestFile(target + QStringLiteral("/mod.lua")), QByteArray("new lua"));
}

void TestFileOperations::removeFile_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("missing") << "missing";
    QTest::newRow("read-only file") << "read-only";
    QTest::newRow("link to a file") << "file link";
    QTest::newRow("link to a folder") << "folder link";
    QTest::newRow("dangling link") << "dangling link";
}

void TestFileOperations::removeFile()
{
    QFETCH(QString, kind);
    TestEnvironment env;
    const QString outside = env.writeFile(QStringLiteral("outside/file.txt"), "outside");
    QFile::setPermissions(outside, QFileDevice::ReadOwner);
    const QString path = env.root() + QStringLiteral("/mods/entry");
    env.makeDir(QStringLiteral("mods"));
    if (kind == QLatin1String("read-only")) {
        writeTestFile(path, "x");
        QFile::setPermissions(path, QFileDevice::ReadOwner);
    } else if (kind == QLatin1String("file link")) {
        QVERIFY(QFile::link(outside, path));
    } else if (kind == QLatin1String("folder link")) {
        QVERIFY(QFile::link(env.root() + QStringLiteral("/outside"), path));
    } else if (kind == QLatin1String("dangling link")) {
        QVERIFY(QFile::link(env.root() + QStringLiteral("/nothing"), path));
    }

    QString error = QStringLiteral("stale");
    QVERIFY(removeFileWithRetries(path, &error));
    QVERIFY(error.isEmpty());
    const QFileInfo gone(path);
    QVERIFY(!gone.exists() && !gone.isSymbolicLink());
    QCOMPARE(readTestFile(outside), QByteArray("outside"));
    // The owner bits, not the "user" ones: those describe the running user, and root may write anything.
    QVERIFY(!(QFile::permissions(outside) & QFileDevice::WriteOwner));
}

void TestFileOperations::removeTreeKeepsLinkTargets()
{
    TestEnvironment env;
    const QString outside = env.makeDir(QStringLiteral("outside"));
    writeTestFile(outside + QStringLiteral("/data.txt"), "data");
    const QString tree = env.makeDir(QStringLiteral("mods/Mod"));
    writeTestFile(tree + QStringLiteral("/sub/.hidden"), "h");
    QFile::setPermissions(tree + QStringLiteral("/sub/.hidden"), QFileDevice::ReadOwner);
    QVERIFY(QFile::link(outside, tree + QStringLiteral("/sub/out")));

    QVERIFY(removeDirectoryTree(tree));
    QVERIFY(!QFileInfo::exists(tree));
    QCOMPARE(treeOf(outside), (QMap<QString, QByteArray>{{QStringLiteral("data.txt"), "data"}}));

    // A mod folder that is itself a link loses only the link.
    const QString linkedMod = env.root() + QStringLiteral("/mods/Linked");
    QVERIFY(QFile::link(outside, linkedMod));
    QVERIFY(removeDirectoryTree(linkedMod));
    QVERIFY(!QFileInfo(linkedMod).isSymbolicLink());
    QCOMPARE(treeOf(outside), (QMap<QString, QByteArray>{{QStringLiteral("data.txt"), "data"}}));

    // Missing counts as removed.
    QVERIFY(removeDirectoryTree(env.root() + QStringLiteral("/mods/Never")));
    QVERIFY(removeDirectoryTreeOnce(env.root() + QStringLiteral("/mods/Never")));
}

void TestFileOperations::removeTreeOfAFile()
{
    TestEnvironment env;
    const QString file = env.writeFile(QStringLiteral("mods/NotAFolder"), "x");
    // The place must be free afterwards, not merely "no folder there".
    QVERIFY(removeDirectoryTree(file));
    QVERIFY(!QFileInfo::exists(file));
}

void TestFileOperations::clearReadOnlyTreeSkipsLinks()
{
    TestEnvironment env;
    const QString outside = env.writeFile(QStringLiteral("outside.txt"), "o");
    QFile::setPermissions(outside, QFileDevice::ReadOwner);
    const QString tree = env.makeDir(QStringLiteral("tree"));
    const QString inner = env.writeFile(QStringLiteral("tree/deep/.hidden.txt"), "i");
    QFile::setPermissions(inner, QFileDevice::ReadOwner);
    QFile::setPermissions(tree + QStringLiteral("/deep"), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    QVERIFY(QFile::link(outside, tree + QStringLiteral("/deep/link")));

    clearReadOnlyTree(tree);
    QVERIFY(QFile::permissions(inner) & QFileDevice::WriteOwner);
    QVERIFY(QFile::permissions(tree + QStringLiteral("/deep")) & QFileDevice::WriteOwner);
    QVERIFY(!(QFile::permissions(outside) & QFileDevice::WriteOwner));
}

void TestFileOperations::renameWithinParentOnly_data()
{
    QTest::addColumn<QString>("to");
    QTest::addColumn<QString>("expectedError");
    QTest::newRow("same parent") << "mods/.backup"
                                 << "";
    QTest::newRow("same parent, other spelling") << "mods/./x/../.backup"
                                                 << "";
    QTest::newRow("other parent") << "elsewhere/.backup"
                                  << "Sicherungsordner liegt nicht auf demselben Pfad.";
    QTest::newRow("target exists") << "mods/Existing"
                                   << "Ordner konnte nicht umbenannt werden.";
}

void TestFileOperations::renameWithinParentOnly()
{
    QFETCH(QString, to);
    QFETCH(QString, expectedError);
    TestEnvironment env;
    const QString from = env.makeDir(QStringLiteral("mods/Mod"));
    writeTestFile(from + QStringLiteral("/mod.lua"), "lua");
    writeTestFile(env.root() + QStringLiteral("/mods/Existing/keep.txt"), "keep");
    env.makeDir(QStringLiteral("elsewhere"));

    FaultScript script;
    QString error;
    const bool ok = renameDirectory(from, env.root() + QLatin1Char('/') + to, &error, script.hooks());
    QCOMPARE(ok, expectedError.isEmpty());
    QCOMPARE(error, expectedError);
    QCOMPARE(QFileInfo::exists(from), !ok);
    QCOMPARE(readTestFile(env.root() + QStringLiteral("/mods/Existing/keep.txt")), QByteArray("keep"));
    if (ok)
        QCOMPARE(readTestFile(env.root() + QStringLiteral("/mods/.backup/mod.lua")), QByteArray("lua"));
    // Refusals are decided before any attempt: there is nothing to wait for.
    QVERIFY(script.pauses.isEmpty());
}

void TestFileOperations::entriesLeavingFolder_data()
{
    QTest::addColumn<QString>("linkPath");
    QTest::addColumn<QString>("linkTarget");
    QTest::addColumn<bool>("leaves");
    QTest::newRow("no links") << ""
                              << "" << false;
    QTest::newRow("file link inside") << "Mod/alias.lua"
                                      << "mod.lua" << false;
    QTest::newRow("folder link inside") << "Mod/res/again"
                                        << "../res" << false;
    QTest::newRow("absolute link outside") << "Mod/res/etc"
                                           << "/etc" << true;
    QTest::newRow("relative link climbing out") << "Mod/up"
                                                << "../../.." << true;
    QTest::newRow("link to the unpacked folder's parent") << "parent"
                                                          << ".." << true;
    QTest::newRow("dangling link") << "Mod/gone"
                                   << "missing.txt" << true;
    QTest::newRow("hidden link deep down") << "Mod/res/a/b/.x"
                                           << "/tmp" << true;
}

void TestFileOperations::entriesLeavingFolder()
{
    QFETCH(QString, linkPath);
    QFETCH(QString, linkTarget);
    QFETCH(bool, leaves);
    TestEnvironment env;
    const QString folder = env.makeDir(QStringLiteral("unpacked"));
    writeTestFile(folder + QStringLiteral("/Mod/mod.lua"), "lua");
    QDir().mkpath(folder + QStringLiteral("/Mod/res/a/b"));
    if (!linkPath.isEmpty())
        QVERIFY(QFile::link(linkTarget, folder + QLatin1Char('/') + linkPath));

    QCOMPARE(firstEntryLeavingFolder(folder), leaves ? linkPath : QString());
}

QTEST_GUILESS_MAIN(TestFileOperations)
#include "tst_fileoperations.moc"
