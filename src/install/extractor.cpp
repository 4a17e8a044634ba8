#include "install/extractor.h"

#include "analysis/bytesize.h"
#include "install/archivevolumes.h"
#include "platform/rawnames.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QStorageInfo>

#include <limits>

#ifdef Q_OS_WIN
#include "platform/extractorplaces.h"
#endif

namespace {
constexpr int maxOutputInError = 3500;

QString tr(const char *text)
{
    return QCoreApplication::translate("MainWindow", text);
}

QString configuredExtractor()
{
    return QSettings().value(QStringLiteral("tools/7zip")).toString().trimmed();
}

bool isExistingFile(const QString &path)
{
    return !path.isEmpty() && QFileInfo(path).isFile();
}

QString firstOnSearchPath(std::initializer_list<const char *> names)
{
    for (const char *name : names) {
        const QString hit = QStandardPaths::findExecutable(QString::fromLatin1(name));
        if (isExistingFile(hit))
            return QDir::cleanPath(hit);
    }
    return {};
}

QString firstExistingFile(const QStringList &candidates)
{
    for (const QString &candidate : candidates) {
        if (isExistingFile(candidate))
            return candidate;
    }
    return {};
}

QString native(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

// Cuts at most limit characters without splitting a surrogate pair.
QString leftCharacters(const QString &text, int limit)
{
    if (text.size() <= limit)
        return text;
    if (limit > 0 && text.at(limit - 1).isHighSurrogate())
        --limit;
    return text.left(limit);
}

bool containsAny(const QString &lowerText, std::initializer_list<const char *> markers)
{
    for (const char *marker : markers) {
        if (lowerText.contains(QLatin1String(marker)))
            return true;
    }
    return false;
}

// A set's missing volume shows as the unexpected end of the volumes that are there. A plain "name.rar" only
// looks like the first volume of an old-style set; its unexpected end is a damaged file.
bool isVolumeOfSet(const QString &archivePath)
{
    const ArchiveVolumeInfo volume = parseArchiveVolumeName(archivePath);
    return volume.isMultiVolume && !(volume.groupKey.startsWith(QLatin1String("rar-old|")) && volume.isFirst);
}

QString failureCause(const QString &output, const QString &archivePath)
{
    const QString lower = output.toLower();
    // With its input closed, 7-Zip gives up at its password prompt.
    if (containsAny(lower, {"enter password", "wrong password", "can not open encrypted archive"})) {
        return tr(
            "Das Archiv ist mit einem Passwort geschützt. Der ModManager kann verschlüsselte Archive nicht "
            "entpacken.");
    }
    // "missing volume" already has a message of its own.
    if (!lower.contains(QLatin1String("missing volume")) && lower.contains(QLatin1String("unexpected end")) &&
        isVolumeOfSet(archivePath)) {
        return tr("Ein Teil des mehrteiligen Archivs fehlt oder ist unvollständig.");
    }
    // The texts of the POSIX and the Windows error.
    if (containsAny(lower, {"file name too long", "filename or extension is too long"}))
        return tr("Ein Name im Archiv ist für dieses System zu lang.");
    if (containsAny(lower, {"is not archive", "can not open the file as archive"})) {
        return tr("Die Datei ist kein Archiv, das entpackt werden kann (zum Beispiel eine Webseite statt der "
                  "Mod-Datei).");
    }
    return {};
}

bool isZipFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray head = file.read(4);
    return head == QByteArrayLiteral("PK\x03\x04") || head == QByteArrayLiteral("PK\x05\x06") ||
           head == QByteArrayLiteral("PK\x07\x08");
}

// Old Windows tools store ZIP entry names in the DOS code page and leave the UTF-8 flag unset. 7-Zip on
// Windows reads them in the system's DOS code page (850 on German systems), which is how the mod's author and
// the players there see them. Elsewhere 7-Zip writes the names' bytes unchanged (its -mcp switch has no
// effect there; seen with 7-Zip 26.02 on Linux), so the program renames them the Windows way. Other formats
// store names in Unicode: whatever stray bytes they leave are for the check that follows, not guessed at.
bool repairsDosNames(const QString &archivePath)
{
#ifdef Q_OS_WIN
    Q_UNUSED(archivePath);
    return false;
#else
    return isZipFile(archivePath);
#endif
}

QString dosCodePage850(const QByteArray &bytes)
{
    static const char16_t upperHalf[128] = {
        u'\u00C7', u'\u00FC', u'\u00E9', u'\u00E2', u'\u00E4', u'\u00E0', u'\u00E5', u'\u00E7', u'\u00EA',
        u'\u00EB', u'\u00E8', u'\u00EF', u'\u00EE', u'\u00EC', u'\u00C4', u'\u00C5', u'\u00C9', u'\u00E6',
        u'\u00C6', u'\u00F4', u'\u00F6', u'\u00F2', u'\u00FB', u'\u00F9', u'\u00FF', u'\u00D6', u'\u00DC',
        u'\u00F8', u'\u00A3', u'\u00D8', u'\u00D7', u'\u0192', u'\u00E1', u'\u00ED', u'\u00F3', u'\u00FA',
        u'\u00F1', u'\u00D1', u'\u00AA', u'\u00BA', u'\u00BF', u'\u00AE', u'\u00AC', u'\u00BD', u'\u00BC',
        u'\u00A1', u'\u00AB', u'\u00BB', u'\u2591', u'\u2592', u'\u2593', u'\u2502', u'\u2524', u'\u00C1',
        u'\u00C2', u'\u00C0', u'\u00A9', u'\u2563', u'\u2551', u'\u2557', u'\u255D', u'\u00A2', u'\u00A5',
        u'\u2510', u'\u2514', u'\u2534', u'\u252C', u'\u251C', u'\u2500', u'\u253C', u'\u00E3', u'\u00C3',
        u'\u255A', u'\u2554', u'\u2569', u'\u2566', u'\u2560', u'\u2550', u'\u256C', u'\u00A4', u'\u00F0',
        u'\u00D0', u'\u00CA', u'\u00CB', u'\u00C8', u'\u0131', u'\u00CD', u'\u00CE', u'\u00CF', u'\u2518',
        u'\u250C', u'\u2588', u'\u2584', u'\u00A6', u'\u00CC', u'\u2580', u'\u00D3', u'\u00DF', u'\u00D4',
        u'\u00D2', u'\u00F5', u'\u00D5', u'\u00B5', u'\u00FE', u'\u00DE', u'\u00DA', u'\u00DB', u'\u00D9',
        u'\u00FD', u'\u00DD', u'\u00AF', u'\u00B4', u'\u00AD', u'\u00B1', u'\u2017', u'\u00BE', u'\u00B6',
        u'\u00A7', u'\u00F7', u'\u00B8', u'\u00B0', u'\u00A8', u'\u00B7', u'\u00B9', u'\u00B3', u'\u00B2',
        u'\u25A0', u'\u00A0'};
    QString name;
    for (const char byte : bytes) {
        const auto code = static_cast<unsigned char>(byte);
        name += code < 0x80 ? QChar(code) : QChar(upperHalf[code - 0x80]);
    }
    return name;
}

// Every entry must be reachable by its name: the copy can only see entries it can name and would leave the
// others behind without a word.
bool checkEntryNames(const QString &archivePath, const QString &destination, QString *error)
{
    QList<QByteArray> unnamed = undecodableEntries(destination);
    if (!unnamed.isEmpty() && repairsDosNames(archivePath)) {
        for (const QByteArray &entry : std::as_const(unnamed))
            renameUndecodableEntry(destination, entry, dosCodePage850(entry.mid(entry.lastIndexOf('/') + 1)));
        unnamed = undecodableEntries(destination);
    }
    if (unnamed.isEmpty())
        return true;
    if (error) {
        *error = tr("Das Archiv enthält einen Namen, der auf diesem System nicht dargestellt werden kann. Es "
                    "wurde nichts installiert.\n\nBetroffener Eintrag: %1")
                     .arg(native(QString::fromUtf8(unnamed.first())));
    }
    // Under names Qt can use, the entries are removed with the rest of the folder.
    int number = 0;
    for (const QByteArray &entry : std::as_const(unnamed)) {
        for (int attempt = 0; attempt < 100; ++attempt) {
            if (renameUndecodableEntry(destination, entry, QStringLiteral("unnamed-%1").arg(++number)))
                break;
        }
    }
    return false;
}

// The sum of the "Size = " lines of the entries in 7-Zip's technical listing ("l -slt"); -1 when the output
// lists no entries.
qint64 unpackedSizeFromListing(const QString &output)
{
    // The entries follow a line of ten dashes; the blocks before it describe the archive itself (and, for
    // volumes, the joined whole, whose "Size = " is the packed size).
    bool inEntries = false;
    qint64 total = 0;
    const QStringList lines = output.split(QLatin1Char('\n'));
    for (const QString &rawLine : lines) {
        const QString line = rawLine.trimmed();
        if (line == QLatin1String("----------")) {
            inEntries = true;
        } else if (inEntries && line.startsWith(QLatin1String("Size = "))) {
            const qint64 size = qMax<qint64>(0, line.mid(7).toLongLong());
            total = size > std::numeric_limits<qint64>::max() - total ? std::numeric_limits<qint64>::max()
                                                                      : total + size;
        }
    }
    return inEntries ? total : -1;
}

// Asks 7-Zip, before it writes anything, whether the unpacked content fits on the destination's volume: a
// small archive can unpack to gigabytes and fill the disk the system and the game need. The margin (a tenth
// plus 64 MiB) covers what the file system spends beyond the bytes themselves (blocks, folder entries) and
// keeps the volume usable while the copy runs. When 7-Zip cannot list the archive, nothing is guessed: the
// extraction itself then reports why.
bool fitsOnDisk(const QString &sevenZip, const QString &archive, const QString &destination,
                const ExtractionLimits &limits, QString *error)
{
    const ExternalToolRun listing = runExternalTool(
        sevenZip, {QStringLiteral("l"), QStringLiteral("-slt"), native(archive)}, destination, limits.tool);
    const qint64 unpacked = listing.succeeded() ? unpackedSizeFromListing(listing.output) : -1;
    if (unpacked < 0)
        return true;
    const qint64 free =
        limits.freeSpace ? limits.freeSpace(destination) : QStorageInfo(destination).bytesAvailable();
    const qint64 margin = unpacked / 10 + 64 * 1024 * 1024;
    if (free < 0 || unpacked <= free - margin)
        return true;
    if (error) {
        *error = tr("Das Archiv ist entpackt %1 groß, auf dem Laufwerk des temporären Ordners (%3) sind aber "
                    "nur %2 frei. Zum Entpacken wird etwas mehr Platz gebraucht, als die Dateien selbst "
                    "belegen.\n\nBitte schaffe dort Platz und versuche es erneut.")
                     .arg(formatByteSize(unpacked), formatByteSize(free), native(destination));
    }
    return false;
}
} // namespace

QString extractorKind(const QString &fileName)
{
    const QString name = QFileInfo(fileName).fileName().toLower();
    static const QStringList sevenZipNames = {QStringLiteral("7z.exe"),  QStringLiteral("7zz.exe"),
                                              QStringLiteral("7za.exe"), QStringLiteral("7z"),
                                              QStringLiteral("7zz"),     QStringLiteral("7za")};
    static const QStringList rarNames = {QStringLiteral("winrar.exe"), QStringLiteral("rar.exe"),
                                         QStringLiteral("unrar.exe"),  QStringLiteral("winrar"),
                                         QStringLiteral("rar"),        QStringLiteral("unrar")};
    if (sevenZipNames.contains(name))
        return QStringLiteral("7zip");
    if (rarNames.contains(name))
        return QStringLiteral("winrar");
    return {};
}

QString findBundledSevenZip(const QString &applicationFolder)
{
    if (applicationFolder.isEmpty())
        return {};
    const QString found = firstExistingFile({applicationFolder + QStringLiteral("/tools/7zip/7z.exe"),
                                             applicationFolder + QStringLiteral("/7zip/7z.exe"),
                                             applicationFolder + QStringLiteral("/7z.exe")});
    return found.isEmpty() ? QString() : QDir::cleanPath(found);
}

QString findBundledSevenZip()
{
    return findBundledSevenZip(QCoreApplication::applicationDirPath());
}

QStringList sevenZipCandidateFiles(const QStringList &folders)
{
    QStringList candidates;
    for (const QString &folder : folders) {
        const QString cleaned = QDir::cleanPath(QDir::fromNativeSeparators(folder.trimmed()));
        if (cleaned.isEmpty())
            continue;
        for (const char *name : {"7z.exe", "7zz.exe", "7za.exe"})
            candidates.append(cleaned + QLatin1Char('/') + QLatin1String(name));
    }
    return candidates;
}

QString findSevenZip(const QString &applicationFolder)
{
    const QString bundled = findBundledSevenZip(applicationFolder);
    if (!bundled.isEmpty())
        return bundled;

    // A configured tool is the user's explicit choice: when it is not a usable 7-Zip, no other 7-Zip is
    // tried behind the user's back (a configured WinRAR is findRarTool's).
    const QString configured = configuredExtractor();
    if (!configured.isEmpty()) {
        const QString path = QDir::cleanPath(QDir::fromNativeSeparators(configured));
        return isExistingFile(path) && extractorKind(path) == QLatin1String("7zip") ? path : QString();
    }

    const QString onPath = firstOnSearchPath({"7z.exe", "7zz.exe", "7za.exe", "7z", "7zz", "7za"});
    if (!onPath.isEmpty())
        return onPath;

#ifdef Q_OS_WIN
    return firstExistingFile(sevenZipCandidateFiles(windowsSevenZipFolders()));
#else
    return {};
#endif
}

QString findSevenZip()
{
    return findSevenZip(QCoreApplication::applicationDirPath());
}

QString findRarTool()
{
    const QString configured = configuredExtractor();
    if (!configured.isEmpty()) {
        const QString path = QDir::cleanPath(QDir::fromNativeSeparators(configured));
        return isExistingFile(path) && extractorKind(path) == QLatin1String("winrar") ? path : QString();
    }

    const QString onPath =
        firstOnSearchPath({"WinRAR.exe", "UnRAR.exe", "RAR.exe", "winrar", "unrar", "rar"});
    if (!onPath.isEmpty())
        return onPath;

#ifdef Q_OS_WIN
    for (const QString &folder : windowsWinRarFolders()) {
        const QString base = QDir::cleanPath(QDir::fromNativeSeparators(folder));
        const QString found =
            firstExistingFile({base + QStringLiteral("/WinRAR.exe"), base + QStringLiteral("/UnRAR.exe"),
                               base + QStringLiteral("/RAR.exe")});
        if (!found.isEmpty())
            return found;
    }
#endif
    return {};
}

bool isCrcOnlyExtractionError(const QString &output)
{
    const QString lower = output.toLower();
    if (!lower.contains(QLatin1String("crc failed")))
        return false;
    static const char *const worse[] = {"data error",         "headers error",   "unexpected end",
                                        "can not open",       "cannot open",     "not archive",
                                        "unsupported method", "wrong password",  "access is denied",
                                        "cannot create",      "not enough space"};
    for (const char *marker : worse) {
        if (lower.contains(QLatin1String(marker)))
            return false;
    }
    return true;
}

ExtractorCommand sevenZipExtractCommand(const QString &sevenZip, const QString &archivePath,
                                        const QString &destination)
{
    return {QDir::toNativeSeparators(sevenZip),
            {QStringLiteral("x"), QStringLiteral("-y"),
             QStringLiteral("-o%1").arg(QDir::toNativeSeparators(destination)),
             QDir::toNativeSeparators(archivePath)}};
}

ExtractorCommand rarExtractCommand(const QString &rarTool, const QString &archivePath,
                                   const QString &destination)
{
    // WinRAR reads a destination without a trailing separator as a file name pattern.
    QString target = QDir::toNativeSeparators(destination);
    if (!target.endsWith(QDir::separator()))
        target += QDir::separator();
    return {QDir::toNativeSeparators(rarTool),
            {QStringLiteral("x"), QStringLiteral("-y"), QDir::toNativeSeparators(archivePath), target}};
}

QString powerShellLiteral(const QString &text)
{
    // PowerShell ends a single-quoted string at the typographic single quotes as well as at ', and reads
    // any of them doubled as the character itself. A name like "Bob’s Mod.zip" must not end the literal.
    QString literal = QStringLiteral("'");
    for (const QChar c : text) {
        literal += c;
        const char16_t u = c.unicode();
        if (u == u'\'' || u == u'\u2018' || u == u'\u2019' || u == u'\u201A' || u == u'\u201B')
            literal += c;
    }
    literal += QLatin1Char('\'');
    return literal;
}

ExtractorCommand powerShellExpandCommand(const QString &archivePath, const QString &destination)
{
    const QString command = QStringLiteral("Expand-Archive -LiteralPath %1 -DestinationPath %2 -Force")
                                .arg(powerShellLiteral(QDir::toNativeSeparators(archivePath)),
                                     powerShellLiteral(QDir::toNativeSeparators(destination)));
    return {QStringLiteral("powershell.exe"),
            {QStringLiteral("-NoProfile"), QStringLiteral("-ExecutionPolicy"), QStringLiteral("Bypass"),
             QStringLiteral("-Command"), command}};
}

ExtractorCommand chooseExtractorCommand(const QString &archivePath, const QString &destination)
{
    const QString sevenZip = findSevenZip();
    if (!sevenZip.isEmpty())
        return sevenZipExtractCommand(sevenZip, archivePath, destination);
    const QString rarTool = findRarTool();
    if (!rarTool.isEmpty())
        return rarExtractCommand(rarTool, archivePath, destination);
#ifdef Q_OS_WIN
    if (QFileInfo(archivePath).suffix().toLower() == QLatin1String("zip"))
        return powerShellExpandCommand(archivePath, destination);
#endif
    return {};
}

QString extractionErrorText(const QString &program, const ExternalToolRun &run, const QString &archivePath)
{
    QString text = failureCause(run.output, archivePath);
    if (!text.isEmpty())
        text += QStringLiteral("\n\n");
    if (run.output.toLower().contains(QLatin1String("missing volume"))) {
        text += tr("Das mehrteilige Archiv ist unvollständig. Mindestens ein weiterer Archivteil fehlt.\n\n"
                   "Bei gesplitteten Archiven müssen alle Teile (z. B. .part1.rar, .part2.rar, …) im selben "
                   "Ordner vorhanden sein. Bei Repository-Installationen müssen alle Teile vom Repository "
                   "bereitgestellt werden.");
    } else {
        text += tr("Archiv konnte nicht entpackt werden.");
    }
    if (!program.isEmpty())
        text += tr("\nProgramm: %1").arg(QDir::toNativeSeparators(program));
    if (run.timedOut)
        text += tr("\nZeitüberschreitung beim Entpacken (120 Sekunden).");
    text += tr("\nExit-Code: %1").arg(run.exitCode);
    if (!run.output.trimmed().isEmpty())
        text += QStringLiteral("\n\n") + leftCharacters(run.output, maxOutputInError);
    return text;
}

bool extractArchive(const QString &archivePath, const QString &destination, bool tolerateCrcWarnings,
                    QString *error, const ExtractionLimits &limits)
{
    // Absolute paths: a relative name starting with '-' would reach the tool as a switch.
    const QString archive = QFileInfo(archivePath).absoluteFilePath();
    const QString target = QFileInfo(destination).absoluteFilePath();

    const ExtractorCommand command = chooseExtractorCommand(archive, target);
    if (command.program.isEmpty()) {
        if (error) {
            *error =
                tr("Das integrierte 7-Zip fehlt in dieser ModManager-Installation und es wurde kein "
                   "alternativer Entpacker gefunden.\n\nBitte installiere den ModManager vollständig neu "
                   "oder wähle unter Einstellungen einen alternativen Entpacker aus.");
        }
        return false;
    }

    if (extractorKind(command.program) == QLatin1String("7zip") &&
        !fitsOnDisk(command.program, archive, target, limits, error)) {
        return false;
    }

    const ExternalToolRun run = runExternalTool(command.program, command.arguments, target, limits.tool);
    bool ok = run.succeeded();
    if (!ok && tolerateCrcWarnings && run.started && !run.timedOut && run.normalExit)
        ok = isCrcOnlyExtractionError(run.output);
    if (!ok) {
        if (error)
            *error = extractionErrorText(command.program, run, archive);
        return false;
    }
    if (!checkEntryNames(archive, target, error))
        return false;
    if (error)
        error->clear();
    return true;
}
