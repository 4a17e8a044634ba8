#pragma once

#include "app/messageprompts.h"
#include "install/download.h"
#include "install/externaltool.h"
#include "install/fileoperations.h"
#include "install/installer.h"
#include "modio/modiomod.h"

#include <QByteArray>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>

class ModIoClient;
class QNetworkAccessManager;

// The direct installation of mod.io mods into the game's mod.io mods folder, without the in-game Mod Hub:
// with a token the mod is also subscribed, so the game keeps it. Each download is compared with the size and
// MD5 the service publishes and tested with 7-Zip before the installation pipeline replaces the mod folder;
// an existing installation is never touched by a download that failed these checks.

// What the flow shows and asks. The window fills it with its widgets and message boxes, tests with scripted
// answers. A missing function shows nothing, or gives the safe answer (no, cancel, no folder).
struct ModIoInstallPrompts
{
    // Information, critical messages, Yes/No questions and the folder chooser.
    MessagePrompts messages;
    // The warning about CRC errors in a download whose MD5 matched; true for acceptLabel ("Trotzdem
    // installieren"), false for the standard Cancel.
    std::function<bool(const QString &title, const QString &text, const QString &informativeText,
                       const QString &acceptLabel)>
        crcQuestion;
    // The status line.
    std::function<void(const QString &text)> status;
    // The detail panel's progress bar: shown with this state (busy: no value, only the format).
    std::function<void(const DownloadProgress &state)> progress;
    std::function<void()> hideProgress;
    // The install button of the detail panel, disabled while mods are installed.
    std::function<void(bool enabled)> setInstallEnabled;
    // After a successful run, before its final messages: rescan the local mods, re-apply the filter and show
    // the selected mod's details anew.
    std::function<void()> refreshViews;
    // The pipeline's own questions (the performance report).
    InstallPrompts install;
};

struct ModIoInstallContext
{
    ModIoInstallPrompts prompts;
    // The mod.io mods folder as the window sees it now (the found one, else "paths/modio"); empty when none
    // is known. A folder this flow creates or the player picks is stored and used from then on.
    QString modsFolder;
    // The storage root of the game's mod.io client, when known: the mods folder is created below it.
    QString storageRoot;
    // Empty: looked up for every archive test (findSevenZip).
    QString sevenZip;
    ExternalToolLimits archiveTest;
    FileOperationHooks hooks;
};

// What a run of installModIoSelection came to.
struct ModIoInstallResult
{
    // Mods downloaded and installed; current ones that were skipped do not count.
    int installedCount = 0;
    // Things the player must still be told although the run succeeded (a backup folder left behind).
    QStringList warnings;
    // The final message, shown by the run; warnings are appended to it.
    QString informationTitle;
    QString informationText;
};

class ModIoInstaller
{
public:
    // subscribedIds is the window's set of subscribed mod ids; a subscription made here is added to it.
    ModIoInstaller(ModIoClient &client, QNetworkAccessManager &manager, QSet<QString> &subscribedIds,
                   ModIoInstallContext context);

    // The install action of the mod.io page for selected: subscribe (with a token), resolve the
    // dependencies, then install each dependency and finally the mod itself, skipping those installed with
    // the current file. Shows its own messages; a cancel by the player ends silently. True when every mod is
    // installed or current.
    bool installModIoSelection(const ModIoMod &selected, ModIoInstallResult *result = nullptr);

    // The mod as the service describes it now, with a download address (looked up among its files when the
    // mod object names none). The id must be a mod id (digits only).
    bool fetchModIoMod(const QString &modId, ModIoMod *record, QString *error = nullptr);
    // Chooses the file to download for Windows: the mod's live file when it is listed and released for
    // Windows (or all platforms, or names no platform), else the newest such file, else the newest file of
    // any kind, else the live file asked for by id. Only a file with a download address changes record.
    bool resolveModIoWindowsFile(ModIoMod &record, QString *error = nullptr);
    // Every mod the mod requires, recursively, in the service's order.
    bool fetchModIoDependencies(const QString &modId, QList<ModIoMod> *mods, QString *error = nullptr);
    // Downloads (three attempts, each with a fresh address), checks, tests and installs one mod into
    // <mods folder>/<mod id>, then writes "mod.io_fileid.txt" and the install marker.
    bool installModIoRecord(const ModIoMod &record, QString *error = nullptr);

    const ModIoInstallContext &context() const { return m_context; }
    // Things the player must still be told after successful installations.
    QStringList warnings() const { return m_warnings; }

private:
    bool chooseModsFolder(QString *folder, QString *error);
    bool downloadVerified(ModIoMod &working, QByteArray *bytes, QString *error);
    bool testArchive(const ModIoMod &record, const QString &archive, const QString &folder,
                     bool *crcConfirmed, QString *error);
    bool isCurrent(const ModIoMod &record) const;
    bool fail(QString *error, const QString &message) const;
    void setStatus(const QString &text) const;
    void showProgress(const DownloadProgress &state) const;
    void hideProgress() const;
    void setInstallEnabled(bool enabled) const;

    ModIoClient &m_client;
    QNetworkAccessManager &m_manager;
    QSet<QString> &m_subscribedIds;
    ModIoInstallContext m_context;
    QStringList m_warnings;
};

// Checks a download against the size and MD5 the service published for it.
bool verifyModIoDownload(const ModIoMod &record, const QByteArray &bytes, QString *error = nullptr);

// The file name a mod.io download is saved under: the name part of the record's file name, cleaned, else
// "modio_<id>.zip"; ".zip" when it has no suffix.
QString modIoDownloadFileName(const ModIoMod &record);
