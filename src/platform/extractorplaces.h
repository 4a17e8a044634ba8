#pragma once

#include <QStringList>

#ifdef Q_OS_WIN
// Folders where Windows installers put 7-Zip, in the order they are tried: both Program Files folders, the
// per-user program folders, then the install paths the 7-Zip setup records in the registry ("Path" before
// "Path64" under HKLM, HKLM\WOW6432Node and HKCU). Folders of unset variables and empty values are left out.
QStringList windowsSevenZipFolders();

// Both Program Files folders with "WinRAR" appended; unset variables are left out.
QStringList windowsWinRarFolders();
#endif
