#pragma once

// Shared pieces of the installer tests: archives made with the real 7-Zip, scripted answers of the player,
// injected file faults, and a private mods folder per test function.

#include "install/installer.h"
#include "testsupport.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QTest>

using Tree = QMap<QString, QByteArray>;

inline const QString cancelText = QStringLiteral("Installation abgebrochen.");
inline const QString injected = QStringLiteral("Die Datei wird von einem anderen Prozess verwendet.");

inline QString realSevenZip()
{
    return QStandardPaths::findExecutable(QStringLiteral("7zz"));
}

// How the file errors of the operating system are introduced in messages.
inline QString systemReports()
{
#ifdef Q_OS_WIN
    return QStringLiteral("Windows meldet: ");
#else
    return QStringLiteral("Das System meldet: ");
#endif
}

// A shell script standing in for a tool. It only uses shell built-ins and absolute paths, so it also runs
// with an empty search path.
inline QString writeTool(const QString &folder, const QString &name, const QByteArray &body)
{
    const QString path = folder + QLatin1Char('/') + name;
    writeTestFile(path, "#!/bin/sh\n" + body);
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup |
                                    QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther);
    return path;
}

// Makes a stand-in "7zz" the configured extractor. It lists nothing and, asked to extract, runs script with
// $dest set to the destination folder: an extractor that writes whatever a test needs.
inline void useStandInExtractor(const TestEnvironment &env, const QByteArray &script)
{
    const QString tool = writeTool(env.makeDir(QStringLiteral("tools")), QStringLiteral("7zz"),
                                   "[ \"$1\" = x ] || exit 7\ndest=\"${3#-o}\"\n" + script);
    QSettings().setValue(QStringLiteral("tools/7zip"), tool);
}

// Relative path → content of every file below folder, hidden files included; links show their target.
inline Tree treeOf(const QString &folder)
{
    Tree tree;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString relative = QDir(folder).relativeFilePath(path);
        if (it.fileInfo().isSymbolicLink())
            tree.insert(relative, "-> " + it.fileInfo().symLinkTarget().toUtf8());
        else
            tree.insert(relative, readTestFile(path));
    }
    return tree;
}

// Writes every file of tree below folder; a path ending in '/' is an empty folder.
inline void writeTree(const QString &folder, const Tree &tree)
{
    for (auto it = tree.cbegin(); it != tree.cend(); ++it) {
        if (it.key().endsWith(QLatin1Char('/')))
            QDir().mkpath(folder + QLatin1Char('/') + it.key());
        else
            writeTestFile(folder + QLatin1Char('/') + it.key(), it.value());
    }
}

// Packs every top-level entry of sourceFolder into archive with the real 7-Zip.
inline bool packFolder(const QString &sourceFolder, const QString &archive, const QStringList &options = {})
{
    const QStringList entries =
        QDir(sourceFolder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    QProcess process;
    process.setWorkingDirectory(sourceFolder);
    process.start(realSevenZip(), QStringList{QStringLiteral("a"), QStringLiteral("-y")} + options +
                                      QStringList{archive} + entries);
    return process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

inline QByteArray noise(int size)
{
    QByteArray bytes;
    quint32 state = 4711;
    for (int i = 0; i < size; ++i) {
        state = state * 1103515245u + 12345u;
        bytes.append(char(state >> 24));
    }
    return bytes;
}

inline const Tree oldVersion = {
    {QStringLiteral("mod.lua"), "old mod.lua"},
    {QStringLiteral("res/models/a.mdl"), "old model"},
    {QStringLiteral("res/old-only.txt"), "only in the old version"},
    {QStringLiteral(".fx3modmanager.json"), "{\"version\":\"1.0\"}"},
};
inline const Tree newVersion = {
    {QStringLiteral("mod.lua"), "new mod.lua"},
    {QStringLiteral("res/models/a.mdl"), "new model"},
    {QStringLiteral("res/models/b.mdl"), "second model"},
    {QStringLiteral("res/textures/t.dds"), noise(4096)},
};

// The answers a player gives, and what was asked.
struct PlayerAnswers
{
    QString chosenFolder;
    bool overwrite = false;
    QStringList questions;
    int reports = 0;

    InstallPrompts prompts()
    {
        InstallPrompts prompts;
        prompts.chooseModsFolder = [this](const QString &title, const QString &start) {
            questions.append(title + QStringLiteral(" @ ") + start);
            return chosenFolder;
        };
        prompts.confirmOverwrite = [this](const QString &title, const QString &text) {
            questions.append(title + QStringLiteral(": ") + text);
            return overwrite;
        };
        prompts.performance.showReport = [this](const PerformanceReport &, const QString &) {
            ++reports;
            PerformanceReportDecision decision;
            decision.install = true;
            return decision;
        };
        return prompts;
    }
};

// Fails chosen attempts the way a locked file would, and records the pauses instead of sleeping.
struct Faults
{
    // The copy of the n-th distinct file fails on every attempt (0: never).
    int failCopyOfFile = 0;
    // Paths containing this text fail every rename / every tree removal.
    QString failRenameOf;
    QString failRemovalOf;
    // Run once before the first failed removal, to leave a removal half done.
    std::function<void(const QString &path)> beforeFailedRemoval;

    QStringList copiedFiles;
    QList<int> pauses;

    FileOperationHooks hooks()
    {
        FileOperationHooks hooks;
        hooks.failAttempt = [this](FileOperation operation, const QString &path) {
            switch (operation) {
            case FileOperation::CopyFile:
                if (!copiedFiles.contains(path))
                    copiedFiles.append(path);
                if (failCopyOfFile > 0 && copiedFiles.indexOf(path) + 1 == failCopyOfFile)
                    return injected;
                break;
            case FileOperation::RenameDirectory:
                if (!failRenameOf.isEmpty() && path.contains(failRenameOf))
                    return injected;
                break;
            case FileOperation::RemoveDirectory:
                if (!failRemovalOf.isEmpty() && path.contains(failRemovalOf)) {
                    if (beforeFailedRemoval) {
                        beforeFailedRemoval(path);
                        beforeFailedRemoval = nullptr;
                    }
                    return injected;
                }
                break;
            case FileOperation::RemoveFile:
                break;
            }
            return QString();
        };
        hooks.sleep = [this](int ms) {
            pauses.append(ms);
        };
        return hooks;
    }
};

inline Tree merged(Tree first, const Tree &second)
{
    first.insert(second);
    return first;
}

// The sub-folders of folder whose name marks them as a backup of a clean update.
inline QStringList backupFolders(const QString &folder)
{
    return QDir(folder).entryList({QStringLiteral(".fx3mm_backup_*")}, QDir::Dirs | QDir::Hidden);
}

// tree with every path put below prefix.
inline Tree below(const QString &prefix, const Tree &tree)
{
    Tree moved;
    for (auto it = tree.cbegin(); it != tree.cend(); ++it)
        moved.insert(prefix + it.key(), it.value());
    return moved;
}

// One test function's world: a TestEnvironment whose temporary folder is watched, and a mods folder stored
// as the user mods folder.
class InstallSandbox
{
public:
    InstallSandbox()
    {
        // Temporary folders of the installation land here, where the tests can see what is left behind.
        env.setEnv("TMPDIR", env.makeDir(QStringLiteral("tmp")).toLocal8Bit());
        mods = env.makeDir(QStringLiteral("mods"));
        QSettings().setValue(QStringLiteral("paths/usermods"), mods);
    }

    // Whatever is left in the temporary folder.
    QStringList temporaryLeftovers() const
    {
        return QDir(env.root() + QStringLiteral("/tmp"))
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }

    // Packs content into downloads/<name> with the real 7-Zip; empty when that failed.
    QString archive(const QString &name, const Tree &content, const QStringList &options = {})
    {
        const QString source = env.makeDir(QStringLiteral("src%1").arg(++m_archives));
        writeTree(source, content);
        const QString path = env.makeDir(QStringLiteral("downloads")) + QLatin1Char('/') + name;
        return packFolder(source, path, options) ? path : QString();
    }

    TestEnvironment env;
    QString mods;

private:
    int m_archives = 0;
};
