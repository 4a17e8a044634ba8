#pragma once

#include "app/messageprompts.h"
#include "catalog/repomod.h"
#include "selfupdate/selfupdate.h"
#include "selfupdate/updaterlaunch.h"

#include <functional>

class QNetworkAccessManager;

// The self-update as the player meets it: the offer, the download under a progress dialog, the updater's
// start and the program's end. Everything the player sees goes through these callbacks, which the main
// window fills with its dialogs and tests with scripted answers.

struct SelfUpdateProgressDialog
{
    std::function<void()> open;
    std::function<void(const SelfUpdateProgress &)> update;
    std::function<bool()> wasCancelled;
    std::function<void()> close;
};

struct SelfUpdateHooks
{
    MessagePrompts prompts;
    std::function<void(const QString &text)> status;
    SelfUpdateProgressDialog progress;
    // Opens an address in the desktop's browser.
    std::function<void(const QString &url)> openUrl;
    // Ends the program so the updater can replace it.
    std::function<void()> quit;
    UpdaterPlace place;
    // The POSIX updater instead of the PowerShell one.
    bool posixUpdater = false;
};

// Offers the release of the manager's entry when it is newer than the running program, and installs it when
// the player accepts.
void checkSelfUpdate(QNetworkAccessManager &manager, const RepoMod &entry, const SelfUpdateHooks &hooks);

// Downloads the release, starts the updater and quits; failures are told to the player.
void installSelfUpdate(QNetworkAccessManager &manager, const RepoMod &entry, const SelfUpdateHooks &hooks);
