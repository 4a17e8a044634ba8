#include "install/extractor.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

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

// Cuts at most limit characters without splitting a surrogate pair.
QString leftCharacters(const QString &text, int limit)
{
    if (text.size() <= limit)
        return text;
    if (limit > 0 && text.at(limit - 1).isHighSurrogate())
        --limit;
    return text.left(limit);
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

QString extractionErrorText(const QString &program, const ExternalToolRun &run)
{
    QString text;
    if (run.output.toLower().contains(QLatin1String("missing volume"))) {
        text = tr("Das mehrteilige Archiv ist unvollständig. Mindestens ein weiterer Archivteil fehlt.\n\n"
                  "Bei gesplitteten Archiven müssen alle Teile (z. B. .part1.rar, .part2.rar, …) im selben "
                  "Ordner vorhanden sein. Bei Repository-Installationen müssen alle Teile vom Repository "
                  "bereitgestellt werden.");
    } else {
        text = tr("Archiv konnte nicht entpackt werden.");
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
                    QString *error, const ExternalToolLimits &limits)
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

    const ExternalToolRun run = runExternalTool(command.program, command.arguments, target, limits);
    bool ok = run.succeeded();
    if (!ok && tolerateCrcWarnings && run.started && !run.timedOut && run.normalExit)
        ok = isCrcOnlyExtractionError(run.output);
    if (error)
        *error = ok ? QString() : extractionErrorText(command.program, run);
    return ok;
}
