#pragma once

#include <QString>

// Makes the system open "fx3modmanager://" links with this program, rewritten at every start so that the
// entries follow the program when it is moved. On Windows these are the per-user URL-protocol keys; on
// other systems a desktop entry that declares the scheme and is made its default handler. Failures are
// silent: links then simply do not open the program.
void registerLinkScheme();

// The desktop way, with every place passed in so it can be tried in temporary folders. Writes
// "<dataHome>/applications/<desktopFileName>" and points the scheme's default in
// "<configHome>/mimeapps.list" at it. Returns false when a file could not be written.
bool registerDesktopLinkHandler(const QString &executable, const QString &dataHome,
                                const QString &configHome);

// File name of the desktop entry.
inline constexpr char linkHandlerDesktopFile[] = "trackhaven-fx3modmanager.desktop";

// The desktop entry's text for executable; the link reaches it as the argument "%u".
QString linkHandlerDesktopEntry(const QString &executable);

// mimeapps.list text with the scheme's default set to desktopFile in "[Default Applications]" (the section
// is added when missing); every other line stays as it was.
QString withDefaultLinkHandler(const QString &mimeApps, const QString &desktopFile);
