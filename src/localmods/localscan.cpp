#include "localmods/localscan.h"

#include "localmods/installmarker.h"
#include "localmods/modiostate.h"
#include "localmods/modmetadata.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <optional>

namespace {

QString absoluteClean(const QString &folder)
{
    const QString trimmed = QDir::fromNativeSeparators(folder.trimmed());
    if (trimmed.isEmpty())
        return QString();
    return QDir::cleanPath(QFileInfo(trimmed).absoluteFilePath());
}

bool samePath(const QString &a, const QString &b)
{
    return !a.isEmpty() && a.compare(b, Qt::CaseInsensitive) == 0;
}

// Everything the scan learns about one mod folder is read at most once, however many of the rules ask.
class ModFolderReader
{
public:
    ModFolderReader(const QString &path, const QString &language) : m_top(path), m_language(language) {}

    const FolderListing &top() const { return m_top; }

    const FolderListing &root()
    {
        if (!m_root)
            m_root = findModRootListing(m_top);
        return *m_root;
    }
    bool isNested() { return root().folder() != m_top.folder(); }

    const FolderMetadata &rootMetadata()
    {
        if (!m_rootMetadata)
            m_rootMetadata = readFolderMetadata(root(), m_language);
        return *m_rootMetadata;
    }
    const FolderMetadata &topMetadata()
    {
        if (!isNested())
            return rootMetadata();
        if (!m_topMetadata)
            m_topMetadata = readFolderMetadata(m_top, m_language);
        return *m_topMetadata;
    }

    const std::optional<QJsonObject> &topMarker()
    {
        if (!m_topMarker)
            m_topMarker = markerIn(m_top);
        return *m_topMarker;
    }
    std::optional<QJsonObject> rootMarker() { return isNested() ? markerIn(root()) : topMarker(); }

    QJsonObject ownState(const QString &modId)
    {
        if (!m_ownState || m_ownStateId != modId) {
            m_ownState = readOwnModIoState(m_top, modId);
            m_ownStateId = modId;
        }
        return *m_ownState;
    }

private:
    static std::optional<QJsonObject> markerIn(const FolderListing &listing)
    {
        const QString path = listing.filePath(installMarkerFileName());
        if (path.isEmpty())
            return std::nullopt;
        return readInstallMarkerFile(path);
    }

    FolderListing m_top;
    QString m_language;
    std::optional<FolderListing> m_root;
    std::optional<FolderMetadata> m_rootMetadata;
    std::optional<FolderMetadata> m_topMetadata;
    std::optional<std::optional<QJsonObject>> m_topMarker;
    std::optional<QJsonObject> m_ownState;
    QString m_ownStateId;
};

LocalMod scanOneMod(ModFolderReader &reader, const QString &folderName, const QString &source,
                    const QHash<QString, QJsonObject> &stateTable)
{
    const bool modIo = isModIoSource(source);
    LocalMod mod;
    mod.folderName = folderName;
    mod.path = reader.top().folder();
    mod.source = source;
    // The Mod Hub names each folder by the mod's id.
    if (modIo)
        mod.modioId = folderName;
    const FolderListing &root = reader.root();
    mod.contentRoot = root.folder();
    mod.name = reader.rootMetadata().name;
    mod.filesVersion = reader.rootMetadata().version;
    mod.version = mod.filesVersion;

    // A nested mod root may carry its own marker; the one in the top level is read only when the first
    // did not tell where the mod came from.
    QList<std::optional<QJsonObject>> markers;
    markers.append(reader.rootMarker());
    if (reader.isNested())
        markers.append(reader.topMarker());
    for (const std::optional<QJsonObject> &marker : std::as_const(markers)) {
        if (!marker)
            continue;
        applyInstallMarker(mod, *marker, MarkerUse::Scan);
        if (!mod.repoEntryId.isEmpty() || !mod.modioId.isEmpty())
            break;
    }

    mod.previewFile = localPreviewFile(root);

    if (modIo) {
        const QString topName = reader.topMetadata().name;
        if (!topName.isEmpty() && (mod.name.isEmpty() || mod.name == mod.folderName))
            mod.name = topName;
        if (mod.previewFile.isEmpty() && reader.isNested())
            mod.previewFile = localPreviewFile(reader.top());
        QJsonObject state = stateTable.value(mod.modioId);
        if (state.isEmpty())
            state = reader.ownState(mod.modioId);
        if (!state.isEmpty())
            applyModIoState(mod, state);
    }

    if (mod.name.isEmpty())
        mod.name = folderName;
    return mod;
}

LocalMod folderCopy(ModFolderReader &reader, const QString &folderName, const QString &source)
{
    LocalMod copy;
    copy.folderName = folderName;
    copy.path = reader.top().folder();
    copy.contentRoot = copy.path;
    copy.source = source;
    const FolderMetadata &metadata = reader.topMetadata();
    copy.name = metadata.name.isEmpty() ? folderName : metadata.name;
    copy.filesVersion = metadata.version;
    copy.version = metadata.version;
    if (const std::optional<QJsonObject> &marker = reader.topMarker())
        applyInstallMarker(copy, *marker, MarkerUse::InstalledCopy);
    return copy;
}

QString installedFileId(ModFolderReader &reader, const QString &modId,
                        const QHash<QString, QJsonObject> &stateTable)
{
    const QString fromFile = readModIoFileIdText(reader.top().filePath(modIoFileIdFileName()));
    if (!fromFile.isEmpty())
        return fromFile;
    if (const std::optional<QJsonObject> &marker = reader.topMarker()) {
        const QString fromMarker = markerModIoFileId(*marker);
        if (!fromMarker.isEmpty())
            return fromMarker;
    }
    QJsonObject state = stateTable.value(modId);
    if (state.isEmpty())
        state = reader.ownState(modId);
    return state.isEmpty() ? QString() : modIoStateFileId(state);
}

struct FolderScanRequest
{
    QString source;
    QString programFolder;
    QString language;
    bool wantMods = true;
    bool wantCopies = false;
    bool wantFileIds = false;
};

struct FolderScanOutput
{
    QList<LocalMod> mods;
    QList<LocalMod> copies;
    QHash<QString, QString> fileIds;
};

void scanFolder(const QString &folderPath, const FolderScanRequest &request, FolderScanOutput *out)
{
    const QString folder = absoluteClean(folderPath);
    if (folder.isEmpty())
        return;
    const FolderListing listing(folder);
    if (!listing.exists())
        return;

    const bool modIo = isModIoSource(request.source);
    QHash<QString, QJsonObject> stateTable;
    if (modIo && (request.wantMods || request.wantFileIds))
        stateTable = readModIoStateTable(folder);

    const QString programFolder = absoluteClean(request.programFolder);
    const bool isProgramFolder = samePath(folder, programFolder);
    static const QStringList programParts = {QStringLiteral("imageformats"), QStringLiteral("platforms"),
                                             QStringLiteral("styles"), QStringLiteral("translations"),
                                             QStringLiteral("iconengines")};

    for (const FolderEntry &entry : listing.entries()) {
        // The installer's backups of a mod folder (".fx3mm_backup_<folder>_<time>", see backupFolderName)
        // hold an old version only for the length of an installation, or until the player deletes one left
        // behind; offering one as an installed mod would let it be updated beside the mod itself.
        if (!entry.isDir || entry.name.startsWith(QLatin1String(".fx3mm_backup_")))
            continue;
        const QString path = listing.childPath(entry.name);
        // The texture cache is the game's, not a mod; the manager's own folder (and, when the manager sits
        // in the scanned folder itself, its Qt plug-in folders) is not a mod either.
        const bool skipped = entry.name.compare(QLatin1String("texture_cache"), Qt::CaseInsensitive) == 0 ||
                             samePath(path, programFolder) ||
                             (isProgramFolder && programParts.contains(entry.name, Qt::CaseInsensitive));
        ModFolderReader reader(path, request.language);
        if (request.wantMods && !skipped)
            out->mods.append(scanOneMod(reader, entry.name, request.source, stateTable));
        if (request.wantCopies)
            out->copies.append(folderCopy(reader, entry.name, request.source));
        if (request.wantFileIds && modIo && isAllDigits(entry.name)) {
            const QString fileId = installedFileId(reader, entry.name, stateTable);
            if (!fileId.isEmpty())
                out->fileIds.insert(entry.name, fileId);
        }
    }
}

} // namespace

QString manualSourceLabel()
{
    return QCoreApplication::translate("MainWindow", "Manuell / Lokal");
}

QString modIoSourceLabel()
{
    return QStringLiteral("mod.io");
}

QString customSourceLabel()
{
    return QCoreApplication::translate("MainWindow", "Individuell");
}

bool isAllDigits(const QString &text)
{
    if (text.isEmpty())
        return false;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    return true;
}

QList<LocalMod> scanModFolder(const QString &folder, const QString &source, const QString &programFolder,
                              const QString &language)
{
    FolderScanRequest request;
    request.source = source;
    request.programFolder = programFolder;
    request.language = language;
    FolderScanOutput out;
    scanFolder(folder, request, &out);
    return out.mods;
}

LocalScanResult scanLocalMods(const LocalModFolders &folders)
{
    LocalScanResult result;
    FolderScanRequest request;
    request.programFolder = folders.programFolder;
    request.language = folders.language;
    request.wantCopies = true;

    FolderScanOutput manual;
    request.source = manualSourceLabel();
    scanFolder(folders.userModsPath, request, &manual);

    FolderScanOutput modIo;
    request.source = modIoSourceLabel();
    request.wantFileIds = true;
    scanFolder(folders.modIoModsPath, request, &modIo);
    request.wantFileIds = false;

    QList<FolderScanOutput> custom;
    request.source = customSourceLabel();
    for (const QString &path : folders.customModPaths) {
        FolderScanOutput output;
        scanFolder(path, request, &output);
        custom.append(output);
    }

    result.mods = manual.mods + modIo.mods;
    result.folderCopies = manual.copies;
    for (const FolderScanOutput &output : std::as_const(custom)) {
        result.mods += output.mods;
        result.folderCopies += output.copies;
    }
    result.folderCopies += modIo.copies;
    result.modIoFileIds = modIo.fileIds;
    return result;
}

QList<LocalMod> listFolderCopies(const QString &folder, const QString &source, const QString &language)
{
    FolderScanRequest request;
    request.source = source;
    request.language = language;
    request.wantMods = false;
    request.wantCopies = true;
    FolderScanOutput out;
    scanFolder(folder, request, &out);
    return out.copies;
}

QHash<QString, QString> installedModIoFileIds(const QString &modIoModsFolder)
{
    FolderScanRequest request;
    request.source = modIoSourceLabel();
    request.wantMods = false;
    request.wantFileIds = true;
    FolderScanOutput out;
    scanFolder(modIoModsFolder, request, &out);
    return out.fileIds;
}
