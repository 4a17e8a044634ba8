#pragma once

#include "app/messageprompts.h"
#include "catalog/repomod.h"
#include "catalog/repositorydialog.h"
#include "environment/pathfieldwidgets.h"
#include "environment/settingsvalues.h"

#include <QDialog>
#include <QList>

#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;

// The preview image cache is shown and cleared by its owner; the dialog only asks.
struct PreviewCacheHooks
{
    // The line describing the cache's content.
    std::function<QString()> infoText;
    // Empties the cache; false when something could not be deleted.
    std::function<bool()> clear;
};

// The settings behind the main window's "Einstellungen" button. It reads the current values when it is
// built and edits copies of them; nothing reaches the settings store before "Speichern" has validated every
// tab, and "Abbrechen" leaves the store exactly as it was. The one exception is a confirmed move of the
// mod.io storage location, which "Speichern" makes before it writes the keys.
class SettingsDialog : public QDialog
{
    Q_OBJECT

public:
    explicit SettingsDialog(const MessagePrompts &prompts, QWidget *parent = nullptr);

    void setRepositoryEditorHooks(const RepositoryEditorHooks &hooks) { m_repositoryHooks = hooks; }
    void setPreviewCacheHooks(const PreviewCacheHooks &hooks);

    // The dialog's copy of the external repositories, with the editor's changes.
    QList<RepositoryConfig> externalRepositories() const { return m_values.repositories; }
    // After "Speichern": whether the interface language differs from the one the dialog started with.
    bool languageChanged() const { return m_languageChanged; }

    struct Fields
    {
        QComboBox *language = nullptr;
        QCheckBox *autoCheck = nullptr;
        QCheckBox *showCleanReports = nullptr;
        PathField game;
        PathField userMods;
        PathField storageRoot;
        PathField modIoMods;
        QLineEdit *apiKey = nullptr;
        QPushButton *apiAccessButton = nullptr;
        QLineEdit *apiRoot = nullptr;
        QCheckBox *communityEnabled = nullptr;
        QLineEdit *communityUrl = nullptr;
        PathField extractor;
        QPushButton *builtInExtractorButton = nullptr;
        CustomPathsWidget *customPaths = nullptr;
        QLabel *previewCacheInfo = nullptr;
        QPushButton *clearPreviewCacheButton = nullptr;
    };
    const Fields &fields() const { return m_fields; }

    QTabWidget *tabs() const { return m_tabs; }
    QLabel *repositorySummaryLabel() const { return m_repositorySummary; }
    QPushButton *manageRepositoriesButton() const { return m_manageRepositoriesButton; }
    QPushButton *saveButton() const { return m_saveButton; }
    QPushButton *cancelButton() const { return m_cancelButton; }

public Q_SLOTS:
    void manageExternalRepositories();
    void clearPreviewCache();
    // Validates every tab, writes the settings and accepts; false when something was refused.
    bool save();

private:
    QWidget *buildGeneralTab();
    QWidget *buildModIoTab();
    QWidget *buildPathsTab();
    QWidget *buildRepositoriesTab();
    void storageRootEdited();
    void refreshVerdicts();
    void refreshRepositorySummary();
    void refreshPreviewCacheInfo();
    // The fields' values as they would be saved.
    SettingsValues enteredValues() const;
    // Warns about the first value that cannot be saved, and moves the mod.io storage when the player
    // agrees; false when the save must stop.
    bool acceptValues(SettingsValues &values);

    MessagePrompts m_prompts;
    RepositoryEditorHooks m_repositoryHooks;
    PreviewCacheHooks m_previewCacheHooks;
    // As read when the dialog opened; the repositories are the editor's working copy.
    SettingsValues m_values;
    bool m_languageChanged = false;

    Fields m_fields;
    QTabWidget *m_tabs = nullptr;
    QLabel *m_repositorySummary = nullptr;
    QPushButton *m_manageRepositoriesButton = nullptr;
    QPushButton *m_saveButton = nullptr;
    QPushButton *m_cancelButton = nullptr;
};
