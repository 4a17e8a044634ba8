#include "catalog/externalrepositoriesdialog.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {
enum Column
{
    NameColumn,
    JsonUrlColumn,
    BaseUrlColumn,
    WebsiteColumn,
    EnabledColumn,
    ColumnCount
};
}

ExternalRepositoriesDialog::ExternalRepositoriesDialog(const QList<RepositoryConfig> &repositories,
                                                       const RepositoryEditorHooks &hooks, QWidget *parent)
    : QDialog(parent), m_repositories(repositories), m_hooks(hooks)
{
    setWindowTitle(QCoreApplication::translate("MainWindow", "Externe Repositorys"));
    resize(980, 480);

    auto *layout = new QVBoxLayout(this);
    auto *note =
        new QLabel(QCoreApplication::translate(
                       "MainWindow", "Zusätzliche JSON-Repositorys können hier eingebunden werden. "
                                     "Erforderlich sind Name und Repository-URL. Basis-URL und Webseite "
                                     "sind optional."),
                   this);
    note->setWordWrap(true);
    layout->addWidget(note);

    m_table = new QTableWidget(0, ColumnCount, this);
    m_table->setHorizontalHeaderLabels({QCoreApplication::translate("MainWindow", "Name"),
                                        QCoreApplication::translate("MainWindow", "Repository-URL"),
                                        QCoreApplication::translate("MainWindow", "Basis-URL"),
                                        QCoreApplication::translate("MainWindow", "Webseite"),
                                        QCoreApplication::translate("MainWindow", "Aktiv")});
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->verticalHeader()->setVisible(false);
    QHeaderView *header = m_table->horizontalHeader();
    header->setSectionResizeMode(NameColumn, QHeaderView::ResizeToContents);
    header->setSectionResizeMode(JsonUrlColumn, QHeaderView::Stretch);
    header->setSectionResizeMode(BaseUrlColumn, QHeaderView::Stretch);
    header->setSectionResizeMode(WebsiteColumn, QHeaderView::Stretch);
    header->setSectionResizeMode(EnabledColumn, QHeaderView::ResizeToContents);
    layout->addWidget(m_table, 1);

    auto *buttons = new QHBoxLayout;
    m_addButton = new QPushButton(QCoreApplication::translate("MainWindow", "Repository hinzufügen…"), this);
    m_editButton = new QPushButton(QCoreApplication::translate("MainWindow", "Bearbeiten…"), this);
    m_removeButton = new QPushButton(QCoreApplication::translate("MainWindow", "Entfernen"), this);
    m_closeButton = new QPushButton(QCoreApplication::translate("MainWindow", "Schließen"), this);
    for (QPushButton *button : {m_addButton, m_editButton, m_removeButton, m_closeButton})
        button->setAutoDefault(false);
    buttons->addWidget(m_addButton);
    buttons->addWidget(m_editButton);
    buttons->addWidget(m_removeButton);
    buttons->addStretch(1);
    buttons->addWidget(m_closeButton);
    layout->addLayout(buttons);

    connect(m_addButton, &QPushButton::clicked, this, &ExternalRepositoriesDialog::addRepository);
    connect(m_editButton, &QPushButton::clicked, this, &ExternalRepositoriesDialog::editSelectedRepository);
    connect(m_removeButton, &QPushButton::clicked, this,
            &ExternalRepositoriesDialog::removeSelectedRepository);
    connect(m_closeButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_table, &QTableWidget::cellDoubleClicked, this, [this](int row, int) { editRepository(row); });
    connect(m_table, &QTableWidget::itemSelectionChanged, this, &ExternalRepositoriesDialog::refreshButtons);

    refreshTable(-1);
}

void ExternalRepositoriesDialog::addRepository()
{
    RepositoryDialog dialog(RepositoryDialog::Mode::Add, RepositoryConfig(), m_hooks, this);
    if (m_hooks.run(dialog) != QDialog::Accepted)
        return;
    m_repositories.append(dialog.repository());
    refreshTable(int(m_repositories.size()) - 1);
    emit repositoriesChanged();
}

void ExternalRepositoriesDialog::editSelectedRepository()
{
    editRepository(selectedRow());
}

void ExternalRepositoriesDialog::editRepository(int row)
{
    if (row < 0 || row >= m_repositories.size())
        return;
    RepositoryDialog dialog(RepositoryDialog::Mode::Edit, m_repositories.at(row), m_hooks, this);
    if (m_hooks.run(dialog) != QDialog::Accepted)
        return;
    m_repositories[row] = dialog.repository();
    refreshTable(row);
    emit repositoriesChanged();
}

void ExternalRepositoriesDialog::removeSelectedRepository()
{
    const int row = selectedRow();
    if (row < 0)
        return;
    m_repositories.removeAt(row);
    // The row that moved up takes the place of the removed one, so repeated clicks work down the list.
    refreshTable(qMin(row, int(m_repositories.size()) - 1));
    emit repositoriesChanged();
}

int ExternalRepositoriesDialog::selectedRow() const
{
    const QList<QTableWidgetSelectionRange> ranges = m_table->selectedRanges();
    if (ranges.isEmpty())
        return -1;
    const int row = ranges.first().topRow();
    return row < m_repositories.size() ? row : -1;
}

void ExternalRepositoriesDialog::refreshTable(int selectRow)
{
    {
        const QSignalBlocker blocker(m_table);
        m_table->clearContents();
        m_table->setRowCount(int(m_repositories.size()));
        for (int row = 0; row < m_repositories.size(); ++row) {
            const RepositoryConfig &repository = m_repositories.at(row);
            const QString texts[ColumnCount] = {
                repository.name, repository.jsonUrl, repository.baseUrl, repository.websiteUrl,
                repository.enabled ? QCoreApplication::translate("MainWindow", "Ja")
                                   : QCoreApplication::translate("MainWindow", "Nein")};
            for (int column = 0; column < ColumnCount; ++column) {
                auto *item = new QTableWidgetItem(texts[column]);
                item->setToolTip(texts[column]);
                m_table->setItem(row, column, item);
            }
        }
        m_table->clearSelection();
        if (selectRow >= 0 && selectRow < m_table->rowCount())
            m_table->selectRow(selectRow);
    }
    refreshButtons();
}

void ExternalRepositoriesDialog::refreshButtons()
{
    const bool selected = selectedRow() >= 0;
    m_editButton->setEnabled(selected);
    m_removeButton->setEnabled(selected);
}
