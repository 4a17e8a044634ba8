// The settings file of the game's mod.io client ("globalsettings.json"), read to find the mod.io mods and
// rewritten to move them. The input is the file, a NUL byte and the new storage folder. Each input is tried
// with the file in a plain folder and in a Proton prefix, where the client writes Windows drive paths.

#include "environment/discovery.h"
#include "fuzzinput.h"

#include <QJsonDocument>

namespace {

struct Places
{
    QString plain;
    QString proton;

    Places()
    {
        const QString root = fuzzFolder();
        plain = root + QStringLiteral("/plain");
        const QString prefix = root + QStringLiteral("/compatdata/1948260/pfx");
        proton = prefix + QStringLiteral("/drive_c/users/steamuser/AppData/Local");
        QDir().mkpath(prefix + QStringLiteral("/dosdevices"));
        QFile::link(prefix + QStringLiteral("/drive_c"), prefix + QStringLiteral("/dosdevices/c:"));
        QDir().mkpath(prefix + QStringLiteral("/drive_c/users/Public/mod.io/73160/mods"));
        QDir().mkpath(root + QStringLiteral("/storage/73160/mods"));
        // Nothing outside the folder is looked at, not even the real Steam installation.
        qputenv("HOME", root.toUtf8());
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const Places places;
    const QList<QByteArray> parts = fuzzParts(fuzzBytes(data, size), 2);

    for (const QString &localAppData : {places.plain, places.proton}) {
        qputenv("LOCALAPPDATA", localAppData.toUtf8());
        const QString settingsFile = localAppData + QStringLiteral("/mod.io/globalsettings.json");
        writeFuzzFile(settingsFile, parts.at(0));
        if (parts.at(0).isEmpty())
            continue;
        modIoRootStoragePath();
        detectModIoModsPath();

        // The move runs on the file's content without touching the disk.
        ModIoStorageFileOps fileOps;
        fileOps.makeFolder = [](const QString &) {
            return true;
        };
        fileOps.readFile = [&parts](const QString &, QByteArray *content) {
            *content = parts.at(0);
            return true;
        };
        fileOps.replaceCopy = [](const QString &, const QString &) {
            return true;
        };
        QByteArray saved;
        fileOps.saveFile = [&saved](const QString &, const QByteArray &content) {
            saved = content;
            return ModIoSaveResult::Saved;
        };
        QString error;
        if (moveModIoStorage(QString::fromUtf8(parts.at(1)), &error, fileOps) &&
            !QJsonDocument::fromJson(saved).isObject())
            std::abort();
    }
    return 0;
}
