#pragma once

#include "catalog/repomod.h"
#include "catalog/repositorydialog.h"

#include <QDialog>
#include <QList>

class QLabel;
class QPushButton;
class QTabWidget;

// The settings behind the main window's "Einstellungen" button. It reads the current values when it is
// built and edits copies of them; nothing reaches the settings store before "Speichern" has validated every
// tab, and "Abbrechen" leaves the store exactly as it was.
class SettingsDialog : public QDialog
{
    Q_OBJECT

public:
    explicit SettingsDialog(QWidget *parent = nullptr);

    void setRepositoryEditorHooks(const RepositoryEditorHooks &hooks) { m_repositoryHooks = hooks; }

    // The dialog's copy of the external repositories, with the editor's changes.
    QList<RepositoryConfig> externalRepositories() const { return m_externalRepositories; }

    QTabWidget *tabs() const { return m_tabs; }
    QLabel *repositorySummaryLabel() const { return m_repositorySummary; }
    QPushButton *manageRepositoriesButton() const { return m_manageRepositoriesButton; }
    QPushButton *saveButton() const { return m_saveButton; }
    QPushButton *cancelButton() const { return m_cancelButton; }

public Q_SLOTS:
    void manageExternalRepositories();
    // Validates every tab, writes the settings and accepts; false when something was refused.
    bool save();

private:
    void readCurrentValues();
    QWidget *buildRepositoriesTab();
    void refreshRepositorySummary();
    bool validateInputs();
    void writeSettings();

    RepositoryEditorHooks m_repositoryHooks;
    QList<RepositoryConfig> m_externalRepositories;

    QTabWidget *m_tabs = nullptr;
    QLabel *m_repositorySummary = nullptr;
    QPushButton *m_manageRepositoriesButton = nullptr;
    QPushButton *m_saveButton = nullptr;
    QPushButton *m_cancelButton = nullptr;
};
