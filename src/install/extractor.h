#pragma once

#include "install/externaltool.h"

#include <QString>
#include <QStringList>

#include <functional>

// The program never unpacks archives itself: 7-Zip, else a WinRAR-family tool, else (Windows, ZIP only)
// PowerShell's Expand-Archive does it as a child process. Tools are looked up anew for every extraction,
// so a changed "tools/7zip" setting applies to the next install.

// "7zip" for 7z, 7zz and 7za, "winrar" for WinRAR, RAR and UnRAR (each with or without ".exe", any letter
// case), empty for anything else. Only the file name of the argument counts.
QString extractorKind(const QString &fileName);

// The 7-Zip shipped with the program: <folder>/tools/7zip/7z.exe, <folder>/7zip/7z.exe or <folder>/7z.exe.
QString findBundledSevenZip(const QString &applicationFolder);
QString findBundledSevenZip(); // below the folder of the running program

// Full lookup of 7-Zip: the bundled one, else the setting (which, when set, decides alone), else the
// executable search path, else the usual Windows install folders and the registry.
QString findSevenZip(const QString &applicationFolder);
QString findSevenZip();

// Lookup of a WinRAR-family tool: the setting (deciding alone when set), the search path, Program Files.
QString findRarTool();

// The files 7z.exe, 7zz.exe and 7za.exe of each folder in turn; folders are trimmed and cleaned, blank ones
// skipped.
QStringList sevenZipCandidateFiles(const QStringList &folders);

// True when the tool's output reports CRC mismatches and nothing worse. Some published ZIP files carry wrong
// CRC values; their content may still be the author's exact file.
bool isCrcOnlyExtractionError(const QString &output);

struct ExtractorCommand
{
    QString program; // empty: no tool can unpack this archive
    QStringList arguments;
};

ExtractorCommand sevenZipExtractCommand(const QString &sevenZip, const QString &archivePath,
                                        const QString &destination);
ExtractorCommand rarExtractCommand(const QString &rarTool, const QString &archivePath,
                                   const QString &destination);
ExtractorCommand powerShellExpandCommand(const QString &archivePath, const QString &destination);
// text as a PowerShell single-quoted literal.
QString powerShellLiteral(const QString &text);

// The command an extraction would run now, chosen from the tools that can be found.
ExtractorCommand chooseExtractorCommand(const QString &archivePath, const QString &destination);

// The failure text of a finished (or never started) run of program on archivePath. When the tool's output
// shows a cause the player can act on (a password, a missing part of a multi-part set, a name too long for
// the system, a file that is no archive), one plain sentence naming it comes first.
QString extractionErrorText(const QString &program, const ExternalToolRun &run,
                            const QString &archivePath = QString());

// What one extraction may use: time for each run of the tool, and room on the disk.
struct ExtractionLimits
{
    ExternalToolLimits tool;
    // Bytes free on the volume of folder, negative when unknown. Empty: the system's answer.
    std::function<qint64(const QString &folder)> freeSpace;
};

// Unpacks archivePath into the existing folder destination. With tolerateCrcWarnings a non-zero exit code
// passes when isCrcOnlyExtractionError accepts the output; only callers whose user has confirmed the CRC
// warnings of a checksum-verified download set it.
//
// With 7-Zip the unpacked size is read from its listing first, and an archive that would not fit on the
// destination's volume (with a margin) is refused before anything is written. Success means every entry is
// there under a name the program can use: entry names a ZIP stores in the DOS code page are given back as
// Windows shows them, and any name still not representable fails the extraction, naming the entry.
bool extractArchive(const QString &archivePath, const QString &destination, bool tolerateCrcWarnings,
                    QString *error = nullptr, const ExtractionLimits &limits = {});
