#include "modio/modioblacklistdialog.h"

#include <QCoreApplication>
#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {
QString tr(const char *text)
{
    return QCoreApplication::translate("MainWindow", text);
}

void fill(QListWidget *list, const QList<ModIoBlockedAuthor> &authors)
{
    list->clear();
    for (int i = 0; i < authors.size(); ++i) {
        const ModIoBlockedAuthor &author = authors.at(i);
        QString text = author.name.isEmpty() ? tr("Unbekannter Autor") : author.name;
        if (!author.id.isEmpty())
            text += tr("  (mod.io ID %1)").arg(author.id);
        auto *item = new QListWidgetItem(text, list);
        item->setData(Qt::UserRole, i);
    }
}
} // namespace

void runModIoBlacklistDialog(QWidget *parent, QList<ModIoBlockedAuthor> &authors)
{
    QDialog dialog(parent);
    dialog.setWindowTitle(tr("mod.io Autoren-Blacklist"));
    dialog.resize(560, 420);
    auto *layout = new QVBoxLayout(&dialog);
    auto *note =
        new QLabel(tr("Mods dieser Autoren werden in der mod.io-Übersicht ausgeblendet. Wenn eine "
                      "mod.io-Autor-ID bekannt ist, wird sie bereits beim API-Abruf ausgeschlossen."),
                   &dialog);
    note->setWordWrap(true);
    auto *list = new QListWidget(&dialog);
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    auto *buttons = new QHBoxLayout;
    auto *removeButton = new QPushButton(tr("Auswahl entfernen"), &dialog);
    auto *clearButton = new QPushButton(tr("Alle entfernen"), &dialog);
    auto *closeButton = new QPushButton(tr("Schließen"), &dialog);
    buttons->addWidget(removeButton);
    buttons->addWidget(clearButton);
    buttons->addStretch();
    buttons->addWidget(closeButton);
    layout->addWidget(note);
    layout->addWidget(list, 1);
    layout->addLayout(buttons);
    fill(list, authors);

    QObject::connect(removeButton, &QPushButton::clicked, &dialog, [&] {
        QList<int> chosen;
        for (const QListWidgetItem *item : list->selectedItems())
            chosen.append(item->data(Qt::UserRole).toInt());
        std::sort(chosen.begin(), chosen.end(), std::greater<int>());
        for (const int index : chosen)
            authors.removeAt(index);
        fill(list, authors);
    });
    QObject::connect(clearButton, &QPushButton::clicked, &dialog, [&] {
        authors.clear();
        fill(list, authors);
    });
    QObject::connect(closeButton, &QPushButton::clicked, &dialog, &QDialog::accept);
    dialog.exec();
}
