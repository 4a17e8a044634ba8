#include "environment/pathverdicts.h"

#include "app/settings.h"
#include "environment/discovery.h"
#include "environment/externalpaths.h"
#include "install/extractor.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace {
// Per-game API hosts are sub-domains of this one; the old general host is not among them.
constexpr char modIoApiDomain[] = "modapi.io";

QString tr(const char *text)
{
    return QCoreApplication::translate("MainWindow", text);
}

QString native(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

PathVerdict valid(const QString &text)
{
    return {text, VerdictTone::Valid};
}

PathVerdict invalid(const QString &text)
{
    return {text, VerdictTone::Invalid};
}

bool endsInModIoMods(const QString &folder)
{
    return folder.endsWith(QLatin1String("/73160/mods"), Qt::CaseInsensitive);
}
} // namespace

QString verdictStyleSheet(VerdictTone tone)
{
    switch (tone) {
    case VerdictTone::Valid:
        return QStringLiteral("color:#16813a;");
    case VerdictTone::Invalid:
        return QStringLiteral("color:#b42318;");
    case VerdictTone::Fallback:
        return QStringLiteral("color:#b7791f;");
    }
    return {};
}

PathVerdict gameFolderVerdict(const QString &path, PathDialog dialog)
{
    if (isGameFolder(path))
        return valid(tr("✓ Gültig – ferroline3.exe gefunden"));
    if (dialog == PathDialog::Settings)
        return invalid(tr("✗ Ungültig – ferroline3.exe fehlt"));
    return invalid(tr("✗ Ungültig – in diesem Ordner wurde ferroline3.exe nicht gefunden"));
}

PathVerdict userModsVerdict(const QString &path)
{
    const QString folder = cleanExternalPath(path);
    if (folder.isEmpty())
        return valid(tr("Optional – Zielordner wird bei der ersten Installation abgefragt"));
    if (isFolder(folder))
        return valid(tr("✓ Gültiger Modordner"));
    return invalid(tr("✗ Ungültig – der gewählte Modordner existiert nicht"));
}

PathVerdict modIoModsVerdict(const QString &path, PathDialog dialog)
{
    const QString folder = cleanExternalPath(path);
    if (dialog == PathDialog::Settings) {
        if (folder.isEmpty())
            return valid(tr("Optional – nicht eingerichtet"));
        if (endsInModIoMods(folder))
            return valid(tr("Zielordner: %1").arg(native(folder)));
    } else {
        if (folder.isEmpty())
            return valid(tr("Optional – kein mod.io-Ordner gewählt (globalsettings.json wird automatisch "
                            "geprüft)"));
        if (isModIoModsFolder(folder))
            return valid(tr("✓ Gültiger mod.io-Modordner (.../73160/mods)"));
    }
    return invalid(tr("✗ Ungültig – erwartet wird .../73160/mods"));
}

PathVerdict storageRootVerdict(const QString &root)
{
    const QString folder = cleanExternalPath(root);
    if (folder.isEmpty())
        return valid(tr("Optional – der mod.io-Speicherort wird nicht geändert"));
    if (isUsableStorageRoot(folder))
        return valid(tr("✓ ModHub und ModManager verwenden: %1").arg(native(folder)));
    return invalid(tr("✗ Bitte einen absoluten Ordnerpfad als mod.io-Speicherort wählen"));
}

PathVerdict customPathsVerdict(const QStringList &paths)
{
    int missing = 0;
    for (const QString &path : paths) {
        if (!isFolder(cleanExternalPath(path)))
            ++missing;
    }
    if (missing > 0)
        return invalid(tr("✗ %1 individueller Mod-Pfad bzw. Pfade existieren nicht").arg(missing));
    return valid(tr("✓ %1 individuelle Mod-Pfade eingerichtet").arg(paths.size()));
}

PathVerdict extractorVerdict(const QString &field, const QString &bundledSevenZip,
                             const std::function<QString()> &fallbackTool)
{
    const QString path = field.trimmed();
    if (path.isEmpty()) {
        if (!bundledSevenZip.isEmpty())
            return valid(tr("✓ Integriertes 7-Zip wird verwendet: %1").arg(native(bundledSevenZip)));
        const QString fallback = fallbackTool ? fallbackTool() : QString();
        if (!fallback.isEmpty())
            return {tr("Integriertes 7-Zip fehlt – Fallback gefunden: %1").arg(native(fallback)),
                    VerdictTone::Fallback};
        return invalid(tr("⚠ Integriertes 7-Zip fehlt – kein alternativer Entpacker gefunden"));
    }
    if (!isUsableExtractor(path))
        return invalid(tr("✗ Ungültig – bitte 7z.exe, 7zz.exe, 7za.exe, WinRAR.exe, RAR.exe oder UnRAR.exe "
                          "wählen"));
    if (!bundledSevenZip.isEmpty())
        return valid(tr("✓ Alternative gespeichert – integriertes 7-Zip hat Vorrang"));
    return valid(tr("✓ Gültiger alternativer Entpacker gefunden"));
}

bool isUsableExtractor(const QString &path)
{
    const QString file = cleanExternalPath(path);
    return !file.isEmpty() && QFileInfo(file).isFile() && !extractorKind(file).isEmpty();
}

bool isUsableStorageRoot(const QString &root)
{
    const QString folder = cleanExternalPath(root);
    if (folder.isEmpty() || QDir::isRelativePath(folder))
        return false;
    const QFileInfo info(folder);
    return !info.exists() || info.isDir();
}

QString apiRootFromInput(const QString &text)
{
    QString root = text.trimmed();
    while (root.endsWith(QLatin1Char('/')))
        root.chop(1);
    return root.isEmpty() ? gameModIoApiRoot() : root;
}

Refusal refuseGameFolder(const QString &path, PathDialog dialog)
{
    if (isGameFolder(path))
        return {};
    if (dialog == PathDialog::Settings)
        return {tr("Ungültiger Spielordner"),
                tr("Bitte wähle den Ferroline-3-Hauptordner aus. Dort muss ferroline3.exe liegen.")};
    return {tr("Ungültiger Spielordner"), tr("Im gewählten Ferroline-3-Ordner wurde keine ferroline3.exe "
                                             "gefunden.\n\nBitte wähle den Hauptordner des Spiels aus.")};
}

Refusal refuseUserMods(const QString &path, PathDialog dialog)
{
    if (isExistingOrEmptyFolder(path))
        return {};
    if (dialog == PathDialog::Settings)
        return {tr("Ungültiger Modordner"),
                tr("Der gewählte Modordner existiert nicht. Bei Nicht-Steam-Versionen kann das Feld leer "
                   "bleiben; der Zielordner wird dann bei der ersten Installation abgefragt.")};
    return {tr("Ungültiger Modordner"),
            tr("Der gewählte Modordner existiert nicht. Das Feld kann bei Nicht-Steam-Versionen auch leer "
               "bleiben; der Zielordner wird dann bei der ersten Installation abgefragt.")};
}

Refusal refuseModIoMods(const QString &path)
{
    if (isModIoModsFolder(path))
        return {};
    return {tr("Ungültiger mod.io-Ordner"), tr("Der mod.io-Pfad muss auf \\73160\\mods enden und vorhanden "
                                               "sein. Alternativ kann das Feld leer bleiben.")};
}

Refusal refuseExtractor(const QString &path)
{
    if (path.trimmed().isEmpty() || isUsableExtractor(path))
        return {};
    return {tr("Ungültiger Entpacker"),
            tr("Bitte wähle 7z.exe, 7zz.exe, 7za.exe, WinRAR.exe, RAR.exe oder UnRAR.exe aus oder lasse das "
               "Feld für die automatische Erkennung leer.")};
}

Refusal refuseCustomPaths(const QStringList &paths, QStringList *kept)
{
    QStringList folders;
    for (const QString &path : paths) {
        const QString folder = cleanExternalPath(path);
        if (!isFolder(folder))
            return {tr("Ungültiger individueller Modpfad"),
                    tr("Der individuelle Modpfad existiert nicht:\n%1").arg(native(folder))};
        if (!folders.contains(folder, Qt::CaseInsensitive))
            folders.append(folder);
    }
    if (kept)
        *kept = folders;
    return {};
}

Refusal refuseModIoApiRoot(const QString &root)
{
    const QUrl url(root, QUrl::TolerantMode);
    const QString host = url.host();
    const QString domain = QLatin1String(modIoApiDomain);
    const bool modIoHost = host.compare(domain, Qt::CaseInsensitive) == 0 ||
                           host.endsWith(QLatin1Char('.') + domain, Qt::CaseInsensitive);
    if (url.isValid() && url.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0 && modIoHost)
        return {};
    return {
        tr("Ungültiger mod.io API-Pfad"),
        tr("Bitte trage deinen persönlichen mod.io API-Pfad ein. Er hat die Form "
           "https://g-<Spiel-ID>.modapi.io/v1 und steht auf der mod.io-Seite „API access“.\n\nDer frühere "
           "allgemeine Endpunkt https://api.mod.io/v1 wird nicht mehr unterstützt.")};
}

Refusal refuseCommunityUrl(const QString &url)
{
    const QUrl parsed(url, QUrl::TolerantMode);
    const QString scheme = parsed.scheme().toLower();
    if (parsed.isValid() && (scheme == QLatin1String("http") || scheme == QLatin1String("https")) &&
        !parsed.host().isEmpty())
        return {};
    return {tr("Ungültige Community-API"),
            tr("Bitte trage eine gültige HTTP- oder HTTPS-Adresse für die Community-API ein.")};
}

Refusal refuseStorageRoot(const QString &root)
{
    if (cleanExternalPath(root).isEmpty() || isUsableStorageRoot(root))
        return {};
    return {tr("Ungültiger mod.io-Speicherort"),
            tr("Bitte wähle einen absoluten Ordnerpfad für den mod.io-Speicherort.")};
}
