#include "catalog/repositorydialog.h"

#include "catalog/repositoryvalidation.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

void RepositoryEditorHooks::showWarning(QWidget *parent, const QString &title, const QString &text) const
{
    if (warning)
        warning(parent, title, text);
    else
        QMessageBox::warning(parent, title, text);
}

int RepositoryEditorHooks::run(QDialog &dialog) const
{
    return runDialog ? runDialog(dialog) : dialog.exec();
}

RepositoryDialog::RepositoryDialog(Mode mode, const RepositoryConfig &repository,
                                   const RepositoryEditorHooks &hooks, QWidget *parent)
    : QDialog(parent), m_initial(repository), m_hooks(hooks)
{
    setWindowTitle(mode == Mode::Add ? QCoreApplication::translate("MainWindow", "Repository hinzufügen")
                                     : QCoreApplication::translate("MainWindow", "Repository bearbeiten"));
    setMinimumWidth(560);

    auto *layout = new QVBoxLayout(this);
    auto *form = new QFormLayout;
    m_name = new QLineEdit(repository.name, this);
    m_jsonUrl = new QLineEdit(repository.jsonUrl, this);
    m_jsonUrl->setPlaceholderText(QStringLiteral("https://example.org/fx3/repository.json"));
    m_baseUrl = new QLineEdit(repository.baseUrl, this);
    m_baseUrl->setPlaceholderText(QStringLiteral("https://example.org/fx3/downloads/"));
    m_websiteUrl = new QLineEdit(repository.websiteUrl, this);
    m_websiteUrl->setPlaceholderText(QStringLiteral("https://example.org/"));
    form->addRow(QCoreApplication::translate("MainWindow", "Name:"), m_name);
    form->addRow(QCoreApplication::translate("MainWindow", "Repository-URL:"), m_jsonUrl);
    form->addRow(QCoreApplication::translate("MainWindow", "Basis-URL:"), m_baseUrl);
    form->addRow(QCoreApplication::translate("MainWindow", "Webseite:"), m_websiteUrl);
    layout->addLayout(form);

    m_enabled = new QCheckBox(QCoreApplication::translate("MainWindow", "Repository aktiv"), this);
    m_enabled->setChecked(repository.enabled);
    layout->addWidget(m_enabled);

    auto *note =
        new QLabel(QCoreApplication::translate(
                       "MainWindow", "Relative Download-, Vorschau- und Eintrags-URLs werden gegen die "
                                     "Basis-URL aufgelöst. Ist sie leer, wird die Repository-URL als Basis "
                                     "verwendet."),
                   this);
    note->setWordWrap(true);
    layout->addWidget(note);

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
    connect(m_saveButton, &QPushButton::clicked, this, &RepositoryDialog::save);
    m_name->setFocus();
}

RepositoryConfig RepositoryDialog::repository() const
{
    RepositoryConfig repository = m_initial;
    repository.name = m_name->text();
    repository.jsonUrl = m_jsonUrl->text();
    repository.baseUrl = m_baseUrl->text();
    repository.websiteUrl = m_websiteUrl->text();
    repository.enabled = m_enabled->isChecked();
    return trimmedRepositoryConfig(repository);
}

bool RepositoryDialog::save()
{
    const QString error = validateRepositoryConfig(repository());
    if (!error.isEmpty()) {
        m_hooks.showWarning(this, QCoreApplication::translate("MainWindow", "Ungültiges Repository"), error);
        return false;
    }
    accept();
    return true;
}
