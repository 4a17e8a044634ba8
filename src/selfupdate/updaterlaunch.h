#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

// Writing and starting the updater script. The updater replaces the folder the running executable lies in:
// the program is a portable installation.

// Where the updater works and how it is started. runningUpdaterPlace() describes the running program; tests
// describe a fake program folder and record the start instead of starting anything.
struct UpdaterPlace
{
    QString programFolder;
    QString programFile;
    qint64 processId = 0;
    QString tempFolder;
    // The extractor that inspects the release and that the POSIX updater unpacks it with.
    QString sevenZip;
    // Consulted before each file the launch writes (the write test, the script); true makes that write fail
    // as a read-only folder would. Permission bits do not stop root, so tests use this instead.
    std::function<bool(const QString &path)> failWrite;
    // Starts a process that outlives the program; true when it started.
    std::function<bool(const QString &program, const QStringList &arguments, const QString &workingDirectory)>
        startDetached;
};

UpdaterPlace runningUpdaterPlace();

// Writes the PowerShell updater (UTF-8 with byte-order mark: Windows PowerShell reads a file without one in
// the ANSI code page) and starts it detached through powershell.exe. On failure nothing is left behind but
// the archive, which the caller removes.
bool launchPowerShellUpdater(const QString &zipPath, const UpdaterPlace &place, QString *error);

// The same with the POSIX updater, started through /bin/sh.
bool launchPosixUpdater(const QString &zipPath, const UpdaterPlace &place, QString *error);

// One entry of 7-Zip's technical listing ("l -slt").
struct ArchiveListingEntry
{
    QString path; // with "/" between folders
    bool folder = false;
};
QList<ArchiveListingEntry> archiveListingEntries(const QString &listing);

// Where a release keeps the POSIX program, by the rule the updater applies: the folder "FX3 ModManager" when
// it holds the file "FX3ModManager", else the folder of the one such file anywhere. False when there is none
// or more than one.
bool posixReleaseSource(const QList<ArchiveListingEntry> &entries, QString *folder = nullptr);

// Whether the release archive holds a POSIX program the updater can install. When it does not (or cannot be
// read), reason says why in a sentence for the player.
bool releaseHoldsPosixProgram(const QString &zipPath, const QString &sevenZip, QString *reason);
