#pragma once

#include <QByteArray>
#include <QJsonValue>
#include <QList>
#include <QString>

// What a mod folder says about itself: where its files are (the mod root), its name, version and preview.
// Mod folders come from anywhere (workshop copies, hand-unpacked archives, the Mod Hub), so every reader here
// is lenient: a missing, unreadable, oversized or malformed file simply contributes nothing.

// Metadata files are a few kilobytes; anything far larger is not metadata and is not read into memory.
inline constexpr qint64 maxMetadataFileSize = 8 * 1024 * 1024;

// Reads a whole file of at most maxSize bytes. False for missing, unreadable, non-regular or larger files.
bool readSmallFile(const QString &path, qint64 maxSize, QByteArray *content);

// A JSON string as it is, a number as its shortest decimal text (8094 gives "8094"); anything else is empty.
QString jsonScalarText(const QJsonValue &value);

struct FolderEntry
{
    QString name;
    bool isDir = false;
};

// One directory listing, taken once and then asked many questions. A mod folder is asked for a dozen
// well-known names; answering them from one listing instead of a dozen stat calls keeps the scan close to
// the cost of merely listing the folders. Names are looked up ignoring letter case, as on the game's
// platform; where two entries differ only in case, the exact spelling wins.
class FolderListing
{
public:
    FolderListing() = default;
    explicit FolderListing(const QString &folder);

    // The folder as given, cleaned (forward slashes, no trailing slash).
    QString folder() const { return m_folder; }
    bool exists() const { return m_exists; }
    // Files and folders without "." and "..", sorted by name ignoring case.
    const QList<FolderEntry> &entries() const { return m_entries; }

    // Full path of the file called name, or empty when there is none.
    QString filePath(const QString &name) const;
    // Full path of the sub-folder called name, or empty when there is none.
    QString dirPath(const QString &name) const;
    bool hasEntry(const QString &name) const;
    // Full paths of all sub-folders, in listing order.
    QStringList subFolderPaths() const;
    QString childPath(const QString &name) const;

private:
    const FolderEntry *find(const QString &name, bool wantDir, bool anyKind) const;

    QString m_folder;
    bool m_exists = false;
    QList<FolderEntry> m_entries;
};

// A folder is a mod root when it holds "mod.lua", "mod.json", "metadata.json" or "res".
bool isModRoot(const QString &folder);
bool isModRoot(const FolderListing &folder);

// The folder itself when it is a mod root; else the first sub-folder that is one; else the first one two
// levels down; else the folder itself. Sub-folders are tried by name.
QString findModRoot(const QString &folder);
FolderListing findModRootListing(const FolderListing &folder);

// Name and version declared by the JSON metadata files or mod.lua of one folder, read in one pass. A name
// that mod.lua gives through the translation call _("key") is shown in language ("de", "en") as the folder's
// strings.lua has it, else in English, else as the key.
struct FolderMetadata
{
    QString name;
    QString version;
};
FolderMetadata readFolderMetadata(const FolderListing &folder, const QString &language);

// The display name declared by the folder's metadata (JSON files first, then mod.lua), or empty.
QString metadataName(const QString &folder, const QString &language = QString());
// The version declared by the folder's metadata (JSON files first, then mod.lua), or empty.
QString metadataVersion(const QString &folder);

// The mod's own preview image in the folder (well-known names, then the first image in "images",
// "screenshots", "preview" or the folder itself), or empty.
QString localPreviewFile(const QString &folder);
QString localPreviewFile(const FolderListing &folder);
