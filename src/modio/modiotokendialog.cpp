#include "modio/modiotokendialog.h"

#include <QCoreApplication>
#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
QString tr(const char *text)
{
    return QCoreApplication::translate("MainWindow", text);
}
} // namespace

bool runModIoTokenDialog(QWidget *parent, const std::function<void()> &openAccessPage,
                         const std::function<bool(const QString &token)> &accept)
{
    QDialog dialog(parent);
    dialog.setWindowTitle(tr("Mit Steam bei mod.io anmelden"));
    dialog.resize(620, 330);
    auto *layout = new QVBoxLayout(&dialog);
    auto *instructions =
        new QLabel(tr("1. Öffne mod.io im Browser und melde dich dort mit Steam an.\n2. Öffne unter 'API "
                      "access' den Bereich "
                      "'Personal access tokens'.\n3. Erstelle einen Token mit Lese- und Schreibrechten und "
                      "füge ihn hier "
                      "ein.\n\nDer Token wird unter Windows mit DPAPI geschützt gespeichert und ist an dein "
                      "Windows-Benutzerkonto gebunden."),
                   &dialog);
    instructions->setWordWrap(true);
    auto *browserButton = new QPushButton(tr("mod.io / API access im Browser öffnen"), &dialog);
    auto *tokenEdit = new QLineEdit(&dialog);
    tokenEdit->setEchoMode(QLineEdit::Password);
    tokenEdit->setPlaceholderText(QStringLiteral("Personal access token"));
    auto *buttons = new QHBoxLayout;
    auto *cancelButton = new QPushButton(tr("Abbrechen"), &dialog);
    auto *saveButton = new QPushButton(tr("Token prüfen und speichern"), &dialog);
    saveButton->setDefault(true);
    buttons->addStretch();
    buttons->addWidget(cancelButton);
    buttons->addWidget(saveButton);
    layout->addWidget(instructions);
    layout->addWidget(browserButton);
    layout->addWidget(tokenEdit);
    layout->addStretch();
    layout->addLayout(buttons);

    QObject::connect(browserButton, &QPushButton::clicked, &dialog, [&openAccessPage] { openAccessPage(); });
    QObject::connect(cancelButton, &QPushButton::clicked, &dialog, &QDialog::reject);
    QObject::connect(saveButton, &QPushButton::clicked, &dialog, [&] {
        saveButton->setEnabled(false);
        const bool accepted = accept(tokenEdit->text());
        saveButton->setEnabled(true);
        if (accepted)
            dialog.accept();
    });
    openAccessPage();
    return dialog.exec() == QDialog::Accepted;
}
