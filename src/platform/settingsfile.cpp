#include "platform/settingsfile.h"

#include <QFile>
#include <QSettings>

void syncPrivately(QSettings &settings)
{
    settings.sync();
#ifndef Q_OS_WIN
    if (settings.format() == QSettings::NativeFormat || settings.format() == QSettings::IniFormat) {
        const QFileDevice::Permissions ownerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
        QFile file(settings.fileName());
        if (file.exists() && file.permissions() != ownerOnly)
            file.setPermissions(ownerOnly);
    }
#endif
}
