#pragma once

#include <QString>
#include <QStringList>

#include <functional>

// What the setup and settings dialogs say under each field while the player types, and why they refuse to
// save. Everything here is free of widgets, so the rules are checked without a dialog on screen.

enum class VerdictTone
{
    Valid,    // green: valid, or optional and empty
    Invalid,  // red
    Fallback, // amber: usable, but not the way the program prefers
};

struct PathVerdict
{
    QString text;
    VerdictTone tone = VerdictTone::Valid;
};

// The style sheet of a verdict label in that tone.
QString verdictStyleSheet(VerdictTone tone);

// The two dialogs word a few verdicts differently.
enum class PathDialog
{
    Setup,
    Settings,
};

PathVerdict gameFolderVerdict(const QString &path, PathDialog dialog);
PathVerdict userModsVerdict(const QString &path);
// In the setup the folder must exist; in the settings it follows the storage root and is created on save.
PathVerdict modIoModsVerdict(const QString &path, PathDialog dialog);
PathVerdict storageRootVerdict(const QString &root);
PathVerdict customPathsVerdict(const QStringList &paths);
// bundledSevenZip is the 7-Zip shipped with the program (empty when missing); fallbackTool looks for
// another extractor and is only asked when the field is empty and nothing is bundled.
PathVerdict extractorVerdict(const QString &field, const QString &bundledSevenZip,
                             const std::function<QString()> &fallbackTool);

// An existing file whose name is one of the extractors the program can drive.
bool isUsableExtractor(const QString &path);
// A root the mod.io client can be pointed at: an absolute path that is not an existing file.
bool isUsableStorageRoot(const QString &root);
// The API root as typed, trimmed and without trailing slashes; nothing typed means this game's root.
QString apiRootFromInput(const QString &text);

// The warning a refused value is answered with; no title means the value may be saved.
struct Refusal
{
    QString title;
    QString text;

    bool refused() const { return !title.isEmpty(); }
};

Refusal refuseGameFolder(const QString &path, PathDialog dialog);
Refusal refuseUserMods(const QString &path, PathDialog dialog);
// The setup's check; the settings derive the folder from the storage root instead.
Refusal refuseModIoMods(const QString &path);
Refusal refuseExtractor(const QString &path);
// Refuses the first custom path that is not a folder; otherwise fills kept with the cleaned paths, each
// folder once whatever its letter case.
Refusal refuseCustomPaths(const QStringList &paths, QStringList *kept);
Refusal refuseModIoApiRoot(const QString &root);
Refusal refuseCommunityUrl(const QString &url);
Refusal refuseStorageRoot(const QString &root);
