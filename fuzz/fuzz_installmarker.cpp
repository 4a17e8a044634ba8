// The install marker and the mod.io file id file in a mod folder; both are plain files anyone may edit.

#include "fuzzinput.h"
#include "localmods/installmarker.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input = fuzzBytes(data, size);
    const QString folder = fuzzFolder() + QStringLiteral("/mod");
    writeFuzzFile(folder + QLatin1Char('/') + installMarkerFileName(), input);
    writeFuzzFile(folder + QLatin1Char('/') + modIoFileIdFileName(), input);

    const std::optional<QJsonObject> marker = readInstallMarker(folder);
    if (marker) {
        for (const MarkerUse use : {MarkerUse::Scan, MarkerUse::InstalledCopy}) {
            LocalMod mod;
            mod.folderName = QStringLiteral("mod");
            mod.name = mod.folderName;
            mod.filesVersion = QStringLiteral("1.2.0");
            applyInstallMarker(mod, *marker, use);
        }
        markerModIoFileId(*marker);
    }
    readModIoFileIdFile(folder);
    return 0;
}
