#include "environment/settingsvalues.h"

#include "app/settings.h"
#include "catalog/repositorylist.h"
#include "environment/discovery.h"
#include "environment/externalpaths.h"
#include "platform/settingsfile.h"

#include <QSettings>

namespace {
// Keys the store holds only while they have a value.
void setOrRemove(QSettings &settings, const QString &key, const QString &value)
{
    if (value.isEmpty())
        settings.remove(key);
    else
        settings.setValue(key, value);
}
} // namespace

bool setupCompleted()
{
    return QSettings().value(QStringLiteral("setup/completed"), false).toBool();
}

SetupValues initialSetupValues()
{
    SetupValues values;
    values.gamePath = storedGamePath();
    if (!isGameFolder(values.gamePath))
        values.gamePath = detectGamePath();
    values.userModsPath = storedUserModsPath();
    if (!isFolder(cleanExternalPath(values.userModsPath))) {
        const QString steamMods = findSteamUserModsPath();
        if (!steamMods.isEmpty())
            values.userModsPath = steamMods;
    }
    const QSettings settings;
    values.modIoModsPath = settings.value(QStringLiteral("paths/modio")).toString().trimmed();
    if (values.modIoModsPath.isEmpty() || !isModIoModsFolder(values.modIoModsPath))
        values.modIoModsPath = detectModIoModsPath();
    values.extractor = settings.value(QStringLiteral("tools/7zip")).toString().trimmed();
    values.customPaths = customModPaths();
    return values;
}

void writeSetupValues(const SetupValues &values)
{
    QSettings settings;
    settings.setValue(QStringLiteral("paths/custommods"), values.customPaths);
    settings.setValue(QStringLiteral("paths/game"), values.gamePath);
    settings.setValue(QStringLiteral("paths/usermods"), values.userModsPath);
    settings.setValue(QStringLiteral("paths/modio"), values.modIoModsPath);
    setOrRemove(settings, QStringLiteral("tools/7zip"), values.extractor);
    settings.setValue(QStringLiteral("setup/completed"), true);
    syncPrivately(settings);
}

SettingsValues currentSettingsValues()
{
    SettingsValues values;
    values.gamePath = storedGamePath();
    values.userModsPath = storedUserModsPath();
    values.modIoModsPath = modIoModsPath(detectModIoModsPath());
    values.storageRoot = modIoRootStoragePath();
    if (values.storageRoot.isEmpty())
        values.storageRoot = storageRootFromModsPath(values.modIoModsPath);
    values.apiKey = modIoApiKey();
    values.apiRoot = modIoApiRoot();
    const QSettings settings;
    values.communityEnabled = settings.value(QStringLiteral("community/enabled"), true).toBool();
    values.communityUrl =
        settings.value(QStringLiteral("community/api_url"), defaultCommunityApiUrl()).toString();
    values.extractor = settings.value(QStringLiteral("tools/7zip")).toString();
    values.language =
        settings.value(QStringLiteral("ui/language"), QStringLiteral("de")).toString().toLower();
    values.autoCheck = performanceAutoCheckEnabled();
    values.showCleanReports = showCleanPerformanceReports();
    values.customPaths = customModPaths();
    values.repositories = loadExternalRepositories();
    return values;
}

void writeSettingsValues(const SettingsValues &values)
{
    QSettings settings;
    settings.setValue(QStringLiteral("paths/custommods"), values.customPaths);
    settings.setValue(QStringLiteral("paths/game"), values.gamePath);
    settings.setValue(QStringLiteral("paths/usermods"), values.userModsPath);
    setOrRemove(settings, QStringLiteral("paths/modio"), modsPathFromStorageRoot(values.storageRoot));
    setOrRemove(settings, QStringLiteral("modio/api_key"), values.apiKey);
    settings.setValue(QStringLiteral("modio/api_root"), values.apiRoot);
    settings.setValue(QStringLiteral("community/enabled"), values.communityEnabled);
    settings.setValue(QStringLiteral("community/api_url"), values.communityUrl);
    setOrRemove(settings, QStringLiteral("tools/7zip"), values.extractor);
    settings.setValue(QStringLiteral("ui/language"), values.language);
    settings.setValue(QStringLiteral("performance/auto_check"), values.autoCheck);
    settings.setValue(QStringLiteral("performance/show_clean_reports"), values.showCleanReports);
    settings.setValue(QStringLiteral("setup/completed"), true);
    syncPrivately(settings);
    saveExternalRepositories(values.repositories);
}
