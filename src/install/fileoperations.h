#pragma once

#include <QString>

#include <functional>

// File operations on mod folders. Virus scanners, cloud-sync tools and the running game keep files open for
// moments at a time, so every operation that touches a mod folder is retried a few times with growing pauses
// before it gives up: a copied file 3 times (pauses 180 and 360 ms), a removal or rename 5 times (pauses 180,
// 360, 540 and 720 ms).
//
// None of these operations follows a symbolic link: links are removed as links, never through them, and the
// permissions of whatever a link points at are never touched.

// The retried operations, as FileOperationHooks sees them.
enum class FileOperation
{
    CopyFile,        // path: the target file
    RemoveFile,      // path: the file to remove
    RenameDirectory, // path: the folder to rename
    RemoveDirectory, // path: the folder to remove
};

// Seam into every retry loop. The program leaves both empty; tests use them to fail chosen attempts the way a
// locked file would (we cannot lock files on every platform, and permission bits do not stop root) and to
// record the pauses instead of waiting them out.
struct FileOperationHooks
{
    // Consulted before each attempt. A non-empty answer makes that attempt fail with this error text without
    // touching the disk; side effects of the hook (such as deleting a few files first) stay.
    std::function<QString(FileOperation operation, const QString &path)> failAttempt;
    // Every pause between two attempts. Empty: the thread sleeps.
    std::function<void(int milliseconds)> sleep;
};

// Copies the tree below source into target (created when missing), replacing files that exist there and
// leaving other files of target in place. Hidden and system entries of source are not copied. A link inside
// source that leads outside it fails the copy; links to files inside it are copied as plain files, links to
// folders inside it are skipped (their folder is copied where it really lies). A link inside target is
// replaced by a real folder or file rather than written through. Stops at the first failure.
bool copyDirectoryWithRetries(const QString &source, const QString &target, QString *error = nullptr,
                              const FileOperationHooks &hooks = {});

// Copies source with everything below it into the new folder target: hidden and system entries included,
// links as links (never followed), so the copy can later take the place of source as it was. Fails when
// target exists or an entry is neither file, folder nor link (a pipe, a device, a name that cannot be read).
// Files are retried like those of copyDirectoryWithRetries.
bool copyDirectoryExactly(const QString &source, const QString &target, QString *error = nullptr,
                          const FileOperationHooks &hooks = {});

// True when copyDirectoryWithRetries would copy at least one file out of folder: a file that is not hidden,
// outside hidden folders.
bool containsCopiedFile(const QString &folder);

// Removes one file (or one link); a missing file counts as removed. The error is that of the last attempt.
bool removeFileWithRetries(const QString &path, QString *error = nullptr,
                           const FileOperationHooks &hooks = {});

// Renames a folder within its parent folder; moving it elsewhere is refused.
bool renameDirectory(const QString &from, const QString &to, QString *error = nullptr,
                     const FileOperationHooks &hooks = {});

// Removes a folder with everything below it; a missing folder counts as removed. A folder that is itself a
// link loses only the link.
bool removeDirectoryTree(const QString &path, QString *error = nullptr, const FileOperationHooks &hooks = {});

// The path, relative to folder, of the first link below folder that leads outside it or nowhere; empty when
// every entry stays inside. An unpacked archive is only trusted when this is empty: a link planted in it
// would make later steps read or write wherever it points.
QString firstEntryLeavingFolder(const QString &folder);

// The same with a single attempt, for removals the player asked for and can simply repeat.
bool removeDirectoryTreeOnce(const QString &path, QString *error = nullptr,
                             const FileOperationHooks &hooks = {});

// Makes path and everything below it, hidden and system entries included, writable: write permission for the
// owner, and on Windows the read-only attribute cleared. Links are left alone.
void clearReadOnlyTree(const QString &path);
