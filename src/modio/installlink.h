#pragma once

#include "modio/modiomod.h"

#include <QString>
#include <QUrl>

class ModIoInstaller;

// Links of the program's own scheme, offered by the mod portal of the community site:
// fx3modmanager://modio/install?mod_id=<digits>[&file_id=<digits>]. Scheme, host and path are compared
// without regard to case, query values after trimming; other query items are ignored.

enum class InstallLinkCheck
{
    Accepted,
    // Not a link of the program's scheme (or no valid URL): ignored without a message.
    NotOurs,
    // The program's scheme, but not the install action.
    Unsupported,
    // The install action without a usable mod id, or with a file id that is not one.
    InvalidModId,
};

struct InstallLink
{
    QString modId;
    // Empty when the link names no file.
    QString fileId;
};

InstallLinkCheck parseInstallLink(const QUrl &url, InstallLink *link = nullptr);

// Handles a link up to the installation: checks it, fetches its mod from mod.io and asks the player, with the
// installer's messages and status line. True with the fetched record when the player wants it installed;
// the window then puts it into its mod.io list and installs it from there. The current file is always the
// one installed, never an older one a link may name.
bool openInstallLink(ModIoInstaller &installer, const QUrl &url, ModIoMod *record);
