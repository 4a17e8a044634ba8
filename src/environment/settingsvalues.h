#pragma once

#include "catalog/repomod.h"

#include <QList>
#include <QString>
#include <QStringList>

// What the first-run setup and the settings dialog show and save, read from and written to the settings
// store in one place each, so both dialogs only move values between these records and their widgets.

struct SetupValues
{
    QString gamePath;
    QString userModsPath;
    QString modIoModsPath;
    QString extractor;
    QStringList customPaths;
};

struct SettingsValues
{
    QString gamePath;
    QString userModsPath;
    QString modIoModsPath;
    // The mod.io client's storage root; the mod.io mod folder lies below it.
    QString storageRoot;
    QString apiKey;
    QString apiRoot;
    bool communityEnabled = true;
    QString communityUrl;
    QString extractor;
    QString language;
    bool autoCheck = true;
    bool showCleanReports = false;
    QStringList customPaths;
    QList<RepositoryConfig> repositories;
};

bool setupCompleted();
// The stored paths where they still hold, the found ones where they do not.
SetupValues initialSetupValues();
void writeSetupValues(const SetupValues &values);

SettingsValues currentSettingsValues();
// Also marks the setup as done.
void writeSettingsValues(const SettingsValues &values);
