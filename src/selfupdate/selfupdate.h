#pragma once

#include "catalog/repomod.h"

#include <QByteArray>
#include <QString>

#include <functional>

class QNetworkAccessManager;

// The manager is published in the community repository like a mod. These functions find its entry, decide
// whether it is newer than the running program, and fetch and verify the release archive.

// "Update abgebrochen.": the error text of a download the player cancelled; it is not shown as a failure.
QString selfUpdateCancelledText();

// The manager's entry in the built-in repository's document, read as that repository. False for a document
// that is not a JSON object or that lists no such entry.
bool managerEntryFromDocument(const QByteArray &document, RepoMod *entry);

// The release version to offer for the manager's entry: the newer of its version and a version in its file
// name. Empty when nothing is offered: the release is not newer than the running program, or the entry has
// no download address.
QString offeredSelfUpdateVersion(const RepoMod &entry);

// The user's temporary folder, where the download, the updater script and its log go.
QString selfUpdateTempFolder();

// What the download's progress dialog shows.
struct SelfUpdateProgress
{
    bool busy = false; // the size is unknown
    int value = 0;     // 0..100
    QString label;
};
SelfUpdateProgress selfUpdateProgress(qint64 received, qint64 total);

struct SelfUpdateDownloadCallbacks
{
    std::function<void(const SelfUpdateProgress &)> progress;
    // Asked while the download runs; true aborts it with selfUpdateCancelledText().
    std::function<bool()> isCancelled;
};

// Downloads the entry's release archive into tempFolder as "FX3ModManager_Update_<ms>.zip" and sets filePath.
// The archive must match the entry's SHA-256; an entry without one is only fetched over https, so nobody on
// the way can hand the player a program of their own.
bool downloadSelfUpdate(QNetworkAccessManager &manager, const RepoMod &entry, const QString &tempFolder,
                        const SelfUpdateDownloadCallbacks &callbacks, QString *filePath, QString *error);
