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

#include <optional>

using Tree = QMap<QString, QByteArray>;

inline const QString injected = "Die Datei wird von einem anderen Prozess verwendet.";

inline QString realSevenZip()
{
    return QStandardPaths::findExecutable("7zz");
}

// How the file errors of the operating system are introduced in messages.
inline QString systemReports()
{
#ifdef Q_OS_WIN
    return "Windows meldet: ";
#else
    return "Das System meldet: ";
#endif
}

// A shell script standing in for a tool. It only uses shell built-ins and absolute paths, so it also runs
// with an empty search path.
inline QString writeTool(const QString &folder, const QString &name, const QByteArray &body)
{
    const QString path = folder + '/' + name;
    writeTestFile(path, "#!/bin/sh\n" + body);
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup |
                                    QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther);
    return path;
}

// Makes a stand-in "7zz" the configured extractor. It lists nothing and, asked to extract, runs script with
// $dest set to the destination folder: an extractor that writes whatever a test needs.
inline void useStandInExtractor(const TestEnvironment &env, const QByteArray &script)
{
    QSettings().setValue("tools/7zip", writeTool(env.makeDir("tools"), "7zz",
                                                 "[ \"$1\" = x ] || exit 7\ndest=\"${3#-o}\"\n" + script));
}

// Relative path → content of every file below folder, hidden files included; links show their target.
inline Tree treeOf(const QString &folder)
{
    Tree tree;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        tree.insert(QDir(folder).relativeFilePath(path), it.fileInfo().isSymbolicLink()
                                                             ? "-> " + it.fileInfo().symLinkTarget().toUtf8()
                                                             : readTestFile(path));
    }
    return tree;
}

// Writes every file of tree below folder; a path ending in '/' is an empty folder.
inline void writeTree(const QString &folder, const Tree &tree)
{
    for (auto it = tree.cbegin(); it != tree.cend(); ++it) {
        if (it.key().endsWith('/'))
            QDir().mkpath(folder + '/' + it.key());
        else
            writeTestFile(folder + '/' + it.key(), it.value());
    }
}

// Packs every top-level entry of sourceFolder into archive with the real 7-Zip.
inline bool packFolder(const QString &sourceFolder, const QString &archive, const QStringList &options = {})
{
    const QStringList entries =
        QDir(sourceFolder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    QProcess process;
    process.setWorkingDirectory(sourceFolder);
    process.start(realSevenZip(), QStringList{"a", "-y"} + options + QStringList{archive} + entries);
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

inline const Tree oldVersion = {{"mod.lua", "old mod.lua"},
                                {"res/models/a.mdl", "old model"},
                                {"res/old-only.txt", "only in the old version"},
                                {".fx3modmanager.json", "{\"version\":\"1.0\"}"}};
inline const Tree newVersion = {{"mod.lua", "new mod.lua"},
                                {"res/models/a.mdl", "new model"},
                                {"res/models/b.mdl", "second model"},
                                {"res/textures/t.dds", noise(4096)}};

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
            questions.append(title + " @ " + start);
            return chosenFolder;
        };
        prompts.confirmOverwrite = [this](const QString &title, const QString &text) {
            questions.append(title + ": " + text);
            return overwrite;
        };
        prompts.performance.showReport = [this](const PerformanceReport &, const QString &) {
            ++reports;
            return PerformanceReportDecision{true};
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

    // Every attempt of this operation is recorded in attempts; the first failFirst of them fail.
    std::optional<FileOperation> counted;
    int failFirst = 0;
    QStringList attempts;

    QStringList copiedFiles;
    QList<int> pauses;

    FileOperationHooks hooks()
    {
        FileOperationHooks hooks;
        hooks.failAttempt = [this](FileOperation operation, const QString &path) {
            if (counted) {
                if (operation == *counted)
                    attempts.append(QDir::cleanPath(path));
                return operation == *counted && attempts.size() <= failFirst ? injected : QString();
            }
            if (operation == FileOperation::CopyFile && !copiedFiles.contains(path))
                copiedFiles.append(path);
            const auto hit = [&path](const QString &text) {
                return !text.isEmpty() && path.contains(text);
            };
            const bool fails =
                (operation == FileOperation::CopyFile && copiedFiles.indexOf(path) + 1 == failCopyOfFile) ||
                (operation == FileOperation::RenameDirectory && hit(failRenameOf)) ||
                (operation == FileOperation::RemoveDirectory && hit(failRemovalOf));
            if (fails && operation == FileOperation::RemoveDirectory && beforeFailedRemoval)
                std::exchange(beforeFailedRemoval, nullptr)(path);
            return fails ? injected : QString();
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
        env.setEnv("TMPDIR", env.makeDir("tmp").toLocal8Bit());
        mods = env.makeDir("mods");
        QSettings().setValue("paths/usermods", mods);
    }

    // Whatever is left in the temporary folder.
    QStringList temporaryLeftovers() const { return entriesOf(env.root() + "/tmp"); }

    // Packs content into downloads/<name> with the real 7-Zip; empty when that failed.
    QString archive(const QString &name, const Tree &content, const QStringList &options = {})
    {
        const QString source = env.makeDir("src" + QString::number(++m_archives));
        writeTree(source, content);
        const QString path = env.makeDir("downloads") + '/' + name;
        return packFolder(source, path, options) ? path : QString();
    }

    TestEnvironment env;
    QString mods;

private:
    int m_archives = 0;
};
