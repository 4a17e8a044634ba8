#pragma once

#include "catalog/repomod.h"
#include "catalog/repositorydialog.h"

#include <QDialog>
#include <QList>

class QPushButton;
class QTableWidget;

// The list of external repositories as a table with add, edit and remove. It edits its own copy of the list
// and reports every change at once through repositoriesChanged, so the caller decides whether it is kept.
class ExternalRepositoriesDialog : public QDialog
{
    Q_OBJECT

public:
    ExternalRepositoriesDialog(const QList<RepositoryConfig> &repositories,
                               const RepositoryEditorHooks &hooks, QWidget *parent = nullptr);

    QList<RepositoryConfig> repositories() const { return m_repositories; }

    QTableWidget *table() const { return m_table; }
    QPushButton *addButton() const { return m_addButton; }
    QPushButton *editButton() const { return m_editButton; }
    QPushButton *removeButton() const { return m_removeButton; }
    QPushButton *closeButton() const { return m_closeButton; }

public Q_SLOTS:
    void addRepository();
    void editSelectedRepository();
    void removeSelectedRepository();

Q_SIGNALS:
    void repositoriesChanged();

private:
    void editRepository(int row);
    int selectedRow() const;
    void refreshTable(int selectRow);
    void refreshButtons();

    QList<RepositoryConfig> m_repositories;
    RepositoryEditorHooks m_hooks;
    QTableWidget *m_table = nullptr;
    QPushButton *m_addButton = nullptr;
    QPushButton *m_editButton = nullptr;
    QPushButton *m_removeButton = nullptr;
    QPushButton *m_closeButton = nullptr;
};
