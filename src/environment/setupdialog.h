#pragma once

#include "app/messageprompts.h"
#include "environment/pathfieldwidgets.h"
#include "environment/settingsvalues.h"

#include <QDialog>

class QPushButton;

// The first-run setup: the player confirms the found folders and the extractor once. Nothing is written
// before "Speichern und starten" has accepted every field; cancelling leaves the setup for the next start.
class SetupDialog : public QDialog
{
    Q_OBJECT

public:
    SetupDialog(const SetupValues &initial, const MessagePrompts &prompts, QWidget *parent = nullptr);

    struct Fields
    {
        PathField game;
        PathField userMods;
        PathField modIoMods;
        PathField extractor;
        QPushButton *builtInExtractorButton = nullptr;
        CustomPathsWidget *customPaths = nullptr;
        QPushButton *cancelButton = nullptr;
        QPushButton *saveButton = nullptr;
    };
    const Fields &fields() const { return m_fields; }

public Q_SLOTS:
    // Validates, writes the settings and accepts; false when a warning was shown instead.
    bool save();

private:
    void refreshVerdicts();

    MessagePrompts m_prompts;
    Fields m_fields;
};
