#pragma once

#include <QString>

// The scripts that replace the program folder after the program has ended. The program cannot overwrite its
// own running executable, so a separate process waits for it to end, backs the folder up, copies the new
// release over it, restores the backup when that fails, and starts the program again.

// What the updater needs to know; paths as the running program sees them.
struct UpdaterScriptValues
{
    qint64 processId = 0;  // the program the updater waits for
    QString archivePath;   // the downloaded release archive
    QString programFolder; // the folder that is replaced
    QString programFile;   // the running executable, started again when the update fails
    QString logPath;       // kept when the update fails
    QString tempFolder;    // where the POSIX updater stages and backs up
    QString sevenZip;      // the POSIX updater's extractor; empty: unzip
};

// The Windows PowerShell updater, CR LF line ends. Paths are written with native separators as
// single-quoted literals.
QString powerShellUpdaterScript(const UpdaterScriptValues &values);

// The POSIX shell updater, LF line ends, for /bin/sh.
QString posixUpdaterScript(const UpdaterScriptValues &values);

// text as a POSIX shell single-quoted word: every ' is written as '\''.
QString posixShellLiteral(const QString &text);

// The name of the POSIX program's executable inside a release, and the folder a release keeps it in.
QString posixProgramFileName();
QString releaseProgramFolderName();
