#include "environment/settingsdialog.h"

#include "catalog/externalrepositoriesdialog.h"
#include "catalog/repositorylist.h"
#include "catalog/repositoryvalidation.h"

#include <QCoreApplication>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {
// A tab shows "&" as the underline of a shortcut key; the texts mean the character itself.
QString tabTitle(const char *text)
{
    QString title = QCoreApplication::translate("MainWindow", text);
    return title.replace(QLatin1Char('&'), QStringLiteral("&&"));
}
} // namespace

SettingsDialog::SettingsDialog(QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QCoreApplication::translate("MainWindow", "Einstellungen"));
    resize(860, 640);
    readCurrentValues();

    auto *layout = new QVBoxLayout(this);
    m_tabs = new QTabWidget(this);
    m_tabs->addTab(buildRepositoriesTab(), tabTitle(QT_TRANSLATE_NOOP("MainWindow", "Repositorys & Cache")));
    layout->addWidget(m_tabs, 1);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    m_cancelButton = new QPushButton(QCoreApplication::translate("MainWindow", "Abbrechen"), this);
    m_saveButton = new QPushButton(QCoreApplication::translate("MainWindow", "Speichern"), this);
    m_cancelButton->setAutoDefault(false);
    m_saveButton->setDefault(true);
    buttons->addWidget(m_cancelButton);
    buttons->addWidget(m_saveButton);
    layout->addLayout(buttons);

    connect(m_cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_saveButton, &QPushButton::clicked, this, &SettingsDialog::save);
}

void SettingsDialog::readCurrentValues()
{
    m_externalRepositories = loadExternalRepositories();
}

QWidget *SettingsDialog::buildRepositoriesTab()
{
    auto *tab = new QWidget;
    auto *layout = new QVBoxLayout(tab);

    auto *group = new QGroupBox(QCoreApplication::translate("MainWindow", "Externe Repositorys"), tab);
    auto *groupLayout = new QVBoxLayout(group);
    auto *note = new QLabel(
        QCoreApplication::translate(
            "MainWindow", "Zusätzliche Mod-Quellen können hier eingerichtet, aktiviert oder deaktiviert "
                          "werden."),
        group);
    note->setWordWrap(true);
    groupLayout->addWidget(note);
    m_repositorySummary = new QLabel(group);
    groupLayout->addWidget(m_repositorySummary);
    m_manageRepositoriesButton =
        new QPushButton(QCoreApplication::translate("MainWindow", "Externe Repositorys verwalten…"), group);
    m_manageRepositoriesButton->setAutoDefault(false);
    auto *buttonRow = new QHBoxLayout;
    buttonRow->addWidget(m_manageRepositoriesButton);
    buttonRow->addStretch(1);
    groupLayout->addLayout(buttonRow);
    layout->addWidget(group);
    layout->addStretch(1);

    connect(m_manageRepositoriesButton, &QPushButton::clicked, this,
            &SettingsDialog::manageExternalRepositories);
    refreshRepositorySummary();
    return tab;
}

void SettingsDialog::refreshRepositorySummary()
{
    m_repositorySummary->setText(externalRepositoriesSummary(m_externalRepositories));
}

void SettingsDialog::manageExternalRepositories()
{
    ExternalRepositoriesDialog editor(m_externalRepositories, m_repositoryHooks, this);
    connect(&editor, &ExternalRepositoriesDialog::repositoriesChanged, this, [this, &editor] {
        m_externalRepositories = editor.repositories();
        refreshRepositorySummary();
    });
    m_repositoryHooks.run(editor);
}

bool SettingsDialog::save()
{
    if (!validateInputs())
        return false;
    writeSettings();
    accept();
    return true;
}

bool SettingsDialog::validateInputs()
{
    // Every repository in the copy went through the repository dialog's checks already.
    return true;
}

void SettingsDialog::writeSettings()
{
    saveExternalRepositories(m_externalRepositories);
}
