#pragma once

#include <QString>
#include <QStringList>

#ifdef Q_OS_WIN
// Where Steam may be installed, in the order they are tried: the "SteamPath" value under
// HKCU\Software\Valve\Steam (trimmed, forward slashes; left out when empty), then both Program Files folders.
// Existence is not checked here.
QStringList windowsSteamRootCandidates();

// Library folders a Steam setup commonly uses on further drives, tried after the libraries Steam lists.
QStringList windowsSteamLibraryFallbacks();

// The folder in which the mod.io client keeps the game's mods for all users when its settings name no other.
QString windowsPublicModIoModsFolder();
#endif
