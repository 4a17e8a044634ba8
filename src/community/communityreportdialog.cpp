#include "community/communityreportdialog.h"

#include "community/communityreports.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
QString tr(const char *text)
{
    return QCoreApplication::translate("MainWindow", text);
}
} // namespace

bool runCommunityReportDialog(QWidget *parent, const QString &modName, const QStringList &ownTypes,
                              QStringList *chosen)
{
    QDialog dialog(parent);
    dialog.setWindowTitle(tr("Community-Meldung – %1").arg(modName));
    dialog.resize(610, 390);
    auto *layout = new QVBoxLayout(&dialog);
    auto *intro =
        new QLabel(tr("Melde nur Probleme, die du bei dieser installierten Version selbst beobachtet "
                      "hast. Die Meldung ist ein Community-Hinweis und keine Bewertung des Autors. "
                      "Du kannst deine Auswahl später ändern oder vollständig zurücknehmen."),
                   &dialog);
    intro->setWordWrap(true);
    layout->addWidget(intro);

    const QList<CommunityCategory> categories = communityCategories();
    QList<QCheckBox *> boxes;
    for (const CommunityCategory &category : categories) {
        auto *box = new QCheckBox(category.label, &dialog);
        box->setChecked(ownTypes.contains(category.key));
        auto *description = new QLabel(category.description, &dialog);
        description->setWordWrap(true);
        description->setStyleSheet(QStringLiteral("color:#5f554a;margin-left:22px;"));
        layout->addWidget(box);
        layout->addWidget(description);
        boxes.append(box);
    }
    auto *privacy =
        new QLabel(tr("Gesendet werden nur die mod.io-Mod-ID, die Dateiversion, die Kategorie der "
                      "Meldung und eine zufällige, gehashte Installations-ID – keine Kontodaten "
                      "von mod.io oder der Community-Seite."),
                   &dialog);
    privacy->setWordWrap(true);
    privacy->setStyleSheet(QStringLiteral("color:#756c62;padding-top:8px;"));
    layout->addWidget(privacy);
    layout->addStretch();

    auto *buttons = new QHBoxLayout;
    auto *withdraw = new QPushButton(tr("Alle zurücknehmen"), &dialog);
    auto *cancel = new QPushButton(tr("Abbrechen"), &dialog);
    auto *save = new QPushButton(tr("Speichern"), &dialog);
    save->setDefault(true);
    buttons->addWidget(withdraw);
    buttons->addStretch();
    buttons->addWidget(cancel);
    buttons->addWidget(save);
    layout->addLayout(buttons);
    QObject::connect(withdraw, &QPushButton::clicked, &dialog, [boxes] {
        for (QCheckBox *box : boxes)
            box->setChecked(false);
    });
    QObject::connect(cancel, &QPushButton::clicked, &dialog, &QDialog::reject);
    QObject::connect(save, &QPushButton::clicked, &dialog, &QDialog::accept);

    if (dialog.exec() != QDialog::Accepted)
        return false;
    chosen->clear();
    for (int i = 0; i < categories.size(); ++i) {
        if (boxes.at(i)->isChecked())
            chosen->append(categories.at(i).key);
    }
    return true;
}
