#include "environment/setupdialog.h"

#include "environment/externalpaths.h"

#include <QCoreApplication>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

SetupDialog::SetupDialog(const SetupValues &initial, const MessagePrompts &prompts, QWidget *parent)
    : QDialog(parent), m_prompts(prompts)
{
    setWindowTitle(QCoreApplication::translate("MainWindow", "Trackhaven FX3 Mod-Manager einrichten"));
    resize(820, 700);
    auto *layout = new QVBoxLayout(this);
    auto *welcome = new QLabel(
        QCoreApplication::translate(
            "MainWindow", "Willkommen beim Trackhaven FX3 Mod-Manager. Bitte prüfe einmalig die Pfade. "
                          "Automatisch erkannte Ordner sind bereits eingetragen und können geändert "
                          "werden."),
        this);
    welcome->setWordWrap(true);
    layout->addWidget(welcome);

    auto *form = new QFormLayout;
    const QString browse = QCoreApplication::translate("MainWindow", "Durchsuchen…");
    m_fields.game = makePathField(browse, this);
    m_fields.userMods = makePathField(browse, this);
    m_fields.modIoMods = makePathField(browse, this);
    m_fields.extractor = makePathField(browse, this);
    m_fields.extractor.edit->setPlaceholderText(
        QCoreApplication::translate("MainWindow", "Leer lassen: integriertes 7-Zip verwenden"));
    m_fields.builtInExtractorButton =
        new QPushButton(QCoreApplication::translate("MainWindow", "Integriert"), m_fields.extractor.widget);
    m_fields.builtInExtractorButton->setAutoDefault(false);
    m_fields.extractor.row->addWidget(m_fields.builtInExtractorButton);
    form->addRow(QCoreApplication::translate("MainWindow", "Ferroline 3:"), m_fields.game.widget);
    form->addRow(QCoreApplication::translate("MainWindow", "Manuelle / Steam-Mods:"),
                 m_fields.userMods.widget);
    form->addRow(QCoreApplication::translate("MainWindow", "mod.io-Mods:"), m_fields.modIoMods.widget);
    form->addRow(QCoreApplication::translate("MainWindow", "Alternativer Entpacker:"),
                 m_fields.extractor.widget);
    layout->addLayout(form);

    auto *customHeading =
        new QLabel(QCoreApplication::translate("MainWindow", "Individuelle Mod-Pfade (z. B. GOG):"), this);
    QFont bold = customHeading->font();
    bold.setBold(true);
    customHeading->setFont(bold);
    layout->addWidget(customHeading);
    m_fields.customPaths = new CustomPathsWidget(initial.customPaths, prompts, this);
    layout->addWidget(m_fields.customPaths);
    layout->addStretch(1);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    m_fields.cancelButton = new QPushButton(QCoreApplication::translate("MainWindow", "Abbrechen"), this);
    m_fields.saveButton =
        new QPushButton(QCoreApplication::translate("MainWindow", "Speichern und starten"), this);
    m_fields.cancelButton->setAutoDefault(false);
    m_fields.saveButton->setDefault(true);
    buttons->addWidget(m_fields.cancelButton);
    buttons->addWidget(m_fields.saveButton);
    layout->addLayout(buttons);

    m_fields.game.edit->setText(initial.gamePath);
    m_fields.userMods.edit->setText(initial.userModsPath);
    m_fields.modIoMods.edit->setText(initial.modIoModsPath);
    m_fields.extractor.edit->setText(initial.extractor);

    const struct
    {
        PathField *field;
        const char *pickerTitle;
    } folders[] = {
        {&m_fields.game, QT_TRANSLATE_NOOP("MainWindow", "Ferroline-3-Spielordner auswählen")},
        {&m_fields.userMods, QT_TRANSLATE_NOOP("MainWindow", "FX3-Modordner auswählen")},
        {&m_fields.modIoMods, QT_TRANSLATE_NOOP("MainWindow", "mod.io-Modordner auswählen")},
    };
    for (const auto &folder : folders) {
        QLineEdit *edit = folder.field->edit;
        const QString title = QCoreApplication::translate("MainWindow", folder.pickerTitle);
        connect(folder.field->browseButton, &QPushButton::clicked, this,
                [this, edit, title] { pickFolderInto(edit, title, m_prompts); });
    }
    connect(m_fields.extractor.browseButton, &QPushButton::clicked, this,
            [this] { pickExtractorInto(m_fields.extractor.edit, m_prompts); });
    connect(m_fields.builtInExtractorButton, &QPushButton::clicked, m_fields.extractor.edit,
            &QLineEdit::clear);
    for (const PathField *field :
         {&m_fields.game, &m_fields.userMods, &m_fields.modIoMods, &m_fields.extractor})
        connect(field->edit, &QLineEdit::textChanged, this, &SetupDialog::refreshVerdicts);
    connect(m_fields.cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_fields.saveButton, &QPushButton::clicked, this, &SetupDialog::save);
    refreshVerdicts();
}

void SetupDialog::refreshVerdicts()
{
    showVerdict(m_fields.game.verdict, gameFolderVerdict(m_fields.game.edit->text(), PathDialog::Setup));
    showVerdict(m_fields.userMods.verdict, userModsVerdict(m_fields.userMods.edit->text()));
    showVerdict(m_fields.modIoMods.verdict,
                modIoModsVerdict(m_fields.modIoMods.edit->text(), PathDialog::Setup));
    showVerdict(m_fields.extractor.verdict, currentExtractorVerdict(m_fields.extractor.edit->text()));
}

bool SetupDialog::save()
{
    SetupValues values;
    values.gamePath = cleanExternalPath(m_fields.game.edit->text());
    values.userModsPath = cleanExternalPath(m_fields.userMods.edit->text());
    values.modIoModsPath = cleanExternalPath(m_fields.modIoMods.edit->text());
    values.extractor = cleanExternalPath(m_fields.extractor.edit->text());
    const Refusal refusals[] = {
        refuseGameFolder(values.gamePath, PathDialog::Setup),
        refuseUserMods(values.userModsPath, PathDialog::Setup),
        refuseModIoMods(values.modIoModsPath),
        refuseExtractor(values.extractor),
        refuseCustomPaths(m_fields.customPaths->paths(), &values.customPaths),
    };
    for (const Refusal &refusal : refusals) {
        if (refusal.refused()) {
            m_prompts.warning(refusal.title, refusal.text);
            return false;
        }
    }
    writeSetupValues(values);
    accept();
    return true;
}
