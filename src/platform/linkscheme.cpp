#include "platform/linkscheme.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#ifdef Q_OS_WIN
#include <QSettings>
#endif

namespace {

const QLatin1String schemeMimeType("x-scheme-handler/fx3modmanager");
const QLatin1String defaultsSection("[Default Applications]");

// One argument of an Exec line: quoted when it holds anything the launcher would otherwise interpret.
QString execArgument(const QString &argument)
{
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    bool needsQuotes = argument.isEmpty();
    for (const QChar c : argument)
        needsQuotes = needsQuotes || reserved.contains(c);
    QString quoted;
    for (const QChar c : argument) {
        if (needsQuotes && (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') ||
                            c == QLatin1Char('\\')))
            quoted += QLatin1Char('\\');
        quoted += c;
    }
    if (needsQuotes)
        quoted = QLatin1Char('"') + quoted + QLatin1Char('"');
    // The key file layer reads "\\" as one backslash, and "%" starts a field code.
    quoted.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    quoted.replace(QLatin1Char('%'), QLatin1String("%%"));
    return quoted;
}

bool writeIfChanged(const QString &path, const QByteArray &content)
{
    QFile existing(path);
    if (existing.open(QIODevice::ReadOnly) && existing.readAll() == content)
        return true;
    existing.close();
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(content);
    return file.commit();
}

bool isSectionHeader(const QString &line)
{
    return line.trimmed().startsWith(QLatin1Char('['));
}

} // namespace

QString linkHandlerDesktopEntry(const QString &executable)
{
    return QStringLiteral("[Desktop Entry]\n"
                          "Type=Application\n"
                          "Name=Trackhaven FX3 Mod-Manager\n"
                          "Comment=Opens fx3modmanager links\n"
                          "Exec=%1 %u\n"
                          "Terminal=false\n"
                          "NoDisplay=true\n"
                          "MimeType=x-scheme-handler/fx3modmanager;\n")
        .arg(execArgument(executable));
}

QString withDefaultLinkHandler(const QString &mimeApps, const QString &desktopFile)
{
    const QString entry = schemeMimeType + QLatin1Char('=') + desktopFile;
    QStringList lines = mimeApps.split(QLatin1Char('\n'));
    // A final line break leaves one empty piece that is not a line of its own.
    const bool endedWithBreak = !mimeApps.isEmpty() && mimeApps.endsWith(QLatin1Char('\n'));
    if (endedWithBreak || mimeApps.isEmpty())
        lines.removeLast();

    int section = -1;
    for (int i = 0; i < lines.size(); ++i) {
        if (lines.at(i).trimmed() == defaultsSection) {
            section = i;
            break;
        }
    }
    if (section < 0) {
        if (!lines.isEmpty() && !lines.constLast().trimmed().isEmpty())
            lines.append(QString());
        lines.append(defaultsSection);
        lines.append(entry);
        return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
    }

    int end = section + 1;
    while (end < lines.size() && !isSectionHeader(lines.at(end)))
        ++end;
    int existing = -1;
    for (int i = section + 1; i < end; ++i) {
        const QString key = lines.at(i).section(QLatin1Char('='), 0, 0).trimmed();
        if (lines.at(i).contains(QLatin1Char('=')) && key == schemeMimeType) {
            existing = i;
            break;
        }
    }
    if (existing >= 0) {
        lines[existing] = entry;
    } else {
        // After the section's last entry, before the blank lines that separate it from the next section.
        int insertAt = end;
        while (insertAt > section + 1 && lines.at(insertAt - 1).trimmed().isEmpty())
            --insertAt;
        lines.insert(insertAt, entry);
    }
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

bool registerDesktopLinkHandler(const QString &executable, const QString &dataHome, const QString &configHome)
{
    if (executable.isEmpty() || dataHome.isEmpty() || configHome.isEmpty())
        return false;
    const QString desktopFile = QString::fromLatin1(linkHandlerDesktopFile);
    if (!writeIfChanged(dataHome + QStringLiteral("/applications/") + desktopFile,
                        linkHandlerDesktopEntry(executable).toUtf8()))
        return false;

    const QString mimeAppsPath = configHome + QStringLiteral("/mimeapps.list");
    QFile mimeApps(mimeAppsPath);
    QString current;
    if (mimeApps.exists()) {
        if (!mimeApps.open(QIODevice::ReadOnly))
            return false; // never replace a file we could not read
        current = QString::fromUtf8(mimeApps.readAll());
        mimeApps.close();
    }
    return writeIfChanged(mimeAppsPath, withDefaultLinkHandler(current, desktopFile).toUtf8());
}

void registerLinkScheme()
{
#ifdef Q_OS_WIN
    const QString path = QDir::toNativeSeparators(QCoreApplication::applicationFilePath());
    const QString quoted = QLatin1Char('"') + path + QLatin1Char('"');
    QSettings key(QStringLiteral("HKEY_CURRENT_USER\\Software\\Classes\\fx3modmanager"),
                  QSettings::NativeFormat);
    key.setValue(QStringLiteral("."), QStringLiteral("URL:FX3 ModManager Protocol"));
    key.setValue(QStringLiteral("URL Protocol"), QString());
    key.setValue(QStringLiteral("DefaultIcon/."), quoted + QStringLiteral(",0"));
    key.setValue(QStringLiteral("shell/open/command/."), quoted + QStringLiteral(" \"%1\""));
    key.sync();
#else
    // An AppImage runs from a mount that is gone after it ends; the image itself is what must be started.
    QString executable = qEnvironmentVariable("APPIMAGE");
    if (executable.isEmpty())
        executable = QCoreApplication::applicationFilePath();
    registerDesktopLinkHandler(executable,
                               QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation),
                               QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation));
#endif
}
